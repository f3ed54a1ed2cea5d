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
    // QSettings keeps the first error it met for as long as the object lives:
    // an earlier failed write, or a badly formed file that was read. A fresh
    // object on the same file starts without it.
    if (m_settings->status() != QSettings::NoError)
        reopen();
    m_settings->setValue(keyPath(key), value);
    m_settings->sync();
    const QSettings::Status status = m_settings->status();
    if (status == QSettings::NoError)
        return true;
    // A badly formed file is still rewritten in good form, and then reads
    // cleanly; a file that could not be written reads as before.
    reopen();
    return status != QSettings::AccessError && m_settings->status() == QSettings::NoError;
}

void SettingsStore::reopen()
{
    m_settings = std::make_unique<QSettings>(m_settings->fileName(), QSettings::IniFormat);
}

QString SettingsStore::FileName() const
{
    return m_settings->fileName();
}
