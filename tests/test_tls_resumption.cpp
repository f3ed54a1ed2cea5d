// SPDX-License-Identifier: GPL-3.0-or-later
// TLS resumption between connections: a new connection to a server resumes with the ticket
// of an earlier one, and no ticket goes to another server, so a certificate that fails the
// checks fails however many tickets the run holds.
#include "engine/HttpFiles.h"
#include "platform/StreamSocket.h"
#include "support/NginxFixture.h"
#include "support/ScriptedServer.h"
#include "support/SlotRecorder.h"
#include "support/TlsFixture.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

// nginx over TLS with the given certificate; every reply says whether its connection
// resumed ("r") or ran a full handshake (".").
QString tlsBlock(quint16 port, const TlsFixture& tls, const QString& cert, const QString& keys)
{
    return QStringLiteral("        listen 127.0.0.1:%1 ssl;\n"
                          "        ssl_certificate %2;\n"
                          "        ssl_certificate_key %3;\n"
                          "        ssl_session_tickets on;\n"
                          "        ssl_session_ticket_key %4;\n"
                          "        add_header X-Resumed $ssl_session_reused always;\n")
        .arg(port)
        .arg(tls.certFile(cert), tls.keyFile(cert), keys);
}

struct Fetched
{
    QString header;
    QStringList milestones;
    QStringList errors;
};

Fetched fetch(const QString& url, const QString& file)
{
    HttpFiles slot;
    SlotRecorder rec(&slot);
    SlotRecorder::makeQuick(&slot);
    slot.setProtocol(1);
    Fetched got;
    QObject::connect(&slot, &HttpFiles::HeaderCame,
                     [&got](const QString& header) { got.header = header; });
    slot.GetRemoteFile(url, file, 0, 0);
    const bool ended = QTest::qWaitFor([&rec] { return rec.ended(); }, 20000);
    got.milestones = rec.milestones();
    got.errors = rec.errors();
    if (!ended)
        got.errors << QStringLiteral("no end within 20 s");
    return got;
}

} // namespace

class TestTlsResumption : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init() { StreamSocket::ForgetTickets(); }
    void laterConnectionsResume();
    void noTicketCrossesToAnotherServer();

private:
    TlsFixture m_tls;
    QTemporaryDir m_dir;
    QString m_ticketKey; // shared by every server here, so each would take another's tickets
};

void TestTlsResumption::initTestCase()
{
    QString error;
    QVERIFY2(m_tls.make(&error), qPrintable(error));
    QVERIFY2(StreamSocket::TrustOnly(m_tls.trustFile(), &error), qPrintable(error));
    m_ticketKey = m_dir.filePath(QStringLiteral("ticket.key"));
    QFile key(m_ticketKey);
    QVERIFY(key.open(QIODevice::WriteOnly));
    QByteArray bytes(80, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(bytes.data()), 20);
    key.write(bytes);
}

void TestTlsResumption::laterConnectionsResume()
{
    const quint16 port = unusedLoopbackPort();
    NginxFixture nginx(tlsBlock(port, m_tls, QStringLiteral("localhost"), m_ticketKey));
    QString error;
    QVERIFY2(nginx.start(&error), qPrintable(error));
    const QByteArray data = NginxFixture::randomBytes(30000, 7);
    nginx.writeFile(QStringLiteral("a.bin"), data);
    const QString url = QStringLiteral("https://localhost:%1/a.bin").arg(port);

    const QStringList resumed{QStringLiteral("."), QStringLiteral("r"), QStringLiteral("r")};
    for (const QString& expected : resumed) {
        QTemporaryDir out;
        const Fetched got = fetch(url, out.filePath(QStringLiteral("a.bin")));
        QVERIFY2(got.milestones.contains(QStringLiteral("DownloadComplete")),
                 qPrintable(got.errors.join(QLatin1Char('\n'))));
        QVERIFY2(got.header.contains(QStringLiteral("X-Resumed: ") + expected),
                 qPrintable(got.header));
        QFile file(out.filePath(QStringLiteral("a.bin")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), data);
    }
}

void TestTlsResumption::noTicketCrossesToAnotherServer()
{
    // One server, one certificate (for "localhost" and 127.0.0.1), reached at 127.0.0.2
    // as well, a name the certificate does not hold.
    const quint16 port = unusedLoopbackPort();
    NginxFixture nginx(tlsBlock(port, m_tls, QStringLiteral("localhost"), m_ticketKey) +
                       QStringLiteral("        listen 127.0.0.2:%1 ssl;\n").arg(port));
    QString error;
    QVERIFY2(nginx.start(&error), qPrintable(error));
    nginx.writeFile(QStringLiteral("a.bin"), "content");
    const QString goodUrl = QStringLiteral("https://localhost:%1/a.bin").arg(port);
    const QString badUrl = QStringLiteral("https://127.0.0.2:%1/a.bin").arg(port);

    // The trusted name works and leaves a ticket the server would take at 127.0.0.2 as
    // well; there the certificate check fails, twice, since a failed handshake leaves no
    // ticket either.
    QTemporaryDir out;
    QVERIFY(fetch(goodUrl, out.filePath(QStringLiteral("good.bin")))
                .milestones.contains(QStringLiteral("DownloadComplete")));
    for (int attempt = 0; attempt < 2; ++attempt) {
        const QString file = out.filePath(QStringLiteral("bad.bin"));
        const Fetched got = fetch(badUrl, file);
        const QString errors = got.errors.join(QLatin1Char(' '));
        QVERIFY2(!got.milestones.contains(QStringLiteral("DownloadComplete")),
                 qPrintable(got.header));
        QVERIFY2(errors.contains(QStringLiteral("TLS handshake")), qPrintable(errors));
        QVERIFY(!QFile::exists(file));
    }
}

QTEST_GUILESS_MAIN(TestTlsResumption)
#include "test_tls_resumption.moc"
