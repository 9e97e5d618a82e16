// The settings store on Windows: the per-user registry, where Windows
// programs keep application/section/key settings of this kind:
// HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<application>\<section>,
// each value a string. Values an earlier install stored there are read as
// they are. Every read asks the registry and every write reaches it at once.

#include "platform/SettingsStore.h"

#include <QSettings>

namespace platform {

QString SettingsStore::applicationName()
{
    return QStringLiteral("Brindlewick");
}

QString SettingsStore::sectionName()
{
    return QStringLiteral("Chronopurge Software");
}

QString SettingsStore::defaultFilePath()
{
    return QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\") + applicationName();
}

SettingsStore::SettingsStore(QString filePath)
    : m_filePath(std::move(filePath))
{
}

QString SettingsStore::read(const QString& key, const QString& defaultValue) const
{
    QSettings settings(m_filePath, QSettings::NativeFormat);
    settings.beginGroup(sectionName());
    const QVariant value = settings.value(key);
    return value.isValid() ? value.toString() : defaultValue;
}

void SettingsStore::write(const QString& key, const QString& value)
{
    QSettings settings(m_filePath, QSettings::NativeFormat);
    settings.beginGroup(sectionName());
    // A QString is stored as REG_SZ: text, as every value of this store.
    settings.setValue(key, value);
    settings.endGroup();
    settings.sync();
}

} // namespace platform
