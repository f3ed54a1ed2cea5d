// SPDX-License-Identifier: GPL-3.0-or-later
#include "manager/SlotEvents.h"

#include "engine/HttpFiles.h"
#include "lists/JobList.h"
#include "manager/DownloadManager.h"
#include "manager/Scheduler.h"

void SlotEvents::Attach(int slot, HttpFiles* http)
{
    // Direct connections: each handler runs inside the slot's emission, so it reads the
    // slot's properties (Wait, Try, DownloadStatus) as they stand at that event.
    QObject::connect(http, &HttpFiles::DataArrival, &m,
                     [this, slot](qint64 n) { DataArrival(slot, n); });
    QObject::connect(http, &HttpFiles::FileDataArrival, &m,
                     [this, slot](qint64 n) { FileDataArrival(slot, n); });
    QObject::connect(http, &HttpFiles::DownloadComplete, &m,
                     [this, slot] { DownloadComplete(slot); });
    QObject::connect(http, &HttpFiles::DownloadIncomplete, &m,
                     [this, slot] { DownloadIncomplete(slot); });
    QObject::connect(http, &HttpFiles::DownloadFailed, &m, [this, slot] { DownloadFailed(slot); });
    QObject::connect(http, &HttpFiles::Connected, &m, [this, slot] { Connected(slot); });
    QObject::connect(http, &HttpFiles::Disconnected, &m, [this, slot] { Disconnected(slot); });
    QObject::connect(http, &HttpFiles::Error, &m,
                     [this, slot](int number, const QString& text) { Error(slot, number, text); });
    QObject::connect(http, &HttpFiles::WaitingForReply, &m,
                     [this, slot](const QString& text) { WaitingForReply(slot, text); });
    QObject::connect(http, &HttpFiles::Redirected, &m,
                     [this, slot](const QString& url) { Redirected(slot, url); });
    QObject::connect(http, &HttpFiles::SocketClosed, &m, [this, slot] { SocketClosed(slot); });
    QObject::connect(http, &HttpFiles::HeaderCame, &m,
                     [this, slot](const QString& header) { HeaderCame(slot, header); });
    QObject::connect(http, &HttpFiles::WaitingRetry, &m, [this, slot] { WaitingRetry(slot); });
    QObject::connect(http, &HttpFiles::Retrying, &m, [this, slot] { Retrying(slot); });
}

void SlotEvents::DataArrival(int, qint64 bytesTotal)
{
    m.State().TotalBytes += bytesTotal;
}

void SlotEvents::FileDataArrival(int slot, qint64 bytesTotal)
{
    m.State().FileBytes += bytesTotal;
    m.ShowProgress(slot, false);
}

void SlotEvents::DownloadComplete(int slot)
{
    m.State().DoneCount++;
    m.SetSlotStatus(slot, QStringLiteral("Download Complete.!!"));
}

void SlotEvents::DownloadIncomplete(int slot)
{
    m.SetSlotStatus(slot, QStringLiteral("Download Incomplete.!!"));
}

void SlotEvents::DownloadFailed(int slot)
{
    m.State().DownloadFailCount++;
    m.SetSlotStatus(slot, QStringLiteral("Download Failed.!!"));
}

void SlotEvents::Connected(int slot)
{
    HttpFiles* http = m.Http(slot);
    m.ConnectState(slot);
    m.ShowProgress(slot, true);
    m.State().IsIdle = false;
    m.SetSlotStatus(slot, QStringLiteral("Connected to: ") + http->RemoteHost() + QLatin1Char('(') +
                              http->RemoteHostIP() + QLatin1Char(')'));
    m.WriteConLog(http->RemoteHostIP() + QLatin1Char(' ') + QString::number(http->RemotePort()));
    if (m.options().LogRequest())
        m.WriteLog(QStringLiteral("Request Sent: >> ") + http->ReqStr());
}

