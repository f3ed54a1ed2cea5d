// SPDX-License-Identifier: GPL-3.0-or-later
#include "manager/Scheduler.h"

#include "engine/HttpFiles.h"
#include "manager/DownloadManager.h"
#include "manager/JobList.h"
#include "platform/Dialogs.h"

bool Scheduler::NoJobLeft() const
{
    return m.State().NoJobLeft(m.List2().ListCount());
}

bool Scheduler::NothingRunning() const
{
    // A slot that holds a job counts as running even while it is closed (its start delay,
    // a retry wait): judging by the socket alone would end the run while jobs start.
    return !m.AnySlotBusy();
}

void Scheduler::UpdateSlotCount()
{
    m.State().SlotCount = qBound(1, m.options().MaxParallel(), qMax(1, m.SessionMax()));
}

void Scheduler::StartJob(int slot, int row)
{
    HttpFiles* http = m.Http(slot);
    if (!http || row < 0 || row >= m.List2().ListCount())
        return;
    // The row keeps its text as added; blanks around it are no part of the address.
    const QString url = m.List2().List(row).trimmed();
    // Two URLs of one run may name one local file ("…/dir/" and "…/dir/_index.htm", or one
    // name under "$Basedir/$filename"): the later job never resumes or shares the earlier
    // one's file, it takes the next numbered name.
    const JobFile file = m.PrepareJobFile(slot, row, url, [this, &url](const QString& path) {
        const auto used = m_filesOfRun.constFind(path);
        return used != m_filesOfRun.cend() && *used != url;
    });
    if (!file.Path.isEmpty())
        m_filesOfRun.insert(file.Path, url);

    m.State().IsIdle = false;
    m.Jobs().SetRunning(row);

    const DownloadManager::SlotSettings s = m.CurrentSlotSettings();
    http->setCompatible(s.Compatible);
    http->setAcceptParam(s.AcceptParam);
    http->setAcceptLanguage(s.AcceptLanguage);
    http->setAcceptEncoding(s.AcceptEncoding);
    http->setErrorCodes(s.ErrorCodes);
    http->setDefaultExtns(s.DefaultExtns);
    http->setTryInterval(s.TryInterval);
    http->setConnectTimeout(s.ConnectTimeout);
    http->setMinimumFileSize(file.MinimumFileSize);
    http->setProtocol(s.Protocol);
    http->setTag(QString::number(row));
    http->setMaxTry(s.MaxTry);
    http->setRedirection(s.Redirection);
    http->setConnectAtOnce(m.options().ConnectAtOnce());
    // A connection is kept only where the request asked for it to stay open.
    http->setReuseConnections(m.options().ReuseConnections() && s.Protocol == 1 && s.KeepAlive);
    http->GetRemoteFile(url, file.Path, file.ResumeFrom, s.KeepAlive ? 1 : 0, 80, 0);
}

void Scheduler::StartDownloads()
{
    ManagerState& st = m.State();
    const int count = m.List2().ListCount();
    st.NextJob = 0;
    m_filesOfRun.clear();
    st.ClearStatusCounters();
    st.BlockIndex = count;
    st.CompletedJobs = st.FailedJobs = 0;
    m.Jobs().setBlockCaption(QStringLiteral("Block: OFF"));

    m.List2().ResetList();

    m.Settime();
    m.Meter().BlankGraph();
    m.gStatEx(true);
    if (!m.Timer1().isActive())
        m.Timer1().start();
    st.TotalBytes = st.FileBytes = 0;

    bool handedOut = false;
    for (int slot = 0; slot < st.SlotCount; ++slot) {
        if (NoJobLeft())
            break;
        const int row = st.NextJob++;
        StartJob(slot, row);
        handedOut = true;
    }
    if (handedOut)
        SetIdle(false);
}

void Scheduler::ResumeDownloads(bool fromCheckIdle)
{
    ManagerState& st = m.State();
    if (st.NextJob >= m.List2().ListCount()) {
        if (!fromCheckIdle)
            m.dialogs().MsgBox(QStringLiteral("No Jobs pending.. Aborting.."),
                               QStringLiteral("No Job..?"), Dialogs::Icon::Information);
        return;
    }
    for (int slot = 0; slot < st.SlotCount; ++slot) {
        // Only a free slot takes a job: handing one to a slot that still holds a job (in
        // its start delay or a retry wait) would drop that job unfinished.
        if (m.SlotBusy(slot))
            continue;
        if (NoJobLeft())
            break;
        const int row = st.NextJob++;
        StartJob(slot, row);
    }
}

void Scheduler::StopDownloads()
{
    // Every slot, also those above a lowered slider that still finish their jobs.
    for (int slot = 0; slot < m.SessionMax(); ++slot) {
        m.Http(slot)->BeIdeal();
        m.SetSlotStatus(slot, QStringLiteral("Stopped.."));
    }
    m.State().IsIdle = true;
    m.LedON();
    SetIdle(true);
}

void Scheduler::StopConnection(int slot)
{
    HttpFiles* http = m.Http(slot);
    if (!http)
        return;
    http->BeIdeal();
    m.ConnectState(slot);
    m.SetSlotStatus(slot, QStringLiteral("Stopped.."));
    m.State().IsIdle = NothingRunning();
    SetIdle(m.State().IsIdle);
}

void Scheduler::SlotFreed(int slot)
{
    ManagerState& st = m.State();
    m.gStatEx(true);
    if (NoJobLeft()) {
        m.Http(slot)->BeIdeal();
        m.SetSlotStatus(slot, QStringLiteral("Stopped.."));
    } else if (slot < st.SlotCount) { // the slider allows this slot
        const int row = st.NextJob++;
        StartJob(slot, row);
        return;
    }
    st.IsIdle = NothingRunning();
    SetIdle(st.IsIdle);
}

void Scheduler::CheckIdle()
{
    m.gStatEx(true);
    if (!NoJobLeft())
        ResumeDownloads(true);
    m.State().IsIdle = NothingRunning();
    SetIdle(m.State().IsIdle);
}

void Scheduler::SetIdle(bool flag)
{
    ManagerState& st = m.State();
    if (flag) {
        m.FinishRun();
        st.NextJob = 0;
        st.ClearStatusCounters();
        st.BlockIndex = -1;
        m.Jobs().setBlockCaption(QStringLiteral("Block: OFF"));
        m.gStatEx(false, StatusLine::Tag());
        m.Meter().BlankGraph();
    }
    m.setRunning(!flag);
}

void Scheduler::SetBlock()
{
    ManagerState& st = m.State();
    Rowvane& list = m.List2();
    const int count = list.ListCount();
    if (st.BlockIndex >= 0 && st.BlockIndex < count - 1)
        list.SetAttribute(st.BlockIndex, 0, 0, 1);
    const int row = list.ListIndex();
    if (m.StopEnabled() && st.NextJob <= row && row < count - 1) {
        st.BlockIndex = row;
        m.Jobs().setBlockCaption(QStringLiteral("Block: ON"));
        m.Jobs().SetBlockLook(row);
    }
}

void Scheduler::RemoveBlock()
{
    ManagerState& st = m.State();
    Rowvane& list = m.List2();
    const int count = list.ListCount();
    if (st.BlockIndex >= 0 && st.BlockIndex < count - 1) {
        list.SetAttribute(st.BlockIndex, 0, 0, 1);
        st.BlockIndex = count;
        m.Jobs().setBlockCaption(QStringLiteral("Block: OFF"));
    }
}
