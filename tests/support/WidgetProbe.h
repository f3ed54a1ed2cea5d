// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Renders a widget offscreen and looks at the pixels that carry meaning. Header only.

#include <QImage>
#include <QWidget>

#include <cstdlib>

namespace WidgetProbe {

inline QImage argb(const QImage& image)
{
    return image.convertToFormat(QImage::Format_ARGB32);
}

inline QImage render(QWidget& widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(Qt::magenta);
    widget.render(&image);
    return image;
}

inline int distance(QColor a, QColor b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
           std::abs(a.blue() - b.blue());
}

// The colour in the area that differs most from the background: the ink of text or marks.
inline QColor ink(const QImage& image, const QRect& area, QColor background)
{
    QColor best = background;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (distance(image.pixelColor(x, y), background) > distance(best, background))
                best = image.pixelColor(x, y);
    return best;
}

// Number of pixels in the area within a small distance of the colour.
inline int count(const QImage& image, const QRect& area, QColor colour, int tolerance = 24)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += distance(image.pixelColor(x, y), colour) <= tolerance;
    return n;
}

} // namespace WidgetProbe
