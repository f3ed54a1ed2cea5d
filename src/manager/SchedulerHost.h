// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "manager/LocalFileNaming.h"

#include <QString>

#include <functional>

// What the scheduler asks of its owner: the slots as far as scheduling goes, the local
// name of a job, and the run's clock and views. The download manager answers over its
// real slots; a test answers with fakes and no sockets.
class SchedulerHost
{
public:
    virtual ~SchedulerHost() = default;

    // Slots created at start-up, fixed for the rest of the run.
    virtual int SlotTotal() const = 0;
    // The slot holds a job: waiting to start, connecting, transferring, waiting for a retry,
    // or ended with its Disconnected still to come.
    virtual bool SlotBusy(int slot) const = 0;
    // The local file and resume position of a job; takenInRun tells the files another URL
    // of this run has used.
    virtual JobFile NameJob(const QString& url,
                            const std::function<bool(const QString&)>& takenInRun) = 0;
    // Hands the job of a row to a slot, with the current settings.
    virtual void StartSlot(int slot, int row, const QString& url, const JobFile& file) = 0;
    // Drops the slot's job (partial files stay) and shows "Stopped.." on its monitor row.
    virtual void StopSlot(int slot) = 0;
    // Every monitor row shows its slot's state again.
    virtual void ShowSlots() = 0;

    // The counters changed: the counter line is shown.
    virtual void CountersChanged() = 0;
    // A run starts: the elapsed time, a blank graph, the counter line, the main timer.
    virtual void RunStarts() = 0;
    // The run is about to end: its counter line is kept before the counters clear.
    virtual void RunEnding() = 0;
    // Running, or idle again: the status tag, a blank graph, the commands' states.
    virtual void SetRunning(bool running) = 0;
    virtual bool Running() const = 0;
};
