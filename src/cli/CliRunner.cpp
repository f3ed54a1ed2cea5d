// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliRunner.h"

#include "cli/LiveDisplay.h"
#include "harvest/NumberedRange.h"
#include "harvest/PageHarvester.h"
#include "lists/FileTypeList.h"
#include "lists/JobList.h"
#include "lists/UrlListReader.h"
#include "manager/DownloadManager.h"
#include "manager/Startup.h"
#include "platform/ConsoleDialogs.h"
#include "platform/SettingsStore.h"
#include "platform/StreamSocket.h"
#include "platform/TerminalText.h"
#include "platform/Version.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The self-pipe of the interrupt handler: the handler only writes a byte, the event
// loop reads it and stops the downloads (nothing else is safe in a signal handler).
int g_interruptPipe[2] = {-1, -1};

extern "C" void OnInterruptSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_interruptPipe[1], &byte, 1);
    errno = saved;
}

// Every line for the terminal goes through TerminalText: file names and URLs come from
// lists, pages and servers.
void PrintLine(std::FILE* out, const QString& text)
{
    std::fprintf(out, "%s\n", qPrintable(TerminalText::Printable(text)));
}

void PrintError(const QString& text)
{
    PrintLine(stderr, QStringLiteral("harvex-cli: ") + text);
}

} // namespace

CliRunner::CliRunner(QObject* parent) : QObject(parent) {}

CliRunner::~CliRunner() = default;

int CliRunner::Run(const QStringList& arguments)
{
    CliOptions options;
    QString error;
    if (!CliOptions::Parse(arguments, options, error)) {
        PrintError(error);
        std::fprintf(stderr, "%s", qPrintable(CliOptions::Usage()));
        return ExitUsage;
    }
    if (options.Help) {
        std::printf("%s", qPrintable(CliOptions::Usage()));
        return ExitCompleted;
    }
    if (options.Version) {
        std::printf("%s\n", Version::Text);
        return ExitCompleted;
    }
    if (options.Inputs.isEmpty() && options.Positional.isEmpty() && options.Harvest.isEmpty()) {
        PrintError(QStringLiteral("nothing to download: give a list file, a URL or --harvest"));
        std::fprintf(stderr, "%s", qPrintable(CliOptions::Usage()));
        return ExitUsage;
    }
    return RunParsed(options);
}

int CliRunner::RunParsed(const CliOptions& options)
{
    QString caError;
    if (!options.CaFile.isEmpty() && !StreamSocket::TrustOnly(options.CaFile, &caError)) {
        PrintError(caError);
        return ExitUsage;
    }
    SettingsStore store;
    ConsoleDialogs dialogs;
    DownloadManager manager(dialogs, store);
    m_manager = &manager;
    const bool baseDirOk =
        Startup::Run(manager, [&](DownloadManager& m) { ApplyOptions(m, options); });
    int status = ExitUsage;
    if (baseDirOk && LoadInputs(manager, options) && HarvestPages(manager, options)) {
        if (options.NoDownload) {
            for (int row = 0; row < manager.List2().ListCount(); ++row)
                PrintLine(stdout, manager.List2().List(row));
            std::fflush(stdout);
            status = m_harvestFailed ? ExitSomeFailed : ExitCompleted;
        } else {
            status = Download(manager, options);
        }
    }
    m_manager = nullptr;
    return status;
}

void CliRunner::ApplyOptions(DownloadManager& m, const CliOptions& o)
{
    Options& opt = m.options();
    DownloadManager::RunOverrides& run = m.Overrides();
    if (o.BaseDir)
        run.BaseDir = QFileInfo(*o.BaseDir).absoluteFilePath();
    if (o.Parallel)
        opt.setMaxParallel(*o.Parallel);
    if (o.Resume)
        opt.setDetectResume(*o.Resume);
    if (o.Redirect)
        opt.setRedirection(*o.Redirect);
    if (o.KeepAlive)
        opt.setKeepAlive(*o.KeepAlive);
    if (o.Http11)
        opt.setHttpVersion(true);
    if (o.ConnectAtOnce)
        opt.setConnectAtOnce(true);
    if (o.ReuseConnections)
        opt.setReuseConnections(true);
    if (o.Pages)
        opt.setListUrl(true);
    if (o.LogRequest)
        opt.setLogRequest(true);
    if (o.LogReply)
        opt.setLogReply(true);
    if (o.PathOption)
        opt.setPathOption(*o.PathOption);
    else if (opt.PathOption() == 2)
        opt.setPathOption(0); // no one can answer "Ask me where ?" here
    if (o.MinImageSize) {
        opt.EditMinImgSize(QString::number(*o.MinImageSize));
        opt.ValidateMinImgSize();
    }
    // Each list file is loaded into the one job list of this run: never cleared between.
    opt.setClearList(false);
    run.MaxTry = o.MaxTry;
    run.TryInterval = o.BusyWait;
    run.ConnectTimeout = o.Timeout;
    run.UserAgent = o.UserAgent;
    if (o.TickMs > 0)
        m.setTickInterval(o.TickMs);
}

