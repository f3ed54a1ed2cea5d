// SPDX-License-Identifier: GPL-3.0-or-later
// The toolbar icons and the application icon, drawn on a 24 x 24 (48 x 48) grid.
#include "controls/ArtworkPainter.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>

namespace {

// A round badge with a light rim and a glossy fill.
void badge(QPainter& p, QColor colour)
{
    QRadialGradient fill(QPointF(9, 8), 14);
    fill.setColorAt(0, colour.lighter(150));
    fill.setColorAt(1, colour);
    p.setPen(QPen(colour.darker(140), 1));
    p.setBrush(fill);
    p.drawEllipse(QPointF(12, 12), 10.5, 10.5);
}

void arrowDown(QPainter& p, QPointF tip, double size, QColor colour)
{
    const double s = size;
    QPainterPath path;
    path.moveTo(tip);
    path.lineTo(tip.x() - s, tip.y() - s);
    path.lineTo(tip.x() - s / 2.5, tip.y() - s);
    path.lineTo(tip.x() - s / 2.5, tip.y() - 2 * s);
    path.lineTo(tip.x() + s / 2.5, tip.y() - 2 * s);
    path.lineTo(tip.x() + s / 2.5, tip.y() - s);
    path.lineTo(tip.x() + s, tip.y() - s);
    path.closeSubpath();
    p.setPen(QPen(colour.darker(150), 1));
    p.setBrush(colour);
    p.drawPath(path);
}

void start(QPainter& p)
{
    badge(p, QColor(0x2E, 0x9E, 0x44));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF({QPointF(9.5, 6.5), QPointF(18, 12), QPointF(9.5, 17.5)}));
}

void stop(QPainter& p)
{
    badge(p, QColor(0xD0, 0x3A, 0x2F));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(7.5, 7.5, 9, 9), 1.5, 1.5);
}

void resume(QPainter& p)
{
    badge(p, QColor(0xE0, 0x8A, 0x1E));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF({QPointF(7.5, 7), QPointF(14.5, 12), QPointF(7.5, 17)}));
    p.drawRect(QRectF(15, 7, 2.5, 10));
}

void filt(QPainter& p)
{
    // A globe with a download arrow in front.
    QRadialGradient sea(QPointF(8, 7), 13);
    sea.setColorAt(0, QColor(0x9C, 0xD2, 0xFF));
    sea.setColorAt(1, QColor(0x2A, 0x6C, 0xC4));
    p.setPen(QPen(QColor(0x1E, 0x4E, 0x90), 1));
    p.setBrush(sea);
    p.drawEllipse(QPointF(10.5, 10.5), 9, 9);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 170), 0.9));
    p.drawEllipse(QPointF(10.5, 10.5), 4, 9);
    p.drawLine(QPointF(1.5, 10.5), QPointF(19.5, 10.5));
    p.drawLine(QPointF(3, 6), QPointF(18, 6));
    p.drawLine(QPointF(3, 15), QPointF(18, 15));
    arrowDown(p, QPointF(18, 23), 5, QColor(0x36, 0xB0, 0x4C));
}

void mon(QPainter& p)
{
    p.setPen(QPen(QColor(0x3A, 0x44, 0x50), 1));
    p.setBrush(QColor(0x5A, 0x66, 0x74));
    p.drawRoundedRect(QRectF(1.5, 3.5, 21, 15), 2, 2);
    p.setBrush(QColor(0x10, 0x1C, 0x24));
    p.drawRect(QRectF(3.5, 5.5, 17, 11));
    p.setPen(QPen(QColor(0x4C, 0xE0, 0x6A), 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(4.5, 12), QPointF(8, 12), QPointF(10, 8), QPointF(12.5, 15),
                              QPointF(14.5, 10), QPointF(16, 12), QPointF(19.5, 12)}));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x5A, 0x66, 0x74));
    p.drawRect(QRectF(10, 18.5, 4, 2.5));
    p.drawRoundedRect(QRectF(6, 20.5, 12, 2.5), 1, 1);
}

void conf(QPainter& p)
{
    // A pane with three sliders.
    p.setPen(QPen(QColor(0x5C, 0x6A, 0x7A), 1));
    p.setBrush(QColor(0xF4, 0xF6, 0xF9));
    p.drawRoundedRect(QRectF(2.5, 2.5, 19, 19), 2, 2);
    const double knobs[3] = {8, 15, 11};
    for (int i = 0; i < 3; ++i) {
        const double y = 7 + i * 5;
        p.setPen(QPen(QColor(0x8A, 0x96, 0xA4), 1.5));
        p.drawLine(QPointF(5, y), QPointF(19, y));
        p.setPen(QPen(QColor(0x1C, 0x4E, 0x8A), 1));
        p.setBrush(QColor(0x4A, 0x8C, 0xD8));
        p.drawRect(QRectF(knobs[i] - 1.5, y - 2.5, 3, 5));
    }
}

