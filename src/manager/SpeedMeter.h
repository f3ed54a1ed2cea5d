// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QVector>

#include <array>

// The speed meter of the main timer: kilobytes per tick, the running total of body
// bytes, and the 58 columns of the speed graph. Plain data; the manager feeds it once
// per tick and views read the text and the columns.
class SpeedMeter
{
public:
    static constexpr int HistorySize = 58;
    static constexpr int GraphHeight = 17;

    // One main timer tick: `totalBytes` every byte of every packet since the last tick
    // (header and body), `fileBytes` the body bytes written since the last tick.
    void Tick(qint64 totalBytes, qint64 fileBytes);

    double SpeedKB() const { return m_speedKB; }
    double TotalMB() const { return m_totalMB; }
    // "  Download Speed:00.0KB/Sec     Total Download:00.0MB"
    QString MeterText() const;

    // The graph's columns, oldest first, newest last; each 0 to 17.
    QVector<int> History() const;
    int HistoryPos() const { return m_historyPos; }

    // The graph picture is blank after a start or when the manager falls idle, until the
    // next tick draws it again from the history (which is never cleared).
    bool GraphBlank() const { return m_graphBlank; }
    void BlankGraph() { m_graphBlank = true; }

    // A number with at least two integer digits and one decimal ("00.0").
    static QString TwoDigitsOneDecimal(double value);
    // The elapsed-time label: minutes and seconds of the ticks, "00:00 Min".
    static QString ElapsedText(qint64 ticks);

private:
    double m_speedKB = 0;
    double m_totalMB = 0;
    std::array<quint8, HistorySize> m_history{};
    int m_historyPos = 0;
    bool m_graphBlank = true;
};
