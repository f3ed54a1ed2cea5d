// SPDX-License-Identifier: GPL-3.0-or-later
// Any text read as an HTTP date gives either nothing or a whole second inside the
// calendar, and that time written back as an IMF-fixdate reads the same.
#include "Fuzz.h"
#include "engine/HttpDate.h"
#include "platform/FileTimes.h"

#include <QDateTime>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = fuzzText(data, size);
    GetDayNum(text);
    const int month = GetMonthNum(text);
    need(month >= 0 && month <= 12);
    qint64 fileTime = -1;
    need(HttpDateToFileTime(fileTime, text) || fileTime == 0);
    if (fileTime == 0)
        return 0;
    need(fileTime > 0 && fileTime % 10000000 == 0);
    const QDateTime utc =
        QDateTime::fromMSecsSinceEpoch((fileTime - FileTimes::UnixEpochOffset) / 10000, Qt::UTC);
    need(utc.isValid() && utc.date().year() >= 1601 && utc.date().year() <= 30827);
    if (utc.date().year() > 9999)
        return 0; // the fixed form has room for four digits only
    const QString again =
        QStringLiteral("Xxx, %1 GMT").arg(utc.toString(QStringLiteral("dd MMM yyyy hh:mm:ss")));
    qint64 back = 0;
    need(HttpDateToFileTime(back, again) && back == fileTime);
    return 0;
}
