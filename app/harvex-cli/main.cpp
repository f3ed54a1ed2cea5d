// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliRunner.h"
#include "platform/Version.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    // Qt's own event loop: the GLib one wakes itself through a pipe each time a socket
    // starts or stops waiting to write, two system calls per job that a terminal
    // program has no use for.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("harvex-cli"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(Version::Text));
    CliRunner runner;
    return runner.Run(QCoreApplication::arguments().mid(1));
}
