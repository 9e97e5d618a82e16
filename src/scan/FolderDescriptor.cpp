#include "scan/FolderDescriptor.h"

#include "platform/DescriptorWait.h"
#include "platform/FolderFlags.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
#include <string>

#include <fcntl.h>
#include <linux/magic.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

std::atomic<bool> g_openat2Missing = false;
std::atomic<bool> g_nameByNameForced = false;

std::mutex g_hookMutex;
std::function<void(const QByteArray&)> g_beforeOpening;
std::atomic<bool> g_hasHook = false;

void runHook(const QByteArray& path)
{
    if (!g_hasHook.load(std::memory_order_acquire))
        return;
    std::function<void(const QByteArray&)> hook;
    {
        std::lock_guard lock(g_hookMutex);
        hook = g_beforeOpening;
    }
    if (hook)
        hook(path);
}

// Opens `relative` below `listed` in one call: openat2 refuses any link on
// the way (RESOLVE_NO_SYMLINKS) and any step out of `listed`
// (RESOLVE_BENEATH). Returns -1 with errno set; errno ENOSYS when the caller
// must go name by name instead.
int openWithOpenat2(int listed, const char* relative, size_t length)
{
    if (g_nameByNameForced.load(std::memory_order_relaxed) || g_openat2Missing.load(std::memory_order_relaxed)
        || length >= PATH_MAX) {
        errno = ENOSYS;
        return -1;
    }
    char path[PATH_MAX];
    std::memcpy(path, relative, length);
    path[length] = '\0';
    struct open_how how = {};
    how.flags = platform::kOpenFolderNoLinkFlags;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    for (int attempt = 0; attempt < 4; ++attempt) {
        // A lack of descriptors is waited out: other threads give theirs back.
        const int fd = platform::waitForDescriptor(
            [&] { return int(::syscall(SYS_openat2, listed, path, &how, sizeof how)); });
        if (fd >= 0)
            return fd;
        if (errno == EINTR || errno == EAGAIN)
            continue;
        // ENOSYS: an old kernel; E2BIG or EPERM: a filter that does not know the call.
        if (errno == ENOSYS || errno == E2BIG) {
            g_openat2Missing = true;
            errno = ENOSYS;
        } else if (errno == EPERM) {
            errno = ENOSYS;
        }
        return -1;
    }
    errno = ENOSYS;
    return -1;
}

// Opens `relative` below `listed` one name at a time, each a folder that is
// not a link, relative to the folder opened before it. No name is "." or
// ".." (a listing never hands those out), so the walk cannot climb out.
int openNameByName(int listed, const char* relative, size_t length)
{
    FolderDescriptor current;
    std::string name;
    size_t start = 0;
    while (start <= length) {
        const char* slash = static_cast<const char*>(std::memchr(relative + start, '/', length - start));
        const size_t end = slash ? size_t(slash - relative) : length;
        name.assign(relative + start, end - start);
        if (name.empty() || name == "." || name == "..") {
            errno = ENOENT;
            return -1;
        }
        const int parent = current.isOpen() ? current.get() : listed;
        const int next = platform::waitForDescriptor(
            [&] { return ::openat(parent, name.c_str(), platform::kOpenFolderNoLinkFlags); });
        if (next < 0)
            return -1;
        current = FolderDescriptor(next);
        start = end + 1;
    }
    return current.release();
}

// The folder `fd` opened (-1 with errno set when the opening failed), with
// its device and inode; `status` receives the whole record.
OpenedFolder describedFolder(int fd, struct statx& status)
{
    OpenedFolder folder;
    folder.descriptor = FolderDescriptor(fd);
    if (!folder.descriptor.isOpen()
        || ::statx(folder.descriptor.get(), "", AT_EMPTY_PATH, STATX_TYPE | STATX_INO, &status) != 0) {
        folder.error = errno;
        folder.descriptor.reset();
        return folder;
    }
    folder.device = quint64(makedev(status.stx_dev_major, status.stx_dev_minor));
    folder.inode = status.stx_ino;
    return folder;
}

} // namespace

