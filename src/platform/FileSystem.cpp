#include "platform/FileSystem.h"
#include "platform/FileIdentity.h"

#include "BuildConfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <random>

#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

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

int renameNoReplace(int fromFolder, const char* from, int toFolder, const char* to)
{
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 28))
    return ::renameat2(fromFolder, from, toFolder, to, RENAME_NOREPLACE);
#else
    return int(::syscall(SYS_renameat2, fromFolder, from, toFolder, to, RENAME_NOREPLACE));
#endif
}

QByteArray pathOfOpenFolder(int fd)
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[PATH_MAX + 1];
    const ssize_t length = ::readlink(link, target, PATH_MAX);
    return length > 0 && target[0] == '/' ? QByteArray(target, length) : QByteArray();
}

QByteArray randomName(int length)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<int> pick(0, int(sizeof(alphabet)) - 2);
    QByteArray name(length, '\0');
    for (char& c : name)
        c = alphabet[pick(generator)];
    return name;
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

FileIdentity identityOf(const struct stat& status)
{
    return {quint64(status.st_dev), quint64(status.st_ino), fileTypeOfMode(status.st_mode)};
}

} // namespace platform
