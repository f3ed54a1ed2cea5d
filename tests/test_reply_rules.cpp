// SPDX-License-Identifier: GPL-3.0-or-later
// The slot's pure rules as tables, one row a case: what a reply header means for the job,
// what an ended transfer comes to, and how header values, URLs, requests, chunked bodies
// and dates are read. The fuzzers check the same readers on any input and any split.
#include "engine/ChunkDecoder.h"
#include "engine/HttpDate.h"
#include "engine/HttpFiles.h"
#include "engine/ReplyHeader.h"
#include "engine/ReplyPlan.h"
#include "engine/TransferVerdict.h"
#include "engine/UrlSplit.h"
#include "platform/FileTimes.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>

class TestReplyRules : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void replyPlans();
    void verdicts();
    void readers();
    void requestText();
    void chunkedBodies();
    void fileDateStampsTheWriteTimeOnly();
};

// The rows whose result (from read) is not their expected one, each with what came instead.
template <typename Rows, typename Read>
static QString wrongRows(const Rows& rows, Read read)
{
    QStringList wrong;
    for (const auto& r : rows)
        if (const QString got = read(r); got != QString(r.expected))
            wrong << QString(r.name) + ": " + got + " instead of " + r.expected;
    return wrong.join(u'\n');
}

static ReplyHeader header(const QString& text)
{
    ReplyHeader h;
    QByteArray packet = text.toLatin1() + "\r\n\r\n";
    h.Feed(packet);
    return h;
}

