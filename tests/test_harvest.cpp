// SPDX-License-Identifier: GPL-3.0-or-later
// The lists and what fills them (files, drops, pastes, ranges, pages harvested over loopback),
// the settings (options, their store, param.dat, the window placement), the folder commands.
#include "ManagerRig.h"
#include "support/NginxFixture.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedServer.h"
#include "support/SlotRecorder.h"
#include "support/TestFiles.h"

#include "engine/HttpFiles.h"
#include "engine/UrlSplit.h"
#include "harvest/HtmlLinks.h"
#include "harvest/HtmlParser.h"
#include "harvest/NumberedRange.h"
#include "harvest/PageCharset.h"
#include "harvest/PageHarvester.h"
#include "lists/DownloadListMenu.h"
#include "lists/FileTypeList.h"
#include "lists/JobList.h"
#include "lists/LinkPattern.h"
#include "lists/ManagerState.h"
#include "lists/Rowvane.h"
#include "lists/StatusLine.h"
#include "lists/UrlLines.h"
#include "lists/UrlListIO.h"
#include "platform/FolderTreeDelete.h"
#include "platform/NewFolder.h"
#include "platform/SettingsStore.h"
#include "settings/Options.h"
#include "settings/ParamFile.h"
#include "settings/WindowPlacement.h"

#include <QMimeData>
#include <QRandomGenerator>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <atomic>
#include <functional>
#include <sys/stat.h>

using Option = Options::Option;

namespace {
const QString DataExt = QStringLiteral("(\\.jpg|\\.zip)");
const QString PageExt = QStringLiteral("(\\.html|\\.php)(\\?.*)?");

// The job list, the web page list and everything that fills them, built fresh per test.
struct Rig
{
    Rowvane jobList;
    ManagerState state;
    StatusLine status{state, jobList};
    ScriptedDialogs dialogs;
    JobList jobs{jobList, state, status, dialogs};
    Rowvane pages;
    FileTypeList dataTypes;
    FileTypeList pageTypes;
    UrlListIO io{jobs, dialogs};
    Options options;
    PageHarvester harvester{jobs, pages, dataTypes, pageTypes, io, options, dialogs};

    Rig()
    {
        dataTypes.StringToList("jpg/1|gif/0|zip/1");
        pageTypes.StringToList("html/1|php/0");
        jobs.setDataFilter(QStringLiteral("(https?://[^<=\\?\\+>]+$Ext)"));
    }
    static QString rows(const Rowvane& list, int from = 0)
    {
        QStringList texts;
        for (int i = from; i < list.ListCount(); ++i)
            texts << list.List(i);
        return texts.join(' ');
    }
};

// Parses one page, which must refuse a second while it is active.
bool parse(HtmlParser& parser, const QString& url)
{
    QSignalSpy done(&parser, &HtmlParser::DocumentComplete);
    return parser.ParseLinks(url) && !parser.ParseLinks(url) &&
           (done.count() == 1 || done.wait(15000)) && !parser.IsActive();
}

// Every kind of line end, blanks, tabs, non-URLs and a duplicate in other case.
const QByteArray Mixed = "\xEF\xBB\xBFhttp://h/a.jpg\r\n  http://h/b.zip  \n\r\n   \rnot a url\r"
                         "\thttp://h/c.gif\nHTTP://H/A.JPG\nhttp://h/d\xC3\xA9.jpg";

// param.dat against the built-ins: "Key=value" replaced, "List+entry" added, "List!" moved.
QString paramChanges(ParamValues& v)
{
    ParamValues b;
    ParamFile::SetBuiltIns(b);
    ParamFile::FillUserAgents(b);
    ParamFile::FillUserAgents(v);
    QStringList out;
    for (const auto& [name, now, before] : {std::tuple{"DefExt", v.DefExt, b.DefExt},
                                            {"DataFilter", v.DataFilter, b.DataFilter},
                                            {"ErrCodes", v.ErrCodes, b.ErrCodes}})
        if (now != before)
            out << QString(name) + "=" + now;
    for (const auto& [name, now, before] : {std::tuple{"Accept", &v.CboAccept, &b.CboAccept},
                                            {"Lang", &v.CboAccptLang, &b.CboAccptLang},
                                            {"Enc", &v.CboAccptEncoding, &b.CboAccptEncoding},
                                            {"UA", &v.Combo2, &b.Combo2}}) {
        if (now->Items().mid(0, before->Count()) != before->Items() ||
            now->SelectedIndex() != before->SelectedIndex())
            out << QString(name) + "!";
        for (const QString& item : now->Items().mid(before->Count()))
            out << QString(name) + "+" + item;
    }
    return out.join('|');
}

QString readParams(const QList<QByteArray>& pieces)
{
    ParamValues values;
    ParamFile::SetBuiltIns(values);
    ParamFile::SetBuiltIns(values); // setting them again must not pile entries up
    ParamFileParser parser;
    for (const QByteArray& piece : pieces)
        ParamFile::Feed(parser, piece, values);
    ParamFile::Finish(parser, values);
    return paramChanges(values);
}

const QByteArray MixedParams = "\xEF\xBB\xBF# comment\r\n$DEF_EXT=.htm.x\r$accept=text/plain\n"
                               "  $USER_AGENT=  Agent One\r\n$ACCEPT =ignored\n\n\r\r"
                               "$ERR_CODES=404\r\n$ERR_CODES=500|503\r\n$Accept-Language= de-de "
                               "\r\n$DEF_DATA_FILTER=(ftp://$Ext)=x\n$ACCEPT-ENCODING=br\r"
                               "$USER_AGENT=\xC3\xA9t\xC3\xA9";
const QString MixedRead = QString::fromUtf8("DefExt=.htm.x|DataFilter=(ftp://$Ext)=x|ErrCodes=500|"
                                            "503|Accept+text/plain|Lang+de-de|Enc+br|UA+  Agent "
                                            "One|UA+\xC3\xA9t\xC3\xA9");

// A tree of all a delete can trip on (hidden, read-only, links out, dangling) and sentinels.
struct Tree
{
    QTemporaryDir dir;
    QString root() const { return dir.filePath("tree"); }
    QString at(const QString& relative) const { return root() + '/' + relative; }
    const QStringList folders{"", ".dots", "read-only", "sub", "sub/deeper"};

    Tree()
    {
        for (const char* file : {"a.txt", ".hidden", ".dots/.inner", "read-only/in.txt",
                                 "read-only-file.txt", "sub/b.txt", "sub/deeper/c.txt"})
            writeFile(at(file), "x"); // making every folder of the tree
        for (const char* file : {"target/sentinel", "sentinel-file"})
            writeFile(dir.filePath(file), "x");
        for (const auto& [target, link] : {std::pair{"target", "link-to-folder"},
                                           {"target", "sub/deeper/link2"},
                                           {"sentinel-file", "link-to-file"},
                                           {"gone", ".dots/dangling"}})
            QFile::link(dir.filePath(target), at(link));
        QFile::setPermissions(at("read-only-file.txt"), QFileDevice::ReadOwner);
        QFile::setPermissions(at("read-only"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    ~Tree() // let the temporary folder go even when a test failed half-way
    {
        QFile::setPermissions(at("read-only"), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                   QFileDevice::ExeOwner);
    }
    // The Finished arguments of a delete (none when it failed to run or followed a link).
    QVariantList run(FolderTreeDelete& deleter, const std::function<void(const QString&)>& onText)
    {
        QObject::connect(&deleter, &FolderTreeDelete::Progress, [&](const QString& text) {
            texts << text;
            onText(text);
        });
        QSignalSpy finished(&deleter, &FolderTreeDelete::Finished);
        QString error;
        const bool ended =
            deleter.Start(root(), dir.filePath("base"), dir.filePath("home"), error) &&
            deleter.IsRunning() && finished.wait(10000);
        const bool sentinelsStay = QFile::exists(dir.filePath("target/sentinel")) &&
                                   QFile::exists(dir.filePath("sentinel-file"));
        return ended && sentinelsStay ? finished.first() : QVariantList();
    }
    QStringList texts;
};

const QString DirText = QStringLiteral("Deleting Directory:");

} // namespace

class TestHarvest : public QObject
{
    Q_OBJECT
    NginxFixture m_nginx;
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_nginx.start(&error), qPrintable(error));
        // The default store and download folder land in a temporary home.
        qputenv("HOME", QFile::encodeName(m_dir.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath("config")));
        m_nginx.writeFile("g/index.html",
                          "<html><head><base href='/files/'></head><body>"
                          "<a href='a.JPG'>a</a><a href='b.jpg'>b</a><a href='c.jpeg'>c</a>"
                          "<a href='b.jpg'>b again</a><a href='KNOWN.jpg'>known</a>"
                          "<a href='mailto:x@y.jpg'>mail</a><img src='thumb.gif'>"
                          "<img src='pic.png'><img src='pic.bmp'><map><area href='pack.zip'></map>"
                          "<a href='/g/next.html'>next</a><a href='/g/next.HTML'>same</a>"
                          "<a href='/g/form.php'>php</a></body></html>");
        m_nginx.writeFile("g/next.html", "<a href='n.jpg'>n</a>");
    }

