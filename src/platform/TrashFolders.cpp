#include "platform/TrashFolders.h"

#include "platform/Trash.h"
#include "platform/TrashDriveIdentity.h"
#include "platform/TrashInfo.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr int kOpenFolder = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

QByteArray uidText()
{
    return QByteArray::number(qulonglong(getuid()));
}

QByteArray homeFolder()
{
    const QByteArray home = qgetenv("HOME");
    if (!home.isEmpty())
        return home;
    struct passwd entry;
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found)
        return QByteArray(found->pw_dir);
    return {};
}

QByteArray canonical(const QByteArray& path)
{
    char* resolved = ::realpath(path.constData(), nullptr);
    if (!resolved)
        return {};
    QByteArray result(resolved);
    std::free(resolved);
    return result;
}

// Creates `path` and each missing parent with mode 0700; true when it ends up a folder.
bool makeFolders(const QByteArray& path)
{
    for (qsizetype slash = path.indexOf('/', 1); ; slash = path.indexOf('/', slash + 1)) {
        const QByteArray prefix = slash < 0 ? path : path.left(slash);
        if (!prefix.isEmpty() && !prefix.endsWith('/') && ::mkdir(prefix.constData(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash < 0)
            break;
    }
    struct stat status;
    if (::stat(path.constData(), &status) != 0)
        return false;
    if (!S_ISDIR(status.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

// Opens (creating when missing) the sub-folder `name` of the open folder `parent`.
int openSubfolder(int parent, const char* name, int extraFlags)
{
    if (::mkdirat(parent, name, 0700) != 0 && errno != EEXIST)
        return -1;
    return ::openat(parent, name, kOpenFolder | extraFlags);
}

// True when the open folder is a real folder of ours that nobody else may
// write to. Its read bits are the owner's choice: GIO and trash-cli use a
// trash of mode 0755 as well.
bool isOwnTrashFolder(int fd)
{
    struct stat status;
    return ::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == getuid()
        && (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// True when the home folder the Trash would be made in is a folder that exists.
bool homeFolderExists()
{
    if (qgetenv("XDG_DATA_HOME").startsWith('/'))
        return true;
    struct stat status;
    return ::stat(homeFolder().constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

// Opens the folder `name` below `parent` without following a link, creating
// it with mode 0700 when missing; -1 with errno set otherwise.
int openOrCreatePrivate(int parent, const char* name)
{
    int fd = ::openat(parent, name, kOpenFolder | O_NOFOLLOW);
    if (fd < 0 && errno == ENOENT) {
        if (::mkdirat(parent, name, 0700) != 0 && errno != EEXIST)
            return -1;
        fd = ::openat(parent, name, kOpenFolder | O_NOFOLLOW);
        // The umask may have taken bits we need; this folder is ours.
        if (fd >= 0)
            ::fchmod(fd, 0700);
    }
    return fd;
}

bool isBelow(const QByteArray& path, const QByteArray& folder)
{
    if (folder == "/")
        return path.startsWith('/') && path.size() > 1;
    return path.size() > folder.size() && path.startsWith(folder) && path[folder.size()] == '/';
}

QByteArray joined(const QByteArray& folder, const char* name)
{
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

} // namespace

QString noTrashReason()
{
    return QCoreApplication::translate("Trash", "this drive has no Trash the program may use");
}

TrashFolder::TrashFolder(QByteArray root, QByteArray topDirectory, int filesFd, int infoFd)
    : m_root(std::move(root))
    , m_topDirectory(std::move(topDirectory))
    , m_filesFd(filesFd)
    , m_infoFd(infoFd)
    , m_drive(trashDriveOf(filesFd, m_topDirectory))
{
}

TrashFolder::~TrashFolder()
{
    ::close(m_filesFd);
    ::close(m_infoFd);
}

int TrashFolder::firstAttempt(const QByteArray& name) const
{
    const auto found = m_taken.find(name.toStdString());
    return found == m_taken.end() ? 0 : found->second;
}

void TrashFolder::rememberTaken(const QByteArray& name, int attempt)
{
    // Only the numbered names are worth remembering; random ones are not reused.
    int& first = m_taken[name.toStdString()];
    first = std::max(first, std::min(attempt, kLastNumberedName));
}

bool TrashFolder::sync()
{
    const bool files = ::fsync(m_filesFd) == 0;
    const bool info = ::fsync(m_infoFd) == 0;
    return files && info;
}

QByteArray homeTrashPath()
{
    // A relative $XDG_DATA_HOME is invalid and ignored, as its standard says.
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    if (dataHome.startsWith('/'))
        return joined(dataHome, "Trash");
    const QByteArray home = homeFolder();
    if (home.startsWith('/'))
        return joined(home, ".local/share/Trash");
    return {};
}

std::vector<QByteArray> parseMountPoints(const QByteArray& mountinfo)
{
    std::vector<QByteArray> points;
    for (const QByteArray& line : mountinfo.split('\n')) {
        // Fields: id, parent id, major:minor, root, mount point, ...
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 5)
            continue;
        const QByteArray& escaped = fields[4];
        QByteArray point;
        point.reserve(escaped.size());
        for (qsizetype i = 0; i < escaped.size(); ++i) {
            if (escaped[i] == '\\' && i + 3 < escaped.size() && escaped[i + 1] >= '0' && escaped[i + 1] <= '3') {
                point.append(char((escaped[i + 1] - '0') * 64 + (escaped[i + 2] - '0') * 8 + (escaped[i + 3] - '0')));
                i += 3;
            } else {
                point.append(escaped[i]);
            }
        }
        points.push_back(point);
    }
    return points;
}

TrashFolders::TrashFolders() = default;
TrashFolders::~TrashFolders() = default;

void TrashFolders::openHomeTrash()
{
    m_homeTried = true;
    m_homePath = homeTrashPath();
    // A home folder that does not exist is never created: the Trash would
    // land wherever $HOME happens to point, and as root anywhere at all.
    if (m_homePath.isEmpty() || !homeFolderExists()) {
        m_homeError = {0, QCoreApplication::translate("Trash", "there is no home folder for the Trash")};
        return;
    }
    auto failed = [this](int errnum) {
        m_homeError = {errnum, trashReasonFor(errnum)};
        // Files on the drive where the home trash should be still belong to it.
        QByteArray ancestor = m_homePath;
        struct stat status;
        while (::stat(ancestor.constData(), &status) != 0) {
            if (ancestor == "/")
                return;
            const qsizetype slash = ancestor.lastIndexOf('/');
            ancestor = slash <= 0 ? QByteArray("/") : ancestor.left(slash);
        }
        m_homeDevice = status.st_dev;
        m_homeDeviceKnown = true;
    };
    if (!makeFolders(m_homePath))
        return failed(errno);
    const QByteArray root = canonical(m_homePath);
    const int rootFd = root.isEmpty() ? -1 : ::open(root.constData(), kOpenFolder);
    if (rootFd < 0)
        return failed(errno);
    struct stat status;
    ::fstat(rootFd, &status);
    const int filesFd = openSubfolder(rootFd, "files", 0);
    const int filesErrno = errno;
    const int infoFd = filesFd < 0 ? -1 : openSubfolder(rootFd, "info", 0);
    const int infoErrno = errno;
    ::close(rootFd);
    if (filesFd < 0 || infoFd < 0) {
        if (filesFd >= 0)
            ::close(filesFd);
        return failed(filesFd < 0 ? filesErrno : infoErrno);
    }
    m_home = std::make_unique<TrashFolder>(root, QByteArray(), filesFd, infoFd);
    m_homeDevice = status.st_dev;
    m_homeDeviceKnown = true;
}

const std::vector<QByteArray>& TrashFolders::mounts()
{
    if (!m_mountsRead) {
        m_mountsRead = true;
        QFile file(QStringLiteral("/proc/self/mountinfo"));
        // The file is generated while read, so it has no size to rely on.
        if (file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            m_mounts = parseMountPoints(file.readAll());
    }
    return m_mounts;
}

QByteArray TrashFolders::mountRootOf(const QByteArray& canonicalPath)
{
    QByteArray best("/");
    for (const QByteArray& point : mounts())
        if (point.size() > best.size() && (canonicalPath == point || isBelow(canonicalPath, point)))
            best = point;
    return best;
}

bool TrashFolders::isMountPoint(const QByteArray& canonicalPath)
{
    for (const QByteArray& point : mounts())
        if (point == canonicalPath)
            return true;
    return canonicalPath == "/";
}

bool TrashFolders::isInsideTrash(const QByteArray& canonicalPath)
{
    if (!m_homeTried)
        openHomeTrash();
    if (m_home && (canonicalPath == m_home->root() || isBelow(canonicalPath, m_home->root())))
        return true;
    if (!m_homePath.isEmpty() && (canonicalPath == m_homePath || isBelow(canonicalPath, m_homePath)))
        return true;
    const QByteArray top = mountRootOf(canonicalPath);
    const QByteArray prefix = joined(top, ".Trash");
    if (canonicalPath == prefix || isBelow(canonicalPath, prefix))
        return true;
    // ".Trash-<uid>" of any user.
    const QByteArray ownTrash = prefix + '-';
    if (canonicalPath.startsWith(ownTrash)) {
        const qsizetype end = canonicalPath.indexOf('/', ownTrash.size());
        const QByteArray uid = canonicalPath.mid(ownTrash.size(), end < 0 ? -1 : end - ownTrash.size());
        bool isNumber = false;
        uid.toULongLong(&isNumber);
        return isNumber;
    }
    return false;
}

TrashFolder* TrashFolders::folderFor(const QByteArray& canonicalPath, const struct stat& status, TrashError& error)
{
    if (!m_homeTried)
        openHomeTrash();
    // Without a home trash of known place no drive can be told apart from
    // the home drive, so nothing is moved at all.
    if (!m_homeDeviceKnown || status.st_dev == m_homeDevice) {
        if (!m_home)
            error = m_homeError;
        return m_home.get();
    }
    const QByteArray top = mountRootOf(canonicalPath);
    auto found = m_drives.find(top);
    if (found == m_drives.end()) {
        DriveTrash drive;
        drive.folder = openDriveTrash(top, drive.error);
        found = m_drives.emplace(top, std::move(drive)).first;
    }
    if (!found->second.folder)
        error = found->second.error;
    return found->second.folder.get();
}

std::unique_ptr<TrashFolder> TrashFolders::openDriveTrash(const QByteArray& top, TrashError& error)
{
    const int topFd = ::open(top.constData(), kOpenFolder);
    if (topFd < 0) {
        error = {errno, noTrashReason()};
        return nullptr;
    }
    const QByteArray uid = uidText();
    int trashFd = -1;
    QByteArray root;

    // The administrator's shared ".Trash", when it is safe to use.
    const int sharedFd = ::openat(topFd, ".Trash", kOpenFolder | O_NOFOLLOW);
    if (sharedFd >= 0) {
        struct stat shared;
        if (::fstat(sharedFd, &shared) == 0 && (shared.st_mode & S_ISVTX)) {
            trashFd = openOrCreatePrivate(sharedFd, uid.constData());
            if (trashFd >= 0 && !isOwnTrashFolder(trashFd)) {
                ::close(trashFd);
                trashFd = -1;
            }
            root = joined(top, ".Trash/") + uid;
        }
        ::close(sharedFd);
    }

    // Else our own ".Trash-<uid>".
    if (trashFd < 0) {
        const QByteArray name = ".Trash-" + uid;
        trashFd = openOrCreatePrivate(topFd, name.constData());
        const int openErrno = errno;
        if (trashFd >= 0 && !isOwnTrashFolder(trashFd)) {
            ::close(trashFd);
            trashFd = -1;
        } else if (trashFd < 0 && (openErrno == ENOSPC || openErrno == EDQUOT || openErrno == EROFS)) {
            ::close(topFd);
            error = {openErrno, trashReasonFor(openErrno)};
            return nullptr;
        }
        root = joined(top, name.constData());
    }
    ::close(topFd);
    if (trashFd < 0) {
        error = {0, noTrashReason()};
        return nullptr;
    }

    const int filesFd = openSubfolder(trashFd, "files", O_NOFOLLOW);
    const int filesErrno = errno;
    const int infoFd = filesFd < 0 ? -1 : openSubfolder(trashFd, "info", O_NOFOLLOW);
    const int infoErrno = errno;
    ::close(trashFd);
    if (filesFd < 0 || infoFd < 0) {
        if (filesFd >= 0)
            ::close(filesFd);
        const int errnum = filesFd < 0 ? filesErrno : infoErrno;
        error = {errnum, errnum == ENOSPC || errnum == EDQUOT || errnum == EROFS ? trashReasonFor(errnum)
                                                                                : noTrashReason()};
        return nullptr;
    }
    return std::make_unique<TrashFolder>(root, top, filesFd, infoFd);
}

bool TrashFolders::syncAll()
{
    bool synced = !m_home || m_home->sync();
    for (auto& [top, drive] : m_drives)
        if (drive.folder && !drive.folder->sync())
            synced = false;
    return synced;
}

} // namespace platform
