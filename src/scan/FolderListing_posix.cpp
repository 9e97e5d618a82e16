#include "scan/FolderListing.h"

#include "scan/FileChecks.h"

#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

struct LinuxDirent64 {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};

ListedName storeName(QByteArray& names, const char* name, size_t length)
{
    const ListedName stored{quint32(names.size()), quint32(length)};
    names.append(name, qsizetype(length));
    return stored;
}

} // namespace

void readFolder(const OpenedFolder& folder, DateKind kind, TildeNames tildeNames, FolderListing& listing,
                ListingScratch& scratch, LocalTimeCache& times)
{
    if (!beginListing(folder, listing))
        return;
    const int fd = folder.descriptor.get();
    const unsigned mask = statxMaskFor(kind) | STATX_INO | STATX_SIZE;
    for (;;) {
        const long read = ::syscall(SYS_getdents64, fd, scratch.buffer.data(), scratch.buffer.size());
        if (read == 0)
            break;
        if (read < 0) {
            if (errno == EINTR)
                continue;
            listing.error = errno;
            listing.failedCall = "read";
            break;
        }
        for (long position = 0; position < read;) {
            const auto* entry = reinterpret_cast<const LinuxDirent64*>(scratch.buffer.data() + position);
            position += entry->d_reclen;
            const char* name = entry->d_name;
            const size_t length = std::strlen(name);
            if (name[0] == '.' && (length == 1 || (length == 2 && name[1] == '.')))
                continue;
            // A name is any bytes (Latin-1, cut UTF-8): it is listed as it is.
            unsigned char type = entry->d_type;
            struct statx status;
            bool haveStatus = false;
            if (type == DT_UNKNOWN || type == DT_REG || type == DT_LNK) {
                if (::statx(fd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, mask, &status) != 0)
                    continue; // gone since the listing
                haveStatus = true;
                type = S_ISDIR(status.stx_mode) ? DT_DIR : S_ISREG(status.stx_mode) ? DT_REG
                                                   : S_ISLNK(status.stx_mode)   ? DT_LNK
                                                                                : DT_UNKNOWN;
            }
            if (type == DT_DIR) {
                FolderSighting seen{quint64(entry->d_ino), listing.device, FolderSighting::Source::Listing};
                if (haveStatus)
                    seen = {status.stx_ino, quint64(makedev(status.stx_dev_major, status.stx_dev_minor)),
                            FolderSighting::Source::LookUp};
                listing.subfolders.push_back({storeName(listing.names, name, length), seen});
                continue;
            }
            if (type == DT_LNK) {
                // A link counts as a file when it leads to a regular file; it
                // keeps its own times. A link to a folder is neither entered nor listed.
                struct stat target;
                if (::fstatat(fd, name, &target, 0) != 0 || !S_ISREG(target.st_mode))
                    continue;
            } else if (type != DT_REG) {
                continue; // FIFOs, sockets and devices are not files to list
            }
            if (tildeNames == TildeNames::Drop && name[0] == '~') {
                ++listing.tildeNames;
                continue;
            }
            if (!haveStatus)
                continue;
            const ListedName stored = storeName(listing.names, name, length);
            listing.files.push_back({stored.offset, quint16(stored.length),
                                     type == DT_LNK ? platform::FileType::Link : platform::FileType::Regular,
                                     statxDate(status, kind, times), status.stx_ino, qint64(status.stx_size)});
            const quint64 device = makedev(status.stx_dev_major, status.stx_dev_minor);
            if (device != listing.device)
                listing.otherDevices.push_back({stored.offset, device});
        }
    }
}
