// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/FolderPane.h"

#include "controls/Twips.h"
#include "ui/HelpBrowser.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QSortFilterProxyModel>
#include <QStorageInfo>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

namespace {

// The design sizes, in twips: the volume and folder lists' column, and the gap between
// the lists and the details.
constexpr int ListColumnTwips = 3000;
constexpr int GapTwips = 30;

// The details view's columns: name, size, type, date modified.
constexpr int DetailsWidths[] = {220, 80, 110, 140};

// Kernel and device file systems hold nothing to browse.
bool isPseudoVolume(const QStorageInfo& volume)
{
    static const QByteArray pseudo[] = {
        "proc",       "sysfs",   "devtmpfs",    "devpts",   "cgroup", "cgroup2",    "mqueue",
        "securityfs", "debugfs", "tracefs",     "pstore",   "bpf",    "configfs",   "fusectl",
        "hugetlbfs",  "autofs",  "binfmt_misc", "efivarfs", "nsfs",   "rpc_pipefs", "selinuxfs"};
    const QByteArray type = volume.fileSystemType();
    for (const QByteArray& name : pseudo)
        if (type == name)
            return true;
    const QString root = volume.rootPath();
    for (const char* system : {"/proc", "/sys", "/dev"}) {
        const QString top = QString::fromLatin1(system);
        if (root == top || root.startsWith(top + QLatin1Char('/')))
            return true;
    }
    return false;
}

// The folder list: the model's folders, without its files.
class FoldersOnly : public QSortFilterProxyModel
{
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override
    {
        const auto* files = static_cast<const QFileSystemModel*>(sourceModel());
        return files->isDir(files->index(row, 0, parent));
    }
};

} // namespace

FolderPane::FolderPane(const QString& startFolder, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("PadFile"));
    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden);
    m_model->setReadOnly(true);
    m_foldersOnly = new FoldersOnly(this);
    m_foldersOnly->setSourceModel(m_model);

    m_volumes = new QComboBox(this);
    m_volumes->setObjectName(QStringLiteral("Drive1"));
    m_volumes->setToolTip(QStringLiteral("Mounted volumes"));

    m_folders = new QTreeView(this);
    m_folders->setObjectName(QStringLiteral("Dir1"));
    m_folders->setModel(m_foldersOnly);
    for (int column = 1; column < m_foldersOnly->columnCount(); ++column)
        m_folders->hideColumn(column);
    m_folders->header()->hide();
    // Long names scroll sideways instead of being cut.
    m_folders->header()->setStretchLastSection(false);
    m_folders->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);

    m_details = new QTreeView(this);
    m_details->setObjectName(QStringLiteral("WB1"));
    m_details->setModel(m_model);
    m_details->setRootIsDecorated(false);
    m_details->setItemsExpandable(false);
    m_details->setUniformRowHeights(true);
    m_details->setSortingEnabled(true);
    m_details->sortByColumn(0, Qt::AscendingOrder);
    m_details->header()->setStretchLastSection(false);
    m_details->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < int(std::size(DetailsWidths)); ++column)
        m_details->header()->resizeSection(column, DetailsWidths[column]);

    m_help = new HelpBrowser(this);

    const int gap = Twips::toPixels(GapTwips);
    auto* lists = new QVBoxLayout;
    lists->setSpacing(gap);
    lists->addWidget(m_volumes);
    lists->addWidget(m_folders, 1);
    m_volumes->setFixedWidth(Twips::toPixels(ListColumnTwips));
    m_folders->setFixedWidth(Twips::toPixels(ListColumnTwips));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(gap);
    layout->addLayout(lists);
    layout->addWidget(m_details, 1);
    layout->addWidget(m_help, 1);

    connect(m_volumes, &QComboBox::activated, this,
            [this](int index) { openFolder(m_volumes->itemData(index).toString()); });
    connect(m_folders->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& index) {
                if (index.isValid())
                    openFolder(index.data(QFileSystemModel::FilePathRole).toString());
            });
    // Double-click or Enter; a single click where the desktop opens items that way.
    connect(m_details, &QAbstractItemView::activated, this, &FolderPane::openFromDetails);
    // The model reads folders in the background and sorts what it read: keep the current
    // folder in sight in the tree.
    connect(m_model, &QFileSystemModel::directoryLoaded, this, [this](const QString& loaded) {
        if (m_current == loaded || m_current.startsWith(loaded + QLatin1Char('/')) ||
            loaded == QLatin1String("/"))
            m_folders->scrollTo(m_folders->currentIndex());
    });
    // A current folder deleted from outside gives way to the nearest folder still there.
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, [this] {
        if (!m_details->rootIndex().isValid())
            QTimer::singleShot(0, this, &FolderPane::keepCurrentFolder);
    });

    fillVolumes();
    m_folders->expand(m_foldersOnly->index(0, 0));
    if (!openFolder(startFolder))
        openFolder(QDir::homePath());
    showFolders();
}

