#pragma once
// "Send Checked To Recycle Bin" without its window: the checked paths in list
// order, the path list they travel in (each path, a NUL, then a final NUL),
// the one request that moves them, the rows to remove afterwards and the
// summary of the files that stayed.
//
// The window asks platform::Dialogs::confirmTrash(summarizeTrash(paths))
// first, runs the request off its thread with a progress window whose Cancel
// calls TrashRequest::cancel(), shows trashFailureSummary() when it is not
// empty, and removes the rows checkedRowsToRemove() names.

#include "actions/ResultRows.h"
#include "platform/Trash.h"

#include <QByteArray>
#include <QStringList>

#include <memory>
#include <vector>

/** The paths of the checked rows, top to bottom. */
QStringList checkedPaths(const ResultRows& rows);

/** The path list of a request: each path followed by a NUL, then one more NUL. */
QByteArray recycleBinPathList(const QStringList& paths);

/** The one request that moves `checkedPaths` to the Trash, built from their path list. */
std::unique_ptr<platform::TrashRequest> makeRecycleBinRequest(const QStringList& checkedPaths);

/** Moves `checkedPaths` to the Trash in one request, on the calling thread; one outcome per path, in order. */
std::vector<platform::TrashOutcome> SendToRecycleBin(const QStringList& checkedPaths,
                                                     const platform::TrashRequest::Progress& progress = {});

/**
 * The rows to take out of the list after a move: exactly the checked rows
 * whose files are gone from their paths, in ascending order. Rows of files
 * that stayed keep their place and their check marks.
 */
std::vector<qsizetype> checkedRowsToRemove(const ResultRows& rows);

/**
 * One message naming each file that was not moved with its reason, and how
 * many were left by a cancel; empty when every file moved.
 */
QString trashFailureSummary(const std::vector<platform::TrashOutcome>& outcomes);

/** How many failures trashFailureSummary() lists by name before it counts the rest. */
inline constexpr int kListedTrashFailures = 20;
