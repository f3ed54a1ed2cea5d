// SPDX-License-Identifier: GPL-3.0-or-later
// The slot event handlers, counters, monitor rows, status and meter texts and logs of the
// download manager, and its start-up, over real loopback sockets.
#include "ManagerRig.h"

#include "cli/LiveDisplay.h"
#include "lists/FileTypeList.h"
#include "lists/JobList.h"
#include "manager/SlotMonitor.h"
#include "manager/SpeedMeter.h"
#include "support/ScriptedServer.h"

#include <QRegularExpression>

class TestManager : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void redirectCountsOnceAndRowEndsOnlyAtTheEnd();
    void incompleteIsFailedButNotCountedAsDownloadFail();
    void failedReplyCountsAndLogsTheError();
    void triesUsedUpCountAsConnectFail();
    void requestCarriesTheSelectedHeadersAndOptions();
    void connectedAndProgressTexts();
    void monitorTellsViewsOncePerBurst();
    void meterAndElapsedTexts();
    void speedHistoryKeepsFiftyEightColumnsOldestFirst();
    void missingBaseFolderIsReported();
    void startupFillsBuiltInsAndParamFile();
    void leavingDuringRunAsksAndStopsSlots();
    void liveDisplayLinesStayOnOneRow();
};

void TestManager::redirectCountsOnceAndRowEndsOnlyAtTheEnd()
{
    ScriptedServer server;
    server.addConnection(ServerScript::reply("HTTP/1.0 302 Found\r\nLocation: /final.bin\r\n\r\n"));
    server.addConnection(ServerScript::reply(okReply("the final body")));
    ManagerRig rig(2, [](DownloadManager& m) { m.options().setRedirection(true); });
    DownloadManager& m = *rig.m;
    m.Jobs().AddJobs(server.url(QStringLiteral("/r.bin")));
    bool checkedAtRedirect = true;
    QString monitorAtRedirect;
    connect(m.Http(0), &HttpFiles::Redirected, this, [&] {
        checkedAtRedirect = m.List2().Selected(0);
        monitorAtRedirect = m.Monitor().Text(0);
    });
    int redirectsAtEnd = -1;
    connect(&m, &DownloadManager::JobEnded, this,
            [&] { redirectsAtEnd = m.State().RedirectCount; });
    m.StartDownloads();
    QVERIFY(rig.waitIdle());

    QVERIFY(!checkedAtRedirect);
    QCOMPARE(monitorAtRedirect, QStringLiteral("Redirected to: /final.bin"));
    QCOMPARE(redirectsAtEnd, 1);
    QCOMPARE(m.State().CompletedJobs, 1);
    QVERIFY(m.Jobs().IsCompleted(0));
    QCOMPARE(m.LastCounterLine(), QStringLiteral("Status: Total:1   Done:1   Connect Fail:0   "
                                                 "Redirected:1   Download Fail:0  "));
    QCOMPARE(rig.read(rig.local(server.port(), QStringLiteral("/r.bin"))),
             QByteArray("the final body"));
    const QString log = rig.programLog();
    QCOMPARE(log.count(QStringLiteral("Redirection:[")), 1);
    QVERIFY(log.contains(QStringLiteral("Redirection:[127.0.0.1/r.bin]\nNew URL: /final.bin")));
}

void TestManager::incompleteIsFailedButNotCountedAsDownloadFail()
{
    ScriptedServer server;
    server.addConnection(ServerScript::reply(okReply(QByteArray(100, 'i'))));
    ManagerRig rig(1, [](DownloadManager& m) {
        m.options().EditMinImgSize(QStringLiteral("1000"));
        m.options().ValidateMinImgSize();
    });
    DownloadManager& m = *rig.m;
    m.Jobs().AddJobs(server.url(QStringLiteral("/small.JPG")));
    QString monitorAtVerdict;
    connect(m.Http(0), &HttpFiles::DownloadIncomplete, this,
            [&] { monitorAtVerdict = m.Monitor().Text(0); });
    m.StartDownloads();
    QVERIFY(rig.waitIdle());
    QCOMPARE(monitorAtVerdict, QStringLiteral("Download Incomplete.!!"));
    QCOMPARE(m.State().FailedJobs, 1);
    QCOMPARE(m.State().CompletedJobs, 0);
    QVERIFY(m.List2().Selected(0));
    QVERIFY(m.Jobs().IsFailed(0));
    QVERIFY(m.LastCounterLine().endsWith(QStringLiteral("Download Fail:0  ")));
    QCOMPARE(m.Monitor().Text(0), QStringLiteral("Stopped..")); // nothing left to hand out
}

