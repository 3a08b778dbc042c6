#include "core/run/CheckRun.h"

#include "core/base/UserNotice.h"
#include "core/lists/ResultLists.h"
#include "core/tld/DomainName.h"
#include "core/tld/ExtensionCheck.h"
#include "core/tld/TldTable.h"

#include <algorithm>

namespace wendlecott::core {

namespace {

// A server that refused, rate-limited, did not answer in time or could not be reached.
bool isRefusal(const LookupEvidence &evidence)
{
    return evidence.verdict == LookupVerdict::Blocked || evidence.ending == LookupEnding::TimedOut ||
           evidence.ending == LookupEnding::NoConnection;
}

// Each request that ended without an answer is one refusal: a silent whois lookup asked
// once per connection it made.
int refusalsIn(const LookupEvidence &evidence)
{
    if (evidence.ending == LookupEnding::TimedOut && evidence.protocol == LookupProtocol::Whois)
        return std::max(1, evidence.connections);
    return 1;
}

} // namespace

std::unique_ptr<CheckRun> makeRun(const RunEnvironment &environment, Scheduler &scheduler,
                                  const Timing &timing, const ConnectionFactory &connections,
                                  const RunChoices &choices, QObject *parent)
{
    return std::make_unique<CheckRun>(environment, scheduler, timing, connections,
                                      runPolicyFor(environment.table, choices), parent);
}

CheckRun::CheckRun(RunEnvironment environment, Scheduler &scheduler, const Timing &timing,
                   const ConnectionFactory &connections, RunPolicy policy, QObject *parent)
    : QObject(parent)
    , m_env(std::move(environment))
    , m_connections(connections)
    , m_scheduler(scheduler)
    , m_timing(timing)
    , m_pacer(m_env.pacer)
    , m_policy(std::move(policy))
    , m_filer(m_env)
    , m_deferredEnd(scheduler)
    , m_readOn(scheduler)
    , m_growthTick(scheduler, [this] { sourceGrew(); })
{
    makeJobs();
    for (int panel = 0; panel < kStatusPanels; ++panel)
        m_panels[panel] = idlePanelText(panel);
}

CheckRun::~CheckRun()
{
    cancelWaits();
}

void CheckRun::setPolicy(RunPolicy policy)
{
    if (!m_stopFlag)
        return;
    const int jobs = slotCount();
    const WhoisStyle style = m_policy.whoisStyle;
    m_policy = std::move(policy);
    m_policy.refusalsAllowed = qMax(1, m_policy.refusalsAllowed);
    m_policy.readAhead = qMax(1, m_policy.readAhead);
    if (qBound(1, m_policy.jobs, RunPolicy::kMaxJobs) != jobs || m_policy.whoisStyle != style)
        makeJobs();
    m_policy.jobs = slotCount();
}

void CheckRun::makeJobs()
{
    m_policy.jobs = qBound(1, m_policy.jobs, RunPolicy::kMaxJobs);
    m_policy.refusalsAllowed = qMax(1, m_policy.refusalsAllowed);
    m_policy.readAhead = qMax(1, m_policy.readAhead);
    m_jobs.clear();
    m_jobs.resize(std::size_t(m_policy.jobs)); // settled before the handlers take their address
    for (std::size_t i = 0; i < m_jobs.size(); ++i) {
        Job &job = m_jobs[i];
        job.lookup = std::make_unique<DomainLookup>(m_policy.whoisStyle, m_connections(), m_env.table,
                                                    m_env.services, m_scheduler, m_timing, int(i));
        job.lookup->setStopCheck([this] { return m_stopFlag; });
        connect(job.lookup.get(), &DomainLookup::finished, this,
                [this, &job](const LookupEvidence &evidence) { onLookupFinished(job, evidence); });
        connect(job.lookup.get(), &DomainLookup::statusText, this,
                [this](const QString &text) { setPanel(2, text); });
        // The pace counts from the moment the request leaves, not from the turn: a connect
        // that took its time must not bring the next request closer to this one.
        connect(job.lookup.get(), &DomainLookup::requestSent, this, [this, &job] {
            if (job.busy)
                m_pacer.noteStarted(job.server, job.pending.throttleMs);
        });
    }
}

void CheckRun::startRun(RunSource source, qint32 startPosition, qint32 entryCount)
{
    if (!m_stopFlag)
        return; // one run at a time
    m_source = std::move(source);
    m_stopFlag = false;
    m_endOfList = false;
    m_mayRead = false;
    m_filer.beginRun();
    if (m_policy.restartCounters)
        m_env.lists.resetCounters();
    m_nextRead = qMax(1, startPosition);
    m_storedPosition = m_nextRead;
    m_entryCount = entryCount;
    m_retries = 0;
    m_servers.clear();
    m_open.clear();
    m_queued = 0;
    m_lastStatus.clear();
    if (m_source.grows)
        m_growthTick.start(m_timing.tickMs);
    startDnsStep();
    Q_EMIT progressChanged(m_nextRead - 1, entryCount);
    afterChange();
}

void CheckRun::sourceGrew()
{
    if (m_stopFlag || !m_source.grows)
        return;
    m_endOfList = false;
    afterChange();
}

qint32 CheckRun::resumePosition() const
{
    return m_open.empty() ? m_nextRead : m_open.front().position;
}

QStringList CheckRun::domainsOf(const QString &entry) const
{
    QStringList domains;
    if (m_policy.extensions.isEmpty() || !m_source.domainForExtension) {
        domains.append(m_source.domainFor ? m_source.domainFor(entry) : entry);
        return domains;
    }
    for (const QString &extension : m_policy.extensions) {
        const QString domain = m_source.domainForExtension(entry, extension);
        if (!domains.contains(domain)) // an entry with its own extension gives one domain
            domains.append(domain);
    }
    return domains;
}

// Reads entries while few names wait on servers that are not paused; with the described
// pause, one entry each time a pause ends, and a pause whenever the run has nothing to do.
void CheckRun::readMore()
{
    if (m_policy.pauseAfterAnswer) {
        constexpr int kReadsAtOnce = 512; // names passed over in one go before the loop breathes
        for (int read = 0; !m_stopFlag && !m_endOfList && isIdle(); ++read) {
            if (read == kReadsAtOnce) {
                m_readOn.start(0, [this] { afterChange(); });
                return;
            }
            if (!readEntry())
                m_endOfList = true;
        }
        return;
    }
    if (!m_policy.describedPause) {
        while (!m_stopFlag && !m_endOfList && queuedReady() < m_policy.readAhead) {
            if (!readEntry())
                m_endOfList = true;
        }
        return;
    }
    if (m_mayRead && !m_endOfList) {
        m_mayRead = false;
        if (!readEntry())
            m_endOfList = true;
    }
    if (!m_endOfList && isIdle())
        beginPause();
}

void CheckRun::beginPause()
{
    m_pauseMs = m_pacer.sharedPauseMs();
    const qint32 throttleMs = m_pacer.sharedPause().throttleMs;
    setPanel(0, m_policy.pauseAfterAnswer ? QStringLiteral("Pausing for %1 milliseconds.").arg(throttleMs)
                                          : QStringLiteral("Waiting %1 milliseconds.").arg(throttleMs));
    m_pauseTicket = m_pacer.afterSharedPause([this] {
        m_pauseTicket = 0;
        m_mayRead = true;
        afterChange();
    });
}

bool CheckRun::readEntry()
{
    if (m_policy.describedPause)
        setPanel(1, QStringLiteral("Open: 0"));
    QString entry;
    if (auto read = m_source.readEntry(m_nextRead); read.ok()) {
        entry = read.value();
    } else {
        m_env.notice.showMessage(
            QString(), unreadableListText(read.code(), read.message(), m_source.listPath), NoticeIcon::None);
        return false;
    }
    if (m_policy.describedPause)
        showTaken(m_nextRead);
    if (entry.isEmpty() || entry == kEndOfListSentinel) {
        if (m_policy.pauseAfterAnswer) {
            const ResultLists &lists = m_env.lists;
            setPanel(0, QStringLiteral("Checked %1 unique domains.")
                            .arg(qint64(lists.counter(ListId::Low)) + lists.counter(ListId::Registered) +
                                 lists.counter(ListId::High) + lists.counter(ListId::Mid)));
        }
        return false;
    }
    const qint32 position = m_nextRead++;
    const QStringList domains = domainsOf(entry);
    m_open.push_back({position, int(domains.size())});
    for (const QString &domain : domains)
        enqueue(domain, position);
    return true;
}

void CheckRun::enqueue(const QString &formed, qint32 position)
{
    const Result<QString> canonical =
        formed.isEmpty() ? Result<QString>(formed) : canonicalDomainName(formed);
    if (!canonical) {
        // No answer about such a name could mean it is free: it is not asked, nor kept.
        Q_EMIT invalidName(formed, canonical.message(), m_filer.refuseInvalid());
        finishDomain(position);
        return;
    }
    const QString &domain = canonical.value(); // filed and printed as it is asked
    const Result<LookupRoute> route = domain.isEmpty()
                                          ? Result<LookupRoute>::failure(ErrorCode::NoTldRow, QString())
                                          : routeLookup(domain, m_env.table, m_env.services, m_env.choices());
    if (!route) {
        // Nothing to ask: an entry that cleans to nothing is passed over quietly; a name no
        // server serves is told once a run, counted and kept among the unanswered names.
        if (!domain.isEmpty())
            Q_EMIT namePassedOver(domain, m_filer.passOver(domain, route.message()));
        finishDomain(position);
        return;
    }
    if (const QString problem = extensionProblem(domain, m_env.table); !problem.isEmpty()) {
        // An extension that exists nowhere: the server it would reach serves another registry.
        Q_EMIT invalidName(domain, problem, m_filer.refuseInvalid());
        finishDomain(position);
        return;
    }
    if (std::optional<LookupEvidence> reused = m_filer.reusableAnswer(domain)) {
        file(*reused, position); // a recent answer of the store: no query
        return;
    }
    if (m_dns) {
        m_dns->ask(domain, position);
        return;
    }
    queueOnServer(domain, position, route.value());
}

void CheckRun::queueOnServer(const QString &domain, qint32 position, const LookupRoute &route)
{
    ServerQueue &server = m_servers[route.serverKey()];
    server.names.push_back({domain, position, qint32(route.throttleMs()), m_pauseMs, 0});
    ++m_queued;
    if (m_policy.pauseAfterAnswer)
        setPanel(0, QStringLiteral("Checking status of: ") + domain);
}

// Names waiting for their delegation check count as queued: the check hands most of them on.
int CheckRun::queuedReady() const
{
    int waiting = m_queued + (m_dns ? m_dns->pendingCount() : 0);
    for (const auto &[key, server] : m_servers) {
        if (m_pacer.pausedFor(key) > 0)
            waiting -= int(server.names.size());
    }
    return waiting;
}

// Gives free jobs to the servers whose turn comes first, among servers free now the one
// with the oldest entry, so entries finish roughly in list order; a server waits for one
// turn at a time, a paused server for none, and a server that holds its share of the jobs
// (the jobs split evenly over the servers with work) for none while another has names
// waiting, so one silent server cannot take every job.
QString CheckRun::nextServer() const
{
    int working = 0;
    int waiting = 0;
    for (const auto &[key, server] : m_servers) {
        working += (!server.names.empty() || server.busy > 0) ? 1 : 0;
        waiting += server.names.empty() ? 0 : 1;
    }
    const int share = working > 0 ? (slotCount() + working - 1) / working : slotCount();
    QString best;
    qint64 bestWait = 0;
    qint32 bestPosition = 0;
    for (const auto &[key, server] : m_servers) {
        if (server.names.empty() || server.ticket != 0 || m_pacer.pausedFor(key) > 0)
            continue;
        if (server.busy >= share && waiting > 1)
            continue;
        const qint64 wait = m_pacer.waitFor(key, server.names.front().throttleMs);
        const qint32 position = server.names.front().position;
        if (best.isEmpty() || wait < bestWait || (wait == bestWait && position < bestPosition)) {
            best = key;
            bestWait = wait;
            bestPosition = position;
        }
    }
    return best;
}

void CheckRun::fillJobs()
{
    wakePausedServers();
    while (!m_stopFlag && m_busy + m_tickets < slotCount()) {
        const QString best = nextServer();
        if (best.isEmpty())
            return;
        ServerQueue &server = m_servers[best];
        server.ticket =
            m_pacer.whenReady(best, server.names.front().throttleMs, [this, best] { onTurn(best); });
        ++m_tickets;
    }
}

// A server paused when its names came (by this run, an earlier one, or another window)
// is looked at again when its pause ends.
void CheckRun::wakePausedServers()
{
    for (auto &[key, server] : m_servers) {
        const qint64 paused = m_pacer.pausedFor(key);
        if (server.names.empty() || paused <= 0 || (server.wake && server.wake->isActive()))
            continue;
        if (!server.wake)
            server.wake = std::make_unique<SingleShot>(m_scheduler);
        server.wake->start(paused, [this] { afterChange(); });
    }
}

// The lookup's time limit counts from its request: the watchdog's time, less the described
// pause before it (which the watchdog counts as well); a wait for the server's turn beyond
// that pause does not count.
LookupChoices CheckRun::choicesFor(const Pending &pending) const
{
    LookupChoices choices = m_env.choices();
    if (m_policy.timeLimitTicks > 0) {
        choices.timeLimitMs = m_timing.tickMs * m_policy.timeLimitTicks;
        choices.answerOrTimeLimit = true;
    } else if (choices.timeLimitMs <= 0) {
        const qint64 watchdogMs = m_timing.tickMs * m_timing.watchdogTicks;
        const qint64 limitMs = watchdogMs - pending.pauseMs;
        choices.timeLimitMs = limitMs > 0 ? limitMs : watchdogMs;
    }
    return choices;
}

void CheckRun::onTurn(const QString &key)
{
    ServerQueue &server = m_servers[key];
    server.ticket = 0;
    --m_tickets;
    if (m_stopFlag || server.names.empty())
        return;
    const auto free = std::find_if(m_jobs.begin(), m_jobs.end(), [](const Job &job) { return !job.busy; });
    if (free == m_jobs.end())
        return; // cannot happen: a turn is asked for a free job only
    Job &job = *free;
    job.pending = std::move(server.names.front());
    server.names.pop_front();
    --m_queued;
    const LookupChoices choices = choicesFor(job.pending);
    const Result<LookupRoute> route = routeLookup(job.pending.domain, m_env.table, m_env.services, choices);
    if (!route) { // the table changed since the name was queued
        Q_EMIT namePassedOver(job.pending.domain, m_filer.passOver(job.pending.domain, route.message()));
        finishDomain(job.pending.position);
        afterChange();
        return;
    }
    job.server = key;
    job.busy = true;
    ++m_busy;
    ++server.busy;
    m_pacer.setSharedThrottle(route.value().throttleMs()); // the next described pause
    job.lookup->start(job.pending.domain, route.value(), choices);
    afterChange();
}

void CheckRun::onLookupFinished(Job &job, const LookupEvidence &evidence)
{
    if (m_stopFlag || !job.busy)
        return;
    job.busy = false;
    --m_busy;
    ServerQueue &server = m_servers[job.server];
    --server.busy;
    if (isRefusal(evidence)) {
        refuse(job, evidence);
    } else {
        server.refusalsInARow = 0;
        file(evidence, job.pending.position);
    }
    job.lookup->cancel();
    if (m_policy.pauseAfterAnswer && evidence.ending != LookupEnding::TimedOut)
        beginPause();
    afterChange();
}

// Pauses the server and puts the name back at the head of its queue, or gives it up when
// its refusals run out.
void CheckRun::refuse(Job &job, const LookupEvidence &evidence)
{
    ServerQueue &server = m_servers[job.server];
    ++server.refusalsInARow;
    if (const qint64 pauseMs = backOffMs(server.refusalsInARow, evidence.retryAfterSeconds, m_policy.backOff);
        pauseMs > 0) {
        m_pacer.pause(job.server, pauseMs);
        if (server.ticket != 0) { // the job waiting for this server goes elsewhere meanwhile
            m_pacer.cancel(server.ticket);
            server.ticket = 0;
            --m_tickets;
        }
        if (!server.wake)
            server.wake = std::make_unique<SingleShot>(m_scheduler);
        server.wake->start(m_pacer.pausedFor(job.server), [this] { afterChange(); });
    }
    Pending pending = std::move(job.pending);
    pending.refusals += refusalsIn(evidence);
    if (pending.refusals >= m_policy.refusalsAllowed) {
        file(evidence, pending.position); // given up: kept among the unanswered names
        return;
    }
    ++m_retries;
    pending.pauseMs = 0; // asked again after a pause of the server, not the described one
    server.names.push_front(std::move(pending));
    ++m_queued;
}

void CheckRun::file(const LookupEvidence &evidence, qint32 position)
{
    if (!m_source.filesVerdict || m_source.filesVerdict(evidence)) {
        const RunRecord record = m_filer.file(evidence);
        if (m_policy.pauseAfterAnswer && record.kind == RunRecord::Kind::Available)
            setPanel(0, QStringLiteral("Unregistered: ") + record.name);
        Q_EMIT recordFinished(record);
    }
    finishDomain(position);
}

// One domain of the entry at `position` is filed or kept; the stored position moves past
// the entries now finished in a row.
void CheckRun::finishDomain(qint32 position)
{
    if (m_open.empty() || position < m_open.front().position ||
        position - m_open.front().position >= qint32(m_open.size()))
        return;
    OpenEntry &entry = m_open[std::size_t(position - m_open.front().position)];
    --entry.unfinished;
    while (!m_open.empty() && m_open.front().unfinished <= 0)
        m_open.pop_front();
}

// After every event: read on, give out free jobs, store a position that moved, tell the
// status, and end the run when the list is done.
void CheckRun::afterChange()
{
    if (m_stopFlag)
        return;
    readMore();
    fillJobs();
    storePosition();
    if (const QString text = statusText(); text != m_lastStatus) {
        m_lastStatus = text;
        Q_EMIT statusChanged(text);
        if (showsPacedTexts())
            setPanel(1, text);
    }
    if (m_endOfList && !m_source.grows && m_open.empty() && m_busy == 0)
        m_deferredEnd.start(0, [this] { stopRun(); }); // from the event loop, as a verdict is
}

void CheckRun::storePosition()
{
    const qint32 position = resumePosition();
    if (position == m_storedPosition)
        return;
    m_storedPosition = position;
    if (m_source.storePosition)
        m_source.storePosition(position);
    Q_EMIT progressChanged(position - 1, m_entryCount);
    if (showsPacedTexts())
        setPanel(0, QStringLiteral("%1 of %2").arg(position).arg(m_entryCount));
}

void CheckRun::cancelWaits()
{
    m_deferredEnd.cancel();
    m_readOn.cancel();
    m_growthTick.stop();
    if (m_dns)
        m_dns->stop(); // its names are taken and not answered: a resumed run asks them again
    if (m_pauseTicket != 0)
        m_pacer.cancel(m_pauseTicket);
    m_pauseTicket = 0;
    for (auto &[key, server] : m_servers) {
        if (server.ticket != 0)
            m_pacer.cancel(server.ticket);
        server.ticket = 0;
        if (server.wake)
            server.wake->cancel();
    }
    m_tickets = 0;
}

// Keeps every name taken and not yet answered among the unanswered names: those in flight
// always, those still queued as well where the described resume rule moves past them.
// True when every one of them is kept.
bool CheckRun::keepTakenNames()
{
    bool allKept = true;
    for (Job &job : m_jobs) {
        if (job.busy)
            allKept = m_filer.keep(job.pending.domain).ok() && allKept;
        job.lookup->cancel();
        job.busy = false;
    }
    if (!m_policy.passKeptAtStop)
        return false;
    for (const auto &[key, server] : m_servers) {
        for (const Pending &pending : server.names)
            allKept = m_filer.keep(pending.domain).ok() && allKept;
    }
    return allKept;
}

void CheckRun::stopRun()
{
    if (m_stopFlag)
        return;
    m_stopFlag = true;
    cancelWaits();
    if (keepTakenNames() && m_policy.passKeptAtStop)
        m_open.clear(); // every entry taken is filed or kept: a resumed run starts after them
    m_busy = 0;
    const qint32 position = resumePosition();
    if (m_source.storePosition && position != m_storedPosition)
        m_source.storePosition(position);
    m_storedPosition = position;
    m_servers.clear();
    m_queued = 0;
    m_filer.endRun();
    for (int panel = 0; panel < kStatusPanels; ++panel)
        setPanel(panel, idlePanelText(panel));
    Q_EMIT stopped();
}

} // namespace wendlecott::core
