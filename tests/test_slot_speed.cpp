// SPDX-License-Identifier: GPL-3.0-or-later
// The two speed options of a download slot: connecting at once instead of after the start
// delay, and keeping a cleanly ended connection for the next job to the same server. A
// kept connection is used only when no byte of the old reply can be read as the new one.
#include "engine/HttpFiles.h"
#include "platform/StreamSocket.h"
#include "support/ScriptedServer.h"
#include "support/SlotRecorder.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSlotSpeed : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void connectAtOnceSkipsTheStartDelay();
    void cleanRepliesShareOneConnection_data();
    void cleanRepliesShareOneConnection();
    void doubtfulEndsAreNotReused_data();
    void doubtfulEndsAreNotReused();
    void requestClosedOnKeptConnectionIsSentAgainWithoutATry_data();
    void requestClosedOnKeptConnectionIsSentAgainWithoutATry();
    void keptConnectionClosedWhileIdleIsDropped();
    void idleKeptConnectionClosesAfterItsTicks();
    void endJobKeepsAndBeIdealCloses();
    void otherServerGetsANewConnection();
    void folderRemovedBetweenJobsIsMadeAgain();
    void bodiesOfManyReadsArriveWhole_data();
    void bodiesOfManyReadsArriveWhole();
};

namespace {

QByteArray body(char seed, int size)
{
    QByteArray data;
    for (int i = 0; i < size; ++i)
        data += char(seed + i % 23);
    return data;
}

QByteArray lengthReply(const QByteArray& data, const QByteArray& extra = {})
{
    return "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(data.size()) + "\r\n" +
           extra + "\r\n" + data;
}

QByteArray chunkedReply(const QByteArray& data)
{
    QByteArray out = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (qsizetype i = 0; i < data.size(); i += 400) {
        const QByteArray piece = data.mid(i, 400);
        out += QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n";
    }
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
    bool fetch(const QString& url, int n)
    {
        const int before = rec.count(QStringLiteral("Disconnected"));
        slot.GetRemoteFile(url, file(n), 0, 1);
        return QTest::qWaitFor([&] { return rec.count(QStringLiteral("Disconnected")) > before; },
                               10000);
    }
};

} // namespace

void TestSlotSpeed::connectAtOnceSkipsTheStartDelay()
{
    // With a one-minute tick the job can only finish if nothing waits for a tick.
    ScriptedServer server;
    server.addConnection(ServerScript::reply(lengthReply("abc")));
    Run run;
    run.slot.setTickInterval(60000);
    QVERIFY(run.fetch(server.url(QStringLiteral("/a.bin")), 1));
    QCOMPARE(run.rec.count(QStringLiteral("WaitingRetry")), 0);
    QCOMPARE(run.rec.milestones(),
             QStringList({"Connected", "HeaderCame", "DownloadComplete", "Disconnected"}));
    QCOMPARE(readAll(run.file(1)), QByteArray("abc"));
}

void TestSlotSpeed::cleanRepliesShareOneConnection_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("firstBody");
    const QByteArray data = body('a', 3000);
    QTest::newRow("length") << lengthReply(data) << data;
    QTest::newRow("chunked with trailer") << chunkedReply(data) << data;
    QTest::newRow("empty body") << lengthReply({}) << QByteArray();
    QTest::newRow("HTTP/1.0 keep-alive")
        << QByteArray("HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 4\r\n\r\nabcd")
        << QByteArray("abcd");
}

void TestSlotSpeed::cleanRepliesShareOneConnection()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, firstBody);
    const QByteArray second = body('A', 5000);
    ScriptedServer server;
    // The first reply comes in pieces, so its end is found across packets.
    server.addConnection(ServerScript()
                             .expectRequest()
                             .sendSplit(first, 700, 5)
                             .expectRequest()
                             .send(lengthReply(second))
                             .hold());
    Run run;
    QVERIFY(run.fetch(server.url(QStringLiteral("/one.bin")), 1));
    QVERIFY(run.slot.KeepsIdleConnection());
    QCOMPARE(run.slot.State(), int(StreamSocket::ConnectedState));
    QVERIFY(run.fetch(server.url(QStringLiteral("/two.bin")), 2));

    QCOMPARE(server.connectionCount(), 1);
    const QList<QByteArray> requests = server.requests();
    QCOMPARE(requests.size(), 2);
    QVERIFY(requests.at(1).startsWith("GET /two.bin HTTP/1.1\r\n"));
    QVERIFY(requests.at(1).contains("Range: bytes=0-\r\n"));
    QCOMPARE(run.rec.count(QStringLiteral("DownloadComplete")), 2);
    // One connection, one Connected; the second request tried once.
    QCOMPARE(run.rec.count(QStringLiteral("Connected")), 1);
    QCOMPARE(run.slot.Try(), 1);
    QCOMPARE(readAll(run.file(1)), firstBody);
    QCOMPARE(readAll(run.file(2)), second);
}

