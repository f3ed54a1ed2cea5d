// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMainWindow>

// The main window: a view over the download manager of the core.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
};
