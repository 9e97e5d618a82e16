// The folder and file checks of FileChecks.h on Linux.

#include "scan/FileChecks.h"

#include "platform/FileSystem.h"
#include "scan/MountTable.h"

#include <sys/stat.h>

std::optional<bool> IsDirectory(const QString& path)
{
    struct stat status;
    if (path.isEmpty() || ::lstat(platform::nativePath(path).constData(), &status) != 0) {
        // "/data/" names the folder itself even when it is reached through a link.
        if (path.size() > 1 && path.endsWith(QLatin1Char('/'))
            && ::stat(platform::nativePath(path).constData(), &status) == 0)
            return S_ISDIR(status.st_mode);
        return std::nullopt;
    }
    return S_ISDIR(status.st_mode);
}

bool IsRootFolder(const QString& path)
{
    return path == QLatin1String("/");
}

int folderAttributes(const QString& path)
{
    static const MountTable mounts = MountTable::current();
    if (mounts.isPseudoMountPoint(platform::nativePath(path)))
        return kAttributesNotExpanded;
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    const QString name = trimmed.mid(trimmed.lastIndexOf(QLatin1Char('/')) + 1);
    return kAttributeDirectory | (name.startsWith(QLatin1Char('.')) ? kAttributeHidden : 0);
}

bool isExpandable(const QString& path)
{
    return IsRootFolder(path) || folderAttributes(path) != kAttributesNotExpanded;
}

bool CanOpenFile(const QString& path)
{
    struct stat status;
    return !path.isEmpty() && ::stat(platform::nativePath(path).constData(), &status) == 0 && S_ISREG(status.st_mode);
}
