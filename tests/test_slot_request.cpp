// SPDX-License-Identifier: GPL-3.0-or-later
// The request a slot composes and the pieces it reads a URL and a reply header with.
#include "engine/HttpFiles.h"
#include "engine/ReplyHeader.h"
#include "engine/UrlSplit.h"
#include "support/ScriptedServer.h"
#include "support/SlotRecorder.h"

#include <QTemporaryDir>
#include <QTest>

class TestSlotRequest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void requestText_data();
    void requestText();
    void requestTextForOtherSettings();
    void requestOnTheWireCarriesHostWithoutPort();
    void urlSplit_data();
    void urlSplit();
    void relativeLocations();
    void headerSkipsInterimReplies();
    void headerRefusedPastLimit();
    void headerFields();
    void lengthsAndRanges();
};

static const QByteArray kAccept =
    "Accept: text/xml,application/xml,application/xhtml+xml,text/html;q=0.9,text/plain;q=0.8,"
    "image/png,*/*;q=0.5\r\nAccept-Language: en-us,en;q=0.5\r\nAccept-Encoding: gzip , deflate\r\n";

void TestSlotRequest::requestText_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<qint64>("from");
    QTest::addColumn<qint64>("to");
    QTest::addColumn<QString>("range"); // the Range line, or "" for none

    QTest::newRow("resume from 1000") << "/file.zip" << 1000LL << 0LL << "bytes=1000-";
    QTest::newRow("closed range") << "/file.zip" << 10LL << 20LL << "bytes=10-20";
    QTest::newRow("page .PHP any case") << "/x.PHP" << 0LL << 0LL << "";
    QTest::newRow("page with query") << "/x.php?id=1" << 0LL << 0LL << "bytes=0-";
    QTest::newRow(".h found inside .htm") << "/src/a.h" << 0LL << 0LL << "";
    QTest::newRow("no extension") << "/download" << 5LL << 0LL << "";
}

void TestSlotRequest::requestText()
{
    QFETCH(QString, path);
    QFETCH(qint64, from);
    QFETCH(qint64, to);
    QFETCH(QString, range);
    HttpFiles slot;
    QByteArray expected = "GET " + path.toLatin1() + " HTTP/1.0\r\nHost: example.org\r\n" + kAccept;
    if (!range.isEmpty())
        expected += "Range: " + range.toLatin1() + "\r\n";
    expected += "\r\n";
    QCOMPARE(slot.getRequest(QStringLiteral("example.org"), path, from, to, 1).toLatin1(),
             expected);
}

void TestSlotRequest::requestTextForOtherSettings()
{
    HttpFiles slot;
    slot.setProtocol(1);
    slot.setCompatible(QStringLiteral("Harvex/1.06"));
    slot.setAcceptParam(QStringLiteral("  */*  "));
    slot.setAcceptLanguage(QString());
    slot.setAcceptEncoding(QStringLiteral(" "));
    QCOMPARE(slot.getRequest(QStringLiteral("h"), QStringLiteral("/f.bin"), 7, 0, 1),
             QStringLiteral("GET /f.bin HTTP/1.1\r\nHost: h\r\nUser-Agent: Harvex/1.06\r\n"
                            "Accept: */*\r\nRange: bytes=7-\r\nConnection: Keep-Alive\r\n\r\n"));
    // Keep-alive only when asked for.
    QVERIFY(!slot.getRequest(QStringLiteral("h"), QStringLiteral("/"), 0, 0, 0)
                 .contains(QStringLiteral("Connection")));
    slot.setProtocol(0);
    QVERIFY(!slot.getRequest(QStringLiteral("h"), QStringLiteral("/"), 0, 0, 1)
                 .contains(QStringLiteral("Connection")));
    // A URL cannot add lines of its own to the request.
    const QString evil =
        slot.getRequest(QStringLiteral("h"), QStringLiteral("/a b\r\nX-Evil: 1"), 0, 0, 0);
    QVERIFY(evil.startsWith(QStringLiteral("GET /a%20b%0D%0AX-Evil%3A%201 HTTP/1.0\r\n")) ||
            evil.startsWith(QStringLiteral("GET /a%20b%0D%0AX-Evil:%201 HTTP/1.0\r\n")));
}

