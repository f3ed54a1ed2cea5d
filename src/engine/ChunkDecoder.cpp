// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/ChunkDecoder.h"

#include <cstring>
#include <limits>

namespace {

// A size line longer than this is refused: no real server sends one, and an endless
// extension would otherwise keep the slot reading without ever writing a byte.
constexpr qint64 MaxSizeLineBytes = 8192;

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

void ChunkDecoder::Reset()
{
    *this = ChunkDecoder();
}

qint64 ChunkDecoder::Decode(QByteArray& buffer)
{
    if (m_stage == Stage::Broken) {
        buffer.clear();
        return m_result;
    }
    const qsizetype n = buffer.size();
    char* p = buffer.data();
    qsizetype in = 0;  // next byte to read
    qsizetype out = 0; // end of the payload decoded so far (never past in)

    auto sizeLineDone = [this] {
        // RFC 9112 §7.1: a chunk-size of zero is the last chunk, extensions or not.
        if (m_size == 0) {
            m_stage = Stage::TrailerStart;
        } else {
            m_left = qint64(m_size);
            m_stage = Stage::Data;
        }
        m_size = 0;
        m_digits = false;
        m_lineBytes = 0;
    };

    while (in < n && m_stage != Stage::Broken) {
        const char c = p[in];
        switch (m_stage) {
        case Stage::SizeDigits: {
            if (++m_lineBytes > MaxSizeLineBytes) {
                fail(QStringLiteral("Chunk size line longer than %1 bytes").arg(MaxSizeLineBytes));
                break;
            }
            ++in;
            if (c == ' ' || c == ',') // blanks and commas in a size line are left out
                break;
            const int v = hexValue(c);
            if (v >= 0) {
                // The size must fit a signed 64-bit count of bytes.
                if (m_size > (quint64(std::numeric_limits<qint64>::max()) - quint64(v)) / 16) {
                    fail(QStringLiteral("Chunk size larger than 63 bits"));
                    break;
                }
                m_size = m_size * 16 + quint64(v);
                m_digits = true;
                break;
            }
            if (!m_digits) {
                fail(QStringLiteral("Chunk size line without a hexadecimal size"));
                break;
            }
            if (c == '\r')
                m_stage = Stage::SizeLf;
            else if (c == '\n') // RFC 9112 §2.2: a bare LF may end a line
                sizeLineDone();
            else
                m_stage = Stage::SizeRest; // a chunk extension (RFC 9112 §7.1.1), ignored
            break;
        }
        case Stage::SizeRest: {
            const char* end = p + n;
            const char* from = p + in;
            const char* cr = static_cast<const char*>(std::memchr(from, '\r', size_t(end - from)));
            const char* lf =
                static_cast<const char*>(std::memchr(from, '\n', size_t((cr ? cr : end) - from)));
            const char* stop = lf ? lf : cr;
            const qint64 skipped = (stop ? stop : end) - from;
            m_lineBytes += skipped;
            in += skipped;
            if (m_lineBytes > MaxSizeLineBytes) {
                fail(QStringLiteral("Chunk size line longer than %1 bytes").arg(MaxSizeLineBytes));
                break;
            }
            if (!stop)
                break;
            ++in;
            if (*stop == '\r')
                m_stage = Stage::SizeLf;
            else
                sizeLineDone();
            break;
        }
        case Stage::SizeLf:
            if (c != '\n') {
                fail(QStringLiteral("Chunk size line ends in a CR without LF"));
                break;
            }
            ++in;
            sizeLineDone();
            break;
        case Stage::Data: {
            const qint64 take = qMin<qint64>(m_left, n - in);
            if (out != in)
                std::memmove(p + out, p + in, size_t(take));
            out += take;
            in += take;
            m_left -= take;
            if (m_left == 0)
                m_stage = Stage::DataCr;
            break;
        }
        case Stage::DataCr:
            // RFC 9112 §7.1: the data is followed by CRLF; anything else means the chunk
            // sizes do not describe the body, and writing on would corrupt the file.
            if (c == '\r') {
                m_stage = Stage::DataLf;
            } else if (c == '\n') {
                m_stage = Stage::SizeDigits;
            } else {
                fail(QStringLiteral("Chunk data not followed by CR LF"));
                break;
            }
            ++in;
            break;
        case Stage::DataLf:
            if (c != '\n') {
                fail(QStringLiteral("Chunk data not followed by CR LF"));
                break;
            }
            ++in;
            m_stage = Stage::SizeDigits;
            break;
        case Stage::TrailerStart:
            // RFC 9112 §7.1.2: trailer fields are read and dropped; an empty line ends them.
            ++in;
            if (c == '\r')
                m_stage = Stage::TrailerLf;
            else if (c == '\n')
                m_stage = Stage::Done;
            else
                m_stage = Stage::TrailerLine;
            break;
        case Stage::TrailerLf:
            ++in;
            // The payload is complete already: a stray byte here only starts one more
            // (ignored) trailer line instead of failing a finished body.
            m_stage = c == '\n' ? Stage::Done : Stage::TrailerLine;
            break;
        case Stage::TrailerLine: {
            const void* lf = std::memchr(p + in, '\n', size_t(n - in));
            if (!lf) {
                in = n;
                break;
            }
            in = static_cast<const char*>(lf) - p + 1;
            m_stage = Stage::TrailerStart;
            break;
        }
        case Stage::Done:
            m_afterEnd += n - in;
            in = n; // bytes after the body belong to no file
            break;
        case Stage::Broken:
            break;
        }
    }
    buffer.truncate(out);

    switch (m_stage) {
    case Stage::Broken:
        m_result = 0;
        break;
    case Stage::TrailerStart:
    case Stage::TrailerLine:
    case Stage::TrailerLf:
    case Stage::Done:
        m_result = out > 0 ? LastChunkAfterData : LastChunkAtStart;
        break;
    case Stage::Data:
        m_result = m_left;
        break;
    default:
        m_result = 0;
        break;
    }
    return m_result;
}

qint64 ChunkDecoder::ChunkLeft() const
{
    return m_result;
}

bool ChunkDecoder::Failed() const
{
    return m_stage == Stage::Broken;
}

QString ChunkDecoder::ErrorText() const
{
    return m_error;
}

bool ChunkDecoder::Finished() const
{
    return m_stage == Stage::Done;
}

void ChunkDecoder::fail(const QString& text)
{
    m_stage = Stage::Broken;
    m_error = text;
}
