// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringView>
#include <QtGlobal>
#include <optional>

// Reading numbers out of option texts, the way every number box and stored
// setting is read: the number that the text starts with, as a decimal number.
//
// The leading number is: optional blanks (space, tab, CR, LF), an optional
// sign, digits with an optional decimal point and fraction, and an optional
// exponent ("e" or "E", optional sign, digits). Everything after it is
// ignored; a text that does not start with a number reads as 0.
class NumberText
{
public:
    // The leading number of the text; 0 when there is none. May be +-inf for
    // numbers beyond the range of a double ("1e999").
    static double LeadingNumber(QStringView text);

    // Rounds to the nearest integer, halves to even (2.5 -> 2, 3.5 -> 4).
    // std::nullopt when the result does not fit a 64-bit integer.
    static std::optional<qint64> RoundHalfEven(double value);

    // The "integer value" of a text: its leading number rounded halves to
    // even. std::nullopt when the rounded number lies outside [lo, hi]: such
    // a value cannot be converted into an option of that range.
    static std::optional<qint64> IntegerValue(QStringView text, qint64 lo, qint64 hi);

    // IntegerValue pinned into [lo, hi] instead of refused: for edit boxes
    // whose rule clamps anyway ("99999" in a box limited to 10 becomes 10).
    static qint64 ClampedIntegerValue(QStringView text, qint64 lo, qint64 hi);
};

// The leading number of a text rounded to a 32-bit integer, halves to even;
// 0 when the text holds none. Numbers beyond the 32-bit range are pinned to
// its ends rather than wrapped.
qint32 StrToLong(QStringView text);
