// SPDX-License-Identifier: GPL-3.0-or-later
// The scheduler over real slots and loopback sockets: rows added during a run, stop and
// start again, busy slots in their start delay, files that cannot open or that two URLs
// name, errors of ended jobs, and jobs asking where to save while other jobs end. The
// scheduling rules alone are in test_scheduler_rules.
#include "ManagerRig.h"

#include "lists/JobList.h"
#include "manager/Scheduler.h"
#include "support/NginxFixture.h"
#include "support/ScriptedServer.h"

#include <QTimer>

#include <algorithm>

class TestScheduler : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void rowsAddedDuringRunJoinUnlessBlocked();
    void stopThenStartAgainResumesPartialFile();
    void resumeDuringStartDelayKeepsStartingJobs();
    void runNeverFallsIdleWhileJobsStart();
    void jobWhoseFileCannotOpenFailsAndNextFollows();
    void jobsNamingTheSameFileNeverShareIt();
    void laterUrlOfTheSameNameNeverResumesTheEarlierFile();
    void errorOfAnEndedJobNamesThatJob();
    void askedJobsEachRunOnceWhileDialogsWait();
    void stopWhileAskingStartsNothing();
};

// A reply served slowly enough for the test to act during the run.
static ServerScript slowReply(const QByteArray& body, int pauseMs)
{
    return ServerScript().expectRequest().pause(pauseMs).send(okReply(body)).close();
}

static void addRows(DownloadManager& m, const ScriptedServer& server, int count,
                    const QString& prefix = QStringLiteral("/f"))
{
    QStringList urls;
    for (int i = 0; i < count; ++i)
        urls << server.url(prefix + QString::number(i) + QStringLiteral(".bin"));
    m.Jobs().AddJobs(urls.join(QStringLiteral("\r\n")));
}

void TestScheduler::rowsAddedDuringRunJoinUnlessBlocked()
{
    for (const bool blocked : {false, true}) {
        ScriptedServer server;
        server.addConnection(slowReply("first", 300));
        for (int i = 1; i < 5; ++i)
            server.addConnection(ServerScript::reply(okReply("more")));
        ManagerRig rig(1);
        DownloadManager& m = *rig.m;
        addRows(m, server, 3);
        m.StartDownloads();
        if (blocked) {
            m.List2().setListIndex(1);
            m.SetBlock();
            QCOMPARE(m.State().BlockIndex, 1);
        }
        addRows(m, server, 2, QStringLiteral("/late"));
        QCOMPARE(m.List2().ListCount(), 5);
        QCOMPARE(m.State().BlockIndex, blocked ? 1 : 5);
        QVERIFY(rig.waitIdle());
        QCOMPARE(m.State().CompletedJobs, blocked ? 1 : 5);
        QCOMPARE(m.List2().Selected(4), !blocked);
    }
}

void TestScheduler::stopThenStartAgainResumesPartialFile()
{
    const QByteArray body = NginxFixture::randomBytes(4000, 7);
    ScriptedServer server;
    // The first run gets half the file, then the server goes silent.
    server.addConnection(
        ServerScript()
            .expectRequest()
            .send("HTTP/1.0 206 Partial Content\r\nContent-Range: bytes 0-3999/4000"
                  "\r\nContent-Length: 4000\r\n\r\n" +
                  body.left(2000))
            .hold());
    server.addConnection(
        ServerScript::reply("HTTP/1.0 206 Partial Content\r\nContent-Range: bytes 2000-3999/4000"
                            "\r\nContent-Length: 2000\r\n\r\n" +
                            body.mid(2000)));
    ManagerRig rig(2);
    DownloadManager& m = *rig.m;
    m.Jobs().AddJobs(server.url(QStringLiteral("/big.bin")));
    const QString file = rig.local(server.port(), QStringLiteral("/big.bin"));
    m.StartDownloads();
    QTRY_COMPARE_WITH_TIMEOUT(m.Http(0)->CurPos(), qint64(2001), 10000);

    m.StopDownloads();
    QVERIFY(!m.StopEnabled() && !m.ResumeEnabled() && m.StartEnabled());
    QCOMPARE(m.Status().Caption(), QStringLiteral("Status: INACTIVE "));
    QCOMPARE(m.Monitor().Text(0).left(15), QStringLiteral("Not Connected.."));
    QCOMPARE(m.Http(0)->DownloadStatus(), 0);
    QVERIFY(!m.List2().Selected(0));
    QCOMPARE(QFileInfo(file).size(), qint64(2000)); // the partial file stays

    m.StartDownloads();
    QVERIFY(rig.waitIdle());
    QCOMPARE(m.State().CompletedJobs, 1);
    QCOMPARE(rig.read(file), body);
    QVERIFY(server.requests().value(1).contains("Range: bytes=2000-\r\n"));
    QVERIFY(
        rig.programLog().contains(QStringLiteral("***Resuming => /big.bin from position 2001")));
}

