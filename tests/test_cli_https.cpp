// SPDX-License-Identifier: GPL-3.0-or-later
// harvex-cli over HTTPS: trusted through HARVEX_EXTRA_CA, refused without it.
#include "support/NginxFixture.h"
#include "support/ScriptedServer.h"
#include "support/TlsFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestCliHttps : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void downloadsByteExactWithExtraCa();
    void untrustedCertificateFailsTheJob();

private:
    // Runs harvex-cli with a private home; returns its exit code (-1 when it hung).
    int runCli(const QStringList& args, const QByteArray& extraCa);

    TlsFixture m_tls;
    QTemporaryDir m_home;
    std::unique_ptr<NginxFixture> m_nginx;
    quint16 m_port = 0;
    QByteArray m_data;
};

void TestCliHttps::initTestCase()
{
    QString error;
    QVERIFY2(m_tls.make(&error), qPrintable(error));
    m_port = unusedLoopbackPort();
    m_nginx = std::make_unique<NginxFixture>(QStringLiteral("        listen 127.0.0.1:%1 ssl;\n"
                                                            "        ssl_certificate %2;\n"
                                                            "        ssl_certificate_key %3;\n")
                                                 .arg(m_port)
                                                 .arg(m_tls.certFile(QStringLiteral("localhost")),
                                                      m_tls.keyFile(QStringLiteral("localhost"))));
    QVERIFY2(m_nginx->start(&error), qPrintable(error));
    m_data = NginxFixture::randomBytes(700001, 41);
    m_nginx->writeFile(QStringLiteral("files/file.bin"), m_data);
}

int TestCliHttps::runCli(const QStringList& args, const QByteArray& extraCa)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), m_home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
    env.remove(QStringLiteral("HARVEX_EXTRA_CA"));
    if (!extraCa.isEmpty())
        env.insert(QStringLiteral("HARVEX_EXTRA_CA"), QString::fromLocal8Bit(extraCa));
    QProcess cli;
    cli.setProcessEnvironment(env);
    cli.start(QStringLiteral(HARVEX_CLI_PATH), args);
    if (!cli.waitForFinished(60000)) {
        cli.kill();
        cli.waitForFinished();
        return -1;
    }
    return cli.exitCode();
}

void TestCliHttps::downloadsByteExactWithExtraCa()
{
    QTemporaryDir base;
    const QString url = QStringLiteral("https://127.0.0.1:%1/files/file.bin").arg(m_port);
    QCOMPARE(runCli({QStringLiteral("-q"), QStringLiteral("-d"), base.path(),
                     QStringLiteral("--tick-ms"), QStringLiteral("20"), url},
                    m_tls.trustFile().toLocal8Bit()),
             0);
    QFile file(base.path() + QStringLiteral("/127.0.0.1%3A%1/files/file.bin").arg(m_port));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    QCOMPARE(file.readAll(), m_data);
}

void TestCliHttps::untrustedCertificateFailsTheJob()
{
    QTemporaryDir base;
    const QString failed = base.filePath(QStringLiteral("failed.txt"));
    const QString url = QStringLiteral("https://127.0.0.1:%1/files/file.bin").arg(m_port);
    QCOMPARE(runCli({QStringLiteral("-q"), QStringLiteral("-d"), base.path(),
                     QStringLiteral("--tick-ms"), QStringLiteral("20"),
                     QStringLiteral("--failed-list"), failed, url},
                    {}),
             1);
    QFile list(failed);
    QVERIFY(list.open(QIODevice::ReadOnly));
    QCOMPARE(list.readAll().trimmed(), url.toUtf8());
    QVERIFY(!QFile::exists(base.path() +
                           QStringLiteral("/127.0.0.1%3A%1/files/file.bin").arg(m_port)) ||
            QFileInfo(base.path() + QStringLiteral("/127.0.0.1%3A%1/files/file.bin").arg(m_port))
                    .size() == 0);
}

QTEST_GUILESS_MAIN(TestCliHttps)
#include "test_cli_https.moc"
