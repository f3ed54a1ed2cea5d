// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliRunner.h"
#include "platform/Version.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("harvex-cli"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(Version::Text));
    CliRunner runner;
    return runner.Run(QCoreApplication::arguments().mid(1));
}
