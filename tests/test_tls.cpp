// SPDX-License-Identifier: GPL-3.0-or-later
// HTTPS against nginx over TLS: certificates checked and never retried, no fallback to
// plain HTTP, a broken record retried like any broken transfer; and harvex-cli trusting a
// certificate only through HARVEX_EXTRA_CA.
#include "engine/HttpFiles.h"
#include "support/NginxFixture.h"
#include "support/ScriptedServer.h"
#include "support/SlotRecorder.h"
#include "support/TestFiles.h"
#include "support/TlsFixture.h"

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

// nginx serving HTTPS on a port of its own with one of the fixture's certificates.
struct TlsNginx
{
    quint16 port = unusedLoopbackPort();
    NginxFixture nginx;
    TlsNginx(const TlsFixture& tls, const QString& cert)
        : nginx(QStringLiteral("listen 127.0.0.1:%1 ssl; ssl_certificate %2; "
                               "ssl_certificate_key %3;")
                    .arg(port)
                    .arg(tls.certFile(cert), tls.keyFile(cert)))
    {
    }
    QString url(const QString& path) const
    {
        return QStringLiteral("https://127.0.0.1:%1%2").arg(port).arg(path);
    }
};

// A loopback TCP relay that flips one byte of what the server sends on its first
// connection: inside a TLS record after the handshake that fails the record's check.
class FlippingRelay : public QTcpServer
{
public:
    FlippingRelay(quint16 upstream, qint64 flipAt)
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this, upstream, flipAt] {
            QTcpSocket* client = nextPendingConnection();
            auto* server = new QTcpSocket(client);
            const bool flip = m_connections++ == 0;
            auto sent = std::make_shared<qint64>(0);
            connect(client, &QTcpSocket::readyRead, server,
                    [=] { server->write(client->readAll()); });
            connect(server, &QTcpSocket::readyRead, client, [=] {
                QByteArray bytes = server->readAll();
                if (flip && *sent <= flipAt && flipAt < *sent + bytes.size())
                    bytes[flipAt - *sent] = char(bytes.at(flipAt - *sent) ^ 0x5A);
                *sent += bytes.size();
                client->write(bytes);
            });
            connect(server, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
            connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
            server->connectToHost(QHostAddress::LocalHost, upstream);
        });
    }

private:
    int m_connections = 0;
};

class TestTls : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void brokenRecordIsRetriedAndResumed();
    void certificateProblemsFailWithoutRetry_data();
    void certificateProblemsFailWithoutRetry();
    void plainServerIsNotAFallback();
    void cliTrustsOnlyTheExtraCa_data();
    void cliTrustsOnlyTheExtraCa();

private:
    TlsFixture m_tls;
    std::unique_ptr<TlsNginx> m_server;
    const QByteArray m_data = NginxFixture::randomBytes(300000, 5);
};

struct Run
{
    QTemporaryDir dir;
    HttpFiles slot;
    SlotRecorder rec{&slot};
    Run() { SlotRecorder::makeQuick(&slot); }
    QString file() const { return dir.filePath("f.bin"); }
    QString get(const QString& url)
    {
        slot.GetRemoteFile(url, file(), 0, 0);
        return QTest::qWaitFor([&] { return rec.ended(); }, 20000) ? rec.milestones().join(u' ')
                                                                   : QString("timed out");
    }
};

void TestTls::initTestCase()
{
    QString error;
    QVERIFY2(m_tls.make(&error), qPrintable(error));
    // Trust for this run only: the test certificates beside the system store.
    qputenv("HARVEX_EXTRA_CA", m_tls.trustFile().toLocal8Bit());
    m_server = std::make_unique<TlsNginx>(m_tls, "localhost");
    QVERIFY2(m_server->nginx.start(&error), qPrintable(error));
    m_server->nginx.writeFile("t.bin", m_data);
}

void TestTls::brokenRecordIsRetriedAndResumed()
{
    FlippingRelay relay(m_server->port, 150000);
    Run run;
    const QString milestones =
        run.get(QStringLiteral("https://127.0.0.1:%1/t.bin").arg(relay.serverPort()));
    QVERIFY2(milestones.contains("Retrying") &&
                 milestones.endsWith("HeaderCame DownloadComplete Disconnected"),
             qPrintable(milestones));
    QVERIFY(!run.slot.ReqStr().contains("Range: bytes=0-"));
    QCOMPARE(readAll(run.file()), m_data);
}

void TestTls::certificateProblemsFailWithoutRetry_data()
{
    QTest::addColumn<QString>("cert");
    QTest::addColumn<QString>("problem");
    QTest::newRow("another name") << "other"
                                  << "host name did not match";
    QTest::newRow("untrusted") << "stranger"
                               << "untrusted";
}

void TestTls::certificateProblemsFailWithoutRetry()
{
    QFETCH(QString, cert);
    QFETCH(QString, problem);
    TlsNginx server(m_tls, cert);
    QString error;
    QVERIFY2(server.nginx.start(&error), qPrintable(error));
    server.nginx.writeFile("t.bin", "no");
    Run run;
    QCOMPARE(run.get(server.url("/t.bin")).section(u' ', 1), "DownloadFailed Disconnected");
    error = run.rec.errors().value(0);
    QVERIFY2(error.contains(problem, Qt::CaseInsensitive) && error.contains("TLS"),
             qPrintable(error));
    QCOMPARE(run.slot.Try(), 1);
    QVERIFY(!QFile::exists(run.file())); // the job's own empty file is gone
}

void TestTls::plainServerIsNotAFallback()
{
    ScriptedServer server;
    server.addConnection(
        ServerScript().send("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nno").hold());
    Run run;
    QCOMPARE(
        run.get(QStringLiteral("https://127.0.0.1:%1/p.bin").arg(server.port())).section(u' ', 1),
        "DownloadFailed Disconnected");
    QVERIFY(run.rec.errors().value(0).contains("TLS"));
    QCOMPARE(server.connectionCount(), 1);
    QVERIFY(server.requests().isEmpty()); // no request in the clear
    QVERIFY(!QFile::exists(run.file()));
}

void TestTls::cliTrustsOnlyTheExtraCa_data()
{
    QTest::addColumn<bool>("trusted");
    QTest::newRow("with HARVEX_EXTRA_CA") << true;
    QTest::newRow("without") << false;
}

void TestTls::cliTrustsOnlyTheExtraCa()
{
    QFETCH(bool, trusted);
    QTemporaryDir home, base;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    if (!trusted)
        env.remove("HARVEX_EXTRA_CA");
    QProcess cli;
    cli.setProcessEnvironment(env);
    const QString url = m_server->url("/t.bin"), failed = base.filePath("failed.txt");
    cli.start(HARVEX_CLI_PATH,
              {"-q", "-d", base.path(), "--tick-ms", "20", "--failed-list", failed, url});
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitCode(), trusted ? 0 : 1);
    const QByteArray local =
        readAll(base.path() + QStringLiteral("/127.0.0.1%3A%1/t.bin").arg(m_server->port));
    if (trusted)
        QCOMPARE(local, m_data);
    else
        QCOMPARE(readAll(failed).trimmed(), url.toUtf8());
    QVERIFY(trusted || local.isEmpty() || local == "<missing>");
}

QTEST_GUILESS_MAIN(TestTls)
#include "test_tls.moc"
