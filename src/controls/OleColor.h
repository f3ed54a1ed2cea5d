// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>

// Colours as the controls' properties hold them: 0x00BBGGRR, red in the lowest byte, or
// 0x80000000 + n for system colour n, which maps to a fixed classic scheme so that every
// control looks the same on every desktop.
namespace OleColor {

QColor toQColor(quint32 value);
quint32 fromQColor(const QColor& color);

} // namespace OleColor
