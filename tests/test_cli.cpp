// SPDX-License-Identifier: GPL-3.0-or-later
// harvex-cli: its option parser, then the built program against nginx and refused ports,
// with its settings and base folder in temporary folders.
#include "cli/CliOptions.h"
#include "support/NginxFixture.h"
#include "support/ScriptedServer.h"
#include "support/TestFiles.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>

struct CliResult
{
    int exitCode = -1;
    QByteArray out, err;
};

// Settings, home and base folder of one test.
struct CliHome
{
    QTemporaryDir dir;
    CliHome() { QDir().mkpath(base()); }
    QString base() const { return dir.filePath(QStringLiteral("base")); }
    QString local(quint16 port, const QString& path) const
    {
        return base() + QStringLiteral("/127.0.0.1%3A") + QString::number(port) + path;
    }
    void start(QProcess& cli, const QStringList& args) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), dir.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        cli.setProcessEnvironment(env);
        // Short ticks: runs end soon after their jobs.
        cli.start(HARVEX_CLI_PATH, QStringList{"--tick-ms", "20", "-d", base()} + args);
    }
    CliResult run(const QStringList& args, const QByteArray& input = {}) const
    {
        QProcess cli;
        start(cli, args);
        QSignalSpy finished(&cli, &QProcess::finished);
        if (!cli.waitForStarted(10000))
            return {};
        cli.write(input);
        cli.closeWriteChannel();
        if (!finished.wait(60000))
            cli.kill(), cli.waitForFinished();
        return {cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -2,
                cli.readAllStandardOutput(), cli.readAllStandardError()};
    }
};

class TestCli : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parser();
    void runsWithoutServer();
    void againstNginx();
};

void TestCli::parser()
{
    // Refused, each with a one-line message.
    CliOptions o;
    QString error;
    for (const char* args : {"-j 0", "-j +5", "-j 21", "--min-image-size 99999999999999999999",
                             "--quiet=1", "--resume=yes", "-i", "x -d", "--tick-ms 0",
                             "--path-option 2", "--bogus", "--ca-certificate="}) {
        error.clear();
        QVERIFY2(!CliOptions::Parse(QString(args).split(u' '), o, error), args);
        QVERIFY(!error.isEmpty() && !error.contains(u'\n'));
    }
    QVERIFY(!CliOptions::Parse({"--user-agent", "a\r\nX-Injected: 1"}, o, error));
    QVERIFY(CliOptions::Parse(QString("--parallel=20 -i a.txt --no-resume --resume --busy-wait 0 "
                                      "--user-agent= - -- -q")
                                  .split(u' '),
                              o, error));
    QCOMPARE(o.Parallel, 20);
    QCOMPARE(o.Inputs, QStringList{"a.txt"});
    QCOMPARE(o.Resume, true); // the last one counts
    QCOMPARE(o.BusyWait, 0);
    QCOMPARE(o.UserAgent, QString()); // empty: no User-Agent line
    QCOMPARE(o.Positional, (QStringList{"-", "-q"}));
    QVERIFY(!o.Quiet && !o.Redirect.has_value());
}

