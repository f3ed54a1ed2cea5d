// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "lists/Rowvane.h"

#include <QWidget>

class Dialogs;
class FileTypeList;
class QLabel;
class QToolButton;
class RowvaneView;

// One file-type list (`ListDataExt` or `ListPageExt`) with its add and remove buttons
// (`ImgAddDataExt`, `ImgRemDataExt` and their page twins). The rows are painted by the
// owner-drawn list view over a copy of the list kept in step with it; a click on a check
// picture, Space, or the buttons (Insert and Delete in the list) go to the list's own
// rules, which mark it for saving.
class FileTypePanel : public QWidget
{
    Q_OBJECT
public:
    FileTypePanel(FileTypeList& types, Dialogs& dialogs, const QString& caption,
                  QWidget* parent = nullptr);

    FileTypeList& types() const { return m_types; }
    RowvaneView* View() const { return m_view; }
    QToolButton* AddButton() const { return m_add; }
    QToolButton* RemoveButton() const { return m_remove; }
    // Shows the list's rows, check marks and current row again.
    void Refresh();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void applyPalette();
    void takeCurrentRow();
    void toggleCurrent();

    FileTypeList& m_types;
    Dialogs& m_dialogs;
    Rowvane m_rows; // what the view paints
    RowvaneView* m_view;
    QLabel* m_caption;
    QToolButton* m_add;
    QToolButton* m_remove;
    bool m_syncing = false;
};
