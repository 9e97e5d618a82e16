#include "platform/TrashRestore.h"

#include "platform/FileSystem.h"
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

constexpr int kOpenFolder = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// The reasons a file stays in the Trash, in the user's language.
class RestoreTexts {
    Q_DECLARE_TR_FUNCTIONS(TrashRestore)
};

/** One trash folder with its files/ and info/ open, or why it cannot be used. */
struct OpenTrash {
    UniqueFd files;
    UniqueFd info;
    int errnum = 0;

    OpenTrash(int filesFd, int infoFd, int error)
        : files(filesFd)
        , info(infoFd)
        , errnum(error)
    {
    }
};

std::unique_ptr<OpenTrash> openTrash(const QByteArray& root)
{
    const UniqueFd rootFd(::open(root.constData(), kOpenFolder));
    if (!rootFd.isValid())
        return std::make_unique<OpenTrash>(-1, -1, errno);
    struct stat status;
    if (::fstat(rootFd.get(), &status) != 0 || status.st_uid != ::getuid())
        return std::make_unique<OpenTrash>(-1, -1, EPERM);
    const int files = ::openat(rootFd.get(), "files", kOpenFolder);
    const int filesError = errno;
    const int info = ::openat(rootFd.get(), "info", kOpenFolder);
    const int infoError = errno;
    return std::make_unique<OpenTrash>(files, info, files < 0 ? filesError : info < 0 ? infoError : 0);
}

bool sameFile(const struct stat& status, const FileIdentity& identity)
{
    return identityOf(status) == identity;
}

