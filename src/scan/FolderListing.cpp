#include "scan/FolderListing.h"

#include "scan/FileChecks.h"

#include <QHashFunctions>

#include <bit>
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

void dropRepeatedNames(FolderListing& listing, std::vector<quint32>& buckets)
{
    const size_t files = listing.files.size();
    const size_t count = files + listing.subfolders.size();
    if (count < 2)
        return;
    // Entry e is file e, or subfolder e - files; names were stored in
    // listing order, so the earlier of two entries has the lower offset.
    const auto nameOf = [&](size_t entry) {
        return entry < files ? listing.files[entry].name() : listing.subfolders[entry - files].name;
    };
    const auto bytesOf = [&](const ListedName& name) { return QByteArrayView(listing.nameData(name), name.length); };
    const size_t mask = std::bit_ceil(2 * count) - 1;
    buckets.assign(mask + 1, 0);
    std::vector<bool> repeated;
    size_t file = 0;
    size_t subfolder = files;
    while (file < files || subfolder < count) {
        const bool takeFile = subfolder == count
            || (file < files && listing.files[file].nameOffset < listing.subfolders[subfolder - files].name.offset);
        const size_t entry = takeFile ? file++ : subfolder++;
        const QByteArrayView name = bytesOf(nameOf(entry));
        for (size_t slot = qHash(name) & mask;; slot = (slot + 1) & mask) {
            if (buckets[slot] == 0) {
                buckets[slot] = quint32(entry + 1);
                break;
            }
            if (bytesOf(nameOf(buckets[slot] - 1)) == name) {
                if (repeated.empty())
                    repeated.resize(count);
                repeated[entry] = true;
                break;
            }
        }
    }
    if (repeated.empty())
        return;
    const auto keepFirst = [&](auto& entries, size_t first) {
        size_t kept = 0;
        for (size_t i = 0; i < entries.size(); ++i) {
            if (!repeated[first + i])
                entries[kept++] = entries[i];
        }
        entries.resize(kept);
    };
    keepFirst(listing.files, 0);
    keepFirst(listing.subfolders, files);
}

void appendListedFiles(FoundFileTable& table, QByteArrayView folderPath, const FolderListing& listing)
{
    table.beginFolderUtf8(folderPath, listing.device);
    // Both lists are in listing order, so the few other devices are met in step.
    auto other = listing.otherDevices.begin();
    for (const ListedFile& file : listing.files) {
        quint64 device = listing.device;
        while (other != listing.otherDevices.end() && other->nameOffset < file.nameOffset)
            ++other;
        if (other != listing.otherDevices.end() && other->nameOffset == file.nameOffset)
            device = other->device;
        table.appendFile(listing.nameData(file.name()), file.nameLength, file.localSeconds,
                         {file.inode, file.size, file.type, device});
    }
}

bool dropsFolderSilently(int error)
{
    return error == EACCES || error == EPERM || error == ENOENT || error == ENOTDIR || error == ELOOP
        || error == ENAMETOOLONG || error == kFolderChanged;
}

namespace {

// The most room a thread's own listing keeps from one folder to the next.
constexpr size_t kKeptScratchBytes = 256 << 10;

// Copies `from` into `to` at its exact size, reusing the memory `to` has:
// a listing may wait a long time for the coordinator, and most folders fit
// in far less than a listing grown entry by entry reserves.
void copyListing(const FolderListing& from, FolderListing& to)
{
    to.error = from.error;
    to.failedCall = from.failedCall;
    to.device = from.device;
    to.skippedNames = from.skippedNames;
    to.names.resize(0);
    to.names.reserve(from.names.size());
    to.names.append(from.names.constData(), from.names.size());
    to.files.assign(from.files.begin(), from.files.end());
    to.subfolders.assign(from.subfolders.begin(), from.subfolders.end());
    to.otherDevices.assign(from.otherDevices.begin(), from.otherDevices.end());
}

void readFolder(const OpenedFolder& folder, DateKind kind, TildeNames tildeNames, FolderListing& listing,
                ListingScratch& scratch, LocalTimeCache& times)
{
    listing.clear();
    if (!folder.descriptor.isOpen()) {
        listing.error = folder.error != 0 ? folder.error : EBADF;
        listing.failedCall = "open";
        return;
    }
    const int fd = folder.descriptor.get();
    listing.device = folder.device;
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
            // A name that is not UTF-8 cannot be shown or typed: it is skipped
            // with everything below it, and counted.
            if (!isValidUtf8(name, length)) {
                ++listing.skippedNames;
                continue;
            }

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
            if (tildeNames == TildeNames::Drop && name[0] == '~')
                continue;
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

} // namespace

void listFolder(const OpenedFolder& folder, DateKind kind, TildeNames tildeNames, FolderListing& listing,
                ListingScratch& scratch, LocalTimeCache& times)
{
    // Read into the thread's own listing, which keeps its memory from folder
    // to folder, then copied out at its size.
    FolderListing& read = scratch.listing;
    readFolder(folder, kind, tildeNames, read, scratch, times);
    dropRepeatedNames(read, scratch.nameBuckets);
    copyListing(read, listing);
    // A thread that met one large folder should not hold its room to the end.
    const size_t held = size_t(read.names.capacity()) + read.files.capacity() * sizeof(ListedFile)
        + read.subfolders.capacity() * sizeof(ListedSubfolder);
    if (held > kKeptScratchBytes)
        read = FolderListing();
}