void TestScheduler::resumeDuringStartDelayKeepsStartingJobs()
{
    ScriptedServer server;
    for (int i = 0; i < 4; ++i)
        server.addConnection(ServerScript::reply(okReply("r" + QByteArray::number(i))));
    ManagerRig rig(2);
    DownloadManager& m = *rig.m;
    addRows(m, server, 4);
    m.StartDownloads();
    // Both slots wait for their first tick with their sockets closed.
    QCOMPARE(m.Http(0)->State(), 0);
    m.ResumeDownloads();
    QCOMPARE(m.State().NextJob, 2);
    QCOMPARE(m.Http(0)->Tag(), QStringLiteral("0"));
    QCOMPARE(m.Http(1)->Tag(), QStringLiteral("1"));
    QVERIFY(rig.dialogs.asked.isEmpty());
    QVERIFY(rig.waitIdle());
    QCOMPARE(m.State().CompletedJobs, 4);
}

void TestScheduler::runNeverFallsIdleWhileJobsStart()
{
    // With the timer schedule every job end waits for a tick, which refills free slots and
    // then judges idleness while the new jobs are still in their start delay.
    ScriptedServer server;
    for (int i = 0; i < 6; ++i)
        server.addConnection(ServerScript::reply(okReply("s" + QByteArray::number(i))));
    ManagerRig rig(2, [](DownloadManager& m) { m.options().setTimerSchedule(true); });
    DownloadManager& m = *rig.m;
    addRows(m, server, 6);
    m.StartDownloads();
    // Stopping one connection while the other slot is starting keeps the run going.
    m.StopConnection(0);
    QVERIFY(m.StopEnabled());
    QCOMPARE(m.State().NextJob, 2);
    QVERIFY(rig.waitIdle());
    // Row 0 was stopped unfinished; every other row ran.
    QCOMPARE(m.State().CompletedJobs, 5);
    QVERIFY(!m.List2().Selected(0));
    for (int row = 1; row < 6; ++row)
        QVERIFY(m.Jobs().IsCompleted(row));
}

