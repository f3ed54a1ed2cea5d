// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/MonitorPane.h"

#include "controls/Artwork.h"
#include "controls/OleColor.h"
#include "controls/Twips.h"
#include "lists/UrlListIO.h"
#include "manager/SlotMonitor.h"
#include "platform/StreamSocket.h"
#include "settings/Options.h"

#include <QDropEvent>
#include <QFontMetrics>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

namespace {

// The frame `PPAD` around the surface `PAD`.
constexpr int PadLeftTwips = 105;
constexpr int PadTopTwips = 75;
constexpr int FrameExtraTwips = 165; // PPAD height - PAD height
// The rows of `PAD`.
constexpr int RowTopTwips = 15;     // the first row's band starts below this
constexpr int RowGapTwips = 90;     // added to the text height for a row's pitch
constexpr int TextTopTwips = 45;    // text top inside a row, from the row's pitch start
constexpr int NumberLeftTwips = 75; // the slot number
constexpr int BarRightTwips = 2440; // the progress bar ends here
constexpr int TextLeftTwips = 2500; // the row's text starts here
constexpr int GapTwips = 60;        // between number, lamp, line and bar
constexpr int LampSize = 11;        // pixels
constexpr int BarHeight = 14;       // pixels: the 12 pixel strip inside its outline

// The frame's bevel, outermost first (0x00BBGGRR).
constexpr quint32 BevelColors[] = {0xD8C8C0, 0xD8C0B8, 0xC8A8A0, 0xB88890};
constexpr quint32 LogoColor = 0x800080;
constexpr int LogoPointSize = 36;

QColor ole(quint32 value)
{
    return OleColor::toQColor(value);
}

// The lamp's fill and rim by the slot's socket state.
std::pair<QColor, QColor> lampColors(int socketState)
{
    switch (socketState) {
    case StreamSocket::ConnectedState:
        return {ole(0x4286FF), ole(0x00FFFF)};
    case StreamSocket::ErrorState:
        return {ole(0x0000FF), ole(0x8080FF)};
    case StreamSocket::Closing:
        return {ole(0xFF0000), ole(0xFF9090)};
    case StreamSocket::Connecting:
        return {ole(0x589CA0), ole(0xA8D0D4)};
    default:
        return {ole(0x000084), ole(0x6060B0)};
    }
}

QColor mixed(const QColor& a, const QColor& b, double share)
{
    return QColor::fromRgbF(float(a.redF() * (1 - share) + b.redF() * share),
                            float(a.greenF() * (1 - share) + b.greenF() * share),
                            float(a.blueF() * (1 - share) + b.blueF() * share));
}

} // namespace

MonitorPane::MonitorPane(SlotMonitor& monitor, const Options& options, QWidget* parent)
    : QWidget(parent), m_monitor(monitor), m_options(options), m_rowCount(monitor.RowCount())
{
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(&m_monitor, &SlotMonitor::RowsChanged, this, &MonitorPane::onRowsChanged);
    connect(&m_options, &Options::optionChanged, this,
            [this](Options::Option option) { onOptionChanged(int(option)); });
}

// --- Geometry ---------------------------------------------------------------------------

int MonitorPane::RowPitch() const
{
    return QFontMetrics(font()).height() + Twips::toPixels(RowGapTwips);
}

int MonitorPane::SurfaceHeight() const
{
    // The last separator's y and one pixel.
    return m_rowCount * RowPitch() + Twips::toPixels(RowTopTwips) + 1;
}

int MonitorPane::RowTop(int slot) const
{
    // Row i lies between the separators at i * pitch + 15 twips and one pitch lower; its
    // band starts below the upper one.
    return slot * RowPitch() + Twips::toPixels(RowTopTwips) + 1;
}

QSize MonitorPane::sizeHint() const
{
    return {Twips::toPixels(7000), SurfaceHeight() + Twips::toPixels(FrameExtraTwips)};
}

QSize MonitorPane::minimumSizeHint() const
{
    return {TextLeft() + 2 * Twips::toPixels(PadLeftTwips), sizeHint().height()};
}

QRect MonitorPane::SurfaceRect() const
{
    const int left = Twips::toPixels(PadLeftTwips);
    return {left, Twips::toPixels(PadTopTwips), qMax(0, width() - 2 * left), SurfaceHeight()};
}

QRect MonitorPane::RowRect(int slot) const
{
    // The band between two separators.
    const QRect surface = SurfaceRect();
    return {surface.left(), surface.top() + RowTop(slot), surface.width(), RowPitch() - 1};
}

int MonitorPane::slotAt(int y) const
{
    const int inSurface = y - SurfaceRect().top() - Twips::toPixels(RowTopTwips);
    if (inSurface < 0)
        return -1;
    const int slot = inSurface / RowPitch();
    return slot < m_rowCount ? slot : -1;
}

