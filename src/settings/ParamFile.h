// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/LeadingBom.h"
#include "settings/ParamValues.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The optional parameter file param.dat in the base folder: request-header
// choices and user agents to add, and the page extensions, link template and
// error codes to replace. Read once at start-up, never written.
//
// Start-up order:
//   ParamFile::SetBuiltIns(values);        // built-in strings, lists, selections
//   ParamFile::ReadParamFile(baseDir, values);
//   ParamFile::FillUserAgents(values);     // Combo2 from UserAgents, item 0 selected
//
// Format: lines of UTF-8 text ending in LF, CR LF or CR. Each line is
// stripped of leading and trailing spaces (not tabs); a line starting with
// "#" is a comment; a line without "=" is skipped. The key is everything
// before the first "=" (compared without regard to ASCII letter case; a
// space before "=" makes it unknown), the value everything after it.
//   $DEF_EXT=, $DEF_DATA_FILTER=, $ERR_CODES=   replace the value (last one wins;
//                                               taken as it stands, may be empty)
//   $USER_AGENT=                                appends a user agent (may be empty)
//   $ACCEPT=, $ACCEPT-LANGUAGE=, $ACCEPT-ENCODING=
//                                               append an item, stripped of
//                                               spaces; ignored when empty
// Unknown keys and malformed lines are skipped silently.

// State of the line splitter between two feeds of bytes, so that any split
// of the input reads the same.
struct ParamFileParser
{
    // Lines longer than this are skipped whole: no sensible value is that
    // long, and the limit bounds the memory one line can take.
    static constexpr qsizetype MaxLineLength = 64 * 1024;
    // ReadParamFile reads no more of a file than this: a parameter file is a
    // few lines typed by hand, and a huge one must not stall start-up.
    static constexpr qint64 MaxFileSize = 1024 * 1024;

    QByteArray line;       // bytes of the current line so far
    bool afterCR = false;  // the last byte was CR: an LF right after it ends nothing
    bool overlong = false; // the current line passed MaxLineLength
    LeadingBom bom;        // a UTF-8 byte order mark before the first line is skipped
};

class ParamFile
{
public:
    // The built-in values, entries and selections.
    static void SetBuiltIns(ParamValues& values);
    // Reads baseDir's param.dat into values. Silent on every failure: a
    // missing, unreadable or non-regular file changes nothing; a read error
    // keeps what was read before it, and so does the size limit (the line cut
    // there is dropped). True when the whole file was read.
    static bool ReadParamFile(const QString& baseDir, ParamValues& values);
    // Fills Combo2 with every user agent in order and selects item 0.
    static void FillUserAgents(ParamValues& values);

    // The built-in first user agent, "Harvex/<major>.<minor> (...)".
    static QString BuiltInUserAgent();

    // The reader over bytes: Feed any pieces of the file in order, then
    // Finish once at its end (which reads a last line without line end).
    static void Feed(ParamFileParser& parser, QByteArrayView bytes, ParamValues& values);
    static void Finish(ParamFileParser& parser, ParamValues& values);
    // Applies one line, given without its line end.
    static void ApplyLine(QByteArrayView line, ParamValues& values);
};
