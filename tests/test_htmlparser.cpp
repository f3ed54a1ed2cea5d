// SPDX-License-Identifier: GPL-3.0-or-later
// The page parser: charset choice, link extraction and resolution, and fetching
// over loopback from nginx and a scripted server.
#include "support/NginxFixture.h"
#include "support/ScriptedServer.h"

#include "harvest/HtmlLinks.h"
#include "harvest/HtmlParser.h"
#include "harvest/PageCharset.h"

#include <QSignalSpy>
#include <QTest>

#include <atomic>

class TestHtmlParser : public QObject
{
    Q_OBJECT

private:
    NginxFixture m_nginx;

    // Fetches a page and waits for DocumentComplete.
    bool parse(HtmlParser& parser, const QString& url)
    {
        QSignalSpy done(&parser, &HtmlParser::DocumentComplete);
        if (!parser.ParseLinks(url))
            return false;
        return done.count() == 1 || done.wait(15000);
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_nginx.start(&error), qPrintable(error));
    }

    void charsetChoice_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("encoding");
        QTest::newRow("nothing: windows-1252")
            << QByteArray("<p>x") << QByteArray("text/html") << QByteArray("windows-1252");
        QTest::newRow("transport")
            << QByteArray("<meta charset=koi8-r>") << QByteArray("text/html; Charset=\"UTF-8\"")
            << QByteArray("UTF-8");
        QTest::newRow("latin1 label is 1252")
            << QByteArray() << QByteArray("text/html;charset=ISO-8859-1")
            << QByteArray("windows-1252");
        QTest::newRow("meta charset") << QByteArray("<html><head><META CharSet='utf-8'>")
                                      << QByteArray("text/html") << QByteArray("UTF-8");
        QTest::newRow("meta http-equiv")
            << QByteArray("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">")
            << QByteArray() << QByteArray("UTF-8");
        QTest::newRow("content without pragma is ignored")
            << QByteArray("<meta content=\"text/html; charset=utf-8\">") << QByteArray()
            << QByteArray("windows-1252");
        QTest::newRow("meta in a comment is ignored")
            << QByteArray("<!-- <meta charset=utf-8> --><p>") << QByteArray()
            << QByteArray("windows-1252");
        QTest::newRow("meta in an attribute is ignored")
            << QByteArray("<div title='<meta charset=utf-8>'>") << QByteArray()
            << QByteArray("windows-1252");
        QTest::newRow("meta utf-16 means utf-8")
            << QByteArray("<meta charset=utf-16>") << QByteArray() << QByteArray("UTF-8");
        QTest::newRow("meta beyond 1024 bytes") << (QByteArray(1100, ' ') + "<meta charset=utf-8>")
                                                << QByteArray() << QByteArray("windows-1252");
        QTest::newRow("BOM wins") << QByteArray("\xEF\xBB\xBF<p>")
                                  << QByteArray("text/html; charset=windows-1252")
                                  << QByteArray("UTF-8");
        QTest::newRow("utf-7 refused")
            << QByteArray("<meta charset=utf-7>") << QByteArray() << QByteArray("windows-1252");
        QTest::newRow("unknown label")
            << QByteArray("<meta charset=\"no such thing\">")
            << QByteArray("text/html; charset=\"bad\x01\"") << QByteArray("windows-1252");
        QTest::newRow("unterminated meta")
            << QByteArray("<meta charset=\"utf-8") << QByteArray() << QByteArray("windows-1252");
    }

    void charsetChoice()
    {
        QFETCH(QByteArray, page);
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, encoding);
        QCOMPARE(PageCharset::Detect(page, contentType), encoding);
    }

    void decoding()
    {
        // Windows-1252 maps 0x80..0x9F to typographic characters, not C1 controls.
        QCOMPARE(PageCharset::ToUtf8("\x80\x93\xE9", "text/html"),
                 QByteArray("\xE2\x82\xAC\xE2\x80\x9C\xC3\xA9"));
        // Invalid UTF-8 becomes U+FFFD; a BOM is dropped.
        QCOMPARE(PageCharset::ToUtf8("\xEF\xBB\xBF"
                                     "a\xFF",
                                     "text/html; charset=utf-8"),
                 QByteArray("a\xEF\xBF\xBD"));
        const QByteArray utf16(QByteArrayLiteral("\xFF\xFE"
                                                 "a\0"));
        QCOMPARE(PageCharset::ToUtf8(utf16, ""), QByteArray("a"));
        // Other legacy encodings go through the platform's converter.
        QCOMPARE(PageCharset::ToUtf8("\xE9", "text/html; charset=iso-8859-2"),
                 QByteArray("\xC3\xA9"));
    }

    void resolution_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        const QString dir = QStringLiteral("http://h.example/d/");
        const QString rows[][3] = {
            {"relative", "a.jpg", dir + "a.jpg"},
            {"dot segments", "../x/./b.jpg", "http://h.example/x/b.jpg"},
            {"root", "/c.jpg", "http://h.example/c.jpg"},
            {"scheme-relative", "//o.example/e.jpg", "http://o.example/e.jpg"},
            {"absolute", "HTTPS://O.Example:443/F.JPG", "https://o.example/F.JPG"},
            {"default port", "http://o.example:80", "http://o.example/"},
            {"spaces and newlines", " \n a\tb\n.jpg \r\n", dir + "ab.jpg"},
            {"backslashes", "..\\img\\g.jpg?a\\b", "http://h.example/img/g.jpg?a%5Cb"},
            {"same scheme, no slashes", "http:h.jpg", dir + "h.jpg"},
            {"one slash names a host", "https:/i.example/i.jpg", "https://i.example/i.jpg"},
            {"non-ascii path", QString::fromUtf8("caf\u00e9 1.jpg"), dir + "caf%C3%A9%201.jpg"},
            {"empty is the page", "", dir + "page.html"},
            {"fragment", "#top", dir + "page.html#top"},
            {"mailto", "mailto:a@b.example", "mailto:a@b.example"},
            {"unparsable stays", "http://[bad", "http://[bad"},
        };
        for (const auto& row : rows)
            QTest::newRow(qPrintable(row[0])) << row[1] << row[2];
    }

    void resolution()
    {
        QFETCH(QString, value);
        QFETCH(QString, expected);
        QCOMPARE(HtmlLinks::Resolve(value, QUrl(QStringLiteral("http://h.example/d/page.html"))),
                 expected);
    }

    void extraction()
    {
        const QByteArray page = "<html><head><title>t</title></head><body>"
                                "<a href='one.zip'>1</a><a name=anchor>no href</a>"
                                "<map><area href='/two.zip'></map><img src='three.png'><img>"
                                "<template><a href='hidden.zip'>x</a></template>"
                                "<svg><a href='svg.zip'/></svg>"
                                "<base href='http://b.example/base/'>"
                                "<base href='http://ignored.example/'>"
                                "<A HREF='four.zip'>4</A></body></html>";
        const HtmlLinks links = HtmlLinks::Extract(page, QUrl(QStringLiteral("http://p.example/")));
        // The first base element governs every link, also those before it.
        QCOMPARE(links.links,
                 QStringList({"http://b.example/base/one.zip", "http://b.example/two.zip",
                              "http://b.example/base/four.zip"}));
        QCOMPARE(links.images, QStringList({"http://b.example/base/three.png"}));
        QVERIFY(links.error.isEmpty());

        // A relative base resolves against the page; a javascript: base is ignored.
        QCOMPARE(HtmlLinks::Extract("<base href='sub/'><a href=x.zip>",
                                    QUrl(QStringLiteral("http://p.example/a/b.html")))
                     .links,
                 QStringList({"http://p.example/a/sub/x.zip"}));
        QCOMPARE(HtmlLinks::Extract("<base href='javascript:alert(1)'><a href=x.zip>",
                                    QUrl(QStringLiteral("http://p.example/a/b.html")))
                     .links,
                 QStringList({"http://p.example/a/x.zip"}));
    }

    void hostilePages()
    {
        const QUrl page(QStringLiteral("http://p.example/"));
        // Deep nesting neither exhausts the stack nor loses the link.
        QByteArray deep = QByteArray("<div>").repeated(20000) + "<a href=deep.zip>";
        QCOMPARE(HtmlLinks::Extract(deep, page).links, QStringList({"http://p.example/deep.zip"}));
        // NUL bytes, stray markup and truncation.
        QByteArray junk("<a href='a\0b.zip'>x</a><a href=\"", 33);
        junk += QByteArray("<<<>>>&#0;&#xFFFFFFFF;").repeated(100);
        QVERIFY(HtmlLinks::Extract(junk, page).error.isEmpty());

        // A cancelled parse and one over its memory limit end with an error, no links.
        std::atomic<bool> cancel{true};
        HtmlParseLimits limits;
        limits.cancel = &cancel;
        HtmlLinks cancelled = HtmlLinks::Extract("<a href=a.zip>", page, limits);
        QVERIFY(!cancelled.error.isEmpty());
        QVERIFY(cancelled.links.isEmpty());
        HtmlParseLimits small;
        small.maxMemory = 64 * 1024;
        const HtmlLinks big =
            HtmlLinks::Extract(QByteArray("<p>text").repeated(50000), page, small);
        QVERIFY(big.error.contains(QStringLiteral("MiB")));
    }

    void fetchAndGetLinks()
    {
        m_nginx.writeFile(QStringLiteral("dir/page.html"),
                          "<html><body>"
                          "<a href='a.JPG'>a</a><a href='b.jpg'>b</a><a href='c.jpeg'>c</a>"
                          "<a href='/top/b.jpg'>again</a><a href='b.jpg'>twice</a>"
                          "<a href='http://other.example/x.GIF'>abs</a>"
                          "<img src='shown.gif'><img src='pic.png'><img src='pic.bmp'>"
                          "<map><area href='area.zip' alt=''></map>"
                          "<a href='next.html'>next</a></body></html>");
        HtmlParser parser;
        QSignalSpy props(&parser, &HtmlParser::PropertyChanged);
        QVERIFY(parse(parser, m_nginx.url(QStringLiteral("/dir/page.html"))));
        QVERIFY2(parser.LastError().isEmpty(), qPrintable(parser.LastError()));
        QVERIFY(!parser.IsActive());
        QVERIFY(parser.HasLinks());
        QCOMPARE(parser.UrlAddress(), m_nginx.url(QStringLiteral("/dir/page.html")));
        const QString dir = m_nginx.url(QStringLiteral("/dir/"));
        // Upper-case extensions match, .jpeg is not .jpg, duplicates stay for the caller.
        QCOMPARE(
            parser.GetLinks(QStringLiteral(" jpg ")),
            QStringList({dir + "a.JPG", dir + "b.jpg", m_nginx.url("/top/b.jpg"), dir + "b.jpg"}));
        // Pictures shown but not linked count for gif, jpg and png only.
        QCOMPARE(parser.GetLinks(QStringLiteral(".gif")),
                 QStringList({"http://other.example/x.GIF", dir + "shown.gif"}));
        QCOMPARE(parser.GetLinks(QStringLiteral("png")), QStringList({dir + "pic.png"}));
        QCOMPARE(parser.GetLinks(QStringLiteral("bmp")), QStringList());
        QCOMPARE(parser.GetLinks(QStringLiteral("zip")), QStringList({dir + "area.zip"}));
        QCOMPARE(parser.GetLinks(QString()).size(), 8);
        QVERIFY(props.contains({QStringLiteral("IsActive")}));
        QVERIFY(props.contains({QStringLiteral("HasLinks")}));

        // A page without links, reached through a redirection: the links resolve
        // against the final address.
        m_nginx.writeFile(QStringLiteral("empty.html"), "<html><body><p>nothing</p></body></html>");
        QVERIFY(parse(parser, m_nginx.url(QStringLiteral("/r302/empty.html"))));
        QVERIFY(parser.LastError().isEmpty());
        QVERIFY(!parser.HasLinks());
        QCOMPARE(parser.GetLinks(QStringLiteral("jpg")), QStringList());
        QCOMPARE(parser.FinalUrl(), m_nginx.url(QStringLiteral("/empty.html")));

        m_nginx.writeFile(QStringLiteral("sub/moved.html"), "<a href='here.zip'>");
        QVERIFY(parse(parser, m_nginx.url(QStringLiteral("/r301/sub/moved.html"))));
        QCOMPARE(parser.GetLinks(QStringLiteral("zip")),
                 QStringList({m_nginx.url(QStringLiteral("/sub/here.zip"))}));
    }

    void windows1252Page()
    {
        // No charset anywhere: the bytes are Windows-1252; the path is sent as UTF-8.
        m_nginx.writeFile(QStringLiteral("w.html"),
                          "<html><body><a href='caf\xE9-\x80.jpg'>Caf\xE9 \x93photo\x94</a>"
                          "</body></html>");
        HtmlParser parser;
        QVERIFY(parse(parser, m_nginx.url(QStringLiteral("/w.html"))));
        QCOMPARE(parser.GetLinks(QStringLiteral("jpg")),
                 QStringList({m_nginx.url(QStringLiteral("/caf%C3%A9-%E2%82%AC.jpg"))}));
    }

    void failures()
    {
        HtmlParser parser;
        m_nginx.writeFile(QStringLiteral("ok.html"), "<a href='x.zip'>");
        QVERIFY(parse(parser, m_nginx.url(QStringLiteral("/ok.html"))));
        QVERIFY(parser.HasLinks());

        // 404: an error, and the earlier page's links are gone.
        QVERIFY(parse(parser, m_nginx.url(QStringLiteral("/missing.html"))));
        QVERIFY2(parser.LastError().contains(QStringLiteral("404")),
                 qPrintable(parser.LastError()));
        QVERIFY(!parser.HasLinks());
        QVERIFY(!parser.Document());
        QCOMPARE(parser.GetLinks(QStringLiteral("zip")), QStringList());

        // Not HTML.
        m_nginx.writeFile(QStringLiteral("p.jpg"), "<a href='x.zip'>");
        QVERIFY(parse(parser, m_nginx.url(QStringLiteral("/p.jpg"))));
        QVERIFY2(parser.LastError().contains(QStringLiteral("image/jpeg")),
                 qPrintable(parser.LastError()));

        // Too large.
        m_nginx.writeFile(QStringLiteral("big.html"), QByteArray(70000, 'x'));
        parser.SetMaxPageSize(65536);
        QVERIFY(parse(parser, m_nginx.url(QStringLiteral("/big.html"))));
        QVERIFY2(parser.LastError().contains(QStringLiteral("larger")),
                 qPrintable(parser.LastError()));

        // Refused connection, and addresses that are no web pages.
        QVERIFY(parse(parser, QStringLiteral("http://127.0.0.1:%1/").arg(unusedLoopbackPort())));
        QVERIFY(!parser.LastError().isEmpty());
        QVERIFY(parse(parser, QStringLiteral("ftp://127.0.0.1/x.html")));
        QVERIFY(parser.LastError().contains(QStringLiteral("http and https")));
        QVERIFY(parse(parser, QStringLiteral("http://")));
        QVERIFY(parser.LastError().contains(QStringLiteral("not a valid")));
    }

    void timeLimitAndUserAgent()
    {
        ScriptedServer server;
        server.addConnection(ServerScript::neverAnswer());
        HtmlParser parser;
        parser.SetTimeLimit(300);
        parser.SetUserAgent(QStringLiteral("Harvex/1.6 (test)"));
        QSignalSpy done(&parser, &HtmlParser::DocumentComplete);
        QVERIFY(parser.ParseLinks(server.url(QStringLiteral("/slow.html"))));
        // One page at a time.
        QVERIFY(!parser.ParseLinks(server.url(QStringLiteral("/other.html"))));
        QVERIFY(parser.IsActive());
        QVERIFY(done.wait(10000));
        QCOMPARE(done.count(), 1);
        QVERIFY2(parser.LastError().contains(QStringLiteral("no answer within 0.3 seconds")),
                 qPrintable(parser.LastError()));
        QVERIFY(!parser.IsActive());
        QVERIFY(server.waitForRequests(1));
        const QByteArray request = server.requests().value(0);
        QVERIFY2(request.contains("User-Agent: Harvex/1.6 (test)\r\n"), request.constData());
        QVERIFY(request.startsWith("GET /slow.html HTTP/1.1\r\n"));
    }

    void scriptedReplies()
    {
        // A chunked, split reply with the charset only in the meta element; a reply
        // that ends early is an error, not a half page.
        ScriptedServer server;
        const QByteArray body = "<meta charset='utf-8'><a href='\xC3\xA9.zip'>";
        QByteArray chunked = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"
                             "Transfer-Encoding: chunked\r\n\r\n";
        chunked += QByteArray::number(body.size(), 16) + "\r\n" + body + "\r\n0\r\n\r\n";
        ServerScript split;
        split.expectRequest().sendSplit(chunked, 7, 5).close();
        server.addConnection(split);
        ServerScript cut;
        cut.expectRequest()
            .send("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 500\r\n\r\n"
                  "<a href='x.zip'>")
            .close();
        server.addConnection(cut);

        HtmlParser parser;
        QVERIFY(parse(parser, server.url(QStringLiteral("/a.html"))));
        QVERIFY2(parser.LastError().isEmpty(), qPrintable(parser.LastError()));
        QCOMPARE(parser.GetLinks(QStringLiteral("zip")),
                 QStringList({server.url(QStringLiteral("/%C3%A9.zip"))}));
        QVERIFY(parse(parser, server.url(QStringLiteral("/b.html"))));
        QVERIFY(!parser.LastError().isEmpty());
        QCOMPARE(parser.GetLinks(QStringLiteral("zip")), QStringList());
    }

    void destroyedWhileFetching()
    {
        ScriptedServer server;
        server.addConnection(ServerScript::neverAnswer());
        auto* parser = new HtmlParser;
        QVERIFY(parser->ParseLinks(server.url()));
        QVERIFY(server.waitForConnections(1));
        delete parser; // must neither hang nor touch freed memory
    }
};

QTEST_GUILESS_MAIN(TestHtmlParser)
#include "test_htmlparser.moc"
