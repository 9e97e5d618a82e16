// The folder and file checks of FileChecks.h on Windows: the attributes the
// file system keeps, and CreateFileW for whether a file can be opened.

#include "scan/FileChecks.h"

#include "platform/WindowsText.h"

std::optional<bool> IsDirectory(const QString& path)
{
    if (path.isEmpty())
        return std::nullopt;
    const DWORD attributes = GetFileAttributesW(platform::widePath(platform::withoutTrailingSeparator(path)).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return std::nullopt;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsRootFolder(const QString& path)
{
    return path.size() == 3 && path.at(0).isLetter() && path.at(1) == QLatin1Char(':')
        && (path.at(2) == QLatin1Char('\\') || path.at(2) == QLatin1Char('/'));
}

int folderAttributes(const QString& path)
{
    const DWORD attributes = GetFileAttributesW(platform::widePath(platform::withoutTrailingSeparator(path)).c_str());
    return attributes == INVALID_FILE_ATTRIBUTES ? kAttributeDirectory : int(attributes);
}

bool isExpandable(const QString& path)
{
    if (IsRootFolder(path))
        return true;
    const int attributes = folderAttributes(path);
    return attributes != kAttributesNotExpanded && attributes != kAttributesNotExpandedLink;
}

bool CanOpenFile(const QString& path)
{
    if (path.isEmpty())
        return false;
    // No access asked, so that a file another program has open still counts;
    // a folder cannot be opened this way.
    const platform::UniqueHandle handle(CreateFileW(platform::widePath(path).c_str(), 0,
                                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                                    nullptr));
    return handle.isValid();
}
