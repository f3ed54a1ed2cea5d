// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "lists/RowTexts.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QVector>

// A font description as the list's font table keeps it: only these six attributes
// are ever copied between fonts.
struct RowvaneFont
{
    QString Name = QStringLiteral("Sans Serif");
    double Size = 8.25;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool Strikethrough = false;

    bool operator==(const RowvaneFont&) const = default;
};

// One row as read: its text, font and colour table indices and its check state
// (> 0 = checked).
struct RowItem
{
    QString Text;
    qint16 FontID = 0;
    qint16 BackColorID = 0;
    qint16 ForeColorID = 1;
    qint16 State = 0;
};
Q_DECLARE_TYPEINFO(RowItem, Q_RELOCATABLE_TYPE);

// The list model behind the owner-drawn URL lists: rows with per-row font and colour
// indices into two shared tables, duplicate and sort rules, and the current row.
// No widget code: a view paints it and repaints on Changed().
class Rowvane : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxRows = 32001;
    static constexpr int MaxColorEntries = 10001;
    static constexpr int MaxFontEntries = 256;

    // Colours are 0x00BBGGRR; 0x80000000 + n names system colour n.
    static constexpr quint32 DefaultBackColor = 0x80000005;
    static constexpr quint32 DefaultForeColor = 0x80000012;

    explicit Rowvane(QObject* parent = nullptr);

    // --- Rows ---
    int ListCount() const { return int(m_items.size()); }
    int ListIndex() const { return m_listIndex; }
    // False (nothing changed) for a value outside -1 .. ListCount - 1.
    bool setListIndex(int value);

    // Index -1 appends. FontIndex, BColor, FColor are table indices.
    bool AddItem(const QString& sItem, int FontIndex = 0, int BColor = 0, int FColor = 1,
                 int Index = -1);
    bool AddItemEx(const QString& sItem, quint32 BColor, quint32 FColor, int Index = -1);
    bool RemoveItem(int Index);
    void Clear();

    QString List(int Index) const;
    void setList(int Index, const QString& text);
    QString ActiveItem() const;
    bool Selected(int Index) const;
    void setSelected(int Index, bool value);
    RowItem Item(int Index) const;

    bool SetAttribute(int Index, int FontIndex, int BColor, int FColor);
    bool SetItemForeColor(int Index, quint32 NewColor);
    int FontID(int Index) const { return look(Index).FontID; }
    int BackColorID(int Index) const { return look(Index).BackColorID; }
    int ForeColorID(int Index) const { return look(Index).ForeColorID; }
    int getItemForeColorIndex(int Index) const { return ForeColorID(Index); }
    int getItemBackColorIndex(int Index) const { return BackColorID(Index); }
    void Swap(int Item1, int Item2);

    // iMode 0: exact; 1: ignoring case.
    bool InList(const QString& sItem, int iMode) const;
    int GetItemIndex(int StartIndex, const QString& sItem, int iMode) const;

    void EnsureVisible(int Index);
    void ResetList();
    void BlockUpdate() { m_updateEnabled = false; }
    void Update();
    bool UpdateEnabled() const { return m_updateEnabled; }

    // --- Colour and font tables ---
    int AddColor(quint32 NewColor);
    bool RemoveColor(int Index);
    quint32 Color(int Index) const { return m_colors.at(Index); }
    int MaxColors() const { return int(m_colors.size()); }
    bool AddFont(const RowvaneFont& NewFont);
    bool RemoveFont(int Index);
    const RowvaneFont& FontAt(int Index) const { return m_fonts.at(Index); }
    int MaxFonts() const { return int(m_fonts.size()); }

    // --- Properties ---
    quint32 BackColor() const { return m_colors.at(0); }
    void setBackColor(quint32 value);
    quint32 ForeColor() const { return m_colors.at(1); }
    void setForeColor(quint32 value);
    const RowvaneFont& Font() const { return m_fonts.at(0); }
    void setFont(const RowvaneFont& value);
    int Style() const { return m_style; }
    void setStyle(int value) { m_style = value; }
    int DenyStrategy() const { return m_denyStrategy; }
    void setDenyStrategy(int value) { m_denyStrategy = value; }
    // A list of URLs that only the program checks: check boxes, no duplicates ignoring
    // case, the desktop's highlight colours for the current row.
    void SetUpUrlCheckList();
    int SortStrategy() const { return m_sortStrategy; }
    void setSortStrategy(int value);
    bool ManualClick() const { return m_manualClick; }
    void setManualClick(bool value) { m_manualClick = value; }
    int CheckStyle() const { return m_checkStyle; }
    void setCheckStyle(int value) { m_checkStyle = value; }
    bool Grid() const { return m_grid; }
    void setGrid(bool value) { m_grid = value; }
    quint32 GridColor() const { return m_gridColor; }
    void setGridColor(quint32 value);
    quint32 SelForeColor() const { return m_selForeColor; }
    void setSelForeColor(quint32 value);
    quint32 SelBackColor() const { return m_selBackColor; }
    void setSelBackColor(quint32 value);
    quint32 CornerColor() const { return m_cornerColor; }
    void setCornerColor(quint32 value) { m_cornerColor = value; }
    QString CornerChar() const { return m_cornerChar; }
    void setCornerChar(const QString& value) { m_cornerChar = value.left(1); }
    QString ToolTipText() const { return m_toolTipText; }
    void setToolTipText(const QString& value) { m_toolTipText = value; }

