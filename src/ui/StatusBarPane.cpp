// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/StatusBarPane.h"

#include "controls/Artwork.h"
#include "controls/OleColor.h"
#include "controls/Tagleaf.h"
#include "lists/JobList.h"
#include "lists/StatusLine.h"
#include "manager/DownloadManager.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr int GraphWidth = SpeedMeter::HistorySize;      // one column per tick
constexpr int GraphHeight = SpeedMeter::GraphHeight + 1; // values 0 .. 17
constexpr int GraphLeft = 3;
constexpr int Spacing = 12; // between labels
constexpr int RightMargin = 8;
const QColor ColumnColor(255, 0, 0);
const QColor PeakColor(255, 255, 0);
const QColor LabelInk(0x1F, 0x2D, 0x3D);

} // namespace

StatusBarPane::StatusBarPane(DownloadManager& manager, QWidget* parent)
    : QWidget(parent), m_manager(manager)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);

    // The message sits in a dark well like the monitor's surface, in the monitor's
    // colours, so that the counter line's colours read as they are meant to.
    m_message = new Tagleaf(this);
    m_message->setObjectName(QStringLiteral("lblgmsg"));
    const Options::Colors& colours = manager.options().ColorValues();
    m_message->setBackColor(colours[0]);
    m_message->setForeColor(colours[1]);
    m_message->setMouseTracking(true);
    m_message->setAttribute(Qt::WA_NoMousePropagation);
    m_message->installEventFilter(this);

    m_meter = addLabel("lblgMeter", QString());
    m_meter->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_meter->setMouseTracking(true);
    m_meter->setAttribute(Qt::WA_NoMousePropagation);
    m_block = addLabel("lblBlock", QStringLiteral("Block: OFF"));
    m_block->setCursor(Qt::PointingHandCursor);
    m_list = addLabel("lblList", QStringLiteral("00000/00000"));
    m_time = addLabel("lblTime", QStringLiteral("00:00 Min"));

    loadBackgrounds();
    showStatus();
    showJobs();
    showMeter();

    connect(&manager.Status(), &StatusLine::Changed, this, &StatusBarPane::showStatus);
    connect(&manager.Jobs(), &JobList::Changed, this, &StatusBarPane::showJobs);
    connect(&manager, &DownloadManager::MeterChanged, this, &StatusBarPane::showMeter);
    connect(&manager, &DownloadManager::RunFinished, this, &StatusBarPane::showMeter);
    connect(&manager, &DownloadManager::CommandsChanged, this, [this] {
        showMeter();
        if (!m_manager.State().IsIdle)
            setHighlighted(false);
    });
    connect(&manager.options(), &Options::optionChanged, this, [this](Options::Option option) {
        if (option != Options::Option::ColorSettings)
            return;
        const Options::Colors& now = m_manager.options().ColorValues();
        m_message->setBackColor(now[0]);
        m_message->setForeColor(now[1]);
        showStatus();
        update();
    });
}

QLabel* StatusBarPane::addLabel(const char* name, const QString& widest)
{
    auto* label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignCenter);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, LabelInk);
    label->setPalette(palette);
    label->setMinimumWidth(fontMetrics().horizontalAdvance(widest) + 4);
    label->installEventFilter(this);
    return label;
}

QSize StatusBarPane::sizeHint() const
{
    return {QWidget::sizeHint().width(), qMax(22, fontMetrics().height() + 8)};
}

QSize StatusBarPane::minimumSizeHint() const
{
    return {GraphLeft + GraphWidth + 80, sizeHint().height()};
}

QRect StatusBarPane::GraphRect() const
{
    return {GraphLeft, (height() - GraphHeight) / 2, GraphWidth, GraphHeight};
}

// --- The texts --------------------------------------------------------------------------

void StatusBarPane::showStatus()
{
    const StatusLine& status = m_manager.Status();
    m_message->setFormatString(status.FormatString());
    m_message->setFormatting(status.Formatting());
    m_message->setCaption(status.Caption());
    m_message->setToolTip(status.Caption());
    placeLabels();
}

void StatusBarPane::showJobs()
{
    m_block->setText(m_manager.Jobs().BlockCaption());
    m_list->setText(m_manager.Jobs().ListCaption());
    placeLabels();
}

void StatusBarPane::showMeter()
{
    m_meter->setText(m_manager.MeterText());
    m_time->setText(m_manager.TimeText());
    placeLabels();
    update(GraphRect().adjusted(-1, -1, 1, 1));
}

