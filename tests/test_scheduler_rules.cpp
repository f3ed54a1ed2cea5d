// SPDX-License-Identifier: GPL-3.0-or-later
// The scheduler's rules over fake slots: which row goes to which slot and when, the
// slider, the block, resume, the end of a run and the files of a run. No sockets and no
// waits: a test ends a job by freeing its slot.
#include "lists/JobList.h"
#include "lists/ManagerState.h"
#include "lists/Rowvane.h"
#include "lists/StatusLine.h"
#include "manager/Scheduler.h"
#include "manager/SchedulerHost.h"
#include "support/ScriptedDialogs.h"

#include <QSet>
#include <QTest>

namespace {

// Slots that only record what they are told; a job runs until the test frees its slot.
struct FakeHost : SchedulerHost
{
    int total = 3;
    QSet<int> busy;
    QList<QPair<int, int>> started; // (slot, row)
    QList<int> stopped;
    bool running = false;
    int runsEnded = 0;
    QString path; // the local file every job is named, "" for per URL
    QList<bool> takenWhenNamed;

    int SlotTotal() const override { return total; }
    bool SlotBusy(int slot) const override { return busy.contains(slot); }
    JobFile NameJob(const QString& url,
                    const std::function<bool(const QString&)>& takenInRun) override
    {
        JobFile file;
        file.Path = path.isEmpty() ? QStringLiteral("/base/") + url.section(u'/', -1) : path;
        takenWhenNamed << takenInRun(file.Path);
        return file;
    }
    void StartSlot(int slot, int row, const QString&, const JobFile&) override
    {
        busy.insert(slot);
        started.append({slot, row});
    }
    void StopSlot(int slot) override
    {
        busy.remove(slot);
        stopped << slot;
    }
    void ShowSlots() override {}
    void CountersChanged() override {}
    void RunStarts() override {}
    void RunEnding() override { ++runsEnded; }
    void SetRunning(bool on) override { running = on; }
    bool Running() const override { return running; }
};

struct Rig
{
    Rowvane list;
    ManagerState state;
    StatusLine status{state, list};
    ScriptedDialogs dialogs;
    JobList jobs{list, state, status, dialogs};
    FakeHost host;
    Scheduler scheduler{host, jobs, list, state, dialogs};

    Rig(int rows, int slotTotal, int slider)
    {
        host.total = slotTotal;
        QStringList urls;
        for (int i = 0; i < rows; ++i)
            urls << QStringLiteral("http://h/f%1.bin").arg(i);
        jobs.AddJobs(urls.join(QStringLiteral("\r\n")));
        scheduler.UpdateSlotCount(slider);
    }
    // The job of a slot ends.
    void end(int slot)
    {
        host.busy.remove(slot);
        scheduler.SlotFreed(slot);
    }
};

using Starts = QList<QPair<int, int>>;

} // namespace

class TestSchedulerRules : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void rowsGoInOrderToTheFirstSlots();
    void freedSlotTakesTheNextRowUntilNoneIsLeft();
    void loweredSliderStopsRefillingHigherSlots();
    void blockHoldsTheRunAndRemovingItLetsItGoOn();
    void blockRefusedOnLastRowAndBeforeNextJob();
    void resumeSkipsBusySlots();
    void laterUrlOfTheSameFileSeesItTaken();
};

void TestSchedulerRules::rowsGoInOrderToTheFirstSlots()
{
    Rig rig(3, 7, 7);
    rig.scheduler.StartDownloads();
    QCOMPARE(rig.host.started, (Starts{{0, 0}, {1, 1}, {2, 2}}));
    QVERIFY(rig.host.running);
    QCOMPARE(rig.state.NextJob, 3);

    Rig capped(5, 3, 9); // the slider above the slots made: every slot, no more
    QCOMPARE(capped.state.SlotCount, 3);
    capped.scheduler.StartDownloads();
    QCOMPARE(capped.host.started.size(), 3);
}

