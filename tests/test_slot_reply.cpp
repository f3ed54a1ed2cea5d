// SPDX-License-Identifier: GPL-3.0-or-later
// A slot against a scripted loopback server: event order, retries, redirections, verdicts,
// and hostile replies that must never crash, hang or reach the file.
#include "engine/HttpFiles.h"
#include "support/ScriptedServer.h"
#include "support/SlotRecorder.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class TestSlotReply : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void freshDownloadEventOrder();
    void headerInTinyPiecesAndKeptAlive();
    void cutTransferResumesWithRange_data();
    void cutTransferResumesWithRange();
    void attemptsUsedUp();
    void haltDuringRetryWait();
    void retryWaitCountsDown();
    void unresolvableHost();
    void redirectionsFollowed_data();
    void redirectionsFollowed();
    void redirectionsNotFollowed();
    void tooManyRedirections();
    void errorStatusNeverReachesFile();
    void rangeNotSatisfiableCompletes();
    void hostileReplies_data();
    void hostileReplies();
    void stalledConnectionsEnd();
    void flowingTransferKeepsItsText();
    void jobsThatCannotStart_data();
    void jobsThatCannotStart();
    void refusedJobsDoNotRecurse();
    void chunkedReplyCutAnywhere();
    void bodyFromByteZeroReplacesTheFile_data();
    void bodyFromByteZeroReplacesTheFile();
    void chunkedRetryForgetsTheEarlierLength();
    void fullDiskNeverCompletes();
    void unfinishedJobLeavesNoEmptyFile_data();
    void unfinishedJobLeavesNoEmptyFile();
};

// One slot with a quick tick, its event record and a folder for its file.
struct Run
{
    QTemporaryDir dir;
    HttpFiles slot;
    SlotRecorder rec{&slot};
    Run() { SlotRecorder::makeQuick(&slot); }
    QString file() const { return dir.filePath(QStringLiteral("f.bin")); }
};

static QByteArray ok(const QByteArray& body)
{
    return "HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" +
           body;
}

void TestSlotReply::freshDownloadEventOrder()
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
    QVERIFY(run.slot.GetRemoteFile(server.url(QStringLiteral("/f.bin")), run.file(), 0, 0));
    QCOMPARE(run.slot.DownloadStatus(), -1);
    QVERIFY(run.rec.events.isEmpty()); // nothing happens inside the call
    WAIT_ENDED(run.rec, 10000);
    const QStringList expected = {"WaitingRetry", "Connected",         "DataArrival",
                                  "HeaderCame",   "DataArrival",       "FileDataArrival:5",
                                  "DataArrival",  "FileDataArrival:5", "DownloadComplete",
                                  "Disconnected"};
    QStringList events = run.rec.events; // silent seconds between the packets aside
    events.removeIf(
        [](const QString& e) { return e.startsWith(QLatin1String("WaitingForReply")); });
    QCOMPARE(events, expected);
    QCOMPARE(readAll(run.file()), QByteArray("0123456789"));
    QCOMPARE(run.slot.DownloadStatus(), 1);
    QCOMPARE(run.slot.FileSize(), 10);
    QCOMPARE(run.slot.CurPos(), 11);
    QCOMPARE(run.slot.MeterValue(), 100.0);
    QCOMPARE(run.slot.Try(), 1);
    QCOMPARE(run.slot.PACKETS(), 3);
    QCOMPARE(run.slot.GetHTTP_Var(QStringLiteral("CONTENT-LENGTH")), QStringLiteral("10"));
    QCOMPARE(run.slot.State(), 0);
}

void TestSlotReply::headerInTinyPiecesAndKeptAlive()
{
    // A kept-alive HTTP/1.1 reply ends at its length, not when the server closes.
    ScriptedServer server;
    const QByteArray body = "a body that follows a header sent three bytes at a time";
    server.addConnection(ServerScript()
                             .expectRequest()
                             .sendSplit("HTTP/1.1 200 OK\r\nServer: x\r\nContent-Length: " +
                                            QByteArray::number(body.size()) + "\r\n\r\n",
                                        3, 5)
                             .send(body)
                             .hold());
    Run run;
    run.slot.setProtocol(1);
    run.slot.GetRemoteFile(server.url(QStringLiteral("/k.bin")), run.file(), 0, 1);
    WAIT_ENDED(run.rec, 10000);
    QCOMPARE(run.rec.milestones(),
             QStringList({"Connected", "HeaderCame", "DownloadComplete", "Disconnected"}));
    QCOMPARE(readAll(run.file()), body);
    QVERIFY(server.requests().value(0).contains("Connection: Keep-Alive\r\n"));
}

