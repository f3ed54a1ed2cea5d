// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// Debian's nginx on 127.0.0.1 and a free port, with a generated configuration and a
// temporary document root. It serves ranges, Last-Modified and 416 as nginx does,
// compresses text (so replies to HTTP/1.1 requests come chunked), and answers
//   /r301/<path> /r302/<path> /r303/<path> /r307/<path> /r308/<path>
// with that status and "Location: /<path>". Extra directives can be added to the
// server block. Stopped by its PID when the fixture goes.
class NginxFixture
{
public:
    explicit NginxFixture(const QString& extraServerConfig = {}) : m_extra(extraServerConfig) {}
    ~NginxFixture() { stop(); }
    NginxFixture(const NginxFixture&) = delete;
    NginxFixture& operator=(const NginxFixture&) = delete;

    // Starts nginx and waits until it accepts connections. On failure returns false
    // and says why (a test must fail then, not skip).
    bool start(QString* error = nullptr);
    void stop();

    quint16 port() const { return m_port; }
    // "http://127.0.0.1:<port>" + path
    QString url(const QString& path) const;
    // Writes a file below the document root (folders created); returns its full path.
    QString writeFile(const QString& relativePath, const QByteArray& data) const;

    // Random bytes, the same for the same seed.
    static QByteArray randomBytes(qsizetype size, quint32 seed);

private:
    QTemporaryDir m_dir;
    QString m_extra;
    QProcess m_process;
    quint16 m_port = 0;
};
