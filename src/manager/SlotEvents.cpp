// SPDX-License-Identifier: GPL-3.0-or-later
#include "manager/SlotEvents.h"

#include "engine/HttpFiles.h"
#include "lists/JobList.h"
#include "lists/ManagerState.h"
#include "lists/Rowvane.h"
#include "lists/StatusLine.h"
#include "manager/DownloadLogs.h"
#include "manager/Scheduler.h"
#include "manager/SlotEventsHost.h"
#include "manager/SlotMonitor.h"
#include "settings/Options.h"

void SlotEvents::Attach(int slot, HttpFiles* http)
{
    // Direct connections: each handler runs inside the slot's emission, so it reads the
    // slot's properties (Wait, Try, DownloadStatus) as they stand at that event.
    QObject::connect(http, &HttpFiles::DataArrival, &m.Monitor,
                     [this, slot](qint64 n) { DataArrival(slot, n); });
    QObject::connect(http, &HttpFiles::FileDataArrival, &m.Monitor,
                     [this, slot](qint64 n) { FileDataArrival(slot, n); });
    QObject::connect(http, &HttpFiles::DownloadComplete, &m.Monitor,
                     [this, slot] { DownloadComplete(slot); });
    QObject::connect(http, &HttpFiles::DownloadIncomplete, &m.Monitor,
                     [this, slot] { DownloadIncomplete(slot); });
    QObject::connect(http, &HttpFiles::DownloadFailed, &m.Monitor,
                     [this, slot] { DownloadFailed(slot); });
    QObject::connect(http, &HttpFiles::Connected, &m.Monitor, [this, slot] { Connected(slot); });
    QObject::connect(http, &HttpFiles::Disconnected, &m.Monitor,
                     [this, slot] { Disconnected(slot); });
    QObject::connect(http, &HttpFiles::Error, &m.Monitor,
                     [this, slot](int number, const QString& text) { Error(slot, number, text); });
    QObject::connect(http, &HttpFiles::WaitingForReply, &m.Monitor,
                     [this, slot](const QString& text) { WaitingForReply(slot, text); });
    QObject::connect(http, &HttpFiles::Redirected, &m.Monitor,
                     [this, slot](const QString& url) { Redirected(slot, url); });
    QObject::connect(http, &HttpFiles::SocketClosed, &m.Monitor,
                     [this, slot] { SocketClosed(slot); });
    QObject::connect(http, &HttpFiles::HeaderCame, &m.Monitor,
                     [this, slot](const QString& header) { HeaderCame(slot, header); });
    QObject::connect(http, &HttpFiles::WaitingRetry, &m.Monitor,
                     [this, slot] { WaitingRetry(slot); });
    QObject::connect(http, &HttpFiles::Retrying, &m.Monitor, [this, slot] { Retrying(slot); });
}

void SlotEvents::DataArrival(int, qint64 bytesTotal)
{
    m.State.TotalBytes += bytesTotal;
}

void SlotEvents::FileDataArrival(int slot, qint64 bytesTotal)
{
    m.State.FileBytes += bytesTotal;
    m.Monitor.ShowProgress(slot, http(slot));
}

void SlotEvents::DownloadComplete(int slot)
{
    m.State.DoneCount++;
    status(slot, QStringLiteral("Download Complete.!!"));
}

void SlotEvents::DownloadIncomplete(int slot)
{
    status(slot, QStringLiteral("Download Incomplete.!!"));
}

void SlotEvents::DownloadFailed(int slot)
{
    m.State.DownloadFailCount++;
    status(slot, QStringLiteral("Download Failed.!!"));
}

void SlotEvents::Connected(int slot)
{
    HttpFiles* http = &this->http(slot);
    m.Monitor.SetLamp(slot, this->http(slot).State());
    m.Monitor.ShowProgress(slot, *http);
    m.State.IsIdle = false;
    status(slot, QStringLiteral("Connected to: ") + http->RemoteHost() + QLatin1Char('(') +
                     http->RemoteHostIP() + QLatin1Char(')'));
    m.Logs.WriteConLog(http->RemoteHostIP() + QLatin1Char(' ') +
                       QString::number(http->RemotePort()));
    if (m.Settings.LogRequest())
        m.Logs.WriteLog(QStringLiteral("Request Sent: >> ") + http->ReqStr());
}

