// SPDX-License-Identifier: GPL-3.0-or-later
// The two loopback servers that the protocol tests stand on.
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

QTEST_GUILESS_MAIN(TestServers)
#include "test_testservers.moc"
