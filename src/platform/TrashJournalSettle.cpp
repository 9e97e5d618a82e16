// Settling the requests that a crash or a kill cut short.
//
// A request journals each batch ("begun" lines, flushed) before it writes
// the batch's records, moves the files, and closes the batch ("moved" lines
// and "settled", flushed). Killed in between, it leaves files in the Trash
// that the journal has no "moved" line for, and records in info/ whose file
// never moved. The next request, and undo, settle such a request:
//
//   - its file must be a regular file that no running request or undo holds
//     locked, and not end in "settled";
//   - for each file begun after its last "settled" line, in a trash folder
//     the Trash itself would use: a file in files/ under its name that is the
//     very file (device, inode, type) gets its "moved" line, so that undo
//     puts it back; when nothing stands there, the record under its name is
//     removed if it is ours: a regular file of ours holding exactly the text
//     the request wrote. Anything else is left alone;
//   - then "settled" is appended, unless a trash folder could not be reached
//     (a drive away), so that the next try settles what is left.
//
// At most kOpenTrashes trash folders are open at a time.

#include "platform/TrashJournal.h"

#include "platform/DescriptorWait.h"
#include "platform/FileSystem.h"
#include "platform/FolderFlags.h"
#include "platform/TrashFolders.h"
#include "platform/TrashInfo.h"
#include "platform/TrashJournalLines.h"

#include <cstring>
#include <set>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

using namespace journal;

