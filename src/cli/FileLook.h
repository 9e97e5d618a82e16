#pragma once
// What stands at a listed file's path now: its identity, size and three dates
// to the nanosecond. The CSV and JSON Lines records are made from it (the
// scan keeps only the date of one kind, to the second, in local time), and
// --trash-from compares it with a list made earlier. Nothing is opened but
// the file's folder; a link at the name is looked at itself, never followed.
// Linux in FileLook_posix.cpp, Windows in FileLook_windows.cpp.

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace cli {

/** A moment as seconds since 1970-01-01 00:00 UTC and the nanoseconds after them. */
struct FileTime {
    qint64 seconds = 0;
    quint32 nanoseconds = 0;
    bool operator==(const FileTime&) const = default;
};

struct FileLook {
    quint64 device = 0;
    quint64 inode = 0;
    /** A regular file, or a link (looked at itself). */
    bool isLink = false;
    qint64 size = 0;
    std::optional<FileTime> modified;
    /** The birth time; none where the file system keeps none. */
    std::optional<FileTime> created;
    std::optional<FileTime> accessed;
};

/** Looks at files one after another, keeping the last one's folder open. */
class FileLooker {
public:
    FileLooker() = default;
    ~FileLooker();
    FileLooker(const FileLooker&) = delete;
    FileLooker& operator=(const FileLooker&) = delete;

    /**
     * Looks at `name` in the folder `folder` (its path, ending in "/"): 0 with
     * `look` filled, or the errno of the failure (ENOENT when it is gone,
     * EISDIR when a folder stands there).
     */
    int look(QByteArrayView folder, QByteArrayView name, FileLook& look);

    /** The same for a whole path (absolute, not ending in "/"). */
    int look(QByteArrayView path, FileLook& look);

private:
    QByteArray m_folder;
    long long m_handle = -1;
    int m_folderError = 0;
};

} // namespace cli
