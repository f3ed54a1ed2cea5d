// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// A download URL split into what the slot needs: "http://" or "https://" (any case),
// the host, an optional ":" port and the path with its query. A "#" fragment is no part of
// what is fetched (RFC 3986 §3.5) and is dropped; a host outside ASCII is taken in its
// ASCII (IDNA) form, which both the connection and the Host line use.
struct UrlSplit
{
    QString Host;
    QString Path;
    int Port = 80;
    bool Secure = false;
    bool Supported = false; // false for any other scheme or an empty or unusable host

    static UrlSplit Parse(const QString& url);
    // A Location value made absolute against the URL of the request (RFC 9110 §10.2.2).
    static QString Resolve(const QString& base, const QString& location);
    // The URL without its "#" fragment.
    static QString WithoutFragment(const QString& url);
    // The request target for a path: an existing "%XX" goes as it stands, and only what a
    // request line cannot carry is percent-encoded (blanks, controls, non-ASCII as UTF-8,
    // and a "%" that starts no escape), so the server sees the path the URL names.
    static QByteArray RequestTarget(const QString& path);
};
