#pragma once

#include "core/lookup/LookupEvidence.h"
#include "core/lookup/RegistrationDetails.h"
#include "core/lookup/Verdict.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace wendlecott::store {

// The most of an answer's text the store keeps, in UTF-8 bytes: enough for every registry
// answer seen, so that an answer can be shown again after a restart.
constexpr qsizetype kMaxStoredAnswerBytes = 64 * 1024;

// One finished lookup as the store keeps it.
struct StoredAnswer {
    qint64 id = 0;     // given by the store; later answers have larger ids
    QString name;      // lower case
    QString extension; // what follows the name's first label, lower case
    core::LookupVerdict verdict = core::LookupVerdict::Unknown;
    QString protocol; // "whois" or "rdap"
    QString server;   // "host:port" for whois, the address's host for RDAP
    QString rule;     // the matched success word, else the rule that decided
    int httpStatus = 0;
    qint64 bytes = 0;
    qint64 elapsedMs = 0;
    QDateTime answeredAt; // UTC, to the millisecond
    core::RegistrationDetails details;
    QString answer; // at most kMaxStoredAnswerBytes of it

    bool operator==(const StoredAnswer &other) const = default;
};

// The answer of a finished lookup with its details, answered at `when`.
StoredAnswer storedAnswer(const core::LookupEvidence &evidence, const core::RegistrationDetails &details,
                          const QDateTime &when);

// A stored answer as the evidence of a lookup that was not made: marked reused, the time
// taken and the connections 0, the server and the rule as they were stored.
core::LookupEvidence reusedEvidence(const StoredAnswer &answer);

// The verdict as check prints it ("available", "registered", "blocked", "unknown"), and back.
QString verdictKey(core::LookupVerdict verdict);
std::optional<core::LookupVerdict> verdictFromKey(const QString &key);

// `text` cut to at most `maxBytes` bytes of UTF-8, never inside a character.
QString cutToUtf8Bytes(const QString &text, qsizetype maxBytes);

} // namespace wendlecott::store
