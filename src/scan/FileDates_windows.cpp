// The file dates of FileDates.h on Windows: the times the file system keeps
// (a link's own times), cut to the whole second.

#include "scan/FileDates.h"

#include "platform/WindowsText.h"

qint64 fileDate(const QString& path, DateKind kind)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path.isEmpty() || !GetFileAttributesExW(platform::widePath(path).c_str(), GetFileExInfoStandard, &data))
        return kNoDate;
    const FILETIME& time = kind == DateKind::Accessed ? data.ftLastAccessTime
        : kind == DateKind::Created                   ? data.ftCreationTime
                                                      : data.ftLastWriteTime;
    const qint64 ticks = qint64((quint64(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    return localSecondsFromUtc(ticks / 10000000 - 11644473600LL);
}
