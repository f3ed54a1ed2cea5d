// SPDX-License-Identifier: GPL-3.0-or-later
// The download slot: rules as one table, replies from a scripted server, files and TLS by nginx.
#include "ManagerRig.h"

#include "engine/ChunkDecoder.h"
#include "engine/HttpDate.h"
#include "engine/ReplyHeader.h"
#include "engine/ReplyPlan.h"
#include "engine/TransferVerdict.h"
#include "engine/UrlSplit.h"
#include "lists/JobList.h"
#include "platform/FileTimes.h"
#include "platform/StreamSocket.h"
#include "support/NginxFixture.h"
#include "support/ScriptedServer.h"
#include "support/SlotRecorder.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <sys/stat.h>

class TestSlot : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void rules();
    void scripted();
    void nginx();

private:
    QString cert(const char* name) const { return m_dir.filePath(name + QString(".crt")); }

    QTemporaryDir m_dir;
    const quint16 m_tls = unusedLoopbackPort(), m_tls13 = unusedLoopbackPort();
    // HTTPS at 127.0.0.1 and .2, and TLS 1.3 only; replies name their connection and resumption.
    NginxFixture m_nginx{
        QStringLiteral("add_header X-Connection $connection always;"
                       "add_header X-Resumed $ssl_session_reused always;"
                       "listen 127.0.0.1:%1 ssl; listen 127.0.0.2:%1 ssl;"
                       "ssl_certificate %2.crt; ssl_certificate_key %2.key; }"
                       "server { listen 127.0.0.1:%3 ssl; root www;"
                       "ssl_protocols TLSv1.3; ssl_certificate %2.crt;"
                       "ssl_certificate_key %2.key;"
                       "add_header X-Resumed $ssl_session_reused always;")
            .arg(QString::number(m_tls), m_dir.filePath("localhost"), QString::number(m_tls13))};
    const QDateTime m_date = QDateTime(QDate(2011, 3, 4), QTime(5, 6, 7), Qt::UTC);
    const QByteArray m_data = NginxFixture::randomBytes(300000, 300000);
};

// A loopback relay that spoils its first connection: flips the server's byte at flipAt, or
// (flipAt < 0) drops what the client sends, or delays the server's later flights by lateMs.
struct FlippingRelay : QTcpServer
{
    FlippingRelay(quint16 upstream, qint64 flipAt, int lateMs = 0)
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [=, this] {
            QTcpSocket* client = nextPendingConnection();
            auto* server = new QTcpSocket(client);
            const bool flip = m_connections++ == 0;
            auto sent = std::make_shared<qint64>(0);
            connect(client, &QTcpSocket::readyRead, server, [=] {
                if (!flip || flipAt >= 0)
                    server->write(client->readAll());
            });
            connect(server, &QTcpSocket::readyRead, client, [=] {
                QByteArray bytes = server->readAll();
                if (flip && *sent <= flipAt && flipAt < *sent + bytes.size())
                    bytes[flipAt - *sent] = char(bytes.at(flipAt - *sent) ^ 0x5A);
                const int delay = flip && *sent > 0 ? lateMs : 0;
                *sent += bytes.size();
                QTimer::singleShot(delay, client, [client, bytes] { client->write(bytes); });
            });
            connect(server, &QTcpSocket::disconnected, client, [=] {
                QTimer::singleShot(flip ? lateMs : 0, client, &QTcpSocket::disconnectFromHost);
            });
            server->connectToHost(QHostAddress::LocalHost, upstream);
        });
    }
    int m_connections = 0;
};

void TestSlot::initTestCase()
{
    // The server's certificate, and one trusted by nobody.
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
    QVERIFY2(m_nginx.start(&error), qPrintable(error));
    m_nginx.writeFile("t.bin", m_data);
}

