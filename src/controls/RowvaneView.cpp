// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/RowvaneView.h"

#include "controls/Artwork.h"
#include "controls/OleColor.h"
#include "controls/Twips.h"
#include "lists/Rowvane.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace {

// The design's offsets, in twips.
constexpr int CheckLeft = 30;      // check picture from the surface's left edge
constexpr int TextAfterCheck = 60; // text area after the check picture
constexpr int TextIndent = 30;     // text inside its area
constexpr int RowWidthExtra = 240; // added to every row's measured width

constexpr int RepaintIntervalMs = 40; // model changes are painted at most this often

int px(int twips)
{
    return Twips::toPixels(twips);
}

QFont toQFont(const RowvaneFont& f)
{
    QFont font(f.Name);
    font.setPointSizeF(f.Size);
    font.setBold(f.Bold);
    font.setItalic(f.Italic);
    font.setUnderline(f.Underline);
    font.setStrikeOut(f.Strikethrough);
    return font;
}

} // namespace

RowvaneView::RowvaneView(Rowvane& model, QWidget* parent)
    : QAbstractScrollArea(parent), m_model(model),
      m_checkIcon(Artwork::pixmap(Artwork::CheckEmpty)),
      m_unCheckIcon(Artwork::pixmap(Artwork::CheckTicked))
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAcceptDrops(true);
    horizontalScrollBar()->setSingleStep(1);
    verticalScrollBar()->setSingleStep(1);
    setBorderStyle(m_borderStyle);

    m_repaint.setSingleShot(true);
    m_repaint.setInterval(RepaintIntervalMs);
    connect(&m_repaint, &QTimer::timeout, viewport(), qOverload<>(&QWidget::update));
    connect(&m_model, &Rowvane::Changed, this, &RowvaneView::onChanged);
    connect(&m_model, &Rowvane::FontsChanged, this, &RowvaneView::onFontsChanged);
    connect(&m_model, &Rowvane::RowsReset, this, &RowvaneView::measureAll);
    connect(&m_model, &Rowvane::RowInserted, this,
            [this](int row) { m_widths.insert(row, measure(row)); });
    connect(&m_model, &Rowvane::RowRemoved, this, [this](int row) { m_widths.remove(row); });
    connect(&m_model, &Rowvane::RowsReplaced, this, [this](int first, int last) {
        for (int row = first; row <= last; ++row)
            m_widths.replace(row, measure(row));
    });
    connect(&m_model, &Rowvane::EnsureVisibleRequested, this, [this](int row) {
        if (!m_ownMove)
            EnsureVisible(row);
    });
    connect(&m_model, &Rowvane::Click, this, &RowvaneView::Click);
    viewport()->setToolTip(m_model.ToolTipText());
    onFontsChanged();
}

// --- Measures ------------------------------------------------------------------------------

void RowvaneView::onFontsChanged()
{
    m_fonts.clear();
    m_metrics.clear();
    for (int i = 0; i < m_model.MaxFonts(); ++i) {
        m_fonts.append(toQFont(m_model.FontAt(i)));
        m_metrics.emplace_back(m_fonts.last());
    }
    measureAll();
    RecalcLayout();
}

int RowvaneView::measure(int row) const
{
    return m_checkIcon.width() + m_metrics[fontIndex(row)].horizontalAdvance(m_model.List(row)) +
           px(RowWidthExtra);
}

int RowvaneView::fontIndex(int row) const
{
    const int id = m_model.FontID(row);
    return id >= 0 && id < int(m_fonts.size()) ? id : 0;
}

int RowvaneView::RowWidth(int row) const
{
    return m_widths.at(row);
}

void RowvaneView::measureAll()
{
    QVector<int> widths(m_model.ListCount());
    for (int row = 0; row < widths.size(); ++row)
        widths[row] = measure(row);
    m_widths.reset(std::move(widths));
}

int RowvaneView::SurfaceWidth() const
{
    return std::max(m_widths.widest(), viewport()->width());
}

void RowvaneView::CalcRowHeight()
{
    int height = 0;
    for (const QFontMetrics& metrics : m_metrics)
        height = std::max(height, metrics.height());
    height += 2; // one pixel above and below
    for (const QPixmap* icon : {&m_checkIcon, &m_unCheckIcon})
        if (icon->height() >= height)
            height = icon->height() + px(30);
    m_rowHeight = height;
}

void RowvaneView::CalcVisibleRows()
{
    m_visibleRows = viewport()->height() / m_rowHeight;
    // Too low for one row: grow to hold one.
    if (m_visibleRows == 0)
        setMinimumHeight(m_rowHeight + 2 * frameWidth());
}

