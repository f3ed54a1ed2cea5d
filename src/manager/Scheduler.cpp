// SPDX-License-Identifier: GPL-3.0-or-later
#include "manager/Scheduler.h"

#include "lists/JobList.h"
#include "lists/ManagerState.h"
#include "lists/Rowvane.h"
#include "manager/SchedulerHost.h"
#include "platform/Dialogs.h"

bool Scheduler::NoJobLeft() const
{
    return m_state.NoJobLeft(m_list.ListCount());
}

bool Scheduler::NothingRunning() const
{
    if (!m_naming.isEmpty())
        return false;
    // A slot that holds a job counts as running even while it is closed (its start delay,
    // a retry wait): judging by the socket alone would end the run while jobs start.
    for (int slot = 0; slot < m_host.SlotTotal(); ++slot) {
        if (m_host.SlotBusy(slot))
            return false;
    }
    return true;
}

void Scheduler::UpdateSlotCount(int sliderValue)
{
    m_state.SlotCount = qBound(1, sliderValue, qMax(1, m_host.SlotTotal()));
}

void Scheduler::StartJob(int slot, int row)
{
    if (slot < 0 || slot >= m_host.SlotTotal() || row < 0 || row >= m_list.ListCount())
        return;
    // The row keeps its text as added; blanks around it are no part of the address.
    const QString url = m_list.List(row).trimmed();
    if (m_naming.contains(slot))
        return;
    const quint64 runStops = m_runStops;
    const quint64 stops = slotStops(slot);
    m_naming.append(slot);
    // Two URLs of one run may name one local file ("…/dir/" and "…/dir/_index.htm", or one
    // name under "$Basedir/$filename"): the later job never resumes or shares the earlier
    // one's file, it takes the next numbered name.
    const JobFile file = m_host.NameJob(
        url, [this, &url](const QString& path) { return m_filesOfRun.TakenByOther(path, url); });
    m_naming.removeOne(slot);
    // A stop while the job was named (its save dialog open) keeps it from starting.
    if (runStops != m_runStops || stops != slotStops(slot) || row >= m_list.ListCount())
        return;
    // The slot has its job: an end of its earlier one still waiting has nothing to refill.
    m_deferred.removeAll(slot);
    if (!file.Path.isEmpty())
        m_filesOfRun.Add(file.Path, url);
    m_state.IsIdle = false;
    m_jobs.SetRunning(row);
    m_host.StartSlot(slot, row, url, file);
}

template <typename Step>
void Scheduler::handOut(int deferredSlot, Step step)
{
    if (m_handingOut) {
        m_deferred.append(deferredSlot);
        return;
    }
    m_handingOut = true;
    step();
    m_handingOut = false;
    runDeferred();
}

void Scheduler::runDeferred()
{
    while (!m_handingOut && !m_deferred.isEmpty()) {
        const int slot = m_deferred.takeFirst();
        if (slot < 0)
            CheckIdle();
        else
            SlotFreed(slot);
    }
}

void Scheduler::CancelStarts()
{
    ++m_runStops;
    m_deferred.clear();
}

void Scheduler::StartDownloads()
{
    if (m_handingOut)
        return;
    m_handingOut = true;
    const quint64 runStops = m_runStops;
    const int count = m_list.ListCount();
    m_state.NextJob = 0;
    m_filesOfRun.Clear(count);
    m_state.ClearStatusCounters();
    m_state.CompletedJobs = m_state.FailedJobs = 0;
    m_jobs.ReleaseBlock(count, true);
    m_list.ResetList();
    m_host.RunStarts();
    m_state.TotalBytes = m_state.FileBytes = 0;

    bool handedOut = false;
    for (int slot = 0; slot < m_state.SlotCount && !NoJobLeft() && runStops == m_runStops; ++slot) {
        StartJob(slot, m_state.NextJob++);
        handedOut = true;
    }
    if (handedOut && runStops == m_runStops)
        SetIdle(false);
    m_handingOut = false;
    runDeferred();
}

void Scheduler::ResumeDownloads(bool fromCheckIdle)
{
    if (m_state.NextJob >= m_list.ListCount()) {
        if (!fromCheckIdle)
            m_dialogs.MsgBox(QStringLiteral("No Jobs pending.. Aborting.."),
                             QStringLiteral("No Job..?"), Dialogs::Icon::Information);
        return;
    }
    handOut(-1, [this] { refillFreeSlots(); });
}

void Scheduler::refillFreeSlots()
{
    const quint64 runStops = m_runStops;
    for (int slot = 0; slot < m_state.SlotCount && !NoJobLeft() && runStops == m_runStops; ++slot) {
        // Only a free slot takes a job: handing one to a slot that still holds a job (in
        // its start delay or a retry wait) would drop that job unfinished.
        if (!m_host.SlotBusy(slot) && !m_naming.contains(slot))
            StartJob(slot, m_state.NextJob++);
    }
}

void Scheduler::StopDownloads()
{
    CancelStarts();
    // Every slot, also those above a lowered slider that still finish their jobs.
    for (int slot = 0; slot < m_host.SlotTotal(); ++slot)
        m_host.StopSlot(slot);
    m_state.IsIdle = true;
    m_host.ShowSlots();
    SetIdle(true);
}

void Scheduler::StopConnection(int slot)
{
    if (slot < 0 || slot >= m_host.SlotTotal())
        return;
    if (m_slotStops.size() <= slot)
        m_slotStops.resize(slot + 1);
    ++m_slotStops[slot];
    m_deferred.removeAll(slot);
    m_host.StopSlot(slot);
    m_state.IsIdle = NothingRunning();
    SetIdle(m_state.IsIdle);
}

void Scheduler::SlotFreed(int slot)
{
    handOut(slot, [this, slot] {
        m_host.CountersChanged();
        if (NoJobLeft()) {
            m_host.StopSlot(slot);
        } else if (slot < m_state.SlotCount) { // the slider allows this slot
            StartJob(slot, m_state.NextJob++);
            return;
        }
        m_state.IsIdle = NothingRunning();
        SetIdle(m_state.IsIdle);
    });
}

void Scheduler::CheckIdle()
{
    handOut(-1, [this] {
        const quint64 runStops = m_runStops;
        m_host.CountersChanged();
        if (!NoJobLeft())
            refillFreeSlots();
        if (runStops != m_runStops)
            return;
        m_state.IsIdle = NothingRunning();
        SetIdle(m_state.IsIdle);
    });
}

void Scheduler::SetIdle(bool flag)
{
    if (flag) {
        m_host.RunEnding();
        m_state.NextJob = 0;
        m_state.ClearStatusCounters();
        // The row of a block met at the end of the run keeps its look until the next start.
        m_jobs.ReleaseBlock(-1, false);
    }
    m_host.SetRunning(!flag);
}

void Scheduler::SetBlock()
{
    const int count = m_list.ListCount();
    if (m_state.BlockIndex >= 0 && m_jobs.BlockInForce())
        m_jobs.ClearBlockLook(m_state.BlockIndex);
    const int row = m_list.ListIndex();
    if (m_host.Running() && m_state.NextJob <= row && row < count - 1)
        m_jobs.PutBlock(row);
}

void Scheduler::RemoveBlock()
{
    if (m_state.BlockIndex >= 0 && m_jobs.BlockInForce())
        m_jobs.ReleaseBlock(m_list.ListCount(), true);
}
