// SPDX-License-Identifier: GPL-3.0-or-later
// The slot's two decisions as tables: what a reply header means for the job, and what an
// ended transfer comes to. No sockets: the rules alone, one row a case.
#include "engine/ReplyHeader.h"
#include "engine/ReplyPlan.h"
#include "engine/TransferVerdict.h"

#include <QTest>

using Action = ReplyPlan::Action;
using Outcome = TransferVerdict::Outcome;
Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(BodyEnd)
Q_DECLARE_METATYPE(Outcome)
Q_DECLARE_METATYPE(TransferFacts)

class TestReplyRules : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void replyPlans_data();
    void replyPlans();
    void verdicts_data();
    void verdicts();
};

void TestReplyRules::replyPlans_data()
{
    QTest::addColumn<QByteArray>("header"); // fields after the status line
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<qint64>("askedFrom"); // also the length on disk unless a row says
    QTest::addColumn<Action>("step");
    QTest::addColumn<bool>("statusError");
    QTest::addColumn<QString>("failText"); // part of it
    QTest::addColumn<BodyEnd>("end");
    QTest::addColumn<qint64>("cutTo");
    QTest::addColumn<qint64>("fileSize");
    QTest::addColumn<qint64>("bodyLeft");

    const QString none;
    auto row = [](const char* name) -> QTestData& { return QTest::newRow(name); };
    row("whole file") << QByteArray("Content-Length: 10\r\n") << QByteArray("200 OK") << qint64(0)
                      << Action::Body << false << none << BodyEnd::Length << qint64(0) << qint64(10)
                      << qint64(10);
    row("range ignored: starts again")
        << QByteArray("Content-Length: 10\r\n") << QByteArray("200 OK") << qint64(4) << Action::Body
        << false << none << BodyEnd::Length << qint64(0) << qint64(10) << qint64(10);
    row("resumed range") << QByteArray("Content-Range: bytes 4-9/10\r\n")
                         << QByteArray("206 Partial") << qint64(4) << Action::Body << false << none
                         << BodyEnd::Length << qint64(4) << qint64(10) << qint64(6);
    row("range from 0 on a longer file")
        << QByteArray("Content-Range: bytes 0-4/5\r\n") << QByteArray("206 Partial") << qint64(9)
        << Action::Body << false << none << BodyEnd::Length << qint64(0) << qint64(5) << qint64(5);
    row("range of unknown length")
        << QByteArray("Content-Range: bytes 4-9/*\r\n") << QByteArray("206 Partial") << qint64(4)
        << Action::Body << false << none << BodyEnd::Length << qint64(4) << qint64(10) << qint64(6);
    row("range past the disk") << QByteArray("Content-Range: bytes 8-9/10\r\n")
                               << QByteArray("206 Partial") << qint64(4) << Action::Fail << false
                               << "only 4 are on disk" << BodyEnd::None << qint64(-1) << qint64(0)
                               << qint64(0);
    row("206 without a range") << QByteArray("Content-Length: 3\r\n") << QByteArray("206 Partial")
                               << qint64(0) << Action::Fail << false << "Unreadable Content-Range"
                               << BodyEnd::None << qint64(-1) << qint64(0) << qint64(0);
    row("range to the end of 64 bits")
        << QByteArray("Content-Range: bytes 0-9223372036854775807/*\r\n")
        << QByteArray("206 Partial") << qint64(0) << Action::Fail << false
        << "Unreadable Content-Range" << BodyEnd::None << qint64(-1) << qint64(0) << qint64(0);
    row("chunked: length unknown")
        << QByteArray("Transfer-Encoding: gzip, chunked\r\n"
                      "Content-Length: 99\r\n")
        << QByteArray("200 OK") << qint64(0) << Action::Body << false << none << BodyEnd::Chunked
        << qint64(0) << qint64(0) << qint64(0);
    row("no length: until close") << QByteArray() << QByteArray("200 OK") << qint64(0)
                                  << Action::Body << false << none << BodyEnd::UntilClose
                                  << qint64(0) << qint64(0) << qint64(0);
    row("204: empty") << QByteArray() << QByteArray("204 No Content") << qint64(0) << Action::Body
                      << false << none << BodyEnd::Length << qint64(0) << qint64(0) << qint64(0);
    row("conflicting lengths") << QByteArray("Content-Length: 3\r\nContent-Length: 4\r\n")
                               << QByteArray("200 OK") << qint64(0) << Action::Fail << false
                               << "Conflicting Content-Length" << BodyEnd::None << qint64(-1)
                               << qint64(0) << qint64(0);
    row("not a status line") << QByteArray() << QByteArray("2OO OK") << qint64(0) << Action::Fail
                             << false << "Not an HTTP status line" << BodyEnd::None << qint64(-1)
                             << qint64(0) << qint64(0);
    row("404") << QByteArray("Content-Length: 9\r\n") << QByteArray("404 Not Found") << qint64(0)
               << Action::Fail << true << none << BodyEnd::None << qint64(-1) << qint64(0)
               << qint64(0);
    row("listed 2xx") << QByteArray("Content-Length: 1\r\n") << QByteArray("203 Other") << qint64(0)
                      << Action::Fail << true << none << BodyEnd::None << qint64(-1) << qint64(0)
                      << qint64(0);
    row("302") << QByteArray("Location: /b\r\n") << QByteArray("302 Found") << qint64(0)
               << Action::Redirect << true << none << BodyEnd::None << qint64(-1) << qint64(0)
               << qint64(0);
    row("416 with the disk's length")
        << QByteArray("Content-Range: bytes */4\r\n") << QByteArray("416 Range") << qint64(4)
        << Action::Complete << true << none << BodyEnd::None << qint64(-1) << qint64(4)
        << qint64(0);
    row("416 without a length") << QByteArray() << QByteArray("416 Range") << qint64(4)
                                << Action::Complete << true << none << BodyEnd::None << qint64(-1)
                                << qint64(4) << qint64(0);
    row("416 of a shorter file") << QByteArray("Content-Range: bytes */3\r\n")
                                 << QByteArray("416 Range") << qint64(4) << Action::Fail << true
                                 << "has 3 bytes of this file, but 4 are on disk" << BodyEnd::None
                                 << qint64(-1) << qint64(0) << qint64(0);
}

