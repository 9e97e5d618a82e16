#pragma once
// The texts of the window's undo of a Trash request: the question before it
// and the summary of the files that stayed in the Trash.

#include "platform/TrashRestore.h"

#include <QString>

#include <vector>

/** The question before an undo: "Put back the 3 files of the last move to the Trash?". */
QString restoreQuestionText(qsizetype fileCount);

/**
 * One message naming each file that was not put back with its reason (up to
 * 20, then a count), and how many a cancel left; empty when every file went back.
 */
QString restoreFailureSummary(const std::vector<platform::RestoreOutcome>& outcomes);
