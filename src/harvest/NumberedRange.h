// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// URLs numbered over ranges: fixed text around numbers that run from a first to a last
// value. Two ways in share one generator and one set of checks: the numbered-range fields
// of the page address dialog, and a URL pattern with ranges in brackets as harvex-cli
// takes it ("http://host/img[001-120].jpg"). The result is every URL or a message, never a
// part: a range that does not fit the download list adds nothing.
class NumberedRange
{
public:
    struct Expansion
    {
        QStringList Urls;
        QString Error; // empty when Urls holds the whole range
    };

    // address + number + extension for every number from Start to End. Padded ("[01,11]"),
    // numbers get leading zeros up to the width of End as typed; unpadded ("[ 1,11]") not.
    // Start and End must be whole numbers with Start <= End, the range must fit `freeRows`,
    // and every URL must be one the download slot can fetch.
    static Expansion FromFields(const QString& address, const QString& start, const QString& end,
                                const QString& extension, bool padded, int freeRows);

    // Every "[first-last]" of the URL counts from first to last; a first number written
    // with a leading zero pads every number to its width ("[001-120]": 001 to 120, "[1-12]":
    // 1 to 12). Several ranges give every combination, the last one counting fastest. A
    // bracket that holds no such range stays as written, and a URL without any range
    // comes back alone and unchecked.
    static Expansion FromPattern(const QString& url, int freeRows);

private:
    struct Range
    {
        qint64 First = 0;
        qint64 Last = 0;
        int Width = 0; // numbers shorter than this get leading zeros
    };
    // `texts` has one more entry than `ranges`: the text before each range, then the tail.
    static Expansion Generate(const QStringList& texts, const QList<Range>& ranges, int freeRows);
};
