#pragma once

#include "core/base/Scheduler.h"

#include <QString>

#include <deque>
#include <functional>
#include <map>

namespace wendlecott::core {

// The described pause: `ThrottleMs` (the throttle of the row asked last), and whether a
// pause of it runs now. The main window's run and the browse window share it.
struct PauseState {
    qint32 throttleMs = 25; // `ThrottleMs`: set from the TLD row of the last lookup
    qint32 throttleTicks = 0;
    bool pauseActive = false;
};

// Keeps each whois or RDAP server (host and port) to its pace, for every part of the
// program that asks servers: a request waits its turn on its server and is told when it may
// start. Requests to one server start the throttle + 1 ms apart on the scheduler's clock (the
// described pause; never less than the throttle in real time), without a gap for a throttle
// of 0; the larger throttle of two neighbouring requests counts, so rows that share a server
// share its pace. Different servers never wait for each other. A server that refused
// can be paused; its waiting requests then start after the pause.
//
// A granted turn counts as a request started at that moment: the caller starts it at once,
// and may note the moment its request actually left (noteStarted), from which the pace then
// counts.
//
// Besides the pace of each server the pacer holds the described pause: a run of that policy
// (and the browse window) waits `ThrottleMs` + 1 ms before each name, whichever server the
// name goes to, with `ThrottleMs` the throttle of the row asked last anywhere.
class ServerPacer {
public:
    using Ticket = quint64; // 0 is never a valid ticket

    explicit ServerPacer(Scheduler &scheduler);
    ~ServerPacer();
    ServerPacer(const ServerPacer &) = delete;
    ServerPacer &operator=(const ServerPacer &) = delete;

    // Calls `go` (from the event loop, never inside this call) when `server` may be asked by a
    // request of a row with `throttleMs`; requests to one server are served in order.
    Ticket whenReady(const QString &server, qint64 throttleMs, std::function<void()> go);
    // Forgets a request not yet granted; unknown or granted tickets are ignored.
    void cancel(Ticket ticket);
    // Records a request started at this moment: one started without waiting (the caller kept
    // the pace itself), or a granted one whose request has just left.
    void noteStarted(const QString &server, qint64 throttleMs);
    // No request of `server` starts before `ms` from now (a longer pause stays).
    void pause(const QString &server, qint64 ms);

    // Milliseconds until `server` may next be asked by a row with `throttleMs` (0: now).
    qint64 waitFor(const QString &server, qint64 throttleMs) const;
    // Milliseconds left of the server's pause (0: not paused).
    qint64 pausedFor(const QString &server) const;
    // Requests waiting for their turn, on all servers.
    int waitingCount() const { return m_waiting; }

    // The described pause, shared by every window that keeps it.
    PauseState &sharedPause() { return m_shared; }
    const PauseState &sharedPause() const { return m_shared; }
    // A row with `throttleMs` was asked: the next described pause lasts that long (+ 1 ms).
    void setSharedThrottle(qint32 throttleMs) { m_shared.throttleMs = throttleMs; }
    // Calls `go` (from the event loop) after the described pause of `ThrottleMs` + 1 ms,
    // during which `pauseActive` is set; cancel() with the ticket ends it without the call.
    Ticket afterSharedPause(std::function<void()> go);
    // Milliseconds of the described pause when it begins now.
    qint64 sharedPauseMs() const { return qMax<qint64>(0, m_shared.throttleMs) + 1; }

private:
    struct Waiter {
        Ticket ticket = 0;
        qint64 gapMs = 0;
        std::function<void()> go;
    };
    struct Server {
        bool started = false;
        qint64 lastStart = 0;
        qint64 lastGapMs = 0;
        qint64 pausedUntil = 0;
        std::deque<Waiter> waiters;
        Scheduler::TimerId timer = 0;
        qint64 timerDue = 0;
    };

    qint64 dueAt(const Server &server, qint64 gapMs) const;
    void arm(const QString &key);
    void grant(const QString &key);

    Scheduler &m_scheduler;
    std::map<QString, Server> m_servers; // entries stay put, so callbacks may add servers
    std::map<Ticket, QString> m_ticketServer;
    Ticket m_nextTicket = 1;
    int m_waiting = 0;
    PauseState m_shared;
    std::map<Ticket, Scheduler::TimerId> m_pauses; // described pauses running
};

} // namespace wendlecott::core
