// Writing a whole file the user named on Windows, without ever losing what
// was there: the content goes to a temporary file beside the target, is
// flushed, and then takes the target's place with ReplaceFileW (an existing
// file, whose attributes and security it keeps) or MoveFileExW with
// MOVEFILE_WRITE_THROUGH (a free name, which is not replaced should something
// appear there meanwhile). A link is followed to the file it stands for. A
// read-only file, a folder or a device is refused and left as it is. A failed
// save removes its own temporary file and leaves the old file untouched.

#include "platform/SaveFile.h"

#include "platform/FileSystem.h"
#include "platform/WindowsText.h"

#include <cstring>

namespace platform {

namespace {

QString describe(const QString& fileName, int errnum)
{
    return QStringLiteral("%1: %2").arg(fileName, QString::fromLocal8Bit(std::strerror(errnum)));
}

QString describeLastError(const QString& fileName)
{
    return describe(fileName, errnoOfWindowsError(GetLastError()));
}

// The path `path` stands for once links are followed; `path` itself when
// nothing is there yet (or it cannot be resolved).
std::wstring resolved(const std::wstring& path)
{
    const UniqueHandle handle(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.isValid())
        return path;
    const std::wstring final = finalPathOf(handle.get());
    return final.empty() ? path : final;
}

bool writeAllTo(HANDLE file, const QByteArray& content)
{
    const char* data = content.constData();
    qsizetype left = content.size();
    while (left > 0) {
        const DWORD chunk = DWORD(std::min<qsizetype>(left, 1 << 30));
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr))
            return false;
        if (written == 0) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

} // namespace

std::optional<QString> saveFile(const QString& fileName, const QByteArray& content)
{
    if (fileName.isEmpty())
        return describe(fileName, ENOENT);
    const std::wstring target = resolved(widePath(fileName));
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            return describe(fileName, EISDIR);
        if (attributes & FILE_ATTRIBUTE_READONLY)
            return describe(fileName, EACCES);
        if (attributes & FILE_ATTRIBUTE_DEVICE)
            return describe(fileName, EINVAL);
    } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
        return describeLastError(fileName);
    }

    // The temporary file lives in the target's folder, so that taking the
    // target's place is a rename on the same drive.
    const size_t separator = target.find_last_of(L"\\/");
    const std::wstring folder = separator == std::wstring::npos ? std::wstring() : target.substr(0, separator + 1);
    const std::wstring name = separator == std::wstring::npos ? target : target.substr(separator + 1);
    std::wstring temporary;
    UniqueHandle file;
    for (int attempt = 0; attempt < 16 && !file.isValid(); ++attempt) {
        temporary = folder + name.substr(0, 200) + L'.' + QString::fromLatin1(randomName(6)).toStdWString() + L".tmp";
        file = UniqueHandle(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.isValid() && GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    if (!file.isValid())
        return describeLastError(fileName);

    if (!writeAllTo(file.get(), content) || !FlushFileBuffers(file.get())) {
        const std::optional<QString> failure = describeLastError(fileName);
        CloseHandle(file.release());
        DeleteFileW(temporary.c_str()); // our own temporary file, never the user's
        return failure;
    }
    CloseHandle(file.release());

    bool done;
    if (exists) {
        done = ReplaceFileW(target.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                            nullptr)
            || MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    } else {
        done = MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
    }
    if (!done) {
        const std::optional<QString> failure = describeLastError(fileName);
        DeleteFileW(temporary.c_str());
        return failure;
    }
    return std::nullopt;
}

} // namespace platform
