#include "browse/BrowsePacing.h"

namespace wendlecott::browse {

BrowsePacing::BrowsePacing(core::Scheduler &scheduler, const core::Timing &timing, core::PauseState &pause)
    : m_timing(timing)
    , m_shared(pause)
    , m_tick(scheduler, [this] { m_onTick(); })
    , m_timeout(scheduler, [this] { onTimeoutTick(); })
    , m_pause(scheduler)
{
}

BrowsePacing::~BrowsePacing()
{
    stopAll();
}

void BrowsePacing::startTicking(std::function<void()> onTick)
{
    m_onTick = std::move(onTick);
    restartTicking();
}

void BrowsePacing::restartTicking()
{
    if (m_onTick)
        m_tick.start(m_timing.tickMs);
}

void BrowsePacing::stopTicking()
{
    m_tick.stop();
}

void BrowsePacing::beginLookup(const core::TldEntry &row, std::function<void()> onTimeout)
{
    m_shared.throttleMs = row.throttle;
    m_onTimeout = std::move(onTimeout);
    m_timeoutTicks = 0;
    m_timeout.start(m_timing.tickMs);
}

void BrowsePacing::endLookup()
{
    m_timeout.stop();
    m_timeoutTicks = 0;
}

void BrowsePacing::onTimeoutTick()
{
    if (++m_timeoutTicks < m_timing.testTimeoutTicks)
        return;
    endLookup();
    if (m_onTimeout)
        m_onTimeout();
}

void BrowsePacing::pauseAfterAnswer(std::function<void()> onEnd)
{
    // A pause of ThrottleMs + 1 ticks of a 1 ms timer; one precise timer does the same.
    m_shared.throttleTicks = 0;
    m_shared.pauseActive = true;
    m_pause.start(qMax<qint64>(0, m_shared.throttleMs) + 1, [this, onEnd = std::move(onEnd)] {
        m_shared.pauseActive = false;
        m_shared.throttleTicks = m_shared.throttleMs;
        onEnd();
    });
}

void BrowsePacing::stopAll()
{
    m_tick.stop();
    endLookup();
    if (m_pause.isActive()) {
        m_pause.cancel();
        m_shared.pauseActive = false;
    }
}

} // namespace wendlecott::browse
