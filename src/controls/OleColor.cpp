// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/OleColor.h"

#include <array>

namespace {

// The classic desktop scheme, indexed by system colour number (0 .. 24).
constexpr std::array<QRgb, 25> SystemColors = {
    0xFFC0C0C0, // 0 scroll bar
    0xFF3A6EA5, // 1 desktop
    0xFF000080, // 2 active caption
    0xFF808080, // 3 inactive caption
    0xFFD4D0C8, // 4 menu
    0xFFFFFFFF, // 5 window
    0xFF000000, // 6 window frame
    0xFF000000, // 7 menu text
    0xFF000000, // 8 window text
    0xFFFFFFFF, // 9 caption text
    0xFFD4D0C8, // 10 active border
    0xFFD4D0C8, // 11 inactive border
    0xFF808080, // 12 application workspace
    0xFF0A246A, // 13 highlight
    0xFFFFFFFF, // 14 highlighted text
    0xFFD4D0C8, // 15 button face
    0xFF808080, // 16 button shadow
    0xFF808080, // 17 grey text
    0xFF000000, // 18 button text
    0xFFD4D0C8, // 19 inactive caption text
    0xFFFFFFFF, // 20 button highlight
    0xFF404040, // 21 dark shadow
    0xFFD4D0C8, // 22 light
    0xFF000000, // 23 tool tip text
    0xFFFFFFE1, // 24 tool tip
};

} // namespace

QColor OleColor::toQColor(quint32 value)
{
    if (value & 0x80000000u) {
        const quint32 index = value & 0xFFFFu;
        return index < SystemColors.size() ? QColor::fromRgb(SystemColors[index])
                                           : QColor(Qt::black);
    }
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

quint32 OleColor::fromQColor(const QColor& color)
{
    return quint32(color.red()) | (quint32(color.green()) << 8) | (quint32(color.blue()) << 16);
}
