// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SettingsStore.h"
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"
#include "ui/FolderPane.h"
#include "ui/HelpBrowser.h"
#include "ui/MainWindow.h"

#include <QAction>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QMenu>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QTreeView>

#include <algorithm>

namespace {

QString folderListPath(const FolderPane& pane)
{
    return pane.folderList()->currentIndex().data(QFileSystemModel::FilePathRole).toString();
}

// The middle of the row of `path` in the details view once the model has read and
// sorted its folder (in the background); a null point after a timeout.
QPoint settledRow(const FolderPane& pane, QSignalSpy& loaded, const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    const auto row = [&] {
        const QModelIndex index = pane.model()->index(path);
        return index.parent() == pane.detailsView()->rootIndex()
                   ? pane.detailsView()->visualRect(index)
                   : QRect();
    };
    const bool read = QTest::qWaitFor([&] {
        return !row().isEmpty() && std::any_of(loaded.cbegin(), loaded.cend(), [&](const auto& s) {
            return s.at(0).toString() == folder;
        });
    });
    QCoreApplication::processEvents(); // the sort after reading
    return read ? row().center() : QPoint();
}

// A double-click as the mouse gives it: press, release, the double-click, release.
void doubleClick(QWidget* widget, QPoint at)
{
    QTest::mousePress(widget, Qt::LeftButton, {}, at);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
}

// Where the first occurrence of `text` is drawn in the browser's viewport, scrolled into
// sight.
QPoint textSpot(HelpBrowser& browser, const QString& text)
{
    browser.moveCursor(QTextCursor::Start);
    if (!browser.find(text))
        return {};
    QTextCursor cursor = browser.textCursor();
    cursor.setPosition(cursor.selectionStart() + 1);
    return browser.cursorRect(cursor).center();
}

// Records every address handed to the desktop to open.
class OpenedUrls : public QObject
{
    Q_OBJECT
public:
    OpenedUrls()
    {
        for (const char* scheme : {"http", "https", "file", "mailto"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
    }
    ~OpenedUrls() override
    {
        for (const char* scheme : {"http", "https", "file", "mailto"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl& url) { urls << url; }
};

} // namespace

class TestFolderPane : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // A name with a blank, "#" and a letter outside ASCII: an address decoded by hand
    // would land elsewhere.
    void openingInDetailsMovesTheFolderList_data()
    {
        QTest::addColumn<bool>("byKey");
        QTest::newRow("double-click") << false;
        QTest::newRow("Enter") << true;
    }
    void openingInDetailsMovesTheFolderList()
    {
        QFETCH(bool, byKey);
        QTemporaryDir dir;
        const QString start = dir.filePath(QStringLiteral("base"));
        const QString target = start + QStringLiteral("/a b#ü");
        QVERIFY(QDir().mkpath(target + QStringLiteral("/inner")));
        QVERIFY(writeFile(start + QStringLiteral("/a b#ü.txt"), "x"));
        QVERIFY(writeFile(start + QStringLiteral("/a%20b#ü"), "x"));

        FolderPane pane(start);
        QSignalSpy loaded(pane.model(), &QFileSystemModel::directoryLoaded);
        pane.resize(700, 400);
        pane.show();
        QCOMPARE(folderListPath(pane), start);
        QSignalSpy changes(&pane, &FolderPane::folderChanged);

        QWidget* viewport = pane.detailsView()->viewport();
        const QPoint row = settledRow(pane, loaded, target);
        QVERIFY(!row.isNull());
        if (byKey) {
            QTest::mouseClick(viewport, Qt::LeftButton, {}, row);
            QCOMPARE(pane.currentFolder(), start); // a click only selects
            QTest::keyClick(pane.detailsView(), Qt::Key_Return);
        } else {
            doubleClick(viewport, row);
        }
        QCOMPARE(pane.currentFolder(), target);
        QCOMPARE(folderListPath(pane), target);
        QVERIFY(pane.folderList()->isExpanded(pane.folderList()->currentIndex()));
        QCOMPARE(pane.model()->filePath(pane.detailsView()->rootIndex()), target);
        QCOMPARE(changes.size(), 1);
        QCOMPARE(changes.at(0).at(0).toString(), target);

        // A file opens nothing and moves nothing.
        QVERIFY(pane.openFolder(start));
        const QPoint file = settledRow(pane, loaded, start + QStringLiteral("/a%20b#ü"));
        QVERIFY(!file.isNull());
        doubleClick(viewport, file);
        QCOMPARE(pane.currentFolder(), start);
    }

    void folderListVolumesAndHelpShareThePane()
    {
        QTemporaryDir dir;
        const QString start = dir.filePath(QStringLiteral("base"));
        QVERIFY(QDir().mkpath(start + QStringLiteral("/sub")));
        FolderPane pane(start);
        pane.resize(700, 400);
        pane.show();

        // A folder clicked in the tree fills the details.
        QTreeView* tree = pane.folderList();
        QTRY_COMPARE(tree->model()->rowCount(tree->currentIndex()), 1);
        const QModelIndex sub = tree->model()->index(0, 0, tree->currentIndex());
        tree->scrollTo(sub);
        const QRect row = tree->visualRect(sub);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          QPoint(row.left() + 8, row.center().y()));
        QCOMPARE(pane.currentFolder(), start + QStringLiteral("/sub"));
        QCOMPARE(pane.model()->filePath(pane.detailsView()->rootIndex()), pane.currentFolder());

        // The root volume, first in the list, chosen with the keyboard: tree and details go
        // to "/".
        QComboBox* volumes = pane.volumeList();
        QCOMPARE(volumes->itemData(0).toString(), QStringLiteral("/"));
        volumes->setCurrentIndex(-1);
        QTest::keyClick(volumes, Qt::Key_Home);
        QCOMPARE(pane.currentFolder(), QStringLiteral("/"));
        QCOMPARE(folderListPath(pane), QStringLiteral("/"));
        QCOMPARE(pane.model()->filePath(pane.detailsView()->rootIndex()), QStringLiteral("/"));

        QVERIFY(!pane.openFolder(dir.filePath(QStringLiteral("missing"))));
        QCOMPARE(pane.currentFolder(), QStringLiteral("/"));

        // Help takes the whole pane; browsing gives the lists back.
        pane.showHelp();
        QVERIFY(pane.volumeList()->isHidden() && pane.folderList()->isHidden() &&
                pane.detailsView()->isHidden());
        QCOMPARE(pane.helpBrowser()->geometry(), pane.rect());
        pane.showFolders();
        QVERIFY(pane.volumeList()->isVisible() && pane.folderList()->isVisible() &&
                pane.helpBrowser()->isHidden());
        QVERIFY(pane.detailsView()->geometry().left() > pane.folderList()->geometry().right());
    }

    void deletedCurrentFolderGivesWayToItsParent()
    {
        QTemporaryDir dir;
        const QString start = dir.filePath(QStringLiteral("base/gone/deeper"));
        QVERIFY(QDir().mkpath(start));
        FolderPane pane(start);
        QSignalSpy loaded(pane.model(), &QFileSystemModel::directoryLoaded);
        pane.show();
        QTRY_VERIFY(!loaded.isEmpty()); // read, and watched
        QVERIFY(QDir(dir.filePath(QStringLiteral("base/gone"))).removeRecursively());
        QTRY_COMPARE(pane.currentFolder(), dir.filePath(QStringLiteral("base")));
        QCOMPARE(folderListPath(pane), pane.currentFolder());
    }

    // Clicked with the mouse: anchors scroll the page, other addresses go nowhere.
    void helpFollowsOnlyItsOwnAnchors()
    {
        OpenedUrls opened;
        HelpBrowser browser;
        browser.resize(600, 400);
        browser.show();
        QTextCursor end(browser.document());
        end.movePosition(QTextCursor::End);
        end.insertHtml(QStringLiteral("<p><a href=\"https://example.com/x\">web!</a> "
                                      "<a href=\"file:///etc/passwd\">file!</a> "
                                      "<a href=\"mailto:a@example.com\">mail!</a></p>"));
        QSignalSpy refused(&browser, &HelpBrowser::linkRefused);
        for (const char* text : {"web", "file", "mail"}) {
            const QPoint spot = textSpot(browser, QString::fromLatin1(text) + QLatin1Char('!'));
            QVERIFY2(!spot.isNull(), text);
            QTest::mouseClick(browser.viewport(), Qt::LeftButton, {}, spot);
            QCOMPARE(browser.source(), HelpBrowser::HelpPage());
        }
        QCOMPARE(refused.size(), 3);
        QVERIFY(opened.urls.isEmpty());
        QVERIFY(browser.toPlainText().endsWith(QStringLiteral("web! file! mail!")));

        // The contents line near the top links to the last section.
        QTest::mouseClick(browser.viewport(), Qt::LeftButton, {},
                          textSpot(browser, QStringLiteral("Files Harvex writes")));
        QCOMPARE(browser.source().fragment(), QStringLiteral("files"));
        QVERIFY(browser.verticalScrollBar()->value() > 0);
    }

    // A cheap completeness check: every command of the window's toolbar and menus is
    // named on the page.
    void helpNamesEveryCommand()
    {
        QTemporaryDir dir;
        SettingsStore store(dir.filePath(QStringLiteral("settings.ini")));
        store.Set(QStringLiteral("Base Dir"), dir.path());
        ScriptedDialogs dialogs;
        MainWindow window(store, &dialogs);
        QList<QAction*> commands = window.toolbar()->actions();
        for (const char* menu : {"mnuAct", "mnuCTX", "mnuWebPage", "mnuHlp", "mnuCTL"})
            commands << window.menu(QString::fromLatin1(menu))->actions();

        HelpBrowser browser;
        const QString page = browser.toPlainText();
        static const QRegularExpression decoration(QStringLiteral("&|\\.\\.\\.$| \\[\\d+\\]$"));
        for (QAction* command : std::as_const(commands)) {
            if (command->isSeparator() || command->text().isEmpty())
                continue;
            const QString name = command->text().remove(decoration);
            QVERIFY2(page.contains(name), qPrintable(name));
        }
        for (const char* word : {"Ctrl+W", "Ctrl+T", "harvex-cli", "Harvex®.ini"})
            QVERIFY2(page.contains(QString::fromUtf8(word)), word);
    }
};

QTEST_MAIN(TestFolderPane)
#include "test_folder_pane.moc"
