// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The texts of a list's rows, kept small enough that a list of the largest size costs
// about as much as a short one: one byte arena of records and an open hash index over
// the case-folded texts.
//
// A record holds its text as UTF-8. Most records are written as the bytes they share
// with the last full record (their anchor, a little before them in the arena) and the
// rest, so URLs of one site cost a few bytes each. Text that is not valid UTF-16 is kept
// as its UTF-16 code units, so every text reads back exactly as it was added.
//
// A record is named by its offset (a Ref). Dropping a record takes it out of the index;
// its bytes stay until the owner moves the live texts into a fresh store.
class RowTexts
{
public:
    using Ref = quint32;

    // The hash of text's case-folded form, which Add and Contains look it up by; taken
    // once when a text is both checked and added.
    static size_t KeyOf(const QString& text);
    // Fails (returns false) only when the arena would outgrow a Ref.
    bool Add(const QString& text, size_t key, Ref* ref);
    void Drop(Ref ref);
    QString Text(Ref ref) const;
    // Whether a live record holds text exactly, or ignoring case (case folding).
    bool Contains(const QString& text, bool ignoreCase, size_t key) const;
    qsizetype Count() const { return m_count; }
    // Bytes held by dropped records: a fresh store pays when they pass the live ones.
    qsizetype DroppedBytes() const { return m_dropped; }
    qsizetype Bytes() const { return m_bytes.size(); }
    void Clear();

private:
    struct Record
    {
        qsizetype Anchor = -1; // offset of the full record lent from, -1: none
        qsizetype Shared = 0;  // bytes lent by the anchor
        qsizetype Begin = 0;   // own bytes
        qsizetype Size = 0;
        qsizetype End = 0; // offset after the record
        bool Wide = false; // own bytes are UTF-16 code units
    };

    Record read(Ref ref) const;
    qsizetype home(size_t hash) const;
    qsizetype next(qsizetype slot) const { return slot + 1 == m_slots.size() ? 0 : slot + 1; }
    void insertSlot(size_t hash, Ref ref);
    void grow();

    QByteArray m_bytes;
    // Open addressing with linear probing; a slot holds Ref + 1, 0 when empty. Slots keep
    // no hash: it is taken again from the text when the table grows or closes a gap.
    QList<quint32> m_slots;
    qsizetype m_count = 0;
    qsizetype m_dropped = 0;
    qsizetype m_anchor = -1;
};
