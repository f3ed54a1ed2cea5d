// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <cstdio>
#include <functional>

class SlotMonitor;

// The terminal's view of a run: one line per slot (number, progress bar, monitor text),
// the speed meter and the counter line, redrawn in place at most four times a second.
class LiveDisplay : public QObject
{
    Q_OBJECT
public:
    using TextSource = std::function<QString()>;

    LiveDisplay(const SlotMonitor& monitor, TextSource meter, TextSource counters, std::FILE* out,
                QObject* parent = nullptr);

    void Start();
    // Draws the last picture and leaves the cursor below it.
    void Finish();

    // The lines of one picture, each cut to `width` columns so none wraps.
    static QStringList Render(const SlotMonitor& monitor, const QString& meter,
                              const QString& counters, int width);
    static QString ProgressBar(double percent, int cells);
    // Columns of the terminal behind `out`, 80 when unknown.
    static int TerminalWidth(std::FILE* out);

private:
    void Draw();

    const SlotMonitor& m_monitor;
    TextSource m_meter;
    TextSource m_counters;
    std::FILE* m_out;
    QTimer m_timer;
    int m_drawnLines = 0;
};
