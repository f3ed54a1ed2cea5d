// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/StatusLine.h"

#include "lists/ManagerState.h"
#include "lists/Rowvane.h"

#include <QStringList>

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

QString StatusLine::CounterLine() const
{
    return counterLine(nullptr);
}

// The counter line, and with `format` its colour runs: a label keeps its colour up to the
// next number, a number and the blank after it are yellow. The colours are 0x00BBGGRR.
QString StatusLine::counterLine(QString* format) const
{
    struct Piece
    {
        const char* label;
        quint32 color;
        qint64 value;
    };
    const Piece pieces[] = {
        {"Total:", 0xE89430, m_jobs.ListCount()},
        {" Done:", 0xE89430, m_state.DoneCount},
        {" Connect Fail:", 0x88E4B8, m_state.ConnectFailCount},
        {" Redirected:", 0x789CFF, m_state.RedirectCount},
        {" Download Fail:", 0xFF, m_state.DownloadFailCount},
    };
    QString line = QStringLiteral("Status: ");
    QStringList runs{QStringLiteral("l=8,fc=16744576")};
    const auto run = [&runs](qsizetype length, quint32 color) {
        runs << QStringLiteral("l=%1,fc=%2").arg(length).arg(color);
    };
    for (const Piece& piece : pieces) {
        // The blank before a label belongs to the number before it.
        QString label = QString::fromLatin1(piece.label);
        if (label.startsWith(QLatin1Char(' '))) {
            line += QLatin1Char(' ');
            label.remove(0, 1);
        }
        const QString number = counter(piece.value);
        line += label + number;
        run(label.size(), piece.color);
        run(number.size() + 1, 0xFFFF);
    }
    if (format)
        *format = runs.join(QLatin1Char(';'));
    return line;
}

void StatusLine::gStatEx(bool flag, const QString& text)
{
    m_stale = text.isEmpty();
    m_formatString.clear();
    if (!m_stale)
        m_caption = QStringLiteral("Status: ") + text;
    m_formatting = flag;
    emit Changed();
}

void StatusLine::buildCounterLine() const
{
    if (!m_stale)
        return;
    m_stale = false;
    m_caption = counterLine(&m_formatString);
}

QString StatusLine::Caption() const
{
    buildCounterLine();
    return m_caption;
}

QString StatusLine::FormatString() const
{
    buildCounterLine();
    return m_formatString;
}
