// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/CHeader.h"

#include "controls/Artwork.h"
#include "controls/OleColor.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QToolTip>

namespace {

constexpr int IconMargin = 4;

// Characters 1 and 2 stand for a stored line break; they are not printed.
QString printable(const QString& caption)
{
    QString out = caption;
    out.remove(QChar(1));
    out.remove(QChar(2));
    return out;
}

} // namespace

CHeader::CHeader(QWidget* parent) : QWidget(parent)
{
    m_icons[0] = Artwork::pixmap(Artwork::HeaderPlus);
    m_icons[1] = Artwork::pixmap(Artwork::HeaderMinus);
    m_icons[2] = Artwork::pixmap(Artwork::HeaderPlusDisabled);
    m_icons[3] = Artwork::pixmap(Artwork::HeaderMinusDisabled);
}

QSize CHeader::sizeHint() const
{
    return QSize(160, std::max(QFontMetrics(font()).height() + 6, 20));
}

QRect CHeader::innerRect() const
{
    return m_borderStyle != 0 ? rect().adjusted(1, 1, -1, -1) : rect();
}

const QPixmap& CHeader::currentIcon() const
{
    const int sign = m_iconTag == QLatin1String("-") ? 1 : 0;
    return m_icons[(isEnabled() ? 0 : 2) + sign];
}

QRect CHeader::iconRect() const
{
    const QRect inner = innerRect();
    const QSize size = currentIcon().size();
    return QRect(QPoint(inner.right() - IconMargin - size.width() + 1,
                        inner.top() + (inner.height() - size.height()) / 2),
                 size);
}

void CHeader::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect inner = innerRect();
    if (!m_headerPicture.isNull())
        painter.drawPixmap(inner, m_headerPicture);
    else
        painter.fillRect(inner, OleColor::toQColor(m_backColor));

    const QString text = printable(m_caption);
    const QFontMetrics metrics(font());
    const int x = inner.left() + (inner.width() - metrics.horizontalAdvance(text)) / 2;
    const int y = inner.top() + (inner.height() - metrics.height()) / 2 + metrics.ascent();
    if (m_userShadow) {
        painter.setPen(OleColor::toQColor(m_shadowColor));
        painter.drawText(x + m_shadowShift, y + m_shadowShift, text);
    }
    painter.setPen(OleColor::toQColor(isEnabled() ? m_foreColor : m_disabledForeColor));
    painter.drawText(x, y, text);

    painter.setBrush(Qt::NoBrush);
    const QRect frame = inner.adjusted(0, 0, -1, -1);
    switch (m_headerBorder) {
    case 1:
        painter.setPen(OleColor::toQColor(m_borderColorHigh));
        painter.drawRect(frame);
        break;
    case 2:
        painter.setPen(OleColor::toQColor(m_borderColorHigh));
        painter.drawRect(frame);
        painter.drawRect(frame.adjusted(1, 1, -1, -1));
        break;
    case 3:
        painter.setPen(OleColor::toQColor(m_borderColorLow));
        painter.drawLine(inner.bottomLeft(), inner.bottomRight());
        painter.drawLine(inner.topRight(), inner.bottomRight());
        break;
    default:
        break;
    }
    if (m_borderStyle != 0) {
        painter.setPen(Qt::black);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    painter.drawPixmap(iconRect().topLeft(), currentIcon());
}

bool CHeader::event(QEvent* event)
{
    // The icon's tool tip.
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (iconRect().contains(help->pos()))
            QToolTip::showText(help->globalPos(), QStringLiteral("Expand"), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

void CHeader::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::FontChange)
        update();
    QWidget::changeEvent(event);
}

// --- Forwarded events --------------------------------------------------------------------

void CHeader::mousePressEvent(QMouseEvent* event)
{
    emit MouseDown(event->button(), event->modifiers(), event->position().toPoint());
}

void CHeader::mouseMoveEvent(QMouseEvent* event)
{
    emit MouseMove(event->buttons(), event->modifiers(), event->position().toPoint());
}

void CHeader::mouseReleaseEvent(QMouseEvent* event)
{
    emit MouseUp(event->button(), event->modifiers(), event->position().toPoint());
}

void CHeader::keyPressEvent(QKeyEvent* event)
{
    emit KeyDown(event->key(), event->modifiers());
    if (!event->text().isEmpty())
        emit KeyPress(event->text().at(0).unicode());
}

void CHeader::keyReleaseEvent(QKeyEvent* event)
{
    emit KeyUp(event->key(), event->modifiers());
}

// --- Properties --------------------------------------------------------------------------

void CHeader::setCaption(const QString& value)
{
    QString stored = value;
    stored.replace(QLatin1Char('\r'), QChar(1));
    stored.replace(QLatin1Char('\n'), QChar(2));
    m_caption = stored;
    update();
}

void CHeader::setBackColor(quint32 value)
{
    m_backColor = value;
    update();
}

void CHeader::setForeColor(quint32 value)
{
    m_foreColor = value;
    update();
}

void CHeader::setDisabledForeColor(quint32 value)
{
    m_disabledForeColor = value;
    update();
}

void CHeader::setFont(const QFont& value)
{
    QWidget::setFont(value);
    update();
}

void CHeader::setBorderStyle(int value)
{
    m_borderStyle = value;
    update();
}

void CHeader::setHeaderBorder(int value)
{
    m_headerBorder = value;
    update();
}

void CHeader::setBorderColorHigh(quint32 value)
{
    m_borderColorHigh = value;
    update();
}

void CHeader::setBorderColorLow(quint32 value)
{
    m_borderColorLow = value;
    update();
}

void CHeader::setUserShadow(bool value)
{
    m_userShadow = value;
    update();
}

void CHeader::setShadowColor(quint32 value)
{
    m_shadowColor = value;
    update();
}

void CHeader::setShadowShift(int value)
{
    m_shadowShift = value;
    update();
}

void CHeader::setStyle(int value)
{
    m_style = value;
    updateGeometry();
    update();
}

void CHeader::setHeaderPicture(const QPixmap& value)
{
    m_headerPicture = value;
    update();
}

void CHeader::setMousePointer(int value)
{
    m_mousePointer = value;
    if (value == 0)
        unsetCursor();
    else
        setCursor(value == 11 ? Qt::WaitCursor : value == 2 ? Qt::CrossCursor : Qt::ArrowCursor);
}

void CHeader::setIconTag(const QString& value)
{
    m_iconTag = value;
    update();
}

void CHeader::SetPlusIcon(const QPixmap& picture)
{
    m_icons[0] = picture;
    update();
}

void CHeader::SetMinusIcon(const QPixmap& picture)
{
    m_icons[1] = picture;
    update();
}

void CHeader::SetDisabledPlusIcon(const QPixmap& picture)
{
    m_icons[2] = picture;
    update();
}

void CHeader::SetDisabledMinusIcon(const QPixmap& picture)
{
    m_icons[3] = picture;
    update();
}
