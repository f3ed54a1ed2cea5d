// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractListModel>
#include <QStringList>

// The contents of a drop-down choice (the request-header lists and the user
// agents): an ordered list of texts and the index of the selected one, -1
// when nothing is selected. A QComboBox can show it through setModel(); the
// download slot takes SelectedText().
class ComboList : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit ComboList(QObject* parent = nullptr);

    const QStringList& Items() const { return m_items; }
    int Count() const { return static_cast<int>(m_items.size()); }
    // The item at index, or an empty text when there is none.
    QString Item(int index) const;
    int SelectedIndex() const { return m_selected; }
    // The selected item; empty when nothing is selected. An empty selected
    // item means that the request carries no such header.
    QString SelectedText() const { return Item(m_selected); }

    void AddItem(const QString& text);
    // Selects index (-1 selects nothing). False, and nothing changes, when
    // the index is out of range.
    bool Select(int index);
    // Removes every item; nothing is selected afterwards.
    void Clear();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

signals:
    void itemsChanged();
    void selectionChanged(int index);

private:
    QStringList m_items;
    int m_selected = -1;
};
