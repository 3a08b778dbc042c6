#pragma once

#include "core/CheckRun.h"
#include "core/DomainLookup.h"
#include "core/RunSource.h"
#include "core/Scheduler.h"
#include "core/ServerPacer.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <map>
#include <memory>
#include <vector>

namespace wendlecott::core {

// How a run over several extensions and servers goes.
struct PacedRunOptions {
    static constexpr int kMaxJobs = CheckRun::kMaxSlots;

    int jobs = 1; // lookups in flight at most (1 to kMaxJobs)
    // The extensions (no dot) an entry without its own becomes a domain in, in the order of
    // the TLD table; empty: the one domain the source gives.
    QStringList extensions;
    int refusalsAllowed = 3;              // the third refusal of a name gives it up
    qint64 firstBackOffMs = 5000;         // a refusal pauses its server this long,
    qint64 longestBackOffMs = 300000;     // doubling with each further one up to this
    qint64 longestRetryAfterMs = 3600000; // a server's Retry-After is honoured up to this
    int readAhead = 4096;                 // domains queued on servers not paused before more entries are read
};

// Lookups in flight, names waiting for their server's turn, names on paused servers.
struct PacedRunStatus {
    int inFlight = 0;
    int queued = 0;
    int backingOff = 0;
};

// A check run over several extensions with lookups side by side: each entry becomes one
// domain per extension, each domain waits in its server's queue, and up to `jobs` lookups
// are in flight, every server (host and port) kept to its row's pace by the ServerPacer, so
// different servers go on side by side. A refusal (Blocked, a rate-limit answer, a time-out
// or no connection) pauses that server (5 s, doubling up to 5 minutes, or the server's
// Retry-After) and puts the name back at the head of its queue; the third refusal gives the
// name up into the unanswered names. The stored position is the first entry whose domains
// are not all finished, so Stop (or a crash) and Start never skip a name.
class PacedRun : public QObject {
    Q_OBJECT
public:
    PacedRun(RunEnvironment environment, Scheduler &scheduler, const Timing &timing,
             const ConnectionFactory &connections, ServerPacer &pacer, PacedRunOptions options,
             QObject *parent = nullptr);
    ~PacedRun() override;

    void startRun(RunSource source, qint32 startPosition, qint32 entryCount);
    // Stop (also at the end of the list): lookups in flight are dropped and kept among the
    // unanswered names; their entries stay unfinished, so a resumed run asks them again.
    void stopRun();

    bool isRunning() const { return !m_stopFlag; }
    // The first entry whose domains are not all finished.
    qint32 resumePosition() const;
    qint32 entryCount() const { return m_entryCount; }
    PacedRunStatus status() const;
    // "In flight: 3, queued: 120, waiting on back-off: 8"
    QString statusText() const;
    int passedOverCount() const { return m_passedOver; }
    int invalidNameCount() const { return m_invalidNames; }
    // Names put back in their queue after a refusal, this run.
    int retryCount() const { return m_retries; }
    const PacedRunOptions &options() const { return m_options; }

    // `extensions` (with or without a dot, any case) without repeats, in the order of the
    // table's rows; extensions no row has follow in the order given.
    static QStringList inTableOrder(const TldTable &table, const QStringList &extensions);

Q_SIGNALS:
    void stopped();
    void recordFinished(const wendlecott::core::RunRecord &record);
    // Entries before `position` are finished (of `count`).
    void progressChanged(qint32 position, qint32 count);
    void namePassedOver(const QString &domain, int count);
    // A name that cannot be a domain (core::domainNameProblem says why) was not looked up.
    void invalidName(const QString &domain, const QString &reason, int count);
    void statusChanged(const QString &text);

private:
    struct Pending {
        QString domain;
        qint32 position = 0;
        qint32 throttleMs = 0;
        int refusals = 0;
    };
    struct ServerQueue {
        std::deque<Pending> names;
        ServerPacer::Ticket ticket = 0;
        int refusalsInARow = 0;
        std::unique_ptr<SingleShot> wake; // the end of a pause
    };
    struct Job {
        std::unique_ptr<DomainLookup> lookup;
        Pending pending;
        QString server;
        bool busy = false;
    };
    struct OpenEntry {
        qint32 position = 0;
        int unfinished = 0;
    };

    void readMore();
    bool readEntry();
    void enqueue(const QString &domain, qint32 position);
    QStringList domainsOf(const QString &entry) const;
    void fillJobs();
    QString nextServer() const;
    void onTurn(const QString &server);
    void onLookupFinished(Job &job, const LookupEvidence &evidence);
    void refuse(Job &job, const LookupEvidence &evidence);
    void giveUp(const Pending &pending, const LookupEvidence &evidence);
    void file(const LookupEvidence &evidence);
    void finishDomain(qint32 position);
    void afterChange();
    int queuedReady() const;
    LookupChoices currentChoices() const;
    void keepUnanswered(const QString &name);
    void passOver(const QString &domain, const QString &reason);

    RunEnvironment m_env;
    Scheduler &m_scheduler;
    const Timing &m_timing;
    ServerPacer &m_pacer;
    PacedRunOptions m_options;
    std::vector<Job> m_jobs;
    std::map<QString, ServerQueue> m_servers;
    std::deque<OpenEntry> m_open;
    SingleShot m_deferredEnd;

    RunSource m_source;
    bool m_stopFlag = true;
    bool m_endOfList = false;
    bool m_unansweredWriteFailed = false;
    qint32 m_nextRead = 1;
    qint32 m_entryCount = 0;
    qint32 m_storedPosition = 0;
    int m_busy = 0;
    int m_tickets = 0;
    int m_queued = 0;
    int m_passedOver = 0;
    int m_invalidNames = 0;
    int m_retries = 0;
    QString m_lastStatus;
};

} // namespace wendlecott::core
