// The parts of a folder listing that do not call the system: starting one,
// dropping names handed out twice, copying it out at its size, and adding
// its files to the table.

#include "scan/FolderListing.h"

#include <QHashFunctions>

#include <bit>
#include <cerrno>

bool dropsFolderSilently(int error)
{
    return error == EACCES || error == EPERM || error == ENOENT || error == ENOTDIR || error == ELOOP
        || error == ENAMETOOLONG || error == kFolderChanged;
}

bool isNoFolderThere(int error)
{
    return error == ENOENT || error == ENOTDIR || error == ELOOP || error == kFolderChanged;
}

namespace {

// The most room a thread's own listing keeps from one folder to the next.
constexpr size_t kKeptScratchBytes = 256 << 10;

void copyOutcome(const FolderListing& read, FolderListing& listing)
{
    listing.error = read.error;
    listing.failedCall = read.failedCall;
    listing.device = read.device;
    listing.skippedNames = read.skippedNames;
    listing.tildeNames = read.tildeNames;
}

// A thread that met one large folder should not hold its room to the end.
void letGoIfLarge(FolderListing& read)
{
    const size_t held = size_t(read.names.capacity()) + read.files.capacity() * sizeof(ListedFile)
        + read.subfolders.capacity() * sizeof(ListedSubfolder);
    if (held > kKeptScratchBytes)
        read = FolderListing();
}

void copyOutListing(FolderListing& read, FolderListing& listing)
{
    // Copied at its exact size, reusing the memory `listing` has: a listing
    // may wait a long time for the coordinator, and most folders fit in far
    // less than a listing grown entry by entry reserves.
    copyOutcome(read, listing);
    listing.names.resize(0);
    listing.names.reserve(read.names.size());
    listing.names.append(read.names.constData(), read.names.size());
    listing.files.assign(read.files.begin(), read.files.end());
    listing.subfolders.assign(read.subfolders.begin(), read.subfolders.end());
    listing.otherDevices.assign(read.otherDevices.begin(), read.otherDevices.end());
    letGoIfLarge(read);
}

} // namespace

bool beginListing(const OpenedFolder& folder, FolderListing& listing)
{
    listing.clear();
    if (!folder.descriptor.isOpen()) {
        listing.error = folder.error != 0 ? folder.error : EBADF;
        listing.failedCall = "open";
        return false;
    }
    listing.device = folder.device;
    return true;
}

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

void readListing(const OpenedFolder& folder, DateKind kind, TildeNames tildeNames, ListingScratch& scratch,
                 LocalTimeCache& times)
{
    readFolder(folder, kind, tildeNames, scratch.listing, scratch, times);
    dropRepeatedNames(scratch.listing, scratch.nameBuckets);
}

void keepListingOutcome(ListingScratch& scratch, FolderListing& listing)
{
    copyOutcome(scratch.listing, listing);
    letGoIfLarge(scratch.listing);
}

void listFolder(const OpenedFolder& folder, DateKind kind, TildeNames tildeNames, FolderListing& listing,
                ListingScratch& scratch, LocalTimeCache& times)
{
    // Read into the thread's own listing, which keeps its memory from folder
    // to folder, then copied out at its size.
    readListing(folder, kind, tildeNames, scratch, times);
    copyOutListing(scratch.listing, listing);
}
