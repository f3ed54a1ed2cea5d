// SPDX-License-Identifier: GPL-3.0-or-later
#include "manager/DownloadManager.h"

#include "engine/HttpFiles.h"
#include "harvest/PageHarvester.h"
#include "lists/FileTypeList.h"
#include "lists/JobList.h"
#include "lists/UrlListIO.h"
#include "manager/DownloadLogs.h"
#include "manager/Scheduler.h"
#include "manager/SlotEvents.h"
#include "platform/Dialogs.h"
#include "platform/SettingsStore.h"
#include "platform/StreamSocket.h"

DownloadManager::DownloadManager(Dialogs& dialogs, SettingsStore& store, QObject* parent)
    : QObject(parent), m_dialogs(dialogs), m_store(store), m_status(m_state, m_list2),
      m_jobs(std::make_unique<JobList>(m_list2, m_state, m_status, dialogs)),
      m_logs(std::make_unique<DownloadLogs>()), m_dataTypes(std::make_unique<FileTypeList>()),
      m_pageTypes(std::make_unique<FileTypeList>()),
      m_naming(std::make_unique<LocalFileNaming>(*m_logs, dialogs)),
      m_listIO(std::make_unique<UrlListIO>(*m_jobs, dialogs)),
      m_harvester(std::make_unique<PageHarvester>(*m_jobs, m_list4, *m_dataTypes, *m_pageTypes,
                                                  *m_listIO, m_options, dialogs)),
      m_scheduler(std::make_unique<Scheduler>(static_cast<SchedulerHost&>(*this), *m_jobs, m_list2,
                                              m_state, dialogs)),
      m_events(std::make_unique<SlotEvents>(SlotEvents::Parts{static_cast<SlotEventsHost&>(*this),
                                                              m_state, *m_jobs, m_monitor, *m_logs,
                                                              m_options, m_status, *m_scheduler}))
{
    // Pages are fetched with the user agent the downloads send.
    m_harvester->SetUserAgentSource([this] { return CurrentSlotSettings().Compatible; });
    m_timer.setInterval(m_tickMs);
    connect(&m_timer, &QTimer::timeout, this, &DownloadManager::OnTimer);
    connect(m_jobs.get(), &JobList::Changed, this, &DownloadManager::CommandsChanged);
    // The file-type lists and their option texts stay in step, so Save writes the lists.
    connect(m_dataTypes.get(), &FileTypeList::Modified, this, [this] {
        m_options.setDataExt(m_dataTypes->ListToString());
        RebuildExtPatterns();
    });
    connect(m_pageTypes.get(), &FileTypeList::Modified, this, [this] {
        m_options.setUrlExt(m_pageTypes->ListToString());
        RebuildExtPatterns();
    });
    connect(&m_options, &Options::optionChanged, this, [this](Options::Option option) {
        if (option == Options::Option::MaxParallel)
            SliderChanged();
    });
}

DownloadManager::~DownloadManager()
{
    // The slots go first: none may raise an event into a half-destroyed manager.
    for (HttpFiles* http : std::as_const(m_slots)) {
        http->disconnect();
        http->BeIdeal();
        delete http;
    }
    m_slots.clear();
}

void DownloadManager::CreateControls(int slotTotal)
{
    if (!m_slots.isEmpty())
        return;
    slotTotal = qBound(1, slotTotal, 20);
    for (int slot = 0; slot < slotTotal; ++slot) {
        auto* http = new HttpFiles(this);
        http->setTickInterval(m_tickMs);
        m_slots.append(http);
        m_events->Attach(slot, http);
    }
    m_state.SessionMax = slotTotal;
    m_monitor.CreateRows(slotTotal);
    m_scheduler->UpdateSlotCount(m_options.MaxParallel());
    LedON();
}

HttpFiles* DownloadManager::Http(int slot) const
{
    return slot >= 0 && slot < m_slots.size() ? m_slots[slot] : nullptr;
}

bool DownloadManager::SlotBusy(int slot) const
{
    const HttpFiles* http = Http(slot);
    if (!http)
        return false;
    // A verdict given (1, 2) still has its Disconnected to come; a socket that is
    // resolving, connecting or connected is in use whatever the transfer record says.
    // A connection kept open between jobs holds no job.
    const int socket = http->State();
    return http->DownloadStatus() != 0 || socket == StreamSocket::Resolving ||
           socket == StreamSocket::Connecting ||
           (socket == StreamSocket::ConnectedState && !http->KeepsIdleConnection());
}

bool DownloadManager::AnySlotBusy() const
{
    for (int slot = 0; slot < m_slots.size(); ++slot) {
        if (SlotBusy(slot))
            return true;
    }
    return false;
}

void DownloadManager::setTickInterval(int ms)
{
    m_tickMs = qMax(1, ms);
    m_timer.setInterval(m_tickMs);
    for (HttpFiles* http : std::as_const(m_slots))
        http->setTickInterval(m_tickMs);
}

