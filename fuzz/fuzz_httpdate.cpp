// SPDX-License-Identifier: GPL-3.0-or-later
// Any text read as an HTTP date gives either nothing or a whole second inside the
// calendar, and that time written back as an IMF-fixdate reads the same.
#include "engine/HttpDate.h"
#include "platform/FileTimes.h"

#include <QDateTime>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    GetDayNum(text);
    const int month = GetMonthNum(text);
    if (month < 0 || month > 12)
        abort();
    qint64 fileTime = -1;
    const bool read = HttpDateToFileTime(fileTime, text);
    if (!read && fileTime != 0)
        abort();
    if (fileTime == 0)
        return 0;
    if (fileTime < 0 || fileTime % 10000000 != 0)
        abort();
    const QDateTime utc =
        QDateTime::fromMSecsSinceEpoch((fileTime - FileTimes::UnixEpochOffset) / 10000, Qt::UTC);
    if (!utc.isValid() || utc.date().year() < 1601 || utc.date().year() > 30827)
        abort();
    if (utc.date().year() > 9999)
        return 0; // the fixed form has room for four digits only
    const QString again =
        QStringLiteral("Xxx, %1 GMT").arg(utc.toString(QStringLiteral("dd MMM yyyy hh:mm:ss")));
    qint64 back = 0;
    if (!HttpDateToFileTime(back, again) || back != fileTime)
        abort();
    return 0;
}
