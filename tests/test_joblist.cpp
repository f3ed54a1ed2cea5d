// SPDX-License-Identifier: GPL-3.0-or-later
// The job list (adding, the looks of a job's state, the captions, clearing, rows that stay
// put during a run, the link pattern) and the scheduler's rules over it, with fake slots:
// which row goes to which slot and when, the slider, the block, resume, the end of a run.
#include "lists/JobList.h"
#include "lists/ManagerState.h"
#include "lists/Rowvane.h"
#include "lists/StatusLine.h"
#include "lists/UrlListIO.h"
#include "manager/Scheduler.h"
#include "manager/SchedulerHost.h"
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"

#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Template = QStringLiteral("(https?://[^<=\\?\\+>]+$Ext)");
const QString DataExt = QStringLiteral("(\\.jpg|\\.zip)");

// Slots that only write down what they are told: "slot>row" for a start, "xN" for a
// stop, "T" for a file already taken in the run, "E" for the run's end.
struct FakeHost : SchedulerHost
{
    int total = 3;
    QSet<int> busy;
    QStringList trace;
    bool running = false;
    bool samePath = false; // every job names the same file

    int SlotTotal() const override { return total; }
    bool SlotBusy(int slot) const override { return busy.contains(slot); }
    JobFile NameJob(const QString& url, const std::function<bool(const QString&)>& taken) override
    {
        JobFile file;
        file.Path = samePath ? QStringLiteral("/base/pic.zip") : "/base/" + url.section(u'/', -1);
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

// A job list with everything it needs, as the manager wires it, and a scheduler over it.
struct Fixture
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

} // namespace

class TestJobList : public QObject
{
    Q_OBJECT

private slots:
    void schedulerRules()
    {
        // Rows, slots made, slider; a script: S start, R resume, B remove the block, eN the
        // job of slot N ends, fN slot N frees without telling, jN slider to N, bN block at
        // row N, a two rows added, P every job names the same file; the trace; the block on.
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
            // A later job of the same file sees it taken; a new run forgets.
            {3, 1, 1, "P S e0 e0 e0 S", "0>0 T 0>1 T 0>2 x0 E 0>0", false},
        };
        for (const auto& row : rows) {
            Fixture f;
            f.host.total = row.made;
            QStringList urls;
            for (int i = 0; i < row.rows; ++i)
                urls << QStringLiteral("http://h/f%1.bin").arg(i);
            f.jobs.AddJobs(urls.join(QStringLiteral("\r\n")));
            f.scheduler.UpdateSlotCount(row.slider);
            for (const QString& step : QString(row.script).split(u' ', Qt::SkipEmptyParts)) {
                const int n = step.mid(1).toInt();
                switch (step.at(0).toLatin1()) {
                case 'S':
                    f.scheduler.StartDownloads();
                    break;
                case 'R':
                    f.scheduler.ResumeDownloads();
                    break;
                case 'B':
                    f.scheduler.RemoveBlock();
                    break;
                case 'P':
                    f.host.samePath = true;
                    break;
                case 'a':
                    f.jobs.AddJobs(QStringLiteral("http://h/a1\nhttp://h/a2"));
                    break;
                case 'j':
                    f.scheduler.UpdateSlotCount(n);
                    break;
                case 'f':
                    f.host.busy.remove(n);
                    break;
                case 'e':
                    f.host.busy.remove(n);
                    f.scheduler.SlotFreed(n);
                    break;
                case 'b':
                    QVERIFY(f.list.setListIndex(n));
                    f.scheduler.SetBlock();
                    break;
                }
            }
            QVERIFY2(f.host.trace.join(u' ') == row.trace, qPrintable(f.host.trace.join(u' ')));
            QVERIFY2(f.jobs.BlockCaption() == (row.block ? "Block: ON" : "Block: OFF"), row.script);
            QCOMPARE(f.host.running, *row.trace && !QByteArray(row.trace).endsWith('E'));
        }
    }

