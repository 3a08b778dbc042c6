#pragma once

#include "core/dns/DelegationQuery.h"
#include "core/lookup/LookupEvidence.h"

#include <QObject>
#include <QString>

#include <map>

namespace wendlecott::core {

// Whether a run asks DNS first, and how (the settings DnsFirst, DnsServer,
// DnsQueriesPerSecond, or the command line's options).
struct DnsFirstChoices {
    bool enabled = false;
    QString server;             // "host:port"; empty: each extension's own name servers
    int queriesPerSecond = 200; // per name server; 0: unpaced
};

// The evidence of a name settled by its delegation: Registered over DNS, with the server
// asked, the NS names and the time of the reply.
LookupEvidence delegatedEvidence(const DelegationEvidence &delegation);

// The run's step before whois and RDAP: every name is asked of its extension's name servers
// through one DelegationQuery. A delegated name comes back settled; any other outcome hands
// the name on to the registry. Each extension that DNS cannot settle is told once.
class DnsFirstStep : public QObject {
    Q_OBJECT
public:
    DnsFirstStep(DnsTransport &transport, Scheduler &scheduler, ServerPacer &pacer, DelegationOptions options,
                 QObject *parent = nullptr);
    ~DnsFirstStep() override;

    // Asks about `domain`, taken from the entry at `position`.
    void ask(const QString &domain, qint32 position);
    // Drops every question without a signal.
    void stop();
    // Names asked and not yet settled or handed on.
    int pendingCount() const { return int(m_waiting.size()); }

    // "No name under .EXT can be settled by DNS (why); its names are asked of the registry."
    static QString unsettledText(const QString &extension, const QString &reason, const QString &detail);

Q_SIGNALS:
    void delegated(const wendlecott::core::LookupEvidence &evidence, qint32 position);
    void passedOn(const QString &domain, qint32 position);
    void extensionUnsettled(const QString &text);

private:
    struct Waiting {
        QString domain;
        qint32 position = 0;
    };
    void onFinished(const DelegationEvidence &evidence);

    DelegationQuery m_query;
    std::multimap<QString, Waiting> m_waiting; // by the name as the query gives it back
};

} // namespace wendlecott::core
