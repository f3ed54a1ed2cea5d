// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/StyleSlider.h"

#include "settings/Options.h"

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
    setValue(Options::SliderStep(event->position().toPoint().x(), width(), m_steps));
    emit Clicked(m_value);
}
