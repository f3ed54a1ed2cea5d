// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controls/RowWidths.h"

#include <QAbstractScrollArea>
#include <QFont>
#include <QFontMetrics>
#include <QPixmap>
#include <QTimer>
#include <QVector>

#include <vector>

class QMimeData;
class QPainter;
class Rowvane;

// The owner-drawn list: paints the rows of a Rowvane model, keeps the vertical bar and
// the hidden horizontal bar in step with them, and turns mouse and keys into a current
// row, check marks and events. Lengths are pixels; the design's twips go through Twips.
class RowvaneView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    // One step of the hidden horizontal bar.
    static constexpr int HScrollStepTwips = 150;

    explicit RowvaneView(Rowvane& model, QWidget* parent = nullptr);

    Rowvane& model() const { return m_model; }

    // --- Geometry ---
    int RowHeight() const { return m_rowHeight; }
    int VisibleRows() const { return m_visibleRows; }
    // Width of the drawing surface: the widest row, at least the visible width.
    int SurfaceWidth() const;
    int WidestWidth() const { return m_widths.widest(); }
    int RowWidth(int row) const;
    bool isVisible(int Index) const;
    void EnsureVisible(int Index);
    int TopRow() const;
    void setTopRow(int row);
    // Horizontal offset in steps of 150 twips; the bar itself is never shown.
    int HorizontalStep() const;

    // --- The control's own properties ---
    int Appearance() const { return m_appearance; }
    void setAppearance(int value);
    int BorderStyle() const { return m_borderStyle; }
    void setBorderStyle(int value);
    // 0 default, 1 arrow, 2 cross, 3 I-beam, 11 hourglass, 99 MouseIcon; others default.
    int MousePointer() const { return m_mousePointer; }
    void setMousePointer(int value);
    QPixmap MouseIcon() const { return m_mouseIcon; }
    void setMouseIcon(const QPixmap& value);
    // 0 manual (OLEDrag starts a drag), 1 automatic (a press and move starts one).
    int OLEDragMode() const { return m_oleDragMode; }
    void setOLEDragMode(int value) { m_oleDragMode = value; }
    // 0 none, 1 manual (drops are forwarded as events).
    int OLEDropMode() const { return m_oleDropMode; }
    void setOLEDropMode(int value);
    // Drawn in front of unchecked rows; a null picture restores the default.
    QPixmap CheckIcon() const { return m_checkIcon; }
    void setCheckIcon(const QPixmap& value);
    // Drawn in front of checked rows; a null picture restores the default.
    QPixmap UnCheckIcon() const { return m_unCheckIcon; }
    void setUnCheckIcon(const QPixmap& value);
    void OLEDrag();

signals:
    void OLEDragDrop(const QMimeData* Data, Qt::DropAction Effect, Qt::MouseButtons Button,
                     Qt::KeyboardModifiers Shift, QPoint pos);
    // State: 0 entering, 1 leaving, 2 moving over.
    void OLEDragOver(const QMimeData* Data, Qt::DropAction Effect, Qt::MouseButtons Button,
                     Qt::KeyboardModifiers Shift, QPoint pos, int State);
    void OLEGiveFeedback(Qt::DropAction Effect);
    void MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, QPoint pos);
    void MouseMove(Qt::MouseButtons Button, Qt::KeyboardModifiers Shift, QPoint pos);
    void MouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, QPoint pos);
    void Click();
    void Checked(int Index);
    void UnChecked(int Index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void onChanged();
    void onFontsChanged();
    void measureAll();
    int measure(int row) const;
    void RecalcLayout();
    void CalcRowHeight();
    void CalcVisibleRows();
    void UpdateVScroll();
    void updateHScroll();
    void setCurrent(int row);
    void moveTo(int row, int top);
    QPoint surfacePos(QPointF viewportPos) const;
    void repaintRows();
    void drawPage(QPainter& painter) const;
    void DrawRow(QPainter& painter, int row, int top, int surfaceWidth) const;
    void DrawCheckBox(QPainter& painter, int row, int y0, bool current) const;
    int fontIndex(int row) const;

    Rowvane& m_model;
    RowWidths m_widths;
    QVector<QFont> m_fonts;              // the model's font table as fonts
    std::vector<QFontMetrics> m_metrics; // and their metrics, one per font
    int m_rowHeight = 0;
    int m_visibleRows = 0;
    bool m_ownMove = false; // the view moves the current row and scrolls itself
    // Model changes reach the screen at most once per interval, however many jobs end.
    QTimer m_repaint;
    QPixmap m_page; // the rows in view as last drawn
    bool m_pageDirty = true;
    QPoint m_pressPos;

    int m_appearance = 1;
    int m_borderStyle = 0;
    int m_mousePointer = 0;
    QPixmap m_mouseIcon;
    int m_oleDragMode = 0;
    int m_oleDropMode = 1;
    QPixmap m_checkIcon;
    QPixmap m_unCheckIcon;
};
