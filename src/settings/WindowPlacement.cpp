// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/WindowPlacement.h"

#include <QtGlobal>

namespace WindowPlacement {

QRect OnScreen(const QRect& saved, const QList<QRect>& screens, const QSize& minimum)
{
    if (screens.isEmpty())
        return saved;
    QRect screen = screens.first();
    qint64 best = 0;
    for (const QRect& candidate : screens) {
        const QRect common = candidate.intersected(saved);
        const qint64 area = qint64(common.width()) * common.height();
        if (area > best) {
            best = area;
            screen = candidate;
        }
    }
    const int width = qMax(qMin(saved.width(), screen.width()), minimum.width());
    const int height = qMax(qMin(saved.height(), screen.height()), minimum.height());
    // Right and bottom first, so a window larger than the screen keeps its top left on it.
    const int left = qMax(qMin(saved.left(), screen.right() + 1 - width), screen.left());
    const int top = qMax(qMin(saved.top(), screen.bottom() + 1 - height), screen.top());
    return QRect(left, top, width, height);
}

} // namespace WindowPlacement