void TestReplyRules::replyPlans()
{
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, status);
    QFETCH(qint64, askedFrom);
    QFETCH(Action, step);
    QFETCH(bool, statusError);
    QFETCH(QString, failText);
    QFETCH(BodyEnd, end);
    QFETCH(qint64, cutTo);
    QFETCH(qint64, fileSize);
    QFETCH(qint64, bodyLeft);
    ReplyHeader reply;
    QByteArray bytes = "HTTP/1.1 " + status + "\r\n" + header + "\r\n";
    QCOMPARE(reply.Feed(bytes), ReplyHeader::Step::Complete);
    ReplyContext context;
    context.Host = QStringLiteral("h");
    context.AskedFrom = askedFrom;
    context.LengthOnDisk = askedFrom;
    context.ErrorCodes = QStringLiteral("301|302|303|304|305|306|307|308|203|");
    const ReplyPlan plan = ReplyPlan::For(reply, context);
    QCOMPARE(plan.Step, step);
    QCOMPARE(plan.StatusError, statusError);
    QVERIFY2(failText.isEmpty() ? plan.FailText.isEmpty() : plan.FailText.contains(failText),
             qPrintable(plan.FailText));
    if (step == Action::Body) {
        QCOMPARE(plan.End, end);
        QCOMPARE(plan.CutTo, cutTo);
        QCOMPARE(plan.WriteFrom, cutTo);
        QCOMPARE(plan.FileSize, fileSize);
        QCOMPARE(plan.SizeKnown, end == BodyEnd::Length);
        QCOMPARE(plan.BodyLeft, bodyLeft);
    } else if (step == Action::Complete) {
        QCOMPARE(plan.FileSize, fileSize);
    }
}

void TestReplyRules::verdicts_data()
{
    QTest::addColumn<TransferFacts>("facts");
    QTest::addColumn<Outcome>("outcome");
    auto facts = [](BodyEnd end, qint64 fileSize, qint64 writtenTo) {
        TransferFacts f;
        f.Packets = 3;
        f.HeaderDone = true;
        f.End = end;
        f.SizeKnown = end == BodyEnd::Length;
        f.FileSize = fileSize;
        f.WrittenTo = writtenTo;
        return f;
    };
    TransferFacts f = facts(BodyEnd::Length, 10, 10);
    QTest::newRow("all bytes") << f << Outcome::Complete;
    f.Packets = 0;
    QTest::newRow("nothing came") << f << Outcome::Retry;
    f = facts(BodyEnd::Length, 10, 0);
    f.HeaderDone = false;
    QTest::newRow("header broke off") << f << Outcome::Retry;
    QTest::newRow("bytes missing") << facts(BodyEnd::Length, 10, 6) << Outcome::Retry;
    f = facts(BodyEnd::Length, 10, 10);
    f.Overrun = true;
    QTest::newRow("more than announced") << f << Outcome::Incomplete;
    f = facts(BodyEnd::Length, 10, 10);
    f.MinimumFileSize = 11;
    QTest::newRow("under the minimum") << f << Outcome::Incomplete;
    f = facts(BodyEnd::Chunked, 0, 500);
    f.ChunkLeft = 7;
    QTest::newRow("chunks cut") << f << Outcome::Retry;
    f.ChunkLeft = -1;
    QTest::newRow("last chunk seen") << f << Outcome::Complete;
    f = facts(BodyEnd::UntilClose, 0, 500);
    QTest::newRow("closed by the server") << f << Outcome::Complete;
    f.SocketFailed = true;
    QTest::newRow("until close, then silence") << f << Outcome::Retry;
}

void TestReplyRules::verdicts()
{
    QFETCH(TransferFacts, facts);
    QFETCH(Outcome, outcome);
    QCOMPARE(TransferVerdict::Judge(facts), outcome);
}

QTEST_GUILESS_MAIN(TestReplyRules)
#include "test_reply_rules.moc"
