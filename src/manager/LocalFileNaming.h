// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class Dialogs;
class DownloadLogs;

// The values naming needs, taken from the options by the caller.
struct NamingOptions
{
    QString BaseDir;           // the base folder, as stored
    int PathOption = 0;        // 0 "Replicate Url path", 1 "$Basedir/$filename", 2 "Ask me where ?"
    bool DetectResume = false; // continue an existing non-empty file instead of renaming
    qint64 MinImgSize = 0;     // smallest image accepted, in bytes
    // A path that another URL's job of this run has used or uses: never resumed or
    // written over, the job takes the next free "name[n]" instead.
    std::function<bool(const QString& path)> TakenInRun;
};

// What a job is started with.
struct JobFile
{
    QString Path;          // full local path; empty after an error (logged)
    qint64 ResumeFrom = 0; // bytes already on disk to continue from
    qint64 MinimumFileSize = 0;
};

// Where each job's file goes: the local path under the base folder, the resume-or-rename
// decision and the smallest acceptable image size. A path built from a URL always lies
// inside the base folder: dot segments never climb above the host folder, forbidden
// characters are encoded, and over-long names are shortened to what the file system takes.
class LocalFileNaming
{
public:
    static constexpr int MaxNameBytes = 255; // NAME_MAX of Linux file systems
    static QString ForbiddenChars() { return QStringLiteral(":*?\"<>|"); }
    static QString ImageExtensions() { return QStringLiteral(".jpg.gif.ttf.png.bmp"); }

    LocalFileNaming(DownloadLogs& logs, Dialogs& dialogs);

    // Every naming step of a job start, in order: minimum image size, local name, resume.
    JobFile PrepareJob(const QString& url, const NamingOptions& options);

    static qint64 MinimumImageSize(const QString& url, qint64 minImgSize);
    // The full local path, or "" after an error (logged as "[Error: n]:[GetLocalFileName]: ").
    QString GetLocalFileName(const QString& url, const NamingOptions& options);
    // Keeps a non-empty existing file when resuming (logging the resume), else renames;
    // a path taken in this run is always renamed.
    QString CheckExisting(const QString& path, const QString& content, bool detectResume,
                          const std::function<bool(const QString&)>& takenInRun = {});

    // Encodes each of chars in text as "%" + two upper-case hex digits.
    static QString ReplaceHex(const QString& text, const QString& chars);
    // The first free "stem[n].ext" (or "name[n]" for a name without "."): no non-empty
    // file or folder of that name, and not taken in this run.
    static QString GetNewName(const QString& path,
                              const std::function<bool(const QString&)>& takenInRun = {});
    static qint64 getFilelength(const QString& path);

    // The path a request for url asks for ("/a/b.zip?x"), "/" when the URL has none.
    static QString UrlContent(const QString& url);
    // Shortens a file or folder name to maxBytes of UTF-8, keeping its extension.
    static QString ShortenName(const QString& name, int maxBytes = MaxNameBytes);
    // The URL's folders from the host on, dot and empty segments resolved, each encoded.
    static QStringList UrlFolders(const QString& pathPart);
    // True when path lies strictly inside baseDir (lexically, after resolving dots).
    static bool IsInside(const QString& path, const QString& baseDir);

private:
    void logError(int number, const QString& text);

    DownloadLogs& m_logs;
    Dialogs& m_dialogs;
    bool m_toldNoDialog = false;
    // The folder the last job's URL path gave below its base folder.
    QString m_folderBase, m_folderPathPart, m_folder;
    qint64 m_lengthFound = 0; // of the file CheckExisting kept for resuming, else 0
};
