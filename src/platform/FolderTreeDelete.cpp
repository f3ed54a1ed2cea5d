// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FolderTreeDelete.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The path with its links resolved when it exists, else just made clean.
QString Resolved(const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

// True when `folder` is `inner` or lies above it.
bool Holds(const QString& folder, const QString& inner)
{
    if (folder == inner || folder == QLatin1String("/"))
        return true;
    return inner.startsWith(folder + QLatin1Char('/'));
}

} // namespace

FolderTreeDelete::FolderTreeDelete(QObject* parent) : QObject(parent)
{
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &FolderTreeDelete::Step);
}

QString FolderTreeDelete::Refusal(const QString& path, const QString& baseFolder,
                                  const QString& homeFolder)
{
    if (path.isEmpty() || QDir::isRelativePath(path))
        return QStringLiteral("Choose a folder by its full path.");
    const QString clean = QDir::cleanPath(path);
    const QFileInfo info(clean);
    if (info.isSymLink())
        return {}; // only the link itself goes, whatever it points to
    if (!info.exists())
        return clean + QStringLiteral(" does not exist.");
    if (!info.isDir())
        return clean + QStringLiteral(" is not a folder.");
    const QString folder = info.canonicalFilePath();
    if (folder == QLatin1String("/") || QStorageInfo(folder).rootPath() == folder)
        return folder + QStringLiteral(" is the root of a filesystem and cannot be deleted.");
    if (!homeFolder.isEmpty() && Holds(folder, Resolved(homeFolder))) {
        return folder + (folder == Resolved(homeFolder)
                             ? QStringLiteral(" is your home folder and cannot be deleted.")
                             : QStringLiteral(" holds your home folder and cannot be deleted."));
    }
    if (!baseFolder.isEmpty() && Holds(folder, Resolved(baseFolder))) {
        return folder + (folder == Resolved(baseFolder)
                             ? QStringLiteral(" is the base folder and cannot be deleted.")
                             : QStringLiteral(" holds the base folder and cannot be deleted."));
    }
    return {};
}

bool FolderTreeDelete::IsReadOnly(const QString& folder)
{
    return !QFileInfo(folder).permissions().testFlag(QFileDevice::WriteOwner);
}

bool FolderTreeDelete::Start(const QString& path, const QString& baseFolder,
                             const QString& homeFolder, QString& error)
{
    if (IsRunning()) {
        error = QStringLiteral("A delete is already running.");
        return false;
    }
    error = Refusal(path, baseFolder, homeFolder);
    if (!error.isEmpty())
        return false;
    const QString clean = QDir::cleanPath(path);
    m_toVisit.clear();
    m_files.clear();
    m_visited.clear();
    m_opened.clear();
    m_failed = 0;
    m_firstFailure.clear();
    if (QFileInfo(clean).isSymLink())
        m_files.append(clean);
    else
        m_toVisit.append(clean);
    m_stage = Stage::Files;
    m_timer.start();
    return true;
}

void FolderTreeDelete::Cancel()
{
    if (IsRunning())
        Finish(true);
}

void FolderTreeDelete::Step()
{
    for (int done = 0; done < m_batchSize && IsRunning(); ++done) {
        if (m_stage == Stage::Files) {
            if (!m_files.isEmpty()) {
                RemoveFile(m_files.takeFirst());
            } else if (!m_toVisit.isEmpty()) {
                OpenFolder(m_toVisit.takeLast());
            } else {
                m_stage = Stage::Folders;
                m_nextFolder = m_visited.size() - 1;
            }
        } else if (m_nextFolder >= 0) {
            RemoveFolder(m_visited[m_nextFolder--]);
        } else {
            Finish(false);
        }
    }
}

void FolderTreeDelete::OpenFolder(const QString& folder)
{
    struct stat status
    {
    };
    if (::lstat(QFile::encodeName(folder).constData(), &status) != 0) {
        if (errno != ENOENT)
            Failed(folder, qt_error_string(errno));
        return;
    }
    if (!S_ISDIR(status.st_mode)) {
        m_files.append(folder); // became a link since it was listed: never enter it
        return;
    }
    if (m_visited.isEmpty()) {
        m_device = status.st_dev;
    } else if (status.st_dev != m_device) {
        // Like a filesystem root given to Start: what is mounted here is not ours to delete.
        Failed(folder, QStringLiteral("another filesystem is mounted here"));
        return;
    }
    // Emptying a folder needs its owner's write right (and read and search to list it);
    // the files' own rights do not matter. The mode bits are used as they are: Qt's
    // permissions() would add the "User" rights that access() grants root.
    const mode_t mode = status.st_mode & 07777;
    if ((mode & S_IRWXU) != S_IRWXU &&
        ::chmod(QFile::encodeName(folder).constData(), mode | S_IRWXU) == 0)
        m_opened.append({folder, mode});
    m_visited.append(folder);

    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    QStringList subfolders;
    for (const QFileInfo& entry : entries) {
        if (entry.isDir() && !entry.isSymLink())
            subfolders.append(entry.filePath());
        else
            m_files.append(entry.filePath()); // files, links, sockets, pipes
    }
    // Depth first in name order: the first subfolder is taken next, from the end.
    for (qsizetype i = subfolders.size() - 1; i >= 0; --i)
        m_toVisit.append(subfolders[i]);
}

void FolderTreeDelete::RemoveFile(const QString& path)
{
    emit Progress(QStringLiteral("Deleting File:") + path);
    if (m_stage != Stage::Files)
        return; // cancelled on seeing the text
    // unlink() removes a link itself, never its target.
    if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT)
        Failed(path, qt_error_string(errno));
}

void FolderTreeDelete::RemoveFolder(const QString& path)
{
    emit Progress(QStringLiteral("Deleting Directory:") + path);
    if (m_stage != Stage::Folders)
        return;
    if (::rmdir(QFile::encodeName(path).constData()) != 0 && errno != ENOENT)
        Failed(path, qt_error_string(errno));
}

void FolderTreeDelete::Failed(const QString& path, const QString& reason)
{
    if (m_failed++ == 0)
        m_firstFailure = path + QStringLiteral(" (") + reason + QLatin1Char(')');
}

void FolderTreeDelete::Finish(bool cancelled)
{
    m_timer.stop();
    m_stage = Stage::Idle;
    for (const auto& [folder, mode] : std::as_const(m_opened)) {
        struct stat status
        {
        };
        const QByteArray name = QFile::encodeName(folder);
        if (::lstat(name.constData(), &status) == 0 && S_ISDIR(status.st_mode))
            ::chmod(name.constData(), mode);
    }
    m_opened.clear();
    QString message;
    if (m_failed == 1)
        message = QStringLiteral("1 item could not be deleted: ") + m_firstFailure;
    else if (m_failed > 1)
        message = QStringLiteral("%1 items could not be deleted; the first: %2")
                      .arg(m_failed)
                      .arg(m_firstFailure);
    emit Finished(cancelled, m_failed, message);
}
