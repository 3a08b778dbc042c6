#pragma once

#include "core/base/Result.h"
#include "core/lookup/DomainLookup.h"

#include <QMetaType>
#include <QString>

#include <functional>
#include <optional>

namespace wendlecott::core {

class AnswerRecorder;
class DnsTransport;
class ResultLists;
class ServerPacer;
class UnansweredNames;
class UserNotice;
struct TldTable;

// The program-wide values a run reads at each lookup.
struct RunEnvironment {
    const TldTable &table;
    std::function<bool()> useProxy; // the proxy switch as it stands at each lookup
    // The pace of each server, shared with every other window that asks servers; it also
    // holds the described pause (`ThrottleMs`) the main window's run and the browse window share.
    ServerPacer &pacer;
    ResultLists &lists;
    UserNotice &notice;
    // The protocol and verdict rules as they stand at each lookup; empty: the described
    // whois lookup with the success words (and the proxy switch above).
    std::function<LookupChoices()> lookupChoices = {};
    LookupServices services = {};
    // Where names without a verdict are kept; null: nowhere.
    UnansweredNames *unanswered = nullptr;
    // Where every finished lookup is kept (the answer store); null: nowhere.
    AnswerRecorder *recorder = nullptr;
    // A name answered Registered this many days ago at most, with its expiry far enough away,
    // is filed from the recorder without a query; empty or 0: every name is asked.
    std::function<int()> reuseRegisteredDays = {};
    // The DNS transport of a run that asks DNS first, made on first use; empty or null:
    // such a run asks the registry for every name.
    std::function<DnsTransport *()> dnsTransport = {};

    // The lookup asked for now: lookupChoices, else the described one with the proxy switch.
    LookupChoices choices() const;
};

// What became of one name: the evidence of its lookup and where it was filed. The command
// line prints it; the window counts it.
struct RunRecord {
    // Unknown: an answer without a verdict a user can act on; like Timeout, filed nowhere.
    enum class Kind { Available, Registered, Blocked, Timeout, Unknown };
    Kind kind = Kind::Registered;
    QString name;
    QString server;
    QString profileClass; // "High", "Mid" or "Low" for Available
    LookupEvidence evidence;
};

// Files what a lookup came to, for every run and window: a verdict into the result lists
// (the name leaves the unanswered names), a name without one into the unanswered names with
// the notice its ending calls for (the blocked notice with the answer, "Connection Timed
// Out", or why no connection was made), the overflow check, and the names passed over or
// refused before any lookup; every finished lookup also goes to the recorder (a reused answer
// is not recorded again). A failed write of the unanswered names or of the recorder is said
// once a run.
class RunFiler {
public:
    explicit RunFiler(const RunEnvironment &environment);

    // A new run: the counts start again and a failed write may be said again.
    void beginRun();

    // The run ended: the unanswered names kept in memory are written now.
    void endRun();

    // Files the lookup's outcome and says what became of the name.
    RunRecord file(const LookupEvidence &asked);
    // A recent answer of the recorder that stands for a lookup of `domain`, when reuse is on.
    std::optional<LookupEvidence> reusableAnswer(const QString &domain) const;
    // Keeps `name` among the unanswered names. A failed write is said once a run; the
    // result says whether the name is kept (a run only moves its position past kept names).
    Status keep(const QString &name);
    // A name that no row serves: counted, the first of a run told in the "Error" box, and kept.
    int passOver(const QString &domain, const QString &reason);
    // A name that cannot be a domain: counted, never asked nor kept.
    int refuseInvalid() { return ++m_invalidNames; }

    int passedOverCount() const { return m_passedOver; }
    int invalidNameCount() const { return m_invalidNames; }
    // Names of this run filed Registered by their delegation, without the registry.
    int settledByDnsCount() const { return m_settledByDns; }

    // What the blocked notice shows of an answer: the HTTP status first for RDAP.
    static QString shownAnswer(const LookupEvidence &evidence);

private:
    LookupEvidence withoutForeignAvailable(LookupEvidence evidence) const;
    void settle(const QString &name);
    void warnOnce(const Status &status);

    const RunEnvironment &m_env;
    bool m_warned = false;
    int m_passedOver = 0;
    int m_invalidNames = 0;
    int m_settledByDns = 0;
};

} // namespace wendlecott::core

Q_DECLARE_METATYPE(wendlecott::core::RunRecord)
