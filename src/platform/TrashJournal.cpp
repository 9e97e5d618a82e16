#include "platform/TrashJournal.h"
#include "platform/TrashJournalCommon.h"

#include "platform/BoundedLines.h"
#include "platform/DescriptorWait.h"
#include "platform/FileSystem.h"
#include "platform/TrashFolders.h"
#include "platform/TrashInfo.h"
#include "platform/TrashJournalLines.h"
#include "platform/UniqueFd.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

QString systemMessage(int errnum)
{
    return QString::fromLocal8Bit(std::strerror(errnum));
}


bool isFolderAt(const QByteArray& path)
{
    struct stat status;
    return ::stat(path.constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

// Creates the missing folders of `path` below `anchor` (which must exist),
// each with mode 0700, and opens the last one without following a link;
// -1 with errno set when that fails.
int openOrCreateBelow(const QByteArray& anchor, const QByteArray& path)
{
    if (!isFolderAt(anchor)) {
        errno = ENOENT;
        return -1;
    }
    for (qsizetype slash = path.indexOf('/', anchor.size() + 1);; slash = path.indexOf('/', slash + 1)) {
        const QByteArray prefix = slash < 0 ? path : path.left(slash);
        if (::mkdir(prefix.constData(), 0700) != 0 && errno != EEXIST)
            return -1;
        if (slash < 0)
            break;
    }
    const int fd = waitForDescriptor(
        [&] { return ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); });
    if (fd < 0)
        return -1;
    struct stat status;
    if (::fstat(fd, &status) != 0 || status.st_uid != ::getuid()) {
        ::close(fd);
        errno = EPERM;
        return -1;
    }
    return fd;
}

// The folder that must exist before the journal's folders are made below it:
// the home folder, or the state folder's parent. A mistyped $HOME or
// $XDG_STATE_HOME must not grow a tree from the root.
QByteArray creationAnchor(const QByteArray& folder)
{
    const QByteArray home = homeFolder();
    if (!home.isEmpty() && home != "/" && folder.startsWith(home + "/.local/state/"))
        return home;
    QByteArray stateHome = folder;
    constexpr char kBelowStateHome[] = "/chronopurge/trash-journal";
    if (stateHome.endsWith(kBelowStateHome))
        stateHome.chop(qsizetype(std::strlen(kBelowStateHome)));
    const qsizetype slash = stateHome.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : stateHome.left(slash);
}

} // namespace

