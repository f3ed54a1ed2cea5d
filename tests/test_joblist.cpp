// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/JobList.h"
#include "lists/ManagerState.h"
#include "lists/Rowvane.h"
#include "lists/StatusLine.h"
#include "lists/UrlListIO.h"
#include "support/ScriptedDialogs.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

const QString Template = QStringLiteral("(https?://[^<=\\?\\+>]+$Ext)");
const QString DataExt = QStringLiteral("(\\.jpg|\\.zip)");

// A job list with everything it needs, as the manager wires it.
struct Fixture
{
    Rowvane list;
    Rowvane pages;
    ManagerState state;
    StatusLine status{state, list};
    ScriptedDialogs dialogs;
    JobList jobs{list, state, status, dialogs};

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
    void addJobsSkipsBlanksAndDuplicates()
    {
        Fixture f;
        QSignalSpy changed(&f.list, &Rowvane::Changed);
        f.jobs.AddJobs("a\r\n\r\n  \r\nb\nA\rc\r\n\t\r\n b ");
        // Pieces are added untrimmed; "A" is refused as a duplicate of "a".
        QCOMPARE(f.rows(), QStringList({"a", "b", "c", " b "}));
        QCOMPARE(changed.count(), 1); // one repaint for the whole text
        QCOMPARE(f.state.BlockIndex, 4);
        QCOMPARE(f.jobs.BlockCaption(), QString("Block: OFF"));
        for (int i = 0; i < f.list.ListCount(); ++i) {
            QVERIFY(!f.list.Selected(i));
            QCOMPARE(f.list.ForeColorID(i), 1);
        }
    }

    void addingDuringRunWithAndWithoutBlock()
    {
        Fixture f;
        f.jobs.AddJobs("u1\nu2\nu3\nu4");
        f.state.IsIdle = false;
        f.jobs.AddJobs("u5"); // no block: the new rows join the run
        QCOMPARE(f.state.BlockIndex, 5);
        f.state.BlockIndex = 2; // a block is in force
        f.jobs.setBlockCaption("Block: 3");
        f.jobs.AddJobs("u6\nu7");
        QCOMPARE(f.state.BlockIndex, 2);
        QCOMPARE(f.jobs.BlockCaption(), QString("Block: 3"));
        QCOMPARE(f.list.ListCount(), 7);
    }

    void refreshJobQueueTexts()
    {
        Fixture f;
        QSignalSpy changed(&f.jobs, &JobList::Changed);
        f.jobs.RefreshJobQueue();
        QCOMPARE(f.status.Caption(), QString("Status: INACTIVE [Job queue: 0]"));
        QVERIFY(!f.status.Formatting());
        QCOMPARE(f.jobs.ListCaption(), QString("0/0"));
        QVERIFY(!f.jobs.StartEnabled());
        QVERIFY(!f.jobs.StartMenuEnabled());

        f.jobs.AddJobs("a\nb\nc");
        QCOMPARE(f.status.Caption(), QString("Status: INACTIVE [Job queue: 3]"));
        QCOMPARE(f.jobs.ListCaption(), QString("1/3"));
        QVERIFY(f.jobs.StartEnabled());
        QVERIFY(f.jobs.StartMenuEnabled());
        f.list.setListIndex(-1);
        f.jobs.RefreshJobQueue();
        QCOMPARE(f.jobs.ListCaption(), QString("0/3"));
        QVERIFY(changed.count() >= 3);

        // While running: the counter line, formatted.
        f.state.IsIdle = false;
        f.state.DoneCount = 12;
        f.state.ConnectFailCount = 1234;
        f.state.RedirectCount = 0;
        f.state.DownloadFailCount = 7;
        f.jobs.RefreshJobQueue();
        QCOMPARE(f.status.Caption(), QString("Status: Total:3   Done:12  Connect Fail:1234 "
                                             "Redirected:0   Download Fail:7  "));
        QVERIFY(f.status.Formatting());
        f.status.gStatEx(false, "Stopped");
        QCOMPARE(f.status.Caption(), QString("Status: Stopped"));
    }

