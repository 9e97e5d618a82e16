// The Trash journal on Windows, and putting files back from the Recycle Bin.
//
// The journal is the Linux one's (TrashJournal.h, with the Windows fields of
// RecycleBinJournal.h) in %LOCALAPPDATA%\Chronopurge\trash-journal, one file
// per request. A request in progress holds an exclusive byte-range lock
// (LockFileEx) on its file, beyond its end, until it ends; an undo holds
// another one while it puts the request's files back; every recorder holds a
// shared lock on the folder's "running" file for its life. The system drops
// them when the process ends, however it ends. A reader asks for each lock
// without waiting.
//
// Undo enumerates the Recycle Bin through the shell (its folder's items) and
// finds each file by its original path, its deletion time (within a window
// around the journaled one) and its size; the item's file must then carry
// the journaled volume serial and file ID (where the volume keeps lasting
// IDs), looked at through the handle that moves it. The folder it goes back
// to must exist and be the very folder it came from (its file ID compared
// likewise); it is held open without delete sharing, so it cannot be renamed
// meanwhile, and the file is renamed into it by that handle without replacing
// anything (FileRenameInfo, ReplaceIfExists false). Nothing is created,
// copied or replaced. Only after the move is the Recycle Bin's record of the
// file removed.
//
// On Windows an item's file is "$R..." in the drive's $Recycle.Bin folder
// and its record the "$I..." beside it. Under Wine the Recycle Bin is the
// freedesktop Trash of the Linux user: an item's ID holds its original path,
// deletion time, size and its name in the Trash's files/ folder, and its
// record is the .trashinfo file in info/.

#include "platform/TrashJournal.h"
#include "platform/TrashJournalCommon.h"

#include "platform/FileSystem.h"
#include "platform/RecycleBinJournal.h"
#include "platform/RecycleBin_windows.h"
#include "platform/TrashRestore.h"
#include "platform/WindowsText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <ctime>

#include <io.h>
#include <objbase.h>
#include <shlobj.h>
#include <winternl.h>

namespace platform {

namespace {

using recyclebin::BinItem;

class RestoreTexts {
    Q_DECLARE_TR_FUNCTIONS(TrashRestore)
};

class JournalTexts {
    Q_DECLARE_TR_FUNCTIONS(TrashJournal)
};

/** The byte ranges, far beyond any journal's end, that the locks take. */
constexpr DWORD kRunningLockHigh = 0x40000000;
constexpr DWORD kUndoLockHigh = 0x40000001;
/** How many moved files are written before the journal is flushed. */
constexpr int kFlushEvery = 32;
constexpr qint64 kLongestRecord = 64 * 1024;

QString systemMessage(DWORD error)
{
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                            | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString message = length > 0 ? QString::fromWCharArray(text, length).trimmed() : QStringLiteral("error %1").arg(error);
    LocalFree(text);
    return message;
}

std::wstring wide(const QByteArray& utf8)
{
    return widePath(QString::fromUtf8(utf8));
}

bool takeLock(HANDLE file, DWORD high, bool exclusive)
{
    OVERLAPPED where = {};
    where.OffsetHigh = high;
    return LockFileEx(file, LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0), 0, 1, 0, &where);
}

void dropLock(HANDLE file, DWORD high)
{
    OVERLAPPED where = {};
    where.OffsetHigh = high;
    UnlockFileEx(file, 0, 1, 0, &where);
}

// True when someone holds the lock at `high` of `file`: it could not be taken
// now (and is given back at once when it could).
bool lockedByOthers(HANDLE file, DWORD high)
{
    if (!takeLock(file, high, true))
        return GetLastError() == ERROR_LOCK_VIOLATION || GetLastError() == ERROR_IO_PENDING;
    dropLock(file, high);
    return false;
}

// A journal file or folder opened without following a link; invalid when it cannot be.
UniqueHandle openEntry(const std::wstring& path, DWORD access, DWORD disposition = OPEN_EXISTING)
{
    return UniqueHandle(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, disposition, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                                    nullptr));
}

// True for a regular file (no folder, no link, no device).
bool isRegularFile(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION information;
    return GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &information)
        && !(information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
}

bool writeAll(HANDLE handle, const QByteArray& text)
{
    qsizetype done = 0;
    while (done < text.size()) {
        DWORD written = 0;
        if (!WriteFile(handle, text.constData() + done, DWORD(std::min<qsizetype>(text.size() - done, 1 << 20)),
                       &written, nullptr)
            || written == 0)
            return false;
        done += written;
    }
    return true;
}

