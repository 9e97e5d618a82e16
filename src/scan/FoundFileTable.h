#pragma once
// The found-file table: FOUNDFILES (each found file's full path) and
// LASTMODIFIED (its date of the chosen kind), always of equal length, index i
// of both naming the same file. Dates are kept as local seconds and turned
// into text only when read, so every reader sees the same text.
//
// A million files must fit in little memory: each file keeps the index of its
// folder, its name's bytes, its date and what identifies it (20 bytes plus
// the name); each folder's path is kept once, as bytes. On Linux these are
// the bytes the system gave, UTF-8 or not; as text (path()) each byte that is
// not UTF-8 is the stand-in platform::pathFromNative() makes for it, which
// platform::nativePath() turns back into that byte. On Windows they are UTF-8.
//
// Each file also keeps what identifies it (inode, type, size as listed) and
// each folder its device and the listed folder it lies below, so that a later
// action can check it acts on the very file the scan found. A file whose own
// device is not its folder's (a file bind-mounted into the folder, a file of
// an overlay) keeps its device in a short side list.

#include "platform/FileIdentity.h"
#include "scan/DateText.h"

#include <QByteArrayView>
#include <QString>

#include <limits>
#include <memory>
#include <string>
#include <vector>

/** Whether the files appended below a listed folder can repeat a path. */
enum class PathsBelow {
    /** Anything may be appended. */
    MayRepeat,
    /** A walk lists each path below the listed folder once. */
    Unique,
};

/** What the scan learns of a file besides its name and date. */
struct FoundFileFacts {
    quint64 inode = 0;
    qint64 size = 0;
    platform::FileType type = platform::FileType::Unknown;
    /** The file's own device; 0 when it is its folder's. */
    quint64 device = 0;
};

class FoundFileTable {
public:
    FoundFileTable() = default;
    FoundFileTable(FoundFileTable&&) noexcept = default;
    FoundFileTable& operator=(FoundFileTable&&) noexcept = default;

    /** How many files the table holds (the upper index plus one). */
    qsizetype size() const { return qsizetype(m_count); }
    bool isEmpty() const { return m_count == 0; }

    /** FOUNDFILES(i): the full path of file i. */
    QString path(qsizetype i) const;
    /** The date of file i as local seconds, or kNoDate when it had none. */
    qint64 localSeconds(qsizetype i) const
    {
        const qint32 date = entry(i).date;
        return date != kWideDate ? kDateBase + date : qint64(wideValue(m_wideDates, i));
    }
    /** LASTMODIFIED(i): the date of file i as general date text, empty when it had none. */
    QString dateText(qsizetype i, const QLocale& locale = QLocale::system()) const
    {
        return generalDateText(localSeconds(i), locale);
    }

    /** The index of the folder of file i, and that folder's path (ending in the path separator). */
    quint32 folderIndex(qsizetype i) const { return entry(i).folder; }
    QString folderPath(quint32 folder) const;
    /** The folder's path as bytes (ending in the path separator). */
    QByteArrayView folderPathUtf8(quint32 folder) const
    {
        const FolderFacts& facts = m_folderFacts[folder];
        return QByteArrayView(facts.path, qsizetype(facts.pathLength));
    }
    /** The name of file i as bytes (not NUL-terminated), UTF-8 unless the system gave other bytes, and its length. */
    const char* nameUtf8(qsizetype i) const { return block(i).names.data() + entry(i).nameOffset; }
    size_t nameLength(qsizetype i) const;

    /** What identified file i when it was listed (device, inode, type); unknown when nothing was recorded. */
    platform::FileIdentity identity(qsizetype i) const;
    /** The size of file i in bytes as listed (a link's own size), 0 when unknown. */
    qint64 size(qsizetype i) const
    {
        const quint32 size = entry(i).size;
        return size != kWideNumber ? qint64(size) : qint64(wideValue(m_wideSizes, i));
    }
    /** The listed folder (ending in the separator) that file i was found below; empty when none was recorded. */
    QString listedFolder(qsizetype i) const;

