#pragma once
// The per-user settings store: text values under one application name and one
// section, kept in an INI file under the XDG config folder. Every read goes to
// the file and every write reaches it at once, so two running copies see each
// other's choices (the last write wins). Nothing is cached, nothing deleted.

#include <QString>

namespace platform {

class SettingsStore {
public:
    /** The application name under which every value is kept. */
    static QString applicationName();
    /** The section under which every value is kept. */
    static QString sectionName();
    /** The per-user file: $XDG_CONFIG_HOME (else ~/.config) + "/Brindlewick/Brindlewick.ini". */
    static QString defaultFilePath();

    /** A store kept in the INI file at `filePath`; the file need not exist yet. */
    explicit SettingsStore(QString filePath);

    /** The stored text under `key`, or `defaultValue` when the key is absent. */
    QString read(const QString& key, const QString& defaultValue) const;
    /** Stores `value` under `key`, replacing any earlier value, and writes the file at once. */
    void write(const QString& key, const QString& value);

    QString filePath() const { return m_filePath; }

private:
    QString m_filePath;
};

} // namespace platform
