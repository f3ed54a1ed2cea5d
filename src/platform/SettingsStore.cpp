// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SettingsStore.h"

#include "platform/Version.h"

#include <QSettings>
#include <QStringList>

namespace {
const QString Section = QStringLiteral("Configurations");

QString keyPath(const QString& key)
{
    return Section + QLatin1Char('/') + key;
}
} // namespace

SettingsStore::SettingsStore()
    : m_settings(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                             QString::fromUtf8(Version::ProductName),
                                             QString::fromUtf8(Version::ProductName)))
{
}

SettingsStore::SettingsStore(const QString& iniFile)
    : m_settings(std::make_unique<QSettings>(iniFile, QSettings::IniFormat))
{
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::Get(const QString& key, const QString& defaultValue) const
{
    const QVariant value = m_settings->value(keyPath(key));
    if (!value.isValid())
        return defaultValue;
    // An unquoted value with commas written by hand reads as a list in
    // QSettings' INI format; the store holds texts, so join it back.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

bool SettingsStore::Contains(const QString& key) const
{
    return m_settings->contains(keyPath(key));
}

bool SettingsStore::Set(const QString& key, const QString& value)
{
    m_settings->setValue(keyPath(key), value);
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

QString SettingsStore::FileName() const
{
    return m_settings->fileName();
}
