#include "core/lookup/DomainLookup.h"

#include "core/lookup/LookupSlot.h"
#include "core/lookup/RdapBootstrap.h"
#include "core/lookup/RdapQuery.h"
#include "core/lookup/WhoisQuery.h"
#include "core/tld/WhoisRequest.h"

namespace wendlecott::core {

namespace {

Result<LookupRoute> whoisRoute(const QString &name, const TldTable &table, const LookupChoices &choices)
{
    LookupRoute route;
    route.protocol = LookupProtocol::Whois;
    const int row = name.isEmpty() ? -1 : findTLD(table, name, choices.useProxy);
    if (row >= 0 && row < table.size()) {
        route.row = row;
        route.entry = table.at(row);
        if (!route.entry.server.isEmpty() || choices.whoisFallback.host.isEmpty())
            return route;
    } else if (choices.whoisFallback.host.isEmpty()) {
        return Result<LookupRoute>::failure(ErrorCode::NoTldRow,
                                            QStringLiteral("No TLD row serves %1").arg(name));
    }
    // No row, or a row without a server: the fallback server, judged with the standard words.
    route.entry.server = choices.whoisFallback.host;
    route.entry.port = choices.whoisFallback.port;
    if (route.entry.successWords.isEmpty())
        route.entry.successWords = kStandardSuccessWords;
    return route;
}

std::optional<LookupRoute> rdapRoute(const QString &name, const TldTable &table,
                                     const LookupServices &services, const LookupChoices &choices)
{
    if (!services.bootstrap || !services.http)
        return std::nullopt;
    const QString extension = services.bootstrap->extensionFor(name);
    const std::optional<QUrl> base = services.bootstrap->baseUrlFor(name);
    if (extension.isEmpty() || !base)
        return std::nullopt;
    LookupRoute route;
    route.protocol = LookupProtocol::Rdap;
    route.extension = extension;
    route.url = rdapDomainUrl(*base, name);
    if (!route.url.isValid())
        return std::nullopt;
    // A row that serves the name still sets the pace.
    const int row = findTLD(table, name, choices.useProxy);
    if (row >= 0 && row < table.size() && table.at(row).extension == extension) {
        route.row = row;
        route.entry = table.at(row);
    }
    return route;
}

} // namespace

LookupChoices LookupChoices::described(bool useProxy)
{
    LookupChoices choices;
    choices.useProxy = useProxy;
    return choices;
}

LookupChoices LookupChoices::forPreference(bool useRdap, bool useProxy)
{
    LookupChoices choices = described(useProxy);
    if (useRdap) {
        choices.protocol = LookupProtocol::Auto;
        choices.rules = VerdictRules::Evidence;
    }
    return choices;
}

QString LookupRoute::serverKey() const
{
    if (protocol == LookupProtocol::Rdap)
        return QStringLiteral("%1://%2:%3").arg(url.scheme(), url.host()).arg(httpPort(url));
    return QStringLiteral("%1:%2").arg(entry.server).arg(entry.port);
}

int LookupRoute::throttleMs() const
{
    return row >= 0 ? entry.throttle : kDefaultThrottle;
}

Result<LookupRoute> routeLookup(const QString &name, const TldTable &table, const LookupServices &services,
                                const LookupChoices &choices)
{
    if (choices.protocol != LookupProtocol::Whois && !name.isEmpty()) {
        if (std::optional<LookupRoute> route = rdapRoute(name, table, services, choices))
            return *std::move(route);
        if (choices.protocol == LookupProtocol::Rdap)
            return Result<LookupRoute>::failure(
                ErrorCode::NoTldRow,
                QStringLiteral("No RDAP service for %1 in the bootstrap file").arg(name));
    }
    return whoisRoute(name, table, choices);
}

DomainLookup::DomainLookup(WhoisStyle style, std::unique_ptr<WhoisConnection> connection,
                           const TldTable &table, LookupServices services, Scheduler &scheduler,
                           const Timing &timing, int slotNumber, QObject *parent)
    : QObject(parent)
    , m_style(style)
    , m_slotNumber(slotNumber)
    , m_table(table)
    , m_services(services)
    , m_scheduler(scheduler)
    , m_timing(timing)
    , m_timeLimit(scheduler)
{
    if (style == WhoisStyle::Retrying) {
        m_slot = std::make_unique<LookupSlot>(slotNumber, std::move(connection), scheduler, timing);
        connect(m_slot.get(), &LookupSlot::statusText, this, &DomainLookup::statusText);
        connect(m_slot.get(), &LookupSlot::finished, this, &DomainLookup::onWhoisAnswer);
        connect(m_slot.get(), &LookupSlot::requestSent, this, &DomainLookup::requestSent);
    } else {
        m_query = std::make_unique<WhoisQuery>(std::move(connection), scheduler);
        connect(m_query.get(), &WhoisQuery::connected, this, &DomainLookup::onConnected);
        connect(m_query.get(), &WhoisQuery::finished, this, &DomainLookup::onWhoisAnswer);
    }
}

DomainLookup::~DomainLookup()
{
    cancel();
}

void DomainLookup::setStopCheck(std::function<bool()> isStopped)
{
    if (m_slot)
        m_slot->setStopCheck(std::move(isStopped));
}

Status DomainLookup::start(const QString &name, const LookupChoices &choices)
{
    Result<LookupRoute> route = routeLookup(name, m_table, m_services, choices);
    if (!route) {
        cancel();
        m_name = name;
        return route.status();
    }
    start(name, route.value(), choices);
    return {};
}

void DomainLookup::start(const QString &name, const LookupRoute &route, const LookupChoices &choices)
{
    cancel();
    m_name = name;
    m_route = route;
    m_choices = choices;
    m_failure.clear();
    m_startedAt = m_scheduler.now();
    m_running = true;
    if (choices.timeLimitMs > 0)
        m_timeLimit.start(choices.timeLimitMs, [this] { onTimeLimit(); });
    if (route.protocol == LookupProtocol::Rdap)
        startRdap(choices);
    else
        startWhois(choices);
}

void DomainLookup::startWhois(const LookupChoices &)
{
    if (m_slot) {
        m_slot->startLookup(m_name, m_route.entry);
        return;
    }
    Q_EMIT statusText(QStringLiteral("connecting(%1): - Search String: %2").arg(m_slotNumber).arg(m_name));
    WhoisQueryOptions options; // SingleExchange: the time limit ends it (see start)
    m_query->start({m_route.entry.server, m_route.entry.port}, whoisRequest(m_name), std::move(options));
}

void DomainLookup::startRdap(const LookupChoices &)
{
    if (!m_services.http) {
        // A route made elsewhere, and no client to ask with: no answer, from the event loop.
        m_timeLimit.start(0, [this] {
            LookupEvidence evidence = evidenceSoFar();
            evidence.ending = LookupEnding::NoConnection;
            evidence.rule = QStringLiteral("no-answer");
            evidence.reason = QStringLiteral("no HTTP client");
            finish(std::move(evidence));
        });
        return;
    }
    if (!m_rdap) {
        m_rdap = std::make_unique<RdapQuery>(*m_services.http);
        connect(m_rdap.get(), &RdapQuery::finished, this, &DomainLookup::onRdapFinished);
    }
    Q_EMIT statusText(QStringLiteral("rdap(%1): - Search String: %2").arg(m_slotNumber).arg(m_name));
    m_rdap->start(m_route.url, m_timing.rdapTimeoutMs);
}

void DomainLookup::cancel()
{
    m_timeLimit.cancel();
    if (m_slot)
        m_slot->abort();
    if (m_query)
        m_query->cancel();
    if (m_rdap)
        m_rdap->cancel();
    m_running = false;
}

QString DomainLookup::remoteHost() const
{
    if (m_route.protocol == LookupProtocol::Rdap)
        return m_route.url.host();
    if (m_slot)
        return m_slot->remoteHost();
    return m_query->remoteHost();
}

LookupEvidence DomainLookup::evidenceSoFar() const
{
    LookupEvidence evidence;
    evidence.name = m_name;
    evidence.protocol = m_route.protocol;
    evidence.rules = m_choices.rules;
    evidence.elapsedMs = m_scheduler.now() - m_startedAt;
    if (m_route.protocol == LookupProtocol::Rdap) {
        evidence.server = m_route.url.host();
        evidence.port = httpPort(m_route.url);
        evidence.url = m_route.url.toString();
        return evidence;
    }
    const QString host = remoteHost();
    evidence.server = host.isEmpty() ? m_route.entry.server : host;
    evidence.port = m_route.entry.port;
    const QByteArray &bytes = m_slot ? m_slot->responseBytes() : m_query->answerBytes();
    evidence.answerBytes = bytes.size();
    evidence.answer = whoisAnswerText(bytes);
    evidence.connections = m_slot ? m_slot->reconnectCount() + 1 : 1;
    return evidence;
}

void DomainLookup::onTimeLimit()
{
    if (!m_running)
        return;
    LookupEvidence evidence = evidenceSoFar();
    evidence.verdict = LookupVerdict::Unknown;
    evidence.ending = LookupEnding::TimedOut;
    evidence.rule = QStringLiteral("time-out");
    evidence.reason = m_failure;
    cancel(); // the connection or fetch goes; what arrived is in the evidence
    Q_EMIT finished(evidence);
}

// The registrar test's time limit counts from the connection.
void DomainLookup::onConnected()
{
    if (m_running && m_choices.limitFromConnection && m_choices.timeLimitMs > 0)
        m_timeLimit.start(m_choices.timeLimitMs, [this] { onTimeLimit(); });
}

void DomainLookup::onWhoisAnswer(const WhoisAnswer &answer)
{
    if (!m_running)
        return;
    const bool unanswered = answer.ending == WhoisEnding::NoConnection ||
                            (m_choices.answerOrTimeLimit && answer.ending == WhoisEnding::SendFailed);
    if ((m_choices.limitFromConnection || m_choices.answerOrTimeLimit) && unanswered &&
        m_timeLimit.isActive()) {
        m_failure = answer.reason; // no verdict of its own: the time limit ends the lookup
        return;
    }
    LookupEvidence evidence = evidenceSoFar();
    const WhoisRules rules{
        m_choices.rules, m_choices.successWordsNow ? m_choices.successWordsNow() : m_route.entry.successWords,
        m_services.judge};
    judgeExchange(evidence, answer, rules);
    finish(std::move(evidence));
}

void DomainLookup::onRdapFinished(const HttpResponse &response)
{
    if (!m_running)
        return;
    LookupEvidence evidence = evidenceSoFar();
    judgeExchange(evidence, response);
    finish(std::move(evidence));
}

void DomainLookup::finish(LookupEvidence evidence)
{
    m_timeLimit.cancel();
    m_running = false;
    Q_EMIT finished(evidence); // last: a handler may start the next lookup
}

} // namespace wendlecott::core
