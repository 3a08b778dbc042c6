#pragma once

#include "core/base/Result.h"
#include "core/base/Scheduler.h"
#include "core/base/Timing.h"
#include "core/lookup/HttpClient.h"
#include "core/lookup/LookupEvidence.h"
#include "core/lookup/Verdict.h"
#include "core/lookup/WhoisConnection.h"
#include "core/tld/TldTable.h"

#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

namespace wendlecott::core {

class EvidenceJudge;
class LookupSlot;
class RdapBootstrap;
class RdapQuery;
class WhoisQuery;

// What the user chose for a lookup.
struct LookupChoices {
    LookupProtocol protocol = LookupProtocol::Whois;
    VerdictRules rules = VerdictRules::SuccessWords;
    bool useProxy = false; // whois lookups go to the "proxy" row
    // The whois server asked when no TLD row serves a name; an empty host: none, and such a
    // name has no route.
    WhoisServer whoisFallback;
    // The lookup ends as timed out (verdict Unknown) when it has no verdict this long after
    // its start (a limit from core::Timing); 0: no limit of its own (a run's watchdog gives up
    // on it).
    qint64 timeLimitMs = 0;
    // The registrar test's way (SingleExchange): the time limit counts anew from the
    // connection, and a connection that cannot be made gives no verdict of its own but ends
    // in the time limit.
    bool limitFromConnection = false;
    // A whois exchange that ends without an answer (no connection, a failed send) gives no
    // verdict of its own: the time limit ends the lookup (the browse window's way).
    bool answerOrTimeLimit = false;
    // When set, the success words are read from here when the answer is judged instead of
    // from the row (the registrar test judges with what its success box holds then).
    std::function<QString()> successWordsNow;

    // Whois with the success words: the program's described lookup.
    static LookupChoices described(bool useProxy);
    // The preference "Use RDAP where the registry offers it": on, RDAP where the bootstrap
    // has the extension and the evidence rules for whois answers; off, the described lookup.
    static LookupChoices forPreference(bool useRdap, bool useProxy);
};

// What a lookup may need besides its whois connection. A service left null is not there:
// without bootstrap or HTTP client no name goes over RDAP; without a judge the built-in
// evidence rules judge.
struct LookupServices {
    const RdapBootstrap *bootstrap = nullptr;
    HttpClient *http = nullptr;
    const EvidenceJudge *judge = nullptr;
};

// Where a name goes.
struct LookupRoute {
    LookupProtocol protocol = LookupProtocol::Whois; // Whois or Rdap, never Auto
    int row = -1;      // the TLD row that serves the name, or -1 (RDAP and the fallback need none)
    TldEntry entry;    // whois: server, port and success words asked with
    QUrl url;          // RDAP: the address asked
    QString extension; // RDAP: the bootstrap's extension that serves the name
    // The server the lookup talks to, as a pace is kept per server: "host:port" for whois,
    // the scheme, host and port of the address for RDAP.
    QString serverKey() const;
    // The pause before the next lookup: the row's throttle, else the default throttle.
    int throttleMs() const;
};

// Where `name` goes under `choices`. NoTldRow when nothing serves it: no row (and no
// fallback) for whois, no bootstrap entry (or no HTTP client) for RDAP.
Result<LookupRoute> routeLookup(const QString &name, const TldTable &table, const LookupServices &services,
                                const LookupChoices &choices);

// How the whois half of a lookup treats a server that does not finish its answer.
enum class WhoisStyle {
    Retrying,       // the run's way: reconnect at the reconnect tick, without limit of its own
    SingleExchange, // one exchange (the WHOIS window's way)
};

// One lookup of one name, whatever the protocol: routes the name, asks over whois (with the
// run's reconnects where the style says so) or RDAP, judges the answer with the chosen rule,
// and reports the verdict with its evidence. One lookup at a time; start() drops the one in
// progress. finished() comes from the event loop, never from inside start(), and the lookup
// is idle when it is emitted, so a handler may start the next one.
//
// idle --start--> asking (whois: connecting/receiving, retried at the reconnect tick;
//   RDAP: fetching) --answer | failure (SingleExchange, RDAP) | time limit--> idle (finished)
// cancel() returns to idle without finished().
class DomainLookup : public QObject {
    Q_OBJECT
public:
    DomainLookup(WhoisStyle style, std::unique_ptr<WhoisConnection> connection, const TldTable &table,
                 LookupServices services, Scheduler &scheduler, const Timing &timing, int slotNumber = 0,
                 QObject *parent = nullptr);
    ~DomainLookup() override;

    // Routes `name` and starts asking. NoTldRow (nothing started) when nothing serves it.
    Status start(const QString &name, const LookupChoices &choices);
    // Starts asking along a route found before (a scheduler that paced on its server).
    void start(const QString &name, const LookupRoute &route, const LookupChoices &choices);
    // Drops the lookup in progress without a verdict.
    void cancel();
    // The owner's stop flag: while it says stopped, whois events only close the connection.
    void setStopCheck(std::function<bool()> isStopped);

    bool isRunning() const { return m_running; }
    const QString &name() const { return m_name; }
    const LookupRoute &route() const { return m_route; }
    // What is known of the lookup in progress (or the last one): name, protocol, server,
    // time taken, the answer so far. A time-out or Stop reports this.
    LookupEvidence evidenceSoFar() const;
    // The whois slot of the Retrying style (null for SingleExchange).
    const LookupSlot *whoisSlot() const { return m_slot.get(); }
    // The server asked: the whois connection's remote host, or the RDAP address's host.
    QString remoteHost() const;

Q_SIGNALS:
    // The connection-status text: "connecting(0): - Search String: example.com" for whois,
    // "rdap(0): - Search String: example.com" when an RDAP fetch starts.
    void statusText(const QString &text);
    void finished(const wendlecott::core::LookupEvidence &evidence);
    // A whois request went out (each reconnect sends it again).
    void requestSent();

private:
    void startWhois(const LookupChoices &choices);
    void startRdap(const LookupChoices &choices);
    void onConnected();
    void onWhoisAnswer(const WhoisAnswer &answer);
    void onRdapFinished(const HttpResponse &response);
    void onTimeLimit();
    void finish(LookupEvidence evidence);

    const WhoisStyle m_style;
    const int m_slotNumber;
    const TldTable &m_table;
    LookupServices m_services;
    Scheduler &m_scheduler;
    const Timing &m_timing;
    std::unique_ptr<LookupSlot> m_slot;  // Retrying
    std::unique_ptr<WhoisQuery> m_query; // SingleExchange
    std::unique_ptr<RdapQuery> m_rdap;   // made at the first RDAP lookup
    SingleShot m_timeLimit;

    QString m_name;
    LookupRoute m_route;
    LookupChoices m_choices;
    QString m_failure; // why the connection could not be made, while the time limit runs on
    qint64 m_startedAt = 0;
    bool m_running = false;
};

} // namespace wendlecott::core