void TestSlotReply::cutTransferResumesWithRange_data()
{
    QTest::addColumn<bool>("reset");
    QTest::newRow("server closes") << false;
    QTest::newRow("server resets") << true;
}

void TestSlotReply::cutTransferResumesWithRange()
{
    QFETCH(bool, reset);
    const QByteArray data = QByteArray::number(Q_INT64_C(1234567890123456789)).repeated(50);
    ScriptedServer server;
    ServerScript first =
        ServerScript()
            .expectRequest()
            .send("HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(data.size()) +
                  "\r\n\r\n" + data.left(300))
            .pause(50);
    server.addConnection(reset ? first.reset() : first.close());
    server.addConnection(ServerScript::reply(
        "HTTP/1.0 206 Partial Content\r\nContent-Range: bytes 300-" +
        QByteArray::number(data.size() - 1) + "/" + QByteArray::number(data.size()) +
        "\r\nContent-Length: " + QByteArray::number(data.size() - 300) + "\r\n\r\n" +
        data.mid(300)));
    Run run;
    run.slot.GetRemoteFile(server.url(QStringLiteral("/d.bin")), run.file(), 0, 0);
    WAIT_ENDED(run.rec, 10000);
    QCOMPARE(run.rec.milestones(), QStringList({"Connected", "HeaderCame", "Retrying", "Connected",
                                                "HeaderCame", "DownloadComplete", "Disconnected"}));
    QVERIFY(server.requests().value(0).contains("Range: bytes=0-\r\n"));
    QVERIFY(server.requests().value(1).contains("Range: bytes=300-\r\n"));
    QCOMPARE(readAll(run.file()), data);
    QCOMPARE(run.slot.Try(), 2);
}

void TestSlotReply::attemptsUsedUp()
{
    const QString url = QStringLiteral("http://127.0.0.1:%1/x.bin").arg(unusedLoopbackPort());
    {
        Run run;
        run.slot.setMaxTry(1);
        run.slot.GetRemoteFile(url, run.file(), 0, 0);
        QTRY_COMPARE_WITH_TIMEOUT(run.rec.count(QStringLiteral("Error")), 1, 10000);
        QCOMPARE(run.rec.milestones(),
                 QStringList({"SocketClosed", "Disconnected", "Error:10061"}));
        QCOMPARE(run.slot.DownloadStatus(), -1);
    }
    Run run;
    run.slot.setMaxTry(3);
    run.slot.GetRemoteFile(url, run.file(), 0, 0);
    QTRY_COMPARE_WITH_TIMEOUT(run.rec.count(QStringLiteral("Error")), 3, 10000);
    QCOMPARE(run.rec.milestones(), QStringList({"Error:10061", "Error:10061", "SocketClosed",
                                                "Disconnected", "Error:10061"}));
    QCOMPARE(run.slot.Try(), 3);
    QVERIFY(run.rec.errors().value(0).contains(QStringLiteral("refused")));
}

void TestSlotReply::haltDuringRetryWait()
{
    Run run;
    run.slot.setTryInterval(30); // 300 ms at this tick
    run.slot.GetRemoteFile(QStringLiteral("http://127.0.0.1:%1/x.bin").arg(unusedLoopbackPort()),
                           run.file(), 0, 0);
    QTRY_COMPARE_WITH_TIMEOUT(run.rec.count(QStringLiteral("Error")), 1, 10000);
    QVERIFY(run.slot.Wait() > 0);
    run.slot.Halt();
    QCOMPARE(run.rec.count(QStringLiteral("Disconnected")), 1);
    QCOMPARE(run.slot.DownloadStatus(), 0);
    QCOMPARE(run.slot.Wait(), 0);
    const qsizetype seen = run.rec.events.size();
    QTest::qWait(600); // twice the retry wait: no attempt may follow
    QCOMPARE(run.rec.events.size(), seen);
}

