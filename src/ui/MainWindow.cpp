// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/MainWindow.h"

#include "platform/Version.h"

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QString::fromLatin1(Version::Caption));
    resize(800, 600);
}
