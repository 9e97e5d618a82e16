// The command line's system calls on Linux.

#include "cli/CliSystem.h"

#include "platform/FileSystem.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

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

qint64 peakMemoryKiB()
{
    struct rusage usage;
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
