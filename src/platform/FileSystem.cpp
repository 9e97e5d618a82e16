#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QFile>

#include <sys/stat.h>

namespace platform {

QByteArray nativePath(const QString& path)
{
    return QFile::encodeName(path);
}

bool fileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    struct stat status;
    return ::stat(nativePath(path).constData(), &status) == 0;
}

QString programFolder()
{
    return QCoreApplication::applicationDirPath();
}

} // namespace platform
