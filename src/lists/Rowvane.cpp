// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/Rowvane.h"

#include <algorithm>
#include <utility>

namespace {

// Dropped texts are moved out once they pass this many bytes and the live ones.
constexpr qsizetype CompactAfter = 64 * 1024;

} // namespace

Rowvane::Rowvane(QObject* parent) : QObject(parent)
{
    m_colors = {DefaultBackColor, DefaultForeColor};
    m_fonts = {RowvaneFont()};
    rebuildColorIndex();
    resetLooks();
}

void Rowvane::Row::setText(RowTexts::Ref ref)
{
    TextLow = quint16(ref);
    TextHigh = quint16(ref >> 16);
}

// --- Row looks --------------------------------------------------------------------------

quint64 Rowvane::Look::key() const
{
    return quint64(quint16(BackColorID)) | quint64(quint16(ForeColorID)) << 16 |
           quint64(FontID) << 32 | quint64(State) << 40;
}

void Rowvane::resetLooks()
{
    m_looks = {Look()};
    rebuildLookIds();
}

void Rowvane::rebuildLookIds()
{
    m_lookIds.clear();
    for (qsizetype i = m_looks.size() - 1; i >= 0; --i)
        m_lookIds.insert(m_looks.at(i).key(), quint16(i));
}

quint16 Rowvane::lookId(const Look& look)
{
    const auto known = m_lookIds.constFind(look.key());
    if (known != m_lookIds.constEnd())
        return *known;
    if (m_looks.size() > 0xFFFF) {
        // Ids run out only when looks were dropped: keep the looks rows still have. A
        // list has fewer rows than ids, so they fit.
        const QVector<Look> old = std::exchange(m_looks, {Look()});
        rebuildLookIds();
        for (Row& row : m_items)
            row.LookId = lookId(old.at(row.LookId));
    }
    m_looks.append(look);
    m_lookIds.insert(look.key(), quint16(m_looks.size() - 1));
    return quint16(m_looks.size() - 1);
}

