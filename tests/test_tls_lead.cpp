// SPDX-License-Identifier: GPL-3.0-or-later
// Connections started together: the first runs the whole handshake, the others resume with
// its ticket, and none waits long for a first one that never finishes.
#include "engine/HttpFiles.h"
#include "platform/StreamSocket.h"
#include "support/NginxFixture.h"
#include "support/ScriptedServer.h"
#include "support/SlotRecorder.h"
#include "support/TlsFixture.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

namespace {

// Forwards every connection to `port`, except the first to send anything, which is held
// without an answer.
class HoldFirst : public QTcpServer
{
public:
    explicit HoldFirst(quint16 port) : m_port(port)
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* in = nextPendingConnection())
                pipe(in);
        });
    }

private:
    void pipe(QTcpSocket* in)
    {
        auto* out = new QTcpSocket(in);
        out->connectToHost(QHostAddress::LocalHost, m_port);
        connect(in, &QTcpSocket::readyRead, in, [this, in, out] {
            if (!m_held)
                m_held = in;
            if (in != m_held)
                out->write(in->readAll());
        });
        connect(out, &QTcpSocket::readyRead, in, [in, out] { in->write(out->readAll()); });
        connect(out, &QTcpSocket::disconnected, in, &QTcpSocket::disconnectFromHost);
    }
    quint16 m_port;
    QTcpSocket* m_held = nullptr;
};

struct Slot
{
    HttpFiles http;
    SlotRecorder rec{&http};
    QString header;
    Slot()
    {
        http.setTickInterval(10);
        http.setConnectTimeout(1000); // ten seconds at this tick
        http.setProtocol(1);
        QObject::connect(&http, &HttpFiles::HeaderCame, [this](const QString& h) { header = h; });
    }
};

} // namespace

class TestTlsLead : public QObject
{
    Q_OBJECT
    TlsFixture m_tls;
    QTemporaryDir m_dir;
    quint16 m_port = 0;
    std::unique_ptr<NginxFixture> m_nginx;

    std::vector<std::unique_ptr<Slot>> startTogether(int count, quint16 port)
    {
        std::vector<std::unique_ptr<Slot>> group;
        for (int i = 0; i < count; ++i) {
            group.push_back(std::make_unique<Slot>());
            group.back()->http.GetRemoteFile(
                QStringLiteral("https://localhost:%1/a.bin").arg(port),
                m_dir.filePath(QStringLiteral("%1-%2.bin").arg(port).arg(i)), 0, 0);
        }
        return group;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_tls.make(&error), qPrintable(error));
        QVERIFY2(StreamSocket::TrustOnly(m_tls.trustFile(), &error), qPrintable(error));
        m_port = unusedLoopbackPort();
        m_nginx = std::make_unique<NginxFixture>(
            QStringLiteral("        listen 127.0.0.1:%1 ssl;\n"
                           "        ssl_certificate %2;\n        ssl_certificate_key %3;\n"
                           "        ssl_session_tickets on;\n"
                           "        add_header X-Resumed $ssl_session_reused always;\n")
                .arg(m_port)
                .arg(m_tls.certFile(QStringLiteral("localhost")),
                     m_tls.keyFile(QStringLiteral("localhost"))));
        QVERIFY2(m_nginx->start(&error), qPrintable(error));
        m_nginx->writeFile(QStringLiteral("a.bin"), "content");
    }
    void init() { StreamSocket::ForgetTickets(); }

    void othersResumeWithTheFirstTicket()
    {
        const auto group = startTogether(6, m_port);
        QStringList resumed;
        for (const auto& slot : group) {
            QTRY_VERIFY_WITH_TIMEOUT(slot->rec.ended(), 20000);
            QVERIFY2(slot->rec.milestones().contains(QStringLiteral("DownloadComplete")),
                     qPrintable(slot->rec.errors().join(' ')));
            resumed << slot->header.section(QStringLiteral("X-Resumed: "), 1).left(1);
        }
        resumed.sort();
        QCOMPARE(resumed.join(QString()), QStringLiteral(".rrrrr"));
    }

    // The first handshake gets no answer: the others run their own after a short wait.
    void noWaitForAFirstThatHangs()
    {
        HoldFirst relay(m_port);
        QVERIFY(relay.listen(QHostAddress::LocalHost));
        QElapsedTimer clock;
        clock.start();
        const auto group = startTogether(3, relay.serverPort());
        // While the first one connects the others wait, and count as connecting.
        QTRY_VERIFY(group.front()->http.State() != StreamSocket::Closed);
        for (const auto& slot : group)
            QCOMPARE(slot->http.State(), int(StreamSocket::Connecting));
        QTRY_COMPARE_WITH_TIMEOUT(std::count_if(group.cbegin(), group.cend(),
                                                [](const auto& s) { return s->rec.ended(); }),
                                  std::ptrdiff_t(2), 9000);
        QVERIFY(clock.elapsed() < 9000); // the held one still waits for its own timeout
        for (const auto& slot : group) {
            if (slot->rec.ended())
                QVERIFY(slot->rec.milestones().contains(QStringLiteral("DownloadComplete")));
        }
    }
};

QTEST_GUILESS_MAIN(TestTlsLead)
#include "test_tls_lead.moc"
