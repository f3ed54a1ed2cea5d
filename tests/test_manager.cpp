// SPDX-License-Identifier: GPL-3.0-or-later
// The download manager over real loopback sockets: job outcomes with their counters,
// monitor texts and logs, the run's scheduling of real slots (stop and start again, start
// delays, save dialogs during the run), start-up, the meter's tick and leaving.
#include "ManagerRig.h"

#include "lists/FileTypeList.h"
#include "lists/JobList.h"
#include "manager/SlotMonitor.h"
#include "support/NginxFixture.h"
#include "support/ScriptedServer.h"
#include "support/TestFiles.h"

#include <QRegularExpression>
#include <QTimer>

static void addRows(ManagerRig& rig, const ScriptedServer& server, int count)
{
    QStringList urls;
    for (int i = 0; i < count; ++i)
        urls << server.url(QStringLiteral("/f%1.bin").arg(i));
    rig.m->Jobs().AddJobs(urls.join(QStringLiteral("\r\n")));
}

class TestManager : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void jobOutcomes();
    void stopLeavesThePartialFile();
    void slotsInTheirStartDelayStayTheirJobs();
    void jobsOfOneRunLeaveTheRightTraces();
    void saveDialogsDuringTheRun();
    void startupTickAndLeaving();
};

void TestManager::jobOutcomes()
{
    // A setting (r redirect, m a minimum image size, t two tries, h HTTP/1.1 and logged
    // requests and replies), the counters (done, connect fail, redirected, download fail),
    // the file (empty: the job failed), then the slot's texts in order ("#" a number) and
    // pieces of the program log said once. The server's scripts for the job of /a.JPG
    // follow from the setting (none: a refused port).
    const QByteArray body(4000, 'p');
    const QHash<char, QList<ServerScript>> scripts{
        {'r',
         {ServerScript::reply("HTTP/1.0 302 Found\r\nLocation: /final.bin\r\n\r\n"),
          ServerScript::reply(okReply("the final body"))}},
        {'m', {ServerScript::reply(okReply(QByteArray(100, 'i')))}},
        {'-', {ServerScript::reply("HTTP/1.0 404 Not Found\r\n\r\n")}},
        {'h', {ServerScript().expectRequest().sendSplit(okReply(body), 2040, 100).close()}}};
    const struct
    {
        char setting;
        const char* counters;
        QByteArray file;
        const char *texts, *logged;
    } rows[] = {
        {'r', "1010", "the final body",
         "Connected to: 127.0.0.1(127.0.0.1)|Redirected to: /final.bin",
         "Redirection:[127.0.0.1/a.JPG]\nNew URL: /final.bin"},
        // Too small an image fails the job, yet is no download failure.
        {'m', "0000", "", "Download Incomplete.!!|Stopped..", ""},
        {'-', "0001", "", "Error**=> [404]: 127.0.0.1 [404 Not Found]|Download Failed.!!",
         "] : [127.0.0.1/a.JPG] Error**=> [404]: 127.0.0.1 [404 Not Found]\n"},
        {'t', "0100", "",
         "Waiting 1 Seconds for try :1 of total 2][127.0.0.1|Timeout/MaxTry failed.!!", ""},
        {'h', "1000", body,
         "Connected to: 127.0.0.1(127.0.0.1)|#% of 3.9KB][Packets: #]:[/a.JPG|100.0% of "
         "3.9KB][Packets: #]:[/a.JPG",
         "] : Request Sent: >> GET /a.JPG HTTP/1.1\r\n|] : 127.0.0.1\nHTTP/1.0 200 OK\r\n"
         "Content-Length: 4000"},
    };
    for (const auto& row : rows) {
        const QList<ServerScript> replies = scripts.value(row.setting);
        ScriptedServer server;
        for (const ServerScript& reply : replies)
            server.addConnection(reply);
        ManagerRig rig(1, [&](DownloadManager& m) {
            m.options().setRedirection(row.setting == 'r');
            m.options().setHttpVersion(row.setting == 'h');
            m.options().setLogRequest(row.setting == 'h');
            m.options().setLogReply(row.setting == 'h');
            m.options().EditMinImgSize(row.setting == 'm' ? "1000" : "0");
            m.options().ValidateMinImgSize();
            if (row.setting == 't')
                m.Overrides().MaxTry = 2;
        });
        DownloadManager& m = *rig.m;
        const quint16 port = replies.isEmpty() ? unusedLoopbackPort() : server.port();
        m.Jobs().AddJobs(QStringLiteral("http://127.0.0.1:%1/a.JPG").arg(port));
        // The slot's text after each event that sets one, each text once.
        QStringList seen;
        const auto record = [&] {
            if (seen.isEmpty() || seen.last() != m.Monitor().Text(0))
                seen << m.Monitor().Text(0);
        };
        for (auto signal :
             {&HttpFiles::DownloadIncomplete, &HttpFiles::DownloadFailed, &HttpFiles::WaitingRetry,
              &HttpFiles::SocketClosed, &HttpFiles::Connected})
            connect(m.Http(0), signal, this, record);
        connect(m.Http(0), &HttpFiles::Redirected, this, record);
        connect(m.Http(0), &HttpFiles::Error, this, record);
        connect(m.Http(0), &HttpFiles::FileDataArrival, this, [&] {
            record();
            QCOMPARE(m.Monitor().RowAt(0).Lamp, 7);
        });
        int redirectsAtEnd = -1;
        connect(&m, &DownloadManager::JobEnded, this,
                [&] { redirectsAtEnd = m.State().RedirectCount; });
        m.StartDownloads();
        QVERIFY(rig.waitIdle());
        record();
        qsizetype at = 0; // the texts in this order, others between them
        for (const QString& text : QString(row.texts).split(u'|', Qt::SkipEmptyParts)) {
            const QRegularExpression form(
                "^" + QRegularExpression::escape(text).replace("\\#", "[\\d.]+") + "$");
            at = seen.indexOf(form, at);
            QVERIFY2(at++ >= 0, qPrintable(seen.join(u'|')));
        }
        QString counters = QStringLiteral("Status: Total:1   Done:%1   Connect Fail:%2   "
                                          "Redirected:%3   Download Fail:%4  ");
        for (const char digit : QByteArray(row.counters))
            counters = counters.arg(QLatin1Char(digit));
        QCOMPARE(m.LastCounterLine(), counters);
        QCOMPARE(redirectsAtEnd, row.setting == 'r' ? 1 : 0); // counted before the job ends
        for (const QString& logged : QString(row.logged).split(u'|', Qt::SkipEmptyParts))
            QCOMPARE(rig.programLog().count(logged), 1);
        QCOMPARE(readFile(rig.base() + "/Harvex_0_SVR.log")
                     .count("] [CON] 127.0.0.1 " + QByteArray::number(port)),
                 server.connectionCount());
        QCOMPARE(m.State().FailedJobs, row.file.isEmpty() ? 1 : 0);
        QVERIFY(row.file.isEmpty() ? m.Jobs().IsFailed(0) : m.Jobs().IsCompleted(0));
        QCOMPARE(readFile(rig.local(port, QStringLiteral("/a.JPG"))), row.file);
        QCOMPARE(server.requests().value(0),
                 replies.isEmpty()
                     ? QByteArray()
                     : "GET /a.JPG HTTP/1." + QByteArray(row.setting == 'h' ? "1" : "0") +
                           "\r\nHost: 127.0.0.1\r\nUser-Agent: Harvex/1.6 (Windows; Windows 98; "
                           "Windows XP;)\r\nAccept: *.*, */*\r\nAccept-Encoding: *\r\nRange: "
                           "bytes=0-\r\n" +
                           (row.setting == 'h' ? "Connection: Keep-Alive\r\n\r\n" : "\r\n"));
    }
}