LineReader linesOf(HANDLE handle)
{
    return LineReader(
        [handle](char* buffer, qint64 size) -> qint64 {
            DWORD read = 0;
            if (!ReadFile(handle, buffer, DWORD(size), &read, nullptr))
                return -1;
            return read;
        },
        recyclebin::kLongestLine);
}

// Request `id`'s file opened for reading; a file there that is not a regular
// file is reported.
UniqueHandle openRequest(const QByteArray& folder, quint64 id, QStringList* problems)
{
    UniqueHandle handle = openEntry(wide(folder + '\\' + QByteArray::number(id)), GENERIC_READ);
    if (handle.isValid() && !isRegularFile(handle.get())) {
        if (problems)
            problems->append(JournalTexts::tr("request %1: %2").arg(id).arg(JournalTexts::tr("it is not a regular file")));
        return UniqueHandle();
    }
    return handle;
}

std::optional<JournalRequest> parseFile(const QByteArray& folder, quint64 id, bool keepFiles,
                                        std::vector<JournalState>& states, QStringList* problems)
{
    const UniqueHandle file = openRequest(folder, id, problems);
    if (!file.isValid())
        return std::nullopt;
    LineReader lines = linesOf(file.get());
    return recyclebin::parseRequest(lines, id, keepFiles, states, problems);
}

// True for a folder that is no link (a junction or folder link is not one).
bool isRealFolder(const QString& path)
{
    const DWORD attributes = GetFileAttributesW(widePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
        && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The local application data folder (%LOCALAPPDATA%), absolute; empty when there is none.
QString localAppData()
{
    QString folder = qEnvironmentVariable("LOCALAPPDATA");
    if (folder.isEmpty()) {
        wchar_t* known = nullptr;
        if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known)))
            folder = QString::fromWCharArray(known);
        CoTaskMemFree(known);
    }
    folder = QDir::toNativeSeparators(QDir::cleanPath(folder));
    return recyclebin::driveRoot(folder + QLatin1Char('\\')).isEmpty() ? QString() : folder;
}

} // namespace

qsizetype JournalRequest::inTrashCount() const
{
    return std::count_if(files.begin(), files.end(),
                         [](const JournalFile& file) { return file.state == JournalState::InTrash; });
}

QByteArray trashJournalFolder()
{
    const QString data = localAppData();
    return data.isEmpty() ? QByteArray() : (data + QStringLiteral("\\Chronopurge\\trash-journal")).toUtf8();
}

TrashJournal::TrashJournal(QByteArray folder)
    : m_folder(std::move(folder))
{
}

std::vector<quint64> TrashJournal::requestIds() const
{
    std::vector<quint64> ids;
    if (m_folder.isEmpty())
        return ids;
    WIN32_FIND_DATAW entry;
    const HANDLE listing = FindFirstFileExW(wide(m_folder + "\\*").c_str(), FindExInfoBasic, &entry,
                                            FindExSearchNameMatch, nullptr, 0);
    if (listing == INVALID_HANDLE_VALUE)
        return ids;
    do {
        const QString name = QString::fromWCharArray(entry.cFileName);
        bool ok = false;
        const quint64 id = name.toULongLong(&ok);
        if (ok && id > 0 && name.size() < 20 && name.front() != QLatin1Char('0')
            && std::all_of(name.begin(), name.end(), [](QChar c) { return c.isDigit() && c.unicode() < 128; }))
            ids.push_back(id);
    } while (FindNextFileW(listing, &entry));
    FindClose(listing);
    std::sort(ids.begin(), ids.end());
    return ids;
}

std::optional<JournalRequest> TrashJournal::read(quint64 id, QStringList* problems) const
{
    if (m_folder.isEmpty())
        return std::nullopt;
    // Asked before the text is read: a request that was over then is whole in it.
    const bool running = inProgress(id);
    std::vector<JournalState> states;
    std::optional<JournalRequest> request = parseFile(m_folder, id, true, states, problems);
    if (request)
        request->inProgress = running;
    return request;
}

