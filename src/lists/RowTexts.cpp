// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/RowTexts.h"

#include <QHashFunctions>
#include <QVarLengthArray>

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// A record lends its bytes to records at most this far after it, and only a shared run
// this long is worth a reference.
constexpr qsizetype MaxLend = 4096;
constexpr qsizetype MinShared = 8;
constexpr quint64 MaxRef = 0xFFFFFFFEu;

void putNumber(QByteArray& out, quint64 value)
{
    while (value >= 0x80) {
        out.append(char(0x80 | (value & 0x7F)));
        value >>= 7;
    }
    out.append(char(value));
}

// Numbers were written by putNumber: the arena holds nothing else.
quint64 takeNumber(const char* data, qsizetype& at)
{
    quint64 value = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = quint8(data[at++]);
        value |= quint64(byte & 0x7F) << shift;
        if (byte < 0x80)
            return value;
    }
}

qsizetype sharedLength(const char* a, qsizetype aSize, const QByteArray& b)
{
    const qsizetype most = std::min(aSize, b.size());
    qsizetype n = 0;
    while (n < most && a[n] == b[n])
        ++n;
    return n;
}

} // namespace

size_t RowTexts::KeyOf(const QString& text)
{
    return qHash(text.toCaseFolded(), QHashSeed::globalSeed());
}

qsizetype RowTexts::home(size_t hash) const
{
    const auto h = quint32(hash ^ (quint64(hash) >> 32));
    return qsizetype((quint64(h) * quint64(m_slots.size())) >> 32);
}

RowTexts::Record RowTexts::read(Ref ref) const
{
    const char* data = m_bytes.constData();
    Record r;
    qsizetype at = ref;
    const quint64 head = takeNumber(data, at);
    r.Wide = head & 1;
    const quint64 back = head >> 1;
    if (back > 0) {
        r.Anchor = qsizetype(ref - back);
        r.Shared = qsizetype(takeNumber(data, at));
    }
    r.Size = qsizetype(takeNumber(data, at)) * (r.Wide ? 2 : 1);
    r.Begin = at;
    r.End = at + r.Size;
    return r;
}

QString RowTexts::Text(Ref ref) const
{
    const Record r = read(ref);
    const char* data = m_bytes.constData();
    if (r.Wide) {
        QString text(r.Size / 2, Qt::Uninitialized);
        std::memcpy(text.data(), data + r.Begin, size_t(r.Size));
        return text;
    }
    if (r.Anchor < 0)
        return QString::fromUtf8(data + r.Begin, r.Size);
    QVarLengthArray<char, 512> utf8;
    utf8.append(data + read(Ref(r.Anchor)).Begin, r.Shared);
    utf8.append(data + r.Begin, r.Size);
    return QString::fromUtf8(utf8.constData(), utf8.size());
}

bool RowTexts::Add(const QString& text, size_t key, Ref* ref)
{
    const qsizetype at = m_bytes.size();
    const bool wide = !text.isValidUtf16();
    const QByteArray utf8 = wide ? QByteArray() : text.toUtf8();
    const qsizetype own = wide ? text.size() * 2 : utf8.size();
    if (quint64(at) + quint64(own) + 32 > MaxRef)
        return false;
    if ((m_count + 1) * 4 > m_slots.size() * 3)
        grow();

    if (wide) {
        putNumber(m_bytes, 1);
        putNumber(m_bytes, quint64(text.size()));
        m_bytes.append(reinterpret_cast<const char*>(text.constData()), own);
    } else {
        qsizetype shared = 0;
        if (m_anchor >= 0 && at - m_anchor <= MaxLend) {
            const Record anchor = read(Ref(m_anchor));
            shared = sharedLength(m_bytes.constData() + anchor.Begin, anchor.Size, utf8);
        }
        if (shared >= MinShared) {
            putNumber(m_bytes, quint64(at - m_anchor) << 1);
            putNumber(m_bytes, quint64(shared));
        } else {
            shared = 0;
            m_anchor = at;
            putNumber(m_bytes, 0);
        }
        putNumber(m_bytes, quint64(utf8.size() - shared));
        m_bytes.append(utf8.constData() + shared, utf8.size() - shared);
    }
    *ref = Ref(at);
    insertSlot(key, *ref);
    ++m_count;
    return true;
}

void RowTexts::insertSlot(size_t hash, Ref ref)
{
    qsizetype i = home(hash);
    while (m_slots.at(i) != 0)
        i = next(i);
    m_slots[i] = ref + 1;
}

void RowTexts::grow()
{
    const QList<quint32> old = std::exchange(m_slots, {});
    m_slots.resize(std::max<qsizetype>(16, old.size() + old.size() / 2 + 1));
    for (const quint32 slot : old)
        if (slot != 0)
            insertSlot(KeyOf(Text(slot - 1)), slot - 1);
}

void RowTexts::Drop(Ref ref)
{
    if (m_slots.isEmpty())
        return;
    qsizetype hole = home(KeyOf(Text(ref)));
    while (m_slots.at(hole) != ref + 1) {
        if (m_slots.at(hole) == 0)
            return; // not a live record
        hole = next(hole);
    }
    // Close the gap: a later entry of the run moves back unless its home lies after the
    // hole, where a search for it starts past the hole anyway.
    for (qsizetype j = next(hole); m_slots.at(j) != 0; j = next(j)) {
        const qsizetype k = home(KeyOf(Text(m_slots.at(j) - 1)));
        const bool reachable = hole < j ? (hole < k && k <= j) : (hole < k || k <= j);
        if (!reachable) {
            m_slots[hole] = m_slots.at(j);
            hole = j;
        }
    }
    m_slots[hole] = 0;
    m_dropped += read(ref).End - qsizetype(ref);
    --m_count;
}

bool RowTexts::Contains(const QString& text, bool ignoreCase, size_t key) const
{
    if (m_count == 0)
        return false;
    const QString folded = ignoreCase ? text.toCaseFolded() : QString();
    for (qsizetype i = home(key); m_slots.at(i) != 0; i = next(i)) {
        const QString candidate = Text(m_slots.at(i) - 1);
        if (ignoreCase ? candidate.toCaseFolded() == folded : candidate == text)
            return true;
    }
    return false;
}

void RowTexts::Clear()
{
    m_bytes = {};
    m_slots = {};
    m_count = 0;
    m_dropped = 0;
    m_anchor = -1;
}
