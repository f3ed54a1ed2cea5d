// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

// Deletes a folder tree a few items per timer step, so the event loop keeps running and a
// Cancel is seen before the next deletion. Files go first, then folders, children before
// their parents: a cancel during the file pass leaves every folder in place. A symbolic
// link is never followed: the link itself is removed and what it points to stays; a
// filesystem mounted inside the tree is not entered.
class FolderTreeDelete : public QObject
{
    Q_OBJECT
public:
    explicit FolderTreeDelete(QObject* parent = nullptr);

    // Why the tree at `path` must not be deleted (a filesystem root, the home folder or a
    // folder holding it, the base folder or a folder holding it, a path that is no
    // folder); empty when it may be.
    static QString Refusal(const QString& path, const QString& baseFolder,
                           const QString& homeFolder);
    // Read-only as the owner sees it: the owner's write bit is off.
    static bool IsReadOnly(const QString& folder);

    // Starts on the tree at `path`; refused (false, the reason in `error`) without touching
    // anything when Refusal names one or a delete is already running.
    bool Start(const QString& path, const QString& baseFolder, const QString& homeFolder,
               QString& error);
    // Stops before the next deletion and reports Finished at once.
    void Cancel();
    bool IsRunning() const { return m_stage != Stage::Idle; }
    // Items handled per timer step (at least 1).
    void setBatchSize(int items) { m_batchSize = qMax(items, 1); }

signals:
    // "Deleting File:" + path or "Deleting Directory:" + path, before each deletion.
    void Progress(const QString& text);
    // The end of a run: `failed` items could not be deleted and `message` names the first
    // ("" when there were none).
    void Finished(bool cancelled, int failed, const QString& message);

private:
    enum class Stage
    {
        Idle,
        Files,
        Folders
    };

    void Step();
    void OpenFolder(const QString& folder);
    void RemoveFile(const QString& path);
    void RemoveFolder(const QString& path);
    void Failed(const QString& path, const QString& reason);
    void Finish(bool cancelled);

    Stage m_stage = Stage::Idle;
    QTimer m_timer;
    int m_batchSize = 16;
    QStringList m_toVisit;       // folders of the file pass still to open, next one last
    QStringList m_files;         // files and links of the open folder, still to delete
    QStringList m_visited;       // folders opened, each parent before its children
    qsizetype m_nextFolder = -1; // the folder pass walks m_visited backwards
    // Folders given their owner's rights to empty them, with their mode bits before;
    // restored on any that survive the run.
    QList<QPair<QString, uint>> m_opened;
    quint64 m_device = 0; // the filesystem of the tree's top folder; others are not entered
    int m_failed = 0;
    QString m_firstFailure;
};
