// SPDX-License-Identifier: GPL-3.0-or-later
// The main window driven as a user would: its commands' enabling, its keys and menus,
// leaving it, and a whole run against nginx started from the toolbar.
#include "controls/RowvaneView.h"
#include "engine/HttpFiles.h"
#include "lists/JobList.h"
#include "lists/Rowvane.h"
#include "manager/DownloadManager.h"
#include "platform/SettingsStore.h"
#include "support/NginxFixture.h"
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"
#include "support/WidgetProbe.h"
#include "support/WindowRig.h"
#include "ui/MainWindow.h"
#include "ui/MonitorPane.h"
#include "ui/StatusBarPane.h"

#include <QAction>
#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <memory>

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    // The enabling of every command in the four states a user meets.
    void enableMatrix()
    {
        NginxFixture nginx(QStringLiteral("location /slow/ { limit_rate 2k; }"));
        QString error;
        QVERIFY2(nginx.start(&error), qPrintable(error));
        nginx.writeFile(QStringLiteral("slow/a.bin"), QByteArray(400000, 'a'));
        WindowRig rig;
        // Columns: start stop resume mnuClear mnuCopy mnuCutItem mnuPasteItem mnuPaste
        // mnubrk mnuListtoFile.
        const char* names[] = {"start",   "stop",         "resume",       "mnuClear",
                               "mnuCopy", "mnuCutItem",   "mnuPasteItem", "mnuPaste",
                               "mnubrk",  "mnuListtoFile"};
        const auto states = [&] {
            rig.window->RefreshEnabling();
            QString got;
            for (const char* name : names)
                got += rig.enabled(name) ? QLatin1Char('1') : QLatin1Char('0');
            return got;
        };
        QCOMPARE(states(), QStringLiteral("0000000000")); // idle and empty

        rig.addJobs({nginx.url(QStringLiteral("/slow/a.bin")), nginx.url(QStringLiteral("/b")),
                     nginx.url(QStringLiteral("/c"))});
        rig.m().List2().setListIndex(1);
        rig.dialogs.clipboard = QStringLiteral("http://example.org/x.zip");
        QCOMPARE(states(), QStringLiteral("1001110101")); // rows, clipboard text

        rig.dialogs.clipboard.clear();
        rig.window->command(QStringLiteral("mnuCutItem"))->trigger();
        rig.m().List2().setListIndex(0);
        QCOMPARE(states(), QStringLiteral("1001111001")); // a cut row waiting
        rig.window->command(QStringLiteral("mnuPasteItem"))->trigger();
        QCOMPARE(rig.m().List2().ListCount(), 3);

        rig.clickToolbar("start");
        QTRY_VERIFY(rig.m().StopEnabled());
        rig.m().List2().setListIndex(2);
        const QString running = states();
        QCOMPARE(running.left(5), QStringLiteral("01101")); // running: no start, no clear
        QCOMPARE(running.mid(5, 2), QStringLiteral("00"));  // rows do not move
        rig.clickToolbar("stop");
        QVERIFY(!rig.m().StopEnabled());

        // The list menus follow the pane shown.
        QVERIFY(rig.window->menu(QStringLiteral("mnuCTX"))->menuAction()->isEnabled());
        QVERIFY(!rig.window->menu(QStringLiteral("mnuWebPage"))->menuAction()->isEnabled());
        rig.window->showPane(MainWindow::WebPageListPane);
        QVERIFY(!rig.window->menu(QStringLiteral("mnuCTX"))->menuAction()->isEnabled());
        QVERIFY(rig.window->menu(QStringLiteral("mnuWebPage"))->menuAction()->isEnabled());
    }

    // Keys, clicks and right presses of the window itself.
    void keysAndMouse()
    {
        WindowRig rig;
        rig.addJobs(
            {QStringLiteral("http://127.0.0.1:9/a"), QStringLiteral("http://127.0.0.1:9/b")});
        RowvaneView* list = rig.window->downloadList();
        list->setFocus();

        // Ctrl+W is the list's own key while the download list is shown; elsewhere it
        // asks for a page address.
        QTest::keyClick(list, Qt::Key_W, Qt::ControlModifier);
        QVERIFY(rig.dialogs.asked.isEmpty());
        rig.window->showPane(MainWindow::DownloadOptionPane);
        rig.dialogs.addresses.enqueue(std::nullopt);
        QTest::keyClick(rig.window.get(), Qt::Key_W, Qt::ControlModifier);
        QCOMPARE(rig.dialogs.asked.size(), 1);
        QTest::keyClick(rig.window.get(), Qt::Key_T, Qt::ControlModifier);
        QVERIFY(rig.window->navigation()->hasFocus());
        // The navigation list does not follow the keys.
        QTest::keyClick(rig.window->navigation(), Qt::Key_Down);
        QCOMPARE(rig.window->currentPane(), int(MainWindow::DownloadOptionPane));
        rig.window->showPane(MainWindow::DownloadListPane);

        // A right press picks the row before the menu opens.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(40, 3));
        QCOMPARE(rig.m().List2().ListIndex(), 0);
        // Through the window system, which also raises the context menu event.
        QTest::mousePress(
            rig.window->windowHandle(), Qt::RightButton, {},
            list->viewport()->mapTo(rig.window.get(), QPoint(40, list->RowHeight() + 3)));
        QCOMPARE(rig.m().List2().ListIndex(), 1);
        QMenu* menu = rig.window->menu(QStringLiteral("mnuCTX"));
        QTRY_VERIFY(menu->isVisible());
        menu->close();
        QTRY_VERIFY(!QApplication::activePopupWidget());

        // The monitor's menu for the third row: its slot is not connected.
        MonitorPane* monitor = rig.window->monitor();
        const QRect row = monitor->RowRect(2);
        QTest::mousePress(monitor, Qt::RightButton, {}, row.center());
        QAction* stop = rig.window->command(QStringLiteral("mnustop"));
        QCOMPARE(stop->text(), QStringLiteral("&Stop Connection [03]"));
        QVERIFY(!stop->isEnabled());
        rig.window->menu(QStringLiteral("mnuCTL"))->close();

        // The block label: with no block set (the block stands after the last row) the
        // current row stays; once idle there is no block row, so no current row.
        QLabel* block = rig.window->statusPane()->BlockLabel();
        QTest::mouseClick(block, Qt::LeftButton, {}, block->rect().center());
        QCOMPARE(rig.m().List2().ListIndex(), 1);
        rig.m().StopDownloads();
        QTest::mouseClick(block, Qt::LeftButton, {}, block->rect().center());
        QCOMPARE(rig.m().List2().ListIndex(), -1);

        // Always on top, twice: the flags and the place come back.
        const Qt::WindowFlags flags = rig.window->windowFlags();
        const QRect placed = rig.window->geometry();
        rig.window->command(QStringLiteral("stik"))->trigger();
        QVERIFY(rig.window->windowFlags() & Qt::WindowStaysOnTopHint);
        rig.window->command(QStringLiteral("stik"))->trigger();
        QCOMPARE(rig.window->windowFlags(), flags);
        QCOMPARE(rig.window->geometry().size(), placed.size());
    }

    // Leaving asks about a run once; No keeps it going. Closing saves the placement.
    void leaving()
    {
        NginxFixture nginx(QStringLiteral("location /slow/ { limit_rate 2k; }"));
        QString error;
        QVERIFY2(nginx.start(&error), qPrintable(error));
        nginx.writeFile(QStringLiteral("slow/a.bin"), QByteArray(400000, 'a'));
        WindowRig rig(20);
        // Twenty slots: the window is at least the monitor and the room for the lists.
        QVERIFY(rig.window->height() >= rig.window->monitor()->height() + 4000 / 15);
        rig.addJobs({nginx.url(QStringLiteral("/slow/a.bin"))});
        rig.clickToolbar("start");
        QTRY_VERIFY(rig.m().StopEnabled());

        rig.dialogs.answers.enqueue(Dialogs::Answer::No);
        rig.window->command(QStringLiteral("close"))->trigger();
        QCOMPARE(rig.dialogs.messages().size(), 1);
        QVERIFY(rig.window->isVisible());
        QVERIFY(rig.m().StopEnabled());

        // Yes, with a changed option: the save question, then the run question once.
        rig.m().options().setKeepAlive(false);
        rig.dialogs.answers.enqueue(Dialogs::Answer::Yes);
        rig.dialogs.answers.enqueue(Dialogs::Answer::No); // the save question
        rig.window->command(QStringLiteral("mnuExit"))->trigger();
        QCOMPARE(rig.dialogs.messages().size(), 3);
        QVERIFY(rig.dialogs.messages().at(2).startsWith(QStringLiteral("There are unsaved")));
        QVERIFY(!rig.window->isVisible());
        QVERIFY(!rig.store->Get(QStringLiteral("WinRect")).isEmpty());
        QVERIFY(!rig.store->Contains(QStringLiteral("Keep-Alive")));
    }

    // A rectangle saved on a screen that is gone comes back onto this one.
    void placementOnAScreen()
    {
        WindowRig rig(3, QStringLiteral("150000|150000|12000|9000"));
        const QRect screen = rig.window->screen()->availableGeometry();
        // (The frame may shift the window by its margins.)
        QVERIFY2(screen.adjusted(-8, -8, 8, 8).contains(rig.window->geometry()),
                 qPrintable(QDebug::toString(screen) + QDebug::toString(rig.window->geometry())));
        QCOMPARE(rig.window->size(), QSize(800, 600));
    }

    // A whole run as a user makes it: the list loaded through its menu, started from the
    // toolbar, watched to its end.
    void runAgainstNginx()
    {
        NginxFixture nginx(QStringLiteral("location = /moved { return 302 /files/f0.bin; }"));
        QString error;
        QVERIFY2(nginx.start(&error), qPrintable(error));
        QStringList urls;
        QList<QByteArray> bodies;
        for (int i = 0; i < 26; ++i) {
            bodies << NginxFixture::randomBytes(20000 + i * 3000, quint32(i));
            nginx.writeFile(QStringLiteral("files/f%1.bin").arg(i), bodies.last());
            urls << nginx.url(QStringLiteral("/files/f%1.bin").arg(i));
        }
        for (int i = 0; i < 3; ++i)
            urls << nginx.url(QStringLiteral("/missing/m%1.bin").arg(i));
        urls << nginx.url(QStringLiteral("/moved"));
        WindowRig rig;
        rig.m().options().setRedirection(true);
        const QString listFile = rig.dir.filePath(QStringLiteral("urls.txt"));
        QVERIFY(writeFile(listFile, urls.join(QLatin1Char('\n')).toUtf8()));
        rig.dialogs.files.enqueue(listFile);
        rig.window->command(QStringLiteral("mnuloadfile"))->trigger();
        QCOMPARE(rig.m().List2().ListCount(), 30);

        // The graph draws red columns while bytes arrive.
        bool graphShown = false;
        QTimer probe;
        connect(&probe, &QTimer::timeout, [&] {
            StatusBarPane* bar = rig.window->statusPane();
            const QImage picture = WidgetProbe::render(*bar);
            graphShown = graphShown ||
                         WidgetProbe::count(picture, bar->GraphRect(), QColor(255, 0, 0), 40) > 0;
        });
        probe.start(20);
        QSignalSpy finished(&rig.m(), &DownloadManager::RunFinished);
        rig.clickToolbar("start");
        QVERIFY(finished.wait(60000));
        probe.stop();
        QVERIFY(graphShown);
        // HARVEX_GRAB=FILE keeps a picture of the window after the run.
        if (qEnvironmentVariableIsSet("HARVEX_GRAB"))
            rig.window->grab().save(qEnvironmentVariable("HARVEX_GRAB"));

        const QString root = rig.base() + QStringLiteral("/127.0.0.1%3A") +
                             QString::number(nginx.port()) + QStringLiteral("/files/");
        for (int i = 0; i < 26; ++i)
            QCOMPARE(readFile(root + QStringLiteral("f%1.bin").arg(i)), bodies[i]);
        JobList& jobs = rig.m().Jobs();
        Rowvane& list = rig.m().List2();
        for (int row = 0; row < 30; ++row) {
            const bool good = row < 26 || row == 29;
            QCOMPARE(list.Selected(row), true);
            QCOMPARE(list.ForeColorID(row), good ? jobs.ClrDone() : jobs.ClrFailed());
        }
        QCOMPARE(rig.m().LastCounterLine(),
                 QStringLiteral("Status: Total:30  Done:27  Connect Fail:0   Redirected:1   "
                                "Download Fail:3  "));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
