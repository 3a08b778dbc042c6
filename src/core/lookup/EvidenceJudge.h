#pragma once

#include "core/lookup/EvidenceTable.h"
#include "core/lookup/Verdict.h"

#include <QList>
#include <QString>
#include <QStringView>

namespace wendlecott::core {

// Rules that are not in the table: what decided when no table rule did.
inline const QString kRuleEmpty = QStringLiteral("empty");            // nothing but white space
inline const QString kRuleOtherName = QStringLiteral("other-name");   // registration data of another name
inline const QString kRuleNoEvidence = QStringLiteral("no-evidence"); // nothing the table knows

// Judges a whois answer by what it shows rather than by a word anywhere in it: registration
// data for the asked name is Registered, a not-found phrase of the registry without such
// data is Available, a rate-limit or refusal is Blocked, and everything else (an empty
// answer, an error, an extension the server does not serve) is Unknown. The order is in
// the header of data/whois-evidence.tsv.
//
// Work grows with the length of the answer: each line is read once for fields, and each
// phrase rule scans the text once. Only the first 4096 characters of a line are looked at,
// and phrase rules read the first 1 MiB of text (as much as a lookup keeps of an answer);
// fields count wherever they are.
class EvidenceJudge {
public:
    explicit EvidenceJudge(EvidenceTable table = EvidenceTable::builtIn());

    // `tld` is the extension the name was asked under ("de", "co.uk"; case and a leading dot
    // do not matter). With `name`, registration data must be about that name; without it
    // the answer is judged alone.
    // The rule is the ID of the table rule that decided, or one of the three above (which have
    // no evidence line).
    Judgement judge(QStringView answer, const QString &tld, const QString &name = {}) const;

    // The index in table().rules() of every rule serving `tld` that finds something in the
    // answer, in table order, whether it decided or not.
    QList<int> matchingRules(QStringView answer, const QString &tld) const;

    const EvidenceTable &table() const { return m_table; }

private:
    EvidenceTable m_table;
};

// The extension as the judge compares it: lower case, no leading or trailing dot.
QString normalizedTld(const QString &tld);

} // namespace wendlecott::core