QRect MonitorPane::LampRect(int slot) const
{
    const QRect row = RowRect(slot);
    const int numberRight = Twips::toPixels(NumberLeftTwips) +
                            QFontMetrics(font()).horizontalAdvance(QStringLiteral("00"));
    const int left = row.left() + numberRight + Twips::toPixels(GapTwips);
    return {left, row.top() + (row.height() - LampSize) / 2, LampSize, LampSize};
}

QRect MonitorPane::BarRect(int slot) const
{
    const QRect row = RowRect(slot);
    const int lineX = LampRect(slot).right() + Twips::toPixels(GapTwips);
    const int left = lineX + Twips::toPixels(GapTwips);
    const int right = row.left() + Twips::toPixels(BarRightTwips);
    const int height = qMin(BarHeight, row.height() - 4);
    return {left, row.top() + (row.height() - height) / 2, qMax(3, right - left), height};
}

QRect MonitorPane::BarInnerRect(int slot) const
{
    return BarRect(slot).adjusted(1, 1, -1, -1);
}

int MonitorPane::TextLeft() const
{
    return Twips::toPixels(PadLeftTwips) + Twips::toPixels(TextLeftTwips);
}

// --- Colours ----------------------------------------------------------------------------

QColor MonitorPane::Background() const
{
    return ole(m_options.ColorValues()[0]);
}

QColor MonitorPane::TextColor() const
{
    return ole(m_options.ColorValues()[1]);
}

QColor MonitorPane::LineColor() const
{
    // `Line1` and `LineV`: a quiet line between the background and the text.
    return mixed(Background(), TextColor(), 0.3);
}

// --- Painting ---------------------------------------------------------------------------

void MonitorPane::rebuild()
{
    const qreal ratio = devicePixelRatioF();
    m_cache = QImage(size() * ratio, QImage::Format_RGB32);
    m_cache.setDevicePixelRatio(ratio);
    if (m_cache.isNull())
        return;
    m_strip = Artwork::image(Artwork::progressStrip(m_options.PBarStyle()));
    QPainter painter(&m_cache);
    paintFrame(painter);
    const QRect surface = SurfaceRect();
    painter.fillRect(surface, Background());
    for (int slot = 0; slot < m_rowCount; ++slot)
        paintRow(painter, slot);
    // The separators below every row and the vertical line left of the bars.
    painter.setClipping(false);
    painter.setPen(LineColor());
    for (int slot = 0; slot < m_rowCount; ++slot) {
        const int y = RowRect(slot).bottom() + 1;
        painter.drawLine(surface.left(), y, surface.right(), y);
    }
}

void MonitorPane::paintFrame(QPainter& painter) const
{
    painter.fillRect(rect(), Background());
    QRect ring = rect().adjusted(0, 0, -1, -1);
    for (quint32 colour : BevelColors) {
        painter.setPen(ole(colour));
        painter.drawRect(ring);
        ring.adjust(1, 1, -1, -1);
    }
    // The corners are rounded: the window shows outside the arc, the pane's colour inside
    // it, and the corner pictures bend the bevel round.
    const struct
    {
        Artwork::Picture picture;
        bool right, bottom;
    } corners[] = {{Artwork::MonitorCornerTopLeft, false, false},
                   {Artwork::MonitorCornerTopRight, true, false},
                   {Artwork::MonitorCornerBottomLeft, false, true},
                   {Artwork::MonitorCornerBottomRight, true, true}};
    painter.setRenderHint(QPainter::Antialiasing);
    for (const auto& corner : corners) {
        const QImage image = Artwork::image(corner.picture);
        const QRect square(corner.right ? width() - image.width() : 0,
                           corner.bottom ? height() - image.height() : 0, image.width(),
                           image.height());
        painter.fillRect(square, palette().window());
        painter.setClipRect(square);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Background());
        // The arc's centre is the square's inner corner, as in the pictures.
        const QPointF centre(corner.right ? square.left() : square.left() + square.width(),
                             corner.bottom ? square.top() : square.top() + square.height());
        painter.drawEllipse(centre, image.width(), image.height());
        painter.setClipping(false);
        painter.drawImage(square, image);
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
}

void MonitorPane::paintLogo(QPainter& painter) const
{
    // "Harvex....", right-aligned at the foot of the surface, behind the rows' text; a
    // surface of few rows takes it smaller so that it stays whole.
    const QRect surface = SurfaceRect();
    QFont logo = font();
    logo.setBold(true);
    logo.setItalic(true);
    logo.setPointSize(LogoPointSize);
    const QString text = QStringLiteral("Harvex....");
    QFontMetrics metrics(logo);
    if (metrics.height() > surface.height() && metrics.height() > 0) {
        logo.setPointSizeF(qMax(6.0, LogoPointSize * surface.height() / double(metrics.height())));
        metrics = QFontMetrics(logo);
    }
    const int margin = Twips::toPixels(GapTwips) * 2;
    const QRect box(surface.left(), surface.bottom() + 1 - metrics.height(),
                    surface.width() - margin, metrics.height());
    painter.setFont(logo);
    painter.setPen(ole(LogoColor));
    painter.setOpacity(0.6); // a mark behind the rows, not a headline
    painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, text);
    painter.setOpacity(1);
    painter.setFont(font());
}

