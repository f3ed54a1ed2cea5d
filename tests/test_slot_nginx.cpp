// SPDX-License-Identifier: GPL-3.0-or-later
// Slots against a real nginx on loopback, over HTTP and TLS: whole files, resumes (past
// 2 GiB too), compressed bodies, redirections, error replies, encoded names, the server's
// file dates, certificate checks and resumption; and manager runs sharing kept connections.
#include "ManagerRig.h"

#include "lists/JobList.h"
#include "platform/StreamSocket.h"
#include "settings/Options.h"
#include "support/NginxFixture.h"
#include "support/ScriptedServer.h"
#include "support/SlotRecorder.h"
#include "support/TestFiles.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>

// A loopback TCP relay that spoils its first connection: flips one byte of what the server
// sends (inside a TLS record after the handshake, that fails the record's check), or with
// flipAt < 0 never passes on what the client sends, or with lateMs passes on what the server
// sends after its first flight (over TLS 1.3: the tickets and the reply) that much later.
class FlippingRelay : public QTcpServer
{
public:
    FlippingRelay(quint16 upstream, qint64 flipAt, int lateMs = 0)
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this, upstream, flipAt, lateMs] {
            QTcpSocket* client = nextPendingConnection();
            auto* server = new QTcpSocket(client);
            const bool flip = m_connections++ == 0;
            auto sent = std::make_shared<qint64>(0);
            connect(client, &QTcpSocket::readyRead, server, [=] {
                const QByteArray bytes = client->readAll();
                if (!flip || flipAt >= 0)
                    server->write(bytes);
            });
            connect(server, &QTcpSocket::readyRead, client, [=] {
                QByteArray bytes = server->readAll();
                if (flip && *sent <= flipAt && flipAt < *sent + bytes.size())
                    bytes[flipAt - *sent] = char(bytes.at(flipAt - *sent) ^ 0x5A);
                if (flip && lateMs > 0 && *sent > 0) {
                    QTimer::singleShot(lateMs, client, [client, bytes] { client->write(bytes); });
                    return;
                }
                *sent += bytes.size();
                client->write(bytes);
            });
            connect(server, &QTcpSocket::disconnected, client, [=] {
                QTimer::singleShot(flip ? lateMs : 0, client, &QTcpSocket::disconnectFromHost);
            });
            connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
            server->connectToHost(QHostAddress::LocalHost, upstream);
        });
    }

private:
    int m_connections = 0;
};

// One job of a fresh quick slot, run to its end.
struct Job
{
    HttpFiles slot;
    SlotRecorder rec{&slot};
    QString header;
    explicit Job(int protocol = 0)
    {
        SlotRecorder::makeQuick(&slot);
        slot.setProtocol(protocol);
        QObject::connect(&slot, &HttpFiles::HeaderCame, &rec,
                         [this](const QString& h) { header = h; });
    }
    QString run(const QString& url, const QString& local, qint64 from = 0)
    {
        slot.GetRemoteFile(url, local, from, 1);
        return QTest::qWaitFor([&] { return rec.ended(); }, 30000) ? rec.milestones().join(u' ')
                                                                   : "timed out";
    }
};

class TestSlotNginx : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void files();
    void resumePastTwoGiB();
    void compressedBodyKeptAsSent();
    void managerRunSharesKeptConnections();
    void tlsConnectionsStartedTogether();
    void tlsChecksAndResumption();
    void cliTrustsOnlyTheExtraCa();

private:
    QString cert(const char* name) const { return m_dir.filePath(name + QString(".crt")); }

    QTemporaryDir m_dir;
    const quint16 m_tls = unusedLoopbackPort(); // HTTPS at 127.0.0.1 and 127.0.0.2
    // Every reply names its connection and says whether TLS resumed ("r") or not (".").
    NginxFixture m_nginx{QStringLiteral("add_header X-Connection $connection always;"
                                        "add_header X-Resumed $ssl_session_reused always;"
                                        "listen 127.0.0.1:%1 ssl; listen 127.0.0.2:%1 ssl;"
                                        "ssl_certificate %2.crt; ssl_certificate_key %2.key;")
                             .arg(m_tls)
                             .arg(m_dir.filePath("localhost"))};
    // The same over TLS 1.3 only, where tickets follow the handshake.
    const quint16 m_tls13 = unusedLoopbackPort();
    NginxFixture m_nginx13{QStringLiteral("add_header X-Resumed $ssl_session_reused always;"
                                          "listen 127.0.0.1:%1 ssl; ssl_protocols TLSv1.3;"
                                          "ssl_certificate %2.crt; ssl_certificate_key %2.key;")
                               .arg(m_tls13)
                               .arg(m_dir.filePath("localhost"))};
    const QDateTime m_date = QDateTime(QDate(2011, 3, 4), QTime(5, 6, 7), Qt::UTC);
    const QByteArray m_data = NginxFixture::randomBytes(300000, 5);
};