void TestManager::failedReplyCountsAndLogsTheError()
{
    ScriptedServer server;
    server.addConnection(ServerScript::reply("HTTP/1.0 404 Not Found\r\n\r\n"));
    ManagerRig rig(1);
    DownloadManager& m = *rig.m;
    m.Jobs().AddJobs(server.url(QStringLiteral("/gone.zip")));
    QStringList texts;
    connect(m.Http(0), &HttpFiles::Error, this, [&] { texts << m.Monitor().Text(0); });
    connect(m.Http(0), &HttpFiles::DownloadFailed, this, [&] { texts << m.Monitor().Text(0); });
    m.StartDownloads();
    QVERIFY(rig.waitIdle());
    QCOMPARE(texts, (QStringList{QStringLiteral("Error**=> [404]: 127.0.0.1 [404 Not Found]"),
                                 QStringLiteral("Download Failed.!!")}));
    QCOMPARE(m.State().FailedJobs, 1);
    QVERIFY(m.LastCounterLine().endsWith(QStringLiteral("Download Fail:1  ")));
    QVERIFY(rig.programLog().contains(
        QStringLiteral("] : [127.0.0.1/gone.zip] Error**=> [404]: 127.0.0.1 [404 Not Found]\n")));
}

void TestManager::triesUsedUpCountAsConnectFail()
{
    const quint16 port = unusedLoopbackPort();
    ManagerRig rig(1, [](DownloadManager& m) { m.Overrides().MaxTry = 2; });
    DownloadManager& m = *rig.m;
    const QString url = QStringLiteral("http://127.0.0.1:%1/never.bin").arg(port);
    m.Jobs().AddJobs(url);
    QStringList waits;
    connect(m.Http(0), &HttpFiles::WaitingRetry, this, [&] { waits << m.Monitor().Text(0); });
    QString atClose;
    connect(m.Http(0), &HttpFiles::SocketClosed, this, [&] { atClose = m.Monitor().Text(0); });
    m.StartDownloads();
    QVERIFY(rig.waitIdle());
    QCOMPARE(atClose, QStringLiteral("Timeout/MaxTry failed.!!"));
    QVERIFY(!waits.isEmpty());
    QCOMPARE(waits.first(), QStringLiteral("Waiting 1 Seconds for try :1 of total 2][127.0.0.1"));
    QCOMPARE(m.State().FailedJobs, 1);
    QVERIFY(m.LastCounterLine().contains(QStringLiteral("Connect Fail:1   ")));
    QVERIFY(m.Jobs().IsFailed(0));
}

void TestManager::requestCarriesTheSelectedHeadersAndOptions()
{
    for (const bool http11 : {false, true}) {
        ScriptedServer server;
        server.addConnection(ServerScript::reply(okReply("x")));
        ManagerRig rig(1, [&](DownloadManager& m) { m.options().setHttpVersion(http11); });
        DownloadManager& m = *rig.m;
        m.Jobs().AddJobs(server.url(QStringLiteral("/a.bin")));
        m.StartDownloads();
        QVERIFY(rig.waitIdle());
        const QByteArray expected = "GET /a.bin HTTP/1." + QByteArray(http11 ? "1" : "0") +
                                    "\r\nHost: 127.0.0.1\r\n"
                                    "User-Agent: Harvex/1.6 (Windows; Windows 98; Windows XP;)\r\n"
                                    "Accept: *.*, */*\r\n"
                                    "Accept-Encoding: *\r\n"
                                    "Range: bytes=0-\r\n" +
                                    QByteArray(http11 ? "Connection: Keep-Alive\r\n" : "") + "\r\n";
        QCOMPARE(server.requests().value(0), expected);
    }
}