bool TrashJournal::inProgress(quint64 id) const
{
    if (m_folder.isEmpty())
        return false;
    const UniqueHandle file = openEntry(wide(m_folder + '\\' + QByteArray::number(id)), GENERIC_READ);
    LARGE_INTEGER size;
    if (!file.isValid() || !isRegularFile(file.get()) || !GetFileSizeEx(file.get(), &size))
        return false;
    // An empty file is a request that has not written its first line yet.
    return size.QuadPart == 0 || lockedByOthers(file.get(), kRunningLockHigh);
}

bool TrashJournal::anyRequestRunning() const
{
    if (m_folder.isEmpty())
        return false;
    const UniqueHandle file = openEntry(wide(m_folder + "\\running"), GENERIC_READ);
    return file.isValid() && isRegularFile(file.get()) && lockedByOthers(file.get(), 0);
}

std::vector<JournalSummary> TrashJournal::summaries(QStringList* problems) const
{
    std::vector<JournalSummary> summaries;
    std::vector<JournalState> states;
    for (const quint64 id : requestIds()) {
        const bool running = inProgress(id);
        const std::optional<JournalRequest> request = parseFile(m_folder, id, false, states, problems);
        if (!request || request->files.empty())
            continue;
        summaries.push_back(summarize(id, *request, states, running));
    }
    return summaries;
}

std::optional<QString> TrashJournal::append(quint64 id, const std::vector<QByteArray>& lines) const
{
    // Without a folder the name would be one in the drive's root.
    if (m_folder.isEmpty())
        return JournalTexts::tr("there is no home folder for it");
    const UniqueHandle file = openEntry(wide(m_folder + '\\' + QByteArray::number(id)), GENERIC_READ | FILE_APPEND_DATA);
    if (!file.isValid())
        return systemMessage(GetLastError());
    if (!isRegularFile(file.get()))
        return JournalTexts::tr("it is not a regular file");
    QByteArray text;
    // A line torn by a crash is closed first, so that it stays one bad line.
    LARGE_INTEGER size;
    char last = '\n';
    DWORD read = 0;
    if (GetFileSizeEx(file.get(), &size) && size.QuadPart > 0) {
        OVERLAPPED where = {};
        where.Offset = DWORD(size.QuadPart - 1);
        where.OffsetHigh = DWORD(quint64(size.QuadPart - 1) >> 32);
        if (ReadFile(file.get(), &last, 1, &read, &where) && read == 1 && last != '\n')
            text += '\n';
    }
    for (const QByteArray& line : lines)
        text += line + " end\n";
    if (!writeAll(file.get(), text) || !FlushFileBuffers(file.get()))
        return systemMessage(GetLastError());
    return std::nullopt;
}

QStringList TrashJournal::settleUnfinished(quint64) const
{
    // Each file's "moved" line is written right after the shell moved it:
    // there is no half-written record of ours to settle (see platform.md).
    return {};
}

QByteArray TrashJournal::putBackLine(qsizetype number)
{
    return "put-back " + QByteArray::number(number);
}

QByteArray TrashJournal::goneLine(qsizetype number)
{
    return "gone " + QByteArray::number(number);
}

QByteArray TrashJournal::undoneLine(qint64 time)
{
    return "undone " + QByteArray::number(time);
}

