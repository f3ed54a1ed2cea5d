// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/Rowvane.h"

#include <algorithm>

namespace {

// Row texts compare by character code (binary, case-sensitive).
bool textLess(const RowItem& a, const RowItem& b)
{
    return QString::compare(a.Text, b.Text, Qt::CaseSensitive) < 0;
}

bool textGreater(const RowItem& a, const RowItem& b)
{
    return QString::compare(a.Text, b.Text, Qt::CaseSensitive) > 0;
}

QString folded(const QString& text)
{
    return text.toCaseFolded();
}

} // namespace

Rowvane::Rowvane(QObject* parent) : QObject(parent)
{
    m_colors = {DefaultBackColor, DefaultForeColor};
    m_fonts = {RowvaneFont()};
    rebuildColorIndex();
}

void Rowvane::changed()
{
    if (m_updateEnabled)
        emit Changed();
}

void Rowvane::Update()
{
    m_updateEnabled = true;
    emit Changed();
}

// --- Duplicate index -------------------------------------------------------------------

void Rowvane::indexAdd(const QString& text)
{
    ++m_exact[text];
    ++m_folded[folded(text)];
}

void Rowvane::indexRemove(const QString& text)
{
    auto drop = [](QHash<QString, int>& index, const QString& key) {
        auto it = index.find(key);
        if (it != index.end() && --it.value() <= 0)
            index.erase(it);
    };
    drop(m_exact, text);
    drop(m_folded, folded(text));
}

bool Rowvane::InList(const QString& sItem, int iMode) const
{
    return iMode == 0 ? m_exact.contains(sItem) : m_folded.contains(folded(sItem));
}

int Rowvane::GetItemIndex(int StartIndex, const QString& sItem, int iMode) const
{
    if (!InList(sItem, iMode))
        return -1;
    const Qt::CaseSensitivity cs = iMode == 0 ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (int i = std::max(StartIndex, 0); i < ListCount(); ++i)
        if (QString::compare(m_items.at(i).Text, sItem, cs) == 0)
            return i;
    return -1;
}

// --- Rows -------------------------------------------------------------------------------

int Rowvane::sortedPosition(const QString& text) const
{
    RowItem probe;
    probe.Text = text;
    // The rows are kept sorted: the first row >= text (ascending) or <= text (descending).
    auto it = m_sortStrategy == 1
                  ? std::lower_bound(m_items.begin(), m_items.end(), probe, textLess)
                  : std::lower_bound(m_items.begin(), m_items.end(), probe, textGreater);
    return it == m_items.end() ? -1 : int(it - m_items.begin());
}

bool Rowvane::AddItem(const QString& sItem, int FontIndex, int BColor, int FColor, int Index)
{
    if (Index < -1 || Index > ListCount() || ListCount() >= MaxRows)
        return false;
    if (FontIndex < 0 || FontIndex >= MaxFonts() || BColor < 0 || BColor >= MaxColors() ||
        FColor < 0 || FColor >= MaxColors())
        return false;
    if ((m_denyStrategy == 2 && InList(sItem, 0)) || (m_denyStrategy == 1 && InList(sItem, 1)))
        return false;

    int position = Index;
    if (m_sortStrategy == 1 || m_sortStrategy == 2)
        position = sortedPosition(sItem);
    RowItem row;
    row.Text = sItem;
    row.FontID = qint16(FontIndex);
    row.BackColorID = qint16(BColor);
    row.ForeColorID = qint16(FColor);
    if (position < 0 || position >= ListCount())
        position = int(m_items.size());
    m_items.insert(position, row);
    indexAdd(sItem);
    emit RowInserted(position);

    if (m_listIndex < 0) {
        m_listIndex = 0;
        emit Click();
    }
    changed();
    return true;
}

bool Rowvane::AddItemEx(const QString& sItem, quint32 BColor, quint32 FColor, int Index)
{
    const int back = AddColor(BColor);
    const int fore = AddColor(FColor);
    return AddItem(sItem, 0, back, fore, Index);
}

bool Rowvane::RemoveItem(int Index)
{
    if (Index < 0 || Index >= ListCount())
        return false;
    indexRemove(m_items.at(Index).Text);
    m_items.remove(Index);
    emit RowRemoved(Index);
    if (m_listIndex >= ListCount())
        m_listIndex = ListCount() - 1;
    changed();
    return true;
}

void Rowvane::Clear()
{
    m_items.clear();
    m_items.squeeze();
    m_exact.clear();
    m_folded.clear();
    m_listIndex = -1;
    emit RowsReset();
    changed();
    emit Cleared();
    emit Click();
}

QString Rowvane::List(int Index) const
{
    return Index >= 0 && Index < ListCount() ? m_items.at(Index).Text : QString();
}

void Rowvane::setList(int Index, const QString& text)
{
    if (Index < 0 || Index >= ListCount() || m_sortStrategy != 0)
        return;
    indexRemove(m_items.at(Index).Text);
    m_items[Index].Text = text;
    indexAdd(text);
    emit RowsReplaced(Index, Index);
    changed();
}

QString Rowvane::ActiveItem() const
{
    return List(m_listIndex);
}

bool Rowvane::Selected(int Index) const
{
    return Index >= 0 && Index < ListCount() && m_items.at(Index).State > 0;
}

void Rowvane::setSelected(int Index, bool value)
{
    if (Index < 0 || Index >= ListCount())
        return;
    m_items[Index].State = value ? 1 : 0;
    EnsureVisible(Index);
    changed();
}