    void resumeWithEveryRowHandedOutSaysSo()
    {
        Fixture f;
        f.jobs.AddJobs(QStringLiteral("a\nb"));
        f.scheduler.UpdateSlotCount(3);
        f.scheduler.StartDownloads();
        f.host.busy.clear();
        f.scheduler.ResumeDownloads();
        QCOMPARE(f.dialogs.messages(), QStringList{"No Jobs pending.. Aborting.."});
    }

    void addJobsAndTheBlock()
    {
        Fixture f;
        QSignalSpy changed(&f.list, &Rowvane::Changed);
        // Pieces are added untrimmed; "A" is refused as a duplicate of "a".
        f.jobs.AddJobs("a\r\n\r\n  \r\nb\nA\rc\r\n\t\r\n b ");
        QCOMPARE(f.rows(), QStringList({"a", "b", "c", " b "}));
        QCOMPARE(changed.count(), 1); // one repaint for the whole text
        QVERIFY(!f.list.Selected(3) && f.list.ForeColorID(3) == 1);
        QCOMPARE(f.state.BlockIndex, 4);
        f.state.IsIdle = false;
        f.jobs.AddJobs("u5"); // no block: the new rows join the run
        QCOMPARE(f.state.BlockIndex, 5);
        f.state.BlockIndex = 2; // a block is in force
        f.jobs.setBlockCaption("Block: 3");
        f.jobs.AddJobs("u6\nu7");
        QCOMPARE(f.state.BlockIndex, 2);
        QCOMPARE(f.jobs.BlockCaption(), QString("Block: 3"));
    }

    void captions()
    {
        Fixture f;
        f.jobs.RefreshJobQueue();
        QCOMPARE(f.status.Caption(), QString("Status: INACTIVE [Job queue: 0]"));
        QCOMPARE(f.jobs.ListCaption(), QString("0/0"));
        QVERIFY(!f.jobs.StartEnabled() && !f.jobs.StartMenuEnabled());
        f.jobs.AddJobs("a\nb\nc");
        QCOMPARE(f.status.Caption(), QString("Status: INACTIVE [Job queue: 3]"));
        QCOMPARE(f.jobs.ListCaption(), QString("1/3"));
        QVERIFY(f.jobs.StartEnabled() && f.jobs.StartMenuEnabled());
        f.list.setListIndex(-1);
        f.jobs.RefreshJobQueue();
        QCOMPARE(f.jobs.ListCaption(), QString("0/3"));
        // While running: the counter line, formatted.
        f.state.IsIdle = false;
        f.state.DoneCount = 12;
        f.state.ConnectFailCount = 1234;
        f.state.DownloadFailCount = 7;
        f.jobs.RefreshJobQueue();
        QCOMPARE(f.status.Caption(), QString("Status: Total:3   Done:12  Connect Fail:1234 "
                                             "Redirected:0   Download Fail:7  "));
        QVERIFY(f.status.Formatting()); // the counter line is drawn in colours
        f.status.gStatEx(false, "Stopped");
        QVERIFY(!f.status.Formatting());
    }

    void stateLooksAndClearing()
    {
        Fixture f;
        f.jobs.AddJobs("d1\nd2\nf1\nd3\nblock\nd4\np");
        f.jobs.SetRunning(6);
        QCOMPARE(f.list.ListIndex(), 6);
        QCOMPARE(f.list.BackColorID(6), f.jobs.ClrRunning());
        QVERIFY(!f.jobs.IsCompleted(6) && !f.jobs.IsFailed(6));
        for (int row : {0, 1, 3, 5})
            f.jobs.SetCompleted(row);
        f.jobs.SetFailed(2);
        f.jobs.SetBlockLook(4); // the failed colour, as background
        QVERIFY(f.jobs.IsCompleted(0) && f.jobs.IsFailed(2) && !f.jobs.IsFailed(4));
        QCOMPARE(f.list.BackColorID(4), f.jobs.ClrFailed());

        QSignalSpy changed(&f.list, &Rowvane::Changed);
        QVERIFY(f.jobs.ClearCompleted()); // adjacent completed rows all go
        QCOMPARE(f.rows(), QStringList({"f1", "block", "p"}));
        QCOMPARE(changed.count(), 1);
        QVERIFY(f.jobs.ClearFailed());
        QCOMPARE(f.rows(), QStringList({"block", "p"}));
        QCOMPARE(f.status.Caption(), QString("Status: INACTIVE [Job queue: 2]"));
        f.jobs.ClearBlockLook(0);
        QCOMPARE(f.list.ForeColorID(0), 1);
        QVERIFY(f.jobs.ClearAll());
        QCOMPARE(f.jobs.ListCaption(), QString("0/0"));
        QVERIFY(f.dialogs.asked.isEmpty());
    }

