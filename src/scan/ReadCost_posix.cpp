#include "scan/ReadCost.h"

#include <sys/resource.h>
#include <time.h>

namespace {

qint64 nanoseconds(clockid_t clock)
{
    struct timespec now;
    ::clock_gettime(clock, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

qint64 voluntarySwitches()
{
    struct rusage usage;
    return ::getrusage(RUSAGE_THREAD, &usage) == 0 ? qint64(usage.ru_nvcsw) : 0;
}

} // namespace

ReadTimer::ReadTimer()
    : m_wallNs(nanoseconds(CLOCK_MONOTONIC))
    , m_busyNs(nanoseconds(CLOCK_THREAD_CPUTIME_ID))
    , m_switches(voluntarySwitches())
{
}

ReadCost ReadTimer::elapsed(qint64 calls) const
{
    ReadCost cost;
    cost.busyNs = nanoseconds(CLOCK_THREAD_CPUTIME_ID) - m_busyNs;
    const qint64 wall = nanoseconds(CLOCK_MONOTONIC) - m_wallNs;
    const qint64 switches = voluntarySwitches() - m_switches;
    if (switches > 0 && switches * 8 >= calls)
        cost.waitedNs = qMax<qint64>(0, wall - cost.busyNs);
    return cost;
}
