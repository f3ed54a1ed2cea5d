// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as a fetched page: charset choice and decoding, gumbo, link
// extraction and resolution against a fixed page URL.
#include "harvest/HtmlLinks.h"
#include "harvest/PageCharset.h"

#include <QByteArray>
#include <QUrl>

#include <cstddef>
#include <cstdint>

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
    const char* contentType = contentTypes[data[0] % 6];
    const QByteArray page(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    static const QUrl pageUrl(QStringLiteral("http://fuzz.example/dir/page.html?q=1"));
    const HtmlLinks links = HtmlLinks::FromPage(page, contentType, pageUrl);
    // A parse ends with addresses or with an error, never both; no address is empty.
    if (!links.error.isEmpty() && !(links.links.isEmpty() && links.images.isEmpty()))
        __builtin_trap();
    for (const QString& link : links.links) {
        if (link.isEmpty())
            __builtin_trap();
    }
    (void)PageCharset::FromMeta(page);
    return 0;
}