void TestManager::stopLeavesThePartialFile()
{
    // The run gets half the file, then the server goes silent; a stop drops the job.
    ScriptedServer server;
    server.addConnection(
        ServerScript()
            .expectRequest()
            .send("HTTP/1.0 200 OK\r\nContent-Length: 4000\r\n\r\n" + QByteArray(2000, 'h'))
            .hold());
    ManagerRig rig(2);
    DownloadManager& m = *rig.m;
    m.Jobs().AddJobs(server.url(QStringLiteral("/big.bin")));
    m.StartDownloads();
    QTRY_COMPARE_WITH_TIMEOUT(m.Http(0)->CurPos(), qint64(2001), 10000);
    m.StopDownloads();
    QVERIFY(!m.StopEnabled() && !m.ResumeEnabled() && m.StartEnabled());
    QCOMPARE(m.Status().Caption(), QStringLiteral("Status: INACTIVE "));
    QVERIFY(m.Monitor().Text(0).startsWith(QStringLiteral("Not Connected..")));
    QCOMPARE(m.Http(0)->DownloadStatus(), 0);
    QVERIFY(!m.List2().Selected(0));
    QCOMPARE(readFile(rig.local(server.port(), "/big.bin")), QByteArray(2000, 'h'));
    QVERIFY(m.Jobs().ClearAll()); // the list is free again
}

