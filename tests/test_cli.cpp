// SPDX-License-Identifier: GPL-3.0-or-later
// harvex-cli end to end: the built program against nginx and refused ports, with its
// settings and base folder in temporary folders.
#include "cli/CliOptions.h"
#include "support/NginxFixture.h"
#include "support/ScriptedServer.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>

class TestCli : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parsesOptionsAndValues();
    void downloadsTwoHundredFilesByteExact();
    void interruptStopsAndSecondRunResumes_data();
    void interruptStopsAndSecondRunResumes();
    void reportsMixedOutcomes();
    void failedListWriteErrorsAreReported_data();
    void failedListWriteErrorsAreReported();
    void badUsageDownloadsNothing();
    void missingBaseFolderExitsTwo();
    void noDownloadPrintsTheJobList();
    void listFilesFollowTheWindowsRules_data();
    void listFilesFollowTheWindowsRules();
    void harvestsPagesIntoTheJobList();
    void expandsUrlPatterns();
    void terminalLinesShowNonPrintingAsQuestionMarks();
};

struct CliResult
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Settings, home and base folder of one test.
struct CliHome
{
    QTemporaryDir dir;
    QString base() const { return dir.filePath(QStringLiteral("base")); }
    QString file(const QString& name) const { return dir.filePath(name); }
    CliHome() { QDir().mkpath(base()); }

    void start(QProcess& cli, const QStringList& args) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), dir.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DOWNLOAD_DIR"), dir.filePath(QStringLiteral("dl")));
        cli.setProcessEnvironment(env);
        cli.start(QStringLiteral(HARVEX_CLI_PATH), args);
    }
    CliResult run(const QStringList& args, const QByteArray& input = {},
                  int timeoutMs = 60000) const
    {
        QProcess cli;
        start(cli, args);
        CliResult result;
        if (!cli.waitForStarted(10000))
            return result;
        cli.write(input);
        cli.closeWriteChannel();
        QSignalSpy finished(&cli, &QProcess::finished);
        if (!finished.wait(timeoutMs)) {
            cli.kill();
            cli.waitForFinished();
            return result;
        }
        result.exitCode = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -2;
        result.out = cli.readAllStandardOutput();
        result.err = cli.readAllStandardError();
        return result;
    }
    QString local(quint16 port, const QString& path) const
    {
        return base() + QStringLiteral("/127.0.0.1%3A") + QString::number(port) + path;
    }
    void writeFile(const QString& name, const QByteArray& data) const
    {
        QVERIFY(::writeFile(file(name), data));
    }
};

static QStringList filesBelow(const QString& dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    return files;
}

void TestCli::parsesOptionsAndValues()
{
    CliOptions o;
    QString error;
    QVERIFY(CliOptions::Parse({QStringLiteral("--parallel=20"), QStringLiteral("-i"),
                               QStringLiteral("a.txt"), QStringLiteral("--no-resume"),
                               QStringLiteral("--resume"), QStringLiteral("--busy-wait"),
                               QStringLiteral("0"), QStringLiteral("--user-agent="),
                               QStringLiteral("-"), QStringLiteral("--"), QStringLiteral("-q")},
                              o, error));
    QCOMPARE(o.Parallel, 20);
    QCOMPARE(o.Inputs, QStringList{QStringLiteral("a.txt")});
    QCOMPARE(o.Resume, true); // the last one counts
    QCOMPARE(o.BusyWait, 0);
    QCOMPARE(o.UserAgent, QString()); // empty: no User-Agent line
    QCOMPARE(o.Positional, (QStringList{QStringLiteral("-"), QStringLiteral("-q")}));
    QVERIFY(!o.Quiet && !o.Redirect.has_value());

    const QList<QStringList> bad{
        {QStringLiteral("-j"), QStringLiteral("0")},
        {QStringLiteral("-j"), QStringLiteral("+5")},
        {QStringLiteral("--min-image-size"), QStringLiteral("99999999999999999999")},
        {QStringLiteral("--user-agent"), QStringLiteral("a\r\nX-Injected: 1")},
        {QStringLiteral("--quiet=1")},
        {QStringLiteral("-i")},
        {QStringLiteral("--tick-ms"), QStringLiteral("0")},
    };
    for (const QStringList& args : bad) {
        QVERIFY2(!CliOptions::Parse(args, o, error), qPrintable(args.join(QLatin1Char(' '))));
        QVERIFY(!error.isEmpty() && !error.contains(QLatin1Char('\n')));
    }
}

