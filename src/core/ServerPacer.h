#pragma once

#include "core/Scheduler.h"

#include <QString>

#include <deque>
#include <functional>
#include <map>

namespace wendlecott::core {

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
};

} // namespace wendlecott::core
