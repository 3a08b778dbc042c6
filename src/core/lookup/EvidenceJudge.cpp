#include "core/lookup/EvidenceJudge.h"

#include <QUrl>

#include <algorithm>
#include <optional>
#include <utility>

namespace wendlecott::core {

namespace {

constexpr qsizetype kMaxLineChars = 4096;
// Phrase rules read this much of an answer: what a lookup keeps of one (1 MiB) and far more
// than any registry sends, so a flood of lines costs each phrase rule no more than this.
constexpr qsizetype kMaxPhraseChars = qsizetype(1) << 20;
constexpr qsizetype kMaxEvidenceChars = 200;
constexpr qsizetype kMaxFieldNameChars = 48;

bool isLeadingMark(QChar c)
{
    return c.isSpace() || c == QLatin1Char('%') || c == QLatin1Char('#') || c == QLatin1Char('*') ||
           c == QLatin1Char('>') || c == QLatin1Char(';');
}

// A line as the phrase rules see it: without leading spaces and comment marks, without
// trailing spaces.
QStringView phraseLine(QStringView line)
{
    qsizetype begin = 0;
    while (begin < line.size() && isLeadingMark(line.at(begin)))
        ++begin;
    return line.mid(begin).trimmed();
}

QString evidenceText(QStringView text)
{
    return text.trimmed().left(kMaxEvidenceChars).toString();
}

// The name that was asked, in the two forms an answer may write it.
struct AskedName {
    QString unicode; // lower case
    QString ace;     // "xn--" form, lower case; the same as `unicode` for an ASCII name
};

std::optional<AskedName> askedName(const QString &name)
{
    QString trimmed = name.trimmed().toLower();
    while (trimmed.endsWith(QLatin1Char('.')))
        trimmed.chop(1);
    if (trimmed.isEmpty())
        return std::nullopt;
    QString ace = QString::fromLatin1(QUrl::toAce(trimmed)).toLower();
    if (ace.isEmpty())
        ace = trimmed;
    QString unicode = QUrl::fromAce(ace.toLatin1()).toLower();
    if (unicode.isEmpty())
        unicode = trimmed;
    return AskedName{unicode, ace};
}

// The domain a name field holds: its first word without quotes, brackets or a final dot.
bool namesAskedName(QStringView value, const AskedName &asked)
{
    const qsizetype space = value.indexOf(QLatin1Char(' '));
    QStringView word = space < 0 ? value : value.left(space);
    const QString strip = QStringLiteral("\"'[]()<>");
    while (!word.isEmpty() && strip.contains(word.front()))
        word = word.mid(1);
    while (!word.isEmpty() && (strip.contains(word.back()) || word.back() == QLatin1Char('.')))
        word.chop(1);
    return word.compare(asked.unicode, Qt::CaseInsensitive) == 0 ||
           word.compare(asked.ace, Qt::CaseInsensitive) == 0;
}

// Drops a list mark in front of a field: "a. [Domain Name]", "1a. Domain Name :", "a [Domain Name]".
QStringView withoutListMark(QStringView s)
{
    qsizetype p = 0;
    while (p < 2 && p < s.size() && s.at(p).unicode() >= '0' && s.at(p).unicode() <= '9')
        ++p;
    const qsizetype digits = p;
    const bool letter = p < s.size() && s.at(p).unicode() >= 'a' && s.at(p).unicode() <= 'z';
    if (letter)
        ++p;
    const bool dot = p < s.size() && s.at(p) == QLatin1Char('.');
    if (dot)
        ++p;
    if (p == 0 || p >= s.size() || !s.at(p).isSpace() || (digits == 0 && !letter))
        return s;
    const QStringView rest = s.mid(p).trimmed();
    if (!dot && (digits > 0 || !rest.startsWith(QLatin1Char('['))))
        return s;
    return rest;
}

// Where a field's name ends: at ":", "#", a tab, "..", or a run of three spaces after a name
// that does not end a sentence. -1 when the line has no field name in front.
qsizetype fieldNameEnd(QStringView s)
{
    const qsizetype limit = std::min(s.size(), kMaxFieldNameChars + 1);
    for (qsizetype i = 0; i < limit; ++i) {
        const QChar c = s.at(i);
        if (c == QLatin1Char(':') || c == QLatin1Char('#') || c == QLatin1Char('\t'))
            return i;
        const QChar next = i + 1 < s.size() ? s.at(i + 1) : QChar();
        if (c == QLatin1Char('.') && next == QLatin1Char('.'))
            return i;
        if (c == QLatin1Char(' ') && next == QLatin1Char(' ') && i > 0 && s.at(i - 1) != QLatin1Char('.')) {
            const QChar third = i + 2 < s.size() ? s.at(i + 2) : QChar();
            if (third == QLatin1Char(' ') || third == QLatin1Char('\t'))
                return i;
        }
    }
    return -1;
}

struct FieldLine {
    QString name; // normalized
    QStringView value;
};

// "Name: value", "[Name] value", "Name....: value", "Name      value"; comment lines are no fields.
std::optional<FieldLine> parseField(QStringView line)
{
    QStringView s = line.trimmed();
    if (s.isEmpty() || s.front() == QLatin1Char('%') || s.front() == QLatin1Char('#'))
        return std::nullopt;
    s = withoutListMark(s);
    QStringView name;
    QStringView rest;
    if (s.startsWith(QLatin1Char('['))) {
        const qsizetype close = s.indexOf(QLatin1Char(']'));
        if (close < 0)
            return std::nullopt;
        name = s.mid(1, close - 1);
        rest = s.mid(close + 1);
    } else {
        const qsizetype end = fieldNameEnd(s);
        if (end < 0)
            return std::nullopt;
        name = s.left(end);
        rest = s.mid(end);
    }
    name = name.trimmed();
    if (name.isEmpty() || name.size() > kMaxFieldNameChars)
        return std::nullopt;
    const auto isPadding = [](QChar c) {
        return c.isSpace() || c == QLatin1Char(':') || c == QLatin1Char('.') || c == QLatin1Char('#');
    };
    while (!rest.isEmpty() && isPadding(rest.front()))
        rest = rest.mid(1);
    while (!rest.isEmpty() && isPadding(rest.back()))
        rest.chop(1);
    return FieldLine{normalizedFieldName(name), rest};
}

struct Found {
    int rule = -1;
    QString evidence;
    bool found() const { return rule >= 0; }
};

// The rules of one table that serve one extension.
struct ServingRules {
    ServingRules(const EvidenceTable &table, const QString &tld) : applies(table.size())
    {
        for (int i = 0; i < table.size(); ++i) {
            applies[i] = table.appliesTo(i, tld);
            if (applies[i] && table.rules().at(i).kind == EvidenceKind::Free)
                free.append(i);
            if (applies[i] && table.rules().at(i).kind == EvidenceKind::Unknown)
                unknown.append(i);
            if (applies[i] && table.rules().at(i).kind == EvidenceKind::Terms)
                terms.append(i);
        }
    }
    QList<bool> applies;
    QList<int> free;
    QList<int> unknown;
    QList<int> terms;
};

// One pass over the answer's lines: the text for the phrase rules and what the field rules find.
class AnswerScan {
public:
    AnswerScan(const EvidenceTable &table, const ServingRules &serving, const std::optional<AskedName> &name,
               QList<bool> *hits)
        : m_table(table), m_serving(serving), m_name(name), m_hits(hits)
    {
    }

