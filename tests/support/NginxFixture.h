// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// Debian's nginx on 127.0.0.1 and a free port, with a temporary document root. It compresses
// text (so replies to HTTP/1.1 requests come chunked) and answers /r301/<path> (and 302, 303,
// 307, 308) with that status and "Location: /<path>". Extra directives join the server block.
class NginxFixture
{
public:
    explicit NginxFixture(const QString& extraServerConfig = {}) : m_extra(extraServerConfig) {}
    ~NginxFixture() { stop(); }

    // Starts nginx and waits until it accepts connections; on failure says why.
    bool start(QString* error = nullptr);
    void stop()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    quint16 port() const { return m_port; }
    QString url(const QString& path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
    }
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
