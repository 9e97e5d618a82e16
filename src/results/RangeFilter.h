#pragma once
// The range filter of "Start Finding": which files of the found-file table
// fall in the chosen range, compared by calendar day, each path once.
//
// The day difference from date A to date B is B's day number minus A's: the
// time of day of both is ignored, and it is positive when B's day is later. A
// file without a date counts as day 0 (1899-12-30).

#include "scan/FoundFileTable.h"

#include <vector>

/** The four ranges of the second window, in the order of its options. */
enum class RangeMode { After, Before, On, Between };

struct RangeChoice {
    RangeMode mode = RangeMode::After;
    /** The mode's picker (the start for Between), as local seconds. */
    qint64 first = 0;
    /** The end picker of Between, as local seconds; unused otherwise. */
    qint64 second = 0;
};

/** The day difference from `fromLocalSeconds` to `toLocalSeconds` (kNoDate counts as day 0). */
qint64 dayDifference(qint64 fromLocalSeconds, qint64 toLocalSeconds);

/** Whether day differences d1 (from the mode's picker) and d2 (from Between's end) pass the mode's test. */
bool passesRange(RangeMode mode, qint64 d1, qint64 d2);

/** The working lists of one run: DAYDIFF1 for every file, DAYDIFF2 for Between only. */
struct DayDifferences {
    std::vector<qint32> DAYDIFF1;
    std::vector<qint32> DAYDIFF2;
};

/**
 * The table indices of the files in range, in table order, keeping only the
 * first row of each path (paths compared exactly). Rebuilds `differences`.
 */
std::vector<qsizetype> filterFoundFiles(const FoundFileTable& table, const RangeChoice& choice,
                                        DayDifferences& differences);

/** The rows (table indices) without those whose path repeats an earlier row's, order kept. */
std::vector<qsizetype> keepFirstOfEachPath(const FoundFileTable& table, const std::vector<qsizetype>& rows);
