// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class Dialogs;
class QAction;
class QComboBox;
class QFileSystemModel;
class QLabel;
class QMenu;
class QTreeView;

// "Select Folder": a list of the mounted volumes and the folders of the chosen one. Its
// context menu creates a folder in the current one ("New Directory") or deletes the
// current folder's whole tree ("Delete", disabled on a folder whose owner may not write
// it). Questions and messages go through `dialogs`.
class FolderChooser : public QDialog
{
    Q_OBJECT
public:
    // `baseFolder` and the home folder (and every folder holding them) cannot be deleted.
    FolderChooser(Dialogs& dialogs, const QString& baseFolder, QWidget* parent = nullptr);

    // Shows the dialog modally; the chosen folder after OK, "" otherwise.
    QString getNewDir();
    // The current folder, shown under "Selected Folder:".
    QString getDirectory() const { return m_current; }
    // Makes `folder` the current one, its volume chosen in the volume list.
    void setDirectory(const QString& folder);
    bool DialogOK() const { return m_dialogOK; }

    // The context menu as it pops up over the current folder.
    QMenu* ContextMenu();
    void NewDirectory();
    void DeleteDirectory();

private:
    void ChooseVolume(int index);
    void ShowCurrent(const QString& folder);
    // Selects the folder in the list and opens the folders above it.
    void ShowInList(const QString& folder);

    Dialogs& m_dialogs;
    QString m_baseFolder;
    QComboBox* m_volumes;
    QFileSystemModel* m_model;
    QTreeView* m_folders;
    QLabel* m_path;
    QMenu* m_menu;
    QAction* m_newDir;
    QAction* m_delete;
    QString m_current;
    bool m_dialogOK = false;
};
