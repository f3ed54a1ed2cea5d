// SPDX-License-Identifier: GPL-3.0-or-later
#include "manager/SlotMonitor.h"

#include "engine/HttpFiles.h"
#include "platform/StreamSocket.h"

SlotMonitor::SlotMonitor(QObject* parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(250);
    connect(&m_timer, &QTimer::timeout, this, &SlotMonitor::RowsChanged);
}

void SlotMonitor::CreateRows(int count)
{
    m_rows = QVector<Row>(qMax(0, count));
    m_timer.start();
}

void SlotMonitor::SetSlotStatus(int slot, const QString& text)
{
    if (slot < 0 || slot >= m_rows.size())
        return;
    m_rows[slot].Text = text;
    m_rows[slot].Stale = false;
    MarkDirty(slot);
}

void SlotMonitor::SetLamp(int slot, int socketState)
{
    if (slot < 0 || slot >= m_rows.size() || m_rows[slot].Lamp == socketState)
        return;
    m_rows[slot].Lamp = socketState;
    MarkDirty(slot);
}

void SlotMonitor::SetProgress(int slot, double value)
{
    if (slot < 0 || slot >= m_rows.size())
        return;
    if (!(value >= 0)) // NaN and negatives
        value = 0;
    m_rows[slot].Progress = qMin(value, 100.0);
    MarkDirty(slot);
}

QString SlotMonitor::Text(int slot) const
{
    if (slot < 0 || slot >= m_rows.size())
        return QString();
    const Row& row = m_rows[slot];
    if (row.Stale) {
        row.Text = progressLine(row.Facts);
        row.Stale = false;
    }
    return row.Text;
}

QString SlotMonitor::DisplayText(int slot) const
{
    return QStringLiteral(" [") + Text(slot) + QStringLiteral("]");
}

QString SlotMonitor::SlotNumberText(int slot)
{
    return QString::asprintf("%02d", slot + 1);
}

double SlotMonitor::FillPercent(double meterValue)
{
    return meterValue < 0.5 ? 0.0 : qMin(meterValue, 100.0);
}

QVector<int> SlotMonitor::TakeDirtyRows()
{
    QVector<int> dirty;
    for (int i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].Dirty) {
            dirty.append(i);
            m_rows[i].Dirty = false;
        }
    }
    return dirty;
}

void SlotMonitor::Flush()
{
    m_timer.stop();
    Q_EMIT RowsChanged();
}

void SlotMonitor::MarkDirty(int slot)
{
    m_rows[slot].Dirty = true;
    if (!m_timer.isActive())
        m_timer.start();
}

void SlotMonitor::ShowProgress(int slot, const HttpFiles& http)
{
    SetProgress(slot, http.MeterValue());
    if (slot < 0 || slot >= m_rows.size())
        return;
    Row& row = m_rows[slot];
    row.Facts.Connected = http.State() == StreamSocket::ConnectedState;
    row.Facts.Meter = http.MeterValue();
    row.Facts.FileSize = http.FileSize();
    row.Facts.Packets = http.PACKETS();
    row.Facts.Content = http.Content();
    row.Stale = true;
}

QString SlotMonitor::progressLine(const ProgressFacts& facts)
{
    const QString percent = QString::asprintf("%.1f", facts.Meter);
    if (!facts.Connected)
        return QStringLiteral("Not Connected.. (") + percent + QStringLiteral("%)");
    return percent + QStringLiteral("% of ") +
           QString::asprintf("%.1fKB", double(facts.FileSize) / 1024.0) +
           QStringLiteral("][Packets: ") + QString::number(facts.Packets) + QStringLiteral("]:[") +
           facts.Content;
}
