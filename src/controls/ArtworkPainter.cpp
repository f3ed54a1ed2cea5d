// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/ArtworkPainter.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <array>

namespace {

using Artwork::Picture;

QImage blank(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A 14 x 14 check box: white well, grey frame, a green tick when checked.
QImage checkBox(bool ticked)
{
    QImage image = blank(14, 14);
    QPainter p(&image);
    p.fillRect(0, 0, 14, 14, QColor(0x70, 0x78, 0x84));
    p.fillRect(1, 1, 12, 12, QColor(0xE4, 0xE8, 0xEE));
    p.fillRect(2, 2, 11, 11, Qt::white);
    if (ticked) {
        p.setRenderHint(QPainter::Antialiasing);
        QPen pen(QColor(0x1E, 0x7A, 0x36), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        p.setPen(pen);
        p.drawPolyline(QPolygonF({QPointF(3.5, 7.2), QPointF(6.0, 10.0), QPointF(10.8, 3.8)}));
    }
    return image;
}

// A 16 x 16 rounded button with a plus or a minus sign.
QImage headerSign(bool plus, bool enabled)
{
    QImage image = blank(16, 16);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor edge = enabled ? QColor(0x4A, 0x62, 0x7C) : QColor(0xA8, 0xA8, 0xA8);
    const QColor sign = enabled ? QColor(0x1C, 0x3A, 0x5C) : QColor(0xB4, 0xB4, 0xB4);
    QLinearGradient fill(0, 2, 0, 14);
    fill.setColorAt(0, enabled ? QColor(0xFF, 0xFF, 0xFF) : QColor(0xF4, 0xF4, 0xF4));
    fill.setColorAt(1, enabled ? QColor(0xD6, 0xE2, 0xEE) : QColor(0xE2, 0xE2, 0xE2));
    p.setPen(QPen(edge, 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(2.5, 2.5, 11, 11), 2.5, 2.5);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(5, 7, 6, 2, sign);
    if (plus)
        p.fillRect(7, 5, 2, 6, sign);
    return image;
}

// A 1 x 12 progress strip: a light top, the colour itself, a deeper bottom.
QImage progressStrip(QColor base)
{
    QImage image = blank(1, 12);
    QPainter p(&image);
    QLinearGradient shade(0, 0, 0, 12);
    shade.setColorAt(0.0, base.lighter(170));
    shade.setColorAt(0.35, base.lighter(120));
    shade.setColorAt(0.5, base);
    shade.setColorAt(1.0, base.darker(150));
    p.fillRect(0, 0, 1, 12, shade);
    return image;
}

// A 64 x 30 toolbar background: a soft vertical gradient with a fine diagonal weave.
QImage toolbarBackground(QColor top, QColor bottom)
{
    QImage image = blank(64, 30);
    QPainter p(&image);
    QLinearGradient shade(0, 0, 0, 30);
    shade.setColorAt(0, top);
    shade.setColorAt(1, bottom);
    p.fillRect(image.rect(), shade);
    QColor weave = bottom.darker(108);
    weave.setAlpha(70);
    p.setPen(weave);
    for (int x = -30; x < 64; x += 8)
        p.drawLine(x, 30, x + 30, 0);
    p.setPen(QColor(255, 255, 255, 150));
    p.drawLine(0, 0, 63, 0);
    p.setPen(bottom.darker(125));
    p.drawLine(0, 29, 63, 29);
    return image;
}

// An 8 x 8 corner of the monitor's frame: the frame's four bevel lines, outermost first,
// bent round a quarter circle about the corner's inner point; transparent outside the
// arc and inside the innermost line, so the window and the frame's own colour show.
QImage monitorCorner(bool right, bool bottom)
{
    QImage image = blank(8, 8);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::NoBrush);
    const QPointF centre(right ? 0 : 8, bottom ? 0 : 8);
    constexpr std::array<QRgb, 4> Bevel = {0xC0C8D8, 0xB8C0D8, 0xA0A8C8, 0x9088B8};
    for (int ring = 0; ring < 4; ++ring) {
        p.setPen(QPen(QColor::fromRgb(Bevel.at(ring)), 1.0));
        const double radius = 7.5 - ring;
        p.drawEllipse(centre, radius, radius);
    }
    return image;
}

// A 16 x 22 status bar tile: a light bar with a highlight line on top.
QImage statusBar(bool hover)
{
    QImage image = blank(16, 22);
    QPainter p(&image);
    QLinearGradient shade(0, 0, 0, 22);
    shade.setColorAt(0, hover ? QColor(0xFF, 0xF4, 0xD8) : QColor(0xF2, 0xF4, 0xF7));
    shade.setColorAt(1, hover ? QColor(0xF0, 0xCC, 0x7C) : QColor(0xC9, 0xD0, 0xDA));
    p.fillRect(image.rect(), shade);
    p.setPen(hover ? QColor(0xC8, 0x96, 0x30) : QColor(0x98, 0xA2, 0xB0));
    p.drawLine(0, 0, 15, 0);
    p.setPen(QColor(255, 255, 255, 200));
    p.drawLine(0, 1, 15, 1);
    return image;
}

constexpr std::array<QRgb, 10> StripColors = {0x2F6FD0, 0x2E9E44, 0xE08A1E, 0xD03A2F, 0x7A48C8,
                                              0x1F9A94, 0xD4AE1A, 0x5E6670, 0xD8508C, 0x4AA8E8};

struct Shade
{
    QRgb top, bottom;
};
constexpr std::array<Shade, 7> ToolbarShades = {{{0xFAFAFA, 0xD6D9DE},
                                                 {0xFDF1E6, 0xE9C7A8},
                                                 {0xFAF5E4, 0xDDD0A6},
                                                 {0xEEF9F1, 0xB9DEC4},
                                                 {0xE4E9F0, 0xA7B3C4},
                                                 {0xFCEFF2, 0xE3B4C0},
                                                 {0xEAF1F8, 0xB3C6DA}}};

} // namespace

QImage ArtworkPainter::draw(Picture picture)
{
    switch (picture) {
    case Artwork::CheckEmpty:
    case Artwork::CheckTicked:
        return checkBox(picture == Artwork::CheckTicked);
    case Artwork::HeaderPlus:
    case Artwork::HeaderMinus:
    case Artwork::HeaderPlusDisabled:
    case Artwork::HeaderMinusDisabled:
        return headerSign(picture == Artwork::HeaderPlus || picture == Artwork::HeaderPlusDisabled,
                          picture == Artwork::HeaderPlus || picture == Artwork::HeaderMinus);
    case Artwork::MonitorCornerTopLeft:
    case Artwork::MonitorCornerTopRight:
    case Artwork::MonitorCornerBottomLeft:
    case Artwork::MonitorCornerBottomRight:
        return monitorCorner(picture == Artwork::MonitorCornerTopRight ||
                                 picture == Artwork::MonitorCornerBottomRight,
                             picture == Artwork::MonitorCornerBottomLeft ||
                                 picture == Artwork::MonitorCornerBottomRight);
    case Artwork::StatusBar:
    case Artwork::StatusBarHover:
        return statusBar(picture == Artwork::StatusBarHover);
    case Artwork::AppIcon:
        return appIcon(48);
    default:
        break;
    }
    if (picture >= Artwork::ProgressBlue && picture <= Artwork::ProgressSky)
        return progressStrip(QColor::fromRgb(StripColors.at(picture - Artwork::ProgressBlue)));
    if (picture >= Artwork::ToolbarSilver && picture <= Artwork::ToolbarSteel) {
        const Shade& shade = ToolbarShades.at(picture - Artwork::ToolbarSilver);
        return toolbarBackground(QColor::fromRgb(shade.top), QColor::fromRgb(shade.bottom));
    }
    QImage image = blank(24, 24);
    QPainter p(&image);
    drawToolIcon(p, picture);
    return image;
}

QImage ArtworkPainter::appIcon(int size)
{
    QImage image = blank(size, size);
    QPainter p(&image);
    p.scale(size / 48.0, size / 48.0);
    drawAppIcon(p);
    return image;
}