void MonitorPane::paintRow(QPainter& painter, int slot) const
{
    const QRect row = RowRect(slot);
    painter.setClipRect(row);
    painter.fillRect(row, Background());
    paintLogo(painter);

    const QColor text = TextColor();
    if (slot == m_highlighted) {
        // The row under the slot menu: a soft band with a thin outline.
        painter.setRenderHint(QPainter::Antialiasing);
        QColor band = text;
        band.setAlpha(40);
        QColor edge = text;
        edge.setAlpha(150);
        painter.setPen(edge);
        painter.setBrush(band);
        painter.drawRoundedRect(QRectF(row).adjusted(1.5, 0.5, -1.5, -0.5), 3, 3);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setBrush(Qt::NoBrush);
    }

    const QFontMetrics metrics(font());
    const int textTop = SurfaceRect().top() + slot * RowPitch() + Twips::toPixels(TextTopTwips);
    painter.setPen(text);
    painter.drawText(row.left() + Twips::toPixels(NumberLeftTwips), textTop + metrics.ascent(),
                     SlotMonitor::SlotNumberText(slot));

    const QRect lamp = LampRect(slot);
    const auto [fill, rim] = lampColors(m_monitor.RowAt(slot).Lamp);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(rim, 1.5));
    painter.setBrush(fill);
    painter.drawEllipse(QRectF(lamp).adjusted(0.75, 0.75, -0.75, -0.75));
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);

    // `LineV` through this row.
    const int lineX = lamp.right() + Twips::toPixels(GapTwips);
    painter.setPen(LineColor());
    painter.drawLine(lineX, row.top(), lineX, row.bottom());

    const QRect bar = BarRect(slot);
    painter.fillRect(bar, ole(m_options.ColorValues()[4]));
    const QRect inner = BarInnerRect(slot);
    painter.fillRect(inner, ole(m_options.ColorValues()[3]));
    const double percent = SlotMonitor::FillPercent(m_monitor.RowAt(slot).Progress);
    // Any share shows at least a pixel: the fill begins where FillPercent begins.
    const int filled = int(std::ceil(inner.width() * percent / 100.0));
    if (filled > 0) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(inner.left(), inner.top(), filled, inner.height()), m_strip);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    }

    painter.setPen(text);
    painter.drawText(TextLeft(), textTop + metrics.ascent(), m_monitor.DisplayText(slot));
    painter.setClipping(false);
}

void MonitorPane::repaintRow(int slot)
{
    if (slot < 0 || slot >= m_rowCount || m_cache.isNull())
        return;
    QPainter painter(&m_cache);
    paintRow(painter, slot);
    update(RowRect(slot));
}

void MonitorPane::paintEvent(QPaintEvent* event)
{
    if (m_cache.size() != size() * devicePixelRatioF())
        rebuild();
    QPainter painter(this);
    const QRect dirty = event->rect();
    const qreal ratio = m_cache.devicePixelRatio();
    painter.drawImage(dirty, m_cache,
                      QRectF(dirty.topLeft() * ratio, QSizeF(dirty.size()) * ratio));
}

// --- Changes ----------------------------------------------------------------------------

void MonitorPane::onRowsChanged()
{
    const QVector<int> dirty = m_monitor.TakeDirtyRows();
    if (m_monitor.RowCount() != m_rowCount) {
        // The rows were created: the pane takes their height.
        m_rowCount = m_monitor.RowCount();
        m_highlighted = -1;
        updateGeometry();
        rebuild();
        update();
        return;
    }
    for (int slot : dirty)
        repaintRow(slot);
}

void MonitorPane::onOptionChanged(int option)
{
    const auto changed = Options::Option(option);
    if (changed != Options::Option::PBarStyle && changed != Options::Option::ColorSettings)
        return;
    rebuild();
    update();
}

void MonitorPane::resizeEvent(QResizeEvent*)
{
    rebuild();
}

void MonitorPane::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange) {
        updateGeometry();
        rebuild();
        update();
    }
    QWidget::changeEvent(event);
}

void MonitorPane::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::RightButton)
        return QWidget::mousePressEvent(event);
    const int slot = slotAt(event->position().toPoint().y());
    if (slot < 0)
        return;
    const int previous = m_highlighted;
    m_highlighted = slot;
    repaintRow(previous);
    repaintRow(slot);
    Q_EMIT slotMenuRequested(slot, event->globalPosition().toPoint());
}

// --- Drops ------------------------------------------------------------------------------------

void MonitorPane::dragEnterEvent(QDragEnterEvent* event)
{
    if (UrlListIO::CanDrop(*event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void MonitorPane::dragMoveEvent(QDragMoveEvent* event)
{
    if (UrlListIO::CanDrop(*event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void MonitorPane::dropEvent(QDropEvent* event)
{
    event->acceptProposedAction();
    Q_EMIT dataDropped(event->mimeData());
}
