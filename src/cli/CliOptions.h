// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The command line of harvex-cli. Options override the saved settings for one run and
// are never saved; an unset optional keeps the saved value.
struct CliOptions
{
    QStringList Inputs;     // -i FILE, in order; "-" is standard input
    QStringList Positional; // LIST_FILE or URL: a file when it exists, else a URL
    QStringList Harvest;    // --harvest PAGE_URL, in order
    bool Filtered = false;  // -f: through the link pattern, like a dropped file
    bool Pages = false;     // --pages: also list the harvested page links

    std::optional<QString> BaseDir;
    std::optional<int> Parallel;   // 1 to 20
    std::optional<bool> Resume;    // Detect Resume
    std::optional<bool> Redirect;  // Allow Redirection
    std::optional<bool> KeepAlive; // Keep-Alive
    bool Http11 = false;           // HTTP / 1.1
    std::optional<int> MaxTry;     // MAX-Try
    std::optional<int> BusyWait;   // Busy-Wait: seconds between tries
    std::optional<int> Timeout;    // Connect-Timeout, seconds
    std::optional<QString> UserAgent;
    std::optional<qint64> MinImageSize;
    std::optional<int> PathOption; // 0 or 1
    bool ConnectAtOnce = false;    // Connect At Once
    bool ReuseConnections = false; // Reuse Connections
    bool LogRequest = false;
    bool LogReply = false;

    QString FailedList; // append the URLs of jobs that did not complete
    QString CaFile;     // --ca-certificate: trust only these certificates
    bool NoDownload = false;
    bool NoGlob = false; // URL arguments as written: no "[1-9]" ranges
    bool Quiet = false;
    bool Version = false;
    bool Help = false;
    int TickMs = 0; // testing aid: every one-second tick lasts this long; 0 = 1000

    // Parses the arguments after the program name. On a bad option or value returns
    // false with a one-line message in `error`.
    static bool Parse(const QStringList& arguments, CliOptions& out, QString& error);
    static QString Usage();
};
