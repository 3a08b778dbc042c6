#include "core/run/DnsFirstStep.h"

#include "core/dns/DnsMessage.h"

#include <QUrl>

namespace wendlecott::core {

namespace {

// The name as the delegation query gives it back: IDNA form, lower case, no final dot (the
// name itself when that leaves nothing).
QString askedForm(const QString &domain)
{
    const QString ascii = dnsCanonicalName(QString::fromLatin1(QUrl::toAce(domain.trimmed())));
    return ascii.isEmpty() ? domain : ascii;
}

} // namespace

LookupEvidence delegatedEvidence(const DelegationEvidence &delegation)
{
    LookupEvidence evidence;
    evidence.name = delegation.name;
    evidence.verdict = LookupVerdict::Registered;
    evidence.protocol = LookupProtocol::Dns;
    evidence.ending = LookupEnding::Answered;
    if (const Result<DnsServerAddress> server = parseDnsServer(delegation.server); server) {
        evidence.server = server.value().host;
        evidence.port = server.value().port;
    } else {
        evidence.server = delegation.server;
    }
    evidence.rule = delegationOutcomeName(delegation.outcome);
    evidence.nameServers = delegation.nameServers;
    evidence.time = delegation.time;
    evidence.elapsedMs = delegation.elapsedMs;
    evidence.connections = delegation.tries;
    return evidence;
}

DnsFirstStep::DnsFirstStep(DnsTransport &transport, Scheduler &scheduler, ServerPacer &pacer,
                           DelegationOptions options, QObject *parent)
    : QObject(parent), m_query(transport, scheduler, &pacer, std::move(options))
{
    connect(&m_query, &DelegationQuery::finished, this, &DnsFirstStep::onFinished);
    connect(&m_query, &DelegationQuery::extensionUnsettled, this,
            [this](const QString &extension, const QString &reason, const QString &detail) {
                Q_EMIT extensionUnsettled(unsettledText(extension, reason, detail));
            });
}

DnsFirstStep::~DnsFirstStep() = default;

QString DnsFirstStep::unsettledText(const QString &extension, const QString &reason, const QString &detail)
{
    const QString why = reason == undecided::Wildcard  ? QStringLiteral("a made-up name there is delegated")
                        : reason == undecided::Refused ? detail
                                                       : QStringLiteral("no name server: %1").arg(detail);
    return QStringLiteral(
               "No name under .%1 can be settled by DNS (%2); its names are asked of the registry.")
        .arg(extension, why);
}

void DnsFirstStep::ask(const QString &domain, qint32 position)
{
    m_waiting.emplace(askedForm(domain), Waiting{domain, position});
    m_query.ask(domain);
}

void DnsFirstStep::stop()
{
    m_query.stop();
    m_waiting.clear();
}

void DnsFirstStep::onFinished(const DelegationEvidence &evidence)
{
    const auto found = m_waiting.find(evidence.name);
    if (found == m_waiting.end())
        return; // asked before a stop
    const Waiting waiting = found->second;
    m_waiting.erase(found);
    if (evidence.outcome == DelegationOutcome::Delegated) {
        LookupEvidence settled = delegatedEvidence(evidence);
        settled.name = waiting.domain; // filed as the run asked it
        Q_EMIT delegated(settled, waiting.position);
    } else {
        Q_EMIT passedOn(waiting.domain, waiting.position);
    }
}

} // namespace wendlecott::core
