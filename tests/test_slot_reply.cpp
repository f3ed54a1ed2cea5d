// SPDX-License-Identifier: GPL-3.0-or-later
// The slot's rules as one table, one row a case (what a reply header means for the job, what
// an ended transfer comes to, how header values, URLs, chunked bodies and dates are read),
// then the slot against a scripted loopback server: event order, retries, redirections,
// replies cut, stalled or hostile, what is left on disk, connections kept for the next job.
#include "engine/ChunkDecoder.h"
#include "engine/HttpDate.h"
#include "engine/HttpFiles.h"
#include "engine/ReplyHeader.h"
#include "engine/ReplyPlan.h"
#include "engine/TransferVerdict.h"
#include "engine/UrlSplit.h"
#include "platform/FileTimes.h"
#include "platform/StreamSocket.h"
#include "support/NginxFixture.h"
#include "support/ScriptedServer.h"
#include "support/SlotRecorder.h"
#include "support/TestFiles.h"

#include <QDateTime>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>

class TestSlotReply : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void rules();
    void requestText();
    void scripted_data();
    void scripted();
    void eventsAndRetryWait();
    void reuse_data();
    void reuse();
};

static QString ends(BodyEnd end)
{
    return QStringList{"None", "Length", "Chunked", "UntilClose"}[int(end)];
}

