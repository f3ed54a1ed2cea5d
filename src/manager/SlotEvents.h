// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class DownloadLogs;
class HttpFiles;
class JobList;
class Options;
class Scheduler;
class SlotEventsHost;
class SlotMonitor;
class StatusLine;
struct ManagerState;

// What the manager does with each event of each download slot: the monitor row, the
// counters, the status line, the logs and, on Disconnected, the end of the job.
class SlotEvents
{
public:
    struct Parts
    {
        SlotEventsHost& Host;
        ManagerState& State;
        JobList& Jobs;
        SlotMonitor& Monitor;
        DownloadLogs& Logs;
        const Options& Settings;
        StatusLine& Status;
        Scheduler& Schedule;
    };
    explicit SlotEvents(const Parts& parts) : m(parts) {}

    // Connects every signal of the slot to the handlers below with its index.
    void Attach(int slot, HttpFiles* http);

    void DataArrival(int slot, qint64 bytesTotal);
    void FileDataArrival(int slot, qint64 bytesTotal);
    void DownloadComplete(int slot);
    void DownloadIncomplete(int slot);
    void DownloadFailed(int slot);
    void Connected(int slot);
    void Disconnected(int slot);
    void Error(int slot, int number, const QString& description);
    void WaitingForReply(int slot, const QString& message);
    void Redirected(int slot, const QString& newUrl);
    void SocketClosed(int slot);
    void HeaderCame(int slot, const QString& header);
    void WaitingRetry(int slot);
    void Retrying(int slot);

private:
    HttpFiles& http(int slot) const;
    void status(int slot, const QString& text);

    Parts m;
};