    void rowsStayPutWhileARunGoes()
    {
        // A command, the refusal it shows while a run goes (c a change, x a clear), and the
        // rows when idle (the rows: cut.zip, cut into the buffer, a.zip done, b, c failed).
        const struct
        {
            const char* command;
            char refusal;
            const char* idleRows;
        } rows[] = {
            {"cut", 'c', "a c"},  {"paste", 'c', "cut a b c"}, {"delete", 'c', "b c"},
            {"clear", 'x', ""},   {"completed", 'x', "b c"},   {"failed", 'x', "a b"},
            {"load", 'x', "new"},
        };
        QTemporaryDir dir;
        const QString listFile = dir.filePath("list.txt");
        QVERIFY(writeFile(listFile, "http://h/new.zip\n"));
        const QStringList start{"http://h/a.zip", "http://h/b.zip", "http://h/c.zip"};
        for (const auto& row : rows) {
            const QString command = row.command;
            const QString refusal = row.refusal == 'c'
                                        ? "Can't change the download list while downloads run."
                                        : "Can't clear jobs while performing downloads.";
            for (const bool running : {true, false}) {
                Fixture f;
                UrlListIO io{f.jobs, f.dialogs};
                f.jobs.setDataFilter(Template);
                f.jobs.AddJobs("http://h/cut.zip\n" + start.join('\n'));
                f.list.setListIndex(0);
                io.CutItem();
                f.jobs.SetCompleted(0);
                f.jobs.SetFailed(2);
                f.list.setListIndex(1);
                // The manager's state says idle between two jobs; the run still goes.
                f.jobs.SetRunGoing([running] { return running; });
                f.dialogs.asked.clear();
                if (command == "cut")
                    io.CutItem();
                else if (command == "paste" && f.list.setListIndex(0))
                    io.PasteItem();
                else if (command == "delete")
                    f.jobs.RemoveJob(0);
                else if (command == "clear")
                    f.jobs.ClearAll();
                else if (command == "completed")
                    f.jobs.ClearCompleted();
                else if (command == "failed")
                    f.jobs.ClearFailed();
                else if (command == "load")
                    io.LoadDroppedFile(listFile, f.list, DataExt, true);
                if (!running) {
                    QStringList idle;
                    for (const QString& name : QString(row.idleRows).split(' ', Qt::SkipEmptyParts))
                        idle << "http://h/" + name + ".zip";
                    QVERIFY2(f.rows() == idle, row.command);
                    QVERIFY(f.dialogs.asked.isEmpty());
                    continue;
                }
                QVERIFY2(f.rows() == start, row.command);
                QCOMPARE(f.status.Caption(), "Status: " + refusal);
                QCOMPARE(f.dialogs.messages(),
                         row.refusal == 'x' ? QStringList{refusal} : QStringList{});
                // Appending moves no row: it stays allowed.
                f.jobs.AddJobs("http://h/end.zip");
                QCOMPARE(f.rows(), start + QStringList{"http://h/end.zip"});
                QCOMPARE(io.CutBuffer(), QString("http://h/cut.zip"));
            }
        }
    }

    void linkPattern()
    {
        Fixture f;
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
};

QTEST_GUILESS_MAIN(TestJobList)
#include "test_joblist.moc"
