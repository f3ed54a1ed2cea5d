// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/ChunkDecoder.h"

void ChunkDecoder::Reset()
{
    *this = ChunkDecoder();
}

qint64 ChunkDecoder::Decode(QByteArray& buffer)
{
    Q_UNUSED(buffer);
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