void TestSlotReply::retryWaitCountsDown()
{
    Run run;
    run.slot.setTryInterval(5);
    run.slot.setMaxTry(2);
    QList<int> waits;
    connect(&run.slot, &HttpFiles::WaitingRetry, &run.slot, [&] { waits.append(run.slot.Wait()); });
    connect(&run.slot, &HttpFiles::Retrying, &run.slot, [&] { waits.append(-1); });
    run.slot.GetRemoteFile(QStringLiteral("http://127.0.0.1:%1/x.bin").arg(unusedLoopbackPort()),
                           run.file(), 0, 0);
    WAIT_ENDED(run.rec, 10000);
    // The start delay (one tick shown), then a failed connection: the wait is announced
    // before its count is set, then counts down from TryInterval - 1.
    QCOMPARE(waits, QList<int>({1, 0, 4, 3, 2, 1}));
}

void TestSlotReply::unresolvableHost()
{
    Run run;
    run.slot.setMaxTry(1);
    run.slot.GetRemoteFile(QStringLiteral("http://no-such-host.invalid/x.bin"), run.file(), 0, 0);
    WAIT_ENDED(run.rec, 15000);
    QCOMPARE(run.rec.milestones().mid(0, 2), QStringList({"SocketClosed", "Disconnected"}));
    QTRY_COMPARE(run.rec.count(QStringLiteral("Error")), 1);
    QCOMPARE(run.rec.milestones().last(), QStringLiteral("Error:11001"));
}

void TestSlotReply::redirectionsFollowed_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("location");
    for (int code : {301, 302, 303, 307, 308})
        QTest::addRow("%d relative", code) << code << QStringLiteral("real.bin");
    QTest::newRow("302 absolute path") << 302 << QStringLiteral("/dir/real.bin");
}

void TestSlotReply::redirectionsFollowed()
{
    QFETCH(int, code);
    QFETCH(QString, location);
    ScriptedServer server;
    server.addConnection(ServerScript::reply("HTTP/1.1 " + QByteArray::number(code) +
                                             " Moved\r\nLocation: " + location.toLatin1() +
                                             "\r\nContent-Length: 5\r\n\r\nmoved"));
    server.addConnection(ServerScript::reply(ok("the real file")));
    Run run;
    const QString target = QFileInfo(run.file()).absolutePath() + QStringLiteral("/f.bin");
    run.slot.GetRemoteFile(server.url(QStringLiteral("/dir/start.bin")), run.file(), 0, 0);
    WAIT_ENDED(run.rec, 10000);
    QCOMPARE(run.rec.milestones(),
             QStringList({"Connected", "HeaderCame", QStringLiteral("Error:%1").arg(code),
                          "Redirected:" + location, "Connected", "HeaderCame", "DownloadComplete",
                          "Disconnected"}));
    QVERIFY(server.requests().value(1).startsWith("GET /dir/real.bin HTTP/1.0\r\n"));
    QCOMPARE(readAll(run.file()), QByteArray("the real file"));
    QCOMPARE(run.slot.Content(), QStringLiteral("/dir/real.bin"));
}

void TestSlotReply::redirectionsNotFollowed()
{
    for (int code : {301, 302}) {
        ScriptedServer server;
        server.addConnection(ServerScript::reply("HTTP/1.1 " + QByteArray::number(code) +
                                                 " Moved\r\nLocation: /b\r\n\r\n"));
        Run run;
        run.slot.setRedirection(false);
        run.slot.GetRemoteFile(server.url(QStringLiteral("/a.bin")), run.file(), 0, 0);
        WAIT_ENDED(run.rec, 10000);
        QStringList expected = {"Connected", "HeaderCame", QStringLiteral("Error:%1").arg(code)};
        if (code == 302)
            expected << "Redirected:/b";
        expected << "DownloadFailed"
                 << "Disconnected";
        QCOMPARE(run.rec.milestones(), expected);
        QCOMPARE(server.connectionCount(), 1);
    }
}

void TestSlotReply::tooManyRedirections()
{
    ScriptedServer server;
    for (int i = 0; i < 12; ++i)
        server.addConnection(ServerScript::reply("HTTP/1.1 302 Found\r\nLocation: /loop" +
                                                 QByteArray::number(i) + "\r\n\r\n"));
    Run run;
    run.slot.GetRemoteFile(server.url(QStringLiteral("/start")), run.file(), 0, 0);
    WAIT_ENDED(run.rec, 20000);
    QCOMPARE(run.rec.count(QStringLiteral("Redirected")), 10);
    QCOMPARE(server.connectionCount(), 11);
    QCOMPARE(run.rec.milestones().mid(run.rec.milestones().size() - 4),
             QStringList({"Error:302", "Error:0", "DownloadFailed", "Disconnected"}));
    QCOMPARE(run.rec.errors().last(), QStringLiteral("Too many redirections"));
}

