#pragma once
// The Trash journal as the Windows build keeps it, and how a journaled file
// is found again among the items of the Recycle Bin. No system call here:
// the journal's lines, the Recycle Bin's records and the choice of an item
// are plain data, so they are tested on every system
// (TrashJournal_windows.cpp does the reading, writing and moving).
//
// The journal has the lines of the Linux one (TrashJournal.h), with Windows
// meanings for some fields:
//
//     moved <n> <volume serial> <file ID> <type> <folder's volume serial> <folder's file ID> <drive root> <name> <original path> end
//     moved-detail <n> <deletion s> <deletion ns> <size> - - <real path> end
//
// The file ID is 0 on a volume whose file IDs do not last (only NTFS and
// ReFS keep them); the deletion time is the moment the shell was asked to
// move the file (UTC); the drive root ("C:\", "\\server\share\") stands
// where Linux names the trash folder, and the name is the file's own (the
// Recycle Bin gives it a name of its own, which is not known beforehand).
// Paths are UTF-8 of the wide paths, with "\", percent-encoded.

#include "platform/LineReader.h"
#include "platform/TrashJournal.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace platform::recyclebin {

/**
 * The longest line a journal of the Windows build may hold: two paths of
 * 32,767 UTF-16 units, each up to three bytes of UTF-8, each byte
 * percent-encoded to three, and a few numbers. A longer line is not read.
 */
inline constexpr qsizetype kLongestLine = 2 * (9 * 32767 + 1) + 32 * 21 + 64;

/** How far the Recycle Bin's deletion time may lie before and after the one journaled, in seconds. */
inline constexpr qint64 kDeletedEarlier = 2;
inline constexpr qint64 kDeletedLater = 120;

/** The root of `path`'s drive ("C:\", "\\server\share\"); empty when `path` is not absolute. */
QString driveRoot(const QString& path);

/** Why `path` (with "\") cannot be a file's absolute path; empty when it can. */
QString pathRefusal(const QString& path);

/** The "moved" line of file `number` (without its "end"); `originalPath` is absolute, with "\". */
QByteArray movedLine(qsizetype number, const QString& originalPath, const FileIdentity& identity,
                     const FileIdentity& folderIdentity);

/** The "moved-detail" line of file `number`: the deletion time and size in `stamp`, and the real path. */
QByteArray detailLine(qsizetype number, const FileStamp& stamp, const QString& realPath);

/**
 * Reads one request's file. With `keepFiles` false only the first file is
 * kept, and `states` still follows every file. A line too long, or whose
 * paths cannot be a file's, is reported in `problems` and skipped.
 */
std::optional<JournalRequest> parseRequest(LineReader& lines, quint64 id, bool keepFiles,
                                           std::vector<JournalState>& states, QStringList* problems);

/** One item of the Recycle Bin, as the shell shows it. */
struct BinItem {
    /** Where the file was when it was deleted. */
    QString originalPath;
    /** When it was deleted (UTC, seconds since 1970). */
    qint64 deletedSeconds = 0;
    /** Its size as the Recycle Bin records it; -1 when it does not. */
    qint64 size = -1;
    /** The file itself, in the Recycle Bin's own folder. */
    QString location;
    /** The Recycle Bin's record of it, removed once it is back. */
    QString record;
};

/**
 * The items that may hold `file`, best first: the same original path (letter
 * case aside, as Windows compares it), deleted within the journaled time's
 * window, of the journaled size; nearest in time first. Items in `used` are
 * left out. Whether one is the very file is for its file ID to tell.
 */
std::vector<size_t> binCandidates(const JournalFile& file, const std::vector<BinItem>& items,
                                  const std::vector<bool>& used);

/** The Recycle Bin's items by original path, so that each journaled file costs its path's items only. */
class BinIndex {
public:
    /** `items` must outlive the index. */
    explicit BinIndex(const std::vector<BinItem>& items);

    /** What binCandidates() gives, looking at the items of the file's path only. */
    std::vector<size_t> candidates(const JournalFile& file, const std::vector<bool>& used) const;

private:
    const std::vector<BinItem>& m_items;
    QHash<QString, std::vector<size_t>> m_byPath;
};

/** What a Recycle Bin record ($I file) says. */
struct BinRecord {
    qint64 size = 0;
    qint64 deletedSeconds = 0;
    QString originalPath;
};

/** The Recycle Bin record in `bytes` (formats 1 and 2); std::nullopt when it is not one. */
std::optional<BinRecord> parseBinRecord(const QByteArray& bytes);

/**
 * The item Wine's Recycle Bin describes in an item ID's bytes (after its
 * size): a zero byte, the file's WIN32_FIND_DATAW with its original path as
 * name and its deletion time as access time, then its name in the freedesktop
 * Trash's files/ folder. `location` and `record` are left empty; `trashName`
 * gets that name. std::nullopt when the bytes are not so laid out.
 */
std::optional<BinItem> parseWineItem(const QByteArray& bytes, QString* trashName);

/** Seconds since 1970 of a FILETIME value (100 ns ticks since 1601), cut toward the past. */
qint64 secondsOfFileTime(quint64 ticks);

} // namespace platform::recyclebin
