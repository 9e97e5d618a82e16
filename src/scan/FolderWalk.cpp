#include "scan/FolderWalk.h"

#include "folders/FolderPath.h"
#include "platform/FileSystem.h"
#include "scan/FileChecks.h"
#include "scan/FolderListing.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {

// A folder given to the walk: it may be reached through a link, since the
// user chose it. Its descriptor is where every folder below it is opened from.
struct StartingFolder {
    QByteArray path; // ending in "/"
    OpenedFolder opened;
    /** Whether it was ever opened; a descriptor let go is opened again and must be the same folder. */
    bool seen = false;
    quint64 device = 0;
    quint64 inode = 0;
};

// A caller may start the walk from any number of folders; at most this many
// of their descriptors are held at once.
constexpr size_t kHeldStartingFolders = 16;

// One entry of a folder collection.
struct WalkFolder {
    QString path;
    QByteArray nativePath;
    /** Index of the starting folder this one lies below (or is). */
    size_t start = 0;
    bool isStartingFolder = false;
    /** What its parent's listing saw; once opened, the device and inode found. */
    FolderSighting seen;
    /** False when the folder's place held no folder (gone, a link, another folder). */
    bool isFolder = true;
};

struct WalkContext {
    std::vector<StartingFolder> starts;
    std::vector<size_t> heldStarts; // oldest first
    const ScanFeedback& feedback;
    ScanCounts& counts;
    FolderListing listing;
    ListingScratch scratch;
    LocalTimeCache times;
};

void reportFailure(const ScanFeedback& feedback, int step, int error)
{
    if (feedback.failure)
        feedback.failure(walkLocation(), step, QString::fromLocal8Bit(std::strerror(error)));
}

void reportUnreadable(const ScanFeedback& feedback, const QByteArray& folder, int error)
{
    if (feedback.unreadableFolder && !isNoFolderThere(error))
        feedback.unreadableFolder(folder, error);
}

// The starting folder `index`, opened when it is not held; the oldest one
// held is let go when too many are.
const StartingFolder& startingFolder(size_t index, WalkContext& context)
{
    StartingFolder& start = context.starts[index];
    if (start.opened.descriptor.isOpen() || (start.seen && start.opened.error != 0))
        return start;
    if (context.heldStarts.size() >= kHeldStartingFolders) {
        context.starts[context.heldStarts.front()].opened.descriptor.reset();
        context.heldStarts.erase(context.heldStarts.begin());
    }
    start.opened = openListedFolder(start.path);
    if (start.opened.descriptor.isOpen()) {
        if (start.seen && (start.opened.device != start.device || start.opened.inode != start.inode)) {
            start.opened = OpenedFolder();
            start.opened.error = kFolderChanged;
            return start;
        }
        context.heldStarts.push_back(index);
    }
    start.seen = true;
    start.device = start.opened.device;
    start.inode = start.opened.inode;
    return start;
}

// Opens a folder of a collection: a starting folder afresh from its own
// descriptor, any other one below its starting folder without links.
OpenedFolder openWalkFolder(const WalkFolder& folder, WalkContext& context)
{
    const StartingFolder& start = startingFolder(folder.start, context);
    if (!start.opened.descriptor.isOpen()) {
        OpenedFolder failed;
        failed.error = start.opened.error;
        return failed;
    }
    if (folder.isStartingFolder)
        return reopenFolder(start.opened.descriptor.get(), start.opened.device);
    const char* relative = folder.nativePath.constData() + start.path.size();
    const size_t length = size_t(folder.nativePath.size() - start.path.size() - 1);
    return openFoundFolder(start.opened.descriptor.get(), relative, length, folder.seen, context.scratch.trust,
                           folder.nativePath);
}

