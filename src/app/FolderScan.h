#pragma once
// What "Next >" asks of the scan engine: walk the listed folders in order and
// fill the found-file table. The window runs it off the window thread and
// hears back through ScanFeedback; the production scan is the parallel engine
// of src/scan (parallelScan), tests may give a scan of their own.

#include "folders/DateKind.h"
#include "scan/FoundFileTable.h"
#include "scan/ScanEngine.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

/**
 * Walks every folder of `folders` (each ending in "/") in order, with all its
 * subfolders, and appends each accepted file with its date of `kind` to
 * `table`. Blocks until done, or soon after `cancel` becomes true.
 */
using FolderScan = std::function<void(const QStringList& folders, DateKind kind, FoundFileTable& table,
                                      const ScanFeedback& feedback, const std::atomic<bool>& cancel)>;

/** The parallel engine of src/scan as a FolderScan. */
FolderScan parallelScan();
