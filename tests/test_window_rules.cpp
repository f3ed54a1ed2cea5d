// SPDX-License-Identifier: GPL-3.0-or-later
// Rules the window shows without owning them: the download list menu's enabling, the
// counter line's colour runs, the extension patterns, a failed save and the placement.
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
    // Enabled items, in the order of the struct: save, unchecked, failed, completed, clear,
    // clear failed, clear completed, paste filtered, paste unfiltered, block, unblock, copy,
    // cut, paste.
    void downloadMenu()
    {
        const struct
        {
            const char* name;
            DownloadListMenu::Inputs in;
            int completed, failed, nextJob, blockIndex;
            const char* enabled;
        } rows[] = {
            {"idle, empty", {0, -1, false, false, false}, 0, 0, 0, -1, "00000000000000"},
            {"idle, rows, clipboard", {5, 2, false, true, false}, 0, 0, 0, -1, "11001001100110"},
            {"idle after a run", {5, 0, false, false, false}, 3, 2, 5, 5, "10111110000110"},
            {"running, current waiting", {5, 3, true, false, false}, 1, 0, 2, 5, "11010000010100"},
            {"running, current on the block",
             {5, 2, true, false, false},
             0,
             0,
             1,
             2,
             "11000000011100"},
            {"running, current last", {5, 4, true, false, false}, 0, 0, 1, 5, "11000000000100"},
            {"idle, a cut row waiting", {4, 1, false, false, true}, 0, 0, 0, -1, "11001000000111"},
            {"idle, a cut row, no current",
             {4, -1, false, false, true},
             0,
             0,
             0,
             -1,
             "11001000000000"},
        };
        for (const auto& r : rows) {
            ManagerState state;
            state.CompletedJobs = r.completed;
            state.FailedJobs = r.failed;
            state.NextJob = r.nextJob;
            state.BlockIndex = r.blockIndex;
            const DownloadListMenu m = DownloadListMenu::For(state, r.in);
            QString got;
            for (bool item : {m.Save, m.SaveUnchecked, m.SaveFailed, m.SaveCompleted, m.Clear,
                              m.ClearFailed, m.ClearCompleted, m.PasteFiltered, m.PasteUnfiltered,
                              m.Block, m.Unblock, m.Copy, m.Cut, m.Paste})
                got += item ? '1' : '0';
            QVERIFY2(got == r.enabled, qPrintable(QString(r.name) + ": " + got));
        }
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
        // Each label run must cover exactly its label.
        QString colored;
        int at = 0;
        for (const QString& run : status.FormatString().split(QLatin1Char(';'))) {
            const int length = run.section(QLatin1Char(','), 0, 0).mid(2).toInt();
            if (run.section(QLatin1Char(','), 1, 1).mid(3).toUInt() != 0xFFFF)
                colored += QLatin1Char('[') + line.mid(at, length) + QLatin1Char(']');
            at += length;
        }
        QCOMPARE(colored, QStringLiteral("[Status: ][Total:][Done:][Connect Fail:]"
                                         "[Redirected:][Download Fail:]"));
        status.gStatEx(false, QStringLiteral("x"));
        QVERIFY(status.FormatString().isEmpty());
    }

    void extensionPatternsAndFailedSave()
    {
        ManagerRig rig(2);
        QVERIFY(rig.m->PageExtPattern().endsWith(QStringLiteral("\\.cgi)(\\?.*)?")));
        // Unchecking a data type takes it out of the pattern at once.
        QVERIFY(rig.m->DataExtPattern().contains(QStringLiteral("\\.jpg|")));
        rig.m->DataTypes().setChecked(0, false);
        QVERIFY(!rig.m->DataExtPattern().contains(QStringLiteral("\\.jpg")));

        // A Save that cannot write says where and keeps the options marked.
        QTemporaryDir other;
        const QString ini = other.filePath(QStringLiteral("settings.ini"));
        QVERIFY(QDir().mkpath(ini)); // the settings file is a folder
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
        const QRect rows[][2] = {
            {QRect(100, 50, 800, 600), QRect(100, 50, 800, 600)},      // on a screen
            {QRect(5000, 3000, 800, 600), QRect(1120, 480, 800, 600)}, // off every screen
            {QRect(2000, 900, 800, 600), QRect(2000, 424, 800, 600)},  // over an edge
            {QRect(-50, -50, 4000, 3000), QRect(0, 0, 1920, 1080)},    // larger than it
            {QRect(10, 10, 100, 100), QRect(10, 10, 467, 400)},        // below the minimum
        };
        for (const auto& r : rows)
            QCOMPARE(WindowPlacement::OnScreen(r[0], screens, minimum), r[1]);
    }
};

QTEST_GUILESS_MAIN(TestWindowRules)
#include "test_window_rules.moc"
