// SPDX-License-Identifier: GPL-3.0-or-later
#include "TlsFixture.h"

#include <QFile>
#include <QProcess>

static bool runOpenssl(const QStringList& args, QString* error)
{
    QProcess p;
    p.start(QStringLiteral("openssl"), args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        if (error)
            *error = QStringLiteral("openssl failed: ") + p.errorString() + QLatin1Char(' ') +
                     QString::fromLocal8Bit(p.readAllStandardError());
        return false;
    }
    return true;
}

QString TlsFixture::certFile(const QString& name) const
{
    return m_dir.filePath(name + QStringLiteral(".crt"));
}

QString TlsFixture::keyFile(const QString& name) const
{
    return m_dir.filePath(name + QStringLiteral(".key"));
}

QString TlsFixture::trustFile() const
{
    return m_dir.filePath(QStringLiteral("trusted.pem"));
}

bool TlsFixture::make(QString* error)
{
    const struct
    {
        const char* name;
        const char* subject;
        const char* names;
    } certs[] = {
        {"localhost", "/CN=localhost", "subjectAltName=DNS:localhost,IP:127.0.0.1"},
        {"other", "/CN=other.example", "subjectAltName=DNS:other.example"},
        {"stranger", "/CN=localhost", "subjectAltName=DNS:localhost,IP:127.0.0.1"},
    };
    for (const auto& c : certs) {
        const QString name = QString::fromLatin1(c.name);
        if (!runOpenssl({QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                         QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                         QStringLiteral("ec_paramgen_curve:P-256"), QStringLiteral("-nodes"),
                         QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                         QString::fromLatin1(c.subject), QStringLiteral("-addext"),
                         QString::fromLatin1(c.names), QStringLiteral("-keyout"), keyFile(name),
                         QStringLiteral("-out"), certFile(name)},
                        error))
            return false;
    }
    QFile trust(trustFile());
    if (!trust.open(QIODevice::WriteOnly))
        return false;
    for (const char* name : {"localhost", "other"}) {
        QFile cert(certFile(QString::fromLatin1(name)));
        if (!cert.open(QIODevice::ReadOnly))
            return false;
        trust.write(cert.readAll());
    }
    return true;
}