void FolderPane::showFolders()
{
    fillVolumes();
    showVolumeOf(m_current);
    m_help->hide();
    m_volumes->show();
    m_folders->show();
    m_details->show();
}

void FolderPane::showHelp()
{
    m_volumes->hide();
    m_folders->hide();
    m_details->hide();
    m_help->show();
}

bool FolderPane::openFolder(const QString& folder)
{
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return false;
    const QModelIndex index = m_model->index(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
    if (!index.isValid())
        return false;
    const QString path = m_model->filePath(index);
    // The tree's own change comes back here with the path already current.
    if (path == m_current)
        return true;
    m_current = path;
    // The model watches the folder shown in detail: new files show up as they arrive.
    m_model->setRootPath(path);
    m_details->setRootIndex(index);
    showInFolderList(index);
    showVolumeOf(path);
    emit folderChanged(path);
    return true;
}

// Selects the folder in the tree, opens it and the folders above it.
void FolderPane::showInFolderList(const QModelIndex& index)
{
    const QModelIndex inTree = m_foldersOnly->mapFromSource(index);
    if (!inTree.isValid())
        return;
    for (QModelIndex above = inTree.parent(); above.isValid(); above = above.parent())
        m_folders->expand(above);
    m_folders->expand(inTree);
    if (m_folders->currentIndex() != inTree)
        m_folders->setCurrentIndex(inTree);
    m_folders->scrollTo(inTree);
}

// Folders open; files are left alone: a downloaded file is never started from here.
void FolderPane::openFromDetails(const QModelIndex& index)
{
    if (index.isValid() && m_model->isDir(index))
        openFolder(m_model->filePath(index));
}

void FolderPane::fillVolumes()
{
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady() && !isPseudoVolume(volume))
            roots << volume.rootPath();
    if (!roots.contains(QStringLiteral("/")))
        roots.prepend(QStringLiteral("/"));
    std::sort(roots.begin(), roots.end());
    roots.removeDuplicates();
    QStringList shown;
    for (int i = 0; i < m_volumes->count(); ++i)
        shown << m_volumes->itemData(i).toString();
    if (shown == roots)
        return;
    m_volumes->clear();
    for (const QString& root : std::as_const(roots)) {
        const QString name = QStorageInfo(root).displayName();
        m_volumes->addItem(name.isEmpty() || name == root
                               ? root
                               : root + QStringLiteral("  (") + name + QLatin1Char(')'),
                           root);
    }
}

// The volume holding the folder: the longest root it lies under.
void FolderPane::showVolumeOf(const QString& folder)
{
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < m_volumes->count(); ++i) {
        const QString root = m_volumes->itemData(i).toString();
        const bool holds = root == QLatin1String("/") || folder == root ||
                           folder.startsWith(root + QLatin1Char('/'));
        if (holds && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    m_volumes->setCurrentIndex(best);
}

void FolderPane::keepCurrentFolder()
{
    if (m_details->rootIndex().isValid())
        return;
    QString folder = m_current;
    m_current.clear();
    while (!folder.isEmpty() && !QFileInfo(folder).isDir() && folder != QLatin1String("/"))
        folder = QFileInfo(folder).absolutePath();
    openFolder(folder);
}
