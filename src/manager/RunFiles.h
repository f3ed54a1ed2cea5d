// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

// Every local file a job of the current run has written or writes, with that job's URL,
// so that no job resumes or overwrites a file of another URL of the run.
//
// Paths and URLs are kept as 64-bit hashes in one flat table: a run of the largest list
// costs a few hundred kilobytes. Two paths that share a hash only give the later job a
// numbered name it did not need.
class RunFiles
{
public:
    // Empties the table and makes room for jobs entries.
    void Clear(qsizetype jobs);
    void Add(const QString& path, const QString& url);
    // Whether a job of this run with another URL was given path.
    bool TakenByOther(const QString& path, const QString& url) const;

private:
    struct Entry
    {
        quint64 Path = 0; // 0: empty
        quint64 Url = 0;
    };
    static quint64 pathKey(const QString& path);
    static quint64 urlKey(const QString& url);
    qsizetype find(quint64 path) const;
    void grow();

    QList<Entry> m_entries;
    qsizetype m_count = 0;
};
