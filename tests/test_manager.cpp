// SPDX-License-Identifier: GPL-3.0-or-later
// The download manager: its rules without sockets (fake slots), then over real loopback
// sockets, then harvex-cli: its options, and the built program against nginx.
#include "ManagerRig.h"

#include "cli/CliOptions.h"
#include "cli/LiveDisplay.h"
#include "lists/FileTypeList.h"
#include "lists/JobList.h"
#include "lists/ManagerState.h"
#include "lists/Rowvane.h"
#include "lists/StatusLine.h"
#include "lists/UrlListIO.h"
#include "manager/DownloadLogs.h"
#include "manager/LocalFileNaming.h"
#include "manager/RunFiles.h"
#include "manager/Scheduler.h"
#include "manager/SchedulerHost.h"
#include "manager/SlotMonitor.h"
#include "manager/SpeedMeter.h"
#include "support/NginxFixture.h"
#include "support/ScriptedServer.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>

#include <csignal>
#include <sys/stat.h>

namespace {

const QString Template = QStringLiteral("(https?://[^<=\\?\\+>]+$Ext)");
const QString DataExt = QStringLiteral("(\\.jpg|\\.zip)");

// Slots that write down what they are told: "slot>row" a start, "xN" a stop, "T" a file
// already taken in the run, "E" the run's end. Naming may run events, as a save dialog does.
struct FakeHost : SchedulerHost
{
    int total = 3, namings = 0;
    QSet<int> busy;
    QStringList trace;
    bool running = false, samePath = false;
    std::function<void(int)> naming;

    int SlotTotal() const override { return total; }
    bool SlotBusy(int slot) const override { return busy.contains(slot); }
    JobFile NameJob(const QString& url, const std::function<bool(const QString&)>& taken) override
    {
        const JobFile file{samePath ? "/pic.zip" : "/" + url.section(u'/', -1), 0, 0};
        naming(++namings);
        if (taken(file.Path))
            trace << QStringLiteral("T");
        return file;
    }
    void StartSlot(int slot, int row, const QString&, const JobFile&) override
    {
        busy.insert(slot);
        trace << QStringLiteral("%1>%2").arg(slot).arg(row);
    }
    void StopSlot(int slot) override
    {
        busy.remove(slot);
        trace << QStringLiteral("x%1").arg(slot);
    }
    void ShowSlots() override {}
    void CountersChanged() override {}
    void RunStarts() override {}
    void RunEnding() override { trace << QStringLiteral("E"); }
    void SetRunning(bool on) override { running = on; }
    bool Running() const override { return running; }
};

QStringList rowsOf(const Rowvane& list)
{
    QStringList out;
    for (int i = 0; i < list.ListCount(); ++i)
        out << list.List(i);
    return out;
}

// A job list wired as the manager wires it, and a scheduler over it.
struct Jobs
{
    Rowvane list, pages;
    ManagerState state;
    StatusLine status{state, list};
    ScriptedDialogs dialogs;
    JobList jobs{list, state, status, dialogs};
    FakeHost host;
    Scheduler scheduler{host, jobs, list, state, dialogs};
    QStringList rows() const { return rowsOf(list); }
};

// A base folder with its program log, and the naming over it.
struct Naming
{
    QTemporaryDir dir;
    QString base = dir.filePath("base");
    bool made = QDir().mkpath(base);
    DownloadLogs logs;
    ScriptedDialogs dialogs;
    LocalFileNaming naming{logs, dialogs};
    Naming() { logs.OpenLogFile(base); }

    NamingOptions options(int path = 0, bool r = false) const { return {base, path, r, 0, {}}; }
    QString name(const QString& url, int path = 0, bool resume = false)
    {
        return naming.GetLocalFileName(url, options(path, resume));
    }
    QString programLog() const { return QString::fromUtf8(readFile(base + "/Harvex_0.log")); }
};

// Settings, home and base folder of one test.
struct CliHome
{
    QTemporaryDir dir;
    CliHome() { QDir().mkpath(base()); }
    QString base() const { return dir.filePath(QStringLiteral("base")); }
    void start(QProcess& cli, const QStringList& args) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), dir.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        cli.setProcessEnvironment(env);
        // Short ticks: runs end soon after their jobs.
        cli.start(HARVEX_CLI_PATH, QStringList{"--tick-ms", "20", "-d", base()} + args);
    }
    // The exit status (-2 a crash), standard output and standard error.
    std::tuple<int, QByteArray, QByteArray> run(const QStringList& args,
                                                const QByteArray& input = {}) const
    {
        QProcess cli;
        start(cli, args);
        cli.write(input);
        cli.closeWriteChannel();
        if (!cli.waitForFinished(60000))
            cli.kill(), cli.waitForFinished();
        return {cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -2,
                cli.readAllStandardOutput(), cli.readAllStandardError()};
    }
};

} // namespace

