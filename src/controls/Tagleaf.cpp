// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/Tagleaf.h"

#include "controls/OleColor.h"
#include "controls/Twips.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>

namespace {

constexpr int EditLeftTwips = 30;
constexpr int EditTopTwips = -15;

} // namespace

Tagleaf::Tagleaf(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void Tagleaf::parse()
{
    const QFont f = font();
    TagleafRun defaults;
    defaults.BackColor = m_backColor;
    defaults.ForeColor = m_foreColor;
    defaults.Bold = f.bold();
    defaults.Italic = f.italic();
    defaults.Underline = f.underline();
    defaults.Strikethrough = f.strikeOut();
    m_runs = TagleafFormat::Parse(m_formatString, defaults);
}

QFont Tagleaf::runFont(int run) const
{
    QFont f = font();
    if (run < 0)
        return f;
    const TagleafRun& r = m_runs.at(run);
    f.setBold(r.Bold);
    f.setItalic(r.Italic);
    f.setUnderline(r.Underline);
    f.setStrikeOut(r.Strikethrough);
    return f;
}

QVector<Tagleaf::Piece> Tagleaf::layoutPieces() const
{
    QVector<Piece> pieces;
    const int lineHeight = QFontMetrics(font()).height();
    int x = 0, y = 0, from = 0;
    auto place = [&](int length, int run) {
        const QFontMetrics metrics(runFont(run));
        const int end = std::min(int(m_caption.size()), from + length);
        while (from < end) {
            // As many characters as fit on this line; at least one on an empty line.
            int count = 0, width = 0;
            while (from + count < end) {
                const int w = metrics.horizontalAdvance(m_caption.mid(from, count + 1));
                if (x + w > this->width() && (count > 0 || x > 0))
                    break;
                width = w;
                ++count;
            }
            if (count == 0) {
                x = 0;
                y += lineHeight;
                continue;
            }
            // A line that breaks inside this stretch breaks after its last blank.
            if (from + count < end) {
                const int blank = int(m_caption.lastIndexOf(QLatin1Char(' '), from + count - 1));
                if (blank >= from && blank < from + count - 1) {
                    count = blank - from + 1;
                    width = metrics.horizontalAdvance(m_caption.mid(from, count));
                }
            }
            pieces.append({QRect(x, y, width, lineHeight), from, count, run});
            from += count;
            x += width;
            if (from < end) { // the line is full
                x = 0;
                y += lineHeight;
            }
        }
    };
    for (int run = 0; run < m_runs.size(); ++run)
        if (m_runs.at(run).Length > 0)
            place(m_runs.at(run).Length, run);
    place(int(m_caption.size()) - from, -1);
    return pieces;
}

void Tagleaf::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor back = OleColor::toQColor(m_backColor);
    if (m_backStyle == 1)
        painter.fillRect(rect(), back);
    if (!m_picture.isNull())
        painter.drawPixmap(0, 0, m_picture);
    const QColor fore = OleColor::toQColor(m_foreColor);
    if (!m_formatting || m_runs.isEmpty()) {
        const Qt::Alignment align = m_alignment == 1   ? Qt::AlignRight
                                    : m_alignment == 2 ? Qt::AlignHCenter
                                                       : Qt::AlignLeft;
        painter.setPen(isEnabled() ? fore : QColor(Qt::gray));
        painter.drawText(rect(), int(align | Qt::AlignTop | Qt::TextWordWrap), m_caption);
    } else {
        for (const Piece& piece : layoutPieces()) {
            const TagleafRun* run = piece.run >= 0 ? &m_runs.at(piece.run) : nullptr;
            if (run && run->BackColor != m_backColor) {
                painter.fillRect(piece.rect, OleColor::toQColor(run->BackColor));
                if (m_roundedFill) {
                    const QRect& r = piece.rect;
                    painter.setPen(back);
                    painter.drawPoints(
                        QPolygon({r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()}));
                }
            }
            painter.setFont(runFont(piece.run));
            painter.setPen(OleColor::toQColor(run ? run->ForeColor : m_foreColor));
            painter.drawText(piece.rect, Qt::AlignLeft | Qt::AlignVCenter,
                             m_caption.mid(piece.from, piece.length));
        }
    }
    if (m_borderStyle != 0) {
        painter.setPen(Qt::black);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

// --- The copy box ----------------------------------------------------------------------------

void Tagleaf::mouseDoubleClickEvent(QMouseEvent*)
{
    emit DblClick();
    if (m_editStart > 0)
        showEditBox();
}

void Tagleaf::showEditBox()
{
    if (!m_editBox) {
        m_editBox = new QLineEdit(this);
        m_editBox->setFrame(false);
        m_editBox->setReadOnly(true);
        m_editBox->installEventFilter(this);
    }
    const QString before = m_caption.left(m_editStart - 1);
    const int left =
        QFontMetrics(font()).horizontalAdvance(before) + Twips::toPixels(EditLeftTwips);
    const int top = Twips::toPixels(EditTopTwips);
    m_editBox->setGeometry(left, top, std::max(0, width() - left), height() - top);
    QPalette palette = m_editBox->palette();
    palette.setColor(QPalette::Base, OleColor::toQColor(m_backColor));
    palette.setColor(QPalette::Text, OleColor::toQColor(m_foreColor));
    m_editBox->setPalette(palette);
    m_editBox->setFont(font());
    m_editBox->setText(m_caption.mid(m_editStart - 1));
    m_editBox->show();
    m_editBox->setFocus(Qt::MouseFocusReason);
}

QLineEdit* Tagleaf::editBox() const
{
    return m_editBox;
}

void Tagleaf::hideEditBox()
{
    if (!m_editBox)
        return;
    m_editBox->hide();
    m_editBox->deleteLater();
    m_editBox = nullptr;
}

bool Tagleaf::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_editBox && event->type() == QEvent::FocusOut)
        hideEditBox();
    return QWidget::eventFilter(watched, event);
}