void RowvaneView::UpdateVScroll()
{
    const int maximum = std::max(0, m_model.ListCount() - m_visibleRows);
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, maximum);
    bar->setPageStep(std::max(1, m_visibleRows));
    setVerticalScrollBarPolicy(m_model.ListCount() > m_visibleRows ? Qt::ScrollBarAlwaysOn
                                                                   : Qt::ScrollBarAlwaysOff);
}

void RowvaneView::updateHScroll()
{
    const int step = px(HScrollStepTwips);
    const int overhang = SurfaceWidth() - viewport()->width();
    horizontalScrollBar()->setRange(0, (overhang + step - 1) / step);
}

void RowvaneView::RecalcLayout()
{
    CalcRowHeight();
    CalcVisibleRows();
    UpdateVScroll();
    updateHScroll();
    repaintRows();
}

void RowvaneView::onChanged()
{
    // The bars follow at once; the rows are painted when the interval is over.
    UpdateVScroll();
    updateHScroll();
    viewport()->setToolTip(m_model.ToolTipText());
    m_pageDirty = true;
    if (!m_repaint.isActive())
        m_repaint.start();
}

void RowvaneView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    CalcVisibleRows();
    UpdateVScroll();
    updateHScroll();
}

void RowvaneView::scrollContentsBy(int, int)
{
    repaintRows();
}

// --- Scrolling ---------------------------------------------------------------------------

int RowvaneView::TopRow() const
{
    return verticalScrollBar()->value();
}

void RowvaneView::setTopRow(int row)
{
    verticalScrollBar()->setValue(row);
}

int RowvaneView::HorizontalStep() const
{
    return horizontalScrollBar()->value();
}

bool RowvaneView::isVisible(int Index) const
{
    return TopRow() <= Index && Index + 1 <= TopRow() + m_visibleRows;
}

void RowvaneView::EnsureVisible(int Index)
{
    if (TopRow() > Index)
        setTopRow(std::max(Index, 0));
    else if (TopRow() + m_visibleRows < Index + 1)
        setTopRow(std::min(Index - m_visibleRows + 1, verticalScrollBar()->maximum()));
    else
        repaintRows();
}

// --- Painting ----------------------------------------------------------------------------

void RowvaneView::repaintRows()
{
    m_pageDirty = true;
    viewport()->update();
}

// The page in view is drawn once into a cached picture when rows, scrolling or size
// changed; every paint copies only the rectangle asked for.
void RowvaneView::paintEvent(QPaintEvent* event)
{
    const qreal ratio = viewport()->devicePixelRatioF();
    const QSize pixels = viewport()->size() * ratio;
    if (m_pageDirty || m_page.size() != pixels) {
        m_page = QPixmap(pixels.expandedTo(QSize(1, 1)));
        m_page.setDevicePixelRatio(ratio);
        QPainter page(&m_page);
        drawPage(page);
        m_pageDirty = false;
    }
    const QRectF dirty(event->rect());
    QPainter painter(viewport());
    painter.drawPixmap(dirty, m_page, QRectF(dirty.topLeft() * ratio, dirty.size() * ratio));
}

void RowvaneView::drawPage(QPainter& painter) const
{
    painter.fillRect(viewport()->rect(), OleColor::toQColor(m_model.BackColor()));
    const int offset = HorizontalStep() * px(HScrollStepTwips);
    painter.translate(-offset, 0);
    const int surfaceWidth = SurfaceWidth();
    const int top = TopRow();
    // Only the rows in view, the last of them perhaps partly.
    const int last = std::min(top + m_visibleRows, m_model.ListCount() - 1);
    for (int row = top; row <= last; ++row)
        DrawRow(painter, row, (row - top) * m_rowHeight, surfaceWidth);
}