signals:
    // The current row became row 0 of an empty list, or the list was cleared.
    void Click();
    // Something visible changed: emitted once per change while updates are enabled, and
    // once by Update() after a blocked bulk change; never once per row of a bulk change.
    void Changed();
    // A row should be scrolled into view (ListIndex and Selected writes).
    void EnsureVisibleRequested(int index);
    // Clear() emptied the list, whoever called it.
    void Cleared();

    // Row-level notices for a view's per-row bookkeeping (row widths). Unlike Changed()
    // they are emitted while updates are blocked too.
    void RowInserted(int index);
    void RowRemoved(int index);
    // The text or font of rows first .. last may differ.
    void RowsReplaced(int first, int last);
    // Any row may have moved or changed its text or font (clear, sort, reset).
    void RowsReset();
    // The font table changed (row height and widths follow it).
    void FontsChanged();

private:
    void changed();
    void compactTexts();
    void rebuildColorIndex();
    void sortRows();
    void reverseRows();
    int sortedPosition(const QString& text) const;

    // A row's table indices and check state. Most rows of a list share a few looks, so
    // each distinct look is kept once and a row names it by a 16-bit id.
    struct Look
    {
        qint16 BackColorID = 0;
        qint16 ForeColorID = 1;
        quint8 FontID = 0; // < MaxFontEntries
        quint8 State = 0;
        quint64 key() const;
    };
    // A row as kept, in three 16-bit words: its text is a record of m_texts, which also
    // answers the duplicate questions. Rows move by memmove when rows are inserted or
    // removed in the middle.
    struct Row
    {
        quint16 TextLow = 0;
        quint16 TextHigh = 0;
        quint16 LookId = 0; // 0: the plain look, Look()
        RowTexts::Ref text() const { return TextLow | RowTexts::Ref(TextHigh) << 16; }
        void setText(RowTexts::Ref ref);
    };
    const Look& look(int index) const { return m_looks.at(m_items.at(index).LookId); }
    void setLook(int index, const Look& look);
    quint16 lookId(const Look& look);
    void resetLooks();
    void rebuildLookIds();

    QVector<Row> m_items;
    RowTexts m_texts;
    QVector<Look> m_looks;
    QHash<quint64, quint16> m_lookIds;
    QVector<quint32> m_colors;
    QHash<quint32, int> m_colorIndex; // first index of each colour value
    QVector<RowvaneFont> m_fonts;

    int m_listIndex = -1;
    int m_style = 0;
    int m_denyStrategy = 0;
    int m_sortStrategy = 0;
    bool m_manualClick = true;
    int m_checkStyle = 0;
    bool m_grid = false;
    quint32 m_gridColor = 0x8000000F;
    quint32 m_selForeColor = 0xFFFFFF;
    quint32 m_selBackColor = 0xFF0000;
    quint32 m_cornerColor = 0x8000000F;
    QString m_cornerChar = QStringLiteral("?");
    QString m_toolTipText;
    bool m_updateEnabled = true;
};

// Blocks a list's updates for a bulk change and updates it once at the end, unless an
// outer bulk change already blocked it.
class RowvaneBulkChange
{
public:
    explicit RowvaneBulkChange(Rowvane& list) : m_list(list), m_owner(list.UpdateEnabled())
    {
        if (m_owner)
            m_list.BlockUpdate();
    }
    ~RowvaneBulkChange()
    {
        if (m_owner)
            m_list.Update();
    }
    RowvaneBulkChange(const RowvaneBulkChange&) = delete;
    RowvaneBulkChange& operator=(const RowvaneBulkChange&) = delete;

private:
    Rowvane& m_list;
    bool m_owner;
};