void DownloadManager::LoadArgumentOnFirstTick(const QString& argument)
{
    m_argument = argument;
    m_timerTag = QStringLiteral("CMD");
    m_timer.setInterval(qMax(1, m_tickMs / 2));
    m_timer.start();
}

void DownloadManager::OnTimer()
{
    if (m_timerTag == QLatin1String("CMD")) {
        // The one-shot tick of a start with an argument; the tick length is then set back
        // so the meter's figure stays per second.
        m_timer.stop();
        m_timerTag.clear();
        m_timer.setInterval(m_tickMs);
        const QString argument = m_argument;
        m_argument.clear();
        m_listIO->LoadCommandLine(argument, m_dataExtPattern, m_options.ClearList());
        return;
    }
    TimerTick();
}

void DownloadManager::TimerTick()
{
    m_state.TickCount++;
    Settime();
    m_meter.Tick(m_state.TotalBytes, m_state.FileBytes);
    m_state.TotalBytes = 0;
    m_state.FileBytes = 0;
    Q_EMIT MeterChanged();
    if (m_timerTag == QLatin1String("CR")) {
        m_timerTag.clear();
        m_scheduler->CheckIdle();
    }
    // A run with nothing left to hand out and no slot holding a job is over, whatever
    // path led there: the manager never stays running with nothing to wait for.
    if (m_running && m_scheduler->NoJobLeft() && m_scheduler->NothingRunning()) {
        m_state.IsIdle = true;
        m_scheduler->SetIdle(true);
    }
}

void DownloadManager::RefillAtNextTick()
{
    // Enabling a running timer keeps its phase; restarting it on every job end would hold
    // the tick off for as long as jobs keep ending.
    m_timerTag = QStringLiteral("CR");
    if (!m_timer.isActive())
        m_timer.start();
}

// --- Commands -----------------------------------------------------------------------------

void DownloadManager::StartDownloads()
{
    m_scheduler->StartDownloads();
}

void DownloadManager::ResumeDownloads()
{
    m_scheduler->ResumeDownloads();
}

void DownloadManager::StopDownloads()
{
    m_scheduler->StopDownloads();
}

void DownloadManager::StopConnection(int slot)
{
    m_scheduler->StopConnection(slot);
}

void DownloadManager::SetBlock()
{
    m_scheduler->SetBlock();
}

void DownloadManager::RemoveBlock()
{
    m_scheduler->RemoveBlock();
}

void DownloadManager::SliderChanged()
{
    m_scheduler->UpdateSlotCount(m_options.MaxParallel());
}

QString DownloadManager::SliderCaption() const
{
    const QString value = QLatin1Char(' ') + QString::number(m_options.MaxParallel());
    const QString max =
        QStringLiteral("[ Session MAX= ") + QString::number(SessionMax()) + QStringLiteral(" ]");
    return SliderOverLimit() ? value + QStringLiteral(" [ Limit exceeded! ]") + max
                             : value + QLatin1Char(' ') + max;
}

bool DownloadManager::ConfirmExit()
{
    if (m_exitConfirmed)
        return true;
    const bool ask = StopEnabled();
    if (ask && m_dialogs.MsgBox(
                   QStringLiteral("Downloads in progress!\r\n\r\nDo you wish to exit ?"), QString(),
                   Dialogs::Icon::Question, Dialogs::Buttons::YesNo) != Dialogs::Answer::Yes)
        return false;
    // Stopped without events: partly written files stay and resume later. A job whose
    // save dialog is open (also while a start hands out its first jobs) does not start
    // when the dialog returns.
    m_scheduler->CancelStarts();
    for (HttpFiles* http : std::as_const(m_slots))
        http->BeIdeal();
    m_exitConfirmed = ask;
    return true;
}

bool DownloadManager::QueryUnload()
{
    if (m_options.SaveEnabled() &&
        m_dialogs.MsgBox(QStringLiteral("There are unsaved settings! Do you wish to save them?"),
                         QStringLiteral("Save?"), Dialogs::Icon::Question,
                         Dialogs::Buttons::YesNo) == Dialogs::Answer::Yes)
        SaveSettings();
    return ConfirmExit();
}

bool DownloadManager::SaveSettings()
{
    if (m_options.SaveSettings(m_store))
        return true;
    m_dialogs.MsgBox(QStringLiteral("The settings could not be saved to ") + m_store.FileName() +
                         QStringLiteral(".\r\nThe changed options stay marked; "
                                        "Save can be tried again."),
                     QStringLiteral("Save?"), Dialogs::Icon::Critical);
    return false;
}

bool DownloadManager::StartEnabled() const
{
    // Starting again during a run would hand rows to busy slots and drop their jobs.
    return !m_running && m_list2.ListCount() >= 1;
}

// --- Views ----------------------------------------------------------------------------------

