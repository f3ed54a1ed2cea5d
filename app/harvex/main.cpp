// SPDX-License-Identifier: GPL-3.0-or-later
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
    MainWindow window;
    window.show();
    return app.exec();
}
