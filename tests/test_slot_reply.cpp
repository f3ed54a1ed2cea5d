// SPDX-License-Identifier: GPL-3.0-or-later
// A slot against a scripted loopback server: event order, retries, redirections, replies
// cut, stalled or hostile, what is left on disk, and connections kept for the next job.
// The rules behind each verdict are tabled in test_reply_rules; here the bytes go over
// real sockets.
#include "engine/HttpFiles.h"
#include "platform/StreamSocket.h"
#include "support/NginxFixture.h"
#include "support/ScriptedServer.h"
#include "support/SlotRecorder.h"
#include "support/TestFiles.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestSlotReply : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void scripted_data();
    void scripted();
    void eventsOfAWholeDownload();
    void retryWaitCountsDownUntilHalted();
    void reuse_data();
    void reuse();
    void keptForTheSameServerOnly(); // and the folder made again
};

namespace {

// One slot with a quick tick (a silence of 20 ticks ends a transfer), its event record and
// a folder for its file.
struct Run
{
    QTemporaryDir dir;
    HttpFiles slot;
    SlotRecorder rec{&slot};
    Run()
    {
        SlotRecorder::makeQuick(&slot);
        slot.setConnectTimeout(20);
    }
    QString file() const { return dir.filePath("f.bin"); }
    // Starts a job and waits for its Disconnected.
    bool fetch(const QString& url, const QString& local)
    {
        const int before = rec.events.count("Disconnected");
        slot.GetRemoteFile(url, local, 0, 1);
        return QTest::qWaitFor([&] { return rec.events.count("Disconnected") > before; }, 10000);
    }
};

enum End
{
    Close,
    Reset,
    Stall // the connection stays open and silent
};

// What one accepted connection sends after the request: in pieces of `piece` bytes 5 ms
// apart when piece > 0, then its end.
struct Conn
{
    QByteArray bytes;
    End end = Close;
    int piece = 0;
};

struct Case
{
    const char* name;
    QList<Conn> conns; // none: a port where nothing listens
    QByteArray onDisk; // the file before (resumed from its end); null: no file
    int maxTry;
    const char* milestones;      // how the slot's milestones end
    QByteArray file;             // the file after; "<missing>" for none, null: not looked at
    const char* request = "";    // part of the last request
    const char* error = "";      // part of an Error description
    const char* path = "/f.bin"; // or a whole URL
    const char* local = "f.bin"; // below the test folder, or absolute
    int protocol = 0;
    bool redirection = true;
    int meter = -1; // the meter at the end; -1: not looked at
};

QByteArray ok(const QByteArray& body, const QByteArray& extra = {})
{
    return "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" +
           extra + "\r\n" + body;
}

QByteArray part(const QByteArray& data, qsizetype from)
{
    return "HTTP/1.0 206 P\r\nContent-Range: bytes " + QByteArray::number(from) + "-" +
           QByteArray::number(data.size() - 1) + "/" + QByteArray::number(data.size()) +
           "\r\n\r\n" + data.mid(from);
}

QByteArray chunked(const QByteArray& data)
{
    QByteArray out = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (qsizetype i = 0; i < data.size(); i += 700)
        out += QByteArray::number(qMin<qsizetype>(700, data.size() - i), 16) + "\r\n" +
               data.mid(i, 700) + "\r\n";
    return out + "0\r\nX-Trailer: 1\r\n\r\n";
}

QByteArray moved(const char* location)
{
    return "HTTP/1.1 302 Found\r\nLocation: " + QByteArray(location) + "\r\n\r\n";
}

const QList<Case>& cases()
{
    static const QList<Case> list = [] {
        const QByteArray d = NginxFixture::randomBytes(3000, 1);
        const QByteArray big = NginxFixture::randomBytes(3 * 1024 * 1024 + 17, 2);
        const QByteArray toClose = "HTTP/1.0 200 OK\r\n\r\n" + d, chunks = chunked(d);
        const QByteArray tiny =
            "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
            "1a;x=1\r\nabcdefghijklmnopqrstuvwxyz\r\n5\r\n01234\r\n0\r\nT: t\r\n\r\n";
        const char* whole = "Connected HeaderCame DownloadComplete Disconnected";
        const char* retried = "Retrying Connected HeaderCame DownloadComplete Disconnected";
        const char* refused = "Error:0 DownloadFailed Disconnected";
        const char* const f = "/f.bin";
        // clang-format off
        return QList<Case>{
            {"header in 3-byte pieces, kept alive", {{"HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nbody", Stall, 3}},
             {}, 1, whole, "body", "GET /f.bin HTTP/1.1\r\nHost: 127.0.0.1\r\n", "", f, "f.bin", 1},
            {"cut by a close, resumed", {{ok(d).chopped(2000)}, {part(d, 1000)}}, {}, 6, retried, d, "Range: bytes=1000-"},
            {"header cut, asked again", {{ok(d).left(20)}, {ok(d)}}, {}, 6, "Connected Retrying Connected HeaderCame DownloadComplete Disconnected", d},
            {"chunks cut by a reset, sent whole", {{chunks.left(1500), Reset}, {chunks}}, {}, 6, retried, d, "Range: bytes=", "", f, "f.bin", 1},
            {"chunks cut, no tries left", {{chunks.left(900)}}, {}, 1, "HeaderCame SocketClosed Disconnected", {}},
            {"length cut, then chunks: no length, meter from 0", {{ok(d).chopped(2000)}, {chunks}}, {}, 6, retried, d, "", "",
             f, "f.bin", 1, true, 0},
            {"chunked in 7-byte pieces", {{tiny, Close, 7}}, {}, 1, whole, "abcdefghijklmnopqrstuvwxyz01234"},
            {"until the close", {{toClose}}, {}, 1, whole, d},
            {"until the close, stalled", {{toClose.left(1000), Stall}, {toClose}}, {}, 6, retried, d},
            {"3 MB until the close", {{"HTTP/1.0 200 OK\r\n\r\n" + big}}, {}, 1, whole, big},
            {"stalled twice, resumed", {{{}, Stall}, {ok(d).chopped(2900), Stall}, {part(d, 100)}}, {}, 6,
             "Connected Connected HeaderCame Retrying Connected HeaderCame DownloadComplete Disconnected", d, "Range: bytes=100-"},
            {"relative redirection", {{moved("real.bin")}, {ok("the real file")}}, {}, 6,
             "HeaderCame Error:302 Redirected:real.bin Connected HeaderCame DownloadComplete Disconnected",
             "the real file", "GET /dir/real.bin HTTP/1.0\r\n", "", "/dir/start.bin"},
            {"redirection announced, not followed", {{moved("/b")}}, {}, 6,
             "Error:302 Redirected:/b DownloadFailed Disconnected", "<missing>", "", "", f, "f.bin", 0, false},
            {"too many redirections", QList<Conn>(11, {moved("/loop")}), {}, 6,
             "Redirected:/loop Connected HeaderCame Error:302 Error:0 DownloadFailed Disconnected", "<missing>", "", "Too many redirections"},
            {"redirected to a shorter file", {{moved("/new.bin")}, {ok(d)}}, QByteArray(5000, 'o'), 1, whole, d, "Range: bytes=0-"},
            {"redirected, 416 of an empty file", {{moved("/new.bin")}, {"HTTP/1.1 416 R\r\nContent-Range: bytes */0\r\n\r\n"}},
             "old", 1, "Error:416 Error:0 DownloadFailed Disconnected", "old"},
            {"404 never reaches the file", {{"HTTP/1.1 404 Bad\r\nContent-Length: 9\r\n\r\nerrorpage"}}, "HELLO", 6,
             "Connected HeaderCame Error:404 DownloadFailed Disconnected", "HELLO", "Range: bytes=5-", "127.0.0.1 [404 Bad]"},
            {"404 leaves no new file", {{"HTTP/1.0 404 Not Found\r\n\r\ngone"}}, {}, 6, "Error:404 DownloadFailed Disconnected", "<missing>"},
            {"404 keeps an earlier empty file", {{"HTTP/1.0 404 Not Found\r\n\r\n"}}, "", 6, "Error:404 DownloadFailed Disconnected", ""},
            {"empty download", {{ok("")}}, {}, 6, whole, ""},
            {"range overlapping the disk", {{"HTTP/1.1 206 P\r\nContent-Range: bytes 2-5/6\r\n\r\nCDEF"}}, "abcd", 1, whole,
             "abCDEF", "Range: bytes=4-"},
            {"more than announced", {{"HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabcdef"}}, {}, 1,
             "HeaderCame DownloadIncomplete Disconnected", "abc"},
            {"header never ends", {{"HTTP/1.0 200 OK\r\n" + QByteArray(70000, 'x')}}, "keep", 1,
             "Connected Error:0 DownloadFailed Disconnected", "keep", "", "did not end within 65536 bytes"},
            {"full disk", {{ok("a small body")}}, {}, 1, "Error:0 DownloadIncomplete Disconnected", {}, "", "/dev/full", f,
             "/dev/full"},
            {"refused, one try", {}, {}, 1, "SocketClosed Disconnected Error:10061", "<missing>"},
            {"refused, three tries", {}, {}, 3, "Error:10061 Error:10061 SocketClosed Disconnected Error:10061", "<missing>",
             "", "refused"},
            {"host not found", {}, {}, 1, "SocketClosed Disconnected Error:11001", "<missing>", "", "", "http://no-such-host.invalid/x"},
            {"unsupported URL", {}, {}, 1, refused, "<missing>", "", "Unsupported URL: ftp://127.0.0.1/x", "ftp://127.0.0.1/x"},
            {"no local file name", {}, {}, 1, refused, {}, "", "No local file name specified!", f, ""},
            {"folder in the way", {}, {}, 1, refused, {}, "", "folder\": ", f, "folder"},
        };
        // clang-format on
    }();
    return list;
}

// Two jobs to one server on a slot with keep-alive and reuse: the second goes on the first
// connection only after a clean end, when no byte of the old reply can be read as the new
// one. After its first reply the first connection answers the next request too (a slot
// that wrongly used it again is caught by the count of connections), or ends: as the next
// request comes (that request is no try and goes again on a new connection), or while idle
// (the slot drops it silently).
enum Then
{
    Answer,
    CloseOnRequest,
    ResetOnRequest,
    CloseIdle,
    Idle // 15 ticks
};

struct Reuse
{
    const char* name;
    QByteArray first; // sent in pieces of 700 bytes
    Then then;
    bool reused;
    int protocol = 1;
    bool option = true;
};

const QList<Reuse>& reuses()
{
    static const QList<Reuse> list = [] {
        const QByteArray d = NginxFixture::randomBytes(3000, 3);
        // clang-format off
        return QList<Reuse>{
            {"length", ok(d), Answer, true},
            {"chunked with trailer", chunked(d), Answer, true},
            {"empty body", ok({}), Answer, true},
            {"HTTP/1.0 keep-alive", "HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 4\r\n\r\nabcd", Answer, true},
            {"Connection: close", ok(d, "Connection: close\r\n"), Answer, false},
            {"bytes after the length", ok(d) + "HTTP/1.1 200 OK\r\n", Answer, false},
            {"bytes after the last chunk", chunked(d) + "junk", Answer, false},
            {"last chunk without its blank line", chunked(d).chopped(2), Answer, false},
            {"error with a body", "HTTP/1.1 404 No\r\nContent-Length: 3\r\n\r\nno!", Answer, false},
            {"range short of the file", "HTTP/1.1 206 P\r\nContent-Range: bytes 0-3/10\r\nContent-Length: 4\r\n\r\nabcd", Answer, false},
            {"option off", ok(d), Answer, false, 1, false},
            {"HTTP/1.0 request", ok(d), Answer, false, 0},
            {"closed as the next request comes", ok("abc"), CloseOnRequest, false},
            {"reset as the next request comes", ok("abc"), ResetOnRequest, false},
            {"closed while idle", ok("abc"), CloseIdle, false},
            {"idle for 15 ticks", ok("abc"), Idle, false},
        };
        // clang-format on
    }();
    return list;
}

// One data row per table row, named after it.
template <typename Row>
void rowsByName(const QList<Row>& rows)
{
    QTest::addColumn<int>("row");
    for (int i = 0; i < rows.size(); ++i)
        QTest::newRow(rows.at(i).name) << i;
}

} // namespace

