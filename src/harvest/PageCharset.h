// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

// Decoding a fetched page to UTF-8 before it is parsed, choosing the character
// encoding as a browser does (WHATWG HTML "determining the character encoding"):
// a byte order mark first, then the charset of the reply's Content-Type, then a
// <meta> charset found by the prescan of the page's first 1024 bytes, and
// Windows-1252 when none of them names an encoding we know.
// Plain functions over bytes: no network, no state.
struct PageCharset
{
    // The charset parameter of a Content-Type value ("text/html; charset=UTF-8"),
    // unquoted, or empty.
    static QByteArray FromContentType(const QByteArray& contentType);

    // The charset named by a <meta charset> or <meta http-equiv="Content-Type">
    // within the first 1024 bytes (WHATWG "prescan a byte stream"), or empty.
    // A UTF-16 label there means UTF-8: the page could not have been read as ASCII.
    static QByteArray FromMeta(const QByteArray& page);

    // The encoding the page is decoded with, as a canonical name: "UTF-8",
    // "UTF-16LE", "UTF-16BE", "windows-1252" or a name the platform's converter
    // accepts.
    static QByteArray Detect(const QByteArray& page, const QByteArray& contentType);

    // The page as UTF-8. Invalid sequences become U+FFFD; a byte order mark is dropped.
    static QByteArray ToUtf8(const QByteArray& page, const QByteArray& contentType);

    // The canonical name for a charset label, or empty for a label we cannot decode.
    static QByteArray Canonical(const QByteArray& label);

    // Decodes with a canonical name from Detect().
    static QByteArray DecodeToUtf8(const QByteArray& page, const QByteArray& encoding);
};
