#include "scan/FileDates.h"

#include <limits>

namespace {

constexpr qint64 kBucketSeconds = 86400;
constexpr qint64 kEmptyBucket = std::numeric_limits<qint64>::min();

qint64 floorBucket(qint64 seconds)
{
    qint64 bucket = seconds / kBucketSeconds;
    if (seconds % kBucketSeconds != 0 && seconds < 0)
        --bucket;
    return bucket;
}

} // namespace

LocalTimeCache::LocalTimeCache()
{
    m_slots.fill(Slot{kEmptyBucket, 0});
}

qint64 LocalTimeCache::localSeconds(qint64 utcSeconds)
{
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
