// Local time on Windows: the time zone's rules for the year of each date
// (dynamic daylight-saving rules), not the rules in force today.

#include "scan/DateText.h"

#include <windows.h>

namespace {

constexpr qint64 kSecondsFrom1601To1970 = 11644473600LL;

FILETIME fileTimeOf(qint64 seconds1601)
{
    const quint64 ticks = quint64(seconds1601) * 10000000ULL;
    return FILETIME{DWORD(ticks & 0xFFFFFFFFu), DWORD(ticks >> 32)};
}

qint64 secondsOf(const FILETIME& time)
{
    return qint64(((quint64(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 10000000ULL);
}

} // namespace

qint64 localSecondsFromUtc(qint64 utcSeconds)
{
    static const DYNAMIC_TIME_ZONE_INFORMATION zone = [] {
        DYNAMIC_TIME_ZONE_INFORMATION information{};
        GetDynamicTimeZoneInformation(&information);
        return information;
    }();
    constexpr qint64 dayZeroOffset = 25569 * kSecondsPerDay; // 25569 days from 1899-12-30 to 1970-01-01
    const qint64 seconds1601 = utcSeconds + kSecondsFrom1601To1970;
    SYSTEMTIME utc;
    SYSTEMTIME local;
    FILETIME localTime;
    const FILETIME utcTime = fileTimeOf(seconds1601);
    // Before 1601 there are no rules to apply: such a time stays as it is.
    if (seconds1601 < 0 || !FileTimeToSystemTime(&utcTime, &utc)
        || !SystemTimeToTzSpecificLocalTimeEx(&zone, &utc, &local) || !SystemTimeToFileTime(&local, &localTime))
        return utcSeconds + dayZeroOffset;
    return secondsOf(localTime) - kSecondsFrom1601To1970 + dayZeroOffset;
}
