// SPDX-License-Identifier: GPL-3.0-or-later
#include "NginxFixture.h"

#include "ScriptedServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QThread>

#include <unistd.h>

NginxFixture::NginxFixture(const QString& extraServerConfig) : m_extra(extraServerConfig) {}

NginxFixture::~NginxFixture()
{
    stop();
}

QString NginxFixture::docRoot() const
{
    return m_dir.filePath(QStringLiteral("www"));
}

QString NginxFixture::errorLog() const
{
    return m_dir.filePath(QStringLiteral("error.log"));
}

QString NginxFixture::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

QString NginxFixture::writeFile(const QString& relativePath, const QByteArray& data) const
{
    const QString path = QDir(docRoot()).filePath(relativePath);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    file.write(data);
    return path;
}

QByteArray NginxFixture::randomBytes(qsizetype size, quint32 seed)
{
    QRandomGenerator generator(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    qsizetype i = 0;
    for (; i + 4 <= size; i += 4) {
        const quint32 word = generator.generate();
        memcpy(bytes.data() + i, &word, 4);
    }
    for (; i < size; ++i)
        bytes[i] = char(generator.generate());
    return bytes;
}

static QString nginxConfig(const QString& dir, quint16 port, const QString& extra)
{
    QString redirects;
    for (int code : {301, 302, 303, 307, 308})
        redirects +=
            QStringLiteral("        location ~ ^/r%1/(.*)$ { return %1 /$1; }\n").arg(code);
    const QString user = geteuid() == 0 ? QStringLiteral("user root;\n") : QString();
    return QStringLiteral(
               "daemon off; master_process off; worker_processes 1;\n"
               "%4pid %1/nginx.pid;\n"
               "error_log %1/error.log warn;\n"
               "events { worker_connections 1024; }\n"
               "http {\n"
               "    access_log off;\n"
               "    client_body_temp_path %1/tmp/body; proxy_temp_path %1/tmp/proxy;\n"
               "    fastcgi_temp_path %1/tmp/fastcgi; uwsgi_temp_path %1/tmp/uwsgi;\n"
               "    scgi_temp_path %1/tmp/scgi;\n"
               "    types { text/html html htm; text/plain txt; text/css css;\n"
               "            image/jpeg jpg jpeg; image/png png; image/gif gif;\n"
               "            application/zip zip; }\n"
               "    default_type application/octet-stream; sendfile on; keepalive_timeout 15;\n"
               "    gzip on; gzip_min_length 1; gzip_http_version 1.0;\n"
               "    gzip_types text/plain text/css;\n"
               "    server {\n"
               "        listen 127.0.0.1:%2; server_name localhost; root %1/www;\n"
               "%5%3\n"
               "    }\n"
               "}\n")
        .arg(dir, QString::number(port), extra, user, redirects);
}

bool NginxFixture::start(QString* error)
{
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (!m_dir.isValid())
        return fail(QStringLiteral("cannot make a temporary folder"));
    const QString nginx = QStandardPaths::findExecutable(
        QStringLiteral("nginx"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"),
                                  QStringLiteral("/usr/local/sbin"), QStringLiteral("/usr/bin")});
    if (nginx.isEmpty())
        return fail(QStringLiteral("nginx is not installed (scripts/test.sh installs it)"));
    QDir().mkpath(docRoot());
    QDir().mkpath(m_dir.filePath(QStringLiteral("tmp")));

    // A free port can be taken by someone else before nginx binds it: try a few.
    for (int attempt = 0; attempt < 5; ++attempt) {
        m_port = unusedLoopbackPort();
        const QString conf = m_dir.filePath(QStringLiteral("nginx.conf"));
        QFile file(conf);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return fail(QStringLiteral("cannot write ") + conf);
        file.write(nginxConfig(m_dir.path(), m_port, m_extra).toUtf8());
        file.close();

        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(nginx, {QStringLiteral("-p"), m_dir.path(), QStringLiteral("-c"), conf,
                                QStringLiteral("-e"), errorLog()});
        if (!m_process.waitForStarted(5000))
            return fail(QStringLiteral("nginx did not start: ") + m_process.errorString());

        QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
            QTcpSocket probe;
            probe.connectToHost(QStringLiteral("127.0.0.1"), m_port);
            if (probe.waitForConnected(200)) {
                probe.disconnectFromHost();
                return true;
            }
            QThread::msleep(20);
        }
        const QString output = QString::fromLocal8Bit(m_process.readAll());
        stop();
        QFile log(errorLog());
        log.open(QIODevice::ReadOnly);
        const QString logText = QString::fromLocal8Bit(log.readAll());
        if (!logText.contains(QStringLiteral("Address already in use")))
            return fail(QStringLiteral("nginx failed: ") + output + logText);
    }
    return fail(QStringLiteral("nginx found no free port"));
}

void NginxFixture::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}