void TestManager::slotsInTheirStartDelayStayTheirJobs()
{
    // Resume and stopping one connection come while both slots wait for their first tick
    // with their sockets closed; neither loses its job or ends the run. The timer schedule
    // judges idleness at a tick while new jobs are still in their start delay.
    for (const bool stopOne : {false, true}) {
        ScriptedServer server;
        for (int i = 0; i < 6; ++i)
            server.addConnection(ServerScript::reply(okReply("s" + QByteArray::number(i))));
        ManagerRig rig(2, [&](DownloadManager& m) { m.options().setTimerSchedule(stopOne); });
        DownloadManager& m = *rig.m;
        addRows(rig, server, 6);
        m.StartDownloads();
        QCOMPARE(m.Http(0)->State(), 0);
        if (stopOne)
            m.StopConnection(0);
        else
            m.ResumeDownloads();
        QVERIFY(m.StopEnabled());
        QCOMPARE(m.State().NextJob, 2);
        QCOMPARE(m.Http(1)->Tag(), QStringLiteral("1"));
        QVERIFY(rig.dialogs.asked.isEmpty());
        QVERIFY(rig.waitIdle());
        QCOMPARE(m.State().CompletedJobs, stopOne ? 5 : 6); // row 0 stopped unfinished
        QCOMPARE(m.List2().Selected(0), !stopOne);
    }
}

