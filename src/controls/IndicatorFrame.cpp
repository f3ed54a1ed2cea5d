// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/IndicatorFrame.h"

#include <algorithm>
#include <cmath>

int IndicatorFrame::DotTop(int height)
{
    return int(std::nearbyint((height - 15) / 2.0)); // the default rounding: halves to even
}

QVector<IndicatorFrame::Dot> IndicatorFrame::Dots(int width, int highlightIndex)
{
    QVector<Dot> dots;
    int x = 10;
    do {
        const bool highlighted = int(dots.size()) == highlightIndex;
        const int size = highlighted ? 7 : 3;
        dots.append({x, size, highlighted});
        x += size + 15; // dots 18 apart; the square pushes the rest 4 further
    } while (x <= width - 5);
    return dots;
}

quint32 IndicatorFrame::Lighten(quint32 colour)
{
    const auto add = [colour](int shift, int step) {
        return quint32(std::min(255, int((colour >> shift) & 0xFF) + step)) << shift;
    };
    return add(0, 80) | add(8, 80) | add(16, 90);
}

std::array<quint32, 3> IndicatorFrame::BlockColors(quint32 scrollColor)
{
    const quint32 middle = Lighten(scrollColor);
    return {Lighten(middle), middle, scrollColor};
}

QVector<IndicatorFrame::Dot> IndicatorFrame::nextDots(int width)
{
    QVector<Dot> dots = Dots(width, HighlightIndex);
    DotCount = int(dots.size());
    if (++HighlightPhase == 3) {
        HighlightPhase = 0;
        HighlightIndex = HighlightIndex + 1 >= DotCount ? 0 : HighlightIndex + 1;
    }
    return dots;
}

int IndicatorFrame::nextBlockPos(int width)
{
    BlockPos = BlockPos <= width ? BlockPos + 8 : 0;
    return BlockPos;
}