    void stateLooks()
    {
        Fixture f;
        f.jobs.AddJobs("a\nb\nc\nd");
        QVERIFY(f.jobs.ClrRunning() >= 2 && f.jobs.ClrDone() >= 2 && f.jobs.ClrFailed() >= 2);
        QCOMPARE(f.list.Color(f.jobs.ClrRunning()), 0xC0FFFFu);
        QCOMPARE(f.list.Color(f.jobs.ClrFailed()), 255u);
        QCOMPARE(f.list.Color(f.jobs.ClrDone()), 0xFF0000u);
        f.jobs.SetRunning(2);
        QCOMPARE(f.list.ListIndex(), 2);
        QCOMPARE(f.list.BackColorID(2), f.jobs.ClrRunning());
        QVERIFY(!f.list.Selected(2));
        f.jobs.SetCompleted(2);
        QVERIFY(f.jobs.IsCompleted(2));
        QCOMPARE(f.list.BackColorID(2), 0);
        f.jobs.SetFailed(1);
        QVERIFY(f.jobs.IsFailed(1));
        f.jobs.SetBlockLook(3);
        QCOMPARE(f.list.BackColorID(3), f.jobs.ClrFailed());
        QCOMPARE(f.list.ForeColorID(3), 0);
        QVERIFY(!f.jobs.IsFailed(3));
        f.jobs.ClearBlockLook(3);
        QCOMPARE(f.list.ForeColorID(3), 1);
    }

    void clearCommands()
    {
        Fixture f;
        f.jobs.AddJobs("d1\nd2\nf1\nd3\nblock\nd4\np");
        for (int row : {0, 1, 3, 5})
            f.jobs.SetCompleted(row);
        f.jobs.SetFailed(2);
        f.jobs.SetBlockLook(4); // shares the failed colour, as background

        QSignalSpy changed(&f.list, &Rowvane::Changed);
        QVERIFY(f.jobs.ClearCompleted()); // adjacent completed rows all go
        QCOMPARE(f.rows(), QStringList({"f1", "block", "p"}));
        QCOMPARE(changed.count(), 1);
        QVERIFY(f.jobs.ClearFailed()); // the block row's text colour is not the failed one
        QCOMPARE(f.rows(), QStringList({"block", "p"}));
        QCOMPARE(f.status.Caption(), QString("Status: INACTIVE [Job queue: 2]"));
        QVERIFY(f.jobs.ClearAll());
        QCOMPARE(f.list.ListCount(), 0);
        QCOMPARE(f.jobs.ListCaption(), QString("0/0"));
        QVERIFY(f.dialogs.asked.isEmpty());
    }

