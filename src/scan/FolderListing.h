#pragma once
// One folder read once: its openable files with their dates and what
// identifies them, and its subfolders with what the listing saw of each, in
// the order the listing returns them. Both the simple walk and the parallel
// engine read folders through listFolder, so they see the same entries in the
// same order.
//
// The folder comes open (FolderDescriptor.h says how the walk opens it); its
// entries are read with getdents64, and each entry that may be a file is
// looked at with one statx relative to the open folder (a link to a file needs
// a second look through the link). No file is opened.

#include "folders/DateKind.h"
#include "platform/FileIdentity.h"
#include "scan/FileDates.h"
#include "scan/FolderDescriptor.h"
#include "scan/FoundFileTable.h"

#include <QByteArray>

#include <functional>
#include <vector>

struct ListedName {
    quint32 offset;
    quint32 length;
};

// 32 bytes: the listings of many folders may wait for the coordinator at once.
struct ListedFile {
    quint32 nameOffset;
    quint16 nameLength;
    /** Regular, or Link for a link to a regular file (the link is the file listed). */
    platform::FileType type;
    qint64 localSeconds;
    quint64 inode;
    /** The file's size; a link's own size for a link. */
    qint64 size;

    ListedName name() const { return {nameOffset, nameLength}; }
};

/** A file whose own device differs from its folder's (a file bind-mounted there, a file of an overlay). */
struct ListedDevice {
    /** The file's name offset, which names it among the listing's files. */
    quint32 nameOffset;
    quint64 device;
};

struct ListedSubfolder {
    ListedName name;
    FolderSighting seen;
};

struct FolderListing {
    /**
     * errno of opening or reading the folder, or of looking at one of its
     * files, or kFolderChanged; 0 when it was read to the end.
     */
    int error = 0;
    /** Which call failed ("open", "read", or "stat" for a file), for the report. */
    const char* failedCall = nullptr;
    /** The device of the folder read. */
    quint64 device = 0;
    /** The names of the entries below, back to back: their bytes on Linux, UTF-8 on Windows. */
    QByteArray names;
    std::vector<ListedFile> files;
    std::vector<ListedSubfolder> subfolders;
    /** The files not on `device`, in listing order; empty on an ordinary tree. */
    std::vector<ListedDevice> otherDevices;
    /** Entries left out because their names cannot be kept (on Windows, a lone surrogate); none on Linux. */
    qint64 skippedNames = 0;
    /** Files left out because their names begin with "~" (TildeNames::Drop). */
    qint64 tildeNames = 0;

    /** Empties the listing and keeps its memory for the next folder. */
    void clear()
    {
        error = 0;
        failedCall = nullptr;
        device = 0;
        names.resize(0);
        files.clear();
        subfolders.clear();
        otherDevices.clear();
        skippedNames = 0;
        tildeNames = 0;
    }
    const char* nameData(const ListedName& name) const { return names.constData() + name.offset; }
};

static_assert(sizeof(ListedFile) == 32);

enum class TildeNames { Keep, Drop };

/**
 * Runs work(begin, end, times) over the pieces of [0, count), on the calling
 * thread and on threads that help it, each with a LocalTimeCache of its own,
 * and returns when every piece is done. The scan gives the listing one while
 * its reads wait (a share that answers slowly), so that the look-ups of one
 * folder's entries wait side by side instead of one after another.
 */
using SpreadWork
    = std::function<void(size_t count, const std::function<void(size_t begin, size_t end, LocalTimeCache& times)>& work)>;

/** Reusable memory for listFolder, one per thread. */
struct ListingScratch {
    std::vector<char> buffer = std::vector<char>(64 * 1024);
    /** The folder being read, before it is copied out at its size. */
    FolderListing listing;
    ListingInodeTrust trust;
    /** The hash table of dropRepeatedNames. */
    std::vector<quint32> nameBuckets;
    /** When set, where the look-ups of a piece of the listing may be spread over threads. */
    SpreadWork spread;

    /** One entry of a piece of the listing, its name in `buffer`. */
    struct Entry {
        const char* name;
        quint32 length;
        unsigned char type;
        quint64 inode;
        /** Its place in `looked`, or -1 when it needs no look-up (a folder, a device). */
        qint32 lookUp;
    };
    /** What the look-up (statx, and through a link) of an entry found. */
    struct LookedAt {
        int error;
        unsigned char type;
        bool linkToFile;
        quint64 inode;
        quint64 device;
        qint64 size;
        qint64 localSeconds;
    };
    std::vector<Entry> entries;
    std::vector<quint32> toLookAt;
    std::vector<LookedAt> looked;
};

/**
 * Lists the folder `folder` opened: its entries when it is open, else the
 * opening's error as an "open" failure. Reads from the descriptor's current
 * position, so a descriptor is listed once.
 */
void listFolder(const OpenedFolder& folder, DateKind kind, TildeNames tildeNames, FolderListing& listing,
                ListingScratch& scratch, LocalTimeCache& times);

/**
 * What listFolder does before it copies the listing out: lists `folder` into
 * the thread's own listing, `scratch.listing`, names handed out twice dropped.
 */
void readListing(const OpenedFolder& folder, DateKind kind, TildeNames tildeNames, ListingScratch& scratch,
                 LocalTimeCache& times);

/**
 * Copies what came of the thread's own listing (error, failed call, device,
 * names skipped) to `listing`, without its entries, and lets the thread's
 * listing go when it grew large.
 */
void keepListingOutcome(ListingScratch& scratch, FolderListing& listing);

/**
 * Empties `listing` for a listing of `folder`, on its device. False, with the
 * opening's error recorded as an "open" failure, when the folder is not open.
 */
bool beginListing(const OpenedFolder& folder, FolderListing& listing);

/**
 * The system's part of listFolder: reads the entries of `folder` into
 * `listing` as they come (one implementation per system).
 */
void readFolder(const OpenedFolder& folder, DateKind kind, TildeNames tildeNames, FolderListing& listing,
                ListingScratch& scratch, LocalTimeCache& times);

/**
 * Drops every entry whose name an earlier entry of `listing` already had,
 * keeping the first. A folder that changes while it is read in several
 * pieces can hand out a name twice; without this its path would be listed,
 * or a whole subfolder walked, twice. listFolder calls it.
 */
void dropRepeatedNames(FolderListing& listing, std::vector<quint32>& buckets);

/**
 * Appends the files of `listing`, the folder `folderPath` (UTF-8, ending in the path separator), to
 * `table` as one run of its files, each with its date and identity.
 */
void appendListedFiles(FoundFileTable& table, QByteArrayView folderPath, const FolderListing& listing);

/**
 * Whether a failure to list a folder drops it silently: permission denied,
 * path not found, not a folder, a link in its place, or a folder that changed.
 */
bool dropsFolderSilently(int error);

/** Whether a failure to open or list a folder means it is no longer there: gone, a file or a link in its place, or another folder. */
bool isNoFolderThere(int error);