void TestManager::jobsOfOneRunLeaveTheRightTraces()
{
    // A file where the first job's folder should be: it fails and the next job follows.
    // The second job is refused and ends (the third starting) before its Error is raised.
    // A file of an earlier run is resumed; a later URL naming the file of an earlier job
    // of the run ("…/h/" and "…/h/_index.htm") never resumes it. One slot: one job at a time.
    const QByteArray first = NginxFixture::randomBytes(3000, 3);
    const QByteArray second = NginxFixture::randomBytes(5000, 4);
    ScriptedServer server;
    server.addConnection(ServerScript().expectRequest().pause(200).send(okReply("fine")).close());
    server.addConnection(
        ServerScript::reply("HTTP/1.1 206 Partial\r\nContent-Range: bytes 5-7/8\r\n\r\n678"));
    server.addConnection(ServerScript::reply(okReply(first)));
    server.addConnection(ServerScript::reply(okReply(second)));
    ManagerRig rig(1, [](DownloadManager& m) { m.Overrides().MaxTry = 1; });
    DownloadManager& m = *rig.m;
    const auto local = [&](const char* path) { return rig.local(server.port(), path); };
    QVERIFY(writeFile(local("/x"), "blocker") && writeFile(local("/old.zip"), "12345"));
    // The third row keeps the blanks it was added with; they are no part of its address.
    m.Jobs().AddJobs(server.url("/x/y.bin") + "\r\n" +
                     QStringLiteral("http://127.0.0.1:%1/refused.bin").arg(unusedLoopbackPort()) +
                     "\r\n  " + server.url("/good.bin") + " \r\n" + server.url("/old.zip") +
                     "\r\n" + server.url("/h/") + "\r\n" + server.url("/h/_index.htm"));
    QString monitorAfterError;
    connect(m.Http(0), &HttpFiles::Error, this, [&] { monitorAfterError = m.Monitor().Text(0); });
    m.StartDownloads();
    QVERIFY(rig.waitIdle());
    QCOMPARE(m.State().FailedJobs, 2);
    QCOMPARE(m.State().CompletedJobs, 4);
    QVERIFY(m.Jobs().IsFailed(0) && m.Jobs().IsFailed(1) && m.Jobs().IsCompleted(2));
    QCOMPARE(readFile(local("/good.bin")), QByteArray("fine"));
    QCOMPARE(readFile(local("/old.zip")), QByteArray("12345678"));
    QCOMPARE(readFile(local("/h/_index.htm")), first);
    QCOMPARE(readFile(local("/h/_index[1].htm")), second);
    const QString log = rig.programLog();
    QVERIFY2(log.contains(QStringLiteral("/refused.bin] Error**=> [10061]")), qPrintable(log));
    QVERIFY2(!log.contains(QStringLiteral("/good.bin] Error")), qPrintable(log));
    QCOMPARE(log.count(QStringLiteral("***Resuming")), 1);
    QVERIFY(!monitorAfterError.startsWith(QStringLiteral("Error**")));
}

void TestManager::saveDialogsDuringTheRun()
{
    // "Ask me where ?": every save dialog stays open a while, running its own event loop
    // in which ticks fire and other jobs end, as a modal dialog does. Jobs end during the
    // next job's dialog, with a refill on every job end or the timer schedule, which
    // refills every slot that looks free. Or a stop comes while the first dialog is open
    // (the run not yet going) or a later one, or by leaving the program.
    const struct
    {
        bool timerSchedule;
        int stopAtMs; // 0: no stop
        bool leaving;
        int asked, connections;
    } rows[] = {{false, 0, false, 3, 3},
                {true, 0, false, 3, 3},
                {false, 100, false, 1, 0},
                {false, 300, false, 2, 1},
                {false, 300, true, 2, 1}};
    for (const auto& row : rows) {
        ScriptedServer server;
        for (int i = 0; i < 3; ++i)
            server.addConnection(row.stopAtMs
                                     ? ServerScript().expectRequest().hold()
                                     : ServerScript::reply(okReply("a" + QByteArray::number(i))));
        ManagerRig rig(row.stopAtMs ? 3 : 2, [&](DownloadManager& m) {
            m.options().setTimerSchedule(row.timerSchedule);
            m.options().setPathOption(2);
        });
        DownloadManager& m = *rig.m;
        rig.dialogs.saveOpenMs = 200;
        for (int i = 0; i < 3; ++i)
            rig.dialogs.files.enqueue(rig.base() + QStringLiteral("/x%1").arg(i));
        addRows(rig, server, 3);
        if (row.stopAtMs)
            QTimer::singleShot(row.stopAtMs, &m, [&] {
                if (row.leaving)
                    QVERIFY(m.ConfirmExit());
                else
                    m.StopDownloads();
            });
        m.StartDownloads();
        if (row.stopAtMs) {
            QTest::qWait(10 * ManagerRig::TickMs); // nothing may start later either
            QVERIFY(!m.AnySlotBusy() && !m.List2().Selected(1));
            QVERIFY(row.leaving || (!m.StopEnabled() && m.StartEnabled()));
        } else {
            QVERIFY(rig.waitIdle());
            QCOMPARE(rig.dialogs.mostOpenSaves, 1);
            // Each job wrote the file chosen for it, in row order.
            for (int i = 0; i < 3; ++i)
                QCOMPARE(readFile(rig.base() + QStringLiteral("/x%1").arg(i)),
                         "a" + QByteArray::number(i));
        }
        QCOMPARE(rig.dialogs.asked.size(), row.asked);
        QCOMPARE(server.connectionCount(), row.connections);
    }
}

