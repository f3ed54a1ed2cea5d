// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/RowWidths.h"

void RowWidths::insert(int row, int width)
{
    m_widths.insert(row, width);
    ++m_counts[width];
}

void RowWidths::remove(int row)
{
    drop(m_widths.at(row));
    m_widths.remove(row);
}

void RowWidths::replace(int row, int width)
{
    drop(m_widths.at(row));
    m_widths[row] = width;
    ++m_counts[width];
}

void RowWidths::reset(QVector<int> widths)
{
    m_widths = std::move(widths);
    m_counts.clear();
    for (int width : m_widths)
        ++m_counts[width];
}

void RowWidths::drop(int width)
{
    auto it = m_counts.find(width);
    if (it != m_counts.end() && --it->second <= 0)
        m_counts.erase(it);
}
