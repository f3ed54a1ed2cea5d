// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// A download URL split into what the slot needs: "http://" or "https://" (any case),
// the host, an optional ":" port and the path with its query, unchanged.
struct UrlSplit
{
    QString Host;
    QString Path;
    int Port = 80;
    bool Secure = false;
    bool Supported = false; // false for any other scheme or an empty host

    static UrlSplit Parse(const QString& url);
    // A Location value made absolute against the URL of the request (RFC 9110 §10.2.2).
    static QString Resolve(const QString& base, const QString& location);
};
