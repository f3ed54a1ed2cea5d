// SPDX-License-Identifier: GPL-3.0-or-later
// The main window for one widget test: its own settings file and base folder in a
// temporary folder, scripted answers, short ticks. Header only: only the window's tests
// link the window.
#pragma once

#include "lists/JobList.h"
#include "manager/DownloadManager.h"
#include "platform/SettingsStore.h"
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"
#include "ui/MainWindow.h"

#include <QAction>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <memory>

struct WindowRig
{
    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> store;
    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;
    bool active = false;

    explicit WindowRig(int maxParallel = 3, const QString& winRect = QString())
    {
        QDir().mkpath(base());
        store = std::make_unique<SettingsStore>(dir.filePath(QStringLiteral("settings.ini")));
        store->Set(QStringLiteral("Base Dir"), base());
        store->Set(QStringLiteral("Max Parallel"), QString::number(maxParallel));
        if (!winRect.isEmpty())
            store->Set(QStringLiteral("WinRect"), winRect);
        window = std::make_unique<MainWindow>(*store, &dialogs);
        window->manager().setTickInterval(50);
        window->StartUp();
        window->show();
        window->activateWindow();
        active = QTest::qWaitForWindowActive(window.get());
    }
    QString base() const { return dir.filePath(QStringLiteral("base")); }
    DownloadManager& m() { return window->manager(); }
    // A file in the rig's folder; returns its path.
    QString file(const QString& name, const QByteArray& bytes)
    {
        return writeFile(dir.filePath(name), bytes) ? dir.filePath(name) : QString();
    }
    bool enabled(const char* name) const
    {
        QAction* action = window->command(QString::fromLatin1(name));
        return action && action->isEnabled();
    }
    void addJobs(const QStringList& urls) { m().Jobs().AddJobs(urls.join(QLatin1Char('\n'))); }
    void clickToolbar(const char* key)
    {
        QWidget* button =
            window->toolbar()->widgetForAction(window->command(QString::fromLatin1(key)));
        QTest::mouseClick(button, Qt::LeftButton);
    }
};
