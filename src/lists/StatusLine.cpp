// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/StatusLine.h"

#include "lists/ManagerState.h"
#include "lists/Rowvane.h"

namespace {

// A counter left-aligned and padded with blanks to at least three characters.
QString counter(qint64 value)
{
    return QString::number(value).leftJustified(3, QLatin1Char(' '));
}

} // namespace

StatusLine::StatusLine(const ManagerState& state, const Rowvane& jobs, QObject* parent)
    : QObject(parent), m_state(state), m_jobs(jobs)
{
}

QString StatusLine::FormatString()
{
    return QStringLiteral("l=8,fc=16744576;l=6,fc=15242288;l=4,fc=65535;l=5,fc=15242288;"
                          "l=4,fc=65535;l=13,fc=8971448;l=4,fc=65535;l=11,fc=7904511;"
                          "l=4,fc=65535;l=14,fc=255;l=8,fc=65535");
}

QString StatusLine::CounterLine() const
{
    return QStringLiteral("Status: Total:") + counter(m_jobs.ListCount()) +
           QStringLiteral(" Done:") + counter(m_state.DoneCount) +
           QStringLiteral(" Connect Fail:") + counter(m_state.ConnectFailCount) +
           QStringLiteral(" Redirected:") + counter(m_state.RedirectCount) +
           QStringLiteral(" Download Fail:") + counter(m_state.DownloadFailCount);
}

void StatusLine::gStatEx(bool flag, const QString& text)
{
    m_caption = text.isEmpty() ? CounterLine() : QStringLiteral("Status: ") + text;
    m_formatting = flag;
    emit Changed();
}