namespace {

// The recorder keeps its handles as C runtime descriptors, as the Linux one
// keeps its descriptors (the scan keeps its folder handles so too).
int descriptorOf(UniqueHandle handle)
{
    const int fd = _open_osfhandle(intptr_t(handle.get()), 0);
    if (fd >= 0)
        handle.release();
    return fd;
}

// Creates the journal folder's missing folders below %LOCALAPPDATA% (which
// must exist; a journal folder elsewhere must exist already); false with the
// Windows error set when that fails.
bool makeFolder(const QByteArray& folder)
{
    const QString path = QString::fromUtf8(folder);
    if (isRealFolder(path))
        return true;
    const QString data = localAppData();
    const DWORD attributes = data.isEmpty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(widePath(data).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) || !path.startsWith(data + QLatin1Char('\\'), Qt::CaseInsensitive)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    for (qsizetype slash = path.indexOf(QLatin1Char('\\'), data.size() + 1);; slash = path.indexOf(QLatin1Char('\\'), slash + 1)) {
        const QString prefix = slash < 0 ? path : path.left(slash);
        if (!CreateDirectoryW(widePath(prefix).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
        if (slash < 0)
            break;
    }
    // A link or a file where the folder should be is not written through.
    if (!isRealFolder(path)) {
        SetLastError(ERROR_DIRECTORY);
        return false;
    }
    return true;
}

} // namespace

TrashJournalRecorder::TrashJournalRecorder(QByteArray folder)
    : m_folder(std::move(folder))
{
    lockFolder();
}

void TrashJournalRecorder::lockFolder()
{
    // Shared: requests run side by side; an undo tests it without waiting.
    if (m_folderLock >= 0 || m_finished || m_folder.isEmpty() || !isRealFolder(QString::fromUtf8(m_folder)))
        return;
    UniqueHandle running = openEntry(wide(m_folder + "\\running"), GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
    if (running.isValid() && isRegularFile(running.get()) && takeLock(running.get(), 0, false))
        m_folderLock = descriptorOf(std::move(running));
}

TrashJournalRecorder::~TrashJournalRecorder()
{
    finish();
}

void TrashJournalRecorder::finish()
{
    if (m_fd >= 0) {
        FlushFileBuffers(handleOf(m_fd));
        _close(m_fd);
    }
    if (m_folderLock >= 0)
        _close(m_folderLock);
    m_fd = -1;
    m_folderLock = -1;
    m_finished = true;
}

bool TrashJournalRecorder::start()
{
    if (m_folder.isEmpty()) {
        m_error = JournalTexts::tr("there is no home folder for it");
        return false;
    }
    if (!makeFolder(m_folder)) {
        m_error = QStringLiteral("%1: %2").arg(QString::fromUtf8(m_folder), systemMessage(GetLastError()));
        return false;
    }
    // A folder made just now could not be locked when the recorder began.
    lockFolder();

    std::vector<quint64> ids = TrashJournal(m_folder).requestIds();
    quint64 id = ids.empty() ? 1 : ids.back() + 1;
    UniqueHandle file;
    DWORD error = 0;
    for (int attempt = 0; attempt < 1000; ++attempt, ++id) {
        // Others may read it (an undo asks for its lock); nobody may delete it meanwhile.
        file = UniqueHandle(CreateFileW(wide(m_folder + '\\' + QByteArray::number(id)).c_str(),
                                        GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        error = GetLastError();
        if (file.isValid() || (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS))
            break;
    }
    if (!file.isValid()) {
        m_error = QStringLiteral("%1: %2").arg(QString::fromUtf8(m_folder), systemMessage(error));
        return false;
    }
    m_id = id;
    // Held until the recorder goes: an undo tells a running request by it.
    takeLock(file.get(), kRunningLockHigh, true);
    // The oldest requests go, so that the journal keeps the last ones only.
    ids.push_back(id);
    for (size_t i = 0; i + kKeptRequests < ids.size(); ++i)
        DeleteFileW(wide(m_folder + '\\' + QByteArray::number(ids[i])).c_str());
    const QByteArray begin = "chronopurge trash journal 1\nrequest " + QByteArray::number(id) + ' '
        + QByteArray::number(qint64(std::time(nullptr))) + " end\n";
    if (!writeAll(file.get(), begin) || !FlushFileBuffers(file.get())) {
        m_error = QStringLiteral("%1: %2").arg(QString::fromUtf8(m_folder), systemMessage(GetLastError()));
        return false;
    }
    m_fd = descriptorOf(std::move(file));
    if (m_fd < 0) {
        m_error = QStringLiteral("%1: %2").arg(QString::fromUtf8(m_folder), trashReasonFor(EMFILE));
        return false;
    }
    return true;
}

void TrashJournalRecorder::settleEarlierRequests()
{
    m_problems = TrashJournal(m_folder).settleUnfinished(m_id);
}

bool TrashJournalRecorder::begin(const std::vector<TrashBegun>&)
{
    // The Recycle Bin writes its own record with the move: nothing of ours precedes it.
    return m_error.isEmpty();
}

bool TrashJournalRecorder::record(const std::vector<TrashOutcome>& moved)
{
    if (!m_error.isEmpty() || m_finished)
        return false;
    if (moved.empty())
        return true;
    if (m_fd < 0 && !start())
        return false;
    QByteArray text;
    for (const TrashOutcome& outcome : moved) {
        // The path made absolute as the system would, with "\".
        const std::wstring given = widePath(outcome.path);
        std::wstring full(given.size() + MAX_PATH, L'\0');
        const DWORD length = GetFullPathNameW(given.c_str(), DWORD(full.size()), full.data(), nullptr);
        full.resize(length > 0 && length < full.size() ? length : 0);
        const QString original = full.empty() ? outcome.path : QString::fromStdWString(full);
        text += recyclebin::movedLine(m_count, original, outcome.identity, outcome.folderIdentity) + " end\n";
        text += recyclebin::detailLine(m_count++, outcome.stamp, QString::fromUtf8(outcome.realPath)) + " end\n";
    }
    const HANDLE file = handleOf(m_fd);
    // Flushed now and then, and when the request ends: a crash before that
    // leaves those files in the Recycle Bin, where Explorer's "Restore" finds them.
    if (!writeAll(file, text) || (m_count % kFlushEvery == 0 && !FlushFileBuffers(file))) {
        m_error = QStringLiteral("%1: %2").arg(QString::fromUtf8(m_folder), systemMessage(GetLastError()));
        return false;
    }
    return true;
}

std::shared_ptr<TrashJournalRecorder> recordInTrashJournal(TrashRequest& request, QByteArray folder)
{
    auto recorder = std::make_shared<TrashJournalRecorder>(std::move(folder));
    request.setStarted([recorder] { recorder->settleEarlierRequests(); });
    request.setBatchMoved([recorder](const std::vector<TrashOutcome>& moved) { recorder->record(moved); });
    return recorder;
}

// Putting back.

namespace {

using Keep = RestoreKeep;

Keep keepFor(DWORD error)
{
    switch (error) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
    case ERROR_TOO_MANY_OPEN_FILES:
    case ERROR_NOT_READY:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_NETNAME_DELETED:
    case ERROR_BAD_NETPATH:
    case ERROR_WRITE_PROTECT:
    case ERROR_DISK_FULL:
        return Keep::MayPass;
    default:
        return Keep::ForLater;
    }
}

QString reasonFor(DWORD error)
{
    return trashReasonFor(errnoOfWindowsError(error));
}

// The Recycle Bin's items, as the shell lists them; false when it could not be read.
bool listRecycleBin(std::vector<BinItem>& items)
{
    // Under Wine a missing Trash folder (another $XDG_DATA_HOME than at the
    // move) shows an empty bin: the files are elsewhere, not gone.
    if (runsUnderWine() && !QFileInfo(wineTrashFolder()).isDir())
        return false;
    IShellFolder* desktop = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop)))
        return false;
    PIDLIST_ABSOLUTE bin = nullptr;
    IShellFolder* folder = nullptr;
    IEnumIDList* entries = nullptr;
    HRESULT enumerated = E_FAIL;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_BITBUCKET, &bin))
        && SUCCEEDED(desktop->BindToObject(bin, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder))))
        enumerated = folder->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN, &entries);
    // S_FALSE without a list: an empty Recycle Bin.
    const bool listed = enumerated == S_FALSE || (enumerated == S_OK && entries);
    if (enumerated == S_OK && entries) {
        const QString wineTrash = wineTrashFolder();
        PITEMID_CHILD child = nullptr;
        ULONG count = 0;
        while (entries->Next(1, &child, &count) == S_OK) {
            PIDLIST_ABSOLUTE full = ILCombine(bin, child);
            wchar_t path[MAX_PATH * 4] = {};
            const QString location = full && SHGetPathFromIDListEx(full, path, MAX_PATH * 4, GPFIDL_DEFAULT)
                ? QString::fromWCharArray(path)
                : QString();
            const QString name = location.mid(location.lastIndexOf(QLatin1Char('\\')) + 1);
            if (!recyclebin::driveRoot(location).isEmpty() && name.startsWith(QLatin1String("$R"), Qt::CaseInsensitive)) {
                // Windows: the file is $R<id>, its record $I<id> beside it.
                BinItem item;
                item.location = location;
                item.record = location.left(location.size() - name.size()) + QStringLiteral("$I") + name.mid(2);
                const UniqueHandle record = openEntry(widePath(item.record), GENERIC_READ);
                LARGE_INTEGER size;
                QByteArray bytes;
                if (record.isValid() && isRegularFile(record.get()) && GetFileSizeEx(record.get(), &size)
                    && size.QuadPart <= kLongestRecord) {
                    bytes.resize(qsizetype(size.QuadPart));
                    DWORD read = 0;
                    if (!ReadFile(record.get(), bytes.data(), DWORD(bytes.size()), &read, nullptr))
                        read = 0;
                    bytes.resize(read);
                }
                if (const std::optional<recyclebin::BinRecord> parsed = recyclebin::parseBinRecord(bytes)) {
                    item.originalPath = parsed->originalPath;
                    item.deletedSeconds = parsed->deletedSeconds;
                    item.size = parsed->size;
                    items.push_back(item);
                }
            } else if (!wineTrash.isEmpty() && child) {
                // Wine: the item's ID describes the file in the freedesktop Trash.
                const QByteArray bytes(reinterpret_cast<const char*>(child->mkid.abID),
                                       qsizetype(child->mkid.cb) - qsizetype(sizeof child->mkid.cb));
                QString trashName;
                if (std::optional<BinItem> item = recyclebin::parseWineItem(bytes, &trashName)) {
                    item->location = QDir::toNativeSeparators(wineTrash + QStringLiteral("/files/") + trashName);
                    item->record
                        = QDir::toNativeSeparators(wineTrash + QStringLiteral("/info/") + trashName + QStringLiteral(".trashinfo"));
                    items.push_back(*item);
                }
            }
            ILFree(full);
            CoTaskMemFree(child);
        }
    }
    if (entries)
        entries->Release();
    if (folder)
        folder->Release();
    CoTaskMemFree(bin);
    desktop->Release();
    return listed;
}

