#include "platform/FileSystem.h"
#include "platform/FileIdentity.h"

#include "BuildConfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

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

bool writeAll(int fd, const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = ENOSPC;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

QString programFolderFor(const QString& executableFolder, const QString& installedDataFolder)
{
    // Any one of the files the build writes beside the program marks a build tree.
    const QDir beside(executableFolder);
    for (const char* name : {"HAND-M.CUR", "Samples", "translations"}) {
        if (beside.exists(QString::fromLatin1(name)))
            return executableFolder;
    }
    const QString installed = QDir::cleanPath(beside.filePath(installedDataFolder));
    if (QFileInfo(installed).isDir())
        return installed;
    return executableFolder;
}

QString programFolder()
{
    return programFolderFor(QCoreApplication::applicationDirPath(), QString::fromLatin1(kInstalledDataFolder));
}

FileType fileTypeOfMode(unsigned mode)
{
    switch (mode & S_IFMT) {
    case S_IFREG:
        return FileType::Regular;
    case S_IFLNK:
        return FileType::Link;
    case S_IFDIR:
        return FileType::Directory;
    case 0:
        return FileType::Unknown;
    default:
        return FileType::Other;
    }
}

} // namespace platform