void TestSlotReply::scripted_data()
{
    rowsByName(cases());
}

void TestSlotReply::scripted()
{
    QFETCH(int, row);
    const Case& c = cases().at(row);
    ScriptedServer server;
    for (const Conn& conn : c.conns) {
        ServerScript script;
        script.expectRequest().sendSplit(conn.bytes, conn.piece ? conn.piece : 1 << 30, 5);
        if (conn.end == Stall)
            script.hold();
        else
            conn.end == Reset ? script.pause(20).reset() : script.pause(20).close();
        server.addConnection(script);
    }
    Run run;
    run.slot.setMaxTry(c.maxTry);
    run.slot.setProtocol(c.protocol);
    run.slot.setRedirection(c.redirection);
    QDir(run.dir.path()).mkdir("folder");
    writeFile(run.dir.filePath("plain"), "x");
    const QString local = *c.local ? QDir(run.dir.path()).filePath(c.local) : QString();
    if (!c.onDisk.isNull())
        writeFile(local, c.onDisk);
    const QString url = QString(c.path).startsWith('/')
                            ? QStringLiteral("http://127.0.0.1:%1%2")
                                  .arg(c.conns.isEmpty() ? unusedLoopbackPort() : server.port())
                                  .arg(c.path)
                            : c.path;
    run.slot.GetRemoteFile(url, local, c.onDisk.size(), 1);
    QVERIFY(run.rec.events.isEmpty()); // everything happens later, in the event loop
    WAIT_ENDED(run.rec, 20000);
    const QString milestones = u' ' + run.rec.milestones().join(u' ');
    QVERIFY2(milestones.endsWith(u' ' + QString(c.milestones)), qPrintable(milestones));
    if (c.meter >= 0)
        QCOMPARE(run.slot.MeterValue(), double(c.meter));
    if (!c.file.isNull())
        QCOMPARE(readAll(local), c.file);
    const QList<QByteArray> requests = server.requests();
    QVERIFY2(requests.value(requests.size() - 1).contains(c.request), requests.value(0).data());
    const QString errors = run.rec.errors().join(u'|');
    QVERIFY2(errors.contains(c.error), qPrintable(errors));
    QVERIFY(QFileInfo(run.dir.filePath("plain")).isFile());
}

