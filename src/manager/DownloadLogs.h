// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QFile>
#include <QString>

#include <functional>

// The two plain-text logs in the base folder, appended across runs: the program log
// "Harvex_0.log" (requests, replies, redirections, errors, resumes) and the connection
// log "Harvex_0_SVR.log" (one line per connection). A log that cannot be opened or
// written is skipped silently: logging never stops a download.
class DownloadLogs
{
public:
    static QString ProgramLogName() { return QStringLiteral("Harvex_0.log"); }
    static QString ConnectionLogName() { return QStringLiteral("Harvex_0_SVR.log"); }

    DownloadLogs();

    // Opens (creates) both files for appending in baseDir; earlier files are closed.
    void OpenLogFile(const QString& baseDir);
    void Close();
    bool IsOpen() const { return m_program.isOpen(); }
    bool IsConnectionLogOpen() const { return m_connection.isOpen(); }

    // "\n[" + date time + "] : " + text + "\n" followed by the entry's own "\n".
    void WriteLog(const QString& text);
    // "[" + date time + "] [CON] " + text + "\n".
    void WriteConLog(const QString& text);

    // The system locale's short date and long time.
    static QString Stamp(const QDateTime& when);
    // The clock used for entries (tests fix it).
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

private:
    void append(QFile& file, const QString& entry);

    QFile m_program;
    QFile m_connection;
    std::function<QDateTime()> m_clock;
};
