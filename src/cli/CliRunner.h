// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliOptions.h"

#include <QObject>
#include <QStringList>

#include <cstdio>
#include <memory>

class DownloadManager;
class LiveDisplay;
class QSocketNotifier;

// harvex-cli: builds the job list from files, URLs and harvested pages, downloads it with
// the manager, and reports. Exit status 0 when every job completed, 1 when any did not (or
// the failed list could not be written), 2 for a usage error or a missing base folder,
// 130 after an interrupt (SIGINT, SIGTERM, SIGHUP).
class CliRunner : public QObject
{
    Q_OBJECT
public:
    static constexpr int ExitCompleted = 0;
    static constexpr int ExitSomeFailed = 1;
    static constexpr int ExitUsage = 2;
    static constexpr int ExitInterrupted = 130;

    explicit CliRunner(QObject* parent = nullptr);
    ~CliRunner() override;

    // Parses the arguments (after the program name) and runs; returns the exit status.
    // Needs a QCoreApplication.
    int Run(const QStringList& arguments);

private:
    int RunParsed(const CliOptions& options);
    void ApplyOptions(DownloadManager& m, const CliOptions& options);
    bool LoadInputs(DownloadManager& m, const CliOptions& options);
    bool LoadListFile(DownloadManager& m, const QString& path, bool filtered);
    bool HarvestPages(DownloadManager& m, const CliOptions& options);
    int Download(DownloadManager& m, const CliOptions& options);
    // False, said on standard error, when the list could not be written whole.
    bool WriteFailedList(DownloadManager& m, const QString& path);
    void InstallInterruptHandler();
    void Interrupted();

    DownloadManager* m_manager = nullptr;
    std::unique_ptr<QSocketNotifier> m_interruptNotifier;
    bool m_interrupted = false;
    bool m_harvestFailed = false; // a page given to --harvest could not be fetched
};
