#include "core/dns/DelegationQuery.h"

#include "core/dns/DnsMessage.h"

#include <QJsonArray>
#include <QRandomGenerator>
#include <QUrl>

namespace wendlecott::core {

namespace {

constexpr int kGuardLabelLetters = 20;
constexpr int kTries = 2;

// The name a DNS server goes by in the pacer, apart from whois servers of the same host.
QString pacerKey(const DnsServerAddress &server)
{
    return QStringLiteral("dns://") + server.key();
}

// The name in IDNA form, lower case, without a final dot; empty when it has none.
QString asciiName(const QString &name)
{
    return dnsCanonicalName(QString::fromLatin1(QUrl::toAce(name.trimmed())));
}

} // namespace

QJsonObject DelegationEvidence::json() const
{
    return {{QStringLiteral("name"), name},
            {QStringLiteral("protocol"), QStringLiteral("dns")},
            {QStringLiteral("outcome"), delegationOutcomeName(outcome)},
            {QStringLiteral("server"), server},
            {QStringLiteral("nameServers"), QJsonArray::fromStringList(nameServers)},
            {QStringLiteral("time"), time.toString(Qt::ISODateWithMs)},
            {QStringLiteral("reason"), reason},
            {QStringLiteral("tries"), tries},
            {QStringLiteral("ms"), elapsedMs}};
}

QString randomGuardLabel()
{
    QString label;
    for (int i = 0; i < kGuardLabelLetters; ++i)
        label.append(QLatin1Char(char('a' + QRandomGenerator::global()->bounded(26))));
    return label;
}

DelegationQuery::DelegationQuery(DnsTransport &transport, Scheduler &scheduler, ServerPacer *pacer,
                                 DelegationOptions options, QObject *parent)
    : QObject(parent)
    , m_transport(transport)
    , m_scheduler(scheduler)
    , m_pacer(pacer)
    , m_options(std::move(options))
{
}

DelegationQuery::~DelegationQuery()
{
    stop();
}

void DelegationQuery::later(std::function<void()> work)
{
    m_scheduler.callAfter(
        0, [alive = std::weak_ptr<int>(m_alive), generation = m_generation, this, work = std::move(work)] {
            if (!alive.expired() && generation == m_generation)
                work();
        });
}

DelegationQuery::JobId DelegationQuery::newJob(const QString &name, const QString &extension, bool guard)
{
    const JobId id = m_nextJob++;
    Job &job = m_jobs[id];
    job.name = name;
    job.extension = extension;
    job.guard = guard;
    job.startedAt = m_scheduler.now();
    job.evidence.name = name;
    return id;
}

void DelegationQuery::ask(const QString &name)
{
    const QString ascii = asciiName(name);
    const qsizetype dot = ascii.indexOf(QLatin1Char('.'));
    if (dot <= 0 || dot == ascii.size() - 1 || encodeNsQuery(ascii, 0).isEmpty()) {
        finishLater(newJob(ascii.isEmpty() ? name : ascii, {}, false), undecided::BadName);
        return;
    }
    const QString extension = ascii.mid(dot + 1);
    const JobId id = newJob(ascii, extension, false);
    const auto found = m_extensions.find(extension);
    if (found == m_extensions.end()) {
        m_extensions[extension].waiting.push_back(id);
        startExtension(extension);
        return;
    }
    Extension &ext = found->second;
    switch (ext.state) {
    case ExtensionState::FindingServers:
    case ExtensionState::Guarding:
        ext.waiting.push_back(id);
        break;
    case ExtensionState::Ready:
        m_queue.push_back(id);
        pump();
        break;
    case ExtensionState::Unsettled:
        finishLater(id, ext.unsettledReason);
        break;
    }
}

void DelegationQuery::startExtension(const QString &extension)
{
    auto done = [alive = std::weak_ptr<int>(m_alive), generation = m_generation, this,
                 extension](const Result<QList<DnsServerAddress>> &servers) {
        if (!alive.expired() && generation == m_generation)
            serversFound(extension, servers);
    };
    if (m_options.serverOverride.trimmed().isEmpty()) {
        m_transport.findNameServers(extension, std::move(done));
        return;
    }
    const Result<DnsServerAddress> server = parseDnsServer(m_options.serverOverride);
    if (!server) {
        later([done, error = server.error()] { done(Result<QList<DnsServerAddress>>(error)); });
        return;
    }
    m_transport.resolveHost(server.value().host, server.value().port, std::move(done));
}

void DelegationQuery::serversFound(const QString &extension, const Result<QList<DnsServerAddress>> &servers)
{
    Extension &ext = m_extensions[extension];
    if (!servers || servers.value().isEmpty()) {
        unsettle(extension, undecided::NoServers,
                 servers ? QStringLiteral("no name server") : servers.message());
        return;
    }
    ext.servers = servers.value();
    if (!m_options.wildcardGuard) {
        extensionReady(extension);
        return;
    }
    ext.state = ExtensionState::Guarding;
    m_queue.push_front(newJob(randomGuardLabel() + QLatin1Char('.') + extension, extension, true));
    pump();
}

void DelegationQuery::extensionReady(const QString &extension)
{
    Extension &ext = m_extensions[extension];
    ext.state = ExtensionState::Ready;
    for (const JobId id : ext.waiting)
        m_queue.push_back(id);
    ext.waiting.clear();
    pump();
}

void DelegationQuery::unsettle(const QString &extension, const QString &reason, const QString &detail)
{
    Extension &ext = m_extensions[extension];
    ext.state = ExtensionState::Unsettled;
    ext.unsettledReason = reason;
    const std::vector<JobId> waiting = std::move(ext.waiting);
    ext.waiting.clear();
    const quint64 generation = m_generation;
    Q_EMIT extensionUnsettled(extension, reason, detail);
    for (const JobId id : waiting) {
        if (generation != m_generation)
            return; // a handler stopped the run
        finishJob(id, DelegationOutcome::Undecided, reason);
    }
}

void DelegationQuery::pump()
{
    while (m_inFlight < qMax(1, m_options.maxInFlight) && !m_queue.empty()) {
        const JobId id = m_queue.front();
        m_queue.pop_front();
        dispatch(id);
    }
}

qint64 DelegationQuery::throttleMs() const
{
    if (m_options.queriesPerSecond <= 0)
        return 0;
    // The pacer keeps throttle + 1 ms between starts.
    return qMax<qint64>(0, 1000 / m_options.queriesPerSecond - 1);
}

void DelegationQuery::dispatch(JobId id)
{
    Job &job = m_jobs.at(id);
    const Extension &ext = m_extensions.at(job.extension);
    if (job.tries == 0)
        job.serverIndex = m_extensions.at(job.extension).nextServer++ % int(ext.servers.size());
    ++m_inFlight;
    const QString key = pacerKey(ext.servers.at(job.serverIndex));
    // Unpaced questions still wait out the rest of a server that refused.
    if (!m_pacer || (m_options.queriesPerSecond <= 0 && m_pacer->pausedFor(key) <= 0)) {
        send(id);
        return;
    }
    job.ticket = m_pacer->whenReady(
        key, throttleMs(), [alive = std::weak_ptr<int>(m_alive), generation = m_generation, this, id] {
            if (alive.expired() || generation != m_generation)
                return;
            m_jobs.at(id).ticket = 0;
            send(id);
        });
}

void DelegationQuery::send(JobId id)
{
    Job &job = m_jobs.at(id);
    const DnsServerAddress server = m_extensions.at(job.extension).servers.at(job.serverIndex);
    ++job.tries;
    job.evidence.server = server.key();
    const QByteArray query = encodeNsQuery(job.name, quint16(QRandomGenerator::global()->bounded(65536)));
    job.exchange = m_transport.exchange(server, query, m_options.tryTimeoutMs,
                                        [alive = std::weak_ptr<int>(m_alive), generation = m_generation, this,
                                         id](const DnsExchange &exchange) {
                                            if (!alive.expired() && generation == m_generation)
                                                onExchange(id, exchange);
                                        });
}

void DelegationQuery::onExchange(JobId id, const DnsExchange &exchange)
{
    Job &job = m_jobs.at(id);
    job.exchange = 0;
    --m_inFlight;
    const QString key = pacerKey(m_extensions.at(job.extension).servers.at(job.serverIndex));
    if (exchange.ending == DnsExchangeEnding::Replied) {
        const DelegationJudgement judgement = judgeDelegation(exchange.reply, job.name);
        if (judgement.outcome != DelegationOutcome::Ignored) {
            noteReply(key, judgement.reason == undecided::Refused);
            job.evidence.nameServers = judgement.nameServers;
            finishJob(id, judgement.outcome, judgement.reason);
            pump();
            return;
        }
    }
    noteReply(key, true);
    retryOrGiveUp(id, exchange.ending == DnsExchangeEnding::Failed ? undecided::Unreachable
                                                                   : undecided::NoAnswer);
    pump();
}

// A refusal or silence rests the server as a refusing whois server rests; any other reply
// ends its row of refusals.
void DelegationQuery::noteReply(const QString &serverKey, bool refused)
{
    if (!refused) {
        m_refusalsInARow.erase(serverKey);
        return;
    }
    const qint64 pauseMs = backOffMs(++m_refusalsInARow[serverKey], std::nullopt, m_options.backOff);
    if (m_pacer && pauseMs > 0)
        m_pacer->pause(serverKey, pauseMs);
}

void DelegationQuery::retryOrGiveUp(JobId id, const QString &reason)
{
    Job &job = m_jobs.at(id);
    if (job.tries < kTries) {
        job.serverIndex = (job.serverIndex + 1) % int(m_extensions.at(job.extension).servers.size());
        m_queue.push_front(id);
        return;
    }
    finishJob(id, DelegationOutcome::Undecided, reason);
}

void DelegationQuery::finishLater(JobId id, const QString &reason)
{
    later([this, id, reason] { finishJob(id, DelegationOutcome::Undecided, reason); });
}

void DelegationQuery::finishJob(JobId id, DelegationOutcome outcome, const QString &reason)
{
    auto found = m_jobs.find(id);
    if (found == m_jobs.end())
        return;
    Job job = std::move(found->second);
    m_jobs.erase(found);
    DelegationEvidence &evidence = job.evidence;
    evidence.outcome = outcome;
    evidence.reason = outcome == DelegationOutcome::Undecided ? reason : QString();
    evidence.time = QDateTime::currentDateTimeUtc();
    evidence.tries = job.tries;
    evidence.elapsedMs = m_scheduler.now() - job.startedAt;
    if (!job.guard) {
        Q_EMIT finished(evidence);
        return;
    }
    if (outcome == DelegationOutcome::Delegated)
        unsettle(job.extension, undecided::Wildcard,
                 evidence.name + QStringLiteral(" is delegated to ") +
                     evidence.nameServers.join(QLatin1Char(' ')));
    else if (reason == undecided::Refused && m_options.refusedGuardUnsettles)
        unsettle(job.extension, undecided::Refused, evidence.server + QStringLiteral(" refuses questions"));
    else
        extensionReady(job.extension);
}

void DelegationQuery::stop()
{
    ++m_generation;
    for (auto &[id, job] : m_jobs) {
        if (job.exchange != 0)
            m_transport.cancel(job.exchange);
        if (job.ticket != 0 && m_pacer)
            m_pacer->cancel(job.ticket);
    }
    m_jobs.clear();
    m_queue.clear();
    m_inFlight = 0;
    // An extension whose servers or guard were still on their way starts over next time.
    std::erase_if(m_extensions, [](const auto &entry) {
        return entry.second.state == ExtensionState::FindingServers ||
               entry.second.state == ExtensionState::Guarding;
    });
}

} // namespace wendlecott::core
