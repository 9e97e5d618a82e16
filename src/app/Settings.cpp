#include "app/Settings.h"

#include "app/Failure.h"

namespace settings {

bool toBoolean(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (trimmed.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    bool isNumber = false;
    const double number = trimmed.toDouble(&isNumber);
    if (!isNumber)
        fail(QStringLiteral("Type mismatch"));
    return number != 0.0;
}

QString booleanText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

bool readBoolean(const platform::SettingsStore& store, const QString& key, int defaultNumber)
{
    return toBoolean(store.read(key, QString::number(defaultNumber)));
}

void writeBoolean(platform::SettingsStore& store, const QString& key, bool value)
{
    store.write(key, booleanText(value));
}

} // namespace settings