static QString ruleResult(const QString& kind, const QString& input)
{
    static const QStringList ends{"None", "Length", "Chunked", "UntilClose"};
    QString got; // null: refused
    qint64 a = 0, b = 0, c = 0;
    const QStringList n = input.section(u'|', 0, 0).split(u' ');
    const QString head = kind == "plan" ? "HTTP/1.1 " + input.section(u'|', 1) : input;
    ReplyHeader h;
    QByteArray rest, bytes = (kind == "header" ? head : head + "\r\n\r\n").toLatin1();
    auto step = ReplyHeader::Step::NeedMore;
    for (qsizetype at = 0; at < bytes.size() && step == ReplyHeader::Step::NeedMore; at += 1000)
        step = h.Feed(rest = bytes.mid(at, 1000)); // fed in pieces of 1000 bytes
    if (kind == "plan") {
        // clang-format off
        const ReplyPlan p = ReplyPlan::For(h, {"h", n[0].toInt(), n[1].toInt(), "301|302|303|304|305|306|307|308|203|", n[2].toInt() >= 0, qMax(0, n[2].toInt()), 0});
        // clang-format on
        got = QStringList{"Fail", "Redirect", "Complete", "Body"}[int(p.Step)] +
              (p.StatusError ? " status" : "");
        if (p.Step == ReplyPlan::Action::Redirect)
            got += u' ' + p.Location + (p.Follow ? " follow" : " stay");
        if (p.Step == ReplyPlan::Action::Complete)
            got += QStringLiteral(" size=%1").arg(p.FileSize);
        if (p.Step == ReplyPlan::Action::Body)
            got +=
                QStringLiteral(" %1 cut%2 size%3 left%4%5")
                    .arg(ends[int(p.End)], QString::number(p.WriteFrom == p.CutTo ? p.CutTo : -99),
                         p.SizeKnown ? QStringLiteral("=%1").arg(p.FileSize) : "?",
                         QString::number(p.BodyLeft), p.ResetMeter ? " new" : "");
        got += p.FailText.isEmpty() ? QString() : ": " + p.FailText;
    }
    if (kind == "verdict") {
        const QString f = n.value(3);
        // clang-format off
        const TransferFacts facts{f.contains(u'0') ? 0 : 3, !f.contains(u'h'), n[1].toInt() >= 0,
                                  BodyEnd(ends.indexOf(n[0])),
                                  f.contains(u'c') ? 7 : f.contains(u'b') ? 0 : -1, f.contains(u's'),
                                  f.contains(u'o'), qMax(0, n[1].toInt()), f.contains(u'm') ? 11 : 0, n[2].toInt()};
        // clang-format on
        got = QStringList{"retry", "complete", "incomplete"}[int(TransferVerdict::Judge(facts))];
    }
    if (kind == "range" && ReplyHeader::ParseContentRange(input, &a, &b, &c))
        got = QStringLiteral("%1-%2/%3").arg(a).arg(b).arg(c);
    if (kind == "persistent")
        got = h.Persistent() ? "yes" : "no";
    const QString status =
        h.StatusValid() ? QString::number(h.Status()) + h.StatusText() : "invalid";
    if (kind == "header")
        got = step == ReplyHeader::Step::TooLong ? "TooLong"
              : step != ReplyHeader::Step::Complete
                  ? "NeedMore"
                  : status + " | " + rest + " | Link " + QString::number(h.VarIndex("Link"));
    if (kind == "fields")
        for (const HttpVar& var : ReplyHeader::ParseFields(input))
            got += var.Name + u'=' + var.Value + u'|';
    const UrlSplit split = UrlSplit::Parse(input);
    if (kind == "url" && split.Supported)
        got = QStringList{split.Host, QString::number(split.Port), split.Path}.join(u' ') +
              (split.Secure ? " secure" : "");
    if (kind == "location")
        got = UrlSplit::Resolve("http://h:81/a/b/c.zip?x", input);
    if (kind == "target")
        got = QString::fromLatin1(UrlSplit::RequestTarget(input));
    if (kind == "request") { // protocol, keep-alive, host, path, from, to; set fields in 1.1
        HttpFiles slot;
        if (n[0] == "1") {
            slot.setProtocol(1);
            slot.setCompatible("Harvex/1.06");
            slot.setAcceptParam("  */*  ");
            slot.setAcceptLanguage(QString());
            slot.setAcceptEncoding(" ");
        }
        got = slot.getRequest(n[2], n[3], n[4].toLongLong(), n.value(5).toLongLong(), n[1].toInt());
    }
    if (kind == "date") {
        qint64 time = -1;
        const bool read = HttpDateToFileTime(time, input);
        const QDateTime utc =
            QDateTime::fromMSecsSinceEpoch((time - FileTimes::UnixEpochOffset) / 10000, Qt::UTC);
        got = !read && time == 0 ? "bad" : time == 0 ? "0" : utc.toString("yyyy-MM-dd hh:mm:ss");
    }
    if (kind == "year")
        got = QString::number(WidenTwoDigitYear(n[0].toInt(), n[1].toInt()));
    if (kind == "stamp") { // a file's write time after the date, and its access time
        QTemporaryDir dir;
        const QString path = dir.filePath("f\u00e9 name.bin");
        writeFile(path, {});
        if (input.startsWith(u'-')) // in 100 ns units from 1970
            FileTimes::SetLastWriteTime(path, FileTimes::UnixEpochOffset + input.toLongLong());
        else
            SetFileDate(path, input);
        struct stat st = {};
        ::stat(QFile::encodeName(path).constData(), &st);
        got = QString::number(st.st_mtim.tv_sec) + u'.' + QString::number(st.st_mtim.tv_nsec) +
              (st.st_atim.tv_sec > 1500000000 ? " kept" : " changed");
    }
    if (kind == "chunks") { // packets split at "|": each result, the end and the payload
        QByteArray raw = input.toLatin1();
        QList<QByteArray> packets[2] = {raw.split('|')}; // and byte by byte
        for (char c : raw.replace('|', ""))
            packets[1] << QByteArray(1, c);
        QString tails[2];
        for (int i : {1, 0}) {
            ChunkDecoder d;
            got.clear();
            for (QByteArray packet : packets[i]) {
                got += QString::number(d.Decode(packet)) + u' ';
                tails[i] += packet;
            }
            tails[i].prepend(d.Finished()                             ? "done = "
                             : d.Failed() && !d.ErrorText().isEmpty() ? "failed = "
                                                                      : " = ");
        }
        got += tails[0] + (tails[1] == tails[0] ? "" : " but not byte by byte");
    }
    return got.isNull() ? "bad" : got;
}

