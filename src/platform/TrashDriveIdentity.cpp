#include "platform/TrashDriveIdentity.h"

#include "platform/UniqueFd.h"

#include <QFile>
#include <QList>

#include <algorithm>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace platform {

namespace {

// The kernel's own encoding of a device number (huge_encode_dev), which the
// file systems without an id of their own give as their f_fsid.
quint64 kernelDeviceCode(quint64 device)
{
    const quint64 majorNumber = major(dev_t(device));
    const quint64 minorNumber = minor(dev_t(device));
    return (minorNumber & 0xff) | (majorNumber << 8) | ((minorNumber & ~quint64(0xff)) << 12);
}

// The name of the link in `uuidFolder` that leads to the block device
// `device`; empty when there is none (no udev, a drive without a UUID).
QByteArray uuidOfDevice(quint64 device, const QByteArray& uuidFolder)
{
    const UniqueFd folderFd(::open(uuidFolder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folderFd.isValid())
        return {};
    const int listing = ::dup(folderFd.get());
    DIR* folder = listing < 0 ? nullptr : ::fdopendir(listing);
    if (!folder) {
        if (listing >= 0)
            ::close(listing);
        return {};
    }
    QByteArray uuid;
    while (const dirent* entry = ::readdir(folder)) {
        if (entry->d_name[0] == '.')
            continue;
        struct stat status;
        if (::fstatat(folderFd.get(), entry->d_name, &status, 0) == 0 && S_ISBLK(status.st_mode)
            && quint64(status.st_rdev) == device) {
            uuid = entry->d_name;
            break;
        }
    }
    ::closedir(folder);
    return uuid;
}

QByteArray unescapedMountField(const QByteArray& escaped)
{
    QByteArray field;
    field.reserve(escaped.size());
    for (qsizetype i = 0; i < escaped.size(); ++i) {
        if (escaped[i] == '\\' && i + 3 < escaped.size() && escaped[i + 1] >= '0' && escaped[i + 1] <= '3') {
            field.append(char((escaped[i + 1] - '0') * 64 + (escaped[i + 2] - '0') * 8 + (escaped[i + 3] - '0')));
            i += 3;
        } else {
            field.append(escaped[i]);
        }
    }
    return field;
}

} // namespace

TrashDrive trashDriveOf(int fd, const QByteArray& top, const QByteArray& uuidFolder)
{
    TrashDrive drive;
    drive.top = top;
    struct stat status;
    if (::fstat(fd, &status) != 0)
        return drive;
    drive.device = quint64(status.st_dev);
    drive.filesInode = quint64(status.st_ino);
    struct statfs fileSystem;
    if (::fstatfs(fd, &fileSystem) == 0) {
        drive.type = quint64(fileSystem.f_type);
        int words[2];
        static_assert(sizeof words == sizeof fileSystem.f_fsid);
        std::memcpy(words, &fileSystem.f_fsid, sizeof words);
        drive.fsid = quint64(quint32(words[0])) | quint64(quint32(words[1])) << 32;
    }
    drive.uuid = uuidOfDevice(drive.device, uuidFolder);
    return drive;
}

bool hasLastingId(const TrashDrive& drive)
{
    return drive.fsid != 0 && drive.fsid != kernelDeviceCode(drive.device) && drive.fsid != drive.device;
}

bool sameDrive(const TrashDrive& recorded, const TrashDrive& now)
{
    if (recorded.type != now.type)
        return false;
    if (!recorded.uuid.isEmpty() && !now.uuid.isEmpty())
        return recorded.uuid == now.uuid;
    const bool lasting = hasLastingId(recorded);
    if (lasting != hasLastingId(now))
        return false;
    if (lasting)
        return recorded.fsid == now.fsid;
    return recorded.device == now.device;
}

std::vector<QByteArray> mountPointsOfDrive(const TrashDrive& recorded, const QByteArray& uuidFolder)
{
    std::vector<QByteArray> points;
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    // The file is made while it is read, so it has no size to rely on.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return points;
    for (const QByteArray& line : file.readAll().split('\n')) {
        // id, parent id, major:minor, root, mount point, options, [optional fields], "-", type, source, ...
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype separator = fields.indexOf("-");
        if (fields.size() < 5 || separator < 5 || separator + 2 >= fields.size())
            continue;
        // Only whole file systems of local drives: a bind mount shows a part
        // of one, and asking a network or FUSE mount may hang.
        if (fields[3] != "/" || !fields[separator + 2].startsWith("/dev/"))
            continue;
        const QByteArray point = unescapedMountField(fields[4]);
        const UniqueFd fd(::open(point.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!fd.isValid())
            continue;
        if (sameDrive(recorded, trashDriveOf(fd.get(), point, uuidFolder))
            && std::find(points.begin(), points.end(), point) == points.end())
            points.push_back(point);
    }
    return points;
}

} // namespace platform
