// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

class QFile;
class QIODevice;

// The one reader of URL list files, for the window (menu, drop, command-line argument)
// and for harvex-cli. A list is a regular file of UTF-8 lines ending in LF, CR LF or CR;
// a byte order mark before the first line is dropped, each line is stripped of blanks,
// empty lines are skipped and lines longer than LineSplitState::MaxLine are skipped and
// counted. Reading streams: memory holds one line, whatever the file's size.
// Errors name the list and the system's reason: "/path/list.txt: No such file or directory".
class UrlListReader
{
public:
    // Returns false to stop reading (the target list is full).
    using LineSink = std::function<bool(const QString&)>;

    // Opens path for reading if it is a regular file. The open never blocks: a FIFO, a
    // device, a socket or a folder is refused after a non-blocking open.
    static bool Open(const QString& path, QFile& file, QString* error);
    // Open, then Read.
    static bool ReadFile(const QString& path, const LineSink& onLine, QString* error,
                         qsizetype* skippedLines = nullptr);
    // Reads an open device (standard input) under the same rules; name is for messages.
    static bool Read(QIODevice& device, const QString& name, const LineSink& onLine, QString* error,
                     qsizetype* skippedLines = nullptr);
    // The notice about skipped lines: "2 line(s) longer than 1 MiB were skipped in name".
    static QString SkippedText(qsizetype skippedLines, const QString& name);
};