namespace journal {

std::vector<quint64> idsIn(int folderFd)
{
    std::vector<quint64> ids;
    const int listing = waitForDescriptor([folderFd] { return ::fcntl(folderFd, F_DUPFD_CLOEXEC, 0); });
    if (listing < 0)
        return ids;
    DIR* folder = ::fdopendir(listing);
    if (!folder) {
        ::close(listing);
        return ids;
    }
    while (const dirent* entry = ::readdir(folder)) {
        const char* name = entry->d_name;
        if (*name < '1' || *name > '9')
            continue;
        char* end = nullptr;
        errno = 0;
        const unsigned long long id = std::strtoull(name, &end, 10);
        if (*end == '\0' && errno == 0 && std::strlen(name) < 20)
            ids.push_back(id);
    }
    ::closedir(folder);
    std::sort(ids.begin(), ids.end());
    return ids;
}

QByteArray fileName(quint64 id)
{
    return QByteArray::number(id);
}

// True while the recorder of the request in `path` is alive: it holds a
// write lock on the file from before its first byte until it goes. An empty
// file is a request that has not written its first line yet.
bool requestInProgress(const QByteArray& path)
{
    const UniqueFd fd(waitForDescriptor(
        [&] { return ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC); }));
    struct stat status;
    if (!fd.isValid() || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    if (status.st_size == 0)
        return true;
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return ::fcntl(fd.get(), F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

bool parseNumber(const QByteArray& text, quint64& value)
{
    bool ok = false;
    value = text.toULongLong(&ok);
    return ok;
}

bool parseSigned(const QByteArray& text, qint64& value)
{
    bool ok = false;
    value = text.toLongLong(&ok);
    return ok;
}

// "-" stands for an empty field.
QByteArray decodedField(const QByteArray& field)
{
    return field == "-" ? QByteArray() : percentDecodePath(field);
}

QByteArray encodedField(const QByteArray& value)
{
    return value.isEmpty() ? QByteArray("-") : percentEncodePath(value);
}

// moved-detail <n> <change s> <change ns> <size> <birth s> <birth ns> <real path> end
void parseDetail(const QList<QByteArray>& fields, JournalFile& file)
{
    qint64 values[5] = {};
    bool ok = true;
    for (int f = 0; f < 3; ++f)
        ok = ok && parseSigned(fields[2 + f], values[f]);
    const bool hasBirthTime = fields[5] != "-";
    for (int f = 3; f < 5 && hasBirthTime; ++f)
        ok = ok && parseSigned(fields[2 + f], values[f]);
    if (ok && values[2] >= 0) {
        file.stamp = {values[0], values[1], values[2], hasBirthTime, values[3], values[4]};
    }
    // A real path that could not be one is not used: the original path is.
    const QByteArray realPath = decodedField(fields[7]);
    const qsizetype slash = realPath.lastIndexOf('/');
    const QByteArray last = realPath.mid(slash + 1);
    if (slash >= 0 && realPath.startsWith('/') && !realPath.contains('\0') && !last.isEmpty() && last != "."
        && last != "..")
        file.realPath = realPath;
}

// drive <trash> <device> <files/ inode> <type> <fs id> <uuid> <mount root> end
void parseDrive(const QList<QByteArray>& fields, std::map<QByteArray, TrashDrive>& drives)
{
    TrashDrive drive;
    if (!parseNumber(fields[2], drive.device) || !parseNumber(fields[3], drive.filesInode)
        || !parseNumber(fields[4], drive.type) || !parseNumber(fields[5], drive.fsid))
        return;
    drive.uuid = decodedField(fields[6]);
    drive.top = decodedField(fields[7]);
    drives[percentDecodePath(fields[1])] = drive;
}

std::optional<JournalRequest> parseRequest(BoundedLines& lines, quint64 id, bool keepFiles,
                                           std::vector<JournalState>& states, QStringList* problems,
                                           std::vector<BegunFile>* unsettled)
{
    QByteArray line;
    if (!lines.isOpen() || lines.next(line) != BoundedLines::Line::Whole || line != kHeader)
        return std::nullopt;
    JournalRequest request;
    bool begun = false;
    states.clear();
    const QByteArray homeTrash = recordedHomeTrash();
    for (BoundedLines::Line read; (read = lines.next(line)) != BoundedLines::Line::End;) {
        if (read == BoundedLines::Line::TooLong) {
            report(problems, id, lines.lineNumber(), JournalTexts::tr("it is longer than any record"));
            continue;
        }
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 2 || fields.last() != kEnd)
            continue;
        const QByteArray& kind = fields.first();
        quint64 number = 0;
        if (kind == "request" && fields.size() == 4) {
            qint64 time = 0;
            if (parseNumber(fields[1], number) && number == id && parseSigned(fields[2], time)) {
                request.id = id;
                request.time = time;
                begun = true;
            }
        } else if (kind == "moved" && fields.size() == 11 && begun) {
            quint64 values[6];
            bool ok = true;
            for (int f = 0; f < 6; ++f)
                ok = ok && parseNumber(fields[1 + f], values[f]);
            // Numbers run from 0 without gaps; anything else is not ours.
            if (!ok || values[0] != states.size() || values[3] > quint64(FileType::Other))
                continue;
            JournalFile file;
            file.trash = percentDecodePath(fields[7]);
            file.trashName = percentDecodePath(fields[8]);
            file.originalPath = percentDecodePath(fields[9]);
            // A refused line keeps its number, so that the lines after it
            // are read, and counts as no file in the Trash.
            if (const QString reason = refusal(file.trash, file.trashName, file.originalPath, homeTrash);
                !reason.isEmpty()) {
                report(problems, id, lines.lineNumber(), reason);
                states.push_back(JournalState::Gone);
                continue;
            }
            states.push_back(JournalState::InTrash);
            if (!keepFiles && request.files.size() > 0)
                continue;
            file.number = qsizetype(values[0]);
            file.identity = {values[1], values[2], FileType(values[3])};
            file.folderIdentity = {values[4], values[5], FileType::Directory};
            request.files.push_back(std::move(file));
        } else if (kind == "moved-detail" && fields.size() == 9) {
            // It follows its "moved" line; a refused or missing one has none kept.
            if (parseNumber(fields[1], number) && !request.files.empty()
                && request.files.back().number == qsizetype(number))
                parseDetail(fields, request.files.back());
        } else if (kind == "drive" && fields.size() == 9 && begun) {
            parseDrive(fields, request.drives);
        } else if ((kind == "put-back" || kind == "gone") && fields.size() == 3) {
            if (parseNumber(fields[1], number) && number < states.size())
                states[number] = kind == "gone" ? JournalState::Gone : JournalState::PutBack;
        } else if (kind == "undone" && fields.size() == 3) {
            request.undone = true;
        } else if (unsettled && kind == "begun" && begun) {
            if (std::optional<BegunFile> file = parseBegunLine(fields, homeTrash, problems, id, lines.lineNumber()))
                unsettled->push_back(std::move(*file));
        } else if (unsettled && line == kSettled) {
            unsettled->clear();
        }
    }
    if (!begun)
        return std::nullopt;
    for (JournalFile& file : request.files)
        file.state = states[size_t(file.number)];
    return request;
}

} // namespace journal

namespace {

QByteArray workingFolderBytes()
{
    char* current = ::getcwd(nullptr, 0);
    const QByteArray folder = current ? QByteArray(current) : QByteArray();
    std::free(current);
    return folder;
}

QByteArray driveLine(const QByteArray& trash, const TrashDrive& drive)
{
    QByteArray line = "drive " + percentEncodePath(trash);
    for (const quint64 value : {drive.device, drive.filesInode, drive.type, drive.fsid})
        line += ' ' + QByteArray::number(value);
    return line + ' ' + journal::encodedField(drive.uuid) + ' ' + journal::encodedField(drive.top);
}

QByteArray detailLine(qsizetype number, const TrashOutcome& outcome)
{
    const FileStamp& stamp = outcome.stamp;
    QByteArray line = "moved-detail " + QByteArray::number(number);
    if (stamp.known())
        line += ' ' + QByteArray::number(stamp.changeSeconds) + ' ' + QByteArray::number(stamp.changeNanoseconds) + ' '
            + QByteArray::number(stamp.size);
    else
        line += " 0 0 -1";
    if (stamp.known() && stamp.hasBirthTime)
        line += ' ' + QByteArray::number(stamp.birthSeconds) + ' ' + QByteArray::number(stamp.birthNanoseconds);
    else
        line += " - -";
    return line + ' ' + journal::encodedField(outcome.realPath);
}

QByteArray movedLine(qsizetype number, const TrashOutcome& outcome, const QByteArray& workingFolder)
{
    QByteArray original = nativePath(outcome.path);
    if (!original.startsWith('/'))
        original = workingFolder + '/' + original;
    while (original.size() > 1 && original.endsWith('/'))
        original.chop(1);
    const QByteArray trashed = nativePath(outcome.trashedPath);
    const qsizetype files = trashed.lastIndexOf("/files/");
    const QByteArray trash = trashed.left(files);
    const QByteArray name = trashed.mid(files + 7);
    QByteArray line = "moved " + QByteArray::number(number);
    for (const quint64 value : {outcome.identity.device, outcome.identity.inode, quint64(outcome.identity.type),
                                outcome.folderIdentity.device, outcome.folderIdentity.inode})
        line += ' ' + QByteArray::number(value);
    line += ' ' + percentEncodePath(trash) + ' ' + percentEncodePath(name) + ' ' + percentEncodePath(original);
    return line;
}

} // namespace

using namespace journal;

qsizetype JournalRequest::inTrashCount() const
{
    return std::count_if(files.begin(), files.end(),
                         [](const JournalFile& file) { return file.state == JournalState::InTrash; });
}

QByteArray trashJournalFolder()
{
    // A relative $XDG_STATE_HOME is invalid and ignored, as its standard says.
    const QByteArray stateHome = qgetenv("XDG_STATE_HOME");
    if (stateHome.startsWith('/'))
        return nativePath(QDir::cleanPath(pathFromNative(stateHome))) + "/chronopurge/trash-journal";
    // Nothing is made below "/" for a home that is the root.
    const QByteArray home = homeFolder();
    return home.isEmpty() || home == "/" ? QByteArray() : home + "/.local/state/chronopurge/trash-journal";
}

TrashJournal::TrashJournal(QByteArray folder)
    : m_folder(std::move(folder))
{
}

std::vector<quint64> TrashJournal::requestIds() const
{
    if (m_folder.isEmpty())
        return {};
    const UniqueFd folder = openFolder(m_folder);
    return folder.isValid() ? idsIn(folder.get()) : std::vector<quint64>();
}

bool TrashJournal::inProgress(quint64 id) const
{
    return requestInProgress(m_folder + '/' + fileName(id));
}

bool TrashJournal::anyRequestRunning() const
{
    const UniqueFd fd(::open(m_folder.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return fd.isValid() && ::fcntl(fd.get(), F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

std::optional<JournalRequest> TrashJournal::read(quint64 id, QStringList* problems) const
{
    const UniqueFd folder = openFolder(m_folder);
    if (m_folder.isEmpty() || !folder.isValid())
        return std::nullopt;
    // Asked before the text is read: a request that was over then is whole in it.
    const bool running = inProgress(id);
    std::vector<JournalState> states;
    std::optional<JournalRequest> request
        = parseRequest(*openRequest(folder.get(), id, problems), id, true, states, problems);
    if (request)
        request->inProgress = running;
    return request;
}

std::vector<JournalSummary> TrashJournal::summaries(QStringList* problems) const
{
    std::vector<JournalSummary> summaries;
    std::vector<JournalState> states;
    const UniqueFd folder = openFolder(m_folder);
    if (m_folder.isEmpty() || !folder.isValid())
        return summaries;
    for (const quint64 id : idsIn(folder.get())) {
        const bool running = inProgress(id);
        const std::optional<JournalRequest> request
            = parseRequest(*openRequest(folder.get(), id, problems), id, false, states, problems);
        if (!request || request->files.empty())
            continue;
        summaries.push_back(summarize(id, *request, states, running));
    }
    return summaries;
}

std::optional<QString> TrashJournal::append(quint64 id, const std::vector<QByteArray>& lines) const
{
    const QByteArray path = m_folder + '/' + fileName(id);
    const int fd = waitForDescriptor(
        [&] { return ::open(path.constData(), O_RDWR | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC); });
    if (fd < 0)
        return systemMessage(errno);
    QByteArray text;
    // A line torn by a crash is closed first, so that it stays one bad line.
    struct stat status;
    char last = '\n';
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return JournalTexts::tr("it is not a regular file");
    }
    if (status.st_size > 0 && ::pread(fd, &last, 1, status.st_size - 1) == 1 && last != '\n')
        text += '\n';
    for (const QByteArray& line : lines)
        text += line + ' ' + kEnd + '\n';
    const bool written = writeAll(fd, text.constData(), text.size()) && ::fdatasync(fd) == 0;
    const int errnum = errno;
    ::close(fd);
    if (!written)
        return systemMessage(errnum);
    return std::nullopt;
}

QByteArray TrashJournal::putBackLine(qsizetype number)
{
    return "put-back " + QByteArray::number(number);
}

QByteArray TrashJournal::goneLine(qsizetype number)
{
    return "gone " + QByteArray::number(number);
}

QByteArray TrashJournal::undoneLine(qint64 time)
{
    return "undone " + QByteArray::number(time);
}

TrashJournalRecorder::TrashJournalRecorder(QByteArray folder)
    : m_folder(std::move(folder))
{
    lockFolder();
}

void TrashJournalRecorder::lockFolder()
{
    // Shared: requests run side by side; an undo tests it without waiting.
    if (m_folderLock >= 0 || m_finished || m_folder.isEmpty())
        return;
    m_folderLock = ::open(m_folder.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct flock lock = {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    if (m_folderLock >= 0)
        ::fcntl(m_folderLock, F_OFD_SETLK, &lock);
}

TrashJournalRecorder::~TrashJournalRecorder()
{
    finish();
}

void TrashJournalRecorder::finish()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_folderLock >= 0)
        ::close(m_folderLock);
    m_fd = -1;
    m_folderLock = -1;
    m_finished = true;
}

bool TrashJournalRecorder::start()
{
    if (m_folder.isEmpty()) {
        m_error = QCoreApplication::translate("TrashJournal", "there is no home folder for it");
        return false;
    }
    const int folderFd = openOrCreateBelow(creationAnchor(m_folder), m_folder);
    if (folderFd < 0) {
        m_error = QStringLiteral("%1: %2").arg(QFile::decodeName(m_folder), systemMessage(errno));
        return false;
    }
    // A folder made just now could not be locked when the recorder began.
    lockFolder();

    std::vector<quint64> ids = idsIn(folderFd);
    quint64 id = ids.empty() ? 1 : ids.back() + 1;
    for (int attempt = 0; attempt < 1000; ++attempt, ++id) {
        m_fd = waitForDescriptor([&] {
            return ::openat(folderFd, fileName(id).constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
        });
        if (m_fd >= 0 || errno != EEXIST)
            break;
    }
    if (m_fd < 0) {
        m_error = QStringLiteral("%1: %2").arg(QFile::decodeName(m_folder), systemMessage(errno));
        ::close(folderFd);
        return false;
    }
    m_id = id;
    // Held until the recorder goes: an undo tells a running request by it.
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    ::fcntl(m_fd, F_OFD_SETLK, &lock);
    // The oldest requests go, so that the journal keeps the last ones only.
    ids.push_back(id);
    for (size_t i = 0; i + kKeptRequests < ids.size(); ++i)
        ::unlinkat(folderFd, fileName(ids[i]).constData(), 0);
    // The lock says the request runs: nothing settles it meanwhile. Taken
    // before the first line, so that a settling that opened the empty file
    // first is waited for (it finds no request there and leaves it alone).
    ::flock(m_fd, LOCK_EX);
    const QByteArray begin = QByteArray(kHeader) + "\nrequest " + QByteArray::number(id) + ' '
        + QByteArray::number(qint64(std::time(nullptr))) + ' ' + kEnd + '\n';
    const bool written = writeAll(m_fd, begin.constData(), begin.size());
    // The new name must survive a crash as well as what is written to it.
    ::fsync(folderFd);
    ::close(folderFd);
    if (!written) {
        m_error = QStringLiteral("%1: %2").arg(QFile::decodeName(m_folder), systemMessage(errno));
        return false;
    }
    return true;
}

void TrashJournalRecorder::settleEarlierRequests()
{
    m_problems = TrashJournal(m_folder).settleUnfinished(m_id);
}

bool TrashJournalRecorder::begin(const std::vector<TrashBegun>& begun)
{
    if (!m_error.isEmpty() || m_finished || (m_fd < 0 && !start()))
        return false;
    const QByteArray workingFolder = workingFolderBytes();
    QByteArray text;
    for (const TrashBegun& file : begun)
        text += begunLine(file, workingFolder) + ' ' + kEnd + '\n';
    if (!writeAll(m_fd, text.constData(), text.size()) || ::fdatasync(m_fd) != 0) {
        m_error = QStringLiteral("%1: %2").arg(QFile::decodeName(m_folder), systemMessage(errno));
        return false;
    }
    return true;
}

bool TrashJournalRecorder::record(const std::vector<TrashOutcome>& moved)
{
    if (!m_error.isEmpty() || m_finished)
        return false;
    // A batch that began nothing here has nothing to settle.
    if (moved.empty() && m_fd < 0)
        return true;
    if (m_fd < 0 && !start())
        return false;
    const QByteArray workingFolder = workingFolderBytes();
    QByteArray text;
    for (const TrashOutcome& outcome : moved) {
        // Each trash is described once, before the first file that went to it.
        const QByteArray trashed = nativePath(outcome.trashedPath);
        const QByteArray trash = trashed.left(trashed.lastIndexOf("/files/"));
        if (outcome.drive.known() && m_describedTrashes.insert(trash).second)
            text += driveLine(trash, outcome.drive) + ' ' + kEnd + '\n';
        text += movedLine(m_count, outcome, workingFolder) + ' ' + kEnd + '\n';
        text += detailLine(m_count++, outcome) + ' ' + kEnd + '\n';
    }
    text += QByteArray(kSettled) + '\n';
    // Not flushed here: the next batch's "begun" lines flush these with them.
    // Should the system go down before these reach the disk, the files keep
    // their "begun" lines, from which the next request or undo journals them
    // again (settleUnfinished()).
    if (!writeAll(m_fd, text.constData(), text.size())) {
        m_error = QStringLiteral("%1: %2").arg(QFile::decodeName(m_folder), systemMessage(errno));
        return false;
    }
    return true;
}

std::shared_ptr<TrashJournalRecorder> recordInTrashJournal(TrashRequest& request, QByteArray folder)
{
    auto recorder = std::make_shared<TrashJournalRecorder>(std::move(folder));
    request.setStarted([recorder] { recorder->settleEarlierRequests(); });
    request.setBatchBegun([recorder](const std::vector<TrashBegun>& begun) { recorder->begin(begun); });
    request.setBatchMoved([recorder](const std::vector<TrashOutcome>& moved) { recorder->record(moved); });
    return recorder;
}

} // namespace platform
