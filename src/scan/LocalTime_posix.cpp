// Local time on Linux: the time-zone rules of the C library, at each date.

#include "scan/DateText.h"

#include <ctime>

qint64 localSecondsFromUtc(qint64 utcSeconds)
{
    // Some 34,800 years from 1970 either way, far outside the years 100 to
    // 9999 that have a day: day 0, before the sums below could overflow.
    if (utcSeconds > (qint64(1) << 40) || utcSeconds < -(qint64(1) << 40))
        return 0;
    const time_t instant = time_t(utcSeconds);
    struct tm local;
    // 25569 days from 1899-12-30 to 1970-01-01.
    if (!localtime_r(&instant, &local))
        return withinDateRange(utcSeconds + 25569 * kSecondsPerDay);
    return withinDateRange(utcSeconds + local.tm_gmtoff + 25569 * kSecondsPerDay);
}
