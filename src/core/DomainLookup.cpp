#include "core/DomainLookup.h"

#include "core/EvidenceJudge.h"
#include "core/LookupSlot.h"
#include "core/RdapBootstrap.h"
#include "core/RdapQuery.h"
#include "core/WhoisQuery.h"
#include "core/WhoisRequest.h"

#include <QDateTime>
#include <QJsonValue>

namespace wendlecott::core {

namespace {

struct Named {
    const char *name;
    int value;
};

constexpr Named kProtocols[] = {{"whois", int(LookupProtocol::Whois)},
                                {"rdap", int(LookupProtocol::Rdap)},
                                {"auto", int(LookupProtocol::Auto)}};
constexpr Named kRules[] = {{"words", int(VerdictRules::SuccessWords)},
                            {"evidence", int(VerdictRules::Evidence)}};

template <std::size_t N> QString nameOf(const Named (&table)[N], int value)
{
    for (const Named &entry : table) {
        if (entry.value == value)
            return QString::fromLatin1(entry.name);
    }
    return {};
}

template <std::size_t N> std::optional<int> valueOf(const Named (&table)[N], const QString &name)
{
    for (const Named &entry : table) {
        if (name.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0)
            return entry.value;
    }
    return std::nullopt;
}

// The extension a whois answer is judged under: everything after the name's first label.
QString extensionOf(const QString &name)
{
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.mid(dot + 1);
}

const EvidenceJudge &builtInJudge()
{
    static const EvidenceJudge judge;
    return judge;
}

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

QString protocolName(LookupProtocol protocol)
{
    return nameOf(kProtocols, int(protocol));
}

std::optional<LookupProtocol> protocolFromName(const QString &name)
{
    const std::optional<int> value = valueOf(kProtocols, name);
    return value ? std::optional<LookupProtocol>(LookupProtocol(*value)) : std::nullopt;
}

QString rulesName(VerdictRules rules)
{
    return nameOf(kRules, int(rules));
}

std::optional<VerdictRules> rulesFromName(const QString &name)
{
    const std::optional<int> value = valueOf(kRules, name);
    return value ? std::optional<VerdictRules>(VerdictRules(*value)) : std::nullopt;
}

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
    if (protocol == LookupProtocol::Rdap) {
        const int defaultPort = url.scheme() == QLatin1String("https") ? 443 : 80;
        return QStringLiteral("%1://%2:%3").arg(url.scheme(), url.host()).arg(url.port(defaultPort));
    }
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

QString endingName(LookupEnding ending)
{
    switch (ending) {
    case LookupEnding::Answered:
        return QStringLiteral("answered");
    case LookupEnding::CapReached:
        return QStringLiteral("cap-reached");
    case LookupEnding::NoConnection:
        return QStringLiteral("no-connection");
    case LookupEnding::SendFailed:
        return QStringLiteral("send-failed");
    case LookupEnding::TimedOut:
        return QStringLiteral("timed-out");
    case LookupEnding::TooLarge:
        return QStringLiteral("too-large");
    case LookupEnding::TooManyRedirects:
        return QStringLiteral("redirects");
    case LookupEnding::Stopped:
        return QStringLiteral("stopped");
    }
    return {};
}

QJsonObject evidenceJson(const LookupEvidence &evidence, bool withAnswer)
{
    QJsonObject object;
    object.insert(QStringLiteral("name"), evidence.name);
    object.insert(QStringLiteral("verdict"), verdictName(evidence.verdict));
    object.insert(QStringLiteral("protocol"), protocolName(evidence.protocol));
    if (evidence.protocol == LookupProtocol::Whois)
        object.insert(QStringLiteral("rules"), rulesName(evidence.rules));
    object.insert(QStringLiteral("server"), evidence.server);
    object.insert(QStringLiteral("port"), int(evidence.port));
    if (!evidence.url.isEmpty())
        object.insert(QStringLiteral("url"), evidence.url);
    object.insert(QStringLiteral("rule"), evidence.rule);
    if (!evidence.matchedWord.isEmpty())
        object.insert(QStringLiteral("word"), evidence.matchedWord);
    if (!evidence.evidenceLine.isEmpty())
        object.insert(QStringLiteral("evidence"), evidence.evidenceLine);
    if (evidence.protocol == LookupProtocol::Rdap)
        object.insert(QStringLiteral("status"), evidence.httpStatus);
    if (evidence.retryAfterSeconds)
        object.insert(QStringLiteral("retryAfter"), double(*evidence.retryAfterSeconds));
    object.insert(QStringLiteral("bytes"), double(evidence.answerBytes));
    object.insert(QStringLiteral("ms"), double(evidence.elapsedMs));
    if (evidence.protocol == LookupProtocol::Whois)
        object.insert(QStringLiteral("connections"), evidence.connections);
    object.insert(QStringLiteral("ending"), endingName(evidence.ending));
    if (!evidence.reason.isEmpty())
        object.insert(QStringLiteral("reason"), evidence.reason);
    if (withAnswer)
        object.insert(QStringLiteral("answer"), evidence.answer);
    return object;
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
        connect(m_slot.get(), &LookupSlot::finished, this, &DomainLookup::onSlotFinished);
        connect(m_slot.get(), &LookupSlot::connectionFailed, this, &DomainLookup::onSlotConnectionFailed);
        connect(m_slot.get(), &LookupSlot::requestSent, this, &DomainLookup::requestSent);
    } else {
        m_query = std::make_unique<WhoisQuery>(std::move(connection), scheduler);
        connect(m_query.get(), &WhoisQuery::finished, this, &DomainLookup::onQueryFinished);
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
    m_rules = choices.rules;
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
    evidence.rules = m_rules;
    evidence.elapsedMs = m_scheduler.now() - m_startedAt;
    if (m_route.protocol == LookupProtocol::Rdap) {
        evidence.server = m_route.url.host();
        evidence.port = quint16(m_route.url.port(m_route.url.scheme() == QLatin1String("https") ? 443 : 80));
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
    cancel(); // the connection or fetch goes; what arrived is in the evidence
    Q_EMIT finished(evidence);
}

void DomainLookup::onSlotFinished(const LookupOutcome &outcome)
{
    if (!m_running)
        return;
    LookupEvidence evidence = evidenceSoFar();
    evidence.server = outcome.server.isEmpty() ? m_route.entry.server : outcome.server;
    evidence.port = outcome.port;
    evidence.answer = outcome.response;
    evidence.ending = m_slot->responseBytes().size() >= kMaxResponseBytes ? LookupEnding::CapReached
                                                                          : LookupEnding::Answered;
    judgeWhois(evidence);
    finish(std::move(evidence));
}

void DomainLookup::onSlotConnectionFailed(const QString &reason)
{
    if (!m_running)
        return;
    LookupEvidence evidence = evidenceSoFar();
    evidence.ending = LookupEnding::NoConnection;
    evidence.reason = reason;
    evidence.verdict = LookupVerdict::Unknown; // no answer: nothing to judge
    evidence.rule = endingName(evidence.ending);
    finish(std::move(evidence));
}

void DomainLookup::onQueryFinished(const WhoisAnswer &answer)
{
    if (!m_running)
        return;
    LookupEvidence evidence = evidenceSoFar();
    evidence.server = answer.host.isEmpty() ? m_route.entry.server : answer.host;
    evidence.port = answer.port != 0 ? answer.port : m_route.entry.port;
    evidence.answer = answer.text;
    evidence.answerBytes = answer.bytes.size();
    evidence.reason = answer.reason;
    switch (answer.ending) {
    case WhoisEnding::ServerClosed:
    case WhoisEnding::CapReached:
        evidence.ending =
            answer.ending == WhoisEnding::CapReached ? LookupEnding::CapReached : LookupEnding::Answered;
        judgeWhois(evidence);
        break;
    case WhoisEnding::NoConnection:
    case WhoisEnding::SendFailed:
    case WhoisEnding::TimedOut:
        evidence.ending = answer.ending == WhoisEnding::NoConnection ? LookupEnding::NoConnection
                          : answer.ending == WhoisEnding::SendFailed ? LookupEnding::SendFailed
                                                                     : LookupEnding::TimedOut;
        evidence.verdict = LookupVerdict::Unknown; // no whole answer: nothing to judge
        evidence.rule = endingName(evidence.ending);
        break;
    }
    finish(std::move(evidence));
}

void DomainLookup::judgeWhois(LookupEvidence &evidence) const
{
    if (m_rules == VerdictRules::Evidence) {
        const EvidenceJudge &judge = m_services.judge ? *m_services.judge : builtInJudge();
        const EvidenceJudgement judgement = judge.judge(evidence.answer, extensionOf(m_name), m_name);
        evidence.verdict = judgement.verdict;
        evidence.rule = judgement.rule;
        evidence.evidenceLine = judgement.evidence;
        return;
    }
    const Judgement judgement = judgeResponse(evidence.answer, m_route.entry.successWords);
    evidence.verdict = judgement.verdict;
    evidence.matchedWord = judgement.matchedWord;
    switch (judgement.verdict) {
    case LookupVerdict::Available:
        evidence.rule = QStringLiteral("success-word");
        break;
    case LookupVerdict::Blocked:
        evidence.rule = QStringLiteral("blocked-word");
        break;
    default:
        evidence.rule = QStringLiteral("no-success-word");
        break;
    }
}

void DomainLookup::onRdapFinished(const HttpResponse &response)
{
    if (!m_running)
        return;
    LookupEvidence evidence = evidenceSoFar();
    const RdapJudgement judgement = judgeRdapAnswer(response, m_name);
    evidence.verdict = judgement.verdict;
    evidence.rule = judgement.rule;
    evidence.httpStatus = response.status;
    if (response.finalUrl.isValid() && !response.finalUrl.isEmpty())
        evidence.url = response.finalUrl.toString();
    evidence.answerBytes = response.body.size();
    evidence.answer = whoisAnswerText(response.body);
    evidence.reason = response.error;
    evidence.retryAfterSeconds =
        retryAfterSeconds(response.header(QByteArrayLiteral("Retry-After")), QDateTime::currentDateTimeUtc());
    switch (response.ending) {
    case HttpEnding::Finished:
        evidence.ending = LookupEnding::Answered;
        break;
    case HttpEnding::NetworkError:
        evidence.ending = LookupEnding::NoConnection;
        break;
    case HttpEnding::TooLarge:
        evidence.ending = LookupEnding::TooLarge;
        break;
    case HttpEnding::TimedOut:
        evidence.ending = LookupEnding::TimedOut;
        break;
    case HttpEnding::TooManyRedirects:
        evidence.ending = LookupEnding::TooManyRedirects;
        break;
    }
    finish(std::move(evidence));
}

void DomainLookup::finish(LookupEvidence evidence)
{
    m_timeLimit.cancel();
    m_running = false;
    Q_EMIT finished(evidence); // last: a handler may start the next lookup
}

} // namespace wendlecott::core
