// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

// The file-time service of the system (utimensat), in the 100 ns units since 1601-01-01 UTC
// that the HTTP date reader produces.
class FileTimes
{
public:
    // 100 ns units between 1601-01-01 and 1970-01-01.
    static constexpr qint64 UnixEpochOffset = 116444736000000000LL;

    // Sets the last-write time of an existing file, leaving its last-access time as it is.
    // False (and nothing changed) when the file is missing or the time cannot be set.
    static bool SetLastWriteTime(const QString& fileName, qint64 fileTime);
};