    void run(QStringView answer);

    QString phraseText;
    Found data;
    Found free;
    bool sawNameField = false;
    bool nameMatched = false;

private:
    void line(QStringView line);
    void field(const QString &name, QStringView value, QStringView evidence);
    void statusField(int rule, QStringView value, QStringView evidence);
    bool matchesUnknownPhrase(QStringView line) const;
    void hit(int rule)
    {
        if (m_hits)
            (*m_hits)[rule] = true;
    }

    const EvidenceTable &m_table;
    const ServingRules &m_serving;
    const std::optional<AskedName> &m_name;
    QList<bool> *m_hits;
    QString m_pendingName; // a field whose value is on the next line
    QString m_pendingLine;
};

// The phrase text goes to every phrase rule; made valid UTF-16 once (a lone surrogate
// becomes U+FFFD) it need not be checked again at each match.
void makeValidUtf16(QString &text)
{
    if (QStringView(text).isValidUtf16())
        return;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            text[i] = QChar::ReplacementCharacter;
    }
}

void AnswerScan::run(QStringView answer)
{
    phraseText.reserve(std::min(answer.size(), kMaxPhraseChars) + 1);
    qsizetype start = 0;
    const qsizetype size = answer.size();
    while (start < size) {
        qsizetype end = start;
        while (end < size && answer.at(end) != QLatin1Char('\n') && answer.at(end) != QLatin1Char('\r'))
            ++end;
        line(answer.mid(start, std::min(end - start, kMaxLineChars)));
        start = end + 1;
        if (end < size && answer.at(end) == QLatin1Char('\r') && start < size &&
            answer.at(start) == QLatin1Char('\n'))
            ++start;
    }
    makeValidUtf16(phraseText);
}

void AnswerScan::line(QStringView line)
{
    const QStringView phrase = phraseLine(line);
    if (!phrase.isEmpty() && phraseText.size() < kMaxPhraseChars) {
        phraseText.append(phrase);
        phraseText.append(QLatin1Char('\n'));
    }
    const std::optional<FieldLine> parsed = parseField(line);
    const bool knownField = parsed && !m_table.fieldRules(parsed->name).isEmpty();
    // "Domain name:" with the name on the next line (.uk, .ch). A next line that is an empty
    // field or a field the table knows is no value: "Registrar:" then "Creation Date:" is an
    // empty form, not registration data.
    if (!m_pendingName.isEmpty()) {
        const QString name = std::exchange(m_pendingName, QString());
        const QString keyLine = std::exchange(m_pendingLine, QString());
        const QStringView value = line.trimmed();
        if (!value.isEmpty() && !knownField && !(parsed && parsed->value.isEmpty()))
            field(name, value, QString(keyLine + QLatin1Char(' ') + value.toString()));
    }
    if (!knownField)
        return;
    if (parsed->value.isEmpty()) {
        m_pendingName = parsed->name;
        m_pendingLine = line.trimmed().left(kMaxEvidenceChars).toString();
        return;
    }
    field(parsed->name, parsed->value, line);
}

void AnswerScan::field(const QString &name, QStringView value, QStringView evidence)
{
    for (const int rule : m_table.fieldRules(name)) {
        if (!m_serving.applies.at(rule))
            continue;
        switch (m_table.rules().at(rule).kind) {
        case EvidenceKind::Name:
            sawNameField = true;
            hit(rule);
            if (m_name && !nameMatched)
                nameMatched = namesAskedName(value, *m_name);
            break;
        case EvidenceKind::Data:
            hit(rule);
            if (!data.found())
                data = {rule, evidenceText(evidence)};
            break;
        case EvidenceKind::Status:
            statusField(rule, value, evidence);
            break;
        default:
            break;
        }
    }
}

// A status is "not registered" when a free rule matches its value; one that an unknown
// phrase describes ("Status: invalid") is no registration data; any other is. Once a status
// has shown what it can, later status lines are passed over, so a flood of them stays cheap.
void AnswerScan::statusField(int rule, QStringView value, QStringView evidence)
{
    const bool dataKnown = m_hits ? m_hits->at(rule) : data.found();
    if (dataKnown && free.found())
        return;
    for (const int i : m_serving.free) {
        if (m_table.regex(i).match(value).hasMatch()) {
            hit(i);
            if (!free.found())
                free = {i, evidenceText(evidence)};
            return;
        }
    }
    if (dataKnown || matchesUnknownPhrase(phraseLine(evidence)))
        return;
    hit(rule);
    if (!data.found())
        data = {rule, evidenceText(evidence)};
}

bool AnswerScan::matchesUnknownPhrase(QStringView line) const
{
    return std::any_of(m_serving.unknown.begin(), m_serving.unknown.end(),
                       [&](int i) { return m_table.regex(i).match(line).hasMatch(); });
}

QRegularExpressionMatch matchPhrase(const QRegularExpression &regex, const QString &text, qsizetype from)
{
    return regex.match(text, from, QRegularExpression::NormalMatch,
                       QRegularExpression::DontCheckSubjectStringMatchOption);
}

// The line of the phrase text where rule `rule` first matches, or nullopt. A not-found,
// blocked or unknown phrase on a line of terms of use ("access may be denied if ...") does
// not count there; the search goes on after that line.
std::optional<QStringView> phraseLineOf(const EvidenceTable &table, const ServingRules &serving, int rule,
                                        const QString &text)
{
    const EvidenceKind kind = table.rules().at(rule).kind;
    const bool termsApply =
        kind == EvidenceKind::Available || kind == EvidenceKind::Blocked || kind == EvidenceKind::Unknown;
    qsizetype from = 0;
    while (from < text.size()) {
        const QRegularExpressionMatch match = matchPhrase(table.regex(rule), text, from);
        if (!match.hasMatch())
            return std::nullopt;
        const qsizetype at = std::min(match.capturedStart(), text.size() - 1);
        const qsizetype begin = at > 0 ? text.lastIndexOf(QLatin1Char('\n'), at - 1) + 1 : 0;
        qsizetype end = text.indexOf(QLatin1Char('\n'), at);
        if (end < 0)
            end = text.size();
        const QStringView line = QStringView(text).mid(begin, end - begin);
        const bool terms = termsApply && std::any_of(serving.terms.begin(), serving.terms.end(), [&](int t) {
                               return table.regex(t).match(line).hasMatch();
                           });
        if (!terms)
            return line;
        from = end + 1;
    }
    return std::nullopt;
}

// The first rule of `kind` (in table order) that matches the phrase text, with its line.
Found firstPhrase(const EvidenceTable &table, const ServingRules &serving, const QString &text,
                  EvidenceKind kind)
{
    for (int i = 0; i < table.size(); ++i) {
        if (!serving.applies.at(i) || table.rules().at(i).kind != kind)
            continue;
        if (const std::optional<QStringView> line = phraseLineOf(table, serving, i, text))
            return {i, evidenceText(*line)};
    }
    return {};
}

bool hasVisibleText(QStringView answer)
{
    return std::any_of(answer.begin(), answer.end(), [](QChar c) { return !c.isSpace(); });
}

Judgement decided(LookupVerdict verdict, const EvidenceTable &table, const Found &found)
{
    return {verdict, {}, table.rules().at(found.rule).id, found.evidence};
}

// Registration data is about the asked name when a name field holds it or, in an answer
// without name fields, when the answer mentions it.
bool aboutAskedName(const AnswerScan &scan, QStringView answer, const std::optional<AskedName> &name)
{
    if (!name)
        return true;
    if (scan.sawNameField)
        return scan.nameMatched;
    return answer.contains(name->unicode, Qt::CaseInsensitive) ||
           answer.contains(name->ace, Qt::CaseInsensitive);
}

} // namespace

