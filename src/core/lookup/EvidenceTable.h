#pragma once

#include <QHash>
#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <optional>

namespace wendlecott::core {

// The file in the program folder that adds rules to the built-in evidence table.
inline const QString kEvidenceFileName = QStringLiteral("whois-evidence.tsv");
// A rules file is a few hundred lines; a larger one is refused rather than parsed for minutes.
inline constexpr qint64 kMaxEvidenceFileBytes = qint64(4) << 20;

// What a rule of the evidence table recognises in a whois answer. The header of
// data/whois-evidence.tsv describes each kind and how an answer is judged.
enum class EvidenceKind {
    Name,       // field: its value is the domain the answer is about
    Data,       // field: registration data
    Status,     // field: registration status, registration data unless a Free rule matches its value
    Free,       // phrase, on a status value: "not registered"
    Registered, // phrase: registration data that is no field
    Available,  // phrase: a not-found answer
    Blocked,    // phrase: a rate limit or refused access
    Unknown,    // phrase: a server error, an unsupported extension, a name that cannot be registered
    Terms, // phrase: a line of terms of use, on which Available, Blocked and Unknown phrases do not count
};

// The kind as the table writes it ("name", "data", ...), and back.
QString evidenceKindName(EvidenceKind kind);
std::optional<EvidenceKind> evidenceKindFromName(const QString &name);
// Field kinds match a field name; the others a regular expression.
bool isFieldKind(EvidenceKind kind);

// One rule as written in the table.
struct EvidenceRule {
    EvidenceKind kind = EvidenceKind::Unknown;
    QStringList tlds; // lower case without a leading dot; empty: every extension
    QString id;       // shown as the rule that decided
    QString pattern;  // a field name or a regular expression, as written
};

// A table line that was not taken as a rule.
struct EvidenceProblem {
    QString source; // the file name, or "built-in"
    int lineNumber = 0;
    QString reason;
    QString describe() const;
};

// A field name as the judge compares it: lower case, runs of spaces, "_", "-" and "."
// made one space, no space at either end. "Name_Server", "name-server" and
// "NAME  SERVER" all become "name server".
QString normalizedFieldName(QStringView name);

// The rules in order, with their patterns compiled. Copies are cheap.
class EvidenceTable {
public:
    EvidenceTable() = default;
    // Rules with a pattern that does not compile never match.
    explicit EvidenceTable(QList<EvidenceRule> rules);

    // Reads table text (format in data/whois-evidence.tsv). Lines that are no rule are
    // skipped and listed in `problems`; a line "KIND TLDS ID -" removes the rules of that
    // kind and ID read before it.
    static EvidenceTable parse(const QString &text, const QString &source,
                               QList<EvidenceProblem> *problems = nullptr);
    // The table built into the program.
    static const EvidenceTable &builtIn();
    // The built-in rules followed by those of `kEvidenceFileName` in `programFolder`, when the
    // folder has one (its name matched without regard to case). A file over
    // kMaxEvidenceFileBytes is not read: the built-in rules alone judge, and a problem of
    // line 0 says why.
    static EvidenceTable forProgramFolder(const QString &programFolder, QList<EvidenceProblem> *problems);

    const QList<EvidenceRule> &rules() const { return m_rules; }
    int size() const { return int(m_rules.size()); }
    // Whether rule `index` serves the extension `tld` (lower case, no leading dot): "uk"
    // serves "uk" and "co.uk".
    bool appliesTo(int index, const QString &tld) const;
    // The compiled pattern of a phrase rule (invalid for field rules).
    const QRegularExpression &regex(int index) const { return m_regexes.at(index); }
    // The field rules of a normalized field name, in table order.
    QList<int> fieldRules(const QString &normalizedName) const { return m_fieldRules.value(normalizedName); }

private:
    QList<EvidenceRule> m_rules;
    QList<QRegularExpression> m_regexes;
    QHash<QString, QList<int>> m_fieldRules;
};

// The extensions field of a rules table: "*" is every extension (an empty list); otherwise a
// comma-separated list, lower case, without leading dots.
QStringList parseExtensionField(const QString &field);

} // namespace wendlecott::core
