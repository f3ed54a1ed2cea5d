// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileTimes.h"

bool FileTimes::SetLastWriteTime(const QString& fileName, qint64 fileTime)
{
    Q_UNUSED(fileName);
    Q_UNUSED(fileTime);
    return false;
}