void TestScheduler::jobWhoseFileCannotOpenFailsAndNextFollows()
{
    ScriptedServer server;
    server.addConnection(ServerScript::reply(okReply("fine")));
    ManagerRig rig(1);
    DownloadManager& m = *rig.m;
    // A file where the job's folder should be.
    QDir().mkpath(rig.local(server.port(), QString()));
    QFile blocker(rig.local(server.port(), QStringLiteral("/x")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    // The second row keeps the blanks it was added with; they are no part of its address.
    m.Jobs().AddJobs(server.url(QStringLiteral("/x/y.bin")) + QStringLiteral("\r\n  ") +
                     server.url(QStringLiteral("/ok.bin")) + QStringLiteral(" "));
    m.StartDownloads();
    QVERIFY(rig.waitIdle());
    QCOMPARE(m.State().FailedJobs, 1);
    QCOMPARE(m.State().CompletedJobs, 1);
    QVERIFY(m.Jobs().IsFailed(0));
    QVERIFY(m.Jobs().IsCompleted(1));
    QCOMPARE(rig.read(rig.local(server.port(), QStringLiteral("/ok.bin"))), QByteArray("fine"));
}

void TestScheduler::jobsNamingTheSameFileNeverShareIt()
{
    NginxFixture nginx;
    QString error;
    QVERIFY2(nginx.start(&error), qPrintable(error));
    const QByteArray index = NginxFixture::randomBytes(30000, 1);
    const QByteArray named = NginxFixture::randomBytes(20000, 2);
    nginx.writeFile(QStringLiteral("dup/index.html"), index);
    nginx.writeFile(QStringLiteral("dup/_index.htm"), named);
    ManagerRig rig(2);
    DownloadManager& m = *rig.m;
    // Both rows name the local file dup/_index.htm.
    m.Jobs().AddJobs(nginx.url(QStringLiteral("/dup/")) + QStringLiteral("\r\n") +
                     nginx.url(QStringLiteral("/dup/_index.htm")));
    m.StartDownloads();
    QCOMPARE(m.Http(1)->LocalFile(), rig.local(nginx.port(), QStringLiteral("/dup/_index[1].htm")));
    QVERIFY(rig.waitIdle());
    QCOMPARE(m.State().CompletedJobs, 2);
    QCOMPARE(rig.read(rig.local(nginx.port(), QStringLiteral("/dup/_index.htm"))), index);
    QCOMPARE(rig.read(rig.local(nginx.port(), QStringLiteral("/dup/_index[1].htm"))), named);
}

void TestScheduler::laterUrlOfTheSameNameNeverResumesTheEarlierFile()
{
    // One after the other, so no slot writes the first file while the second job starts.
    const QByteArray first = NginxFixture::randomBytes(3000, 3);
    const QByteArray second = NginxFixture::randomBytes(5000, 4);
    ScriptedServer server;
    server.addConnection(
        ServerScript::reply("HTTP/1.1 206 Partial\r\nContent-Range: bytes 5-7/8\r\n\r\n678"));
    server.addConnection(ServerScript::reply(okReply(first)));
    server.addConnection(ServerScript::reply(okReply(second)));
    ManagerRig rig(1, [](DownloadManager& m) { m.options().setPathOption(1); });
    DownloadManager& m = *rig.m;
    QVERIFY(m.options().DetectResume());
    // A file of an earlier run is still resumed.
    QDir().mkpath(rig.base() + QStringLiteral("/Downloads"));
    QFile earlier(rig.base() + QStringLiteral("/Downloads/old.zip"));
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.write("12345");
    earlier.close();
    m.Jobs().AddJobs(QStringList{server.url(QStringLiteral("/old.zip")),
                                 server.url(QStringLiteral("/h1/pic.zip")),
                                 server.url(QStringLiteral("/h2/pic.zip"))}
                         .join(QStringLiteral("\r\n")));
    m.StartDownloads();
    QVERIFY(rig.waitIdle());
    QCOMPARE(m.State().CompletedJobs, 3);
    QCOMPARE(rig.read(rig.base() + QStringLiteral("/Downloads/old.zip")), QByteArray("12345678"));
    QCOMPARE(rig.read(rig.base() + QStringLiteral("/Downloads/pic.zip")), first);
    QCOMPARE(rig.read(rig.base() + QStringLiteral("/Downloads/pic[1].zip")), second);
    const QString log = rig.programLog();
    QVERIFY2(log.contains(QStringLiteral("***Resuming => /old.zip from position 6")),
             qPrintable(log));
    QCOMPARE(log.count(QStringLiteral("***Resuming")), 1);
}

void TestScheduler::errorOfAnEndedJobNamesThatJob()
{
    // The refused job ends (and the next one starts) before its Error is raised.
    ScriptedServer server;
    server.addConnection(slowReply("fine", 200));
    ManagerRig rig(1, [](DownloadManager& m) { m.Overrides().MaxTry = 1; });
    DownloadManager& m = *rig.m;
    const QString refused =
        QStringLiteral("http://127.0.0.1:%1/refused.bin").arg(unusedLoopbackPort());
    m.Jobs().AddJobs(refused + QStringLiteral("\r\n") + server.url(QStringLiteral("/good.bin")));
    QString monitorAfterError;
    connect(m.Http(0), &HttpFiles::Error, this, [&] { monitorAfterError = m.Monitor().Text(0); });
    m.StartDownloads();
    QVERIFY(rig.waitIdle());
    const QString log = rig.programLog();
    QVERIFY2(log.contains(QStringLiteral("/refused.bin] Error**=> [10061]")), qPrintable(log));
    QVERIFY2(!log.contains(QStringLiteral("/good.bin] Error")), qPrintable(log));
    QVERIFY(!monitorAfterError.startsWith(QStringLiteral("Error**")));
    QCOMPARE(m.State().CompletedJobs, 1);
}

// "Ask me where ?": every save dialog stays open for a while, running its own event loop
// in which ticks fire and other jobs end, as a modal dialog does.
static void askWhere(ManagerRig& rig, int openMs, const QStringList& answers)
{
    rig.m->options().setPathOption(2);
    rig.dialogs.saveOpenMs = openMs;
    for (const QString& name : answers)
        rig.dialogs.files.enqueue(rig.base() + QLatin1Char('/') + name);
}

void TestScheduler::askedJobsEachRunOnceWhileDialogsWait()
{
    // Jobs end during the next job's dialog: with a refill on every job end and with the
    // timer schedule, which refills every slot that looks free, the one being named too.
    for (const bool timerSchedule : {false, true}) {
        ScriptedServer server;
        for (int i = 0; i < 3; ++i)
            server.addConnection(ServerScript::reply(okReply("a" + QByteArray::number(i))));
        ManagerRig rig(2, [&](DownloadManager& m) { m.options().setTimerSchedule(timerSchedule); });
        DownloadManager& m = *rig.m;
        askWhere(rig, 150, {QStringLiteral("x0"), QStringLiteral("x1"), QStringLiteral("x2")});
        rig.recordConnections();
        addRows(m, server, 3);
        m.StartDownloads();
        QVERIFY(rig.waitIdle());
        QCOMPARE(rig.dialogs.asked.size(), 3);
        QCOMPARE(rig.dialogs.mostOpenSaves, 1);
        QCOMPARE(server.connectionCount(), 3);
        QCOMPARE(m.State().CompletedJobs, 3);
        QList<int> rows;
        for (const auto& connection : std::as_const(rig.connections))
            rows << connection.second;
        std::sort(rows.begin(), rows.end());
        QCOMPARE(rows, (QList<int>{0, 1, 2}));
        // Each job wrote the file chosen for it, in row order.
        for (int i = 0; i < 3; ++i)
            QCOMPARE(rig.read(rig.base() + QStringLiteral("/x") + QString::number(i)),
                     "a" + QByteArray::number(i));
    }
}

void TestScheduler::stopWhileAskingStartsNothing()
{
    // The stop comes while the first dialog is open (the run not yet going), while a later
    // job's dialog is open, or by leaving the program.
    enum Stop
    {
        AtStart,
        MidRun,
        Leaving
    };
    for (const Stop stop : {AtStart, MidRun, Leaving}) {
        ScriptedServer server;
        for (int i = 0; i < 3; ++i)
            server.addConnection(ServerScript().expectRequest().hold());
        ManagerRig rig(3);
        DownloadManager& m = *rig.m;
        askWhere(rig, 200, {QStringLiteral("y0"), QStringLiteral("y1"), QStringLiteral("y2")});
        addRows(m, server, 3);
        QTimer::singleShot(stop == AtStart ? 100 : 300, &m, [&] {
            if (stop == Leaving)
                QVERIFY(m.ConfirmExit());
            else
                m.StopDownloads();
        });
        m.StartDownloads();
        QCOMPARE(rig.dialogs.asked.size(), stop == AtStart ? 1 : 2);
        QTest::qWait(10 * ManagerRig::TickMs);
        QVERIFY(!m.AnySlotBusy());
        QCOMPARE(server.connectionCount(), stop == AtStart ? 0 : 1);
        if (stop != Leaving)
            QVERIFY(!m.StopEnabled() && m.StartEnabled());
        QVERIFY(!m.List2().Selected(1));
    }
}

QTEST_GUILESS_MAIN(TestScheduler)
#include "test_scheduler.moc"
