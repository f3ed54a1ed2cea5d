// SPDX-License-Identifier: GPL-3.0-or-later
// Drops on the main window, delivered as real drag-enter and drop events: text and web
// addresses, list files and folders, on the two lists and on the monitor, and a drop
// while a run goes.
#include "controls/RowvaneView.h"
#include "engine/HttpFiles.h"
#include "lists/JobList.h"
#include "lists/Rowvane.h"
#include "manager/DownloadManager.h"
#include "platform/SettingsStore.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedServer.h"
#include "support/TestFiles.h"
#include "support/WindowRig.h"
#include "ui/MainWindow.h"
#include "ui/MonitorPane.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

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

class TestDrops : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void textAndAddresses();
    void filesAndFolders();
    void dropDuringRunOnlyAppends();
};

void TestDrops::textAndAddresses()
{
    WindowRig rig(2);
    DownloadManager& m = rig.m();
    // Plain text on the download list keeps the lines with a data file's address.
    QVERIFY(dropOn(rig.window->downloadList(), {},
                   QStringLiteral("see http://h/a.zip\r\nno address\r\nhttp://h/p.html")));
    QCOMPARE(rows(m.List2()), QStringList{QStringLiteral("see http://h/a.zip")});
    // A browser's link (text/uri-list beside its text) on the web page list: the page
    // pattern, and the addresses rather than the text.
    QVERIFY(
        dropOn(rig.window->webPageList(),
               {QUrl(QStringLiteral("http://h/p.html")), QUrl(QStringLiteral("http://h/b.zip"))},
               QStringLiteral("http://h/other.html")));
    QCOMPARE(rows(m.List4()), QStringList{QStringLiteral("http://h/p.html")});
    // The monitor takes drops for the download list.
    QVERIFY(dropOn(rig.window->monitor(), {QUrl(QStringLiteral("https://h/c.zip"))}));
    QCOMPARE(rows(m.List2()).mid(1), QStringList{QStringLiteral("https://h/c.zip")});
    // Something that is neither text nor addresses is refused at the door.
    QVERIFY(!dropOn(rig.window->monitor(), {}));
    QVERIFY(rig.dialogs.messages().isEmpty());
    QVERIFY(m.StartEnabled());
}

void TestDrops::filesAndFolders()
{
    WindowRig rig(2);
    DownloadManager& m = rig.m();
    const QString first =
        rig.file(QStringLiteral("one.txt"), "http://h/1.zip\nhttp://h/1.exe\nhttp://h/1.html\n");
    const QString second = rig.file(QStringLiteral("two.txt"), "http://h/2.zip\n");
    // Two files: only the first loads, through the list's pattern.
    QVERIFY(dropOn(rig.window->downloadList(),
                   {QUrl::fromLocalFile(first), QUrl::fromLocalFile(second)}));
    QCOMPARE(rows(m.List2()), QStringList{QStringLiteral("http://h/1.zip")});
    QVERIFY(dropOn(rig.window->webPageList(), {QUrl::fromLocalFile(first)}));
    QCOMPARE(rows(m.List4()), QStringList{QStringLiteral("http://h/1.html")});
    // A folder first is refused, and nothing of the file after it loads.
    QVERIFY(dropOn(rig.window->monitor(),
                   {QUrl::fromLocalFile(rig.dir.path()), QUrl::fromLocalFile(second)}));
    QCOMPARE(rig.dialogs.messages(), QStringList{QStringLiteral("Can't parse folders.")});
    QCOMPARE(rig.dialogs.asked.last().title, QStringLiteral("Error!"));
    QCOMPARE(m.List2().ListCount(), 1);
}

void TestDrops::dropDuringRunOnlyAppends()
{
    ScriptedServer server;
    server.addConnection(ServerScript().expectRequest().hold());
    WindowRig rig(2);
    DownloadManager& m = rig.m();
    m.Jobs().AddJobs(server.url(QStringLiteral("/held.zip")));
    m.StartDownloads();
    QTRY_COMPARE_WITH_TIMEOUT(server.connectionCount(), 1, 5000);
    const QString running = m.List2().List(0);

    // Text joins the queue at the end; the running row keeps its place.
    QVERIFY(dropOn(rig.window->downloadList(), {}, QStringLiteral("http://h/late.zip")));
    QCOMPARE(rows(m.List2()), (QStringList{running, QStringLiteral("http://h/late.zip")}));
    QCOMPARE(m.State().BlockIndex, 2);
    QCOMPARE(m.Http(0)->Tag(), QStringLiteral("0"));

    // With "clear the list" on, a dropped file would empty the list: refused, nothing loads.
    m.options().setClearList(true);
    const QString list = rig.file(QStringLiteral("more.txt"), "http://h/more.zip\n");
    QVERIFY(dropOn(rig.window->downloadList(), {QUrl::fromLocalFile(list)}));
    QCOMPARE(rig.dialogs.messages(),
             QStringList{QStringLiteral("Can't clear jobs while performing downloads.")});
    QCOMPARE(m.List2().ListCount(), 2);
    QVERIFY(m.StopEnabled());
    // HARVEX_GRAB=FILE keeps a picture of the window with the dropped row.
    if (qEnvironmentVariableIsSet("HARVEX_GRAB"))
        rig.window->grab().save(qEnvironmentVariable("HARVEX_GRAB"));
    m.StopDownloads();
}

QTEST_MAIN(TestDrops)
#include "test_drops.moc"
