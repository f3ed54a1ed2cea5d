// SPDX-License-Identifier: GPL-3.0-or-later
// What a URL becomes on the wire: hosts with blanks or control characters are refused, names
// outside ASCII go in ASCII form, a path keeps its escapes.
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
    void requestLines()
    {
        const QString rows[][3] = {
            {"http://h/d1/file%20with%20spaces.dat", "/d1/file%20with%20spaces.dat", "h"},
            {"http://h/p?x=a%2Fb", "/p?x=a%2Fb", "h"},
            {"http://h/100%.dat?v=%zz%4", "/100%25.dat?v=%25zz%254", "h"},
            {"http://h:81#a/b", "/", "h"},
            {"http://h?q=1", "/?q=1", "h"},
            {"http://h/\u00fc.dat", "/%C3%BC.dat", "h"},
            {"http://B\u00fccher.example/a", "/a", "xn--bcher-kva.example"},
            {"http://[::1]:81/a", "/a", "[::1]"},
            {"http://a\nX-Injected: 1/p", "", ""},
            {"http://a b/p", "", ""},
            {"http://a\x7f"
             "b/p",
             "", ""},
            {QStringLiteral("http://a%1b/p").arg(QChar(0)), "", ""},
        };
        for (const auto& [url, target, host] : rows) {
            const UrlSplit split = UrlSplit::Parse(url);
            QCOMPARE(split.Supported, !target.isEmpty());
            if (!split.Supported)
                continue;
            HttpFiles slot;
            const QStringList lines =
                slot.getRequest(split.Host, split.Path, 0, 0, 0).split(QStringLiteral("\r\n"));
            QCOMPARE(lines.value(0), "GET " + target + " HTTP/1.0");
            QCOMPARE(lines.value(1), "Host: " + host);
        }
    }

    // A redirection's Location on the wire: escapes kept, and a host with a control
    // character (a bare LF stays inside the header line) fails the download.
    void redirections()
    {
        const std::pair<QByteArray, QByteArray> rows[] = {
            {"/new%20name.bin?k=a%2Fb#top", "GET /new%20name.bin?k=a%2Fb HTTP/1.0\r\n"},
            {"http://evil\nX-Injected: 1/p", ""}, // no second request
        };
        for (const auto& [location, second] : rows) {
            ScriptedServer server;
            server.addConnection(ServerScript::reply("HTTP/1.0 302 Found\r\nLocation: " + location +
                                                     "\r\nContent-Length: 0\r\n\r\n"));
            server.addConnection(
                ServerScript::reply("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok"));
            QTemporaryDir dir;
            HttpFiles slot;
            SlotRecorder rec(&slot);
            SlotRecorder::makeQuick(&slot);
            slot.setRedirection(true);
            slot.GetRemoteFile(server.url("/old.bin"), dir.filePath("n.bin"), 0, 0);
            WAIT_ENDED(rec, 10000);
            QCOMPARE(rec.milestones().contains("DownloadComplete"), !second.isEmpty());
            QVERIFY(server.requests().value(1).startsWith(second));
            if (second.isEmpty()) {
                QVERIFY(rec.errors().join(u' ').contains(QStringLiteral("Unsupported URL")));
                QCOMPARE(server.connectionCount(), 1);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestUrlHosts)
#include "test_url_hosts.moc"