// The plan for a final header, given the first byte asked for, the length on disk and the
// redirections followed so far (-1: redirection off); 203 is a listed error code. A plan
// reads: the step, "status" when an Error with the status comes first, what the step
// needs, and ": FailText" (rows give its beginning).
void TestReplyRules::replyPlans()
{
    const struct
    {
        const char *name, *head;
        int asked, disk, redirects;
        const char* expected;
    } rows[] = {
        // clang-format off
        {"whole file", "200 OK\r\nContent-Length: 10", 0, 0, 0, "Body Length cut0 size=10 left10 new"},
        {"range ignored", "200 OK\r\nContent-Length: 10", 4, 4, 0, "Body Length cut0 size=10 left10 new"},
        {"resumed", "206 P\r\nContent-Range: bytes 4-9/10", 4, 4, 0, "Body Length cut4 size=10 left6"},
        {"from 0 on a longer file", "206 P\r\nContent-Range: bytes 0-4/5", 9, 9, 0, "Body Length cut0 size=5 left5"},
        {"unknown total", "206 P\r\nContent-Range: bytes 4-9/*", 4, 4, 0, "Body Length cut4 size=10 left6"},
        {"hole before the range", "206 P\r\nContent-Range: bytes 5-9/10", 4, 4, 0, "Fail: [GetLength]: h sent bytes from 5 on, but only 4"},
        {"206 without a range", "206 P\r\nContent-Length: 3", 0, 0, 0, "Fail: [GetLength]: Unreadable Content-Range"},
        {"chunked wins", "200 OK\r\nTransfer-Encoding: gzip, chunked\r\nContent-Length: 99", 0, 0, 0, "Body Chunked cut0 size? left0 new"},
        {"until close", "200 OK", 3, 3, 0, "Body UntilClose cut0 size? left0 new"},
        {"204", "204 No Content", 0, 0, 0, "Body Length cut0 size=0 left0 new"},
        {"conflicting lengths", "200 OK\r\nContent-Length: 3\r\nContent-Length: 4", 0, 0, 0, "Fail: [GetLength]: Conflicting Content-Length"},
        {"one length twice", "200 OK\r\nContent-Length: 5, 5\r\ncontent-length: 5", 0, 0, 0, "Body Length cut0 size=5 left5 new"},
        {"negative length", "200 OK\r\nContent-Length: -5", 0, 0, 0, "Fail: [GetLength]: Invalid Content-Length"},
        {"no status line", "2OO OK", 0, 0, 0, "Fail: [GetLength]: Not an HTTP status line from h"},
        {"404", "404 Not Found\r\nContent-Length: 9", 0, 0, 0, "Fail status"},
        {"listed 203", "203 Other\r\nContent-Length: 1", 0, 0, 0, "Fail status"},
        {"301", "301 M\r\nLocation: /b", 0, 0, 0, "Redirect status /b follow"},
        {"302", "302 M\r\nLocation: /b", 0, 0, 0, "Redirect status /b follow"},
        {"303", "303 M\r\nLocation: /b", 0, 0, 0, "Redirect status /b follow"},
        {"307", "307 M\r\nLocation: /b", 0, 0, 5, "Redirect status /b follow"},
        {"308", "308 M\r\nLocation: /b", 0, 0, 9, "Redirect status /b follow"},
        {"302 nowhere", "302 M", 0, 0, 0, "Redirect status  stay"},
        {"eleventh", "302 M\r\nLocation: /b", 0, 0, 10, "Fail status: Too many redirections"},
        {"301, redirection off", "301 M\r\nLocation: /b", 0, 0, -1, "Fail status"},
        {"302, redirection off", "302 M\r\nLocation: /b", 0, 0, -1, "Redirect status /b stay"},
        {"416, disk whole", "416 R\r\nContent-Range: bytes */4", 4, 4, 0, "Complete status size=4"},
        {"416 without a length", "416 R", 4, 4, 0, "Complete status size=4"},
        {"416, disk longer", "416 R\r\nContent-Range: bytes */3", 4, 4, 0, "Fail status: [GetLength]: h has 3 bytes of this file, but 4 are on disk"},
        {"416 from 0, disk whole", "416 R\r\nContent-Range: bytes */4", 0, 4, 0, "Complete status size=4"},
        {"416 from 0 of an empty file", "416 R\r\nContent-Range: bytes */0", 0, 9, 0, "Fail status: [GetLength]: h has 0 bytes"},
        // clang-format on
    };
    const QString wrong = wrongRows(rows, [](const auto& r) {
        // clang-format off
        const ReplyContext context{"h", r.asked, r.disk, "301|302|303|304|305|306|307|308|203|",
                                   r.redirects >= 0, qMax(0, r.redirects), 0};
        // clang-format on
        const ReplyPlan p = ReplyPlan::For(header(QString("HTTP/1.1 ") + r.head), context);
        static const char* const steps[] = {"Fail", "Redirect", "Complete", "Body"};
        static const char* const ends[] = {"None", "Length", "Chunked", "UntilClose"};
        QString got = QString(steps[int(p.Step)]) + (p.StatusError ? " status" : "");
        if (p.Step == ReplyPlan::Action::Redirect)
            got += u' ' + p.Location + (p.Follow ? " follow" : " stay");
        if (p.Step == ReplyPlan::Action::Complete)
            got += QStringLiteral(" size=%1").arg(p.FileSize);
        if (p.Step == ReplyPlan::Action::Body)
            got +=
                QStringLiteral(" %1 cut%2 size%3 left%4%5")
                    .arg(ends[int(p.End)])
                    .arg(p.WriteFrom == p.CutTo ? p.CutTo : -99)
                    .arg(p.SizeKnown ? QStringLiteral("=%1").arg(p.FileSize) : QStringLiteral("?"))
                    .arg(p.BodyLeft)
                    .arg(p.ResetMeter ? " new" : "");
        got += p.FailText.isEmpty() ? QString() : ": " + p.FailText;
        const QString plan = r.expected;
        return plan.contains(": ") && got.startsWith(plan) ? plan : got;
    });
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
}