// --- Painting ---------------------------------------------------------------------------

void StatusBarPane::loadBackgrounds()
{
    const int h = qMax(1, height());
    m_normal = Artwork::pixmap(Artwork::StatusBar).scaled(16, h);
    m_hover = Artwork::pixmap(Artwork::StatusBarHover).scaled(16, h);
}

void StatusBarPane::resizeEvent(QResizeEvent*)
{
    if (m_normal.height() != height())
        loadBackgrounds();
    placeLabels();
}

void StatusBarPane::placeLabels()
{
    // From the right end: time, list and block at their widths; the message and the meter
    // share what is left.
    int right = width() - RightMargin;
    for (QLabel* label : {m_time, m_list, m_block}) {
        const int w = qMax(label->minimumWidth(), label->sizeHint().width());
        label->setGeometry(right - w, 0, w, height());
        right -= w + Spacing;
    }
    const int left = GraphRect().right() + 1 + 2 * Spacing;
    const int room = qMax(0, right - left);
    const int meterWant = fontMetrics().horizontalAdvance(m_meter->text()) + 8;
    const int messageWant = fontMetrics().horizontalAdvance(m_message->Caption()) + 8;
    // Short of room the message comes first, up to two thirds; the meter takes the rest.
    const int meter = meterWant + messageWant + Spacing <= room
                          ? meterWant
                          : qMax(0, room - Spacing - qMin(messageWant, room * 2 / 3));
    m_meter->setGeometry(right - meter, 0, meter, height());
    const int lineHeight = fontMetrics().height();
    m_message->setGeometry(left, (height() - lineHeight) / 2,
                           qMax(0, right - meter - Spacing - left), lineHeight);
}

void StatusBarPane::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.drawTiledPixmap(event->rect(), m_highlighted ? m_hover : m_normal,
                            event->rect().topLeft());

    const QColor well = OleColor::toQColor(m_manager.options().ColorValues()[0]);
    const QColor edge = well.darker(160);
    painter.setPen(edge);
    painter.setBrush(well);
    painter.drawRect(GraphRect().adjusted(-1, -1, 0, 0));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.drawRoundedRect(QRectF(m_message->geometry()).adjusted(-4.5, -2.5, 4.5, 2.5), 3, 3);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    paintGraph(painter);

    // An etched line in front of each label right of the message.
    for (const QLabel* label : {m_meter, m_block, m_list, m_time}) {
        const int x = label->geometry().left() - 6;
        painter.setPen(QColor(0, 0, 0, 60));
        painter.drawLine(x, 4, x, height() - 5);
        painter.setPen(QColor(255, 255, 255, 170));
        painter.drawLine(x + 1, 4, x + 1, height() - 5);
    }
}

void StatusBarPane::paintGraph(QPainter& painter) const
{
    // Oldest column on the left: a red column from the foot up to the value, a yellow
    // point on its top.
    const SpeedMeter& meter = m_manager.Meter();
    if (meter.GraphBlank())
        return;
    const QRect graph = GraphRect();
    const int foot = graph.top() + SpeedMeter::GraphHeight;
    const QVector<int> history = meter.History();
    for (int x = 0; x < history.size() && x < GraphWidth; ++x) {
        const int top = foot - qBound(0, history.at(x), int(SpeedMeter::GraphHeight));
        painter.setPen(ColumnColor);
        painter.drawLine(graph.left() + x, foot, graph.left() + x, top);
        painter.setPen(PeakColor);
        painter.drawPoint(graph.left() + x, top);
    }
}

// --- The mouse --------------------------------------------------------------------------

void StatusBarPane::setHighlighted(bool on)
{
    if (m_highlighted == on)
        return;
    m_highlighted = on;
    update();
}

void StatusBarPane::mouseMoveEvent(QMouseEvent*)
{
    // `Picture2_MouseMove`: only while no run is going.
    if (m_manager.State().IsIdle)
        setHighlighted(true);
}

void StatusBarPane::leaveEvent(QEvent*)
{
    setHighlighted(false);
}

bool StatusBarPane::eventFilter(QObject* watched, QEvent* event)
{
    // `CheckHover`: over the message or the meter the bar is normal again.
    if (event->type() == QEvent::MouseMove && (watched == m_message || watched == m_meter))
        setHighlighted(false);
    if (watched == m_block && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            m_block->rect().contains(mouse->position().toPoint()))
            Q_EMIT blockLabelClicked();
    }
    return QWidget::eventFilter(watched, event);
}