void TestCli::downloadsTwoHundredFilesByteExact()
{
    NginxFixture nginx;
    QString error;
    QVERIFY2(nginx.start(&error), qPrintable(error));
    CliHome home;
    QHash<QString, QByteArray> files;
    QByteArray list;
    for (int i = 0; i < 200; ++i) {
        const QString path = QStringLiteral("/d%1/sub%2/f%3.bin").arg(i % 7).arg(i % 3).arg(i);
        files[path] = NginxFixture::randomBytes(1 + (i * 7919) % 60000, quint32(i));
        nginx.writeFile(path.mid(1), files[path]);
        list += nginx.url(path).toUtf8() + (i % 2 ? "\r\n" : "\n");
    }
    home.writeFile(QStringLiteral("urls.txt"), list);
    const CliResult r =
        home.run({QStringLiteral("-i"), home.file(QStringLiteral("urls.txt")), QStringLiteral("-d"),
                  home.base(), QStringLiteral("-j"), QStringLiteral("20"),
                  QStringLiteral("--tick-ms"), QStringLiteral("20")});
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.out.endsWith("Completed: 200  Failed: 0\n"), r.out.constData());
    QVERIFY(r.out.startsWith("Status: Total:200 Done:200 Connect Fail:0   "));
    QCOMPARE(r.err.count("[Completed] "), 200);
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        QVERIFY2(readAll(home.local(nginx.port(), it.key())) == it.value(), qPrintable(it.key()));
    // One connection log line per job; no program log entries without header logging.
    QCOMPARE(readAll(home.base() + QStringLiteral("/Harvex_0_SVR.log")).count('\n'), 200);
    QCOMPARE(readAll(home.base() + QStringLiteral("/Harvex_0.log")), QByteArray());
    QCOMPARE(filesBelow(home.base()).size(), 202);
}

void TestCli::interruptStopsAndSecondRunResumes_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("interrupt") << int(SIGINT);
    QTest::newRow("terminal closed") << int(SIGHUP);
}

void TestCli::interruptStopsAndSecondRunResumes()
{
    QFETCH(int, signal);
    // Requests that say they are slow get a slow reply, so the first run is still busy
    // when it is interrupted.
    NginxFixture nginx(QStringLiteral("if ($http_user_agent = \"slow\") { set $limit_rate 40k; }"));
    QString error;
    QVERIFY2(nginx.start(&error), qPrintable(error));
    CliHome home;
    QStringList urls;
    QList<QByteArray> bodies;
    for (int i = 0; i < 3; ++i) {
        bodies << NginxFixture::randomBytes(600000 + i, quint32(100 + i));
        nginx.writeFile(QStringLiteral("big%1.zip").arg(i), bodies.last());
        urls << nginx.url(QStringLiteral("/big%1.zip").arg(i));
    }
    const QStringList common{QStringLiteral("-d"), home.base(), QStringLiteral("--tick-ms"),
                             QStringLiteral("20")};

    QProcess first;
    home.start(first,
               common + QStringList{QStringLiteral("--user-agent"), QStringLiteral("slow")} + urls);
    QVERIFY(first.waitForStarted(10000));
    auto partialBytes = [&] {
        qint64 total = 0;
        for (int i = 0; i < 3; ++i)
            total +=
                QFileInfo(home.local(nginx.port(), QStringLiteral("/big%1.zip").arg(i))).size();
        return total;
    };
    QTRY_VERIFY_WITH_TIMEOUT(partialBytes() > 60000, 20000);
    ::kill(pid_t(first.processId()), signal);
    QSignalSpy finished(&first, &QProcess::finished);
    QVERIFY(first.state() == QProcess::NotRunning || finished.wait(20000));
    QCOMPARE(first.exitStatus(), QProcess::NormalExit);
    QCOMPARE(first.exitCode(), 130);
    QVERIFY(first.readAllStandardOutput().endsWith("Completed: 0  Failed: 3\n"));
    const qint64 kept = partialBytes();
    QVERIFY(kept > 0 && kept < 1800000);
    // The stop sequence ran: the connection log holds every job's line.
    QCOMPARE(readAll(home.base() + QStringLiteral("/Harvex_0_SVR.log")).count('\n'), 3);

    const CliResult second = home.run(common + urls);
    QCOMPARE(second.exitCode, 0);
    QVERIFY(second.out.endsWith("Completed: 3  Failed: 0\n"));
    for (int i = 0; i < 3; ++i)
        QVERIFY(readAll(home.local(nginx.port(), QStringLiteral("/big%1.zip").arg(i))) ==
                bodies[i]);
    const QByteArray log = readAll(home.base() + QStringLiteral("/Harvex_0.log"));
    QVERIFY2(log.count("***Resuming => /big") >= 1, log.constData());
}

