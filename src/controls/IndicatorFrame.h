// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QVector>

#include <array>

// The activity indicator's frames as plain numbers: where the dots and blocks go and
// which colours they take. The widget only paints what this computes.
class IndicatorFrame
{
public:
    struct Dot
    {
        int x;
        int size; // 3 for a dot, 7 for the highlighted square (pixels from x to x + size)
        bool highlighted;
        bool operator==(const Dot&) const = default;
    };

    // The top of the dots in a control of this height: (height - 15) / 2, halves to even.
    static int DotTop(int height);
    // One dots frame across a control of this width; the first dot is always drawn.
    static QVector<Dot> Dots(int width, int highlightIndex);
    // Adds 80 to red, 80 to green and 90 to blue, each capped at 255 (0x00BBGGRR colours).
    static quint32 Lighten(quint32 colour);
    // The three block colours, lightest (leftmost) first; the last is the scroll colour.
    static std::array<quint32, 3> BlockColors(quint32 scrollColor);

    // Dots mode: draw the frame, then move the highlight's phase and dot on.
    QVector<Dot> nextDots(int width);
    // Blocks mode: move the group 8 pixels right, back to 0 once it passed the width.
    int nextBlockPos(int width);

    int HighlightIndex = 0;
    int HighlightPhase = 0; // 0 and 2 light, 1 bright
    int DotCount = 0;
    int BlockPos = 0;
};
