// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/FolderChooser.h"

#include "platform/Dialogs.h"
#include "platform/FolderTreeDelete.h"
#include "platform/NewFolder.h"
#include "ui/FolderDeleteDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStorageInfo>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

const QString Title = QStringLiteral("Select Folder");

} // namespace

FolderChooser::FolderChooser(Dialogs& dialogs, const QString& baseFolder, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_baseFolder(baseFolder)
{
    setWindowTitle(Title);

    m_volumes = new QComboBox(this);
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady())
            continue;
        const QString root = volume.rootPath();
        const QString name = volume.displayName();
        m_volumes->addItem(
            name == root ? root : root + QStringLiteral("  (") + name + QLatin1Char(')'), root);
    }

    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    m_model->setRootPath(QStringLiteral("/"));
    m_model->setReadOnly(true);
    m_folders = new QTreeView(this);
    m_folders->setModel(m_model);
    for (int column = 1; column < m_model->columnCount(); ++column)
        m_folders->hideColumn(column);
    m_folders->header()->hide();
    m_folders->setMinimumSize(360, 300);
    m_folders->setContextMenuPolicy(Qt::CustomContextMenu);

    m_path = new QLabel(this);
    m_path->setTextFormat(Qt::PlainText);
    m_path->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_volumes);
    layout->addWidget(m_folders, 1);
    layout->addWidget(new QLabel(QStringLiteral("Selected Folder:"), this));
    layout->addWidget(m_path);
    layout->addWidget(buttons);

    m_menu = new QMenu(this);
    m_newDir =
        m_menu->addAction(QStringLiteral("&New Directory"), this, &FolderChooser::NewDirectory);
    m_delete = m_menu->addAction(QStringLiteral("&Delete"), this, &FolderChooser::DeleteDirectory);

    connect(m_volumes, &QComboBox::activated, this, &FolderChooser::ChooseVolume);
    // The model reads folders in the background: once a folder on the way to the current
    // one is read, the list opens it further.
    connect(m_model, &QFileSystemModel::directoryLoaded, this, [this](const QString& loaded) {
        if (m_current == loaded || m_current.startsWith(loaded + QLatin1Char('/')) ||
            loaded == QLatin1String("/"))
            ShowInList(m_current);
    });
    // Sorting what it read moves the rows: keep the current folder in sight.
    connect(m_model, &QAbstractItemModel::layoutChanged, this, [this] {
        const QModelIndex index = m_folders->currentIndex();
        if (index.isValid())
            QTimer::singleShot(0, this, [this] {
                m_folders->scrollTo(m_folders->currentIndex(), QAbstractItemView::PositionAtCenter);
            });
    });
    connect(m_folders->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& index) {
                if (index.isValid())
                    ShowCurrent(m_model->filePath(index));
            });
    connect(m_folders, &QTreeView::customContextMenuRequested, this, [this](const QPoint& at) {
        const QModelIndex index = m_folders->indexAt(at);
        if (index.isValid())
            m_folders->setCurrentIndex(index);
        ContextMenu()->popup(m_folders->viewport()->mapToGlobal(at));
    });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        m_dialogOK = true;
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] {
        m_dialogOK = false;
        reject();
    });

    setDirectory(QFileInfo::exists(baseFolder) ? baseFolder : QDir::homePath());
}

QString FolderChooser::getNewDir()
{
    m_dialogOK = false;
    exec();
    return m_dialogOK ? m_current : QString();
}

void FolderChooser::setDirectory(const QString& folder)
{
    const QString path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    const int volume = m_volumes->findData(QStorageInfo(path).rootPath());
    if (volume >= 0)
        m_volumes->setCurrentIndex(volume);
    const QString root = volume >= 0 ? m_volumes->itemData(volume).toString() : QStringLiteral("/");
    m_folders->setRootIndex(m_model->index(root));
    ShowCurrent(path);
    ShowInList(path);
}

void FolderChooser::ShowInList(const QString& folder)
{
    const QModelIndex index = m_model->index(folder);
    if (!index.isValid())
        return;
    for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent())
        m_folders->expand(parent);
    if (m_folders->currentIndex() != index)
        m_folders->setCurrentIndex(index);
    m_folders->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void FolderChooser::ChooseVolume(int index)
{
    setDirectory(m_volumes->itemData(index).toString());
}

void FolderChooser::ShowCurrent(const QString& folder)
{
    m_current = folder;
    m_path->setText(folder);
}

QMenu* FolderChooser::ContextMenu()
{
    m_newDir->setEnabled(!m_current.isEmpty());
    m_delete->setEnabled(!m_current.isEmpty() && !FolderTreeDelete::IsReadOnly(m_current));
    return m_menu;
}

void FolderChooser::NewDirectory()
{
    const std::optional<QString> name =
        m_dialogs.InputBox(QStringLiteral("Enter the Directory Name"),
                           QStringLiteral("New Directory"), QStringLiteral("New Directory"));
    if (!name || name->isEmpty())
        return;
    QString created, error;
    if (!NewFolder::Create(m_current, *name, created, error)) {
        m_dialogs.MsgBox(error, QStringLiteral("New Directory"), Dialogs::Icon::Exclamation);
        return;
    }
    setDirectory(created);
}

void FolderChooser::DeleteDirectory()
{
    const QString folder = m_current;
    const QString refusal = FolderTreeDelete::Refusal(folder, m_baseFolder, QDir::homePath());
    if (!refusal.isEmpty()) {
        m_dialogs.MsgBox(refusal, Title, Dialogs::Icon::Exclamation);
        return;
    }
    if (m_dialogs.MsgBox(QStringLiteral("Sure You want to delete this directory and all its "
                                        "contents:\r\n") +
                             folder,
                         Title, Dialogs::Icon::Question,
                         Dialogs::Buttons::YesNo) != Dialogs::Answer::Yes)
        return;
    FolderDeleteDialog progress(folder, m_baseFolder, QDir::homePath(), this);
    progress.exec();
    // What is left of the tree stays current; once it is gone, its parent.
    setDirectory(QFileInfo::exists(folder) ? folder : QFileInfo(folder).absolutePath());
    if (!progress.Message().isEmpty())
        m_dialogs.MsgBox(progress.Message(), Title, Dialogs::Icon::Exclamation);
}
