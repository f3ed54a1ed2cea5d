// SPDX-License-Identifier: GPL-3.0-or-later
// Hosts with blanks or control characters, from a list or from a server's Location: the
// URL is refused with a clear error, and never reaches a request's Host line.
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
};

void TestUrlHosts::hostsWithControlsAreRefused_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("supported");
    QTest::newRow("plain") << "http://example.org:8080/a" << true;
    QTest::newRow("ipv6 literal") << "http://[::1]:81/a" << true;
    QTest::newRow("non-ascii name") << QStringLiteral("http://b\u00fccher.example/a") << true;
    QTest::newRow("line feed") << "http://a\nX-Injected: 1/p" << false;
    QTest::newRow("carriage return") << "http://a\rX: 1/p" << false;
    QTest::newRow("blank") << "http://a b/p" << false;
    QTest::newRow("tab") << "http://a\tb:80/p" << false;
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

QTEST_GUILESS_MAIN(TestUrlHosts)
#include "test_url_hosts.moc"