void TestManager::startupTickAndLeaving()
{
    ManagerRig missing(3, {}, false);
    QVERIFY(!missing.baseDirOk);
    QCOMPARE(missing.dialogs.messages(),
             QStringList{"The Base directory (" + missing.base() +
                         ") couldn't be found..\r\nPlease do fix it and restart Harvex..."});
    QVERIFY(!QFileInfo::exists(missing.base())); // never created behind the user's back

    ManagerRig rig(25, [](DownloadManager& m) {
        QVERIFY(writeFile(m.options().BaseDir() + "/param.dat",
                          "$ERR_CODES=404|500\n$DEF_DATA_FILTER=(x$Ext)\n"));
    });
    DownloadManager& m = *rig.m;
    QCOMPARE(m.SessionMax(), 20); // clamped
    DownloadManager unclamped(rig.dialogs, *rig.store);
    unclamped.CreateControls(25);
    QCOMPARE(unclamped.SessionMax(), 20);
    QCOMPARE(m.Monitor().RowCount(), 20);
    QCOMPARE(m.Params().ErrCodes, QStringLiteral("404|500"));
    QCOMPARE(m.Jobs().DataFilter(), QStringLiteral("(x$Ext)"));
    QCOMPARE(m.Status().Caption(), QStringLiteral("Status: INACTIVE "));
    QVERIFY(!m.StartEnabled() && !m.StopEnabled() && !m.ResumeEnabled());
    QVERIFY(m.DataTypes().ListCount() > 0);
    QVERIFY(QFileInfo::exists(rig.base() + QStringLiteral("/Harvex_0.log")));
    QVERIFY(!m.options().SaveEnabled()); // nothing is marked by the start-up
    QVERIFY(m.QueryUnload());            // idle, nothing changed: nothing asked
    QVERIFY(rig.dialogs.asked.isEmpty());
    // The manager's tick: bytes of the tick shown, then the counters cleared, time on.
    m.State().TotalBytes = 2560;
    m.State().FileBytes = 1024 * 1024;
    m.Timer1().start();
    QSignalSpy ticked(&m, &DownloadManager::MeterChanged);
    QVERIFY(ticked.wait(2000));
    m.Timer1().stop();
    QCOMPARE(m.MeterText(),
             QStringLiteral("  Download Speed:02.5KB/Sec     Total Download:01.0MB"));
    QCOMPARE(m.State().TotalBytes, 0);
    QCOMPARE(m.State().FileBytes, 0);
    QCOMPARE(m.TimeText(), QStringLiteral("00:01 Min"));

    ScriptedServer server;
    server.addConnection(ServerScript().expectRequest().hold());
    m.options().setKeepAlive(false); // an unsaved change
    m.Jobs().AddJobs(server.url(QStringLiteral("/held.bin")));
    m.StartDownloads();
    rig.dialogs.answers << Dialogs::Answer::No << Dialogs::Answer::No;
    QVERIFY(!m.QueryUnload());
    QCOMPARE(rig.dialogs.messages(),
             (QStringList{"There are unsaved settings! Do you wish to save them?",
                          "Downloads in progress!\r\n\r\nDo you wish to exit ?"}));
    QCOMPARE(m.Http(0)->DownloadStatus(), -1); // still running
    QVERIFY(!rig.store->Contains(QStringLiteral("Keep-Alive")));
    rig.dialogs.answers << Dialogs::Answer::Yes;
    QVERIFY(m.ConfirmExit());
    QCOMPARE(m.Http(0)->DownloadStatus(), 0);
    QCOMPARE(m.Http(0)->State(), 0);
}

QTEST_GUILESS_MAIN(TestManager)
#include "test_manager.moc"