void TestCli::reportsMixedOutcomes()
{
    NginxFixture nginx;
    QString error;
    QVERIFY2(nginx.start(&error), qPrintable(error));
    CliHome home;
    QStringList ok, missing, refused;
    for (int i = 0; i < 3; ++i) {
        nginx.writeFile(QStringLiteral("ok%1.txt").arg(i), "fine " + QByteArray::number(i));
        ok << nginx.url(QStringLiteral("/ok%1.txt").arg(i));
    }
    missing << nginx.url(QStringLiteral("/no1.bin")) << nginx.url(QStringLiteral("/no2.bin"));
    refused << QStringLiteral("http://127.0.0.1:%1/a.bin").arg(unusedLoopbackPort())
            << QStringLiteral("http://127.0.0.1:%1/b.bin").arg(unusedLoopbackPort());
    const QString failedList = home.file(QStringLiteral("failed.txt"));
    home.writeFile(QStringLiteral("failed.txt"), "earlier\n");
    const CliResult r = home.run(
        QStringList{QStringLiteral("-d"), home.base(), QStringLiteral("--max-try"),
                    QStringLiteral("2"), QStringLiteral("--busy-wait"), QStringLiteral("1"),
                    QStringLiteral("--tick-ms"), QStringLiteral("20"), QStringLiteral("-j"),
                    QStringLiteral("4"), QStringLiteral("--failed-list"), failedList} +
        ok + missing + refused);
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.out, QByteArray("Status: Total:7   Done:3   Connect Fail:2   Redirected:0   "
                               "Download Fail:2  \nCompleted: 3  Failed: 4\n"));
    for (const QString& url : ok)
        QVERIFY(r.err.contains("[Completed] " + url.toUtf8() + "\n"));
    for (const QString& url : missing + refused)
        QVERIFY(r.err.contains("[Failed] " + url.toUtf8() + "\n"));
    QCOMPARE(readAll(home.local(nginx.port(), QStringLiteral("/ok2.txt"))), QByteArray("fine 2"));
    // The list is appended to, in list order.
    QCOMPARE(readAll(failedList),
             "earlier\n" + (missing + refused).join(QLatin1Char('\n')).toUtf8() + "\n");
}

void TestCli::failedListWriteErrorsAreReported_data()
{
    QTest::addColumn<QString>("failedList");
    QTest::addColumn<bool>("jobFails");
    QTest::addColumn<QByteArray>("reason");
    // A full device takes the open and refuses the bytes, at write or at flush.
    QTest::newRow("full device") << QStringLiteral("/dev/full") << true
                                 << QByteArray("No space left on device");
    // Nothing to write, yet the list cannot be made: still a failure.
    QTest::newRow("folder") << QString() << false << QByteArray("Is a directory");
}

