#pragma once
// "Send Checked To Recycle Bin" without its window: the request items of the
// checked rows (each file's path with what the scan recorded of it), the one
// request that moves them, which files it moved and the summary of the files
// that stayed.
//
// The window asks platform::Dialogs::confirmTrash(trashSummary(table, rows))
// first, builds the request items only after a Yes, runs the request off its thread with a progress window whose Cancel
// calls TrashRequest::cancel(), shows trashFailureSummary() when it is not
// empty, and removes the rows of the files movedFiles() names: a row leaves
// exactly when the request itself reports its file moved.

#include "actions/FailureSummary.h"
#include "platform/Trash.h"
#include "scan/FoundFileTable.h"

#include <QString>

#include <memory>
#include <utility>
#include <vector>

/**
 * One request item per table index, in order: the file's path, the listed
 * folder it was found below, what identified it and its size, all as the scan
 * recorded them. An index the table does not hold gives an item with an empty
 * path, which the request refuses.
 */
std::vector<platform::TrashItem> trashItems(const FoundFileTable& table, const std::vector<qsizetype>& tableIndices);

/**
 * The question's figures for the files at `tableIndices`: one file each, with
 * the sizes the scan recorded (0 for an index the table does not hold), the
 * same as summarizeTrash(trashItems(table, tableIndices)) without building a
 * path per file.
 */
platform::TrashSummary trashSummary(const FoundFileTable& table, const std::vector<qsizetype>& tableIndices);

/** The one request that moves `items` to the Trash, in their order. */
std::unique_ptr<platform::TrashRequest> makeRecycleBinRequest(std::vector<platform::TrashItem> items);

/** Moves `items` to the Trash in one request, on the calling thread; one outcome per item, in order. */
std::vector<platform::TrashOutcome> SendToRecycleBin(std::vector<platform::TrashItem> items,
                                                     const platform::TrashRequest::Progress& progress = {});

/**
 * The files a request moved: each table index of `tableIndices` (in request
 * order, as given to trashItems()) whose outcome is Moved, with its path,
 * sorted by index.
 */
std::vector<std::pair<qsizetype, QString>> movedFiles(const std::vector<qsizetype>& tableIndices,
                                                      const std::vector<platform::TrashOutcome>& outcomes);

/**
 * One message naming each file that was not moved with its reason, and how
 * many were left by a cancel; empty when every file moved.
 */
QString trashFailureSummary(const std::vector<platform::TrashOutcome>& outcomes,
                            const QLocale& locale = QLocale::system());

/** How many failures trashFailureSummary() lists by name before it counts the rest. */
inline constexpr int kListedTrashFailures = FailureSummary::kListed;