void TestSchedulerRules::freedSlotTakesTheNextRowUntilNoneIsLeft()
{
    Rig rig(5, 2, 2);
    rig.scheduler.StartDownloads();
    rig.end(0);
    rig.end(1);
    rig.end(0);
    QCOMPARE(rig.host.started, (Starts{{0, 0}, {1, 1}, {0, 2}, {1, 3}, {0, 4}}));
    rig.end(1); // nothing left: slot 1 stops, slot 0 still runs
    QCOMPARE(rig.host.stopped, QList<int>{1});
    QVERIFY(rig.host.running);
    rig.end(0);
    QVERIFY(!rig.host.running);
    QCOMPARE(rig.host.runsEnded, 1);
    QVERIFY(rig.state.IsIdle);
}

void TestSchedulerRules::loweredSliderStopsRefillingHigherSlots()
{
    Rig rig(6, 3, 3);
    rig.scheduler.StartDownloads();
    rig.scheduler.UpdateSlotCount(1);
    rig.end(2);
    rig.end(1);
    QCOMPARE(rig.host.started.size(), 3); // neither slot above the slider took a row
    rig.end(0);
    QCOMPARE(rig.host.started.last(), (QPair<int, int>{0, 3}));
}

void TestSchedulerRules::blockHoldsTheRunAndRemovingItLetsItGoOn()
{
    Rig rig(6, 2, 2);
    rig.scheduler.StartDownloads();
    QVERIFY(rig.list.setListIndex(3));
    rig.scheduler.SetBlock();
    QCOMPARE(rig.state.BlockIndex, 3);
    QCOMPARE(rig.jobs.BlockCaption(), QStringLiteral("Block: ON"));
    rig.end(0); // row 2
    rig.end(1); // row 3 is blocked
    rig.end(0);
    QCOMPARE(rig.host.started.last(), (QPair<int, int>{0, 2}));
    QVERIFY(!rig.host.running); // the run ends at the block
    QCOMPARE(rig.jobs.BlockCaption(), QStringLiteral("Block: OFF"));

    Rig again(6, 2, 2);
    again.scheduler.StartDownloads();
    QVERIFY(again.list.setListIndex(4));
    again.scheduler.SetBlock();
    again.scheduler.RemoveBlock();
    QCOMPARE(again.jobs.BlockCaption(), QStringLiteral("Block: OFF"));
    for (int i = 0; i < 4; ++i)
        again.end(i % 2);
    QCOMPARE(again.host.started.size(), 6);
}

void TestSchedulerRules::blockRefusedOnLastRowAndBeforeNextJob()
{
    Rig rig(4, 2, 2);
    QVERIFY(rig.list.setListIndex(2));
    rig.scheduler.SetBlock(); // not running
    QCOMPARE(rig.jobs.BlockCaption(), QStringLiteral("Block: OFF"));
    rig.scheduler.StartDownloads();
    for (int row : {3, 1}) { // the last row, and a row already handed out
        QVERIFY(rig.list.setListIndex(row));
        rig.scheduler.SetBlock();
        QCOMPARE(rig.jobs.BlockCaption(), QStringLiteral("Block: OFF"));
    }
}

void TestSchedulerRules::resumeSkipsBusySlots()
{
    Rig rig(6, 3, 3);
    rig.scheduler.StartDownloads();
    rig.host.busy.remove(0);
    rig.host.busy.remove(2); // slot 1 still holds its job (a retry wait, say)
    rig.scheduler.ResumeDownloads();
    QCOMPARE(rig.host.started.mid(3), (Starts{{0, 3}, {2, 4}}));
    rig.host.busy.clear();
    rig.scheduler.ResumeDownloads();
    rig.host.busy.clear();
    rig.scheduler.ResumeDownloads(); // every row handed out: it says so
    QCOMPARE(rig.dialogs.messages().last(), QStringLiteral("No Jobs pending.. Aborting.."));
}

void TestSchedulerRules::laterUrlOfTheSameFileSeesItTaken()
{
    Rig rig(3, 1, 1);
    rig.host.path = QStringLiteral("/base/Downloads/pic.zip");
    rig.scheduler.StartDownloads();
    rig.end(0);
    rig.end(0);
    QCOMPARE(rig.host.takenWhenNamed, (QList<bool>{false, true, true}));
    // A new run forgets the files of the last one.
    rig.end(0);
    rig.scheduler.StartDownloads();
    QCOMPARE(rig.host.takenWhenNamed.last(), false);
}

QTEST_GUILESS_MAIN(TestSchedulerRules)
#include "test_scheduler_rules.moc"
