// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPixmap>
#include <QWidget>

class DownloadManager;
class QLabel;
class Tagleaf;

// The status bar `Picture2` across the foot of the window: the speed graph at its left
// end, then the labels `lblgmsg` (the status line, coloured piece by piece), `lblgMeter`
// (speed and total), `lblBlock`, `lblList` and `lblTime`. While the manager is idle,
// the mouse over the bar lights its background; over the message or the meter it goes
// back to normal.
class StatusBarPane : public QWidget
{
    Q_OBJECT
public:
    explicit StatusBarPane(DownloadManager& manager, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The speed graph's 58 x 18 pixels.
    QRect GraphRect() const;
    // The highlighted background is shown.
    bool Highlighted() const { return m_highlighted; }

    Tagleaf* MessageLabel() const { return m_message; } // lblgmsg
    QLabel* MeterLabel() const { return m_meter; }      // lblgMeter
    QLabel* BlockLabel() const { return m_block; }      // lblBlock
    QLabel* ListLabel() const { return m_list; }        // lblList
    QLabel* TimeLabel() const { return m_time; }        // lblTime

Q_SIGNALS:
    // lblBlock was clicked.
    void blockLabelClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* addLabel(const char* name, const QString& widest);
    void placeLabels();
    void showStatus();
    void showJobs();
    void showMeter();
    void setHighlighted(bool on);
    void paintGraph(QPainter& painter) const;
    // The background pictures stretched to the bar's height.
    void loadBackgrounds();

    DownloadManager& m_manager;
    Tagleaf* m_message = nullptr;
    QLabel* m_meter = nullptr;
    QLabel* m_block = nullptr;
    QLabel* m_list = nullptr;
    QLabel* m_time = nullptr;
    QPixmap m_normal;
    QPixmap m_hover;
    bool m_highlighted = false;
};