void TestSlotReply::eventsOfAWholeDownload()
{
    ScriptedServer server;
    server.addConnection(ServerScript()
                             .expectRequest()
                             .send("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n")
                             .pause(60)
                             .send("01234")
                             .pause(60)
                             .send("56789")
                             .close());
    Run run;
    QVERIFY(run.slot.GetRemoteFile(server.url("/f.bin"), run.file(), 0, 0));
    QCOMPARE(run.slot.DownloadStatus(), -1);
    WAIT_ENDED(run.rec, 10000);
    // The reply wait counts down silent ticks only: never on the tick after a packet.
    const QStringList afterHeader = run.rec.events.mid(run.rec.events.indexOf("HeaderCame"));
    QVERIFY(afterHeader.contains("WaitingForReply:Waiting 18 seconds for reply..."));
    QVERIFY(!afterHeader.contains("WaitingForReply:Waiting 19 seconds for reply..."));
    run.rec.events.removeIf([](const QString& e) { return e.startsWith("WaitingForReply"); });
    QCOMPARE(run.rec.events.join(u' '),
             "WaitingRetry Connected DataArrival HeaderCame DataArrival FileDataArrival:5 "
             "DataArrival FileDataArrival:5 DownloadComplete Disconnected");
    QCOMPARE(readAll(run.file()), "0123456789");
    const HttpFiles& s = run.slot;
    QCOMPARE(
        QList<double>({double(s.DownloadStatus()), double(s.FileSize()), double(s.CurPos()),
                       s.MeterValue(), double(s.Try()), double(s.PACKETS()), double(s.State())}),
        QList<double>({1, 10, 11, 100, 1, 3, 0}));
    QCOMPARE(s.GetHTTP_Var("CONTENT-LENGTH"), "10");
}

