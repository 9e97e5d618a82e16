#include "platform/Trash.h"

#include "platform/TrashFolders.h"
#include "platform/TrashInfo.h"

#include <QFile>
#include <QLocale>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace platform {

namespace {

// Every attempt at a name: the name, the numbered ones, then random suffixes.
constexpr int kNameAttempts = kLastNumberedName + 32;

int renameNoReplace(int fromFolder, const char* from, int toFolder, const char* to)
{
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 28))
    return ::renameat2(fromFolder, from, toFolder, to, RENAME_NOREPLACE);
#else
    return int(::syscall(SYS_renameat2, fromFolder, from, toFolder, to, RENAME_NOREPLACE));
#endif
}

bool writeAll(int fd, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = ENOSPC;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd)
        : m_fd(fd)
    {
    }
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// The canonical path of an open folder, as the kernel knows it.
QByteArray folderPath(int fd, const QByteArray& fallback)
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[PATH_MAX + 1];
    const ssize_t length = ::readlink(link, target, PATH_MAX);
    if (length > 0 && target[0] == '/')
        return QByteArray(target, length);
    char* resolved = ::realpath(fallback.constData(), nullptr);
    if (!resolved)
        return fallback;
    QByteArray result(resolved);
    std::free(resolved);
    return result;
}

QByteArray absolutePath(const QByteArray& path)
{
    if (path.startsWith('/'))
        return path;
    char* current = ::getcwd(nullptr, 0);
    if (!current)
        return {};
    QByteArray result(current);
    std::free(current);
    return result.endsWith('/') ? result + path : result + '/' + path;
}

// Moves one file at a time; the trash folders it found stay open until finish().
class Mover {
public:
    TrashOutcome move(const QByteArray& path);
    /** Flushes the folders of every trash used. */
    void finish() { m_folders.syncAll(); }

private:
    TrashFolders m_folders;
};

TrashOutcome failed(TrashOutcome outcome, int errnum, const QString& reason)
{
    outcome.status = TrashStatus::Failed;
    outcome.errnum = errnum;
    outcome.reason = reason;
    return outcome;
}

TrashOutcome failed(TrashOutcome outcome, int errnum)
{
    return failed(std::move(outcome), errnum, trashReasonFor(errnum));
}

