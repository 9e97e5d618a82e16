#include "scan/FileChecks.h"

#include "platform/FileSystem.h"
#include "scan/FolderListing.h"

bool HasUnsafeChars(QStringView name)
{
    for (const char32_t c : name.toUcs4()) {
        if (c < 32 || c == 63 || (c >= 127 && c <= 159))
            return true;
    }
    return false;
}

QStringList ListFiles(const QString& folder, const QString& pattern)
{
    Q_UNUSED(pattern);
    FolderListing listing;
    ListingScratch scratch;
    LocalTimeCache times;
    QByteArray path = platform::nativePath(folder);
    if (!path.endsWith('/'))
        path += '/';
    listFolder(openListedFolder(path), DateKind::Modified, TildeNames::Keep, listing, scratch, times);
    QStringList names;
    names.reserve(qsizetype(listing.files.size()));
    for (const ListedFile& file : listing.files)
        names << platform::pathFromNative(QByteArrayView(listing.nameData(file.name()), file.nameLength));
    return names;
}
