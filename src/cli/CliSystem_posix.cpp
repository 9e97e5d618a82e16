// The command line's system calls on Linux.

#include "cli/CliSystem.h"

#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

/** Environment variable `name` as a path, its bytes kept (see platform::pathFromNative). */
QString pathVariable(const char* name)
{
    return platform::pathFromNative(qgetenv(name));
}

} // namespace

QString homeFolder()
{
    return pathVariable("HOME");
}

QString defaultRulesFile()
{
    QString base = pathVariable("XDG_CONFIG_HOME");
    // A relative value is invalid and ignored, as the standard says.
    if (base.isEmpty() || QDir::isRelativePath(base)) {
        const QString home = homeFolder();
        if (home.isEmpty() || QDir::isRelativePath(home))
            return {};
        base = home + QStringLiteral("/.config");
    }
    return QDir::cleanPath(base + QStringLiteral("/chronopurge/rules"));
}

bool isAbsoluteFilePath(QByteArrayView path)
{
    return path.startsWith('/') && !path.endsWith('/');
}

std::optional<QString> folderProblem(const QString& folder)
{
    // Without the "/" this program added, so that a file is "not a folder".
    QByteArray path = platform::nativePath(folder);
    if (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    struct stat status;
    if (::stat(path.constData(), &status) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return QStringLiteral("no such folder");
        return QString::fromLocal8Bit(std::strerror(errno));
    }
    if (!S_ISDIR(status.st_mode))
        return QStringLiteral("not a folder");
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return QStringLiteral("cannot be read: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
    ::close(fd);
    return std::nullopt;
}

std::optional<QString> openInputFile(const QString& path, FileWriters writers, QFile& file)
{
    const int fd = ::open(platform::nativePath(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? QStringLiteral("no such file") : QString::fromLocal8Bit(std::strerror(errno));
    struct stat status;
    const auto refuse = [&](const QString& reason) {
        ::close(fd);
        return std::optional<QString>(reason);
    };
    if (::fstat(fd, &status) != 0)
        return refuse(QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISREG(status.st_mode))
        return refuse(S_ISDIR(status.st_mode) ? QStringLiteral("it is a folder") : QStringLiteral("not a regular file"));
    if (writers == FileWriters::OnlyTheUser) {
        // As ssh does with its keys: a file another user can change must not
        // choose what this user's files go to the Trash. A group that can
        // write is the user's own group, or the file is refused.
        if (status.st_uid != ::geteuid() && status.st_uid != 0)
            return refuse(QStringLiteral("refused: it belongs to another user"));
        if ((status.st_mode & S_IWOTH) || ((status.st_mode & S_IWGRP) && status.st_gid != ::getegid()))
            return refuse(QStringLiteral("refused: other users may change it (chmod go-w)"));
    }
    // Regular files never block; the flag only kept the opening from waiting.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return refuse(file.errorString());
    return std::nullopt;
}

qint64 peakMemoryKiB()
{
    struct rusage usage;
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
