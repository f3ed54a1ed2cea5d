// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/StyleSlider.h"

#include "settings/Options.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

const QColor Fill(0x00, 0x00, 0xFF);
const QColor Trough(0xFF, 0xFF, 0xFF);
const QColor Edge(0x80, 0x80, 0x80);
constexpr int KnobWidth = 7;

} // namespace

StyleSlider::StyleSlider(int steps, QWidget* parent) : QWidget(parent), m_steps(qMax(1, steps))
{
    setToolTip(QStringLiteral("Click to change value"));
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void StyleSlider::setValue(int value)
{
    m_value = qBound(1, value, m_steps);
    update();
}

int StyleSlider::FillEnd() const
{
    // The last step takes what integer division leaves over, so the top value fills it all.
    return m_value == m_steps ? width() : m_value * (width() / m_steps);
}

void StyleSlider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect bar = rect().adjusted(0, 3, -1, -4);
    painter.fillRect(bar, Trough);
    painter.fillRect(QRect(bar.left(), bar.top(), FillEnd(), bar.height() + 1), Fill);
    painter.setPen(Edge);
    painter.drawRect(bar);
    if (hasFocus()) {
        // The focus mark: a dotted frame around the bar, under the knob.
        painter.setPen(QPen(palette().windowText().color(), 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    // The knob: a raised block standing over the end of the fill.
    const int knobLeft = qBound(0, FillEnd() - KnobWidth / 2 - 1, width() - KnobWidth);
    const QRect knob(knobLeft, 0, KnobWidth - 1, height() - 1);
    painter.fillRect(knob, palette().button());
    painter.setPen(palette().light().color());
    painter.drawLine(knob.topLeft(), knob.topRight());
    painter.drawLine(knob.topLeft(), knob.bottomLeft());
    painter.setPen(palette().shadow().color());
    painter.drawLine(knob.bottomLeft(), knob.bottomRight());
    painter.drawLine(knob.topRight(), knob.bottomRight());
}

void StyleSlider::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const int x = event->position().toPoint().x();
    emit Released(x, width());
    setValue(Options::SliderStep(x, width(), m_steps));
    emit Clicked(m_value);
}

void StyleSlider::keyPressEvent(QKeyEvent* event)
{
    int value = m_value;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down:
        --value;
        break;
    case Qt::Key_Right:
    case Qt::Key_Up:
        ++value;
        break;
    case Qt::Key_PageDown:
        value -= qMax(1, m_steps / 4);
        break;
    case Qt::Key_PageUp:
        value += qMax(1, m_steps / 4);
        break;
    case Qt::Key_Home:
        value = 1;
        break;
    case Qt::Key_End:
        value = m_steps;
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    value = qBound(1, value, m_steps);
    if (value == m_value)
        return;
    setValue(value);
    emit Stepped(m_value);
}
