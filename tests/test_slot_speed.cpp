// SPDX-License-Identifier: GPL-3.0-or-later
// The two speed options of a download slot: connecting at once instead of after the start
// delay, and keeping a cleanly ended connection for the next job to the same server. A
// kept connection is used only when no byte of the old reply can be read as the new one.
#include "engine/HttpFiles.h"
#include "platform/StreamSocket.h"
#include "support/NginxFixture.h"
#include "support/ScriptedServer.h"
#include "support/SlotRecorder.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestSlotSpeed : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void reusedOnlyAfterACleanEnd_data();
    void reusedOnlyAfterACleanEnd();
    void keptConnectionEnds_data();
    void keptConnectionEnds();
    void keptForTheSameServerOnly(); // and the folder made again
};

namespace {

QByteArray lengthReply(const QByteArray& data, const QByteArray& extra = {})
{
    return "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(data.size()) + "\r\n" +
           extra + "\r\n" + data;
}

QByteArray chunkedReply(const QByteArray& data)
{
    QByteArray out = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (qsizetype i = 0; i < data.size(); i += 400)
        out += QByteArray::number(data.mid(i, 400).size(), 16) + "\r\n" + data.mid(i, 400) + "\r\n";
    return out + "0\r\nX-Trailer: 1\r\n\r\n";
}

// A quick slot with both options, asking for HTTP/1.1 with keep-alive.
struct Run
{
    QTemporaryDir dir;
    HttpFiles slot;
    SlotRecorder rec{&slot};
    explicit Run(bool reuse = true)
    {
        SlotRecorder::makeQuick(&slot);
        slot.setProtocol(1);
        slot.setConnectAtOnce(true);
        slot.setReuseConnections(reuse);
    }
    QString file(int n) const { return dir.filePath(QStringLiteral("f%1.bin").arg(n)); }
    // Starts a job and waits for its Disconnected.
    bool fetch(const QString& url, int n, const QString& local = {})
    {
        const int before = rec.count("Disconnected");
        slot.GetRemoteFile(url, local.isEmpty() ? file(n) : local, 0, 1);
        return QTest::qWaitFor([&] { return rec.count("Disconnected") > before; }, 10000);
    }
};

} // namespace

void TestSlotSpeed::reusedOnlyAfterACleanEnd_data()
{
    QTest::addColumn<QByteArray>("first"); // the first reply, sent in pieces of 700 bytes
    QTest::addColumn<int>("protocol");
    QTest::addColumn<bool>("option");
    QTest::addColumn<bool>("reused");
    const QByteArray data = NginxFixture::randomBytes(3000, 3);
    const QByteArray partial = "HTTP/1.1 206 P\r\nContent-Range: bytes 0-3/10\r\n"
                               "Content-Length: 4\r\n\r\nabcd";
    // clang-format off
    QTest::newRow("length") << lengthReply(data) << 1 << true << true;
    QTest::newRow("chunked with trailer") << chunkedReply(data) << 1 << true << true;
    QTest::newRow("empty body") << lengthReply({}) << 1 << true << true;
    QTest::newRow("HTTP/1.0 keep-alive") << "HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 4\r\n\r\nabcd" + QByteArray() << 1 << true << true;
    QTest::newRow("Connection: close") << lengthReply(data, "Connection: close\r\n") << 1 << true << false;
    QTest::newRow("bytes after the length") << lengthReply(data) + "HTTP/1.1 200 OK\r\n" << 1 << true << false;
    QTest::newRow("bytes after the last chunk") << chunkedReply(data) + "junk" << 1 << true << false;
    QTest::newRow("last chunk without its blank line") << chunkedReply(data).chopped(2) << 1 << true << false;
    QTest::newRow("error with a body") << "HTTP/1.1 404 No\r\nContent-Length: 3\r\n\r\nno!" + QByteArray() << 1 << true << false;
    QTest::newRow("range short of the file") << partial << 1 << true << false;
    QTest::newRow("option off") << lengthReply(data) << 1 << false << false;
    QTest::newRow("HTTP/1.0 request") << lengthReply(data) << 0 << true << false;
    // clang-format on
}

