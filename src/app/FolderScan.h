#pragma once
// What "Next >" asks of the scan engine: walk the listed folders in order and
// fill the found-file table. The window runs it off the window thread and
// hears back through ScanFeedback; the production scan is the parallel engine
// of src/scan, tests may give a scan of their own.

#include "folders/DateKind.h"
#include "scan/FoundFileTable.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

struct ScanFeedback {
    /** Folders and files seen so far; called from any thread, at most every ~100 ms. */
    std::function<void(qint64 folders, qint64 files)> progress;
    /** A failure for the error report, in the order they happen; called from any thread. */
    std::function<void(const QString& location, int step, const QString& description)> failure;
};

/**
 * Walks every folder of `folders` (each ending in "/") in order, with all its
 * subfolders, and appends each accepted file with its date of `kind` to
 * `table`. Blocks until done, or soon after `cancel` becomes true.
 */
using FolderScan = std::function<void(const QStringList& folders, DateKind kind, FoundFileTable& table,
                                      const ScanFeedback& feedback, const std::atomic<bool>& cancel)>;
