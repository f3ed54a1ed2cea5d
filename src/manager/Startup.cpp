// SPDX-License-Identifier: GPL-3.0-or-later
#include "manager/Startup.h"

#include "lists/FileTypeList.h"
#include "lists/JobList.h"
#include "manager/DownloadLogs.h"
#include "manager/DownloadManager.h"
#include "manager/Scheduler.h"
#include "platform/Dialogs.h"
#include "platform/Version.h"
#include "settings/ParamFile.h"

#include <QFileInfo>

bool Startup::Run(DownloadManager& m, const Adjust& adjust)
{
    // The saved settings: base folder, Max Parallel, path option, check boxes.
    m.options().LoadSettings(m.Store());
    if (adjust)
        adjust(m);

    // One slot and one monitor row per allowed parallel connection.
    m.CreateControls(m.options().MaxParallel());

    // Built-in page extensions, link template, error codes and request-header lists.
    ParamFile::SetBuiltIns(m.Params());
    m.List2().setToolTipText(QString::fromUtf8(Version::Caption));
    m.scheduler().SetIdle(true);

    // The file-type lists from their saved texts.
    m.DataTypes().Clear();
    m.DataTypes().StringToList(m.options().DataExt());
    m.PageTypes().Clear();
    m.PageTypes().StringToList(m.options().UrlExt());
    m.RebuildExtPatterns();

    m.Logs().OpenLogFile(m.BaseDir());
    // The job list refuses to move rows while the run that owns them goes.
    m.Jobs().SetRunGoing([&m] { return m.StopEnabled(); });
    m.Jobs().RefreshJobQueue();
    m.gStatEx(false, StatusLine::Tag());
    m.Settime();

    // param.dat may replace the three strings and add choices; the link pattern is built
    // from the template in force after it.
    ParamFile::ReadParamFile(m.BaseDir(), m.Params());
    ParamFile::FillUserAgents(m.Params());
    m.Jobs().setDataFilter(m.Params().DataFilter);

    m.State().IsIdle = true;
    return CheckBaseDir(m);
}

bool Startup::CheckBaseDir(DownloadManager& m)
{
    const QString dir = m.BaseDir();
    if (!dir.isEmpty() && QFileInfo(dir).isDir())
        return true;
    m.dialogs().MsgBox(QStringLiteral("The Base directory (") + dir +
                           QStringLiteral(") couldn't be found..\r\n"
                                          "Please do fix it and restart Harvex..."),
                       QStringLiteral("Path Error..??"), Dialogs::Icon::Critical);
    Q_EMIT m.BaseDirMissing();
    return false;
}
