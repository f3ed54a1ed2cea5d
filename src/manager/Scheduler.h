// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QString>

class Dialogs;
class JobList;
class Rowvane;
class SchedulerHost;
struct ManagerState;

// Hands the rows of the job list, in row order and each once, to the download slots,
// refills a slot when its job ends, and keeps the commands, the main timer and the
// status line in step with whether anything runs. The job list is the queue; NextJob
// is its cursor and BlockIndex its end.
class Scheduler
{
public:
    Scheduler(SchedulerHost& host, JobList& jobs, Rowvane& list, ManagerState& state,
              Dialogs& dialogs)
        : m_host(host), m_jobs(jobs), m_list(list), m_state(state), m_dialogs(dialogs)
    {
    }

    // Hands one row to one slot: local path and resume position, row look, slot start.
    void StartJob(int slot, int row);
    void StartDownloads();
    void ResumeDownloads(bool fromCheckIdle = false);
    void StopDownloads();
    void StopConnection(int slot);
    // A slot's job ended: hand it the next row, or fall idle when nothing runs.
    void SlotFreed(int slot);
    // The timer schedule: refill every free slot at once.
    void CheckIdle();
    void SetIdle(bool flag);
    void SetBlock();
    void RemoveBlock();
    // SlotCount = min(slider value, SessionMax).
    void UpdateSlotCount(int sliderValue);

    // No job left to hand out.
    bool NoJobLeft() const;
    // The run is over when no slot holds a job.
    bool NothingRunning() const;

private:
    SchedulerHost& m_host;
    JobList& m_jobs;
    Rowvane& m_list;
    ManagerState& m_state;
    Dialogs& m_dialogs;
    // Every local file a job of this run has written or writes, with that job's URL.
    QHash<QString, QString> m_filesOfRun;
};
