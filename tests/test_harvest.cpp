// SPDX-License-Identifier: GPL-3.0-or-later
// Harvesting: the page's charset, link extraction and resolution (pure functions), then
// fetching pages over loopback from nginx and a scripted server into the job list and the
// web page list, and that list's commands. Arbitrary pages are left to the fuzzer.
#include "support/NginxFixture.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedServer.h"
#include "support/TestFiles.h"

#include "harvest/HtmlLinks.h"
#include "harvest/HtmlParser.h"
#include "harvest/PageCharset.h"
#include "harvest/PageHarvester.h"
#include "lists/FileTypeList.h"
#include "lists/JobList.h"
#include "lists/ManagerState.h"
#include "lists/Rowvane.h"
#include "lists/StatusLine.h"
#include "lists/UrlListIO.h"
#include "settings/Options.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>

namespace {

// Everything a harvester needs, built fresh per test.
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
    }
    static QString rows(const Rowvane& list, int from = 0)
    {
        QStringList texts;
        for (int i = from; i < list.ListCount(); ++i)
            texts << list.List(i);
        return texts.join(' ');
    }
    // Harvests and waits until the page is filed.
    bool harvest(const QString& url = QString())
    {
        QSignalSpy filed(&harvester, &PageHarvester::PageFiled);
        return harvester.ParseWebPage(url) && filed.wait(15000);
    }
};

// Fetches a page and waits for DocumentComplete.
bool parse(HtmlParser& parser, const QString& url)
{
    QSignalSpy done(&parser, &HtmlParser::DocumentComplete);
    return parser.ParseLinks(url) && (done.count() == 1 || done.wait(15000));
}

} // namespace

