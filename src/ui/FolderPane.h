// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class HelpBrowser;
class QComboBox;
class QFileSystemModel;
class QModelIndex;
class QSortFilterProxyModel;
class QTreeView;

// The pane shared by "Browse Folder" and "Help" (`PadFile`). Browsing, it shows the
// mounted volumes (`Drive1`) above the folder tree (`Dir1`) on the left and the chosen
// folder's contents in detail (`WB1`) on the right; all three show one file-system model
// and follow each other: a volume moves the tree to its root, a folder chosen in the tree
// fills the details, a folder opened in the details becomes the tree's current folder.
// For help, the tree and the volumes make way for the help page.
class FolderPane : public QWidget
{
    Q_OBJECT
public:
    explicit FolderPane(const QString& startFolder, QWidget* parent = nullptr);

    // "Browse Folder": the volumes, the tree and the details of the current folder.
    void showFolders();
    // "Help": the help page over the whole pane.
    void showHelp();

    // Makes `folder` current in all three views; false (nothing changes) when it is not
    // an existing folder.
    bool openFolder(const QString& folder);
    QString currentFolder() const { return m_current; }

    QComboBox* volumeList() const { return m_volumes; }
    // The tree shows folders only, through a filter over the model.
    QTreeView* folderList() const { return m_folders; }
    QTreeView* detailsView() const { return m_details; }
    HelpBrowser* helpBrowser() const { return m_help; }
    QFileSystemModel* model() const { return m_model; }

signals:
    // Once for each change of the current folder, whichever view made it.
    void folderChanged(const QString& folder);

private:
    void fillVolumes();
    void showVolumeOf(const QString& folder);
    void showInFolderList(const QModelIndex& index);
    void openFromDetails(const QModelIndex& index);
    void keepCurrentFolder();

    QFileSystemModel* m_model;
    QSortFilterProxyModel* m_foldersOnly;
    QComboBox* m_volumes;
    QTreeView* m_folders;
    QTreeView* m_details;
    HelpBrowser* m_help;
    QString m_current;
};
