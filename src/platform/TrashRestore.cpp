#include "platform/TrashRestore.h"
#include "platform/TrashJournalCommon.h"

#include "platform/DescriptorWait.h"
#include "platform/FileSystem.h"
#include "platform/FolderFlags.h"
#include "platform/TrashDriveIdentity.h"
#include "platform/TrashFolders.h"
#include "platform/TrashInfo.h"
#include "platform/UniqueFd.h"

#include <QCoreApplication>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <map>
#include <memory>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// How many files are put back between two appends to the journal.
constexpr size_t kJournalBatch = 32;

// A .trashinfo record is a few lines; anything larger is not one of ours.
constexpr qsizetype kLargestRecord = 64 * 1024;

// The reasons a file stays in the Trash, in the user's language.
class RestoreTexts {
    Q_DECLARE_TR_FUNCTIONS(TrashRestore)
};

// True for the failures that may pass by themselves or once the user acts:
// resources running short, a drive that is busy, away or read-only for now.
bool mayPassFor(int errnum)
{
    switch (errnum) {
    case EMFILE:
    case ENFILE:
    case ENOMEM:
    case ENOBUFS:
    case EAGAIN:
    case EINTR:
    case EIO:
    case EBUSY:
    case ETIMEDOUT:
    case ESTALE:
    case ENOTCONN:
    case EROFS:
    case ENOSPC:
    case EDQUOT:
        return true;
    default:
        return false;
    }
}

// True when `path` lies below `top`, the folder a drive is mounted on; never
// for a top of "/".
bool isBelowTop(const QByteArray& path, const QByteArray& top)
{
    return path.size() > top.size() && path.startsWith(top) && path[top.size()] == '/';
}

/** One trash folder with its files/ and info/ open, or why its files cannot be tried now. */
struct OpenTrash {
    UniqueFd files;
    UniqueFd info;
    int errnum = 0;
    /** Why none of its files can be tried now; empty when they can. */
    QString problem;
    /** True when the journal describes the trash's drive (journals before that do not). */
    bool driveKnown = false;
    /** The device number the drive had and has now; they differ when it came back renumbered. */
    quint64 recordedDevice = 0;
    quint64 currentDevice = 0;
    /** The mount root the drive had and has now, when it is mounted elsewhere. */
    QByteArray recordedTop;
    QByteArray currentTop;

    /** A recorded device number as it is now. */
    quint64 device(quint64 recorded) const
    {
        return driveKnown && recorded == recordedDevice ? currentDevice : recorded;
    }
    /** A recorded path on the drive as it is now. */
    QByteArray path(const QByteArray& recorded) const
    {
        if (currentTop.isEmpty() || !isBelowTop(recorded, recordedTop))
            return recorded;
        return currentTop + recorded.mid(recordedTop.size());
    }
};

// A folder of the journal's choosing that is no trash on its drive's top folder.
constexpr int kNotATrash = -1;

// Opens the trash folder at `root` (ours, not through a link, on its drive's
// top folder) with its files/ and info/; 0, or the errno that stopped it
// (kNotATrash for a folder that is no trash of its drive).
int openTrashAt(const QByteArray& root, OpenTrash& trash)
{
    if (!isTrashOfItsDrive(root))
        return kNotATrash;
    const UniqueFd rootFd(waitForDescriptor([&] { return ::open(root.constData(), kOpenFolderNoLinkFlags); }));
    if (!rootFd.isValid())
        return errno;
    struct stat status;
    if (::fstat(rootFd.get(), &status) != 0 || status.st_uid != ::getuid())
        return EPERM;
    trash.files.reset(waitForDescriptor([&] { return ::openat(rootFd.get(), "files", kOpenFolderNoLinkFlags); }));
    if (!trash.files.isValid())
        return errno;
    trash.info.reset(waitForDescriptor([&] { return ::openat(rootFd.get(), "info", kOpenFolderNoLinkFlags); }));
    if (!trash.info.isValid()) {
        const int errnum = errno;
        trash.files.reset();
        return errnum;
    }
    return 0;
}