// --- Events ----------------------------------------------------------------------------------

void Tagleaf::mousePressEvent(QMouseEvent* event)
{
    emit MouseDown(event->button(), event->modifiers(), event->position().toPoint());
}

void Tagleaf::mouseMoveEvent(QMouseEvent* event)
{
    emit MouseMove(event->buttons(), event->modifiers(), event->position().toPoint());
}

void Tagleaf::mouseReleaseEvent(QMouseEvent* event)
{
    emit MouseUp(event->button(), event->modifiers(), event->position().toPoint());
    if (rect().contains(event->position().toPoint()))
        emit Click();
}

void Tagleaf::keyPressEvent(QKeyEvent* event)
{
    emit KeyDown(event->key(), event->modifiers());
    if (!event->text().isEmpty())
        emit KeyPress(event->text().at(0).unicode());
}

void Tagleaf::keyReleaseEvent(QKeyEvent* event)
{
    emit KeyUp(event->key(), event->modifiers());
}

// --- Properties ------------------------------------------------------------------------------

void Tagleaf::setCaption(const QString& value)
{
    m_caption = value;
    parse();
    update();
}

void Tagleaf::setFormatString(const QString& value)
{
    m_formatString = value;
    parse();
    update();
}

void Tagleaf::setFormatting(bool value)
{
    m_formatting = value;
    update();
}

void Tagleaf::setRoundedFill(bool value)
{
    m_roundedFill = value;
    update();
}

void Tagleaf::setAlignment(int value)
{
    m_alignment = value;
    update();
}

void Tagleaf::setBackColor(quint32 value)
{
    m_backColor = value;
    update();
}

void Tagleaf::setForeColor(quint32 value)
{
    m_foreColor = value;
    update();
}

void Tagleaf::setFont(const QFont& value)
{
    QWidget::setFont(value);
    update();
}

void Tagleaf::setBackStyle(int value)
{
    m_backStyle = value;
    update();
}

void Tagleaf::setBorderStyle(int value)
{
    m_borderStyle = value;
    update();
}

void Tagleaf::setPicture(const QPixmap& value)
{
    m_picture = value;
    update();
}
