// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "manager/RunFiles.h"

#include <QList>
#include <QString>
#include <QVector>

class Dialogs;
class JobList;
class Rowvane;
class SchedulerHost;
struct ManagerState;

// Hands the rows of the job list, in row order and each once, to the download slots,
// refills a slot when its job ends, and keeps the commands, the main timer and the
// status line in step with whether anything runs. The job list is the queue; NextJob
// is its cursor and BlockIndex its end.
// Naming a job may ask where to save it ("Ask me where ?"), and that dialog runs a nested
// event loop in which timers and slot events go on. Hand-outs are therefore never nested:
// a job end or a refill met while a job is being named waits until that hand-out is done,
// and a stop while the dialog is open keeps its job from starting.
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
    // The run is over when no slot holds a job and no job is being handed out.
    bool NothingRunning() const;
    // Jobs being named stay unstarted: leaving the program while a dialog asks.
    void CancelStarts();

private:
    // Runs one hand-out unless another is in progress, in which case it waits for it.
    template <typename Step>
    void handOut(int deferredSlot, Step step);
    void runDeferred();
    void refillFreeSlots();
    quint64 slotStops(int slot) const { return m_slotStops.value(slot); }

    SchedulerHost& m_host;
    JobList& m_jobs;
    Rowvane& m_list;
    ManagerState& m_state;
    Dialogs& m_dialogs;
    RunFiles m_filesOfRun;
    bool m_handingOut = false;
    // Slots whose job is being named, and the hand-outs waiting for it: a freed slot's
    // index, or -1 for a refill of every free slot.
    QList<int> m_naming;
    QList<int> m_deferred;
    // Counts the stops of each slot and of the whole run; a job whose naming saw one is
    // not started.
    QVector<quint64> m_slotStops;
    quint64 m_runStops = 0;
};
