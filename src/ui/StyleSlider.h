// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

// A slider of a few equal steps drawn as a bar: filled in blue from the left edge to the
// chosen step, with a knob at the end of the fill. A click chooses the step under the
// mouse (Options::SliderStep: never below 1). Given the focus (setFocusPolicy), the arrow,
// Page, Home and End keys move it one step or to either end.
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
    // The left button was released at x of a slider `width` wide, before Clicked: for a
    // model that applies its own rule to the position.
    void Released(int x, int width);
    // A click chose `value` (also when it is the same step again).
    void Clicked(int value);
    // A key moved the slider to `value` (emitted only when the value changed).
    void Stepped(int value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int m_steps;
    int m_value = 1;
};
