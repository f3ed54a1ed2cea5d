// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as a fetched page: charset choice and decoding, gumbo, link
// extraction and resolution against a fixed page URL.
#include "Fuzz.h"
#include "harvest/HtmlLinks.h"
#include "harvest/PageCharset.h"

#include <QUrl>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the reply's Content-Type, the rest is the page.
    static const char* const contentTypes[] = {"text/html",
                                               "text/html; charset=utf-8",
                                               "text/html; charset=windows-1252",
                                               "text/html; charset=utf-16",
                                               "",
                                               "text/html; charset=shift_jis"};
    const QByteArray page = fuzzBytes(data + 1, size - 1);
    static const QUrl pageUrl(QStringLiteral("http://fuzz.example/dir/page.html?q=1"));
    const HtmlLinks links = HtmlLinks::FromPage(page, contentTypes[data[0] % 6], pageUrl);
    // A parse ends with addresses or with an error, never both; no address is empty.
    need(links.error.isEmpty() || (links.links.isEmpty() && links.images.isEmpty()));
    need(!links.links.contains(QString()));
    (void)PageCharset::FromMeta(page);
    return 0;
}
