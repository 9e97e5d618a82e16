// Moving files to the Recycle Bin on Windows.
//
// Each file is checked first: it must still be the file the scan listed
// (the same volume serial, file ID where the scan could trust one, and kind;
// a folder is never moved), looked at through a handle that does not follow
// a link. It then goes to the
// Recycle Bin through the shell's file operation (SHFileOperationW with
// FOF_ALLOWUNDO), one file per call so that each file has its own outcome and
// a cancel takes effect before the next one. The shell asks the user before
// anything would be deleted for good instead (FOF_WANTNUKEWARNING: a file too
// big for the Recycle Bin, a drive without one); a file the user does not let
// go that way stays where it is and is reported.
//
// Under Wine the Recycle Bin is the freedesktop Trash of the Linux user, and
// Wine deletes a file for good, reporting success, when that Trash folder is
// missing: there nothing is handed to the shell until the folder exists.

#include "platform/Trash.h"

#include "platform/RecycleBin_windows.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <chrono>

#include <shellapi.h>

namespace platform {

namespace {

TrashOutcome failed(TrashOutcome outcome, int errnum, const QString& reason)
{
    outcome.status = TrashStatus::Failed;
    outcome.errnum = errnum;
    outcome.reason = reason;
    return outcome;
}

} // namespace

LookedAt lookAtHandle(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle, &information))
        return {{}, 0, {}, errnoOfWindowsError(GetLastError())};
    const DWORD attributes = information.dwFileAttributes;
    const FileType type = attributes & FILE_ATTRIBUTE_DIRECTORY ? FileType::Directory
        : attributes & FILE_ATTRIBUTE_REPARSE_POINT            ? FileType::Link
                                                               : FileType::Regular;
    // NTFS and ReFS keep one file ID per file; others may make them up per call.
    wchar_t system[MAX_PATH + 1] = {};
    const bool lasting
        = GetVolumeInformationByHandleW(handle, nullptr, 0, nullptr, nullptr, nullptr, system, MAX_PATH + 1)
        && (std::wstring(system) == L"NTFS" || std::wstring(system) == L"ReFS");
    const quint64 fileId = (quint64(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    return {{information.dwVolumeSerialNumber, lasting ? fileId : 0, type},
            qint64((quint64(information.nFileSizeHigh) << 32) | information.nFileSizeLow),
            QString::fromStdWString(finalPathOf(handle)),
            0};
}

LookedAt lookAtPath(const std::wstring& path, bool followLink)
{
    const UniqueHandle handle(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING,
                                          (followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT) | FILE_FLAG_BACKUP_SEMANTICS,
                                          nullptr));
    if (!handle.isValid())
        return {{}, 0, {}, errnoOfWindowsError(GetLastError())};
    return lookAtHandle(handle.get());
}

bool runsUnderWine()
{
    static const bool underWine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return underWine;
}

QString wineTrashFolder()
{
    if (!runsUnderWine())
        return {};
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (!data.startsWith(QLatin1Char('/'))) {
        const QString home = qEnvironmentVariable("HOME");
        if (!home.startsWith(QLatin1Char('/')))
            return {};
        data = home + QStringLiteral("/.local/share");
    }
    return QStringLiteral("Z:") + data + QStringLiteral("/Trash");
}

namespace {

// True under Wine when the Linux Trash folder that stands for the Recycle Bin
// is missing ($XDG_DATA_HOME/Trash, else ~/.local/share/Trash, seen through
// drive Z:, Wine's view of the Linux root; without that drive it counts as
// missing).
bool wineTrashMissing()
{
    if (!runsUnderWine())
        return false;
    const QString trash = wineTrashFolder();
    return trash.isEmpty() || !QFileInfo(trash).isDir();
}

// The folder of `path` ("C:\Data\a.txt" gives "C:\Data"; a drive's root keeps its "\").
std::wstring folderOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos)
        return {};
    const std::wstring folder = path.substr(0, slash);
    return folder.size() == 2 && folder[1] == L':' ? folder + L'\\' : folder;
}

