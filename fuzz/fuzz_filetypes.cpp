// SPDX-License-Identifier: GPL-3.0-or-later
// File-type lists from settings text and link patterns from a user template: any bytes
// must parse, serialise back to the same rows, and build a pattern that either compiles
// or is refused, never crash.
#include "Fuzz.h"
#include "lists/FileTypeList.h"
#include "lists/LinkPattern.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString input = fuzzText(data, size);
    // First line: the link template; the rest: a serialised list.
    const qsizetype newline = input.indexOf(QLatin1Char('\n'));
    const QString dataFilter = newline >= 0 ? input.left(newline) : QString();
    const QString listText = input.mid(newline + 1);

    FileTypeList list;
    list.StringToList(listText);
    const QString saved = list.ListToString();
    FileTypeList again;
    again.StringToList(saved);
    // Rows whose text holds "/" or "|" cannot survive the text form; the rest must.
    bool plain = true;
    for (int i = 0; i < list.ListCount(); ++i)
        plain = plain && !list.Text(i).isEmpty() && !list.Text(i).contains(u'/') &&
                !list.Text(i).contains(u'|');
    need(!plain || (again.ListCount() == list.ListCount() && again.ListToString() == saved));

    const LinkPattern pattern(dataFilter.left(200), list.BuildExtPattern().left(400));
    need(pattern.IsValid() || !pattern.ErrorText().isEmpty());
    need(pattern.IsEmpty() || pattern.IsValid() || !pattern.Matches(listText));
    pattern.Matches(listText.left(2000));
    return 0;
}