void SlotEvents::Disconnected(int slot)
{
    // The end of the job.
    HttpFiles* http = &this->http(slot);
    m.Monitor.SetLamp(slot, this->http(slot).State());
    bool rowOk = false;
    const int row = http->Tag().toInt(&rowOk);
    const bool completed = http->DownloadStatus() == 1;
    // A slot that never held a job of this list (its tag is not a row) changes no row.
    const bool validRow = rowOk && row >= 0 && row < m.Jobs.List().ListCount();
    if (validRow) {
        m.Jobs.List().setSelected(row, true);
        if (completed)
            m.Jobs.SetCompleted(row);
        else
            m.Jobs.SetFailed(row);
    }
    if (completed)
        m.State.CompletedJobs++;
    else
        m.State.FailedJobs++;
    // As BeIdeal, but a connection the reply left reusable waits for the next job.
    http->EndJob();
    if (validRow)
        m.Host.TellJobEnded(row, completed);
    if (m.Settings.TimerSchedule()) {
        m.Host.RefillAtNextTick();
    } else {
        m.Schedule.SlotFreed(slot);
    }
}

void SlotEvents::Error(int slot, int number, const QString& description)
{
    HttpFiles* http = &this->http(slot);
    const QString error = QStringLiteral("Error**=> [") + QString::number(number) +
                          QStringLiteral("]: ") + description;
    // An error about a job that already ended is logged under that job's address; the
    // monitor row belongs to the slot's next job by then.
    const QString endedJob = http->EndedJobOfError();
    if (!endedJob.isEmpty()) {
        m.Logs.WriteLog(QLatin1Char('[') + endedJob + QStringLiteral("] ") + error);
        return;
    }
    status(slot, error);
    m.Monitor.SetLamp(slot, this->http(slot).State());
    m.Logs.WriteLog(QLatin1Char('[') + http->AbsUrl() + http->Content() + QStringLiteral("] ") +
                    error);
}

void SlotEvents::WaitingForReply(int slot, const QString& message)
{
    status(slot, message + QStringLiteral(" > ") + http(slot).AbsUrl() + QLatin1Char(' '));
    m.Monitor.SetLamp(slot, this->http(slot).State());
}

void SlotEvents::Redirected(int slot, const QString& newUrl)
{
    HttpFiles* http = &this->http(slot);
    status(slot, QStringLiteral("Redirected to: ") + newUrl);
    m.Logs.WriteLog(QStringLiteral("Redirection:[") + http->AbsUrl() + http->Content() +
                    QStringLiteral("]\nNew URL: ") + newUrl);
    m.State.RedirectCount++;
    m.Status.gStatEx(true, QString());
}

void SlotEvents::SocketClosed(int slot)
{
    m.State.ConnectFailCount++;
    status(slot, QStringLiteral("Timeout/MaxTry failed.!!"));
}

void SlotEvents::HeaderCame(int slot, const QString& header)
{
    if (m.Settings.LogReply())
        m.Logs.WriteLog(http(slot).AbsUrl() + QLatin1Char('\n') + header);
}

void SlotEvents::WaitingRetry(int slot)
{
    HttpFiles* http = &this->http(slot);
    status(slot, QStringLiteral("Waiting ") + QString::number(http->Wait()) +
                     QStringLiteral(" Seconds for try :") + QString::number(http->Try() + 1) +
                     QStringLiteral(" of total ") + QString::number(http->MaxTry()) +
                     QStringLiteral("][") + http->AbsUrl());
}

void SlotEvents::Retrying(int slot)
{
    status(slot, QStringLiteral("Reconnecting....."));
}

HttpFiles& SlotEvents::http(int slot) const
{
    return *m.Host.Slot(slot);
}

void SlotEvents::status(int slot, const QString& text)
{
    m.Monitor.SetSlotStatus(slot, text);
}
