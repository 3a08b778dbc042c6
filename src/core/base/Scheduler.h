#pragma once

#include <QtGlobal>

#include <functional>

namespace wendlecott::core {

// The clock and timers the logic runs on. The Qt adapter uses precise single-shot
// timers; tests use a scheduler advanced by hand, so no test sleeps.
class Scheduler {
public:
    using TimerId = quint64; // 0 is never a valid id
    virtual ~Scheduler() = default;

    // Milliseconds on a monotonic clock.
    virtual qint64 now() const = 0;
    // Calls `callback` once, `ms` milliseconds from now, from the event loop (never inside this call).
    virtual TimerId callAfter(qint64 ms, std::function<void()> callback) = 0;
    // Forgets a pending call; unknown or already fired ids are ignored.
    virtual void cancel(TimerId id) = 0;
};

// A repeating tick built on the scheduler, the way the windows' timers tick: start, stop,
// restart with another interval. Stopping it from inside its own callback is safe.
class PeriodicTimer {
public:
    PeriodicTimer(Scheduler &scheduler, std::function<void()> onTick)
        : m_scheduler(scheduler), m_onTick(std::move(onTick))
    {
    }
    ~PeriodicTimer() { stop(); }
    PeriodicTimer(const PeriodicTimer &) = delete;
    PeriodicTimer &operator=(const PeriodicTimer &) = delete;

    void start(qint64 intervalMs)
    {
        stop();
        m_interval = intervalMs;
        arm();
    }
    void stop()
    {
        if (m_pending != 0) {
            m_scheduler.cancel(m_pending);
            m_pending = 0;
        }
    }
    bool isActive() const { return m_pending != 0; }
    qint64 interval() const { return m_interval; }

private:
    void arm()
    {
        m_pending = m_scheduler.callAfter(m_interval, [this] {
            m_pending = 0;
            arm(); // re-arm first, so the callback may stop or restart us
            m_onTick();
        });
    }

    Scheduler &m_scheduler;
    std::function<void()> m_onTick;
    qint64 m_interval = 1000;
    Scheduler::TimerId m_pending = 0;
};

// A one-shot call that can be cancelled and is cancelled when its owner goes away.
class SingleShot {
public:
    explicit SingleShot(Scheduler &scheduler) : m_scheduler(scheduler) {}
    ~SingleShot() { cancel(); }
    SingleShot(const SingleShot &) = delete;
    SingleShot &operator=(const SingleShot &) = delete;

    void start(qint64 ms, std::function<void()> callback)
    {
        cancel();
        m_pending = m_scheduler.callAfter(ms, [this, cb = std::move(callback)] {
            m_pending = 0;
            cb();
        });
    }
    void cancel()
    {
        if (m_pending != 0) {
            m_scheduler.cancel(m_pending);
            m_pending = 0;
        }
    }
    bool isActive() const { return m_pending != 0; }

private:
    Scheduler &m_scheduler;
    Scheduler::TimerId m_pending = 0;
};

} // namespace wendlecott::core
