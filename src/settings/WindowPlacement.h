// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QRect>
#include <QSize>

// Where a saved window rectangle may go on the screens there are now. The rectangle is
// the window's position and size without its frame, in pixels.
namespace WindowPlacement {

// The rectangle kept on a screen: no larger than the screen it overlaps most (the first
// screen when it overlaps none), at least `minimum`, and moved inside that screen. An
// empty screen list leaves it as it is.
QRect OnScreen(const QRect& saved, const QList<QRect>& screens, const QSize& minimum);

} // namespace WindowPlacement
