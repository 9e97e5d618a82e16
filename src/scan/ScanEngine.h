#pragma once
// The scan: every accepted file below the listed folders, with its date, in
// exactly the order of the simple walk (FolderWalk.h): for each listed folder
// in list order, the folder's own files, then its subfolders level by level,
// parents in order, each folder's entries in listing order.
//
// Worker threads read the folders (getdents64, one statx per entry that may
// be a file, relative to the open folder) as soon as they are found; the
// calling thread, the coordinator, takes their results in walk order and
// appends them to the table. More folder reads are kept in flight than there
// are cores, since a cold disk answers many requests at once faster than one
// after another, and more still while the reads keep their threads waiting
// (a network share; ReadCost.h). Folders below a listed folder are opened
// from the listed folder's descriptor without following links (FolderDescriptor.h).
//
// run() blocks: call it off the window thread. Progress comes at most every
// ~100 ms and failures in walk order, both on the calling thread. Setting the
// cancel flag (from any thread) stops the scan within moments: the folders
// being read are finished, and run() returns once no worker holds anything.

#include "folders/DateKind.h"
#include "scan/FoundFileTable.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

class ScanFilter;

/** Where the walk's failures are reported. */
QString walkLocation();

struct ScanFeedback {
    /** Folders and files seen so far; at most every ~100 ms. */
    std::function<void(qint64 folders, qint64 files)> progress;
    /** A failure for the error report (location, step, description), in walk order. */
    std::function<void(const QString& location, int step, const QString& description)> failure;
    /**
     * A folder that is there but could not be opened or read to the end
     * (permission denied, an I/O error), with its path (bytes, ending in "/")
     * and errno, in walk order. A folder that vanished or was replaced during
     * the walk is not named. Called beside `failure`, which reports only the
     * failures the window shows.
     */
    std::function<void(const QByteArray& folder, int error)> unreadableFolder;
};

struct FolderListing;

/** Makes the rows of the files of one folder listed; each reading thread has its own. */
class FolderRowMaker {
public:
    virtual ~FolderRowMaker() = default;
    /**
     * Appends to `out` the rows of the files `listing` holds (listing order),
     * the folder `folderPath` (bytes, ending in "/"); returns how many rows.
     */
    virtual qint64 appendRows(QByteArrayView folderPath, const FolderListing& listing, QByteArray& out) = 0;
};

/**
 * Where a scan that keeps no table puts its rows: each folder's rows are
 * made on the thread that listed it, and only the finished bytes reach
 * write(), in walk order, on the calling thread. Memory stays within the
 * read-ahead bound however many files the walk finds.
 */
class RowOutput {
public:
    virtual ~RowOutput() = default;
    /** A maker of rows for one reading thread. */
    virtual std::unique_ptr<FolderRowMaker> rowMaker() = 0;
    /** The rows of the next folder in walk order, `count` of them. */
    virtual void write(QByteArrayView rows, qint64 count) = 0;
};

struct ScanOptions {
    DateKind kind = DateKind::Modified;
    /**
     * Folder-reading threads; 0 starts with a number for this machine and
     * adds threads while the reads wait (up to 64).
     */
    int threads = 0;
    /** How many bytes of listings may wait to be merged before the readers pause; 0 picks the default. */
    size_t readAheadBytes = 0;
    /**
     * What the walk enters and the listings keep (filter/ScanFilter.h);
     * null keeps everything. It must outlive run().
     */
    const ScanFilter* filter = nullptr;
};

struct ScanCounts {
    qint64 folders = 0;
    qint64 files = 0;
    /**
     * Names left out because they cannot be kept: on Windows a name holding a
     * lone UTF-16 surrogate. None on Linux, where every name is listed as its bytes.
     */
    qint64 skippedNames = 0;
    /** Files left out because their names begin with "~". */
    qint64 tildeNames = 0;
    /** Folders that could not be opened or read to the end, including found folders that changed before they were opened. */
    qint64 unreadableFolders = 0;
};

class ScanEngine {
public:
    explicit ScanEngine(ScanOptions options = {});

    /**
     * Walks every folder of `folders` (each ending in "/") in order and
     * appends each accepted file with its date and identity to `table`.
     * Returns the counts; stops early, with the table's first rows of a full
     * run, when `cancel` becomes true (no rows when it was true from the start).
     */
    ScanCounts run(const QStringList& folders, FoundFileTable& table, const ScanFeedback& feedback,
                   const std::atomic<bool>& cancel);

    /**
     * The same walk, each folder's files made into rows by `output`'s
     * makers on the reading threads and written in walk order; no table is
     * kept. For folders none of which lies inside another, as a table of
     * them holds no path twice and needs no repeated-path pass.
     */
    ScanCounts run(const QStringList& folders, RowOutput& output, const ScanFeedback& feedback,
                   const std::atomic<bool>& cancel);

    /** The number of threads run() starts with. */
    int threadCount() const;

private:
    ScanCounts run(const QStringList& folders, FoundFileTable& table, RowOutput* output, const ScanFeedback& feedback,
                   const std::atomic<bool>& cancel);

    ScanOptions m_options;
};
