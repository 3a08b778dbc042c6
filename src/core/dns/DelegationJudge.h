#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace wendlecott::core {

// What a name server's reply says about the delegation of a name in its extension's zone.
enum class DelegationOutcome {
    Delegated,    // the reply carries NS records for the name: it is registered
    NotDelegated, // NXDOMAIN: the name is not in the zone (a name on hold is not either)
    Undecided,    // nothing to go by: the registry is asked as usual
    Ignored,      // not a reply to this question (another id, name, type or class): keep waiting
};

// Why a delegation check was undecided, as stable codes for evidence and tests.
namespace undecided {
inline const QString Truncated = QStringLiteral("truncated");
inline const QString Malformed = QStringLiteral("malformed");
inline const QString NoData = QStringLiteral("no-data");
inline const QString ServerFailure = QStringLiteral("server-failure");
inline const QString Refused = QStringLiteral("refused");
inline const QString OtherRcode = QStringLiteral("rcode"); // followed by "-" and the number
inline const QString OtherReferral = QStringLiteral("referral-elsewhere");
inline const QString NoAnswer = QStringLiteral("no-answer");      // silence, after the retry
inline const QString Unreachable = QStringLiteral("unreachable"); // the socket said so
inline const QString NoServers = QStringLiteral("no-servers");    // the extension has none found
inline const QString BadName = QStringLiteral("bad-name");        // the name cannot be asked
inline const QString Wildcard = QStringLiteral("wildcard");       // the extension delegates any name
} // namespace undecided

struct DelegationJudgement {
    DelegationOutcome outcome = DelegationOutcome::Undecided;
    QStringList nameServers; // Delegated: the NS names for the name, in reply order, once each
    QString reason;          // Undecided: one of the codes above
};

// Judges the reply to the NS question for `asciiName` (IDNA form; case and a final dot do not
// matter). With `queryId`, a reply under another id is Ignored; so is one that is not a
// response, has another opcode, or does not carry exactly the question asked. A truncated
// reply is Undecided whatever it says; NXDOMAIN is NotDelegated; any other error code is
// Undecided; a NOERROR reply is Delegated when its answer or authority section holds NS
// records owned by the name itself (or by a wildcard label above it), otherwise Undecided (no data, or a
// referral to a zone above or beside the name).
DelegationJudgement judgeDelegation(const QByteArray &reply, const QString &asciiName,
                                    std::optional<quint16> queryId = std::nullopt);

QString delegationOutcomeName(DelegationOutcome outcome); // "delegated", "not-delegated", ...

} // namespace wendlecott::core
