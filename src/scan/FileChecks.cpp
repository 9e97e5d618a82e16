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

bool isValidUtf8(const char* bytes, size_t length)
{
    const auto* s = reinterpret_cast<const unsigned char*>(bytes);
    size_t i = 0;
    while (i < length) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t extra;
        char32_t codePoint;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            codePoint = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            codePoint = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            codePoint = c & 0x07;
        } else {
            return false;
        }
        for (size_t k = 1; k <= extra; ++k) {
            if (i + k >= length || (s[i + k] & 0xC0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (s[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
        if ((extra == 2 && codePoint < 0x800) || (extra == 3 && codePoint < 0x10000) || codePoint > 0x10FFFF
            || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
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
        names << QString::fromUtf8(listing.nameData(file.name()), file.nameLength);
    return names;
}
