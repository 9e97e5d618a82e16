#pragma once
// The boundary table of the four ranges, run against the range filter itself
// and through the second window's "Start Finding".

#include "filter/RangeFilter.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

struct RangeCase {
    const char* name;
    RangeChoice choice;
    qint64 file;
    bool listed;
};

namespace rangecases {

inline qint64 at(int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return localSecondsOf(QDate(2024, month, day), QTime(hour, minute, second));
}

inline RangeChoice single(RangeMode mode, qint64 picker)
{
    return {mode, picker, 0};
}

inline RangeChoice between(qint64 start, qint64 end)
{
    return {RangeMode::Between, start, end};
}

} // namespace rangecases

/**
 * Each mode with the picker on 5 March 2024 at a time of day the comparison
 * must ignore, and files on the last second of the day before, the first and
 * last second of the day itself and the first second of the day after; for
 * Between the same around both ends, swapped ends and both ends on one day.
 */
inline std::vector<RangeCase> rangeBoundaryCases()
{
    using namespace rangecases;
    const qint64 dayBefore = at(3, 4, 23, 59, 59);
    const qint64 dayStart = at(3, 5);
    const qint64 dayEnd = at(3, 5, 23, 59, 59);
    const qint64 dayAfter = at(3, 6);
    const RangeChoice after = single(RangeMode::After, at(3, 5, 9, 30));
    const RangeChoice before = single(RangeMode::Before, at(3, 5, 12));
    const RangeChoice on = single(RangeMode::On, at(3, 5, 15));
    const RangeChoice march1To5 = between(at(3, 1, 18), at(3, 5, 6));
    const RangeChoice swapped = between(at(3, 5, 6), at(3, 1, 18));
    const RangeChoice oneDay = between(at(3, 5, 20), at(3, 5, 8));
    return {
        {"after: the day before", after, dayBefore, false},
        {"after: the day itself at 00:00:00", after, dayStart, false},
        {"after: the day itself at 23:59:59", after, dayEnd, false},
        {"after: the day after", after, dayAfter, true},
        {"before: the day before", before, dayBefore, true},
        {"before: the day itself at 00:00:00", before, dayStart, false},
        {"before: the day itself at 23:59:59", before, dayEnd, false},
        {"before: the day after", before, dayAfter, false},
        {"on: the day before", on, dayBefore, false},
        {"on: the day itself at 00:00:00", on, dayStart, true},
        {"on: the day itself at 23:59:59", on, dayEnd, true},
        {"on: the day after", on, dayAfter, false},
        {"between: the day before the start", march1To5, at(2, 29, 23, 59, 59), false},
        {"between: the start at 00:00:00", march1To5, at(3, 1), true},
        {"between: the end at 23:59:59", march1To5, dayEnd, true},
        {"between: the day after the end", march1To5, dayAfter, false},
        {"between swapped: a day inside", swapped, at(3, 3, 12), false},
        {"between swapped: the earlier end", swapped, at(3, 1, 18), false},
        {"between swapped: the later end", swapped, at(3, 5, 6), false},
        {"between one day: the day before", oneDay, dayBefore, false},
        {"between one day: the day at 00:00:00", oneDay, dayStart, true},
        {"between one day: the day at 23:59:59", oneDay, dayEnd, true},
        {"between one day: the day after", oneDay, dayAfter, false},
        {"an empty date is before", before, kNoDate, true},
        {"an empty date is not after", after, kNoDate, false},
        {"an empty date is not on", on, kNoDate, false},
        {"an empty date is not between", march1To5, kNoDate, false},
    };
}

/** A test name made of the case's name. */
inline std::string rangeCaseName(const ::testing::TestParamInfo<RangeCase>& info)
{
    std::string name = info.param.name;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}
