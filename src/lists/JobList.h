// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "lists/LinkPattern.h"

#include <QObject>
#include <QString>

#include <functional>

class Dialogs;
class Rowvane;
class StatusLine;
struct ManagerState;

// The download list's job side: jobs are rows of a Rowvane list, their state is the
// row's check mark and colour indices. Adds text as jobs, keeps the job-queue display
// (status line, "start" enabled state, lblList and lblBlock captions) and refuses to
// clear while downloads run.
class JobList : public QObject
{
    Q_OBJECT

public:
    // Registers the three state colours in the list's colour table and sets the list up
    // as a check list that refuses duplicates ignoring case.
    JobList(Rowvane& list, ManagerState& state, StatusLine& status, Dialogs& dialogs,
            QObject* parent = nullptr);

    Rowvane& List() { return m_list; }
    ManagerState& State() { return m_state; }
    Dialogs& dialogs() { return m_dialogs; }

    // The link template ("DataFilter"); empty means no filtering.
    void setDataFilter(const QString& dataFilter);
    QString DataFilter() const { return m_dataFilter; }
    // The compiled link pattern for an extension pattern. An invalid pattern matches
    // nothing and is reported once through the dialogs.
    const LinkPattern& Pattern(const QString& extPattern);

    // Appends every non-blank line of text as a pending job.
    void AddJobs(const QString& text);
    // Appends the lines matching the link pattern to target (every line to the job list
    // when there is no template). No block handling: see UrlListIO::AddTextFiltered.
    void AddJobsFiltered(Rowvane& target, const QString& text, const QString& extPattern);
    // Status line, start enabled state and lblList after a change of the list.
    void RefreshJobQueue();

    // Whether a run is going (the manager's StopEnabled). While it is, rows must not move:
    // each running slot knows its job by row index.
    void SetRunGoing(std::function<bool()> runGoing) { m_runGoing = std::move(runGoing); }
    bool RunGoing() const;

    // True, and said in the status line, while a run goes: cut, paste and delete call it
    // before they move rows. Appending stays allowed.
    bool RowChangeRefused();
    // The delete key: removes one row. False (said in the status line) while a run goes.
    bool RemoveJob(int row);

    // The clear commands; false (with the message) while downloads run.
    bool ClearAll();
    bool ClearCompleted();
    bool ClearFailed();
    // Clears the list when idle, else shows the refusal; used by the clear-before-load option.
    bool ClearIfIdle(Rowvane& target);
    void ShowClearRefused();

    // Block handling shared by every path that appends jobs.
    bool BlockInForce() const;
    // BlockIndex = row count, so rows added during a run join it; lblBlock "Block: OFF".
    void SetBlockOff();
    // The block moves to blockIndex and is off ("Block: OFF"); with restoreLook the row of
    // a block in force looks like any other row again.
    void ReleaseBlock(int blockIndex, bool restoreLook);
    // Rows from this one on are held back ("Block: ON"); the row shows it.
    void PutBlock(int row);

    // Job state looks.
    int ClrRunning() const { return m_clrRunning; }
    int ClrFailed() const { return m_clrFailed; }
    int ClrDone() const { return m_clrDone; }
    void SetPending(int row);
    void SetRunning(int row); // also makes the row current
    void SetCompleted(int row);
    void SetFailed(int row);
    void SetBlockLook(int row);
    void ClearBlockLook(int row); // back to 0, 0, 1 when the block moves or goes
    bool IsCompleted(int row) const;
    bool IsFailed(int row) const;

    // What the window binds.
    bool StartEnabled() const;     // toolbar "start": ListCount >= 1
    bool StartMenuEnabled() const; // mnuAct_Start: ListCount > 0
    QString ListCaption() const { return m_listCaption; }
    QString BlockCaption() const { return m_blockCaption; }
    void setBlockCaption(const QString& caption);

signals:
    void Changed();

private:
    bool clearByForeColor(int colorIndex);

    Rowvane& m_list;
    ManagerState& m_state;
    StatusLine& m_status;
    Dialogs& m_dialogs;
    std::function<bool()> m_runGoing;
    QString m_dataFilter;
    LinkPattern m_pattern;
    QString m_reportedPattern; // the invalid pattern already reported
    int m_clrRunning = 0;
    int m_clrFailed = 0;
    int m_clrDone = 0;
    QString m_listCaption = QStringLiteral("0/0");
    QString m_blockCaption = QStringLiteral("Block: OFF");
};
