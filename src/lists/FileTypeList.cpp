// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/FileTypeList.h"

#include "platform/Dialogs.h"

#include <cmath>

namespace {

// The numeric value at the start of a text ("2", " 1.5x"); 0 when it holds none.
double leadingNumber(const QString& text)
{
    const QString t = text.trimmed();
    qsizetype end = 0;
    if (end < t.size() && (t.at(end) == QLatin1Char('+') || t.at(end) == QLatin1Char('-')))
        ++end;
    bool digits = false;
    while (end < t.size() && (t.at(end).isDigit() || t.at(end) == QLatin1Char('.'))) {
        digits = digits || t.at(end).isDigit();
        ++end;
    }
    if (!digits)
        return 0;
    bool ok = false;
    const double value = t.left(end).toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0;
}

} // namespace

FileTypeList::FileTypeList(QObject* parent) : QObject(parent) {}

QString FileTypeList::Text(int index) const
{
    return index >= 0 && index < ListCount() ? m_rows.at(index).Text : QString();
}

bool FileTypeList::Checked(int index) const
{
    return index >= 0 && index < ListCount() && m_rows.at(index).Checked;
}

void FileTypeList::setChecked(int index, bool checked)
{
    if (index < 0 || index >= ListCount())
        return;
    m_rows[index].Checked = checked;
    markModified();
}

void FileTypeList::setListIndex(int index)
{
    if (index >= -1 && index < ListCount())
        m_listIndex = index;
}

void FileTypeList::Clear()
{
    m_rows.clear();
    m_listIndex = -1;
    emit Changed();
}

void FileTypeList::markModified()
{
    m_tag = QStringLiteral("*");
    emit Changed();
    emit Modified();
}

QString FileTypeList::ListToString() const
{
    QString text;
    for (const Row& row : m_rows)
        text +=
            QLatin1Char('|') + row.Text + (row.Checked ? QLatin1String("/1") : QLatin1String("/0"));
    return text;
}

void FileTypeList::StringToList(const QString& text)
{
    for (const QString& piece : text.split(QLatin1Char('|'))) {
        if (piece.isEmpty())
            continue;
        // "jpg" alone has no flag: it reads as "jpg/0".
        const QStringList parts = (piece + QLatin1String("/0")).split(QLatin1Char('/'));
        m_rows.append({parts.at(0), leadingNumber(parts.at(1)) > 0});
    }
    if (!m_rows.isEmpty())
        m_listIndex = 0;
    emit Changed();
}

QString FileTypeList::BuildExtPattern() const
{
    QString s;
    for (const Row& row : m_rows)
        if (row.Checked)
            s += QLatin1String("|\\.") + row.Text;
    return s.size() > 1 ? QLatin1Char('(') + s.mid(1) + QLatin1Char(')') : s;
}

bool FileTypeList::AddFileType(Dialogs& dialogs)
{
    if (ListCount() > MaxRowsBeforeAdd) {
        dialogs.MsgBox(QStringLiteral("There are already more than 100 file types. New types "
                                      "cannot be added."),
                       QStringLiteral("Invalid!"), Dialogs::Icon::Exclamation);
        return false;
    }
    const std::optional<QString> answer = dialogs.InputBox(
        QStringLiteral("New File Extention (1 - 6 characters):\n\nExample: jpg, gif, htm, doc, "
                       "txt"),
        QStringLiteral("Add File Type"), QString());
    QString type = answer ? answer->trimmed() : QString();
    if (type.startsWith(QLatin1Char('.')))
        type.remove(0, 1);
    if (type.size() > 6) {
        dialogs.MsgBox(QStringLiteral("Invalid value! It must be between 1 to 6 characters long."),
                       QStringLiteral("Invalid!"), Dialogs::Icon::Exclamation);
        return false;
    }
    if (type.contains(QLatin1Char('/')) || type.contains(QLatin1Char('\\')) ||
        type.contains(QLatin1Char('*'))) {
        dialogs.MsgBox(QStringLiteral("Invalid character found! '/', '\\' ,'*'"),
                       QStringLiteral("Invalid!"), Dialogs::Icon::Exclamation);
        return false;
    }
    if (type.isEmpty())
        return false;
    for (const Row& row : m_rows) {
        if (QString::compare(row.Text, type, Qt::CaseInsensitive) == 0) {
            dialogs.MsgBox(QStringLiteral("This file type is already in list!"),
                           QStringLiteral("Type Exists!"), Dialogs::Icon::Exclamation);
            return false;
        }
    }
    m_rows.append({type, false});
    markModified();
    return true;
}

bool FileTypeList::RemoveFileType(Dialogs& dialogs)
{
    if (ListCount() < 2) {
        dialogs.MsgBox(QStringLiteral("This is the only file type left! Cannot remove it."),
                       QStringLiteral("Error!"), Dialogs::Icon::Exclamation);
        return false;
    }
    if (dialogs.MsgBox(QStringLiteral("Remove the selected file type?"), QStringLiteral("Confirm!"),
                       Dialogs::Icon::Question, Dialogs::Buttons::YesNo) != Dialogs::Answer::Yes)
        return false;
    if (m_listIndex < 0 || m_listIndex >= ListCount())
        return false;
    m_rows.removeAt(m_listIndex);
    if (m_listIndex >= ListCount())
        m_listIndex = ListCount() - 1;
    markModified();
    return true;
}
