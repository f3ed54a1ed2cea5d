// SPDX-License-Identifier: GPL-3.0-or-later
// The two loopback servers that the protocol tests stand on.
#include "support/NginxFixture.h"
#include "support/ScriptedServer.h"

#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>

class TestServers : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void scriptedReplyArrivesSplitWhereScripted();
    void scriptedServerRecordsRequestsAndResets();
    void refusedPortRefuses();
    void nginxServesFileByteExact();
};

// Reads until the peer closes, keeping each read apart.
static QList<QByteArray> readPieces(QTcpSocket& socket)
{
    QList<QByteArray> pieces;
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] { pieces.append(socket.readAll()); });
    QSignalSpy closed(&socket, &QTcpSocket::disconnected);
    closed.wait(5000);
    return pieces;
}

void TestServers::scriptedReplyArrivesSplitWhereScripted()
{
    ScriptedServer server;
    server.addConnection(ServerScript()
                             .expectRequest()
                             .send("HTTP/1.0 200 OK\r\nCont")
                             .pause(150)
                             .send("ent-Length: 2\r\n\r\nok")
                             .close());
    QTcpSocket client;
    client.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    QVERIFY(client.waitForConnected(3000));
    client.write("GET / HTTP/1.0\r\nHost: x\r\n\r\n");
    const QList<QByteArray> pieces = readPieces(client);
    QCOMPARE(pieces.size(), 2);
    QCOMPARE(pieces[0], QByteArray("HTTP/1.0 200 OK\r\nCont"));
    QCOMPARE(pieces[1], QByteArray("ent-Length: 2\r\n\r\nok"));
    QCOMPARE(server.requests(), QList<QByteArray>{"GET / HTTP/1.0\r\nHost: x\r\n\r\n"});
}

void TestServers::scriptedServerRecordsRequestsAndResets()
{
    ScriptedServer server;
    server.addConnection(ServerScript().expectRequest().send("partial").reset());
    server.addConnection(ServerScript::neverAnswer());

    QTcpSocket first;
    first.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    QVERIFY(first.waitForConnected(3000));
    first.write("GET /a HTTP/1.1\r\n\r\n");
    QByteArray got;
    QObject::connect(&first, &QTcpSocket::readyRead, [&] { got += first.readAll(); });
    QSignalSpy errors(&first, &QTcpSocket::errorOccurred);
    QVERIFY(errors.wait(5000));
    QCOMPARE(got, QByteArray("partial"));
    QCOMPARE(first.error(), QAbstractSocket::RemoteHostClosedError); // a reset, seen by Qt

    QTcpSocket second;
    second.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    QVERIFY(second.waitForConnected(3000));
    second.write("GET /b HTTP/1.1\r\n\r\n");
    QVERIFY(server.waitForRequests(2));
    QVERIFY(!second.waitForReadyRead(300)); // held open, silent
    QCOMPARE(second.state(), QAbstractSocket::ConnectedState);
    QCOMPARE(server.connectionCount(), 2);
    QCOMPARE(server.requests().at(1), QByteArray("GET /b HTTP/1.1\r\n\r\n"));
}

void TestServers::refusedPortRefuses()
{
    QTcpSocket client;
    client.connectToHost(QStringLiteral("127.0.0.1"), unusedLoopbackPort());
    QVERIFY(!client.waitForConnected(3000));
    QCOMPARE(client.error(), QAbstractSocket::ConnectionRefusedError);
}

void TestServers::nginxServesFileByteExact()
{
    NginxFixture nginx;
    QString error;
    QVERIFY2(nginx.start(&error), qPrintable(error));
    const QByteArray body = NginxFixture::randomBytes(300000, 7);
    nginx.writeFile(QStringLiteral("dir/file.bin"), body);

    QTcpSocket client;
    client.connectToHost(QStringLiteral("127.0.0.1"), nginx.port());
    QVERIFY(client.waitForConnected(3000));
    client.write("GET /dir/file.bin HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
    QByteArray reply;
    QObject::connect(&client, &QTcpSocket::readyRead, [&] { reply += client.readAll(); });
    QSignalSpy closed(&client, &QTcpSocket::disconnected);
    QVERIFY(closed.wait(5000));
    const qsizetype split = reply.indexOf("\r\n\r\n");
    QVERIFY(split > 0);
    QVERIFY(reply.startsWith("HTTP/1.1 200 OK"));
    QVERIFY(reply.left(split).contains("Last-Modified: "));
    QCOMPARE(reply.mid(split + 4), body);
}

QTEST_GUILESS_MAIN(TestServers)
#include "test_testservers.moc"
