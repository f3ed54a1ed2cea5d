// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// The download manager's run state, shared by the job list, the scheduler and the
// slot event handlers. Plain data: whoever changes it tells the views.
struct ManagerState
{
    int SessionMax = 7;  // slots created at start-up, fixed for the run
    int SlotCount = 7;   // slots used by start, resume and stop: min(slider, SessionMax)
    int NextJob = 0;     // row of the next job to hand out
    int BlockIndex = -1; // rows from here on are not started
    bool IsIdle = true;  // no run in progress

    int CompletedJobs = 0;
    int FailedJobs = 0;

    // Status counters: cleared when a run starts and when the manager falls idle.
    int DoneCount = 0;
    int ConnectFailCount = 0;
    int RedirectCount = 0;
    int DownloadFailCount = 0;

    qint64 TotalBytes = 0; // every packet's bytes since the last tick
    qint64 FileBytes = 0;  // body bytes written since the last tick
    qint64 TickCount = 0;  // main timer ticks since the program started

    void ClearStatusCounters()
    {
        DoneCount = ConnectFailCount = RedirectCount = DownloadFailCount = 0;
    }

    // No job left to hand out: the one test that guards every hand-out.
    bool NoJobLeft(int listCount) const { return NextJob >= listCount || NextJob >= BlockIndex; }
    // A block is in force: it stands before the last row.
    bool BlockInForce(int listCount) const { return BlockIndex < listCount - 1; }
};
