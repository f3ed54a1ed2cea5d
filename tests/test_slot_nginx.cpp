// SPDX-License-Identifier: GPL-3.0-or-later
// A slot against a real nginx on loopback: whole files, resumes (past 2 GiB too),
// chunked gzip bodies, redirections, error replies and the server's file dates.
#include "engine/HttpFiles.h"
#include "support/NginxFixture.h"
#include "support/SlotRecorder.h"
#include "support/TestFiles.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

class TestSlotNginx : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void wholeFileByteExact_data();
    void wholeFileByteExact();
    void resumeByteExact();
    void resumePastTwoGiB();
    void chunkedGzipBody();
    void redirectionsFromNginx();
    void missingFileAndFinishedFile();
    void fileCarriesServerDate();
    void encodedNamesByteExact_data();
    void encodedNamesByteExact();

private:
    NginxFixture m_nginx;
    QTemporaryDir m_dir;
};

void TestSlotNginx::initTestCase()
{
    QString error;
    QVERIFY2(m_nginx.start(&error), qPrintable(error));
}

// Runs one job to its end; returns the slot's events.
static QStringList fetch(HttpFiles& slot, const QString& url, const QString& local,
                         qint64 startPos = 0)
{
    SlotRecorder rec(&slot);
    slot.GetRemoteFile(url, local, startPos, slot.Protocol());
    if (!QTest::qWaitFor([&] { return rec.ended(); }, 30000))
        return {QStringLiteral("timed out")};
    rec.setParent(nullptr);
    return rec.milestones();
}

void TestSlotNginx::wholeFileByteExact_data()
{
    QTest::addColumn<int>("protocol");
    QTest::newRow("HTTP/1.0") << 0;
    QTest::newRow("HTTP/1.1 kept alive") << 1;
}

void TestSlotNginx::wholeFileByteExact()
{
    QFETCH(int, protocol);
    const QByteArray data = NginxFixture::randomBytes(3 * 1024 * 1024 + 17, 7);
    m_nginx.writeFile(QStringLiteral("whole.bin"), data);
    HttpFiles slot;
    SlotRecorder::makeQuick(&slot);
    slot.setProtocol(protocol);
    const QString local = m_dir.filePath(QStringLiteral("sub/dir/whole%1.bin").arg(protocol));
    QCOMPARE(fetch(slot, m_nginx.url(QStringLiteral("/whole.bin")), local),
             QStringList({"Connected", "HeaderCame", "DownloadComplete", "Disconnected"}));
    QCOMPARE(readAll(local), data);
    QCOMPARE(slot.FileSize(), data.size());
}

void TestSlotNginx::resumeByteExact()
{
    const QByteArray data = NginxFixture::randomBytes(500000, 11);
    m_nginx.writeFile(QStringLiteral("resume.bin"), data);
    const QString local = m_dir.filePath(QStringLiteral("resume.bin"));
    QFile part(local);
    QVERIFY(part.open(QIODevice::WriteOnly));
    part.write(data.left(123457));
    part.close();
    HttpFiles slot;
    SlotRecorder::makeQuick(&slot);
    QCOMPARE(fetch(slot, m_nginx.url(QStringLiteral("/resume.bin")), local, 123457),
             QStringList({"Connected", "HeaderCame", "DownloadComplete", "Disconnected"}));
    QVERIFY(slot.ReqStr().contains(QStringLiteral("Range: bytes=123457-\r\n")));
    QCOMPARE(readAll(local), data);
}

void TestSlotNginx::resumePastTwoGiB()
{
    // Sparse files: only the last kilobyte holds data, so only the tail is transferred.
    const qint64 base = Q_INT64_C(1) << 31;
    const QByteArray tail = NginxFixture::randomBytes(1000, 13);
    const QString remote = m_nginx.writeFile(QStringLiteral("big.bin"), QByteArray());
    {
        QFile f(remote);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.resize(base));
        QVERIFY(f.seek(base));
        QCOMPARE(f.write(tail), tail.size());
    }
    const QString local = m_dir.filePath(QStringLiteral("big.bin"));
    {
        QFile f(local);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(base));
        QVERIFY(f.seek(base));
        f.write(tail.left(400));
    }
    HttpFiles slot;
    SlotRecorder::makeQuick(&slot);
    QCOMPARE(fetch(slot, m_nginx.url(QStringLiteral("/big.bin")), local, base + 400),
             QStringList({"Connected", "HeaderCame", "DownloadComplete", "Disconnected"}));
    QVERIFY(slot.ReqStr().contains(QStringLiteral("Range: bytes=2147484048-\r\n")));
    QCOMPARE(slot.FileSize(), base + 1000);
    QCOMPARE(slot.CurPos(), base + 1001);
    QFile f(local);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.size(), base + 1000);
    QVERIFY(f.seek(base));
    QCOMPARE(f.readAll(), tail);
    f.close();
    QFile::remove(remote);
    QFile::remove(local);
}

// The body nginx sends to a plain HTTP/1.0 request (no chunking there), read to the close.
static QByteArray referenceBody(quint16 port, const QByteArray& path)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(5000))
        return {};
    socket.write("GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\nAccept-Encoding: gzip\r\n\r\n");
    QByteArray all;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(5000))
        all += socket.readAll();
    all += socket.readAll();
    const qsizetype end = all.indexOf("\r\n\r\n");
    return end < 0 ? QByteArray() : all.mid(end + 4);
}

