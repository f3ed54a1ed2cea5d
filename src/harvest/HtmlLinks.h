// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QStringList>
#include <QUrl>

#include <atomic>
#include <cstddef>

// What a parse may spend. gumbo has no limit of its own: its work grows with the
// square of the nesting depth and its tree takes some 25 times the page.
struct HtmlParseLimits
{
    // Set from another thread to end the parse early.
    const std::atomic<bool>* cancel = nullptr;
    size_t maxMemory = size_t(1) << 30;
};

// The addresses a browser's document reports for a page: `links` (every HTML a and
// area element with an href attribute) and `images` (every HTML img element with a
// src attribute), in document order, made absolute against the document's base
// URL: the first <base href> in tree order resolved against the page URL, or the
// page URL itself (WHATWG HTML "document base URL"). Elements inside <template>
// contents do not belong to the document and are left out.
struct HtmlLinks
{
    QStringList links;
    QStringList images;
    QUrl baseUrl;
    // Why the page could not be parsed (cancelled, over the memory limit); empty
    // when it was. The lists are then empty.
    QString error;

    // Parses a page already decoded to UTF-8 with gumbo and collects its addresses.
    static HtmlLinks Extract(const QByteArray& utf8, const QUrl& pageUrl,
                             const HtmlParseLimits& limits = {});

    // Decodes the page bytes (PageCharset: BOM, the reply's Content-Type charset,
    // <meta> charset, Windows-1252) and extracts.
    static HtmlLinks FromPage(const QByteArray& page, const QByteArray& contentType,
                              const QUrl& pageUrl, const HtmlParseLimits& limits = {});

    // An attribute value resolved against a base URL as a browser's href/src
    // property does; the value itself when it is no valid URL.
    static QString Resolve(const QString& value, const QUrl& base);
};