void SlotEvents::Disconnected(int slot)
{
    // The end of the job.
    HttpFiles* http = m.Http(slot);
    m.ConnectState(slot);
    bool rowOk = false;
    const int row = http->Tag().toInt(&rowOk);
    const bool completed = http->DownloadStatus() == 1;
    // A slot that never held a job of this list (its tag is not a row) changes no row.
    const bool validRow = rowOk && row >= 0 && row < m.List2().ListCount();
    if (validRow) {
        m.List2().setSelected(row, true);
        if (completed)
            m.Jobs().SetCompleted(row);
        else
            m.Jobs().SetFailed(row);
    }
    if (completed)
        m.State().CompletedJobs++;
    else
        m.State().FailedJobs++;
    // As BeIdeal, but a connection the reply left reusable waits for the next job.
    http->EndJob();
    if (validRow)
        m.EmitJobEnded(row, completed);
    if (m.options().TimerSchedule()) {
        // Enabling a running timer keeps its phase; restarting it on every job end
        // would hold the tick off for as long as jobs keep ending.
        m.setTimerTag(QStringLiteral("CR"));
        if (!m.Timer1().isActive())
            m.Timer1().start();
    } else {
        m.scheduler().SlotFreed(slot);
    }
}

void SlotEvents::Error(int slot, int number, const QString& description)
{
    HttpFiles* http = m.Http(slot);
    const QString error = QStringLiteral("Error**=> [") + QString::number(number) +
                          QStringLiteral("]: ") + description;
    // An error about a job that already ended is logged under that job's address; the
    // monitor row belongs to the slot's next job by then.
    const QString endedJob = http->EndedJobOfError();
    if (!endedJob.isEmpty()) {
        m.WriteLog(QLatin1Char('[') + endedJob + QStringLiteral("] ") + error);
        return;
    }
    m.SetSlotStatus(slot, error);
    m.ConnectState(slot);
    m.WriteLog(QLatin1Char('[') + http->AbsUrl() + http->Content() + QStringLiteral("] ") + error);
}

void SlotEvents::WaitingForReply(int slot, const QString& message)
{
    m.SetSlotStatus(slot,
                    message + QStringLiteral(" > ") + m.Http(slot)->AbsUrl() + QLatin1Char(' '));
    m.ConnectState(slot);
}

void SlotEvents::Redirected(int slot, const QString& newUrl)
{
    HttpFiles* http = m.Http(slot);
    m.SetSlotStatus(slot, QStringLiteral("Redirected to: ") + newUrl);
    m.WriteLog(QStringLiteral("Redirection:[") + http->AbsUrl() + http->Content() +
               QStringLiteral("]\nNew URL: ") + newUrl);
    m.State().RedirectCount++;
    m.gStatEx(true);
}

void SlotEvents::SocketClosed(int slot)
{
    m.State().ConnectFailCount++;
    m.SetSlotStatus(slot, QStringLiteral("Timeout/MaxTry failed.!!"));
}

void SlotEvents::HeaderCame(int slot, const QString& header)
{
    if (m.options().LogReply())
        m.WriteLog(m.Http(slot)->AbsUrl() + QLatin1Char('\n') + header);
}

void SlotEvents::WaitingRetry(int slot)
{
    HttpFiles* http = m.Http(slot);
    m.SetSlotStatus(slot, QStringLiteral("Waiting ") + QString::number(http->Wait()) +
                              QStringLiteral(" Seconds for try :") +
                              QString::number(http->Try() + 1) + QStringLiteral(" of total ") +
                              QString::number(http->MaxTry()) + QStringLiteral("][") +
                              http->AbsUrl());
}

void SlotEvents::Retrying(int slot)
{
    m.SetSlotStatus(slot, QStringLiteral("Reconnecting....."));
}

void SlotEvents::TimerTick()
{
    ManagerState& state = m.State();
    state.TickCount++;
    m.Settime();
    m.Meter().Tick(state.TotalBytes, state.FileBytes);
    state.TotalBytes = 0;
    state.FileBytes = 0;
    Q_EMIT m.MeterChanged();
    if (m.TimerTag() == QLatin1String("CR")) {
        m.setTimerTag(QString());
        m.scheduler().CheckIdle();
    }
    // A run with nothing left to hand out and no slot holding a job is over, whatever
    // path led there: the manager never stays running with nothing to wait for.
    if (m.StopEnabled() && m.scheduler().NoJobLeft() && !m.AnySlotBusy()) {
        m.State().IsIdle = true;
        m.scheduler().SetIdle(true);
    }
}
