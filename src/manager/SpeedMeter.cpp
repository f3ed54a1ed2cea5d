// SPDX-License-Identifier: GPL-3.0-or-later
#include "manager/SpeedMeter.h"

#include <cmath>

void SpeedMeter::Tick(qint64 totalBytes, qint64 fileBytes)
{
    m_speedKB = double(totalBytes) / 1024.0;
    m_totalMB += double(fileBytes) / (1024.0 * 1024.0);
    // The graph column is the speed limited to the graph's height and rounded to a
    // byte, halves to even, as a byte conversion rounds.
    const double limited = std::min(m_speedKB, double(GraphHeight));
    m_history[size_t(m_historyPos)] = quint8(std::nearbyint(std::max(0.0, limited)));
    m_graphBlank = false;
    m_historyPos = (m_historyPos + 1) % HistorySize;
}

QString SpeedMeter::MeterText() const
{
    return QStringLiteral("  Download Speed:") + TwoDigitsOneDecimal(m_speedKB) +
           QStringLiteral("KB/Sec") + QStringLiteral("     Total Download:") +
           TwoDigitsOneDecimal(m_totalMB) + QStringLiteral("MB");
}

QVector<int> SpeedMeter::History() const
{
    // The column just written is the newest; the one after it is the oldest.
    QVector<int> columns;
    columns.reserve(HistorySize);
    for (int i = 0; i < HistorySize; ++i)
        columns.append(m_history[size_t((m_historyPos + i) % HistorySize)]);
    return columns;
}

QString SpeedMeter::TwoDigitsOneDecimal(double value)
{
    if (!std::isfinite(value) || value < 0)
        value = 0;
    return QString::asprintf("%04.1f", value);
}

QString SpeedMeter::ElapsedText(qint64 ticks)
{
    if (ticks < 0)
        ticks = 0;
    return QString::asprintf("%02lld:%02lld Min", ticks / 60, ticks % 60);
}
