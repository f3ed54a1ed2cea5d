// SPDX-License-Identifier: GPL-3.0-or-later
#include "manager/DownloadLogs.h"

#include <QDir>
#include <QLocale>

DownloadLogs::DownloadLogs() : m_clock([] { return QDateTime::currentDateTime(); }) {}

void DownloadLogs::OpenLogFile(const QString& baseDir)
{
    Close();
    if (baseDir.isEmpty() || !QFileInfo(baseDir).isDir())
        return;
    const QDir base(baseDir);
    m_program.setFileName(base.filePath(ProgramLogName()));
    m_connection.setFileName(base.filePath(ConnectionLogName()));
    // Append: the logs grow across runs and are never truncated.
    if (!m_program.open(QIODevice::WriteOnly | QIODevice::Append))
        m_program.setFileName(QString());
    if (!m_connection.open(QIODevice::WriteOnly | QIODevice::Append))
        m_connection.setFileName(QString());
}

void DownloadLogs::Close()
{
    m_program.close();
    m_connection.close();
}

QString DownloadLogs::Stamp(const QDateTime& when)
{
    const QLocale locale = QLocale::system();
    return locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(when.time(), QLocale::LongFormat);
}

void DownloadLogs::append(QFile& file, const QString& entry)
{
    if (!file.isOpen())
        return;
    // A failed write is ignored; flushing each entry keeps the log whole if the
    // process ends abruptly.
    file.write(entry.toUtf8());
    file.flush();
}

void DownloadLogs::WriteLog(const QString& text)
{
    append(m_program, QStringLiteral("\n[") + Stamp(m_clock()) + QStringLiteral("] : ") + text +
                          QStringLiteral("\n\n"));
}

void DownloadLogs::WriteConLog(const QString& text)
{
    append(m_connection, QLatin1Char('[') + Stamp(m_clock()) + QStringLiteral("] [CON] ") + text +
                             QLatin1Char('\n'));
}
