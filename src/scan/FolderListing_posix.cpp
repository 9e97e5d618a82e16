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

// Looks at one entry with statx relative to the open folder (and, for a
// link, at what it leads to), converting its date on the calling thread.
void lookAt(int fd, const ListingScratch::Entry& entry, unsigned mask, DateKind kind, LocalTimeCache& times,
            ListingScratch::LookedAt& looked)
{
    struct statx status;
    if (::statx(fd, entry.name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, mask, &status) != 0) {
        looked.error = errno;
        return;
    }
    looked.error = 0;
    looked.type = S_ISDIR(status.stx_mode) ? DT_DIR : S_ISREG(status.stx_mode) ? DT_REG
        : S_ISLNK(status.stx_mode)                                           ? DT_LNK
                                                                             : DT_UNKNOWN;
    looked.inode = status.stx_ino;
    looked.device = quint64(makedev(status.stx_dev_major, status.stx_dev_minor));
    looked.size = qint64(status.stx_size);
    looked.linkToFile = false;
    if (looked.type == DT_REG || looked.type == DT_LNK)
        looked.localSeconds = statxDate(status, kind, times);
    if (looked.type == DT_LNK) {
        // A link counts as a file when it leads to a regular file; it keeps
        // its own times. A link to a folder is neither entered nor listed.
        struct stat target;
        looked.linkToFile = ::fstatat(fd, entry.name, &target, 0) == 0 && S_ISREG(target.st_mode);
    }
}

// Adds one entry of the folder to the listing, with what its look-up found
// (none for a folder the listing named as one, or an entry no file can be).
void addEntry(const ListingScratch::Entry& entry, const ListingScratch::LookedAt* looked, TildeNames tildeNames,
              FolderListing& listing)
{
    if (looked && looked->error != 0) {
        // A file deleted since the listing is not listed. One that could not
        // be looked at (an I/O error, a share gone away) is not listed
        // either, since it has no date, and its folder counts as not read to
        // the end.
        if (looked->error != ENOENT && listing.error == 0) {
            listing.error = looked->error;
            listing.failedCall = "stat";
        }
        return;
    }
    const unsigned char type = looked ? looked->type : entry.type;
    if (type == DT_DIR) {
        FolderSighting seen{entry.inode, listing.device, FolderSighting::Source::Listing};
        if (looked)
            seen = {looked->inode, looked->device, FolderSighting::Source::LookUp};
        listing.subfolders.push_back({storeName(listing.names, entry.name, entry.length), seen});
        return;
    }
    if (type == DT_LNK) {
        if (!looked->linkToFile)
            return;
    } else if (type != DT_REG) {
        return; // FIFOs, sockets and devices are not files to list
    }
    if (tildeNames == TildeNames::Drop && entry.name[0] == '~') {
        ++listing.tildeNames;
        return;
    }
    const ListedName stored = storeName(listing.names, entry.name, entry.length);
    listing.files.push_back({stored.offset, quint16(stored.length),
                             type == DT_LNK ? platform::FileType::Link : platform::FileType::Regular,
                             looked->localSeconds, looked->inode, looked->size});
    if (looked->device != listing.device)
        listing.otherDevices.push_back({stored.offset, looked->device});
}

} // namespace

void readFolder(const OpenedFolder& folder, DateKind kind, TildeNames tildeNames, FolderListing& listing,
                ListingScratch& scratch, LocalTimeCache& times)
{
    if (!beginListing(folder, listing))
        return;
    const int fd = folder.descriptor.get();
    const unsigned mask = statxMaskFor(kind) | STATX_INO | STATX_SIZE;
    std::vector<ListingScratch::Entry>& entries = scratch.entries;
    std::vector<ListingScratch::LookedAt>& looked = scratch.looked;
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
        // Each piece the listing gives is taken in three steps: its entries,
        // the look-ups of those that may be files (which may run on several
        // threads at once), then the entries in their order.
        entries.clear();
        std::vector<quint32>& toLookAt = scratch.toLookAt;
        toLookAt.clear();
        for (long position = 0; position < read;) {
            const auto* entry = reinterpret_cast<const LinuxDirent64*>(scratch.buffer.data() + position);
            position += entry->d_reclen;
            const char* name = entry->d_name;
            const size_t length = std::strlen(name);
            if (name[0] == '.' && (length == 1 || (length == 2 && name[1] == '.')))
                continue;
            // A name is any bytes (Latin-1, cut UTF-8): it is listed as it is.
            const unsigned char type = entry->d_type;
            const bool mayBeFile = type == DT_UNKNOWN || type == DT_REG || type == DT_LNK;
            if (mayBeFile)
                toLookAt.push_back(quint32(entries.size()));
            entries.push_back({name, quint32(length), type, quint64(entry->d_ino), mayBeFile ? qint32(toLookAt.size() - 1) : -1});
        }
        looked.resize(toLookAt.size());
        const auto lookAtRange = [&](size_t begin, size_t end, LocalTimeCache& cache) {
            for (size_t i = begin; i < end; ++i)
                lookAt(fd, entries[toLookAt[i]], mask, kind, cache, looked[i]);
        };
        if (scratch.spread && toLookAt.size() > 1)
            scratch.spread(toLookAt.size(), lookAtRange);
        else
            lookAtRange(0, toLookAt.size(), times);
        for (const ListingScratch::Entry& entry : entries)
            addEntry(entry, entry.lookUp >= 0 ? &looked[size_t(entry.lookUp)] : nullptr, tildeNames, listing);
    }
}