// What one row of rules() comes to.
static QString ruleResult(const QString& kind, const QString& input)
{
    QString got = "bad";
    qint64 a = 0, b = 0, c = 0;
    const QStringList n = input.section(u'|', 0, 0).split(u' ');
    const QString head = kind == "plan" ? "HTTP/1.1 " + input.section(u'|', 1) : input;
    ReplyHeader h;
    QByteArray rest, bytes = (kind == "header" ? head : head + "\r\n\r\n").toLatin1();
    auto step = ReplyHeader::Step::NeedMore;
    for (qsizetype at = 0; at < bytes.size() && step == ReplyHeader::Step::NeedMore; at += 1000)
        step = h.Feed(rest = bytes.mid(at, 1000)); // fed in pieces of 1000 bytes
    if (kind == "plan") {
        const ReplyContext context{"h",
                                   n[0].toInt(),
                                   n[1].toInt(),
                                   "301|302|303|304|305|306|307|308|203|",
                                   n[2].toInt() >= 0,
                                   qMax(0, n[2].toInt()),
                                   0};
        const ReplyPlan p = ReplyPlan::For(h, context);
        got = QStringList{"Fail", "Redirect", "Complete", "Body"}[int(p.Step)] +
              (p.StatusError ? " status" : "");
        if (p.Step == ReplyPlan::Action::Redirect)
            got += u' ' + p.Location + (p.Follow ? " follow" : " stay");
        if (p.Step == ReplyPlan::Action::Complete)
            got += QStringLiteral(" size=%1").arg(p.FileSize);
        if (p.Step == ReplyPlan::Action::Body)
            got += QStringLiteral(" %1 cut%2 size%3 left%4%5")
                       .arg(ends(p.End))
                       .arg(p.WriteFrom == p.CutTo ? p.CutTo : -99)
                       .arg(p.SizeKnown ? QStringLiteral("=%1").arg(p.FileSize) : "?")
                       .arg(p.BodyLeft)
                       .arg(p.ResetMeter ? " new" : "");
        got += p.FailText.isEmpty() ? QString() : ": " + p.FailText;
    }
    if (kind == "verdict") { // end, size (-1 unknown), bytes written, flags
        const QString f = n.value(3);
        // clang-format off
        const TransferFacts facts{f.contains(u'0') ? 0 : 3, !f.contains(u'h'), n[1].toInt() >= 0,
                                  BodyEnd(QStringList{"None", "Length", "Chunked", "UntilClose"}.indexOf(n[0])),
                                  f.contains(u'c') ? 7 : f.contains(u'b') ? 0 : -1, f.contains(u's'),
                                  f.contains(u'o'), qMax(0, n[1].toInt()), f.contains(u'm') ? 11 : 0, n[2].toInt()};
        // clang-format on
        got = QStringList{"retry", "complete", "incomplete"}[int(TransferVerdict::Judge(facts))];
    }
    if (kind == "range" && ReplyHeader::ParseContentRange(input, &a, &b, &c))
        got = QStringLiteral("%1-%2/%3").arg(a).arg(b).arg(c);
    if (kind == "persistent")
        got = h.Persistent() ? "yes" : "no";
    if (kind == "header") {
        got = step == ReplyHeader::Step::TooLong ? "TooLong" : "NeedMore";
        if (step == ReplyHeader::Step::Complete)
            got =
                QStringLiteral("%1 | %2 | Link %3")
                    .arg(h.StatusValid() ? QString::number(h.Status()) + h.StatusText() : "invalid",
                         QString::fromLatin1(rest))
                    .arg(h.VarIndex("Link"));
    }
    if (kind == "fields") {
        QStringList fields;
        for (const HttpVar& var : ReplyHeader::ParseFields(input))
            fields << var.Name + u'=' + var.Value;
        got = fields.join(u'|');
    }
    const UrlSplit split = UrlSplit::Parse(input);
    if (kind == "url" && split.Supported)
        got = QStringLiteral("%1 %2 %3%4")
                  .arg(split.Host)
                  .arg(split.Port)
                  .arg(split.Path, split.Secure ? " secure" : "");
    if (kind == "location")
        got = UrlSplit::Resolve("http://h:81/a/b/c.zip?x", input);
    if (kind == "target")
        got = QString::fromLatin1(UrlSplit::RequestTarget(input));
    if (kind == "asks") // the Range of a request for path, from, to
        got = HttpFiles()
                  .getRequest("h", n[0], n[1].toLongLong(), n[2].toLongLong(), 0)
                  .section("Range: ", 1)
                  .section("\r\n", 0, 0);
    if (kind == "date") {
        qint64 time = -1;
        const bool read = HttpDateToFileTime(time, input);
        const QDateTime utc =
            QDateTime::fromMSecsSinceEpoch((time - FileTimes::UnixEpochOffset) / 10000, Qt::UTC);
        got = !read && time == 0 ? "bad" : time == 0 ? "0" : utc.toString("yyyy-MM-dd hh:mm:ss");
    }
    if (kind == "year")
        got = QString::number(WidenTwoDigitYear(n[0].toInt(), n[1].toInt()));
    if (kind == "stamp") { // a file's write and access seconds (and nanoseconds) after the date
        QTemporaryDir dir;
        const QString path = dir.filePath("f\u00e9 name.bin");
        const QByteArray name = QFile::encodeName(path);
        QFile(path).open(QIODevice::WriteOnly);
        const timespec before[2] = {{1500000000, 0}, {1600000000, 0}};
        struct stat st = {};
        ::utimensat(AT_FDCWD, name.constData(), before, 0);
        if (input.startsWith(u'-')) // in 100 ns units from 1970
            FileTimes::SetLastWriteTime(path, FileTimes::UnixEpochOffset + input.toLongLong());
        else
            SetFileDate(path, input);
        ::stat(name.constData(), &st);
        got = QStringLiteral("%1.%2 %3")
                  .arg(st.st_mtim.tv_sec)
                  .arg(st.st_mtim.tv_nsec)
                  .arg(st.st_atim.tv_sec);
    }
    if (kind == "chunks") { // packets split at "|": each result, then the end and the payload
        const auto decode = [](const QList<QByteArray>& packets) {
            ChunkDecoder d;
            QString results;
            QByteArray payload;
            for (QByteArray packet : packets) {
                results += QString::number(d.Decode(packet)) + u' ';
                payload += packet;
            }
            results += d.Finished()                             ? "done"
                       : d.Failed() && !d.ErrorText().isEmpty() ? "failed"
                                                                : "";
            return results.trimmed() + " = " + payload;
        };
        QList<QByteArray> bytewise;
        for (char c : input.toLatin1())
            if (c != '|')
                bytewise << QByteArray(1, c);
        got = decode(input.toLatin1().split('|'));
        const QString one = decode(bytewise);
        // Byte by byte, the end and the payload are the same.
        if (one.section(" = ", 1) != got.section(" = ", 1) ||
            one.section(" = ", 0, 0).section(u' ', -1) !=
                got.section(" = ", 0, 0).section(u' ', -1))
            got += " but byte by byte " + one;
    }
    return got;
}

