#pragma once

#include <QString>

namespace wendlecott::core {

// Unknown: the answer says nothing a user can act on (empty, an error, an extension the
// server does not serve). The success-word rule below never gives it; the evidence rules
// (EvidenceJudge) do. Callers file an Unknown name nowhere, as a lookup without a verdict.
enum class LookupVerdict { Available, Registered, Blocked, Unknown };

struct Judgement {
    LookupVerdict verdict = LookupVerdict::Registered;
    QString matchedWord; // the success word that matched; empty unless Available
};

// The one verdict rule of every lookup: success words first (without regard to case; an
// empty item matches every non-empty text), then the blocked words, else Registered.
Judgement judgeResponse(const QString &response, const QString &successWords);

QString verdictName(LookupVerdict verdict);

} // namespace wendlecott::core
