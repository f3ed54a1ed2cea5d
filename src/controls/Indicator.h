// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controls/IndicatorFrame.h"

#include <QImage>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

// The activity indicator: a row of dots along which a highlighted square walks and
// pulses, or three shaded blocks sliding right. Each timer tick draws one frame into a
// cached image; Step() is that tick, so a caller (or a test) can run frames itself.
class Indicator : public QWidget
{
    Q_OBJECT

public:
    explicit Indicator(QWidget* parent = nullptr);

    void StartNow();
    void stopNow();
    void PauseNow();
    void ResumeNow();
    // One timer tick: a frame, then the run time grows by the interval.
    void Step();

    bool IsRunning() const { return m_isRunning; }
    bool isTicking() const { return m_timer.isActive(); }
    int RunTimeInterval() const { return m_runTime; }
    const IndicatorFrame& frame() const { return m_frame; }

    static int GetRed(quint32 Color) { return int(Color & 0xFF); }
    static int GetGreen(quint32 Color) { return int((Color >> 8) & 0xFF); }
    static int GetBlue(quint32 Color) { return int((Color >> 16) & 0xFF); }

    // 0 dots; any other value blocks.
    int VisualEffect() const { return m_visualEffect; }
    void setVisualEffect(int value) { m_visualEffect = value; }
    quint32 ScrollColor() const { return m_scrollColor; }
    void setScrollColor(quint32 value) { m_scrollColor = value; }
    quint32 ForeColor() const { return m_foreColor; }
    void setForeColor(quint32 value) { m_foreColor = value; }
    int Interval() const { return m_timer.interval(); }
    void setInterval(int value) { m_timer.setInterval(value); }
    quint32 DotColor() const { return m_dotColor; }
    void setDotColor(quint32 value) { m_dotColor = value; }
    quint32 HighLightColor() const { return m_highLightColor; }
    void setHighLightColor(quint32 value) { m_highLightColor = value; }
    quint32 HighLightColor1() const { return m_highLightColor1; }
    void setHighLightColor1(quint32 value) { m_highLightColor1 = value; }
    // 0 none; 1 or more a one-pixel rectangle in BorderColor, inset by one pixel.
    int BorderStyle() const { return m_borderStyle; }
    void setBorderStyle(int value);
    quint32 BorderColor() const { return m_borderColor; }
    void setBorderColor(quint32 value);
    quint32 BackColor() const { return m_backColor; }
    void setBackColor(quint32 value);
    QPixmap Picture() const { return m_picture; }
    void setPicture(const QPixmap& value);

    QSize sizeHint() const override { return QSize(120, 20); }

signals:
    // After every frame of the timer.
    void Tick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void clearSurface();
    // Moves the animation on by one frame and draws it.
    void drawFrame();
    // Draws the frame last moved to, on a clear surface.
    void paintFrame();

    QTimer m_timer;
    IndicatorFrame m_frame;
    int m_shownIndex = 0; // the highlighted dot and phase of the frame on show
    int m_shownPhase = 0;
    QImage m_surface; // the last frame, copied to the screen by paintEvent
    bool m_isRunning = false;
    int m_runTime = 0;

    int m_visualEffect = 0;
    quint32 m_scrollColor = 0xFF0000;
    quint32 m_foreColor = 0x80000012;
    quint32 m_dotColor = 0xFF0000;
    quint32 m_highLightColor = 0xFFFF;
    quint32 m_highLightColor1 = 0x80C0FF;
    int m_borderStyle = 0;
    quint32 m_backColor = 0x8000000F;
    quint32 m_borderColor = 0x80000002;
    QPixmap m_picture;
};
