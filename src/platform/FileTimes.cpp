// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileTimes.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>

bool FileTimes::SetLastWriteTime(const QString& fileName, qint64 fileTime)
{
    if (fileName.isEmpty() || fileTime <= 0)
        return false;
    const qint64 sinceEpoch = fileTime - UnixEpochOffset; // 100 ns units, may be negative
    qint64 seconds = sinceEpoch / 10000000;
    qint64 rest = sinceEpoch % 10000000;
    if (rest < 0) { // floor, so the nanoseconds stay within 0..999999999
        rest += 10000000;
        --seconds;
    }
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT; // the last-access time is kept
    times[1].tv_sec = time_t(seconds);
    times[1].tv_nsec = long(rest * 100);
    const QByteArray path = QFile::encodeName(fileName);
    // A missing file or one whose time cannot be set is left as it is.
    return ::utimensat(AT_FDCWD, path.constData(), times, 0) == 0;
}
