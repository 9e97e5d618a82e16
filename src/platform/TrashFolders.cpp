#include "platform/TrashFolders.h"

#include "platform/DescriptorWait.h"
#include "platform/FolderFlags.h"
#include "platform/Trash.h"
#include "platform/TrashDriveIdentity.h"
#include "platform/TrashInfo.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

QByteArray uidText()
{
    return QByteArray::number(qulonglong(getuid()));
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

int openWaiting(const char* path, int flags)
{
    return waitForDescriptor([&] { return ::open(path, flags); });
}

int openAtWaiting(int folder, const char* name, int flags)
{
    return waitForDescriptor([&] { return ::openat(folder, name, flags); });
}

// Opens (creating when missing) the sub-folder `name` of the open folder `parent`.
int openSubfolder(int parent, const char* name, int extraFlags)
{
    if (::mkdirat(parent, name, 0700) != 0 && errno != EEXIST)
        return -1;
    return openAtWaiting(parent, name, kOpenFolderFlags | extraFlags);
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
    int fd = openAtWaiting(parent, name, kOpenFolderFlags | O_NOFOLLOW);
    if (fd < 0 && errno == ENOENT) {
        if (::mkdirat(parent, name, 0700) != 0 && errno != EEXIST)
            return -1;
        fd = openAtWaiting(parent, name, kOpenFolderFlags | O_NOFOLLOW);
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

TrashFolder::TrashFolder(QByteArray root, QByteArray topDirectory, const struct stat& rootStatus, int filesFd,
                         int infoFd)
    : m_root(std::move(root))
    , m_topDirectory(std::move(topDirectory))
    , m_rootDevice(rootStatus.st_dev)
    , m_rootInode(rootStatus.st_ino)
    , m_filesFd(filesFd)
    , m_infoFd(infoFd)
    , m_drive(trashDriveOf(filesFd, m_topDirectory))
{
}

TrashFolder::~TrashFolder()
{
    if (isOpen()) {
        ::close(m_filesFd);
        ::close(m_infoFd);
    }
}

void TrashFolder::close()
{
    if (!isOpen())
        return;
    sync();
    ::close(m_filesFd);
    ::close(m_infoFd);
    m_filesFd = m_infoFd = -1;
}

bool TrashFolder::reopen(TrashError& error)
{
    if (isOpen())
        return true;
    // The very folder opened first, reached without following a link at its end.
    const int rootFd = openWaiting(m_root.constData(), kOpenFolderFlags | O_NOFOLLOW);
    struct stat status;
    if (rootFd < 0 || ::fstat(rootFd, &status) != 0 || status.st_dev != m_rootDevice || status.st_ino != m_rootInode) {
        const int errnum = rootFd < 0 ? errno : 0;
        if (rootFd >= 0)
            ::close(rootFd);
        error = {errnum, errnum ? trashReasonFor(errnum) : noTrashReason()};
        return false;
    }
    const int filesFd = openAtWaiting(rootFd, "files", kOpenFolderFlags | O_NOFOLLOW);
    const int infoFd = filesFd < 0 ? -1 : openAtWaiting(rootFd, "info", kOpenFolderFlags | O_NOFOLLOW);
    const int errnum = errno;
    ::close(rootFd);
    if (infoFd < 0) {
        if (filesFd >= 0)
            ::close(filesFd);
        error = {errnum, trashReasonFor(errnum)};
        return false;
    }
    m_filesFd = filesFd;
    m_infoFd = infoFd;
    return true;
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
    if (!isOpen() || !m_written)
        return true;
    const bool files = ::fsync(m_filesFd) == 0;
    const bool info = ::fsync(m_infoFd) == 0;
    m_written = !(files && info);
    return files && info;
}

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
    return home.startsWith('/') ? home : QByteArray();
}

QByteArray homeTrashPath()
{
    // A relative $XDG_DATA_HOME is invalid and ignored, as its standard says.
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    if (dataHome.startsWith('/'))
        return joined(dataHome, "Trash");
    const QByteArray home = homeFolder();
    if (!home.isEmpty())
        return joined(home, ".local/share/Trash");
    return {};
}

bool isSingleTrashName(const QByteArray& name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains('\0')
        && name.size() + qsizetype(sizeof kTrashInfoSuffix - 1) <= NAME_MAX;
}

QByteArray recordedHomeTrash()
{
    const QByteArray configured = homeTrashPath();
    if (configured.isEmpty())
        return {};
    const QByteArray real = canonical(configured);
    return real.isEmpty() ? configured : real;
}

namespace {

// True when `path` is absolute, short enough, and has no empty, "." or ".." step.
bool isCleanAbsolutePath(const QByteArray& path)
{
    if (!path.startsWith('/') || path.size() >= PATH_MAX || path.contains('\0'))
        return false;
    if (path == "/")
        return true;
    const QList<QByteArray> steps = path.mid(1).split('/');
    return std::none_of(steps.begin(), steps.end(),
                        [](const QByteArray& step) { return step.isEmpty() || step == "." || step == ".."; });
}

// The top folder of a drive's trash of the right form; empty when `root` has another form.
QByteArray driveTopOf(const QByteArray& root)
{
    const QByteArray uid = uidText();
    for (const QByteArray& below : {"/.Trash/" + uid, "/.Trash-" + uid}) {
        if (root.endsWith(below)) {
            const QByteArray top = root.left(root.size() - below.size());
            return top.isEmpty() ? QByteArray("/") : top;
        }
    }
    return {};
}

} // namespace

bool hasTrashFolderForm(const QByteArray& root, const QByteArray& homeTrash)
{
    if (!isCleanAbsolutePath(root))
        return false;
    return (!homeTrash.isEmpty() && root == homeTrash) || !driveTopOf(root).isEmpty();
}

bool isTrashOfItsDrive(const QByteArray& root)
{
    const QByteArray home = recordedHomeTrash();
    if (!home.isEmpty() && root == home)
        return true;
    const QByteArray top = driveTopOf(root);
    if (top.isEmpty() || !isCleanAbsolutePath(root))
        return false;
    // The trash must sit on the top folder of its drive, and on that drive.
    TrashFolders folders;
    return folders.isMountPoint(top) && folders.mountRootOf(root) == top;
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
    const int rootFd = root.isEmpty() ? -1 : openWaiting(root.constData(), kOpenFolderFlags);
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
    m_home = std::make_unique<TrashFolder>(root, QByteArray(), status, filesFd, infoFd);
    m_homeDevice = status.st_dev;
    m_homeDeviceKnown = true;
    opened(m_home.get());
}

const std::vector<QByteArray>& TrashFolders::mounts()
{
    if (!m_mountsRead) {
        m_mountsRead = true;
        // The file is generated while read, so it has no size to rely on.
        const int fd = openWaiting("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
        QFile file;
        if (fd >= 0 && file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle))
            m_mounts = parseMountPoints(file.readAll());
        else if (fd >= 0)
            ::close(fd);
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
        if (!m_home) {
            error = m_homeError;
            return nullptr;
        }
        return use(*m_home, error) ? m_home.get() : nullptr;
    }
    const QByteArray top = mountRootOf(canonicalPath);
    auto found = m_drives.find(top);
    if (found == m_drives.end()) {
        DriveTrash drive;
        drive.folder = openDriveTrash(top, drive.error);
        found = m_drives.emplace(top, std::move(drive)).first;
    }
    if (!found->second.folder) {
        error = found->second.error;
        return nullptr;
    }
    return use(*found->second.folder, error) ? found->second.folder.get() : nullptr;
}

bool TrashFolders::use(TrashFolder& trash, TrashError& error)
{
    if (trash.isOpen()) {
        opened(&trash);
        return true;
    }
    makeRoom();
    if (!trash.reopen(error))
        return false;
    opened(&trash);
    return true;
}

// Closes the trashes used longest ago, so that one more can be opened
// without making one too many.
void TrashFolders::makeRoom()
{
    while (m_open.size() >= kOpenTrashes) {
        m_open.front()->close();
        m_open.erase(m_open.begin());
    }
}

void TrashFolders::opened(TrashFolder* trash)
{
    m_open.erase(std::remove(m_open.begin(), m_open.end(), trash), m_open.end());
    m_open.push_back(trash);
}

std::unique_ptr<TrashFolder> TrashFolders::openDriveTrash(const QByteArray& top, TrashError& error)
{
    makeRoom();
    const int topFd = openWaiting(top.constData(), kOpenFolderFlags);
    if (topFd < 0) {
        error = {errno, noTrashReason()};
        return nullptr;
    }
    const QByteArray uid = uidText();
    int trashFd = -1;
    QByteArray root;

    // The administrator's shared ".Trash", when it is safe to use.
    const int sharedFd = openAtWaiting(topFd, ".Trash", kOpenFolderFlags | O_NOFOLLOW);
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

    struct stat rootStatus;
    ::fstat(trashFd, &rootStatus);
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
    auto trash = std::make_unique<TrashFolder>(root, top, rootStatus, filesFd, infoFd);
    opened(trash.get());
    return trash;
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
