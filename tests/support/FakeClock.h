#pragma once

#include "platform/Clock.h"

/** A clock that shows whatever the test set. */
class FakeClock final : public platform::Clock {
public:
    explicit FakeClock(QDateTime now = QDateTime(QDate(2026, 3, 15), QTime(10, 0)))
        : m_now(std::move(now))
    {
    }
    QDateTime now() const override { return m_now; }
    void setNow(const QDateTime& now) { m_now = now; }

private:
    QDateTime m_now;
};
