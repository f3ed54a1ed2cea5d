// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/WholeNumber.h"

bool WholeNumber::IsDigits(QStringView text)
{
    return !text.isEmpty() && DigitsAt(text, 0) == text.size();
}

qsizetype WholeNumber::DigitsAt(QStringView text, qsizetype from)
{
    qsizetype n = 0;
    while (from + n < text.size() && text[from + n] >= u'0' && text[from + n] <= u'9')
        ++n;
    return n;
}

std::optional<qint64> WholeNumber::Read(QStringView text, qint64 max)
{
    if (!IsDigits(text))
        return std::nullopt;
    qint64 value = 0;
    for (const QChar c : text) {
        const int digit = c.unicode() - '0';
        // value * 10 + digit > max, checked before the step so no value past max is formed.
        if (digit > max || value > (max - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}
