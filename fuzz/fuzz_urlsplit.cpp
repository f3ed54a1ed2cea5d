// SPDX-License-Identifier: GPL-3.0-or-later
// The URL split, redirection targets and the request built from them: any URL the slot
// accepts must give a usable port and a request whose only line breaks are the CR LF
// pairs that end its lines (RFC 9112 §2.2) and a target and host of visible ASCII only,
// whatever bytes the list or the server's Location brought.
#include "engine/HttpFiles.h"
#include "engine/UrlSplit.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdlib>

namespace {

void checkRequest(HttpFiles& slot, const UrlSplit& split)
{
    const QString request = slot.getRequest(split.Host, split.Path, 0, 0, 1);
    if (!request.endsWith(QLatin1String("\r\n\r\n")))
        std::abort();
    const QStringList lines = request.chopped(4).split(QLatin1String("\r\n"));
    for (const QString& line : lines) {
        if (line.isEmpty() || line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n')))
            std::abort();
    }
    // The request line: method, target and version, one blank apart.
    if (lines.first().count(QLatin1Char(' ')) != 2)
        std::abort();
    // Target and host are visible ASCII only: blanks, controls and other letters are escaped
    // in the path and spelled in their ASCII form in the host.
    const QString target = lines.first().section(QLatin1Char(' '), 1, 1);
    for (const QString& text : {target, split.Host}) {
        for (const QChar c : text) {
            if (c.unicode() <= 0x20 || c.unicode() >= 0x7F)
                std::abort();
        }
    }
}

void checkSplit(HttpFiles& slot, const QString& url)
{
    const UrlSplit split = UrlSplit::Parse(url);
    if (!split.Supported)
        return;
    if (split.Host.isEmpty() || split.Port < 1 || split.Port > 65535 ||
        !split.Path.startsWith(QLatin1Char('/')))
        std::abort();
    checkRequest(slot, split);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_urlsplit";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static HttpFiles slot;
    static bool once = [] {
        slot.setProtocol(1);
        slot.setCompatible(QStringLiteral("Harvex"));
        return true;
    }();
    (void)once;

    // The list line, or the request's URL and a Location value, one line each.
    const QString input = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype newline = input.indexOf(QLatin1Char('\n'));
    const QString url = newline >= 0 ? input.left(newline) : input;
    checkSplit(slot, url);
    if (newline >= 0) {
        const QString location = input.mid(newline + 1);
        checkSplit(slot, UrlSplit::Resolve(url, location));
    }
    return 0;
}
