#include "filter/RangeFilter.h"

#include "folders/FolderPath.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

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
    return keepFirstOfEachPath(table, std::move(rows));
}

namespace {

// Windows compares names without letter case: there names and folder paths
// are hashed and compared in their case-folded form, elsewhere as stored.
constexpr bool kFoldCase = kPathCase == Qt::CaseInsensitive;

QByteArray foldedName(const FoundFileTable& table, qsizetype row)
{
    return QString::fromUtf8(table.nameUtf8(row), qsizetype(table.nameLength(row))).toCaseFolded().toUtf8();
}

// A path is its folder's path followed by its name, and a name holds no
// separator, so two rows name the same path exactly when their folders' paths
// and their names are the same (in the case-folded form where case is
// ignored). comparePaths orders rows by name bytes, then by folder path; it
// gives 0 exactly for the same path.
int comparePaths(const FoundFileTable& table, qsizetype a, qsizetype b)
{
    if constexpr (kFoldCase) {
        if (const int names = foldedName(table, a).compare(foldedName(table, b)))
            return names;
        const quint32 folderA = table.folderIndex(a);
        const quint32 folderB = table.folderIndex(b);
        return folderA == folderB
            ? 0
            : table.folderPath(folderA).toCaseFolded().compare(table.folderPath(folderB).toCaseFolded());
    }
    const size_t lengthA = table.nameLength(a);
    const size_t lengthB = table.nameLength(b);
    if (lengthA != lengthB)
        return lengthA < lengthB ? -1 : 1;
    if (const int names = std::memcmp(table.nameUtf8(a), table.nameUtf8(b), lengthA))
        return names;
    const quint32 folderA = table.folderIndex(a);
    const quint32 folderB = table.folderIndex(b);
    return folderA == folderB ? 0 : table.folderPath(folderA).compare(table.folderPath(folderB));
}

constexpr quint64 kGolden = 0x9e3779b97f4a7c15ull;

// The finish of MurmurHash3: every input bit reaches every output bit.
quint64 mix(quint64 hash)
{
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdull;
    hash ^= hash >> 33;
    hash *= 0xc4ceb9fe1a85ec53ull;
    hash ^= hash >> 33;
    return hash;
}

// A hash of a folder's path, made once per folder, eight bytes at a time.
quint64 folderHash(const QString& path)
{
    const auto* bytes = reinterpret_cast<const char*>(path.constData());
    size_t length = size_t(path.size()) * sizeof(QChar);
    quint64 hash = quint64(length) * kGolden;
    for (; length > 0; bytes += 8, length -= std::min<size_t>(length, 8)) {
        quint64 word = 0;
        std::memcpy(&word, bytes, std::min<size_t>(length, 8));
        hash = (hash ^ word) * kGolden;
        hash ^= hash >> 29;
    }
    return mix(hash);
}

// What tells names apart cheaply: the length and the first and last eight
// bytes, with the folder's hash. Names that differ only in their middle meet
// here and are told apart by comparePaths; reading every byte of every name
// cost three times as much.
quint64 fingerprint(const char* name, size_t length, quint64 folder)
{
    quint64 head = 0;
    quint64 tail = 0;
    if (length >= 8) {
        std::memcpy(&head, name, 8);
        std::memcpy(&tail, name + length - 8, 8);
    } else {
        std::memcpy(&head, name, length);
    }
    return mix((head ^ (quint64(length) * kGolden) ^ folder) * kGolden ^ tail);
}

// Sorts 64-bit keys by their upper 32 bits, stably, least significant byte
// first; one pass counts all four bytes.
void radixSortByUpperHalf(std::vector<quint64>& keys)
{
    const size_t count = keys.size();
    std::vector<std::array<size_t, 256>> offsets(4);
    for (auto& digit : offsets)
        digit.fill(0);
    for (const quint64 key : keys)
        for (int digit = 0; digit < 4; ++digit)
            ++offsets[size_t(digit)][(key >> (32 + 8 * digit)) & 0xff];
    std::vector<quint64> buffer(count);
    for (int digit = 0; digit < 4; ++digit) {
        size_t next = 0;
        for (size_t& offset : offsets[size_t(digit)])
            next += std::exchange(offset, next);
        const int shift = 32 + 8 * digit;
        for (const quint64 key : keys)
            buffer[offsets[size_t(digit)][(key >> shift) & 0xff]++] = key;
        keys.swap(buffer);
    }
}

} // namespace

std::vector<qsizetype> keepFirstOfEachPath(const FoundFileTable& table, std::vector<qsizetype> rows)
{
    if (nothingToDrop(table, rows))
        return rows;

    // The first row of each path stays, in table order; paths are compared
    // as the file system compares names: exactly on Linux, where two names
    // that differ only in letter case are two files, and without letter case
    // on Windows. A hash set would do, but with a million rows its random probes
    // miss the cache on every path. Instead each row's (fingerprint,
    // position) key is radix-sorted, which streams through memory; rows with
    // equal fingerprints then sit together, ordered by position, and only
    // those are compared. No path is built: equal paths have equal folder
    // paths and equal names, so they get equal fingerprints whichever folder
    // entries of the table they were listed under.
    const size_t count = rows.size();
    std::vector<quint64> folderHashes;
    std::vector<bool> hashed;
    std::vector<quint64> keys(count);
    for (size_t position = 0; position < count; ++position) {
        const qsizetype row = rows[position];
        const quint32 folder = table.folderIndex(row);
        if (folder >= folderHashes.size()) {
            folderHashes.resize(size_t(folder) + 1);
            hashed.resize(size_t(folder) + 1);
        }
        if (!hashed[folder]) {
            const QString path = table.folderPath(folder);
            folderHashes[folder] = folderHash(kFoldCase ? path.toCaseFolded() : path);
            hashed[folder] = true;
        }
        quint64 print;
        if constexpr (kFoldCase) {
            const QByteArray name = foldedName(table, row);
            print = fingerprint(name.constData(), size_t(name.size()), folderHashes[folder]);
        } else {
            print = fingerprint(table.nameUtf8(row), table.nameLength(row), folderHashes[folder]);
        }
        keys[position] = (print & 0xffffffff00000000ull) | quint64(position);
    }
    radixSortByUpperHalf(keys);

    // Within a run of equal fingerprints the rows are sorted by path, then
    // position, so each path's first row leads its own run of repeats. A sort
    // rather than comparing every pair keeps a folder of many names alike but
    // for their middle from costing the square of their number.
    std::vector<bool> repeated(count, false);
    std::vector<size_t> group;
    for (size_t start = 0; start < count;) {
        size_t end = start + 1;
        while (end < count && (keys[end] >> 32) == (keys[start] >> 32))
            ++end;
        if (end - start > 1) {
            group.clear();
            for (size_t i = start; i < end; ++i)
                group.push_back(size_t(keys[i] & 0xffffffffu));
            std::sort(group.begin(), group.end(), [&](size_t a, size_t b) {
                const int order = comparePaths(table, rows[a], rows[b]);
                return order != 0 ? order < 0 : a < b;
            });
            for (size_t i = 1; i < group.size(); ++i)
                if (comparePaths(table, rows[group[i - 1]], rows[group[i]]) == 0)
                    repeated[group[i]] = true;
        }
        start = end;
    }

    // The first rows close ranks where they are.
    size_t kept = 0;
    for (size_t position = 0; position < count; ++position)
        if (!repeated[position])
            rows[kept++] = rows[position];
    rows.resize(kept);
    return rows;
}