void TestSlotReply::errorStatusNeverReachesFile()
{
    for (const QByteArray code : {"404", "305"}) {
        ScriptedServer server;
        server.addConnection(
            ServerScript::reply("HTTP/1.1 " + code + " Bad\r\nContent-Length: 9\r\n\r\nerrorpage"));
        Run run;
        writeFile(run.file(), "HELLO");
        run.slot.GetRemoteFile(server.url(QStringLiteral("/f.zip")), run.file(), 5, 0);
        WAIT_ENDED(run.rec, 10000);
        QCOMPARE(run.rec.milestones(), QStringList({"Connected", "HeaderCame", "Error:" + code,
                                                    "DownloadFailed", "Disconnected"}));
        QCOMPARE(run.rec.errors().value(0), "127.0.0.1 [" + code + " Bad]");
        QCOMPARE(readAll(run.file()), QByteArray("HELLO"));
        QCOMPARE(run.slot.DownloadStatus(), 2);
    }
}

void TestSlotReply::rangeNotSatisfiableCompletes()
{
    ScriptedServer server;
    server.addConnection(ServerScript::reply(
        "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */5\r\n\r\n"));
    Run run;
    run.slot.setErrorCodes(QStringLiteral("301|302|303|304|305|306|307|308|416"));
    writeFile(run.file(), "HELLO");
    run.slot.GetRemoteFile(server.url(QStringLiteral("/f.zip")), run.file(), 5, 0);
    WAIT_ENDED(run.rec, 10000);
    QCOMPARE(run.rec.milestones(), QStringList({"Connected", "HeaderCame", "Error:416",
                                                "DownloadComplete", "Disconnected"}));
    QVERIFY(server.requests().value(0).contains("Range: bytes=5-\r\n"));
    QCOMPARE(readAll(run.file()), QByteArray("HELLO"));
    QCOMPARE(run.slot.DownloadStatus(), 1);
}

void TestSlotReply::hostileReplies_data()
{
    QTest::addColumn<QByteArray>("reply");    // sent, then the server closes
    QTest::addColumn<QByteArray>("onDisk");   // the file before (resumed from its end)
    QTest::addColumn<QByteArray>("expected"); // the file after
    QTest::addColumn<QString>("verdict");     // the last milestone before Disconnected
    QTest::addColumn<QString>("error");       // part of the Error description, or ""

    struct Row
    {
        const char* name;
        QByteArray reply, onDisk, expected;
        const char *verdict, *error;
    };
    const QByteArray h = "HTTP/1.0 200 OK\r\n";
    const Row rows[] = {
        {"garbage", "GARBAGE\r\nmore\r\n\r\nbody", "", "", "DownloadFailed",
         "Not an HTTP status line"},
        {"range overlapping the disk",
         "HTTP/1.1 206 Partial\r\nContent-Range: bytes 2-5/6\r\n\r\nCDEF", "abcd", "abCDEF",
         "DownloadComplete", ""},
        {"more bytes than announced", h + "Content-Length: 3\r\n\r\nabcdef", "", "abc",
         "DownloadIncomplete", ""},
        {"closed mid-header", "HTTP/1.0 200 OK\r\nContent-Le", "", "", "SocketClosed", ""},
        {"header never ends", h + QByteArray(70000, 'x'), "keep", "keep", "DownloadFailed",
         "did not end within 65536 bytes"},
        {"no length: until close", h + "\r\n" + QByteArray(3000, 'z'), "", QByteArray(3000, 'z'),
         "DownloadComplete", ""},
        {"interim replies",
         "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Hints\r\n\r\n" + h +
             "Content-Length: 2\r\n\r\nok",
         "", "ok", "DownloadComplete", ""},
    };
    for (const Row& r : rows)
        QTest::newRow(r.name) << r.reply << r.onDisk << r.expected << QString(r.verdict)
                              << QString(r.error);
}

