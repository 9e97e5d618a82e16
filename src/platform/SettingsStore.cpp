#include "platform/SettingsStore.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

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
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QLatin1Char('/') + applicationName() + QLatin1Char('/') + applicationName()
        + QStringLiteral(".ini");
}

SettingsStore::SettingsStore(QString filePath)
    : m_filePath(std::move(filePath))
{
}

QString SettingsStore::read(const QString& key, const QString& defaultValue) const
{
    QSettings settings(m_filePath, QSettings::IniFormat);
    // sync() picks up what another running copy wrote since this process last looked.
    settings.sync();
    settings.beginGroup(sectionName());
    const QVariant value = settings.value(key);
    return value.isValid() ? value.toString() : defaultValue;
}

void SettingsStore::write(const QString& key, const QString& value)
{
    QSettings settings(m_filePath, QSettings::IniFormat);
    settings.sync();
    settings.beginGroup(sectionName());
    settings.setValue(key, value);
    settings.endGroup();
    settings.sync();
}

} // namespace platform