// kind, input, result ("bad": refused). Plans: first byte asked for, length on disk, redirections
// followed (-1: off); 203 is a listed error code. A plan reads: the step, "status" when an Error
// with the status comes first, what the step needs, ": FailText" (its start). Verdicts: end, size
// (-1 unknown), bytes written, flags: 0 no packet came, h header cut, c chunks cut (b between
// chunks), s ended by error or silence, o more than announced, m a minimum of 11 bytes.
void TestSlot::rules()
{
    const QString near = "HTTP/1.1 200 OK\r\nX: " + QString(ReplyHeader::MaxBytes - 20, u'y');
    const struct
    {
        QString kind, input;
        const char* expected;
    } rows[] = {
        // clang-format off
        {"plan", "0 0 0|200 OK\r\nContent-Length: 10", "Body Length cut0 size=10 left10 new"},
        {"plan", "4 4 0|200 OK\r\nContent-Length: 10", "Body Length cut0 size=10 left10 new"},
        {"plan", "4 4 0|206 P\r\nContent-Range: bytes 4-9/10", "Body Length cut4 size=10 left6"},
        {"plan", "9 9 0|206 P\r\nContent-Range: bytes 0-4/5", "Body Length cut0 size=5 left5"},
        {"plan", "4 4 0|206 P\r\nContent-Range: bytes 4-9/*", "Body Length cut4 size=10 left6"},
        {"plan", "4 4 0|206 P\r\nContent-Range: bytes 5-9/10", "Fail: [GetLength]: h sent bytes from 5 on, but only 4"},
        {"plan", "0 0 0|206 P\r\nContent-Length: 3", "Fail: [GetLength]: Unreadable Content-Range"},
        {"plan", "0 0 0|200 OK\r\nTransfer-Encoding: gzip, chunked\r\nContent-Length: 99", "Body Chunked cut0 size? left0 new"},
        {"plan", "3 3 0|200 OK", "Body UntilClose cut0 size? left0 new"},
        {"plan", "0 0 0|204 No Content", "Body Length cut0 size=0 left0 new"},
        {"plan", "0 0 0|200 OK\r\nContent-Length: 3\r\nContent-Length: 4", "Fail: [GetLength]: Conflicting Content-Length"},
        {"plan", "0 0 0|200 OK\r\nContent-Length: 5, 5\r\ncontent-length: 5", "Body Length cut0 size=5 left5 new"},
        {"plan", "0 0 0|200 OK\r\nContent-Length: -5", "Fail: [GetLength]: Invalid Content-Length"},
        {"plan", "0 0 0|2OO OK", "Fail: [GetLength]: Not an HTTP status line from h"},
        {"plan", "0 0 0|404 Not Found\r\nContent-Length: 9", "Fail status"},
        {"plan", "0 0 0|203 Other\r\nContent-Length: 1", "Fail status"},
        {"plan", "0 0 0|301 M\r\nLocation: /b", "Redirect status /b follow"},
        {"plan", "0 0 0|302 M\r\nLocation: /b", "Redirect status /b follow"},
        {"plan", "0 0 0|303 M\r\nLocation: /b", "Redirect status /b follow"},
        {"plan", "0 0 5|307 M\r\nLocation: /b", "Redirect status /b follow"},
        {"plan", "0 0 9|308 M\r\nLocation: /b", "Redirect status /b follow"},
        {"plan", "0 0 0|302 M", "Redirect status  stay"},
        {"plan", "0 0 10|302 M\r\nLocation: /b", "Fail status: Too many redirections"},
        {"plan", "0 0 -1|301 M\r\nLocation: /b", "Fail status"},
        {"plan", "0 0 -1|302 M\r\nLocation: /b", "Redirect status /b stay"},
        {"plan", "4 4 0|416 R\r\nContent-Range: bytes */4", "Complete status size=4"},
        {"plan", "4 4 0|416 R", "Complete status size=4"},
        {"plan", "4 4 0|416 R\r\nContent-Range: bytes */3", "Fail status: [GetLength]: h has 3 bytes of this file, but 4 are on disk"},
        {"plan", "0 4 0|416 R\r\nContent-Range: bytes */4", "Complete status size=4"},
        {"plan", "0 9 0|416 R\r\nContent-Range: bytes */0", "Fail status: [GetLength]: h has 0 bytes"},
        {"verdict", "Length 10 10", "complete"},
        {"verdict", "Length 10 10 0", "retry"},
        {"verdict", "Length 10 0 h", "retry"},
        {"verdict", "Length 10 9", "retry"},
        {"verdict", "Length 10 10 o", "incomplete"},
        {"verdict", "Length 10 10 m", "incomplete"},
        {"verdict", "Chunked -1 500 c", "retry"},
        {"verdict", "Chunked -1 500 b", "retry"},
        {"verdict", "Chunked -1 500", "complete"},
        {"verdict", "UntilClose -1 500", "complete"},
        {"verdict", "UntilClose -1 500 s", "retry"},
        {"range", "bytes 500-999/1000", "500-999/1000"},
        {"range", "BYTES 0-0/*", "0-0/-1"},
        {"range", "bytes 5-4/10", "bad"},
        {"range", "bytes 0-4611686018427387904/*", "0-4611686018427387904/-1"},
        {"range", "bytes 0-4611686018427387905/*", "bad"},
        {"range", "bytes 0-10/10", "bad"},
        // Whether the connection may carry another request.
        {"persistent", "HTTP/1.1 200 OK\r\nConnection: Keep-Alive, close", "no"},
        {"persistent", "HTTP/1.0 200 OK", "no"},
        {"persistent", "HTTP/1.0 200 OK\r\nConnection: keep-alive", "yes"},
        // The final header: status, the bytes after it and where Link is.
        {"header", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 199 Hints\r\nLink: </s>\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nZ", "200 OK | Z | Link -1"},
        {"header", "HTTP/1.1 2000 OK\r\n\r\n", "invalid |  | Link -1"},
        {"header", "ICY 200 OK\r\n\r\n", "invalid |  | Link -1"},
        {"header", "HTTP/1.1 404 Gone\r\nLink: x\r\n", "NeedMore"},
        {"header", near + "\r\n\r\n", "200 OK |  | Link -1"}, // the blank line right at the limit
        {"header", near + "y\r\n\r\n", "TooLong"},
        {"header", near + "\r\n\r", "NeedMore"},
        {"header", "HTTP/1.1 200 OK\r\nX: " + QString(977, u'y') + "\r\n\r\nZ", "200 OK | Z | Link -1"}, // "\r\n\r|\n"
        {"header", near + QString(100, u'y'), "TooLong"},
        // Fields: the status line splits at its blank, one folded line is joined.
        {"fields", "HTTP/1.0 404 Not: Found\r\nContent-Length:  12 \r\nNoColon value\r\nLonely\r\nA: 1\r\n 2\r\n 3", "HTTP/1.0=404 Not: Found|Content-Length=12|NoColon=value|Lonely=|A=1 2|=3|"},
        {"url", "http://h.org/a/b.zip", "h.org 80 /a/b.zip"},
        {"url", "http://h/p?q=/x#f", "h 80 /p?q=/x"},
        {"url", "http://h?q", "h 80 /?q"},
        {"url", "HTTPS://h:8443", "h 8443 / secure"},
        {"url", "http://h:81abc/x", "h 81 /x"},
        {"url", "http://b\u00fccher.de/", "xn--bcher-kva.de 80 /"},
        {"url", "http://h:65536/", "bad"},
        {"url", "http:///x", "bad"},
        {"url", "http://a b/x", "bad"},
        // Locations against http://h:81/a/b/c.zip?x
        {"location", "e.zip", "http://h:81/a/b/e.zip"},
        {"location", "../f", "http://h:81/a/f"},
        {"location", "//o.org/g", "http://o.org/g"},
        // The request target: escapes stay, what a request line cannot carry is escaped.
        {"target", "/file with spaces.dat", "/file%20with%20spaces.dat"},
        {"target", "/100%.dat", "/100%25.dat"},
        {"target", "/gr\u00fc\u00dfe.dat", "/gr%C3%BC%C3%9Fe.dat"},
        {"target", "/100%2", "/100%252"},
        {"target", "/a b\r\nX-Evil: 1\x7f", "/a%20b%0D%0AX-Evil:%201%7F"},
        // Keep-alive is asked for in HTTP/1.1 only, empty fields are left out.
        {"request", "0 1 example.org /file.zip 1000", "GET /file.zip HTTP/1.0\r\nHost: example.org\r\nAccept: text/xml,application/xml,application/xhtml+xml,text/html;q=0.9,text/plain;q=0.8,image/png,*/*;q=0.5\r\nAccept-Language: en-us,en;q=0.5\r\nAccept-Encoding: gzip , deflate\r\nRange: bytes=1000-\r\n\r\n"},
        {"request", "1 1 h /f.bin 7", "GET /f.bin HTTP/1.1\r\nHost: h\r\nUser-Agent: Harvex/1.06\r\nAccept: */*\r\nRange: bytes=7-\r\nConnection: Keep-Alive\r\n\r\n"},
        {"request", "1 0 h / 0", "GET / HTTP/1.1\r\nHost: h\r\nUser-Agent: Harvex/1.06\r\nAccept: */*\r\n\r\n"},
        // Pages (default extensions, any case) and paths without extension are asked whole.
        {"request", "1 0 h /f.zip 10 20", "GET /f.zip HTTP/1.1\r\nHost: h\r\nUser-Agent: Harvex/1.06\r\nAccept: */*\r\nRange: bytes=10-20\r\n\r\n"},
        {"request", "1 0 h /x.PHP 0 0", "GET /x.PHP HTTP/1.1\r\nHost: h\r\nUser-Agent: Harvex/1.06\r\nAccept: */*\r\n\r\n"},
        {"request", "1 0 h /x.php?id=1 0 0", "GET /x.php?id=1 HTTP/1.1\r\nHost: h\r\nUser-Agent: Harvex/1.06\r\nAccept: */*\r\nRange: bytes=0-\r\n\r\n"},
        {"request", "1 0 h /src/a.h 0 0", "GET /src/a.h HTTP/1.1\r\nHost: h\r\nUser-Agent: Harvex/1.06\r\nAccept: */*\r\n\r\n"},
        {"request", "1 0 h /download 5 0", "GET /download HTTP/1.1\r\nHost: h\r\nUser-Agent: Harvex/1.06\r\nAccept: */*\r\n\r\n"},
        // HTTP dates: one of three shapes is read ("0" when a field is out of range).
        {"date", "Sun, 06 Nov 1994 08:49:37 GMT", "1994-11-06 08:49:37"},
        {"date", "Sunday, 06-Nov-94 08:49:37 GMT", "1994-11-06 08:49:37"},
        {"date", "sun nov  6 08:49:37 1994", "1994-11-06 08:49:37"},
        {"date", "Mon, 01 Jan 1601 00:00:01 GMT", "1601-01-01 00:00:01"},
        {"date", "Thu, 29 Feb 1996 00:00:00 GMT", "1996-02-29 00:00:00"},
        {"date", "Wed, 29 Feb 1995 08:49:37 GMT", "0"},
        {"date", "Sun, 06 Nov 1994 24:00:00 GMT", "0"},
        {"date", "Sun, 31 Nov 1994 08:49:37 GMT", "0"},
        {"date", "Sun, 06 Nov 1600 08:49:37 GMT", "0"},
        {"date", "Sun Nov 99999999999999999999 08:49:37 1994", "0"},
        {"date", "Sunday, 06-Nov-1994 08:49:37 GMT", "0"},
        {"date", "1994-11-06T08:49:37Z", "bad"},
        {"date", "Su Nov  6 08:49:37 1994", "bad"},
        // Two-digit years: never more than 50 years ahead, else the century before.
        {"year", "94 2026", "1994"},
        {"year", "76 2026", "2076"},
        {"year", "77 2026", "1977"},
        // Only the write time is set; before 1970 too, rounding must not move it.
        {"stamp", "Wed, 31 Dec 1969 23:59:59 GMT", "-1.0 kept"},
        {"stamp", "-1", "-1.999999900 kept"},
        {"chunks", "1a\r\nabcdefghijklmnopqrstuvwxyz\r\n5\r\nAB|CDE\r\n0\r\n\r\n", "3 -1 done = abcdefghijklmnopqrstuvwxyzABCDE"},
        {"chunks", "0\r\n\r\n", "-100 done = "},
        {"chunks", "3\r\nabc\r\n0;x=1\r\nX-Sum: 1\r\n|\r\n|HTTP/1.1 200 OK\r\n", "-1 -100 -100 done = abc"},
        {"chunks", "4\r\nabcd|\r\n2\r\nef\r\n", "0 0  = abcdef"},
        {"chunks", "5;a=b\r\nhello\r\n1 ; x=\"y;z\"\r\n!\r\n0;l\r\n\r\n", "-1 done = hello!"},
        {"chunks", "A\r\n0123456789\r\n 0, f\r\nabcdefghijklmno\r\n0\r\n\r\n", "-1 done = 0123456789abcdefghijklmno"},
        {"chunks", "3\nabc\n2\nde\n0\nT: 1\n\n", "-1 done = abcde"},
        {"chunks", "7FFFFFFFFFFFFFFF\r\nabc", "9223372036854775804  = abc"},
        {"chunks", "3\r\nabc\r\nzz\r\nmore\r\n0\r\n\r\n", "0 failed = abc"},
        {"chunks", "-5\r\nabcde\r\n", "0 failed = "},
        {"chunks", "2\r\nab\r\n8000000000000000\r\nx", "0 failed = ab"},
        {"chunks", "3\r\nabcdef\r\n0\r\n\r\n", "0 failed = abc"},
        {"chunks", "3\r\nabc\rX0\r\n\r\n", "0 failed = abc"},
        {"chunks", "zz\r\n|5\r\nhello\r\n0\r\n\r\n", "0 0 failed = "},
        {"chunks", "1;" + QString(9000, u'e') + "\r\nx\r\n", "0 failed = "},
        // clang-format on
    };
    QStringList wrong;
    for (const auto& r : rows) {
        const QString got = ruleResult(r.kind, r.input), expected = r.expected;
        if (got != expected &&
            !(r.kind == "plan" && expected.contains(": ") && got.startsWith(expected)))
            wrong << r.kind + ' ' + r.input.left(60) + ": " + got + " instead of " + expected;
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u'\n')));
}