// True when `found` is the journaled file: the same volume, kind and size,
// and the same file ID where both have one. Under Wine the Recycle Bin is a
// Linux folder seen through drive Z: whatever the file's drive was, so the
// volume serial of a file there is Z:'s; its file ID (the Linux inode) and
// the rest are compared still.
bool isJournaledFile(const LookedAt& found, const JournalFile& file, bool inBin)
{
    return found.errnum == 0 && (found.identity.device == file.identity.device || (inBin && runsUnderWine()))
        && found.identity.type == file.identity.type
        && (file.identity.inode == 0 || found.identity.inode == 0 || found.identity.inode == file.identity.inode)
        && (!file.stamp.known() || found.size == file.stamp.size);
}

// The folder of `path` ("C:\Data\a.txt" gives "C:\Data"; a drive's root keeps its "\").
std::wstring folderOfPath(const std::wstring& path)
{
    std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
    if (folder.size() == 2 && folder[1] == L':')
        folder += L'\\';
    return folder;
}

// The folder at `folderPath`, held open so that it cannot be renamed or
// removed meanwhile, when it is the folder `file` came from; `reason` says
// why not otherwise.
UniqueHandle openFolderOf(const std::wstring& folderPath, const JournalFile& file, QString& reason, Keep& keep)
{
    // Through the links of the path, as the move went.
    UniqueHandle folder(CreateFileW(folderPath.c_str(), FILE_READ_ATTRIBUTES | FILE_TRAVERSE | FILE_LIST_DIRECTORY,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder.isValid()) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            reason = RestoreTexts::tr("its folder is gone");
        } else {
            reason = RestoreTexts::tr("its folder cannot be opened: %1").arg(reasonFor(error));
            keep = keepFor(error);
        }
        return folder;
    }
    const LookedAt found = lookAtHandle(folder.get());
    const FileIdentity& recorded = file.folderIdentity;
    if (found.errnum != 0) {
        reason = RestoreTexts::tr("its folder cannot be opened: %1").arg(trashReasonFor(found.errnum));
        keep = Keep::MayPass;
    } else if (found.identity.type != FileType::Directory) {
        reason = RestoreTexts::tr("its folder was replaced by a file");
    } else if (recorded.device != 0
               && (found.identity.device != recorded.device
                   || (recorded.inode != 0 && found.identity.inode != 0 && found.identity.inode != recorded.inode))) {
        reason = RestoreTexts::tr("its folder was replaced by another one");
    } else {
        return folder;
    }
    return UniqueHandle();
}

