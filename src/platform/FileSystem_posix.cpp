// The file-system calls of FileSystem.h and FileIdentity.h on Linux.

#include "platform/FileIdentity.h"
#include "platform/FileSystem.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace platform {

bool fileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    struct stat status;
    return ::stat(nativePath(path).constData(), &status) == 0;
}

bool isFolder(const QString& path)
{
    struct stat status;
    return !path.isEmpty() && ::stat(nativePath(path).constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

QStringList programArguments(int argc, char* argv[])
{
    QStringList arguments;
    arguments.reserve(argc);
    for (int i = 0; i < argc; ++i)
        arguments << pathFromNative(QByteArrayView(argv[i], qsizetype(std::strlen(argv[i]))));
    return arguments;
}

QString currentFolder()
{
    char* folder = ::getcwd(nullptr, 0);
    if (!folder)
        return QString();
    const QString text = pathFromNative(QByteArrayView(folder, qsizetype(std::strlen(folder))));
    std::free(folder);
    return text;
}

QString absolutePath(const QString& path)
{
    return path.startsWith(QLatin1Char('/')) ? path : currentFolder() + QLatin1Char('/') + path;
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

bool disksAreQuiet()
{
    const int fd = ::open("/proc/meminfo", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char text[4096];
    const ssize_t length = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (length <= 0)
        return false;
    text[length] = '\0';
    qint64 waiting = 0;
    for (const char* key : {"\nDirty:", "\nWriteback:"}) {
        const char* line = std::strstr(text, key);
        char* end = nullptr;
        const long long kib = line ? std::strtoll(line + std::strlen(key), &end, 10) : -1;
        if (!line || end == line + std::strlen(key) || kib < 0)
            return false;
        waiting += kib;
    }
    return waiting <= kQuietDisksKiB;
}

QByteArray pathOfOpenFolder(int fd)
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[PATH_MAX + 1];
    const ssize_t length = ::readlink(link, target, PATH_MAX);
    return length > 0 && target[0] == '/' ? QByteArray(target, length) : QByteArray();
}

int statStamp(int folder, const char* name, FileIdentity& identity, FileStamp& stamp)
{
    struct statx status;
    if (::statx(folder, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_BASIC_STATS | STATX_BTIME, &status) != 0)
        return -1;
    identity = {quint64(makedev(status.stx_dev_major, status.stx_dev_minor)), quint64(status.stx_ino),
                fileTypeOfMode(status.stx_mode)};
    stamp = {};
    stamp.changeSeconds = status.stx_ctime.tv_sec;
    stamp.changeNanoseconds = status.stx_ctime.tv_nsec;
    stamp.size = qint64(status.stx_size);
    if (status.stx_mask & STATX_BTIME) {
        stamp.hasBirthTime = true;
        stamp.birthSeconds = status.stx_btime.tv_sec;
        stamp.birthNanoseconds = status.stx_btime.tv_nsec;
    }
    return 0;
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
