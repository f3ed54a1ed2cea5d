// SPDX-License-Identifier: GPL-3.0-or-later
#include "manager/LocalFileNaming.h"

#include "engine/UrlSplit.h"
#include "manager/DownloadLogs.h"
#include "platform/Dialogs.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

namespace {

const QString IndexName = QStringLiteral("_index.htm");

// Forbidden in names taken from a URL: the seven characters, and NUL, which no Linux
// file name can hold.
QString urlForbiddenChars()
{
    return LocalFileNaming::ForbiddenChars() + QChar(0);
}

// "." and ".." (RFC 3986 §5.2.4), also when percent-encoded ("%2e", "%2E%2e").
int dotSegment(const QString& segment)
{
    if (segment.size() > 6 || segment.isEmpty() ||
        (segment.front() != QLatin1Char('.') && segment.front() != QLatin1Char('%')))
        return 0;
    QString decoded = segment;
    decoded.replace(QStringLiteral("%2e"), QStringLiteral("."), Qt::CaseInsensitive);
    if (decoded == QLatin1String("."))
        return 1;
    if (decoded == QLatin1String(".."))
        return 2;
    return 0;
}

// One name taken from the URL, made safe to create under a folder.
QString safeName(const QString& name)
{
    return LocalFileNaming::ShortenName(LocalFileNaming::ReplaceHex(name, urlForbiddenChars()));
}

// What lies at a path, from one look at the file system.
struct OnDisk
{
    bool File = false;
    bool Folder = false;
    qint64 Size = 0;
};

OnDisk lookAt(const QString& path)
{
    OnDisk found;
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return found;
    found.File = S_ISREG(st.st_mode);
    found.Folder = S_ISDIR(st.st_mode);
    found.Size = found.File ? qint64(st.st_size) : 0;
    return found;
}

QString withoutTrailingSlash(QString dir)
{
    while (dir.size() > 1 && dir.endsWith(QLatin1Char('/')))
        dir.chop(1);
    return dir;
}

} // namespace

LocalFileNaming::LocalFileNaming(DownloadLogs& logs, Dialogs& dialogs)
    : m_logs(logs), m_dialogs(dialogs)
{
}

void LocalFileNaming::logError(int number, const QString& text)
{
    m_logs.WriteLog(QStringLiteral("[Error: ") + QString::number(number) +
                    QStringLiteral("]:[GetLocalFileName]: ") + text);
}

qint64 LocalFileNaming::MinimumImageSize(const QString& url, qint64 minImgSize)
{
    // A substring test across the joined list: "g.gi" counts as well.
    if (url.size() > 4 && ImageExtensions().contains(url.right(4), Qt::CaseInsensitive))
        return minImgSize;
    return 0;
}

JobFile LocalFileNaming::PrepareJob(const QString& url, const NamingOptions& options)
{
    JobFile job;
    job.MinimumFileSize = MinimumImageSize(url, options.MinImgSize);
    m_lengthFound = 0;
    job.Path = GetLocalFileName(url, options);
    // The name was chosen by looking at what lies there: a file kept for resuming, or a
    // free name, which holds nothing to resume from.
    if (options.DetectResume && !job.Path.isEmpty())
        job.ResumeFrom = m_lengthFound;
    return job;
}

QString LocalFileNaming::UrlContent(const QString& url)
{
    const qsizetype scheme = url.indexOf(QLatin1String("//"));
    const qsizetype hostStart = scheme >= 0 ? scheme + 2 : 0;
    const qsizetype slash = url.indexOf(QLatin1Char('/'), hostStart);
    return slash >= 0 ? url.mid(slash) : QStringLiteral("/");
}