void TestManager::connectedAndProgressTexts()
{
    const QByteArray body(4000, 'p');
    ScriptedServer server;
    server.addConnection(
        ServerScript()
            .expectRequest()
            .send("HTTP/1.0 200 OK\r\nContent-Length: 4000\r\n\r\n" + body.left(2000))
            .pause(100)
            .send(body.mid(2000))
            .close());
    ManagerRig rig(1, [](DownloadManager& m) {
        m.options().setLogRequest(true);
        m.options().setLogReply(true);
    });
    DownloadManager& m = *rig.m;
    m.Jobs().AddJobs(server.url(QStringLiteral("/p.bin")));
    QString atConnect;
    QStringList progress;
    connect(m.Http(0), &HttpFiles::Connected, this, [&] { atConnect = m.Monitor().Text(0); });
    connect(m.Http(0), &HttpFiles::FileDataArrival, this, [&] {
        progress << m.Monitor().Text(0);
        QCOMPARE(m.Monitor().RowAt(0).Lamp, 7);
    });
    m.StartDownloads();
    QVERIFY(rig.waitIdle());
    QCOMPARE(atConnect, QStringLiteral("Connected to: 127.0.0.1(127.0.0.1)"));
    QVERIFY(!progress.isEmpty());
    const QRegularExpression form(
        QStringLiteral("^\\d+\\.\\d% of 3\\.9KB\\]\\[Packets: \\d+\\]:\\[/p\\.bin$"));
    for (const QString& text : std::as_const(progress))
        QVERIFY2(form.match(text).hasMatch(), qPrintable(text));
    QVERIFY(progress.last().startsWith(QStringLiteral("100.0% of 3.9KB")));

    const QString log = rig.programLog();
    QVERIFY(log.contains(QStringLiteral("] : Request Sent: >> GET /p.bin HTTP/1.0\r\n")));
    QVERIFY(log.contains(QStringLiteral("] : 127.0.0.1\nHTTP/1.0 200 OK\r\nContent-Length: 4000")));
    const QString conLog =
        QString::fromUtf8(rig.read(rig.base() + QStringLiteral("/Harvex_0_SVR.log")));
    QVERIFY(conLog.endsWith(QStringLiteral("] [CON] 127.0.0.1 ") + QString::number(server.port()) +
                            QLatin1Char('\n')));
    QCOMPARE(conLog.count(QLatin1Char('\n')), 1);
}

void TestManager::monitorTellsViewsOncePerBurst()
{
    SlotMonitor monitor;
    monitor.CreateRows(3);
    monitor.SetRefreshInterval(30);
    QSignalSpy changed(&monitor, &SlotMonitor::RowsChanged);
    QVERIFY(changed.wait(1000));
    monitor.TakeDirtyRows();
    changed.clear();
    for (int i = 0; i < 5000; ++i) {
        monitor.SetProgress(1, i / 50.0);
        monitor.SetSlotStatus(1, QString::number(i));
    }
    monitor.SetSlotStatus(7, QStringLiteral("ignored")); // no such slot
    QCOMPARE(changed.count(), 0);
    QVERIFY(changed.wait(1000));
    QCOMPARE(monitor.TakeDirtyRows(), QVector<int>{1});
    QCOMPARE(monitor.Text(1), QStringLiteral("4999"));
    QCOMPARE(monitor.RowAt(1).Progress, 99.98);
    QVERIFY(!changed.wait(150)); // nothing new, nothing told
    QCOMPARE(SlotMonitor::FillPercent(0.4), 0.0);
    QCOMPARE(SlotMonitor::FillPercent(0.5), 0.5);
    QCOMPARE(SlotMonitor::SlotNumberText(0), QStringLiteral("01"));
    QCOMPARE(monitor.DisplayText(1), QStringLiteral(" [4999]"));
}

