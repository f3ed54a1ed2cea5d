// SPDX-License-Identifier: GPL-3.0-or-later
// The speed options through the download manager: jobs of a run share the slots' kept
// connections to nginx, every file arrives byte for byte, and a slot that only keeps an
// idle connection does not hold the run open.
#include "ManagerRig.h"

#include "lists/JobList.h"
#include "settings/Options.h"
#include "support/NginxFixture.h"

#include <QRegularExpression>
#include <QSet>

class TestSlotSpeedManager : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void jobsShareKeptConnections_data();
    void jobsShareKeptConnections();
};

void TestSlotSpeedManager::jobsShareKeptConnections_data()
{
    QTest::addColumn<bool>("reuse");
    QTest::addColumn<bool>("http11");
    QTest::newRow("both options") << true << true;
    QTest::newRow("reuse without HTTP/1.1") << true << false;
    QTest::newRow("connect at once only") << false << true;
}

void TestSlotSpeedManager::jobsShareKeptConnections()
{
    QFETCH(bool, reuse);
    QFETCH(bool, http11);
    // nginx names its connection in every reply, so the test counts them from its side.
    NginxFixture nginx(QStringLiteral("add_header X-Connection $connection always;"));
    QString error;
    QVERIFY2(nginx.start(&error), qPrintable(error));
    constexpr int Jobs = 20;
    QList<QByteArray> bodies;
    for (int i = 0; i < Jobs; ++i) {
        bodies << NginxFixture::randomBytes(3000 + i * 1500, quint32(i + 11));
        nginx.writeFile(QStringLiteral("d/f%1.bin").arg(i), bodies.last());
    }

    ManagerRig rig(2, [&](DownloadManager& m) {
        m.options().setHttpVersion(http11);
        m.options().setKeepAlive(true);
        m.options().setConnectAtOnce(true);
        m.options().setReuseConnections(reuse);
    });
    QVERIFY(rig.baseDirOk);
    DownloadManager& m = *rig.m;
    QSet<QString> connections;
    int replies = 0;
    static const QRegularExpression tag(QStringLiteral("\r\nX-Connection: (\\d+)"),
                                        QRegularExpression::CaseInsensitiveOption);
    for (int slot = 0; slot < m.SessionMax(); ++slot) {
        QObject::connect(m.Http(slot), &HttpFiles::HeaderCame, &m, [&](const QString& header) {
            ++replies;
            connections.insert(tag.match(header).captured(1));
        });
    }
    QStringList urls;
    for (int i = 0; i < Jobs; ++i)
        urls << nginx.url(QStringLiteral("/d/f%1.bin").arg(i));
    m.Jobs().AddJobs(urls.join(QStringLiteral("\r\n")));
    m.StartDownloads();
    // The run ends when the jobs do, not when the kept connections' idle time runs out.
    QVERIFY(rig.waitIdle(15000));
    QCOMPARE(m.State().CompletedJobs, Jobs);
    QCOMPARE(m.State().FailedJobs, 0);
    for (int i = 0; i < Jobs; ++i)
        QCOMPARE(rig.read(rig.local(nginx.port(), QStringLiteral("/d/f%1.bin").arg(i))),
                 bodies.at(i));
    QCOMPARE(replies, Jobs);
    if (reuse && http11)
        QCOMPARE(connections.size(), 2); // one per slot
    else
        QCOMPARE(connections.size(), Jobs);
    // Nothing is kept once the run is over.
    for (int slot = 0; slot < m.SessionMax(); ++slot)
        QVERIFY(!m.Http(slot)->KeepsIdleConnection());
}

QTEST_GUILESS_MAIN(TestSlotSpeedManager)
#include "test_slot_speed_manager.moc"
