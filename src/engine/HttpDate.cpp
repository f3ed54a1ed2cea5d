// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/HttpDate.h"

#include "platform/FileTimes.h"

#include <QDate>
#include <QDateTime>

namespace {

// The fields of a calendar time as read from the text, before any check.
struct CalendarTime
{
    qint64 year = 0;
    qint64 month = 0;
    qint64 day = 0;
    qint64 hour = 0;
    qint64 minute = 0;
    qint64 second = 0;
};

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The number made by the leading digits of a text (leading blanks skipped), 0 when there
// are none. Long digit runs saturate instead of overflowing; such a value is out of range
// for every field anyway.
qint64 leadingNumber(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    qint64 value = 0;
    for (; i < text.size() && isAsciiDigit(text[i]); ++i)
        value = qMin<qint64>(value * 10 + (text[i].unicode() - u'0'), 1000000000);
    return value;
}

// VB-style Mid over a 1-based position: empty when the position lies past the end.
QStringView mid(QStringView text, qsizetype position, qsizetype length = -1)
{
    const qsizetype from = position - 1;
    if (from < 0 || from >= text.size())
        return {};
    if (length < 0 || from + length > text.size())
        return text.mid(from);
    return text.mid(from, length);
}

// 100 ns units since 1601-01-01 UTC, or 0 when a field is outside the calendar.
// The range is that of the Windows FILETIME conversion (years 1601 to 30827), which
// keeps the result inside a signed 64-bit count.
qint64 toFileTime(const CalendarTime& t)
{
    if (t.year < 1601 || t.year > 30827 || t.month < 1 || t.month > 12 || t.day < 1 ||
        t.hour > 23 || t.minute > 59 || t.second > 59)
        return 0;
    const QDate date(int(t.year), int(t.month), int(t.day));
    // QDate refuses day 31 of a 30-day month and February 29 outside leap years.
    if (!date.isValid())
        return 0;
    const qint64 days = date.toJulianDay() - QDate(1601, 1, 1).toJulianDay();
    const qint64 seconds = days * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
    return seconds * 10000000;
}

} // namespace

int WidenTwoDigitYear(int year, int currentYear)
{
    // RFC 9110 §5.6.7: a two-digit year that would lie more than 50 years in the future
    // is the most recent past year with the same last two digits.
    // So the year lies within (currentYear - 50, currentYear + 50].
    int widened = currentYear - currentYear % 100 + year % 100;
    if (widened > currentYear + 50)
        widened -= 100;
    else if (widened <= currentYear - 50)
        widened += 100;
    return widened;
}

bool SetFileDate(const QString& fileName, const QString& dateText)
{
    qint64 fileTime = 0;
    if (!HttpDateToFileTime(fileTime, dateText) || fileTime == 0)
        return false;
    return FileTimes::SetLastWriteTime(fileName, fileTime);
}

bool HttpDateToFileTime(qint64& fileTime, const QString& dateText)
{
    fileTime = 0;
    const QStringView text(dateText);
    // The form is told by the position of the first blank (RFC 9110 §5.6.7).
    const qsizetype blank = text.indexOf(u' ') + 1;
    CalendarTime t;
    if (blank == 5) {
        // IMF-fixdate (RFC 1123): "Sun, 06 Nov 1994 08:49:37 GMT"
        t.day = leadingNumber(mid(text, 6, 2));
        t.month = GetMonthNum(mid(text, 9, 3).toString());
        t.year = leadingNumber(mid(text, 13, 4));
        t.hour = leadingNumber(mid(text, 18, 2));
        t.minute = leadingNumber(mid(text, 21, 2));
        t.second = leadingNumber(mid(text, 24, 2));
    } else if (blank == 4) {
        // asctime: "Sun Nov  6 08:49:37 1994"
        const QStringView rest = mid(text, 5).trimmed();
        t.month = GetMonthNum(mid(rest, 1, 3).toString());
        const QStringView fromDay = mid(rest, 5).trimmed();
        const qsizetype dayEnd = fromDay.indexOf(u' ');
        t.day = leadingNumber(dayEnd < 0 ? fromDay : fromDay.left(dayEnd));
        const QStringView clock = dayEnd < 0 ? QStringView() : fromDay.mid(dayEnd + 1);
        t.hour = leadingNumber(mid(clock, 1, 2));
        t.minute = leadingNumber(mid(clock, 4, 2));
        t.second = leadingNumber(mid(clock, 7, 2));
        t.year = leadingNumber(mid(clock, 10).trimmed());
    } else if (blank >= 6) {
        // RFC 850: "Sunday, 06-Nov-94 08:49:37 GMT"
        const QStringView rest = mid(text, text.indexOf(u',') + 2).trimmed();
        t.day = leadingNumber(mid(rest, 1, 2));
        t.month = GetMonthNum(mid(rest, 4, 3).toString());
        const QStringView year = mid(rest, 8, 2);
        t.year = leadingNumber(year);
        if (year.size() == 2 && isAsciiDigit(year[0]) && isAsciiDigit(year[1]))
            t.year = WidenTwoDigitYear(int(t.year), QDateTime::currentDateTimeUtc().date().year());
        const QStringView clock = mid(rest, 10).trimmed();
        t.hour = leadingNumber(mid(clock, 1, 2));
        t.minute = leadingNumber(mid(clock, 4, 2));
        t.second = leadingNumber(mid(clock, 7, 2));
    } else {
        return false;
    }
    // The zone word is not read: HTTP dates are always GMT (RFC 9110 §5.6.7).
    fileTime = toFileTime(t);
    return true;
}

int GetDayNum(const QString& text)
{
    static const char* const days[] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
    const QString key = text.left(3);
    for (int i = 0; i < 7; ++i) {
        if (key.compare(QLatin1String(days[i]), Qt::CaseInsensitive) == 0)
            return i;
    }
    return 0;
}

int GetMonthNum(const QString& text)
{
    static const char* const months[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                         "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    const QString key = text.left(3);
    for (int i = 0; i < 12; ++i) {
        if (key.compare(QLatin1String(months[i]), Qt::CaseInsensitive) == 0)
            return i + 1;
    }
    return 0;
}
