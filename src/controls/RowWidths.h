// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QVector>

#include <map>

// The width of every row and the widest of them, kept in step one row at a time: an
// insert, a removal or a changed row costs one measure and a map update, never a pass
// over all rows.
class RowWidths
{
public:
    void insert(int row, int width);
    void remove(int row);
    void replace(int row, int width);
    void reset(QVector<int> widths);
    int count() const { return int(m_widths.size()); }
    int at(int row) const { return m_widths.at(row); }
    // 0 for no rows.
    int widest() const { return m_counts.empty() ? 0 : m_counts.rbegin()->first; }

private:
    void drop(int width);

    QVector<int> m_widths;
    std::map<int, int> m_counts; // width -> number of rows that wide
};
