#include "results/RangeFilter.h"

#include <QHash>

#include <algorithm>
#include <functional>

namespace {

// Rows in table order, each once, of a table that holds no path twice (what a
// scan of folders none of which lies inside another gives) have nothing to drop.
bool nothingToDrop(const FoundFileTable& table, const std::vector<qsizetype>& rows)
{
    return !table.mayRepeatPaths()
        && std::adjacent_find(rows.begin(), rows.end(), std::greater_equal<qsizetype>()) == rows.end();
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
    differences.DAYDIFF1.clear();
    differences.DAYDIFF2.clear();
    std::vector<qsizetype> rows = filesInRange(table, choice, differences, PlainStatements{});
    if (nothingToDrop(table, rows))
        return rows;
    return keepFirstOfEachPath(table, rows);
}

std::vector<qsizetype> keepFirstOfEachPath(const FoundFileTable& table, const std::vector<qsizetype>& rows)
{
    if (nothingToDrop(table, rows))
        return rows;

    // The first row of each path stays, in table order; paths are compared
    // exactly, since two names that differ only in letter case are two files
    // here. A hash set would do, but with a million rows its random probes
    // miss the cache on every path. Instead each row's (path hash, position)
    // key is radix-sorted, which streams through memory; rows with equal
    // hashes then sit together, ordered by position, and only those are
    // compared as text.
    const size_t count = rows.size();
    std::vector<quint64> keys(count);
    for (size_t position = 0; position < count; ++position)
        keys[position] = (quint64(quint32(qHash(table.path(rows[position])))) << 32) | quint64(position);

    // Least significant digit first over the hash's four bytes; each pass is
    // stable, so equal hashes stay in position order.
    std::vector<quint64> buffer(count);
    for (int shift = 32; shift < 64; shift += 8) {
        size_t offsets[257] = {};
        for (quint64 key : keys)
            ++offsets[((key >> shift) & 0xff) + 1];
        for (int digit = 0; digit < 256; ++digit)
            offsets[digit + 1] += offsets[digit];
        for (quint64 key : keys)
            buffer[offsets[(key >> shift) & 0xff]++] = key;
        keys.swap(buffer);
    }
    std::vector<quint64>().swap(buffer);

    std::vector<bool> repeated(count, false);
    for (size_t start = 0; start < count;) {
        size_t end = start + 1;
        while (end < count && (keys[end] >> 32) == (keys[start] >> 32))
            ++end;
        for (size_t later = start + 1; later < end; ++later) {
            const size_t position = size_t(keys[later] & 0xffffffffu);
            const QString path = table.path(rows[position]);
            for (size_t earlier = start; earlier < later; ++earlier) {
                const size_t other = size_t(keys[earlier] & 0xffffffffu);
                if (!repeated[other] && table.path(rows[other]) == path) {
                    repeated[position] = true;
                    break;
                }
            }
        }
        start = end;
    }

    std::vector<qsizetype> unique;
    unique.reserve(count);
    for (size_t position = 0; position < count; ++position)
        if (!repeated[position])
            unique.push_back(rows[position]);
    return unique;
}
