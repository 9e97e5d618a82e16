#pragma once
// The texts of the window's undo of a Trash request: the question before it
// and the summary of the files that stayed in the Trash.

#include "platform/TrashRestore.h"

#include <QLocale>
#include <QString>

#include <vector>

/**
 * The question before an undo: "Put back the 3 files of the last move to the
 * Trash?", the count with the locale's digit grouping.
 */
QString restoreQuestionText(qsizetype fileCount, const QLocale& locale = QLocale::system());

/**
 * One message naming each file that was not put back with its reason (up to
 * 20, then a count), and how many a cancel left; empty when every file went back.
 */
QString restoreFailureSummary(const std::vector<platform::RestoreOutcome>& outcomes,
                              const QLocale& locale = QLocale::system());
