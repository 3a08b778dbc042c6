#pragma once

#include "core/lookup/HttpClient.h"
#include "core/lookup/Verdict.h"
#include "core/lookup/WhoisQuery.h"

#include <QDateTime>
#include <QJsonObject>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <optional>

namespace wendlecott::core {

class EvidenceJudge;

// Which protocol asks about a name. Auto: RDAP where the bootstrap lists the name's
// extension, else whois. Dns: the name was settled by its delegation in the zone (evidence
// only, never a lookup's choice).
enum class LookupProtocol { Whois, Rdap, Auto, Dns };
// Which rule judges a whois answer: the row's success words, or the evidence rules.
enum class VerdictRules { SuccessWords, Evidence };

QString protocolName(LookupProtocol protocol); // "whois", "rdap", "auto", "dns"
// A protocol a lookup can be asked over: whois, rdap or auto.
std::optional<LookupProtocol> protocolFromName(const QString &name);
QString rulesName(VerdictRules rules); // "words", "evidence"
std::optional<VerdictRules> rulesFromName(const QString &name);

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

// A verdict and how it was reached: the one record that carries a lookup from the exchange to
// the filer, the JSON output and the answer window.
struct LookupEvidence {
    QString name;
    LookupVerdict verdict = LookupVerdict::Unknown;
    LookupProtocol protocol = LookupProtocol::Whois; // Whois, Rdap, or Dns (a delegated name)
    VerdictRules rules = VerdictRules::SuccessWords; // whois: which rule judged
    LookupEnding ending = LookupEnding::Answered;
    QString server; // whois: the host that answered (or was asked); RDAP: the address's host
    quint16 port = 0;
    QString url; // RDAP: the address asked (the last one after redirects)
    // What decided: success words "success-word" (Available), "blocked-word" (Blocked) or
    // "no-success-word" (Registered); "no-answer" when a whois server closed without a byte;
    // an evidence rule's ID; an RDAP rule of judgeRdapAnswer; else the ending's name.
    QString rule;
    QString matchedWord;  // success words: the word that matched
    QString evidenceLine; // evidence rules: the answer's line that decided
    int httpStatus = 0;
    std::optional<qint64> retryAfterSeconds; // RDAP: the server's Retry-After
    qint64 answerBytes = 0;
    qint64 elapsedMs = 0;
    int connections = 0;     // whois: connections made (reconnects included)
    QString reason;          // why the exchange failed, as the connection or fetch said
    QString answer;          // the whole answer as text
    QStringList nameServers; // DNS: the NS names the zone delegates the name to
    QDateTime time;          // DNS: when the deciding reply arrived (UTC)
    // Taken from the answer store instead of asking (a recent Registered answer): no query
    // was made, and the answer is not stored again.
    bool reused = false;

    bool hasVerdict() const
    {
        return verdict == LookupVerdict::Available || verdict == LookupVerdict::Registered;
    }
};

// The evidence as one JSON object: name, verdict, protocol, rules (whois), server, port, url,
// rule, word, evidence, status, retryAfter, bytes, ms, connections, ending, reason, reused
// (when true), and for DNS nameServers and time; with `withAnswer` also answer.
QJsonObject evidenceJson(const LookupEvidence &evidence, bool withAnswer);

// The rule a whois answer is judged by.
struct WhoisRules {
    VerdictRules rules = VerdictRules::SuccessWords;
    QString successWords;                 // SuccessWords: the words of the row asked
    const EvidenceJudge *judge = nullptr; // Evidence: null for the built-in rules
};

// The one judging step of every lookup: what an exchange received and how it ended become
// the verdict with its evidence. `evidence` comes with what is known before the answer (name,
// protocol, server asked, time taken); the exchange fills in the rest. Only a whole answer
// is judged; an exchange that ended without one is Unknown, its rule the ending's name. Under
// the success words, a whois server that closes (or resets) without sending a byte has not
// answered: Unknown, "no-answer" (the evidence rules say "empty").
void judgeExchange(LookupEvidence &evidence, const WhoisAnswer &answer, const WhoisRules &rules);
void judgeExchange(LookupEvidence &evidence, const HttpResponse &response);

} // namespace wendlecott::core

Q_DECLARE_METATYPE(wendlecott::core::LookupEvidence)
