// Opening and listing the folders of a walk on Windows.
//
// A folder is opened as a handle (CreateFileW with backup semantics, never
// through a reparse point below the listed folder) and kept as a C runtime
// descriptor, so the walk holds it like any other. It is listed from that
// handle with GetFileInformationByHandleEx(FileIdBothDirectoryInfo), which
// gives every entry's name, attributes, three times, size and file ID in one
// pass with no call per file: the very folder that was opened is read. A
// found folder is opened by its path below the listed folder and must then
// resolve to exactly that path (no junction or link on the way) and carry the
// volume serial and file ID its parent's listing gave (on NTFS and ReFS,
// whose file IDs last; elsewhere the path alone is checked).
//
// Folders are entered by their attributes: a folder whose attribute value is
// exactly 22 (hidden + system + directory) or 1046 (the same and a reparse
// point) is not entered, and a reparse point (a junction or a folder link) is
// never entered. A file that is a reparse point (a file link) is listed as a
// link when what it leads to can be opened.

#include "scan/FolderListing.h"

#include "platform/WindowsText.h"
#include "scan/FileChecks.h"

#include <cwctype>
#include <mutex>

#include <io.h>
#include <fcntl.h>

namespace {

using platform::UniqueHandle;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::mutex hookMutex;
std::function<void(const QByteArray&)> beforeOpeningFoundFolder;

// Opens the folder at `path` for listing; without following a final reparse
// point unless `followLink`.
OpenedFolder openFolderHandle(const std::wstring& path, bool followLink)
{
    OpenedFolder opened;
    DWORD flags = FILE_FLAG_BACKUP_SEMANTICS;
    if (!followLink)
        flags |= FILE_FLAG_OPEN_REPARSE_POINT;
    UniqueHandle handle(CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll,
                                    nullptr, OPEN_EXISTING, flags, nullptr));
    if (!handle.isValid()) {
        opened.error = platform::errnoOfWindowsError(GetLastError());
        return opened;
    }
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle.get(), &information)) {
        opened.error = platform::errnoOfWindowsError(GetLastError());
        return opened;
    }
    if (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT && !followLink) {
        opened.error = ELOOP;
        return opened;
    }
    if (!(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        opened.error = ENOTDIR;
        return opened;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle.get()), _O_RDONLY);
    if (fd < 0) {
        opened.error = EMFILE;
        return opened;
    }
    handle.release();
    opened.descriptor = FolderDescriptor(fd);
    opened.device = information.dwVolumeSerialNumber;
    opened.inode = (quint64(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    return opened;
}

bool samePath(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size())
        return false;
    // File names on Windows compare without letter case.
    return CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) == CSTR_EQUAL;
}

qint64 utcSecondsOf(const LARGE_INTEGER& fileTime)
{
    // 100-nanosecond ticks since 1601, cut to the whole second toward the past.
    qint64 seconds = fileTime.QuadPart / 10000000;
    if (fileTime.QuadPart % 10000000 < 0)
        --seconds;
    return seconds - 11644473600LL;
}

const LARGE_INTEGER& timeOf(const FILE_ID_BOTH_DIR_INFO& entry, DateKind kind)
{
    switch (kind) {
    case DateKind::Accessed:
        return entry.LastAccessTime;
    case DateKind::Created:
        return entry.CreationTime;
    case DateKind::Modified:
        break;
    }
    return entry.LastWriteTime;
}

ListedName storeName(QByteArray& names, const QByteArray& name)
{
    const ListedName stored{quint32(names.size()), quint32(name.size())};
    names.append(name);
    return stored;
}

// Whether a file link leads to a file that can be opened.
bool linkLeadsToFile(HANDLE folder, const QString& name)
{
    const std::wstring path = platform::finalPathOf(folder) + L'\\' + name.toStdWString();
    return CanOpenFile(QString::fromStdWString(path));
}

} // namespace

void FolderDescriptor::reset()
{
    if (m_fd >= 0)
        _close(m_fd);
    m_fd = -1;
}

bool ListingInodeTrust::trusted(int fd, quint64 device)
{
    for (const auto& [known, trusted] : m_devices) {
        if (known == device)
            return trusted;
    }
    // NTFS and ReFS keep one file ID per file, the same in a listing and
    // through a handle. Other file systems (FAT, exFAT, network shares) may
    // make them up per call or give none: there a file ID is not compared.
    wchar_t name[MAX_PATH + 1] = {};
    const bool trusted = GetVolumeInformationByHandleW(platform::handleOf(fd), nullptr, 0, nullptr, nullptr, nullptr,
                                                       name, MAX_PATH + 1)
        && (std::wstring(name) == L"NTFS" || std::wstring(name) == L"ReFS");
    m_devices.emplace_back(device, trusted);
    return trusted;
}

OpenedFolder openListedFolder(const QByteArray& path)
{
    return openFolderHandle(platform::withoutTrailingSeparator(platform::widePath(path)), true);
}

