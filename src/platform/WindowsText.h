#pragma once
// Small helpers of the Windows implementation files: paths as the wide
// strings the "W" calls take, and Windows error codes as errno values, so that
// the rest of the program judges failures the same way on every system.

#include <QByteArray>
#include <QString>

#include <cerrno>
#include <string>

#include <io.h>
#include <windows.h>

namespace platform {

/** `path` (UTF-8 or text, "/" or "\") as a wide path with "\" separators. */
inline std::wstring widePath(const QString& path)
{
    QString native = path;
    native.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return native.toStdWString();
}

inline std::wstring widePath(const QByteArray& utf8Path)
{
    return widePath(QString::fromUtf8(utf8Path));
}

/** `path` without the separators at its end, a drive's root ("C:\\") kept whole. */
inline QString withoutTrailingSeparator(QString path)
{
    while (path.size() > 3 && (path.endsWith(QLatin1Char('\\')) || path.endsWith(QLatin1Char('/'))))
        path.chop(1);
    return path;
}

inline std::wstring withoutTrailingSeparator(std::wstring path)
{
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/'))
        path.pop_back();
    return path;
}

/** The path of a wide string, as text. */
inline QString fromWide(const wchar_t* text, size_t length)
{
    return QString::fromWCharArray(text, qsizetype(length));
}

/** The errno value that best says what the Windows error `error` means (EIO when none does). */
inline int errnoOfWindowsError(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return ENOENT;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
        return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EBUSY;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW:
        return ENAMETOOLONG;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    case ERROR_NOT_SAME_DEVICE:
        return EXDEV;
    case ERROR_INVALID_NAME:
        return EINVAL;
    default:
        return EIO;
    }
}

/** The Windows handle of the C runtime's descriptor `fd`. */
inline HANDLE handleOf(int fd)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

/** A handle that is closed when it goes. */
class UniqueHandle {
public:
    explicit UniqueHandle(HANDLE handle = INVALID_HANDLE_VALUE)
        : m_handle(handle)
    {
    }
    ~UniqueHandle()
    {
        if (isValid())
            CloseHandle(m_handle);
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept
        : m_handle(other.release())
    {
    }
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) {
            if (isValid())
                CloseHandle(m_handle);
            m_handle = other.release();
        }
        return *this;
    }

    HANDLE get() const { return m_handle; }
    bool isValid() const { return m_handle != INVALID_HANDLE_VALUE && m_handle != nullptr; }
    HANDLE release()
    {
        HANDLE handle = m_handle;
        m_handle = INVALID_HANDLE_VALUE;
        return handle;
    }

private:
    HANDLE m_handle;
};

/** The path the system resolved for the open `handle` ("C:\..." or "\\server\share\..."); empty on failure. */
inline std::wstring finalPathOf(HANDLE handle)
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(handle, path.data(), DWORD(path.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(length + 1);
    }
    // The form without "\\?\" is the one the user knows and the other calls take.
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0)
        return L"\\" + path.substr(7);
    if (path.rfind(L"\\\\?\\", 0) == 0)
        return path.substr(4);
    return path;
}

} // namespace platform