// The Path= field of the record `name` in info/, decoded; std::nullopt when
// there is no readable record.
std::optional<QByteArray> recordedPath(int infoFd, const QByteArray& name)
{
    const UniqueFd fd(::openat(infoFd, (name + kTrashInfoSuffix).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat status;
    if (!fd.isValid() || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size > kLargestRecord)
        return std::nullopt;
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

RestoreOutcome stays(RestoreOutcome outcome, const QString& reason, bool gone = false)
{
    outcome.status = RestoreStatus::Failed;
    outcome.reason = reason;
    outcome.gone = gone;
    return outcome;
}

QString noLongerInTrash()
{
    return RestoreTexts::tr("it is no longer in the Trash");
}

QString nameTakenInTrash()
{
    return RestoreTexts::tr("it is no longer in the Trash (another file has its name there)");
}

// Puts back one file through the checked descriptors; the outcome says how it went.
RestoreOutcome restore(const JournalFile& file, const OpenTrash& trash)
{
    RestoreOutcome outcome;
    outcome.path = pathFromNative(file.originalPath);
    // A drive's Trash is missing while its drive is not connected; its files
    // are not gone for good, so they are tried again by a later undo.
    if (trash.errnum == ENOENT || trash.errnum == ENOTDIR)
        return stays(outcome, RestoreTexts::tr("its Trash folder is missing (is its drive connected?)"));
    if (trash.errnum != 0)
        return stays(outcome,
                     RestoreTexts::tr("its Trash cannot be opened: %1").arg(trashReasonFor(trash.errnum)));

    const qsizetype slash = file.originalPath.lastIndexOf('/');
    const QByteArray folder = slash <= 0 ? QByteArray("/") : file.originalPath.left(slash);
    const QByteArray name = file.originalPath.mid(slash + 1);
    const UniqueFd folderFd(::open(folder.constData(), kOpenFolder));
    const int folderError = errno;
    struct stat folderStatus;
    const bool sameFolder = folderFd.isValid() && ::fstat(folderFd.get(), &folderStatus) == 0
        && sameFile(folderStatus, file.folderIdentity);

    struct stat status;
    if (::fstatat(trash.files.get(), file.trashName.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT)
            return stays(outcome, trashReasonFor(errno));
        // Put back by another tool, or emptied: say which when it is plain.
        struct stat placed;
        if (sameFolder && ::fstatat(folderFd.get(), name.constData(), &placed, AT_SYMLINK_NOFOLLOW) == 0
            && sameFile(placed, file.identity))
            return stays(outcome, RestoreTexts::tr("it is no longer in the Trash (it is back in its place already)"),
                         true);
        return stays(outcome, noLongerInTrash(), true);
    }
    if (!sameFile(status, file.identity))
        return stays(outcome, nameTakenInTrash(), true);

    if (!folderFd.isValid()) {
        struct stat standing;
        if (folderError == ENOENT || ::lstat(folder.constData(), &standing) != 0)
            return stays(outcome, RestoreTexts::tr("its folder is gone"));
        if (S_ISLNK(standing.st_mode))
            return stays(outcome, RestoreTexts::tr("its folder was replaced by a link"));
        if (!S_ISDIR(standing.st_mode))
            return stays(outcome, RestoreTexts::tr("its folder was replaced by a file"));
        return stays(outcome,
                     RestoreTexts::tr("its folder cannot be opened: %1").arg(trashReasonFor(folderError)));
    }
    if (!sameFolder)
        return stays(outcome, RestoreTexts::tr("its folder was replaced by another one"));

    // The record must lead to this very place; a record that names another
    // belongs to a later file that happens to have the same inode number.
    const std::optional<QByteArray> recorded = recordedPath(trash.info.get(), file.trashName);
    if (!recorded)
        return stays(outcome, RestoreTexts::tr("its record in the Trash is missing"));
    const QByteArray realFolder = pathOfOpenFolder(folderFd.get());
    const QByteArray canonicalPath = realFolder == "/" ? '/' + name : realFolder + '/' + name;
    if (!recordNames(*recorded, file.originalPath) && !recordNames(*recorded, canonicalPath))
        return stays(outcome, nameTakenInTrash(), true);

    if (::renameat2(trash.files.get(), file.trashName.constData(), folderFd.get(), name.constData(), RENAME_NOREPLACE)
        != 0) {
        const int errnum = errno;
        if (errnum == EEXIST)
            return stays(outcome, RestoreTexts::tr("its place is taken"));
        if (errnum == ENOENT)
            return stays(outcome, noLongerInTrash(), true);
        if (errnum == EXDEV)
            return stays(outcome, RestoreTexts::tr("it is on another drive than its folder"));
        return stays(outcome, trashReasonFor(errnum));
    }
    outcome.status = RestoreStatus::PutBack;
    if (::unlinkat(trash.info.get(), (file.trashName + kTrashInfoSuffix).constData(), 0) != 0 && errno != ENOENT)
        outcome.reason
            = RestoreTexts::tr("its record in the Trash could not be removed: %1").arg(trashReasonFor(errno));
    return outcome;
}

} // namespace

TrashRestore::TrashRestore(const JournalRequest& request, TrashJournal journal)
    : m_id(request.id)
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

    // Two undos of one request at once would only report each other's files
    // as gone; the second one waits for nothing and says so.
    const UniqueFd lock(::open((m_journal.folder() + '/' + QByteArray::number(m_id)).constData(),
                                 O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (lock.isValid() && ::flock(lock.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        for (RestoreOutcome& outcome : outcomes)
            outcome = stays(outcome, RestoreTexts::tr("another program is putting this request back"));
        return outcomes;
    }

    std::map<QByteArray, std::unique_ptr<OpenTrash>> trashes;
    std::vector<QByteArray> lines;
    auto lastReport = Clock::now();
    qsizetype done = 0;
    for (; done < total && !isCancelled(); ++done) {
        const JournalFile& file = m_files[size_t(done)];
        std::unique_ptr<OpenTrash>& trash = trashes[file.trash];
        if (!trash)
            trash = openTrash(file.trash);
        RestoreOutcome& outcome = outcomes[size_t(done)];
        outcome = restore(file, *trash);
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
        if (trash->files.isValid())
            ::syncfs(trash->files.get());
    if (done == total)
        lines.push_back(TrashJournal::undoneLine(qint64(std::time(nullptr))));
    if (!lines.empty())
        m_journal.append(m_id, lines);
    if (m_progress)
        m_progress(done, total);
    return outcomes;
}

} // namespace platform