    void rowsStayPutWhileARunGoes()
    {
        const QString changeRefused = "Can't change the download list while downloads run.";
        const QString clearRefused = "Can't clear jobs while performing downloads.";
        QTemporaryDir dir;
        const QString listFile = dir.filePath("list.txt");
        QFile file(listFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("http://h/new.zip\n");
        file.close();
        struct Case
        {
            const char* name;
            std::function<void(JobList&, UrlListIO&)> command;
            QString refusal;      // the status line's text while a run goes
            QStringList idleRows; // the rows after the command when idle
        };
        const QList<Case> cases{
            {"cut",
             [](JobList&, UrlListIO& io) { io.CutItem(); },
             changeRefused,
             {"http://h/a.zip", "http://h/c.zip"}},
            {"paste",
             [](JobList& jobs, UrlListIO& io) {
                 jobs.List().setListIndex(0);
                 io.PasteItem();
             },
             changeRefused,
             {"http://h/cut.zip", "http://h/a.zip", "http://h/b.zip", "http://h/c.zip"}},
            {"delete",
             [](JobList& jobs, UrlListIO&) { jobs.RemoveJob(0); },
             changeRefused,
             {"http://h/b.zip", "http://h/c.zip"}},
            {"clear", [](JobList& jobs, UrlListIO&) { jobs.ClearAll(); }, clearRefused, {}},
            {"clear completed",
             [](JobList& jobs, UrlListIO&) { jobs.ClearCompleted(); },
             clearRefused,
             {"http://h/b.zip", "http://h/c.zip"}},
            {"clear failed",
             [](JobList& jobs, UrlListIO&) { jobs.ClearFailed(); },
             clearRefused,
             {"http://h/a.zip", "http://h/b.zip"}},
            {"load with clear",
             [&](JobList& jobs, UrlListIO& io) {
                 io.LoadDroppedFile(listFile, jobs.List(), DataExt, true);
             },
             clearRefused,
             {"http://h/new.zip"}},
        };
        const QStringList start{"http://h/a.zip", "http://h/b.zip", "http://h/c.zip"};
        for (const Case& c : cases) {
            for (const bool running : {true, false}) {
                Fixture f;
                UrlListIO io{f.jobs, f.dialogs};
                f.jobs.setDataFilter(Template);
                f.jobs.AddJobs("http://h/cut.zip\n" + start.join('\n'));
                f.list.setListIndex(0);
                io.CutItem(); // a row waits in the cut buffer
                f.jobs.SetCompleted(0);
                f.jobs.SetFailed(2);
                f.list.setListIndex(1);
                // The manager's state says idle between two jobs; the run still goes.
                f.jobs.SetRunGoing([&running] { return running; });
                f.dialogs.asked.clear();
                c.command(f.jobs, io);
                if (running) {
                    QVERIFY2(f.rows() == start, c.name);
                    QVERIFY2(f.status.Caption() == "Status: " + c.refusal,
                             qPrintable(f.status.Caption()));
                    if (c.refusal == clearRefused) {
                        QCOMPARE(f.dialogs.messages(), QStringList{clearRefused});
                    }
                    // Appending moves no row: it stays allowed.
                    f.jobs.AddJobs("http://h/end.zip");
                    QVERIFY2(f.rows() == start + QStringList{"http://h/end.zip"}, c.name);
                    QCOMPARE(io.CutBuffer(), QString("http://h/cut.zip"));
                } else {
                    QVERIFY2(f.rows() == c.idleRows, c.name);
                    QVERIFY2(f.dialogs.asked.isEmpty(), c.name);
                }
            }
        }
    }

    void filteredAdds()
    {
        Fixture f;
        f.jobs.setDataFilter(Template);
        const QString text = "see http://h/a.JPG here\r\nhttp://h/b.txt\r\nhttps://h/c.zip\r\n"
                             "http://h/d.jpg?x=1\r\nftp://h/e.jpg\r\nHTTP://H/A.jpg";
        f.jobs.AddJobsFiltered(f.pages, text, DataExt);
        QCOMPARE(f.pages.ListCount(), 4);
        QCOMPARE(f.pages.List(0), QString("see http://h/a.JPG here")); // whole line
        QCOMPARE(f.pages.List(1), QString("https://h/c.zip"));
        QCOMPARE(f.pages.List(2), QString("http://h/d.jpg?x=1"));
        QCOMPARE(f.pages.List(3), QString("HTTP://H/A.jpg"));
        QCOMPARE(f.list.ListCount(), 0);

        // Without a template every line goes to the job list as AddJobs would add it.
        f.jobs.setDataFilter(QString());
        f.jobs.AddJobsFiltered(f.pages, "x\ny", DataExt);
        QCOMPARE(f.rows(), QStringList({"x", "y"}));
        QVERIFY(f.dialogs.asked.isEmpty());
    }

    void invalidPatternMatchesNothingAndIsReportedOnce()
    {
        Fixture f;
        f.jobs.setDataFilter("(http://[^>+$Ext");
        f.jobs.AddJobsFiltered(f.list, "http://h/a.jpg", DataExt);
        f.jobs.AddJobsFiltered(f.list, "http://h/b.jpg", DataExt);
        QCOMPARE(f.list.ListCount(), 0);
        QCOMPARE(f.dialogs.asked.size(), 1);
        QVERIFY(f.dialogs.asked.at(0).text.startsWith("The link pattern ("));
        // A different broken pattern is a new message.
        f.jobs.AddJobsFiltered(f.list, "http://h/b.jpg", "(\\.gif");
        QCOMPARE(f.dialogs.asked.size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestJobList)
#include "test_joblist.moc"