void TestSlotReply::hostileReplies()
{
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, onDisk);
    QFETCH(QByteArray, expected);
    QFETCH(QString, verdict);
    QFETCH(QString, error);
    ScriptedServer server;
    server.addConnection(ServerScript().expectRequest().sendSplit(reply, 1000, 5).close());
    Run run;
    run.slot.setMaxTry(1);
    writeFile(run.file(), onDisk);
    run.slot.GetRemoteFile(server.url(QStringLiteral("/f.bin")), run.file(), onDisk.size(), 0);
    WAIT_ENDED(run.rec, 10000);
    const QStringList m = run.rec.milestones();
    QCOMPARE(m.value(m.size() - 2), verdict);
    QCOMPARE(m.last(), QStringLiteral("Disconnected"));
    if (error.isEmpty())
        QVERIFY2(run.rec.errors().isEmpty(), qPrintable(run.rec.errors().join(u'|')));
    else
        QVERIFY2(run.rec.errors().join(u'|').contains(error),
                 qPrintable(run.rec.errors().join(u'|')));
    QCOMPARE(readAll(run.file()), expected);
}

void TestSlotReply::stalledConnectionsEnd()
{
    const QByteArray data(400, 's');
    ScriptedServer server;
    server.addConnection(ServerScript::neverAnswer());
    server.addConnection(
        ServerScript()
            .expectRequest()
            .send("HTTP/1.0 200 OK\r\nContent-Length: 400\r\n\r\n" + data.left(100))
            .hold());
    server.addConnection(ServerScript::reply(
        "HTTP/1.0 206 P\r\nContent-Range: bytes 100-399/400\r\n\r\n" + data.mid(100)));
    Run run;
    run.slot.setConnectTimeout(10); // 100 ms at this tick
    run.slot.GetRemoteFile(server.url(QStringLiteral("/s.bin")), run.file(), 0, 0);
    WAIT_ENDED(run.rec, 15000);
    QCOMPARE(run.rec.milestones(),
             QStringList({"Connected", "Connected", "HeaderCame", "Retrying", "Connected",
                          "HeaderCame", "DownloadComplete", "Disconnected"}));
    QVERIFY(
        run.rec.events.contains(QStringLiteral("WaitingForReply:Waiting 9 seconds for reply...")));
    QVERIFY(server.requests().value(2).contains("Range: bytes=100-\r\n"));
    QCOMPARE(readAll(run.file()), data);
}

void TestSlotReply::flowingTransferKeepsItsText()
{
    QByteArray data(2000, 'f');
    ScriptedServer server;
    server.addConnection(ServerScript()
                             .expectRequest()
                             .send("HTTP/1.0 200 OK\r\nContent-Length: 2000\r\n\r\n")
                             .sendSplit(data, 100, 10)
                             .close());
    Run run;
    run.slot.setTickInterval(60);
    run.slot.GetRemoteFile(server.url(QStringLiteral("/s.bin")), run.file(), 0, 0);
    WAIT_ENDED(run.rec, 15000);
    const qsizetype header = run.rec.events.indexOf(QStringLiteral("HeaderCame"));
    const qsizetype done = run.rec.events.indexOf(QStringLiteral("DownloadComplete"));
    QVERIFY(header > 0 && done > header);
    for (qsizetype i = header; i < done; ++i)
        QVERIFY2(!run.rec.events[i].startsWith(QLatin1String("WaitingForReply")),
                 qPrintable(run.rec.events[i]));
    QCOMPARE(readAll(run.file()), data);
}

void TestSlotReply::jobsThatCannotStart_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("local"); // below the test folder; "" for none
    QTest::addColumn<bool>("scheduled");
    QTest::addColumn<QString>("error");
    QTest::newRow("no file name") << "http://127.0.0.1:1/x"
                                  << "" << false << "No local file name specified!";
    QTest::newRow("ftp") << "ftp://127.0.0.1/x"
                         << "f" << false << "Unsupported URL: ftp://127.0.0.1/x";
    QTest::newRow("folder in the way") << ""
                                       << "folder" << true << "folder\": ";
    QTest::newRow("parent is a file") << ""
                                      << "plain/child" << true << "plain/child\": ";
}