void TestCli::failedListWriteErrorsAreReported()
{
    QFETCH(QString, failedList);
    QFETCH(bool, jobFails);
    QFETCH(QByteArray, reason);
    NginxFixture nginx;
    QString error;
    QVERIFY2(nginx.start(&error), qPrintable(error));
    nginx.writeFile(QStringLiteral("ok.txt"), "fine");
    CliHome home;
    if (failedList.isEmpty())
        failedList = home.base();
    const QString url = jobFails
                            ? QStringLiteral("http://127.0.0.1:%1/a.bin").arg(unusedLoopbackPort())
                            : nginx.url(QStringLiteral("/ok.txt"));
    const CliResult r =
        home.run({QStringLiteral("-d"), home.base(), QStringLiteral("--max-try"),
                  QStringLiteral("1"), QStringLiteral("--tick-ms"), QStringLiteral("20"),
                  QStringLiteral("--failed-list"), failedList, url});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains("harvex-cli: " + failedList.toUtf8() + ": " + reason + "\n"),
             r.err.constData());
}

void TestCli::badUsageDownloadsNothing()
{
    ScriptedServer server; // never asked
    CliHome home;
    const QString url = server.url(QStringLiteral("/x.bin"));
    const QList<QStringList> cases{
        {QStringLiteral("--bogus"), url},
        {QStringLiteral("-j"), QStringLiteral("21"), url},
        {QStringLiteral("--path-option"), QStringLiteral("2"), url},
        {QStringLiteral("--resume=yes"), url},
        {url, QStringLiteral("-d")},
        {},
    };
    for (const QStringList& args : cases) {
        const CliResult r = home.run(QStringList{QStringLiteral("-d"), home.base()} + args);
        QCOMPARE(r.exitCode, 2);
        const QList<QByteArray> lines = r.err.split('\n');
        QVERIFY2(lines.size() > 2 && lines[0].startsWith("harvex-cli: "), r.err.constData());
        QVERIFY(lines[1].startsWith("Usage: harvex-cli [options] [LIST_FILE | URL]..."));
        QVERIFY(r.out.isEmpty());
    }
    QCOMPARE(server.connectionCount(), 0);
    QVERIFY(filesBelow(home.base()).isEmpty());

    const CliResult help = home.run({QStringLiteral("--help")});
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.contains("--failed-list FILE"));
    const CliResult version = home.run({QStringLiteral("--version")});
    QCOMPARE(version.out, QByteArray("1.06\n"));
}

void TestCli::missingBaseFolderExitsTwo()
{
    ScriptedServer server;
    CliHome home;
    const QString missing = home.file(QStringLiteral("no/such/dir"));
    const CliResult r =
        home.run({QStringLiteral("-d"), missing, server.url(QStringLiteral("/x.bin"))});
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(r.err.contains(("The Base directory (" + missing +
                             ") couldn't be found.. Please do fix it and restart Harvex...")
                                .toUtf8()),
             r.err.constData());
    QVERIFY(!QFileInfo::exists(missing));
    QCOMPARE(server.connectionCount(), 0);
}

void TestCli::noDownloadPrintsTheJobList()
{
    ScriptedServer server;
    CliHome home;
    home.writeFile(QStringLiteral("list.txt"),
                   "  http://a.example/one.zip  \r\n\r\nnot a url\rHTTP://A.EXAMPLE/ONE.ZIP\n"
                   "see http://b.example/two.jpg here\n");
    const QString list = home.file(QStringLiteral("list.txt"));
    const QStringList base{QStringLiteral("-d"), home.base(), QStringLiteral("--no-download")};

    CliResult r = home.run(base + QStringList{list, QStringLiteral("http://c.example/3.txt")});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QByteArray("http://a.example/one.zip\nnot a url\n"
                               "see http://b.example/two.jpg here\nhttp://c.example/3.txt\n"));

    // Through the link pattern, like a dropped file; standard input as a list.
    r = home.run(base +
                     QStringList{QStringLiteral("-f"), QStringLiteral("-i"), QStringLiteral("-")},
                 "http://a.example/one.zip\nnot a url\nhttp://b.example/page.cgi\n");
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QByteArray("http://a.example/one.zip\n"));
    QCOMPARE(server.connectionCount(), 0);

    // More URLs than the job list holds: refused as a whole, nothing silently left out.
    QByteArray many;
    for (int i = 0; i < 32002; ++i)
        many += "http://h.example/" + QByteArray::number(i) + "\n";
    r = home.run(base + QStringList{QStringLiteral("-i"), QStringLiteral("-")}, many);
    QCOMPARE(r.exitCode, 2);
    QVERIFY(r.err.contains("the job list holds at most 32001 URLs"));
    QVERIFY(r.out.isEmpty());
}