void TestSlotNginx::chunkedGzipBody()
{
    QByteArray text;
    for (int i = 0; i < 20000; ++i)
        text += "line " + QByteArray::number(i * 7919 % 10007) + " of a compressible text\n";
    m_nginx.writeFile(QStringLiteral("notes.txt"), text);
    const QByteArray gzip = referenceBody(m_nginx.port(), "/notes.txt");
    QVERIFY(gzip.startsWith("\x1f\x8b"));
    HttpFiles slot;
    SlotRecorder::makeQuick(&slot);
    slot.setProtocol(1);
    const QString local = m_dir.filePath(QStringLiteral("notes.txt.gz"));
    QCOMPARE(fetch(slot, m_nginx.url(QStringLiteral("/notes.txt")), local),
             QStringList({"Connected", "HeaderCame", "DownloadComplete", "Disconnected"}));
    QCOMPARE(slot.GetHTTP_Var(QStringLiteral("transfer-encoding")), QStringLiteral("chunked"));
    QCOMPARE(readAll(local), gzip);
}

void TestSlotNginx::redirectionsFromNginx()
{
    const QByteArray data = NginxFixture::randomBytes(70000, 17);
    m_nginx.writeFile(QStringLiteral("target.bin"), data);
    for (const char* code : {"301", "302", "303", "307", "308"}) {
        HttpFiles slot;
        SlotRecorder::makeQuick(&slot);
        const QString local = m_dir.filePath(QStringLiteral("redirected%1.bin").arg(code));
        const QStringList events =
            fetch(slot, m_nginx.url(QStringLiteral("/r%1/target.bin").arg(code)), local);
        QCOMPARE(events.value(3), QStringLiteral("Redirected:") + m_nginx.url("/target.bin"));
        QCOMPARE(events.mid(4),
                 QStringList({"Connected", "HeaderCame", "DownloadComplete", "Disconnected"}));
        QCOMPARE(readAll(local), data);
    }
}

void TestSlotNginx::missingFileAndFinishedFile()
{
    HttpFiles slot;
    SlotRecorder::makeQuick(&slot);
    const QString local = m_dir.filePath(QStringLiteral("partial.bin"));
    QFile f(local);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("12345");
    f.close();
    QCOMPARE(
        fetch(slot, m_nginx.url(QStringLiteral("/no/such.bin")), local, 5),
        QStringList({"Connected", "HeaderCame", "Error:404", "DownloadFailed", "Disconnected"}));
    QCOMPARE(readAll(local), QByteArray("12345"));

    m_nginx.writeFile(QStringLiteral("done.bin"), "12345");
    QCOMPARE(
        fetch(slot, m_nginx.url(QStringLiteral("/done.bin")), local, 5),
        QStringList({"Connected", "HeaderCame", "Error:416", "DownloadComplete", "Disconnected"}));
    QCOMPARE(readAll(local), QByteArray("12345"));
}

void TestSlotNginx::fileCarriesServerDate()
{
    const QString remote = m_nginx.writeFile(QStringLiteral("dated.bin"), "dated content");
    const QDateTime when = QDateTime(QDate(2011, 3, 4), QTime(5, 6, 7), Qt::UTC);
    {
        QFile f(remote);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(when, QFileDevice::FileModificationTime));
    }
    HttpFiles slot;
    SlotRecorder::makeQuick(&slot);
    const QString local = m_dir.filePath(QStringLiteral("dated.bin"));
    fetch(slot, m_nginx.url(QStringLiteral("/dated.bin")), local);
    QCOMPARE(slot.GetHTTP_Var(QStringLiteral("Last-Modified")),
             QStringLiteral("Fri, 04 Mar 2011 05:06:07 GMT"));
    QCOMPARE(QFileInfo(local).lastModified().toUTC(), when);
}

void TestSlotNginx::encodedNamesByteExact_data()
{
    QTest::addColumn<QString>("name"); // the file on the server
    QTest::addColumn<QString>("path"); // as a list line gives it
    QTest::newRow("escaped blanks") << "file with spaces.dat"
                                    << "/file%20with%20spaces.dat";
    QTest::newRow("plain blanks") << "file with spaces.dat"
                                  << "/file with spaces.dat";
    QTest::newRow("escaped percent") << "100%.dat"
                                     << "/100%25.dat";
    QTest::newRow("bare percent") << "100%.dat"
                                  << "/100%.dat";
    QTest::newRow("fragment") << "frag.dat"
                              << "/frag.dat#part-2";
    QTest::newRow("non-ascii") << QStringLiteral("gr\u00fc\u00dfe.dat")
                               << QStringLiteral("/gr\u00fc\u00dfe.dat");
    QTest::newRow("escaped non-ascii")
        << QStringLiteral("gr\u00fc\u00dfe.dat") << "/gr%C3%BC%C3%9Fe.dat";
    QTest::newRow("escaped slash in query") << "query.dat"
                                            << "/query.dat?x=a%2Fb";
}

void TestSlotNginx::encodedNamesByteExact()
{
    QFETCH(QString, name);
    QFETCH(QString, path);
    const QByteArray data = NginxFixture::randomBytes(5000, 19);
    m_nginx.writeFile(name, data);
    HttpFiles slot;
    SlotRecorder::makeQuick(&slot);
    const QString local = m_dir.filePath(QStringLiteral("encoded.bin"));
    QFile::remove(local);
    QCOMPARE(fetch(slot, m_nginx.url(path), local),
             QStringList({"Connected", "HeaderCame", "DownloadComplete", "Disconnected"}));
    QCOMPARE(readAll(local), data);
}

QTEST_GUILESS_MAIN(TestSlotNginx)
#include "test_slot_nginx.moc"
