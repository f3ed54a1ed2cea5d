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
    // The request target and Host line; an empty target: the URL is refused.
    void requestLines_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("host");
        const char* const rows[][4] = {
            {"escapes kept", "http://h/d1/file%20with%20spaces.dat", "/d1/file%20with%20spaces.dat",
             "h"},
            {"escaped slash in query", "http://h/p?x=a%2Fb", "/p?x=a%2Fb", "h"},
            {"blank", "http://h/a b.dat", "/a%20b.dat", "h"},
            {"bare percent", "http://h/100%.dat?v=%zz%4", "/100%25.dat?v=%25zz%254", "h"},
            {"fragment", "http://h/x.dat#part", "/x.dat", "h"},
            {"fragment with slash", "http://h:81#a/b", "/", "h"},
            {"query without path", "http://h?q=1", "/?q=1", "h"},
            {"non-ascii path", "http://h/\u00fc.dat", "/%C3%BC.dat", "h"},
            {"non-ascii host", "http://B\u00fccher.example/a", "/a", "xn--bcher-kva.example"},
            {"ipv6 literal", "http://[::1]:81/a", "/a", "[::1]"},
            {"line feed in host", "http://a\nX-Injected: 1/p", "", ""},
            {"blank in host", "http://a b/p", "", ""},
            {"delete in host",
             "http://a\x7f"
             "b/p",
             "", ""},
        };
        for (const auto& r : rows)
            QTest::newRow(r[0]) << QString::fromUtf8(r[1]) << QString(r[2]) << QString(r[3]);
        QTest::newRow("nul in host") << QStringLiteral("http://a%1b/p").arg(QChar(0)) << ""
                                     << "";
    }
    void requestLines()
    {
        QFETCH(QString, url);
        QFETCH(QString, target);
        QFETCH(QString, host);
        const UrlSplit split = UrlSplit::Parse(url);
        QCOMPARE(split.Supported, !target.isEmpty());
        if (!split.Supported)
            return;
        HttpFiles slot;
        const QStringList lines =
            slot.getRequest(split.Host, split.Path, 0, 0, 0).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.value(0), "GET " + target + " HTTP/1.0");
        QCOMPARE(lines.value(1), "Host: " + host);
    }

    // A redirection's Location on the wire: escapes kept, and a host with a control
    // character (a bare LF stays inside the header line) fails the download.
    void redirections_data()
    {
        QTest::addColumn<QByteArray>("location");
        QTest::addColumn<QByteArray>("second"); // the second request line; empty: none
        QTest::newRow("escapes kept") << QByteArray("/new%20name.bin?k=a%2Fb#top")
                                      << QByteArray("GET /new%20name.bin?k=a%2Fb HTTP/1.0\r\n");
        QTest::newRow("control in host")
            << QByteArray("http://evil\nX-Injected: 1/p") << QByteArray();
    }
    void redirections()
    {
        QFETCH(QByteArray, location);
        QFETCH(QByteArray, second);
        ScriptedServer server;
        server.addConnection(ServerScript::reply("HTTP/1.0 302 Found\r\nLocation: " + location +
                                                 "\r\nContent-Length: 0\r\n\r\n"));
        server.addConnection(ServerScript::reply("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok"));
        QTemporaryDir dir;
        HttpFiles slot;
        SlotRecorder rec(&slot);
        SlotRecorder::makeQuick(&slot);
        slot.setRedirection(true);
        slot.GetRemoteFile(server.url("/old.bin"), dir.filePath("n.bin"), 0, 0);
        WAIT_ENDED(rec, 10000);
        if (second.isEmpty()) {
            QVERIFY(rec.milestones().contains(QStringLiteral("DownloadFailed")));
            QVERIFY(rec.errors().join(u' ').contains(QStringLiteral("Unsupported URL")));
            QCOMPARE(server.connectionCount(), 1);
        } else {
            QVERIFY2(server.requests().value(1).startsWith(second),
                     server.requests().value(1).constData());
            QVERIFY(rec.milestones().contains(QStringLiteral("DownloadComplete")));
        }
    }
};

QTEST_GUILESS_MAIN(TestUrlHosts)
#include "test_url_hosts.moc"
