// Looking at a listed file on Windows: one handle opened on the name itself
// (a link or junction is looked at, never followed), read with
// GetFileInformationByHandle. The device is the volume serial and the inode
// the file ID, as the scan's table keeps them: the file ID only on NTFS and
// ReFS, whose IDs last, and 0 elsewhere (FAT and network drives may make
// them up per call), so a list made by --format matches what --trash-from
// finds later.

#include "cli/FileLook.h"

#include "platform/WindowsText.h"

#include <cerrno>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace cli {

namespace {

constexpr qint64 kSecondsFrom1601To1970 = 11644473600;

std::optional<FileTime> timeOf(const FILETIME& time)
{
    const quint64 ticks = (quint64(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    // A time the file system does not keep reads as 0.
    if (ticks == 0)
        return std::nullopt;
    return FileTime{qint64(ticks / 10000000) - kSecondsFrom1601To1970, quint32(ticks % 10000000) * 100};
}

/** Whether the file IDs of the volume `serial`, open as `handle`, last (NTFS and ReFS); asked once per volume. */
bool fileIdsLast(HANDLE handle, DWORD serial)
{
    static std::mutex mutex;
    static std::vector<std::pair<DWORD, bool>> volumes;
    const std::lock_guard lock(mutex);
    for (const auto& [known, last] : volumes) {
        if (known == serial)
            return last;
    }
    wchar_t name[MAX_PATH + 1] = {};
    const bool last = GetVolumeInformationByHandleW(handle, nullptr, 0, nullptr, nullptr, nullptr, name, MAX_PATH + 1)
        && (std::wstring(name) == L"NTFS" || std::wstring(name) == L"ReFS");
    volumes.emplace_back(serial, last);
    return last;
}

} // namespace

FileLooker::~FileLooker() = default;

int FileLooker::look(QByteArrayView folder, QByteArrayView name, FileLook& look)
{
    return this->look(folder.toByteArray() + name.toByteArray(), look);
}

int FileLooker::look(QByteArrayView path, FileLook& look)
{
    const std::wstring wide = platform::widePath(path.toByteArray());
    const HANDLE handle = CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return platform::errnoOfWindowsError(GetLastError());
    BY_HANDLE_FILE_INFORMATION information;
    const bool read = GetFileInformationByHandle(handle, &information);
    const DWORD error = read ? 0 : GetLastError();
    const bool idsLast = read && fileIdsLast(handle, information.dwVolumeSerialNumber);
    CloseHandle(handle);
    if (!read)
        return platform::errnoOfWindowsError(error);
    if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return EISDIR;
    look = FileLook();
    look.device = information.dwVolumeSerialNumber;
    look.inode = idsLast ? (quint64(information.nFileIndexHigh) << 32) | information.nFileIndexLow : 0;
    look.isLink = information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
    look.size = qint64((quint64(information.nFileSizeHigh) << 32) | information.nFileSizeLow);
    look.modified = timeOf(information.ftLastWriteTime);
    look.created = timeOf(information.ftCreationTime);
    look.accessed = timeOf(information.ftLastAccessTime);
    return 0;
}

} // namespace cli
