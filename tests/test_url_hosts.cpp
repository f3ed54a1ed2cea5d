// SPDX-License-Identifier: GPL-3.0-or-later
// What a URL becomes on the wire: hosts with blanks or control characters are refused and
// never reach a request's Host line; names outside ASCII go in their ASCII form; a path
// keeps its escapes and only what a request line cannot carry is encoded.
#include "engine/HttpFiles.h"
#include "engine/UrlSplit.h"
#include "support/ScriptedServer.h"
#include "support/SlotRecorder.h"

#include <QTemporaryDir>
#include <QTest>

class TestUrlHosts : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void hostsWithControlsAreRefused_data();
    void hostsWithControlsAreRefused();
    void redirectionToSuchAHostFails();
    void requestLines_data();
    void requestLines();
    void locationKeepsItsEscapes();
};

void TestUrlHosts::hostsWithControlsAreRefused_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("supported");
    QTest::newRow("plain") << "http://example.org:8080/a" << true;
    QTest::newRow("ipv6 literal") << "http://[::1]:81/a" << true;
    QTest::newRow("non-ascii name") << QStringLiteral("http://b\u00fccher.example/a") << true;
    QTest::newRow("line feed") << "http://a\nX-Injected: 1/p" << false;
    QTest::newRow("blank") << "http://a b/p" << false;
    QTest::newRow("nul") << QStringLiteral("http://a%1b/p").arg(QChar(0)) << false;
    QTest::newRow("delete") << "http://a\x7f"
                               "b/p"
                            << false;
}

void TestUrlHosts::hostsWithControlsAreRefused()
{
    QFETCH(QString, url);
    QFETCH(bool, supported);
    QCOMPARE(UrlSplit::Parse(url).Supported, supported);
}

void TestUrlHosts::redirectionToSuchAHostFails()
{
    // ReplyHeader splits lines at CR LF only, so a bare LF stays inside the Location.
    ScriptedServer server;
    server.addConnection(ServerScript::reply("HTTP/1.0 302 Found\r\n"
                                             "Location: http://evil\nX-Injected: 1/p\r\n"
                                             "Content-Length: 0\r\n\r\n"));
    QTemporaryDir dir;
    HttpFiles slot;
    SlotRecorder rec(&slot);
    SlotRecorder::makeQuick(&slot);
    slot.setRedirection(true);
    slot.GetRemoteFile(server.url(QStringLiteral("/r.bin")), dir.filePath(QStringLiteral("r.bin")),
                       0, 0);
    WAIT_ENDED(rec, 10000);
    QVERIFY2(rec.milestones().contains(QStringLiteral("DownloadFailed")),
             qPrintable(rec.events.join(u' ')));
    QVERIFY(rec.errors().join(u' ').contains(QStringLiteral("Unsupported URL")));
    QCOMPARE(server.connectionCount(), 1);
    QCOMPARE(slot.DownloadStatus(), 2);
}

void TestUrlHosts::requestLines_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("host");
    const char* const rows[][3] = {
        {"escapes kept", "http://h/d1/file%20with%20spaces.dat", "/d1/file%20with%20spaces.dat"},
        {"escaped slash in query", "http://h/p?x=a%2Fb", "/p?x=a%2Fb"},
        {"blank", "http://h/a b.dat", "/a%20b.dat"},
        {"bare percent", "http://h/100%.dat?v=%zz%4", "/100%25.dat?v=%25zz%254"},
        {"fragment", "http://h/x.dat#part", "/x.dat"},
        {"fragment with slash", "http://h:81#a/b", "/"},
        {"query without path", "http://h?q=1", "/?q=1"},
        {"non-ascii path", "http://h/\u00fc.dat", "/%C3%BC.dat"},
    };
    for (const auto& row : rows)
        QTest::newRow(row[0]) << QString::fromUtf8(row[1]) << QString(row[2])
                              << QStringLiteral("h");
    QTest::newRow("non-ascii host") << QStringLiteral("http://B\u00fccher.example/a") << "/a"
                                    << "xn--bcher-kva.example";
}

void TestUrlHosts::requestLines()
{
    QFETCH(QString, url);
    QFETCH(QString, target);
    QFETCH(QString, host);
    const UrlSplit split = UrlSplit::Parse(url);
    QVERIFY(split.Supported);
    HttpFiles slot;
    const QStringList lines =
        slot.getRequest(split.Host, split.Path, 0, 0, 0).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.value(0), QStringLiteral("GET ") + target + QStringLiteral(" HTTP/1.0"));
    QCOMPARE(lines.value(1), QStringLiteral("Host: ") + host);
}

void TestUrlHosts::locationKeepsItsEscapes()
{
    ScriptedServer server;
    server.addConnection(ServerScript::reply("HTTP/1.0 302 Found\r\n"
                                             "Location: /new%20name.bin?k=a%2Fb#top\r\n\r\n"));
    server.addConnection(ServerScript::reply("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok"));
    QTemporaryDir dir;
    HttpFiles slot;
    SlotRecorder rec(&slot);
    SlotRecorder::makeQuick(&slot);
    slot.GetRemoteFile(server.url(QStringLiteral("/old.bin")),
                       dir.filePath(QStringLiteral("n.bin")), 0, 0);
    WAIT_ENDED(rec, 10000);
    QVERIFY2(server.requests().value(1).startsWith("GET /new%20name.bin?k=a%2Fb HTTP/1.0\r\n"),
             server.requests().value(1).constData());
    QVERIFY(rec.milestones().contains(QStringLiteral("DownloadComplete")));
}

QTEST_GUILESS_MAIN(TestUrlHosts)
#include "test_url_hosts.moc"
