// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/ReplyPlan.h"

#include <QString>

// The facts of a transfer that ended, whether by its own framing, by the server's close,
// by a socket error or by silence.
struct TransferFacts
{
    int Packets = 0;         // packets read on this connection
    bool HeaderDone = false; // the final reply header was read
    bool SizeKnown = false;  // the reply announced the file's length
    BodyEnd End = BodyEnd::None;
    qint64 ChunkLeft = 0;      // the chunk decoder's last result (negative: last chunk seen)
    bool SocketFailed = false; // an error or silence ended it, not a clean close
    bool Overrun = false;      // the server sent more than it announced
    qint64 FileSize = 0;
    qint64 MinimumFileSize = 0;
    qint64 WrittenTo = 0; // the file offset after the last byte written
};

// What an ended transfer of an accepted reply comes to, decided from its facts alone.
struct TransferVerdict
{
    enum class Outcome
    {
        Retry,     // bytes are missing: ask again (or give up when no try is left)
        Complete,  // the file is whole, if the disk agrees
        Incomplete // it cannot become whole by asking again
    };

    static Outcome Judge(const TransferFacts& facts);
    // The length the file on disk must have for a complete transfer.
    static qint64 ExpectedLength(const TransferFacts& facts);
};
