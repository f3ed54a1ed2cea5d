// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/NewFolder.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <sys/stat.h>

QString NewFolder::NameRefusal(const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("Enter a name for the new folder.");
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("\"%1\" cannot be a folder name.").arg(name);
    if (name.contains(QLatin1Char('/')))
        return QStringLiteral("A folder name cannot contain \"/\".");
    if (name.contains(QChar(0)))
        return QStringLiteral("A folder name cannot contain a NUL character.");
    return {};
}

bool NewFolder::Create(const QString& parent, const QString& name, QString& created, QString& error)
{
    error = NameRefusal(name);
    if (!error.isEmpty())
        return false;
    const QString path = QDir(parent).filePath(name);
    // mkdir() rather than QDir::mkdir: its errno is the reason the user needs to see.
    if (::mkdir(QFile::encodeName(path).constData(), 0777) != 0) {
        error = QStringLiteral("Cannot create %1: %2").arg(path, qt_error_string(errno));
        return false;
    }
    created = path;
    return true;
}
