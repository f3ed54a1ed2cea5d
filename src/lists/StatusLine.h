// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

struct ManagerState;
class Rowvane;

// The status label: "Status: " + a text, or the counter line built from the manager's
// counters and the job count. Formatting on colours the counter line piece by piece
// (FormatString); views read Caption(), Formatting() and FormatString() and repaint on
// Changed().
class StatusLine : public QObject
{
    Q_OBJECT

public:
    StatusLine(const ManagerState& state, const Rowvane& jobs, QObject* parent = nullptr);

    // The label's own tag: the idle status text starts with it.
    static QString Tag() { return QStringLiteral("INACTIVE "); }
    // The colour runs of the caption ("l=8,fc=16744576;..."): each label and each counter
    // with the blank after it gets its own colour, measured on the text as it stands, so
    // a count of four or more digits shifts no colour. Empty while the caption is not the
    // counter line.
    QString FormatString() const;

    // With a non-empty text the label shows "Status: " + text, otherwise the counter line.
    void gStatEx(bool flag, const QString& text);
    QString CounterLine() const;

    QString Caption() const;
    bool Formatting() const { return m_formatting; }

signals:
    void Changed();

private:
    QString counterLine(QString* format) const;

    // The counter line is built when it is read, not on every count: a run changes the
    // counters several times per job and most of those lines are never shown.
    void buildCounterLine() const;

    const ManagerState& m_state;
    const Rowvane& m_jobs;
    bool m_formatting = false;
    mutable bool m_stale = false; // the counter line below is older than the counters
    mutable QString m_caption = QStringLiteral("Status: ");
    mutable QString m_formatString;
};
