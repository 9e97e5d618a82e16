#include "platform/Trash.h"

#include "platform/DescriptorWait.h"
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

QByteArray absoluteNativePath(const QByteArray& path)
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

// A file checked and given a name in its trash, waiting for its record and its move.
struct Pending {
    TrashOutcome outcome;
    /** How its folder was reached (the listed folder and the names below it), and the folder opened then. */
    QByteArray top;
    std::vector<QByteArray> folderNames;
    std::weak_ptr<const UniqueFd> parentSeen;
    QByteArray name;
    /** What the name held when the file was checked; the rename needs the same. */
    FileIdentity identity;
    TrashFolder* trash = nullptr;
    QByteArray pathField;
    QByteArray deletionDate;
    int attempt = 0;
    QByteArray candidate;
    QByteArray infoName;
    /** True while a record of ours stands under infoName for it (not yet moved). */
    bool recorded = false;
    /** True once its record is written whole, and once it is known to be on the disk. */
    bool written = false;
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

QString noFreeNameReason()
{
    return QCoreApplication::translate("Trash", "the Trash has no free name for it");
}

// Moves files in steps: prepare() checks a file, picks its trash and a free
// name there; the journal is told (begun()) before writeRecord() writes its
// record; complete() makes sure the record is on the disk and only then
// renames the file. A request prepares a batch before writing its records and
// completing it, so that one flush carries the journal lines, or the records,
// of many files. No descriptor is kept per file: a file's folder is reached
// again through the chain, and checked to be the folder that was checked.
class Mover {
public:
    explicit Mover(TrashRequest::BatchBegun begun = {})
        : m_begun(std::move(begun))
    {
    }

    /** Prepares the move of `item`; false with `failure` set when the file cannot go. */
    bool prepare(const TrashItem& item, Pending& pending, TrashOutcome& failure);
    /** What the journal keeps of a prepared file before its record is written. */
    static TrashBegun begun(const Pending& pending);
    /** Writes the record, flushed at once when `flushNow`; false with `failure` set when it cannot be written. */
    bool writeRecord(Pending& pending, bool flushNow, TrashOutcome& failure);
    /** Flushes the drive of `pending`'s trash once for all the records written there; false when it failed. */
    bool flushDrive(Pending& pending);
    /** Makes sure the record is on the disk and moves the file; returns its outcome. */
    TrashOutcome complete(Pending& pending);
    /** Drops a prepared move: the record goes, the file stays. */
    void abandon(Pending& pending);
    /** Prepares and completes one file. */
    TrashOutcome move(const TrashItem& item);
    /** Flushes the folders of every trash used. */
    void finish() { m_folders.syncAll(); }

private:
    bool openParent(const TrashItem& item, Pending& pending, std::shared_ptr<const UniqueFd>& parent,
                    QByteArray& parentPath, TrashError& error);
    std::shared_ptr<const UniqueFd> reachParent(Pending& pending, TrashOutcome& failure);
    int pickName(Pending& pending);
    bool takeNextName(Pending& pending, TrashOutcome& failure);
    void removeRecord(Pending& pending);

    TrashFolders m_folders;
    FolderChain m_chain;
    TrashRequest::BatchBegun m_begun;
};

// Opens the folder that holds the item and sets pending.name, the way to
// reach the folder again, and the folder's path as given; false with `error`
// set when it cannot be reached as it was listed.
bool Mover::openParent(const TrashItem& item, Pending& pending, std::shared_ptr<const UniqueFd>& parent,
                       QByteArray& parentPath, TrashError& error)
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
        QByteArray path = absoluteNativePath(nativePath(item.path));
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
    parent = m_chain.open(top, names, errnum);
    if (parent) {
        pending.top = top;
        pending.folderNames = std::move(names);
        pending.parentSeen = parent;
        return true;
    }
    // Below the listed folder, a link or a file where a folder stood means
    // the tree is not the one that was searched.
    const bool changed = !names.empty() && (errnum == ELOOP || errnum == ENOTDIR);
    error = {errnum, changed ? changedSinceSearchReason() : trashReasonFor(errnum)};
    return false;
}