void TestSlotReply::jobsThatCannotStart()
{
    QFETCH(QString, url);
    QFETCH(QString, local);
    QFETCH(bool, scheduled);
    QFETCH(QString, error);
    ScriptedServer server; // never contacted
    Run run;
    QDir(run.dir.path()).mkdir(QStringLiteral("folder"));
    writeFile(run.dir.filePath(QStringLiteral("plain")), "x");
    const QString path = local.isEmpty() ? QString() : run.dir.filePath(local);
    QCOMPARE(
        run.slot.GetRemoteFile(url.isEmpty() ? server.url(QStringLiteral("/x")) : url, path, 0, 0),
        scheduled);
    QVERIFY(run.rec.events.isEmpty());
    WAIT_ENDED(run.rec, 10000);
    QCOMPARE(run.rec.milestones(), QStringList({"Error:0", "DownloadFailed", "Disconnected"}));
    QVERIFY2(run.rec.errors().value(0).contains(error), qPrintable(run.rec.errors().value(0)));
    QCOMPARE(run.slot.DownloadStatus(), 2);
    QCOMPARE(server.connectionCount(), 0);
    QVERIFY(QFileInfo(run.dir.filePath(QStringLiteral("plain"))).isFile());
}

void TestSlotReply::refusedJobsDoNotRecurse()
{
    // A manager that starts the next job from Disconnected.
    Run run;
    int depth = 0, maxDepth = 0, started = 0;
    connect(&run.slot, &HttpFiles::Disconnected, &run.slot, [&] {
        ++depth;
        maxDepth = qMax(maxDepth, depth);
        if (++started < 5)
            run.slot.GetRemoteFile(QStringLiteral("gopher://x/"), run.file(), 0, 0);
        --depth;
    });
    run.slot.GetRemoteFile(QStringLiteral("gopher://x/"), run.file(), 0, 0);
    QTRY_COMPARE_WITH_TIMEOUT(started, 5, 5000);
    QCOMPARE(maxDepth, 1);
    QCOMPARE(run.rec.count(QStringLiteral("DownloadFailed")), 5);
}

void TestSlotReply::chunkedReplyCutAnywhere()
{
    const QByteArray body = "1a;ext=1\r\nabcdefghijklmnopqrstuvwxyz\r\n5\r\n01234\r\n"
                            "0\r\nTrailer: t\r\n\r\n";
    const QByteArray reply = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + body;
    const qsizetype headerSize = reply.size() - body.size();
    const qsizetype cuts[] = {headerSize - 2,  headerSize,        headerSize + 3,
                              headerSize + 10, reply.size() - 12, reply.size() - 1};
    ScriptedServer server;
    for (qsizetype cut : cuts)
        server.addConnection(ServerScript()
                                 .expectRequest()
                                 .send(reply.left(cut))
                                 .pause(25)
                                 .send(reply.mid(cut))
                                 .close());
    Run run;
    for (qsizetype cut : cuts) {
        run.rec.events.clear();
        QFile::remove(run.file());
        run.slot.GetRemoteFile(server.url(QStringLiteral("/c.bin")), run.file(), 0, 0);
        WAIT_ENDED(run.rec, 10000);
        QVERIFY2(run.rec.milestones().contains(QStringLiteral("DownloadComplete")),
                 qPrintable(QStringLiteral("cut %1: %2").arg(cut).arg(run.rec.events.join(u' '))));
        QCOMPARE(readAll(run.file()), QByteArray("abcdefghijklmnopqrstuvwxyz01234"));
    }
}

void TestSlotReply::bodyFromByteZeroReplacesTheFile_data()
{
    // A resumed URL now redirects to a shorter file; the redirected request asks from 0.
    QTest::addColumn<QByteArray>("target"); // the reply of the redirection's target
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QString>("verdict");
    const QByteArray fresh = QByteArray(20000, 'n');
    const QByteArray old = QByteArray(50000, 'o');
    QTest::newRow("206 from 0") << "HTTP/1.1 206 Partial\r\nContent-Range: bytes 0-19999/20000"
                                   "\r\nContent-Length: 20000\r\n\r\n" +
                                       fresh
                                << fresh << "DownloadComplete";
    QTest::newRow("200") << "HTTP/1.1 200 OK\r\nContent-Length: 20000\r\n\r\n" + fresh << fresh
                         << "DownloadComplete";
    QTest::newRow("416 of an empty file")
        << QByteArray("HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */0\r\n\r\n")
        << old << "DownloadFailed";
    QTest::newRow("416 without a length")
        << QByteArray("HTTP/1.1 416 Range Not Satisfiable\r\n\r\n") << old << "DownloadFailed";
}

