// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/NumberText.h"

#include "platform/WholeNumber.h"

#include <QByteArray>
#include <cmath>
#include <limits>

double NumberText::LeadingNumber(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() &&
           (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\r' || text[i] == u'\n'))
        ++i;
    const qsizetype start = i;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    const qsizetype intDigits = WholeNumber::DigitsAt(text, i);
    i += intDigits;
    qsizetype fracDigits = 0;
    if (i < text.size() && text[i] == u'.') {
        fracDigits = WholeNumber::DigitsAt(text, i + 1);
        if (intDigits > 0 || fracDigits > 0)
            i += 1 + fracDigits;
    }
    if (intDigits == 0 && fracDigits == 0)
        return 0.0;
    // The exponent counts only when digits follow it: "5e" is 5, "5e2" is 500.
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        if (j < text.size() && (text[j] == u'+' || text[j] == u'-'))
            ++j;
        const qsizetype expDigits = WholeNumber::DigitsAt(text, j);
        if (expDigits > 0)
            i = j + expDigits;
    }
    // Only ASCII digits, signs, "." and "e" are in the span: Latin-1 is exact.
    // QByteArray::toDouble reads in the C locale, whatever the user's locale.
    bool ok = false;
    const double value = text.sliced(start, i - start).toLatin1().toDouble(&ok);
    if (ok)
        return value;
    // toDouble refuses overflow; the sign of the text still tells which end.
    return text[start] == u'-' ? -std::numeric_limits<double>::infinity()
                               : std::numeric_limits<double>::infinity();
}

std::optional<qint64> NumberText::RoundHalfEven(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    double whole = std::floor(value);
    const double diff = value - whole;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(whole, 2.0) != 0.0))
        whole += 1.0;
    // 2^63 is exactly representable; anything at or past it does not fit.
    if (whole >= 9223372036854775808.0 || whole < -9223372036854775808.0)
        return std::nullopt;
    return static_cast<qint64>(whole);
}

std::optional<qint64> NumberText::IntegerValue(QStringView text, qint64 lo, qint64 hi)
{
    const std::optional<qint64> value = RoundHalfEven(LeadingNumber(text));
    if (!value || *value < lo || *value > hi)
        return std::nullopt;
    return value;
}

qint64 NumberText::ClampedIntegerValue(QStringView text, qint64 lo, qint64 hi)
{
    const double number = LeadingNumber(text);
    if (std::isnan(number))
        return lo;
    const std::optional<qint64> value = RoundHalfEven(number);
    if (!value)
        return number < 0 ? lo : hi;
    return qBound(lo, *value, hi);
}

qint32 StrToLong(QStringView text)
{
    return static_cast<qint32>(NumberText::ClampedIntegerValue(
        text, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}