// The folder `file` goes back to: by its path as given, else, when that no
// longer leads to it (a link the user listed, removed or changed since), by
// its real path, where `place` then gets the file's new path. The reasons
// are those of the path as given.
UniqueHandle openOriginalFolder(const JournalFile& file, QString& reason, Keep& keep, QString& place)
{
    const std::wstring given = folderOfPath(wide(file.originalPath));
    UniqueHandle folder = openFolderOf(given, file, reason, keep);
    if (folder.isValid() || keep != Keep::ForLater || file.realPath.isEmpty() || file.folderIdentity.inode == 0)
        return folder;
    const std::wstring real = folderOfPath(wide(file.realPath));
    if (QString::fromStdWString(real).compare(QString::fromStdWString(given), Qt::CaseInsensitive) == 0)
        return folder;
    QString realReason;
    Keep realKeep = Keep::ForLater;
    folder = openFolderOf(real, file, realReason, realKeep);
    if (folder.isValid())
        place = QString::fromUtf8(file.realPath);
    return folder;
}

// Renames the file open as `file` to `name` in the folder open as `folder`,
// never replacing anything; the Windows error, 0 when it moved. The system
// call itself: SetFileInformationByHandle turns the name into a full path
// first under Wine, which then no longer lies in the folder given.
DWORD renameInto(HANDLE file, HANDLE folder, const std::wstring& name)
{
    using SetInformation = LONG(WINAPI*)(HANDLE, IO_STATUS_BLOCK*, void*, ULONG, int);
    using StatusToError = ULONG(WINAPI*)(LONG);
    static const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    static const auto setInformation
        = reinterpret_cast<SetInformation>(reinterpret_cast<void*>(GetProcAddress(ntdll, "NtSetInformationFile")));
    static const auto statusToError
        = reinterpret_cast<StatusToError>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlNtStatusToDosError")));
    if (!setInformation || !statusToError)
        return ERROR_CALL_NOT_IMPLEMENTED;
    // FILE_RENAME_INFORMATION, laid out as FILE_RENAME_INFO.
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = folder;
    rename->FileNameLength = DWORD(name.size() * sizeof(wchar_t));
    std::copy(name.begin(), name.end(), rename->FileName);
    constexpr int kFileRenameInformation = 10;
    IO_STATUS_BLOCK status = {};
    const LONG result = setInformation(file, &status, buffer.data(), ULONG(buffer.size()), kFileRenameInformation);
    return result >= 0 ? 0 : DWORD(statusToError(result));
}

