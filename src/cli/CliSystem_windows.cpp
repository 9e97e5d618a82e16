// The command line's system calls on Windows.

#include "cli/CliSystem.h"

#include "platform/WindowsText.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <psapi.h>

std::optional<QString> folderProblem(const QString& folder)
{
    QString path = folder;
    while (path.size() > 3 && (path.endsWith(QLatin1Char('/')) || path.endsWith(QLatin1Char('\\'))))
        path.chop(1);
    const std::wstring wide = platform::widePath(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const int errnum = platform::errnoOfWindowsError(GetLastError());
        if (errnum == ENOENT || errnum == ENOTDIR)
            return QStringLiteral("no such folder");
        return QString::fromLocal8Bit(std::strerror(errnum));
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return QStringLiteral("not a folder");
    const platform::UniqueHandle handle(CreateFileW(wide.c_str(), FILE_LIST_DIRECTORY,
                                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.isValid())
        return QStringLiteral("cannot be read: %1")
            .arg(QString::fromLocal8Bit(std::strerror(platform::errnoOfWindowsError(GetLastError()))));
    return std::nullopt;
}

qint64 peakMemoryKiB()
{
    PROCESS_MEMORY_COUNTERS counters{};
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return 0;
    return qint64(counters.PeakWorkingSetSize / 1024);
}

std::optional<QString> openInputFile(const QString& path, FileWriters, QFile& file)
{
    // FIXME: on Windows, who may write the file is not checked yet.
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("no such file");
    if (!info.isFile())
        return info.isDir() ? QStringLiteral("it is a folder") : QStringLiteral("not a regular file");
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    return std::nullopt;
}
