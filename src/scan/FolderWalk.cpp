#include "scan/FolderWalk.h"

#include "folders/FolderPath.h"
#include "platform/FileSystem.h"
#include "scan/FileChecks.h"
#include "scan/FolderListing.h"

#include <cstring>

namespace {

void reportFailure(const ScanFeedback& feedback, int step, int error)
{
    if (feedback.failure)
        feedback.failure(walkLocation(), step, QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace

void GetSubDirectories2016(QStringList& collection, bool recurse, const ScanFeedback& feedback)
{
    QStringList newLevel;
    FolderListing listing;
    ListingScratch scratch;
    LocalTimeCache times;
    for (qsizetype i = 0; i < collection.size(); ++i) {
        const QString folder = collection.at(i);
        if (IsDirectory(folder) != true || folder.size() >= kMaxPathLength)
            continue;
        if (!isExpandable(folder))
            continue;
        listFolder(platform::nativePath(folder), DateKind::Modified, TildeNames::Keep, true, listing, scratch, times);
        for (const ListedName& name : listing.subfolders)
            newLevel << folder + QString::fromUtf8(listing.nameData(name), name.length) + QLatin1Char('/');
        if (listing.error == 0)
            continue;
        if (dropsFolderSilently(listing.error)) {
            collection.removeAt(collection.indexOf(folder));
            --i;
            continue;
        }
        reportFailure(feedback, std::strcmp(listing.failedCall, "open") == 0 ? 112 : 118, listing.error);
    }
    if (recurse && !newLevel.isEmpty())
        GetSubDirectories2016(newLevel, true, feedback);
    for (const QString& folder : newLevel) {
        if (IsDirectory(folder) == true && isExpandable(folder))
            collection << folder;
    }
}

ScanCounts scanSequentially(const QStringList& folders, DateKind kind, FoundFileTable& table,
                            const ScanFeedback& feedback)
{
    ScanCounts counts;
    FolderListing listing;
    ListingScratch scratch;
    LocalTimeCache times;
    for (const QString& listed : folders) {
        QStringList collection{listed};
        GetSubDirectories2016(collection, true, feedback);
        for (const QString& folder : collection) {
            ++counts.folders;
            listFolder(platform::nativePath(folder), kind, TildeNames::Drop, true, listing, scratch, times);
            table.beginFolder(NormalizeFolderPath(folder));
            for (const ListedFile& file : listing.files)
                table.appendFile(listing.nameData(file.name), file.name.length, file.localSeconds);
            counts.files += qint64(listing.files.size());
        }
    }
    return counts;
}