// The folder of a prepared file, reached again: the very folder that was
// checked, or nullptr with `failure` set.
std::shared_ptr<const UniqueFd> Mover::reachParent(Pending& pending, TrashOutcome& failure)
{
    int errnum = 0;
    std::shared_ptr<const UniqueFd> parent = m_chain.open(pending.top, pending.folderNames, errnum);
    if (!parent) {
        const bool changed = !pending.folderNames.empty() && (errnum == ELOOP || errnum == ENOTDIR);
        failure = failed(pending.outcome, errnum, changed ? changedSinceSearchReason() : trashReasonFor(errnum));
        return nullptr;
    }
    if (parent == pending.parentSeen.lock())
        return parent;
    // Opened anew since the check: it must be the same folder.
    struct stat status;
    if (::fstat(parent->get(), &status) != 0) {
        failure = failed(pending.outcome, errno);
        return nullptr;
    }
    const FileIdentity& folder = pending.outcome.folderIdentity;
    if (quint64(status.st_dev) != folder.device || quint64(status.st_ino) != folder.inode) {
        failure = failed(pending.outcome, 0, changedSinceSearchReason());
        return nullptr;
    }
    pending.parentSeen = parent;
    return parent;
}

// Sets pending.candidate to the first name from pending.attempt on that
// neither a record nor a file holds yet; 0, or the errno that stopped it.
int Mover::pickName(Pending& pending)
{
    TrashFolder& trash = *pending.trash;
    for (; pending.attempt < kNameAttempts; ++pending.attempt) {
        pending.candidate = trashCandidateName(pending.name, pending.attempt);
        pending.infoName = pending.candidate + kTrashInfoSuffix;
        struct stat status;
        const bool recordTaken = ::fstatat(trash.infoFd(), pending.infoName.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0;
        if (!recordTaken && errno != ENOENT)
            return errno;
        const bool fileTaken
            = !recordTaken && ::fstatat(trash.filesFd(), pending.candidate.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0;
        if (!recordTaken && !fileTaken && errno != ENOENT)
            return errno;
        if (!recordTaken && !fileTaken)
            return 0;
        trash.rememberTaken(pending.name, pending.attempt + 1);
    }
    return EEXIST;
}

// Moves on to the next free name after the one picked was found taken, and
// tells the journal before anything is written under it; false with
// `failure` set when there is none.
bool Mover::takeNextName(Pending& pending, TrashOutcome& failure)
{
    pending.trash->rememberTaken(pending.name, ++pending.attempt);
    if (const int errnum = pickName(pending)) {
        failure = failed(pending.outcome, errnum, errnum == EEXIST ? noFreeNameReason() : trashReasonFor(errnum));
        return false;
    }
    if (m_begun)
        m_begun({begun(pending)});
    return true;
}

// Removes the record of a file that stays; pending.recorded stays true when
// that failed (the journal is then told again, see TrashRequest::run()).
void Mover::removeRecord(Pending& pending)
{
    if (pending.recorded && pending.trash->isOpen()
        && (::unlinkat(pending.trash->infoFd(), pending.infoName.constData(), 0) == 0 || errno == ENOENT))
        pending.recorded = false;
}

bool Mover::prepare(const TrashItem& item, Pending& pending, TrashOutcome& failure)
{
    failure.path = item.path;
    pending.outcome.path = item.path;
    auto refuse = [&](int errnum, const QString& reason) {
        failure = failed(failure, errnum, reason);
        return false;
    };
    if (item.path.isEmpty())
        return refuse(ENOENT, QCoreApplication::translate("Trash", "the path is empty"));
    TrashError error;
    QByteArray parentPath;
    std::shared_ptr<const UniqueFd> parent;
    if (!openParent(item, pending, parent, parentPath, error))
        return refuse(error.errnum, error.reason);
    const int parentFd = parent->get();

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
    pending.outcome.realPath = canonicalPath;
    if (S_ISDIR(status.st_mode)) {
        if (folderStatus.st_dev != status.st_dev || m_folders.isMountPoint(canonicalPath))
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
    pending.pathField = percentEncodePath(pathField);
    pending.deletionDate = trashDeletionDate(std::time(nullptr));
    pending.attempt = pending.trash->firstAttempt(pending.name);
    if (const int errnum = pickName(pending))
        return refuse(errnum, errnum == EEXIST ? noFreeNameReason() : trashReasonFor(errnum));
    // The name is this file's now: another file of the batch with the same
    // name picks the next one, before either record exists.
    pending.trash->rememberTaken(pending.name, pending.attempt + 1);
    return true;
}

TrashBegun Mover::begun(const Pending& pending)
{
    return {pending.outcome.path,   pending.trash->root(),         pending.candidate,   pending.outcome.identity,
            pending.outcome.folderIdentity, pending.pathField, pending.deletionDate};
}

bool Mover::writeRecord(Pending& pending, bool flushNow, TrashOutcome& failure)
{
    TrashFolder& trash = *pending.trash;
    pending.written = false;
    TrashError error;
    if (!m_folders.use(trash, error)) {
        failure = failed(pending.outcome, error.errnum, error.reason);
        return false;
    }
    const QByteArray record = trashInfoText(pending.pathField, pending.deletionDate);
    UniqueFd fd;
    for (;;) {
        fd.reset(waitForDescriptor([&] {
            return ::openat(trash.infoFd(), pending.infoName.constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        }));
        if (fd.isValid())
            break;
        if (errno != EEXIST) {
            failure = failed(pending.outcome, errno);
            return false;
        }
        // Taken since the name was picked.
        if (!takeNextName(pending, failure))
            return false;
    }
    pending.recorded = true;
    trash.markWritten();
    const bool written = writeAll(fd.get(), record.constData(), record.size()) && (!flushNow || ::fsync(fd.get()) == 0);
    int errnum = errno;
    if (const int closeErrno = fd.close(); written && closeErrno != 0)
        errnum = closeErrno;
    else if (written) {
        pending.written = true;
        pending.flushed = flushNow;
        return true;
    }
    removeRecord(pending);
    failure = failed(pending.outcome, errnum);
    return false;
}

bool Mover::flushDrive(Pending& pending)
{
    TrashError error;
    return m_folders.use(*pending.trash, error) && ::syncfs(pending.trash->infoFd()) == 0;
}

TrashOutcome Mover::complete(Pending& pending)
{
    TrashFolder& trash = *pending.trash;
    TrashOutcome outcome = pending.outcome;
    TrashError error;
    if (!m_folders.use(trash, error))
        return failed(outcome, error.errnum, error.reason);
    for (;;) {
        // The record must be complete on the disk before the file moves, so
        // that a moved file always has its way back.
        if (!pending.flushed) {
            const UniqueFd record(waitForDescriptor([&] {
                return ::openat(trash.infoFd(), pending.infoName.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
            }));
            if (!record.isValid() || ::fsync(record.get()) != 0) {
                const int errnum = errno;
                removeRecord(pending);
                return failed(outcome, errnum);
            }
            pending.flushed = true;
        }
        const std::shared_ptr<const UniqueFd> parent = reachParent(pending, outcome);
        if (!parent) {
            removeRecord(pending);
            return outcome;
        }
        // The last look before the move: the name must still hold the file
        // that was checked (records may have waited for the disk meanwhile).
        struct stat status;
        const bool looked = ::fstatat(parent->get(), pending.name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0;
        int errnum = errno;
        if (!looked || identityOf(status) != pending.identity) {
            removeRecord(pending);
            return looked ? failed(outcome, 0, changedSinceSearchReason()) : failed(outcome, errnum);
        }
        if (renameNoReplace(parent->get(), pending.name.constData(), trash.filesFd(), pending.candidate.constData()) == 0) {
            trash.rememberTaken(pending.name, pending.attempt + 1);
            // The record now belongs to the file in the Trash.
            pending.recorded = false;
            outcome.status = TrashStatus::Moved;
            outcome.trashedPath = pathFromNative(trash.root() + "/files/" + pending.candidate);
            outcome.infoPath = pathFromNative(trash.root() + "/info/" + pending.infoName);
            // What tells this file from a later one that gets its inode
            // number once the Trash is emptied, for undo to check.
            outcome.drive = trash.drive();
            FileIdentity moved;
            if (statStamp(trash.filesFd(), pending.candidate.constData(), moved, outcome.stamp) != 0
                || moved.inode != pending.identity.inode)
                outcome.stamp = {};
            return outcome;
        }
        errnum = errno;
        removeRecord(pending);
        if (errnum != EEXIST)
            return failed(outcome, errnum);
        // Something without a record took that name in files/; try the next.
        TrashOutcome failure = outcome;
        if (!takeNextName(pending, failure) || !writeRecord(pending, true, failure))
            return failure;
    }
}

void Mover::abandon(Pending& pending)
{
    TrashError error;
    if (pending.recorded && m_folders.use(*pending.trash, error))
        removeRecord(pending);
}

TrashOutcome Mover::move(const TrashItem& item)
{
    Pending pending;
    TrashOutcome failure;
    if (!prepare(item, pending, failure) || !writeRecord(pending, true, failure))
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
    if (m_started)
        m_started();

    Mover mover(m_batchBegun);
    auto lastReport = Clock::now();
    qsizetype done = 0;
    std::vector<std::pair<qsizetype, Pending>> batch;
    while (done < total && !isCancelled()) {
        const qsizetype end = std::min(total, done + kBatchSize);
        batch.clear();
        for (qsizetype i = done; i < end; ++i) {
            Pending pending;
            if (mover.prepare(m_items[size_t(i)], pending, outcomes[size_t(i)]))
                batch.emplace_back(i, std::move(pending));
        }
        // The journal learns of the batch before any of its records exist,
        // so that after a crash each record can be told ours.
        auto tellJournal = [this, &batch](bool leftOnly) {
            std::vector<TrashBegun> begun;
            for (const auto& [index, pending] : batch)
                if (!leftOnly || pending.recorded)
                    begun.push_back(Mover::begun(pending));
            if (m_batchBegun && !begun.empty())
                m_batchBegun(begun);
        };
        tellJournal(false);
        // One flush of each drive carries the records of a big batch while
        // the disks have little else to write. A small batch, or any batch
        // while other programs have much waiting for the disks (a build, a
        // copy to a USB disk), flushes its records one by one, so that it
        // never waits for what others are writing.
        const bool flushEach = batch.size() < kDriveFlushThreshold || !disksAreQuiet();
        const bool journaled = !batch.empty();
        for (auto& [index, pending] : batch)
            mover.writeRecord(pending, flushEach, outcomes[size_t(index)]);
        if (m_beforeMoves)
            m_beforeMoves(done, end);
        const bool cancelled = isCancelled();
        std::vector<TrashFolder*> flushed;
        std::vector<TrashFolder*> unflushed;
        std::vector<TrashOutcome> moved;
        for (auto& [index, pending] : batch) {
            if (!pending.written)
                continue; // its record could not be written: its outcome says why
            if (cancelled) {
                mover.abandon(pending);
                outcomes[size_t(index)] = TrashOutcome();
                outcomes[size_t(index)].path = m_items[size_t(index)].path;
                continue;
            }
            if (!flushEach && !pending.flushed) {
                const bool known = std::find(flushed.begin(), flushed.end(), pending.trash) != flushed.end();
                if (!known && std::find(unflushed.begin(), unflushed.end(), pending.trash) == unflushed.end())
                    (mover.flushDrive(pending) ? flushed : unflushed).push_back(pending.trash);
                pending.flushed = std::find(flushed.begin(), flushed.end(), pending.trash) != flushed.end();
            }
            outcomes[size_t(index)] = mover.complete(pending);
            if (m_batchMoved && outcomes[size_t(index)].moved())
                moved.push_back(outcomes[size_t(index)]);
        }
        // Every file of the batch is moved now, or its record gone; a record
        // that could not be removed is told to the journal again, to be
        // removed by the next request.
        if (m_batchMoved && journaled)
            m_batchMoved(moved);
        tellJournal(true);
        if (cancelled)
            break;
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
