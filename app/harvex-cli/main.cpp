// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Version.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("harvex-cli"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(Version::Text));
    const QStringList args = QCoreApplication::arguments();
    if (args.contains(QStringLiteral("--version"))) {
        std::printf("%s\n", Version::Text);
        return 0;
    }
    std::printf("Usage: harvex-cli [options] [LIST_FILE | URL]...\n");
    return args.contains(QStringLiteral("--help")) ? 0 : 2;
}
