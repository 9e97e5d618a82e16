#include "scan/ReadCost.h"

#include <windows.h>

namespace {

qint64 wallNanoseconds()
{
    static const qint64 frequency = [] {
        LARGE_INTEGER value;
        QueryPerformanceFrequency(&value);
        return qint64(value.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return qint64(now.QuadPart / frequency * 1000000000 + now.QuadPart % frequency * 1000000000 / frequency);
}

qint64 busyNanoseconds()
{
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user))
        return 0;
    const auto value = [](const FILETIME& time) {
        return (qint64(time.dwHighDateTime) << 32 | time.dwLowDateTime) * 100;
    };
    return value(kernel) + value(user);
}

} // namespace

// Windows counts no voluntary switches per thread: all time not spent
// running counts as waiting, preemption included.
ReadTimer::ReadTimer()
    : m_wallNs(wallNanoseconds())
    , m_busyNs(busyNanoseconds())
{
}

ReadCost ReadTimer::elapsed(qint64) const
{
    ReadCost cost;
    cost.busyNs = busyNanoseconds() - m_busyNs;
    cost.waitedNs = qMax<qint64>(0, wallNanoseconds() - m_wallNs - cost.busyNs);
    return cost;
}