// kind, input, what comes of it ("bad" when it is refused). Plans: the first byte asked for,
// the length on disk and the redirections followed (-1: redirection off), then the header;
// 203 is a listed error code. A plan reads: the step, "status" when an Error with the status
// comes first, what the step needs, and ": FailText" (rows give its beginning). Verdicts:
// flags 0 no packet came, h the header broke off, c chunks cut (b between two chunks; else
// the last one came), s ended by an error or silence, o more than announced, m a minimum of
// 11 bytes.
void TestSlotReply::rules()
{
    const QString near = "HTTP/1.1 200 OK\r\nX: " + QString(ReplyHeader::MaxBytes - 30, u'y');
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
        {"header", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Hints\r\nLink: </s>\r\n\r\n"
                   "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nZ",
         "200 OK | Z | Link -1"},
        {"header", "HTTP/1.1 2000 OK\r\n\r\n", "invalid |  | Link -1"},
        {"header", "ICY 200 OK\r\n\r\n", "invalid |  | Link -1"},
        {"header", "HTTP/1.1 404 Gone\r\nLink: x\r\n", "NeedMore"},
        {"header", near + "\r\n\r\n", "200 OK |  | Link -1"},
        {"header", near + QString(100, u'y'), "TooLong"},
        // Fields: the status line splits at its blank, one folded line is joined.
        {"fields", "HTTP/1.0 404 Not: Found\r\nContent-Length:  12 \r\nNoColon value\r\nLonely\r\n"
                   "A: 1\r\n 2\r\n 3",
         "HTTP/1.0=404 Not: Found|Content-Length=12|NoColon=value|Lonely=|A=1 2|=3"},
        {"url", "http://h.org/a/b.zip", "h.org 80 /a/b.zip"},
        {"url", "http://h/p?q=/x#f", "h 80 /p?q=/x"},
        {"url", "http://h?q", "h 80 /?q"},
        {"url", "HTTPS://h:8443", "h 8443 / secure"},
        {"url", "http://h:81abc/x", "h 81 /x"},
        {"url", "http://b\u00fccher.de/", "xn--bcher-kva.de 80 /"},
        {"url", "http://h:70000/", "bad"},
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
        // Pages (of the default extensions, any case) are never asked for in part, nor a
        // path without an extension.
        {"asks", "/f.zip 10 20", "bytes=10-20"},
        {"asks", "/x.PHP 0 0", ""},
        {"asks", "/x.php?id=1 0 0", "bytes=0-"},
        {"asks", "/src/a.h 0 0", ""},
        {"asks", "/download 5 0", ""},
        // HTTP dates: one of three shapes is read ("0" when a field is out of range).
        {"date", "Sun, 06 Nov 1994 08:49:37 GMT", "1994-11-06 08:49:37"},
        {"date", "Sunday, 06-Nov-94 08:49:37 GMT", "1994-11-06 08:49:37"},
        {"date", "sun nov  6 08:49:37 1994", "1994-11-06 08:49:37"},
        {"date", "Mon, 01 Jan 1601 00:00:01 GMT", "1601-01-01 00:00:01"},
        {"date", "Wed, 31 Dec 1969 23:59:59 GMT", "1969-12-31 23:59:59"},
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
        // Only the write time is set, and a bad date leaves it; before 1970 the seconds are
        // negative, and the rounding must not move the time.
        {"stamp", "Sun, 06 Nov 1994 25:49:37 GMT", "1600000000.0 1500000000"},
        {"stamp", "Sun, 06 Nov 1994 08:49:37 GMT", "784111777.0 1500000000"},
        {"stamp", "Wed, 31 Dec 1969 23:59:59 GMT", "-1.0 1500000000"},
        {"stamp", "-5", "-1.999999500 1500000000"},
        {"chunks", "1a\r\nabcdefghijklmnopqrstuvwxyz\r\n5\r\nAB|CDE\r\n0\r\n\r\n", "3 -1 done = abcdefghijklmnopqrstuvwxyzABCDE"},
        {"chunks", "0\r\n\r\n", "-100 done = "},
        {"chunks", "3\r\nabc\r\n0;x=1\r\nX-Sum: 1\r\n|\r\n|HTTP/1.1 200 OK\r\n", "-1 -100 -100 done = abc"},
        {"chunks", "4\r\nabcd|\r\n2\r\nef\r\n", "0 0 = abcdef"},
        {"chunks", "5;a=b\r\nhello\r\n1 ; x=\"y;z\"\r\n!\r\n0;l\r\n\r\n", "-1 done = hello!"},
        {"chunks", "A\r\n0123456789\r\n 0, f\r\nabcdefghijklmno\r\n0\r\n\r\n", "-1 done = 0123456789abcdefghijklmno"},
        {"chunks", "3\nabc\n2\nde\n0\nT: 1\n\n", "-1 done = abcde"},
        {"chunks", "7fffffffffffffff\r\nabc", "9223372036854775804 = abc"},
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

void TestSlotReply::requestText()
{
    HttpFiles slot;
    QCOMPARE(slot.getRequest("example.org", "/file.zip", 1000, 0, 1),
             "GET /file.zip HTTP/1.0\r\nHost: example.org\r\nAccept: text/xml,application/xml,"
             "application/xhtml+xml,text/html;q=0.9,text/plain;q=0.8,image/png,*/*;q=0.5\r\n"
             "Accept-Language: en-us,en;q=0.5\r\nAccept-Encoding: gzip , deflate\r\n"
             "Range: bytes=1000-\r\n\r\n");
    slot.setProtocol(1);
    slot.setCompatible("Harvex/1.06");
    slot.setAcceptParam("  */*  ");
    slot.setAcceptLanguage(QString());
    slot.setAcceptEncoding(" ");
    QCOMPARE(slot.getRequest("h", "/f.bin", 7, 0, 1),
             "GET /f.bin HTTP/1.1\r\nHost: h\r\nUser-Agent: Harvex/1.06\r\nAccept: */*\r\n"
             "Range: bytes=7-\r\nConnection: Keep-Alive\r\n\r\n");
    QVERIFY(!slot.getRequest("h", "/", 0, 0, 0).contains("Connection")); // keep-alive when asked
}

namespace {

// One slot with a quick tick (a silence of 20 ticks ends a transfer), its event record and
// a folder for its file.
struct Run
{
    QTemporaryDir dir;
    HttpFiles slot;
    SlotRecorder rec{&slot};
    Run()
    {
        SlotRecorder::makeQuick(&slot);
        slot.setConnectTimeout(20);
    }
    QString file() const { return dir.filePath("f.bin"); }
    // Starts a job and waits for its Disconnected.
    bool fetch(const QString& url, const QString& local)
    {
        const int before = rec.events.count("Disconnected");
        slot.GetRemoteFile(url, local, 0, 1);
        return QTest::qWaitFor([&] { return rec.events.count("Disconnected") > before; }, 10000);
    }
};

enum End
{
    Close,
    Reset,
    Stall // the connection stays open and silent
};

// What one accepted connection sends after the request: in pieces of `piece` bytes 5 ms
// apart when piece > 0, then its end.
struct Conn
{
    QByteArray bytes;
    End end = Close;
    int piece = 0;
};

struct Case
{
    const char* name;
    QList<Conn> conns; // none: a port where nothing listens
    QByteArray onDisk; // the file before (resumed from its end); null: no file
    int maxTry;
    const char* milestones;      // how the slot's milestones end
    QByteArray file;             // the file after; "<missing>" for none, null: not looked at
    const char* fact = "";       // part of the last request or of an Error description
    const char* path = "/f.bin"; // or a whole URL
    const char* local = "f.bin"; // below the test folder, or absolute
    int protocol = 0;
    bool redirection = true;
    int meter = -1; // the meter at the end; -1: not looked at
};

QByteArray ok(const QByteArray& body, const QByteArray& extra = {})
{
    return "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" +
           extra + "\r\n" + body;
}

QByteArray part(const QByteArray& data, qsizetype from)
{
    return "HTTP/1.0 206 P\r\nContent-Range: bytes " + QByteArray::number(from) + "-" +
           QByteArray::number(data.size() - 1) + "/" + QByteArray::number(data.size()) +
           "\r\n\r\n" + data.mid(from);
}

QByteArray chunked(const QByteArray& data)
{
    QByteArray out = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (qsizetype i = 0; i < data.size(); i += 700)
        out += QByteArray::number(qMin<qsizetype>(700, data.size() - i), 16) + "\r\n" +
               data.mid(i, 700) + "\r\n";
    return out + "0\r\nX-Trailer: 1\r\n\r\n";
}

QByteArray moved(const char* location)
{
    return "HTTP/1.1 302 Found\r\nLocation: " + QByteArray(location) + "\r\n\r\n";
}

const QByteArray d = NginxFixture::randomBytes(3000, 1), toClose = "HTTP/1.0 200 OK\r\n\r\n" + d;
const QByteArray big = NginxFixture::randomBytes(3 * 1024 * 1024 + 17, 2);
const QByteArray tiny = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                        "1a;x=1\r\nabcdefghijklmnopqrstuvwxyz\r\n5\r\n01234\r\n0\r\nT: t\r\n\r\n";
const char* const whole = "Connected HeaderCame DownloadComplete Disconnected";
const char* const retried = "Retrying Connected HeaderCame DownloadComplete Disconnected";
const char* const refused = "Error:0 DownloadFailed Disconnected";
const char* const f = "/f.bin";
// clang-format off
const QList<Case> cases{
    {"header in 3-byte pieces, kept alive", {{"HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nbody", Stall, 3}},
     {}, 1, whole, "body", "GET /f.bin HTTP/1.1\r\nHost: 127.0.0.1\r\n", f, "f.bin", 1},
    {"cut by a close, resumed", {{ok(d).chopped(2000)}, {part(d, 1000)}}, {}, 6, retried, d, "Range: bytes=1000-"},
    {"header cut, asked again", {{ok(d).left(20)}, {ok(d)}}, {}, 6, "Connected Retrying Connected HeaderCame DownloadComplete Disconnected", d},
    {"chunks cut by a reset, sent whole", {{chunked(d).left(1500), Reset}, {chunked(d)}}, {}, 6, retried, d, "Range: bytes=", f, "f.bin", 1},
    {"chunks cut, no tries left", {{chunked(d).left(900)}}, {}, 1, "HeaderCame SocketClosed Disconnected", {}},
    {"length cut, then chunks: no length, meter from 0", {{ok(d).chopped(2000)}, {chunked(d)}}, {}, 6, retried, d, "", f, "f.bin", 1, true, 0},
    {"chunked in 7-byte pieces", {{tiny, Close, 7}}, {}, 1, whole, "abcdefghijklmnopqrstuvwxyz01234"},
    {"until the close", {{toClose}}, {}, 1, whole, d},
    {"until the close, stalled", {{toClose.left(1000), Stall}, {toClose}}, {}, 6, retried, d},
    {"3 MB until the close", {{"HTTP/1.0 200 OK\r\n\r\n" + big}}, {}, 1, whole, big},
    {"stalled twice, resumed", {{{}, Stall}, {ok(d).chopped(2900), Stall}, {part(d, 100)}}, {}, 6,
     "Connected Connected HeaderCame Retrying Connected HeaderCame DownloadComplete Disconnected", d, "Range: bytes=100-"},
    {"relative redirection", {{moved("real.bin")}, {ok("the real file")}}, {}, 6,
     "HeaderCame Error:302 Redirected:real.bin Connected HeaderCame DownloadComplete Disconnected",
     "the real file", "GET /dir/real.bin HTTP/1.0\r\n", "/dir/start.bin"},
    {"redirection announced, not followed", {{moved("/b")}}, {}, 6,
     "Error:302 Redirected:/b DownloadFailed Disconnected", "<missing>", "", f, "f.bin", 0, false},
    {"too many redirections", QList<Conn>(11, {moved("/loop")}), {}, 6,
     "Redirected:/loop Connected HeaderCame Error:302 Error:0 DownloadFailed Disconnected", "<missing>", "Too many redirections"},
    {"redirected to a shorter file", {{moved("/new.bin")}, {ok(d)}}, QByteArray(5000, 'o'), 1, whole, d, "Range: bytes=0-"},
    {"redirected, 416 of an empty file", {{moved("/new.bin")}, {"HTTP/1.1 416 R\r\nContent-Range: bytes */0\r\n\r\n"}},
     "old", 1, "Error:416 Error:0 DownloadFailed Disconnected", "old"},
    {"404 never reaches the file", {{"HTTP/1.1 404 Bad\r\nContent-Length: 9\r\n\r\nerrorpage"}}, "HELLO", 6,
     "Connected HeaderCame Error:404 DownloadFailed Disconnected", "HELLO", "127.0.0.1 [404 Bad]"},
    {"404 leaves no new file", {{"HTTP/1.0 404 Not Found\r\n\r\ngone"}}, {}, 6, "Error:404 DownloadFailed Disconnected", "<missing>"},
    {"404 keeps an earlier empty file", {{"HTTP/1.0 404 Not Found\r\n\r\n"}}, "", 6, "Error:404 DownloadFailed Disconnected", ""},
    {"empty download", {{ok("")}}, {}, 6, whole, ""},
    {"range overlapping the disk", {{"HTTP/1.1 206 P\r\nContent-Range: bytes 2-5/6\r\n\r\nCDEF"}}, "abcd", 1, whole,
     "abCDEF", "Range: bytes=4-"},
    {"more than announced", {{"HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabcdef"}}, {}, 1,
     "HeaderCame DownloadIncomplete Disconnected", "abc"},
    {"header never ends", {{"HTTP/1.0 200 OK\r\n" + QByteArray(70000, 'x')}}, "keep", 1,
     "Connected Error:0 DownloadFailed Disconnected", "keep", "did not end within 65536 bytes"},
    {"full disk", {{ok("a small body")}}, {}, 1, "Error:0 DownloadIncomplete Disconnected", {}, "/dev/full", f, "/dev/full"},
    {"refused, one try", {}, {}, 1, "SocketClosed Disconnected Error:10061", "<missing>"},
    {"refused, three tries", {}, {}, 3, "Error:10061 Error:10061 SocketClosed Disconnected Error:10061", "<missing>", "refused"},
    {"host not found", {}, {}, 1, "SocketClosed Disconnected Error:11001", "<missing>", "", "http://no-such-host.invalid/x"},
    {"unsupported URL", {}, {}, 1, refused, "<missing>", "Unsupported URL: ftp://127.0.0.1/x", "ftp://127.0.0.1/x"},
    {"no local file name", {}, {}, 1, refused, {}, "No local file name specified!", f, ""},
    {"folder in the way", {}, {}, 1, refused, {}, "folder\": ", f, "folder"},
};
// clang-format on

// Two jobs to one server on a slot with keep-alive and reuse, ended as the manager ends them,
// into a folder removed between them: the second goes on the first connection only after a
// clean end, when no byte of the old reply can be read as the new one. After its first reply
// the first connection answers the next request too (a slot that wrongly used it again is
// caught by the count of connections), or ends: as the next request comes (that request is
// no try and goes again on a new connection), or while idle (the slot drops it silently).
enum Then
{
    Answer,
    CloseOnRequest,
    ResetOnRequest,
    Elsewhere, // the second job goes to another port
    CloseIdle,
    Idle // 15 ticks
};

struct Reuse
{
    const char* name;
    QByteArray first; // sent in pieces of 700 bytes
    Then then;
    bool reused;
    int protocol = 1;
    bool option = true;
};

// clang-format off
const QList<Reuse> reuses{
    {"length", ok(d), Answer, true},
    {"chunked with trailer", chunked(d), Answer, true},
    {"empty body", ok({}), Answer, true},
    {"HTTP/1.0 keep-alive", "HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 4\r\n\r\nabcd", Answer, true},
    {"Connection: close", ok(d, "Connection: close\r\n"), Answer, false},
    {"bytes after the length", ok(d) + "HTTP/1.1 200 OK\r\n", Answer, false},
    {"bytes after the last chunk", chunked(d) + "junk", Answer, false},
    {"last chunk without its blank line", chunked(d).chopped(2), Answer, false},
    {"error with a body", "HTTP/1.1 404 No\r\nContent-Length: 3\r\n\r\nno!", Answer, false},
    {"range short of the file", "HTTP/1.1 206 P\r\nContent-Range: bytes 0-3/10\r\nContent-Length: 4\r\n\r\nabcd", Answer, false},
    {"option off", ok(d), Answer, false, 1, false},
    {"HTTP/1.0 request", ok(d), Answer, false, 0},
    {"closed as the next request comes", ok("abc"), CloseOnRequest, false},
    {"reset as the next request comes", ok("abc"), ResetOnRequest, false},
    {"another port of the same host", ok("abc"), Elsewhere, false},
    {"closed while idle", ok("abc"), CloseIdle, false},
    {"idle for 15 ticks", ok("abc"), Idle, false},
};
// clang-format on

// One data row per table row, named after it.
template <typename Row>
void rowsByName(const QList<Row>& rows)
{
    QTest::addColumn<int>("row");
    for (int i = 0; i < rows.size(); ++i)
        QTest::newRow(rows.at(i).name) << i;
}

} // namespace

void TestSlotReply::scripted_data()
{
    rowsByName(cases);
}

void TestSlotReply::scripted()
{
    QFETCH(int, row);
    const Case& c = cases.at(row);
    ScriptedServer server;
    for (const Conn& conn : c.conns) {
        ServerScript script;
        script.expectRequest().sendSplit(conn.bytes, conn.piece ? conn.piece : 1 << 30, 5);
        if (conn.end == Stall)
            script.hold();
        else
            conn.end == Reset ? script.pause(20).reset() : script.pause(20).close();
        server.addConnection(script);
    }
    Run run;
    run.slot.setMaxTry(c.maxTry);
    run.slot.setProtocol(c.protocol);
    run.slot.setRedirection(c.redirection);
    QDir(run.dir.path()).mkdir("folder");
    const QString local = *c.local ? QDir(run.dir.path()).filePath(c.local) : QString();
    if (!c.onDisk.isNull())
        writeFile(local, c.onDisk);
    const QString url = QString(c.path).startsWith('/')
                            ? QStringLiteral("http://127.0.0.1:%1%2")
                                  .arg(c.conns.isEmpty() ? unusedLoopbackPort() : server.port())
                                  .arg(c.path)
                            : c.path;
    run.slot.GetRemoteFile(url, local, c.onDisk.size(), 1);
    QVERIFY(run.rec.events.isEmpty()); // everything happens later, in the event loop
    WAIT_ENDED(run.rec, 20000);
    const QString milestones = u' ' + run.rec.milestones().join(u' ');
    QVERIFY2(milestones.endsWith(u' ' + QString(c.milestones)), qPrintable(milestones));
    if (c.meter >= 0)
        QCOMPARE(run.slot.MeterValue(), double(c.meter));
    if (!c.file.isNull())
        QCOMPARE(readAll(local), c.file);
    const QString facts =
        server.requests().value(server.requests().size() - 1) + u'|' + run.rec.errors().join(u'|');
    QVERIFY2(facts.contains(c.fact), qPrintable(facts));
}

void TestSlotReply::eventsAndRetryWait()
{
    ScriptedServer server;
    server.addConnection(ServerScript()
                             .expectRequest()
                             .send("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n")
                             .pause(60)
                             .send("01234")
                             .pause(60)
                             .send("56789")
                             .close());
    Run run;
    QVERIFY(run.slot.GetRemoteFile(server.url("/f.bin"), run.file(), 0, 0));
    QCOMPARE(run.slot.DownloadStatus(), -1);
    WAIT_ENDED(run.rec, 10000);
    // The reply wait counts down silent ticks only: never on the tick after a packet.
    const QStringList afterHeader = run.rec.events.mid(run.rec.events.indexOf("HeaderCame"));
    QVERIFY(afterHeader.contains("WaitingForReply:Waiting 18 seconds for reply..."));
    QVERIFY(!afterHeader.contains("WaitingForReply:Waiting 19 seconds for reply..."));
    run.rec.events.removeIf([](const QString& e) { return e.startsWith("WaitingForReply"); });
    QCOMPARE(run.rec.events.join(u' '),
             "WaitingRetry Connected DataArrival HeaderCame DataArrival FileDataArrival:5 "
             "DataArrival FileDataArrival:5 DownloadComplete Disconnected");
    QCOMPARE(readAll(run.file()), "0123456789");
    const HttpFiles& s = run.slot;
    QCOMPARE(
        QList<double>({double(s.DownloadStatus()), double(s.FileSize()), double(s.CurPos()),
                       s.MeterValue(), double(s.Try()), double(s.PACKETS()), double(s.State())}),
        QList<double>({1, 10, 11, 100, 1, 3, 0}));
    QCOMPARE(s.GetHTTP_Var("CONTENT-LENGTH"), "10");
    // A refused connection: the start delay shows one tick; after the failure the wait is
    // announced before its count is set, then counts down from TryInterval - 1 until halted.
    run.rec.events.clear();
    run.slot.setTryInterval(30);
    QList<int> waits;
    connect(&run.slot, &HttpFiles::WaitingRetry, this, [&] { waits << run.slot.Wait(); });
    run.slot.GetRemoteFile(QStringLiteral("http://127.0.0.1:%1/x").arg(unusedLoopbackPort()),
                           run.file(), 0, 0);
    QTRY_VERIFY(waits.size() >= 4);
    QCOMPARE(waits.mid(0, 4), QList<int>({1, 0, 29, 28}));
    run.slot.Halt();
    QCOMPARE(run.rec.milestones().join(u' '), "Error:10061 Disconnected");
    QCOMPARE(QList<int>({run.slot.DownloadStatus(), run.slot.Wait()}), QList<int>({0, 0}));
    QSignalSpy errors(&run.slot, &HttpFiles::Error);
    QVERIFY(!errors.wait(400)); // the retry wait is over: no attempt follows
}

void TestSlotReply::reuse_data()
{
    rowsByName(reuses);
}

void TestSlotReply::reuse()
{
    QFETCH(int, row);
    const Reuse& r = reuses.at(row);
    const QByteArray second = NginxFixture::randomBytes(5000, 4);
    ScriptedServer server, other;
    ServerScript first;
    first.expectRequest().sendSplit(r.first, 700, 5);
    if (r.then == Idle || r.then == Elsewhere)
        first.hold();
    else if (r.then == CloseIdle)
        first.pause(50).close();
    else
        first.expectRequest();
    if (r.then == Answer)
        first.send(ok(second)).hold();
    else if (r.then < Elsewhere)
        r.then == ResetOnRequest ? first.reset() : first.close();
    server.addConnection(first);
    server.addConnection(ServerScript::reply(ok(second)));
    other.addConnection(ServerScript::reply(ok(second)));
    Run run;
    run.slot.setTickInterval(r.then == Idle ? 10 : 60000); // connecting at once, nothing waits
    run.slot.setProtocol(r.protocol);
    run.slot.setConnectAtOnce(true);
    run.slot.setReuseConnections(r.option);
    run.slot.setMaxTry(1);
    int tries = 0; // the manager ends each job from its Disconnected handler
    connect(&run.slot, &HttpFiles::Disconnected, &run.slot, [&] {
        tries = run.slot.Try();
        run.slot.EndJob();
    });
    const QString folder = run.dir.filePath("sub/deeper/");
    QVERIFY(run.fetch(server.url("/one.bin"), folder + "1.bin"));
    const bool kept = r.reused || r.then != Answer;
    QCOMPARE(run.slot.KeepsIdleConnection(), kept);
    QCOMPARE(run.slot.State() == StreamSocket::ConnectedState, kept);
    const qsizetype events = run.rec.events.size();
    if (r.then >= CloseIdle) {
        QTRY_VERIFY_WITH_TIMEOUT(!run.slot.KeepsIdleConnection(), 5000);
        QCOMPARE(run.slot.State(), int(StreamSocket::Closed));
        QCOMPARE(run.rec.events.size(), events);
    }
    // The slot made the folder for its last job; it must not take it for granted.
    QVERIFY(QDir(run.dir.filePath("sub")).removeRecursively());
    QVERIFY(run.fetch((r.then == Elsewhere ? other : server).url("/two.bin"), folder + "2.bin"));
    QCOMPARE(server.connectionCount() + other.connectionCount(), r.reused ? 1 : 2);
    QCOMPARE(server.requests().size() + other.requests().size(),
             r.then == CloseOnRequest || r.then == ResetOnRequest ? 3 : 2);
    const QString milestones = run.rec.milestones().join(u' ');
    QVERIFY2(milestones.endsWith(QString(r.reused ? "" : " Connected") +
                                 " HeaderCame DownloadComplete Disconnected"),
             qPrintable(milestones));
    QCOMPARE(tries, 1);
    QCOMPARE(readAll(folder + "2.bin"), second);
    run.slot.BeIdeal();
    QVERIFY(!run.slot.KeepsIdleConnection() && run.slot.State() == StreamSocket::Closed);
}

QTEST_GUILESS_MAIN(TestSlotReply)
#include "test_slot_reply.moc"
