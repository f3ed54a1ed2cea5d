// SPDX-License-Identifier: GPL-3.0-or-later
// The manager's rules without sockets: the job list and the scheduler over it with fake
// slots, the local file of a URL and the logs, the monitor, meter and terminal texts.
#include "cli/LiveDisplay.h"
#include "lists/JobList.h"
#include "lists/ManagerState.h"
#include "lists/Rowvane.h"
#include "lists/StatusLine.h"
#include "lists/UrlListIO.h"
#include "manager/DownloadLogs.h"
#include "manager/LocalFileNaming.h"
#include "manager/Scheduler.h"
#include "manager/SchedulerHost.h"
#include "manager/SlotMonitor.h"
#include "manager/SpeedMeter.h"
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"

#include <QElapsedTimer>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Template = QStringLiteral("(https?://[^<=\\?\\+>]+$Ext)");
const QString DataExt = QStringLiteral("(\\.jpg|\\.zip)");

// Slots that write down what they are told: "slot>row" a start, "xN" a stop, "T" a file
// already taken in the run, "E" the run's end.
struct FakeHost : SchedulerHost
{
    int total = 3;
    QSet<int> busy;
    QStringList trace;
    bool running = false, samePath = false;

    int SlotTotal() const override { return total; }
    bool SlotBusy(int slot) const override { return busy.contains(slot); }
    JobFile NameJob(const QString& url, const std::function<bool(const QString&)>& taken) override
    {
        const JobFile file{samePath ? "/pic.zip" : "/" + url.section(u'/', -1), 0, 0};
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

    QStringList rows() const
    {
        QStringList out;
        for (int i = 0; i < list.ListCount(); ++i)
            out << list.List(i);
        return out;
    }
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

    NamingOptions options(int pathOption = 0, bool resume = false) const
    {
        NamingOptions o;
        o.BaseDir = base;
        o.PathOption = pathOption;
        o.DetectResume = resume;
        return o;
    }
    QString name(const QString& url, int pathOption = 0, bool resume = false)
    {
        return naming.GetLocalFileName(url, options(pathOption, resume));
    }
    QString programLog() const { return QString::fromUtf8(readFile(base + "/Harvex_0.log")); }
};

class BatchDialogs : public ScriptedDialogs
{
public:
    bool Interactive() const override { return false; }
};

} // namespace

