#include "core/pacing/ServerPacer.h"

#include <algorithm>

namespace wendlecott::core {

namespace {

// The gap between two starts on the scheduler's whole-millisecond clock: the throttle + 1,
// as the described pause lasts, so that a start noted at T but made at up to T + 0.99 still
// leaves the next one at least the throttle later; no gap for a throttle of 0.
qint64 gapFor(qint64 throttleMs)
{
    return throttleMs > 0 ? throttleMs + 1 : 0;
}

} // namespace

ServerPacer::ServerPacer(Scheduler &scheduler) : m_scheduler(scheduler)
{
}

ServerPacer::~ServerPacer()
{
    for (auto &[key, server] : m_servers) {
        if (server.timer != 0)
            m_scheduler.cancel(server.timer);
    }
    for (const auto &[ticket, timer] : m_pauses)
        m_scheduler.cancel(timer);
}

ServerPacer::Ticket ServerPacer::afterSharedPause(std::function<void()> go)
{
    // The pause lasts ThrottleMs + 1 ticks of a 1 ms timer; one precise timer does the same.
    const Ticket ticket = m_nextTicket++;
    m_shared.throttleTicks = 0;
    m_shared.pauseActive = true;
    m_pauses[ticket] = m_scheduler.callAfter(sharedPauseMs(), [this, ticket, go = std::move(go)] {
        m_pauses.erase(ticket);
        if (m_pauses.empty()) {
            m_shared.pauseActive = false;
            m_shared.throttleTicks = m_shared.throttleMs;
        }
        go();
    });
    return ticket;
}

qint64 ServerPacer::dueAt(const Server &server, qint64 gapMs) const
{
    qint64 due = server.pausedUntil;
    if (server.started)
        due = std::max(due, server.lastStart + std::max(server.lastGapMs, gapMs));
    return due;
}

ServerPacer::Ticket ServerPacer::whenReady(const QString &server, qint64 throttleMs, std::function<void()> go)
{
    const Ticket ticket = m_nextTicket++;
    m_servers[server].waiters.push_back({ticket, gapFor(throttleMs), std::move(go)});
    m_ticketServer.emplace(ticket, server);
    ++m_waiting;
    arm(server);
    return ticket;
}

void ServerPacer::cancel(Ticket ticket)
{
    if (const auto pause = m_pauses.find(ticket); pause != m_pauses.end()) {
        m_scheduler.cancel(pause->second);
        m_pauses.erase(pause);
        if (m_pauses.empty())
            m_shared.pauseActive = false;
        return;
    }
    const auto found = m_ticketServer.find(ticket);
    if (found == m_ticketServer.end())
        return;
    const QString key = found->second;
    m_ticketServer.erase(found);
    Server &server = m_servers[key];
    const auto waiter = std::find_if(server.waiters.begin(), server.waiters.end(),
                                     [ticket](const Waiter &w) { return w.ticket == ticket; });
    if (waiter != server.waiters.end()) {
        server.waiters.erase(waiter);
        --m_waiting;
    }
    arm(key);
}

void ServerPacer::noteStarted(const QString &server, qint64 throttleMs)
{
    Server &entry = m_servers[server];
    entry.started = true;
    entry.lastStart = m_scheduler.now();
    entry.lastGapMs = gapFor(throttleMs);
    arm(server);
}

void ServerPacer::pause(const QString &server, qint64 ms)
{
    Server &entry = m_servers[server];
    entry.pausedUntil = std::max(entry.pausedUntil, m_scheduler.now() + std::max<qint64>(0, ms));
    arm(server);
}

qint64 ServerPacer::waitFor(const QString &server, qint64 throttleMs) const
{
    const auto found = m_servers.find(server);
    if (found == m_servers.end())
        return 0;
    return std::max<qint64>(0, dueAt(found->second, gapFor(throttleMs)) - m_scheduler.now());
}

qint64 ServerPacer::pausedFor(const QString &server) const
{
    const auto found = m_servers.find(server);
    if (found == m_servers.end())
        return 0;
    return std::max<qint64>(0, found->second.pausedUntil - m_scheduler.now());
}

// One timer a server, set for its first waiter's turn.
void ServerPacer::arm(const QString &key)
{
    Server &server = m_servers[key];
    const qint64 due =
        server.waiters.empty() ? 0 : std::max(m_scheduler.now(), dueAt(server, server.waiters.front().gapMs));
    if (server.timer != 0 && !server.waiters.empty() && server.timerDue == due)
        return; // set for that moment already: keeps the order of servers due together
    if (server.timer != 0) {
        m_scheduler.cancel(server.timer);
        server.timer = 0;
    }
    if (server.waiters.empty())
        return;
    server.timerDue = due;
    server.timer = m_scheduler.callAfter(due - m_scheduler.now(), [this, key] { grant(key); });
}

void ServerPacer::grant(const QString &key)
{
    Server &server = m_servers[key];
    server.timer = 0;
    if (server.waiters.empty())
        return;
    if (dueAt(server, server.waiters.front().gapMs) > m_scheduler.now()) {
        arm(key); // paused meanwhile
        return;
    }
    Waiter waiter = std::move(server.waiters.front());
    server.waiters.pop_front();
    m_ticketServer.erase(waiter.ticket);
    --m_waiting;
    server.started = true;
    server.lastStart = m_scheduler.now();
    server.lastGapMs = waiter.gapMs;
    arm(key); // before the call: it may ask for the next turn or cancel
    waiter.go();
}

} // namespace wendlecott::core
