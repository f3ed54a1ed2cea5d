// SPDX-License-Identifier: GPL-3.0-or-later
// The chunked-body decoder fed packet by packet, cut at every position.
#include "engine/ChunkDecoder.h"

#include <QTest>

namespace {

struct Outcome
{
    QByteArray payload;    // all packets' payload, in order
    QList<qint64> results; // Decode's result for each packet
    bool failed = false;
    bool finished = false;
    QString error;
};

// Feeds the body cut before each offset in cuts (ascending, inside the body).
Outcome decodeCut(const QByteArray& body, const QList<qsizetype>& cuts)
{
    ChunkDecoder decoder;
    Outcome o;
    qsizetype from = 0;
    for (qsizetype i = 0; i <= cuts.size(); ++i) {
        const qsizetype to = i < cuts.size() ? cuts[i] : body.size();
        QByteArray packet = body.mid(from, to - from);
        const qint64 result = decoder.Decode(packet);
        if (result == ChunkDecoder::LastChunkAtStart && !packet.isEmpty())
            o.error = QStringLiteral("payload returned with -100");
        if (result != decoder.ChunkLeft())
            o.error = QStringLiteral("ChunkLeft differs from the result");
        o.payload += packet;
        o.results << result;
        from = to;
    }
    o.failed = decoder.Failed();
    o.finished = decoder.Finished();
    if (o.failed)
        o.error = decoder.ErrorText();
    return o;
}

QString show(const QByteArray& bytes)
{
    QString s = QString::fromLatin1(bytes.left(200));
    s.replace(u'\r', QStringLiteral("\\r")).replace(u'\n', QStringLiteral("\\n"));
    return s;
}

} // namespace

class TestChunkDecoder : public QObject
{
    Q_OBJECT

private slots:
    void packetResults();
    void everySplitDecodesTheSame_data();
    void everySplitDecodesTheSame();
    void malformedSizeLinesFail_data();
    void malformedSizeLinesFail();
    void largestSizeAndReset();
};

void TestChunkDecoder::packetResults()
{
    // "1a", 26 bytes, CR LF, "5" and 2 of its bytes: 28 payload bytes, 3 still to come.
    const QByteArray letters = "abcdefghijklmnopqrstuvwxyz";
    ChunkDecoder d;
    QByteArray p = "1a\r\n" + letters + "\r\n5\r\nAB";
    QCOMPARE(d.Decode(p), 3);
    QCOMPARE(p, letters + "AB");
    p = "CDE\r\n0\r\n\r\n";
    QCOMPARE(d.Decode(p), -1);
    QCOMPARE(p, QByteArray("CDE"));
    QVERIFY(d.Finished());

    // A packet that begins with the last chunk yields nothing.
    d.Reset();
    p = "0\r\n\r\n";
    QCOMPARE(d.Decode(p), -100);
    QVERIFY(p.isEmpty());
    QVERIFY(d.Finished());

    // "8000" is 32768 bytes; an extension after the size is skipped, in either case.
    d.Reset();
    p = "8000\r\n" + QByteArray(32768, 'x') + "\r\n1A;name=\"v\"\r\n" + letters.toUpper() + "\r\n";
    QCOMPARE(d.Decode(p), 0);
    QCOMPARE(p.size(), 32768 + 26);
    QVERIFY(p.endsWith("XYZ"));

    // Blanks and commas in a size line are left out.
    d.Reset();
    p = " 1, 0 \r\n" + QByteArray(16, 'q') + "\r\n";
    QCOMPARE(d.Decode(p), 0);
    QCOMPARE(p, QByteArray(16, 'q'));

    // The last chunk with an extension is still the last chunk; the trailer may come later.
    d.Reset();
    p = "3\r\nabc\r\n0;final=1\r\nX-Sum: 1\r\n";
    QCOMPARE(d.Decode(p), -1);
    QCOMPARE(p, QByteArray("abc"));
    QVERIFY(!d.Finished());
    p = "\r\n";
    QCOMPARE(d.Decode(p), -100);
    QVERIFY(p.isEmpty());
    QVERIFY(d.Finished());
    p = "HTTP/1.1 200 OK\r\n"; // whatever follows the body is no payload
    QCOMPARE(d.Decode(p), -100);
    QVERIFY(p.isEmpty());

    // The packet ends exactly at the end of a chunk's data: the CR LF comes next.
    d.Reset();
    p = "4\r\nabcd";
    QCOMPARE(d.Decode(p), 0);
    p = "\r\n2\r\nef\r\n";
    QCOMPARE(d.Decode(p), 0);
    QCOMPARE(p, QByteArray("ef"));
    QVERIFY(!d.Finished() && !d.Failed());
}

void TestChunkDecoder::everySplitDecodesTheSame_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("payload");
    QTest::newRow("plain") << QByteArray("5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n")
                           << QByteArray("hello world");
    QTest::newRow("extensions") << QByteArray("5;a=b\r\nhello\r\n1 ; x=\"y;z\"\r\n!\r\n0;l\r\n\r\n")
                                << QByteArray("hello!");
    QTest::newRow("trailers") << QByteArray("3\r\nabc\r\n0\r\nX-A: 1\r\nX-B: two\r\n\r\n")
                              << QByteArray("abc");
    QTest::newRow("bare LF") << QByteArray("3\nabc\n2\nde\n0\nT: 1\n\n") << QByteArray("abcde");
    QTest::newRow("hex digits") << QByteArray(
                                       "A\r\n0123456789\r\n0f\r\nabcdefghijklmno\r\n0\r\n\r\n")
                                << QByteArray("0123456789abcdefghijklmno");
    QTest::newRow("CR LF inside data")
        << QByteArray("4\r\n\r\n\r\n\r\n2\r\n0\n\r\n0\r\n\r\n") << QByteArray("\r\n\r\n0\n");
    QTest::newRow("no payload") << QByteArray("0000\r\n\r\n") << QByteArray();
}

