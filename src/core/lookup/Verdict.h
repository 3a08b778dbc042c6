#pragma once

#include <QMetaType>
#include <QString>

namespace wendlecott::core {

// Unknown: the answer says nothing a user can act on (empty, an error, an extension the
// server does not serve). The success-word rule below never gives it; the evidence rules
// (EvidenceJudge) do. Callers file an Unknown name nowhere, as a lookup without a verdict.
enum class LookupVerdict { Available, Registered, Blocked, Unknown };

// A verdict and what it rests on, whichever rule gave it: the success words, the evidence
// rules (EvidenceJudge) or the RDAP rule (judgeRdapAnswer).
struct Judgement {
    LookupVerdict verdict = LookupVerdict::Unknown;
    QString matchedWord; // success words: the word that matched; empty unless Available
    QString rule;        // what decided: "success-word", an evidence rule's ID, "http-404", ...
    QString evidence;    // evidence rules: the answer's line that decided (at most 200 characters)
};

// Rules of the success words: a success word matched (Available), a blocked word matched
// (Blocked), neither (Registered).
inline const QString kRuleSuccessWord = QStringLiteral("success-word");
inline const QString kRuleBlockedWord = QStringLiteral("blocked-word");
inline const QString kRuleNoSuccessWord = QStringLiteral("no-success-word");

// The success-word rule of the whois lookup: success words first (without regard to case; an
// empty item matches every non-empty text), then the blocked words, else Registered.
Judgement judgeResponse(const QString &response, const QString &successWords);

QString verdictName(LookupVerdict verdict);

} // namespace wendlecott::core

Q_DECLARE_METATYPE(wendlecott::core::Judgement)
