// SPDX-License-Identifier: GPL-3.0-or-later
#include "manager/Scheduler.h"

#include "engine/HttpFiles.h"
#include "manager/DownloadManager.h"
#include "manager/JobList.h"
#include "platform/Dialogs.h"

#include <QFileInfo>

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
    JobFile file = m.PrepareJobFile(slot, row, url);
    const QString path = PathNotInUse(slot, file.Path);
    if (path != file.Path) {
        file.Path = path;
        file.ResumeFrom = 0;
    }

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

QString Scheduler::PathNotInUse(int slot, const QString& path) const
{
    auto inUse = [&](const QString& candidate) {
        for (int other = 0; other < m.SessionMax(); ++other) {
            if (other != slot && m.SlotBusy(other) && m.Http(other)->LocalFile() == candidate)
                return true;
        }
        return false;
    };
    if (path.isEmpty() || !inUse(path))
        return path;
    // Two jobs of one run can name the same file ("…/dir/" and "…/dir/_index.htm"); writing
    // both into it at once would interleave their bytes.
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString dir = path.left(slash + 1);
    const QString name = path.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot >= 0 ? name.left(dot) : name;
    const QString ext = dot >= 0 ? name.mid(dot) : QString();
    for (int counter = 1; counter <= 1000; ++counter) {
        const QString tail = QLatin1Char('[') + QString::number(counter) + QLatin1Char(']') + ext;
        const int room = LocalFileNaming::MaxNameBytes - int(tail.toUtf8().size());
        const QString candidate =
            dir + (room > 0 ? LocalFileNaming::ShortenName(stem, room) : QString()) + tail;
        const QFileInfo info(candidate);
        if (!inUse(candidate) && !info.isDir() && !(info.isFile() && info.size() > 0))
            return candidate;
    }
    return QString(); // the slot then fails the job with a clear error
}

void Scheduler::StartDownloads()
{
    ManagerState& st = m.State();
    const int count = m.List2().ListCount();
    st.NextJob = 0;
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