RestoreOutcome restoreFile(const JournalFile& file, const std::vector<BinItem>& items,
                           const recyclebin::BinIndex& index, std::vector<bool>& used, RestoreOutcome outcome)
{
    // The items that may be it, best first: the first that is the very file moves.
    UniqueHandle moving;
    size_t chosen = 0;
    bool anotherFile = false;
    DWORD openError = 0;
    for (const size_t candidateIndex : index.candidates(file, used)) {
        // Delete access to rename it; no delete sharing, so nobody renames it meanwhile.
        UniqueHandle candidate(CreateFileW(widePath(items[candidateIndex].location).c_str(), DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                           FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!candidate.isValid()) {
            openError = GetLastError();
            continue;
        }
        if (!isJournaledFile(lookAtHandle(candidate.get()), file, true)) {
            anotherFile = true;
            continue;
        }
        moving = std::move(candidate);
        chosen = candidateIndex;
        break;
    }
    if (!moving.isValid()) {
        if (openError != 0 && openError != ERROR_FILE_NOT_FOUND && openError != ERROR_PATH_NOT_FOUND)
            return stays(outcome, RestoreTexts::tr("its Trash cannot be opened: %1").arg(reasonFor(openError)),
                         keepFor(openError));
        if (isJournaledFile(lookAtPath(wide(file.originalPath), false), file, false))
            return stays(outcome, RestoreTexts::tr("it is no longer in the Trash (it is back in its place already)"),
                         Keep::Gone);
        if (anotherFile)
            return stays(outcome, RestoreTexts::tr("it is no longer in the Trash (another file has its name there)"));
        return stays(outcome, RestoreTexts::tr("it is no longer in the Trash"), Keep::Gone);
    }

    QString reason;
    Keep keep = Keep::ForLater;
    QString place;
    const UniqueHandle folder = openOriginalFolder(file, reason, keep, place);
    if (!folder.isValid())
        return stays(outcome, reason, keep);
    const std::wstring original = wide(file.originalPath);
    if (!place.isEmpty())
        outcome.path = place;
    if (const DWORD error = renameInto(moving.get(), folder.get(), original.substr(original.find_last_of(L'\\') + 1));
        error != 0) {
        if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
            return stays(outcome, RestoreTexts::tr("its place is taken"));
        if (error == ERROR_NOT_SAME_DEVICE)
            return stays(outcome, RestoreTexts::tr("it is on another drive than its folder"));
        return stays(outcome, reasonFor(error), keepFor(error));
    }
    used[chosen] = true;
    outcome.status = RestoreStatus::PutBack;
    // The Recycle Bin's record of it goes only now.
    if (!DeleteFileW(widePath(items[chosen].record).c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
        outcome.reason = RestoreTexts::tr("its record in the Trash could not be removed: %1").arg(reasonFor(GetLastError()));
    return outcome;
}

// COM for the shell's folders on this thread, as long as it lives.
class ComThread {
public:
    ComThread()
        : m_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))
    {
    }
    ~ComThread()
    {
        if (SUCCEEDED(m_result))
            CoUninitialize();
    }

private:
    HRESULT m_result;
};

} // namespace