void TestSlotReply::bodyFromByteZeroReplacesTheFile()
{
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, expected);
    QFETCH(QString, verdict);
    ScriptedServer server;
    server.addConnection(ServerScript::reply("HTTP/1.1 302 Found\r\nLocation: /new.bin\r\n\r\n"));
    server.addConnection(ServerScript().expectRequest().sendSplit(target, 7000, 5).close());
    Run run;
    run.slot.setMaxTry(1);
    writeFile(run.file(), QByteArray(50000, 'o'));
    run.slot.GetRemoteFile(server.url(QStringLiteral("/old.bin")), run.file(), 50000, 0);
    WAIT_ENDED(run.rec, 10000);
    QVERIFY(server.requests().value(1).contains("Range: bytes=0-\r\n"));
    const QStringList m = run.rec.milestones();
    QCOMPARE(m.value(m.size() - 2), verdict);
    QCOMPARE(readAll(run.file()), expected);
}

void TestSlotReply::chunkedRetryForgetsTheEarlierLength()
{
    // The first try announces 1000 bytes and breaks; the retry comes chunked, whole.
    const QByteArray body(1000, 'c');
    ScriptedServer server;
    server.addConnection(
        ServerScript()
            .expectRequest()
            .send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + body.left(400))
            .close());
    server.addConnection(
        ServerScript::reply("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n300\r\n" +
                            body.left(768) + "\r\ne8\r\n" + body.mid(768) + "\r\n0\r\n\r\n"));
    Run run;
    QList<qint64> sizes;
    connect(&run.slot, &HttpFiles::FileDataArrival, this,
            [&] { sizes << run.slot.FileSize() << qint64(run.slot.MeterValue()); });
    run.slot.GetRemoteFile(server.url(QStringLiteral("/c.bin")), run.file(), 0, 0);
    WAIT_ENDED(run.rec, 10000);
    QCOMPARE(run.rec.milestones().value(run.rec.milestones().size() - 2), "DownloadComplete");
    QCOMPARE(readAll(run.file()), body);
    // The chunked reply has no length: none is shown, and the meter starts again at 0.
    QCOMPARE(sizes.mid(sizes.size() - 2), (QList<qint64>{0, 0}));
}

void TestSlotReply::fullDiskNeverCompletes()
{
    // /dev/full takes the file open and fails every write with ENOSPC; a small body
    // would sit in a buffer until close.
    ScriptedServer server;
    server.addConnection(ServerScript::reply(ok("a small body")));
    Run run;
    run.slot.setMaxTry(1);
    run.slot.GetRemoteFile(server.url(QStringLiteral("/s.bin")), QStringLiteral("/dev/full"), 0, 0);
    WAIT_ENDED(run.rec, 10000);
    const QStringList m = run.rec.milestones();
    QCOMPARE(m.value(m.size() - 2), QStringLiteral("DownloadIncomplete"));
    QVERIFY2(run.rec.errors().join(u'|').contains(QStringLiteral("/dev/full")),
             qPrintable(run.rec.errors().join(u'|')));
    QVERIFY(run.slot.DownloadStatus() != 1);
}

void TestSlotReply::unfinishedJobLeavesNoEmptyFile_data()
{
    QTest::addColumn<QByteArray>("reply"); // "" for a refused connection
    QTest::addColumn<bool>("existedBefore");
    QTest::addColumn<bool>("remains");
    QTest::newRow("404") << QByteArray("HTTP/1.0 404 Not Found\r\n\r\ngone") << false << false;
    QTest::newRow("refused") << QByteArray() << false << false;
    QTest::newRow("cut before the body")
        << QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 9\r\n") << false << false;
    QTest::newRow("empty file of an earlier run")
        << QByteArray("HTTP/1.0 404 Not Found\r\n\r\n") << true << true;
    QTest::newRow("empty download") << ok("") << false << true;
}

void TestSlotReply::unfinishedJobLeavesNoEmptyFile()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, existedBefore);
    QFETCH(bool, remains);
    ScriptedServer server;
    server.addConnection(ServerScript::reply(reply));
    Run run;
    run.slot.setMaxTry(1);
    if (existedBefore)
        writeFile(run.file(), QByteArray());
    const QString url = reply.isEmpty()
                            ? QStringLiteral("http://127.0.0.1:%1/f.bin").arg(unusedLoopbackPort())
                            : server.url(QStringLiteral("/f.bin"));
    run.slot.GetRemoteFile(url, run.file(), 0, 0);
    WAIT_ENDED(run.rec, 10000);
    QCOMPARE(QFileInfo::exists(run.file()), remains);
}

QTEST_GUILESS_MAIN(TestSlotReply)
#include "test_slot_reply.moc"
