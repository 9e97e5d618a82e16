// The command line's system calls on Windows.

#include "cli/CliSystem.h"

#include "platform/WindowsText.h"

#include <QCoreApplication>
#include <QDir>

#include <cstring>
#include <string>
#include <vector>

#include <aclapi.h>
#include <fcntl.h>
#include <io.h>
#include <psapi.h>

namespace {

/** The folder of environment variable `name` with "\", or empty unless it is a full path ("C:\..." or "\\server\..."). */
QString absoluteFolderOf(const char* name)
{
    const QString folder = qEnvironmentVariable(name);
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder) || folder.startsWith(QLatin1Char('/')))
        return {};
    return QDir::toNativeSeparators(QDir::cleanPath(folder));
}

} // namespace

QString homeFolder()
{
    return absoluteFolderOf("USERPROFILE");
}

QString defaultRulesFile()
{
    const QString appData = absoluteFolderOf("APPDATA");
    return appData.isEmpty() ? QString() : appData + QStringLiteral("\\Chronopurge\\rules");
}

bool isAbsoluteFilePath(QByteArrayView path)
{
    const auto separator = [&](qsizetype i) { return i < path.size() && (path[i] == '\\' || path[i] == '/'); };
    const bool drive = path.size() >= 3 && ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') && path[1] == ':'
        && separator(2);
    const bool network = separator(0) && separator(1) && path.size() > 2 && !separator(2);
    return (drive || network) && !separator(path.size() - 1);
}

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

namespace {

/** The SID of the account this process runs as, in `buffer`; nullptr when the token cannot be read. */
PSID processUser(std::vector<BYTE>& buffer)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return nullptr;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    buffer.resize(size);
    const bool read = size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
    CloseHandle(token);
    return read ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid : nullptr;
}

/** Whether `sid` is the user, the administrators or the system: those who may change a rules file. */
bool trustedWriter(PSID sid, PSID user)
{
    return (user && EqualSid(sid, user)) || IsWellKnownSid(sid, WinBuiltinAdministratorsSid)
        || IsWellKnownSid(sid, WinLocalSystemSid);
}

/**
 * Why the file open as `handle` may be changed by another account, as its
 * security descriptor says: another owner, no access list at all, or an
 * entry that lets another account write to it or change its permissions.
 * std::nullopt when only the user, the administrators and the system may.
 */
std::optional<QString> otherWriters(HANDLE handle)
{
    PSID owner = nullptr;
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                        nullptr, &acl, nullptr, &descriptor)
        != ERROR_SUCCESS)
        return QStringLiteral("refused: its permissions cannot be read");
    std::vector<BYTE> buffer;
    const PSID user = processUser(buffer);
    std::optional<QString> problem;
    constexpr ACCESS_MASK kWriting
        = FILE_WRITE_DATA | FILE_APPEND_DATA | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
    if (!owner || !trustedWriter(owner, user)) {
        problem = QStringLiteral("refused: it belongs to another user");
    } else if (!acl) {
        problem = QStringLiteral("refused: other users may change it (it has no permissions at all)");
    } else {
        for (DWORD i = 0; i < acl->AceCount && !problem; ++i) {
            void* entry = nullptr;
            if (!GetAce(acl, i, &entry))
                continue;
            const auto* header = static_cast<const ACE_HEADER*>(entry);
            // Entries only inherited by new files below do not apply to this one.
            if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE))
                continue;
            const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
            const PSID sid = const_cast<DWORD*>(&allowed->SidStart);
            if ((allowed->Mask & kWriting) && !trustedWriter(sid, user))
                problem = QStringLiteral("refused: other users may change it (take away their write permission)");
        }
    }
    LocalFree(descriptor);
    return problem;
}

} // namespace

std::optional<QString> openInputFile(const QString& path, FileWriters writers, QFile& file)
{
    // One handle for the checks and the reading, so that they are about the same file.
    const std::wstring wide = platform::widePath(path);
    const HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ | READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return QStringLiteral("no such file");
        return QString::fromLocal8Bit(std::strerror(platform::errnoOfWindowsError(error)));
    }
    const auto refuse = [&](const QString& reason) {
        CloseHandle(handle);
        return std::optional<QString>(reason);
    };
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle, &information))
        return refuse(QString::fromLocal8Bit(std::strerror(platform::errnoOfWindowsError(GetLastError()))));
    if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return refuse(QStringLiteral("it is a folder"));
    if (GetFileType(handle) != FILE_TYPE_DISK)
        return refuse(QStringLiteral("not a regular file"));
    if (writers == FileWriters::OnlyTheUser) {
        if (std::optional<QString> problem = otherWriters(handle))
            return refuse(*problem);
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (descriptor < 0)
        return refuse(QStringLiteral("it cannot be read"));
    if (!file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        _close(descriptor);
        return file.errorString();
    }
    return std::nullopt;
}
