#pragma once
// The found-file table: FOUNDFILES (each found file's full path) and
// LASTMODIFIED (its date of the chosen kind), always of equal length, index i
// of both naming the same file. Dates are kept as local seconds and turned
// into text only when read, so every reader sees the same text.
//
// A million files must fit in little memory: each file keeps the index of its
// folder, its name as UTF-8 bytes in one shared arena, its date and what
// identifies it (36 bytes plus the name); each folder's path is kept once.
//
// Each file also keeps what identifies it (inode, type, size as listed) and
// each folder its device and the listed folder it lies below, so that a later
// action can check it acts on the very file the scan found. A file whose own
// device is not its folder's (a file bind-mounted into the folder, a file of
// an overlay) keeps its device in a short side list.

#include "platform/FileIdentity.h"
#include "scan/DateText.h"

#include <QString>

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
    /** How many files the table holds (the upper index plus one). */
    qsizetype size() const { return qsizetype(m_entries.size()); }
    bool isEmpty() const { return m_entries.empty(); }

    /** FOUNDFILES(i): the full path of file i. */
    QString path(qsizetype i) const;
    /** The date of file i as local seconds, or kNoDate when it had none. */
    qint64 localSeconds(qsizetype i) const { return m_entries[size_t(i)].localSeconds; }
    /** LASTMODIFIED(i): the date of file i as general date text, empty when it had none. */
    QString dateText(qsizetype i, const QLocale& locale = QLocale::system()) const
    {
        return generalDateText(localSeconds(i), locale);
    }

    /** The index of the folder of file i, and that folder's path (ending in "/"). */
    quint32 folderIndex(qsizetype i) const { return m_entries[size_t(i)].folder; }
    const QString& folderPath(quint32 folder) const { return m_folders[folder]; }
    /** The name of file i as UTF-8 bytes (not NUL-terminated) and its length. */
    const char* nameUtf8(qsizetype i) const { return m_names.data() + m_entries[size_t(i)].nameOffset; }
    size_t nameLength(qsizetype i) const { return m_entries[size_t(i)].nameLength; }

    /** What identified file i when it was listed (device, inode, type); unknown when nothing was recorded. */
    platform::FileIdentity identity(qsizetype i) const;
    /** The size of file i in bytes as listed (a link's own size), 0 when unknown. */
    qint64 size(qsizetype i) const { return m_entries[size_t(i)].size; }
    /** The listed folder (ending in "/") that file i was found below; empty when none was recorded. */
    QString listedFolder(qsizetype i) const;

    /** How many folders the table holds; folder indices run from 0 to this less one. */
    quint32 folderCount() const { return quint32(m_folders.size()); }

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

    /** Starts the files found below the listed folder `listedPath` (ending in "/"). */
    void beginListedFolder(const QString& listedPath, PathsBelow paths = PathsBelow::MayRepeat);
    /** Starts a run of files of the folder `folderPath` (ending in "/") on device `device`. */
    void beginFolder(const QString& folderPath, quint64 device = 0);
    /** Appends a file of the current folder by its UTF-8 name. */
    void appendFile(const char* utf8Name, size_t length, qint64 localSeconds, const FoundFileFacts& facts = {});

    /** The bytes the table holds, for benchmarks. */
    size_t memoryUsed() const;

private:
    // 36 bytes per file: packed to 4-byte alignment, the name's offset,
    // length and the file's type sharing one word (names are at most 255
    // bytes on Linux; the offset reaches 16 TiB of names).
#pragma pack(push, 4)
    struct Entry {
        qint64 localSeconds;
        quint64 inode;
        qint64 size;
        quint64 nameOffset : 44;
        quint64 nameLength : 16;
        quint64 type : 4;
        quint32 folder;
    };
#pragma pack(pop)
    static_assert(sizeof(Entry) == 36);
    struct FolderFacts {
        quint64 device;
        /** Index into m_listedFolders, or -1 when none was begun. */
        qint32 listed;
    };
    std::vector<QString> m_folders;
    std::vector<FolderFacts> m_folderFacts;
    std::vector<QString> m_listedFolders;
    std::vector<Entry> m_entries;
    std::string m_names;
    /** (file index, device) of the files whose device is not their folder's, by index. */
    std::vector<std::pair<quint64, quint64>> m_ownDevices;
    bool m_mayRepeatPaths = false;
};