// The moment, with `size`, as the journal keeps the time of a move (UTC).
FileStamp stampNow(qint64 size)
{
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    const qint64 ticks = qint64((quint64(now.dwHighDateTime) << 32) | now.dwLowDateTime) - 116444736000000000LL;
    return {ticks / 10000000, (ticks % 10000000) * 100, size, false, 0, 0};
}

// Hands one file to the shell's Recycle Bin; the Windows error of the shell, 0 when it moved.
int recycle(const std::wstring& path)
{
    // The shell takes a list of paths, each ending in a NUL, and a NUL after the last.
    std::wstring from = path;
    from.push_back(L'\0');
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT | FOF_WANTNUKEWARNING;
    const int result = SHFileOperationW(&operation);
    if (result == 0 && operation.fAnyOperationsAborted)
        return ERROR_CANCELLED;
    return result;
}

TrashOutcome moveToRecycleBin(const TrashItem& item)
{
    TrashOutcome outcome;
    outcome.path = item.path;
    if (item.path.isEmpty())
        return failed(outcome, ENOENT, QCoreApplication::translate("Trash", "the path is empty"));
    if (wineTrashMissing())
        return failed(outcome, ENOENT, QCoreApplication::translate("Trash", "this drive has no Trash the program may use"));
    const std::wstring path = widePath(item.path);
    const LookedAt found = lookAtPath(path, false);
    if (found.errnum != 0)
        return failed(outcome, found.errnum, trashReasonFor(found.errnum));
    if (found.identity.type == FileType::Directory)
        return failed(outcome, EISDIR, QCoreApplication::translate("Trash", "it is a folder"));
    // A file ID of 0 is one the scan could not trust (not NTFS or ReFS):
    // then the drive and the kind are compared.
    if (item.expected.known()
        && (found.identity.device != item.expected.device || found.identity.type != item.expected.type
            || (item.expected.inode != 0 && found.identity.inode != item.expected.inode)))
        return failed(outcome, 0, changedSinceSearchReason());
    // What the journal keeps to find the file in the Recycle Bin again and
    // put it back only into this very folder (through the links of the path
    // as given, as undo opens it).
    const LookedAt folder = lookAtPath(folderOf(path), true);
    const FileStamp stamp = stampNow(found.size);

    const int result = recycle(path);
    if (result != 0) {
        // The shell's own codes below 0x100 are Windows errors; the rest are its own.
        const int errnum = result < 0x100 && result != ERROR_CANCELLED ? errnoOfWindowsError(DWORD(result)) : EIO;
        return failed(outcome, errnum,
                      result == ERROR_CANCELLED
                          ? QCoreApplication::translate(
                              "Trash", "it cannot go to the Recycle Bin and was kept rather than deleted for good")
                                                : trashReasonFor(errnum));
    }
    outcome.status = TrashStatus::Moved;
    outcome.identity = found.identity;
    if (folder.errnum == 0 && folder.identity.type == FileType::Directory)
        outcome.folderIdentity = folder.identity;
    outcome.stamp = stamp;
    outcome.realPath = found.realPath.toUtf8();
    return outcome;
}

} // namespace

TrashOutcome trashFile(const QString& path)
{
    return moveToRecycleBin(TrashItem{path, {}, {}, 0});
}

std::vector<TrashOutcome> TrashRequest::run()
{
    using Clock = std::chrono::steady_clock;
    const qsizetype total = qsizetype(m_items.size());
    std::vector<TrashOutcome> outcomes{static_cast<size_t>(total)};
    for (qsizetype i = 0; i < total; ++i)
        outcomes[size_t(i)].path = m_items[size_t(i)].path;

    auto lastReport = Clock::now();
    qsizetype done = 0;
    while (done < total && !isCancelled()) {
        if (m_beforeMoves)
            m_beforeMoves(done, done + 1);
        if (isCancelled())
            break;
        outcomes[size_t(done)] = moveToRecycleBin(m_items[size_t(done)]);
        if (m_batchMoved && outcomes[size_t(done)].moved())
            m_batchMoved({outcomes[size_t(done)]});
        ++done;
        if (m_progress && Clock::now() - lastReport >= std::chrono::milliseconds(m_intervalMs)) {
            lastReport = Clock::now();
            m_progress(done, total);
        }
    }
    if (m_progress)
        m_progress(done, total);
    return outcomes;
}

} // namespace platform
