// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/LeadingBom.h"

namespace {

constexpr char Mark[] = "\xEF\xBB\xBF";
constexpr qsizetype MarkLength = 3;

} // namespace

QByteArrayView LeadingBom::Feed(QByteArrayView bytes)
{
    m_released = 0;
    qsizetype i = 0;
    while (!m_decided && i < bytes.size()) {
        if (bytes[i] != Mark[m_seen]) {
            m_decided = true;
            m_released = m_seen;
            break;
        }
        ++i;
        m_decided = ++m_seen == MarkLength;
    }
    return bytes.sliced(i);
}

QByteArrayView LeadingBom::Released() const
{
    return QByteArrayView(Mark, m_released);
}

QByteArrayView LeadingBom::Finish()
{
    const qsizetype held = m_decided ? 0 : m_seen;
    *this = LeadingBom();
    return QByteArrayView(Mark, held);
}
