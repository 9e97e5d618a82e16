// The file-system calls of FileSystem.h on Windows.

#include "platform/FileSystem.h"

#include "platform/WindowsText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace platform {

bool fileExists(const QString& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    return !path.isEmpty() && GetFileAttributesExW(widePath(path).c_str(), GetFileExInfoStandard, &data);
}

bool isFolder(const QString& path)
{
    const DWORD attributes = path.isEmpty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(widePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

QStringList programArguments(int, char*[])
{
    // Qt reads the wide command line, so every name arrives as it is.
    return QCoreApplication::arguments();
}

QString absolutePath(const QString& path)
{
    return QFileInfo(path).absoluteFilePath();
}

QString currentFolder()
{
    return QDir::currentPath();
}

} // namespace platform
