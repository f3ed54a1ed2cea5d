// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/UrlSplit.h"

#include <QUrl>

#include <algorithm>

UrlSplit UrlSplit::Parse(const QString& url)
{
    UrlSplit split;
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
    const qsizetype slash = url.indexOf(QLatin1Char('/'), start);
    if (slash < 0) {
        split.Host = url.mid(start);
        split.Path = QStringLiteral("/");
    } else {
        split.Host = url.mid(start, slash - start);
        split.Path = url.mid(slash);
    }
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
        return c.unicode() <= 0x20 || c.unicode() == 0x7F;
    });
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
