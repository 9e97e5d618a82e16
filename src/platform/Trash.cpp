#include "platform/Trash.h"

#include "platform/FileSystem.h"

#include "platform/TrashFolders.h"
#include "platform/TrashInfo.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>

#include <cerrno>
#include <algorithm>
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

// How many files a request prepares before it flushes their records and moves them.
constexpr qsizetype kBatchSize = 32;

// From how many records on a batch one flush of the drive replaces one flush per record.
constexpr size_t kDriveFlushThreshold = 8;

int renameNoReplace(int fromFolder, const char* from, int toFolder, const char* to)
{
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 28))
    return ::renameat2(fromFolder, from, toFolder, to, RENAME_NOREPLACE);
#else
    return int(::syscall(SYS_renameat2, fromFolder, from, toFolder, to, RENAME_NOREPLACE));
#endif
}

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

// A file whose record is written but not yet flushed, waiting for its move.
struct Pending {
    TrashOutcome outcome;
    int parentFd = -1;
    QByteArray name;
    TrashFolder* trash = nullptr;
    QByteArray record;
    int attempt = 0;
    QByteArray candidate;
    QByteArray infoName;
    int infoFd = -1;
    /** True when the record is known to be on the disk already. */
    bool flushed = false;
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

// Moves files in two halves: prepare() checks a file, picks its trash and
// writes its record; complete() flushes the record to the disk and only then
// renames the file. A request prepares a batch before completing it, so that
// one flush of the journal carries the records of many files.
class Mover {
public:
    /** Prepares the move of `path`; false with `failure` set when the file cannot go. */
    bool prepare(const QByteArray& path, Pending& pending, TrashOutcome& failure);
    /** Flushes the record and moves the file; returns its outcome. */
    TrashOutcome complete(Pending& pending);
    /** Drops a prepared move: the record goes, the file stays. */
    void abandon(Pending& pending);
    /** Prepares and completes one file. */
    TrashOutcome move(const QByteArray& path);
    /** Flushes the folders of every trash used. */
    void finish() { m_folders.syncAll(); }

private:
    int writeRecord(Pending& pending);