void TestManager::meterAndElapsedTexts()
{
    SpeedMeter meter;
    QCOMPARE(meter.MeterText(),
             QStringLiteral("  Download Speed:00.0KB/Sec     Total Download:00.0MB"));
    meter.Tick(40 * 1024, 3 * 1024 * 1024 / 2);
    QCOMPARE(meter.MeterText(),
             QStringLiteral("  Download Speed:40.0KB/Sec     Total Download:01.5MB"));
    QCOMPARE(meter.History().last(), 17); // a full column
    meter.Tick(0, 0);                     // a quiet tick keeps the total
    QCOMPARE(meter.MeterText(),
             QStringLiteral("  Download Speed:00.0KB/Sec     Total Download:01.5MB"));
    meter.Tick(qint64(123456) * 1024, qint64(200) * 1024 * 1024);
    QCOMPARE(meter.MeterText(),
             QStringLiteral("  Download Speed:123456.0KB/Sec     Total Download:201.5MB"));
    QCOMPARE(SpeedMeter::ElapsedText(0), QStringLiteral("00:00 Min"));
    QCOMPARE(SpeedMeter::ElapsedText(61), QStringLiteral("01:01 Min"));
    QCOMPARE(SpeedMeter::ElapsedText(6000), QStringLiteral("100:00 Min"));

    // The manager's tick: bytes of the tick, then the counters cleared, the time advanced.
    ManagerRig rig(1);
    DownloadManager& m = *rig.m;
    QCOMPARE(m.TimeText(), QStringLiteral("00:00 Min"));
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
    QCOMPARE(m.State().TickCount, 1);
    QCOMPARE(m.TimeText(), QStringLiteral("00:01 Min"));
}

void TestManager::speedHistoryKeepsFiftyEightColumnsOldestFirst()
{
    SpeedMeter meter;
    QVERIFY(meter.GraphBlank());
    for (int i = 0; i < 60; ++i)
        meter.Tick(qint64(i % 20) * 1024, 0);
    const QVector<int> columns = meter.History();
    QCOMPARE(columns.size(), 58);
    // Ticks 2..59 remain; values above 17 are cut to 17.
    QCOMPARE(columns.first(), 2);
    QCOMPARE(columns.last(), 17); // 59 % 20 = 19
    QCOMPARE(columns.at(57 - 2), 17);
    QCOMPARE(columns.at(57 - 4), 15);
    QVERIFY(!meter.GraphBlank());
    meter.BlankGraph();
    QVERIFY(meter.GraphBlank());
    QCOMPARE(meter.History(), columns); // the history itself is never cleared
    meter.Tick(qint64(2.5 * 1024), 0);
    QCOMPARE(meter.History().last(), 2); // halves to even
}

void TestManager::missingBaseFolderIsReported()
{
    ManagerRig rig(3, {}, false);
    QVERIFY(!rig.baseDirOk);
    QCOMPARE(rig.dialogs.asked.size(), 1);
    QCOMPARE(rig.dialogs.asked[0].text, QStringLiteral("The Base directory (") + rig.base() +
                                            QStringLiteral(") couldn't be found..\r\n"
                                                           "Please do fix it and restart "
                                                           "Harvex..."));
    QVERIFY(!QFileInfo::exists(rig.base())); // never created behind the user's back
}