void TestSlotReply::retryWaitCountsDownUntilHalted()
{
    Run run;
    run.slot.setTryInterval(30);
    QList<int> waits;
    connect(&run.slot, &HttpFiles::WaitingRetry, this, [&] { waits << run.slot.Wait(); });
    run.slot.GetRemoteFile(QStringLiteral("http://127.0.0.1:%1/x").arg(unusedLoopbackPort()),
                           run.file(), 0, 0);
    // The start delay shows one tick; after a failure the wait is announced before its
    // count is set, then counts down from TryInterval - 1.
    QTRY_VERIFY(waits.size() >= 4);
    QCOMPARE(waits.mid(0, 4), QList<int>({1, 0, 29, 28}));
    run.slot.Halt();
    QCOMPARE(run.rec.milestones().join(u' '), "Error:10061 Disconnected");
    QCOMPARE(run.slot.DownloadStatus(), 0);
    QCOMPARE(run.slot.Wait(), 0);
    QSignalSpy errors(&run.slot, &HttpFiles::Error);
    QVERIFY(!errors.wait(400)); // the retry wait is over: no attempt follows
}

void TestSlotReply::reuse_data()
{
    rowsByName(reuses());
}

void TestSlotReply::reuse()
{
    QFETCH(int, row);
    const Reuse& r = reuses().at(row);
    const QByteArray second = NginxFixture::randomBytes(5000, 4);
    ScriptedServer server;
    ServerScript first;
    first.expectRequest().sendSplit(r.first, 700, 5);
    if (r.then == Idle)
        first.hold();
    else if (r.then == CloseIdle)
        first.pause(50).close();
    else
        first.expectRequest();
    if (r.then == Answer)
        first.send(ok(second)).hold();
    else if (r.then != Idle)
        r.then == ResetOnRequest ? first.reset() : first.close();
    server.addConnection(first);
    server.addConnection(ServerScript::reply(ok(second)));
    Run run;
    run.slot.setTickInterval(r.then == Idle ? 10 : 60000); // connecting at once, nothing waits
    run.slot.setProtocol(r.protocol);
    run.slot.setConnectAtOnce(true);
    run.slot.setReuseConnections(r.option);
    run.slot.setMaxTry(1);
    QVERIFY(run.fetch(server.url("/one.bin"), run.file()));
    const bool kept = r.reused || r.then != Answer;
    QCOMPARE(run.slot.KeepsIdleConnection(), kept);
    QCOMPARE(run.slot.State() == StreamSocket::ConnectedState, kept);
    const qsizetype events = run.rec.events.size();
    if (r.then >= CloseIdle) {
        QTRY_VERIFY_WITH_TIMEOUT(!run.slot.KeepsIdleConnection(), 5000);
        QCOMPARE(run.slot.State(), int(StreamSocket::Closed));
        QCOMPARE(run.rec.events.size(), events);
    }
    QVERIFY(run.fetch(server.url("/two.bin"), run.dir.filePath("2.bin")));
    QCOMPARE(server.connectionCount(), r.reused ? 1 : 2);
    QCOMPARE(server.requests().size(),
             r.then == CloseOnRequest || r.then == ResetOnRequest ? 3 : 2);
    const QString milestones = run.rec.milestones().join(u' ');
    QVERIFY2(milestones.endsWith(QString(r.reused ? "" : " Connected") +
                                 " HeaderCame DownloadComplete Disconnected"),
             qPrintable(milestones));
    QCOMPARE(run.slot.Try(), 1);
    QCOMPARE(readAll(run.dir.filePath("2.bin")), second);
}

