// SPDX-License-Identifier: GPL-3.0-or-later
// File-type lists from settings text and link patterns from a user template: any bytes
// must parse, serialise back to the same rows, and build a pattern that either compiles
// or is refused, never crash.
#include "lists/FileTypeList.h"
#include "lists/LinkPattern.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString input =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // First line: the link template; the rest: a serialised list.
    const qsizetype newline = input.indexOf(QLatin1Char('\n'));
    const QString dataFilter = newline >= 0 ? input.left(newline) : QString();
    const QString listText = newline >= 0 ? input.mid(newline + 1) : input;

    FileTypeList list;
    list.StringToList(listText);
    const QString saved = list.ListToString();
    FileTypeList again;
    again.StringToList(saved);
    // Rows whose text holds "/" or "|" cannot survive the text form; the rest must.
    bool plain = true;
    for (int i = 0; i < list.ListCount(); ++i)
        plain = plain && !list.Text(i).contains(QLatin1Char('/')) &&
                !list.Text(i).contains(QLatin1Char('|')) && !list.Text(i).isEmpty();
    if (plain) {
        if (again.ListCount() != list.ListCount() || again.ListToString() != saved)
            std::abort();
    }

    const QString ext = list.BuildExtPattern();
    const LinkPattern pattern(dataFilter.left(200), ext.left(400));
    if (!pattern.IsValid() && pattern.ErrorText().isEmpty())
        std::abort();
    if (!pattern.IsEmpty() && !pattern.IsValid() && pattern.Matches(listText))
        std::abort();
    pattern.Matches(listText.left(2000));
    return 0;
}
