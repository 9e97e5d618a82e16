#include "app/ApplicationIcon.h"

#include "BuildConfig.h"

#include <QDir>

QIcon applicationIcon()
{
    // The build puts each size at :/icons/<N>x<N>/apps/<name>.png.
    QIcon icon;
    const QDir sizes(QStringLiteral(":/icons"));
    for (const QString& size : sizes.entryList(QDir::Dirs)) {
        const QString file = QStringLiteral(":/icons/%1/apps/%2.png").arg(size, QString::fromLatin1(kDesktopFileName));
        if (QFile::exists(file))
            icon.addFile(file);
    }
    return icon;
}