// Flags: 0 no packet came, h the header broke off, c chunks cut (b between two chunks; else
// the last one came), s ended by an error or silence, o more than announced, m a minimum of
// 11 bytes.
void TestReplyRules::verdicts()
{
    const struct
    {
        const char* name;
        BodyEnd end;
        int size, written; // size -1: unknown
        const char *flags, *expected;
    } rows[] = {
        {"all bytes", BodyEnd::Length, 10, 10, "", "complete"},
        {"nothing came", BodyEnd::Length, 10, 10, "0", "retry"},
        {"header broke off", BodyEnd::Length, 10, 0, "h", "retry"},
        {"bytes missing", BodyEnd::Length, 10, 9, "", "retry"},
        {"more than announced", BodyEnd::Length, 10, 10, "o", "incomplete"},
        {"under the minimum", BodyEnd::Length, 10, 10, "m", "incomplete"},
        {"chunks cut", BodyEnd::Chunked, -1, 500, "c", "retry"},
        {"cut between chunks", BodyEnd::Chunked, -1, 500, "b", "retry"},
        {"last chunk seen", BodyEnd::Chunked, -1, 500, "", "complete"},
        {"closed by the server", BodyEnd::UntilClose, -1, 500, "", "complete"},
        {"until close, then silence", BodyEnd::UntilClose, -1, 500, "s", "retry"},
    };
    const QString wrong = wrongRows(rows, [](const auto& r) {
        const QString flags = r.flags;
        // clang-format off
        const TransferFacts f{flags.contains(u'0') ? 0 : 3, !flags.contains(u'h'), r.size >= 0, r.end,
                              flags.contains(u'c') ? 7 : flags.contains(u'b') ? 0 : -1, flags.contains(u's'), flags.contains(u'o'),
                              qMax(0, r.size), flags.contains(u'm') ? 11 : 0, r.written};
        // clang-format on
        return QString(
            QStringList{"retry", "complete", "incomplete"}[int(TransferVerdict::Judge(f))]);
    });
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
}

