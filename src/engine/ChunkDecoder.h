// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Decoder of the chunked transfer coding (RFC 9112 §7.1), one body packet at a time.
// The whole state lives in a few members driven by one stage enum, so a packet boundary
// anywhere (inside a size line, an extension, the CR LF after the data, the last chunk's
// line or the trailer section) decodes the same as the unsplit body.
class ChunkDecoder
{
public:
    // Results of Decode beside the count of data bytes still to come.
    static constexpr qint64 LastChunkAfterData =
        -1; // the last chunk followed payload of this packet
    static constexpr qint64 LastChunkAtStart = -100; // this packet carried no payload before it

    void Reset(); // a new reply header: ChunkLeft 0, nothing carried
    qint64
    Decode(QByteArray& buffer); // one body packet, decoded in place; returns the new ChunkLeft
    qint64 ChunkLeft() const;
    bool Failed() const;       // a malformed size line was met (the transfer must end incomplete)
    QString ErrorText() const; // plain description of that failure
    bool Finished() const;     // the last chunk and the trailer section were consumed completely
    qint64 BytesAfterEnd() const { return m_afterEnd; } // bytes met after the body's end

private:
    enum class Stage
    {
        SizeDigits,   // reading the hexadecimal chunk size
        SizeRest,     // past the digits: a chunk extension, ignored up to the line end
        SizeLf,       // a CR ended the size line, its LF is due
        Data,         // chunk data, m_left bytes still to come
        DataCr,       // the CR LF after the data is due
        DataLf,       // the CR came, its LF is due
        TrailerStart, // at the start of a trailer line (an empty one ends the body)
        TrailerLine,  // inside a trailer field line, ignored up to its LF
        TrailerLf,    // the CR of the empty line came, its LF is due
        Done,         // the body ended; anything more is ignored
        Broken        // malformed framing; nothing more is decoded
    };

    void fail(const QString& text);

    Stage m_stage = Stage::SizeDigits;
    quint64 m_size = 0;     // the size read so far in the current size line
    bool m_digits = false;  // the current size line has at least one digit
    qint64 m_lineBytes = 0; // bytes of the current size line so far
    qint64 m_left = 0;      // data bytes of the current chunk still to come
    qint64 m_result = 0;    // the last value Decode returned
    qint64 m_afterEnd = 0;  // bytes after the end of the body (never another reply's start)
    QString m_error;
};
