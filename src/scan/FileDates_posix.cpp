// The file dates of FileDates.h on Linux: statx, with the birth time where
// the file system keeps one.

#include "scan/FileDates.h"

#include "platform/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace {

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
