#include "scan/FileDates.h"

#include <limits>
#include <utility>

namespace {

constexpr qint64 kBucketSeconds = 86400;
constexpr qint64 kSpanDays = 16;
constexpr qint64 kSpanSeconds = kSpanDays * kBucketSeconds;
constexpr qint64 kEmptyBucket = std::numeric_limits<qint64>::min();
// The offset of a span with a change inside: its days are looked up one by one.
constexpr qint64 kMixedSpan = std::numeric_limits<qint64>::min();

qint64 floorBucket(qint64 seconds, qint64 bucketSeconds = kBucketSeconds)
{
    qint64 bucket = seconds / bucketSeconds;
    if (seconds % bucketSeconds != 0 && seconds < 0)
        --bucket;
    return bucket;
}

} // namespace

LocalTimeCache::LocalTimeCache()
{
    m_spans.fill(Slot{kEmptyBucket, 0});
    m_slots.fill(Slot{kEmptyBucket, 0});
}

// The offset every second of the span has, or kMixedSpan: each of its days
// is checked at both ends, as the table of days checks a day.
qint64 LocalTimeCache::spanOffset(qint64 span) const
{
    const qint64 start = span * kSpanSeconds;
    const qint64 offset = localSecondsFromUtc(start) - start;
    for (qint64 day = 0; day < kSpanDays; ++day) {
        const qint64 first = start + day * kBucketSeconds;
        const qint64 last = first + kBucketSeconds - 1;
        if ((day > 0 && localSecondsFromUtc(first) - first != offset) || localSecondsFromUtc(last) - last != offset)
            return kMixedSpan;
    }
    return offset;
}

qint64 LocalTimeCache::localSeconds(qint64 utcSeconds)
{
    // Far from any day, where a span's ends would not fit in 64 bits.
    if (utcSeconds > kFarFromAnyDaySeconds || utcSeconds < -kFarFromAnyDaySeconds)
        return 0;
    const qint64 span = floorBucket(utcSeconds, kSpanSeconds);
    // Two spans per set, the one used last first, and sets chosen by a hash:
    // files dated 1 January 1970 among files of a span 1,024 spans later
    // would otherwise take each other's slot file by file, each time
    // checking 16 days anew.
    Slot* set = &m_spans[2 * size_t((quint64(span) * 0x9E3779B97F4A7C15ULL) >> (64 - kSpanSetBits))];
    if (set[0].bucket != span) {
        if (set[1].bucket == span)
            std::swap(set[0], set[1]);
        else {
            set[1] = set[0];
            set[0] = Slot{span, spanOffset(span)};
        }
    }
    if (set[0].offset != kMixedSpan)
        return utcSeconds + set[0].offset;

    const qint64 bucket = floorBucket(utcSeconds);
    Slot& slot = m_slots[size_t(bucket) % kSlots];
    if (slot.bucket == bucket)
        return utcSeconds + slot.offset;
    const qint64 local = localSecondsFromUtc(utcSeconds);
    const qint64 offset = local - utcSeconds;
    const qint64 start = bucket * kBucketSeconds;
    if (localSecondsFromUtc(start) - start == offset
        && localSecondsFromUtc(start + kBucketSeconds - 1) - (start + kBucketSeconds - 1) == offset)
        slot = Slot{bucket, offset};
    return local;
}

QString FileModifiedDate(const QString& path)
{
    return generalDateText(fileDate(path, DateKind::Modified));
}

QString FileCreatedDate(const QString& path)
{
    return generalDateText(fileDate(path, DateKind::Created));
}

QString FileAccessedDate(const QString& path)
{
    return generalDateText(fileDate(path, DateKind::Accessed));
}

double FileTimeToDayNumber(qint64 fileTime)
{
    // 11644473600 seconds from 1601-01-01 to 1970-01-01.
    qint64 seconds = fileTime / 10000000;
    qint64 remainder = fileTime % 10000000;
    if (remainder < 0) {
        --seconds;
        remainder += 10000000;
    }
    const qint64 utc = seconds - 11644473600LL;
    const qint64 local = localSecondsFromUtc(utc);
    // A date out of range reads as day 0 at midnight, without a fraction.
    if (local == 0)
        return 0;
    return double(local) / double(kSecondsPerDay) + double(remainder) / 1e7 / double(kSecondsPerDay);
}