void TestSlotSpeed::doubtfulEndsAreNotReused_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<int>("protocol");
    QTest::addColumn<bool>("reuse");
    const QByteArray data = body('a', 1000);
    QTest::newRow("Connection: close")
        << lengthReply(data, "Connection: Keep-Alive, close\r\n") << 1 << true;
    QTest::newRow("HTTP/1.0 reply")
        << ("HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\n" + data) << 1 << true;
    QTest::newRow("bytes after the length") << lengthReply(data) + "HTTP/1.1 200 OK\r\n"
                                            << 1 << true;
    QTest::newRow("bytes after the last chunk") << chunkedReply(data) + "junk" << 1 << true;
    QTest::newRow("last chunk without its blank line")
        << chunkedReply(data).chopped(2) << 1 << true;
    QTest::newRow("error reply with a body")
        << QByteArray("HTTP/1.1 404 Not Found\r\nContent-Length: 3\r\n\r\nno!") << 1 << true;
    QTest::newRow("partial range")
        << QByteArray("HTTP/1.1 206 Partial\r\nContent-Range: bytes 0-3/10\r\n"
                      "Content-Length: 4\r\n\r\nabcd")
        << 1 << true;
    QTest::newRow("option off") << lengthReply(data) << 1 << false;
    QTest::newRow("HTTP/1.0 request") << lengthReply(data) << 0 << true;
}

void TestSlotSpeed::doubtfulEndsAreNotReused()
{
    QFETCH(QByteArray, first);
    QFETCH(int, protocol);
    QFETCH(bool, reuse);
    const QByteArray second = body('A', 2000);
    ScriptedServer server;
    // The first connection stays open and answers nothing more: a slot that reused it
    // would wait there and never complete the second job.
    server.addConnection(ServerScript().expectRequest().send(first).hold());
    server.addConnection(ServerScript::reply(lengthReply(second)));
    Run run(reuse);
    run.slot.setProtocol(protocol);
    run.slot.setMaxTry(1);
    run.slot.setConnectTimeout(10000);
    QVERIFY(run.fetch(server.url(QStringLiteral("/one.bin")), 1));
    QVERIFY(!run.slot.KeepsIdleConnection());
    QVERIFY(run.fetch(server.url(QStringLiteral("/two.bin")), 2));
    QCOMPARE(server.connectionCount(), 2);
    QCOMPARE(server.requests().size(), 2);
    const QStringList last = run.rec.milestones().mid(run.rec.milestones().size() - 4);
    QCOMPARE(last, QStringList({"Connected", "HeaderCame", "DownloadComplete", "Disconnected"}));
    QCOMPARE(readAll(run.file(2)), second);
}

void TestSlotSpeed::requestClosedOnKeptConnectionIsSentAgainWithoutATry_data()
{
    QTest::addColumn<bool>("reset");
    QTest::newRow("closed") << false;
    QTest::newRow("reset") << true;
}

void TestSlotSpeed::requestClosedOnKeptConnectionIsSentAgainWithoutATry()
{
    QFETCH(bool, reset);
    const QByteArray second = body('A', 2000);
    ScriptedServer server;
    ServerScript first;
    first.expectRequest().send(lengthReply("abc")).expectRequest();
    if (reset)
        first.reset();
    else
        first.close();
    server.addConnection(first);
    server.addConnection(ServerScript::reply(lengthReply(second)));
    Run run;
    // One try only: a lost request that counted would end the job with SocketClosed.
    run.slot.setMaxTry(1);
    QVERIFY(run.fetch(server.url(QStringLiteral("/one.bin")), 1));
    QVERIFY(run.fetch(server.url(QStringLiteral("/two.bin")), 2));
    QCOMPARE(server.connectionCount(), 2);
    QCOMPARE(server.requests().size(), 3);
    QCOMPARE(server.requests().at(1), server.requests().at(2));
    QCOMPARE(run.rec.count(QStringLiteral("SocketClosed")), 0);
    QCOMPARE(run.rec.count(QStringLiteral("Retrying")), 0);
    QCOMPARE(run.rec.count(QStringLiteral("DownloadComplete")), 2);
    QCOMPARE(run.slot.Try(), 1);
    QCOMPARE(readAll(run.file(2)), second);
}

void TestSlotSpeed::keptConnectionClosedWhileIdleIsDropped()
{
    ScriptedServer server;
    server.addConnection(ServerScript::reply(lengthReply("abc")));
    server.addConnection(ServerScript::reply(lengthReply("defg")));
    Run run;
    run.slot.setMaxTry(1);
    QVERIFY(run.fetch(server.url(QStringLiteral("/one.bin")), 1));
    // The server's close reaches the idle slot, which lets the connection go.
    QTRY_VERIFY_WITH_TIMEOUT(!run.slot.KeepsIdleConnection(), 5000);
    QCOMPARE(run.slot.State(), int(StreamSocket::Closed));
    QVERIFY(run.fetch(server.url(QStringLiteral("/two.bin")), 2));
    QCOMPARE(server.connectionCount(), 2);
    QCOMPARE(readAll(run.file(2)), QByteArray("defg"));
}