TrashOutcome Mover::move(const QByteArray& given)
{
    TrashOutcome outcome;
    outcome.path = QFile::decodeName(given);
    if (given.isEmpty())
        return failed(outcome, ENOENT, QStringLiteral("the path is empty"));

    QByteArray path = absolutePath(given);
    if (path.isEmpty())
        return failed(outcome, errno);
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray parent = slash == 0 ? QByteArray("/") : path.left(slash);
    const QByteArray name = path.mid(slash + 1);
    if (name.isEmpty())
        return failed(outcome, EBUSY, QStringLiteral("it is a mount point"));
    if (name == "." || name == "..")
        return failed(outcome, EINVAL, QStringLiteral("it does not name a file"));

    const FileDescriptor parentFd(::open(parent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (parentFd.get() < 0)
        return failed(outcome, errno);
    struct stat status;
    if (::fstatat(parentFd.get(), name.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return failed(outcome, errno);
    const QByteArray realParent = folderPath(parentFd.get(), parent);
    const QByteArray canonicalPath = realParent.endsWith('/') ? realParent + name : realParent + '/' + name;

    if (S_ISDIR(status.st_mode)) {
        struct stat parentStatus;
        if ((::fstat(parentFd.get(), &parentStatus) == 0 && parentStatus.st_dev != status.st_dev)
            || m_folders.isMountPoint(canonicalPath))
            return failed(outcome, EBUSY, QStringLiteral("it is a mount point"));
    }
    if (m_folders.isInsideTrash(canonicalPath))
        return failed(outcome, EINVAL, QStringLiteral("it is in a Trash folder"));
    if (S_ISDIR(status.st_mode) && m_folders.holdsTrash(canonicalPath))
        return failed(outcome, EINVAL, QStringLiteral("the Trash is inside it"));

    TrashError error;
    TrashFolder* trash = m_folders.folderFor(canonicalPath, status, error);
    if (!trash)
        return failed(outcome, error.errnum, error.reason);

    // The home trash records absolute paths, a drive's trash paths below its top folder.
    QByteArray pathField = canonicalPath;
    if (!trash->isHomeTrash()) {
        const QByteArray& top = trash->topDirectory();
        pathField = canonicalPath.mid(top.endsWith('/') ? top.size() : top.size() + 1);
    }
    const QByteArray record = trashInfoText(percentEncodePath(pathField), trashDeletionDate(std::time(nullptr)));

    for (int attempt = trash->firstAttempt(name); attempt < kNameAttempts; ++attempt) {
        const QByteArray candidate = trashCandidateName(name, attempt);
        const QByteArray infoName = candidate + kTrashInfoSuffix;
        const int infoFd = ::openat(trash->infoFd(), infoName.constData(),
                                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (infoFd < 0) {
            if (errno != EEXIST)
                return failed(outcome, errno);
            trash->rememberTaken(name, attempt + 1);
            continue;
        }
        // The record must be complete on the disk before the file moves, so
        // that a moved file always has its way back.
        bool written = writeAll(infoFd, record) && ::fsync(infoFd) == 0;
        int errnum = errno;
        if (::close(infoFd) != 0 && written) {
            written = false;
            errnum = errno;
        }
        if (!written) {
            ::unlinkat(trash->infoFd(), infoName.constData(), 0);
            return failed(outcome, errnum);
        }
        if (renameNoReplace(parentFd.get(), name.constData(), trash->filesFd(), candidate.constData()) == 0) {
            trash->rememberTaken(name, attempt + 1);
            outcome.status = TrashStatus::Moved;
            outcome.trashedPath = QFile::decodeName(trash->root() + "/files/" + candidate);
            outcome.infoPath = QFile::decodeName(trash->root() + "/info/" + infoName);
            return outcome;
        }
        errnum = errno;
        ::unlinkat(trash->infoFd(), infoName.constData(), 0);
        if (errnum != EEXIST)
            return failed(outcome, errnum);
        trash->rememberTaken(name, attempt + 1);
    }
    return failed(outcome, EEXIST, QStringLiteral("the Trash has no free name for it"));
}

} // namespace

TrashOutcome trashFile(const QString& path)
{
    Mover mover;
    TrashOutcome outcome = mover.move(QFile::encodeName(path));
    mover.finish();
    return outcome;
}

QStringList pathsFromPathList(const QByteArray& pathList)
{
    QStringList paths;
    qsizetype start = 0;
    while (start < pathList.size()) {
        qsizetype end = pathList.indexOf('\0', start);
        if (end < 0)
            end = pathList.size();
        if (end == start)
            break; // the empty entry that ends the list
        paths << QFile::decodeName(pathList.mid(start, end - start));
        start = end + 1;
    }
    return paths;
}

TrashRequest::TrashRequest(const QByteArray& pathList)
    : m_paths(pathsFromPathList(pathList))
{
}

TrashRequest::TrashRequest(const QStringList& paths)
    : m_paths(paths)
{
}

void TrashRequest::setProgress(Progress progress, int intervalMs)
{
    m_progress = std::move(progress);
    m_intervalMs = intervalMs;
}

std::vector<TrashOutcome> TrashRequest::run()
{
    using Clock = std::chrono::steady_clock;
    std::vector<TrashOutcome> outcomes;
    outcomes.reserve(size_t(m_paths.size()));
    Mover mover;
    auto lastReport = Clock::now();
    for (const QString& path : m_paths) {
        if (isCancelled()) {
            TrashOutcome skipped;
            skipped.path = path;
            outcomes.push_back(std::move(skipped));
            continue;
        }
        outcomes.push_back(mover.move(QFile::encodeName(path)));
        if (m_progress && Clock::now() - lastReport >= std::chrono::milliseconds(m_intervalMs)) {
            lastReport = Clock::now();
            m_progress(qsizetype(outcomes.size()), m_paths.size());
        }
    }
    mover.finish();
    if (m_progress)
        m_progress(qsizetype(outcomes.size()), m_paths.size());
    return outcomes;
}

TrashSummary summarizeTrash(const QStringList& paths)
{
    TrashSummary summary;
    summary.fileCount = int(paths.size());
    for (const QString& path : paths) {
        struct stat status;
        if (::lstat(QFile::encodeName(path).constData(), &status) == 0
            && (S_ISREG(status.st_mode) || S_ISLNK(status.st_mode)))
            summary.totalBytes += status.st_size;
    }
    return summary;
}

QString trashQuestionText(const TrashSummary& summary)
{
    const QString files = summary.fileCount == 1 ? QStringLiteral("1 file")
                                                 : QStringLiteral("%1 files").arg(summary.fileCount);
    return QStringLiteral("Move %1 (%2) to the Trash?")
        .arg(files, QLocale::system().formattedDataSize(summary.totalBytes));
}

} // namespace platform
