#include "browse/BrowsePacing.h"

namespace wendlecott::browse {

BrowsePacing::BrowsePacing(core::Scheduler &scheduler, const core::Timing &timing, core::ServerPacer &pacer)
    : m_timing(timing)
    , m_pacer(pacer)
    , m_tick(scheduler, [this] { m_onTick(); })
    , m_timeout(scheduler, [this] { onTimeoutTick(); })
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

void BrowsePacing::beginLookup(const core::TldEntry &row)
{
    m_pacer.setSharedThrottle(row.throttle);
    endLookup();
}

void BrowsePacing::startTimeout(std::function<void()> onTimeout)
{
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
    if (m_pause != 0)
        m_pacer.cancel(m_pause);
    m_pause = m_pacer.afterSharedPause([this, onEnd = std::move(onEnd)] {
        m_pause = 0;
        onEnd();
    });
}

void BrowsePacing::stopAll()
{
    m_tick.stop();
    endLookup();
    if (m_pause != 0)
        m_pacer.cancel(m_pause);
    m_pause = 0;
}

} // namespace wendlecott::browse