void Rowvane::setLook(int index, const Look& look)
{
    m_items[index].LookId = lookId(look);
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

// --- Duplicates -------------------------------------------------------------------------

bool Rowvane::InList(const QString& sItem, int iMode) const
{
    return m_texts.Contains(sItem, iMode != 0, RowTexts::KeyOf(sItem));
}

int Rowvane::GetItemIndex(int StartIndex, const QString& sItem, int iMode) const
{
    if (!InList(sItem, iMode))
        return -1;
    const Qt::CaseSensitivity cs = iMode == 0 ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (int i = std::max(StartIndex, 0); i < ListCount(); ++i)
        if (QString::compare(List(i), sItem, cs) == 0)
            return i;
    return -1;
}

// --- Rows -------------------------------------------------------------------------------

int Rowvane::sortedPosition(const QString& text) const
{
    // The rows are kept sorted by character code: the first row >= text (ascending) or
    // <= text (descending).
    const int sign = m_sortStrategy == 1 ? 1 : -1;
    int first = 0;
    for (int count = ListCount(); count > 0;) {
        const int half = count / 2;
        if (sign * QString::compare(List(first + half), text, Qt::CaseSensitive) < 0) {
            first += half + 1;
            count -= half + 1;
        } else {
            count = half;
        }
    }
    return first == ListCount() ? -1 : first;
}

void Rowvane::compactTexts()
{
    if (m_texts.DroppedBytes() < CompactAfter || m_texts.DroppedBytes() * 2 < m_texts.Bytes())
        return;
    RowTexts fresh;
    for (Row& row : m_items) {
        RowTexts::Ref ref = 0;
        const QString text = m_texts.Text(row.text());
        fresh.Add(text, RowTexts::KeyOf(text), &ref);
        row.setText(ref);
    }
    m_texts = std::move(fresh);
}

bool Rowvane::AddItem(const QString& sItem, int FontIndex, int BColor, int FColor, int Index)
{
    if (Index < -1 || Index > ListCount() || ListCount() >= MaxRows)
        return false;
    if (FontIndex < 0 || FontIndex >= MaxFonts() || BColor < 0 || BColor >= MaxColors() ||
        FColor < 0 || FColor >= MaxColors())
        return false;
    const size_t key = RowTexts::KeyOf(sItem);
    if ((m_denyStrategy == 2 && m_texts.Contains(sItem, false, key)) ||
        (m_denyStrategy == 1 && m_texts.Contains(sItem, true, key)))
        return false;

    int position = Index;
    if (m_sortStrategy == 1 || m_sortStrategy == 2)
        position = sortedPosition(sItem);
    RowTexts::Ref ref = 0;
    if (!m_texts.Add(sItem, key, &ref))
        return false;
    Row row;
    row.setText(ref);
    row.LookId = lookId({qint16(BColor), qint16(FColor), quint8(FontIndex), 0});
    if (position < 0 || position >= ListCount())
        position = int(m_items.size());
    m_items.insert(position, row);
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
    m_texts.Drop(m_items.at(Index).text());
    m_items.remove(Index);
    compactTexts();
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
    m_texts.Clear();
    resetLooks();
    m_listIndex = -1;
    emit RowsReset();
    changed();
    emit Cleared();
    emit Click();
}

QString Rowvane::List(int Index) const
{
    return Index >= 0 && Index < ListCount() ? m_texts.Text(m_items.at(Index).text()) : QString();
}

RowItem Rowvane::Item(int Index) const
{
    const Look& l = look(Index);
    return {m_texts.Text(m_items.at(Index).text()), l.FontID, l.BackColorID, l.ForeColorID,
            l.State};
}

void Rowvane::setList(int Index, const QString& text)
{
    if (Index < 0 || Index >= ListCount() || m_sortStrategy != 0)
        return;
    RowTexts::Ref ref = 0;
    if (!m_texts.Add(text, RowTexts::KeyOf(text), &ref))
        return;
    m_texts.Drop(m_items.at(Index).text());
    m_items[Index].setText(ref);
    compactTexts();
    emit RowsReplaced(Index, Index);
    changed();
}

QString Rowvane::ActiveItem() const
{
    return List(m_listIndex);
}

bool Rowvane::Selected(int Index) const
{
    return Index >= 0 && Index < ListCount() && look(Index).State > 0;
}

void Rowvane::setSelected(int Index, bool value)
{
    if (Index < 0 || Index >= ListCount())
        return;
    Look updated = look(Index);
    updated.State = value ? 1 : 0;
    setLook(Index, updated);
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
    const bool newFont = look(Index).FontID != FontIndex;
    setLook(Index, {qint16(BColor), qint16(FColor), quint8(FontIndex), look(Index).State});
    if (newFont)
        emit RowsReplaced(Index, Index);
    changed();
    return true;
}

bool Rowvane::SetItemForeColor(int Index, quint32 NewColor)
{
    if (Index < 0 || Index >= ListCount())
        return false;
    Look updated = look(Index);
    updated.ForeColorID = qint16(AddColor(NewColor));
    setLook(Index, updated);
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
    for (Row& row : m_items) {
        newFont = newFont || m_looks.at(row.LookId).FontID != 0;
        row.LookId = 0;
    }
    if (newFont)
        emit RowsReset();
    changed();
}

// --- Sorting ----------------------------------------------------------------------------

void Rowvane::sortRows()
{
    // Distinct texts end in the same order as an exchange sort would give them.
    if (m_sortStrategy != 1 && m_sortStrategy != 2)
        return;
    QList<std::pair<QString, Row>> rows;
    rows.reserve(m_items.size());
    for (const Row& row : std::as_const(m_items))
        rows.append({m_texts.Text(row.text()), row});
    const int sign = m_sortStrategy == 1 ? 1 : -1;
    std::stable_sort(rows.begin(), rows.end(), [sign](const auto& a, const auto& b) {
        return sign * QString::compare(a.first, b.first, Qt::CaseSensitive) < 0;
    });
    for (qsizetype i = 0; i < rows.size(); ++i)
        m_items[i] = rows.at(i).second;
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
    for (Look& look : m_looks) {
        look.BackColorID = std::min(look.BackColorID, upper);
        look.ForeColorID = std::min(look.ForeColorID, upper);
    }
    rebuildLookIds();
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
    const auto upper = quint8(m_fonts.size() - 1);
    for (Look& look : m_looks)
        look.FontID = std::min(look.FontID, upper);
    rebuildLookIds();
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
