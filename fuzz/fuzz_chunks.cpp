// SPDX-License-Identifier: GPL-3.0-or-later
// The chunk decoder must give the same payload, verdict and error whether a body comes
// in one packet or cut into many; the first input byte chooses the packet lengths.
#include "engine/ChunkDecoder.h"

#include <cstdint>
#include <cstdlib>

namespace {

struct Run
{
    QByteArray payload;
    qint64 last = 0;
    bool failed = false;
    bool finished = false;
    QString error;
};

Run decode(const QByteArray& body, quint32 seed)
{
    ChunkDecoder d;
    Run r;
    qsizetype at = 0;
    quint32 state = seed | 1;
    while (at < body.size() || at == 0) {
        qsizetype len = body.size() - at;
        if (seed != 0) {
            state = state * 1103515245u + 12345u;
            len = qMin<qsizetype>(len, 1 + (state >> 16) % (seed % 17 + 1));
        }
        QByteArray packet = body.mid(at, len);
        r.last = d.Decode(packet);
        if (r.last == ChunkDecoder::LastChunkAtStart && !packet.isEmpty())
            abort();
        if (r.last != d.ChunkLeft())
            abort();
        r.payload += packet;
        at += len;
        if (len == 0)
            break;
    }
    r.failed = d.Failed();
    r.finished = d.Finished();
    r.error = d.ErrorText();
    if (r.failed && (r.last < 0 || r.error.isEmpty()))
        abort();
    if (r.finished && r.last >= 0)
        abort();
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray body(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    const Run whole = decode(body, 0);
    const Run cut = decode(body, quint32(data[0]) + 1);
    if (whole.payload != cut.payload || whole.failed != cut.failed ||
        whole.finished != cut.finished || (whole.last < 0) != (cut.last < 0) ||
        whole.error != cut.error)
        abort();
    if (whole.payload.size() > body.size())
        abort();
    return 0;
}
