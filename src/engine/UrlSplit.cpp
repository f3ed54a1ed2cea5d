// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/UrlSplit.h"

#include <QUrl>

#include <algorithm>

namespace {

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isAscii(const QString& text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
}

} // namespace

QString UrlSplit::WithoutFragment(const QString& url)
{
    const qsizetype hash = url.indexOf(QLatin1Char('#'));
    return hash < 0 ? url : url.left(hash);
}

UrlSplit UrlSplit::Parse(const QString& fullUrl)
{
    UrlSplit split;
    const QString url = WithoutFragment(fullUrl);
    qsizetype start = 0;
    if (url.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)) {
        start = 7;
    } else if (url.startsWith(QLatin1String("https://"), Qt::CaseInsensitive)) {
        start = 8;
        split.Secure = true;
        split.Port = 443;
    } else {
        return split;
    }
    // RFC 3986 §3.2: the authority ends at the first "/" or "?".
    qsizetype slash = start;
    while (slash < url.size() && url.at(slash) != QLatin1Char('/') &&
           url.at(slash) != QLatin1Char('?'))
        ++slash;
    split.Host = url.mid(start, slash - start);
    split.Path = url.mid(slash);
    if (split.Path.isEmpty() || split.Path.startsWith(QLatin1Char('?')))
        split.Path.prepend(QLatin1Char('/'));
    const qsizetype colon = split.Host.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0 && colon < split.Host.size() - 1 && !split.Host.endsWith(QLatin1Char(']'))) {
        // The port is the leading digits after the ":" (0 when there are none).
        const QString rest = split.Host.mid(colon + 1);
        qsizetype n = 0;
        while (n < rest.size() && n < 6 && rest.at(n).isDigit())
            ++n;
        split.Port = rest.left(n).toInt();
        split.Host.truncate(colon);
    }
    // RFC 3986 §3.2.2: a host holds no blank or control character; one that did would
    // also break the request's Host line (RFC 9112 §2.2, §3.2), so such a URL is refused.
    const bool plainHost = std::none_of(split.Host.cbegin(), split.Host.cend(), [](QChar c) {
        return c.unicode() <= 0x20 || c.unicode() == 0x7F ||
               (c.unicode() >= 0x80 && c.unicode() < 0xA0);
    });
    if (plainHost && !isAscii(split.Host)) {
        // RFC 5890: the wire form of an internationalised name; "" when it has none.
        split.Host = QString::fromLatin1(QUrl::toAce(split.Host));
    }
    split.Supported = !split.Host.isEmpty() && plainHost && split.Port > 0 && split.Port < 65536;
    return split;
}

QString UrlSplit::Resolve(const QString& base, const QString& location)
{
    const QUrl target(location);
    if (!target.scheme().isEmpty())
        return location;
    return QUrl(base).resolved(target).toString(QUrl::FullyEncoded);
}

QByteArray UrlSplit::RequestTarget(const QString& path)
{
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray utf8 = path.toUtf8();
    QByteArray target;
    target.reserve(utf8.size());
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8.at(i));
        const bool escape = byte == '%' && i + 2 < utf8.size() && isHexDigit(utf8.at(i + 1)) &&
                            isHexDigit(utf8.at(i + 2));
        const bool unsafe = byte <= 0x20 || byte >= 0x7F || (byte == '%' && !escape);
        if (unsafe) {
            target += '%';
            target += hex[byte >> 4];
            target += hex[byte & 15];
        } else {
            target += char(byte);
        }
    }
    return target;
}
