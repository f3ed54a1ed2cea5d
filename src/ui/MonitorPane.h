// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QWidget>

class Options;
class QMimeData;
class SlotMonitor;

// The monitor pane: the frame `PPAD` with its bevel and corner pictures around the
// surface `PAD`, which shows one row per download slot: the slot's number, its
// connection lamp, its progress bar and its line of text, over the program's logo.
// The pane paints from a cached picture; a change of the monitor repaints only the rows
// it marked, a change of the progress style or the colours repaints everything.
class MonitorPane : public QWidget
{
    Q_OBJECT
public:
    MonitorPane(SlotMonitor& monitor, const Options& options, QWidget* parent = nullptr);

    // As high as the rows need (the frame around them included); as wide as it is given.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The slot whose row holds y (pane coordinates); -1 above, between or below the rows.
    int slotAt(int y) const;
    // The row marked by the last right press, -1 before the first.
    int HighlightedSlot() const { return m_highlighted; }

    // Where things are drawn, in pane coordinates.
    QRect SurfaceRect() const; // PAD
    QRect RowRect(int slot) const;
    QRect LampRect(int slot) const;
    QRect BarRect(int slot) const;      // the bar's outline
    QRect BarInnerRect(int slot) const; // inside the outline: the fill's room
    int TextLeft() const;

Q_SIGNALS:
    // A right press on a row: the window shows the slot's menu at globalPos.
    void slotMenuRequested(int slot, QPoint globalPos);
    // Something was dropped on the pane (files, addresses or text; see setAcceptDrops).
    void dataDropped(const QMimeData* data);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The rows' pitch: the text height of "g" plus the gap between rows.
    int RowPitch() const;
    int SurfaceHeight() const;
    int RowTop(int slot) const; // surface coordinates
    QColor Background() const;
    QColor TextColor() const;
    QColor LineColor() const;

    void onRowsChanged();
    void onOptionChanged(int option);
    // Draws the whole cached picture again.
    void rebuild();
    void paintFrame(QPainter& painter) const;
    void paintLogo(QPainter& painter) const;
    // One row of the surface, its band cleared first (painter in pane coordinates).
    void paintRow(QPainter& painter, int slot) const;
    void repaintRow(int slot);

    SlotMonitor& m_monitor;
    const Options& m_options;
    QImage m_cache; // the whole pane
    QImage m_strip; // the progress picture in use
    int m_rowCount = 0;
    int m_highlighted = -1;
};
