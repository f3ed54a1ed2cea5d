// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "lists/DownloadListMenu.h"
#include "lists/ManagerState.h"
#include "lists/Rowvane.h"
#include "lists/StatusLine.h"
#include "manager/LocalFileNaming.h"
#include "manager/SchedulerHost.h"
#include "manager/SlotEventsHost.h"
#include "manager/SlotMonitor.h"
#include "manager/SpeedMeter.h"
#include "settings/Options.h"
#include "settings/ParamValues.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

#include <memory>
#include <optional>

class Dialogs;
class DownloadLogs;
class FileTypeList;
class HttpFiles;
class JobList;
class PageHarvester;
class Scheduler;
class SettingsStore;
class SlotEvents;
class UrlListIO;

// The core of the main window without widgets: it owns the download slots, the job and
// web page lists, the logs, the options and the param.dat values, and runs the
// scheduler and the slot event handlers on the main timer. The window and harvex-cli
// both drive it through its commands and observe its state and signals.
class DownloadManager : public QObject, private SchedulerHost, private SlotEventsHost
{
    Q_OBJECT
public:
    DownloadManager(Dialogs& dialogs, SettingsStore& store, QObject* parent = nullptr);
    ~DownloadManager() override;

    // What every job hands its slot, from the options and the param.dat values.
    struct SlotSettings
    {
        QString Compatible;
        QString AcceptParam;
        QString AcceptLanguage;
        QString AcceptEncoding;
        QString ErrorCodes;
        QString DefaultExtns;
        int TryInterval = 10;
        int ConnectTimeout = 20;
        int Protocol = 0;
        int MaxTry = 6;
        bool Redirection = false;
        bool KeepAlive = true;
    };
    // Values of one run that the options' edit rules would clamp (the command line).
    struct RunOverrides
    {
        std::optional<int> MaxTry;
        std::optional<int> TryInterval;
        std::optional<int> ConnectTimeout;
        std::optional<QString> UserAgent;
        std::optional<QString> BaseDir;
    };

    // --- What the manager owns ------------------------------------------------------------
    Dialogs& dialogs() { return m_dialogs; }
    SettingsStore& Store() { return m_store; }
    ManagerState& State() { return m_state; }
    const ManagerState& State() const { return m_state; }
    Options& options() { return m_options; }
    const Options& options() const { return m_options; }
    ParamValues& Params() { return m_params; }
    Rowvane& List2() { return m_list2; } // the download list: one row per job
    Rowvane& List4() { return m_list4; } // the web page list
    JobList& Jobs() { return *m_jobs; }
    StatusLine& Status() { return m_status; }
    DownloadLogs& Logs() { return *m_logs; }
    FileTypeList& DataTypes() { return *m_dataTypes; }
    FileTypeList& PageTypes() { return *m_pageTypes; }
    LocalFileNaming& Naming() { return *m_naming; }
    UrlListIO& ListIO() { return *m_listIO; }
    PageHarvester& Harvester() { return *m_harvester; }
    SlotMonitor& Monitor() { return m_monitor; }
    SpeedMeter& Meter() { return m_meter; }
    Scheduler& scheduler() { return *m_scheduler; }

    // The base folder of this run: the option, or the run's override.
    QString BaseDir() const { return m_overrides.BaseDir.value_or(m_options.BaseDir()); }

    // --- Slots ---------------------------------------------------------------------------
    // Creates the slots and their monitor rows once (`CreateControls`); the count is
    // SessionMax for the rest of the run.
    void CreateControls(int slotTotal);
    int SessionMax() const { return int(m_slots.size()); }
    HttpFiles* Http(int slot) const;
    // A slot holds a job: started and waiting for its first tick, connecting, transferring,
    // waiting for a retry, or ended with its Disconnected still to come.
    bool SlotBusy(int slot) const override;
    bool AnySlotBusy() const;

    // --- Timers ------------------------------------------------------------------------
    // Length of every one-second tick (the main timer and every slot's timer), 1000 ms;
    // tests and harvex-cli --tick-ms shorten it.
    void setTickInterval(int ms);
    int TickInterval() const { return m_tickMs; }
    QTimer& Timer1() { return m_timer; }
    // A list file or folder named on the command line, loaded on the first tick.
    void LoadArgumentOnFirstTick(const QString& argument);

    // --- Commands (the window binds its toolbar and menus to these) ----------------------
    void StartDownloads();
    void ResumeDownloads();
    void StopDownloads();
    void StopConnection(int slot);
    void SetBlock();
    void RemoveBlock();
    // The slider was moved (Options::SliderMouseUp) or set: SlotCount follows it.
    void SliderChanged();
    // The slider's caption: " 5 [ Session MAX= 7 ]", or with "[ Limit exceeded! ]" (shown
    // in red) when the value is above the slots created at start-up.
    QString SliderCaption() const;
    bool SliderOverLimit() const { return m_options.MaxParallel() > SessionMax(); }

