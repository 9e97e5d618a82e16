#pragma once

#include <QByteArray>

#include <cstdlib>
#include <ctime>

/** Sets TZ for the life of the guard and restores the earlier zone afterwards. */
class TimeZoneGuard {
public:
    explicit TimeZoneGuard(const char* zone)
        : m_previous(qgetenv("TZ"))
        , m_hadPrevious(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~TimeZoneGuard()
    {
        if (m_hadPrevious)
            qputenv("TZ", m_previous);
        else
            qunsetenv("TZ");
        tzset();
    }
    TimeZoneGuard(const TimeZoneGuard&) = delete;
    TimeZoneGuard& operator=(const TimeZoneGuard&) = delete;

private:
    QByteArray m_previous;
    bool m_hadPrevious;
};
