// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <memory>

class QSettings;

// The per-user settings store: text values under application "Harvex®",
// section "Configurations". An INI file kept by QSettings, by default
// $XDG_CONFIG_HOME/Harvex®/Harvex®.ini (~/.config/Harvex®/Harvex®.ini),
// group [Configurations]. Keys are written in QSettings' INI escaping
// ("Base Dir" is stored as Base%20Dir), so a file written by hand that way
// is read back.
class SettingsStore
{
public:
    // The user's store (user scope, organization and application "Harvex®").
    SettingsStore();
    // A store kept in the given INI file (tests, portable setups).
    explicit SettingsStore(const QString& iniFile);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // The stored text of the key, or defaultValue when the key does not exist.
    QString Get(const QString& key, const QString& defaultValue = QString()) const;
    bool Contains(const QString& key) const;
    // Stores the text and writes the file through. False when the file could
    // not be written (the value may still be held in memory for this run).
    bool Set(const QString& key, const QString& value);

    // The path of the INI file.
    QString FileName() const;

private:
    void reopen();

    std::unique_ptr<QSettings> m_settings;
};
