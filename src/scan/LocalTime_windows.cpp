// Local time on Windows: the time zone's rules for the year of each date
// (GetTimeZoneInformationForYear, which reads the zone's dynamic
// daylight-saving rules), not the rules in force today.

#include "scan/DateText.h"

#include <map>
#include <mutex>

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

// The zone's rules in `year`; the current rules when the system has no others.
TIME_ZONE_INFORMATION rulesOfYear(USHORT year)
{
    static const DYNAMIC_TIME_ZONE_INFORMATION zone = [] {
        DYNAMIC_TIME_ZONE_INFORMATION information{};
        GetDynamicTimeZoneInformation(&information);
        return information;
    }();
    // Shared by the walk's threads (the scan asks once per day it meets), not
    // thread_local: MinGW runs such destructors at thread exit after the
    // runtime may have freed their memory.
    static std::mutex mutex;
    static std::map<USHORT, TIME_ZONE_INFORMATION> years;
    std::lock_guard lock(mutex);
    auto found = years.find(year);
    if (found == years.end()) {
        TIME_ZONE_INFORMATION rules{};
        if (!GetTimeZoneInformationForYear(year, const_cast<DYNAMIC_TIME_ZONE_INFORMATION*>(&zone), &rules))
            GetTimeZoneInformation(&rules);
        found = years.emplace(year, rules).first;
    }
    return found->second;
}

} // namespace

qint64 localSecondsFromUtc(qint64 utcSeconds)
{
    if (utcSeconds > kFarFromAnyDaySeconds || utcSeconds < -kFarFromAnyDaySeconds)
        return 0;
    constexpr qint64 dayZeroOffset = 25569 * kSecondsPerDay; // 25569 days from 1899-12-30 to 1970-01-01
    const qint64 seconds1601 = utcSeconds + kSecondsFrom1601To1970;
    SYSTEMTIME utc;
    SYSTEMTIME local;
    FILETIME localTime;
    const FILETIME utcTime = fileTimeOf(seconds1601);
    // Before 1601 there are no rules to apply: such a time stays as it is.
    if (seconds1601 < 0 || !FileTimeToSystemTime(&utcTime, &utc))
        return withinDateRange(utcSeconds + dayZeroOffset);
    const TIME_ZONE_INFORMATION rules = rulesOfYear(utc.wYear);
    if (!SystemTimeToTzSpecificLocalTime(&rules, &utc, &local) || !SystemTimeToFileTime(&local, &localTime))
        return withinDateRange(utcSeconds + dayZeroOffset);
    return withinDateRange(secondsOf(localTime) - kSecondsFrom1601To1970 + dayZeroOffset);
}
