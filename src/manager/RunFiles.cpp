// SPDX-License-Identifier: GPL-3.0-or-later
#include "manager/RunFiles.h"

#include <QHashFunctions>

#include <algorithm>
#include <utility>

quint64 RunFiles::pathKey(const QString& path)
{
    const quint64 key = qHash(path, QHashSeed::globalSeed());
    return key == 0 ? 1 : key;
}

quint64 RunFiles::urlKey(const QString& url)
{
    return qHash(url, ~size_t(QHashSeed::globalSeed()));
}

// The slot holding path, or the empty slot where it would go (open addressing, linear
// probing; the table is never more than four fifths full).
qsizetype RunFiles::find(quint64 path) const
{
    const qsizetype size = m_entries.size();
    auto i = qsizetype(((path >> 32) * quint64(size)) >> 32);
    while (m_entries.at(i).Path != 0 && m_entries.at(i).Path != path)
        i = i + 1 == size ? 0 : i + 1;
    return i;
}

void RunFiles::Clear(qsizetype jobs)
{
    m_entries = QList<Entry>(std::max<qsizetype>(16, jobs + jobs / 4 + 1));
    m_count = 0;
}

void RunFiles::grow()
{
    const qsizetype size = m_entries.size();
    const QList<Entry> old = std::exchange(m_entries, QList<Entry>(size + size / 2));
    for (const Entry& entry : old)
        if (entry.Path != 0)
            m_entries[find(entry.Path)] = entry;
}

void RunFiles::Add(const QString& path, const QString& url)
{
    if (m_entries.isEmpty())
        Clear(0);
    if ((m_count + 1) * 5 > m_entries.size() * 4)
        grow();
    const quint64 key = pathKey(path);
    Entry& entry = m_entries[find(key)];
    if (entry.Path == 0)
        ++m_count;
    entry = {key, urlKey(url)};
}

bool RunFiles::TakenByOther(const QString& path, const QString& url) const
{
    if (m_entries.isEmpty())
        return false;
    const Entry& entry = m_entries.at(find(pathKey(path)));
    return entry.Path != 0 && entry.Url != urlKey(url);
}
