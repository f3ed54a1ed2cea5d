// SPDX-License-Identifier: GPL-3.0-or-later
// Slots against a real nginx on loopback: whole files, resumes (past 2 GiB too), chunked
// gzip bodies, redirections, error replies, encoded names and the server's file dates;
// and a manager run whose jobs share the slots' kept connections.
#include "ManagerRig.h"

#include "lists/JobList.h"
#include "settings/Options.h"
#include "support/NginxFixture.h"
#include "support/SlotRecorder.h"
#include "support/TestFiles.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTcpSocket>

class TestSlotNginx : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void files_data();
    void files();
    void resumePastTwoGiB();
    void chunkedGzipBody();
    void managerRunSharesKeptConnections_data();
    void managerRunSharesKeptConnections();

private:
    // nginx names its connection in every reply, so tests count them from its side.
    NginxFixture m_nginx{"add_header X-Connection $connection always;"};
    QTemporaryDir m_dir;
    const QDateTime m_date = QDateTime(QDate(2011, 3, 4), QTime(5, 6, 7), Qt::UTC);
};

void TestSlotNginx::initTestCase()
{
    QString error;
    QVERIFY2(m_nginx.start(&error), qPrintable(error));
}

// Runs one job to its end; returns the slot's milestones.
static QString fetch(HttpFiles& slot, const QString& url, const QString& local, qint64 from = 0)
{
    SlotRecorder rec(&slot);
    SlotRecorder::makeQuick(&slot);
    slot.GetRemoteFile(url, local, from, 1);
    const bool ended = QTest::qWaitFor([&] { return rec.ended(); }, 30000);
    rec.setParent(nullptr);
    return ended ? rec.milestones().join(u' ') : QStringLiteral("timed out");
}

void TestSlotNginx::files_data()
{
    QTest::addColumn<QString>("name"); // the file on the server, "" for none
    QTest::addColumn<QString>("path"); // as a list line gives it
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("onDisk"); // its first bytes on disk before
    QTest::addColumn<int>("protocol");
    QTest::addColumn<QString>("milestones"); // %1: the server's URL
    const QString whole = "Connected HeaderCame DownloadComplete Disconnected";
    const QString moved = "Connected HeaderCame Error:%2 Redirected:%1/target.bin " + whole;
    const int mb3 = 3 * 1024 * 1024 + 17;
    // clang-format off
    QTest::newRow("whole, HTTP/1.0") << "whole.bin" << "/whole.bin" << mb3 << 0 << 0 << whole;
    QTest::newRow("whole, HTTP/1.1") << "whole.bin" << "/whole.bin" << mb3 << 0 << 1 << whole;
    QTest::newRow("resumed") << "resume.bin" << "/resume.bin" << 500000 << 123457 << 0 << whole;
    QTest::newRow("302") << "target.bin" << "/r302/target.bin" << 70000 << 0 << 0 << moved.arg("%1", "302");
    QTest::newRow("404 keeps the part") << "" << "/no/such.bin" << 5 << 5 << 0 << "Connected HeaderCame Error:404 DownloadFailed Disconnected";
    QTest::newRow("416: already whole") << "done.bin" << "/done.bin" << 5 << 5 << 0 << "Connected HeaderCame Error:416 DownloadComplete Disconnected";
    QTest::newRow("blanks") << "file with spaces.dat" << "/file with spaces.dat" << 5000 << 0 << 0 << whole;
    QTest::newRow("bare percent") << "100%.dat" << "/100%.dat" << 5000 << 0 << 0 << whole;
    QTest::newRow("non-ASCII") << "gr\u00fc\u00dfe.dat" << "/gr\u00fc\u00dfe.dat" << 5000 << 0 << 0 << whole;
    // clang-format on
}

void TestSlotNginx::files()
{
    QFETCH(QString, name);
    QFETCH(QString, path);
    QFETCH(int, size);
    QFETCH(int, onDisk);
    QFETCH(int, protocol);
    QFETCH(QString, milestones);
    const QByteArray data = NginxFixture::randomBytes(size, quint32(size));
    if (!name.isEmpty()) {
        QFile remote(m_nginx.writeFile(name, data));
        QVERIFY(remote.open(QIODevice::ReadWrite));
        QVERIFY(remote.setFileTime(m_date, QFileDevice::FileModificationTime));
    }
    const QString local = m_dir.filePath("sub/dir/" + QString(QTest::currentDataTag()));
    QFile::remove(local);
    if (onDisk > 0)
        QVERIFY(writeFile(local, data.left(onDisk)));
    HttpFiles slot;
    slot.setProtocol(protocol);
    QCOMPARE(fetch(slot, m_nginx.url(path), local, onDisk), milestones.arg(m_nginx.url("")));
    const bool body = milestones.endsWith("HeaderCame DownloadComplete Disconnected");
    QCOMPARE(readAll(local), body ? data : data.left(onDisk));
    if (body)
        QCOMPARE(QFileInfo(local).lastModified().toUTC(), m_date); // the server's date
    if (onDisk > 0)
        QVERIFY(slot.ReqStr().contains(QStringLiteral("Range: bytes=%1-\r\n").arg(onDisk)));
}

