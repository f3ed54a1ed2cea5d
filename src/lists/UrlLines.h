// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

// Line splitting for URL lists: lines end in LF, CR LF or CR. The byte splitter keeps its
// whole state in LineSplitState, so any cut of the input gives the same lines.
struct LineSplitState
{
    // No URL list line is this long: a longer one (binary data, a file without line
    // ends) is skipped whole instead of filling memory.
    static constexpr qsizetype MaxLine = 1024 * 1024;

    QByteArray partial;    // bytes of the line not yet ended
    bool afterCR = false;  // the last byte seen was CR: a following LF belongs to it
    bool tooLong = false;  // the current line passed MaxLine: drop it at its end
    qsizetype skipped = 0; // lines dropped for their length
};

class UrlLines
{
public:
    // Appends every line ended within bytes to lines (without its line end).
    static void Feed(LineSplitState& state, QByteArrayView bytes, QList<QByteArray>& lines);
    // The input ended: a last line without a line end is still a line.
    static void Finish(LineSplitState& state, QList<QByteArray>& lines);

    // Splits text at CR LF, LF or CR; empty pieces are kept.
    static QStringList SplitText(const QString& text);
    // Strips leading and trailing blanks only (tabs are kept).
    static QString StripBlanks(const QString& line);
};
