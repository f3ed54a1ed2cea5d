// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

// A slider of a few equal steps drawn as a bar: filled in blue from the left edge to the
// chosen step, with a knob at the end of the fill. A click chooses the step under the
// mouse (Options::SliderStep: never below 1).
class StyleSlider : public QWidget
{
    Q_OBJECT
public:
    explicit StyleSlider(int steps, QWidget* parent = nullptr);

    int Steps() const { return m_steps; }
    int Value() const { return m_value; }
    // Kept within 1..Steps(); emits nothing.
    void setValue(int value);
    // Where the fill ends for the current value.
    int FillEnd() const;

    QSize sizeHint() const override { return {210, 16}; }

signals:
    // A click chose `value` (also when it is the same step again).
    void Clicked(int value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int m_steps;
    int m_value = 1;
};