void TestSlotRequest::requestOnTheWireCarriesHostWithoutPort()
{
    ScriptedServer server;
    server.addConnection(ServerScript::reply("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok"));
    QTemporaryDir dir;
    HttpFiles slot;
    SlotRecorder rec(&slot);
    SlotRecorder::makeQuick(&slot);
    const QString url = QStringLiteral("HTTP://127.0.0.1:%1/dir/data.bin?x=1").arg(server.port());
    QVERIFY(slot.GetRemoteFile(url, dir.filePath(QStringLiteral("f")), 0, 1));
    WAIT_ENDED(rec, 10000);
    QCOMPARE(server.requests().value(0), "GET /dir/data.bin?x=1 HTTP/1.0\r\nHost: 127.0.0.1\r\n" +
                                             kAccept + "Range: bytes=0-\r\n\r\n");
    QCOMPARE(slot.ReqStr().toLatin1(), server.requests().value(0));
    QCOMPARE(slot.AbsUrl(), QStringLiteral("127.0.0.1"));
    QCOMPARE(slot.Content(), QStringLiteral("/dir/data.bin?x=1"));
}

void TestSlotRequest::urlSplit_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("supported");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("secure");

    QTest::newRow("plain") << "http://h.org/a/b.zip" << true << "h.org" << 80 << "/a/b.zip"
                           << false;
    QTest::newRow("port") << "http://h:8080/x" << true << "h" << 8080 << "/x" << false;
    QTest::newRow("no path") << "http://h.org" << true << "h.org" << 80 << "/" << false;
    QTest::newRow("query kept, fragment dropped")
        << "http://h/p?q=/x#f" << true << "h" << 80 << "/p?q=/x" << false;
    QTest::newRow("https") << "https://h.org/f" << true << "h.org" << 443 << "/f" << true;
    QTest::newRow("HTTPS port") << "HTTPS://h:8443" << true << "h" << 8443 << "/" << true;
    QTest::newRow("colon last stays") << "http://h:/x" << true << "h:" << 80 << "/x" << false;
    QTest::newRow("port digits only") << "http://h:81abc/x" << true << "h" << 81 << "/x" << false;
    QTest::newRow("port 0") << "http://h:x/" << false << "" << 0 << "" << false;
    QTest::newRow("port too big") << "http://h:70000/" << false << "" << 0 << "" << false;
    QTest::newRow("ftp") << "ftp://h/x" << false << "" << 0 << "" << false;
    QTest::newRow("no scheme") << "h.org/x" << false << "" << 0 << "" << false;
    QTest::newRow("empty host") << "http:///x" << false << "" << 0 << "" << false;
}

void TestSlotRequest::urlSplit()
{
    QFETCH(QString, url);
    QFETCH(bool, supported);
    const UrlSplit split = UrlSplit::Parse(url);
    QCOMPARE(split.Supported, supported);
    if (!supported)
        return;
    QTEST(split.Host, "host");
    QTEST(split.Port, "port");
    QTEST(split.Path, "path");
    QTEST(split.Secure, "secure");
}

void TestSlotRequest::relativeLocations()
{
    const QString base = QStringLiteral("http://h:81/a/b/c.zip?x");
    QCOMPARE(UrlSplit::Resolve(base, QStringLiteral("/d.zip")),
             QStringLiteral("http://h:81/d.zip"));
    QCOMPARE(UrlSplit::Resolve(base, QStringLiteral("e.zip")),
             QStringLiteral("http://h:81/a/b/e.zip"));
    QCOMPARE(UrlSplit::Resolve(base, QStringLiteral("../f")), QStringLiteral("http://h:81/a/f"));
    QCOMPARE(UrlSplit::Resolve(base, QStringLiteral("//o.org/g")),
             QStringLiteral("http://o.org/g"));
    QCOMPARE(UrlSplit::Resolve(base, QStringLiteral("https://s.org/h")),
             QStringLiteral("https://s.org/h"));
}

static const QByteArray kHeader = "HTTP/1.1 206 Partial Content\r\nContent-Length: 5\r\n"
                                  "Content-Range: bytes 5-9/10\r\nX-Fold: a\r\n b\r\n\r\n";

void TestSlotRequest::headerSkipsInterimReplies()
{
    ReplyHeader header;
    QByteArray packet = "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Early Hints\r\nLink: </s>\r\n"
                        "\r\nHTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nZ";
    QCOMPARE(header.Feed(packet), ReplyHeader::Step::Complete);
    QCOMPARE(header.Status(), 200);
    QCOMPARE(header.StatusText(), QStringLiteral(" OK"));
    QCOMPARE(packet, QByteArray("Z"));
    QCOMPARE(header.VarIndex(QStringLiteral("Link")), -1);
}

void TestSlotRequest::headerRefusedPastLimit()
{
    ReplyHeader header;
    QByteArray line = "HTTP/1.1 200 OK\r\n";
    QCOMPARE(header.Feed(line), ReplyHeader::Step::NeedMore);
    QByteArray filler(1000, 'x');
    ReplyHeader::Step step = ReplyHeader::Step::NeedMore;
    for (int i = 0; i < 70 && step == ReplyHeader::Step::NeedMore; ++i) {
        QByteArray piece = filler;
        step = header.Feed(piece);
    }
    QCOMPARE(step, ReplyHeader::Step::TooLong);
    // Ending just under the limit is still a header.
    ReplyHeader near;
    QByteArray big =
        "HTTP/1.1 200 OK\r\nX: " + QByteArray(ReplyHeader::MaxBytes - 30, 'y') + "\r\n\r\n";
    QCOMPARE(near.Feed(big), ReplyHeader::Step::Complete);
}

