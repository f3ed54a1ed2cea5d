// SPDX-License-Identifier: GPL-3.0-or-later
// Local file naming of any URL: the path must lie inside the base folder, be free of
// dot segments, and every name in it must fit the file system.
#include "Fuzz.h"
#include "manager/DownloadLogs.h"
#include "manager/LocalFileNaming.h"
#include "platform/ConsoleDialogs.h"

#include <QDir>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    static const QString base = dir.path() + QStringLiteral("/base");
    static DownloadLogs logs; // never opened: logging is silent
    static ConsoleDialogs dialogs;
    if (size < 1)
        return 0;
    NamingOptions options;
    options.BaseDir = base;
    options.PathOption = data[0] & 1;
    options.DetectResume = (data[0] & 2) != 0;
    LocalFileNaming naming(logs, dialogs);
    const QString path = naming.GetLocalFileName(fuzzText(data + 1, size - 1), options);
    if (path.isEmpty())
        return 0;
    need(LocalFileNaming::IsInside(path, base) && QDir::cleanPath(path) == path &&
         !path.contains(QChar(0)));
    for (const QString& name : path.mid(base.size() + 1).split(QLatin1Char('/')))
        need(!name.isEmpty() && name.toUtf8().size() <= LocalFileNaming::MaxNameBytes);
    return 0;
}
