// SPDX-License-Identifier: GPL-3.0-or-later
// The URL split, redirection targets and the request built from them: any URL the slot
// accepts must give a usable port and a request whose only line breaks are the CR LF
// pairs that end its lines (RFC 9112 §2.2) and a target and host of visible ASCII only,
// whatever bytes the list or the server's Location brought.
#include "Fuzz.h"
#include "engine/HttpFiles.h"
#include "engine/UrlSplit.h"

#include <QCoreApplication>

namespace {

void check(HttpFiles& slot, const QString& url)
{
    const UrlSplit split = UrlSplit::Parse(url);
    if (!split.Supported)
        return;
    need(!split.Host.isEmpty() && split.Port >= 1 && split.Port <= 65535 &&
         split.Path.startsWith(QLatin1Char('/')));
    const QString request = slot.getRequest(split.Host, split.Path, 0, 0, 1);
    need(request.endsWith(QLatin1String("\r\n\r\n")));
    const QStringList lines = request.chopped(4).split(QLatin1String("\r\n"));
    for (const QString& line : lines)
        need(!line.isEmpty() && !line.contains(u'\r') && !line.contains(u'\n'));
    // The request line: method, target and version, one blank apart.
    need(lines.first().count(QLatin1Char(' ')) == 2);
    // Target and host are visible ASCII only: blanks, controls and other letters are escaped
    // in the path and spelled in their ASCII form in the host.
    for (const QString& text : {lines.first().section(QLatin1Char(' '), 1, 1), split.Host}) {
        for (const QChar c : text)
            need(c.unicode() > 0x20 && c.unicode() < 0x7F);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_urlsplit";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static HttpFiles slot;
    slot.setProtocol(1);
    slot.setCompatible(QStringLiteral("Harvex"));
    // The list line, or the request's URL and a Location value, one line each.
    const QString input = fuzzText(data, size);
    const qsizetype newline = input.indexOf(QLatin1Char('\n'));
    const QString url = newline >= 0 ? input.left(newline) : input;
    check(slot, url);
    if (newline >= 0)
        check(slot, UrlSplit::Resolve(url, input.mid(newline + 1)));
    return 0;
}
