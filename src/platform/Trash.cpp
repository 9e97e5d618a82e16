#include "platform/Trash.h"

#include "platform/FileSystem.h"
#include "platform/FolderChain.h"
#include "platform/TrashFolders.h"
#include "platform/TrashInfo.h"

#include <QCoreApplication>
#include <QLocale>

#include <cerrno>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Every attempt at a name: the name, the numbered ones, then random suffixes.
constexpr int kNameAttempts = kLastNumberedName + 32;

// How many files a request prepares before it flushes their records and moves them.
constexpr qsizetype kBatchSize = 32;

// From how many records on a batch one flush of the drive replaces one flush per record.
constexpr size_t kDriveFlushThreshold = 8;

// The canonical path of an open folder, as the kernel knows it; else `fallback` resolved.
QByteArray folderPath(int fd, const QByteArray& fallback)
{
    if (QByteArray path = pathOfOpenFolder(fd); !path.isEmpty())
        return path;
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
    std::shared_ptr<const UniqueFd> parent;
    QByteArray name;
    /** What the name held when the file was checked; the rename needs the same. */
    FileIdentity identity;
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
    /** Prepares the move of `item`; false with `failure` set when the file cannot go. */
    bool prepare(const TrashItem& item, Pending& pending, TrashOutcome& failure);
    /** Flushes the record and moves the file; returns its outcome. */
    TrashOutcome complete(Pending& pending);
    /** Drops a prepared move: the record goes, the file stays. */
    void abandon(Pending& pending);
    /** Prepares and completes one file. */
    TrashOutcome move(const TrashItem& item);
    /** Flushes the folders of every trash used. */
    void finish() { m_folders.syncAll(); }

private:
    int writeRecord(Pending& pending);
    bool openParent(const TrashItem& item, Pending& pending, QByteArray& parentPath, TrashError& error);

    TrashFolders m_folders;
    FolderChain m_chain;
};

// Opens the folder that holds the item and sets pending.name and the folder's
// path as given; false with `error` set when it cannot be reached as it was
// listed.
bool Mover::openParent(const TrashItem& item, Pending& pending, QByteArray& parentPath, TrashError& error)
{
    QByteArray top;
    std::vector<QByteArray> names;
    const qsizetype listedLength = item.listedFolder.size();
    if (listedLength > 0 && item.path.size() > listedLength && item.path.startsWith(item.listedFolder)
        && (item.listedFolder.endsWith(QLatin1Char('/')) || item.path[listedLength] == QLatin1Char('/'))) {
        // Below the listed folder, every step is a bare name.
        top = nativePath(item.listedFolder);
        const QList<QByteArray> steps = nativePath(item.path.mid(listedLength)).split('/');
        for (const QByteArray& step : steps)
            if (!step.isEmpty())
                names.push_back(step);
        if (names.empty()) {
            error = {EINVAL, QCoreApplication::translate("Trash", "it does not name a file")};
            return false;
        }
        pending.name = names.back();
        names.pop_back();
    } else {
        // A bare path: its folder is opened as the path names it.
        QByteArray path = absolutePath(nativePath(item.path));
        if (path.isEmpty()) {
            error = {errno, trashReasonFor(errno)};
            return false;
        }
        while (path.size() > 1 && path.endsWith('/'))
            path.chop(1);
        const qsizetype slash = path.lastIndexOf('/');
        top = slash == 0 ? QByteArray("/") : path.left(slash);
        pending.name = path.mid(slash + 1);
    }
    if (pending.name.isEmpty()) {
        error = {EBUSY, QCoreApplication::translate("Trash", "it is a mount point")};
        return false;
    }
    if (pending.name == "." || pending.name == "..") {
        error = {EINVAL, QCoreApplication::translate("Trash", "it does not name a file")};
        return false;
    }
    parentPath = top;
    for (const QByteArray& name : names)
        parentPath += (parentPath.endsWith('/') ? "" : "/") + name;
    int errnum = 0;
    pending.parent = m_chain.open(top, names, errnum);
    if (pending.parent)
        return true;
    // Below the listed folder, a link or a file where a folder stood means
    // the tree is not the one that was searched.
    const bool changed = !names.empty() && (errnum == ELOOP || errnum == ENOTDIR);
    error = {errnum, changed ? changedSinceSearchReason() : trashReasonFor(errnum)};
    return false;
}

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

