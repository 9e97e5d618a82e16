#pragma once
// One folder read once: its openable files with their dates and its accepted
// subfolders, each in the order the listing returns them. Both the simple
// walk and the parallel engine read folders through listFolder, so they see
// the same entries in the same order.
//
// The folder is opened, its entries read with getdents64, and each entry that
// may be a file is looked at with one statx relative to the open folder (a
// link to a file needs a second look through the link). No file is opened.

#include "folders/DateKind.h"
#include "scan/FileDates.h"

#include <QByteArray>

#include <vector>

struct ListedName {
    quint32 offset;
    quint32 length;
};

struct ListedFile {
    ListedName name;
    qint64 localSeconds;
};

struct FolderListing {
    /** errno of opening or reading the folder; 0 when it was read to the end. */
    int error = 0;
    /** Which call failed ("open" or "read"), for the report. */
    const char* failedCall = nullptr;
    /** The UTF-8 names of the entries below, back to back. */
    QByteArray names;
    std::vector<ListedFile> files;
    std::vector<ListedName> subfolders;

    void clear()
    {
        error = 0;
        failedCall = nullptr;
        names.clear();
        files.clear();
        subfolders.clear();
    }
    const char* nameData(const ListedName& name) const { return names.constData() + name.offset; }
};

enum class TildeNames { Keep, Drop };

/** Reusable memory for listFolder, one per thread. */
struct ListingScratch {
    std::vector<char> buffer = std::vector<char>(64 * 1024);
};

/**
 * Lists the folder at `path` (absolute, with or without a trailing "/").
 * `followLink` lets the folder itself be a link (a folder the user chose);
 * folders found by a walk are never entered through a link.
 */
void listFolder(const QByteArray& path, DateKind kind, TildeNames tildeNames, bool followLink,
                FolderListing& listing, ListingScratch& scratch, LocalTimeCache& times);

/** Whether a failure to list a folder drops it silently (permission denied, path not found, not a folder). */
bool dropsFolderSilently(int error);
