// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/ModHTMLCap.h"

bool SetFileDate(const QString& fileName, const QString& dateText)
{
    Q_UNUSED(fileName);
    Q_UNUSED(dateText);
    return false;
}

bool HttpDateToFileTime(qint64& fileTime, const QString& dateText)
{
    Q_UNUSED(dateText);
    fileTime = 0;
    return false;
}

int GetDayNum(const QString& text)
{
    Q_UNUSED(text);
    return 0;
}

int GetMonthNum(const QString& text)
{
    Q_UNUSED(text);
    return 0;
}