void TestSlotReply::keptForTheSameServerOnly()
{
    ScriptedServer a, b;
    a.addConnection(
        ServerScript().expectRequest().send(ok("abc")).expectRequest().send(ok("xyz")).hold());
    b.addConnection(ServerScript().expectRequest().send(ok("defg")).hold());
    Run run;
    run.slot.setTickInterval(1000); // the kept connection outlives this test's waits
    run.slot.setProtocol(1);
    run.slot.setConnectAtOnce(true);
    run.slot.setReuseConnections(true);
    // The manager ends each job from its Disconnected handler.
    connect(&run.slot, &HttpFiles::Disconnected, &run.slot, [&] { run.slot.EndJob(); });
    const QString folder = run.dir.filePath("sub/deeper/");
    QVERIFY(run.fetch(a.url("/one.bin"), folder + "1.bin"));
    QCOMPARE(run.slot.DownloadStatus(), 0);
    QVERIFY(run.slot.KeepsIdleConnection());
    // The slot made the folder for its last job; it must not take it for granted.
    QVERIFY(QDir(run.dir.filePath("sub")).removeRecursively());
    QVERIFY(run.fetch(a.url("/two.bin"), folder + "2.bin"));
    QCOMPARE(readAll(folder + "2.bin"), "xyz");
    // Same host, other port: a connection of its own.
    QVERIFY(run.fetch(b.url("/three.bin"), run.file()));
    QCOMPARE(readAll(run.file()), "defg");
    QCOMPARE(a.connectionCount() + b.connectionCount(), 2);
    run.slot.BeIdeal();
    QVERIFY(!run.slot.KeepsIdleConnection());
    QCOMPARE(run.slot.State(), int(StreamSocket::Closed));
}

QTEST_GUILESS_MAIN(TestSlotReply)
#include "test_slot_reply.moc"
