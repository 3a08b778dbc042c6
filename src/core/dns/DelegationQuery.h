#pragma once

#include "core/base/Scheduler.h"
#include "core/dns/DelegationJudge.h"
#include "core/dns/DnsTransport.h"
#include "core/pacing/BackOff.h"
#include "core/pacing/ServerPacer.h"

#include <QDateTime>
#include <QJsonObject>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace wendlecott::core {

// The answer of the delegation check about one name, with what it rests on.
struct DelegationEvidence {
    QString name;                                             // as asked (IDNA form)
    DelegationOutcome outcome = DelegationOutcome::Undecided; // never Ignored
    QString server;          // the name server that answered or was asked last, "host:port"
    QStringList nameServers; // Delegated: the NS names of the name
    QDateTime time;          // when the deciding reply arrived (UTC)
    QString reason;          // Undecided: a code of namespace undecided
    int tries = 0;           // questions sent (1 or 2)
    qint64 elapsedMs = 0;

    // name, protocol ("dns"), outcome, server, nameServers, time (ISO 8601), reason, tries, ms.
    QJsonObject json() const;
};

struct DelegationOptions {
    qint64 tryTimeoutMs = 2000; // each of the two tries waits this long for its reply
    // Questions waiting for a reply at most, all servers together; the others queue.
    int maxInFlight = 256;
    // Per name server; 0 asks without pace. Paced only when the query has a pacer.
    int queriesPerSecond = 200;
    // The DnsServer setting: every question goes to this server ("host:port"); empty: the
    // extensions' own name servers from the system's resolver.
    QString serverOverride;
    // A random 20-letter label is asked of each extension before its names.
    bool wildcardGuard = true;
    // A server that refused or stayed silent rests this long before its next question
    // (firstMs 0: not at all). Needs the pacer; kept also when the questions are unpaced.
    BackOffRules backOff{0, 0, 0};
    // An extension whose guard question is refused cannot be settled here either (a mirror
    // that does not hold its zone): its names are not asked, so they cost the server no rest.
    bool refusedGuardUnsettles = false;
};

// The delegation check of one run: asks the name servers of each name's extension, without
// recursion, for the name's NS records, and tells for every name whether it is delegated.
// Many names are in flight at once. Per extension, once for the life of the object (one
// run): its name servers are found (or the override is resolved), then a random label is
// asked; an extension that delegates that label delegates any name and cannot be settled
// here. A question not answered within tryTimeoutMs is asked once more of the extension's
// next server (the same one when it has one); a reply that matches no question is dropped.
//
// ask(name) --(extension known? else: find servers, guard)--> queued --in-flight room,
//   pacer turn--> asked --reply | silence after the retry--> finished(evidence)
// finished() comes from the event loop, never from inside ask(); a handler may ask again.
class DelegationQuery : public QObject {
    Q_OBJECT
public:
    DelegationQuery(DnsTransport &transport, Scheduler &scheduler, ServerPacer *pacer,
                    DelegationOptions options, QObject *parent = nullptr);
    ~DelegationQuery() override;

    // Asks about `name` (a domain; Unicode names are asked in IDNA form). The extension is
    // everything after the first label.
    void ask(const QString &name);
    // Drops every question and waiting name without a signal.
    void stop();
    // Names asked and not yet finished.
    int pendingCount() const { return int(m_jobs.size()); }

Q_SIGNALS:
    void finished(const wendlecott::core::DelegationEvidence &evidence);
    // Once per extension: its names cannot be settled by DNS (reason: undecided::Wildcard,
    // undecided::NoServers with the resolver's message in `detail`, or undecided::Refused). Its names still
    // finish, each Undecided with that reason.
    void extensionUnsettled(const QString &extension, const QString &reason, const QString &detail);

private:
    enum class ExtensionState { FindingServers, Guarding, Ready, Unsettled };
    struct Extension {
        ExtensionState state = ExtensionState::FindingServers;
        QList<DnsServerAddress> servers;
        std::vector<quint64> waiting; // jobs of names asked before the extension was ready
        QString unsettledReason;
        int nextServer = 0;
    };
    struct Job {
        QString name;
        QString extension;
        bool guard = false;
        int tries = 0;
        int serverIndex = 0;
        qint64 startedAt = 0;
        DnsTransport::ExchangeId exchange = 0;
        ServerPacer::Ticket ticket = 0;
        DelegationEvidence evidence;
    };
    using JobId = quint64;

    void startExtension(const QString &extension);
    void serversFound(const QString &extension, const Result<QList<DnsServerAddress>> &servers);
    void extensionReady(const QString &extension);
    void unsettle(const QString &extension, const QString &reason, const QString &detail);
    JobId newJob(const QString &name, const QString &extension, bool guard);
    void pump();
    void dispatch(JobId id);
    void send(JobId id);
    void onExchange(JobId id, const DnsExchange &exchange);
    void retryOrGiveUp(JobId id, const QString &reason);
    void noteReply(const QString &serverKey, bool refused);
    void finishJob(JobId id, DelegationOutcome outcome, const QString &reason);
    void finishLater(JobId id, const QString &reason);
    // Runs `work` from the event loop unless this object or its run went away first.
    void later(std::function<void()> work);
    qint64 throttleMs() const;

    DnsTransport &m_transport;
    Scheduler &m_scheduler;
    ServerPacer *m_pacer;
    DelegationOptions m_options;
    std::map<QString, Extension> m_extensions;
    std::map<JobId, Job> m_jobs;
    std::deque<JobId> m_queue;
    std::map<QString, int> m_refusalsInARow; // by the server's key in the pacer
    JobId m_nextJob = 1;
    int m_inFlight = 0;
    quint64 m_generation = 0; // counts stop(), so callbacks of dropped work are noticed
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

// A label of 20 random letters a-z: a name no registry has.
QString randomGuardLabel();

} // namespace wendlecott::core

Q_DECLARE_METATYPE(wendlecott::core::DelegationEvidence)
