#pragma once
// What the walk enters and what the listings keep, beyond the date range:
// the command line's --exclude, --name, --iname, --size, --one-file-system
// and --keep-newest. The scan engine takes a pointer to one ScanFilter (none
// when nothing is asked, so the walk without a filter is the walk as it
// always was) and asks it two things:
//
//   entersFolder()  before a found folder is opened: an excluded folder is
//                   never opened, so nothing below it costs anything
//   keepFiles()     after a folder is listed: drops the files that are
//                   excluded, do not match a name pattern or lie outside the
//                   size bounds, then the N newest of those left
//
// Both are called from the scan's reading threads at once: a ScanFilter is
// not changed after it is made. Whether a folder is on the listed folder's
// file system is asked by the engine itself (a system call), which only
// reads oneFileSystem() here.
//
// Paths relative to a listed folder are its folder names joined by the
// path separator ("\" on Windows, read as "/" here), without one at either
// end; the listed folder itself is the empty path. Patterns join names with
// "/" on both systems, and on Windows --exclude and --name ignore letter
// case, as its file systems do.

#include "filter/Glob.h"
#include "scan/FolderListing.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <variant>
#include <vector>

/** A size limit as --size gives it: "+N" at least N bytes, "-N" at most. */
struct SizeBound {
    enum class Side { AtLeast, AtMost };
    Side side = Side::AtLeast;
    qint64 bytes = 0;
};

/**
 * `text` read as a size bound: "+" or "-", a whole number, and an optional
 * unit b, k, M or G (powers of 1024). std::nullopt when it is not one or
 * the number of bytes does not fit in 63 bits.
 */
std::optional<SizeBound> parseSizeBound(const QString& text);

/** What the user asked to filter, as given. */
struct FilterChoices {
    QStringList excludes;
    QStringList names;
    QStringList caseIgnoredNames;
    std::optional<qint64> smallest;
    std::optional<qint64> largest;
    bool oneFileSystem = false;
    /** The files per folder that are never listed, the newest first; 0 keeps none back. */
    qint64 keepNewest = 0;

    /** Whether nothing is asked (the walk and the listings keep everything). */
    bool isEmpty() const
    {
        return excludes.isEmpty() && names.isEmpty() && caseIgnoredNames.isEmpty() && !smallest && !largest
            && !oneFileSystem && keepNewest == 0;
    }
};

class ScanFilter {
public:
    /** The filter for `choices`, or one line naming the pattern that cannot be used and why. */
    static std::variant<ScanFilter, QString> make(const FilterChoices& choices);

    /** Whether folders on another file system than their listed folder are left out (not entered). */
    bool oneFileSystem() const { return m_oneFileSystem; }

    /** Whether the walk opens the found folder at `relativePath` (never empty). */
    bool entersFolder(QByteArrayView relativePath) const;

    /**
     * Drops from `listing`, the folder at `relativeFolder`, every file the
     * filter does not keep, in listing order. Subfolders are left as they are.
     */
    void keepFiles(QByteArrayView relativeFolder, FolderListing& listing) const;

    /** Whether the file `name` in the folder at `relativeFolder`, of `size` bytes, passes the exclusions, names and sizes. */
    bool passes(QByteArrayView relativeFolder, QByteArrayView name, qint64 size) const;

private:
    struct Exclusion {
        /** A pattern without "/" matches a name at any depth; with one, the relative path. */
        std::optional<NamePattern> name;
        std::optional<PathPattern> path;
        /** A pattern ending in "/" excludes folders only. */
        bool foldersOnly = false;
    };

    bool excluded(QByteArrayView relativePath, QByteArrayView name, bool folder) const;
    void dropNewest(FolderListing& listing) const;

    std::vector<Exclusion> m_exclusions;
    bool m_hasPathExclusions = false;
    std::vector<NamePattern> m_names;
    std::optional<qint64> m_smallest;
    std::optional<qint64> m_largest;
    bool m_oneFileSystem = false;
    qint64 m_keepNewest = 0;
    /** Whether keepFiles() has anything to do. */
    bool m_filtersFiles = false;
};
