// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

class HttpFiles;

// The monitor pane as data: one row per download slot with its connection lamp (the
// slot's socket state), its progress value and its line of text. Changes only mark
// rows dirty; views are told at most once per refresh interval, never once per packet.
class SlotMonitor : public QObject
{
    Q_OBJECT
public:
    // What a progress line is made of; the line itself is written when it is read, since
    // most packets of a run change it long before anyone looks.
    struct ProgressFacts
    {
        bool Connected = false;
        double Meter = 0;
        qint64 FileSize = 0;
        qint64 Packets = 0;
        QString Content;
    };

    struct Row
    {
        int Lamp = 0;        // socket State: 7 connected, 9 error, 8 closing, 6 connecting
        double Progress = 0; // MeterValue, 0 to 100
        bool Dirty = true;

    private:
        friend class SlotMonitor;
        mutable QString Text;       // as given to SetSlotStatus, or the progress line
        mutable bool Stale = false; // Text is still to be made from Facts
        ProgressFacts Facts;
    };

    explicit SlotMonitor(QObject* parent = nullptr);

    // One row per slot; called once at start-up (`CreateControls`).
    void CreateRows(int count);
    int RowCount() const { return int(m_rows.size()); }
    const Row& RowAt(int slot) const { return m_rows.at(slot); }

    // Slot numbers outside the created rows are ignored.
    void SetSlotStatus(int slot, const QString& text);
    void SetLamp(int slot, int socketState);
    void SetProgress(int slot, double value);
    // The row from its slot: the progress and, while connected, "41.5% of 12.0KB][Packets:
    // 3]:[/path"; otherwise "Not Connected.. (41.5%)".
    void ShowProgress(int slot, const HttpFiles& http);

    QString Text(int slot) const;
    // The row's line as the pane prints it: " [" + text + "]".
    QString DisplayText(int slot) const;
    // Slot number as printed in its row: two digits, slot + 1.
    static QString SlotNumberText(int slot);
    // Fill of the progress bar in per cent; below 0.5 nothing is filled.
    static double FillPercent(double meterValue);

    // The longest time between a change and the views being told (default 250 ms).
    void SetRefreshInterval(int ms) { m_timer.setInterval(ms); }
    // Rows changed since the last call, in slot order; their marks are cleared.
    QVector<int> TakeDirtyRows();
    // Tell the views now (for example before the program ends).
    void Flush();

Q_SIGNALS:
    // Some rows changed: read them with TakeDirtyRows() or RowAt().
    void RowsChanged();

private:
    void MarkDirty(int slot);
    static QString progressLine(const ProgressFacts& facts);

    QVector<Row> m_rows;
    QTimer m_timer;
};
