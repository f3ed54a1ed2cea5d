// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/Indicator.h"

#include "controls/OleColor.h"

#include <QPainter>

Indicator::Indicator(QWidget* parent) : QWidget(parent)
{
    m_timer.setInterval(120);
    connect(&m_timer, &QTimer::timeout, this, &Indicator::Step);
    clearSurface();
}

void Indicator::StartNow()
{
    if (m_timer.isActive())
        return;
    m_timer.start();
    m_isRunning = true;
    m_runTime = 0;
    m_frame.BlockPos = 0;
    drawFrame();
}

void Indicator::stopNow()
{
    m_timer.stop();
    m_isRunning = false;
    m_frame.HighlightIndex = 0;
    m_frame.HighlightPhase = 0;
    clearSurface();
    update();
}

void Indicator::PauseNow()
{
    if (m_isRunning)
        m_timer.stop();
}

void Indicator::ResumeNow()
{
    if (m_isRunning && !m_timer.isActive())
        m_timer.start();
}

void Indicator::Step()
{
    drawFrame();
    m_runTime += m_timer.interval();
    emit Tick();
}

void Indicator::clearSurface()
{
    m_surface = QImage(size().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    m_surface.fill(OleColor::toQColor(m_backColor));
    if (!m_picture.isNull()) {
        QPainter painter(&m_surface);
        painter.drawPixmap(0, 0, m_picture);
    }
}

void Indicator::drawFrame()
{
    if (m_visualEffect != 0) {
        m_frame.nextBlockPos(width());
    } else {
        m_shownIndex = m_frame.HighlightIndex;
        m_shownPhase = m_frame.HighlightPhase;
        m_frame.nextDots(width());
    }
    paintFrame();
}

void Indicator::paintFrame()
{
    clearSurface();
    QPainter painter(&m_surface);
    if (m_visualEffect != 0) {
        const int left = m_frame.BlockPos;
        const auto colours = IndicatorFrame::BlockColors(m_scrollColor);
        for (int i = 0; i < 3; ++i)
            painter.fillRect(QRect(QPoint(left + 9 * i, 4), QPoint(left + 9 * i + 5, height() - 6)),
                             OleColor::toQColor(colours[i]));
    } else {
        const int top = IndicatorFrame::DotTop(height());
        const quint32 fill = m_shownPhase == 1 ? m_highLightColor : m_highLightColor1;
        for (const IndicatorFrame::Dot& dot : IndicatorFrame::Dots(width(), m_shownIndex)) {
            if (dot.highlighted) {
                painter.setPen(OleColor::toQColor(m_foreColor));
                painter.setBrush(OleColor::toQColor(fill));
                painter.drawRect(dot.x, top, dot.size, dot.size);
            } else {
                painter.fillRect(dot.x, top, dot.size + 1, dot.size + 1,
                                 OleColor::toQColor(m_dotColor));
            }
        }
    }
    update();
}

void Indicator::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, m_surface);
    if (m_borderStyle >= 1) {
        painter.setPen(OleColor::toQColor(m_borderColor));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(1, 1, width() - 3, height() - 3);
    }
}

void Indicator::resizeEvent(QResizeEvent*)
{
    // A running (or paused) indicator keeps showing its last frame at the new size.
    if (m_isRunning)
        paintFrame();
    else
        clearSurface();
}

void Indicator::setBorderStyle(int value)
{
    m_borderStyle = value;
    update();
}

void Indicator::setBorderColor(quint32 value)
{
    m_borderColor = value;
    update();
}

void Indicator::setBackColor(quint32 value)
{
    m_backColor = value;
    clearSurface();
    update();
}

void Indicator::setPicture(const QPixmap& value)
{
    m_picture = value;
    clearSurface();
    update();
}
