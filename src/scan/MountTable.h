#pragma once

#include <QByteArray>

#include <unordered_set>
#include <string>

/**
 * The mount points of the kernel's pseudo-file systems (proc, sysfs, ...),
 * read from /proc/self/mountinfo once per scan.
 */
class MountTable {
public:
    /** Reads the current process's mount table; an unreadable table has no entries. */
    static MountTable current();
    /** A table of the given mount points, each without a trailing "/" (except "/"). */
    explicit MountTable(std::unordered_set<std::string> pseudoMountPoints = {});

    /** Whether `path` (with or without a trailing "/") is a pseudo-file-system mount point. */
    bool isPseudoMountPoint(const QByteArray& path) const;
    bool isEmpty() const { return m_points.empty(); }

    /** Whether the file-system type `type` (as mountinfo names it) is a kernel pseudo-file system. */
    static bool isPseudoFileSystem(const QByteArray& type);

private:
    std::unordered_set<std::string> m_points;
};
