// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

// HTTP dates (RFC 9110 §5.6.7) and stamping a downloaded file with the server's time.

// Sets the file's last-write time to the date given, keeping its last-access time.
// True when the date was read and the time was set; otherwise the file is left as it is.
bool SetFileDate(const QString& fileName, const QString& dateText);

// Reads a date in one of the three HTTP forms (RFC 1123, RFC 850, asctime) into 100 ns units
// since 1601-01-01 UTC. True when the text has one of the three shapes; fileTime is then the
// time, or 0 when a field is unreadable or out of range. False for any other text.
bool HttpDateToFileTime(qint64& fileTime, const QString& dateText);

// The century of a two-digit year of the RFC 850 form, as of the year given (RFC 9110 §5.6.7).
int WidenTwoDigitYear(int year, int currentYear);

// Day of the week by its first three letters, any case: "SUN" 0 ... "SAT" 6; 0 when unknown.
int GetDayNum(const QString& text);
// Month by its first three letters, any case: "JAN" 1 ... "DEC" 12; 0 when unknown.
int GetMonthNum(const QString& text);
