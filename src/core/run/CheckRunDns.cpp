// The run engine's step before the registry: a run that asks DNS first hands each name to
// its DnsFirstStep, files the delegated ones and queues the rest on their servers.
#include "core/run/CheckRun.h"
#include "core/tld/TldTable.h"

namespace wendlecott::core {

// A run that asks DNS first gets a delegation step of its own: each extension's servers and
// wildcard guard are found once a run.
void CheckRun::startDnsStep()
{
    m_dns.reset();
    if (!m_policy.dnsFirst.enabled)
        return;
    DnsTransport *transport = m_env.dnsTransport ? m_env.dnsTransport() : nullptr;
    if (!transport) {
        Q_EMIT dnsUnsettled(QStringLiteral("DNS cannot be asked here; every name is asked of the registry."));
        return;
    }
    DelegationOptions options;
    options.tryTimeoutMs = m_timing.dnsTryTimeoutMs;
    options.queriesPerSecond = qMax(0, m_policy.dnsFirst.queriesPerSecond);
    options.serverOverride = m_policy.dnsFirst.server;
    options.backOff = m_policy.backOff;
    options.refusedGuardUnsettles = true;
    m_dns = std::make_unique<DnsFirstStep>(*transport, m_scheduler, m_pacer, options);
    connect(m_dns.get(), &DnsFirstStep::delegated, this, &CheckRun::onDelegated);
    connect(m_dns.get(), &DnsFirstStep::passedOn, this, &CheckRun::onPassedOn);
    connect(m_dns.get(), &DnsFirstStep::extensionUnsettled, this, [this](const QString &text) {
        setPanel(2, text);
        Q_EMIT dnsUnsettled(text);
    });
}

void CheckRun::onDelegated(const LookupEvidence &evidence, qint32 position)
{
    if (m_stopFlag)
        return;
    file(evidence, position);
    afterChange();
}

// Not settled by DNS: the name goes to its registry as it would without the step (the table
// may have changed meanwhile).
void CheckRun::onPassedOn(const QString &domain, qint32 position)
{
    if (m_stopFlag)
        return;
    const Result<LookupRoute> route = routeLookup(domain, m_env.table, m_env.services, m_env.choices());
    if (!route) {
        Q_EMIT namePassedOver(domain, m_filer.passOver(domain, route.message()));
        finishDomain(position);
    } else {
        queueOnServer(domain, position, route.value());
    }
    afterChange();
}

} // namespace wendlecott::core
