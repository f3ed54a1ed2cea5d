// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QString>

class Dialogs;

// A user-editable list of file extensions with a check box each (the data-file types or
// the page types). Only checked rows take part in the extension pattern. Tag() is "*"
// after any check, add or remove, so the settings are saved and the pattern rebuilt.
class FileTypeList : public QObject
{
    Q_OBJECT

public:
    struct Row
    {
        QString Text; // the extension without a leading dot
        bool Checked = false;
    };

    static constexpr int MaxRowsBeforeAdd = 100; // adding stops once the list has more

    explicit FileTypeList(QObject* parent = nullptr);

    int ListCount() const { return int(m_rows.size()); }
    const Row& RowAt(int index) const { return m_rows.at(index); }
    QString Text(int index) const;
    bool Checked(int index) const;
    // A user check: stores it and marks the list changed (ItemCheck).
    void setChecked(int index, bool checked);
    int ListIndex() const { return m_listIndex; }
    void setListIndex(int index);
    void Clear();

    QString Tag() const { return m_tag; }
    void setTag(const QString& tag) { m_tag = tag; }
    bool Marked() const { return m_tag == QLatin1String("*"); }

    // "|jpg/1|gif/0": every row, in order.
    QString ListToString() const;
    // Appends the entries of a serialised list ("jpg/1|gif/0", "|jpg", ...); row 0 becomes
    // current when the list has rows.
    void StringToList(const QString& text);
    // "(\.jpg|\.gif)" of the checked rows, or "" when none is checked.
    QString BuildExtPattern() const;

    // Asks for a new extension and appends it unchecked; false when nothing was added.
    bool AddFileType(Dialogs& dialogs);
    // Removes the current row after confirmation; false when nothing was removed.
    bool RemoveFileType(Dialogs& dialogs);

signals:
    // Rows or check states changed (a view repaints).
    void Changed();
    // The user changed the list: the options' Save command becomes enabled.
    void Modified();

private:
    void markModified();

    QList<Row> m_rows;
    int m_listIndex = -1;
    QString m_tag;
};
