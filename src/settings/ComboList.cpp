// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ComboList.h"

ComboList::ComboList(QObject* parent) : QAbstractListModel(parent) {}

QString ComboList::Item(int index) const
{
    return index >= 0 && index < Count() ? m_items.at(index) : QString();
}

void ComboList::AddItem(const QString& text)
{
    beginInsertRows(QModelIndex(), Count(), Count());
    m_items.append(text);
    endInsertRows();
    emit itemsChanged();
}

bool ComboList::Select(int index)
{
    if (index < -1 || index >= Count())
        return false;
    if (index != m_selected) {
        m_selected = index;
        emit selectionChanged(index);
    }
    return true;
}

void ComboList::Clear()
{
    const bool hadSelection = m_selected != -1;
    beginResetModel();
    m_items.clear();
    m_selected = -1;
    endResetModel();
    emit itemsChanged();
    if (hadSelection)
        emit selectionChanged(-1);
}

int ComboList::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Count();
}

QVariant ComboList::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= Count() ||
        (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    return m_items.at(index.row());
}
