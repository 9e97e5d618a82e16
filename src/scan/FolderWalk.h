#pragma once
// The simple, one-thread walk: the reference whose order the parallel engine
// keeps, and the operations the walk is built from. Like the engine it opens
// every folder it finds from its starting folder's descriptor, never through
// a link, and checks it is the folder the listing saw (FolderDescriptor.h).

#include "scan/ScanEngine.h"

/**
 * Extends `collection` (folder paths ending in "/") with all their accepted
 * subfolders: after the existing entries, one level below them, then two
 * levels, and so on; within a level grouped by parent in the order the parents
 * stand, each parent's subfolders in listing order. A folder whose subfolders
 * cannot be listed (permission denied) is removed silently, and so is a found
 * folder that is gone or changed; other failures go to `feedback.failure`
 * with the walk's location and the walk goes on. A folder whose path reaches
 * kMaxPathLength is kept but not entered. With `recurse` false only one level
 * is added.
 */
void GetSubDirectories2016(QStringList& collection, bool recurse, const ScanFeedback& feedback = {});

/** The whole scan in one thread, in the same order as ScanEngine::run. */
ScanCounts scanSequentially(const QStringList& folders, DateKind kind, FoundFileTable& table,
                            const ScanFeedback& feedback = {});
