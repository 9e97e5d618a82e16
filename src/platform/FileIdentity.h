#pragma once
// What makes a file the one the user saw: the device and inode it had when
// the scan listed it, and its type (a link is its own file, never what it
// points at). Anything that acts on a listed file later compares what stands
// at the path now with this, and refuses when they differ.

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

/** The type of a stat mode (S_IFREG and so on). */
FileType fileTypeOfMode(unsigned mode);

/** The identity of what a stat (or lstat) describes. */
FileIdentity identityOf(const struct stat& status);

} // namespace platform