void TestSlotNginx::initTestCase()
{
    // Certificates for localhost and 127.0.0.1: the server's, and one trusted by nobody.
    for (const char* name : {"localhost", "stranger"}) {
        QProcess openssl;
        openssl.start("openssl",
                      {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256",
                       "-nodes", "-days", "2", "-subj", "/CN=localhost", "-addext",
                       "subjectAltName=DNS:localhost,IP:127.0.0.1", "-keyout",
                       m_dir.filePath(name + QString(".key")), "-out", cert(name)});
        QVERIFY2(openssl.waitForFinished(60000) && openssl.exitCode() == 0,
                 openssl.readAllStandardError().constData());
    }
    QString error;
    QVERIFY2(StreamSocket::TrustOnly(cert("localhost"), &error), qPrintable(error));
    for (NginxFixture* nginx : {&m_nginx, &m_nginx13}) {
        QVERIFY2(nginx->start(&error), qPrintable(error));
        nginx->writeFile("t.bin", m_data);
    }
}

void TestSlotNginx::files()
{
    const QString whole = "Connected HeaderCame DownloadComplete Disconnected";
    const int mb3 = 3 * 1024 * 1024 + 17;
    const struct
    {
        const char *name, *path; // the file on the server ("" for none), as a list line gives it
        int size, onDisk;        // its first bytes on disk before
        int protocol;
        QString milestones; // %1: the server's URL
    } rows[] = {
        // clang-format off
        {"whole.bin", "/whole.bin", mb3, 0, 0, whole},
        {"whole.bin", "/whole.bin", mb3, 0, 1, whole},
        {"resume.bin", "/resume.bin", 500000, 123457, 0, whole},
        {"target.bin", "/r302/target.bin", 70000, 0, 0, "Connected HeaderCame Error:302 Redirected:%1/target.bin " + whole},
        {"", "/no/such.bin", 5, 5, 0, "Connected HeaderCame Error:404 DownloadFailed Disconnected"}, // keeps the part
        {"done.bin", "/done.bin", 5, 5, 0, "Connected HeaderCame Error:416 DownloadComplete Disconnected"},
        {"file with spaces.dat", "/file with spaces.dat", 5000, 0, 0, whole},
        {"100%.dat", "/100%.dat", 5000, 0, 0, whole},
        {"gr\u00fc\u00dfe.dat", "/gr\u00fc\u00dfe.dat", 5000, 0, 0, whole},
        // clang-format on
    };
    for (const auto& row : rows) {
        const QByteArray data = NginxFixture::randomBytes(row.size, quint32(row.size));
        if (*row.name) {
            QFile remote(m_nginx.writeFile(row.name, data));
            QVERIFY(remote.open(QIODevice::ReadWrite));
            QVERIFY(remote.setFileTime(m_date, QFileDevice::FileModificationTime));
        }
        const QString local = m_dir.filePath("sub/dir/" + QString(row.path).mid(1));
        QFile::remove(local);
        QVERIFY(row.onDisk == 0 || writeFile(local, data.left(row.onDisk)));
        Job job(row.protocol);
        QCOMPARE(job.run(m_nginx.url(row.path), local, row.onDisk),
                 row.milestones.arg(m_nginx.url("")));
        const bool body = row.milestones.endsWith("HeaderCame DownloadComplete Disconnected");
        QCOMPARE(readAll(local), body ? data : data.left(row.onDisk));
        if (body)
            QCOMPARE(QFileInfo(local).lastModified().toUTC(), m_date); // the server's date
        QVERIFY(row.onDisk == 0 ||
                job.slot.ReqStr().contains(QStringLiteral("Range: bytes=%1-\r\n").arg(row.onDisk)));
    }
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
    const QString remote = m_nginx.writeFile("big.bin", {}), local = m_dir.filePath("big.bin");
    QVERIFY(sparse(remote, tail) && sparse(local, tail.left(400)));
    Job job;
    QCOMPARE(job.run(m_nginx.url("/big.bin"), local, base + 400),
             "Connected HeaderCame DownloadComplete Disconnected");
    QVERIFY(job.slot.ReqStr().contains("Range: bytes=2147484048-\r\n"));
    QCOMPARE(job.slot.FileSize(), base + 1000);
    QFile f(local);
    QVERIFY(f.open(QIODevice::ReadOnly) && f.seek(base));
    QCOMPARE(f.size(), base + 1000);
    QCOMPARE(f.readAll(), tail);
    QFile::remove(remote);
    QFile::remove(local);
}

