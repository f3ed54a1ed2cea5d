// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class HttpFiles;

// What the slot-event handlers ask of their owner beyond the parts they are given: the
// slot behind an index, the news that a job ended, and a refill at the next tick.
class SlotEventsHost
{
public:
    virtual ~SlotEventsHost() = default;

    virtual HttpFiles* Slot(int slot) const = 0;
    // A job ended: its row is checked and coloured; the views are told.
    virtual void TellJobEnded(int row, bool completed) = 0;
    // With the timer schedule, free slots are refilled at the next main timer tick.
    virtual void RefillAtNextTick() = 0;
};