class TestManager : public QObject
{
    Q_OBJECT

private slots:
    void schedulerRules()
    {
        // Rows, slots, slider; script (S start, R resume, B unblock, eN slot N's job ends, fN
        // slot N frees untold, cN slot N stopped, jN slider N, bN block at row N, a 2 rows
        // added, P one file; "@k": during the k-th naming); the trace and messages; block on.
        for (const auto& [rows, made, slider, script, trace, block] :
             {std::tuple{3, 7, 7, "S", "0>0 1>1 2>2", false}, // in order to the first slots
              {5, 3, 9, "S", "0>0 1>1 2>2", false},           // the slider above the slots made
              {5, 2, 2, "S e0 e1 e0 e1 e0", "0>0 1>1 0>2 1>3 0>4 x1 x0 E", false},
              {6, 3, 3, "S j1 e2 e1 e0", "0>0 1>1 2>2 0>3", false},        // lowered slider
              {2, 1, 1, "S a e0 e0 e0 e0", "0>0 0>1 0>2 0>3 x0 E", false}, // added rows join
              {6, 2, 2, "S b3 e0", "0>0 1>1 0>2", true},
              {6, 2, 2, "S b3 e0 e1 e0", "0>0 1>1 0>2 x1 x0 E", false}, // the run ends at it
              {3, 1, 1, "S b1 a e0", "0>0 x0 E", false},                // added rows wait
              {6, 2, 2, "S b4 B e0 e1 e0 e1", "0>0 1>1 0>2 1>3 0>4 1>5", false},
              {4, 2, 2, "b2", "", false},                           // no block while idle,
              {4, 2, 2, "S b3", "0>0 1>1", false},                  // on the last row,
              {4, 2, 2, "S b1", "0>0 1>1", false},                  // on a row handed out
              {6, 3, 3, "S f0 f2 R", "0>0 1>1 2>2 0>3 2>4", false}, // resume skips busy slots
              {2, 3, 3, "S f0 f1 R", "0>0 1>1 No Jobs pending.. Aborting..", false},
              // A later job of the same file sees it taken; a new run forgets.
              {3, 1, 1, "P S e0 e0 e0 S", "0>0 T 0>1 T 0>2 x0 E 0>0", false},
              // A slot stopped after its job ended while another job is named stays empty.
              {3, 2, 2, "e0@2 c0@2 S", "0>0 x0 1>1", false}}) {
            Jobs f;
            f.host.total = made;
            for (int i = 0; i < rows; ++i)
                f.jobs.AddJobs(QStringLiteral("http://h/f%1.bin").arg(i));
            f.scheduler.UpdateSlotCount(slider);
            int n = 0;
            const QHash<char, std::function<void()>> steps{
                {'S', [&] { f.scheduler.StartDownloads(); }},
                {'R', [&] { f.scheduler.ResumeDownloads(); }},
                {'B', [&] { f.scheduler.RemoveBlock(); }},
                {'P', [&] { f.host.samePath = true; }},
                {'a', [&] { f.jobs.AddJobs(QStringLiteral("http://h/a1\nhttp://h/a2")); }},
                {'j', [&] { f.scheduler.UpdateSlotCount(n); }},
                {'f', [&] { f.host.busy.remove(n); }},
                {'e', [&] { f.host.busy.remove(n), f.scheduler.SlotFreed(n); }},
                {'c', [&] { f.scheduler.StopConnection(n); }},
                {'b', [&] { f.list.setListIndex(n), f.scheduler.SetBlock(); }}};
            const auto run = [&](const QStringList& list) {
                for (const QString& step : list)
                    n = step.mid(1).toInt(), steps[step.at(0).toLatin1()]();
            };
            QMap<int, QStringList> inside; // the steps of each naming
            f.host.naming = [&](int k) { run(inside.take(k)); };
            QStringList now;
            for (const QString& step : QString(script).split(u' ', Qt::SkipEmptyParts))
                (step.contains(u'@') ? inside[step.section(u'@', 1).toInt()] : now)
                    << step.section(u'@', 0, 0);
            run(now);
            const QString seen = (f.host.trace + f.dialogs.messages()).join(u' ');
            QVERIFY2(seen == trace, qPrintable(seen));
            QVERIFY2(f.jobs.BlockCaption() == (block ? "Block: ON" : "Block: OFF"), script);
            QCOMPARE(f.host.running, *trace && !f.host.trace.endsWith("E"));
        }
    }