void TestSlotNginx::compressedBodyKeptAsSent()
{
    // nginx compresses text: to HTTP/1.0 until the close, to HTTP/1.1 in chunks. Either
    // way the file holds the compressed bytes as sent.
    QByteArray text;
    for (int i = 0; i < 20000; ++i)
        text += "line " + QByteArray::number(i * 7919 % 10007) + " of a compressible text\n";
    m_nginx.writeFile("notes.txt", text);
    QByteArrayList files;
    for (int protocol : {0, 1}) {
        Job job(protocol);
        const QString local = m_dir.filePath(QStringLiteral("notes%1.txt.gz").arg(protocol));
        QCOMPARE(job.run(m_nginx.url("/notes.txt"), local),
                 "Connected HeaderCame DownloadComplete Disconnected");
        QCOMPARE(job.slot.GetHTTP_Var("transfer-encoding"), protocol ? "chunked" : "");
        files << readAll(local);
    }
    QVERIFY(files[0].startsWith("\x1f\x8b") && files[0].size() < text.size() / 4);
    QCOMPARE(files[1], files[0]);
}

void TestSlotNginx::managerRunSharesKeptConnections()
{
    // Kept connections are used again only with both options and HTTP/1.1.
    const struct
    {
        bool reuse, http11;
        int connections;
    } rows[] = {{true, true, 2}, {true, false, 8}, {false, true, 8}};
    static const QRegularExpression tag("\r\nX-Connection: (\\d+)");
    for (const auto& row : rows) {
        ManagerRig rig(2, [&](DownloadManager& m) {
            m.options().setHttpVersion(row.http11);
            m.options().setKeepAlive(true);
            m.options().setConnectAtOnce(true);
            m.options().setReuseConnections(row.reuse);
        });
        DownloadManager& m = *rig.m;
        QSet<QString> connections;
        for (int slot = 0; slot < m.SessionMax(); ++slot)
            QObject::connect(m.Http(slot), &HttpFiles::HeaderCame, &m, [&](const QString& h) {
                connections.insert(tag.match(h).captured(1));
            });
        QStringList urls;
        for (int i = 0; i < 8; ++i) {
            m_nginx.writeFile(QStringLiteral("d/f%1.bin").arg(i),
                              NginxFixture::randomBytes(3000, i));
            urls << m_nginx.url(QStringLiteral("/d/f%1.bin").arg(i));
        }
        m.Jobs().AddJobs(urls.join("\r\n"));
        m.StartDownloads();
        // The run ends when the jobs do, not when the kept connections' idle time runs out.
        QVERIFY(rig.baseDirOk && rig.waitIdle(15000));
        for (int i = 0; i < 8; ++i)
            QCOMPARE(rig.read(rig.local(m_nginx.port(), QStringLiteral("/d/f%1.bin").arg(i))),
                     NginxFixture::randomBytes(3000, i));
        QCOMPARE(connections.size(), row.connections);
        for (int slot = 0; slot < m.SessionMax(); ++slot)
            QVERIFY(!m.Http(slot)->KeepsIdleConnection()); // nothing is kept after the run
    }
}

void TestSlotNginx::tlsConnectionsStartedTogether()
{
    // Six at once: the first runs the whole handshake and the others, counted as connecting
    // meanwhile, wait for its ticket and resume, over TLS 1.2 and 1.3. When the first gets
    // no answer, the others run their own handshakes after a short wait, well before its own
    // timeout; when its TLS 1.3 tickets come late, soon after its handshake, ending before it.
    for (const char mode : {'r', '3', 'h', 'l'}) {
        const bool held = mode == 'h', tls13 = mode == '3' || mode == 'l';
        StreamSocket::ForgetTickets();
        FlippingRelay relay(tls13 ? m_tls13 : m_tls, held ? -1 : 1 << 30, mode == 'l' ? 1500 : 0);
        std::vector<std::unique_ptr<Job>> jobs;
        for (int i = 0; i < 6; ++i) {
            jobs.push_back(std::make_unique<Job>());
            jobs.back()->slot.setConnectTimeout(1000); // ten seconds at the quick tick
            jobs.back()->slot.GetRemoteFile(
                QStringLiteral("https://localhost:%1/t.bin").arg(relay.serverPort()),
                m_dir.filePath(QStringLiteral("together%1.bin").arg(i)), 0, 1);
        }
        const auto count = [&](auto test) {
            return std::count_if(jobs.cbegin(), jobs.cend(), test);
        };
        QTRY_VERIFY_WITH_TIMEOUT(!held || !count([](const auto& j) {
            return j->slot.State() != StreamSocket::Connecting;
        }),
                                 1000);
        const auto ended = [](const auto& j) { return j->rec.ended(); };
        if (mode == 'l') {
            QTRY_VERIFY_WITH_TIMEOUT(count(ended) >= 5, 8000);
            QVERIFY(!jobs.front()->rec.ended());
        }
        QTRY_VERIFY_WITH_TIMEOUT(count(ended) == 6 - held, 8000);
        QString resumed;
        for (const auto& job : jobs) {
            if (job->rec.ended())
                resumed += job->header.section("X-Resumed: ", 1).left(1);
        }
        std::sort(resumed.begin(), resumed.end());
        QCOMPARE(resumed, mode == 'r' || mode == '3' ? ".rrrrr" : QString(6 - held, u'.'));
    }
    StreamSocket::ForgetTickets();
}

