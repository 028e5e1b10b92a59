#pragma once

#include <QDateTime>

namespace kestrel {

// Everything that reads the time goes through a Clock, so tests can move time on
// without sleeping.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // Monotonic milliseconds, for speeds and watchdogs.
    virtual qint64 msecsSinceStart() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override;
    qint64 msecsSinceStart() const override;
};

// A clock that only moves when told to.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start = QDateTime(QDate(2026, 1, 1), QTime(9, 0, 0)))
        : m_now(std::move(start))
    {
    }
    QDateTime now() const override { return m_now; }
    qint64 msecsSinceStart() const override { return m_msecs; }
    void advanceMsecs(qint64 ms)
    {
        m_msecs += ms;
        m_now = m_now.addMSecs(ms);
    }
    void setNow(const QDateTime &t) { m_now = t; }

private:
    QDateTime m_now;
    qint64 m_msecs = 0;
};

} // namespace kestrel
