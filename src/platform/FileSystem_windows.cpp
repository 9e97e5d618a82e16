// The file-system calls of FileSystem.h on Windows.

#include "platform/FileSystem.h"

#include "platform/WindowsText.h"

namespace platform {

bool fileExists(const QString& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    return !path.isEmpty() && GetFileAttributesExW(widePath(path).c_str(), GetFileExInfoStandard, &data);
}

} // namespace platform
