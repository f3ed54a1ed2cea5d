// SPDX-License-Identifier: GPL-3.0-or-later
// The main window driven as a user would: its commands' enabling, its keys and menus,
// drops, leaving it, and a whole run against nginx started from the toolbar.
#include "controls/RowvaneView.h"
#include "engine/HttpFiles.h"
#include "lists/Rowvane.h"
#include "support/NginxFixture.h"
#include "support/ScriptedServer.h"
#include "support/WidgetProbe.h"
#include "support/WindowRig.h"
#include "ui/MonitorPane.h"
#include "ui/StatusBarPane.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>

namespace {

// A drag entering the widget and a drop in its middle, as the platform delivers them.
// False when the widget refused the drag.
bool dropOn(QWidget* target, const QList<QUrl>& urls, const QString& text = QString())
{
    QMimeData data;
    if (!urls.isEmpty())
        data.setUrls(urls);
    if (!text.isNull())
        data.setText(text);
    if (auto* area = qobject_cast<QAbstractScrollArea*>(target))
        target = area->viewport();
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

QStringList rows(const Rowvane& list)
{
    QStringList out;
    for (int i = 0; i < list.ListCount(); ++i)
        out << list.List(i);
    return out;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void programStartsAndQuitsOnTerminate()
    {
        QProcess program;
        program.start(QStringLiteral(HARVEX_GUI_PATH), {});
        QVERIFY(program.waitForStarted(10000));
        QVERIFY(!program.waitForFinished(1500)); // stays open
        program.terminate();
        QVERIFY(program.waitForFinished(10000));
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
        // asks for a page address. Ctrl+T goes to the navigation, which ignores the keys.
        QTest::keyClick(list, Qt::Key_W, Qt::ControlModifier);
        QVERIFY(rig.dialogs.asked.isEmpty());
        rig.window->showPane(MainWindow::DownloadOptionPane);
        QTest::keyClick(rig.window.get(), Qt::Key_W, Qt::ControlModifier);
        QCOMPARE(rig.dialogs.asked.size(), 1);
        QTest::keyClick(rig.window.get(), Qt::Key_T, Qt::ControlModifier);
        QVERIFY(rig.window->navigation()->hasFocus());
        QTest::keyClick(rig.window->navigation(), Qt::Key_Down);
        QCOMPARE(rig.window->currentPane(), int(MainWindow::DownloadOptionPane));
        rig.window->showPane(MainWindow::DownloadListPane);

        // A right press, through the window system, picks the row before the menu opens.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(40, 3));
        QTest::mousePress(
            rig.window->windowHandle(), Qt::RightButton, {},
            list->viewport()->mapTo(rig.window.get(), QPoint(40, list->RowHeight() + 3)));
        QCOMPARE(rig.m().List2().ListIndex(), 1);
        QMenu* menu = rig.window->menu(QStringLiteral("mnuCTX"));
        QTRY_VERIFY(menu->isVisible());
        menu->close();
        QTRY_VERIFY(!QApplication::activePopupWidget());

        // The monitor's menu for the third row, whose slot is not connected.
        MonitorPane* monitor = rig.window->monitor();
        QTest::mousePress(monitor, Qt::RightButton, {}, monitor->RowRect(2).center());
        QAction* stop = rig.window->command(QStringLiteral("mnustop"));
        QCOMPARE(stop->text(), QStringLiteral("&Stop Connection [03]"));
        QVERIFY(!stop->isEnabled());
        rig.window->menu(QStringLiteral("mnuCTL"))->close();

        // The block label: with the block after the last row the current row stays; once
        // idle there is no block row, so no current row.
        QLabel* block = rig.window->statusPane()->BlockLabel();
        QTest::mouseClick(block, Qt::LeftButton, {}, block->rect().center());
        QCOMPARE(rig.m().List2().ListIndex(), 1);
        rig.m().StopDownloads();
        QTest::mouseClick(block, Qt::LeftButton, {}, block->rect().center());
        QCOMPARE(rig.m().List2().ListIndex(), -1);

        // Always on top, twice: the flags and the size come back.
        const Qt::WindowFlags flags = rig.window->windowFlags();
        const QSize size = rig.window->size();
        rig.window->command(QStringLiteral("stik"))->trigger();
        QVERIFY(rig.window->windowFlags() & Qt::WindowStaysOnTopHint);
        rig.window->command(QStringLiteral("stik"))->trigger();
        QVERIFY(rig.window->windowFlags() == flags && rig.window->size() == size);

        // A placement off every screen comes back onto one.
        WindowRig gone(3, QStringLiteral("150000|150000|12000|9000"));
        const QRect screen = gone.window->screen()->availableGeometry();
        QVERIFY(screen.adjusted(-8, -8, 8, 8).contains(gone.window->geometry())); // frame margins
        QCOMPARE(gone.window->size(), QSize(800, 600));
    }

    // Text keeps the lines with a data file's address; a browser's link gives its
    // addresses; a list file loads through the list's pattern; a folder is refused.
    void drops()
    {
        WindowRig rig(2);
        DownloadManager& m = rig.m();
        QVERIFY(
            dropOn(rig.window->downloadList(), {}, "see http://h/a.zip\r\nno\r\nhttp://h/p.html"));
        QCOMPARE(rows(m.List2()), QStringList{"see http://h/a.zip"});
        QVERIFY(dropOn(rig.window->webPageList(), {QUrl("http://h/p.html"), QUrl("http://h/b.zip")},
                       "http://h/other.html"));
        QCOMPARE(rows(m.List4()), QStringList{"http://h/p.html"});
        QVERIFY(dropOn(rig.window->monitor(), {QUrl("https://h/c.zip")})); // for the downloads
        QCOMPARE(rows(m.List2()).mid(1), QStringList{"https://h/c.zip"});
        QVERIFY(!dropOn(rig.window->monitor(), {})); // neither text nor addresses
        QVERIFY(rig.dialogs.messages().isEmpty());

        const QString first =
            rig.file("one.txt", "http://h/1.zip\nhttp://h/1.exe\nhttp://h/1.html\n");
        const QString second = rig.file("two.txt", "http://h/2.zip\n");
        QVERIFY(dropOn(rig.window->downloadList(), // only the first file loads
                       {QUrl::fromLocalFile(first), QUrl::fromLocalFile(second)}));
        QCOMPARE(rows(m.List2()).mid(2), QStringList{"http://h/1.zip"});
        QVERIFY(dropOn(rig.window->webPageList(), {QUrl::fromLocalFile(first)}));
        QCOMPARE(rows(m.List4()), (QStringList{"http://h/p.html", "http://h/1.html"}));
        QVERIFY(dropOn(rig.window->monitor(),
                       {QUrl::fromLocalFile(rig.dir.path()), QUrl::fromLocalFile(second)}));
        QCOMPARE(rig.dialogs.messages(), QStringList{"Can't parse folders."});
        QCOMPARE(rig.dialogs.asked.last().title, QStringLiteral("Error!"));
        QCOMPARE(m.List2().ListCount(), 3);
        QVERIFY(m.StartEnabled());
    }

    // One window through a run held open by the server: the enabling of the commands in
    // the states a user meets (one character per command: start stop resume mnuClear
    // mnuCopy mnuCutItem mnuPasteItem mnuPaste mnubrk mnuListtoFile); a drop while it runs
    // only appends, and one that would clear the list is refused; leaving asks about the
    // run once, No keeps it going; Yes with a changed option asks about saving; closing
    // saves the placement.
    void duringARun()
    {
        ScriptedServer server;
        for (int i = 0; i < 3; ++i)
            server.addConnection(ServerScript().expectRequest().hold());
        WindowRig rig(20);
        DownloadManager& m = rig.m();
        // Twenty slots: the window is at least the monitor and the room for the lists.
        QVERIFY(rig.window->height() >= rig.window->monitor()->height() + 4000 / 15);
        const auto states = [&] {
            rig.window->RefreshEnabling();
            QString got;
            for (const char* name : {"start", "stop", "resume", "mnuClear", "mnuCopy", "mnuCutItem",
                                     "mnuPasteItem", "mnuPaste", "mnubrk", "mnuListtoFile"})
                got += rig.enabled(name) ? '1' : '0';
            return got;
        };
        QCOMPARE(states(), QStringLiteral("0000000000")); // idle and empty
        rig.addJobs({server.url("/a"), server.url("/b"), server.url("/c")});
        m.List2().setListIndex(1);
        rig.dialogs.clipboard = QStringLiteral("http://example.org/x.zip");
        QCOMPARE(states(), QStringLiteral("1001110101")); // rows, clipboard text
        rig.dialogs.clipboard.clear();
        rig.window->command(QStringLiteral("mnuCutItem"))->trigger();
        m.List2().setListIndex(0);
        QCOMPARE(states(), QStringLiteral("1001111001")); // a cut row waiting
        rig.window->command(QStringLiteral("mnuPasteItem"))->trigger();
        QCOMPARE(m.List2().ListCount(), 3);
        // The list menus follow the pane shown.
        auto menuOn = [&](const char* name) {
            return rig.window->menu(QString::fromLatin1(name))->menuAction()->isEnabled();
        };
        QVERIFY(menuOn("mnuCTX") && !menuOn("mnuWebPage"));
        rig.window->showPane(MainWindow::WebPageListPane);
        QVERIFY(!menuOn("mnuCTX") && menuOn("mnuWebPage"));
        rig.window->showPane(MainWindow::DownloadListPane);

        rig.clickToolbar("start");
        QVERIFY(server.waitForConnections(3));
        QVERIFY(m.StopEnabled());
        m.List2().setListIndex(2);
        QCOMPARE(states().left(7), QStringLiteral("0110100")); // running: rows do not move
        const QString running = m.List2().List(0);
        QVERIFY(dropOn(rig.window->downloadList(), {}, QStringLiteral("http://h/late.zip")));
        QCOMPARE(rows(m.List2()).mid(3), QStringList{"http://h/late.zip"});
        QCOMPARE(m.List2().List(0), running);
        QCOMPARE(m.State().BlockIndex, 4);
        QCOMPARE(m.Http(0)->Tag(), QStringLiteral("0"));
        m.options().setClearList(true);
        const QString list = rig.file(QStringLiteral("more.txt"), "http://h/more.zip\n");
        QVERIFY(dropOn(rig.window->downloadList(), {QUrl::fromLocalFile(list)}));
        QCOMPARE(rig.dialogs.messages(),
                 QStringList{"Can't clear jobs while performing downloads."});
        QCOMPARE(m.List2().ListCount(), 4);
        m.options().setClearList(false);

        rig.dialogs.answers.enqueue(Dialogs::Answer::No);
        rig.window->command(QStringLiteral("close"))->trigger();
        QCOMPARE(rig.dialogs.messages().size(), 2);
        QVERIFY(rig.window->isVisible() && m.StopEnabled());
        m.options().setKeepAlive(false);
        rig.dialogs.answers << Dialogs::Answer::Yes << Dialogs::Answer::No; // run, then saving
        rig.window->command(QStringLiteral("mnuExit"))->trigger();
        QCOMPARE(rig.dialogs.messages().size(), 4);
        QVERIFY(rig.dialogs.messages().at(3).startsWith(QStringLiteral("There are unsaved")));
        QVERIFY(!rig.window->isVisible());
        QVERIFY(!rig.store->Get(QStringLiteral("WinRect")).isEmpty());
        QVERIFY(!rig.store->Contains(QStringLiteral("Keep-Alive")));
    }

    // A whole run as a user makes it: the list loaded through its menu, started from the
    // toolbar, the graph drawn while bytes arrive, every file checked at the end.
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
        rig.dialogs.files.enqueue(rig.file("urls.txt", urls.join('\n').toUtf8()));
        rig.window->command(QStringLiteral("mnuloadfile"))->trigger();
        QCOMPARE(rig.m().List2().ListCount(), 30);

        bool graphShown = false;
        QTimer probe;
        connect(&probe, &QTimer::timeout, [&] {
            StatusBarPane* bar = rig.window->statusPane();
            graphShown = graphShown || WidgetProbe::count(WidgetProbe::render(*bar),
                                                          bar->GraphRect(), Qt::red, 40) > 0;
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
        for (int row = 0; row < 30; ++row) {
            QVERIFY(rig.m().List2().Selected(row));
            QCOMPARE(rig.m().List2().ForeColorID(row),
                     row < 26 || row == 29 ? jobs.ClrDone() : jobs.ClrFailed());
        }
        QCOMPARE(rig.m().LastCounterLine(),
                 QStringLiteral("Status: Total:30  Done:27  Connect Fail:0   Redirected:1   "
                                "Download Fail:3  "));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
