#pragma once

#include <QDateTime>

namespace platform {

/** Where "now" comes from, so that tests can fix today's date. */
class Clock {
public:
    virtual ~Clock() = default;
    /** The current local date and time. */
    virtual QDateTime now() const = 0;
    /** Today's local date. */
    QDate today() const { return now().date(); }
};

/** The machine's clock. */
class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

} // namespace platform
