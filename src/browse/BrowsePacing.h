#pragma once

#include "core/Scheduler.h"
#include "core/ServerPacer.h"
#include "core/Timing.h"
#include "core/TldTable.h"

#include <functional>

namespace wendlecott::browse {

// How fast the browse window asks whois servers, all in this one place: the dispatcher's
// one-second tick (`Timer1`), the time-out of the lookup under way (`timTimeout`, given up at
// its fifth tick, counted from the moment its request may go) and the pause after each
// answer (`timThrottle`: the pacer's described pause of the row's throttle plus 1 ms, which
// the main window's run shares).
class BrowsePacing {
public:
    BrowsePacing(core::Scheduler &scheduler, const core::Timing &timing, core::ServerPacer &pacer);
    ~BrowsePacing();
    BrowsePacing(const BrowsePacing &) = delete;
    BrowsePacing &operator=(const BrowsePacing &) = delete;

    // The dispatcher tick: `onTick` runs once a second from now on; starting again restarts
    // the second.
    void startTicking(std::function<void()> onTick);
    void restartTicking();
    void stopTicking();
    bool isTicking() const { return m_tick.isActive(); }

    // A lookup on `row`'s server is prepared: `ThrottleMs` becomes the row's throttle.
    void beginLookup(const core::TldEntry &row);
    // Its request may go now (its server's turn came): the time-out ticks start; `onTimeout`
    // runs at the tick that gives the lookup up.
    void startTimeout(std::function<void()> onTimeout);
    // The lookup ended (answered, timed out or dropped): no time-out follows.
    void endLookup();
    int timeoutTicks() const { return m_timeoutTicks; }

    // The answer came: `PauseActive` is set for `ThrottleMs` + 1 ms, then `onEnd` runs.
    void pauseAfterAnswer(std::function<void()> onEnd);
    bool isPausing() const { return m_pause != 0; }
    qint32 throttleMs() const { return m_pacer.sharedPause().throttleMs; }

    // Everything stops: no tick, no time-out, no pause (its flag cleared).
    void stopAll();

private:
    void onTimeoutTick();

    const core::Timing &m_timing;
    core::ServerPacer &m_pacer;
    core::PeriodicTimer m_tick;
    core::PeriodicTimer m_timeout;
    core::ServerPacer::Ticket m_pause = 0;
    std::function<void()> m_onTick;
    std::function<void()> m_onTimeout;
    int m_timeoutTicks = 0;
};

} // namespace wendlecott::browse