    // Lines and the count of overlong ones skipped, whatever the cut between two reads.
    void lineSplitter()
    {
        const QByteArray huge(LineSplitState::MaxLine + 10, 'x'),
            full(LineSplitState::MaxLine, 'y');
        const QByteArray input =
            "a\r\nb\rc\n\r\nd\r\r\ne\n" + huge + "\r\nf\n" + full + "\n" + huge;
        const QList<QByteArray> lines{"a", "b", "c", "", "d", "", "e", "f", full}; // full: kept
        // Every cut in the short lines, at the limit and around the first overlong line's end.
        QList<qsizetype> cuts{15 + LineSplitState::MaxLine, 15 + huge.size(), 16 + huge.size()};
        for (qsizetype cut = 0; cut < 17; ++cut)
            cuts << cut;
        for (const qsizetype cut : cuts) {
            LineSplitState state;
            QList<QByteArray> got;
            UrlLines::Feed(state, QByteArrayView(input).first(cut), got);
            UrlLines::Feed(state, QByteArrayView(), got); // an empty read changes nothing
            UrlLines::Feed(state, QByteArrayView(input).sliced(cut), got);
            UrlLines::Finish(state, got);
            QCOMPARE(got, lines);
            QCOMPARE(state.skipped, 2);
        }
        QCOMPARE(UrlLines::SplitText("a\r\n\nb\rc"), QStringList({"a", "", "b", "c"}));

        // A list file ("@...": a path of that kind) loaded by menu, drop or command line ("+": with
        // clear) into a job list holding "keep": the rows after, and what was said ("%1": path).
        const QByteArray over = "a\n" + QByteArray(LineSplitState::MaxLine + 1, 'x') + "\nb";
        QByteArray junk;
        for (int i = 0; i < 4096; ++i)
            junk += char(i * 37 % 256);
        const QString missing = "%1: No such file or directory";
        const std::tuple<QString, QByteArray, QString, QString> rows[] = {
            {"menu", Mixed, "keep ~a.jpg ~b.zip not a url \t~c.gif ~d\u00e9.jpg", ""},
            {"drop", Mixed, "keep ~a.jpg ~b.zip ~d\u00e9.jpg", ""},
            {"drop+", "http://h/n.jpg", "~n.jpg", ""},
            {"cmd+", "http://h/n.jpg\n", "~n.jpg", ""},
            {"drop+", "@folder", "keep", "Can't parse folders."},
            {"drop+", "@missing", "keep", missing},
            {"menu", "@missing", "keep", missing},
            {"menu", "@cancel", "keep", ""},
            {"drop+", "@", "keep", ""},
            {"drop+", "@fifo", "keep", "%1: Not a regular file"},
            {"drop+", "@/dev/zero", "keep", "/dev/zero: Not a regular file"}, // never ends
            {"menu", over, "keep a b", "1 line(s) longer than 1 MiB"},
            {"drop", junk + "\nhttp://h/ok.jpg\n", "keep ~ok.jpg", ""},
        };
        for (const auto& [way, file, expected, said] : rows) {
            QTemporaryDir dir;
            const QString path = file == "@" || file.startsWith("@/") ? QString(file.mid(1))
                                                                      : dir.filePath("list.txt");
            if (file == "@folder")
                QDir().mkdir(path);
            else if (file == "@fifo")
                QVERIFY(mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
            else if (!file.startsWith('@'))
                writeFile(path, file);
            Rig f;
            f.jobs.AddJobs("keep");
            if (way == "menu") {
                if (file != "@cancel")
                    f.dialogs.files.enqueue(path);
                f.io.LoadFromFile();
            } else if (way.startsWith("drop")) {
                f.io.LoadDroppedFile(path, f.jobList, DataExt, way.endsWith('+'));
            } else {
                f.io.LoadCommandLine('"' + path + '"', DataExt, true);
            }
            QCOMPARE(Rig::rows(f.jobList), QString(expected).replace('~', "http://h/"));
            QCOMPARE(f.dialogs.messages().size(), qsizetype(!said.isEmpty()));
            QVERIFY2(
                f.dialogs.messages().value(0, "").startsWith(QString(said).replace("%1", path)),
                qPrintable(path));
            // The list position (and with it "start") follows the rows just loaded.
            if (way == "cmd+" && said.isEmpty())
                QCOMPARE(f.jobs.ListCaption(), QString("1/1"));
        }
    }

    void dropsPastesAndSaves()
    {
        Rig f;
        const QString first = m_dir.filePath("first.txt");
        writeFile(first, "http://h/f1.jpg\nhttp://h/f1.txt\n");
        const auto drop = [&f](const QStringList& urls, const QString& text) { // "/": a file
            QMimeData data;
            QList<QUrl> list;
            for (const QString& url : urls)
                list << (url.startsWith('/') ? QUrl::fromLocalFile(url) : QUrl(url));
            data.setUrls(list);
            data.setText(text);
            f.io.Drop(data, f.jobList, DataExt, false);
            return UrlListIO::CanDrop(data);
        };
        QVERIFY(!drop({}, QString()));
        // Local files win over the addresses and text beside them; only the first loads.
        QVERIFY(drop({first, "/nonexistent", "http://h/u0.jpg"}, "http://h/t0.jpg"));
        // Dropped addresses (a browser's link) are filtered like pasted text.
        drop({"http://h/u1.jpg", "https://h/u2.zip", "http://h/page.txt"}, "http://h/t1.jpg");
        drop({}, "see http://h/v.jpg\r\nnothing here\r\nhttp://h/U1.JPG");
        QCOMPARE(Rig::rows(f.jobList),
                 "http://h/f1.jpg http://h/u1.jpg https://h/u2.zip see http://h/v.jpg");
        drop({m_dir.path(), first}, QString());
        QCOMPARE(f.dialogs.messages(), QStringList({"Can't parse folders."}));

        // Pasting moves the block index to the end unless a block is in force.
        f.jobList.Clear();
        f.dialogs.clipboard = "see http://h/a.jpg now\r\nhttp://h/b.txt\r\nhttp://h/A.JPG";
        QVERIFY(f.io.ClipboardLoaded());
        f.io.PasteFiltered(DataExt);
        QCOMPARE(Rig::rows(f.jobList) + QString::number(f.state.BlockIndex) + f.status.Caption(),
                 "see http://h/a.jpg now http://h/A.JPG2Status: INACTIVE [Job queue: 2]");
        f.io.PasteUnfiltered(); // only "http://h/b.txt": the rest are duplicates
        f.state.BlockIndex = 1;
        f.dialogs.clipboard = "http://h/c.zip";
        f.io.PasteFiltered(DataExt);
        QCOMPARE(Rig::rows(f.jobList, 2) + QString::number(f.state.BlockIndex),
                 "http://h/b.txt http://h/c.zip1");
        f.dialogs.clipboard.clear();
        QVERIFY(!f.io.ClipboardLoaded());

        // The web page list takes the page pattern, by drop and by text.
        const QString pages = m_dir.filePath("pages.txt");
        writeFile(pages, "http://h/x.php?id=1\nhttp://h/y.jpg\nhttp://h/i.html");
        f.io.LoadDroppedFile(pages, f.pages, PageExt, false);
        f.io.AddTextFiltered("http://h/p.php?x=1\nhttp://h/q.jpg\nhttp://h/I.HTML", f.pages,
                             PageExt);
        QCOMPARE(Rig::rows(f.pages), "http://h/x.php?id=1 http://h/i.html http://h/p.php?x=1");
        f.io.LoadDroppedFile(pages, f.pages, DataExt, true); // a drop with clear empties both
        QCOMPARE(f.jobList.ListCount(), 0);

        // The status colour runs follow the text: a four-digit total shifts every later run.
        for (int i = 0; i < 1234; ++i)
            f.jobList.AddItem(QStringLiteral("http://h/%1").arg(i));
        f.state.DoneCount = 7;
        f.status.gStatEx(true, QString());
        const QString line = f.status.Caption();
        QCOMPARE(line, QStringLiteral("Status: Total:1234 Done:7   Connect Fail:0   "
                                      "Redirected:0   Download Fail:0  "));
        QString colored;
        int at = 0;
        for (const QString& run : f.status.FormatString().split(';')) {
            const int length = run.section(',', 0, 0).mid(2).toInt();
            if (run.section(',', 1, 1).mid(3).toUInt() != 0xFFFF)
                colored += '[' + line.mid(at, length) + ']';
            at += length;
        }
        QCOMPARE(colored, "[Status: ][Total:][Done:][Connect Fail:][Redirected:][Download Fail:]");
        f.status.gStatEx(false, QStringLiteral("x"));
        QVERIFY(f.status.FormatString().isEmpty());

        // A cut row (with the block) pastes above the current row; saves append, by look or whole.
        Rig r;
        r.jobs.AddJobs("a\nb\nc\nd");
        r.io.PasteItem(); // nothing cut: nothing happens
        r.jobList.setListIndex(1);
        r.state.BlockIndex = 1;
        r.jobs.setBlockCaption("Block: 2");
        r.io.CutItem();
        QCOMPARE(r.jobs.BlockCaption() + ' ' + r.jobs.ListCaption(), "Block: OFF 2/3");
        r.jobList.setListIndex(-1);
        r.io.CutItem(); // no current row: nothing cut, "b" still waits
        r.jobList.setListIndex(2);
        r.jobs.SetCompleted(2);
        r.io.PasteItem();
        QCOMPARE(Rig::rows(r.jobList) + r.io.CutBuffer(), "a c b d");
        QVERIFY(!r.jobList.Selected(2) && r.jobList.ForeColorID(2) == 1);
        r.jobList.setListIndex(3);
        r.io.CopyItem();
        QCOMPARE(r.dialogs.clipboard, QString("d"));

        r.jobs.SetCompleted(0);
        r.jobs.SetFailed(1);
        r.jobs.SetCompleted(3);
        r.jobs.SetBlockLook(2);
        const QString saved = m_dir.filePath("saved.txt");
        writeFile(saved, "existing\n");
        QVERIFY(r.io.SaveListToFile(saved, r.jobList, r.jobs.ClrDone()));
        QVERIFY(r.io.SaveListToFile(saved, r.jobList, r.jobs.ClrFailed())); // not the block row
        r.dialogs.files << saved << saved;
        QVERIFY(r.io.SaveListDialog(r.jobList) && r.io.SaveUncheckedJobs());
        QVERIFY(!r.io.SaveListDialog(r.jobList)); // cancelled: nothing said
        QCOMPARE(readFile(saved), "existing\na\nd\nc\na\nc\nb\nd\nb\n");
        QCOMPARE(r.dialogs.messages(), QStringList(4, "File: " + saved + " was saved.."));
        QVERIFY(!r.io.SaveListToFile(m_dir.filePath("no/such/dir/x.txt"), r.jobList));
        QVERIFY(r.dialogs.messages().size() == 5 && !r.dialogs.messages()[4].startsWith("File"));

        r.io.CutItem();
        r.jobList.BlockUpdate();
        while (r.jobList.AddItem(QString::number(r.jobList.ListCount()))) {
        }
        r.jobList.Update();
        r.io.PasteItem();
        QCOMPARE(r.io.CutBuffer(), QString("d"));
    }

    // A dialog's fields ("F|address|start|end|padded") or a pattern ("~": http://h.example/):
    // "count: first second .. last", or the start of the refusal (all or nothing).
    void ranges()
    {
        const std::tuple<const char*, int, const char*> rows[] = {
            {"F|~p|1|11|1", 100, "11: ~p01.jpg ~p02.jpg .. ~p11.jpg"},
            {"F|~p|1|11|", 100, "11: ~p1.jpg ~p2.jpg .. ~p11.jpg"},
            {"F|~p| 9 |010|1", 100, "2: ~p009.jpg ~p010.jpg .. ~p010.jpg"},
            {"F|~p|7|7|1", 1, "1: ~p7.jpg  .. ~p7.jpg"},
            {"F|~p|8|7|", 100, "Range Start must not be greater"},
            {"F|~p|-1|7|", 100, "Range Start must be"},
            {"F|~p|1|1e3|", 100, "Range End must be"},
            {"F|~p|1|16|", 16, "16: ~p1.jpg ~p2.jpg .. ~p16.jpg"},
            {"F|~p|1|16|", 15, "The range gives 16 URLs, but the download list has room for 15"},
            {"F|h.example/p|1|2|", 100, "Not a valid URL: h.example/p1.jpg"},
            {"~img[001-120].jpg", 32001, "120: ~img001.jpg ~img002.jpg .. ~img120.jpg"},
            {"~img[1-12].jpg", 32001, "12: ~img1.jpg ~img2.jpg .. ~img12.jpg"},
            {"~[08-100]", 32001, "93: ~08 ~09 .. ~100"}, // the first number decides the width
            {"~[1-2]/[8-10].png", 6, "6: ~1/8.png ~1/9.png .. ~2/10.png"},
            {"http://[::1]:8080/[a-z]/[x][[1-2]]", 32001,
             "2: http://[::1]:8080/[a-z]/[x][1] http://[::1]:8080/[a-z]/[x][2] .. "},
            {"not a url [1-]", 0, "1: not a url [1-]  .. not a url [1-]"},
            {"~[5-3]", 32001, "The first number of [5-3] must not be greater"},
            {"~[1-40000]", 32001, "The range gives 40000 URLs, but the download list has room"},
            {"~[0-999999999999]/[0-999999999999]/[0-999999999999]", 32001,
             "The ranges give too many URLs"},
            {"[1-2]http://h.example/", 32001, "Not a valid URL: 1http://"},
        };
        for (const auto& [pattern, freeRows, expected] : rows) {
            const QString input = QString(pattern).replace('~', "http://h.example/");
            const QStringList f = input.split('|');
            const NumberedRange::Expansion got =
                f[0] == "F"
                    ? NumberedRange::FromFields(f[1], f[2], f[3], ".jpg", f[4] == "1", freeRows)
                    : NumberedRange::FromPattern(input, freeRows);
            const QStringList& u = got.Urls;
            const QString summary =
                QString("%1: %2 %3 .. %4")
                    .arg(u.size())
                    .arg(u.value(0), u.size() > 1 ? u.value(1) : "", u.value(u.size() - 1));
            const QString result = QString(expected).replace('~', "http://h.example/");
            QVERIFY2((got.Error.isEmpty() ? summary : got.Error).startsWith(result),
                     qPrintable(summary + got.Error));
            QVERIFY(got.Error.isEmpty() || u.isEmpty());
        }
    }

    // A page: the encoding it is read in (and the UTF-8 it becomes), its links resolved.
    void pageReading()
    {
        const std::tuple<QByteArray, QByteArray, QByteArray, QByteArray> rows[] = {
            {"<p>x", "text/html", "windows-1252", ""},
            {"\x80\x93\xE9", "text/html", "windows-1252", "\xE2\x82\xAC\xE2\x80\x9C\xC3\xA9"},
            {"<meta charset=koi8-r>", "text/html; Charset=\"UTF-8\"", "UTF-8", ""},
            {"", "text/html;charset=ISO-8859-1", "windows-1252", ""},
            {"<html><head><META CharSet='utf-8'>", "text/html", "UTF-8", ""},
            {"<meta http-equiv=content-type content='text/html; charset=utf-8'>", "", "UTF-8", ""},
            {"<meta content=\"text/html; charset=utf-8\">", "", "windows-1252", ""},
            {"<!-- <meta charset=utf-8> --><p>", "", "windows-1252", ""},
            {"<div title='<meta charset=utf-8>'>", "", "windows-1252", ""},
            {"<meta charset=utf-16>", "", "UTF-8", ""},
            {QByteArray(1004, ' ') + "<meta charset=utf-8>", "", "UTF-8", ""}, // within 1024
            {QByteArray(1005, ' ') + "<meta charset=utf-8>", "", "windows-1252", ""},
            {"\xEF\xBB\xBF<p>", "text/html; charset=windows-1252", "UTF-8", "<p>"},
            {"a\xFF", "text/html; charset=utf-8", "UTF-8", "a\xEF\xBF\xBD"},
            {QByteArray::fromHex("fffe6100"), "", "UTF-16LE", "a"},
            {"<meta charset=utf-7>", "", "windows-1252", ""},
            {"<meta charset='no such thing'>", "text/html; charset=\"bad\x01\"", "windows-1252",
             ""},
            {"<meta charset=\"utf-8", "", "windows-1252", ""},
            {"\xE9", "text/html; charset=iso-8859-2", "iso-8859-2", "\xC3\xA9"},
        };
        for (const auto& [page, contentType, encoding, utf8] : rows) {
            QCOMPARE(PageCharset::Detect(page, contentType), encoding);
            if (!utf8.isEmpty())
                QCOMPARE(PageCharset::ToUtf8(page, contentType), utf8);
        }

        // A link's value resolved against the page ("~": its folder); "!": the request and Host
        // lines a URL gives, none when it is refused.
        const char* const targets[][2] = {
            {"a.jpg", "~a.jpg"},
            {"../x/./b.jpg", "http://h.example/x/b.jpg"},
            {"/c.jpg", "http://h.example/c.jpg"},
            {"//o.example/e.jpg", "http://o.example/e.jpg"},
            {"HTTPS://O.Example:443/F.JPG", "https://o.example/F.JPG"},
            {"http://o.example:80", "http://o.example/"},
            {" \n a\tb\n.jpg \r\n", "~ab.jpg"},
            {"..\\img\\g.jpg?a\\b", "http://h.example/img/g.jpg?a%5Cb"},
            {"http:h.jpg", "~h.jpg"},
            {"https:/i.example/i.jpg", "https://i.example/i.jpg"},
            {"caf\u00e9 1.jpg", "~caf%C3%A9%201.jpg"},
            {"", "~page.html"},
            {"#top", "~page.html#top"},
            {"mailto:a@b.example", "mailto:a@b.example"},
            {"http://[bad", "http://[bad"},
            {"!http://h/100%.dat?v=%zz%4", "GET /100%25.dat?v=%25zz%254 HTTP/1.0\r\nHost: h"},
            {"!http://h:81#a/b", "GET / HTTP/1.0\r\nHost: h"},
            {"!http://[::1]:81/a", "GET /a HTTP/1.0\r\nHost: [::1]"},
            {"!http://a\177b/p", ""},
        };
        for (const auto& [value, expected] : targets) {
            const QString input = QString::fromUtf8(value);
            QString got = HtmlLinks::Resolve(input, QUrl("http://h.example/d/page.html"));
            if (const UrlSplit split = UrlSplit::Parse(input.mid(1)); input.startsWith('!'))
                got = split.Supported ? HttpFiles()
                                            .getRequest(split.Host, split.Path, 0, 0, 0)
                                            .section("\r\n", 0, 1)
                                      : "";
            QCOMPARE(got, QString(expected).replace('~', "http://h.example/d/"));
        }

        const QByteArray page = "<a href='one.zip'>1</a><a name=anchor>no href</a>"
                                "<map><area href='/two.zip'></map><img src='three.png'><img>"
                                "<template><a href='hidden.zip'>x</a></template>"
                                "<svg><a href='svg.zip'/></svg>"
                                "<base href='http://b.example/base/'>"
                                "<base href='http://ignored.example/'><A HREF='four.zip'>4</A>";
        const QUrl at("http://p.example/a/b.html");
        const HtmlLinks links = HtmlLinks::Extract(page, at);
        // The first base element governs every link, also those before it.
        QCOMPARE(
            links.links + links.images, // the image last
            QStringList({"http://b.example/base/one.zip", "http://b.example/two.zip",
                         "http://b.example/base/four.zip", "http://b.example/base/three.png"}));
        // A relative base resolves against the page; a javascript: base is ignored.
        QCOMPARE(HtmlLinks::Extract("<base href='sub/'><a href=x.zip>", at).links,
                 QStringList({"http://p.example/a/sub/x.zip"}));
        QCOMPARE(HtmlLinks::Extract("<base href='javascript:alert(1)'><a href=x.zip>", at).links,
                 QStringList({"http://p.example/a/x.zip"}));
        // Deep nesting neither exhausts the stack nor loses the link.
        const QByteArray deep = QByteArray("<div>").repeated(20000) + "<a href=deep.zip>";
        QCOMPARE(HtmlLinks::Extract(deep, at).links, QStringList({"http://p.example/a/deep.zip"}));
        // A cancelled parse and one over its memory limit end with an error, no links.
        const std::atomic<bool> cancel{true};
        const HtmlLinks cancelled = HtmlLinks::Extract("<a href=a.zip>", at, {.cancel = &cancel});
        QVERIFY(!cancelled.error.isEmpty() && cancelled.links.isEmpty());
        QVERIFY(HtmlLinks::Extract(QByteArray("<p>text").repeated(50000), at, {.maxMemory = 65536})
                    .error.contains("MiB"));
    }

    // A page fetched after one with links ("@": scripted, "~": nginx): its links or its error.
    void fetches()
    {
        ScriptedServer server;
        const QByteArray body = "<meta charset='utf-8'><a href='\xC3\xA9.zip'>";
        const QByteArray chunked =
            "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nTransfer-Encoding: chunked\r\n\r\n" +
            QByteArray::number(body.size(), 16) + "\r\n" + body + "\r\n0\r\n\r\n";
        server.addConnection(ServerScript().expectRequest().sendSplit(chunked, 7, 5).close());
        server.addConnection(
            ServerScript::reply("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: "
                                "500\r\n\r\n<a href='x.zip'>"));
        server.addConnection(ServerScript::neverAnswer());
        m_nginx.writeFile("ok.html", "<a href='x.zip'>");
        m_nginx.writeFile("p.jpg", "<a href='x.zip'>");
        m_nginx.writeFile("big.html", QByteArray(70000, 'x'));
        m_nginx.writeFile("sub/moved.html", "<a href='here.zip'>");
        const char* const rows[][3] = {
            {"@/a.html", "", "@/%C3%A9.zip"},
            {"~/r301/sub/moved.html", "", "~/sub/here.zip"}, // against the final address
            {"@/b.html", "", ""},
            {"@/slow.html", "no answer within 0.3 seconds", ""},
            {"~/missing.html", "404", ""},
            {"~/p.jpg", "image/jpeg", ""},
            {"~/big.html", "larger", ""},
            {"http://127.0.0.1:%1/", "", ""},
            {"ftp://127.0.0.1/x.html", "http and https", ""},
            {"http://", "not a valid", ""},
        };
        for (const auto& [address, error, links] : rows) {
            const auto at = [&](QString u) { // "%1": a port nobody listens on
                u.replace("%1", QString::number(unusedLoopbackPort()));
                return u.replace('@', server.url("")).replace('~', m_nginx.url(""));
            };
            HtmlParser parser;
            parser.SetMaxPageSize(65536);
            parser.SetUserAgent("Harvex/1.6 (test)");
            QVERIFY(parse(parser, m_nginx.url("/ok.html")) && parser.HasLinks());
            parser.SetTimeLimit(*error == 'n' ? 300 : 60000);
            QVERIFY(parse(parser, at(address)));
            const QString lastError = parser.LastError();
            QVERIFY2(lastError.contains(error) && lastError.isEmpty() == !!*links,
                     qPrintable(lastError));
            QCOMPARE(parser.HasLinks() || parser.Document(), !!*links);
            QCOMPARE(parser.GetLinks("zip"), *links ? QStringList{at(links)} : QStringList());
        }
        QVERIFY(server.requests().value(2).startsWith("GET /slow.html HTTP/1.1\r\n") &&
                server.requests().value(2).contains("User-Agent: Harvex/1.6 (test)\r\n"));
        // The harvester shows the reason, checks the row and files nothing.
        Rig rig;
        QSignalSpy filed(&rig.harvester, &PageHarvester::PageFiled);
        QVERIFY(rig.harvester.ParseWebPage(m_nginx.url("/missing.html")) && filed.wait(15000));
        QVERIFY(rig.dialogs.messages().size() == 1 && rig.dialogs.messages()[0].contains("404"));
        QVERIFY(rig.jobList.ListCount() == 0 && rig.pages.Selected(0));

        // Destroyed while fetching: must neither hang nor touch freed memory.
        server.addConnection(ServerScript::neverAnswer());
        auto* doomed = new HtmlParser;
        QVERIFY(doomed->ParseLinks(server.url()));
        QVERIFY(server.waitForConnections(4));
        delete doomed;
    }

    // Checked file types to the job list, pages to the web page list, once; then its commands.
    void harvesting()
    {
        Rig rig;
        const auto state = [&rig, this] { // parsed count, menu, web page list ("*": checked)
            const PageHarvester::WebPageMenu m = rig.harvester.UpdateWebPageMenu();
            QString out = QString::number(rig.harvester.ParsedCount()) + ' ';
            for (bool item :
                 {m.ParseWeb, m.CopyUrl, m.SaveUrls, m.SaveCheckedUrls, m.SaveUncheckedUrls,
                  m.ClearCheckedUrls, m.ClearUncheckedUrls, m.ClearUrls})
                out += item ? '1' : '0';
            for (int i = 0; i < rig.pages.ListCount(); ++i)
                out += ' ' + rig.pages.List(i) + (rig.pages.Selected(i) ? "*" : "");
            return out.replace(m_nginx.url(""), "~");
        };
        QCOMPARE(state(), "0 00000000");
        // Cancelled or blank: nothing happens.
        rig.dialogs.addresses << std::nullopt << "   ";
        QVERIFY(!rig.harvester.ParseWebPage() && !rig.harvester.ParseWebPage());
        // A numbered range goes to the job list, limited to its free rows; no page is fetched.
        rig.jobList.AddItem(m_nginx.url("/FILES/known.JPG"));
        rig.dialogs.addresses.enqueue("http://example.test/img");
        rig.dialogs.ranges.enqueue({"http://example.test/1.jpg", "http://example.test/2.jpg"});
        QVERIFY(!rig.harvester.ParseWebPage());
        QVERIFY(rig.dialogs.freeRows == Rowvane::MaxRows - 1 && rig.jobList.ListCount() == 3);

        // No scheme: "http://" is prefixed.
        const QString files = m_nginx.url("/files/");
        const QString page = m_nginx.url("/g/index.html");
        rig.dialogs.addresses.enqueue("  " + page.mid(7));
        QSignalSpy busy(&rig.harvester, &PageHarvester::BusyChanged);
        QSignalSpy filed(&rig.harvester, &PageHarvester::PageFiled);
        QSignalSpy props(&rig.harvester.Parser(), &HtmlParser::PropertyChanged);
        QVERIFY(rig.harvester.ParseWebPage());
        QCOMPARE(rig.harvester.ToolTip(), QString("Fetching and parsing webpage..."));
        QVERIFY(!rig.harvester.ParseWebPage(page)); // one page at a time
        QCOMPARE(rig.dialogs.messages(), QStringList({"Not available now. Try later."}));
        QVERIFY(filed.wait(15000) && busy.count() == 2 && filed.at(0).at(1).toInt() == 3);
        QCOMPARE(rig.harvester.ToolTip(), QString("Ideal..."));
        QVERIFY(props.contains({QString("IsActive")}) && props.contains({QString("HasLinks")}));
        QCOMPARE(Rig::rows(rig.jobList, 3).replace(files, "~"), "~a.JPG ~b.jpg ~pack.zip");
        QCOMPARE(state(), "1 11110101 ~/g/index.html*"); // only the page itself, checked as parsed

        // Pictures count for gif, jpg and png only; .jpeg is not .jpg; duplicates stay.
        QStringList found; // the mailto: link among the jpg links
        for (const char* type : {" jpg ", ".gif", "png", "bmp", ""})
            found << QString::number(rig.harvester.Parser().GetLinks(type).size());
        QCOMPARE(found.join(' '), "5 1 1 0 10");

        // The dialog shows the last address; "HTTP://" is not prefixed again nor a new row.
        rig.dialogs.addresses.enqueue(std::nullopt);
        QVERIFY(!rig.harvester.ParseWebPage());
        QCOMPARE(rig.dialogs.asked.last().text, page);
        rig.options.setListUrl(true);
        rig.dataTypes.setChecked(1, true); // gif: the picture shown on the page
        rig.dialogs.addresses.enqueue("HTTP://" + page.mid(7));
        QVERIFY(rig.harvester.ParseWebPage() && filed.wait(15000));
        QCOMPARE(rig.dialogs.messages().size(), 1); // a page that came shows no error
        QCOMPARE(rig.jobList.List(rig.jobList.ListCount() - 1), files + "thumb.gif");

        // The found page can be harvested in turn from its row.
        rig.pages.setListIndex(1);
        rig.harvester.ParseThisPage();
        QVERIFY(filed.wait(15000));
        QCOMPARE(rig.jobList.List(rig.jobList.ListCount() - 1), m_nginx.url("/g/n.jpg"));
        rig.pages.AddItem("http://a.example/one.html");
        rig.pages.AddItem("http://a.example/two.html");
        rig.pages.setListIndex(2);
        QCOMPARE(state(), "3 11111111 ~/g/index.html* ~/g/next.html* http://a.example/one.html "
                          "http://a.example/two.html"); // the first page parsed twice
        rig.harvester.CopyThisItem();
        QCOMPARE(rig.dialogs.clipboard, QString("http://a.example/one.html"));
        // Save Checked appends the parsed pages; Save Unchecked the others.
        const QString path = m_dir.filePath("web.txt");
        rig.dialogs.files << path << path;
        rig.harvester.SaveCheckedUrls();
        rig.harvester.SaveUncheckedUrls();
        QCOMPARE(QString(readFile(path)).replace(m_nginx.url(""), "~"),
                 "~/g/index.html\n~/g/next.html\nhttp://a.example/one.html\nhttp://a.example/"
                 "two.html\n");

        // Clear Checked takes two from the parsed count: the checked items stay enabled.
        rig.harvester.ClearCheckedUrls();
        rig.pages.setListIndex(0);
        QCOMPARE(state(), "1 11111111 http://a.example/one.html http://a.example/two.html");
        rig.harvester.ClearUncheckedUrls();
        QCOMPARE(state(), "1 00010100");

        // Clear Page Links asks first; No keeps the list, Yes clears it and the count.
        rig.pages.AddItem("http://a.example/three.html");
        rig.dialogs.answers << Dialogs::Answer::No << Dialogs::Answer::Yes;
        rig.harvester.ClearUrls();
        QVERIFY(rig.pages.ListCount() == 1 &&
                rig.dialogs.asked.last().text == QString("Clear the page links ?"));
        rig.harvester.ClearUrls();
        QVERIFY(rig.pages.ListCount() == 0 && rig.harvester.ParsedCount() == 0);

        // A redirection's Location on the wire: escapes kept; a host with a bare LF fails.
        const std::pair<QByteArray, QByteArray> hops[] = {
            {"/new%20name.bin?k=a%2Fb#top", "GET /new%20name.bin?k=a%2Fb HTTP/1.0\r\n"},
            {"http://evil\nX-Injected: 1/p", ""}, // no second request
        };
        for (const auto& [location, second] : hops) {
            ScriptedServer redirector;
            redirector.addConnection(ServerScript::reply(
                "HTTP/1.0 302 Found\r\nLocation: " + location + "\r\nContent-Length: 0\r\n\r\n"));
            redirector.addConnection(
                ServerScript::reply("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok"));
            QTemporaryDir dir;
            HttpFiles slot;
            SlotRecorder rec(&slot);
            SlotRecorder::makeQuick(&slot);
            slot.setRedirection(true);
            slot.GetRemoteFile(redirector.url("/old.bin"), dir.filePath("n.bin"), 0, 0);
            WAIT_ENDED(rec, 10000);
            QCOMPARE(rec.milestones().contains("DownloadComplete"), !second.isEmpty());
            QVERIFY(redirector.requests().value(1).startsWith(second));
            QCOMPARE(redirector.connectionCount(), second.isEmpty() ? 1 : 2);
            QCOMPARE(rec.errors().join(u' ').contains("Unsupported URL"), second.isEmpty());
        }
    }
    // A script of list operations and what it leaves: "rows|current row|refused steps", a row
    // "text*/b.f" when selected or of colours b, f. Steps: "+x" adds x ("+x@n:f:b:c" at row n,
    // font f, colours b, c), "-n" removes, "=n:x" writes, "in" makes current, "an:f:b:c" sets
    // the look of row n, "*n" selects, "xn:m" swaps, "dn" duplicate rule, "sn" sort order,
    // "C" clears, "R" resets looks, "cRGB" adds a colour, "Fn:RGB" sets a row's fore colour,
    // "kn:RGB" asks colour n is RGB, "?s:x:m:n": asks the first x from s is row n, "f" a font.
    // "L...": with the notices a view hears: repaint "C" (once per bulk "{" "}" or "B" "U"),
    // inserted "I", removed "D", replaced "R" (not for colours), reset "Z", scroll "V", Click
    // "K" when the first row arrives or the list is cleared.
    void rowScripts()
    {
        const char* const rows[][2] = {
            {"+b +c +a@0 +d@3 +e@5 +e@-2", "a,b,c,d|0|+e@5 +e@-2"},
            {"+abc d1 +ABC +abc d2 +ABC +abc d0 +abc", "abc,ABC,abc|0|+ABC +abc +abc"},
            {"+abc +ABC d1 -0 +abc", "ABC|0|+abc"},
            {"+abc +ABC d1 -0 -0 +abc", "abc|0|"},
            {"d1 +x =0:Y +x +y", "Y,x|0|+y"},
            {"d1 +y C +y", "y|0|"},
            {"s0 +b +a +c", "b,a,c|0|"},
            {"s1 +b +a +c", "a,b,c|0|"},
            {"s2 +b +a +c", "c,b,a|0|"},
            {"s1 +b@0 +B@0 +a@0 +A@0 +_@0 +ab@0", "A,B,_,a,ab,b|0|"},
            {"s1 +a +b =0:zzz", "a,b|0|"},
            {"+b +a +c s2", "c,b,a|0|"},
            {"+b +a +c s2 s1 +d", "a,b,c,d|0|"},
            {"+b +a +c s2 s1 +d s0 s0", "d,c,b,a|0|"},
            {"+a +b +c +d i3 -3", "a,b,c|2|"},
            {"+a +b +c +d i1 -0", "b,c,d|1|"},
            {"+a -1 --1 -0", "|-1|-1 --1"},
            {"+a +b i2 i-2", "a,b|0|i2 i-2"},
            {"+a +b i-1", "a,b|-1|"},
            {"+a +B +b +a ?0:a:0:0 ?1:a:0:3 ?0:b:0:2 ?0:b:1:1 ?4:a:0:-1", "a,B,b,a|0|"},
            {"+a +B +b c123456 a2:0:2:2 a3:0:0:1 a0:1:0:1 a0:0:3:1 +e@-1:0:3:1 +e@-1:1:0:1 "
             "+e@-1:0:0:-1",
             "a,B,b/2.2|0|a3:0:0:1 a0:1:0:1 a0:0:3:1 +e@-1:0:3:1 +e@-1:1:0:1 +e@-1:0:0:-1"},
            {"+a +B +b +a c123456 a2:0:2:2 F1:abcdef k3:abcdef *1 x0:1", "B*/0.3,a,b/2.2,a|0|"},
            {"+a +B +b +a c123456 a2:0:2:2 F1:abcdef *1 x0:1 s1", "B*/0.3,a,a,b/2.2|0|"},
            {"+a +B +b +a c123456 a2:0:2:2 F1:abcdef *1 x0:1 s1 R", "B,a,a,b|0|"},
            {"L s1 +b { { +c } | +a } | a1:0:0:0 *1 | f a2:1:0:1 -1 | B R s2 | U i-1 C +a",
             "a|0||Z C I0 K C I1 | I0 C | C V1 C | C R22 C D1 C | Z Z | C V0 C Z C K I0 K C"},
        };
        for (const auto& [script, result] : rows) {
            Rowvane list;
            QStringList log, refused, texts;
            const auto note = [&log](const char* what) {
                return [&log, what](auto... at) {
                    log << (QString(what) + ... + QString::number(at));
                };
            };
            QObject::connect(&list, &Rowvane::Changed, note("C"));
            QObject::connect(&list, &Rowvane::Click, note("K"));
            QObject::connect(&list, &Rowvane::RowInserted, note("I"));
            QObject::connect(&list, &Rowvane::RowRemoved, note("D"));
            QObject::connect(&list, &Rowvane::RowsReplaced, note("R"));
            QObject::connect(&list, &Rowvane::RowsReset, note("Z"));
            QObject::connect(&list, &Rowvane::EnsureVisibleRequested, note("V"));
            std::vector<std::unique_ptr<RowvaneBulkChange>> bulk;
            const RowvaneFont serif{"Serif", 14};
            using S = const QString&;
            const auto n = [](S a, int i) { return a.section(':', i, i).toInt(); };
            const auto rgb = [](S a) { return a.section(':', 1).toUInt(nullptr, 16); };
            const QHash<QChar, std::function<bool(S)>> steps = {
                {'+',
                 [&](S a) {
                     const QString at = a.section('@', 1);
                     return list.AddItem(a.section('@', 0, 0), n(at, 1), n(at, 2),
                                         at.count(':') ? n(at, 3) : 1,
                                         a.contains('@') ? n(at, 0) : -1);
                 }},
                {'-', [&](S a) { return list.RemoveItem(a.toInt()); }},
                {'=', [&](S a) { return list.setList(n(a, 0), a.mid(2)), true; }},
                {'i', [&](S a) { return list.setListIndex(a.toInt()); }},
                {'d', [&](S a) { return list.setDenyStrategy(a.toInt()), true; }},
                {'s', [&](S a) { return list.setSortStrategy(a.toInt()), true; }},
                {'C', [&](S) { return list.Clear(), true; }},
                {'a', [&](S a) { return list.SetAttribute(n(a, 0), n(a, 1), n(a, 2), n(a, 3)); }},
                {'*', [&](S a) { return list.setSelected(a.toInt(), true), true; }},
                {'x', [&](S a) { return list.Swap(n(a, 0), n(a, 1)), true; }},
                {'R', [&](S) { return list.ResetList(), true; }},
                {'c', [&](S a) { return list.AddColor(a.toUInt(nullptr, 16)) > 0; }},
                {'F', [&](S a) { return list.SetItemForeColor(n(a, 0), rgb(a)); }},
                {'k', [&](S a) { return list.Color(n(a, 0)) == rgb(a); }},
                {'?',
                 [&](S a) {
                     return list.GetItemIndex(n(a, 0), a.section(':', 1, 1), n(a, 2)) == n(a, 3);
                 }},
                {'f', [&](S) { return list.AddFont(serif); }},
                {'B', [&](S) { return list.BlockUpdate(), true; }},
                {'U', [&](S) { return list.Update(), true; }},
                {'{', [&](S) { return bulk.emplace_back(new RowvaneBulkChange(list)), true; }},
                {'}', [&](S) { return bulk.pop_back(), true; }},
                {'|', [&](S) { return log << "|", true; }},
                {'L', [&](S) { return true; }},
            };
            for (const QString& step : QString(script).split(' '))
                if (!steps[step[0]](step.mid(1)))
                    refused << step;
            for (int i = 0; i < list.ListCount(); ++i) {
                const QString look =
                    QString("/%1.%2").arg(list.BackColorID(i)).arg(list.ForeColorID(i));
                texts << list.List(i) + (list.Selected(i) ? "*" : "") +
                             (look == "/0.1" ? "" : look);
            }
            QVERIFY(list.List(list.ListCount()).isNull() && !list.Selected(list.ListCount()));
            QCOMPARE(texts.join(',') + '|' + QString::number(list.ListIndex()) + '|' +
                         refused.join(' ') + (*script == 'L' ? '|' + log.join(' ') : ""),
                     QString(result));
        }

        Rowvane list;
        list.setBackColor(0x00FF00); // the back colour is entry 0
        QCOMPARE(QList<int>({list.AddColor(0x00FF00), list.AddColor(Rowvane::DefaultForeColor),
                             list.AddColor(0x10), list.AddColor(0x10)}),
                 QList<int>({0, 1, 2, 2}));
        for (quint32 v = 0x100; list.MaxColors() < Rowvane::MaxColorEntries; ++v)
            list.AddColor(v);
        QCOMPARE(list.AddColor(0xFFFFFF), 0); // full
        QCOMPARE(list.MaxColors(), 10001);
        QVERIFY(!list.RemoveColor(1) && !list.RemoveColor(0) && !list.RemoveColor(10001));
        // Rows pointing past the shrunk table are pulled to its new upper bound.
        list.AddItem("a", 0, 10000, 5000);
        QVERIFY(list.RemoveColor(2));
        QCOMPARE(list.BackColorID(0) * 10000 + list.ForeColorID(0), 9999 * 10000 + 5000);
        // The removed value can come back, and later values are found at their new place.
        QCOMPARE(list.AddColor(0x100), 2);
        QVERIFY(list.RemoveColor(9999));
        QCOMPARE(list.AddColor(0x10), 9999);

        const RowvaneFont bold{.Bold = true};
        for (int i = 1; i < 256; ++i)
            QVERIFY(list.AddFont(bold));
        QVERIFY(!list.AddFont(bold) && !list.RemoveFont(0) && !list.RemoveFont(256));
        list.AddItem("b", 255, 0, 1);
        QVERIFY(list.RemoveFont(3));
        QCOMPARE(list.FontID(1), 254);
        QVERIFY(list.FontAt(254).Bold);
        // When the 16-bit look ids run out, unused looks are dropped and rows keep theirs.
        list.setSelected(1, true);
        for (int back = 0; back < 300; ++back)
            for (int fore = 0; fore < 300; ++fore)
                list.SetAttribute(0, 0, back, fore);
        QCOMPARE(list.BackColorID(0) * 1000 + list.ForeColorID(0), 299299);
        QVERIFY(list.FontID(1) == 254 && list.Selected(1) && !list.Selected(0));

        // Packed row texts read back exactly; the duplicate questions agree with a plain model.
        QRandomGenerator random(7);
        const QStringList pieces{
            "http://h.example/d/", "HTTP://H.EXAMPLE/D/", "\u00df", "\u00e9", "x",
            QChar(0xD800),         QString(300, 'p')};
        Rowvane packed;
        packed.setDenyStrategy(1);
        QStringList model, folded;
        for (int step = 0; step < 4000; ++step) {
            QString t;
            for (int n = random.bounded(1, 4); n-- > 0;)
                t += pieces.at(random.bounded(int(pieces.size())));
            t += QString::number(random.bounded(40));
            const int row = model.isEmpty() ? -1 : random.bounded(int(model.size()));
            const int op = row < 0 ? 0 : random.bounded(4);
            if (op < 2) {
                const bool fresh = !folded.contains(t.toCaseFolded());
                QCOMPARE(packed.AddItem(t), fresh);
                if (fresh) {
                    model << t;
                    folded << t.toCaseFolded();
                }
            } else if (op == 2) {
                QVERIFY(packed.RemoveItem(row));
                model.removeAt(row);
                folded.removeAt(row);
            } else {
                packed.setList(row, model[row] = t);
                folded[row] = t.toCaseFolded();
            }
            QCOMPARE(packed.InList(t, 0), model.contains(t));
            QCOMPARE(packed.InList(t.toUpper(), 1), folded.contains(t.toUpper().toCaseFolded()));
        }
        QCOMPARE(Rig::rows(packed), model.join(' '));
    }

    // A file-type list from its stored text ("@n": n rows, shown as their count), then edits:
    // "+x" types x into the add dialog ("+" alone cancels), "-Y"/"-N" answers the remove
    // question, "iN" makes row N current, "cN"/"uN" checks/unchecks it. What is left: the rows,
    // the current row, "*" when marked, the Modified count, the checked types' pattern, the text.
    void typeListEdits()
    {
        const QString bad = "Invalid character found! '/', '\\' ,'*'";
        const QString remove = "Remove the selected file type?";
        const std::array<QString, 3> rows[] = {
            {"|jpg/1|gif/0|png/1", "", "jpg+ gif- png+|0-0|(\\.jpg|\\.png)|"},
            {"jpg/2|a/x|b/ 3|c/-1|d/1/0", "", "jpg+ a- b+ c- d+|0-0|(\\.jpg|\\.b|\\.d)|"},
            {"||png/1||", "", "png+|0-0|(\\.png)|"},
            {"", "", "|-1-0||"},
            {"/1", "", "+|0-0|(\\.)|"},
            {"jpg", "+mp4", "jpg- mp4-|0*1||"},
            {"jpg/1", "+  .webm ", "jpg+ webm-|0*1|(\\.jpg)|"},
            {"jpg/1", "+.JPG", "jpg+|0-0|(\\.jpg)|This file type is already in list!"},
            {"jpg/1", "+abcdefg",
             "jpg+|0-0|(\\.jpg)|Invalid value! It must be between 1 to 6 characters long."},
            {"jpg/1", "+a/b;+a\\b;+*", "jpg+|0-0|(\\.jpg)|" + bad + "/" + bad + "/" + bad},
            {"jpg/1", "+ ;+.;+", "jpg+|0-0|(\\.jpg)|"},
            {"@100", "+new", "101|0*1||"},
            {"@101", "+new",
             "101|0-0||There are already more than 100 file types. New types cannot be added."},
            {"jpg/1", "-Y", "jpg+|0-0|(\\.jpg)|This is the only file type left! Cannot remove it."},
            {"jpg/1|b/1|c/0", "i2;-N;-Y", "jpg+ b+|1*1|(\\.jpg|\\.b)|" + remove + "/" + remove},
            {"jpg/1|b/1", "i-1;-Y", "jpg+ b+|-1-0|(\\.jpg|\\.b)|" + remove},
            {"jpg/1|b/1", "c5;u1", "jpg+ b-|0*1|(\\.jpg)|"},
        };
        for (const auto& [text, script, expected] : rows) {
            FileTypeList list;
            const int many = text.startsWith('@') ? text.mid(1).toInt() : 0;
            list.StringToList(many ? "t/0" + QString("|t/0").repeated(many - 1) : text);
            QSignalSpy modified(&list, &FileTypeList::Modified);
            ScriptedDialogs dialogs;
            for (const QString& step : script.split(';', Qt::SkipEmptyParts)) {
                const QString arg = step.mid(1);
                if (step[0] == '+') {
                    dialogs.inputs << (arg.isEmpty() ? std::nullopt : std::optional(arg));
                    list.AddFileType(dialogs);
                } else if (step[0] == '-') {
                    dialogs.answers << (arg == "Y" ? Dialogs::Answer::Yes : Dialogs::Answer::No);
                    list.RemoveFileType(dialogs);
                } else if (step[0] == 'i') {
                    list.setListIndex(arg.toInt());
                } else {
                    list.setChecked(arg.toInt(), step[0] == 'c');
                }
            }
            QString got = many ? QString::number(list.ListCount()) : ""; // or the types
            for (int i = 0; !many && i < list.ListCount(); ++i)
                got += list.Text(i) + (list.Checked(i) ? "+ " : "- ");
            got = got.trimmed() + QString("|%1%2%3|")
                                      .arg(list.ListIndex())
                                      .arg(list.Marked() ? '*' : '-')
                                      .arg(modified.count());
            QCOMPARE(got + list.BuildExtPattern() + '|' + dialogs.messages().join('/'), expected);
            for (const auto& a : dialogs.asked)
                QVERIFY(!a.text.endsWith('?') || a.buttons == Dialogs::Buttons::YesNo);
        }
    }

    // Whether a text holds a link for a template and an extension pattern; the list menu.
    void linkPatternsAndMenu()
    {
        const QString t = QStringLiteral("(https?://[^<=\\?\\+>]+$Ext)");
        const QString classic = QStringLiteral("(http://[^<=\\?\\+>]+$Ext)");
        const std::tuple<QString, QString, QString, bool> rows[] = {
            {t, DataExt, "HTTPS://H/A.ZIP", true},
            {t, DataExt, "text <a href=http://h/a.jpg> x", true},
            {t, DataExt, "line\nhttp://h/a.jpg", true},
            {t, DataExt, "http://h/a.gif", false},
            {classic, "", "go to http://x", true}, // no types: any address
            {classic, "", "http://", false},
            {"", "", "anything", true},
            {"(http://[^>+$Ext", DataExt, "http://h/a.jpg", false}, // broken template
            {t, "(\\.jp(g)", "http://h/a.jpg", false},
        };
        for (const auto& [templ, ext, text, matches] : rows) {
            const LinkPattern pattern(templ, ext);
            QVERIFY2(pattern.Matches(text) == matches, qPrintable(text));
            QCOMPARE(pattern.ErrorText().isEmpty(), pattern.IsValid());
        }
        // "$Ext" is found in any case; blanks around the template are stripped.
        QCOMPARE(LinkPattern::Build("  x$EXT|$ext  ", "E"), QString("(xE|E)"));

        // Rows, current, running, clipboard, cut; completed, failed, next, block; enabled items.
        const std::pair<std::array<int, 9>, const char*> menus[] = {
            {{0, -1, 0, 0, 0, 0, 0, 0, -1}, "00000000000000"},
            {{5, 2, 0, 1, 0, 0, 0, 0, -1}, "11001001100110"},
            {{5, 0, 0, 0, 0, 3, 2, 5, 5}, "10111110000110"},
            {{5, 3, 1, 0, 0, 1, 0, 2, 5}, "11010000010100"},
            {{5, 2, 1, 0, 0, 0, 0, 2, 5}, "11000000010100"}, // the next job may take the block
            {{5, 2, 1, 0, 0, 0, 0, 1, 2}, "11000000011100"},
            {{5, 4, 1, 0, 0, 0, 0, 1, 5}, "11000000000100"},
            {{4, 1, 0, 0, 1, 0, 0, 0, -1}, "11001000000111"},
            {{4, -1, 0, 0, 1, 0, 0, 0, -1}, "11001000000000"},
        };
        for (const auto& [in, enabled] : menus) {
            ManagerState state;
            std::tie(state.CompletedJobs, state.FailedJobs, state.NextJob, state.BlockIndex) =
                std::tuple(in[5], in[6], in[7], in[8]);
            const DownloadListMenu m =
                DownloadListMenu::For(state, {in[0], in[1], in[2] != 0, in[3] != 0, in[4] != 0});
            QString got;
            for (bool item : {m.Save, m.SaveUnchecked, m.SaveFailed, m.SaveCompleted, m.Clear,
                              m.ClearFailed, m.ClearCompleted, m.PasteFiltered, m.PasteUnfiltered,
                              m.Block, m.Unblock, m.Copy, m.Cut, m.Paste})
                got += item ? '1' : '0';
            QCOMPARE(got, QString(enabled));
        }

        ManagerRig rig(2);
        QVERIFY(rig.m->PageExtPattern().endsWith(QStringLiteral("\\.cgi)(\\?.*)?")));
        // Unchecking a data type takes it out of the pattern at once.
        QVERIFY(rig.m->DataExtPattern().contains(QStringLiteral("\\.jpg|")));
        rig.m->DataTypes().setChecked(0, false);
        QVERIFY(!rig.m->DataExtPattern().contains(QStringLiteral("\\.jpg")));

        // A Save that cannot write says where and keeps the options marked.
        const QString ini = m_dir.filePath(QStringLiteral("blocked.ini"));
        QVERIFY(QDir().mkpath(ini)); // the settings file is a folder
        SettingsStore blocked(ini);
        DownloadManager m(rig.dialogs, blocked);
        m.options().setKeepAlive(false);
        QVERIFY(!m.SaveSettings());
        QVERIFY(m.options().SaveEnabled());
        QVERIFY(rig.dialogs.messages().constLast().contains(ini));
        QVERIFY(QDir().rmdir(ini) && m.SaveSettings()); // and it saves once it can
    }

    // Values of one key, stored and loaded or typed ("t") into its box: "input>result" cases
    // split by '#', the result what the option (its box text; the parsed rectangle) holds
    // after, "!" when refused or not taken, "*" the default colours.
    void valueRules()
    {
        const char* const rows[][2] = {
            {"Max Parallel", "0>1#25>20#40000>7!"},
            {"Path Option", "-1>0#3>2"},
            {"PBar UI", "11>10#0>1"},
            {"TBar UI", "8>7"},
            {"MAX-Try", "0>2#1>1#1e6>6!"},
            {"Busy-Wait", "5>10#150>120#255>120#256>10!"},
            {"Connect-Timeout", "3>10#500>500#nan>10"},
            {"MinImgSize", "12.5>12#5e9>0!"},
            {"Keep-Alive", "2>0#3>1!"}, // only 1 is checked
            {"Connect At Once", "-1>0!"},
            {"Clear List", "1>1"},
            {"DataExt", "jpg/1|gif/0>jpg/1|gif/0"},
            {"ColorSettings", "1;2;3;4;5;6;7;8;junk;>1;2;3;4;5;6;7#1;;3;4;5;6;>1;0;3;4;5;6;0#>*"},
            {"ColorSettings", "5;6>5;6;8421376;9633792;8421376;14206136;0#1;4294967296;3>*!"},
            {"ColorSettings", "-2147483633;4294967295;3;4;5;6;7>2147483663;4294967295;3;4;5;6;7"},
            {"WinRect", "10.5|2|300px|400>10,2 300x400#1|2|3>-#1|2|-3|4>-#1|2|0|4>-"},
            {"WinRect", "1|2|3|99999999999>-"},
            {"+MAX-Try", "1>2#12>10#6.5>6"},
            {"+Busy-Wait", "4>10#150>120#255.4>120#-0.4>10#300>60!#1e99>60!"}, // a byte
            {"+Connect-Timeout", "3>10#1e12>32767"},
            // The size box reads the number a text starts with, not other digits.
            {"+MinImgSize", "abc>0# \t\r\n 42>42#12 bytes>12#2.5>2#3.5>4#.6>1#1.5e3>1500"},
            {"+MinImgSize", "5e>5#25E-1>2#1e999>2147483647#99999999999>2147483647"},
            {"+MinImgSize", "-1e300>-2147483648#\xD9\xA1\xD9\xA2>0"},
        };
        for (const auto& [keyText, cases] : rows) {
            for (const QString& c : QString::fromUtf8(cases).split('#')) {
                const bool typed = *keyText == '+';
                const QString key = keyText + typed, input = c.section('>', 0, 0),
                              row = key + '=' + c;
                const bool refused = c.endsWith('!');
                const QString result = c.section('>', 1).remove('!').replace(
                    "*", "9633792;16777088;8421376;9633792;8421376;14206136;0");
                QTemporaryDir dir; // the stored value, as a hand-written file holds it
                writeFile(dir.filePath("in.ini"), "[Configurations]\n" +
                                                      QString(key).replace(' ', "%20").toUtf8() +
                                                      "=\"" + input.toUtf8() + "\"\n");
                SettingsStore store(dir.filePath("in.ini"));
                Options options;
                if (!typed) {
                    options.setListUrl(true); // a change before a load does not survive it
                    QCOMPARE(options.LoadSettings(store),
                             refused ? QStringList{key} : QStringList());
                    QVERIFY(!options.SaveEnabled() && !options.AnyMarked() && !options.ListUrl());
                } else {
                    options.EditBusyWait("60");
                    options.ClearSettingMarks();
                    const auto edit = key == "MAX-Try"     ? &Options::EditMaxTry
                                      : key == "Busy-Wait" ? &Options::EditBusyWait
                                                           : &Options::EditConnectTimeout;
                    if (key == "MinImgSize") { // the size box keeps what was typed until left
                        options.EditMinImgSize(input);
                        QCOMPARE(options.MinImgSizeText(), input);
                    }
                    const QString shown =
                        key == "MinImgSize" ? options.ValidateMinImgSize() : (options.*edit)(input);
                    QCOMPARE(options.SaveEnabled(), !refused);
                    QCOMPARE(shown, QString(refused ? input : result));
                }
                const auto n = [](qint64 v) { return QString::number(v); };
                const std::optional<QRect> r = Options::ParseWinRect(options.WinRect());
                QStringList colors;
                for (const quint32 c : options.ColorValues())
                    colors << n(c);
                const QString rect =
                    r ? QString("%1,%2 %3x%4")
                            .arg(n(r->x()), n(r->y()), n(r->width()), n(r->height()))
                      : "-";
                const QHash<QString, QString> now = {
                    {"Max Parallel", n(options.MaxParallel())},
                    {"Path Option", n(options.PathOption())},
                    {"PBar UI", n(options.PBarStyle())},
                    {"TBar UI", n(options.TBarStyle())},
                    {"MAX-Try", options.MaxTryText()},
                    {"Busy-Wait", options.BusyWaitText()},
                    {"Connect-Timeout", options.ConnectTimeoutText()},
                    {"MinImgSize", n(options.MinImgSize())},
                    {"Keep-Alive", n(options.KeepAlive())},
                    {"Connect At Once", n(options.ConnectAtOnce())},
                    {"Clear List", n(options.ClearList())},
                    {"DataExt", options.DataExt()},
                    {"ColorSettings", colors.join(';')},
                    {"WinRect", rect}};
                QVERIFY2(now.value(key) == result, qPrintable(row));
                QCOMPARE(
                    options.TryCount() * 10000 + options.BusyWait() * 100 + options.ConnTimeout(),
                    options.MaxTryText().toInt() * 10000 + options.BusyWaitText().toInt() * 100 +
                        options.ConnectTimeoutText().toInt());
            }
        }

        // A bad value in a hand-written file costs only its option; saves write only marked keys.
        QTemporaryDir dir;
        const QString path = dir.filePath("settings.ini");
        const QString base = dir.filePath(QString::fromUtf8("D\xC3\xA9p\xC3\xB4t"));
        writeFile(path, "; written by hand\n[Configurations\nnonsense line\n[Configurations]\n"
                        "Base%20Dir=" +
                            base.toUtf8() +
                            "\nMax%20Parallel=40000\n"
                            "Clear%20List=1\nKeep-Alive=0\nColorSettings=\"1;2;3;4;5;6;7;\"\n"
                            "MinImgSize=2048\nDataExt=jpg/1,gif/0\nUrlExt=html/1\nMAX-Try=1e6\n"
                            "Busy-Wait=30\nWinRect=100|200|9000|7000\n\"unterminated\n");
        SettingsStore store(path);
        Options options;
        QCOMPARE(options.LoadSettings(store), QStringList({"Max Parallel", "MAX-Try"}));
        QCOMPARE(options.BaseDir(), base);
        QVERIFY(!options.BaseDirIsDefault());
        QVERIFY(!QDir(base).exists()); // a stored folder is used as stored

        QCOMPARE(options.SliderMouseUp(2000, 2000), 20);
        options.setClearList(false);
        options.setUrlExt("htm/1");
        options.setPBarStyle(5); // no mark: not written by a save
        QVERIFY(options.SaveSettings(store));
        QVERIFY(!options.SaveEnabled() && !options.AnyMarked());
        options.SetSaveEnabled(true); // with nothing marked, nothing is written
        QVERIFY(options.SaveSettings(store));
        QVERIFY(Options::SaveInterfaceSettings(store, {}, 4, {}, QString("1;2")));
        QVERIFY(Options::SaveInterfaceSettings(store, dir.path(), {}, 2, {}));
        QVERIFY(options.SaveWindowRect(store, QRect(-300, 15, 12000, 9000)));
        QCOMPARE(options.WinRect(), "-300|15|12000|9000");
        QList<QPair<QString, QString>> expected = {
            {"Base Dir", dir.path()}, {"Max Parallel", "20"}, {"Clear List", "0"},
            {"Keep-Alive", "0"},      {"UrlExt", "htm/1"},    {"DataExt", "jpg/1,gif/0"},
            {"MAX-Try", "1e6"},       {"MinImgSize", "2048"}, {"WinRect", "-300|15|12000|9000"},
            {"PBar UI", "4"},         {"TBar UI", "2"},       {"ColorSettings", "1;2"},
        };
        // Texts that INI syntax would otherwise bend come back unchanged.
        for (const char* text : {"1;2;3;", "a, b, c", " padded ", "x=y", "@Variant(0)",
                                 "\"quoted\"", "back\\slash", "#hash", ""}) {
            expected.append({QString("Key %1").arg(expected.size()), text});
            QVERIFY(store.Set(expected.last().first, text));
        }
        SettingsStore reread(path);
        for (const auto& [key, value] : expected)
            QCOMPARE(reread.Get(key, "<missing>"), value);
        QVERIFY(reread.Contains("Key 20") && !reread.Contains("Key 21"));
        QSettings raw(path, QSettings::IniFormat);
        raw.beginGroup("Configurations");
        QCOMPARE(raw.allKeys().size(), expected.size() + 1); // and the Busy-Wait kept
        QVERIFY(readFile(path).contains("Max%20Parallel=20\n"));
        Options other;
        other.LoadWindowRect(store);
        QCOMPARE(other.WinRect(), "-300|15|12000|9000");

        // Where a click at x on a slider of that width lands, in steps from 1.
        const int slides[][4] = {{2600, 2000, 20, 20}, {-40, 2000, 20, 1},   {700, 2000, 20, 7},
                                 {701, 2000, 20, 8},   {1999, 2019, 20, 20}, {3, 0, 20, 3},
                                 {149, 150, 7, 7},     {42, 150, 7, 2}};
        for (const auto& [x, width, steps, step] : slides)
            QCOMPARE(Options::SliderStep(x, width, steps), step);

        // The user's store: $XDG_CONFIG_HOME/Harvex®/Harvex®.ini.
        QCOMPARE(SettingsStore().FileName(),
                 m_dir.filePath("config/Harvex\u00ae/Harvex\u00ae.ini"));
        // An empty store gives the defaults, the download folder made in the home.
        QTemporaryDir emptyDir;
        SettingsStore empty(emptyDir.filePath("empty.ini"));
        Options fresh;
        QVERIFY(fresh.LoadSettings(empty).isEmpty());
        QVERIFY(!QFile::exists(empty.FileName())); // loading never writes
        QVERIFY(fresh.BaseDirIsDefault());
        QCOMPARE(fresh.BaseDir(),
                 QStandardPaths::writableLocation(QStandardPaths::DownloadLocation));
        QVERIFY(fresh.BaseDir().startsWith(m_dir.path()));
        QVERIFY(QDir(fresh.BaseDir()).exists()); // created when it is the default

        QSignalSpy enabled(&fresh, &Options::saveEnabledChanged);

        // Every way of editing marks exactly its own option, even with no change.
        QList<QPair<Option, std::function<void()>>> edits = {
            {Option::MaxParallel, [&] { fresh.SliderMouseUp(10, 200); }},
            {Option::MaxParallel, [&] { fresh.setMaxParallel(21); }},
            {Option::TryCount, [&] { fresh.EditMaxTry(fresh.MaxTryText()); }},
            {Option::BusyWait, [&] { fresh.EditBusyWait("10"); }},
            {Option::ConnTimeout, [&] { fresh.EditConnectTimeout("20"); }},
            {Option::MinImgSize, [&] { fresh.EditMinImgSize("0"); }},
            {Option::PathOption, [&] { fresh.setPathOption(0); }},
            {Option::DataExt, [&] { fresh.setDataExt(fresh.DataExt()); }},
            {Option::UrlExt, [&] { fresh.setUrlExt("htm/1"); }},
        };
        for (int i = 0; i < Options::OptionCount; ++i)
            if (Options::IsCheckOption(Option(i)))
                edits.append(
                    {Option(i), [&, i] { fresh.setCheck(Option(i), fresh.Check(Option(i))); }});
        QCOMPARE(edits.size(), 9 + 12);
        for (const auto& [option, edit] : edits) {
            fresh.ClearSettingMarks();
            edit();
            QVERIFY(fresh.SaveEnabled());
            for (int i = 0; i < Options::OptionCount; ++i)
                QCOMPARE(fresh.Marked(Option(i)), Option(i) == option);
        }
        QCOMPARE(enabled.size(), 2 * edits.size() - 1);

        // No mark: the size box validated, the dialog's fresh, refused values.
        fresh.ClearSettingMarks();
        fresh.ValidateMinImgSize();
        fresh.setPBarStyle(3);
        fresh.setTBarStyle(2);
        QVERIFY(fresh.setColorSettings("1;2;3;4;5;6;7"));
        QVERIFY(!fresh.setColorSettings("1e30") && fresh.setColorSettings(""));
        QCOMPARE(fresh.ColorSettings(), "1;2;3;4;5;6;7");
        fresh.setPathOption(3);
        fresh.setPathOption(-1);
        fresh.setCheck(Option::MaxParallel, true);
        QVERIFY(!fresh.SaveEnabled() && !fresh.AnyMarked());
        QCOMPARE(fresh.PathOption() * 100 + fresh.MaxParallel(), 20); // 21 bounded
    }

    // param.dat lines, read whole, in two pieces and in 1000-byte pieces.
    void paramLines()
    {
        const QByteArray longValue(ParamFileParser::MaxLineLength, 'x');
        const QByteArray fits(ParamFileParser::MaxLineLength - 9, 'y');
        const std::pair<QByteArray, QString> rows[] = {
            {"$accept=a/b\n", "Accept+a/b"},
            {"$Accept-Encoding=br\n", "Enc+br"},
            {"$DEF_EXT =.x\n$ACCEPT =a\n", ""}, // a blank before "=": unknown key
            {"\t$ACCEPT=a\n", ""},
            {"$DEF_EXT=\n", "DefExt="},
            {"$ERR_CODES=  404  \n", "ErrCodes=  404"},
            {"$USER_AGENT=\n", "UA+"},
            {"$ACCEPT=    \n$ACCEPT-LANGUAGE=\n", ""},
            {"$ACCEPT-LANGUAGE=   fr, en  \n", "Lang+fr, en"},
            {"$DEF_DATA_FILTER=a=b=c\n", "DataFilter=a=b=c"},
            {"   #$ACCEPT=a\n#\n", ""},
            {"$ACCEPT\n=a\n$ACCEPTX=a\n$USER-AGENT=a\n $ ACCEPT=a\n", ""},
            {"$ERR_CODES=404\n$err_codes=500\n", "ErrCodes=500"},
            {"$USER_AGENT=one\n$USER_AGENT= two\n", "UA+one|UA+ two"},
            {"$ACCEPT-LANGUAGE=fr-\xC3\xA9\n", QString::fromUtf8("Lang+fr-\xC3\xA9")},
            {"$ACCEPT=\xFF\xFE\n", QString::fromUtf8("Accept+\xEF\xBF\xBD\xEF\xBF\xBD")},
            {"$ACCEPT=a\r$ACCEPT=b\r$ACCEPT=c", "Accept+a|Accept+b|Accept+c"},
            {"$ACCEPT=a\r\n$ACCEPT=b\r\n", "Accept+a|Accept+b"},
            {"\xEF\xBB\xBF$ACCEPT=a\r\n\r\n$ACCEPT=b\n\r$ACCEPT=c", "Accept+a|Accept+b|Accept+c"},
            {"\xEF\xBB$ACCEPT=x", ""}, // half a BOM is text
            {"\xEF\xBB\xBF", ""},
            {MixedParams, MixedRead},
            {"$ACCEPT=a\n$USER_AGENT=" + longValue + "\r\n$ACCEPT=b\n$DEF_EXT=" + longValue,
             "Accept+a|Accept+b"},
            {"$DEF_EXT=" + fits, "DefExt=" + QString(fits)},
        };
        for (const auto& [text, read] : rows) {
            for (const qsizetype size : {text.size(), (text.size() + 1) / 2, qsizetype(1000)}) {
                QList<QByteArray> pieces;
                for (qsizetype at = 0; at < text.size(); at += size)
                    pieces.append(text.mid(at, size));
                QCOMPARE(readParams(pieces), read);
            }
        }

        // param.dat in the base folder (never the working folder): a regular file, up to a limit.
        const QString start = QDir::currentPath();
        for (const auto& [kind, complete, read] : {std::tuple{"file", true, MixedRead},
                                                   {"big", false, QString("Accept+first")},
                                                   {"folder", false, QString()},
                                                   {"fifo", false, QString()},
                                                   {"working", false, QString()}}) {
            QTemporaryDir dir;
            const QString file = dir.filePath("param.dat");
            const QByteArray filler = "# " + QByteArray(100, '-') + "\n";
            const QByteArray text =
                "$ACCEPT=first\n" + filler.repeated((ParamFileParser::MaxFileSize - 24) / 103);
            if (kind == QString("big"))
                writeFile(file, text + "$ACCEPT=cut off at the limit\n$ACCEPT=never read\n");
            else if (kind == QString("folder"))
                QVERIFY(QDir().mkdir(file));
            else if (kind == QString("fifo")) // would block a plain open
                QCOMPARE(mkfifo(QFile::encodeName(file).constData(), 0600), 0);
            else
                writeFile(file, MixedParams);
            QDir::setCurrent(dir.path());
            ParamValues values;
            ParamFile::SetBuiltIns(values);
            QCOMPARE(ParamFile::ReadParamFile(kind == QString("working") ? "" : dir.path(), values),
                     complete);
            QCOMPARE(paramChanges(values), read);
        }
        QDir::setCurrent(start);

        // A saved rectangle is brought back onto a screen there is now.
        const QList<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
        const QRect placed[][2] = {
            {QRect(100, 50, 800, 600), QRect(100, 50, 800, 600)},      // on a screen
            {QRect(5000, 3000, 800, 600), QRect(1120, 480, 800, 600)}, // off every screen
            {QRect(2000, 900, 800, 600), QRect(2000, 424, 800, 600)},  // over an edge
            {QRect(-50, -50, 4000, 3000), QRect(0, 0, 1920, 1080)},    // larger than it
            {QRect(10, 10, 100, 100), QRect(10, 10, 467, 400)},        // below the minimum
        };
        for (const auto& r : placed)
            QCOMPARE(WindowPlacement::OnScreen(r[0], screens, QSize(467, 400)), r[1]);
    }

    // Files (links too) before folders, children first; a late file keeps its folder.
    void deletesTreeButNotLinkTargets()
    {
        Tree tree;
        QVERIFY(FolderTreeDelete::IsReadOnly(tree.at("read-only")) &&
                !FolderTreeDelete::IsReadOnly(tree.root()));
        FolderTreeDelete deleter;
        deleter.setBatchSize(3);
        const QString late = tree.at("late.txt");
        const QVariantList finished = tree.run(deleter, [&](const QString& text) {
            if (text.startsWith(DirText) && !QFile::exists(late))
                writeFile(late, "x");
        });
        QCOMPARE(finished, QVariantList({false, 1,
                                         "1 item could not be deleted: " + tree.root() +
                                             " (Directory not empty)"}));
        QCOMPARE(
            QDir(tree.root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{"late.txt"});
        const QStringList& texts = tree.texts;
        QCOMPARE(texts.size(), 11 + tree.folders.size());
        QCOMPARE(texts.first(11).filter("Deleting File:").size(), 11);
        QVERIFY(texts.contains("Deleting File:" + tree.at("sub/deeper/link2")));
        QVERIFY(texts.indexOf(DirText + tree.at("sub/deeper")) > 10 &&
                texts.indexOf(DirText + tree.at("sub/deeper")) <
                    texts.indexOf(DirText + tree.at("sub")));
        QCOMPARE(texts.last(), DirText + tree.root());

        // Cancelled once the read-only folder was opened to empty it: nothing after the text
        // Cancel answered, that item and every folder stay, the folder read-only again.
        Tree second;
        FolderTreeDelete stopper;
        stopper.setBatchSize(100);
        const QVariantList cancelled = second.run(stopper, [&](const QString& text) {
            if (text.endsWith("read-only/in.txt"))
                stopper.Cancel();
        });
        QVERIFY(cancelled.value(0).toBool() && !stopper.IsRunning());
        QVERIFY(second.texts.last().endsWith("read-only/in.txt"));
        for (const QString& item : second.folders + QStringList{"read-only/in.txt"})
            QVERIFY2(QFileInfo::exists(second.at(item)), qPrintable(item));
        QVERIFY(FolderTreeDelete::IsReadOnly(second.at("read-only")));

        // A folder the tree delete ("d") or the base folder choice ("b") refuses, or a new folder's
        // name in "dl" ("n"), and the end of the refusal ("" for none); nothing is deleted.
        QTemporaryDir dir;
        const QString home = dir.filePath("home/user");
        const QString base = dir.filePath("dl/base");
        const QString readOnly = dir.filePath("ro");
        QDir().mkpath(base);
        QDir().mkpath(readOnly);
        writeFile(home + "/file", "x");
        QFile::link(dir.filePath("dl"), dir.filePath("link-to-dl"));
        QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const auto folders = [&] {
            return QDir(dir.filePath("dl")).entryList(QDir::Dirs | QDir::Hidden).size();
        };
        const char* const rows[][3] = {
            {"d", "/", " is the root of a filesystem and cannot be deleted."},
            {"d", "home/user", " is your home folder and cannot be deleted."},
            {"d", "home//user/./", " is your home folder and cannot be deleted."},
            {"d", "home", " holds your home folder and cannot be deleted."},
            {"d", "dl/base", " is the base folder and cannot be deleted."},
            {"d", "link-to-dl/base", " is the base folder and cannot be deleted."},
            {"d", "missing", " does not exist."},
            {"d", "home/user/file", " is not a folder."},
            {"d", "@relative", "Choose a folder by its full path."},
            {"b", "dl", ""},
            {"b", "@relative/folder", "a full path, starting with \"/\"."},
            {"b", "@", "a full path, starting with \"/\"."},
            {"b", "missing", "missing\" does not exist."},
            {"b", "home/user/file", "file\" is not a folder."},
            {"b", "ro", "ro\" is read-only."},
            {"n", "New Directory", ""},
            {"n", ".config", ""},
            {"n", "", "Enter a name for the new folder."},
            {"n", ".", "\".\" cannot be a folder name."},
            {"n", "..", "\"..\" cannot be a folder name."},
            {"n", "a/b", "A folder name cannot contain \"/\"."},
            {"n", "base", "/dl/base: File exists"},
        };
        for (const auto& [who, where, refusal] : rows) {
            const QString path = *where == '@'   ? QString(where + 1)
                                 : *where == '/' ? QString(where)
                                                 : dir.filePath(where);
            QString error, made;
            const qsizetype before = folders();
            if (*who == 'b') {
                error = Options::BaseDirRefusal(path);
            } else if (*who == 'n') {
                const bool ok = NewFolder::Create(dir.filePath("dl/"), where, made, error);
                QVERIFY(ok == error.isEmpty() && QFileInfo(made).isDir() == ok &&
                        folders() == before + ok);
            } else {
                FolderTreeDelete deleter;
                QSignalSpy finished(&deleter, &FolderTreeDelete::Finished);
                QVERIFY(!deleter.Start(path, base, home, error));
                QVERIFY(!deleter.IsRunning() && finished.isEmpty());
            }
            QVERIFY2(error.isEmpty() ? !*refusal : error.endsWith(refusal),
                     qPrintable(path + error));
        }
        QVERIFY(QFile::exists(home + "/file") && QFileInfo(base).isDir());
        QVERIFY(FolderTreeDelete::Refusal(dir.filePath("link-to-dl"), base, home).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestHarvest)
#include "test_harvest.moc"
