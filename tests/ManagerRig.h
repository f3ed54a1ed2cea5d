// SPDX-License-Identifier: GPL-3.0-or-later
// A download manager for one test: its own settings file and base folder in a temporary
// folder, scripted dialogs, short ticks.
#pragma once

#include "engine/HttpFiles.h"
#include "manager/DownloadManager.h"
#include "manager/Startup.h"
#include "platform/SettingsStore.h"
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

struct ManagerRig
{
    static constexpr int TickMs = 20;

    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> store;
    ScriptedDialogs dialogs;
    std::unique_ptr<DownloadManager> m;
    bool baseDirOk = false;

    // maxParallel slots; tweak runs between loading the settings and creating the slots.
    explicit ManagerRig(int maxParallel, const std::function<void(DownloadManager&)>& tweak = {})
    {
        store = std::make_unique<SettingsStore>(dir.filePath(QStringLiteral("settings.ini")));
        QDir().mkpath(base());
        store->Set(QStringLiteral("Base Dir"), base());
        store->Set(QStringLiteral("Max Parallel"), QString::number(maxParallel));
        m = std::make_unique<DownloadManager>(dialogs, *store);
        baseDirOk = Startup::Run(*m, [&](DownloadManager& manager) {
            manager.setTickInterval(TickMs);
            // Generous reply wait in ticks; one tick between tries.
            manager.Overrides().ConnectTimeout = 150;
            manager.Overrides().TryInterval = 1;
            if (tweak)
                tweak(manager);
        });
    }

    QString base() const { return dir.filePath(QStringLiteral("base")); }
    // The local file of a URL of host 127.0.0.1:port under "Replicate Url path".
    static QString local(const QString& base, quint16 port, const QString& path)
    {
        return base + QStringLiteral("/127.0.0.1%3A") + QString::number(port) + path;
    }
    QString local(quint16 port, const QString& path) const { return local(base(), port, path); }
    QString programLog() const { return QString::fromUtf8(readFile(base() + "/Harvex_0.log")); }
    bool waitIdle(int timeoutMs = 15000)
    {
        if (!m->StopEnabled())
            return true;
        QSignalSpy finished(m.get(), &DownloadManager::RunFinished);
        return finished.wait(timeoutMs);
    }
};

// "HTTP/1.0 200 OK" with a length and the body.
inline QByteArray okReply(const QByteArray& body)
{
    return "HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" +
           body;
}
