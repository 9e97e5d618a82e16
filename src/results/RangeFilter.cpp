#include "results/RangeFilter.h"

#include <QSet>

#include <limits>

namespace {

qint32 clampToInt32(qint64 value)
{
    if (value > std::numeric_limits<qint32>::max())
        return std::numeric_limits<qint32>::max();
    if (value < std::numeric_limits<qint32>::min())
        return std::numeric_limits<qint32>::min();
    return qint32(value);
}

} // namespace

qint64 dayDifference(qint64 fromLocalSeconds, qint64 toLocalSeconds)
{
    return dayNumberOf(toLocalSeconds) - dayNumberOf(fromLocalSeconds);
}

bool passesRange(RangeMode mode, qint64 d1, qint64 d2)
{
    switch (mode) {
    case RangeMode::After:
        return d1 > 0;
    case RangeMode::Before:
        return d1 < 0;
    case RangeMode::On:
        return d1 == 0;
    case RangeMode::Between:
        return d1 >= 0 && d2 <= 0;
    }
    return false;
}

std::vector<qsizetype> filterFoundFiles(const FoundFileTable& table, const RangeChoice& choice,
                                        DayDifferences& differences)
{
    const qsizetype count = table.size();
    const bool between = choice.mode == RangeMode::Between;
    differences.DAYDIFF1.assign(size_t(count), 0);
    differences.DAYDIFF2.assign(between ? size_t(count) : 0, 0);

    const qint64 firstDay = dayNumberOf(choice.first);
    const qint64 secondDay = dayNumberOf(choice.second);
    for (qsizetype i = 0; i < count; ++i) {
        const qint64 day = dayNumberOf(table.localSeconds(i));
        differences.DAYDIFF1[size_t(i)] = clampToInt32(day - firstDay);
        if (between)
            differences.DAYDIFF2[size_t(i)] = clampToInt32(day - secondDay);
    }

    std::vector<qsizetype> rows;
    for (qsizetype i = 0; i < count; ++i) {
        const qint64 d1 = differences.DAYDIFF1[size_t(i)];
        const qint64 d2 = between ? differences.DAYDIFF2[size_t(i)] : 0;
        if (passesRange(choice.mode, d1, d2))
            rows.push_back(i);
    }

    return keepFirstOfEachPath(table, rows);
}

std::vector<qsizetype> keepFirstOfEachPath(const FoundFileTable& table, const std::vector<qsizetype>& rows)
{
    // The first row of each path stays, in table order; paths are compared
    // exactly, since two names that differ only in letter case are two files here.
    QSet<QString> seen;
    seen.reserve(qsizetype(rows.size()));
    std::vector<qsizetype> unique;
    unique.reserve(rows.size());
    for (qsizetype row : rows) {
        const QString path = table.path(row);
        if (seen.contains(path))
            continue;
        seen.insert(path);
        unique.push_back(row);
    }
    return unique;
}
