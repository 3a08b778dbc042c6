#pragma once

#include <QString>

namespace wendlecott::core {

enum class LookupVerdict { Available, Registered, Blocked };

struct Judgement {
    LookupVerdict verdict = LookupVerdict::Registered;
    QString matchedWord; // the success word that matched; empty unless Available
};

// The one verdict rule of every lookup: success words first (without regard to case; an
// empty item matches every non-empty text), then the blocked words, else Registered.
Judgement judgeResponse(const QString &response, const QString &successWords);

QString verdictName(LookupVerdict verdict);

} // namespace wendlecott::core
