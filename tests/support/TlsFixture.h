// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QTemporaryDir>

// Certificates made at test time with Debian's openssl, in a temporary folder:
//   "localhost": CN localhost, names DNS:localhost and IP:127.0.0.1
//   "other":     CN other.example, for that name only
//   "stranger":  like "localhost" but trusted by nobody
// trustFile() holds "localhost" and "other": point HARVEX_EXTRA_CA at it.
class TlsFixture
{
public:
    bool make(QString* error = nullptr);
    QString certFile(const QString& name) const;
    QString keyFile(const QString& name) const;
    QString trustFile() const;

private:
    QTemporaryDir m_dir;
};