// kind, input, what is read from it ("bad" when it is refused).
void TestReplyRules::readers()
{
    const QString near = "HTTP/1.1 200 OK\r\nX: " + QString(ReplyHeader::MaxBytes - 30, u'y');
    const struct
    {
        QString name, input;
        const char* expected;
    } rows[] = {
        // clang-format off
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
        // The final header fed in 1000-byte pieces: status and the bytes after it.
        {"header", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Hints\r\nLink: </s>\r\n\r\n"
                   "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nZ",
         "200 OK | Z | Link -1"},
        {"header", "HTTP/1.1 2000 OK\r\n\r\n", "invalid |  | Link -1"},
        {"header", "ICY 200 OK\r\n\r\n", "invalid |  | Link -1"},
        {"header", "HTTP/1.1 404 Gone\r\nLink: x\r\n", "NeedMore"},
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
        {"header", near + "\r\n\r\n", "200 OK |  | Link -1"},
        {"header", near + QString(100, u'y'), "TooLong"},
        // clang-format on
    };
    const QString wrong = wrongRows(rows, [](const auto& r) {
        const QString &kind = r.name, &input = r.input;
        QString got = "bad";
        qint64 a = 0, b = 0, c = 0;
        if (kind == "range" && ReplyHeader::ParseContentRange(input, &a, &b, &c))
            got = QStringLiteral("%1-%2/%3").arg(a).arg(b).arg(c);
        if (kind == "persistent")
            got = header(input).Persistent() ? "yes" : "no";
        if (kind == "header") { // fed in pieces of 1000 bytes
            ReplyHeader h;
            QByteArray rest, bytes = input.toLatin1();
            auto step = ReplyHeader::Step::NeedMore;
            for (qsizetype at = 0; at < bytes.size() && step == ReplyHeader::Step::NeedMore;
                 at += 1000)
                step = h.Feed(rest = bytes.mid(at, 1000));
            got = step == ReplyHeader::Step::TooLong ? "TooLong" : "NeedMore";
            if (step == ReplyHeader::Step::Complete)
                got = QStringLiteral("%1 | %2 | Link %3")
                          .arg(h.StatusValid() ? QString::number(h.Status()) + h.StatusText()
                                               : "invalid",
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
        if (kind == "date") {
            qint64 time = -1;
            const bool read = HttpDateToFileTime(time, input);
            const QDateTime utc = QDateTime::fromMSecsSinceEpoch(
                (time - FileTimes::UnixEpochOffset) / 10000, Qt::UTC);
            got = !read && time == 0 ? "bad"
                  : time == 0        ? "0"
                                     : utc.toString("yyyy-MM-dd hh:mm:ss");
        }
        if (kind == "year")
            got = QString::number(WidenTwoDigitYear(input.section(u' ', 0, 0).toInt(),
                                                    input.section(u' ', 1).toInt()));
        return got;
    });
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
}

void TestReplyRules::requestText()
{
    HttpFiles slot;
    QCOMPARE(slot.getRequest("example.org", "/file.zip", 1000, 0, 1),
             "GET /file.zip HTTP/1.0\r\nHost: example.org\r\nAccept: text/xml,application/xml,"
             "application/xhtml+xml,text/html;q=0.9,text/plain;q=0.8,image/png,*/*;q=0.5\r\n"
             "Accept-Language: en-us,en;q=0.5\r\nAccept-Encoding: gzip , deflate\r\n"
             "Range: bytes=1000-\r\n\r\n");
    // Pages (of the default extensions, any case) are never asked for in part, nor a path
    // without an extension.
    const char* const ranges[][4] = {{"/f.zip", "10", "20", "bytes=10-20"},
                                     {"/x.PHP", "0", "0", ""},
                                     {"/x.php?id=1", "0", "0", "bytes=0-"},
                                     {"/src/a.h", "0", "0", ""},
                                     {"/download", "5", "0", ""}};
    for (const auto& r : ranges)
        QCOMPARE(slot.getRequest("h", r[0], atoi(r[1]), atoi(r[2]), 0)
                     .section("Range: ", 1)
                     .section("\r\n", 0, 0),
                 r[3]);
    slot.setProtocol(1);
    slot.setCompatible("Harvex/1.06");
    slot.setAcceptParam("  */*  ");
    slot.setAcceptLanguage(QString());
    slot.setAcceptEncoding(" ");
    QCOMPARE(slot.getRequest("h", "/f.bin", 7, 0, 1),
             "GET /f.bin HTTP/1.1\r\nHost: h\r\nUser-Agent: Harvex/1.06\r\nAccept: */*\r\n"
             "Range: bytes=7-\r\nConnection: Keep-Alive\r\n\r\n");
    // Keep-alive only when asked for, and only in HTTP/1.1.
    QVERIFY(!slot.getRequest("h", "/", 0, 0, 0).contains("Connection"));
    slot.setProtocol(0);
    QVERIFY(!slot.getRequest("h", "/", 0, 0, 1).contains("Connection"));
}

// Packets split at "|"; what Decode returned for each, "done" once the body ended, "failed"
// for broken framing; and the payload. Fed byte by byte, the payload and the end are the same.
void TestReplyRules::chunkedBodies()
{
    const struct
    {
        const char* name;
        QByteArray body;
        const char *expected, *payload;
    } rows[] = {
        // clang-format off
        {"two chunks", "1a\r\nabcdefghijklmnopqrstuvwxyz\r\n5\r\nAB|CDE\r\n0\r\n\r\n", "3 -1 done", "abcdefghijklmnopqrstuvwxyzABCDE"},
        {"last chunk alone", "0\r\n\r\n", "-100 done", ""},
        {"last chunk, trailer later", "3\r\nabc\r\n0;x=1\r\nX-Sum: 1\r\n|\r\n|HTTP/1.1 200 OK\r\n", "-1 -100 -100 done", "abc"},
        {"cut before the CR LF", "4\r\nabcd|\r\n2\r\nef\r\n", "0 0", "abcdef"},
        {"extensions", "5;a=b\r\nhello\r\n1 ; x=\"y;z\"\r\n!\r\n0;l\r\n\r\n", "-1 done", "hello!"},
        {"hex digits, blanks and commas", "A\r\n0123456789\r\n 0, f\r\nabcdefghijklmno\r\n0\r\n\r\n", "-1 done", "0123456789abcdefghijklmno"},
        {"bare LF", "3\nabc\n2\nde\n0\nT: 1\n\n", "-1 done", "abcde"},
        {"largest size", "7fffffffffffffff\r\nabc", "9223372036854775804", "abc"},
        {"no digits", "3\r\nabc\r\nzz\r\nmore\r\n0\r\n\r\n", "0 failed", "abc"},
        {"negative", "-5\r\nabcde\r\n", "0 failed", ""},
        {"2^63", "2\r\nab\r\n8000000000000000\r\nx", "0 failed", "ab"},
        {"data longer than its size", "3\r\nabcdef\r\n0\r\n\r\n", "0 failed", "abc"},
        {"CR without LF", "3\r\nabc\rX0\r\n\r\n", "0 failed", "abc"},
        {"nothing after a failure", "zz\r\n|5\r\nhello\r\n0\r\n\r\n", "0 0 failed", ""},
        // clang-format on
        {"endless extension", "1;" + QByteArray(9000, 'e') + "\r\nx\r\n", "0 failed", ""},
    };
    const auto decode = [](const QList<QByteArray>& packets, QByteArray* out) {
        ChunkDecoder d;
        QStringList results;
        for (QByteArray packet : packets) {
            results << QString::number(d.Decode(packet));
            *out += packet;
        }
        results << (d.Finished() ? "done" : d.Failed() && !d.ErrorText().isEmpty() ? "failed" : "");
        return results.join(u' ').trimmed();
    };
    const QString wrong = wrongRows(rows, [&](const auto& r) {
        QByteArray whole, bytewise;
        const QString results = decode(r.body.split('|'), &whole);
        QList<QByteArray> bytes;
        for (char c : r.body)
            if (c != '|')
                bytes << QByteArray(1, c);
        const QString end = decode(bytes, &bytewise).section(u' ', -1);
        if (whole != r.payload || bytewise != r.payload || end != results.section(u' ', -1))
            return results + " with " + whole + ", byte by byte " + end + " with " + bytewise;
        return results;
    });
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
}

void TestReplyRules::fileDateStampsTheWriteTimeOnly()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("f\u00e9 name.bin");
    QFile(path).open(QIODevice::WriteOnly);
    const auto times = [&] {
        struct stat st = {};
        ::stat(QFile::encodeName(path).constData(), &st);
        return QList<qint64>{st.st_mtim.tv_sec, st.st_mtim.tv_nsec, st.st_atim.tv_sec};
    };
    const timespec before[2] = {{1500000000, 0}, {1600000000, 0}};
    QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), before, 0) == 0);
    // A bad date leaves the file alone; a missing file is not made.
    QVERIFY(!SetFileDate(path, "Sun, 06 Nov 1994 25:49:37 GMT"));
    QCOMPARE(times(), QList<qint64>({1600000000, 0, 1500000000}));
    QVERIFY(!SetFileDate(dir.filePath("missing"), "Sun, 06 Nov 1994 08:49:37 GMT"));
    QVERIFY(!QFile::exists(dir.filePath("missing")));
    QVERIFY(SetFileDate(path, "Sun, 06 Nov 1994 08:49:37 GMT"));
    QCOMPARE(times(), QList<qint64>({784111777, 0, 1500000000}));
    // Before 1970 the seconds are negative; the rounding must not move the time.
    QVERIFY(SetFileDate(path, "Wed, 31 Dec 1969 23:59:59 GMT"));
    QCOMPARE(times(), QList<qint64>({-1, 0, 1500000000}));
    QVERIFY(FileTimes::SetLastWriteTime(path, FileTimes::UnixEpochOffset - 5)); // -0.5 µs
    QCOMPARE(times(), QList<qint64>({-1, 999999500, 1500000000}));
}

QTEST_GUILESS_MAIN(TestReplyRules)
#include "test_reply_rules.moc"
