#include "TempTree.h"

#include "platform/FileSystem.h"

#include <cerrno>
#include <fcntl.h>
#include <ftw.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

namespace {

// Paths go to the system as platform::nativePath gives them, so a test names
// a file that is not UTF-8 by the text platform::pathFromNative makes of it.
QByteArray bytesOf(const QString& path)
{
    return platform::nativePath(path);
}

bool makeFolders(const QByteArray& path)
{
    for (qsizetype slash = path.indexOf('/', 1); slash != -1; slash = path.indexOf('/', slash + 1)) {
        if (::mkdir(path.left(slash).constData(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    return ::mkdir(path.constData(), 0755) == 0 || errno == EEXIST;
}

QByteArray parentOf(const QByteArray& path)
{
    return path.left(path.lastIndexOf('/'));
}

} // namespace

TempTree::TempTree()
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary folder");
}

TempTree::~TempTree()
{
    // Deepest first, links not followed, mounts not entered. A folder a test
    // left unreadable is opened up on the first pass and emptied on the second.
    const QByteArray root = bytesOf(m_dir.path());
    for (int pass = 0; pass < 2; ++pass) {
        ::nftw(
            root.constData(),
            [](const char* path, const struct stat*, int flag, FTW*) {
                if (flag == FTW_DNR)
                    ::chmod(path, 0700);
                ::remove(path);
                return 0;
            },
            16, FTW_DEPTH | FTW_PHYS | FTW_MOUNT);
    }
}

QString TempTree::file(const QString& relative, const QByteArray& content)
{
    const QString full = path(relative);
    const QByteArray bytes = bytesOf(full);
    makeFolders(parentOf(bytes));
    const int fd = ::open(bytes.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const bool written = fd >= 0 && ::write(fd, content.constData(), size_t(content.size())) == content.size();
    if (fd >= 0)
        ::close(fd);
    if (!written)
        throw std::runtime_error("cannot write " + bytes.toStdString());
    return full;
}

QString TempTree::file(const QString& relative, const QDateTime& modified, const QDateTime& accessed)
{
    const QString full = file(relative);
    setTimes(relative, modified, accessed);
    return full;
}

QString TempTree::dir(const QString& relative)
{
    const QString full = path(relative);
    if (!makeFolders(bytesOf(full)))
        throw std::runtime_error("cannot create " + bytesOf(full).toStdString());
    return full;
}

QString TempTree::symlink(const QString& relative, const QString& target)
{
    const QString full = path(relative);
    makeFolders(parentOf(bytesOf(full)));
    if (::symlink(bytesOf(target).constData(), bytesOf(full).constData()) != 0)
        throw std::runtime_error("cannot link " + bytesOf(full).toStdString());
    return full;
}

void TempTree::setTimes(const QString& relative, const QDateTime& modified, const QDateTime& accessed)
{
    const QDateTime access = accessed.isValid() ? accessed : modified;
    struct timespec times[2];
    times[0].tv_sec = access.toSecsSinceEpoch();
    times[0].tv_nsec = access.time().msec() * 1000000L;
    times[1].tv_sec = modified.toSecsSinceEpoch();
    times[1].tv_nsec = modified.time().msec() * 1000000L;
    if (::utimensat(AT_FDCWD, bytesOf(path(relative)).constData(), times, AT_SYMLINK_NOFOLLOW) != 0)
        throw std::runtime_error("cannot set times of " + relative.toStdString());
}