void TestSlotNginx::resumePastTwoGiB()
{
    // Sparse files: only the last kilobyte holds data, so only the tail is transferred.
    const qint64 base = Q_INT64_C(1) << 31;
    const QByteArray tail = NginxFixture::randomBytes(1000, 13);
    const auto sparse = [&](const QString& path, const QByteArray& end) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.resize(base) && f.seek(base) &&
               f.write(end) == end.size();
    };
    const QString remote = m_nginx.writeFile("big.bin", {});
    const QString local = m_dir.filePath("big.bin");
    QVERIFY(sparse(remote, tail));
    QVERIFY(sparse(local, tail.left(400)));
    HttpFiles slot;
    QCOMPARE(fetch(slot, m_nginx.url("/big.bin"), local, base + 400),
             "Connected HeaderCame DownloadComplete Disconnected");
    QVERIFY(slot.ReqStr().contains("Range: bytes=2147484048-\r\n"));
    QCOMPARE(slot.FileSize(), base + 1000);
    QFile f(local);
    QVERIFY(f.open(QIODevice::ReadOnly) && f.seek(base));
    QCOMPARE(f.size(), base + 1000);
    QCOMPARE(f.readAll(), tail);
    QFile::remove(remote);
    QFile::remove(local);
}

void TestSlotNginx::chunkedGzipBody()
{
    // The body is kept as sent: compressed, as nginx sends it to a plain HTTP/1.0 request.
    QByteArray text;
    for (int i = 0; i < 20000; ++i)
        text += "line " + QByteArray::number(i * 7919 % 10007) + " of a compressible text\n";
    m_nginx.writeFile("notes.txt", text);
    QTcpSocket socket;
    socket.connectToHost("127.0.0.1", m_nginx.port());
    QVERIFY(socket.waitForConnected(5000));
    socket.write("GET /notes.txt HTTP/1.0\r\nHost: 127.0.0.1\r\nAccept-Encoding: gzip\r\n\r\n");
    QByteArray reply;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(5000))
        reply += socket.readAll();
    reply += socket.readAll();
    const QByteArray gzip = reply.mid(reply.indexOf("\r\n\r\n") + 4);
    QVERIFY(gzip.startsWith("\x1f\x8b"));
    HttpFiles slot;
    slot.setProtocol(1);
    const QString local = m_dir.filePath("notes.txt.gz");
    QCOMPARE(fetch(slot, m_nginx.url("/notes.txt"), local),
             "Connected HeaderCame DownloadComplete Disconnected");
    QCOMPARE(slot.GetHTTP_Var("transfer-encoding"), "chunked");
    QCOMPARE(readAll(local), gzip);
}

void TestSlotNginx::managerRunSharesKeptConnections_data()
{
    QTest::addColumn<bool>("reuse");
    QTest::addColumn<bool>("http11");
    QTest::addColumn<int>("connections");
    QTest::newRow("both options: one per slot") << true << true << 2;
    QTest::newRow("reuse without HTTP/1.1") << true << false << 8;
    QTest::newRow("connect at once only") << false << true << 8;
}

void TestSlotNginx::managerRunSharesKeptConnections()
{
    QFETCH(bool, reuse);
    QFETCH(bool, http11);
    ManagerRig rig(2, [&](DownloadManager& m) {
        m.options().setHttpVersion(http11);
        m.options().setKeepAlive(true);
        m.options().setConnectAtOnce(true);
        m.options().setReuseConnections(reuse);
    });
    QVERIFY(rig.baseDirOk);
    DownloadManager& m = *rig.m;
    QSet<QString> connections;
    static const QRegularExpression tag("\r\nX-Connection: (\\d+)",
                                        QRegularExpression::CaseInsensitiveOption);
    for (int slot = 0; slot < m.SessionMax(); ++slot)
        QObject::connect(m.Http(slot), &HttpFiles::HeaderCame, &m, [&](const QString& header) {
            connections.insert(tag.match(header).captured(1));
        });
    QStringList urls;
    for (int i = 0; i < 8; ++i) {
        m_nginx.writeFile(QStringLiteral("d/f%1.bin").arg(i), NginxFixture::randomBytes(3000, i));
        urls << m_nginx.url(QStringLiteral("/d/f%1.bin").arg(i));
    }
    m.Jobs().AddJobs(urls.join("\r\n"));
    m.StartDownloads();
    // The run ends when the jobs do, not when the kept connections' idle time runs out.
    QVERIFY(rig.waitIdle(15000));
    QCOMPARE(m.State().CompletedJobs, 8);
    for (int i = 0; i < 8; ++i)
        QCOMPARE(rig.read(rig.local(m_nginx.port(), QStringLiteral("/d/f%1.bin").arg(i))),
                 NginxFixture::randomBytes(3000, i));
    QTEST(int(connections.size()), "connections");
    for (int slot = 0; slot < m.SessionMax(); ++slot)
        QVERIFY(!m.Http(slot)->KeepsIdleConnection()); // nothing is kept after the run
}

QTEST_GUILESS_MAIN(TestSlotNginx)
#include "test_slot_nginx.moc"
