// SPDX-License-Identifier: GPL-3.0-or-later
// Loading, pasting, dropping, cutting and saving the job list's URLs.
#include "lists/JobList.h"
#include "lists/ManagerState.h"
#include "lists/Rowvane.h"
#include "lists/StatusLine.h"
#include "lists/UrlLines.h"
#include "lists/UrlListIO.h"
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"

#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <sys/stat.h>

namespace {

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
        jobs.setDataFilter(QStringLiteral("(https?://[^<=\\?\\+>]+$Ext)"));
        pages.setDenyStrategy(1);
    }
    static QString rows(const Rowvane& list)
    {
        QStringList out;
        for (int i = 0; i < list.ListCount(); ++i)
            out << list.List(i);
        return out.join(' ');
    }
};

// Every kind of line end, blanks, tabs, non-URLs and a duplicate in other case.
const QByteArray Mixed = "\xEF\xBB\xBFhttp://h/a.jpg\r\n  http://h/b.zip  \n\r\n   \rnot a url\r"
                         "\thttp://h/c.gif\nHTTP://H/A.JPG\nhttp://h/d\xC3\xA9.jpg";

} // namespace

class TestUrlList : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    // Lines and the count of overlong ones skipped, whatever the cuts between reads.
    void lineSplitter_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QList<QByteArray>>("lines");
        const QByteArray huge(LineSplitState::MaxLine + 10, 'x');
        QTest::newRow("line ends") << QByteArray("a\r\nb\rc\n\r\nd\r\r\ne")
                                   << QList<QByteArray>{"a", "b", "c", "", "d", "", "e"};
        QTest::newRow("overlong") << "a\n" + huge + "\r\nb\n" + huge << QList<QByteArray>{"a", "b"};
    }
    void lineSplitter()
    {
        QFETCH(QByteArray, input);
        QFETCH(QList<QByteArray>, lines);
        QList<qsizetype> cuts{1, 3, LineSplitState::MaxLine, LineSplitState::MaxLine + 12,
                              LineSplitState::MaxLine + 13};
        if (input.size() < 100) {
            cuts.clear();
            for (qsizetype cut = 0; cut <= input.size(); ++cut)
                cuts << cut;
        }
        for (const qsizetype cut : cuts) {
            LineSplitState state;
            QList<QByteArray> got;
            UrlLines::Feed(state, QByteArrayView(input).first(cut), got);
            UrlLines::Feed(state, QByteArrayView(), got); // an empty read changes nothing
            UrlLines::Feed(state, QByteArrayView(input).sliced(cut), got);
            UrlLines::Finish(state, got);
            QCOMPARE(got, lines);
            QCOMPARE(state.skipped, input.size() > 100 ? 2 : 0);
        }
        QCOMPARE(UrlLines::SplitText("a\r\n\nb\rc"), QStringList({"a", "", "b", "c"}));
        QCOMPARE(UrlLines::StripBlanks("  \tx \t "), QString("\tx \t"));
    }

    // A list file loaded by one of the ways in (menu, drop, command line; "+" with the
    // clear option) into a job list holding "keep": the rows after, and what was said
    // ("%1" is the file's path). A file "@..." is a path of that kind.
    void loading_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("rows");
        QTest::addColumn<QString>("said");
        const QByteArray over = "a\n" + QByteArray(LineSplitState::MaxLine + 1, 'x') + "\nb";
        QByteArray junk;
        for (int i = 0; i < 4096; ++i)
            junk += char(i * 37 % 256);
        const struct
        {
            const char *name, *way;
            QByteArray file;
            const char *rows, *said;
        } rows[] = {
            {"menu: every line", "menu", Mixed,
             "keep http://h/a.jpg http://h/b.zip not a url \thttp://h/c.gif http://h/d\xC3\xA9.jpg",
             ""},
            {"drop: filtered", "drop", Mixed,
             "keep http://h/a.jpg http://h/b.zip http://h/d\xC3\xA9.jpg", ""},
            {"drop with clear", "drop+", "http://h/n.jpg", "http://h/n.jpg", ""},
            {"command line with clear", "cmd+", "http://h/n.jpg\n", "http://h/n.jpg", ""},
            {"drop: folder", "drop+", "@folder", "keep", "Can't parse folders."},
            {"drop: missing", "drop+", "@missing", "keep", "%1: No such file or directory"},
            {"menu: missing", "menu", "@missing", "keep", "%1: No such file or directory"},
            {"menu: cancelled", "menu", "@cancel", "keep", ""},
            {"drop: no path", "drop+", "@none", "keep", ""},
            {"command line: missing", "cmd+", "@missing", "keep", "%1: No such file or directory"},
            {"drop: device", "drop+", "@/dev/zero", "keep", "/dev/zero: Not a regular file"},
            {"drop: fifo", "drop+", "@fifo", "keep", "%1: Not a regular file"},
            {"menu: fifo", "menu", "@fifo", "keep", "%1: Not a regular file"},
            {"menu: overlong lines", "menu", over, "keep a b", "1 line(s) longer than 1 MiB"},
            {"menu: binary junk", "menu", junk + "\nhttp://h/ok.jpg\n", "*http://h/ok.jpg", ""},
        };
        for (const auto& r : rows)
            QTest::newRow(r.name) << QString(r.way) << r.file << QString::fromUtf8(r.rows)
                                  << QString(r.said);
    }
    void loading()
    {
        QFETCH(QString, way);
        QFETCH(QByteArray, file);
        QFETCH(QString, said);
        const bool clear = way.endsWith('+');
        QTemporaryDir dir;
        QString path = dir.filePath("list.txt");
        if (file == "@folder")
            path = dir.path();
        else if (file == "@none")
            path.clear();
        else if (file == "@fifo")
            QVERIFY(mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        else if (file.startsWith("@/"))
            path = file.mid(1);
        else if (!file.startsWith('@'))
            writeFile(path, file);
        Fixture f;
        f.jobs.AddJobs("keep");
        if (way == "menu") {
            if (file != "@cancel")
                f.dialogs.files.enqueue(path);
            f.io.LoadFromFile();
        } else if (way.startsWith("drop")) {
            f.io.LoadDroppedFile(path, f.list, DataExt, clear);
        } else {
            f.io.LoadCommandLine('"' + path + '"', DataExt, clear);
        }
        QFETCH(QString, rows);
        if (rows.startsWith('*'))
            QVERIFY(f.list.InList(rows.mid(1), 0));
        else
            QCOMPARE(Fixture::rows(f.list), rows);
        const QStringList messages = f.dialogs.messages();
        QCOMPARE(messages.size(), said.isEmpty() ? 0 : 1);
        if (!said.isEmpty())
            QVERIFY2(messages[0].startsWith(said.arg(path)), qPrintable(messages[0]));
        // The list position (and with it "start") follows the rows just loaded.
        if (way == "cmd+" && said.isEmpty())
            QCOMPARE(f.jobs.ListCaption(), QString("1/1"));
    }

    void dropsAndPastes()
    {
        Fixture f;
        const QString first = m_dir.filePath("first.txt");
        writeFile(first, "http://h/f1.jpg\nhttp://h/f1.txt\n");
        const auto drop = [&f](const QList<QUrl>& urls, const QString& text) {
            QMimeData data;
            if (!urls.isEmpty())
                data.setUrls(urls);
            if (!text.isNull())
                data.setText(text);
            f.io.Drop(data, f.list, DataExt, false);
        };
        // Local files win over the addresses and text beside them; only the first loads.
        drop({QUrl::fromLocalFile(first), QUrl::fromLocalFile("/nonexistent"),
              QUrl("http://h/u0.jpg")},
             "http://h/t0.jpg");
        // Dropped addresses (a browser's link) are filtered like pasted text.
        drop({QUrl("http://h/u1.jpg"), QUrl("https://h/u2.zip"), QUrl("http://h/page.txt")},
             "http://h/t1.jpg");
        drop({}, "see http://h/v.jpg\r\nnothing here\r\nhttp://h/U1.JPG");
        QCOMPARE(Fixture::rows(f.list),
                 "http://h/f1.jpg http://h/u1.jpg https://h/u2.zip see http://h/v.jpg");
        drop({QUrl::fromLocalFile(m_dir.path()), QUrl::fromLocalFile(first)}, QString());
        QCOMPARE(f.dialogs.messages(), QStringList({"Can't parse folders."}));
        QMimeData none;
        none.setHtml("<b>x</b>");
        QVERIFY(!UrlListIO::CanDrop(none));
        none.setUrls({QUrl("http://h/a.jpg")});
        QVERIFY(UrlListIO::CanDrop(none));

        // Pasting moves the block index to the end unless a block is in force.
        f.list.Clear();
        f.dialogs.clipboard = "see http://h/a.jpg now\r\nhttp://h/b.txt\r\nhttp://h/A.JPG";
        QVERIFY(f.io.ClipboardLoaded());
        f.io.PasteFiltered(DataExt);
        QCOMPARE(Fixture::rows(f.list), "see http://h/a.jpg now http://h/A.JPG");
        QCOMPARE(f.state.BlockIndex, 2);
        QCOMPARE(f.status.Caption(), QString("Status: INACTIVE [Job queue: 2]"));
        f.io.PasteUnfiltered();
        QCOMPARE(f.list.ListCount(), 3); // "http://h/b.txt"; the rest are duplicates
        f.state.BlockIndex = 1;
        f.dialogs.clipboard = "http://h/c.zip";
        f.io.PasteFiltered(DataExt);
        QCOMPARE(f.list.ListCount(), 4);
        QCOMPARE(f.state.BlockIndex, 1);
        f.dialogs.clipboard.clear();
        QVERIFY(!f.io.ClipboardLoaded());

        // The web page list takes the page pattern, by drop and by text.
        const QString pages = m_dir.filePath("pages.txt");
        writeFile(pages, "http://h/x.php?id=1\nhttp://h/y.jpg\nhttp://h/i.html");
        f.io.LoadDroppedFile(pages, f.pages, PageExt, false);
        f.io.AddTextFiltered("http://h/p.php?x=1\nhttp://h/q.jpg\nhttp://h/I.HTML", f.pages,
                             PageExt);
        QCOMPARE(Fixture::rows(f.pages), "http://h/x.php?id=1 http://h/i.html http://h/p.php?x=1");
        f.io.LoadDroppedFile(pages, f.pages, DataExt, true); // a drop with clear empties both
        QCOMPARE(f.list.ListCount(), 0);
    }

    void cutPasteAndCopy()
    {
        Fixture f;
        f.jobs.AddJobs("a\nb\nc\nd");
        f.io.PasteItem(); // nothing cut: nothing happens
        f.list.setListIndex(1);
        f.state.BlockIndex = 1; // cutting the block row removes the block
        f.jobs.setBlockCaption("Block: 2");
        f.io.CutItem();
        QCOMPARE(Fixture::rows(f.list), "a c d");
        QCOMPARE(f.jobs.BlockCaption(), QString("Block: OFF"));
        QCOMPARE(f.jobs.ListCaption(), QString("2/3"));
        f.list.setListIndex(2);
        f.jobs.SetCompleted(2);
        f.io.PasteItem(); // above the current row, as a pending job
        QCOMPARE(Fixture::rows(f.list), "a c b d");
        QVERIFY(!f.list.Selected(2));
        QCOMPARE(f.list.ForeColorID(2), 1);
        QCOMPARE(f.io.CutBuffer(), QString());
        f.list.setListIndex(-1);
        f.io.CutItem(); // no current row: nothing cut
        QCOMPARE(f.list.ListCount(), 4);
        f.list.setListIndex(3);
        f.io.CopyItem();
        QCOMPARE(f.dialogs.clipboard, QString("d"));

        // A full list keeps the cut row waiting.
        f.io.CutItem();
        f.list.BlockUpdate();
        while (f.list.AddItem(QString::number(f.list.ListCount()))) {
        }
        f.list.Update();
        QCOMPARE(f.list.ListCount(), Rowvane::MaxRows);
        f.io.PasteItem();
        QCOMPARE(f.io.CutBuffer(), QString("d"));
    }

    void savingAppends()
    {
        Fixture f;
        f.jobs.AddJobs("done1\nfail1\npending\ndone2\nblock");
        f.jobs.SetCompleted(0);
        f.jobs.SetFailed(1);
        f.jobs.SetCompleted(3);
        f.jobs.SetBlockLook(4);
        const QString path = m_dir.filePath("saved.txt");
        writeFile(path, "existing\n");
        QVERIFY(f.io.SaveListToFile(path, f.list, f.jobs.ClrDone()));
        QCOMPARE(readFile(path), QByteArray("existing\ndone1\ndone2\n"));
        QCOMPARE(f.dialogs.messages().last(), "File: " + path + " was saved..");
        const QString failed = m_dir.filePath("failed.txt");
        QVERIFY(f.io.SaveListToFile(failed, f.list, f.jobs.ClrFailed()));
        QCOMPARE(readFile(failed), QByteArray("fail1\n")); // not the block row

        const QString all = m_dir.filePath("all.txt");
        f.dialogs.files.enqueue(all);
        f.dialogs.files.enqueue(all);
        QVERIFY(f.io.SaveListDialog(f.list) && f.io.SaveListDialog(f.list)); // twice: doubled
        QCOMPARE(readFile(all), QByteArray("done1\nfail1\npending\ndone2\nblock\n").repeated(2));
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
        const qsizetype said = f.dialogs.messages().size();
        QVERIFY(!f.io.SaveListDialog(f.list));
        QCOMPARE(f.dialogs.messages().size(), said);
        QVERIFY(!f.io.SaveListToFile(m_dir.filePath("no/such/dir/x.txt"), f.list));
        QVERIFY(!f.io.SaveListToFile(m_dir.path(), f.list));
        QCOMPARE(f.dialogs.messages().size(), said + 2);
        QVERIFY(!f.dialogs.messages().last().startsWith("File: "));
    }
};

QTEST_GUILESS_MAIN(TestUrlList)
#include "test_urllist.moc"