namespace {

// A slot with a quick tick, its record and a folder.
struct Run
{
    QTemporaryDir dir;
    HttpFiles slot;
    SlotRecorder rec{&slot};
    Run() { SlotRecorder::makeQuick(&slot); }
    QString file() const { return dir.filePath("f.bin"); }
    // Starts a job and waits for its Disconnected (nothing happens at once): the milestones.
    QString run(const QString& url, const QString& local, qint64 from = 0, int protocol = 0)
    {
        const qsizetype before = rec.events.size(), ends = rec.events.count("Disconnected");
        slot.setProtocol(protocol);
        slot.GetRemoteFile(url, local, from, 1);
        if (rec.events.size() > before)
            return "at once: " + rec.events.mid(before).join(u' ');
        return QTest::qWaitFor([&] { return rec.events.count("Disconnected") > ends; }, 30000)
                   ? rec.milestones().join(u' ')
                   : "timed out";
    }
};

// What a connection sends after the request (in pieces if piece > 0): c close, r reset, s stall.
struct Conn
{
    QByteArray bytes;
    int end = 'c', piece = 0;
};

// A job: its connections (none: nothing listens), the file before (null: none), tries; how the
// milestones end, the file after, part of the last request or an error, URL (@: the server),
// local file, meter, first byte asked for (-1: the length on disk). Null or -1: not looked at.
struct Case
{
    const char* name;
    QList<Conn> conns;
    QByteArray onDisk;
    int maxTry;
    const char* milestones;
    QByteArray file;
    const char *fact = "", *path = "@/f.bin", *local = "f.bin";
    int protocol = 0, redirection = 1, meter = -1;
    qint64 from = -1;
};

QByteArray ok(const QByteArray& body)
{
    return "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" +
           body;
}

QByteArray chunked(const QByteArray& data)
{
    QByteArray out = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (qsizetype i = 0; i < data.size(); i += 700)
        out += QByteArray::number(qMin<qsizetype>(700, data.size() - i), 16) + "\r\n" +
               data.mid(i, 700) + "\r\n";
    return out + "0\r\nX-Trailer: 1\r\n\r\n";
}

const QByteArray d = NginxFixture::randomBytes(3000, 1), toClose = "HTTP/1.0 200 OK\r\n\r\n" + d;
const QByteArray big = NginxFixture::randomBytes(3 * 1024 * 1024 + 17, 2);
// Two jobs ended as the manager ends them, into a folder removed between them: the second
// reuses the connection only after a clean end. Then: a answer, c close or r reset as the next
// request comes (sent again), e the second job to another port, i close while idle, w idle.
struct Reuse
{
    const char* name;
    QByteArray first; // sent in pieces of 700 bytes
    int then, reused, protocol = 1, option = 1;
};

const char* const whole = "Connected HeaderCame DownloadComplete Disconnected";
const char* const retried = "Retrying Connected HeaderCame DownloadComplete Disconnected";
const char* const refused = "Error:0 DownloadFailed Disconnected";
const char* const f = "@/f.bin";
// clang-format off
const QList<Case> cases{
    {"header in 3-byte pieces, kept alive", {{"HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nbody", 's', 3}}, {}, 1, whole, "body", "GET /f.bin HTTP/1.1\r\nHost: 127.0.0.1\r\n", f, "f.bin", 1},
    {"cut by a close, resumed", {{ok(d).chopped(2000)}, {"HTTP/1.0 206 P\r\nContent-Range: bytes 1000-2999/3000\r\n\r\n" + d.mid(1000)}}, {}, 6, retried, d, "Range: bytes=1000-"},
    {"header cut, asked again", {{ok(d).left(20)}, {ok(d)}}, {}, 6, "Connected Retrying Connected HeaderCame DownloadComplete Disconnected", d},
    {"chunks cut by a reset, sent whole", {{chunked(d).left(1500), 'r'}, {chunked(d)}}, {}, 6, retried, d, "Range: bytes=", f, "f.bin", 1},
    {"chunks cut, no tries left", {{chunked(d).left(900)}}, {}, 1, "HeaderCame SocketClosed Disconnected", {}},
    {"length cut, then chunks: no length, meter from 0", {{ok(d).chopped(2000)}, {chunked(d)}}, {}, 6, retried, d, "", f, "f.bin", 1, true, 0},
    {"chunked in 7-byte pieces", {{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1a;x=1\r\nabcdefghijklmnopqrstuvwxyz\r\n5\r\n01234\r\n0\r\nT: t\r\n\r\n", 'c', 7}}, {}, 1, whole, "abcdefghijklmnopqrstuvwxyz01234"},
    {"until the close", {{toClose}}, {}, 1, whole, d},
    {"until the close, stalled", {{toClose.left(1000), 's'}, {toClose}}, {}, 6, retried, d},
    {"3 MB until the close", {{"HTTP/1.0 200 OK\r\n\r\n" + big}}, {}, 1, whole, big},
    {"stalled twice, resumed", {{{}, 's'}, {ok(d).chopped(2900), 's'}, {"HTTP/1.0 206 P\r\nContent-Range: bytes 100-2999/3000\r\n\r\n" + d.mid(100)}}, {}, 6, "Connected Connected HeaderCame Retrying Connected HeaderCame DownloadComplete Disconnected", d, "Range: bytes=100-"},
    {"relative redirection: tries from 0", {{"HTTP/1.1 302 Found\r\nLocation: real.bin\r\n\r\n"}, {ok(d).chopped(2000)}, {"HTTP/1.0 206 P\r\nContent-Range: bytes 1000-2999/3000\r\n\r\n" + d.mid(1000)}}, {}, 2, "HeaderCame Error:302 Redirected:real.bin Connected HeaderCame Retrying Connected HeaderCame DownloadComplete Disconnected", d, "GET /dir/real.bin HTTP/1.0\r\n", "@/dir/start.bin"},
    {"redirection announced, not followed", {{"HTTP/1.1 302 Found\r\nLocation: /b\r\n\r\n"}}, {}, 6, "Error:302 Redirected:/b DownloadFailed Disconnected", "<missing>", "", f, "f.bin", 0, false},
    {"too many redirections", QList<Conn>(11, {"HTTP/1.1 302 Found\r\nLocation: /loop\r\n\r\n"}), {}, 6, "Redirected:/loop Connected HeaderCame Error:302 Error:0 DownloadFailed Disconnected", "<missing>", "Too many redirections"},
    {"redirected to a shorter file", {{"HTTP/1.1 302 Found\r\nLocation: /new.bin\r\n\r\n"}, {ok(d)}}, QByteArray(5000, 'o'), 1, whole, d, "Range: bytes=0-"},
    {"redirected, 416 of an empty file", {{"HTTP/1.1 302 Found\r\nLocation: /new.bin\r\n\r\n"}, {"HTTP/1.1 416 R\r\nContent-Range: bytes */0\r\n\r\n"}}, "old", 1, "Error:416 Error:0 DownloadFailed Disconnected", "old"},
    {"404 never reaches the file", {{"HTTP/1.1 404 Bad\r\nContent-Length: 9\r\n\r\nerrorpage"}}, "HELLO", 6, "Connected HeaderCame Error:404 DownloadFailed Disconnected", "HELLO", "127.0.0.1 [404 Bad]"},
    {"404 leaves no new file", {{"HTTP/1.0 404 Not Found\r\n\r\ngone"}}, {}, 6, "Error:404 DownloadFailed Disconnected", "<missing>"},
    {"404 keeps an earlier empty file", {{"HTTP/1.0 404 Not Found\r\n\r\n"}}, "", 6, "Error:404 DownloadFailed Disconnected", ""},
    {"empty download", {{ok("")}}, {}, 6, whole, ""},
    {"range overlapping the disk", {{"HTTP/1.1 206 P\r\nContent-Range: bytes 2-5/6\r\n\r\nCDEF"}}, "abcd", 1, whole, "abCDEF", "Range: bytes=4-"},
    {"past 2 GiB, a sparse new file", {{"HTTP/1.0 206 P\r\nContent-Range: bytes 2147484048-2147484647/2147484648\r\n\r\n" + d.left(600)}}, {}, 1, whole, {}, "Range: bytes=2147484048-", f, "f.bin", 0, true, 100, 2147484048},
    {"more than announced", {{"HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabcdef"}}, {}, 1, "HeaderCame DownloadIncomplete Disconnected", "abc"},
    {"header never ends", {{"HTTP/1.0 200 OK\r\n" + QByteArray(70000, 'x')}}, "keep", 1, "Connected Error:0 DownloadFailed Disconnected", "keep", "did not end within 65536 bytes"},
    {"full disk", {{ok("a small body")}}, {}, 1, "Error:0 DownloadIncomplete Disconnected", {}, "/dev/full", f, "/dev/full"},
    {"refused, one try", {}, {}, 1, "SocketClosed Disconnected Error:10061", "<missing>"},
    {"refused, three tries", {}, {}, 3, "Error:10061 Error:10061 SocketClosed Disconnected Error:10061", "<missing>", "refused"},
    {"host not found", {}, {}, 1, "SocketClosed Disconnected Error:11001", "<missing>", "", "http://no-such-host.invalid/x"},
    {"unsupported URL", {}, {}, 1, refused, "<missing>", "Unsupported URL: ftp://127.0.0.1/x", "ftp://127.0.0.1/x"},
    {"no local file name", {}, {}, 1, refused, {}, "No local file name specified!", f, ""},
    {"folder in the way", {}, {}, 1, refused, {}, "folder\": ", f, "folder"},
};

const QList<Reuse> reuses{
    {"length", ok(d), 'a', true},
    {"chunked with trailer", chunked(d), 'a', true},
    {"empty body", ok({}), 'a', true},
    {"HTTP/1.0 keep-alive", "HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 4\r\n\r\nabcd", 'a', true},
    {"Connection: close", ok(d).insert(17, "Connection: close\r\n"), 'a', false},
    {"bytes after the length", ok(d) + "HTTP/1.1 200 OK\r\n", 'a', false},
    {"bytes after the last chunk", chunked(d) + "junk", 'a', false},
    {"last chunk without its blank line", chunked(d).chopped(2), 'a', false},
    {"error with a body", "HTTP/1.1 404 No\r\nContent-Length: 3\r\n\r\nno!", 'a', false},
    {"range short of the file", "HTTP/1.1 206 P\r\nContent-Range: bytes 0-3/10\r\nContent-Length: 4\r\n\r\nabcd", 'a', false},
    {"option off", ok(d), 'a', false, 1, false},
    {"HTTP/1.0 request", ok(d), 'a', false, 0},
    {"closed as the next request comes", ok("abc"), 'c', false},
    {"reset as the next request comes", ok("abc"), 'r', false},
    {"another port of the same host", ok("abc"), 'e', false},
    {"closed while idle", ok("abc"), 'i', false},
    {"idle for 15 ticks", ok("abc"), 'w', false},
};
// clang-format on

} // namespace

void TestSlot::scripted()
{
    for (const Case& c : cases) {
        ScriptedServer server;
        for (const Conn& conn : c.conns) {
            ServerScript script;
            script.expectRequest().sendSplit(conn.bytes, conn.piece ? conn.piece : 1 << 30, 5);
            server.addConnection(conn.end == 's'   ? script.hold()
                                 : conn.end == 'r' ? script.pause(20).reset()
                                                   : script.pause(20).close());
        }
        Run run;
        run.slot.setConnectTimeout(20);
        run.slot.setMaxTry(c.maxTry);
        run.slot.setRedirection(c.redirection);
        QDir(run.dir.path()).mkdir("folder");
        const QString local = *c.local ? QDir(run.dir.path()).filePath(c.local) : QString();
        if (!c.onDisk.isNull())
            writeFile(local, c.onDisk);
        const quint16 port = c.conns.isEmpty() ? unusedLoopbackPort() : server.port();
        const QString url =
            QString(c.path).replace('@', "http://127.0.0.1:" + QString::number(port));
        const QString milestones =
            u' ' + run.run(url, local, c.from < 0 ? c.onDisk.size() : c.from, c.protocol);
        const QString facts = server.requests().value(server.requests().size() - 1) + u'|' +
                              run.rec.errors().join(u'|');
        QVERIFY2(milestones.endsWith(u' ' + QString(c.milestones)) && facts.contains(c.fact) &&
                     (c.meter < 0 || run.slot.MeterValue() == c.meter) &&
                     (c.file.isNull() || readAll(local) == c.file),
                 qPrintable(c.name + milestones + '\n' + facts));
    }
    const QByteArray second = NginxFixture::randomBytes(5000, 4);
    for (const Reuse& r : reuses) {
        ScriptedServer server, other;
        ServerScript first;
        first.expectRequest().sendSplit(r.first, 700, 5);
        r.then == 'a'   ? first.expectRequest().send(ok(second)).hold()
        : r.then == 'c' ? first.expectRequest().close()
        : r.then == 'r' ? first.expectRequest().reset()
        : r.then == 'i' ? first.pause(50).close()
                        : first.hold();
        server.addConnection(first);
        server.addConnection(ServerScript::reply(ok(second)));
        other.addConnection(ServerScript::reply(ok(second)));
        Run run;
        run.slot.setTickInterval(r.then == 'w' ? 10 : 60000); // connecting at once, nothing waits
        run.slot.setConnectAtOnce(true);
        run.slot.setReuseConnections(r.option);
        run.slot.setMaxTry(1);
        int tries = 0; // the manager ends each job from its Disconnected handler
        connect(&run.slot, &HttpFiles::Disconnected, &run.slot, [&] {
            tries = run.slot.Try();
            run.slot.EndJob();
        });
        const QString folder = run.dir.filePath("sub/deeper/");
        const bool ended = run.run(server.url("/one.bin"), folder + "1.bin", 0, r.protocol)
                               .endsWith("Disconnected");
        const bool kept = r.reused || r.then != 'a';
        QVERIFY2(ended && run.slot.KeepsIdleConnection() == kept &&
                     (run.slot.State() == StreamSocket::ConnectedState) == kept,
                 r.name);
        const qsizetype events = run.rec.events.size();
        if (r.then == 'i' || r.then == 'w') { // dropped silently
            QTRY_VERIFY_WITH_TIMEOUT(!run.slot.KeepsIdleConnection(), 5000);
            QVERIFY(run.slot.State() == StreamSocket::Closed && run.rec.events.size() == events);
        }
        // The slot made the folder for its last job; it must not take it for granted.
        QVERIFY(QDir(run.dir.filePath("sub")).removeRecursively());
        const QString milestones = run.run((r.then == 'e' ? other : server).url("/two.bin"),
                                           folder + "2.bin", 0, r.protocol);
        QVERIFY2(milestones.endsWith(QString(r.reused ? "" : " Connected") +
                                     " HeaderCame DownloadComplete Disconnected") &&
                     tries == 1 && readAll(folder + "2.bin") == second &&
                     server.connectionCount() + other.connectionCount() == 2 - r.reused &&
                     server.requests().size() + other.requests().size() ==
                         (r.then == 'c' || r.then == 'r' ? 3 : 2),
                 qPrintable(r.name + milestones));
        run.slot.BeIdeal();
        QVERIFY(!run.slot.KeepsIdleConnection() && run.slot.State() == StreamSocket::Closed);
    }
    // Every event, and the state after a whole transfer.
    ScriptedServer server;
    ServerScript script;
    script.expectRequest().send("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n").pause(60);
    server.addConnection(script.sendSplit("0123456789", 5, 60).close());
    Run run;
    HttpFiles& s = run.slot;
    s.setConnectTimeout(20);
    QVERIFY(s.GetRemoteFile(server.url("/f.bin"), run.file(), 0, 0) && s.DownloadStatus() == -1);
    WAIT_ENDED(run.rec, 10000);
    // The reply wait counts down silent ticks only: never on the tick after a packet.
    const QString afterHeader = run.rec.events.mid(run.rec.events.indexOf("HeaderCame")).join(u' ');
    QVERIFY(afterHeader.contains("Waiting 18 seconds for reply...") &&
            !afterHeader.contains("Waiting 19"));
    run.rec.events.removeIf([](const QString& e) { return e.startsWith("WaitingForReply"); });
    QCOMPARE(run.rec.events.join(u' '),
             "WaitingRetry Connected DataArrival HeaderCame DataArrival FileDataArrival:5 "
             "DataArrival FileDataArrival:5 DownloadComplete Disconnected");
    QCOMPARE(QVariantList({s.DownloadStatus(), s.FileSize(), s.CurPos(), s.MeterValue(), s.Try(),
                           s.PACKETS(), int(s.State())}),
             QVariantList({1, 10, 11, 100, 1, 3, 0}));
    QCOMPARE(readAll(run.file()) + s.GetHTTP_Var("CONTENT-LENGTH").toLatin1(), "012345678910");
    // Refused: the start delay shows one tick, then the retry wait counts down until halted.
    run.rec.events.clear();
    s.setTryInterval(30);
    QList<int> waits;
    connect(&s, &HttpFiles::WaitingRetry, this, [&] { waits << s.Wait(); });
    s.GetRemoteFile(QStringLiteral("http://127.0.0.1:%1/x").arg(unusedLoopbackPort()), run.file(),
                    0, 0);
    QTRY_COMPARE(waits.mid(0, 4), QList<int>({1, 0, 29, 28}));
    s.Halt();
    QCOMPARE(run.rec.milestones().join(u' '), "Error:10061 Disconnected");
    QCOMPARE(QList<int>({s.DownloadStatus(), s.Wait()}), QList<int>({0, 0}));
    // Kept connections are used again only with the option (and HTTP/1.1 and keep-alive).
    for (const bool reuse : {true, false}) {
        ManagerRig rig(2, [&](DownloadManager& m) {
            m.options().setHttpVersion(true);
            m.options().setKeepAlive(true);
            m.options().setConnectAtOnce(true);
            m.options().setReuseConnections(reuse);
        });
        DownloadManager& m = *rig.m;
        QSet<QString> connections;
        for (int slot = 0; slot < m.SessionMax(); ++slot)
            QObject::connect(m.Http(slot), &HttpFiles::HeaderCame, &m, [&](const QString& h) {
                connections.insert(h.section("X-Connection: ", 1).section(u'\r', 0, 0));
            });
        for (int i = 0; i < 8; ++i) {
            const QString path = QStringLiteral("/d/f%1.bin").arg(i);
            m_nginx.writeFile(path, NginxFixture::randomBytes(3000, i));
            m.Jobs().AddJobs(m_nginx.url(path));
        }
        m.StartDownloads();
        // The run ends when the jobs do, not when the kept connections' idle time runs out.
        QVERIFY(rig.baseDirOk && rig.waitIdle(15000));
        QCOMPARE(connections.size(), reuse ? 2 : 8);
        for (int slot = 0; slot < m.SessionMax(); ++slot)
            QVERIFY(!m.Http(slot)->KeepsIdleConnection()); // nothing is kept after the run
    }
}

void TestSlot::nginx()
{
    // Six at once: the others wait for the first one's ticket and resume (TLS 1.2 and 1.3); if
    // it gets no answer (h) or its tickets come late (l), they soon run their own handshakes.
    for (const char mode : {'r', '3', 'h', 'l'}) {
        const bool held = mode == 'h', tls13 = mode == '3' || mode == 'l';
        StreamSocket::ForgetTickets();
        FlippingRelay relay(tls13 ? m_tls13 : m_tls, held ? -1 : 1 << 30, mode == 'l' ? 1500 : 0);
        const QString url = QStringLiteral("https://localhost:%1/t.bin").arg(relay.serverPort());
        Run jobs[6];
        for (Run& job : jobs) {
            job.slot.setConnectTimeout(1000); // ten seconds of silence
            job.slot.GetRemoteFile(url, job.file(), 0, 1);
        }
        const auto count = [&](auto test) { return std::count_if(jobs, jobs + 6, test); };
        const auto connecting = [](const Run& j) {
            return j.slot.State() == StreamSocket::Connecting;
        };
        const auto ended = [](const Run& j) { return j.rec.ended(); };
        QTRY_VERIFY_WITH_TIMEOUT(!held || count(connecting) == 6, 1000);
        if (mode == 'l') {
            QTRY_VERIFY_WITH_TIMEOUT(count(ended) >= 5, 8000);
            QVERIFY(!jobs[0].rec.ended());
        }
        QTRY_VERIFY_WITH_TIMEOUT(count(ended) == 6 - held, 8000);
        QString resumed;
        for (const Run& job : jobs)
            if (job.rec.ended())
                resumed += job.rec.header.section("X-Resumed: ", 1).left(1);
        std::sort(resumed.begin(), resumed.end());
        QCOMPARE(resumed, mode == 'r' || mode == '3' ? ".rrrrr" : QString(6 - held, u'.'));
    }
    // Files with the server's date, over HTTP (%1) and HTTPS (%2), through a relay that flips a
    // byte of its first connection (%3) and from a plain server (%4); the command line's CA.
    StreamSocket::ForgetTickets();
    FlippingRelay relay(m_tls, 150000);
    ScriptedServer plain;
    plain.addConnection(
        ServerScript().send("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\no").hold());
    const QString done = "HeaderCame DownloadComplete Disconnected";
    const QString failed = "Error:20013 DownloadFailed Disconnected";
    const struct
    {
        QString url;
        int size, onDisk;        // of the file, and its first bytes on disk before
        QString ends, fact = {}; // how the milestones end; part of the header, request or errors
    } rows[] = {
        // clang-format off
        {"http://127.0.0.1:%1/whole.bin", 3 * 1024 * 1024 + 17, 0, whole},
        {"http://127.0.0.1:%1/resume.bin", 500000, 123457, whole, "Range: bytes=123457-\r\n"},
        {"http://127.0.0.1:%1/r302/target.bin", 70000, 0, "Connected HeaderCame Error:302 Redirected:http://127.0.0.1:%1/target.bin Connected " + done},
        {"http://127.0.0.1:%1/done.bin", 5, 5, "Connected HeaderCame Error:416 DownloadComplete Disconnected", "Range: bytes=5-"},
        {"http://127.0.0.1:%1/gr\u00fc\u00dfe 100%.dat", 5000, 0, whole},
        // In order, on kept tickets: resumed; a name not in the certificate fails every time;
        // a broken record is retried; a plain server is no fallback; an untrusted one fails.
        {"https://localhost:%2/t.bin", 300000, 0, done, "X-Resumed: ."},
        {"https://localhost:%2/t.bin", 300000, 0, done, "X-Resumed: r"},
        {"https://127.0.0.2:%2/t.bin", 300000, 0, failed, "TLS handshake with 127.0.0.2 failed: The host name did not match"},
        {"https://127.0.0.2:%2/t.bin", 300000, 0, failed, "The host name did not match"},
        {"https://localhost:%2/t.bin", 300000, 0, done, "X-Resumed: r"},
        {"https://127.0.0.1:%3/t.bin", 300000, 0, "Retrying Error:20020 Connected " + done, "Range: bytes=1"},
        {"https://127.0.0.1:%4/t.bin", 300000, 0, failed, "TLS handshake with 127.0.0.1 failed"},
        {"https://localhost:%2/t.bin", 300000, 0, failed, "untrusted"}, // trusting only the other certificate
        // clang-format on
    };
    const auto ports = [&](QString text) {
        const quint16 ports[] = {m_nginx.port(), m_tls, quint16(relay.serverPort()), plain.port()};
        for (int i = 0; i < 4; ++i)
            text.replace(QStringLiteral("%%1").arg(i + 1), QString::number(ports[i]));
        return text;
    };
    QString error;
    for (const auto& row : rows) {
        if (row.fact == "untrusted")
            QVERIFY2(StreamSocket::TrustOnly(cert("stranger"), &error), qPrintable(error));
        const QString path = row.url.section(u'/', 3);
        const QByteArray data = NginxFixture::randomBytes(row.size, quint32(row.size));
        QFile remote(m_nginx.writeFile(QString(path).remove("r302/"), data));
        QVERIFY(remote.open(QIODevice::ReadWrite) &&
                remote.setFileTime(m_date, QFileDevice::FileModificationTime));
        const QString local = m_dir.filePath("sub/" + path);
        QFile::remove(local);
        QVERIFY(row.onDisk == 0 || writeFile(local, data.left(row.onDisk)));
        Run run;
        const QString milestones = run.run(ports(row.url), local, row.onDisk);
        const QString facts = run.rec.header + run.slot.ReqStr() + run.rec.errors().join(u' ');
        QVERIFY2(milestones.endsWith(ports(row.ends)) &&
                     facts.contains(row.fact, Qt::CaseInsensitive),
                 qPrintable(row.url + (": " + milestones) + '\n' + facts));
        const bool body = row.ends.endsWith(done);
        QCOMPARE(readAll(local), body ? data : row.onDisk ? data.left(row.onDisk) : "<missing>");
        QVERIFY(!body || QFileInfo(local).lastModified().toUTC() == m_date); // the server's date
        QVERIFY(row.ends != failed || run.slot.Try() == 1);                  // never retried
    }
    QVERIFY(plain.requests().isEmpty()); // no request in the clear
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath("config")));
    qputenv("HARVEX_EXTRA_CA", QFile::encodeName(cert("localhost")));
    QProcess cli;
    cli.start(HARVEX_CLI_PATH, {"-q", "-d", m_dir.path(), "--tick-ms", "20",
                                QStringLiteral("https://127.0.0.1:%1/t.bin").arg(m_tls)});
    QVERIFY(cli.waitForFinished(60000) && cli.exitCode() == 0);
    QCOMPARE(readAll(m_dir.filePath("127.0.0.1%3A%1/t.bin").arg(m_tls)), m_data);
}

QTEST_GUILESS_MAIN(TestSlot)
#include "test_slot.moc"
