// SPDX-License-Identifier: GPL-3.0-or-later
#include "NginxFixture.h"

#include "ScriptedServer.h"
#include "TestFiles.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QThread>

#include <unistd.h>

QString NginxFixture::writeFile(const QString& relativePath, const QByteArray& data) const
{
    const QString path = m_dir.filePath(QStringLiteral("www/") + relativePath);
    return ::writeFile(path, data) ? path : QString();
}

QByteArray NginxFixture::randomBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes((size + 3) / 4 * 4, Qt::Uninitialized);
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
    return bytes.left(size);
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
    const QString nginx = QStandardPaths::findExecutable(
        "nginx", {"/usr/sbin", "/sbin", "/usr/local/sbin", "/usr/bin"});
    QString why = "nginx is not installed (scripts/test.sh installs it)";
    QDir().mkpath(m_dir.filePath("tmp"));
    // A free port can be taken by someone else before nginx binds it: try a few.
    for (int attempt = 0; attempt < 5 && !nginx.isEmpty(); ++attempt) {
        m_port = unusedLoopbackPort();
        const QString conf = m_dir.filePath("nginx.conf"), log = m_dir.filePath("error.log");
        if (!::writeFile(conf, nginxConfig(m_dir.path(), m_port, m_extra).toUtf8())) {
            why = "cannot write " + conf;
            break;
        }
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(nginx, {"-p", m_dir.path(), "-c", conf, "-e", log});
        for (QDeadlineTimer deadline(5000); !deadline.hasExpired() &&
                                            m_process.waitForStarted(5000) &&
                                            m_process.state() == QProcess::Running;) {
            QTcpSocket probe;
            probe.connectToHost("127.0.0.1", m_port);
            if (probe.waitForConnected(200))
                return true;
            QThread::msleep(20);
        }
        stop();
        why = "nginx failed: " + m_process.errorString() + ' ' + m_process.readAll() + readAll(log);
        if (!why.contains("Address already in use"))
            break;
    }
    if (error)
        *error = why;
    return false;
}