namespace {

/** A trash folder with its files/ and info/ open; invalid when it is no trash of ours or cannot be opened. */
struct SettlingTrash {
    QByteArray root;
    UniqueFd files;
    UniqueFd info;
};

class SettlingTrashes {
public:
    /** The trash `root` opened, or nullptr when it cannot be reached now. */
    const SettlingTrash* open(const QByteArray& root)
    {
        for (auto it = m_open.begin(); it != m_open.end(); ++it) {
            if (it->root == root) {
                std::rotate(it, it + 1, m_open.end());
                return m_open.back().files.isValid() ? &m_open.back() : nullptr;
            }
        }
        if (m_open.size() >= kOpenTrashes)
            m_open.erase(m_open.begin());
        SettlingTrash trash{root, {}, {}};
        if (isTrashOfItsDrive(root)) {
            const UniqueFd rootFd(waitForDescriptor([&] { return ::open(root.constData(), kOpenFolderNoLinkFlags); }));
            struct stat status;
            if (rootFd.isValid() && ::fstat(rootFd.get(), &status) == 0 && status.st_uid == ::getuid()) {
                trash.files.reset(
                    waitForDescriptor([&] { return ::openat(rootFd.get(), "files", kOpenFolderNoLinkFlags); }));
                trash.info.reset(
                    waitForDescriptor([&] { return ::openat(rootFd.get(), "info", kOpenFolderNoLinkFlags); }));
                if (!trash.info.isValid())
                    trash.files.reset();
            }
        }
        m_open.push_back(std::move(trash));
        return m_open.back().files.isValid() ? &m_open.back() : nullptr;
    }

private:
    std::vector<SettlingTrash> m_open;
};

// Removes the record of `file` from info/ if it is the very record the
// request wrote and no file of its name is in files/.
void removeOwnRecord(const SettlingTrash& trash, const BegunFile& file)
{
    const QByteArray name = file.trashName + kTrashInfoSuffix;
    const QByteArray expected = trashInfoText(file.pathField, file.deletionDate);
    const UniqueFd record(waitForDescriptor(
        [&] { return ::openat(trash.info.get(), name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC); }));
    struct stat status;
    if (!record.isValid() || ::fstat(record.get(), &status) != 0 || !S_ISREG(status.st_mode)
        || status.st_uid != ::getuid() || status.st_size != expected.size())
        return;
    QByteArray text(expected.size() + 1, '\0');
    if (::read(record.get(), text.data(), size_t(text.size())) != expected.size()
        || text.left(expected.size()) != expected)
        return;
    // Its file may have moved in after all: then the record is its way back.
    struct stat moved;
    if (::fstatat(trash.files.get(), file.trashName.constData(), &moved, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT)
        return;
    ::unlinkat(trash.info.get(), name.constData(), 0);
}

// The "moved" line of a file found in the Trash, as a request writes it.
QByteArray movedLineOf(qsizetype number, const BegunFile& file)
{
    QByteArray line = "moved " + QByteArray::number(number);
    for (const quint64 value : {file.identity.device, file.identity.inode, quint64(file.identity.type),
                                file.folderIdentity.device, file.folderIdentity.inode})
        line += ' ' + QByteArray::number(value);
    return line + ' ' + percentEncodePath(file.trash) + ' ' + percentEncodePath(file.trashName) + ' '
        + percentEncodePath(file.originalPath) + ' ' + kEnd + '\n';
}

// True when the open journal file ends in a "settled" line.
bool endsSettled(int fd)
{
    const QByteArray tail = '\n' + QByteArray(kSettled) + '\n';
    struct stat status;
    if (::fstat(fd, &status) != 0 || status.st_size < tail.size())
        return false;
    QByteArray last(tail.size(), '\0');
    return ::pread(fd, last.data(), size_t(last.size()), status.st_size - tail.size()) == tail.size() && last == tail;
}

void settle(int folderFd, quint64 id, SettlingTrashes& trashes, QStringList& problems)
{
    BoundedLines lines(folderFd, QByteArray::number(id), kLongestLine, O_RDWR | O_APPEND);
    // A request still running, or being undone, holds its file locked.
    if (!lines.isOpen() || ::flock(lines.fd(), LOCK_EX | LOCK_NB) != 0 || endsSettled(lines.fd()))
        return;
    std::vector<JournalState> states;
    std::vector<BegunFile> unsettled;
    const std::optional<JournalRequest> request = parseRequest(lines, id, true, states, &problems, &unsettled);
    // Without its request line the file is not a request (yet): it is left alone.
    if (!request)
        return;

    std::set<std::pair<QByteArray, QByteArray>> journaled;
    for (const JournalFile& file : request->files)
        journaled.emplace(file.trash, file.trashName);
    qsizetype number = qsizetype(states.size());
    QByteArray text;
    bool reached = true;
    for (const BegunFile& file : unsettled) {
        const SettlingTrash* trash = trashes.open(file.trash);
        if (!trash) {
            reached = false;
            continue;
        }
        struct stat status;
        if (::fstatat(trash->files.get(), file.trashName.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
            // Moved, but killed before its line was written: undo must find it.
            if (identityOf(status) == file.identity && journaled.emplace(file.trash, file.trashName).second)
                text += movedLineOf(number++, file);
        } else if (errno == ENOENT) {
            removeOwnRecord(*trash, file);
        } else {
            reached = false;
        }
    }
    if (reached)
        text += QByteArray(kSettled) + '\n';
    if (text.isEmpty())
        return;
    // A line torn by the kill is closed first, so that it stays one bad line.
    struct stat status;
    char last = '\n';
    if (::fstat(lines.fd(), &status) == 0 && status.st_size > 0
        && ::pread(lines.fd(), &last, 1, status.st_size - 1) == 1 && last != '\n')
        text.prepend('\n');
    if (writeAll(lines.fd(), text.constData(), text.size()))
        ::fdatasync(lines.fd());
}

} // namespace

QStringList TrashJournal::settleUnfinished(quint64 except) const
{
    QStringList problems;
    const UniqueFd folder = openFolder(m_folder);
    if (!folder.isValid())
        return problems;
    SettlingTrashes trashes;
    for (const quint64 id : idsIn(folder.get()))
        if (id != except)
            settle(folder.get(), id, trashes, problems);
    return problems;
}

} // namespace platform
