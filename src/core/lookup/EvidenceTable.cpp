#include "core/lookup/EvidenceTable.h"

#include "core/base/Paths.h"
#include "core/base/TextFile.h"

#include <QFile>
#include <QFileInfo>

#include <array>
#include <utility>

namespace wendlecott::core {

namespace {

const QString kBuiltInSource = QStringLiteral("built-in");
const QString kBuiltInResource = QStringLiteral(":/wendlecott/whois-evidence.tsv");
const QString kSwitchOff = QStringLiteral("-");

struct KindName {
    EvidenceKind kind;
    const char *name;
};
constexpr std::array<KindName, 9> kKindNames{{
    {EvidenceKind::Name, "name"},
    {EvidenceKind::Data, "data"},
    {EvidenceKind::Status, "status"},
    {EvidenceKind::Free, "free"},
    {EvidenceKind::Registered, "registered"},
    {EvidenceKind::Available, "available"},
    {EvidenceKind::Blocked, "blocked"},
    {EvidenceKind::Unknown, "unknown"},
    {EvidenceKind::Terms, "terms"},
}};

QRegularExpression compilePhrase(const QString &pattern)
{
    // Lines are matched one at a time inside the whole text: "^" and "$" are line ends.
    return QRegularExpression(pattern, QRegularExpression::CaseInsensitiveOption |
                                           QRegularExpression::MultilineOption |
                                           QRegularExpression::DontCaptureOption);
}

// Why `rule` cannot be a rule, or an empty text when it can.
QString ruleProblem(const EvidenceRule &rule)
{
    if (rule.id.isEmpty())
        return QStringLiteral("the ID is empty");
    if (rule.pattern.isEmpty())
        return QStringLiteral("the pattern is empty");
    if (isFieldKind(rule.kind)) {
        if (normalizedFieldName(rule.pattern).isEmpty())
            return QStringLiteral("the field name '%1' has no letters").arg(rule.pattern);
        return {};
    }
    const QRegularExpression regex = compilePhrase(rule.pattern);
    if (!regex.isValid())
        return QStringLiteral("the pattern does not compile: %1 at offset %2")
            .arg(regex.errorString())
            .arg(regex.patternErrorOffset());
    return {};
}

// One table line into `rules`: a rule is appended, a switch-off line removes rules.
// Returns why the line was not taken, or an empty text.
QString applyLine(const QString &line, QList<EvidenceRule> &rules)
{
    const QStringList fields = line.split(QLatin1Char('\t'));
    if (fields.size() != 4)
        return QStringLiteral("expected 4 fields separated by tabs, found %1").arg(fields.size());
    const QString kindName = fields.at(0).trimmed().toLower();
    const std::optional<EvidenceKind> kind = evidenceKindFromName(kindName);
    if (!kind)
        return QStringLiteral("unknown kind '%1'").arg(kindName);
    const QString tldField = fields.at(1).trimmed();
    EvidenceRule rule;
    rule.kind = *kind;
    rule.tlds = parseExtensionField(tldField);
    rule.id = fields.at(2).trimmed();
    rule.pattern = fields.at(3).trimmed();
    if (tldField != QLatin1String("*") && rule.tlds.isEmpty())
        return QStringLiteral("no extension (write * for every extension)");
    if (rule.pattern == kSwitchOff && !rule.id.isEmpty()) {
        rules.removeIf([&](const EvidenceRule &r) { return r.kind == rule.kind && r.id == rule.id; });
        return {};
    }
    QString problem = ruleProblem(rule);
    if (problem.isEmpty())
        rules.append(std::move(rule));
    return problem;
}

void parseInto(QList<EvidenceRule> &rules, const QString &text, const QString &source,
               QList<EvidenceProblem> *problems)
{
    const QStringList lines = splitLines(text);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QString problem = applyLine(line, rules);
        if (!problem.isEmpty() && problems)
            problems->append({source, int(i + 1), problem});
    }
}

QList<EvidenceRule> readBuiltInRules()
{
    QFile file(kBuiltInResource);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<EvidenceRule> rules;
    parseInto(rules, decodeText(file.readAll()), kBuiltInSource, nullptr);
    return rules;
}

} // namespace