void tools(QPainter& p)
{
    // A gear of eight teeth.
    QPainterPath gear;
    for (int i = 0; i < 16; ++i) {
        const double angle = i * M_PI / 8;
        const double r = (i % 2 == 0) ? 10.5 : 8;
        const double a0 = angle - M_PI / 16, a1 = angle + M_PI / 16;
        const QPointF p0(12 + r * std::cos(a0), 12 + r * std::sin(a0));
        const QPointF p1(12 + r * std::cos(a1), 12 + r * std::sin(a1));
        i == 0 ? gear.moveTo(p0) : gear.lineTo(p0);
        gear.lineTo(p1);
    }
    gear.closeSubpath();
    gear.addEllipse(QPointF(12, 12), 3.5, 3.5);
    gear.setFillRule(Qt::OddEvenFill);
    QLinearGradient steel(0, 2, 0, 22);
    steel.setColorAt(0, QColor(0xC8, 0xD0, 0xDA));
    steel.setColorAt(1, QColor(0x6C, 0x78, 0x88));
    p.setPen(QPen(QColor(0x44, 0x4E, 0x5A), 1));
    p.setBrush(steel);
    p.drawPath(gear);
}

void save(QPainter& p)
{
    // A disk: blue body, white label, metal shutter.
    QPainterPath body;
    body.moveTo(3.5, 3.5);
    body.lineTo(18, 3.5);
    body.lineTo(20.5, 6);
    body.lineTo(20.5, 20.5);
    body.lineTo(3.5, 20.5);
    body.closeSubpath();
    p.setPen(QPen(QColor(0x1C, 0x3E, 0x78), 1));
    p.setBrush(QColor(0x3A, 0x6E, 0xC0));
    p.drawPath(body);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6, 4, 11, 7));
    p.setBrush(QColor(0xB8, 0xC2, 0xCE));
    p.drawRect(QRectF(7, 14, 10, 6.5));
    p.setBrush(QColor(0x3A, 0x6E, 0xC0));
    p.drawRect(QRectF(13.5, 15, 2, 4.5));
}

void abt(QPainter& p)
{
    badge(p, QColor(0x2F, 0x6F, 0xD0));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(12, 7.5), 1.7, 1.7);
    p.drawRoundedRect(QRectF(10.5, 10.5, 3, 8), 1, 1);
}

void close(QPainter& p)
{
    badge(p, QColor(0xB8, 0x2A, 0x22));
    p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 8), QPointF(16, 16));
    p.drawLine(QPointF(16, 8), QPointF(8, 16));
}

void stik(QPainter& p)
{
    // A push pin, leaning to the right.
    p.translate(12, 12);
    p.rotate(35);
    p.setPen(QPen(QColor(0x70, 0x78, 0x80), 1.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(0, 3), QPointF(0, 11));
    p.setPen(QPen(QColor(0x8C, 0x1E, 0x1E), 1));
    QLinearGradient red(-5, 0, 5, 0);
    red.setColorAt(0, QColor(0xF0, 0x6A, 0x5C));
    red.setColorAt(1, QColor(0xC0, 0x2A, 0x22));
    p.setBrush(red);
    p.drawRoundedRect(QRectF(-5.5, 1, 11, 2.5), 1, 1);
    p.drawRect(QRectF(-3, -7, 6, 8));
    p.drawRoundedRect(QRectF(-4.5, -10, 9, 3), 1, 1);
    p.resetTransform();
}

} // namespace

void ArtworkPainter::drawToolIcon(QPainter& p, Artwork::Picture picture)
{
    p.setRenderHint(QPainter::Antialiasing);
    switch (picture) {
    case Artwork::ToolStart:
        return start(p);
    case Artwork::ToolStop:
        return stop(p);
    case Artwork::ToolResume:
        return resume(p);
    case Artwork::ToolFilt:
        return filt(p);
    case Artwork::ToolMon:
        return mon(p);
    case Artwork::ToolConf:
        return conf(p);
    case Artwork::ToolTools:
        return tools(p);
    case Artwork::ToolSave:
        return save(p);
    case Artwork::ToolAbt:
        return abt(p);
    case Artwork::ToolClose:
        return close(p);
    case Artwork::ToolStik:
        return stik(p);
    default:
        return;
    }
}

void ArtworkPainter::drawAppIcon(QPainter& p)
{
    // Three pages falling into a tray: many files fetched in one go.
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient back(0, 0, 0, 48);
    back.setColorAt(0, QColor(0x3A, 0x7C, 0xD8));
    back.setColorAt(1, QColor(0x17, 0x3C, 0x78));
    p.setPen(QPen(QColor(0x10, 0x2A, 0x54), 1));
    p.setBrush(back);
    p.drawRoundedRect(QRectF(1.5, 1.5, 45, 45), 9, 9);
    for (int i = 2; i >= 0; --i) {
        const QRectF page(10 + i * 5, 5 + i * 3, 15, 19);
        p.setPen(QPen(QColor(0x9A, 0xAE, 0xC8), 1));
        p.setBrush(QColor(0xFF, 0xFF, 0xFF, 255 - i * 40));
        p.drawRect(page);
    }
    arrowDown(p, QPointF(24, 37), 8, QColor(0x4C, 0xD0, 0x62));
    p.setPen(QPen(QColor(0xE8, 0xF0, 0xFA), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(9, 32), QPointF(9, 41), QPointF(39, 41), QPointF(39, 32)}));
}
