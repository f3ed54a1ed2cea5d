// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/JobList.h"
#include "lists/ManagerState.h"
#include "lists/Rowvane.h"
#include "lists/StatusLine.h"
#include "lists/UrlLines.h"
#include "lists/UrlListIO.h"
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <sys/stat.h>

namespace {

const QString Template = QStringLiteral("(https?://[^<=\\?\\+>]+$Ext)");
const QString DataExt = QStringLiteral("(\\.jpg|\\.zip)");
const QString PageExt = QStringLiteral("(\\.html|\\.php)(\\?.*)?");

struct Fixture
{
    Rowvane list;
    Rowvane pages;
    ManagerState state;
    StatusLine status{state, list};
    ScriptedDialogs dialogs;
    JobList jobs{list, state, status, dialogs};
    UrlListIO io{jobs, dialogs};

    Fixture()
    {
        jobs.setDataFilter(Template);
        pages.setDenyStrategy(1);
    }
};

QStringList rows(const Rowvane& list)
{
    QStringList out;
    for (int i = 0; i < list.ListCount(); ++i)
        out << list.List(i);
    return out;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    ::writeFile(dir.filePath(name), bytes);
    return dir.filePath(name);
}

// A list file with every kind of line end, blanks, tabs, non-URLs and a duplicate.
const QByteArray Mixed = "\xEF\xBB\xBF"
                         "http://h/a.jpg\r\n"
                         "  http://h/b.zip  \n"
                         "\r\n"
                         "   \r"
                         "not a url\r"
                         "\thttp://h/c.gif\n"
                         "HTTP://H/A.JPG\n"
                         "http://h/d\xC3\xA9.jpg"; // UTF-8, no final line end

} // namespace

