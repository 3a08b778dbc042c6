#include "core/PacedRun.h"

#include "core/DomainName.h"

#include "core/ResultLists.h"
#include "core/TldTable.h"
#include "core/UnansweredNames.h"
#include "core/UserNotice.h"

#include <algorithm>

namespace wendlecott::core {

namespace {

// A server that refused, rate-limited, did not answer in time or could not be reached.
bool isRefusal(const LookupEvidence &evidence)
{
    return evidence.verdict == LookupVerdict::Blocked || evidence.ending == LookupEnding::TimedOut ||
           evidence.ending == LookupEnding::NoConnection;
}

} // namespace

PacedRun::PacedRun(RunEnvironment environment, Scheduler &scheduler, const Timing &timing,
                   const ConnectionFactory &connections, ServerPacer &pacer, PacedRunOptions options,
                   QObject *parent)
    : QObject(parent)
    , m_env(environment)
    , m_scheduler(scheduler)
    , m_timing(timing)
    , m_pacer(pacer)
    , m_options(std::move(options))
    , m_deferredEnd(scheduler)
{
    m_options.jobs = qBound(1, m_options.jobs, PacedRunOptions::kMaxJobs);
    m_options.refusalsAllowed = qMax(1, m_options.refusalsAllowed);
    m_options.readAhead = qMax(1, m_options.readAhead);
    m_jobs.resize(std::size_t(m_options.jobs));
    for (std::size_t i = 0; i < m_jobs.size(); ++i) {
        Job &job = m_jobs[i];
        job.lookup = std::make_unique<DomainLookup>(WhoisStyle::Retrying, connections(), m_env.table,
                                                    m_env.services, scheduler, timing, int(i));
        job.lookup->setStopCheck([this] { return m_stopFlag; });
        connect(job.lookup.get(), &DomainLookup::finished, this,
                [this, &job](const LookupEvidence &evidence) { onLookupFinished(job, evidence); });
        // The pace counts from the moment the request leaves, not from the turn: a connect
        // that took its time must not bring the next request closer to this one.
        connect(job.lookup.get(), &DomainLookup::requestSent, this, [this, &job] {
            if (job.busy)
                m_pacer.noteStarted(job.server, job.pending.throttleMs);
        });
    }
}

PacedRun::~PacedRun()
{
    for (auto &[key, server] : m_servers) {
        if (server.ticket != 0)
            m_pacer.cancel(server.ticket);
    }
}

void PacedRun::startRun(RunSource source, qint32 startPosition, qint32 entryCount)
{
    if (!m_stopFlag)
        return; // one run at a time
    m_source = std::move(source);
    m_stopFlag = false;
    m_endOfList = false;
    m_unansweredWriteFailed = false;
    m_env.lists.resetCounters();
    m_nextRead = qMax(1, startPosition);
    m_storedPosition = m_nextRead;
    m_entryCount = entryCount;
    m_passedOver = 0;
    m_invalidNames = 0;
    m_retries = 0;
    m_servers.clear();
    m_open.clear();
    m_queued = 0;
    Q_EMIT progressChanged(m_nextRead - 1, entryCount);
    afterChange();
}

QStringList PacedRun::inTableOrder(const TldTable &table, const QStringList &extensions)
{
    QStringList wanted;
    for (QString extension : extensions) {
        extension = extension.trimmed().toLower();
        while (extension.startsWith(QLatin1Char('.')))
            extension.remove(0, 1);
        if (!extension.isEmpty() && !wanted.contains(extension))
            wanted.append(extension);
    }
    QStringList ordered;
    for (const TldEntry &row : table.rows) {
        const QString extension = row.extension.toLower();
        if (wanted.contains(extension) && !ordered.contains(extension))
            ordered.append(extension);
    }
    for (const QString &extension : wanted) {
        if (!ordered.contains(extension))
            ordered.append(extension);
    }
    return ordered;
}

qint32 PacedRun::resumePosition() const
{
    return m_open.empty() ? m_nextRead : m_open.front().position;
}

LookupChoices PacedRun::currentChoices() const
{
    LookupChoices choices = m_env.choices();
    // Without the batch watchdog a lookup gives up on its own after the watchdog's time.
    if (choices.timeLimitMs <= 0)
        choices.timeLimitMs = m_timing.tickMs * m_timing.watchdogTicks;
    return choices;
}

QStringList PacedRun::domainsOf(const QString &entry) const
{
    QStringList domains;
    if (m_options.extensions.isEmpty() || !m_source.domainForExtension) {
        domains.append(m_source.domainFor ? m_source.domainFor(entry) : entry);
        return domains;
    }
    for (const QString &extension : m_options.extensions) {
        const QString domain = m_source.domainForExtension(entry, extension);
        if (!domains.contains(domain)) // an entry with its own extension gives one domain
            domains.append(domain);
    }
    return domains;
}

// Reads entries while few names wait on servers that are not paused.
void PacedRun::readMore()
{
    while (!m_stopFlag && !m_endOfList && queuedReady() < m_options.readAhead) {
        if (!readEntry())
            m_endOfList = true;
    }
}

bool PacedRun::readEntry()
{
    QString entry;
    if (auto read = m_source.readEntry(m_nextRead); read.ok()) {
        entry = read.value();
    } else {
        m_env.notice.showMessage(QString(), QStringLiteral("File %1 not found.").arg(m_source.listPath),
                                 NoticeIcon::None);
        return false;
    }
    if (entry.isEmpty() || entry == kEndOfListSentinel)
        return false;
    const qint32 position = m_nextRead++;
    const QStringList domains = domainsOf(entry);
    m_open.push_back({position, int(domains.size())});
    for (const QString &domain : domains)
        enqueue(domain, position);
    return true;
}

void PacedRun::enqueue(const QString &formed, qint32 position)
{
    const Result<QString> canonical =
        formed.isEmpty() ? Result<QString>(formed) : canonicalDomainName(formed);
    if (!canonical) {
        // No answer about such a name could mean it is free: it is not asked, nor kept.
        Q_EMIT invalidName(formed, canonical.message(), ++m_invalidNames);
        finishDomain(position);
        return;
    }
    const QString &domain = canonical.value(); // filed and printed as it is asked
    const Result<LookupRoute> route =
        domain.isEmpty() ? Result<LookupRoute>::failure(ErrorCode::NoTldRow, QString())
                         : routeLookup(domain, m_env.table, m_env.services, currentChoices());
    if (!route) {
        // Nothing to ask: an entry that cleans to nothing is passed over quietly; a name no
        // server serves is told once a run, counted and kept among the unanswered names.
        if (!domain.isEmpty()) {
            passOver(domain, route.message());
            keepUnanswered(domain);
        }
        finishDomain(position);
        return;
    }
    ServerQueue &server = m_servers[route.value().serverKey()];
    server.names.push_back({domain, position, qint32(route.value().throttleMs()), 0});
    ++m_queued;
}

int PacedRun::queuedReady() const
{
    int waiting = m_queued;
    for (const auto &[key, server] : m_servers) {
        if (m_pacer.pausedFor(key) > 0)
            waiting -= int(server.names.size());
    }
    return waiting;
}

// Gives free jobs to the servers whose turn comes first, among servers free now the one
// with the oldest entry, so entries finish roughly in list order; a server waits for one
// turn at a time, and a paused server for none.
QString PacedRun::nextServer() const
{
    QString best;
    qint64 bestWait = 0;
    qint32 bestPosition = 0;
    for (const auto &[key, server] : m_servers) {
        if (server.names.empty() || server.ticket != 0 || m_pacer.pausedFor(key) > 0)
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

void PacedRun::fillJobs()
{
    while (!m_stopFlag && m_busy + m_tickets < m_options.jobs) {
        const QString best = nextServer();
        if (best.isEmpty())
            return;
        ServerQueue &server = m_servers[best];
        server.ticket =
            m_pacer.whenReady(best, server.names.front().throttleMs, [this, best] { onTurn(best); });
        ++m_tickets;
    }
}

void PacedRun::onTurn(const QString &key)
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
    const LookupChoices choices = currentChoices();
    const Result<LookupRoute> route = routeLookup(job.pending.domain, m_env.table, m_env.services, choices);
    if (!route) { // the table changed since the name was queued
        passOver(job.pending.domain, route.message());
        keepUnanswered(job.pending.domain);
        finishDomain(job.pending.position);
        afterChange();
        return;
    }
    job.server = key;
    job.busy = true;
    ++m_busy;
    m_env.pause.throttleMs = route.value().throttleMs();
    job.lookup->start(job.pending.domain, route.value(), choices);
    afterChange();
}

void PacedRun::onLookupFinished(Job &job, const LookupEvidence &evidence)
{
    if (m_stopFlag || !job.busy)
        return;
    job.busy = false;
    --m_busy;
    if (isRefusal(evidence)) {
        refuse(job, evidence);
    } else {
        m_servers[job.server].refusalsInARow = 0;
        file(evidence);
        finishDomain(job.pending.position);
    }
    afterChange();
}

// Pauses the server and puts the name back at the head of its queue, or gives it up at
// its last refusal.
void PacedRun::refuse(Job &job, const LookupEvidence &evidence)
{
    ServerQueue &server = m_servers[job.server];
    ++server.refusalsInARow;
    qint64 pauseMs = m_options.firstBackOffMs;
    for (int i = 1; i < server.refusalsInARow && pauseMs < m_options.longestBackOffMs; ++i)
        pauseMs *= 2;
    pauseMs = qMin(pauseMs, m_options.longestBackOffMs);
    if (evidence.retryAfterSeconds && *evidence.retryAfterSeconds > 0)
        pauseMs = qMin(*evidence.retryAfterSeconds * 1000, m_options.longestRetryAfterMs);
    m_pacer.pause(job.server, pauseMs);
    if (server.ticket != 0) { // the job waiting for this server goes elsewhere meanwhile
        m_pacer.cancel(server.ticket);
        server.ticket = 0;
        --m_tickets;
    }
    if (!server.wake)
        server.wake = std::make_unique<SingleShot>(m_scheduler);
    server.wake->start(m_pacer.pausedFor(job.server), [this] { afterChange(); });

    Pending pending = std::move(job.pending);
    if (++pending.refusals >= m_options.refusalsAllowed) {
        giveUp(pending, evidence);
        return;
    }
    ++m_retries;
    server.names.push_front(std::move(pending));
    ++m_queued;
}

void PacedRun::giveUp(const Pending &pending, const LookupEvidence &evidence)
{
    RunRecord record;
    record.name = pending.domain;
    record.server = evidence.server;
    record.evidence = evidence;
    if (evidence.verdict == LookupVerdict::Blocked) {
        record.kind = RunRecord::Kind::Blocked;
        m_env.notice.showBlocked(
            evidence.server,
            evidence.protocol == LookupProtocol::Rdap
                ? QStringLiteral("HTTP %1\r\n%2").arg(evidence.httpStatus).arg(evidence.answer)
                : evidence.answer,
            pending.domain);
    } else {
        record.kind = RunRecord::Kind::Timeout;
        m_env.notice.showBlocked(evidence.server, QStringLiteral("Connection Timed Out"), pending.domain);
    }
    keepUnanswered(pending.domain);
    Q_EMIT recordFinished(record);
    finishDomain(pending.position);
}

void PacedRun::file(const LookupEvidence &evidence)
{
    RunRecord record;
    record.name = evidence.name;
    record.server = evidence.server;
    record.evidence = evidence;
    switch (evidence.verdict) {
    case LookupVerdict::Available:
        record.kind = RunRecord::Kind::Available;
        if (const auto profile = m_env.lists.addAvailable(evidence.name))
            record.profileClass = profileClassName(*profile);
        if (m_env.unanswered)
            (void)m_env.unanswered->settle(evidence.name);
        break;
    case LookupVerdict::Registered:
        record.kind = RunRecord::Kind::Registered;
        m_env.lists.addRegistered(evidence.name);
        if (m_env.unanswered)
            (void)m_env.unanswered->settle(evidence.name);
        break;
    case LookupVerdict::Blocked: // a refusal; not reached
    case LookupVerdict::Unknown:
        record.kind = RunRecord::Kind::Unknown; // never filed as Registered or Available
        keepUnanswered(evidence.name);
        break;
    }
    m_env.lists.checkOverflow();
    Q_EMIT recordFinished(record);
}

// One domain of the entry at `position` is done; the stored position moves past the
// entries now finished in a row.
void PacedRun::finishDomain(qint32 position)
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
void PacedRun::afterChange()
{
    if (m_stopFlag)
        return;
    readMore();
    fillJobs();
    const qint32 position = resumePosition();
    if (position != m_storedPosition) {
        m_storedPosition = position;
        if (m_source.storePosition)
            m_source.storePosition(position);
        Q_EMIT progressChanged(position - 1, m_entryCount);
    }
    if (const QString text = statusText(); text != m_lastStatus) {
        m_lastStatus = text;
        Q_EMIT statusChanged(text);
    }
    if (m_endOfList && m_open.empty() && m_busy == 0)
        m_deferredEnd.start(0, [this] { stopRun(); }); // from the event loop, as a verdict is
}

PacedRunStatus PacedRun::status() const
{
    PacedRunStatus status;
    status.inFlight = m_busy;
    for (const auto &[key, server] : m_servers) {
        if (m_pacer.pausedFor(key) > 0)
            status.backingOff += int(server.names.size());
        else
            status.queued += int(server.names.size());
    }
    return status;
}

QString PacedRun::statusText() const
{
    const PacedRunStatus now = status();
    return QStringLiteral("In flight: %1, queued: %2, waiting on back-off: %3")
        .arg(now.inFlight)
        .arg(now.queued)
        .arg(now.backingOff);
}

void PacedRun::keepUnanswered(const QString &name)
{
    m_env.keepUnanswered(name, m_unansweredWriteFailed); // said once a run
}

// As the single-slot run: the first name of a run that no row serves opens the "Error" box.
void PacedRun::passOver(const QString &domain, const QString &reason)
{
    ++m_passedOver;
    if (m_passedOver == 1) {
        m_env.notice.showMessage(QStringLiteral("Error"), passedOverNoticeText(domain, reason),
                                 NoticeIcon::Warning);
    }
    Q_EMIT namePassedOver(domain, m_passedOver);
}

void PacedRun::stopRun()
{
    if (m_stopFlag)
        return;
    m_stopFlag = true;
    m_deferredEnd.cancel();
    for (auto &[key, server] : m_servers) {
        if (server.ticket != 0)
            m_pacer.cancel(server.ticket);
        server.ticket = 0;
        if (server.wake)
            server.wake->cancel();
    }
    m_tickets = 0;
    for (Job &job : m_jobs) {
        if (job.busy)
            keepUnanswered(job.pending.domain); // taken, and dropped without a verdict
        job.lookup->cancel();
        job.busy = false;
    }
    m_busy = 0;
    const qint32 position = resumePosition();
    if (m_source.storePosition && position != m_storedPosition)
        m_source.storePosition(position);
    m_storedPosition = position;
    m_servers.clear();
    m_queued = 0;
    Q_EMIT stopped();
}

} // namespace wendlecott::core