// The nearest folder at or above `path` that exists, opened.
UniqueFd nearestFolder(QByteArray path)
{
    for (;;) {
        UniqueFd fd(waitForDescriptor([&] { return ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
        if (fd.isValid() || path == "/" || path.isEmpty())
            return fd;
        const qsizetype slash = path.lastIndexOf('/');
        path = slash <= 0 ? QByteArray("/") : path.left(slash);
    }
}

// Finds the trash at `root` that the journal describes by `recorded`: at its
// place, on the same drive under another device number, or where that drive
// is mounted now. Without a description (older journals) the trash at `root`
// is taken as it is.
std::unique_ptr<OpenTrash> openTrash(const QByteArray& root, const TrashDrive* recorded)
{
    auto trash = std::make_unique<OpenTrash>();
    int errnum = openTrashAt(root, *trash);
    if (!recorded) {
        trash->errnum = errnum;
        return trash;
    }
    trash->driveKnown = true;
    trash->recordedDevice = recorded->device;
    if (errnum == 0) {
        const TrashDrive now = trashDriveOf(trash->files.get(), recorded->top);
        if (sameDrive(*recorded, now)) {
            trash->currentDevice = now.device;
            return trash;
        }
        // Another drive stands where the files' drive was.
        trash->files.reset();
        trash->info.reset();
        errnum = ENOENT;
    }
    // A trash that is not on its drive's top folder now may be on a drive
    // mounted elsewhere: it is looked for below.
    if (errnum != ENOENT && errnum != ENOTDIR && errnum != kNotATrash) {
        trash->errnum = errnum;
        return trash;
    }
    // The drive is mounted elsewhere, or not at all: looked for by what
    // identifies it, and its trash must be the very folder that took the files.
    if (!recorded->top.isEmpty() && recorded->top != "/" && isBelowTop(root, recorded->top)) {
        for (const QByteArray& point : mountPointsOfDrive(*recorded)) {
            OpenTrash found;
            if (point == recorded->top || openTrashAt(point + root.mid(recorded->top.size()), found) != 0)
                continue;
            const TrashDrive now = trashDriveOf(found.files.get(), point);
            if (!sameDrive(*recorded, now) || now.filesInode != recorded->filesInode)
                continue;
            trash->files = std::move(found.files);
            trash->info = std::move(found.info);
            trash->currentDevice = now.device;
            trash->recordedTop = recorded->top;
            trash->currentTop = point;
            return trash;
        }
    }
    // The drive is here, and only its trash folder is missing.
    const UniqueFd above = nearestFolder(root);
    if (above.isValid() && sameDrive(*recorded, trashDriveOf(above.get(), recorded->top)))
        trash->problem = RestoreTexts::tr("its Trash folder is missing");
    else
        trash->problem = RestoreTexts::tr("the drive of these files is not attached");
    return trash;
}

FileIdentity asNow(FileIdentity identity, const OpenTrash& trash)
{
    identity.device = trash.device(identity.device);
    return identity;
}

// True when the stamp taken now is the one taken right after the move.
bool sameStamp(const FileStamp& now, const FileStamp& recorded)
{
    if (!recorded.known())
        return true;
    if (now.changeSeconds != recorded.changeSeconds || now.changeNanoseconds != recorded.changeNanoseconds
        || now.size != recorded.size)
        return false;
    return !now.hasBirthTime || !recorded.hasBirthTime
        || (now.birthSeconds == recorded.birthSeconds && now.birthNanoseconds == recorded.birthNanoseconds);
}

// The Path= field of the record `name` in info/, decoded; std::nullopt when
// there is no readable record.
std::optional<QByteArray> recordedPath(int infoFd, const QByteArray& name)
{
    // Without O_NONBLOCK a FIFO under the record's name would hang the open.
    const QByteArray record = name + kTrashInfoSuffix;
    const UniqueFd fd(waitForDescriptor(
        [&] { return ::openat(infoFd, record.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC); }));
    struct stat status;
    if (!fd.isValid() || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size > kLargestRecord)
        return std::nullopt;
    // The file may have grown since; what is read stays within the bound.
    QByteArray text(qsizetype(status.st_size), '\0');
    const ssize_t length = ::read(fd.get(), text.data(), size_t(text.size()));
    if (length < 0)
        return std::nullopt;
    text.truncate(length);
    for (const QByteArray& line : text.split('\n')) {
        if (line.startsWith("Path="))
            return percentDecodePath(line.mid(5));
    }
    return std::nullopt;
}

// True when the record's path names `canonicalPath`: the same absolute path
// (the home trash), or the path below the drive's top folder (a drive's trash).
bool recordNames(const QByteArray& recorded, const QByteArray& canonicalPath)
{
    if (recorded.startsWith('/'))
        return recorded == canonicalPath;
    return !recorded.isEmpty() && canonicalPath.endsWith('/' + recorded);
}

using Keep = RestoreKeep;

Keep keepFor(int errnum)
{
    return mayPassFor(errnum) ? Keep::MayPass : Keep::ForLater;
}

QString noLongerInTrash()
{
    return RestoreTexts::tr("it is no longer in the Trash");
}

QString nameTakenInTrash()
{
    return RestoreTexts::tr("it is no longer in the Trash (another file has its name there)");
}

QByteArray folderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

QByteArray nameOf(const QByteArray& path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

/** The very folder a file came from, open, and the path that led to it; or why there is none. */
struct Destination {
    UniqueFd folder;
    QByteArray path;
    QString reason;
    Keep keep = Keep::ForLater;
};

// Reaches the folder `file` was moved from: by the path as given, through
// the links on it as the kernel follows them for the user (a listed folder
// may be a link the user chose), else by the real path it had. Whatever is
// reached must be that very folder (device and inode).
Destination destinationOf(const JournalFile& file, const OpenTrash& trash)
{
    const FileIdentity expected = asNow(file.folderIdentity, trash);
    std::vector<QByteArray> paths{trash.path(file.originalPath)};
    if (!file.realPath.isEmpty() && trash.path(file.realPath) != paths.front())
        paths.push_back(trash.path(file.realPath));

    Destination destination;
    int firstError = 0;
    bool firstIsAnother = false;
    for (size_t i = 0; i < paths.size(); ++i) {
        const QByteArray folder = folderOf(paths[i]);
        UniqueFd fd(waitForDescriptor([&] { return ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
        const int errnum = errno;
        struct stat status;
        if (fd.isValid() && ::fstat(fd.get(), &status) == 0 && identityOf(status) == expected) {
            destination.folder = std::move(fd);
            destination.path = paths[i];
            return destination;
        }
        if (i == 0) {
            firstError = fd.isValid() ? 0 : errnum;
            firstIsAnother = fd.isValid();
        }
    }

    // Why not, as the path the user gave shows it.
    const QByteArray folder = folderOf(paths.front());
    // A folder the user named through a link is theirs to point elsewhere.
    const bool chosenLink = !file.realPath.isEmpty() && folderOf(file.realPath) != folderOf(file.originalPath);
    struct stat standing;
    const bool stands = ::lstat(folder.constData(), &standing) == 0;
    if (!firstIsAnother && firstError != ENOENT && firstError != ENOTDIR && firstError != ELOOP) {
        destination.reason = RestoreTexts::tr("its folder cannot be opened: %1").arg(trashReasonFor(firstError));
        destination.keep = keepFor(firstError);
    } else if (stands && S_ISLNK(standing.st_mode) && !chosenLink) {
        destination.reason = RestoreTexts::tr("its folder was replaced by a link");
    } else if (firstIsAnother) {
        destination.reason = RestoreTexts::tr("its folder was replaced by another one");
    } else if (stands && !S_ISDIR(standing.st_mode) && !S_ISLNK(standing.st_mode)) {
        destination.reason = RestoreTexts::tr("its folder was replaced by a file");
    } else {
        destination.reason = RestoreTexts::tr("its folder is gone");
    }
    return destination;
}

// Puts back one file through the checked descriptors; the outcome says how it went.
RestoreOutcome restore(const JournalFile& file, const OpenTrash& trash)
{
    RestoreOutcome outcome;
    outcome.path = pathFromNative(file.originalPath);
    // A drive that is away, or a trash that cannot be opened now, keeps its
    // files for a later undo: nothing says they are gone.
    if (!trash.problem.isEmpty())
        return stays(outcome, trash.problem, Keep::MayPass);
    if (trash.errnum == ENOENT || trash.errnum == ENOTDIR)
        return stays(outcome, RestoreTexts::tr("its Trash folder is missing (is its drive connected?)"), Keep::MayPass);
    if (trash.errnum == kNotATrash)
        return stays(outcome, RestoreTexts::tr("its Trash folder is not the Trash of a drive"));
    if (trash.errnum != 0)
        return stays(outcome, RestoreTexts::tr("its Trash cannot be opened: %1").arg(trashReasonFor(trash.errnum)),
                     keepFor(trash.errnum));

    // The name in files/ must hold the very file that moved there.
    FileIdentity standing;
    FileStamp stamp;
    const FileIdentity expected = asNow(file.identity, trash);
    if (statStamp(trash.files.get(), file.trashName.constData(), standing, stamp) != 0) {
        const int errnum = errno;
        if (errnum != ENOENT)
            return stays(outcome, trashReasonFor(errnum), keepFor(errnum));
        // Put back by another tool, or emptied: say which when it is plain.
        const Destination destination = destinationOf(file, trash);
        struct stat placed;
        if (destination.folder.isValid()
            && ::fstatat(destination.folder.get(), nameOf(destination.path).constData(), &placed, AT_SYMLINK_NOFOLLOW) == 0
            && identityOf(placed) == expected)
            return stays(outcome, RestoreTexts::tr("it is no longer in the Trash (it is back in its place already)"),
                         Keep::Gone);
        return stays(outcome, noLongerInTrash(), Keep::Gone);
    }
    // A journal that does not describe the drive cannot tell a drive that came
    // back under another number from another drive: neither says the file is gone.
    if (!trash.driveKnown && standing.device != expected.device)
        return stays(outcome, RestoreTexts::tr("the drive of these files is not attached"), Keep::MayPass);
    // Another file, or a later one that was given the inode number of ours.
    if (standing != expected || !sameStamp(stamp, file.stamp))
        return stays(outcome, nameTakenInTrash(), Keep::Gone);

    Destination destination = destinationOf(file, trash);
    if (!destination.folder.isValid())
        return stays(outcome, destination.reason, destination.keep);
    outcome.path = pathFromNative(destination.path);
    const QByteArray name = nameOf(destination.path);

    // The record must lead to this very place. One that names another was
    // edited, or belongs to another file: the file stays for a later try.
    const std::optional<QByteArray> recorded = recordedPath(trash.info.get(), file.trashName);
    if (!recorded) {
        const int errnum = errno;
        struct stat record;
        if (::fstatat(trash.info.get(), (file.trashName + kTrashInfoSuffix).constData(), &record, AT_SYMLINK_NOFOLLOW) != 0
            && errno == ENOENT)
            return stays(outcome, RestoreTexts::tr("its record in the Trash is missing"));
        return stays(outcome, RestoreTexts::tr("its record in the Trash cannot be read: %1").arg(trashReasonFor(errnum)),
                     Keep::MayPass);
    }
    const QByteArray realFolder = pathOfOpenFolder(destination.folder.get());
    const QByteArray canonicalPath = realFolder == "/" ? '/' + name : realFolder + '/' + name;
    if (!recordNames(*recorded, destination.path) && !recordNames(*recorded, canonicalPath)
        && !recordNames(*recorded, file.originalPath))
        return stays(outcome, RestoreTexts::tr("its record in the Trash names another place"), Keep::MayPass);

    if (renameNoReplace(trash.files.get(), file.trashName.constData(), destination.folder.get(), name.constData()) != 0) {
        const int errnum = errno;
        if (errnum == EEXIST)
            return stays(outcome, RestoreTexts::tr("its place is taken"));
        if (errnum == ENOENT) {
            // Either the file left files/ meanwhile, or its folder was removed.
            struct stat status;
            if (::fstatat(trash.files.get(), file.trashName.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0
                && errno == ENOENT)
                return stays(outcome, noLongerInTrash(), Keep::Gone);
            return stays(outcome, RestoreTexts::tr("its folder is gone"));
        }
        if (errnum == EXDEV)
            return stays(outcome, RestoreTexts::tr("it is on another drive than its folder"));
        return stays(outcome, trashReasonFor(errnum), keepFor(errnum));
    }
    outcome.status = RestoreStatus::PutBack;
    if (::unlinkat(trash.info.get(), (file.trashName + kTrashInfoSuffix).constData(), 0) != 0 && errno != ENOENT)
        outcome.reason
            = RestoreTexts::tr("its record in the Trash could not be removed: %1").arg(trashReasonFor(errno));
    return outcome;
}

// Makes the files put back from `trash` and their removed records last on
// its drive. While other programs have much waiting for the disks, the
// trash's two folders are flushed instead of the whole drive, which would
// wait for all of that (their flush commits the drive's journal on ext4 and
// XFS, the renames into the original folders included).
void flushTrashDrive(const OpenTrash& trash)
{
    if (!trash.files.isValid())
        return;
    if (disksAreQuiet()) {
        ::syncfs(trash.files.get());
        return;
    }
    ::fsync(trash.files.get());
    if (trash.info.isValid())
        ::fsync(trash.info.get());
}

// Closes open trashes until at most `kept` are left, each flushed first; a
// trash closed is opened again when a later file needs it.
void closeTrashesBeyond(std::map<QByteArray, std::unique_ptr<OpenTrash>>& trashes, size_t kept)
{
    while (trashes.size() > kept) {
        const auto oldest = trashes.begin();
        flushTrashDrive(*oldest->second);
        trashes.erase(oldest);
    }
}

} // namespace

TrashRestore::TrashRestore(const JournalRequest& request, TrashJournal journal)
    : m_id(request.id)
    , m_drives(request.drives)
    , m_inProgress(request.inProgress)
    , m_journal(std::move(journal))
{
    for (const JournalFile& file : request.files)
        if (file.state == JournalState::InTrash)
            m_files.push_back(file);
}

void TrashRestore::setProgress(Progress progress, int intervalMs)
{
    m_progress = std::move(progress);
    m_intervalMs = intervalMs;
}

std::vector<RestoreOutcome> TrashRestore::run()
{
    using Clock = std::chrono::steady_clock;
    const qsizetype total = size();
    std::vector<RestoreOutcome> outcomes(m_files.size());
    for (size_t i = 0; i < m_files.size(); ++i)
        outcomes[i].path = pathFromNative(m_files[i].originalPath);

    // Its files are still moving: what it moves next would be left behind.
    if (m_inProgress) {
        for (RestoreOutcome& outcome : outcomes)
            outcome = stays(outcome, RestoreTexts::tr("its move to the Trash is still running"), Keep::MayPass);
        return outcomes;
    }

    // Two undos of one request at once would only report each other's files
    // as gone; the second one waits for nothing and says so.
    const QByteArray journalPath = m_journal.folder() + '/' + QByteArray::number(m_id);
    const UniqueFd lock(waitForDescriptor(
        [&] { return ::open(journalPath.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC); }));
    if (lock.isValid() && ::flock(lock.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        for (RestoreOutcome& outcome : outcomes)
            outcome = stays(outcome, RestoreTexts::tr("another program is putting this request back"), Keep::MayPass);
        return outcomes;
    }

    std::map<QByteArray, std::unique_ptr<OpenTrash>> trashes;
    std::vector<QByteArray> lines;
    auto lastReport = Clock::now();
    qsizetype done = 0;
    bool mayPass = false;
    for (; done < total && !isCancelled(); ++done) {
        const JournalFile& file = m_files[size_t(done)];
        if (!trashes.count(file.trash))
            closeTrashesBeyond(trashes, kOpenTrashes - 1);
        std::unique_ptr<OpenTrash>& trash = trashes[file.trash];
        if (!trash) {
            const auto drive = m_drives.find(file.trash);
            trash = openTrash(file.trash, drive == m_drives.end() ? nullptr : &drive->second);
        }
        RestoreOutcome& outcome = outcomes[size_t(done)];
        outcome = restore(file, *trash);
        mayPass = mayPass || outcome.mayPass;
        if (outcome.putBack())
            lines.push_back(TrashJournal::putBackLine(file.number));
        else if (outcome.gone)
            lines.push_back(TrashJournal::goneLine(file.number));
        if (lines.size() >= kJournalBatch) {
            m_journal.append(m_id, lines);
            lines.clear();
        }
        if (m_progress && Clock::now() - lastReport >= std::chrono::milliseconds(m_intervalMs)) {
            lastReport = Clock::now();
            m_progress(done + 1, total);
        }
    }
    // The folders moved from and to are all on the trashes' drives.
    for (const auto& [root, trash] : trashes)
        flushTrashDrive(*trash);
    // A file kept for a reason that may pass is tried again by a plain undo.
    if (done == total && !mayPass)
        lines.push_back(TrashJournal::undoneLine(qint64(std::time(nullptr))));
    if (!lines.empty())
        m_journal.append(m_id, lines);
    if (m_progress)
        m_progress(done, total);
    return outcomes;
}

} // namespace platform
