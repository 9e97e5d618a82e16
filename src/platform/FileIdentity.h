#pragma once
// What makes a file the one the user saw: the device and inode it had when
// the scan listed it, and its type (a link is its own file, never what it
// points at). Anything that acts on a listed file later compares what stands
// at the path now with this, and refuses when they differ.

#include <QByteArray>
#include <QtGlobal>

struct stat;

namespace platform {

enum class FileType : quint8 { Unknown = 0, Regular, Link, Directory, Other };

struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    FileType type = FileType::Unknown;

    /** False for an identity nobody recorded: nothing can be compared with it. */
    bool known() const { return type != FileType::Unknown; }
    bool operator==(const FileIdentity&) const = default;
};

/**
 * What tells a file apart from a later one that was given its inode number
 * after it was deleted: its change time, its size and, where the file system
 * keeps one, its birth time. Taken right after a file moved to the Trash.
 */
struct FileStamp {
    qint64 changeSeconds = 0;
    qint64 changeNanoseconds = 0;
    /** Its size in bytes; -1 for a stamp nobody took. */
    qint64 size = -1;
    bool hasBirthTime = false;
    qint64 birthSeconds = 0;
    qint64 birthNanoseconds = 0;

    bool known() const { return size >= 0; }
    bool operator==(const FileStamp&) const = default;
};

/**
 * A trash folder that took files, and what identifies its drive when the
 * device number does not last (a drive plugged in again, another loop
 * device): the file system's type and id (statfs f_fsid, which ext4, XFS and
 * btrfs make from their UUID) and its UUID as /dev/disk/by-uuid names it.
 */
struct TrashDrive {
    /** The device and inode of the trash's files/ folder. */
    quint64 device = 0;
    quint64 filesInode = 0;
    /** statfs f_type and f_fsid (both words as one number); 0 when unknown. */
    quint64 type = 0;
    quint64 fsid = 0;
    /** The file system's UUID; empty when it cannot be read. */
    QByteArray uuid;
    /** The mount root a drive's trash is below; empty for the home trash. */
    QByteArray top;

    bool known() const { return device != 0 || filesInode != 0; }
    bool operator==(const TrashDrive&) const = default;
};

/** The type of a stat mode (S_IFREG and so on). */
FileType fileTypeOfMode(unsigned mode);

/** The identity of what a stat (or lstat) describes. */
FileIdentity identityOf(const struct stat& status);

} // namespace platform
