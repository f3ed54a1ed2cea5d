// SPDX-License-Identifier: GPL-3.0-or-later
// The list's input: mouse, keys, and drag and drop forwarded as events.
#include "controls/RowvaneView.h"

#include "controls/Twips.h"
#include "lists/Rowvane.h"

#include <QDrag>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QStyleHints>

namespace {

constexpr int CheckHitExtra = 30; // a press this far right of the check picture still hits it

int px(int twips)
{
    return Twips::toPixels(twips);
}

} // namespace

// --- Input -------------------------------------------------------------------------------

QPoint RowvaneView::surfacePos(QPointF viewportPos) const
{
    return QPoint(int(viewportPos.x()) + HorizontalStep() * px(HScrollStepTwips),
                  int(viewportPos.y()));
}

void RowvaneView::setCurrent(int row)
{
    m_ownMove = true;
    m_model.setListIndex(row);
    m_ownMove = false;
}

void RowvaneView::moveTo(int row, int top)
{
    setCurrent(row);
    setTopRow(top);
    emit Click();
}

void RowvaneView::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = surfacePos(event->position());
    m_pressPos = event->position().toPoint();
    emit MouseDown(event->button(), event->modifiers(), pos);
    const int row = TopRow() + pos.y() / m_rowHeight;
    if (row < 0 || row >= m_model.ListCount()) {
        setCurrent(-1);
        repaintRows();
        return;
    }
    setCurrent(row);
    if (pos.x() <= m_checkIcon.width() + px(CheckHitExtra) && m_model.Style() == 1 &&
        m_model.ManualClick()) {
        const bool check = !m_model.Selected(row);
        m_ownMove = true;
        m_model.setSelected(row, check);
        m_ownMove = false;
        if (check)
            emit Checked(row);
        else
            emit UnChecked(row);
    }
    EnsureVisible(row);
}

void RowvaneView::mouseMoveEvent(QMouseEvent* event)
{
    emit MouseMove(event->buttons(), event->modifiers(), surfacePos(event->position()));
    if (m_oleDragMode == 1 && (event->buttons() & Qt::LeftButton) &&
        (event->position().toPoint() - m_pressPos).manhattanLength() >=
            QGuiApplication::styleHints()->startDragDistance())
        OLEDrag();
}

void RowvaneView::mouseReleaseEvent(QMouseEvent* event)
{
    emit MouseUp(event->button(), event->modifiers(), surfacePos(event->position()));
    if (m_model.ListIndex() != -1)
        emit Click();
}

void RowvaneView::keyPressEvent(QKeyEvent* event)
{
    const int count = m_model.ListCount();
    const int current = m_model.ListIndex();
    const int top = TopRow();
    const int maximum = verticalScrollBar()->maximum();
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    QScrollBar* hs = horizontalScrollBar();
    switch (event->key()) {
    case Qt::Key_Up:
        if (current >= 1) {
            setCurrent(current - 1);
            EnsureVisible(current - 1);
            emit Click();
        }
        break;
    case Qt::Key_Down:
        if (current < count - 1) {
            setCurrent(current + 1);
            EnsureVisible(current + 1);
            emit Click();
        }
        break;
    case Qt::Key_Left:
        hs->setValue(hs->value() - 1);
        break;
    case Qt::Key_Right:
        hs->setValue(hs->value() + 1);
        break;
    // An empty list has no row to move to: the moves below refuse it and raise no Click.
    case Qt::Key_Home:
        if (!ctrl)
            hs->setValue(0);
        else if (count > 0)
            moveTo(0, 0);
        break;
    case Qt::Key_End:
        if (!ctrl)
            hs->setValue(hs->maximum());
        else if (count > 0)
            moveTo(count - 1, maximum);
        break;
    case Qt::Key_PageUp:
        if (count > 0)
            top - m_visibleRows >= 0 ? moveTo(top - m_visibleRows, top - m_visibleRows)
                                     : moveTo(0, 0);
        break;
    case Qt::Key_PageDown:
        if (count > 0)
            top + m_visibleRows > maximum ? moveTo(count - 1, maximum)
                                          : moveTo(top + m_visibleRows, top + m_visibleRows);
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    repaintRows();
}

// --- Drag and drop ---------------------------------------------------------------------------

void RowvaneView::OLEDrag()
{
    auto* drag = new QDrag(this);
    auto* data = new QMimeData;
    data->setText(m_model.ActiveItem());
    drag->setMimeData(data);
    connect(drag, &QDrag::actionChanged, this, &RowvaneView::OLEGiveFeedback);
    drag->exec(Qt::CopyAction | Qt::MoveAction);
}

void RowvaneView::dragEnterEvent(QDragEnterEvent* event)
{
    if (m_oleDropMode != 1)
        return event->ignore();
    event->acceptProposedAction();
    emit OLEDragOver(event->mimeData(), event->dropAction(), event->buttons(), event->modifiers(),
                     surfacePos(event->position()), 0);
}

void RowvaneView::dragMoveEvent(QDragMoveEvent* event)
{
    event->acceptProposedAction();
    emit OLEDragOver(event->mimeData(), event->dropAction(), event->buttons(), event->modifiers(),
                     surfacePos(event->position()), 2);
}

void RowvaneView::dragLeaveEvent(QDragLeaveEvent*)
{
    emit OLEDragOver(nullptr, Qt::IgnoreAction, Qt::NoButton, Qt::NoModifier, QPoint(), 1);
}

void RowvaneView::dropEvent(QDropEvent* event)
{
    event->acceptProposedAction();
    emit OLEDragDrop(event->mimeData(), event->dropAction(), event->buttons(), event->modifiers(),
                     surfacePos(event->position()));
}