void FolderDescriptor::reset()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool ListingInodeTrust::trusted(int fd, quint64 device)
{
    for (const auto& [known, trusted] : m_devices) {
        if (known == device)
            return trusted;
    }
    // File systems whose listings carry the inode numbers stat reports. Others
    // (overlayfs over several file systems, FUSE, network file systems) may
    // list a folder under another number than stat gives, so a comparison
    // there would skip folders that never changed.
    struct statfs status;
    bool trusted = false;
    if (::fstatfs(fd, &status) == 0) {
        switch (status.f_type) {
        case EXT4_SUPER_MAGIC: // also ext2 and ext3
        case XFS_SUPER_MAGIC:
        case BTRFS_SUPER_MAGIC:
        case TMPFS_MAGIC:
        case F2FS_SUPER_MAGIC:
            trusted = true;
            break;
        default:
            break;
        }
    }
    m_devices.emplace_back(device, trusted);
    return trusted;
}

OpenedFolder openListedFolder(const QByteArray& path)
{
    struct statx status;
    return describedFolder(
        platform::waitForDescriptor([&] { return ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }),
        status);
}

OpenedFolder reopenFolder(int folder, quint64 device)
{
    OpenedFolder reopened;
    reopened.descriptor = FolderDescriptor(
        platform::waitForDescriptor([&] { return ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
    if (!reopened.descriptor.isOpen())
        reopened.error = errno;
    reopened.device = device;
    return reopened;
}

OpenedFolder openFoundFolder(int listed, const char* relative, size_t length, const FolderSighting& seen,
                             ListingInodeTrust& trust, const QByteArray& path)
{
    runHook(path);
    int fd = openWithOpenat2(listed, relative, length);
    if (fd < 0 && errno == ENOSYS)
        fd = openNameByName(listed, relative, length);
    struct statx status;
    OpenedFolder folder = describedFolder(fd, status);
    if (!folder.descriptor.isOpen())
        return folder;

    bool same = true;
    switch (seen.source) {
    case FolderSighting::Source::LookUp:
        // A look-up through the name lands where the opening does, mount points included.
        same = folder.device == seen.device && folder.inode == seen.inode;
        break;
    case FolderSighting::Source::Listing: {
        // The listing shows, at a mount point, the folder the mount covers;
        // and on another device (a mount, a btrfs subvolume) its numbers
        // mean something else. Only a folder on its parent's device, that is
        // no mount point, on a file system known to list stat's numbers is compared.
        const bool mountRootKnown = status.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT;
        const bool mountRoot = status.stx_attributes & STATX_ATTR_MOUNT_ROOT;
        if (mountRootKnown && !mountRoot && folder.device == seen.device
            && trust.trusted(folder.descriptor.get(), folder.device))
            same = folder.inode == seen.inode;
        break;
    }
    case FolderSighting::Source::None:
        break;
    }
    if (!same) {
        folder.error = kFolderChanged;
        folder.descriptor.reset();
    }
    return folder;
}

quint64 deviceBelow(int listed, const char* relative, size_t length)
{
    if (length == 0 || length >= PATH_MAX)
        return 0;
    char path[PATH_MAX];
    std::memcpy(path, relative, length);
    path[length] = '\0';
    struct statx status;
    if (::statx(listed, path, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_INO, &status) != 0)
        return 0;
    return quint64(makedev(status.stx_dev_major, status.stx_dev_minor));
}

void setBeforeOpeningFoundFolder(std::function<void(const QByteArray& path)> hook)
{
    std::lock_guard lock(g_hookMutex);
    g_hasHook = bool(hook);
    g_beforeOpening = std::move(hook);
}

void setNameByNameOpening(bool forced)
{
    g_nameByNameForced = forced;
}