QStringList parseExtensionField(const QString &field)
{
    QStringList tlds;
    if (field == QLatin1String("*"))
        return tlds;
    for (const QString &item : field.split(QLatin1Char(','))) {
        QString tld = item.trimmed().toLower();
        while (tld.startsWith(QLatin1Char('.')))
            tld.remove(0, 1);
        if (!tld.isEmpty())
            tlds.append(tld);
    }
    return tlds;
}

QString evidenceKindName(EvidenceKind kind)
{
    for (const KindName &entry : kKindNames) {
        if (entry.kind == kind)
            return QLatin1String(entry.name);
    }
    return {};
}

std::optional<EvidenceKind> evidenceKindFromName(const QString &name)
{
    for (const KindName &entry : kKindNames) {
        if (name == QLatin1String(entry.name))
            return entry.kind;
    }
    return std::nullopt;
}

bool isFieldKind(EvidenceKind kind)
{
    return kind == EvidenceKind::Name || kind == EvidenceKind::Data || kind == EvidenceKind::Status;
}

QString EvidenceProblem::describe() const
{
    if (lineNumber <= 0)
        return QStringLiteral("%1: %2").arg(source, reason);
    return QStringLiteral("%1 line %2: %3").arg(source).arg(lineNumber).arg(reason);
}

QString normalizedFieldName(QStringView name)
{
    QString out;
    out.reserve(name.size());
    bool gap = false;
    for (const QChar c : name) {
        if (c.isSpace() || c == QLatin1Char('_') || c == QLatin1Char('-') || c == QLatin1Char('.')) {
            gap = true;
            continue;
        }
        if (gap && !out.isEmpty())
            out.append(QLatin1Char(' '));
        gap = false;
        out.append(c.toLower());
    }
    return out;
}

EvidenceTable::EvidenceTable(QList<EvidenceRule> rules) : m_rules(std::move(rules))
{
    m_regexes.reserve(m_rules.size());
    for (int i = 0; i < size(); ++i) {
        const EvidenceRule &rule = m_rules.at(i);
        if (isFieldKind(rule.kind)) {
            m_regexes.append(QRegularExpression());
            m_fieldRules[normalizedFieldName(rule.pattern)].append(i);
            continue;
        }
        QRegularExpression regex = compilePhrase(rule.pattern);
        regex.optimize();
        m_regexes.append(std::move(regex));
    }
}

EvidenceTable EvidenceTable::parse(const QString &text, const QString &source,
                                   QList<EvidenceProblem> *problems)
{
    QList<EvidenceRule> rules;
    parseInto(rules, text, source, problems);
    return EvidenceTable(std::move(rules));
}

const EvidenceTable &EvidenceTable::builtIn()
{
    static const EvidenceTable table(readBuiltInRules());
    return table;
}

EvidenceTable EvidenceTable::forProgramFolder(const QString &programFolder, QList<EvidenceProblem> *problems)
{
    const QString path = resolveUnder(programFolder, kEvidenceFileName);
    if (!QFileInfo(path).isFile())
        return builtIn();
    const Result<QString> text = readTextFile(path, kMaxEvidenceFileBytes);
    if (!text) {
        if (problems)
            problems->append({kEvidenceFileName, 0, text.message()});
        return builtIn();
    }
    QList<EvidenceRule> rules = builtIn().rules();
    parseInto(rules, text.value(), QFileInfo(path).fileName(), problems);
    return EvidenceTable(std::move(rules));
}

bool EvidenceTable::appliesTo(int index, const QString &tld) const
{
    const QStringList &tlds = m_rules.at(index).tlds;
    if (tlds.isEmpty())
        return true;
    for (const QString &listed : tlds) {
        if (tld == listed)
            return true;
        if (tld.size() > listed.size() && tld.endsWith(listed) &&
            tld.at(tld.size() - listed.size() - 1) == QLatin1Char('.'))
            return true;
    }
    return false;
}

} // namespace wendlecott::core
