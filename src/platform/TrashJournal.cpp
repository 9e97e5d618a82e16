#include "platform/TrashJournal.h"

#include "platform/FileSystem.h"
#include "platform/TrashInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr char kHeader[] = "chronopurge trash journal 1";
constexpr char kEnd[] = "end";

QString systemMessage(int errnum)
{
    return QString::fromLocal8Bit(std::strerror(errnum));
}

// $HOME, or the password entry's home when it is empty, as for the home Trash.
QByteArray homeFolder()
{
    QByteArray home = qgetenv("HOME");
    if (home.isEmpty()) {
        struct passwd entry;
        struct passwd* found = nullptr;
        char buffer[4096];
        if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found)
            home = found->pw_dir;
    }
    while (home.size() > 1 && home.endsWith('/'))
        home.chop(1);
    return home.startsWith('/') && home != "/" ? home : QByteArray();
}

bool isFolder(const QByteArray& path)
{
    struct stat status;
    return ::stat(path.constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

// Creates the missing folders of `path` below `anchor` (which must exist),
// each with mode 0700, and opens the last one without following a link;
// -1 with errno set when that fails.
int openOrCreateBelow(const QByteArray& anchor, const QByteArray& path)
{
    if (!isFolder(anchor)) {
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
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
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
    if (!home.isEmpty() && folder.startsWith(home + "/.local/state/"))
        return home;
    QByteArray stateHome = folder;
    constexpr char kBelowStateHome[] = "/chronopurge/trash-journal";
    if (stateHome.endsWith(kBelowStateHome))
        stateHome.chop(qsizetype(std::strlen(kBelowStateHome)));
    const qsizetype slash = stateHome.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : stateHome.left(slash);
}

// The request ids in the open journal folder, ascending.
std::vector<quint64> idsIn(int folderFd)
{
    std::vector<quint64> ids;
    const int listing = ::dup(folderFd);
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

std::optional<QByteArray> readWhole(const QByteArray& path)
{
    QFile file(QFile::decodeName(path));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
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

// Reads one request file. With `keepFiles` false only the first file is kept,
// and `states` still follows every file.
std::optional<JournalRequest> parseRequest(const QByteArray& text, quint64 id, bool keepFiles,
                                           std::vector<JournalState>& states)
{
    QList<QByteArray> lines = text.split('\n');
    // What follows the last line break is a line torn by a crash.
    lines.removeLast();
    if (lines.isEmpty() || lines.first() != kHeader)
        return std::nullopt;
    JournalRequest request;
    bool begun = false;
    states.clear();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].split(' ');
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
            states.push_back(JournalState::InTrash);
            if (!keepFiles && states.size() > 1)
                continue;
            JournalFile file;
            file.number = qsizetype(values[0]);
            file.identity = {values[1], values[2], FileType(values[3])};
            file.folderIdentity = {values[4], values[5], FileType::Directory};
            file.trash = percentDecodePath(fields[7]);
            file.trashName = percentDecodePath(fields[8]);
            file.originalPath = percentDecodePath(fields[9]);
            request.files.push_back(std::move(file));
        } else if ((kind == "put-back" || kind == "gone") && fields.size() == 3) {
            if (parseNumber(fields[1], number) && number < states.size())
                states[number] = kind == "gone" ? JournalState::Gone : JournalState::PutBack;
        } else if (kind == "undone" && fields.size() == 3) {
            request.undone = true;
        }
    }
    if (!begun)
        return std::nullopt;
    for (JournalFile& file : request.files)
        file.state = states[size_t(file.number)];
    return request;
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
        return QDir::cleanPath(QFile::decodeName(stateHome)).toUtf8() + "/chronopurge/trash-journal";
    const QByteArray home = homeFolder();
    return home.isEmpty() ? QByteArray() : home + "/.local/state/chronopurge/trash-journal";
}

TrashJournal::TrashJournal(QByteArray folder)
    : m_folder(std::move(folder))
{
}

std::vector<quint64> TrashJournal::requestIds() const
{
    if (m_folder.isEmpty())
        return {};
    const int fd = ::open(m_folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::vector<quint64> ids = idsIn(fd);
    ::close(fd);
    return ids;
}

std::optional<JournalRequest> TrashJournal::read(quint64 id) const
{
    const std::optional<QByteArray> text = readWhole(m_folder + '/' + fileName(id));
    if (!text)
        return std::nullopt;
    std::vector<JournalState> states;
    return parseRequest(*text, id, true, states);
}

std::vector<JournalSummary> TrashJournal::summaries() const
{
    std::vector<JournalSummary> summaries;
    std::vector<JournalState> states;
    for (const quint64 id : requestIds()) {
        const std::optional<QByteArray> text = readWhole(m_folder + '/' + fileName(id));
        const std::optional<JournalRequest> request = text ? parseRequest(*text, id, false, states) : std::nullopt;
        if (!request || request->files.empty())
            continue;
        JournalSummary summary;
        summary.id = id;
        summary.time = request->time;
        summary.fileCount = qsizetype(states.size());
        summary.inTrashCount = std::count(states.begin(), states.end(), JournalState::InTrash);
        summary.firstPath = request->files.front().originalPath;
        summary.undone = request->undone;
        summaries.push_back(summary);
    }
    return summaries;
}

std::optional<JournalRequest> TrashJournal::lastNotUndone() const
{
    const std::vector<JournalSummary> all = summaries();
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        if (!it->undone && it->inTrashCount > 0)
            return read(it->id);
    }
    return std::nullopt;
}

std::optional<QString> TrashJournal::append(quint64 id, const std::vector<QByteArray>& lines) const
{
    const QByteArray path = m_folder + '/' + fileName(id);
    const int fd = ::open(path.constData(), O_RDWR | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return systemMessage(errno);
    QByteArray text;
    // A line torn by a crash is closed first, so that it stays one bad line.
    struct stat status;
    char last = '\n';
    if (::fstat(fd, &status) == 0 && status.st_size > 0 && ::pread(fd, &last, 1, status.st_size - 1) == 1 && last != '\n')
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
}

TrashJournalRecorder::~TrashJournalRecorder()
{
    if (m_fd >= 0)
        ::close(m_fd);
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

    std::vector<quint64> ids = idsIn(folderFd);
    quint64 id = ids.empty() ? 1 : ids.back() + 1;
    for (int attempt = 0; attempt < 1000; ++attempt, ++id) {
        m_fd = ::openat(folderFd, fileName(id).constData(),
                        O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (m_fd >= 0 || errno != EEXIST)
            break;
    }
    if (m_fd < 0) {
        m_error = QStringLiteral("%1: %2").arg(QFile::decodeName(m_folder), systemMessage(errno));
        ::close(folderFd);
        return false;
    }
    m_id = id;
    // The oldest requests go, so that the journal keeps the last ones only.
    ids.push_back(id);
    for (size_t i = 0; i + kKeptRequests < ids.size(); ++i)
        ::unlinkat(folderFd, fileName(ids[i]).constData(), 0);
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

bool TrashJournalRecorder::record(const std::vector<TrashOutcome>& moved)
{
    if (!m_error.isEmpty())
        return false;
    if (m_fd < 0 && !start())
        return false;
    char* current = ::getcwd(nullptr, 0);
    const QByteArray workingFolder = current ? QByteArray(current) : QByteArray();
    std::free(current);
    QByteArray text;
    for (const TrashOutcome& outcome : moved)
        text += movedLine(m_count++, outcome, workingFolder) + ' ' + kEnd + '\n';
    if (!writeAll(m_fd, text.constData(), text.size()) || ::fdatasync(m_fd) != 0) {
        m_error = QStringLiteral("%1: %2").arg(QFile::decodeName(m_folder), systemMessage(errno));
        return false;
    }
    return true;
}

std::shared_ptr<TrashJournalRecorder> recordInTrashJournal(TrashRequest& request, QByteArray folder)
{
    auto recorder = std::make_shared<TrashJournalRecorder>(std::move(folder));
    request.setBatchMoved([recorder](const std::vector<TrashOutcome>& moved) { recorder->record(moved); });
    return recorder;
}

} // namespace platform