class TestUrlList : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void lineSplitterAtEveryCut()
    {
        const QByteArray input = "a\r\nb\rc\n\r\nd\r\r\ne";
        const QList<QByteArray> expected = {"a", "b", "c", "", "d", "", "e"};
        for (qsizetype cut = 0; cut <= input.size(); ++cut) {
            LineSplitState state;
            QList<QByteArray> lines;
            UrlLines::Feed(state, QByteArrayView(input).first(cut), lines);
            UrlLines::Feed(state, QByteArrayView(), lines); // an empty read changes nothing
            UrlLines::Feed(state, QByteArrayView(input).sliced(cut), lines);
            UrlLines::Finish(state, lines);
            QCOMPARE(lines, expected);
        }
        QCOMPARE(UrlLines::SplitText("a\r\n\nb\rc"), QStringList({"a", "", "b", "c"}));
        QCOMPARE(UrlLines::StripBlanks("  \tx \t "), QString("\tx \t"));
    }

    void menuLoadTakesEveryLine()
    {
        Fixture f;
        f.dialogs.files.enqueue(writeFile(m_dir, "mixed.txt", Mixed));
        f.io.LoadFromFile();
        QCOMPARE(rows(f.list),
                 QStringList({"http://h/a.jpg", "http://h/b.zip", "not a url", "\thttp://h/c.gif",
                              QString::fromUtf8("http://h/d\xC3\xA9.jpg")}));
        QCOMPARE(f.state.BlockIndex, 5);
        QCOMPARE(f.status.Caption(), QString("Status: INACTIVE [Job queue: 5]"));
        QCOMPARE(f.dialogs.messages(), QStringList());

        f.io.LoadFromFile(); // cancelled dialog: nothing happens
        QCOMPARE(f.list.ListCount(), 5);
    }

    void droppedFileGoesThroughTheLinkPattern()
    {
        Fixture f;
        const QString path = writeFile(m_dir, "mixed.txt", Mixed);
        QSignalSpy changed(&f.list, &Rowvane::Changed);
        f.io.DropFiles({path, "/nonexistent/second"}, f.list, DataExt, false);
        QCOMPARE(rows(f.list), QStringList({"http://h/a.jpg", "http://h/b.zip",
                                            QString::fromUtf8("http://h/d\xC3\xA9.jpg")}));
        QCOMPARE(changed.count(), 1);
        // This path neither moves the block index nor refreshes the queue display.
        QCOMPARE(f.state.BlockIndex, -1);

        // Pages dropped on the web page list use the page pattern.
        const QString pagesFile =
            writeFile(m_dir, "pages.txt", "http://h/x.php?id=1\nhttp://h/y.jpg\nhttp://h/i.html");
        f.io.LoadDroppedFile(pagesFile, f.pages, PageExt, false);
        QCOMPARE(rows(f.pages), QStringList({"http://h/x.php?id=1", "http://h/i.html"}));
    }

    void dropTakesFilesThenAddressesThenText()
    {
        Fixture f;
        const QString first = writeFile(m_dir, "first.txt", "http://h/f1.jpg\nhttp://h/f1.txt\n");
        const QString second = writeFile(m_dir, "second.txt", "http://h/f2.jpg\n");
        const auto drop = [&f](const QList<QUrl>& urls, const QString& text) {
            QMimeData data;
            if (!urls.isEmpty())
                data.setUrls(urls);
            if (!text.isNull())
                data.setText(text);
            f.io.Drop(data, f.list, DataExt, false);
        };
        // Local files win over the addresses and text beside them; only the first loads.
        drop({QUrl::fromLocalFile(first), QUrl::fromLocalFile(second), QUrl("http://h/u0.jpg")},
             "http://h/t0.jpg");
        QCOMPARE(rows(f.list), QStringList({"http://h/f1.jpg"}));
        // Dropped addresses (a browser's link) are filtered like pasted text.
        drop({QUrl("http://h/u1.jpg"), QUrl("https://h/u2.zip"), QUrl("http://h/page.txt")},
             "http://h/t1.jpg");
        QCOMPARE(rows(f.list).mid(1), QStringList({"http://h/u1.jpg", "https://h/u2.zip"}));
        drop({}, "see http://h/v.jpg\r\nnothing here\r\nhttp://h/U1.JPG");
        QCOMPARE(rows(f.list).mid(3), QStringList({"see http://h/v.jpg"}));
        QCOMPARE(f.dialogs.messages(), QStringList());

        drop({QUrl::fromLocalFile(m_dir.path()), QUrl::fromLocalFile(first)}, QString());
        QCOMPARE(f.dialogs.messages(), QStringList({"Can't parse folders."}));
        QCOMPARE(f.list.ListCount(), 4);

        QMimeData none;
        QVERIFY(!UrlListIO::CanDrop(none));
        none.setHtml("<b>x</b>");
        QVERIFY(!UrlListIO::CanDrop(none));
        none.setUrls({QUrl("http://h/a.jpg")});
        QVERIFY(UrlListIO::CanDrop(none));
    }

    void clearOptionOnDrop()
    {
        Fixture f;
        const QString path = writeFile(m_dir, "one.txt", "http://h/new.jpg\n");
        f.jobs.AddJobs("http://h/old.jpg");
        f.pages.AddItem("http://h/old.html");

        // A drop on the page list empties both lists.
        f.io.LoadDroppedFile(path, f.pages, DataExt, true);
        QCOMPARE(f.list.ListCount(), 0);
        QCOMPARE(rows(f.pages), QStringList({"http://h/new.jpg"}));

        // The command-line argument loses its double quotes and fills the job list.
        f.io.LoadCommandLine("\"" + path + "\"", DataExt, true);
        QCOMPARE(rows(f.list), QStringList({"http://h/new.jpg"}));
        // The list position (and with it "start") follows the rows just loaded.
        QCOMPARE(f.jobs.ListCaption(), QStringLiteral("1/1"));
    }

    void readFailures()
    {
        Fixture f;
        f.io.LoadDroppedFile(m_dir.path(), f.list, DataExt, false);
        QCOMPARE(f.dialogs.messages(), QStringList({"Can't parse folders."}));
        // A missing file is named with the system's reason, by drop, menu and command line.
        const QString missing = m_dir.filePath("missing.txt");
        f.io.LoadDroppedFile(missing, f.list, DataExt, false);
        f.dialogs.files.enqueue(missing);
        f.io.LoadFromFile();
        f.io.LoadCommandLine("\"" + missing + "\"", DataExt, true);
        const QString said = missing + ": No such file or directory";
        QCOMPARE(f.dialogs.messages(), QStringList({"Can't parse folders.", said, said, said}));
        QCOMPARE(f.list.ListCount(), 0);
        f.io.LoadDroppedFile(QString(), f.list, DataExt, false);
        QCOMPARE(f.dialogs.messages().size(), 4);
    }

    void hostileListFile()
    {
        // Binary junk, NULs, invalid UTF-8 and a huge line load without harm.
        QByteArray junk;
        for (int i = 0; i < 4096; ++i)
            junk += char(i * 37 % 256);
        junk += "\nhttp://h/ok.jpg\n" + QByteArray(200000, 'x') + ".jpg\n";
        Fixture f;
        f.jobs.setDataFilter(QString());
        f.dialogs.files.enqueue(writeFile(m_dir, "junk.bin", junk));
        f.io.LoadFromFile();
        QVERIFY(f.list.InList("http://h/ok.jpg", 0));
        QVERIFY(f.list.ListCount() > 2);
    }

    void overlongLinesAreSkippedAndSaid()
    {
        const QByteArray huge(LineSplitState::MaxLine + 10, 'x');
        // The splitter drops the long line whatever the cuts, and keeps the next one.
        const QByteArray input = "a\n" + huge + "\r\nb\n" + huge;
        for (qsizetype cut : {qsizetype(1), qsizetype(3), LineSplitState::MaxLine,
                              LineSplitState::MaxLine + 12, LineSplitState::MaxLine + 13}) {
            LineSplitState state;
            QList<QByteArray> lines;
            UrlLines::Feed(state, QByteArrayView(input).first(cut), lines);
            UrlLines::Feed(state, QByteArrayView(input).sliced(cut), lines);
            UrlLines::Finish(state, lines);
            QCOMPARE(lines, QList<QByteArray>({"a", "b"}));
            QCOMPARE(state.skipped, 2);
        }
        Fixture f;
        f.jobs.setDataFilter(QString());
        f.dialogs.files.enqueue(writeFile(m_dir, "huge.txt", input));
        f.io.LoadFromFile();
        QCOMPARE(rows(f.list), QStringList({"a", "b"}));
        QCOMPARE(f.dialogs.messages().size(), 1);
        QVERIFY(f.dialogs.messages().at(0).startsWith("2 line(s) longer than 1 MiB"));
    }

    void specialAndMissingFilesClearNothing()
    {
        Fixture f;
        f.jobs.AddJobs("http://h/keep.jpg");
        // A missing file is reported before the clear option empties anything.
        f.io.LoadDroppedFile(m_dir.filePath("missing.txt"), f.list, DataExt, true);
        QCOMPARE(f.list.ListCount(), 1);
        // A device never ends and a FIFO blocks: both are refused, by drop and by menu.
        f.io.LoadDroppedFile("/dev/zero", f.list, DataExt, true);
        QCOMPARE(f.list.ListCount(), 1);
        const QString fifo = m_dir.filePath("fifo");
        QVERIFY(mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        f.io.LoadDroppedFile(fifo, f.list, DataExt, true);
        f.dialogs.files.enqueue(fifo);
        f.io.LoadFromFile();
        QCOMPARE(f.list.ListCount(), 1);
        QCOMPARE(f.dialogs.messages(),
                 QStringList({m_dir.filePath("missing.txt") + ": No such file or directory",
                              "/dev/zero: Not a regular file", fifo + ": Not a regular file",
                              fifo + ": Not a regular file"}));
    }

    void listStopsAtItsLimit()
    {
        QByteArray many;
        for (int i = 0; i < Rowvane::MaxRows + 50; ++i)
            many += "http://h/" + QByteArray::number(i) + ".jpg\n";
        Fixture f;
        f.io.LoadDroppedFile(writeFile(m_dir, "many.txt", many), f.list, DataExt, false);
        QCOMPARE(f.list.ListCount(), Rowvane::MaxRows);
        QCOMPARE(f.list.List(Rowvane::MaxRows - 1), QString("http://h/32000.jpg"));
    }

    void pasteFilteredAndUnfiltered()
    {
        Fixture f;
        f.dialogs.clipboard = "see http://h/a.jpg now\r\nhttp://h/b.txt\r\nhttp://h/A.JPG";
        QVERIFY(f.io.ClipboardLoaded());
        f.io.PasteFiltered(DataExt);
        QCOMPARE(rows(f.list), QStringList({"see http://h/a.jpg now", "http://h/A.JPG"}));
        QCOMPARE(f.state.BlockIndex, 2);
        QCOMPARE(f.status.Caption(), QString("Status: INACTIVE [Job queue: 2]"));
        f.io.PasteUnfiltered();
        QCOMPARE(f.list.ListCount(), 3); // "http://h/b.txt"; the rest are duplicates

        // With a block in force a paste leaves the block index alone.
        f.state.BlockIndex = 1;
        f.dialogs.clipboard = "http://h/c.zip";
        f.io.PasteFiltered(DataExt);
        QCOMPARE(f.list.ListCount(), 4);
        QCOMPARE(f.state.BlockIndex, 1);

        f.dialogs.clipboard.clear();
        QVERIFY(!f.io.ClipboardLoaded());
        f.io.PasteUnfiltered();
        QCOMPARE(f.list.ListCount(), 4);

        // Dropped text on the page list: page pattern, rows whole.
        f.io.AddTextFiltered("http://h/p.php?x=1\nhttp://h/q.jpg", f.pages, PageExt);
        QCOMPARE(rows(f.pages), QStringList({"http://h/p.php?x=1"}));
    }

    void cutPasteAndCopy()
    {
        Fixture f;
        f.jobs.AddJobs("a\nb\nc\nd");
        f.io.PasteItem(); // nothing cut: nothing happens
        QCOMPARE(f.list.ListCount(), 4);

        f.list.setListIndex(1);
        f.state.BlockIndex = 1; // cutting the block row removes the block
        f.jobs.setBlockCaption("Block: 2");
        f.io.CutItem();
        QCOMPARE(rows(f.list), QStringList({"a", "c", "d"}));
        QCOMPARE(f.jobs.BlockCaption(), QString("Block: OFF"));
        QCOMPARE(f.io.CutBuffer(), QString("b"));
        QCOMPARE(f.jobs.ListCaption(), QString("2/3"));

        f.list.setListIndex(2);
        f.jobs.SetCompleted(2);
        f.io.PasteItem(); // above the current row, as a pending job
        QCOMPARE(rows(f.list), QStringList({"a", "c", "b", "d"}));
        QVERIFY(!f.list.Selected(2));
        QCOMPARE(f.list.ForeColorID(2), 1);
        QCOMPARE(f.io.CutBuffer(), QString());

        f.list.setListIndex(-1);
        f.io.CutItem(); // no current row: nothing cut
        QCOMPARE(f.list.ListCount(), 4);

        f.list.setListIndex(3);
        f.io.CopyItem();
        QCOMPARE(f.dialogs.clipboard, QString("d"));
        f.io.CopyText("http://h/page.html");
        QCOMPARE(f.dialogs.clipboard, QString("http://h/page.html"));
    }

    void pasteIntoFullListKeepsTheCutRow()
    {
        Fixture f;
        f.jobs.AddJobs("cut me");
        f.list.setListIndex(0);
        f.io.CutItem();
        f.list.BlockUpdate();
        for (int i = 0; i < Rowvane::MaxRows; ++i)
            f.list.AddItem(QString::number(i));
        f.list.Update();
        f.io.PasteItem();
        QCOMPARE(f.io.CutBuffer(), QString("cut me"));
    }

    void savingAppends()
    {
        Fixture f;
        f.jobs.AddJobs("done1\nfail1\npending\ndone2\nblock");
        f.jobs.SetCompleted(0);
        f.jobs.SetFailed(1);
        f.jobs.SetCompleted(3);
        f.jobs.SetBlockLook(4);
        const QString path = writeFile(m_dir, "saved.txt", "existing\n");

        QVERIFY(f.io.SaveListToFile(path, f.list, f.jobs.ClrDone()));
        QCOMPARE(readFile(path), QByteArray("existing\ndone1\ndone2\n"));
        QCOMPARE(f.dialogs.messages().last(), "File: " + path + " was saved..");

        const QString all = m_dir.filePath("all.txt");
        QFile::remove(all);
        f.dialogs.files.enqueue(all);
        QVERIFY(f.io.SaveListDialog(f.list));
        f.dialogs.files.enqueue(all);
        QVERIFY(f.io.SaveListDialog(f.list)); // twice: the lines double
        QCOMPARE(readFile(all), QByteArray("done1\nfail1\npending\ndone2\nblock\n").repeated(2));
        QCOMPARE(f.dialogs.asked.at(f.dialogs.asked.size() - 2).kind, QString("Save"));

        const QString failed = m_dir.filePath("failed.txt");
        QVERIFY(f.io.SaveListToFile(failed, f.list, f.jobs.ClrFailed()));
        QCOMPARE(readFile(failed), QByteArray("fail1\n")); // not the block row

        const QString unchecked = m_dir.filePath("unchecked.txt");
        f.dialogs.files.enqueue(unchecked);
        QVERIFY(f.io.SaveUncheckedJobs());
        QCOMPARE(readFile(unchecked), QByteArray("pending\nblock\n"));

        f.pages.AddItem("p1");
        f.pages.AddItem("p2");
        f.pages.setSelected(1, true);
        const QString checked = m_dir.filePath("checked.txt");
        f.dialogs.files.enqueue(checked);
        QVERIFY(f.io.SaveListByCheckDialog(f.pages, true));
        QCOMPARE(readFile(checked), QByteArray("p2\n"));

        // A cancelled dialog ends silently; an unwritable path shows the system's error.
        const int asked = int(f.dialogs.asked.size());
        QVERIFY(!f.io.SaveListDialog(f.list));
        QCOMPARE(f.dialogs.asked.size(), asked + 1);
        QVERIFY(!f.io.SaveListToFile(m_dir.filePath("no/such/dir/x.txt"), f.list));
        QVERIFY(!f.dialogs.messages().last().startsWith("File: "));
        QVERIFY(!f.io.SaveListToFile(m_dir.path(), f.list));
    }
};

QTEST_GUILESS_MAIN(TestUrlList)
#include "test_urllist.moc"
