#pragma once

#include "core/base/Scheduler.h"

#include <map>
#include <utility>

namespace wendlecott::testing {

// A scheduler whose clock moves only when a test advances it. Calls due at the same
// moment run in the order they were scheduled.
class FakeScheduler final : public core::Scheduler {
public:
    qint64 now() const override { return m_now; }

    TimerId callAfter(qint64 ms, std::function<void()> callback) override
    {
        const TimerId id = m_nextId++;
        m_pending.emplace(std::make_pair(m_now + qMax<qint64>(0, ms), id), std::move(callback));
        return id;
    }

    void cancel(TimerId id) override
    {
        for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
            if (it->first.second == id) {
                m_pending.erase(it);
                return;
            }
        }
    }

    // Moves the clock forward by `ms`, running every call that falls due on the way
    // (including calls scheduled by those calls).
    void advance(qint64 ms)
    {
        const qint64 target = m_now + ms;
        while (!m_pending.empty() && m_pending.begin()->first.first <= target) {
            auto it = m_pending.begin();
            m_now = it->first.first;
            auto callback = std::move(it->second);
            m_pending.erase(it);
            callback();
        }
        m_now = target;
    }

    // Runs calls that are due now (a zero-delay call), without moving the clock.
    void runDue() { advance(0); }

    std::size_t pendingCount() const { return m_pending.size(); }
    // Milliseconds until the next pending call, or -1 with none.
    qint64 nextDueIn() const { return m_pending.empty() ? -1 : m_pending.begin()->first.first - m_now; }

private:
    qint64 m_now = 0;
    TimerId m_nextId = 1;
    std::map<std::pair<qint64, TimerId>, std::function<void()>> m_pending;
};

} // namespace wendlecott::testing