void DownloadManager::Settime()
{
    m_timeText = SpeedMeter::ElapsedText(m_state.TickCount);
}

void DownloadManager::gStatEx(bool flag, const QString& text)
{
    m_status.gStatEx(flag, text);
}

void DownloadManager::SetSlotStatus(int slot, const QString& text)
{
    m_monitor.SetSlotStatus(slot, text);
}

void DownloadManager::ConnectState(int slot)
{
    if (const HttpFiles* http = Http(slot))
        m_monitor.SetLamp(slot, http->State());
}

void DownloadManager::ShowProgress(int slot, bool)
{
    if (const HttpFiles* http = Http(slot))
        m_monitor.ShowProgress(slot, *http);
}

void DownloadManager::LedON()
{
    for (int slot = 0; slot < m_slots.size(); ++slot) {
        ConnectState(slot);
        ShowProgress(slot, true);
    }
}

// --- Jobs and logs --------------------------------------------------------------------------

DownloadManager::SlotSettings DownloadManager::CurrentSlotSettings() const
{
    SlotSettings s;
    s.Compatible = m_overrides.UserAgent.value_or(m_params.Combo2.SelectedText());
    s.AcceptParam = m_params.CboAccept.SelectedText();
    s.AcceptLanguage = m_params.CboAccptLang.SelectedText();
    s.AcceptEncoding = m_params.CboAccptEncoding.SelectedText();
    s.ErrorCodes = m_params.ErrCodes;
    s.DefaultExtns = m_params.DefExt;
    s.TryInterval = m_overrides.TryInterval.value_or(m_options.BusyWait());
    s.ConnectTimeout = m_overrides.ConnectTimeout.value_or(m_options.ConnTimeout());
    s.Protocol = m_options.HttpVersion() ? 1 : 0;
    s.MaxTry = m_overrides.MaxTry.value_or(m_options.TryCount());
    s.Redirection = m_options.Redirection();
    s.KeepAlive = m_options.KeepAlive();
    return s;
}

void DownloadManager::WriteLog(const QString& text)
{
    m_logs->WriteLog(text);
}

void DownloadManager::WriteConLog(const QString& text)
{
    m_logs->WriteConLog(text);
}

JobFile DownloadManager::NameJob(const QString& url,
                                 const std::function<bool(const QString&)>& takenInRun)
{
    NamingOptions naming;
    naming.BaseDir = BaseDir();
    naming.PathOption = m_options.PathOption();
    naming.DetectResume = m_options.DetectResume();
    naming.MinImgSize = m_options.MinImgSize();
    naming.TakenInRun = takenInRun;
    return m_naming->PrepareJob(url, naming);
}

void DownloadManager::StartSlot(int slot, int row, const QString& url, const JobFile& file)
{
    HttpFiles* http = Http(slot);
    const SlotSettings s = CurrentSlotSettings();
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
    http->setConnectAtOnce(m_options.ConnectAtOnce());
    // A connection is kept only where the request asked for it to stay open.
    http->setReuseConnections(m_options.ReuseConnections() && s.Protocol == 1 && s.KeepAlive);
    http->GetRemoteFile(url, file.Path, file.ResumeFrom, s.KeepAlive ? 1 : 0, 80, 0);
}

void DownloadManager::StopSlot(int slot)
{
    Http(slot)->BeIdeal();
    ConnectState(slot);
    SetSlotStatus(slot, QStringLiteral("Stopped.."));
}

void DownloadManager::RunStarts()
{
    Settime();
    m_meter.BlankGraph();
    gStatEx(true);
    if (!m_timer.isActive())
        m_timer.start();
}

void DownloadManager::RunEnding()
{
    if (m_running)
        m_lastCounterLine = m_status.CounterLine();
}

void DownloadManager::SetRunning(bool running)
{
    if (running) {
        if (!m_timer.isActive())
            m_timer.start();
    } else {
        gStatEx(false, StatusLine::Tag());
        m_meter.BlankGraph();
        m_timer.stop();
    }
    const bool ended = m_running && !running;
    m_running = running;
    Q_EMIT CommandsChanged();
    if (ended)
        Q_EMIT RunFinished();
}

DownloadListMenu DownloadManager::DownloadMenu()
{
    DownloadListMenu::Inputs in;
    in.Rows = m_list2.ListCount();
    in.Current = m_list2.ListIndex();
    in.Running = StopEnabled();
    in.ClipboardText = m_listIO->ClipboardLoaded();
    in.RowTaken = !m_listIO->CutBuffer().isEmpty();
    return DownloadListMenu::For(m_state, in);
}

void DownloadManager::RebuildExtPatterns()
{
    m_dataExtPattern = m_dataTypes->BuildExtPattern();
    m_pageExtPattern = m_pageTypes->BuildExtPattern() + QStringLiteral("(\\?.*)?");
}
