// SPDX-License-Identifier: GPL-3.0-or-later
// Reply processing over arbitrary bytes in arbitrary packet splits: the header collector,
// the length and range readers and the chunked body must give the same result for any
// split as for the whole reply, and never more body bytes than were sent.
#include "Fuzz.h"
#include "engine/ChunkDecoder.h"
#include "engine/ReplyHeader.h"

#include <QList>

namespace {

struct Outcome
{
    ReplyHeader::Step step = ReplyHeader::Step::NeedMore;
    int status = 0;
    bool valid = false;
    QString text;
    QByteArray body;    // body bytes after the header, as received
    QByteArray decoded; // the chunked payload, when the reply is chunked
    qint64 chunkLeft = 0;
    bool chunkFailed = false;
};

Outcome process(const QList<QByteArray>& packets)
{
    Outcome out;
    ReplyHeader header;
    ChunkDecoder chunks;
    bool chunked = false;
    for (QByteArray packet : packets) {
        if (out.step == ReplyHeader::Step::TooLong)
            break;
        if (out.step == ReplyHeader::Step::NeedMore) {
            const qsizetype given = packet.size();
            out.step = header.Feed(packet);
            need(packet.size() <= given); // never more body than bytes given
            if (out.step != ReplyHeader::Step::Complete)
                continue;
            out.status = header.Status();
            out.valid = header.StatusValid();
            out.text = header.Text();
            chunked = header.Var(QStringLiteral("Transfer-Encoding"))
                          .endsWith(QLatin1String("chunked"), Qt::CaseInsensitive);
            qint64 n = 0, a = 0, b = 0, c = 0;
            bool present = false;
            QString problem;
            header.ContentLength(&n, &present, &problem);
            if (ReplyHeader::ParseContentRange(header.Var(QStringLiteral("Content-Range")), &a, &b,
                                               &c))
                need(a >= 0 && b >= a && (c < 0 || b < c));
        }
        out.body += packet;
        if (chunked && !out.chunkFailed && out.chunkLeft >= 0) {
            const qsizetype given = packet.size();
            out.chunkLeft = chunks.Decode(packet);
            need(packet.size() <= given);
            out.chunkFailed = chunks.Failed();
            out.decoded += packet;
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte seeds the packet sizes; the rest is what the server sends.
    unsigned seed = data[0];
    const QByteArray reply = fuzzBytes(data + 1, size - 1);
    QList<QByteArray> split;
    for (qsizetype at = 0, piece = 0; at < reply.size(); at += piece) {
        seed = seed * 1103515245u + 12345u;
        piece = 1 + qsizetype((seed >> 16) % 23);
        split.append(reply.mid(at, piece));
    }
    const Outcome whole = process({reply});
    const Outcome pieces = process(split);
    need(whole.step == pieces.step);
    if (whole.step != ReplyHeader::Step::Complete)
        return 0;
    need(whole.status == pieces.status && whole.valid == pieces.valid &&
         whole.text == pieces.text && whole.body == pieces.body);
    need(whole.chunkFailed || pieces.chunkFailed ||
         (whole.decoded == pieces.decoded && (whole.chunkLeft < 0) == (pieces.chunkLeft < 0)));
    return 0;
}
