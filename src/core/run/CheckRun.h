#pragma once

#include "core/base/Scheduler.h"
#include "core/base/Timing.h"
#include "core/lists/RunSource.h"
#include "core/lookup/DomainLookup.h"
#include "core/lookup/WhoisConnection.h"
#include "core/pacing/BackOff.h"
#include "core/pacing/ServerPacer.h"
#include "core/run/DnsFirstStep.h"
#include "core/run/RunFiler.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <map>
#include <memory>
#include <vector>

namespace wendlecott::core {

// How a run goes. The described run is one of these (described()); a run over several
// extensions or with several lookups in flight is another (paced()).
struct RunPolicy {
    static constexpr int kMaxJobs = 101;

    int jobs = 1; // lookups in flight at most (1 to kMaxJobs)
    // The extensions (no dot) an entry without its own becomes a domain in, in the order of
    // the TLD table; empty: the one domain the source gives.
    QStringList extensions;
    // The described pause: `ThrottleMs` + 1 ms before each name (the pacer's shared pause),
    // the name read when it ends, and its lookup given up at the watchdog's tick counted
    // from the start of that pause (a wait for the server's turn beyond it not counted).
    bool describedPause = false;
    // Stop keeps the names taken and not answered among the unanswered names and stores the
    // position past them, as the described run does; otherwise the position stays before
    // them, so that a resumed run asks them again.
    bool passKeptAtStop = false;
    // A request that ends without an answer (each connection of a silent whois lookup), a
    // refusal, or no connection counts as a refusal of the name; at this many the name is
    // given up into the unanswered names.
    int refusalsAllowed = 3;
    BackOffRules backOff; // how long a server that refused rests (firstMs 0: not at all)
    int readAhead = 4096; // domains queued on servers not paused before more entries are read
    // The browse window's pace and texts: the next name is read only when nothing is asked
    // nor paused, and each answer (not a time-out) is followed by the described pause.
    bool pauseAfterAnswer = false;
    // A lookup is given up this many ticks after its request, and a whois exchange that ends
    // without an answer waits for that; 0: the watchdog's ticks, less the described pause.
    int timeLimitTicks = 0;
    WhoisStyle whoisStyle = WhoisStyle::Retrying;
    bool restartCounters = true; // Start sets the lists' counters to 0
    // Each name asked of DNS before its registry (needs the environment's DNS transport).
    DnsFirstChoices dnsFirst;

    // One extension, one lookup at a time, the described pause before each name, every
    // refusal the end of the name (no back-off), and the described resume rule.
    static RunPolicy described();
    // `jobs` lookups side by side over `extensions`, each server at its row's pace, with
    // back-off and three refusals a name.
    static RunPolicy paced(int jobs, QStringList extensions);
    // The browse window's run over the names it finds: one lookup at a time, one exchange
    // given up at `timeLimitTicks`, the pause after each answer; the counters go on.
    static RunPolicy browsing(int timeLimitTicks);
};

// What the user chose for a run besides its names and the lookup (the environment's
// lookupChoices): the extensions ticked and the lookups in flight at most.
struct RunChoices {
    QStringList extensions;
    int jobs = 1;
    DnsFirstChoices dnsFirst;
};

// `extensions` (with or without a dot, any case) without repeats, in the order of the
// table's rows; extensions no row has follow in the order given.
QStringList inTableOrder(const TldTable &table, const QStringList &extensions);
// One extension and one lookup at a time without DNS first: the described run; otherwise the
// paced run over the extensions in the table's order (with DNS first, when chosen).
RunPolicy runPolicyFor(const TldTable &table, const RunChoices &choices);

// Lookups in flight, names waiting for their server's turn, names on paused servers, and
// the server that rests longest.
struct RunStatus {
    int inFlight = 0;
    int queued = 0;
    int backingOff = 0;
    QString restingServer;
    qint64 restingMs = 0;
    int askingDns = 0;    // names waiting for their delegation check
    int settledByDns = 0; // names filed by their delegation, this run
};

// The check run: takes the entries of a list one after another, makes each one domain per
// extension, lets each domain wait in its server's queue, and keeps up to `jobs` lookups in
// flight, every server (host and port) kept to its row's pace by the ServerPacer, so
// different servers go on side by side and no server holds more than its share of the jobs
// while others have names waiting. A refusal pauses its server (RunPolicy::backOff) and puts
// the name back at the head of its queue until its refusals run out; then the name is kept
// among the unanswered names. Every outcome goes through the one RunFiler. The stored
// position is the first entry whose domains are not all filed or kept, so a crash loses no
// name. A silent lookup reconnects at the 10th tick and is given up at the watchdog's 30th.
// At the end of a source that grows the run waits for more until Stop.
// With DNS first, a name is asked of DNS before it joins its server's queue: a delegated
// name is filed Registered at once, every other one goes on to its registry.
class CheckRun : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxSlots = RunPolicy::kMaxJobs;
    static constexpr int kStatusPanels = 3;

    CheckRun(RunEnvironment environment, Scheduler &scheduler, const Timing &timing,
             const ConnectionFactory &connections, RunPolicy policy = RunPolicy::described(),
             QObject *parent = nullptr);
    ~CheckRun() override;

    // The policy of the next run (while no run goes; a window keeps one run object and sets
    // the user's choices at each Start).
    void setPolicy(RunPolicy policy);
    // Start: positions from the window's boxes. Counters restart; the lists keep their entries.
    void startRun(RunSource source, qint32 startPosition, qint32 entryCount);
    // Stop (also at the end of the list): no further name, every lookup dropped and its name
    // kept among the unanswered names.
    void stopRun();
    // A growing source has more entries: a run that waits at its end reads on. The run also
    // looks once a tick by itself.
    void sourceGrew();