    TrashFolders m_folders;
};

// Creates the record under the first free name from pending.attempt on and
// writes it; 0, or the errno that stopped it.
int Mover::writeRecord(Pending& pending)
{
    TrashFolder& trash = *pending.trash;
    for (; pending.attempt < kNameAttempts; ++pending.attempt) {
        pending.candidate = trashCandidateName(pending.name, pending.attempt);
        pending.infoName = pending.candidate + kTrashInfoSuffix;
        pending.infoFd = ::openat(trash.infoFd(), pending.infoName.constData(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (pending.infoFd >= 0)
            break;
        if (errno != EEXIST)
            return errno;
        trash.rememberTaken(pending.name, pending.attempt + 1);
    }
    if (pending.infoFd < 0)
        return EEXIST;
    if (!writeAll(pending.infoFd, pending.record.constData(), pending.record.size())) {
        const int errnum = errno;
        ::close(pending.infoFd);
        pending.infoFd = -1;
        ::unlinkat(trash.infoFd(), pending.infoName.constData(), 0);
        return errnum;
    }
    return 0;
}

bool Mover::prepare(const QByteArray& given, Pending& pending, TrashOutcome& failure)
{
    failure.path = QFile::decodeName(given);
    pending.outcome.path = failure.path;
    if (given.isEmpty()) {
        failure = failed(failure, ENOENT, QCoreApplication::translate("Trash", "the path is empty"));
        return false;
    }
    QByteArray path = absolutePath(given);
    if (path.isEmpty()) {
        failure = failed(failure, errno);
        return false;
    }
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray parent = slash == 0 ? QByteArray("/") : path.left(slash);
    pending.name = path.mid(slash + 1);
    if (pending.name.isEmpty()) {
        failure = failed(failure, EBUSY, QCoreApplication::translate("Trash", "it is a mount point"));
        return false;
    }
    if (pending.name == "." || pending.name == "..") {
        failure = failed(failure, EINVAL, QCoreApplication::translate("Trash", "it does not name a file"));
        return false;
    }

    pending.parentFd = ::open(parent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (pending.parentFd < 0) {
        failure = failed(failure, errno);
        return false;
    }
    auto refuse = [&](int errnum, const QString& reason) {
        ::close(pending.parentFd);
        pending.parentFd = -1;
        failure = failed(failure, errnum, reason);
        return false;
    };
    struct stat status;
    if (::fstatat(pending.parentFd, pending.name.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return refuse(errno, trashReasonFor(errno));
    const QByteArray realParent = folderPath(pending.parentFd, parent);
    const QByteArray canonicalPath = realParent.endsWith('/') ? realParent + pending.name
                                                              : realParent + '/' + pending.name;

    if (S_ISDIR(status.st_mode)) {
        struct stat parentStatus;
        if ((::fstat(pending.parentFd, &parentStatus) == 0 && parentStatus.st_dev != status.st_dev)
            || m_folders.isMountPoint(canonicalPath))
            return refuse(EBUSY, QCoreApplication::translate("Trash", "it is a mount point"));
    }
    if (m_folders.isInsideTrash(canonicalPath))
        return refuse(EINVAL, QCoreApplication::translate("Trash", "it is in a Trash folder"));
    if (S_ISDIR(status.st_mode) && m_folders.holdsTrash(canonicalPath))
        return refuse(EINVAL, QCoreApplication::translate("Trash", "the Trash is inside it"));

    TrashError error;
    pending.trash = m_folders.folderFor(canonicalPath, status, error);
    if (!pending.trash)
        return refuse(error.errnum, error.reason);

    // The home trash records absolute paths, a drive's trash paths below its top folder.
    QByteArray pathField = canonicalPath;
    if (!pending.trash->isHomeTrash()) {
        const QByteArray& top = pending.trash->topDirectory();
        pathField = canonicalPath.mid(top.endsWith('/') ? top.size() : top.size() + 1);
    }
    pending.record = trashInfoText(percentEncodePath(pathField), trashDeletionDate(std::time(nullptr)));
    pending.attempt = pending.trash->firstAttempt(pending.name);
    if (const int errnum = writeRecord(pending))
        return refuse(errnum, errnum == EEXIST ? QCoreApplication::translate("Trash", "the Trash has no free name for it")
                                               : trashReasonFor(errnum));
    return true;
}

TrashOutcome Mover::complete(Pending& pending)
{
    TrashFolder& trash = *pending.trash;
    TrashOutcome outcome = pending.outcome;
    for (;;) {
        // The record must be complete on the disk before the file moves, so
        // that a moved file always has its way back.
        bool flushed = pending.flushed || ::fsync(pending.infoFd) == 0;
        int errnum = errno;
        pending.flushed = false;
        if (::close(pending.infoFd) != 0 && flushed) {
            flushed = false;
            errnum = errno;
        }
        pending.infoFd = -1;
        if (flushed && renameNoReplace(pending.parentFd, pending.name.constData(), trash.filesFd(),
                                       pending.candidate.constData())
                == 0) {
            trash.rememberTaken(pending.name, pending.attempt + 1);
            outcome.status = TrashStatus::Moved;
            outcome.trashedPath = QFile::decodeName(trash.root() + "/files/" + pending.candidate);
            outcome.infoPath = QFile::decodeName(trash.root() + "/info/" + pending.infoName);
            break;
        }
        if (flushed)
            errnum = errno;
        ::unlinkat(trash.infoFd(), pending.infoName.constData(), 0);
        if (!flushed || errnum != EEXIST) {
            outcome = failed(outcome, errnum);
            break;
        }
        // Something without a record holds that name in files/; try the next.
        trash.rememberTaken(pending.name, ++pending.attempt);
        if (const int recordErrno = writeRecord(pending)) {
            outcome = failed(outcome, recordErrno,
                             recordErrno == EEXIST ? QCoreApplication::translate("Trash", "the Trash has no free name for it")
                                                   : trashReasonFor(recordErrno));
            break;
        }
    }
    ::close(pending.parentFd);
    pending.parentFd = -1;
    return outcome;
}

void Mover::abandon(Pending& pending)
{
    if (pending.infoFd >= 0) {
        ::close(pending.infoFd);
        ::unlinkat(pending.trash->infoFd(), pending.infoName.constData(), 0);
    }
    if (pending.parentFd >= 0)
        ::close(pending.parentFd);
    pending.infoFd = pending.parentFd = -1;
}

TrashOutcome Mover::move(const QByteArray& path)
{
    Pending pending;
    TrashOutcome failure;
    if (!prepare(path, pending, failure))
        return failure;
    return complete(pending);
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
    const qsizetype total = m_paths.size();
    std::vector<TrashOutcome> outcomes{static_cast<size_t>(total)};
    for (qsizetype i = 0; i < total; ++i)
        outcomes[size_t(i)].path = m_paths[i];

    Mover mover;
    auto lastReport = Clock::now();
    qsizetype done = 0;
    std::vector<std::pair<qsizetype, Pending>> batch;
    while (done < total && !isCancelled()) {
        // Records of a batch are written first and flushed together below.
        const qsizetype end = std::min(total, done + kBatchSize);
        batch.clear();
        for (qsizetype i = done; i < end; ++i) {
            Pending pending;
            if (mover.prepare(QFile::encodeName(m_paths[i]), pending, outcomes[size_t(i)]))
                batch.emplace_back(i, std::move(pending));
        }
        if (isCancelled()) {
            for (auto& [index, pending] : batch) {
                mover.abandon(pending);
                outcomes[size_t(index)] = TrashOutcome{m_paths[index], TrashStatus::NotAttempted, {}, {}, 0, {}};
            }
            break;
        }
        // One flush of each drive carries the records of a big batch; a few
        // records are flushed one by one, so that a small request never waits
        // for what other programs are writing to the same drive.
        std::vector<TrashFolder*> flushedTrashes;
        for (auto& [index, pending] : batch) {
            if (batch.size() < kDriveFlushThreshold)
                break;
            if (std::find(flushedTrashes.begin(), flushedTrashes.end(), pending.trash) == flushedTrashes.end()) {
                if (::syncfs(pending.trash->infoFd()) != 0)
                    continue;
                flushedTrashes.push_back(pending.trash);
            }
            pending.flushed = true;
        }
        for (auto& [index, pending] : batch)
            outcomes[size_t(index)] = mover.complete(pending);
        done = end;
        if (m_progress && Clock::now() - lastReport >= std::chrono::milliseconds(m_intervalMs)) {
            lastReport = Clock::now();
            m_progress(done, total);
        }
    }
    mover.finish();
    if (m_progress)
        m_progress(done, total);
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
    const QString files = summary.fileCount == 1
        ? QCoreApplication::translate("Trash", "1 file")
        : QCoreApplication::translate("Trash", "%1 files").arg(summary.fileCount);
    return QCoreApplication::translate("Trash", "Move %1 (%2) to the Trash?")
        .arg(files, QLocale::system().formattedDataSize(summary.totalBytes));
}

} // namespace platform