namespace {

// A URL of the command line; with `glob`, its "[N-M]" ranges stand for every number between.
// A pattern that does not fit the job list, or gives a URL no slot can fetch, adds nothing.
bool AddUrlArgument(DownloadManager& m, const QString& url, bool glob)
{
    if (!glob) {
        m.Jobs().AddJobs(url);
        return true;
    }
    const auto expansion =
        NumberedRange::FromPattern(url, Rowvane::MaxRows - m.List2().ListCount());
    if (!expansion.Error.isEmpty()) {
        PrintError(url + QStringLiteral(": ") + expansion.Error);
        return false;
    }
    m.Jobs().AddJobs(expansion.Urls.join(QStringLiteral("\r\n")));
    return true;
}

} // namespace

bool CliRunner::LoadInputs(DownloadManager& m, const CliOptions& o)
{
    for (const QString& input : o.Inputs) {
        if (!LoadListFile(m, input, o.Filtered))
            return false;
    }
    for (const QString& arg : o.Positional) {
        // Any existing path is a list: a device or a FIFO is refused by the reader rather
        // than taken for a URL.
        const QFileInfo info(arg);
        if (arg == QLatin1String("-") || info.exists()) {
            if (!LoadListFile(m, arg, o.Filtered))
                return false;
        } else if (!arg.trimmed().isEmpty()) {
            if (m.List2().ListCount() >= Rowvane::MaxRows) {
                PrintError(QStringLiteral("the job list holds at most ") +
                           QString::number(Rowvane::MaxRows) + QStringLiteral(" URLs"));
                return false;
            }
            if (!AddUrlArgument(m, arg.trimmed(), !o.NoGlob))
                return false;
        }
    }
    return true;
}

bool CliRunner::LoadListFile(DownloadManager& m, const QString& path, bool filtered)
{
    if (path != QLatin1String("-") && QFileInfo(path).isDir()) {
        PrintError(path + QStringLiteral(": Can't parse folders."));
        return false;
    }
    // Filtered, a line must hold a match of the link pattern, as in a dropped file.
    JobList& jobs = m.Jobs();
    Rowvane& list = m.List2();
    const LinkPattern* pattern = nullptr;
    if (filtered && !jobs.DataFilter().isEmpty())
        pattern = &jobs.Pattern(m.DataExtPattern());
    bool full = false;
    const auto onLine = [&](const QString& line) {
        if (pattern && !pattern->Matches(line))
            return true;
        // The list is full: running the part that fits would silently drop the rest.
        full = !list.AddItem(line) && list.ListCount() >= Rowvane::MaxRows;
        return !full;
    };
    const bool block = jobs.BlockInForce();
    list.BlockUpdate();
    QString name = path;
    QString error;
    qsizetype skipped = 0;
    bool read = false;
    if (path == QLatin1String("-")) {
        name = QStringLiteral("standard input");
        QFile in;
        if (in.open(STDIN_FILENO, QIODevice::ReadOnly | QIODevice::Unbuffered,
                    QFileDevice::DontCloseHandle))
            read = UrlListReader::Read(in, name, onLine, &error, &skipped);
        else
            error = name + QStringLiteral(": ") + in.errorString();
    } else {
        read = UrlListReader::ReadFile(path, onLine, &error, &skipped);
    }
    list.Update();
    if (!read) {
        PrintError(error);
        return false;
    }
    if (full) {
        PrintError(name + QStringLiteral(": the job list holds at most ") +
                   QString::number(Rowvane::MaxRows) + QStringLiteral(" URLs"));
        return false;
    }
    if (skipped > 0)
        PrintError(UrlListReader::SkippedText(skipped, name));
    if (!block)
        jobs.SetBlockOff();
    jobs.RefreshJobQueue();
    return true;
}