    // Leaving the program: while a run is going asks "Downloads in progress!" and, on Yes,
    // stops every slot. False when the user chose to stay. Asked once: after a Yes the
    // answer stands for the rest of the way out.
    bool ConfirmExit();
    // Closing the window: offers to save changed options first, then ConfirmExit.
    bool QueryUnload();
    // Writes the changed options. A failure is shown with the settings file's name and
    // leaves them marked, so Save stays enabled.
    bool SaveSettings();

    bool StartEnabled() const;
    bool ResumeEnabled() const { return m_running; }
    bool StopEnabled() const { return m_running; }
    // The download list's menu as it is about to open.
    DownloadListMenu DownloadMenu();
    // The extension patterns of the checked file types: the data types filter what goes
    // into the download list, the page types (with an optional query) what goes into the
    // web page list. Rebuilt at start-up and whenever a list changes.
    QString DataExtPattern() const { return m_dataExtPattern; }
    QString PageExtPattern() const { return m_pageExtPattern; }
    void RebuildExtPatterns();

    // The counter line of the last run as it stood when the run ended.
    QString LastCounterLine() const { return m_lastCounterLine; }

    // --- Views ---------------------------------------------------------------------------
    // The elapsed-time label (`Settime`): "00:00 Min".
    QString TimeText() const { return m_timeText; }
    void Settime();
    QString MeterText() const { return m_meter.MeterText(); }
    // The status label: "Status: " + text, or the counter line when text is empty.
    void gStatEx(bool flag, const QString& text = QString());

    // --- Monitor rows (written by the slot event handlers and the scheduler) -------------
    void SetSlotStatus(int slot, const QString& text);
    void ConnectState(int slot);
    void ShowProgress(int slot, bool frame);
    void LedON();

    // --- Logs ----------------------------------------------------------------------------
    void WriteLog(const QString& text);
    void WriteConLog(const QString& text);

    SlotSettings CurrentSlotSettings() const;
    RunOverrides& Overrides() { return m_overrides; }

Q_SIGNALS:
    // The enabled states of start, resume and stop changed.
    void CommandsChanged();
    // The main timer ticked: meter text, speed graph and elapsed time are new.
    void MeterChanged();
    // A job ended: its row is checked and coloured.
    void JobEnded(int row, bool completed);
    // The manager fell idle after a run (every slot closed, or stopped).
    void RunFinished();
    // The base folder is missing (start-up check): the window shows its configuration.
    void BaseDirMissing();

private:
    void OnTimer();
    // The statistics tick of the main timer, and the refills of the timer schedule.
    void TimerTick();

    // What the slot-event handlers ask of the manager.
    HttpFiles* Slot(int slot) const override { return Http(slot); }
    void TellJobEnded(int row, bool completed) override { Q_EMIT JobEnded(row, completed); }
    void RefillAtNextTick() override;

    // What the scheduler asks of the manager.
    int SlotTotal() const override { return int(m_slots.size()); }
    JobFile NameJob(const QString& url,
                    const std::function<bool(const QString&)>& takenInRun) override;
    void StartSlot(int slot, int row, const QString& url, const JobFile& file) override;
    void StopSlot(int slot) override;
    void ShowSlots() override { LedON(); }
    void CountersChanged() override { gStatEx(true); }
    void RunStarts() override;
    // The run ends: keeps its counter line before the counters are cleared.
    void RunEnding() override;
    // Runs or stops the main timer and tells the views; RunFinished when a run ends.
    void SetRunning(bool running) override;
    bool Running() const override { return m_running; }

    Dialogs& m_dialogs;
    SettingsStore& m_store;
    ManagerState m_state;
    Options m_options;
    ParamValues m_params;
    Rowvane m_list2;
    Rowvane m_list4;
    StatusLine m_status;
    std::unique_ptr<JobList> m_jobs;
    std::unique_ptr<DownloadLogs> m_logs;
    std::unique_ptr<FileTypeList> m_dataTypes;
    std::unique_ptr<FileTypeList> m_pageTypes;
    std::unique_ptr<LocalFileNaming> m_naming;
    std::unique_ptr<UrlListIO> m_listIO;
    std::unique_ptr<PageHarvester> m_harvester;
    SlotMonitor m_monitor;
    SpeedMeter m_meter;
    QVector<HttpFiles*> m_slots;
    std::unique_ptr<Scheduler> m_scheduler;
    std::unique_ptr<SlotEvents> m_events;

    QTimer m_timer;
    QString m_timerTag;
    QString m_argument;
    int m_tickMs = 1000;
    bool m_running = false;
    QString m_timeText = QStringLiteral("00:00 Min");
    QString m_lastCounterLine;
    RunOverrides m_overrides;
    bool m_exitConfirmed = false;
    QString m_dataExtPattern;
    QString m_pageExtPattern;
};
