// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SettingsStore.h"
#include "platform/Version.h"
#include "ui/MainWindow.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s\n", Version::Text);
            return 0;
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(Version::ProductName));
    QApplication::setApplicationVersion(QString::fromLatin1(Version::Text));
    // Desktops match the window to the installed harvex.desktop (its name and icon).
    QApplication::setDesktopFileName(QStringLiteral("harvex"));
    // A list file or a folder of list files may be named on the command line.
    const QStringList arguments = QApplication::arguments();
    SettingsStore store;
    MainWindow window(store);
    window.StartUp(arguments.size() > 1 ? arguments.at(1) : QString());
    window.show();
    return app.exec();
}
