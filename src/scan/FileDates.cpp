#include "scan/FileDates.h"

#include "platform/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>

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

struct Moment {
    qint64 seconds;
    long nanoseconds;
};

Moment earlier(const struct statx_timestamp& a, const struct statx_timestamp& b)
{
    if (a.tv_sec != b.tv_sec)
        return a.tv_sec < b.tv_sec ? Moment{a.tv_sec, long(a.tv_nsec)} : Moment{b.tv_sec, long(b.tv_nsec)};
    return a.tv_nsec <= b.tv_nsec ? Moment{a.tv_sec, long(a.tv_nsec)} : Moment{b.tv_sec, long(b.tv_nsec)};
}

Moment chosenMoment(const struct statx& status, DateKind kind)
{
    switch (kind) {
    case DateKind::Accessed:
        return {status.stx_atime.tv_sec, long(status.stx_atime.tv_nsec)};
    case DateKind::Created:
        if (status.stx_mask & STATX_BTIME)
            return {status.stx_btime.tv_sec, long(status.stx_btime.tv_nsec)};
        return earlier(status.stx_mtime, status.stx_ctime);
    case DateKind::Modified:
        break;
    }
    return {status.stx_mtime.tv_sec, long(status.stx_mtime.tv_nsec)};
}

} // namespace

unsigned statxMaskFor(DateKind kind)
{
    switch (kind) {
    case DateKind::Accessed:
        return STATX_TYPE | STATX_ATIME;
    case DateKind::Created:
        return STATX_TYPE | STATX_BTIME | STATX_MTIME | STATX_CTIME;
    case DateKind::Modified:
        break;
    }
    return STATX_TYPE | STATX_MTIME;
}

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

qint64 statxDate(const struct statx& status, DateKind kind, LocalTimeCache& cache)
{
    const Moment moment = chosenMoment(status, kind);
    return cache.localSeconds(moment.seconds);
}

qint64 fileDate(const QString& path, DateKind kind)
{
    struct statx status;
    if (path.isEmpty()
        || ::statx(AT_FDCWD, platform::nativePath(path).constData(), AT_SYMLINK_NOFOLLOW, statxMaskFor(kind), &status) != 0)
        return kNoDate;
    const Moment moment = chosenMoment(status, kind);
    return localSecondsFromUtc(moment.seconds);
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
    return double(local) / double(kSecondsPerDay) + double(remainder) / 1e7 / double(kSecondsPerDay);
}