class TestManagerRules : public QObject
{
    Q_OBJECT

private slots:
    void schedulerRules()
    {
        // Rows, slots made, slider; a script: S start, R resume, B remove the block, eN the
        // job of slot N ends, fN slot N frees without telling, jN slider to N, bN block at
        // row N, a two rows added, P every job names the same file; the trace and the
        // messages shown; the block on.
        const struct
        {
            int rows, made, slider;
            const char *script, *trace;
            bool block;
        } rows[] = {
            {3, 7, 7, "S", "0>0 1>1 2>2", false}, // in order to the first slots
            {5, 3, 9, "S", "0>0 1>1 2>2", false}, // the slider above the slots made
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
        };
        for (const auto& row : rows) {
            Jobs f;
            f.host.total = row.made;
            QStringList urls;
            for (int i = 0; i < row.rows; ++i)
                urls << QStringLiteral("http://h/f%1.bin").arg(i);
            f.jobs.AddJobs(urls.join(QStringLiteral("\r\n")));
            f.scheduler.UpdateSlotCount(row.slider);
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
                {'b', [&] { f.list.setListIndex(n), f.scheduler.SetBlock(); }}};
            for (const QString& step : QString(row.script).split(u' ', Qt::SkipEmptyParts)) {
                n = step.mid(1).toInt();
                steps[step.at(0).toLatin1()]();
            }
            const QString trace = (f.host.trace + f.dialogs.messages()).join(u' ');
            QVERIFY2(trace == row.trace, qPrintable(trace));
            QVERIFY2(f.jobs.BlockCaption() == (row.block ? "Block: ON" : "Block: OFF"), row.script);
            QCOMPARE(f.host.running, *row.trace && !f.host.trace.endsWith("E"));
        }
    }

    void jobListLooksAndCaptions()
    {
        Jobs f;
        f.jobs.RefreshJobQueue();
        QCOMPARE(f.status.Caption(), QString("Status: INACTIVE [Job queue: 0]"));
        QCOMPARE(f.jobs.ListCaption(), QString("0/0"));
        QVERIFY(!f.jobs.StartEnabled() && !f.jobs.StartMenuEnabled());
        QSignalSpy changed(&f.list, &Rowvane::Changed);
        // Pieces are added untrimmed; "A" is refused as a duplicate of "a".
        f.jobs.AddJobs("a\r\n\r\n  \r\nb\nA\rc\r\n\t\r\n b ");
        QCOMPARE(f.rows(), QStringList({"a", "b", "c", " b "}));
        QCOMPARE(changed.count(), 1); // one repaint for the whole text
        QVERIFY(!f.list.Selected(3) && f.list.ForeColorID(3) == 1);
        QCOMPARE(f.state.BlockIndex, 4);
        QCOMPARE(f.status.Caption(), QString("Status: INACTIVE [Job queue: 4]"));
        QCOMPARE(f.jobs.ListCaption(), QString("1/4"));
        QVERIFY(f.jobs.StartEnabled() && f.jobs.StartMenuEnabled());
        f.list.setListIndex(-1);
        f.jobs.RefreshJobQueue();
        QCOMPARE(f.jobs.ListCaption(), QString("0/4"));

        f.jobs.AddJobs("d1\nd2\nf1\nd3\nblock\nd4\np");
        f.jobs.SetRunning(10);
        QCOMPARE(f.list.ListIndex(), 10);
        QCOMPARE(f.list.BackColorID(10), f.jobs.ClrRunning());
        QVERIFY(!f.jobs.IsCompleted(10) && !f.jobs.IsFailed(10));
        for (int row : {4, 5, 7, 9})
            f.jobs.SetCompleted(row);
        f.jobs.SetFailed(6);
        f.jobs.SetBlockLook(8); // the failed colour, as background
        QVERIFY(f.jobs.IsCompleted(4) && f.jobs.IsFailed(6) && !f.jobs.IsFailed(8));
        QCOMPARE(f.list.BackColorID(8), f.jobs.ClrFailed());
        f.jobs.RemoveJob(0);
        changed.clear();
        QVERIFY(f.jobs.ClearCompleted()); // adjacent completed rows all go
        QCOMPARE(f.rows(), QStringList({"b", "c", " b ", "f1", "block", "p"}));
        QCOMPARE(changed.count(), 1);
        QVERIFY(f.jobs.ClearFailed());
        QCOMPARE(f.rows(), QStringList({"b", "c", " b ", "block", "p"}));
        QCOMPARE(f.status.Caption(), QString("Status: INACTIVE [Job queue: 5]"));
        f.jobs.ClearBlockLook(3);
        QCOMPARE(f.list.ForeColorID(3), 1);

        // Running: new rows join the run unless a block is in force; the counter line.
        f.state.IsIdle = false;
        f.jobs.AddJobs("u5");
        QCOMPARE(f.state.BlockIndex, 6);
        f.state.BlockIndex = 2;
        f.jobs.setBlockCaption("Block: 3");
        f.jobs.AddJobs("u6\nu7");
        QCOMPARE(f.state.BlockIndex, 2);
        QCOMPARE(f.jobs.BlockCaption(), QString("Block: 3"));
        f.state.DoneCount = 12;
        f.state.ConnectFailCount = 1234;
        f.state.DownloadFailCount = 7;
        f.jobs.RefreshJobQueue();
        QCOMPARE(f.status.Caption(), QString("Status: Total:8   Done:12  Connect Fail:1234 "
                                             "Redirected:0   Download Fail:7  "));
        QVERIFY(f.status.Formatting()); // the counter line is drawn in colours
        f.status.gStatEx(false, "Stopped");
        QVERIFY(!f.status.Formatting());
        f.state.IsIdle = true;
        QVERIFY(f.jobs.ClearAll());
        QCOMPARE(f.jobs.ListCaption(), QString("0/0"));
        QVERIFY(f.dialogs.asked.isEmpty());
    }

    void rowsStayPutWhileARunGoes()
    {
        // A command and whether it is refused with a message box too (clearing) or in the
        // status line only (changing); appending moves no row and stays allowed.
        QTemporaryDir dir;
        const QString listFile = dir.filePath("list.txt");
        QVERIFY(writeFile(listFile, "http://h/new.zip\n"));
        const QStringList start{"http://h/a.zip", "http://h/b.zip", "http://h/c.zip"};
        for (const QString command :
             {"cut", "paste", "delete", "clear", "completed", "failed", "load"}) {
            Jobs f;
            UrlListIO io{f.jobs, f.dialogs};
            f.jobs.setDataFilter(Template);
            f.jobs.AddJobs("http://h/cut.zip\n" + start.join('\n'));
            f.list.setListIndex(0);
            io.CutItem();
            f.jobs.SetCompleted(0);
            f.jobs.SetFailed(2);
            // The manager's state says idle between two jobs; the run still goes.
            f.jobs.SetRunGoing([] { return true; });
            f.dialogs.asked.clear();
            const QHash<QString, std::function<void()>> commands{
                {"cut", [&] { io.CutItem(); }},
                {"paste", [&] { io.PasteItem(); }},
                {"delete", [&] { f.jobs.RemoveJob(0); }},
                {"clear", [&] { f.jobs.ClearAll(); }},
                {"completed", [&] { f.jobs.ClearCompleted(); }},
                {"failed", [&] { f.jobs.ClearFailed(); }},
                {"load", [&] { io.LoadDroppedFile(listFile, f.list, DataExt, true); }}};
            commands[command]();
            const bool clearing = command == "clear" || command == "completed" ||
                                  command == "failed" || command == "load";
            const QString refusal = clearing
                                        ? "Can't clear jobs while performing downloads."
                                        : "Can't change the download list while downloads run.";
            QVERIFY2(f.rows() == start, qPrintable(command));
            QCOMPARE(f.status.Caption(), "Status: " + refusal);
            QCOMPARE(f.dialogs.messages(), clearing ? QStringList{refusal} : QStringList{});
            f.jobs.AddJobs("http://h/end.zip");
            QCOMPARE(f.rows(), start + QStringList{"http://h/end.zip"});
            QCOMPARE(io.CutBuffer(), QString("http://h/cut.zip"));
        }
    }

    void linkPattern()
    {
        Jobs f;
        f.jobs.setDataFilter(Template);
        f.jobs.AddJobsFiltered(f.pages,
                               "see http://h/a.JPG here\r\nhttp://h/b.txt\r\nhttps://h/c.zip\r\n"
                               "http://h/d.jpg?x=1\r\nftp://h/e.jpg\r\nHTTP://H/A.jpg",
                               DataExt);
        // Whole lines that hold a link go to the target list, without duplicates.
        QCOMPARE(f.pages.ListCount(), 4);
        QCOMPARE(f.pages.List(0), QString("see http://h/a.JPG here"));
        QCOMPARE(f.pages.List(3), QString("HTTP://H/A.jpg"));
        QCOMPARE(f.list.ListCount(), 0);
        // Without a template every line goes to the job list as AddJobs would add it.
        f.jobs.setDataFilter(QString());
        f.jobs.AddJobsFiltered(f.pages, "x\ny", DataExt);
        QCOMPARE(f.rows(), QStringList({"x", "y"}));
        // A broken pattern matches nothing and is reported once, a different one again.
        f.jobs.setDataFilter("(http://[^>+$Ext");
        f.jobs.AddJobsFiltered(f.list, "http://h/a.jpg", DataExt);
        f.jobs.AddJobsFiltered(f.list, "http://h/b.jpg", DataExt);
        QCOMPARE(f.list.ListCount(), 2);
        QCOMPARE(f.dialogs.asked.size(), 1);
        QVERIFY(f.dialogs.asked.at(0).text.startsWith("The link pattern ("));
        f.jobs.AddJobsFiltered(f.list, "http://h/b.jpg", "(\\.gif");
        QCOMPARE(f.dialogs.asked.size(), 2);
    }

    void localPaths()
    {
        // The path option (0 replicate the URL path, 1 flat), the URL ("~" a NUL) and its
        // file under the base folder, which it never leaves.
        const char* const rows[][3] = {
            {"0", "http://host/dir/a.zip", "host/dir/a.zip"},
            {"0", "http://host/dir/", "host/dir/_index.htm"},
            {"0", "http://host", "host"},
            {"0", "justtext", "justtext/_index.htm"},
            {"0", "HTTPS://Host/A/b.JPG", "Host/A/b.JPG"},
            {"0", "http://host/a?b=c:d", "host/a%3Fb=c%3Ad"},
            {"0", "http://host:8080/x.zip", "host%3A8080/x.zip"},
            {"0", "http://h/d|i<r>/\"*.txt", "h/d%7Ci%3Cr%3E/%22%2A.txt"},
            {"0", "dir/sub/f.txt", "dir/sub/f.txt"},
            {"0", "http://h//a///b.txt", "h/a/b.txt"},
            {"0", "http://h/a/./b.txt", "h/a/b.txt"},
            {"0", "http://h/a/../b.txt", "h/b.txt"},
            {"0", "http://h/../../etc/x", "h/etc/x"},
            {"0", "http://h/%2e%2e/%2E%2e/etc/x", "h/etc/x"},
            {"0", "http://h/a/%2e/b", "h/a/b"},
            {"0", "http://h/a/.%2E/.%2e/..", "h/_index.htm"},
            {"0", "http://h/a/..", "h/_index.htm"},
            {"0", "http://h/a/.", "h/a/_index.htm"},
            {"0", "http://../x", "%2E%2E/x"},
            {"0", "http://%2e%2e/../x", "%2e%2e/x"},
            {"0", "http:///x.txt", "x.txt"},
            {"0", "../../x", "x"},
            {"0", "http://h/p?x=/../../y", "h/y"},
            {"0", "http://h/.../x", "h/.../x"},
            {"0", "http://h/a\\..\\..\\b", "h/a\\..\\..\\b"},
            {"0", "http://h/a~b", "h/a%00b"},
            {"1", "http://h/x/y/z.gif", "Downloads/z.gif"},
            {"1", "http://h/x/..", "Downloads/_index.htm"},
            {"1", "http://h/x/%2E%2E", "Downloads/_index.htm"},
        };
        Naming n;
        for (const auto& row : rows) {
            const QString path = n.name(QString(row[1]).replace(u'~', QChar(0)), *row[0] - '0');
            QCOMPARE(path, n.base + "/" + row[2]);
            QVERIFY(LocalFileNaming::IsInside(path, n.base));
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
        // The minimum image size applies to image names of five characters or more.
        o = n.options();
        o.MinImgSize = 500;
        for (const auto& [url, limit] : {std::pair{"http://h/a.JPG", 500},
                                         {"http://h/g.gi", 500},
                                         {"http://h/a.zip", 0},
                                         {".jpg", 0},
                                         {"x.jpg", 500}})
            QCOMPARE(n.naming.PrepareJob(url, o).MinimumFileSize, limit);
    }

    void longNamesAreShortened()
    {
        Naming n;
        const QString url = "http://h/" + QString(300, QChar(0x00E9)) + "/" + QString(300, 'n') +
                            ".jpeg"; // é is 2 bytes in UTF-8
        const QString path = n.name(url);
        const QStringList parts = path.mid(n.base.size() + 1).split('/');
        QCOMPARE(parts.size(), 3);
        QCOMPARE(parts.at(1).toUtf8().size(), 254); // whole characters only
        QCOMPARE(parts.at(2).toUtf8().size(), 255);
        QVERIFY(parts.at(2).endsWith(".jpeg"));
        // The file can be created, and renamed variants still fit.
        QVERIFY(writeFile(path, "x"));
        const QString renamed = n.name(url);
        QVERIFY(renamed.endsWith("[1].jpeg"));
        QVERIFY(writeFile(renamed, "y"));
        // Surrogate pairs are never cut in half; a huge "extension" is not kept.
        QCOMPARE(LocalFileNaming::ShortenName(QString::fromUtf8("\xF0\x9F\x98\x80").repeated(100))
                     .toUtf8()
                     .size(),
                 252);
        QCOMPARE(LocalFileNaming::ShortenName("a." + QString(300, 'x')).size(), 255);
    }

    void existingFilesAreRenamedOrResumed()
    {
        Naming n;
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

        // An empty file is reused from 0; a non-empty one only with resume.
        writeFile(h + "e.zip", "");
        const JobFile empty = n.naming.PrepareJob("http://h/e.zip", n.options(0, true));
        QCOMPARE(empty.Path, h + "e.zip");
        QCOMPARE(empty.ResumeFrom, 0);
        writeFile(h + "dir/big.zip", QByteArray(1000, 'x'));
        const JobFile resumed = n.naming.PrepareJob("http://h/dir/big.zip", n.options(0, true));
        QCOMPARE(resumed.Path, h + "dir/big.zip");
        QCOMPARE(resumed.ResumeFrom, 1000);
        QVERIFY(n.programLog().contains("] : ***Resuming => /dir/big.zip from position 1001\n"));
        QCOMPARE(n.naming.PrepareJob("http://h/dir/big.zip", n.options()).Path,
                 h + "dir/big[1].zip");
        // A file another job of this run names is taken, missing or not: never shared.
        NamingOptions o = n.options(0, true);
        o.TakenInRun = [](const QString& path) { return !path.contains('['); };
        QCOMPARE(n.naming.GetLocalFileName("http://h/t.zip", o), h + "t[1].zip");
        QCOMPARE(n.naming.GetLocalFileName("http://h/dir/big.zip", o), h + "dir/big[1].zip");
    }

    void askMeWhere()
    {
        Naming n;
        n.dialogs.files.enqueue(n.base + "/chosen/pic.jpg");
        QCOMPARE(n.name("http://h/a/p:c.jpg", 2), n.base + "/chosen/pic.jpg");
        QCOMPARE(n.dialogs.asked.at(0).kind, QString("Save"));
        QCOMPARE(n.dialogs.asked.at(0).text, QString("p%3Ac.jpg")); // the proposed name
        // A cancelled dialog is an error: logged, and the job gets no path.
        QCOMPARE(n.name("http://h/a/q.jpg", 2), QString());
        QVERIFY(n.programLog().contains("] : [Error: 32755]:[GetLocalFileName]: Cancel was "
                                        "selected.\n"));
        // Without a dialog the URL path is replicated, and that is said once.
        BatchDialogs console;
        LocalFileNaming batch(n.logs, console);
        QCOMPARE(batch.GetLocalFileName("http://h/a/q.jpg", n.options(2)), n.base + "/h/a/q.jpg");
        QCOMPARE(batch.GetLocalFileName("http://h/a/r.jpg", n.options(2)), n.base + "/h/a/r.jpg");
        QCOMPARE(console.messages().size(), 1);
        QVERIFY(console.messages().at(0).contains("\"Replicate Url path\""));
    }

    void logs()
    {
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

        // Failures are silent: a missing folder is never made; a folder where the program
        // log should be leaves only the connection log open.
        DownloadLogs missing;
        missing.OpenLogFile(dir.filePath("no/such/base"));
        missing.WriteLog("lost");
        QVERIFY(!missing.IsOpen() && !QFile::exists(dir.filePath("no")));
        QVERIFY(QDir().mkpath(dir.filePath("blocked/Harvex_0.log")));
        DownloadLogs blocked;
        blocked.OpenLogFile(dir.filePath("blocked"));
        QVERIFY(!blocked.IsOpen() && blocked.IsConnectionLogOpen());
        blocked.WriteLog("lost");
        blocked.WriteConLog("kept");
        QVERIFY(readFile(dir.filePath("blocked/Harvex_0_SVR.log")).endsWith("] [CON] kept\n"));
    }

    void monitorAndLiveDisplay()
    {
        // Views hear of a burst of changes once, after the refresh interval.
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
        QCOMPARE(monitor.RowAt(1).Progress, 99.98);
        QCOMPARE(monitor.DisplayText(1), QStringLiteral(" [4999]"));
        QVERIFY(!changed.wait(150)); // nothing new, nothing told
        // A steady stream of changes is still heard every refresh interval.
        QElapsedTimer stream;
        stream.start();
        changed.clear();
        while (changed.isEmpty() && stream.elapsed() < 1000) {
            monitor.SetSlotStatus(2, QString::number(stream.elapsed()));
            QTest::qWait(5);
        }
        QVERIFY(stream.elapsed() < 500);
        QCOMPARE(SlotMonitor::FillPercent(0.4), 0.0);
        QCOMPARE(SlotMonitor::FillPercent(0.5), 0.5);

        // Terminal lines stay on one row: control characters shown as "?", long texts cut.
        monitor.SetProgress(0, 50);
        monitor.SetSlotStatus(0, "Connected to: host\r\x1b[2Jx\u009B2J\u202E\U0001F600");
        monitor.SetSlotStatus(1, QString(32, QLatin1Char('v'))); // exactly 60 wide
        monitor.SetSlotStatus(2, QString(200, QLatin1Char('w')));
        const QStringList lines = LiveDisplay::Render(monitor, "meter", "counters", 60);
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines[0], "01 [##########          ] [Connected to: host??[2Jx?2J?\U0001F600]");
        QCOMPARE(lines[1].size(), 59);
        QCOMPARE(lines[2].size(), 59);
        QVERIFY(lines[2].startsWith(QStringLiteral("03 [                    ] [www")));
        QCOMPARE(lines.mid(3), (QStringList{"meter", "counters"}));
        for (const auto& [percent, bar] :
             {std::pair{100.0, "[####]"}, {70.0, "[##  ]"}, {0.4, "[    ]"}})
            QCOMPARE(LiveDisplay::ProgressBar(percent, 4), QString(bar));
    }

    void meterTexts()
    {
        // KB of one tick and of files in, the speed and the growing total shown.
        const struct
        {
            qint64 speedKB, fileKB;
            const char *speed, *total;
        } ticks[] = {
            {0, 0, "00.0", "00.0"},
            {40, 1536, "40.0", "01.5"},
            {0, 0, "00.0", "01.5"},
            {123456, 204800, "123456.0", "201.5"},
        };
        SpeedMeter meter;
        for (const auto& tick : ticks) {
            meter.Tick(tick.speedKB * 1024, tick.fileKB * 1024);
            QCOMPARE(meter.MeterText(), QString("  Download Speed:%1KB/Sec     Total Download:%2MB")
                                            .arg(tick.speed, tick.total));
        }
        QCOMPARE(SpeedMeter::ElapsedText(61), QStringLiteral("01:01 Min"));
        QCOMPARE(SpeedMeter::ElapsedText(6000), QStringLiteral("100:00 Min"));

        // The graph keeps the last 58 ticks, oldest first, cut at 17, halves to even.
        SpeedMeter graph;
        QVERIFY(graph.GraphBlank());
        for (int i = 0; i < 60; ++i)
            graph.Tick(qint64(i % 20) * 1024, 0);
        QVector<int> columns = graph.History();
        QCOMPARE(columns.size(), 58);
        QCOMPARE(columns.first(), 2);
        QCOMPARE(columns.mid(52), (QVector<int>{14, 15, 16, 17, 17, 17}));
        graph.BlankGraph();
        QVERIFY(graph.GraphBlank());
        QCOMPARE(graph.History(), columns); // the history itself is never cleared
        graph.Tick(qint64(2.5 * 1024), 0);
        QCOMPARE(graph.History().last(), 2);
    }
};

QTEST_GUILESS_MAIN(TestManagerRules)
#include "test_manager_rules.moc"
