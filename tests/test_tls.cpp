// SPDX-License-Identifier: GPL-3.0-or-later
// HTTPS: the same slot over TLS, certificates checked, no fallback to plain HTTP,
// redirections between the schemes, and nginx serving over TLS.
#include "engine/HttpFiles.h"
#include "support/NginxFixture.h"
#include "support/ScriptedServer.h"
#include "support/SlotRecorder.h"
#include "support/TestFiles.h"
#include "support/TlsFixture.h"

#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

// A loopback TCP relay in front of a server. On its first connection it flips one byte of
// what the server sends, at the given offset: inside a TLS record that fails the record's
// integrity check, after the handshake.
class FlippingRelay : public QObject
{
public:
    FlippingRelay(quint16 upstream, qint64 flipAt) : m_upstream(upstream), m_flipAt(flipAt)
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* client = m_server.nextPendingConnection())
                relay(client, m_connections++ == 0);
        });
    }
    quint16 port() const { return m_server.serverPort(); }

private:
    void relay(QTcpSocket* client, bool flip)
    {
        auto* server = new QTcpSocket(client);
        auto sent = std::make_shared<qint64>(0);
        connect(client, &QTcpSocket::readyRead, server,
                [client, server] { server->write(client->readAll()); });
        connect(server, &QTcpSocket::readyRead, client, [this, client, server, flip, sent] {
            QByteArray bytes = server->readAll();
            if (flip && *sent <= m_flipAt && m_flipAt < *sent + bytes.size())
                bytes[m_flipAt - *sent] = char(bytes.at(m_flipAt - *sent) ^ 0x5A);
            *sent += bytes.size();
            client->write(bytes);
        });
        connect(server, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
        connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
        server->connectToHost(QHostAddress::LocalHost, m_upstream);
    }

    QTcpServer m_server;
    quint16 m_upstream;
    qint64 m_flipAt;
    int m_connections = 0;
};

class TestTls : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void downloadAndResumeOverTls();
    void certificateProblemsFailWithoutRetry_data();
    void certificateProblemsFailWithoutRetry();
    void plainServerIsNotAFallback();
    void redirectionsBetweenSchemes();
    void nginxOverTls();
    void brokenRecordMidBodyIsRetried();

private:
    TlsFixture m_tls;
};

struct Run
{
    QTemporaryDir dir;
    HttpFiles slot;
    SlotRecorder rec{&slot};
    Run() { SlotRecorder::makeQuick(&slot); }
    QString file() const { return dir.filePath(QStringLiteral("f.bin")); }
};

void TestTls::initTestCase()
{
    QString error;
    QVERIFY2(m_tls.make(&error), qPrintable(error));
    // Trust for this run only: the test certificates beside the system store.
    qputenv("HARVEX_EXTRA_CA", m_tls.trustFile().toLocal8Bit());
}

void TestTls::downloadAndResumeOverTls()
{
    const QByteArray data = NginxFixture::randomBytes(200000, 3);
    TlsServer server(m_tls.certFile(QStringLiteral("localhost")),
                     m_tls.keyFile(QStringLiteral("localhost")));
    QVERIFY(server.listen());
    server.addReply("HTTP/1.0 200 OK\r\nContent-Length: 200000\r\n\r\n" + data.left(70000));
    server.addReply("HTTP/1.0 206 Partial Content\r\nContent-Range: bytes 70000-199999/200000\r\n"
                    "\r\n" +
                    data.mid(70000));
    Run run;
    QVERIFY(run.slot.GetRemoteFile(server.url(QStringLiteral("/t.bin")), run.file(), 0, 0));
    WAIT_ENDED(run.rec, 20000);
    QCOMPARE(run.rec.milestones(), QStringList({"Connected", "HeaderCame", "Retrying", "Connected",
                                                "HeaderCame", "DownloadComplete", "Disconnected"}));
    QCOMPARE(readAll(run.file()), data);
    QVERIFY(server.requests().value(0).startsWith("GET /t.bin HTTP/1.0\r\nHost: 127.0.0.1\r\n"));
    QVERIFY(server.requests().value(1).contains("Range: bytes=70000-\r\n"));
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
    TlsServer server(m_tls.certFile(cert), m_tls.keyFile(cert));
    QVERIFY(server.listen());
    server.addReply("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nno");
    Run run;
    run.slot.GetRemoteFile(server.url(QStringLiteral("/t.bin")), run.file(), 0, 0);
    WAIT_ENDED(run.rec, 20000);
    QCOMPARE(run.rec.milestones().mid(1), QStringList({"DownloadFailed", "Disconnected"}));
    const QString error = run.rec.errors().value(0);
    QVERIFY2(error.contains(problem, Qt::CaseInsensitive), qPrintable(error));
    QVERIFY2(error.contains(QStringLiteral("TLS")), qPrintable(error));
    QCOMPARE(run.slot.DownloadStatus(), 2);
    QCOMPARE(run.slot.Try(), 1);
    QVERIFY(server.requests().isEmpty());
    QVERIFY(!QFile::exists(run.file())); // the job's own empty file is gone
}

