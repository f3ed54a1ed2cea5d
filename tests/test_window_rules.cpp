// SPDX-License-Identifier: GPL-3.0-or-later
// Rules the window shows without owning them: the download list menu's enabling, the
// counter line's colour runs and the extension patterns.
#include "ManagerRig.h"
#include "lists/DownloadListMenu.h"
#include "lists/FileTypeList.h"
#include "lists/Rowvane.h"
#include "settings/WindowPlacement.h"

#include <QTest>

class TestWindowRules : public QObject
{
    Q_OBJECT

private slots:
    void downloadMenu_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("current");
        QTest::addColumn<bool>("running");
        QTest::addColumn<bool>("clipboard");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<int>("completed");
        QTest::addColumn<int>("failed");
        QTest::addColumn<int>("nextJob");
        QTest::addColumn<int>("blockIndex");
        // Enabled items, in the order of the struct: save, unchecked, failed, completed,
        // clear, clear failed, clear completed, paste filtered, paste unfiltered, block,
        // unblock, copy, cut, paste.
        QTest::addColumn<QString>("enabled");
        QTest::newRow("idle, empty")
            << 0 << -1 << false << false << false << 0 << 0 << 0 << -1 << "00000000000000";
        QTest::newRow("idle, rows, clipboard text")
            << 5 << 2 << false << true << false << 0 << 0 << 0 << -1 << "11001001100110";
        QTest::newRow("idle after a run with outcomes")
            << 5 << 0 << false << false << false << 3 << 2 << 5 << 5 << "10111110000110";
        QTest::newRow("running, current waiting")
            << 5 << 3 << true << false << false << 1 << 0 << 2 << 5 << "11010000010100";
        QTest::newRow("running, current on the block")
            << 5 << 2 << true << false << false << 0 << 0 << 1 << 2 << "11000000011100";
        QTest::newRow("running, current on the last row")
            << 5 << 4 << true << false << false << 0 << 0 << 1 << 5 << "11000000000100";
        QTest::newRow("idle, a cut row waiting")
            << 4 << 1 << false << false << true << 0 << 0 << 0 << -1 << "11001000000111";
        QTest::newRow("idle, a cut row, no current row")
            << 4 << -1 << false << false << true << 0 << 0 << 0 << -1 << "11001000000000";
    }
    void downloadMenu()
    {
        QFETCH(int, rows);
        QFETCH(int, current);
        QFETCH(bool, running);
        QFETCH(bool, clipboard);
        QFETCH(bool, taken);
        ManagerState state;
        QFETCH(int, completed);
        QFETCH(int, failed);
        state.CompletedJobs = completed;
        state.FailedJobs = failed;
        QFETCH(int, nextJob);
        QFETCH(int, blockIndex);
        state.NextJob = nextJob;
        state.BlockIndex = blockIndex;
        const DownloadListMenu m =
            DownloadListMenu::For(state, {rows, current, running, clipboard, taken});
        const bool items[] = {m.Save,
                              m.SaveUnchecked,
                              m.SaveFailed,
                              m.SaveCompleted,
                              m.Clear,
                              m.ClearFailed,
                              m.ClearCompleted,
                              m.PasteFiltered,
                              m.PasteUnfiltered,
                              m.Block,
                              m.Unblock,
                              m.Copy,
                              m.Cut,
                              m.Paste};
        QString got;
        for (bool item : items)
            got += item ? QLatin1Char('1') : QLatin1Char('0');
        QTEST(got, "enabled");
    }

    // The colour runs follow the text: a four-digit total shifts every later run.
    void counterLineRuns()
    {
        ManagerRig rig(1);
        for (int i = 0; i < 1234; ++i)
            rig.m->List2().AddItem(QStringLiteral("http://h/%1").arg(i));
        rig.m->State().DoneCount = 7;
        StatusLine& status = rig.m->Status();
        status.gStatEx(true, QString());
        const QString line = status.Caption();
        QCOMPARE(line, QStringLiteral("Status: Total:1234 Done:7   Connect Fail:0   "
                                      "Redirected:0   Download Fail:0  "));
        // Walk the runs over the text: each label run must cover exactly its label.
        QString colored;
        int at = 0;
        for (const QString& run : status.FormatString().split(QLatin1Char(';'))) {
            const int length = run.section(QLatin1Char(','), 0, 0).mid(2).toInt();
            const quint32 color = run.section(QLatin1Char(','), 1, 1).mid(3).toUInt();
            const QString piece = line.mid(at, length);
            if (color != 0xFFFF)
                colored += QLatin1Char('[') + piece + QLatin1Char(']');
            at += length;
        }
        QCOMPARE(colored, QStringLiteral("[Status: ][Total:][Done:][Connect Fail:]"
                                         "[Redirected:][Download Fail:]"));
        status.gStatEx(false, QStringLiteral("x"));
        QVERIFY(status.FormatString().isEmpty());
    }

    void extensionPatterns()
    {
        ManagerRig rig(2);
        QCOMPARE(rig.m->PageExtPattern(),
                 QStringLiteral("(\\.html|\\.htm|\\.php|\\.asp|\\.aspx|\\.jsp|\\.shtml|\\.pl|"
                                "\\.cgi)(\\?.*)?"));
        // Unchecking a data type takes it out of the pattern at once.
        FileTypeList& types = rig.m->DataTypes();
        QVERIFY(rig.m->DataExtPattern().contains(QStringLiteral("\\.jpg|")));
        types.setChecked(0, false);
        QVERIFY(!rig.m->DataExtPattern().contains(QStringLiteral("\\.jpg")));
    }

    // A Save that cannot write says where and keeps the options marked.
    void failedSaveIsShown()
    {
        ManagerRig rig(1);
        QTemporaryDir other;
        // The settings file is a folder: nothing can be written there.
        const QString ini = other.filePath(QStringLiteral("settings.ini"));
        QVERIFY(QDir().mkpath(ini));
        SettingsStore blocked(ini);
        DownloadManager m(rig.dialogs, blocked);
        m.options().setKeepAlive(false);
        QVERIFY(!m.SaveSettings());
        QVERIFY(m.options().SaveEnabled());
        QVERIFY(rig.dialogs.messages().constLast().contains(ini));
    }

    // A saved rectangle is brought back onto a screen there is now.
    void placementStaysOnAScreen()
    {
        const QList<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
        const QSize minimum(467, 400);
        using WindowPlacement::OnScreen;
        QCOMPARE(OnScreen(QRect(100, 50, 800, 600), screens, minimum), QRect(100, 50, 800, 600));
        // Off every screen (a monitor that was unplugged): onto the first one.
        QCOMPARE(OnScreen(QRect(5000, 3000, 800, 600), screens, minimum),
                 QRect(1120, 480, 800, 600));
        // Mostly on the second screen, hanging over its bottom: pulled up inside it.
        QCOMPARE(OnScreen(QRect(2000, 900, 800, 600), screens, minimum),
                 QRect(2000, 424, 800, 600));
        // Larger than the screen: shrunk to it, never below the minimum.
        QCOMPARE(OnScreen(QRect(-50, -50, 4000, 3000), screens, minimum), QRect(0, 0, 1920, 1080));
        QCOMPARE(OnScreen(QRect(10, 10, 100, 100), screens, minimum), QRect(10, 10, 467, 400));
    }
};

QTEST_GUILESS_MAIN(TestWindowRules)
#include "test_window_rules.moc"