OpenedFolder reopenFolder(int folder, quint64 device)
{
    const std::wstring path = platform::finalPathOf(platform::handleOf(folder));
    if (path.empty()) {
        OpenedFolder failed;
        failed.error = platform::errnoOfWindowsError(GetLastError());
        return failed;
    }
    OpenedFolder opened = openFolderHandle(path, false);
    BY_HANDLE_FILE_INFORMATION original;
    if (opened.descriptor.isOpen()
        && (!GetFileInformationByHandle(platform::handleOf(folder), &original) || opened.device != device
            || opened.inode != ((quint64(original.nFileIndexHigh) << 32) | original.nFileIndexLow))) {
        opened = OpenedFolder();
        opened.error = kFolderChanged;
    }
    return opened;
}

OpenedFolder openFoundFolder(int listed, const char* relative, size_t length, const FolderSighting& seen,
                             ListingInodeTrust&, const QByteArray& path)
{
    {
        std::lock_guard lock(hookMutex);
        if (beforeOpeningFoundFolder)
            beforeOpeningFoundFolder(path);
    }
    const std::wstring listedPath = platform::finalPathOf(platform::handleOf(listed));
    if (listedPath.empty()) {
        OpenedFolder failed;
        failed.error = platform::errnoOfWindowsError(GetLastError());
        return failed;
    }
    std::wstring expected = platform::withoutTrailingSeparator(listedPath);
    if (expected.back() != L'\\')
        expected += L'\\';
    expected += platform::widePath(QByteArray(relative, qsizetype(length)));

    OpenedFolder opened = openFolderHandle(expected, false);
    if (!opened.descriptor.isOpen())
        return opened;
    // A junction or link on the way would resolve elsewhere; another folder
    // put in its place has another file ID.
    const bool sameFolder = samePath(platform::finalPathOf(platform::handleOf(opened.descriptor.get())), expected)
        && (seen.source == FolderSighting::Source::None || (seen.inode == opened.inode && seen.device == opened.device));
    if (!sameFolder) {
        opened = OpenedFolder();
        opened.error = kFolderChanged;
    }
    return opened;
}

quint64 deviceBelow(int, const char*, size_t)
{
    // Unknown: the folder's volume is compared once it is opened.
    return 0;
}

void setBeforeOpeningFoundFolder(std::function<void(const QByteArray& path)> hook)
{
    std::lock_guard lock(hookMutex);
    beforeOpeningFoundFolder = std::move(hook);
}

void setNameByNameOpening(bool)
{
    // Every found folder is opened by its path and checked against it.
}

void readFolder(const OpenedFolder& folder, DateKind kind, TildeNames tildeNames, FolderListing& listing,
                ListingScratch& scratch, LocalTimeCache& times)
{
    if (!beginListing(folder, listing))
        return;
    const HANDLE handle = platform::handleOf(folder.descriptor.get());
    // Where file IDs mean nothing lasting, none is kept (0), and folders are
    // checked by their resolved path alone.
    const bool idsTrusted = scratch.trust.trusted(folder.descriptor.get(), folder.device);
    // The entries are aligned to 8 bytes inside the buffer.
    static_assert(sizeof(FILE_ID_BOTH_DIR_INFO) < 64 * 1024);
    for (;;) {
        if (!GetFileInformationByHandleEx(handle, FileIdBothDirectoryInfo, scratch.buffer.data(),
                                          DWORD(scratch.buffer.size()))) {
            const DWORD error = GetLastError();
            if (error == ERROR_NO_MORE_FILES)
                break;
            listing.error = platform::errnoOfWindowsError(error);
            listing.failedCall = "read";
            break;
        }
        for (size_t position = 0;;) {
            const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(scratch.buffer.data() + position);
            const QString name = platform::fromWide(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
            const DWORD attributes = entry->FileAttributes;
            const bool last = entry->NextEntryOffset == 0;
            position += entry->NextEntryOffset;

            if (name == QLatin1String(".") || name == QLatin1String("..")) {
            } else if (!name.isValidUtf16()) {
                // A name with a lone surrogate cannot be shown or typed.
                ++listing.skippedNames;
            } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
                // A junction or folder link is never entered, nor a folder
                // whose attributes are exactly hidden + system + directory.
                if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT) && int(attributes) != kAttributesNotExpanded
                    && int(attributes) != kAttributesNotExpandedLink) {
                    const FolderSighting seen = idsTrusted
                        ? FolderSighting{quint64(entry->FileId.QuadPart), folder.device, FolderSighting::Source::LookUp}
                        : FolderSighting{};
                    listing.subfolders.push_back({storeName(listing.names, name.toUtf8()), seen});
                }
            } else if (tildeNames == TildeNames::Drop && name.startsWith(QLatin1Char('~'))) {
                ++listing.tildeNames;
            } else if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT) || linkLeadsToFile(handle, name)) {
                const ListedName stored = storeName(listing.names, name.toUtf8());
                listing.files.push_back({stored.offset, quint16(stored.length),
                                         attributes & FILE_ATTRIBUTE_REPARSE_POINT ? platform::FileType::Link
                                                                                   : platform::FileType::Regular,
                                         times.localSeconds(utcSecondsOf(timeOf(*entry, kind))),
                                         idsTrusted ? quint64(entry->FileId.QuadPart) : 0,
                                         qint64(entry->EndOfFile.QuadPart)});
            }
            if (last)
                break;
        }
    }
}