void TestCli::listFilesFollowTheWindowsRules_data()
{
    // How the list is named ("@" stands for the test's folder), standard input, the exit
    // status, standard output and a piece of standard error.
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");
    const QByteArray huge(1024 * 1024 + 1, 'x');
    QTest::newRow("device") << QStringList{"-i", "/dev/zero"} << QByteArray() << 2 << QByteArray()
                            << QByteArray("harvex-cli: /dev/zero: Not a regular file\n");
    QTest::newRow("device argument")
        << QStringList{"/dev/null"} << QByteArray() << 2 << QByteArray()
        << QByteArray("harvex-cli: /dev/null: Not a regular file\n");
    QTest::newRow("fifo never blocks") << QStringList{"-i", "@/fifo"} << QByteArray() << 2
                                       << QByteArray() << QByteArray("/fifo: Not a regular file\n");
    QTest::newRow("missing") << QStringList{"-i", "@/nope.txt"} << QByteArray() << 2 << QByteArray()
                             << QByteArray("/nope.txt: No such file or directory\n");
    QTest::newRow("byte order mark and long line")
        << QStringList{"-i", "-"}
        << "\xEF\xBB\xBFhttp://a.example/1.zip\n" + huge + "\nhttp://a.example/2.zip" << 0
        << QByteArray("http://a.example/1.zip\nhttp://a.example/2.zip\n")
        << QByteArray("1 line(s) longer than 1 MiB were skipped in standard input\n");
}

void TestCli::listFilesFollowTheWindowsRules()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    CliHome home;
    QVERIFY(::mkfifo(QFile::encodeName(home.file(QStringLiteral("fifo"))).constData(), 0600) == 0);
    args.replaceInStrings(QStringLiteral("@"), home.dir.path());
    const CliResult r = home.run(
        QStringList{QStringLiteral("-d"), home.base(), QStringLiteral("--no-download")} + args,
        input, 20000);
    QCOMPARE(r.exitCode, exitCode);
    QCOMPARE(r.out, out);
    QVERIFY2(r.err.contains(err), r.err.constData());
}

void TestCli::harvestsPagesIntoTheJobList()
{
    NginxFixture nginx;
    QString error;
    QVERIFY2(nginx.start(&error), qPrintable(error));
    nginx.writeFile(
        QStringLiteral("site/index.html"),
        "<html><body><a href=\"files/a.zip\">a</a> <a href=\"/site/files/B.JPG\">b</a>"
        "<a href=\"files/a.zip\">again</a> <img src=\"shot.png\"> <a href=\"x.bin\">x</a>"
        " <a href=\"more/p2.html\">next</a></body></html>");
    nginx.writeFile(QStringLiteral("site/files/a.zip"), "zip bytes");
    nginx.writeFile(QStringLiteral("site/files/B.JPG"), "jpeg bytes");
    nginx.writeFile(QStringLiteral("site/shot.png"), "png bytes");
    CliHome home;
    const QString page = nginx.url(QStringLiteral("/site/index.html"));
    const QString site = nginx.url(QStringLiteral("/site/"));

    CliResult r = home.run({QStringLiteral("-d"), home.base(), QStringLiteral("--no-download"),
                            QStringLiteral("--pages"), QStringLiteral("--harvest"), page});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, ("page: " + page + "\npage: " + site + "more/p2.html\n" + site +
                     "files/B.JPG\n" + site + "shot.png\n" + site + "files/a.zip\n")
                        .toUtf8());

    // Harvested, then downloaded; a page that cannot be fetched makes the run fail.
    r = home.run({QStringLiteral("-d"), home.base(), QStringLiteral("--tick-ms"),
                  QStringLiteral("20"), QStringLiteral("--harvest"), page,
                  QStringLiteral("--harvest"), nginx.url(QStringLiteral("/missing.html"))});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.out.endsWith("Completed: 3  Failed: 0\n"));
    QVERIFY2(r.err.contains("404"), r.err.constData());
    QCOMPARE(readAll(home.local(nginx.port(), QStringLiteral("/site/files/a.zip"))),
             QByteArray("zip bytes"));
    QCOMPARE(readAll(home.local(nginx.port(), QStringLiteral("/site/files/B.JPG"))),
             QByteArray("jpeg bytes"));
}

