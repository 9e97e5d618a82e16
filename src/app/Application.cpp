#include "app/Application.h"

namespace {

QString& storedTitle()
{
    static QString title = QStringLiteral("Chronopurge");
    return title;
}

} // namespace

QString appTitleFor(const QString& productName)
{
    QString title = productName;
    do {
        const qsizetype space = title.lastIndexOf(QLatin1Char(' '));
        if (space < 0)
            break;
        title.truncate(space);
    } while (title.size() > kMaxAppTitleLength);
    return title;
}

void SetAppTitle()
{
    storedTitle() = appTitleFor(QString::fromLatin1(kProductName));
}

QString appTitle()
{
    return storedTitle();
}