    /** How many folders the table holds; folder indices run from 0 to this less one. */
    quint32 folderCount() const { return quint32(m_folderFacts.size()); }

    /**
     * False when no path can stand in the table twice: every file was
     * appended below a listed folder whose walk lists each path once, and no
     * listed folder lies inside another (or is another).
     */
    bool mayRepeatPaths() const { return m_mayRepeatPaths; }

    /** Empties both columns and gives their memory back. */
    void clear();
    /** Appends one file to both columns. */
    void append(const QString& path, qint64 localSeconds, const FoundFileFacts& facts = {});

    /** Starts the files found below the listed folder `listedPath` (ending in the path separator). */
    void beginListedFolder(const QString& listedPath, PathsBelow paths = PathsBelow::MayRepeat);
    /** Starts a run of files of the folder `folderPath` (ending in the path separator) on device `device`. */
    void beginFolder(const QString& folderPath, quint64 device = 0);
    /** The same with the folder's path as bytes. */
    void beginFolderUtf8(QByteArrayView folderPath, quint64 device);
    /** Appends a file of the current folder by its name's bytes. */
    void appendFile(const char* utf8Name, size_t length, qint64 localSeconds, const FoundFileFacts& facts = {});

    /** The bytes the table holds, for benchmarks. */
    size_t memoryUsed() const;

private:
    // Files live in blocks of a fixed count, so the table grows without
    // copying what it holds and without a moment where it needs half as much
    // again. A file costs 20 bytes plus its name: its date, inode and size
    // as 32-bit values, with the rare file whose value does not fit (a date
    // before 1932 or after 2068, an inode number of 2^32 or more, a size of
    // 4 GiB or more) marked and kept in a side list by index; the name's
    // offset in its block's names (its length is where the next name
    // starts); its folder and type.
    static constexpr int kBlockShift = 12;
    static constexpr size_t kBlockFiles = size_t(1) << kBlockShift;
    static constexpr qint32 kWideDate = std::numeric_limits<qint32>::min();
    /** Dates are kept as seconds from 2000-01-01 00:00 local time: 1932 to 2068 fit. */
    static constexpr qint64 kDateBase = 36526 * kSecondsPerDay;
    static constexpr quint32 kWideNumber = std::numeric_limits<quint32>::max();
    struct Entry {
        qint32 date;
        quint32 inode;
        quint32 size;
        quint32 nameOffset;
        quint32 folder : 28;
        quint32 type : 4;
    };
    static_assert(sizeof(Entry) == 20);
    struct Block {
        std::unique_ptr<Entry[]> entries;
        std::string names;
    };
    /** A value that did not fit its entry's field, by file index. */
    struct WideValue {
        quint64 index;
        quint64 value;
    };
    struct FolderFacts {
        const char* path;
        quint32 pathLength;
        /** Index into m_listedFolders, or -1 when none was begun. */
        qint32 listed;
        quint64 device;
    };

    const Block& block(qsizetype i) const { return m_blocks[size_t(i) >> kBlockShift]; }
    const Entry& entry(qsizetype i) const { return block(i).entries[size_t(i) & (kBlockFiles - 1)]; }
    static quint64 wideValue(const std::vector<WideValue>& values, qsizetype i);
    const char* storeFolderPath(QByteArrayView path);

    std::vector<Block> m_blocks;
    size_t m_count = 0;
    std::vector<FolderFacts> m_folderFacts;
    /** Folder paths, back to back in pieces that never move. */
    std::vector<std::unique_ptr<char[]>> m_pathPieces;
    char* m_pathNext = nullptr;
    size_t m_pathPieceFree = 0;
    std::vector<QString> m_listedFolders;
    QByteArray m_listedFolderUtf8;
    std::vector<WideValue> m_wideDates;
    std::vector<WideValue> m_wideInodes;
    std::vector<WideValue> m_wideSizes;
    /** Devices of the files whose device is not their folder's. */
    std::vector<WideValue> m_ownDevices;
    bool m_mayRepeatPaths = false;
};