void TestTls::plainServerIsNotAFallback()
{
    ScriptedServer server;
    server.addConnection(
        ServerScript().send("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nno").hold());
    Run run;
    run.slot.GetRemoteFile(QStringLiteral("https://127.0.0.1:%1/p.bin").arg(server.port()),
                           run.file(), 0, 0);
    WAIT_ENDED(run.rec, 20000);
    QCOMPARE(run.rec.milestones().mid(1), QStringList({"DownloadFailed", "Disconnected"}));
    QVERIFY(run.rec.errors().value(0).contains(QStringLiteral("TLS")));
    QCOMPARE(server.connectionCount(), 1);
    QVERIFY(!server.received(0).contains("GET "));
    QVERIFY(!QFile::exists(run.file())); // the job's own empty file is gone
}

void TestTls::redirectionsBetweenSchemes()
{
    TlsServer secure(m_tls.certFile(QStringLiteral("localhost")),
                     m_tls.keyFile(QStringLiteral("localhost")));
    QVERIFY(secure.listen());
    ScriptedServer plain;
    // http -> https -> http
    plain.addConnection(ServerScript::reply(
        "HTTP/1.1 301 Moved\r\nLocation: " + secure.url(QStringLiteral("/s.bin")).toLatin1() +
        "\r\nContent-Length: 0\r\n\r\n"));
    secure.addReply("HTTP/1.1 302 Found\r\nLocation: " +
                    plain.url(QStringLiteral("/final.bin")).toLatin1() + "\r\n\r\n");
    plain.addConnection(ServerScript::reply("HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\ndone"));
    Run run;
    run.slot.GetRemoteFile(plain.url(QStringLiteral("/start.bin")), run.file(), 0, 0);
    WAIT_ENDED(run.rec, 20000);
    QCOMPARE(run.rec.count(QStringLiteral("Redirected")), 2);
    QCOMPARE(run.rec.milestones().mid(run.rec.milestones().size() - 2),
             QStringList({"DownloadComplete", "Disconnected"}));
    QCOMPARE(secure.requests().size(), 1);
    QVERIFY(plain.requests().value(1).startsWith("GET /final.bin "));
    QCOMPARE(readAll(run.file()), QByteArray("done"));
}

void TestTls::nginxOverTls()
{
    const quint16 port = unusedLoopbackPort();
    NginxFixture nginx(QStringLiteral("        listen 127.0.0.1:%1 ssl;\n"
                                      "        ssl_certificate %2;\n"
                                      "        ssl_certificate_key %3;\n")
                           .arg(port)
                           .arg(m_tls.certFile(QStringLiteral("localhost")),
                                m_tls.keyFile(QStringLiteral("localhost"))));
    QString error;
    QVERIFY2(nginx.start(&error), qPrintable(error));
    const QByteArray data = NginxFixture::randomBytes(2 * 1024 * 1024 + 5, 23);
    nginx.writeFile(QStringLiteral("tls.bin"), data);
    const QString url = QStringLiteral("https://localhost:%1/tls.bin").arg(port);
    Run run;
    run.slot.setProtocol(1);
    run.slot.GetRemoteFile(url, run.file(), 0, 1);
    WAIT_ENDED(run.rec, 30000);
    QCOMPARE(run.rec.milestones(),
             QStringList({"Connected", "HeaderCame", "DownloadComplete", "Disconnected"}));
    QCOMPARE(readAll(run.file()), data);
}

void TestTls::brokenRecordMidBodyIsRetried()
{
    const QByteArray data = NginxFixture::randomBytes(300000, 5);
    TlsServer server(m_tls.certFile(QStringLiteral("localhost")),
                     m_tls.keyFile(QStringLiteral("localhost")));
    QVERIFY(server.listen());
    const QByteArray whole = "HTTP/1.0 200 OK\r\nContent-Length: 300000\r\n\r\n" + data;
    server.addReply(whole);
    server.addReply(whole);
    FlippingRelay relay(server.port(), 150000);
    Run run;
    run.slot.GetRemoteFile(QStringLiteral("https://127.0.0.1:%1/t.bin").arg(relay.port()),
                           run.file(), 0, 0);
    WAIT_ENDED(run.rec, 20000);
    const QStringList m = run.rec.milestones();
    QVERIFY2(m.contains(QStringLiteral("Retrying")), qPrintable(m.join(u'|')));
    QCOMPARE(m.mid(m.size() - 2), QStringList({"DownloadComplete", "Disconnected"}));
    QCOMPARE(server.connectionCount(), 2);
    QCOMPARE(readAll(run.file()), data);
}

QTEST_GUILESS_MAIN(TestTls)
#include "test_tls.moc"