    bool isRunning() const { return !m_stopFlag; }
    bool stopFlag() const { return m_stopFlag; }
    // The first entry whose domains are not all finished: where a resumed run starts.
    qint32 resumePosition() const;
    qint32 entryCount() const { return m_entryCount; }
    int slotCount() const { return int(m_jobs.size()); }
    const DomainLookup &lookup(int index) const { return *m_jobs.at(std::size_t(index)).lookup; }
    QString panelText(int panel) const { return m_panels[panel]; }
    RunStatus status() const;
    // "In flight: 3, queued: 120, waiting on back-off: 8", and which server rests how long.
    QString statusText() const;
    // Names of this run that no TLD row serves, passed over without a lookup.
    int passedOverCount() const { return m_filer.passedOverCount(); }
    int invalidNameCount() const { return m_filer.invalidNameCount(); }
    // Names of this run filed Registered by their delegation, without the registry.
    int settledByDnsCount() const { return m_filer.settledByDnsCount(); }
    // Names put back in their queue after a refusal, this run.
    int retryCount() const { return m_retries; }
    const RunPolicy &policy() const { return m_policy; }

    static QString idlePanelText(int panel);

Q_SIGNALS:
    // A status-bar panel (0, 1, 2) got a new text.
    void panelChanged(int panel, const QString &text);
    // The run ended (Stop, the end of the list, or an unreadable list).
    void stopped();
    void recordFinished(const wendlecott::core::RunRecord &record);
    // The entries before `position` are finished (of `count`): at Start the one before the
    // first, then each time the stored position moves.
    void progressChanged(qint32 position, qint32 count);
    // A name that no TLD row serves was passed over; `count` of this run so far. Only the
    // first one of a run is also told in the "Error" box.
    void namePassedOver(const QString &domain, int count);
    // A name that cannot be a domain (core::domainNameProblem says why) was not looked up;
    // `count` of this run so far.
    void invalidName(const QString &domain, const QString &reason, int count);
    // The text of statusText() changed.
    void statusChanged(const QString &text);
    // DNS cannot settle the names of an extension (or cannot be asked at all), told once a
    // run per extension; its names are asked of the registry.
    void dnsUnsettled(const QString &text);

private:
    struct Pending {
        QString domain;
        qint32 position = 0;
        qint32 throttleMs = 0;
        qint64 pauseMs = 0; // the described pause before it, part of its time limit
        int refusals = 0;
    };
    struct ServerQueue {
        std::deque<Pending> names;
        ServerPacer::Ticket ticket = 0;
        int refusalsInARow = 0;
        int busy = 0;
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

    void makeJobs();
    void readMore();
    void beginPause();
    bool readEntry();
    void showTaken(qint32 position);
    void enqueue(const QString &domain, qint32 position);
    void queueOnServer(const QString &domain, qint32 position, const LookupRoute &route);
    void startDnsStep();
    void onDelegated(const LookupEvidence &evidence, qint32 position);
    void onPassedOn(const QString &domain, qint32 position);
    QStringList domainsOf(const QString &entry) const;
    void fillJobs();
    void wakePausedServers();
    QString nextServer() const;
    void onTurn(const QString &server);
    LookupChoices choicesFor(const Pending &pending) const;
    void onLookupFinished(Job &job, const LookupEvidence &evidence);
    void refuse(Job &job, const LookupEvidence &evidence);
    void file(const LookupEvidence &evidence, qint32 position);
    void finishDomain(qint32 position);
    void afterChange();
    void storePosition();
    int queuedReady() const;
    void cancelWaits();
    bool keepTakenNames();
    void setPanel(int panel, const QString &text);
    bool showsPacedTexts() const { return !m_policy.describedPause && !m_policy.pauseAfterAnswer; }
    bool isIdle() const { return m_busy == 0 && m_queued == 0 && m_tickets == 0 && m_pauseTicket == 0; }

    RunEnvironment m_env;
    ConnectionFactory m_connections;
    Scheduler &m_scheduler;
    const Timing &m_timing;
    ServerPacer &m_pacer;
    RunPolicy m_policy;
    RunFiler m_filer;
    std::unique_ptr<DnsFirstStep> m_dns; // the run's delegation step; null: DNS first is off
    std::vector<Job> m_jobs;
    std::map<QString, ServerQueue> m_servers;
    std::deque<OpenEntry> m_open;
    SingleShot m_deferredEnd;
    SingleShot m_readOn;        // a long stretch of names passed over goes on from the event loop
    PeriodicTimer m_growthTick; // a growing source is looked at once a tick

    RunSource m_source;
    bool m_stopFlag = true;
    bool m_endOfList = false;
    bool m_mayRead = false; // the described pause ended: one entry may be read
    ServerPacer::Ticket m_pauseTicket = 0;
    qint64 m_pauseMs = 0;
    qint32 m_nextRead = 1;
    qint32 m_entryCount = 0;
    qint32 m_storedPosition = 0;
    int m_busy = 0;
    int m_tickets = 0;
    int m_queued = 0;
    int m_retries = 0;
    QString m_lastStatus;
    QString m_panels[kStatusPanels];
};

// The run for the user's choices, on the program's environment.
std::unique_ptr<CheckRun> makeRun(const RunEnvironment &environment, Scheduler &scheduler,
                                  const Timing &timing, const ConnectionFactory &connections,
                                  const RunChoices &choices, QObject *parent = nullptr);

} // namespace wendlecott::core