bool Mover::prepare(const TrashItem& item, Pending& pending, TrashOutcome& failure)
{
    failure.path = item.path;
    pending.outcome.path = item.path;
    auto refuse = [&](int errnum, const QString& reason) {
        pending.parent.reset();
        failure = failed(failure, errnum, reason);
        return false;
    };
    if (item.path.isEmpty())
        return refuse(ENOENT, QCoreApplication::translate("Trash", "the path is empty"));
    TrashError error;
    QByteArray parentPath;
    if (!openParent(item, pending, parentPath, error))
        return refuse(error.errnum, error.reason);
    const int parentFd = pending.parent->get();

    struct stat status;
    if (::fstatat(parentFd, pending.name.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return refuse(errno, trashReasonFor(errno));
    pending.identity = identityOf(status);
    if (item.expected.known() && pending.identity != item.expected)
        return refuse(0, changedSinceSearchReason());
    // The undo journal keeps what the file and its folder were, to put the
    // file back only into the very folder it came from.
    struct stat folderStatus;
    if (::fstat(parentFd, &folderStatus) != 0)
        return refuse(errno, trashReasonFor(errno));
    pending.outcome.identity = pending.identity;
    pending.outcome.folderIdentity = {quint64(folderStatus.st_dev), quint64(folderStatus.st_ino), FileType::Directory};

    const QByteArray realParent = folderPath(parentFd, parentPath);
    const QByteArray canonicalPath = realParent.endsWith('/') ? realParent + pending.name
                                                              : realParent + '/' + pending.name;
    if (S_ISDIR(status.st_mode)) {
        struct stat parentStatus;
        if ((::fstat(parentFd, &parentStatus) == 0 && parentStatus.st_dev != status.st_dev)
            || m_folders.isMountPoint(canonicalPath))
            return refuse(EBUSY, QCoreApplication::translate("Trash", "it is a mount point"));
        return refuse(EISDIR, QCoreApplication::translate("Trash", "it is a folder"));
    }
    if (m_folders.isInsideTrash(canonicalPath))
        return refuse(EINVAL, QCoreApplication::translate("Trash", "it is in a Trash folder"));

    // The trash is the one of the drive that holds what was opened.
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
    const int parentFd = pending.parent->get();
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
        if (!flushed) {
            ::unlinkat(trash.infoFd(), pending.infoName.constData(), 0);
            outcome = failed(outcome, errnum);
            break;
        }
        // The last look before the move: the name must still hold the file
        // that was checked (records may have waited for the disk meanwhile).
        struct stat status;
        const bool looked = ::fstatat(parentFd, pending.name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0;
        errnum = errno;
        if (!looked || identityOf(status) != pending.identity) {
            ::unlinkat(trash.infoFd(), pending.infoName.constData(), 0);
            outcome = looked ? failed(outcome, 0, changedSinceSearchReason()) : failed(outcome, errnum);
            break;
        }
        if (renameNoReplace(parentFd, pending.name.constData(), trash.filesFd(), pending.candidate.constData()) == 0) {
            trash.rememberTaken(pending.name, pending.attempt + 1);
            outcome.status = TrashStatus::Moved;
            outcome.trashedPath = pathFromNative(trash.root() + "/files/" + pending.candidate);
            outcome.infoPath = pathFromNative(trash.root() + "/info/" + pending.infoName);
            break;
        }
        errnum = errno;
        ::unlinkat(trash.infoFd(), pending.infoName.constData(), 0);
        if (errnum != EEXIST) {
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
    pending.parent.reset();
    return outcome;
}

void Mover::abandon(Pending& pending)
{
    if (pending.infoFd >= 0) {
        ::close(pending.infoFd);
        ::unlinkat(pending.trash->infoFd(), pending.infoName.constData(), 0);
    }
    pending.infoFd = -1;
    pending.parent.reset();
}

TrashOutcome Mover::move(const TrashItem& item)
{
    Pending pending;
    TrashOutcome failure;
    if (!prepare(item, pending, failure))
        return failure;
    return complete(pending);
}

} // namespace

TrashOutcome trashFile(const QString& path)
{
    Mover mover;
    TrashOutcome outcome = mover.move(TrashItem{path, {}, {}, 0});
    mover.finish();
    return outcome;
}

std::vector<TrashOutcome> TrashRequest::run()
{
    using Clock = std::chrono::steady_clock;
    const qsizetype total = qsizetype(m_items.size());
    std::vector<TrashOutcome> outcomes{static_cast<size_t>(total)};
    for (qsizetype i = 0; i < total; ++i)
        outcomes[size_t(i)].path = m_items[size_t(i)].path;

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
            if (mover.prepare(m_items[size_t(i)], pending, outcomes[size_t(i)]))
                batch.emplace_back(i, std::move(pending));
        }
        if (m_beforeMoves)
            m_beforeMoves(done, end);
        if (isCancelled()) {
            for (auto& [index, pending] : batch) {
                mover.abandon(pending);
                outcomes[size_t(index)] = TrashOutcome{m_items[size_t(index)].path, TrashStatus::NotAttempted, {}, {}, 0, {}};
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
        std::vector<TrashOutcome> moved;
        for (auto& [index, pending] : batch) {
            outcomes[size_t(index)] = mover.complete(pending);
            if (m_batchMoved && outcomes[size_t(index)].moved())
                moved.push_back(outcomes[size_t(index)]);
        }
        if (!moved.empty())
            m_batchMoved(moved);
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

} // namespace platform