QStringList LocalFileNaming::UrlFolders(const QString& pathPart)
{
    // "…//host/a/b/" keeps "/host/a/b/"; a text without "//" is a path of its own.
    const qsizetype q = pathPart.indexOf(QLatin1String("//"));
    const QString relative = q >= 0 ? pathPart.mid(q + 1) : QLatin1Char('/') + pathPart;
    const bool hasHost = q >= 0;

    QStringList folders;
    bool first = true;
    for (const QString& segment : relative.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        const int dots = dotSegment(segment);
        if (first && hasHost) {
            // The host folder is fixed: a host spelled "." or ".." is only a name.
            folders << (dots ? safeName(
                                   QString(segment).replace(QLatin1Char('.'), QLatin1String("%2E")))
                             : safeName(segment));
        } else if (dots == 1) {
            // "." stays where it is.
        } else if (dots == 2) {
            // ".." climbs within the URL's path, never above the host folder.
            if (folders.size() > (hasHost ? 1 : 0))
                folders.removeLast();
        } else {
            folders << safeName(segment);
        }
        first = false;
    }
    return folders;
}

QString LocalFileNaming::GetLocalFileName(const QString& fullUrl, const NamingOptions& options)
{
    // The fragment names a place inside the file, not another file.
    const QString url = UrlSplit::WithoutFragment(fullUrl);
    const QString base = withoutTrailingSlash(options.BaseDir);
    if (base.isEmpty()) {
        logError(76, QStringLiteral("Path not found"));
        return QString();
    }

    QString name;
    QString pathPart = url;
    const qsizetype p = url.lastIndexOf(QLatin1Char('/'));
    if (p > 0) {
        if (p < url.size() - 1)
            name = url.mid(p + 1);
        pathPart = url.left(p + 1);
    }
    // A name that is a dot segment names a folder: "…/a/.." is the folder above "a".
    if (dotSegment(name)) {
        pathPart += name + QLatin1Char('/');
        name.clear();
    }
    if (name.isEmpty())
        name = IndexName;

    int pathOption = options.PathOption;
    if (pathOption == 2 && !m_dialogs.Interactive()) {
        if (!m_toldNoDialog) {
            m_toldNoDialog = true;
            m_dialogs.MsgBox(QStringLiteral("No dialog can ask where to save files here: "
                                            "\"Replicate Url path\" is used instead."),
                             QStringLiteral("Ask me where ?"), Dialogs::Icon::Information);
        }
        pathOption = 0;
    }

    QString full;
    if (pathOption == 2) {
        const std::optional<QString> chosen =
            m_dialogs.SaveFileDialog(QString(), QString(), QString(), base, safeName(name), true);
        if (!chosen || chosen->isEmpty()) {
            logError(32755, QStringLiteral("Cancel was selected."));
            return QString();
        }
        // The user's own choice of place is kept as given.
        full = QDir::cleanPath(*chosen);
    } else {
        QString folder;
        if (pathOption == 1) {
            folder = base + QStringLiteral("/Downloads");
        } else if (base == m_folderBase && pathPart == m_folderPathPart) {
            folder = m_folder; // the jobs of a list come folder by folder
        } else {
            folder = base;
            for (const QString& segment : UrlFolders(pathPart))
                folder += QLatin1Char('/') + segment;
            m_folderBase = base;
            m_folderPathPart = pathPart;
            m_folder = folder;
        }
        full = folder + QLatin1Char('/') + safeName(name);
        full.replace(QStringLiteral("//"), QStringLiteral("/"));
        if (!IsInside(full, base)) {
            logError(52, QStringLiteral("Bad file name or number"));
            return QString();
        }
    }
    return CheckExisting(full, UrlContent(url), options.DetectResume, options.TakenInRun);
}