bool CliRunner::HarvestPages(DownloadManager& m, const CliOptions& o)
{
    PageHarvester& harvester = m.Harvester();
    for (const QString& page : o.Harvest) {
        // One page at a time: each is fetched, parsed and filed before the next.
        QEventLoop loop;
        QString error;
        const auto filed = connect(&harvester, &PageHarvester::PageFiled, &loop,
                                   [&](const QString&, int, int, const QString& why) {
                                       error = why;
                                       loop.quit();
                                   });
        if (harvester.ParseWebPage(page))
            loop.exec();
        else
            error = QStringLiteral("cannot fetch ") + page;
        disconnect(filed);
        if (!error.isEmpty())
            m_harvestFailed = true;
    }
    if (o.Pages) {
        // The web page list: every page parsed and the page links found on them.
        const Rowvane& pages = m.List4();
        for (int row = 0; row < pages.ListCount(); ++row)
            PrintLine(stdout, QStringLiteral("page: ") + pages.List(row));
        std::fflush(stdout);
    }
    return true;
}

int CliRunner::Download(DownloadManager& m, const CliOptions& o)
{
    Rowvane& list = m.List2();
    std::unique_ptr<LiveDisplay> display;
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    if (terminal && !o.Quiet) {
        display = std::make_unique<LiveDisplay>(
            m.Monitor(), [&m] { return m.MeterText(); },
            [&m] {
                // After the run its counters are cleared: show them as they ended.
                return m.StopEnabled() || m.LastCounterLine().isEmpty() ? m.Status().CounterLine()
                                                                        : m.LastCounterLine();
            },
            stderr);
    } else if (!o.Quiet) {
        connect(&m, &DownloadManager::JobEnded, this, [&list](int row, bool completed) {
            PrintLine(stderr,
                      (completed ? QStringLiteral("[Completed] ") : QStringLiteral("[Failed] ")) +
                          list.List(row));
            std::fflush(stderr);
        });
    }

    QEventLoop loop;
    connect(&m, &DownloadManager::RunFinished, &loop, &QEventLoop::quit);
    InstallInterruptHandler();
    if (list.ListCount() > 0) {
        m.StartDownloads();
        if (display)
            display->Start();
        if (m.StopEnabled())
            loop.exec();
    }
    if (display)
        display->Finish();

    const int completed = m.State().CompletedJobs;
    const int failed = list.ListCount() - completed;
    const QString counters =
        m.LastCounterLine().isEmpty() ? m.Status().CounterLine() : m.LastCounterLine();
    PrintLine(stdout, counters);
    std::printf("Completed: %d  Failed: %d\n", completed, failed);
    std::fflush(stdout);
    const bool listWritten = o.FailedList.isEmpty() || WriteFailedList(m, o.FailedList);
    if (m_interrupted)
        return ExitInterrupted;
    return failed == 0 && !m_harvestFailed && listWritten ? ExitCompleted : ExitSomeFailed;
}

bool CliRunner::WriteFailedList(DownloadManager& m, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        PrintError(path + QStringLiteral(": ") + file.errorString());
        return false;
    }
    QByteArray lines;
    Rowvane& list = m.List2();
    for (int row = 0; row < list.ListCount(); ++row) {
        if (!m.Jobs().IsCompleted(row))
            lines += list.List(row).toUtf8() + '\n';
    }
    // The file object buffers: a full disk may show only at flush, or at close.
    bool written = file.write(lines) == lines.size() && file.flush();
    file.close();
    written = written && file.error() == QFileDevice::NoError;
    if (!written)
        PrintError(path + QStringLiteral(": ") + file.errorString());
    return written;
}

void CliRunner::InstallInterruptHandler()
{
    if (m_interruptNotifier)
        return;
    if (g_interruptPipe[0] < 0 && ::pipe2(g_interruptPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_interruptNotifier =
        std::make_unique<QSocketNotifier>(g_interruptPipe[0], QSocketNotifier::Read);
    connect(m_interruptNotifier.get(), &QSocketNotifier::activated, this, &CliRunner::Interrupted);
    struct sigaction action
    {
    };
    action.sa_handler = OnInterruptSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // A closed terminal (SIGHUP) stops the run like Ctrl+C and kill do.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

void CliRunner::Interrupted()
{
    char buffer[16];
    while (::read(g_interruptPipe[0], buffer, sizeof buffer) > 0) {
    }
    m_interrupted = true;
    // Like the stop command: every slot stops, partial files stay for a later resume.
    if (m_manager && m_manager->StopEnabled())
        m_manager->StopDownloads();
}