void TestSlotRequest::headerFields()
{
    const QList<HttpVar> vars = ReplyHeader::ParseFields(
        QStringLiteral("HTTP/1.0 404 Not: Found\r\nContent-Length:  12 \r\nNoColon value\r\n"
                       "Lonely\r\nA: 1\r\n 2\r\n 3\r\n"));
    QCOMPARE(vars.size(), 6);
    QCOMPARE(vars[0].Name, QStringLiteral("HTTP/1.0"));
    QCOMPARE(vars[0].Value, QStringLiteral("404 Not: Found"));
    QCOMPARE(vars[1].Value, QStringLiteral("12"));
    QCOMPARE(vars[2].Name, QStringLiteral("NoColon"));
    QCOMPARE(vars[2].Value, QStringLiteral("value"));
    QCOMPARE(vars[3].Name, QStringLiteral("Lonely"));
    QCOMPARE(vars[3].Value, QString());
    QCOMPARE(vars[4].Value, QStringLiteral("1 2")); // one folded line is joined
    QCOMPARE(vars[5].Value, QStringLiteral("3"));   // a second folded line stands alone

    ReplyHeader header;
    QByteArray garbage = "\x01\x02 junk\r\n\r\n";
    QCOMPARE(header.Feed(garbage), ReplyHeader::Step::Complete);
    QVERIFY(!header.StatusValid());
    for (const char* line : {"HTTP/1.1\r\n\r\n", "HTTP/1.1 2000 OK\r\n\r\n", "HTTP/1.1 20\r\n\r\n",
                             "ICY 200 OK\r\n\r\n", "HTTP/1.1 099 X\r\n\r\n"}) {
        ReplyHeader h;
        QByteArray p(line);
        QCOMPARE(h.Feed(p), ReplyHeader::Step::Complete);
        QVERIFY2(!h.StatusValid(), line);
    }
}

void TestSlotRequest::lengthsAndRanges()
{
    qint64 n = -5;
    QVERIFY(ReplyHeader::ParseLength(QStringLiteral(" 4611686018427387904 "), &n));
    QCOMPARE(n, ReplyHeader::MaxLength);
    for (const char* bad : {"4611686018427387905", "9223372036854775807", "9223372036854775808",
                            "-1", "+1", "1e3", "", " ", "12 3", "0x10"})
        QVERIFY2(!ReplyHeader::ParseLength(QString::fromLatin1(bad), &n), bad);

    auto length = [](const QByteArray& fields, qint64* value, bool* present) {
        ReplyHeader h;
        QByteArray p = "HTTP/1.1 200 OK\r\n" + fields + "\r\n";
        h.Feed(p);
        QString problem;
        return h.ContentLength(value, present, &problem);
    };
    bool present = false;
    QVERIFY(length("Content-Length: 5\r\ncontent-length: 5\r\n", &n, &present));
    QCOMPARE(n, 5);
    QVERIFY(length("Content-Length: 5, 5\r\n", &n, &present));
    QVERIFY(!length("Content-Length: 5\r\nContent-Length: 6\r\n", &n, &present));
    QVERIFY(!length("Content-Length: 5, 6\r\n", &n, &present));
    QVERIFY(!length("Content-Length: -5\r\n", &n, &present));
    QVERIFY(length("X: y\r\n", &n, &present));
    QVERIFY(!present);

    qint64 first = 0, last = 0, total = 0;
    QVERIFY(ReplyHeader::ParseContentRange(QStringLiteral("bytes 500-999/1000"), &first, &last,
                                           &total));
    QCOMPARE(first, 500);
    QCOMPARE(last, 999);
    QCOMPARE(total, 1000);
    QVERIFY(ReplyHeader::ParseContentRange(QStringLiteral("BYTES 0-0/*"), &first, &last, &total));
    QCOMPARE(total, -1);
    for (const char* bad : {"bytes 500-999", "bytes 5-4/10", "bytes 0-10/10", "bytes -1/10",
                            "bytes */10", "items 0-1/2", "bytes a-b/c", ""})
        QVERIFY2(!ReplyHeader::ParseContentRange(QString::fromLatin1(bad), &first, &last, &total),
                 bad);
}

QTEST_GUILESS_MAIN(TestSlotRequest)
#include "test_slot_request.moc"
