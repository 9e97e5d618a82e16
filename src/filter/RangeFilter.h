#pragma once
// The range filter of "Start Finding": which files of the found-file table
// fall in the chosen range, compared by calendar day, each path once. The
// second window and chronopurge-cli both run this one filter.
//
// The day difference from date A to date B is B's day number minus A's: the
// time of day of both is ignored, and it is positive when B's day is later. A
// file without a date counts as day 0 (1899-12-30).
//
// The filter runs in two passes, as the window has always shown them: the
// first fills DAYDIFF1 (and DAYDIFF2 for Between) with each file's day
// difference, the second tests each entry and gathers the rows that pass.
// Each statement of the passes runs through a caller's hook (see
// PlainStatements), so the window can number the statements, report a
// failing one and go on, while the command line simply runs them.

#include "app/Failure.h"
#include "scan/FoundFileTable.h"

#include <algorithm>
#include <limits>
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

/** The statements of the filter's two passes, in the order they run. */
enum class FilterStatement {
    FirstPass,     ///< reads the table's size and the pickers' days
    Grow,          ///< DAYDIFF1 grows by one entry
    Compute,       ///< entry i of DAYDIFF1 is set
    GrowSecond,    ///< Between only: DAYDIFF2 grows by one entry
    ComputeSecond, ///< Between only: entry i of DAYDIFF2 is set
    SecondPass,    ///< reads the table's size again
    Test,          ///< the mode's test on entry i
    AddRow,        ///< file i joins the rows
};

/** The file index a statement that concerns no single file is given. */
inline constexpr qsizetype kNoFile = -1;

/**
 * The hook that runs the statements as they are: what a statement throws
 * reaches the caller. A hook of one's own has the same two members; `file` is
 * the table index the statement works on, or kNoFile.
 */
struct PlainStatements {
    template <typename Statement>
    void step(FilterStatement, qsizetype /*file*/, Statement&& statement)
    {
        statement();
    }
    template <typename Condition>
    bool test(FilterStatement, qsizetype /*file*/, Condition&& condition)
    {
        return condition();
    }
};

/**
 * The table indices of the files in range, in table order, repeats included.
 * Appends to `differences` (the caller empties them first). A hook that goes
 * on after a failed statement gets a consistent run: an entry that was not
 * set keeps 0, an entry that does not exist fails its statement ("Subscript
 * out of range"), and a test that failed counts as passed only if the hook
 * returns true for it.
 */
template <typename Statements>
std::vector<qsizetype> filesInRange(const FoundFileTable& table, const RangeChoice& choice,
                                    DayDifferences& differences, Statements&& statements);

/**
 * The table indices of the files in range, in table order, keeping only the
 * first row of each path (paths compared exactly). Rebuilds `differences`.
 */
std::vector<qsizetype> filterFoundFiles(const FoundFileTable& table, const RangeChoice& choice,
                                        DayDifferences& differences);

/**
 * The rows (table indices) without those whose path repeats an earlier
 * row's, order kept; `rows` itself when none repeats (moved in, it is not copied).
 */
std::vector<qsizetype> keepFirstOfEachPath(const FoundFileTable& table, std::vector<qsizetype> rows);

namespace rangefilter {

/** A day difference as a list entry holds it: clamped to 32 bits. */
inline qint32 toEntry(qint64 days)
{
    return qint32(std::clamp<qint64>(days, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

/** Entry i of a day-difference list; a list that did not grow that far is a failure. */
inline qint32& entryAt(std::vector<qint32>& list, qsizetype i)
{
    if (i < 0 || size_t(i) >= list.size())
        fail(QStringLiteral("Subscript out of range"));
    return list[size_t(i)];
}

} // namespace rangefilter

template <typename Statements>
std::vector<qsizetype> filesInRange(const FoundFileTable& table, const RangeChoice& choice,
                                    DayDifferences& differences, Statements&& statements)
{
    using rangefilter::entryAt;
    using rangefilter::toEntry;
    const bool between = choice.mode == RangeMode::Between;
    std::vector<qint32>& fromFirst = differences.DAYDIFF1;
    std::vector<qint32>& fromSecond = differences.DAYDIFF2;

    // The pickers are read once per run: nothing can change them while the
    // run holds the window thread.
    qsizetype count = 0;
    qint64 firstDay = 0;
    qint64 secondDay = 0;
    statements.step(FilterStatement::FirstPass, kNoFile, [&] {
        count = table.size();
        firstDay = dayNumberOf(choice.first);
        secondDay = dayNumberOf(choice.second);
        fromFirst.reserve(fromFirst.size() + size_t(count));
        if (between)
            fromSecond.reserve(fromSecond.size() + size_t(count));
    });
    for (qsizetype i = 0; i < count; ++i) {
        statements.step(FilterStatement::Grow, i, [&] { fromFirst.push_back(0); });
        statements.step(FilterStatement::Compute, i, [&] {
            entryAt(fromFirst, i) = toEntry(dayNumberOf(table.localSeconds(i)) - firstDay);
        });
        if (!between)
            continue;
        statements.step(FilterStatement::GrowSecond, i, [&] { fromSecond.push_back(0); });
        statements.step(FilterStatement::ComputeSecond, i, [&] {
            entryAt(fromSecond, i) = toEntry(dayNumberOf(table.localSeconds(i)) - secondDay);
        });
    }

    // Room for every file, claimed from the system only as rows fill it:
    // growing by copies cost more than the test itself on millions of rows.
    std::vector<qsizetype> rows;
    statements.step(FilterStatement::SecondPass, kNoFile, [&] {
        count = table.size();
        rows.reserve(size_t(count));
    });
    for (qsizetype i = 0; i < count; ++i) {
        const bool passes = statements.test(FilterStatement::Test, i, [&] {
            return passesRange(choice.mode, entryAt(fromFirst, i), between ? entryAt(fromSecond, i) : 0);
        });
        if (passes)
            statements.step(FilterStatement::AddRow, i, [&] { rows.push_back(i); });
    }
    return rows;
}