void RowvaneView::DrawRow(QPainter& painter, int row, int top, int surfaceWidth) const
{
    const RowItem& item = m_model.Item(row);
    const bool current = row == m_model.ListIndex();
    painter.setFont(m_fonts.at(fontIndex(row)));
    const QFontMetrics& metrics = m_metrics[fontIndex(row)];

    int textX = 0;
    if (m_model.Style() == 1) {
        const QPixmap& icon = item.State < 1 ? m_checkIcon : m_unCheckIcon;
        const int y0 = top + (m_rowHeight - icon.height()) / 2;
        if (m_model.CheckStyle() != 0) {
            if (current)
                painter.fillRect(QRect(QPoint(px(CheckLeft), y0 + 1),
                                       QPoint(icon.width() + 1, y0 + icon.height() - 2)),
                                 Qt::white);
            painter.drawPixmap(px(CheckLeft), y0, icon);
        } else {
            DrawCheckBox(painter, row, y0, current);
        }
        textX = icon.width() + px(TextAfterCheck);
    }

    const quint32 back = current ? m_model.SelBackColor() : m_model.Color(item.BackColorID);
    const quint32 fore = current ? m_model.SelForeColor() : m_model.Color(item.ForeColorID);
    painter.fillRect(QRect(textX, top, surfaceWidth - textX, m_rowHeight - 1),
                     OleColor::toQColor(back));
    if (m_model.Grid()) {
        painter.setPen(OleColor::toQColor(m_model.GridColor()));
        painter.drawLine(0, top + m_rowHeight, surfaceWidth, top + m_rowHeight);
        painter.drawLine(0, top, surfaceWidth, top);
    }
    painter.setPen(OleColor::toQColor(fore));
    const int baseline = top + (m_rowHeight - metrics.height()) / 2 + metrics.ascent();
    painter.drawText(textX + px(TextIndent), baseline, item.Text);

    if (current) {
        // The focus frame: a dot every other pixel, drawn only where it can be seen.
        const int bottom = top + m_rowHeight - 1;
        const int offset = HorizontalStep() * px(HScrollStepTwips);
        const int from = std::max(textX, offset - offset % 2);
        const int to = std::min(surfaceWidth - 1, offset + viewport()->width());
        QVector<QPoint> dots;
        dots.reserve((to - from) + m_rowHeight + 4);
        for (int x = from; x <= to; x += 2)
            dots << QPoint(x, top) << QPoint(x, bottom);
        for (int y = top; y <= bottom; y += 2)
            dots << QPoint(textX, y) << QPoint(surfaceWidth - 1, y);
        painter.drawPoints(dots.constData(), int(dots.size()));
    }
}

void RowvaneView::DrawCheckBox(QPainter& painter, int row, int y0, bool current) const
{
    const RowItem& item = m_model.Item(row);
    const QPixmap& icon = item.State < 1 ? m_checkIcon : m_unCheckIcon;
    const quint32 pen = current ? m_model.SelBackColor() : m_model.Color(item.ForeColorID);
    painter.setPen(OleColor::toQColor(pen));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(QPoint(0, y0), QPoint(icon.width() + 1, y0 + icon.height() - 1)));
    if (item.State > 0) {
        QPen tick(OleColor::toQColor(pen), 2);
        painter.setPen(tick);
        painter.drawPolyline(QPolygon({QPoint(px(60), y0 + px(75)), QPoint(px(120), y0 + px(135)),
                                       QPoint(px(210), y0 + px(45))}));
    }
}

// --- The control's own properties ------------------------------------------------------------

void RowvaneView::setAppearance(int value)
{
    m_appearance = value;
    setBorderStyle(m_borderStyle);
}

void RowvaneView::setBorderStyle(int value)
{
    m_borderStyle = value;
    setFrameShape(value == 0 ? QFrame::NoFrame : QFrame::Box);
    setFrameShadow(m_appearance == 1 ? QFrame::Sunken : QFrame::Plain);
    setLineWidth(1);
}

void RowvaneView::setMousePointer(int value)
{
    m_mousePointer = value;
    switch (value) {
    case 1:
        viewport()->setCursor(Qt::ArrowCursor);
        break;
    case 2:
        viewport()->setCursor(Qt::CrossCursor);
        break;
    case 3:
        viewport()->setCursor(Qt::IBeamCursor);
        break;
    case 11:
        viewport()->setCursor(Qt::WaitCursor);
        break;
    case 99:
        if (!m_mouseIcon.isNull()) {
            viewport()->setCursor(QCursor(m_mouseIcon));
            break;
        }
        [[fallthrough]];
    default:
        viewport()->unsetCursor();
    }
}

void RowvaneView::setMouseIcon(const QPixmap& value)
{
    m_mouseIcon = value;
    setMousePointer(m_mousePointer);
}

void RowvaneView::setOLEDropMode(int value)
{
    m_oleDropMode = value;
    viewport()->setAcceptDrops(value == 1);
}

void RowvaneView::setCheckIcon(const QPixmap& value)
{
    m_checkIcon = value.isNull() ? Artwork::pixmap(Artwork::CheckEmpty) : value;
    measureAll();
    RecalcLayout();
}

void RowvaneView::setUnCheckIcon(const QPixmap& value)
{
    m_unCheckIcon = value.isNull() ? Artwork::pixmap(Artwork::CheckTicked) : value;
    RecalcLayout();
}