void TestSlotSpeed::idleKeptConnectionClosesAfterItsTicks()
{
    ScriptedServer server;
    server.addConnection(ServerScript().expectRequest().send(lengthReply("abc")).hold());
    Run run;
    QVERIFY(run.fetch(server.url(QStringLiteral("/one.bin")), 1));
    QVERIFY(run.slot.KeepsIdleConnection());
    const int eventsBefore = run.rec.events.size();
    // Fifteen ticks of 10 ms; nothing is raised when it goes.
    QTRY_VERIFY_WITH_TIMEOUT(!run.slot.KeepsIdleConnection(), 5000);
    QCOMPARE(run.slot.State(), int(StreamSocket::Closed));
    QCOMPARE(run.rec.events.size(), eventsBefore);
}

void TestSlotSpeed::endJobKeepsAndBeIdealCloses()
{
    ScriptedServer server;
    server.addConnection(ServerScript()
                             .expectRequest()
                             .send(lengthReply("abc"))
                             .expectRequest()
                             .send(lengthReply("xyz"))
                             .hold());
    Run run;
    run.slot.setTickInterval(1000); // the kept connection outlives this test's waits
    bool endedInHandler = false;
    // The manager ends each job from its Disconnected handler.
    connect(&run.slot, &HttpFiles::Disconnected, &run.slot, [&] {
        run.slot.EndJob();
        endedInHandler = true;
    });
    QVERIFY(run.fetch(server.url(QStringLiteral("/one.bin")), 1));
    QVERIFY(endedInHandler);
    QCOMPARE(run.slot.DownloadStatus(), 0);
    QVERIFY(run.slot.KeepsIdleConnection());
    QVERIFY(run.fetch(server.url(QStringLiteral("/two.bin")), 2));
    QCOMPARE(server.connectionCount(), 1);
    QVERIFY(run.slot.KeepsIdleConnection());
    run.slot.BeIdeal();
    QVERIFY(!run.slot.KeepsIdleConnection());
    QCOMPARE(run.slot.State(), int(StreamSocket::Closed));
}

void TestSlotSpeed::otherServerGetsANewConnection()
{
    ScriptedServer a, b;
    a.addConnection(ServerScript().expectRequest().send(lengthReply("abc")).hold());
    b.addConnection(ServerScript::reply(lengthReply("defg")));
    Run run;
    QVERIFY(run.fetch(a.url(QStringLiteral("/one.bin")), 1));
    QVERIFY(run.slot.KeepsIdleConnection());
    // Same host, other port: never the kept connection.
    QVERIFY(run.fetch(b.url(QStringLiteral("/two.bin")), 2));
    QCOMPARE(b.connectionCount(), 1);
    QCOMPARE(a.requests().size(), 1);
    QCOMPARE(readAll(run.file(2)), QByteArray("defg"));
}

void TestSlotSpeed::folderRemovedBetweenJobsIsMadeAgain()
{
    ScriptedServer server;
    server.addConnection(ServerScript()
                             .expectRequest()
                             .send(lengthReply("abc"))
                             .expectRequest()
                             .send(lengthReply("defg"))
                             .hold());
    Run run;
    const QString folder = run.dir.filePath(QStringLiteral("sub/deeper"));
    run.slot.GetRemoteFile(server.url(QStringLiteral("/one.bin")), folder + "/1.bin", 0, 1);
    WAIT_ENDED(run.rec, 10000);
    QVERIFY(QDir(run.dir.filePath(QStringLiteral("sub"))).removeRecursively());
    // The slot made this folder for its last job; it must not take it for granted.
    run.rec.events.clear();
    run.slot.GetRemoteFile(server.url(QStringLiteral("/two.bin")), folder + "/2.bin", 0, 1);
    WAIT_ENDED(run.rec, 10000);
    QCOMPARE(run.rec.count(QStringLiteral("DownloadComplete")), 1);
    QCOMPARE(readAll(folder + "/2.bin"), QByteArray("defg"));
}

void TestSlotSpeed::bodiesOfManyReadsArriveWhole_data()
{
    // Sent in one burst and closed at once: the socket reads a bounded amount at a time,
    // and the bytes still waiting at the close must all come before it.
    const QByteArray data = body('0', 3 * 1024 * 1024 + 17);
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("length") << lengthReply(data) << data;
    QTest::newRow("until the close") << "HTTP/1.0 200 OK\r\n\r\n" + data << data;
    QTest::newRow("chunked") << chunkedReply(data) << data;
}

void TestSlotSpeed::bodiesOfManyReadsArriveWhole()
{
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, expected);
    ScriptedServer server;
    server.addConnection(ServerScript::reply(reply));
    Run run;
    run.slot.setMaxTry(1);
    QVERIFY(run.fetch(server.url(QStringLiteral("/big.bin")), 1));
    QCOMPARE(run.rec.milestones(),
             QStringList({"Connected", "HeaderCame", "DownloadComplete", "Disconnected"}));
    QVERIFY(readAll(run.file(1)) == expected);
}

QTEST_GUILESS_MAIN(TestSlotSpeed)
#include "test_slot_speed.moc"
