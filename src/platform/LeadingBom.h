// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QtGlobal>

// The UTF-8 byte order mark (EF BB BF) an editor may put at the start of a text file: a
// marker, no part of the text. Fed a stream in pieces, it leaves the mark out however the
// pieces are cut; bytes that only began like the mark are text after all.
class LeadingBom
{
public:
    // The bytes of this piece past the mark. When bytes held back as the mark's start turn
    // out to be text, Released() gives them; they come before the returned bytes.
    QByteArrayView Feed(QByteArrayView bytes);
    QByteArrayView Released() const;
    // At the end of the stream: the bytes held back that never completed the mark. Resets.
    QByteArrayView Finish();

private:
    qsizetype m_seen = 0;     // bytes of the mark matched so far
    bool m_decided = false;   // the mark was read, or the text began without one
    qsizetype m_released = 0; // held-back bytes the last feed gave back
};