void TestSlotNginx::tlsChecksAndResumption()
{
    // In order, on the run's kept tickets: a later connection resumes; the certificate
    // checks fail for a name it does not hold however many tickets are kept, and are never
    // retried; a broken record is retried and resumed like any broken transfer; a plain
    // server is no fallback; a certificate nobody trusts fails.
    FlippingRelay relay(m_tls, 150000);
    ScriptedServer plain;
    plain.addConnection(
        ServerScript().send("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\no").hold());
    const QString done = "HeaderCame DownloadComplete Disconnected";
    const QString failed = "Error:20013 DownloadFailed Disconnected";
    const struct
    {
        const char* host;
        quint16 port;
        QString ends, fact; // how the milestones end; part of the header, request or errors
    } rows[] = {
        {"localhost", m_tls, done, "X-Resumed: ."},
        {"localhost", m_tls, done, "X-Resumed: r"},
        {"127.0.0.2", m_tls, failed,
         "TLS handshake with 127.0.0.2 failed: The host name did not match"},
        {"127.0.0.2", m_tls, failed, "The host name did not match"},
        {"localhost", m_tls, done, "X-Resumed: r"},
        {"127.0.0.1", relay.serverPort(), "Retrying Error:20020 Connected " + done,
         "Range: bytes=1"},
        {"127.0.0.1", plain.port(), failed, "TLS handshake with 127.0.0.1 failed"},
        {"localhost", m_tls, failed, "untrusted"}, // trusting only the other certificate
    };
    QString error;
    for (const auto& row : rows) {
        if (row.fact == "untrusted")
            QVERIFY2(StreamSocket::TrustOnly(cert("stranger"), &error), qPrintable(error));
        Job job;
        const QString local = m_dir.filePath("tls.bin");
        QFile::remove(local);
        const QString milestones =
            job.run(QStringLiteral("https://%1:%2/t.bin").arg(row.host).arg(row.port), local);
        const QString facts = job.header + job.slot.ReqStr() + job.rec.errors().join(u' ');
        QVERIFY2(milestones.endsWith(row.ends) && facts.contains(row.fact, Qt::CaseInsensitive),
                 qPrintable(row.host + (": " + milestones) + '\n' + facts));
        QCOMPARE(readAll(local), row.ends == failed ? "<missing>" : m_data);
        QVERIFY(row.ends != failed || job.slot.Try() == 1); // never retried
    }
    QVERIFY(plain.requests().isEmpty()); // no request in the clear
}

void TestSlotNginx::cliTrustsOnlyTheExtraCa()
{
    for (bool trusted : {true, false}) {
        QTemporaryDir home, base;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
        if (trusted)
            env.insert("HARVEX_EXTRA_CA", cert("localhost"));
        QProcess cli;
        cli.setProcessEnvironment(env);
        const QString url = QStringLiteral("https://127.0.0.1:%1/t.bin").arg(m_tls);
        const QString failed = base.filePath("failed.txt");
        cli.start(HARVEX_CLI_PATH,
                  {"-q", "-d", base.path(), "--tick-ms", "20", "--failed-list", failed, url});
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), trusted ? 0 : 1);
        const QByteArray local =
            readAll(base.path() + QStringLiteral("/127.0.0.1%3A%1/t.bin").arg(m_tls));
        QVERIFY(trusted ? local == m_data : local.isEmpty() || local == "<missing>");
        QVERIFY(trusted || readAll(failed).trimmed() == url.toUtf8());
    }
}

QTEST_GUILESS_MAIN(TestSlotNginx)
#include "test_slot_nginx.moc"
