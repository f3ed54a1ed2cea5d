// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TransferVerdict.h"

TransferVerdict::Outcome TransferVerdict::Judge(const TransferFacts& f)
{
    if (f.Packets < 1)
        return Outcome::Retry; // nothing came: the connection failed or stalled
    if (!f.HeaderDone)
        return Outcome::Retry; // the header broke off: nothing of the body is known yet
    if (!f.SizeKnown) {
        // Without a length only the last chunk, or for a body without framing the server's
        // own close (RFC 9112 §6.3), tells that everything came.
        if (f.End == BodyEnd::Chunked)
            return f.ChunkLeft >= 0 ? Outcome::Retry : Outcome::Complete;
        if (f.End == BodyEnd::UntilClose)
            return f.SocketFailed ? Outcome::Retry : Outcome::Complete;
        return Outcome::Complete;
    }
    if (f.FileSize < f.MinimumFileSize)
        return Outcome::Incomplete;
    if (f.WrittenTo < f.FileSize)
        return Outcome::Retry; // bytes are missing
    if (f.Overrun || f.FileSize != f.WrittenTo)
        return Outcome::Incomplete;
    return Outcome::Complete;
}

qint64 TransferVerdict::ExpectedLength(const TransferFacts& f)
{
    return f.SizeKnown ? f.FileSize : f.WrittenTo;
}