void TestSlotSpeed::reusedOnlyAfterACleanEnd()
{
    QFETCH(QByteArray, first);
    QFETCH(int, protocol);
    QFETCH(bool, option);
    QFETCH(bool, reused);
    const QByteArray second = NginxFixture::randomBytes(5000, 4);
    ScriptedServer server;
    // The first connection answers a second request too: a slot that wrongly reused it
    // would be caught by the count of connections.
    server.addConnection(ServerScript()
                             .expectRequest()
                             .sendSplit(first, 700, 5)
                             .expectRequest()
                             .send(lengthReply(second))
                             .hold());
    server.addConnection(ServerScript::reply(lengthReply(second)));
    Run run(option);
    run.slot.setTickInterval(60000); // connecting at once, nothing waits for a tick
    run.slot.setProtocol(protocol);
    run.slot.setMaxTry(1);
    QVERIFY(run.fetch(server.url("/one.bin"), 1));
    QCOMPARE(run.slot.KeepsIdleConnection(), reused);
    QCOMPARE(run.slot.State() == StreamSocket::ConnectedState, reused);
    QVERIFY(run.fetch(server.url("/two.bin"), 2));
    QCOMPARE(server.connectionCount(), reused ? 1 : 2);
    QVERIFY(run.rec.milestones().join(u' ').endsWith("DownloadComplete Disconnected"));
    QCOMPARE(run.slot.Try(), 1);
    QCOMPARE(readAll(run.file(2)), second);
}

void TestSlotSpeed::keptConnectionEnds_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("closed as the next request comes") << 0;
    QTest::newRow("reset as the next request comes") << 1;
    QTest::newRow("closed while idle") << 2;
    QTest::newRow("idle for 15 ticks") << 3;
}

void TestSlotSpeed::keptConnectionEnds()
{
    // A request the server drops that way goes again on a new connection, and is no try
    // (with one try only the job would fail otherwise); an idle one goes silently.
    QFETCH(int, how);
    ScriptedServer server;
    ServerScript first;
    first.expectRequest().send(lengthReply("abc"));
    how < 2 ? first.expectRequest() : first.pause(50);
    server.addConnection(how == 1 ? first.reset() : how == 3 ? first.hold() : first.close());
    server.addConnection(ServerScript::reply(lengthReply("defg")));
    Run run;
    run.slot.setMaxTry(1);
    QVERIFY(run.fetch(server.url("/one.bin"), 1));
    QVERIFY(run.slot.KeepsIdleConnection());
    const qsizetype events = run.rec.events.size();
    if (how >= 2) {
        QTRY_VERIFY_WITH_TIMEOUT(!run.slot.KeepsIdleConnection(), 5000);
        QCOMPARE(run.slot.State(), int(StreamSocket::Closed));
        QCOMPARE(run.rec.events.size(), events);
    }
    QVERIFY(run.fetch(server.url("/two.bin"), 2));
    QCOMPARE(server.connectionCount(), 2);
    QCOMPARE(server.requests().size(), how < 2 ? 3 : 2);
    QCOMPARE(run.rec.milestones().join(u' '), "Connected HeaderCame DownloadComplete Disconnected "
                                              "Connected HeaderCame DownloadComplete Disconnected");
    QCOMPARE(run.slot.Try(), 1);
    QCOMPARE(readAll(run.file(2)), "defg");
}

void TestSlotSpeed::keptForTheSameServerOnly()
{
    ScriptedServer a, b;
    a.addConnection(ServerScript()
                        .expectRequest()
                        .send(lengthReply("abc"))
                        .expectRequest()
                        .send(lengthReply("xyz"))
                        .hold());
    b.addConnection(ServerScript().expectRequest().send(lengthReply("defg")).hold());
    Run run;
    run.slot.setTickInterval(1000); // the kept connection outlives this test's waits
    // The manager ends each job from its Disconnected handler.
    connect(&run.slot, &HttpFiles::Disconnected, &run.slot, [&] { run.slot.EndJob(); });
    const QString folder = run.dir.filePath("sub/deeper/");
    QVERIFY(run.fetch(a.url("/one.bin"), 1, folder + "1.bin"));
    QCOMPARE(run.slot.DownloadStatus(), 0);
    QVERIFY(run.slot.KeepsIdleConnection());
    // The slot made the folder for its last job; it must not take it for granted.
    QVERIFY(QDir(run.dir.filePath("sub")).removeRecursively());
    QVERIFY(run.fetch(a.url("/two.bin"), 2, folder + "2.bin"));
    QCOMPARE(readAll(folder + "2.bin"), "xyz");
    QCOMPARE(a.connectionCount(), 1);
    // Same host, other port: a connection of its own.
    QVERIFY(run.fetch(b.url("/three.bin"), 3));
    QCOMPARE(b.connectionCount(), 1);
    QCOMPARE(readAll(run.file(3)), "defg");
    run.slot.BeIdeal();
    QVERIFY(!run.slot.KeepsIdleConnection());
    QCOMPARE(run.slot.State(), int(StreamSocket::Closed));
}

QTEST_GUILESS_MAIN(TestSlotSpeed)
#include "test_slot_speed.moc"