// One call of the walk on `collection`, as GetSubDirectories2016 describes.
void extend(std::vector<WalkFolder>& collection, bool recurse, WalkContext& context)
{
    std::vector<WalkFolder> newLevel;
    for (size_t i = 0; i < collection.size(); ++i) {
        WalkFolder& folder = collection[i];
        OpenedFolder opened = openWalkFolder(folder, context);
        if (!opened.descriptor.isOpen()) {
            ++context.counts.unreadableFolders;
            reportUnreadable(context.feedback, folder.nativePath, opened.error);
            if (isNoFolderThere(opened.error)) {
                // Gone, a link or another folder in its place: skipped here,
                // and left out when its level joins the collection.
                folder.isFolder = false;
            } else if (dropsFolderSilently(opened.error)) {
                collection.erase(collection.begin() + qsizetype(i));
                --i;
            } else {
                reportFailure(context.feedback, 112, opened.error);
            }
            continue;
        }
        // Reopened later for its files: it must still be this very folder then.
        if (!folder.isStartingFolder)
            folder.seen = {opened.inode, opened.device, FolderSighting::Source::LookUp};
        if (folder.nativePath.size() >= kMaxPathLength || !isExpandable(folder.path))
            continue;

        listFolder(opened, DateKind::Modified, TildeNames::Keep, context.listing, context.scratch, context.times);
        const FolderListing& listing = context.listing;
        for (const ListedSubfolder& subfolder : listing.subfolders) {
            WalkFolder child;
            child.nativePath = folder.nativePath;
            child.nativePath.append(listing.nameData(subfolder.name), qsizetype(subfolder.name.length)).append(kPathSeparator.toLatin1());
            child.path = folder.path
                + platform::pathFromNative(QByteArrayView(listing.nameData(subfolder.name), subfolder.name.length))
                + kPathSeparator;
            child.start = folder.start;
            child.seen = subfolder.seen;
            if (isExpandable(child.path))
                newLevel.push_back(std::move(child));
        }
        if (listing.error == 0)
            continue;
        ++context.counts.unreadableFolders;
        reportUnreadable(context.feedback, folder.nativePath, listing.error);
        if (dropsFolderSilently(listing.error)) {
            collection.erase(collection.begin() + qsizetype(i));
            --i;
            continue;
        }
        reportFailure(context.feedback, 118, listing.error);
    }
    if (recurse && !newLevel.empty())
        extend(newLevel, true, context);
    for (WalkFolder& folder : newLevel) {
        if (!recurse && folder.isFolder) {
            // Not opened by a deeper call: make sure a folder still stands there.
            const OpenedFolder opened = openWalkFolder(folder, context);
            folder.isFolder = opened.descriptor.isOpen();
            if (folder.isFolder)
                folder.seen = {opened.inode, opened.device, FolderSighting::Source::LookUp};
        }
        if (folder.isFolder && isExpandable(folder.path))
            collection.push_back(std::move(folder));
    }
}

std::vector<WalkFolder> startingCollection(const QStringList& folders, WalkContext& context)
{
    std::vector<WalkFolder> collection;
    for (const QString& path : folders) {
        WalkFolder folder;
        folder.path = path;
        folder.nativePath = platform::nativePath(path);
        if (!folder.nativePath.endsWith(kPathSeparator.toLatin1()))
            folder.nativePath += kPathSeparator.toLatin1();
        folder.start = context.starts.size();
        folder.isStartingFolder = true;
        context.starts.push_back({folder.nativePath, {}, false, 0, 0});
        collection.push_back(std::move(folder));
    }
    return collection;
}

} // namespace

void GetSubDirectories2016(QStringList& collection, bool recurse, const ScanFeedback& feedback)
{
    ScanCounts counts;
    WalkContext context{{}, {}, feedback, counts, {}, {}, {}};
    std::vector<WalkFolder> folders = startingCollection(collection, context);
    extend(folders, recurse, context);
    collection.clear();
    for (const WalkFolder& folder : folders)
        collection << folder.path;
}

ScanCounts scanSequentially(const QStringList& folders, DateKind kind, FoundFileTable& table,
                            const ScanFeedback& feedback)
{
    ScanCounts counts;
    for (const QString& listed : folders) {
        QString normalized = NormalizeFolderPath(listed);
        if (!normalized.endsWith(kPathSeparator))
            normalized += kPathSeparator;
        table.beginListedFolder(normalized, PathsBelow::Unique);
        WalkContext context{{}, {}, feedback, counts, {}, {}, {}};
        std::vector<WalkFolder> collection = startingCollection({normalized}, context);
        extend(collection, true, context);
        for (const WalkFolder& folder : collection) {
            if (!folder.isFolder)
                continue;
            listFolder(openWalkFolder(folder, context), kind, TildeNames::Drop, context.listing, context.scratch,
                       context.times);
            const FolderListing& listing = context.listing;
            counts.skippedNames += listing.skippedNames;
            counts.tildeNames += listing.tildeNames;
            if (listing.error != 0 && std::strcmp(listing.failedCall, "open") == 0) {
                // It was opened to find its subfolders; gone or changed since, it
                // counts as a folder that could not be read (another failure
                // was counted at that first opening).
                if (isNoFolderThere(listing.error))
                    ++counts.unreadableFolders;
                continue;
            }
            ++counts.folders;
            appendListedFiles(table, folder.nativePath, listing);
            counts.files += qint64(listing.files.size());
        }
    }
    return counts;
}
