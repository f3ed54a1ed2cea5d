// SPDX-License-Identifier: GPL-3.0-or-later
// Transfers that break where no length tells how much is missing: inside the reply
// header, inside a chunked body, or in a body that ends at the server's close. A broken
// one is asked for again while tries are left, and is never complete with bytes missing.
#include "engine/HttpFiles.h"
#include "support/ScriptedServer.h"
#include "support/SlotRecorder.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSlotBrokenTransfers : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void brokenHeaderIsAskedAgain_data();
    void brokenHeaderIsAskedAgain();
    void brokenChunkedBodyIsAskedAgain_data();
    void brokenChunkedBodyIsAskedAgain();
    void closeDelimitedBodyEndsOnlyAtTheClose_data();
    void closeDelimitedBodyEndsOnlyAtTheClose();
    void brokenWithoutTriesLeftIsNeverComplete_data();
    void brokenWithoutTriesLeftIsNeverComplete();
};

namespace {

enum class Break
{
    Close,
    Reset,
    Stall
};

// The first bytes of a reply, then the break.
ServerScript broken(const QByteArray& prefix, Break how)
{
    ServerScript script;
    script.expectRequest().send(prefix).pause(20);
    if (how == Break::Close)
        script.close();
    else if (how == Break::Reset)
        script.reset();
    else
        script.hold();
    return script;
}

struct Run
{
    QTemporaryDir dir;
    HttpFiles slot;
    SlotRecorder rec{&slot};
    Run()
    {
        SlotRecorder::makeQuick(&slot);
        slot.setConnectTimeout(10); // a stall ends after 100 ms at this tick
    }
    QString file() const { return dir.filePath(QStringLiteral("f.bin")); }
};

QByteArray body()
{
    QByteArray data;
    for (int i = 0; i < 3000; ++i)
        data += char('a' + i % 26);
    return data;
}

QByteArray chunked(const QByteArray& data)
{
    QByteArray out;
    for (qsizetype i = 0; i < data.size(); i += 700) {
        const QByteArray piece = data.mid(i, 700);
        out += QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n";
    }
    return out + "0\r\n\r\n";
}

void addBreaks()
{
    QTest::addColumn<int>("how");
    QTest::newRow("closed") << int(Break::Close);
    QTest::newRow("reset") << int(Break::Reset);
    QTest::newRow("stalled") << int(Break::Stall);
}

} // namespace

void TestSlotBrokenTransfers::brokenHeaderIsAskedAgain_data()
{
    addBreaks();
}

void TestSlotBrokenTransfers::brokenHeaderIsAskedAgain()
{
    QFETCH(int, how);
    const QByteArray reply = "HTTP/1.0 200 OK\r\nContent-Length: 3000\r\n\r\n" + body();
    ScriptedServer server;
    server.addConnection(broken(reply.left(20), Break(how)));
    server.addConnection(ServerScript::reply(reply));
    Run run;
    run.slot.GetRemoteFile(server.url(QStringLiteral("/h.bin")), run.file(), 0, 0);
    WAIT_ENDED(run.rec, 15000);
    QVERIFY2(run.rec.milestones().contains(QStringLiteral("DownloadComplete")),
             qPrintable(run.rec.events.join(u' ')));
    QCOMPARE(run.slot.Try(), 2);
    QCOMPARE(readAll(run.file()), body());
}

void TestSlotBrokenTransfers::brokenChunkedBodyIsAskedAgain_data()
{
    addBreaks();
}

void TestSlotBrokenTransfers::brokenChunkedBodyIsAskedAgain()
{
    // The second reply ignores the range and sends the whole body again: it must replace
    // what the first left on disk, not follow it.
    QFETCH(int, how);
    const QByteArray reply =
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + chunked(body());
    ScriptedServer server;
    server.addConnection(broken(reply.left(reply.size() / 2), Break(how)));
    server.addConnection(ServerScript::reply(reply));
    Run run;
    run.slot.setProtocol(1);
    run.slot.GetRemoteFile(server.url(QStringLiteral("/c.bin")), run.file(), 0, 0);
    WAIT_ENDED(run.rec, 15000);
    QVERIFY2(run.rec.milestones().contains(QStringLiteral("DownloadComplete")),
             qPrintable(run.rec.events.join(u' ')));
    QCOMPARE(run.slot.Try(), 2);
    QVERIFY(server.requests().value(1).contains("Range: bytes="));
    QCOMPARE(readAll(run.file()), body());
}

void TestSlotBrokenTransfers::closeDelimitedBodyEndsOnlyAtTheClose_data()
{
    // RFC 9112 §6.3: without a length the server's close ends the body; a reply timeout
    // does not. (A reset reads like the close through the socket, so it cannot be told.)
    QTest::addColumn<int>("how");
    QTest::newRow("stalled") << int(Break::Stall);
}

void TestSlotBrokenTransfers::closeDelimitedBodyEndsOnlyAtTheClose()
{
    QFETCH(int, how);
    const QByteArray reply = "HTTP/1.0 200 OK\r\nConnection: close\r\n\r\n" + body();
    ScriptedServer server;
    server.addConnection(broken(reply.left(reply.size() / 2), Break(how)));
    server.addConnection(ServerScript::reply(reply));
    Run run;
    run.slot.GetRemoteFile(server.url(QStringLiteral("/u.bin")), run.file(), 0, 0);
    WAIT_ENDED(run.rec, 15000);
    QVERIFY2(run.rec.milestones().contains(QStringLiteral("DownloadComplete")),
             qPrintable(run.rec.events.join(u' ')));
    QCOMPARE(run.slot.Try(), 2);
    QCOMPARE(readAll(run.file()), body());
}

void TestSlotBrokenTransfers::brokenWithoutTriesLeftIsNeverComplete_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("how");
    const QByteArray closeDelimited = "HTTP/1.0 200 OK\r\n\r\n" + body();
    const QByteArray chunkedReply =
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + chunked(body());
    QTest::newRow("header stalled") << closeDelimited.left(12) << int(Break::Stall);
    QTest::newRow("close-delimited stalled") << closeDelimited.left(900) << int(Break::Stall);
    QTest::newRow("chunked closed") << chunkedReply.left(900) << int(Break::Close);
}

void TestSlotBrokenTransfers::brokenWithoutTriesLeftIsNeverComplete()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, how);
    ScriptedServer server;
    server.addConnection(broken(reply, Break(how)));
    Run run;
    run.slot.setMaxTry(1);
    run.slot.GetRemoteFile(server.url(QStringLiteral("/n.bin")), run.file(), 0, 0);
    WAIT_ENDED(run.rec, 15000);
    QVERIFY2(!run.rec.milestones().contains(QStringLiteral("DownloadComplete")),
             qPrintable(run.rec.events.join(u' ')));
    QVERIFY(run.slot.DownloadStatus() != 1);
    QCOMPARE(run.slot.Try(), 1);
}

QTEST_GUILESS_MAIN(TestSlotBrokenTransfers)
#include "test_slot_broken_transfers.moc"