QString normalizedTld(const QString &tld)
{
    QString out = tld.trimmed().toLower();
    while (out.startsWith(QLatin1Char('.')))
        out.remove(0, 1);
    while (out.endsWith(QLatin1Char('.')))
        out.chop(1);
    return out;
}

EvidenceJudge::EvidenceJudge(EvidenceTable table) : m_table(std::move(table))
{
}

Judgement EvidenceJudge::judge(QStringView answer, const QString &tld, const QString &name) const
{
    if (!hasVisibleText(answer))
        return {LookupVerdict::Unknown, {}, kRuleEmpty, {}};
    const ServingRules serving(m_table, normalizedTld(tld));
    const std::optional<AskedName> asked = askedName(name);
    AnswerScan scan(m_table, serving, asked, nullptr);
    scan.run(answer);
    const QString &text = scan.phraseText;

    if (const Found blocked = firstPhrase(m_table, serving, text, EvidenceKind::Blocked); blocked.found())
        return decided(LookupVerdict::Blocked, m_table, blocked);
    Found data = scan.data;
    if (!data.found())
        data = firstPhrase(m_table, serving, text, EvidenceKind::Registered);
    if (data.found() && aboutAskedName(scan, answer, asked))
        return decided(LookupVerdict::Registered, m_table, data);
    if (const Found unknown = firstPhrase(m_table, serving, text, EvidenceKind::Unknown); unknown.found())
        return decided(LookupVerdict::Unknown, m_table, unknown);
    if (const Found available = firstPhrase(m_table, serving, text, EvidenceKind::Available);
        available.found())
        return decided(LookupVerdict::Available, m_table, available);
    if (scan.free.found())
        return decided(LookupVerdict::Available, m_table, scan.free);
    if (data.found())
        return {LookupVerdict::Unknown, {}, kRuleOtherName, {}};
    return {LookupVerdict::Unknown, {}, kRuleNoEvidence, {}};
}

QList<int> EvidenceJudge::matchingRules(QStringView answer, const QString &tld) const
{
    const ServingRules serving(m_table, normalizedTld(tld));
    const QList<bool> &applies = serving.applies;
    QList<bool> hits(m_table.size(), false);
    const std::optional<AskedName> noName;
    AnswerScan scan(m_table, serving, noName, &hits);
    scan.run(answer);
    QList<int> matching;
    for (int i = 0; i < m_table.size(); ++i) {
        const EvidenceKind kind = m_table.rules().at(i).kind;
        if (!hits.at(i) && applies.at(i) && !isFieldKind(kind) && kind != EvidenceKind::Free)
            hits[i] = phraseLineOf(m_table, serving, i, scan.phraseText).has_value();
        if (hits.at(i))
            matching.append(i);
    }
    return matching;
}

} // namespace wendlecott::core
