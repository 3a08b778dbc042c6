#pragma once

#include "core/HttpClient.h"
#include "core/Result.h"
#include "core/Scheduler.h"
#include "core/Timing.h"
#include "core/TldTable.h"
#include "core/Verdict.h"
#include "core/WhoisConnection.h"

#include <QJsonObject>
#include <QMetaType>
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
struct LookupOutcome;
struct WhoisAnswer;

// Which protocol asks about a name. Auto: RDAP where the bootstrap lists the name's
// extension, else whois.
enum class LookupProtocol { Whois, Rdap, Auto };
// Which rule judges a whois answer: the row's success words, or the evidence rules.
enum class VerdictRules { SuccessWords, Evidence };

QString protocolName(LookupProtocol protocol); // "whois", "rdap", "auto"
std::optional<LookupProtocol> protocolFromName(const QString &name);
QString rulesName(VerdictRules rules); // "words", "evidence"
std::optional<VerdictRules> rulesFromName(const QString &name);

// What the user chose for a lookup.
struct LookupChoices {
    LookupProtocol protocol = LookupProtocol::Whois;
    VerdictRules rules = VerdictRules::SuccessWords;
    bool useProxy = false; // whois lookups go to the "proxy" row
    // The whois server asked when no TLD row serves a name; an empty host: none, and such a
    // name has no route.
    WhoisServer whoisFallback;
    // The lookup ends as timed out (verdict Unknown) when it has no verdict this long after
    // its start; 0: no limit of its own (a run's watchdog gives up on it).
    qint64 timeLimitMs = 0;

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

// How the exchange behind a verdict ended.
enum class LookupEnding {
    Answered,         // the server closed after its answer (whois) or a whole HTTP answer arrived
    CapReached,       // whois: the answer reached 1 MiB and was judged on what fits
    NoConnection,     // no connection, or it broke; TLS failures too
    SendFailed,       // whois: connected, the request could not be sent
    TimedOut,         // no verdict in time
    TooLarge,         // RDAP: the answer passed 1 MiB
    TooManyRedirects, // RDAP: more than five redirects, or a loop
    Stopped,          // the lookup was dropped (Stop) before its verdict
};
QString endingName(LookupEnding ending);

// A verdict and how it was reached.
struct LookupEvidence {
    QString name;
    LookupVerdict verdict = LookupVerdict::Unknown;
    LookupProtocol protocol = LookupProtocol::Whois; // Whois or Rdap
    VerdictRules rules = VerdictRules::SuccessWords; // whois: which rule judged
    LookupEnding ending = LookupEnding::Answered;
    QString server; // whois: the host that answered (or was asked); RDAP: the address's host
    quint16 port = 0;
    QString url; // RDAP: the address asked (the last one after redirects)
    // What decided: success words "success-word" (Available), "blocked-word" (Blocked) or
    // "no-success-word" (Registered); an evidence rule's ID; an RDAP rule of judgeRdapAnswer.
    QString rule;
    QString matchedWord;  // success words: the word that matched
    QString evidenceLine; // evidence rules: the answer's line that decided
    int httpStatus = 0;
    std::optional<qint64> retryAfterSeconds; // RDAP: the server's Retry-After
    qint64 answerBytes = 0;
    qint64 elapsedMs = 0;
    int connections = 0; // whois: connections made (reconnects included)
    QString reason;      // why the exchange failed, as the connection or fetch said
    QString answer;      // the whole answer as text

    bool hasVerdict() const
    {
        return verdict == LookupVerdict::Available || verdict == LookupVerdict::Registered;
    }
};

// The evidence as one JSON object: name, verdict, protocol, rules (whois), server, port, url,
// rule, word, evidence, status, retryAfter, bytes, ms, connections, ending, reason; with
// `withAnswer` also answer.
QJsonObject evidenceJson(const LookupEvidence &evidence, bool withAnswer);

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
    void onSlotFinished(const LookupOutcome &outcome);
    void onSlotConnectionFailed(const QString &reason);
    void onQueryFinished(const WhoisAnswer &answer);
    void onRdapFinished(const HttpResponse &response);
    void onTimeLimit();
    void judgeWhois(LookupEvidence &evidence) const;
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
    VerdictRules m_rules = VerdictRules::SuccessWords;
    qint64 m_startedAt = 0;
    bool m_running = false;
};

} // namespace wendlecott::core

Q_DECLARE_METATYPE(wendlecott::core::LookupEvidence)