void TestChunkDecoder::everySplitDecodesTheSame()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, payload);
    const qsizetype n = body.size();
    auto check = [&](const QList<qsizetype>& cuts) {
        const Outcome o = decodeCut(body, cuts);
        QString where;
        for (qsizetype c : cuts)
            where += QString::number(c) + u' ';
        const QByteArray context = (show(body) + " cut at " + where).toUtf8();
        QVERIFY2(o.error.isEmpty(), qPrintable(o.error + u' ' + QString::fromUtf8(context)));
        QVERIFY2(o.payload == payload, context.constData());
        QVERIFY2(o.finished, context.constData());
        QVERIFY2(o.results.last() < 0, context.constData());
        // Once the last chunk is seen the result stays below 0 (trailers may follow).
        for (qsizetype i = 0; i + 1 < o.results.size(); ++i)
            QVERIFY2(o.results[i] >= 0 || o.results[i + 1] < 0, context.constData());
    };
    check({});
    for (qsizetype a = 1; a < n; ++a)
        check({a});
    QList<qsizetype> everyByte;
    for (qsizetype a = 1; a < n; ++a)
        everyByte << a;
    check(everyByte);
}

void TestChunkDecoder::malformedSizeLinesFail_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("before"); // payload decoded before the bad line
    QTest::newRow("no digits") << QByteArray("3\r\nabc\r\nzz\r\nmore\r\n0\r\n\r\n")
                               << QByteArray("abc");
    QTest::newRow("empty size line")
        << QByteArray("3\r\nabc\r\n\r\n0\r\n\r\n") << QByteArray("abc");
    QTest::newRow("only an extension") << QByteArray(";a=b\r\nxyz\r\n") << QByteArray();
    QTest::newRow("negative") << QByteArray("-5\r\nabcde\r\n") << QByteArray();
    QTest::newRow("2^63") << QByteArray("2\r\nab\r\n8000000000000000\r\nx") << QByteArray("ab");
    QTest::newRow("2^64 plus") << QByteArray("1ffffffffffffffffff\r\nx") << QByteArray();
    QTest::newRow("endless extension")
        << QByteArray("1;" + QByteArray(9000, 'e') + "\r\nx\r\n") << QByteArray();
    QTest::newRow("endless digits") << QByteArray(9000, '0') + "1\r\nx\r\n" << QByteArray();
    QTest::newRow("data longer than its size")
        << QByteArray("3\r\nabcdef\r\n0\r\n\r\n") << QByteArray("abc");
    QTest::newRow("CR without LF") << QByteArray("3\r\nabc\rX0\r\n\r\n") << QByteArray("abc");
    QTest::newRow("size line CR without LF") << QByteArray("3\rabc\r\n0\r\n\r\n") << QByteArray();
}

void TestChunkDecoder::malformedSizeLinesFail()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, before);
    for (qsizetype cut = 0; cut < body.size(); ++cut) {
        const Outcome o = decodeCut(body, cut ? QList<qsizetype>{cut} : QList<qsizetype>{});
        const QByteArray context = "cut at " + QByteArray::number(cut);
        QVERIFY2(o.failed, context.constData());
        QVERIFY2(!o.error.isEmpty(), context.constData());
        QVERIFY2(o.payload == before, context.constData());
        // The transfer must be judged incomplete: never a result below 0.
        QVERIFY2(o.results.last() >= 0, context.constData());
    }
    // After a failure nothing more comes out.
    ChunkDecoder d;
    QByteArray p = body;
    d.Decode(p);
    QVERIFY(d.Failed());
    p = "5\r\nhello\r\n0\r\n\r\n";
    QCOMPARE(d.Decode(p), 0);
    QVERIFY(p.isEmpty());
    QVERIFY(d.Failed() && !d.Finished());
}

void TestChunkDecoder::largestSizeAndReset()
{
    ChunkDecoder d;
    QByteArray p = "7fffffffffffffff\r\nabc";
    QCOMPARE(d.Decode(p), std::numeric_limits<qint64>::max() - 3);
    QCOMPARE(p, QByteArray("abc"));
    QVERIFY(!d.Failed());

    // A new reply starts from a clean state, even after a failure.
    p = "\r\nnot a size\r\n";
    d.Decode(p);
    d.Reset();
    QCOMPARE(d.ChunkLeft(), 0);
    QVERIFY(!d.Failed() && d.ErrorText().isEmpty() && !d.Finished());
    p = "2\r\nok\r\n0\r\n\r\n";
    QCOMPARE(d.Decode(p), -1);
    QCOMPARE(p, QByteArray("ok"));
}

QTEST_GUILESS_MAIN(TestChunkDecoder)
#include "test_chunkdecoder.moc"