    void jobListLooksAndCaptions()
    {
        Jobs f;
        QSignalSpy changed(&f.list, &Rowvane::Changed);
        // Pieces are added untrimmed; "A" is refused as a duplicate of "a"; one repaint.
        f.jobs.AddJobs("a\r\n\r\n  \r\nb\nA\rc\r\n\t\r\n b ");
        QCOMPARE(f.rows(), QStringList({"a", "b", "c", " b "}));
        QVERIFY(changed.count() == 1 && !f.list.Selected(3) && f.list.ForeColorID(3) == 1);
        QCOMPARE(f.status.Caption(), QString("Status: INACTIVE [Job queue: 4]"));
        QVERIFY(f.jobs.ListCaption() == "1/4" && f.state.BlockIndex == 4);
        QVERIFY(f.jobs.StartEnabled() && f.jobs.StartMenuEnabled());

        f.jobs.AddJobs("d1\nd2\nf1\nd3\nblock\np\nd4");
        f.jobs.SetRunning(10);
        QVERIFY(f.list.ListIndex() == 10 && f.list.BackColorID(10) == f.jobs.ClrRunning());
        for (int row : {4, 5, 7, 10})
            f.jobs.SetCompleted(row);
        f.jobs.SetFailed(6);
        f.jobs.SetBlockLook(8); // the failed colour, as background
        QVERIFY(f.jobs.IsCompleted(4) && f.jobs.IsFailed(6) && !f.jobs.IsFailed(8));
        QCOMPARE(f.list.BackColorID(8), f.jobs.ClrFailed());
        f.jobs.RemoveJob(0);
        changed.clear();
        // Adjacent completed rows all go, in one repaint.
        QVERIFY(f.jobs.ClearCompleted() && changed.count() == 1 && f.jobs.ClearFailed());
        QCOMPARE(f.rows(), QStringList({"b", "c", " b ", "block", "p"}));
        QCOMPARE(f.status.Caption(), QString("Status: INACTIVE [Job queue: 5]"));
        f.jobs.ClearBlockLook(3);
        QCOMPARE(f.list.ForeColorID(3), 1);

        // Running: the counter line, in colours.
        f.state.IsIdle = false;
        f.state.DoneCount = 12;
        f.state.ConnectFailCount = 1234;
        f.state.DownloadFailCount = 7;
        f.jobs.RefreshJobQueue();
        QCOMPARE(f.status.Caption(), QString("Status: Total:5   Done:12  Connect Fail:1234 "
                                             "Redirected:0   Download Fail:7  "));
        QVERIFY(f.status.Formatting());
        f.status.gStatEx(false, "Stopped");
        QVERIFY(!f.status.Formatting());
        f.state.IsIdle = true;
        QVERIFY(f.jobs.ClearAll() && f.jobs.ListCaption() == "0/0" && f.dialogs.asked.isEmpty());
        QVERIFY(!f.jobs.StartEnabled() && !f.jobs.StartMenuEnabled());

        // The link pattern: whole lines that hold a link go to the target list, no duplicates.
        f.jobs.setDataFilter(Template);
        f.jobs.AddJobsFiltered(f.pages,
                               "see http://h/a.JPG here\r\nhttp://h/b.txt\r\nhttps://h/c.zip\r\n"
                               "http://h/d.jpg?x=1\r\nftp://h/e.jpg\r\nHTTP://H/A.jpg",
                               DataExt);
        QCOMPARE(rowsOf(f.pages), QStringList({"see http://h/a.JPG here", "https://h/c.zip",
                                               "http://h/d.jpg?x=1", "HTTP://H/A.jpg"}));
        // Without a template every line goes to the job list as AddJobs would add it.
        f.jobs.setDataFilter(QString());
        f.jobs.AddJobsFiltered(f.pages, "x\ny", DataExt);
        // A broken pattern matches nothing and is reported once, a different one again.
        f.jobs.setDataFilter("(http://[^>+$Ext");
        f.jobs.AddJobsFiltered(f.list, "http://h/a.jpg", DataExt);
        f.jobs.AddJobsFiltered(f.list, "http://h/b.jpg", DataExt);
        f.jobs.AddJobsFiltered(f.list, "http://h/b.jpg", "(\\.gif");
        QCOMPARE(f.rows(), QStringList({"x", "y"}));
        QVERIFY(f.dialogs.messages().size() == 2 &&
                f.dialogs.messages().at(0).startsWith("The link pattern ("));

        // Changes and clearings are refused during a run; appending moves no row.
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("list.txt"), "http://h/new.zip\n"));
        const QStringList start{"http://h/a.zip", "http://h/b.zip", "http://h/c.zip"};
        for (int command = 0; command < 7; ++command) {
            Jobs f;
            UrlListIO io{f.jobs, f.dialogs};
            f.jobs.AddJobs("http://h/cut.zip\n" + start.join('\n'));
            f.list.setListIndex(0);
            io.CutItem();
            f.jobs.SetCompleted(0);
            f.jobs.SetFailed(2);
            // The manager's state says idle between two jobs; the run still goes.
            f.jobs.SetRunGoing([] { return true; });
            const std::function<void()> commands[] = {
                [&] { io.CutItem(); },
                [&] { io.PasteItem(); },
                [&] { f.jobs.RemoveJob(0); },
                [&] { f.jobs.ClearAll(); }, // the clearing ones
                [&] { f.jobs.ClearCompleted(); },
                [&] { f.jobs.ClearFailed(); },
                [&] { io.LoadDroppedFile(dir.filePath("list.txt"), f.list, DataExt, true); }};
            commands[command]();
            const bool clearing = command >= 3;
            const QString refusal = clearing
                                        ? "Can't clear jobs while performing downloads."
                                        : "Can't change the download list while downloads run.";
            QVERIFY2(f.rows() == start, qPrintable(QString::number(command)));
            QCOMPARE(f.status.Caption(), "Status: " + refusal);
            QCOMPARE(f.dialogs.messages(), clearing ? QStringList{refusal} : QStringList{});
            f.jobs.AddJobs("http://h/end.zip");
            QVERIFY(f.rows() == start + QStringList{"http://h/end.zip"} &&
                    io.CutBuffer() == "http://h/cut.zip");
        }
    }

    void localNames()
    {
        // Path option ("i": an image, the minimum size applies to it), URL ("~" a NUL), its file
        // under the base folder, never outside.
        const char* const rows[][3] = {
            {"0", "http://host/dir/a.zip", "host/dir/a.zip"},
            {"0", "http://host/dir/", "host/dir/_index.htm"},
            {"0", "http://host", "host"},
            {"0", "justtext", "justtext/_index.htm"},
            {"0i", "HTTPS://Host/A/b.JPG", "Host/A/b.JPG"},
            {"0i", "http://h/g.gi", "h/g.gi"},
            {"0i", "x.jpg", "x.jpg/_index.htm"},
            {"0", ".jpg", ".jpg/_index.htm"},
            {"0", "http://host/a?b=c:d", "host/a%3Fb=c%3Ad"},
            {"0", "http://host:8080/x.zip", "host%3A8080/x.zip"},
            {"0", "http://h/d|i<r>/\"*.txt", "h/d%7Ci%3Cr%3E/%22%2A.txt"},
            {"0", "dir/sub/f.txt", "dir/sub/f.txt"},
            {"0", "http://h//a///b.txt", "h/a/b.txt"},
            {"0", "http://h/a/../b.txt", "h/b.txt"},
            {"0", "http://h/%2e%2e/%2E%2e/etc/x", "h/etc/x"},
            {"0", "http://h/a/%2e/b", "h/a/b"},
            {"0", "http://h/a/.%2E/.%2e/..", "h/_index.htm"},
            {"0", "http://h/a/.", "h/a/_index.htm"},
            {"0", "http://../x", "%2E%2E/x"},
            {"0", "http://%2e%2e/../x", "%2e%2e/x"},
            {"0", "http:///x.txt", "x.txt"},
            {"0", "../../x", "x"},
            {"0", "http://h/p?x=/../../y", "h/y"},
            {"0", "http://h/.../x", "h/.../x"},
            {"0", "http://h/a\\..\\..\\b", "h/a\\..\\..\\b"},
            {"0", "http://h/a~b", "h/a%00b"},
            {"1i", "http://h/x/y/z.gif", "Downloads/z.gif"},
            {"1", "http://h/x/%2E%2E", "Downloads/_index.htm"},
        };
        Naming n;
        // Names taken by a file get a counter.
        const QString h = n.base + "/h/";
        writeFile(h + "x.zip", "1");
        writeFile(h + "x[1].zip", "2");
        QCOMPARE(n.name("http://h/x.zip"), h + "x[2].zip");
        // A folder of the name is skipped like a non-empty file.
        QVERIFY(QDir().mkpath(h + "d.txt"));
        writeFile(h + "d[1].txt", "z");
        QCOMPARE(n.name("http://h/d.txt", 0, true), h + "d[2].txt");
        // A name without "." gets the counter at the end; dots in folders do not count.
        writeFile(n.base + "/h.d/n", "1");
        QCOMPARE(LocalFileNaming::GetNewName(n.base + "/h.d/n"), n.base + "/h.d/n[1]");
        QVERIFY(n.programLog().isEmpty());
        QCOMPARE(LocalFileNaming::getFilelength(n.base), 0); // a folder has no bytes to resume

        for (const auto& row : rows) {
            const JobFile job = n.naming.PrepareJob(QString(row[1]).replace(u'~', QChar(0)),
                                                    {n.base, *row[0] - '0', false, 500, {}});
            QCOMPARE(job.Path, n.base + "/" + row[2]);
            QVERIFY2(job.MinimumFileSize == (row[0][1] ? 500 : 0), row[1]);
            QVERIFY(LocalFileNaming::IsInside(job.Path, n.base));
        }
        // The base folder's own characters are never encoded, a trailing "/" is dropped.
        NamingOptions o = n.options();
        o.BaseDir = n.base + "/we:ird?/";
        QVERIFY(QDir().mkpath(o.BaseDir));
        QCOMPARE(n.naming.GetLocalFileName("http://h/a:b", o), n.base + "/we:ird?/h/a%3Ab");
        o.BaseDir.clear();
        QCOMPARE(n.naming.GetLocalFileName("http://h/a", o), QString());
        QVERIFY(n.programLog().contains("]:[GetLocalFileName]: "));
        for (const QString& outside : {n.base + "/../x", n.base, n.base + "x/y"})
            QVERIFY2(!LocalFileNaming::IsInside(outside, n.base), qPrintable(outside));
        QVERIFY(LocalFileNaming::IsInside(n.base + "/x", n.base + "/"));
        QVERIFY(!LocalFileNaming::IsInside("/", "/")); // the root folder is no file in itself

        // An empty file is reused from 0; a non-empty one only with resume.
        writeFile(h + "e.zip", "");
        const JobFile empty = n.naming.PrepareJob("http://h/e.zip", n.options(0, true));
        QVERIFY(empty.Path == h + "e.zip" && empty.ResumeFrom == 0);
        writeFile(h + "dir/big.zip", QByteArray(1000, 'x'));
        const JobFile resumed = n.naming.PrepareJob("http://h/dir/big.zip", n.options(0, true));
        QVERIFY(resumed.Path == h + "dir/big.zip" && resumed.ResumeFrom == 1000);
        QVERIFY(n.programLog().contains("] : ***Resuming => /dir/big.zip from position 1001\n"));
        QCOMPARE(n.name("http://h/dir/big.zip"), h + "dir/big[1].zip");
        // A file another job of this run names is taken, missing or not: never shared.
        NamingOptions run = n.options(0, true);
        run.TakenInRun = [](const QString& path) { return !path.contains('['); };
        QCOMPARE(n.naming.GetLocalFileName("http://h/t.zip", run), h + "t[1].zip");
        QCOMPARE(n.naming.GetLocalFileName("http://h/dir/big.zip", run), h + "dir/big[1].zip");

        // Long names are cut to whole characters (é is 2 bytes in UTF-8), renamed ones too.
        const QString url =
            "http://h/" + QString(300, QChar(0x00E9)) + "/" + QString(300, 'n') + ".jpeg";
        const QString path = n.name(url);
        const QStringList parts = path.mid(n.base.size() + 1).split('/');
        QVERIFY(parts.size() == 3 && parts.at(1).toUtf8().size() == 254 &&
                parts.at(2).toUtf8().size() == 255);
        QVERIFY(parts.at(2).endsWith(".jpeg") && writeFile(path, "x"));
        const QString renamed = n.name(url);
        QVERIFY(renamed.endsWith("[1].jpeg") && writeFile(renamed, "y"));
        // Surrogate pairs are never cut in half; a huge "extension" is not kept.
        const QString smileys = QString::fromUtf8("\xF0\x9F\x98\x80").repeated(100);
        QCOMPARE(LocalFileNaming::ShortenName(smileys).toUtf8().size(), 252);
        QCOMPARE(LocalFileNaming::ShortenName("a." + QString(300, 'x')).size(), 255);

        // "Ask me where ?": the proposed name; a cancelled dialog is a logged error.
        n.dialogs.files.enqueue(n.base + "/chosen/pic.jpg");
        QCOMPARE(n.name("http://h/a/p:c.jpg", 2), n.base + "/chosen/pic.jpg");
        QVERIFY(n.dialogs.asked.at(0).kind == "Save" && n.dialogs.asked.at(0).text == "p%3Ac.jpg");
        QCOMPARE(n.name("http://h/a/q.jpg", 2), QString());
        QVERIFY(n.programLog().contains("] : [Error: 32755]:[GetLocalFileName]: Cancel was "
                                        "selected.\n"));
        // Without a dialog the URL path is replicated, and that is said once.
        struct : ScriptedDialogs
        {
            bool Interactive() const override { return false; }
        } console;
        LocalFileNaming batch(n.logs, console);
        QCOMPARE(batch.GetLocalFileName("http://h/a/q.jpg", n.options(2)), n.base + "/h/a/q.jpg");
        QCOMPARE(batch.GetLocalFileName("http://h/a/r.jpg", n.options(2)), n.base + "/h/a/r.jpg");
        QVERIFY(console.messages().size() == 1 &&
                console.messages().at(0).contains("\"Replicate Url path\""));

        // A path given to one URL in a run is taken for other URLs, also past the room made.
        RunFiles files;
        files.Clear(2);
        for (int i = 0; i < 500; ++i)
            files.Add(QString("/b/f%1").arg(i), QString("http://h/%1").arg(i));
        for (int i = 0; i <= 500; ++i) {
            QCOMPARE(files.TakenByOther(QString("/b/f%1").arg(i), "http://other/"), i < 500);
            QVERIFY(!files.TakenByOther(QString("/b/f%1").arg(i), QString("http://h/%1").arg(i)));
        }
        files.Clear(0);
        QVERIFY(!files.TakenByOther("/b/f1", "http://other/"));

        // Entries with the stamp of the clock; a second run appends to both files.
        const QDateTime fixed(QDate(2026, 3, 4), QTime(5, 6, 7));
        const QByteArray s = DownloadLogs::Stamp(fixed).toUtf8();
        QVERIFY(s.contains("5:06:07"));
        QTemporaryDir dir;
        for (const QString& folder : {dir.path(), dir.path() + "/"}) {
            DownloadLogs logs;
            logs.setClock([&] { return fixed; });
            logs.OpenLogFile(folder);
            logs.WriteLog("Redirection:[http://h/a]\nNew URL: http://h/b");
            logs.WriteConLog("127.0.0.1 8080");
        }
        QCOMPARE(readFile(dir.filePath("Harvex_0.log")),
                 ("\n[" + s + "] : Redirection:[http://h/a]\nNew URL: http://h/b\n\n").repeated(2));
        QCOMPARE(readFile(dir.filePath("Harvex_0_SVR.log")),
                 ("[" + s + "] [CON] 127.0.0.1 8080\n").repeated(2));

        // Failures are silent; a missing folder is never made.
        QVERIFY(QDir().mkpath(dir.filePath("blocked/Harvex_0.log")));
        for (const char* folder : {"no/such/base", "blocked"}) {
            DownloadLogs logs;
            logs.OpenLogFile(dir.filePath(folder));
            logs.WriteLog("lost");
            logs.WriteConLog("kept");
            QVERIFY(!logs.IsOpen() && logs.IsConnectionLogOpen() == (*folder == 'b'));
        }
        QVERIFY(!QFile::exists(dir.filePath("no")));
        QVERIFY(readFile(dir.filePath("blocked/Harvex_0_SVR.log")).endsWith("] [CON] kept\n"));
    }

    void monitorMeterAndLiveDisplay()
    {
        // Views hear of a burst of changes once, after the refresh interval.
        SlotMonitor monitor;
        monitor.CreateRows(3);
        monitor.SetRefreshInterval(30);
        QSignalSpy changed(&monitor, &SlotMonitor::RowsChanged);
        QVERIFY(changed.wait(1000));
        monitor.TakeDirtyRows();
        for (int i = 0; i < 5000; ++i) {
            monitor.SetProgress(1, i / 50.0);
            monitor.SetSlotStatus(1, QString::number(i));
        }
        monitor.SetSlotStatus(7, QStringLiteral("ignored")); // no such slot
        QCOMPARE(changed.count(), 1);
        QVERIFY(changed.wait(1000));
        QCOMPARE(monitor.TakeDirtyRows(), QVector<int>{1});
        QVERIFY(monitor.RowAt(1).Progress == 99.98 && monitor.DisplayText(1) == " [4999]");
        QVERIFY(!changed.wait(150)); // nothing new, nothing told
        // A steady stream of changes is still heard every refresh interval.
        QTimer stream;
        connect(&stream, &QTimer::timeout, this, [&] { monitor.SetProgress(2, 1); });
        stream.start(5);
        QVERIFY(changed.wait(500));
        QVERIFY(SlotMonitor::FillPercent(0.4) == 0.0 && SlotMonitor::FillPercent(0.5) == 0.5);

        // Terminal lines stay on one row: control characters shown as "?", long texts cut.
        monitor.SetProgress(0, 50);
        monitor.SetSlotStatus(0, "Connected to: host\r\x1b[2Jx\u009B2J\u202E\U0001F600");
        monitor.SetSlotStatus(1, QString(32, QLatin1Char('v'))); // exactly 60 wide
        monitor.SetSlotStatus(2, QString(200, QLatin1Char('w')));
        const QStringList lines = LiveDisplay::Render(monitor, "meter", "counters", 60);
        QCOMPARE(lines[0], "01 [##########          ] [Connected to: host??[2Jx?2J?\U0001F600]");
        QVERIFY(lines[1].size() == 59 && lines[2].size() == 59);
        QVERIFY(lines[2].startsWith(QStringLiteral("03 [                    ] [www")));
        QCOMPARE(lines.mid(3), (QStringList{"meter", "counters"}));
        for (const auto& [percent, bar] :
             {std::pair{100.0, "[####]"}, {99.0, "[### ]"}, {70.0, "[##  ]"}, {0.4, "[    ]"}})
            QCOMPARE(LiveDisplay::ProgressBar(percent, 4), QString(bar));

        // KB of one tick and of files in, the speed and the growing total shown.
        SpeedMeter meter;
        const QString shown("  Download Speed:%1KB/Sec     Total Download:%2MB");
        QVERIFY(meter.GraphBlank());
        for (const auto& [speedKB, fileKB, speed, total] :
             {std::tuple{0, 0, "00.0", "00.0"},
              {40, 1536, "40.0", "01.5"},
              {0, 0, "00.0", "01.5"},
              {123456, 204800, "123456.0", "201.5"}}) {
            meter.Tick(qint64(speedKB) * 1024, qint64(fileKB) * 1024);
            QCOMPARE(meter.MeterText(), shown.arg(speed, total));
        }
        QCOMPARE(SpeedMeter::ElapsedText(61), QStringLiteral("01:01 Min"));
        QCOMPARE(SpeedMeter::ElapsedText(6000), QStringLiteral("100:00 Min"));

        // The graph keeps the last 58 ticks, oldest first, cut at 17, halves to even.
        for (int i = 0; i < 60; ++i)
            meter.Tick(qint64(i % 20) * 1024, 0);
        QVector<int> columns = meter.History();
        QVERIFY(columns.size() == 58 && columns.first() == 2);
        QCOMPARE(columns.mid(52), (QVector<int>{14, 15, 16, 17, 17, 17}));
        meter.BlankGraph();
        QVERIFY(meter.GraphBlank() && meter.History() == columns); // the history is kept
        meter.Tick(qint64(2.5 * 1024), 0);
        QCOMPARE(meter.History().last(), 2);
    }

    void jobOutcomes()
    {
        // Setting (r redirect, m image size, t two tries, h HTTP/1.1 and logging; no script:
        // a refused port), counters (done, connect fail, redirected, download fail), file
        // (empty: failed), the slot's texts in order ("#" a number), pieces logged once.
        const QByteArray body(4000, 'p');
        const QHash<char, QList<ServerScript>> scripts{
            {'r',
             {ServerScript::reply("HTTP/1.0 302 Found\r\nLocation: /final.bin\r\n\r\n"),
              ServerScript::reply(okReply("the final body"))}},
            {'m', {ServerScript::reply(okReply(QByteArray(100, 'i')))}},
            {'-', {ServerScript::reply("HTTP/1.0 404 Not Found\r\n\r\n")}},
            {'h', {ServerScript().expectRequest().sendSplit(okReply(body), 2040, 100).close()}}};
        for (const auto& [setting, counters, file, texts, logged] :
             {std::tuple{'r', "1010", QByteArray("the final body"),
                         "Connected to: 127.0.0.1(127.0.0.1)|Redirected to: /final.bin",
                         "Redirection:[127.0.0.1/a.JPG]\nNew URL: /final.bin"},
              // Too small an image fails the job, yet is no download failure.
              {'m', "0000", "", "Download Incomplete.!!|Stopped..", ""},
              {'-', "0001", "", "Error**=> [404]: 127.0.0.1 [404 Not Found]|Download Failed.!!",
               "] : [127.0.0.1/a.JPG] Error**=> [404]: 127.0.0.1 [404 Not Found]\n"},
              {'t', "0100", "",
               "Waiting 1 Seconds for try :1 of total 2][127.0.0.1|Timeout/MaxTry failed.!!", ""},
              // The request the defaults make, logged.
              {'h', "1000", body,
               "Connected to: 127.0.0.1(127.0.0.1)|#% of 3.9KB][Packets: #]:[/a.JPG|100.0% of "
               "3.9KB][Packets: #]:[/a.JPG",
               "] : Request Sent: >> GET /a.JPG HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: "
               "Harvex/1.6 (Windows; Windows 98; Windows XP;)\r\nAccept: *.*, */*\r\n"
               "Accept-Encoding: *\r\nRange: bytes=0-\r\nConnection: Keep-Alive\r\n\r\n|] : "
               "127.0.0.1\nHTTP/1.0 200 OK\r\nContent-Length: 4000"}}) {
            const QList<ServerScript> replies = scripts.value(setting);
            ScriptedServer server;
            for (const ServerScript& reply : replies)
                server.addConnection(reply);
            ManagerRig rig(1, [&](DownloadManager& m) {
                m.options().setRedirection(setting == 'r');
                m.options().setHttpVersion(setting == 'h');
                m.options().setLogRequest(setting == 'h');
                m.options().setLogReply(setting == 'h');
                m.options().EditMinImgSize(setting == 'm' ? "1000" : "0");
                m.options().ValidateMinImgSize();
                m.Overrides().MaxTry = setting == 't' ? 2 : m.Overrides().MaxTry;
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
            [&](auto... signal) {
                (connect(m.Http(0), signal, this, record), ...);
            }(&HttpFiles::DownloadIncomplete, &HttpFiles::DownloadFailed, &HttpFiles::Redirected,
              &HttpFiles::WaitingRetry, &HttpFiles::SocketClosed, &HttpFiles::Connected,
              &HttpFiles::Error);
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
            for (const QString& text : QString(texts).split(u'|', Qt::SkipEmptyParts)) {
                const QRegularExpression form(
                    "^" + QRegularExpression::escape(text).replace("\\#", "[\\d.]+") + "$");
                at = seen.indexOf(form, at);
                QVERIFY2(at++ >= 0, qPrintable(seen.join(u'|')));
            }
            QString line = QStringLiteral("Status: Total:1   Done:%1   Connect Fail:%2   "
                                          "Redirected:%3   Download Fail:%4  ");
            for (const char digit : QByteArray(counters))
                line = line.arg(QLatin1Char(digit));
            QCOMPARE(m.LastCounterLine(), line);
            QCOMPARE(redirectsAtEnd, setting == 'r' ? 1 : 0); // counted before the job ends
            for (const QString& piece : QString(logged).split(u'|', Qt::SkipEmptyParts))
                QCOMPARE(rig.programLog().count(piece), 1);
            QCOMPARE(readFile(rig.base() + "/Harvex_0_SVR.log")
                         .count("] [CON] 127.0.0.1 " + QByteArray::number(port)),
                     server.connectionCount());
            QVERIFY(file.isEmpty() ? m.Jobs().IsFailed(0) && m.State().FailedJobs == 1
                                   : m.Jobs().IsCompleted(0) && m.State().FailedJobs == 0);
            QCOMPARE(readFile(rig.local(port, QStringLiteral("/a.JPG"))), file);
            QVERIFY(replies.isEmpty() || server.requests().value(0).contains(
                                             setting == 'h' ? " HTTP/1.1\r\n" : " HTTP/1.0\r\n"));
        }
    }

    void jobsOfOneRunLeaveTheRightTraces()
    {
        // Jobs: blocked by a file, refused (ends before its Error is raised), fine, resumed,
        // and two naming one file ("…/h/" and "…/h/_index.htm"), which is never resumed.
        ScriptedServer server;
        server.addConnection(
            ServerScript().expectRequest().pause(200).send(okReply("fine")).close());
        server.addConnection(
            ServerScript::reply("HTTP/1.1 206 Partial\r\nContent-Range: bytes 5-7/8\r\n\r\n678"));
        server.addConnection(ServerScript::reply(okReply("first")));
        server.addConnection(ServerScript::reply(okReply("second")));
        ManagerRig rig(1, [](DownloadManager& m) { m.Overrides().MaxTry = 1; });
        DownloadManager& m = *rig.m;
        const auto local = [&](const char* path) { return rig.local(server.port(), path); };
        QVERIFY(writeFile(local("/x"), "blocker") && writeFile(local("/old.zip"), "12345"));
        // The third row keeps the blanks it was added with; they are no part of its address.
        m.Jobs().AddJobs(
            server.url("/x/y.bin") + "\r\n" +
            QStringLiteral("http://127.0.0.1:%1/refused.bin").arg(unusedLoopbackPort()) + "\r\n  " +
            server.url("/good.bin") + " \r\n" + server.url("/old.zip") + "\r\n" +
            server.url("/h/") + "\r\n" + server.url("/h/_index.htm"));
        QString monitorAfterError;
        connect(m.Http(0), &HttpFiles::Error, this,
                [&] { monitorAfterError = m.Monitor().Text(0); });
        m.StartDownloads();
        QVERIFY(rig.waitIdle());
        QVERIFY(m.State().FailedJobs == 2 && m.State().CompletedJobs == 4);
        QVERIFY(m.Jobs().IsFailed(0) && m.Jobs().IsFailed(1) && m.Jobs().IsCompleted(2));
        QCOMPARE(readFile(local("/good.bin")), QByteArray("fine"));
        QCOMPARE(readFile(local("/old.zip")), QByteArray("12345678"));
        QCOMPARE(readFile(local("/h/_index.htm")) + readFile(local("/h/_index[1].htm")),
                 "firstsecond");
        const QString log = rig.programLog();
        QVERIFY2(log.contains(QStringLiteral("/refused.bin] Error**=> [10061]")), qPrintable(log));
        QVERIFY2(!log.contains(QStringLiteral("/good.bin] Error")), qPrintable(log));
        QCOMPARE(log.count(QStringLiteral("***Resuming")), 1);
        QVERIFY(!monitorAfterError.startsWith(QStringLiteral("Error**")));
    }

    void stopsAndSaveDialogsDuringTheRun()
    {
        // Slots, timer schedule, "Ask me where ?" (3 jobs, each save dialog a 200 ms event loop
        // in which ticks fire and jobs end; else 6 jobs), what comes after the start at once or
        // at a time (R resume, C slot 0 stopped: both in the start delay; S stop, L leaving);
        // the last jobs done, dialogs asked, connections.
        for (const auto& [slotCount, timer, ask, action, atMs, done, asked, connections] :
             {std::tuple{2, false, false, 'R', 0, 6, 0, 6},
              {2, true, false, 'C', 0, 5, 0, 5},
              {2, false, true, '-', 0, 3, 3, 3},
              {2, true, true, '-', 0, 3, 3, 3},
              {3, false, true, 'S', 100, 0, 1, 0},
              {3, false, true, 'S', 300, 0, 2, 1},
              {3, false, true, 'L', 300, 0, 2, 1}}) {
            const int jobs = ask ? 3 : 6;
            ScriptedServer server;
            QStringList urls;
            for (int i = 0; i < jobs; ++i) {
                server.addConnection(
                    atMs ? ServerScript().expectRequest().hold()
                         : ServerScript::reply(okReply("a" + QByteArray::number(i))));
                urls << server.url(QStringLiteral("/f%1").arg(i));
            }
            ManagerRig rig(slotCount, [&](DownloadManager& m) {
                m.options().setTimerSchedule(timer);
                m.options().setPathOption(ask ? 2 : 0);
            });
            DownloadManager& m = *rig.m;
            rig.dialogs.saveOpenMs = 200;
            for (int i = 0; i < jobs; ++i)
                rig.dialogs.files.enqueue(rig.base() + QStringLiteral("/f%1").arg(i));
            m.Jobs().AddJobs(urls.join(u'\n'));
            int refilledAtOnce = 0; // on a job's end, or by the timer schedule at the next tick
            for (int s = 0; s < slotCount; ++s)
                connect(m.Http(s), &HttpFiles::Disconnected, this,
                        [&, s] { refilledAtOnce += m.Http(s)->DownloadStatus() == -1; });
            if (atMs)
                QTimer::singleShot(
                    atMs, &m, [&] { action == 'L' ? void(m.ConfirmExit()) : m.StopDownloads(); });
            m.StartDownloads();
            if (!atMs && !ask) {
                QCOMPARE(m.Http(0)->State(), 0);
                action == 'R' ? m.ResumeDownloads() : m.StopConnection(0);
                QVERIFY(m.StopEnabled() && m.State().NextJob == 2 && m.Http(1)->Tag() == "1");
            }
            if (atMs)
                QTest::qWait(10 * ManagerRig::TickMs); // nothing may start later either
            QVERIFY(atMs ? !m.AnySlotBusy() : rig.waitIdle());
            QVERIFY(action == 'L' || (!m.StopEnabled() && m.StartEnabled()));
            QVERIFY(m.State().CompletedJobs == done && rig.dialogs.mostOpenSaves == int(ask));
            // Each job wrote its own file, the one chosen for it.
            for (int i = 0; i < jobs; ++i) {
                const QString file =
                    (ask ? rig.base() : rig.local(server.port(), {})) + QString("/f%1").arg(i);
                const int got = i - (jobs - done); // the connection it got
                QVERIFY(m.List2().Selected(i) == (got >= 0) &&
                        readFile(file) == (got >= 0 ? "a" + QByteArray::number(got) : ""));
            }
            QCOMPARE(rig.dialogs.asked.size(), asked);
            QCOMPARE(server.connectionCount(), connections);
            QCOMPARE(refilledAtOnce > 0, !timer && !ask);
        }
    }

    void startupTickAndLeaving()
    {
        ManagerRig rig(25, [](DownloadManager& m) {
            QVERIFY(writeFile(m.options().BaseDir() + "/param.dat",
                              "$ERR_CODES=404|500\n$DEF_DATA_FILTER=(x$Ext)\n"));
        });
        DownloadManager& m = *rig.m;
        DownloadManager unclamped(rig.dialogs, *rig.store);
        unclamped.CreateControls(25);
        QCOMPARE(unclamped.SessionMax(), 20);
        QCOMPARE(m.Monitor().RowCount(), 20);
        QVERIFY(m.Params().ErrCodes == "404|500" && m.Jobs().DataFilter() == "(x$Ext)");
        QCOMPARE(m.Status().Caption(), QStringLiteral("Status: INACTIVE "));
        QVERIFY(!m.StartEnabled() && !m.StopEnabled() && !m.ResumeEnabled());
        QVERIFY(m.DataTypes().ListCount() > 0 && QFileInfo::exists(rig.base() + "/Harvex_0.log"));
        // Nothing is marked by the start-up: leaving while idle asks nothing.
        QVERIFY(!m.options().SaveEnabled() && m.QueryUnload() && rig.dialogs.asked.isEmpty());
        // The manager's tick: bytes of the tick shown, then the counters cleared, time on.
        m.State().TotalBytes = 2560;
        m.State().FileBytes = 1024 * 1024;
        m.Timer1().start();
        QSignalSpy ticked(&m, &DownloadManager::MeterChanged);
        QVERIFY(ticked.wait(2000));
        m.Timer1().stop();
        QCOMPARE(m.MeterText(), "  Download Speed:02.5KB/Sec     Total Download:01.0MB");
        QVERIFY(m.State().TotalBytes == 0 && m.State().FileBytes == 0);
        QCOMPARE(m.TimeText(), QStringLiteral("00:01 Min"));

        // Leaving is asked during a run stuck at half a file; a stop keeps the partial file.
        ScriptedServer server;
        const QByteArray half = okReply(QByteArray(4000, 'h')).chopped(2000);
        server.addConnection(ServerScript().expectRequest().send(half).hold());
        m.options().setKeepAlive(false); // an unsaved change
        m.Jobs().AddJobs(server.url(QStringLiteral("/big.bin")));
        m.StartDownloads();
        QTRY_COMPARE_WITH_TIMEOUT(m.Http(0)->CurPos(), qint64(2001), 10000);
        rig.dialogs.answers << Dialogs::Answer::No << Dialogs::Answer::No;
        QVERIFY(!m.QueryUnload());
        QCOMPARE(rig.dialogs.messages(),
                 (QStringList{"There are unsaved settings! Do you wish to save them?",
                              "Downloads in progress!\r\n\r\nDo you wish to exit ?"}));
        QCOMPARE(m.Http(0)->DownloadStatus(), -1); // still running
        QVERIFY(!rig.store->Contains("Keep-Alive"));
        m.StopDownloads();
        QVERIFY(!m.StopEnabled() && !m.ResumeEnabled() && m.StartEnabled());
        QCOMPARE(m.Status().Caption(), QStringLiteral("Status: INACTIVE "));
        QVERIFY(m.Monitor().Text(0).startsWith(QStringLiteral("Not Connected..")));
        QVERIFY(m.Http(0)->DownloadStatus() == 0 && m.Http(0)->State() == 0 &&
                !m.List2().Selected(0));
        QCOMPARE(readFile(rig.local(server.port(), "/big.bin")), half.right(2000));
        QVERIFY(m.Jobs().ClearAll()); // the list is free again
    }

    void cliParser()
    {
        // Refused, each with a one-line message.
        CliOptions o;
        QString error;
        for (const char* args :
             {"-j 0", "-j +5", "-j 21", "--min-image-size 99999999999999999999", "--quiet=1",
              "--resume=yes", "-i", "x -d", "--tick-ms 0", "--path-option 2", "--bogus",
              "--ca-certificate=", "--user-agent a\r\nX-Injected:1", "--user-agent a\nX:1"}) {
            error.clear();
            QVERIFY2(!CliOptions::Parse(QString(args).split(u' '), o, error), args);
            QVERIFY(!error.isEmpty() && !error.contains(u'\n'));
        }
        const QString good("--parallel=20 -i a.txt --no-resume --resume --busy-wait 0 "
                           "--user-agent= - -- -q");
        QVERIFY(CliOptions::Parse(good.split(u' '), o, error));
        // The last of two counts; an empty User-Agent means no such line.
        QVERIFY(o.Parallel == 20 && o.Inputs == QStringList{"a.txt"} && o.Resume == true);
        QVERIFY(o.BusyWait == 0 && o.UserAgent == QString() && !o.Quiet && !o.Redirect);
        QCOMPARE(o.Positional, (QStringList{"-", "-q"}));
    }

    void cliRuns()
    {
        // Requests that say they are slow get a slow reply.
        NginxFixture nginx(
            QStringLiteral("if ($http_user_agent = \"slow\") { set $limit_rate 40k; }"));
        QString error;
        QVERIFY2(nginx.start(&error), qPrintable(error));
        nginx.writeFile("site/index.html",
                        "<a href=files/a.zip>a</a> <a href=/site/files/B.JPG>b</a>"
                        "<a href=files/a.zip>again</a> <img src=shot.png> "
                        "<a href=x.bin>x</a> <a href=more/p2.html>next</a>");
        nginx.writeFile("site/files/a.zip", "zip bytes");
        nginx.writeFile("site/files/B.JPG", "jpeg bytes");
        nginx.writeFile("site/shot.png", "png bytes");
        nginx.writeFile("ok.txt", "fine");
        // Arguments ("@" the test's folder, "#" a refused port's URL, "%" nginx), standard input
        // ("*" a line too long, "=" a full list), exit status, end of stdout, a piece of stderr.
        const std::tuple<const char*, const char*, int, const char*, const char*> rows[] = {
            {"# --bogus", "", 2, "", "harvex-cli: unknown option '--bogus'\nUsage: harvex-cli"},
            {"", "", 2, "", "Usage: harvex-cli [options] [LIST_FILE | URL]..."},
            {"--version", "", 0, "1.06\n", ""},
            {"-d @/no #", "", 2, "",
             "The Base directory (@/no) couldn't be found.. Please do fix it and restart "
             "Harvex..."},
            {"--no-download @/list.txt http://c/3", "", 0,
             "http://a/1.zip\nnot a url\nsee http://b/2.jpg here\nhttp://c/3\n", ""},
            {"--no-download -f -i -", "http://a/1.zip\nno url\nhttp://b/p.cgi\n", 0,
             "http://a/1.zip\n", ""},
            {"--no-download -i -", "=http://h/x\n", 2, "", "the job list holds at most 32001 URLs"},
            {"--no-download -i - http://h/1", "=", 2, "", "the job list holds at most 32001 URLs"},
            {"--no-download -i -", "\xEF\xBB\xBFhttp://a/1\n*\nhttp://a/2", 0,
             "http://a/1\nhttp://a/2\n",
             "1 line(s) longer than 1 MiB were skipped in standard input\n"},
            {"-i /dev/zero", "", 2, "", "harvex-cli: /dev/zero: Not a regular file\n"},
            {"--ca-certificate /dev/null #", "", 2, "", "No PEM certificate in /dev/null\n"},
            {"/dev/null", "", 2, "", "harvex-cli: /dev/null: Not a regular file\n"},
            {"-i @/fifo", "", 2, "", "/fifo: Not a regular file\n"}, // never blocks
            {"-i @/no\u009B2J.txt", "", 2, "", "@/no?2J.txt: No such file or directory\n"},
            {"--no-download http://h/[08-10].jpg http://[::1]/a[b]", "", 0,
             "http://h/08.jpg\nhttp://h/09.jpg\nhttp://h/10.jpg\nhttp://[::1]/a[b]\n", ""},
            {"--no-download --no-glob http://h/[1-2]", "", 0, "http://h/[1-2]\n", ""},
            // The list has room for 32001 rows: one already taken leaves too few for 32001 more.
            {"--no-download http://[::1]/ http://h/[1-32001]", "", 2, "",
             "http://h/[1-32001]: The range gives 32001 URLs, but the download list has room for "
             "32000 more."},
            // Non-printing characters (C0, DEL, C1, format) each show as one "?".
            {"--max-try 1 #a\u0085b\u202Ec\x1b[2Jd\x7f\u200Ee\tf", "", 1,
             "Completed: 0  Failed: 1\n", "[Failed] #a?b?c?[2Jd??e?f\n"},
            {"--max-try 1 --failed-list /dev/full #", "", 1, "Completed: 0  Failed: 1\n",
             "harvex-cli: /dev/full: No space left on device\n"},
            {"--no-download --pages --harvest %/site/index.html", "", 0,
             "page: %/site/index.html\npage: %/site/more/p2.html\n%/site/files/B.JPG\n"
             "%/site/shot.png\n%/site/files/a.zip\n",
             ""},
            // Every job done, yet the failed list cannot be made: still a failure.
            {"--failed-list @/base %/ok.txt", "", 1, "", "harvex-cli: @/base: Is a directory\n"}};
        QByteArray full; // as many URLs as the list holds
        for (int i = 0; i < 32001; ++i)
            full += "http://h.example/" + QByteArray::number(i) + "\n";
        const QByteArray site = nginx.url({}).toUtf8(),
                         refused =
                             "http://127.0.0.1:" + QByteArray::number(unusedLoopbackPort()) + "/";
        for (const auto& [args, in, exitCode, out, err] : rows) {
            CliHome home;
            QVERIFY(::mkfifo(QFile::encodeName(home.dir.filePath("fifo")), 0600) == 0);
            QVERIFY(writeFile(home.dir.filePath("list.txt"),
                              "  http://a/1.zip  \r\n\r\nnot a url\r"
                              "HTTP://A/1.ZIP\nsee http://b/2.jpg here\n"));
            const QByteArray at = home.dir.path().toUtf8();
            const auto fill = [&](QByteArray t) {
                return t.replace('@', at).replace('#', refused).replace('%', site);
            };
            const QByteArray input =
                QByteArray(in).replace("*", QByteArray(1024 * 1024 + 1, 'x')).replace("=", full);
            const auto [code, stdOut, stdErr] =
                home.run(QString::fromUtf8(fill(args)).split(u' ', Qt::SkipEmptyParts), input);
            QVERIFY2(code == exitCode, args);
            QVERIFY2(exitCode == 1 ? stdOut.endsWith(out) : stdOut == fill(out), stdOut.data());
            QVERIFY2(stdErr.contains(fill(err)), stdErr.data());
            for (const char* raw : {"\x1b", "\x7f", "\t", "\xC2\x85", "\xC2\x9B", "\xE2\x80\xAE"})
                QVERIFY2(!stdErr.contains(raw) && !stdOut.contains(raw), args);
            if (QByteArray(err).contains("Usage:"))
                QVERIFY(QDir(home.base()).isEmpty());
            QVERIFY(!QFileInfo::exists(home.dir.filePath("no"))); // a missing base is never made
        }

        CliHome home;
        // Harvested and listed jobs run together; an unfetchable page fails the run too; the
        // failed list is appended to, in list order.
        const QString failedList = home.dir.filePath("failed.txt"), no = site + "/no.bin";
        QVERIFY(writeFile(failedList, "earlier\n"));
        const auto [code, stdOut, stdErr] =
            home.run(QString("--max-try 2 --busy-wait 1 -j 4 --failed-list %1 --harvest "
                             "%2/site/index.html --harvest %2/missing.html %2/ok.txt %3 %4a.bin")
                         .arg(failedList, site, no, refused)
                         .split(u' '));
        QCOMPARE(code, 1);
        QCOMPARE(stdOut, QByteArray("Status: Total:6   Done:4   Connect Fail:1   Redirected:0   "
                                    "Download Fail:1  \nCompleted: 4  Failed: 2\n"));
        QVERIFY2(stdErr.contains("404") && stdErr.contains("[Completed] " + site + "/ok.txt\n"),
                 stdErr.data());
        QCOMPARE(readAll(ManagerRig::local(home.base(), nginx.port(), "/site/files/B.JPG")),
                 QByteArray("jpeg bytes"));
        QCOMPARE(readAll(failedList), "earlier\n" + no.toUtf8() + "\n" + refused + "a.bin\n");

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
                return ManagerRig::local(home.base(), nginx.port(),
                                         QStringLiteral("/big%1.zip").arg(i));
            };
            QProcess first;
            home.start(first, QStringList{"--user-agent", "slow"} + urls);
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(file(0)).size() > 20000, 20000);
            ::kill(pid_t(first.processId()), signal);
            QVERIFY(first.waitForFinished(20000));
            QVERIFY(first.exitStatus() == QProcess::NormalExit && first.exitCode() == 130);
            QVERIFY(first.readAllStandardOutput().endsWith("Completed: 0  Failed: 3\n"));
            QVERIFY(QFileInfo(file(0)).size() < bodies[0].size());
            // The stop sequence ran: the connection log holds every job's line.
            QCOMPARE(readAll(home.base() + QStringLiteral("/Harvex_0_SVR.log")).count('\n'), 3);

            QCOMPARE(std::get<0>(home.run(urls)), 0);
            for (int i = 0; i < 3; ++i)
                QVERIFY(readAll(file(i)) == bodies[i]);
            QVERIFY(readAll(home.base() + "/Harvex_0.log").contains("***Resuming => /big"));
        }
    }
};

QTEST_GUILESS_MAIN(TestManager)
#include "test_manager.moc"