void TestCli::expandsUrlPatterns()
{
    CliHome home;
    const QStringList base{QStringLiteral("-d"), home.base(), QStringLiteral("--no-download")};
    const QString pattern = QStringLiteral("http://h.example/img[08-10].jpg");
    const QString literal = QStringLiteral("http://[::1]/a[b]");

    CliResult r = home.run(base + QStringList{pattern, literal});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QByteArray("http://h.example/img08.jpg\nhttp://h.example/img09.jpg\n"
                               "http://h.example/img10.jpg\nhttp://[::1]/a[b]\n"));

    r = home.run(base + QStringList{QStringLiteral("--no-glob"), pattern});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, pattern.toUtf8() + '\n');

    // The list has room for 32001 rows: one already taken leaves too few for 32001 more.
    r = home.run(base + QStringList{literal, QStringLiteral("http://h.example/[1-32001]")});
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(r.err.startsWith("harvex-cli: http://h.example/[1-32001]: The range gives 32001 "
                              "URLs, but the download list has room for 32000 more."),
             r.err.constData());
    QVERIFY(r.out.isEmpty());
}

void TestCli::terminalLinesShowNonPrintingAsQuestionMarks()
{
    CliHome home;
    // C0 (ESC, TAB), DEL, C1 (NEL, CSI) and format characters (LRM, RLO) in a URL and in a
    // file name: each shows as one "?" and no byte of them reaches the terminal.
    const QString url =
        QStringLiteral("http://127.0.0.1:%1/a\u0085b\u202Ec\x1b[2Jd\x7f\u200Ee\tf.bin")
            .arg(unusedLoopbackPort());
    const QString shownUrl =
        url.left(url.indexOf(QLatin1String("/a"))) + QStringLiteral("/a?b?c?[2Jd??e?f.bin");
    const QString missing = home.file(QStringLiteral("no\u009B2J.txt"));
    const CliResult failed =
        home.run({QStringLiteral("-d"), home.base(), QStringLiteral("-j"), QStringLiteral("1"),
                  QStringLiteral("--max-try"), QStringLiteral("1"), QStringLiteral("--tick-ms"),
                  QStringLiteral("20"), url});
    QCOMPARE(failed.exitCode, 1);
    QVERIFY2(failed.err.contains("[Failed] " + shownUrl.toUtf8() + "\n"), failed.err.constData());
    const CliResult unusable =
        home.run({QStringLiteral("-d"), home.base(), QStringLiteral("-i"), missing});
    QCOMPARE(unusable.exitCode, 2);
    QVERIFY2(unusable.err.contains(home.file(QStringLiteral("no?2J.txt")).toUtf8()),
             unusable.err.constData());
    for (const CliResult& r : {failed, unusable}) {
        for (const char* raw :
             {"\x1b", "\x7f", "\t", "\xC2\x85", "\xC2\x9B", "\xE2\x80\xAE", "\xE2\x80\x8E"})
            QVERIFY2(!r.err.contains(raw) && !r.out.contains(raw), raw);
    }
}

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