TrashRestore::TrashRestore(const JournalRequest& request, TrashJournal journal)
    : m_id(request.id)
    , m_drives(request.drives)
    , m_inProgress(request.inProgress)
    , m_journal(std::move(journal))
{
    for (const JournalFile& file : request.files)
        if (file.state == JournalState::InTrash)
            m_files.push_back(file);
}

void TrashRestore::setProgress(Progress progress, int intervalMs)
{
    m_progress = std::move(progress);
    m_intervalMs = intervalMs;
}

std::vector<RestoreOutcome> TrashRestore::run()
{
    using Clock = std::chrono::steady_clock;
    const qsizetype total = size();
    std::vector<RestoreOutcome> outcomes(m_files.size());
    for (size_t i = 0; i < m_files.size(); ++i)
        outcomes[i].path = pathFromNative(m_files[i].originalPath);

    // Its files are still moving: what it moves next would be left behind.
    if (m_inProgress) {
        for (RestoreOutcome& outcome : outcomes)
            outcome = stays(outcome, RestoreTexts::tr("its move to the Trash is still running"), Keep::MayPass);
        return outcomes;
    }

    // Two undos of one request at once would only report each other's files
    // as gone; the second one waits for nothing and says so.
    const UniqueHandle lock = m_journal.folder().isEmpty()
        ? UniqueHandle()
        : openEntry(wide(m_journal.folder() + '\\' + QByteArray::number(m_id)), GENERIC_READ);
    if (lock.isValid() && !takeLock(lock.get(), kUndoLockHigh, true)) {
        for (RestoreOutcome& outcome : outcomes)
            outcome = stays(outcome, RestoreTexts::tr("another program is putting this request back"), Keep::MayPass);
        return outcomes;
    }

    const ComThread com;
    std::vector<BinItem> items;
    if (!listRecycleBin(items)) {
        for (RestoreOutcome& outcome : outcomes)
            outcome = stays(outcome, RestoreTexts::tr("its Trash folder is missing"), Keep::MayPass);
        if (lock.isValid())
            dropLock(lock.get(), kUndoLockHigh);
        return outcomes;
    }
    const recyclebin::BinIndex index(items);
    std::vector<bool> used(items.size(), false);
    std::vector<QByteArray> lines;
    auto lastReport = Clock::now();
    qsizetype done = 0;
    bool mayPass = false;
    for (; done < total && !isCancelled(); ++done) {
        const JournalFile& file = m_files[size_t(done)];
        RestoreOutcome& outcome = outcomes[size_t(done)];
        outcome = restoreFile(file, items, index, used, outcome);
        mayPass = mayPass || outcome.mayPass;
        if (outcome.putBack())
            lines.push_back(TrashJournal::putBackLine(file.number));
        else if (outcome.gone)
            lines.push_back(TrashJournal::goneLine(file.number));
        if (lines.size() >= 64) {
            m_journal.append(m_id, lines);
            lines.clear();
        }
        if (m_progress && Clock::now() - lastReport >= std::chrono::milliseconds(m_intervalMs)) {
            lastReport = Clock::now();
            m_progress(done + 1, total);
        }
    }
    // A file kept for a reason that may pass is tried again by a plain undo.
    if (done == total && !mayPass)
        lines.push_back(TrashJournal::undoneLine(qint64(std::time(nullptr))));
    if (!lines.empty())
        m_journal.append(m_id, lines);
    if (lock.isValid())
        dropLock(lock.get(), kUndoLockHigh);
    if (m_progress)
        m_progress(done, total);
    return outcomes;
}

} // namespace platform