void TestManager::startupFillsBuiltInsAndParamFile()
{
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("base"));
    QDir().mkpath(base);
    QFile param(base + QStringLiteral("/param.dat"));
    QVERIFY(param.open(QIODevice::WriteOnly));
    param.write("$ERR_CODES=404|500\n$USER_AGENT=Probe/2\n$DEF_DATA_FILTER=(x$Ext)\n");
    param.close();
    SettingsStore store(dir.filePath(QStringLiteral("s.ini")));
    store.Set(QStringLiteral("Base Dir"), base);
    store.Set(QStringLiteral("Max Parallel"), QStringLiteral("25"));
    ScriptedDialogs dialogs;
    DownloadManager m(dialogs, store);
    QVERIFY(Startup::Run(m));
    QCOMPARE(m.SessionMax(), 20); // clamped
    QCOMPARE(m.State().SlotCount, 20);
    QCOMPARE(m.Monitor().RowCount(), 20);
    QCOMPARE(m.Params().ErrCodes, QStringLiteral("404|500"));
    QCOMPARE(m.Params().Combo2.Count(), 4);
    QCOMPARE(m.Params().Combo2.SelectedIndex(), 0);
    QCOMPARE(m.Jobs().DataFilter(), QStringLiteral("(x$Ext)"));
    QCOMPARE(m.List2().ToolTipText(), QStringLiteral("Harvex: Http Batch Downloader"));
    QCOMPARE(m.Status().Caption(), QStringLiteral("Status: INACTIVE "));
    QVERIFY(!m.StartEnabled() && !m.StopEnabled() && !m.ResumeEnabled());
    QVERIFY(m.DataTypes().ListCount() > 0);
    QVERIFY(QFileInfo::exists(base + QStringLiteral("/Harvex_0.log")));
    QVERIFY(dialogs.asked.isEmpty());
    QVERIFY(!m.options().SaveEnabled()); // nothing is marked by the start-up
}

void TestManager::leavingDuringRunAsksAndStopsSlots()
{
    ScriptedServer server;
    server.addConnection(ServerScript().expectRequest().hold());
    ManagerRig rig(2);
    DownloadManager& m = *rig.m;
    QVERIFY(m.QueryUnload()); // idle, nothing changed: nothing asked
    QVERIFY(rig.dialogs.asked.isEmpty());

    m.options().setKeepAlive(false); // an unsaved change
    m.Jobs().AddJobs(server.url(QStringLiteral("/held.bin")));
    m.StartDownloads();
    rig.dialogs.answers << Dialogs::Answer::No << Dialogs::Answer::No;
    QVERIFY(!m.QueryUnload());
    QCOMPARE(rig.dialogs.messages(),
             (QStringList{QStringLiteral("There are unsaved settings! Do you wish to save them?"),
                          QStringLiteral("Downloads in progress!\r\n\r\nDo you wish to exit ?")}));
    QCOMPARE(m.Http(0)->DownloadStatus(), -1); // still running
    QVERIFY(!rig.store->Contains(QStringLiteral("Keep-Alive")));

    rig.dialogs.answers << Dialogs::Answer::Yes;
    QVERIFY(m.ConfirmExit());
    QCOMPARE(m.Http(0)->DownloadStatus(), 0);
    QCOMPARE(m.Http(0)->State(), 0);
}

void TestManager::liveDisplayLinesStayOnOneRow()
{
    SlotMonitor monitor;
    monitor.CreateRows(2);
    monitor.SetProgress(0, 50);
    monitor.SetSlotStatus(0,
                          QStringLiteral("Connected to: host\r\x1b[2Jx\u009B2J\u202E\U0001F600"));
    monitor.SetSlotStatus(1, QString(200, QLatin1Char('w')));
    const QStringList lines =
        LiveDisplay::Render(monitor, QStringLiteral("meter"), QStringLiteral("counters"), 60);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0],
             QStringLiteral("01 [##########          ] [Connected to: host??[2Jx?2J?\U0001F600]"));
    QCOMPARE(lines[1].size(), 59);
    QVERIFY(lines[1].startsWith(QStringLiteral("02 [                    ] [www")));
    QCOMPARE(lines[2], QStringLiteral("meter"));
    QCOMPARE(lines[3], QStringLiteral("counters"));
    QCOMPARE(LiveDisplay::ProgressBar(100, 4), QStringLiteral("[####]"));
    QCOMPARE(LiveDisplay::ProgressBar(0.4, 4), QStringLiteral("[    ]"));
}

QTEST_GUILESS_MAIN(TestManager)
#include "test_manager.moc"