void TestCli::runsWithoutServer()
{
    // Arguments ("@" is the test's folder, "#" a refused port's address), standard input
    // ("*" a line too long, "=" as many URLs as the list holds), then the exit
    // status, the end of standard output and a piece of standard error.
    const struct
    {
        const char* args;
        const char* input;
        int exitCode;
        const char* out;
        const char* err;
    } rows[] = {
        {"# --bogus", "", 2, "",
         "harvex-cli: unknown option '--bogus'\nUsage: harvex-cli [options]"},
        {"", "", 2, "", "Usage: harvex-cli [options] [LIST_FILE | URL]..."},
        {"--version", "", 0, "1.06\n", ""},
        {"-d @/no/such #", "", 2, "",
         "The Base directory (@/no/such) couldn't be found.. Please do fix it and restart "
         "Harvex..."},
        {"--no-download @/list.txt http://c.example/3.txt", "", 0,
         "http://a.example/one.zip\nnot a url\nsee http://b.example/two.jpg here\n"
         "http://c.example/3.txt\n",
         ""},
        {"--no-download -f -i -", "http://a.example/one.zip\nnot a url\nhttp://b.example/p.cgi\n",
         0, "http://a.example/one.zip\n", ""},
        {"--no-download -i -", "=http://h/x\n", 2, "", "the job list holds at most 32001 URLs"},
        {"--no-download -i - http://h/one-more", "=", 2, "",
         "the job list holds at most 32001 URLs"},
        {"--no-download -i -", "\xEF\xBB\xBFhttp://a.example/1.zip\n*\nhttp://a.example/2.zip", 0,
         "http://a.example/1.zip\nhttp://a.example/2.zip\n",
         "1 line(s) longer than 1 MiB were skipped in standard input\n"},
        {"-i /dev/zero", "", 2, "", "harvex-cli: /dev/zero: Not a regular file\n"},
        {"--ca-certificate /dev/null #", "", 2, "",
         "harvex-cli: No PEM certificate in /dev/null\n"},
        {"/dev/null", "", 2, "", "harvex-cli: /dev/null: Not a regular file\n"},
        {"-i @/fifo", "", 2, "", "/fifo: Not a regular file\n"}, // never blocks
        {"-i @/no\u009B2J.txt", "", 2, "", "@/no?2J.txt: No such file or directory\n"},
        {"--no-download http://h.example/img[08-10].jpg http://[::1]/a[b]", "", 0,
         "http://h.example/img08.jpg\nhttp://h.example/img09.jpg\n"
         "http://h.example/img10.jpg\nhttp://[::1]/a[b]\n",
         ""},
        {"--no-download --no-glob http://h/[1-2]", "", 0, "http://h/[1-2]\n", ""},
        // The list has room for 32001 rows: one already taken leaves too few for 32001 more.
        {"--no-download http://[::1]/ http://h.example/[1-32001]", "", 2, "",
         "harvex-cli: http://h.example/[1-32001]: The range gives 32001 URLs, but the "
         "download list has room for 32000 more."},
        // Non-printing characters (C0, DEL, C1, format) each show as one "?".
        {"--max-try 1 #a\u0085b\u202Ec\x1b[2Jd\x7f\u200Ee\tf", "", 1, "Completed: 0  Failed: 1\n",
         "[Failed] #a?b?c?[2Jd??e?f\n"},
        {"--max-try 1 --failed-list /dev/full #", "", 1, "Completed: 0  Failed: 1\n",
         "harvex-cli: /dev/full: No space left on device\n"},
    };
    QByteArray full; // as many URLs as the list holds
    for (int i = 0; i < 32001; ++i)
        full += "http://h.example/" + QByteArray::number(i) + "\n";
    const QByteArray refused = "http://127.0.0.1:" + QByteArray::number(unusedLoopbackPort()) + "/";
    for (const auto& row : rows) {
        CliHome home;
        QVERIFY(::mkfifo(QFile::encodeName(home.dir.filePath(QStringLiteral("fifo"))), 0600) == 0);
        QVERIFY(
            writeFile(home.dir.filePath(QStringLiteral("list.txt")),
                      "  http://a.example/one.zip  \r\n\r\nnot a url\rHTTP://A.EXAMPLE/ONE.ZIP\n"
                      "see http://b.example/two.jpg here\n"));
        const auto fill = [&](QByteArray text) {
            return text.replace('@', home.dir.path().toUtf8()).replace('#', refused);
        };
        const QByteArray input =
            QByteArray(row.input).replace("*", QByteArray(1024 * 1024 + 1, 'x')).replace("=", full);
        const CliResult r =
            home.run(QString::fromUtf8(fill(row.args)).split(u' ', Qt::SkipEmptyParts), input);
        QVERIFY2(r.exitCode == row.exitCode, row.args);
        QVERIFY2(row.exitCode == 1 ? r.out.endsWith(row.out) : r.out == row.out, r.out.constData());
        QVERIFY2(r.err.contains(fill(row.err)), r.err.constData());
        for (const char* raw : {"\x1b", "\x7f", "\t", "\xC2\x85", "\xC2\x9B", "\xE2\x80\xAE"})
            QVERIFY2(!r.err.contains(raw) && !r.out.contains(raw), row.args);
        if (QByteArray(row.err).contains("Usage:"))
            QVERIFY(QDir(home.base()).isEmpty());
    }
}