class TestHarvest : public QObject
{
    Q_OBJECT
    NginxFixture m_nginx;

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_nginx.start(&error), qPrintable(error));
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

    // The encoding a page is read in, and (where given) the UTF-8 it becomes.
    void charset_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("encoding");
        QTest::addColumn<QByteArray>("utf8");
        const struct
        {
            const char* name;
            QByteArray page, contentType, encoding, utf8;
        } rows[] = {
            {"nothing: windows-1252", "<p>x", "text/html", "windows-1252", ""},
            {"1252 is no C1", "\x80\x93\xE9", "text/html", "windows-1252",
             "\xE2\x82\xAC\xE2\x80\x9C\xC3\xA9"},
            {"transport", "<meta charset=koi8-r>", "text/html; Charset=\"UTF-8\"", "UTF-8", ""},
            {"latin1 label is 1252", "", "text/html;charset=ISO-8859-1", "windows-1252", ""},
            {"meta charset", "<html><head><META CharSet='utf-8'>", "text/html", "UTF-8", ""},
            {"meta http-equiv",
             "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">", "", "UTF-8",
             ""},
            {"content without pragma", "<meta content=\"text/html; charset=utf-8\">", "",
             "windows-1252", ""},
            {"meta in a comment", "<!-- <meta charset=utf-8> --><p>", "", "windows-1252", ""},
            {"meta in an attribute", "<div title='<meta charset=utf-8>'>", "", "windows-1252", ""},
            {"meta utf-16 means utf-8", "<meta charset=utf-16>", "", "UTF-8", ""},
            {"meta beyond 1024 bytes", QByteArray(1100, ' ') + "<meta charset=utf-8>", "",
             "windows-1252", ""},
            {"BOM wins", "\xEF\xBB\xBF<p>", "text/html; charset=windows-1252", "UTF-8", "<p>"},
            {"invalid utf-8", "a\xFF", "text/html; charset=utf-8", "UTF-8", "a\xEF\xBF\xBD"},
            {"utf-16 BOM",
             QByteArray("\xFF\xFE"
                        "a\0",
                        4),
             "", "UTF-16LE", "a"},
            {"utf-7 refused", "<meta charset=utf-7>", "", "windows-1252", ""},
            {"unknown label", "<meta charset=\"no such thing\">", "text/html; charset=\"bad\x01\"",
             "windows-1252", ""},
            {"unterminated meta", "<meta charset=\"utf-8", "", "windows-1252", ""},
            {"other legacy", "\xE9", "text/html; charset=iso-8859-2", "iso-8859-2", "\xC3\xA9"},
        };
        for (const auto& r : rows)
            QTest::newRow(r.name) << r.page << r.contentType << r.encoding << r.utf8;
    }
    void charset()
    {
        QFETCH(QByteArray, page);
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, utf8);
        QTEST(PageCharset::Detect(page, contentType), "encoding");
        if (!utf8.isEmpty())
            QCOMPARE(PageCharset::ToUtf8(page, contentType), utf8);
    }

    void resolution_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        const char* const rows[][3] = {
            {"relative", "a.jpg", "~a.jpg"},
            {"dot segments", "../x/./b.jpg", "http://h.example/x/b.jpg"},
            {"root", "/c.jpg", "http://h.example/c.jpg"},
            {"scheme-relative", "//o.example/e.jpg", "http://o.example/e.jpg"},
            {"absolute", "HTTPS://O.Example:443/F.JPG", "https://o.example/F.JPG"},
            {"default port", "http://o.example:80", "http://o.example/"},
            {"spaces and newlines", " \n a\tb\n.jpg \r\n", "~ab.jpg"},
            {"backslashes", "..\\img\\g.jpg?a\\b", "http://h.example/img/g.jpg?a%5Cb"},
            {"same scheme, no slashes", "http:h.jpg", "~h.jpg"},
            {"one slash names a host", "https:/i.example/i.jpg", "https://i.example/i.jpg"},
            {"non-ascii path", "caf\u00e9 1.jpg", "~caf%C3%A9%201.jpg"},
            {"empty is the page", "", "~page.html"},
            {"fragment", "#top", "~page.html#top"},
            {"mailto", "mailto:a@b.example", "mailto:a@b.example"},
            {"unparsable stays", "http://[bad", "http://[bad"},
        };
        for (const auto& r : rows)
            QTest::newRow(r[0]) << QString::fromUtf8(r[1])
                                << QString(r[2]).replace('~', "http://h.example/d/");
    }
    void resolution()
    {
        QFETCH(QString, value);
        QTEST(HtmlLinks::Resolve(value, QUrl("http://h.example/d/page.html")), "expected");
    }

    void extraction()
    {
        const QByteArray page = "<a href='one.zip'>1</a><a name=anchor>no href</a>"
                                "<map><area href='/two.zip'></map><img src='three.png'><img>"
                                "<template><a href='hidden.zip'>x</a></template>"
                                "<svg><a href='svg.zip'/></svg>"
                                "<base href='http://b.example/base/'>"
                                "<base href='http://ignored.example/'><A HREF='four.zip'>4</A>";
        const QUrl at("http://p.example/a/b.html");
        const HtmlLinks links = HtmlLinks::Extract(page, at);
        // The first base element governs every link, also those before it.
        QCOMPARE(links.links,
                 QStringList({"http://b.example/base/one.zip", "http://b.example/two.zip",
                              "http://b.example/base/four.zip"}));
        QCOMPARE(links.images, QStringList({"http://b.example/base/three.png"}));
        // A relative base resolves against the page; a javascript: base is ignored.
        QCOMPARE(HtmlLinks::Extract("<base href='sub/'><a href=x.zip>", at).links,
                 QStringList({"http://p.example/a/sub/x.zip"}));
        QCOMPARE(HtmlLinks::Extract("<base href='javascript:alert(1)'><a href=x.zip>", at).links,
                 QStringList({"http://p.example/a/x.zip"}));
        // Deep nesting neither exhausts the stack nor loses the link.
        const QByteArray deep = QByteArray("<div>").repeated(20000) + "<a href=deep.zip>";
        QCOMPARE(HtmlLinks::Extract(deep, at).links, QStringList({"http://p.example/a/deep.zip"}));
        // A cancelled parse and one over its memory limit end with an error, no links.
        std::atomic<bool> cancel{true};
        HtmlParseLimits limits;
        limits.cancel = &cancel;
        const HtmlLinks cancelled = HtmlLinks::Extract("<a href=a.zip>", at, limits);
        QVERIFY(!cancelled.error.isEmpty() && cancelled.links.isEmpty());
        HtmlParseLimits small;
        small.maxMemory = 64 * 1024;
        QVERIFY(HtmlLinks::Extract(QByteArray("<p>text").repeated(50000), at, small)
                    .error.contains("MiB"));
    }

    // Files of the checked types go to the job list, pages (with "Log page links") to the
    // web page list, each once ignoring case; the parser's own filter beside them.
    void harvestsCheckedTypes()
    {
        Rig rig;
        const QString files = m_nginx.url("/files/");
        rig.jobList.AddItem(m_nginx.url("/FILES/known.JPG"));
        const QString page = m_nginx.url("/g/index.html");
        QSignalSpy busy(&rig.harvester, &PageHarvester::BusyChanged);
        QSignalSpy filed(&rig.harvester, &PageHarvester::PageFiled);
        QSignalSpy props(&rig.harvester.Parser(), &HtmlParser::PropertyChanged);
        QVERIFY(rig.harvester.ParseWebPage(page));
        QCOMPARE(rig.harvester.ToolTip(), QString("Fetching and parsing webpage..."));
        QVERIFY(!rig.harvester.ParseWebPage(page)); // one page at a time
        QCOMPARE(rig.dialogs.messages(), QStringList({"Not available now. Try later."}));
        QVERIFY(filed.wait(15000));
        QCOMPARE(rig.harvester.ToolTip(), QString("Ideal..."));
        QCOMPARE(busy.count(), 2);
        QVERIFY(props.contains({QString("IsActive")}) && props.contains({QString("HasLinks")}));
        QCOMPARE(Rig::rows(rig.jobList, 1),
                 files + "a.JPG " + files + "b.jpg " + files + "pack.zip");
        QCOMPARE(filed.at(0).at(1).toInt(), 3);
        QCOMPARE(Rig::rows(rig.pages), page); // only the page itself, checked as parsed
        QVERIFY(rig.pages.Selected(0));

        // Pictures shown but not linked count for gif, jpg and png only; .jpeg is not .jpg,
        // duplicates stay for the caller.
        HtmlParser& parser = rig.harvester.Parser();
        QCOMPARE(parser.GetLinks(" jpg ").size(), 5); // the mailto: link too
        QCOMPARE(parser.GetLinks(".gif"), QStringList({files + "thumb.gif"}));
        QCOMPARE(parser.GetLinks("png"), QStringList({files + "pic.png"}));
        QCOMPARE(parser.GetLinks("bmp"), QStringList());
        QCOMPARE(parser.GetLinks(QString()).size(), 10);

        rig.options.setListUrl(true);
        rig.dataTypes.setChecked(1, true); // gif: the picture shown on the page
        QVERIFY(rig.harvest(page));
        QCOMPARE(Rig::rows(rig.pages), page + " " + m_nginx.url("/g/next.html"));
        QCOMPARE(rig.jobList.List(rig.jobList.ListCount() - 1), files + "thumb.gif");

        // The found page can be harvested in turn from its row.
        rig.pages.setListIndex(1);
        QSignalSpy next(&rig.harvester, &PageHarvester::PageFiled);
        rig.harvester.ParseThisPage();
        QVERIFY(next.wait(15000));
        QVERIFY(rig.pages.Selected(1));
        QCOMPARE(rig.jobList.List(rig.jobList.ListCount() - 1), m_nginx.url("/g/n.jpg"));
        QCOMPARE(rig.harvester.ParsedCount(), 3);

        // Through a redirection the links resolve against the final address.
        m_nginx.writeFile("sub/moved.html", "<a href='here.zip'>");
        QVERIFY(parse(parser, m_nginx.url("/r301/sub/moved.html")));
        QCOMPARE(parser.FinalUrl(), m_nginx.url("/sub/moved.html"));
        QCOMPARE(parser.GetLinks("zip"), QStringList({m_nginx.url("/sub/here.zip")}));
    }

    // A page that cannot be had ends with an error and no links, the earlier page's gone.
    void fetchFailures_data()
    {
        QTest::addColumn<QString>("url"); // "~" is the nginx server
        QTest::addColumn<QString>("error");
        QTest::newRow("404") << "~/missing.html"
                             << "404";
        QTest::newRow("not HTML") << "~/p.jpg"
                                  << "image/jpeg";
        QTest::newRow("too large") << "~/big.html"
                                   << "larger";
        QTest::newRow("refused connection") << "http://127.0.0.1:%1/"
                                            << "";
        QTest::newRow("not http") << "ftp://127.0.0.1/x.html"
                                  << "http and https";
        QTest::newRow("no host") << "http://"
                                 << "not a valid";
    }
    void fetchFailures()
    {
        QFETCH(QString, url);
        QFETCH(QString, error);
        m_nginx.writeFile("ok.html", "<a href='x.zip'>");
        m_nginx.writeFile("p.jpg", "<a href='x.zip'>");
        m_nginx.writeFile("big.html", QByteArray(70000, 'x'));
        HtmlParser parser;
        parser.SetMaxPageSize(65536);
        QVERIFY(parse(parser, m_nginx.url("/ok.html")));
        QVERIFY(parser.HasLinks());
        url.replace('~', m_nginx.url(""));
        if (url.contains("%1"))
            url = url.arg(unusedLoopbackPort());
        QVERIFY(parse(parser, url));
        QVERIFY2(!parser.LastError().isEmpty() && parser.LastError().contains(error),
                 qPrintable(parser.LastError()));
        QVERIFY(!parser.HasLinks() && !parser.Document());
        QCOMPARE(parser.GetLinks("zip"), QStringList());
        if (error != "404")
            return;
        // The harvester shows the reason, checks the row and files nothing.
        Rig rig;
        QVERIFY(rig.harvest(url));
        QCOMPARE(rig.dialogs.messages().size(), 1);
        QVERIFY(rig.dialogs.messages().at(0).contains("404"));
        QCOMPARE(rig.jobList.ListCount(), 0);
        QVERIFY(rig.pages.Selected(0));
    }

    // Over a scripted server: a chunked reply in pieces with the charset only in the meta
    // element; one that ends early is an error, not half a page; one that never comes ends
    // at the time limit; the request names the user agent.
    void scriptedReplies()
    {
        ScriptedServer server;
        const QByteArray body = "<meta charset='utf-8'><a href='\xC3\xA9.zip'>";
        ServerScript split;
        split.expectRequest()
            .sendSplit(
                "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nTransfer-Encoding: chunked\r\n\r\n" +
                    QByteArray::number(body.size(), 16) + "\r\n" + body + "\r\n0\r\n\r\n",
                7, 5)
            .close();
        server.addConnection(split);
        ServerScript cut;
        cut.expectRequest()
            .send("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 500\r\n\r\n<a "
                  "href='x.zip'>")
            .close();
        server.addConnection(cut);
        server.addConnection(ServerScript::neverAnswer());

        HtmlParser parser;
        QVERIFY(parse(parser, server.url("/a.html")));
        QVERIFY2(parser.LastError().isEmpty(), qPrintable(parser.LastError()));
        QCOMPARE(parser.GetLinks("zip"), QStringList({server.url("/%C3%A9.zip")}));
        QVERIFY(parse(parser, server.url("/b.html")));
        QVERIFY(!parser.LastError().isEmpty());
        QCOMPARE(parser.GetLinks("zip"), QStringList());

        parser.SetTimeLimit(300);
        parser.SetUserAgent("Harvex/1.6 (test)");
        QSignalSpy done(&parser, &HtmlParser::DocumentComplete);
        QVERIFY(parser.ParseLinks(server.url("/slow.html")));
        QVERIFY(!parser.ParseLinks(server.url("/other.html"))); // one page at a time
        QVERIFY(done.wait(10000));
        QVERIFY2(parser.LastError().contains("no answer within 0.3 seconds"),
                 qPrintable(parser.LastError()));
        QVERIFY(!parser.IsActive());
        QVERIFY(server.waitForRequests(3));
        QVERIFY(server.requests().value(2).startsWith("GET /slow.html HTTP/1.1\r\n"));
        QVERIFY(server.requests().value(2).contains("User-Agent: Harvex/1.6 (test)\r\n"));

        // Destroyed while fetching: must neither hang nor touch freed memory.
        server.addConnection(ServerScript::neverAnswer());
        auto* doomed = new HtmlParser;
        QVERIFY(doomed->ParseLinks(server.url()));
        QVERIFY(server.waitForConnections(4));
        delete doomed;
    }

    void addressDialog()
    {
        Rig rig;
        // Cancelled or blank: nothing happens.
        rig.dialogs.addresses.enqueue(std::nullopt);
        rig.dialogs.addresses.enqueue("   ");
        QVERIFY(!rig.harvester.ParseWebPage() && !rig.harvester.ParseWebPage());
        // A numbered range goes to the job list, limited to its free rows; no page is fetched.
        rig.jobList.AddItem("http://example.test/first");
        rig.dialogs.addresses.enqueue("http://example.test/img");
        rig.dialogs.ranges.enqueue(
            {"http://example.test/img1.jpg", "http://example.test/img2.jpg"});
        QVERIFY(!rig.harvester.ParseWebPage());
        QCOMPARE(rig.dialogs.freeRows, Rowvane::MaxRows - 1);
        QCOMPARE(rig.jobList.ListCount(), 3);
        QCOMPARE(rig.pages.ListCount(), 0);

        // No scheme: "http://" is prefixed, and the dialog shows it next time.
        const QString bare = QString("127.0.0.1:%1/g/next.html").arg(m_nginx.port());
        rig.dialogs.addresses.enqueue("  " + bare);
        QVERIFY(rig.harvest());
        QCOMPARE(Rig::rows(rig.pages), "http://" + bare);
        rig.dialogs.addresses.enqueue(std::nullopt);
        QVERIFY(!rig.harvester.ParseWebPage());
        QCOMPARE(rig.dialogs.asked.last().text, "http://" + bare);
        // "HTTP://" is not prefixed again, and it is the same row ignoring case.
        rig.dialogs.addresses.enqueue("HTTP://" + bare);
        QVERIFY(rig.harvest());
        QCOMPARE(rig.pages.ListCount(), 1);
        QCOMPARE(rig.harvester.ParsedCount(), 2);
        QVERIFY(rig.dialogs.messages().isEmpty());
    }

    void webPageListCommands()
    {
        Rig rig;
        QTemporaryDir dir;
        const auto menu = [&rig] {
            const PageHarvester::WebPageMenu m = rig.harvester.UpdateWebPageMenu();
            QString out;
            for (bool item :
                 {m.ParseWeb, m.CopyUrl, m.SaveUrls, m.SaveCheckedUrls, m.SaveUncheckedUrls,
                  m.ClearCheckedUrls, m.ClearUncheckedUrls, m.ClearUrls})
                out += item ? '1' : '0';
            return out;
        };
        QCOMPARE(menu(), "00000000");
        const QString parsed = m_nginx.url("/g/next.html");
        rig.pages.AddItem("http://a.example/one.html");
        QVERIFY(rig.harvest(parsed));
        QVERIFY(rig.harvest(parsed)); // parsed twice: counted twice
        rig.pages.AddItem("http://a.example/two.html");
        QCOMPARE(rig.harvester.ParsedCount(), 2);
        rig.pages.setListIndex(0);
        QCOMPARE(menu(), "11111111");
        rig.harvester.CopyThisItem();
        QCOMPARE(rig.dialogs.clipboard, QString("http://a.example/one.html"));

        // Save Checked appends the parsed pages; Save Unchecked the others.
        const QString path = dir.filePath("pages.txt");
        rig.dialogs.files.enqueue(path);
        rig.harvester.SaveCheckedUrls();
        rig.dialogs.files.enqueue(path);
        rig.harvester.SaveUncheckedUrls();
        QCOMPARE(readFile(path).count("http"), 3);
        QVERIFY(readFile(path).startsWith(parsed.toUtf8()));

        // Clear Checked: one row, ParsedCount down by one (2 -> 1), so the checked items
        // stay enabled although no row is checked any more.
        rig.harvester.ClearCheckedUrls();
        QCOMPARE(Rig::rows(rig.pages), "http://a.example/one.html http://a.example/two.html");
        QCOMPARE(rig.harvester.ParsedCount(), 1);
        QCOMPARE(menu(), "11111111");
        rig.harvester.ClearUncheckedUrls();
        QCOMPARE(menu(), "00010100");

        // Clear Page Links asks first; No keeps the list, Yes clears it and the count.
        rig.pages.AddItem("http://a.example/three.html");
        rig.dialogs.answers.enqueue(Dialogs::Answer::No);
        rig.harvester.ClearUrls();
        QCOMPARE(rig.pages.ListCount(), 1);
        QCOMPARE(rig.dialogs.asked.last().text, QString("Clear the page links ?"));
        rig.dialogs.answers.enqueue(Dialogs::Answer::Yes);
        rig.harvester.ClearUrls();
        QCOMPARE(rig.pages.ListCount(), 0);
        QCOMPARE(rig.harvester.ParsedCount(), 0);

        // A file dropped with "clear before loading" empties the list and so the count.
        QVERIFY(rig.harvest(parsed));
        const QString list = dir.filePath("list.txt");
        writeFile(list, "http://a.example/four.html\n");
        rig.io.LoadDroppedFile(list, rig.pages, ".html", true);
        QCOMPARE(Rig::rows(rig.pages), "http://a.example/four.html");
        QCOMPARE(rig.harvester.ParsedCount(), 0);
        QCOMPARE(menu(), "11101011");
    }
};

QTEST_GUILESS_MAIN(TestHarvest)
#include "test_harvest.moc"
