// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/LiveDisplay.h"

#include "manager/SlotMonitor.h"
#include "platform/TerminalText.h"

#include <sys/ioctl.h>
#include <unistd.h>

LiveDisplay::LiveDisplay(const SlotMonitor& monitor, TextSource meter, TextSource counters,
                         std::FILE* out, QObject* parent)
    : QObject(parent), m_monitor(monitor), m_meter(std::move(meter)),
      m_counters(std::move(counters)), m_out(out)
{
    m_timer.setInterval(250); // at most four pictures a second
    connect(&m_timer, &QTimer::timeout, this, &LiveDisplay::Draw);
}

void LiveDisplay::Start()
{
    Draw();
    m_timer.start();
}

void LiveDisplay::Finish()
{
    m_timer.stop();
    Draw();
}

QString LiveDisplay::ProgressBar(double percent, int cells)
{
    const double fill = SlotMonitor::FillPercent(percent);
    const int full = int(fill * cells / 100.0);
    return QStringLiteral("[") + QString(full, QLatin1Char('#')) +
           QString(cells - full, QLatin1Char(' ')) + QStringLiteral("]");
}

QStringList LiveDisplay::Render(const SlotMonitor& monitor, const QString& meter,
                                const QString& counters, int width)
{
    QStringList lines;
    for (int slot = 0; slot < monitor.RowCount(); ++slot) {
        lines.append(SlotMonitor::SlotNumberText(slot) + QLatin1Char(' ') +
                     ProgressBar(monitor.RowAt(slot).Progress, 20) + monitor.DisplayText(slot));
    }
    lines.append(meter);
    lines.append(counters);
    for (QString& line : lines) {
        // A server's texts must not move the cursor or reorder the line.
        line = TerminalText::Printable(line);
        if (width > 1 && line.size() >= width)
            line.truncate(width - 1);
    }
    return lines;
}

int LiveDisplay::TerminalWidth(std::FILE* out)
{
    winsize size{};
    if (out && ioctl(fileno(out), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

void LiveDisplay::Draw()
{
    const QStringList lines = Render(m_monitor, m_meter(), m_counters(), TerminalWidth(m_out));
    QByteArray picture;
    // Back to the first line of the previous picture (ECMA-48 CPL), then each line
    // is rewritten and the rest of it erased (EL).
    if (m_drawnLines > 0)
        picture += "\r\x1b[" + QByteArray::number(m_drawnLines) + "F";
    for (const QString& line : lines)
        picture += line.toUtf8() + "\x1b[K\n";
    // A shorter picture (never, as the slot count is fixed) would leave old lines: erase below.
    picture += "\x1b[J";
    std::fwrite(picture.constData(), 1, size_t(picture.size()), m_out);
    std::fflush(m_out);
    m_drawnLines = int(lines.size());
}
