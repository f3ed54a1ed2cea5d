// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringView>
#include <QtGlobal>

#include <optional>

// A whole decimal number written with digits only: no sign, blank or other text; and the
// digit runs that longer number forms (settings/NumberText) are read from.
struct WholeNumber
{
    // The text is one or more digits 0-9.
    static bool IsDigits(QStringView text);
    // The length of the run of digits 0-9 in text starting at index from.
    static qsizetype DigitsAt(QStringView text, qsizetype from);
    // Its value when the text is digits only and the value at most max (max >= 0).
    static std::optional<qint64> Read(QStringView text, qint64 max);
};