bool Rowvane::setListIndex(int value)
{
    // Subscript out of range: the current row is always -1 or a row.
    if (value < -1 || value >= ListCount())
        return false;
    m_listIndex = value;
    EnsureVisible(value < 0 ? 0 : value);
    changed();
    return true;
}

void Rowvane::EnsureVisible(int Index)
{
    emit EnsureVisibleRequested(Index);
}

bool Rowvane::SetAttribute(int Index, int FontIndex, int BColor, int FColor)
{
    if (Index < 0 || Index >= ListCount() || FontIndex < 0 || FontIndex >= MaxFonts() ||
        BColor < 0 || BColor >= MaxColors() || FColor < 0 || FColor >= MaxColors())
        return false;
    RowItem& row = m_items[Index];
    const bool newFont = row.FontID != FontIndex;
    row.FontID = qint16(FontIndex);
    row.BackColorID = qint16(BColor);
    row.ForeColorID = qint16(FColor);
    if (newFont)
        emit RowsReplaced(Index, Index);
    changed();
    return true;
}

bool Rowvane::SetItemForeColor(int Index, quint32 NewColor)
{
    if (Index < 0 || Index >= ListCount())
        return false;
    m_items[Index].ForeColorID = qint16(AddColor(NewColor));
    changed();
    return true;
}

void Rowvane::Swap(int Item1, int Item2)
{
    if (Item1 < 0 || Item2 < 0 || Item1 >= ListCount() || Item2 >= ListCount())
        return;
    std::swap(m_items[Item1], m_items[Item2]);
    emit RowsReplaced(Item1, Item1);
    emit RowsReplaced(Item2, Item2);
    changed();
}

void Rowvane::ResetList()
{
    bool newFont = false;
    for (RowItem& row : m_items) {
        newFont = newFont || row.FontID != 0;
        row.FontID = 0;
        row.BackColorID = 0;
        row.ForeColorID = 1;
        row.State = 0;
    }
    if (newFont)
        emit RowsReset();
    changed();
}

// --- Sorting ----------------------------------------------------------------------------

void Rowvane::sortRows()
{
    // Distinct texts end in the same order as an exchange sort would give them.
    if (m_sortStrategy == 1)
        std::stable_sort(m_items.begin(), m_items.end(), textLess);
    else if (m_sortStrategy == 2)
        std::stable_sort(m_items.begin(), m_items.end(), textGreater);
}

void Rowvane::reverseRows()
{
    std::reverse(m_items.begin(), m_items.end());
}

void Rowvane::setSortStrategy(int value)
{
    if (value == m_sortStrategy)
        return;
    if (m_sortStrategy == 0) {
        m_sortStrategy = value;
        sortRows();
    } else {
        // A sorted list only changes direction (also when sorting is switched off).
        reverseRows();
    }
    m_sortStrategy = value;
    emit RowsReset();
    changed();
}

// --- Colour and font tables -------------------------------------------------------------

void Rowvane::rebuildColorIndex()
{
    m_colorIndex.clear();
    for (int i = 0; i < m_colors.size(); ++i)
        if (!m_colorIndex.contains(m_colors.at(i)))
            m_colorIndex.insert(m_colors.at(i), i);
}

int Rowvane::AddColor(quint32 NewColor)
{
    if (m_colors.size() >= MaxColorEntries)
        return 0;
    auto it = m_colorIndex.constFind(NewColor);
    if (it != m_colorIndex.constEnd())
        return it.value();
    m_colors.append(NewColor);
    m_colorIndex.insert(NewColor, int(m_colors.size() - 1));
    return int(m_colors.size() - 1);
}

bool Rowvane::RemoveColor(int Index)
{
    if (Index < 2 || Index >= MaxColors())
        return false;
    m_colors.remove(Index);
    rebuildColorIndex();
    const qint16 upper = qint16(m_colors.size() - 1);
    for (RowItem& row : m_items) {
        row.BackColorID = std::min(row.BackColorID, upper);
        row.ForeColorID = std::min(row.ForeColorID, upper);
    }
    return true;
}

bool Rowvane::AddFont(const RowvaneFont& NewFont)
{
    if (m_fonts.size() >= MaxFontEntries)
        return false;
    m_fonts.append(NewFont);
    emit FontsChanged();
    changed();
    return true;
}

bool Rowvane::RemoveFont(int Index)
{
    if (Index < 1 || Index >= MaxFonts())
        return false;
    m_fonts.remove(Index);
    const qint16 upper = qint16(m_fonts.size() - 1);
    for (RowItem& row : m_items)
        row.FontID = std::min(row.FontID, upper);
    emit FontsChanged();
    changed();
    return true;
}

// --- Properties -------------------------------------------------------------------------

void Rowvane::setBackColor(quint32 value)
{
    m_colors[0] = value;
    rebuildColorIndex();
    changed();
}

void Rowvane::setForeColor(quint32 value)
{
    m_colors[1] = value;
    rebuildColorIndex();
    changed();
}

void Rowvane::setFont(const RowvaneFont& value)
{
    m_fonts[0] = value;
    emit FontsChanged();
    changed();
}

void Rowvane::setGridColor(quint32 value)
{
    m_gridColor = value;
    changed();
}

void Rowvane::setSelForeColor(quint32 value)
{
    m_selForeColor = value;
    changed();
}

void Rowvane::setSelBackColor(quint32 value)
{
    m_selBackColor = value;
    changed();
}

void Rowvane::SetUpUrlCheckList()
{
    setStyle(1);
    setCheckStyle(1);
    setManualClick(false);
    setDenyStrategy(1);
    setSelForeColor(0x8000000E); // highlighted text
    setSelBackColor(0x8000000D); // highlight
}
