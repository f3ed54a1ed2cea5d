// SPDX-License-Identifier: GPL-3.0-or-later
// The chunk decoder must give the same payload, verdict and error whether a body comes
// in one packet or cut into many; the first input byte chooses the packet lengths.
#include "Fuzz.h"
#include "engine/ChunkDecoder.h"

namespace {

struct Run
{
    QByteArray payload;
    bool ended = false; // the last Decode returned a negative verdict
    bool failed = false;
    bool finished = false;
    QString error;
    bool operator==(const Run&) const = default;
};

Run decode(const QByteArray& body, quint32 seed)
{
    ChunkDecoder d;
    QByteArray payload;
    qint64 last = 0;
    qsizetype at = 0;
    quint32 state = seed | 1;
    do {
        qsizetype len = body.size() - at;
        if (seed != 0) {
            state = state * 1103515245u + 12345u;
            len = qMin<qsizetype>(len, 1 + (state >> 16) % (seed % 17 + 1));
        }
        QByteArray packet = body.mid(at, len);
        last = d.Decode(packet);
        need(last >= 0 || (last == ChunkDecoder::LastChunkAtStart) == packet.isEmpty());
        need(last == d.ChunkLeft());
        payload += packet;
        at += len;
    } while (at < body.size());
    const Run r{payload, last < 0, d.Failed(), d.Finished(), d.ErrorText()};
    need(!r.failed || (last >= 0 && !r.error.isEmpty()));
    need(!r.finished || last < 0);
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray body = fuzzBytes(data + 1, size - 1);
    const Run whole = decode(body, 0);
    need(whole == decode(body, quint32(data[0]) + 1) && whole.payload.size() <= body.size());
    return 0;
}