QString LocalFileNaming::CheckExisting(const QString& path, const QString& content,
                                       bool detectResume,
                                       const std::function<bool(const QString&)>& takenInRun)
{
    // Resuming another URL's file of this run would append one file to another.
    m_lengthFound = 0;
    if (takenInRun && takenInRun(path))
        return GetNewName(path, takenInRun);
    const OnDisk there = lookAt(path);
    if (there.File && there.Size >= 1) {
        if (detectResume) {
            m_logs.WriteLog(QStringLiteral("***Resuming => ") + content +
                            QStringLiteral(" from position ") + QString::number(there.Size + 1));
            m_lengthFound = there.Size;
            return path;
        }
        return GetNewName(path, takenInRun);
    }
    if (there.Folder)
        return GetNewName(path, takenInRun);
    // Missing or empty: an empty file is written over.
    return path;
}

QString LocalFileNaming::ReplaceHex(const QString& text, const QString& chars)
{
    // One pass; most names hold none of the characters and come back as they are.
    QString result;
    qsizetype copied = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!chars.contains(c))
            continue;
        result += QStringView(text).sliced(copied, i - copied);
        result += QLatin1Char('%') +
                  QString::number(c.unicode(), 16).toUpper().rightJustified(2, QLatin1Char('0'));
        copied = i + 1;
    }
    if (copied == 0)
        return text;
    result += QStringView(text).sliced(copied);
    return result;
}

QString LocalFileNaming::GetNewName(const QString& path,
                                    const std::function<bool(const QString&)>& takenInRun)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString dir = path.left(slash + 1);
    const QString file = path.mid(slash + 1);
    const qsizetype dot = file.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot >= 0 ? file.left(dot) : file;
    const QString ext = dot >= 0 ? file.mid(dot) : QString();

    // Both a non-empty file and a folder of the name are taken; an empty file is reused.
    auto taken = [&](const QString& candidate) {
        if (takenInRun && takenInRun(candidate))
            return true;
        const OnDisk there = lookAt(candidate);
        return (there.File && there.Size > 0) || there.Folder;
    };
    QString candidate = path;
    for (qint64 counter = 1; taken(candidate) && counter < 1000000; ++counter) {
        // The stem gives way so that the counter and the extension always fit.
        const QString tail = QLatin1Char('[') + QString::number(counter) + QLatin1Char(']') + ext;
        const int room = MaxNameBytes - int(tail.toUtf8().size());
        candidate = dir + (room > 0 ? ShortenName(stem, room) : QString()) + tail;
    }
    return candidate;
}

qint64 LocalFileNaming::getFilelength(const QString& path)
{
    return lookAt(path).Size;
}

QString LocalFileNaming::ShortenName(const QString& name, int maxBytes)
{
    // No UTF-16 unit takes more than three bytes of UTF-8.
    if (name.size() * 3 <= maxBytes || name.toUtf8().size() <= maxBytes)
        return name;
    // Keep a short extension ("…[3].jpg"); a long tail after the last "." is no extension.
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    QString ext = dot > 0 ? name.mid(dot) : QString();
    if (ext.toUtf8().size() > 32)
        ext.clear();
    const QString stem = ext.isEmpty() ? name : name.left(dot);
    const qsizetype budget = maxBytes - ext.toUtf8().size();
    // Take whole characters (never half a surrogate pair) while they fit the budget.
    qsizetype bytes = 0;
    qsizetype keep = 0;
    while (keep < stem.size()) {
        const QChar c = stem.at(keep);
        const bool pair =
            c.isHighSurrogate() && keep + 1 < stem.size() && stem.at(keep + 1).isLowSurrogate();
        const int size = pair ? 4 : c.unicode() < 0x80 ? 1 : c.unicode() < 0x800 ? 2 : 3;
        if (bytes + size > budget)
            break;
        bytes += size;
        keep += pair ? 2 : 1;
    }
    return stem.left(keep) + ext;
}

bool LocalFileNaming::IsInside(const QString& path, const QString& baseDir)
{
    const QString base = QDir::cleanPath(baseDir);
    const QString clean = QDir::cleanPath(path);
    const QString prefix = base.endsWith(QLatin1Char('/')) ? base : base + QLatin1Char('/');
    return clean.startsWith(prefix) && clean.size() > prefix.size();
}
