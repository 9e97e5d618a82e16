// Local time on Linux: the time-zone rules of the C library, at each date.

#include "scan/DateText.h"

#include <ctime>

qint64 localSecondsFromUtc(qint64 utcSeconds)
{
    if (utcSeconds > kFarFromAnyDaySeconds || utcSeconds < -kFarFromAnyDaySeconds)
        return 0;
    const time_t instant = time_t(utcSeconds);
    struct tm local;
    // 25569 days from 1899-12-30 to 1970-01-01.
    if (!localtime_r(&instant, &local))
        return withinDateRange(utcSeconds + 25569 * kSecondsPerDay);
    return withinDateRange(utcSeconds + local.tm_gmtoff + 25569 * kSecondsPerDay);
}