void TestCli::againstNginx()
{
    // Requests that say they are slow get a slow reply.
    NginxFixture nginx(QStringLiteral("if ($http_user_agent = \"slow\") { set $limit_rate 40k; }"));
    QString error;
    QVERIFY2(nginx.start(&error), qPrintable(error));
    nginx.writeFile(QStringLiteral("site/index.html"),
                    "<a href=\"files/a.zip\">a</a> <a href=\"/site/files/B.JPG\">b</a>"
                    "<a href=\"files/a.zip\">again</a> <img src=\"shot.png\"> <a href=\"x.bin\">"
                    "x</a> <a href=\"more/p2.html\">next</a>");
    nginx.writeFile(QStringLiteral("site/files/a.zip"), "zip bytes");
    nginx.writeFile(QStringLiteral("site/files/B.JPG"), "jpeg bytes");
    nginx.writeFile(QStringLiteral("site/shot.png"), "png bytes");
    nginx.writeFile(QStringLiteral("ok.txt"), "fine");
    CliHome home;
    const QString page = nginx.url(QStringLiteral("/site/index.html"));
    const QString site = nginx.url(QStringLiteral("/site/"));

    CliResult r = home.run({"--no-download", "--pages", "--harvest", page});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, ("page: " + page + "\npage: " + site + "more/p2.html\n" + site +
                     "files/B.JPG\n" + site + "shot.png\n" + site + "files/a.zip\n")
                        .toUtf8());

    // Harvested and listed jobs run together; an unfetchable page fails the run too.
    const QStringList failed{nginx.url(QStringLiteral("/no.bin")),
                             QStringLiteral("http://127.0.0.1:%1/a.bin").arg(unusedLoopbackPort())};
    const QString failedList = home.dir.filePath(QStringLiteral("failed.txt"));
    QVERIFY(writeFile(failedList, "earlier\n"));
    r = home.run(QStringList{"--max-try", "2", "--busy-wait", "1", "-j", "4", "--failed-list",
                             failedList, "--harvest", page, "--harvest",
                             nginx.url(QStringLiteral("/missing.html")),
                             nginx.url(QStringLiteral("/ok.txt"))} +
                 failed);
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.out, QByteArray("Status: Total:6   Done:4   Connect Fail:1   Redirected:0   "
                               "Download Fail:1  \nCompleted: 4  Failed: 2\n"));
    QVERIFY2(r.err.contains("404"), r.err.constData());
    QVERIFY(r.err.contains("[Completed] " + nginx.url(QStringLiteral("/ok.txt")).toUtf8() + "\n"));
    for (const QString& url : failed)
        QVERIFY(r.err.contains("[Failed] " + url.toUtf8() + "\n"));
    QCOMPARE(readAll(home.local(nginx.port(), QStringLiteral("/site/files/B.JPG"))),
             QByteArray("jpeg bytes"));
    // The list is appended to, in list order.
    QCOMPARE(readAll(failedList), "earlier\n" + failed.join(QLatin1Char('\n')).toUtf8() + "\n");

    // Every job done, yet the failed list cannot be made: still a failure.
    r = home.run({"--failed-list", home.base(), nginx.url(QStringLiteral("/ok.txt"))});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("harvex-cli: " + home.base().toUtf8() + ": Is a directory\n"));

    // An interrupt or a closed terminal stops a slow run; a second run resumes its files.
    QStringList urls;
    QList<QByteArray> bodies;
    for (int i = 0; i < 3; ++i) {
        bodies << NginxFixture::randomBytes(600000 + i, quint32(100 + i));
        nginx.writeFile(QStringLiteral("big%1.zip").arg(i), bodies.last());
        urls << nginx.url(QStringLiteral("/big%1.zip").arg(i));
    }
    for (const int signal : {SIGINT, SIGHUP}) {
        CliHome home;
        const auto file = [&](int i) {
            return home.local(nginx.port(), QStringLiteral("/big%1.zip").arg(i));
        };
        const auto partialBytes = [&] {
            return QFileInfo(file(0)).size() + QFileInfo(file(1)).size() +
                   QFileInfo(file(2)).size();
        };
        QProcess first;
        home.start(first, QStringList{"--user-agent", "slow"} + urls);
        QVERIFY(first.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(partialBytes() > 60000, 20000);
        ::kill(pid_t(first.processId()), signal);
        QSignalSpy finished(&first, &QProcess::finished);
        QVERIFY(first.state() == QProcess::NotRunning || finished.wait(20000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.exitCode(), 130);
        QVERIFY(first.readAllStandardOutput().endsWith("Completed: 0  Failed: 3\n"));
        QVERIFY(partialBytes() < 1800000);
        // The stop sequence ran: the connection log holds every job's line.
        QCOMPARE(readAll(home.base() + QStringLiteral("/Harvex_0_SVR.log")).count('\n'), 3);

        QCOMPARE(home.run(urls).exitCode, 0);
        for (int i = 0; i < 3; ++i)
            QVERIFY(readAll(file(i)) == bodies[i]);
        QVERIFY(readAll(home.base() + "/Harvex_0.log").contains("***Resuming => /big"));
    }
}

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
