#include "core/lookup/RegistrationDetails.h"

#include "core/lookup/DomainLookup.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <chrono>
#include <climits>

namespace wendlecott::core {

namespace {

bool isWordGap(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('_') || c == QLatin1Char('-') || c == QLatin1Char('.');
}

// ASCII letters in lower case, the rest as they are.
char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
}

// `text` without white space at either end, as QStringView::trimmed() gives it; inline, as it is
// called for every line of every answer.
QStringView trimmedText(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].isSpace())
        ++begin;
    while (end > begin && text[end - 1].isSpace())
        --end;
    return text.sliced(begin, end - begin);
}

// Whether `text` begins with `word` (lower case), in any case: ASCII letters compared
// directly, the rest by their case folding.
bool startsWithWord(QStringView text, const QString &word)
{
    if (text.size() < word.size())
        return false;
    for (qsizetype i = 0; i < word.size(); ++i) {
        const char16_t a = text[i].unicode();
        const char16_t b = word[i].unicode();
        if (asciiLower(a) == b)
            continue;
        if ((a < 0x80 && b < 0x80) || QChar::toCaseFolded(a) != QChar::toCaseFolded(b))
            return false;
    }
    return true;
}

// Where the value after the field name `words` begins in `line`, or -1 when the line does not
// start with that name. The name must be followed by ":", "]", "..", a tab or two spaces (or
// end the line); a single space is enough where the value reads itself (a date).
qsizetype valueStart(QStringView line, const QStringList &words, bool spaceIsEnough)
{
    if (words.isEmpty() || line.isEmpty())
        return -1;
    qsizetype p = 0;
    for (qsizetype w = 0; w < words.size(); ++w) {
        if (w > 0) {
            const qsizetype before = p;
            while (p < line.size() && isWordGap(line.at(p)))
                ++p;
            if (p == before)
                return -1;
        }
        const QString &word = words.at(w);
        if (!startsWithWord(line.mid(p), word))
            return -1;
        p += word.size();
    }
    if (p < line.size() && line.at(p).isLetterOrNumber())
        return -1;
    bool separated = p == line.size();
    bool sawColon = false;
    int spaces = 0;
    for (; p < line.size(); ++p) {
        const QChar c = line.at(p);
        if (c == QLatin1Char(':') || c == QLatin1Char(']')) {
            separated = sawColon = true;
        } else if (c == QLatin1Char('\t')) {
            separated = true;
        } else if (c == QLatin1Char('.') && !sawColon) {
            separated = separated || (p + 1 < line.size() && line.at(p + 1) == QLatin1Char('.'));
        } else if (c == QLatin1Char(' ')) {
            separated = separated || ++spaces >= 2;
        } else {
            break;
        }
    }
    return separated || (spaceIsEnough && spaces == 1) ? p : -1;
}

// Where "http" begins in `text`, in any case of its ASCII letters; -1 when nowhere.
qsizetype indexOfHttp(QStringView text)
{
    static constexpr char16_t http[] = u"http";
    for (qsizetype i = 0; i + 4 <= text.size(); ++i) {
        qsizetype k = 0;
        while (k < 4 && asciiLower(text[i + k].unicode()) == http[k])
            ++k;
        if (k == 4)
            return i;
    }
    return -1;
}

// A trimmed line as field names are looked for in it: without a list mark before a bracketed
// name ("d [Record Expired]", "a. [Domain Name]"), without the bracket.
QStringView fieldLine(QStringView line)
{
    static const QRegularExpression listMark(QStringLiteral("^[0-9]{0,2}[a-z]?\\.?\\s+(?=\\[)"));
    QStringView s = line;
    if (s.left(6).contains(QLatin1Char('['))) {
        const QRegularExpressionMatch mark = listMark.match(s);
        if (mark.hasMatch())
            s = s.mid(mark.capturedLength());
    }
    if (s.startsWith(QLatin1Char('[')))
        s = s.mid(1);
    return s;
}

// The first letter of a line in lower case, as field names are indexed by it.
QChar firstLetter(QStringView line)
{
    const char16_t c = line.front().unicode();
    return c < 0x80 ? QChar(asciiLower(c)) : line.front().toLower();
}

// Stands for a letter that is not ASCII: it may fold to any.
constexpr char16_t kAnyLetter = 0xffff;

// The letter, in lower case, that begins the word after the line's first `run` letters and
// digits and the gap after them; 0 when no gap and word follow, kAnyLetter when it is not ASCII.
char16_t secondWordLetter(QStringView line, qsizetype run)
{
    qsizetype p = run;
    while (p < line.size() && isWordGap(line[p]))
        ++p;
    if (p == run || p == line.size())
        return 0;
    const char16_t c = line[p].unicode();
    return c < 0x80 ? asciiLower(c) : kAnyLetter;
}

bool isComment(QStringView line)
{
    return line.startsWith(QLatin1Char('%')) || line.startsWith(QLatin1Char('#'));
}

QStringView unquotedView(QStringView value)
{
    QStringView v = trimmedText(value);
    while (!v.isEmpty() && (v.front() == QLatin1Char('"') || v.front() == QLatin1Char('\'')))
        v = v.mid(1);
    while (!v.isEmpty() && (v.back() == QLatin1Char('"') || v.back() == QLatin1Char('\'')))
        v.chop(1);
    return trimmedText(v);
}

QString unquoted(QStringView value)
{
    return unquotedView(value).toString();
}

// Whether `word` is two or more dot-separated labels of a-z, 0-9, "_" and "-".
bool isHostName(QStringView word)
{
    qsizetype labels = 0;
    qsizetype labelLength = 0;
    for (const QChar c : word) {
        const char16_t u = c.unicode();
        if (u == u'.') {
            if (labelLength == 0)
                return false;
            ++labels;
            labelLength = 0;
        } else if ((u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9') || u == u'_' || u == u'-') {
            ++labelLength;
        } else {
            return false;
        }
    }
    return labelLength > 0 && labels >= 1;
}

// A name server's host name from the first word of a value: lower case, no final dot; empty
// when the word is no host name.
QString hostName(QStringView value)
{
    const QStringView trimmed = trimmedText(value);
    qsizetype end = 0;
    while (end < trimmed.size() && !trimmed.at(end).isSpace() && trimmed.at(end) != QLatin1Char(',') &&
           trimmed.at(end) != QLatin1Char(';'))
        ++end;
    QString word = trimmed.left(end).toString();
    // ASCII letters by hand: Qt's lower-casing is made for every script and costs more.
    bool ascii = true;
    for (QChar &c : word) {
        ascii = ascii && c.unicode() < 0x80;
        c = QChar(asciiLower(c.unicode()));
    }
    if (!ascii)
        word = word.toLower();
    while (word.endsWith(QLatin1Char('.')))
        word.chop(1);
    return isHostName(word) ? word : QString();
}

void appendOnce(QStringList &list, const QString &item)
{
    if (item.isEmpty())
        return;
    // Texts of another length never compare equal in any case: most are passed over by that.
    for (const QString &listed : list) {
        if (listed.size() == item.size() && listed.compare(item, Qt::CaseInsensitive) == 0)
            return;
    }
    list.append(item);
}

// Reads one answer's lines into details, by the field names of the table serving one extension.
class WhoisReader {
public:
    WhoisReader(QStringView answer, const QString &tld, const DetailsTable &table)
        : m_tld(tld), m_table(table)
    {
        m_lines.reserve(answer.size() / 40 + 1);
        qsizetype begin = 0;
        while (begin <= answer.size()) {
            qsizetype end = answer.indexOf(QLatin1Char('\n'), begin);
            if (end < 0)
                end = answer.size();
            m_lines.append(trimmedText(answer.mid(begin, end - begin)));
            begin = end + 1;
        }
    }

    RegistrationDetails read()
    {
        for (qsizetype i = 0; i < m_lines.size(); ++i) {
            if (m_lines.at(i).isEmpty() || isComment(m_lines.at(i)))
                continue;
            const QStringView line = fieldLine(m_lines.at(i));
            if (line.isEmpty())
                continue;
            // A line is one field of each kind at most: the first name of that kind that fits.
            // Only the names that begin with the line's first letter and whose first word is
            // as long as the line's can fit it; of those, the names of more words only where
            // their second word begins as the line's does.
            unsigned taken = 0;
            const qsizetype leadingRun = leadingAlphanumericRun(line);
            const char16_t secondLetter = secondWordLetter(line, leadingRun);
            for (const DetailsTable::LabelRef &ref :
                 m_table.labelsStartingWith(firstLetter(line), leadingRun)) {
                if (ref.secondWordLetter != 0 && secondLetter != kAnyLetter &&
                    ref.secondWordLetter != secondLetter)
                    continue;
                const int rule = ref.label;
                const DetailLabel &label = m_table.labels().at(rule);
                const unsigned bit = 1u << unsigned(label.field);
                if ((taken & bit) || !DetailsTable::serves(label.tlds, m_tld))
                    continue;
                const bool isDate = label.field == DetailField::Created ||
                                    label.field == DetailField::Expires ||
                                    label.field == DetailField::Updated;
                const qsizetype start = valueStart(line, label.words, isDate);
                if (start < 0)
                    continue;
                take(label.field, rule, trimmedText(line.mid(start)), i);
                taken |= bit;
            }
        }
        return m_details;
    }

private:
    // The value of a field whose own line holds none: the next line, when it is indented
    // under the field's name.
    QStringView valueBelow(QStringView value, qsizetype lineIndex) const
    {
        if (!value.isEmpty() || lineIndex + 1 >= m_lines.size())
            return value;
        return m_lines.at(lineIndex + 1);
    }

    void takeDate(QDateTime &date, int &best, int rule, QStringView value)
    {
        if (rule >= best)
            return;
        const QDateTime read = m_table.readDate(unquotedView(value), m_tld);
        if (read.isValid()) {
            date = read;
            best = rule;
        }
    }

    void takeNameServers(QStringView value, qsizetype lineIndex)
    {
        if (!value.isEmpty()) {
            appendOnce(m_details.nameservers, hostName(value));
            return;
        }
        // A list under the field's name, up to an empty line or one that holds no host name.
        qsizetype i = lineIndex + 1;
        while (i < m_lines.size() && m_lines.at(i).isEmpty() && i <= lineIndex + 1)
            ++i;
        for (; i < m_lines.size() && !m_lines.at(i).isEmpty(); ++i) {
            const QString host = hostName(m_lines.at(i));
            if (host.isEmpty())
                break;
            appendOnce(m_details.nameservers, host);
        }
    }

    void take(DetailField field, int rule, QStringView value, qsizetype lineIndex)
    {
        switch (field) {
        case DetailField::Created:
            return takeDate(m_details.created, m_bestCreated, rule, valueBelow(value, lineIndex));
        case DetailField::Expires:
            return takeDate(m_details.expires, m_bestExpires, rule, valueBelow(value, lineIndex));
        case DetailField::Updated:
            return takeDate(m_details.updated, m_bestUpdated, rule, valueBelow(value, lineIndex));
        case DetailField::Registrar:
            if (rule < m_bestRegistrar && !unquoted(valueBelow(value, lineIndex)).isEmpty()) {
                m_details.registrar = unquoted(valueBelow(value, lineIndex));
                m_bestRegistrar = rule;
            }
            return;
        case DetailField::Status: {
            const qsizetype link = indexOfHttp(value);
            appendOnce(m_details.statuses, unquoted(link < 0 ? value : value.left(link)));
            return;
        }
        case DetailField::NameServer:
            return takeNameServers(value, lineIndex);
        }
    }

    const QString m_tld;
    const DetailsTable &m_table;
    QList<QStringView> m_lines;
    RegistrationDetails m_details;
    int m_bestCreated = INT_MAX;
    int m_bestExpires = INT_MAX;
    int m_bestUpdated = INT_MAX;
    int m_bestRegistrar = INT_MAX;
};

QString normalizedExtension(const QString &tld)
{
    QString t = tld.trimmed().toLower();
    while (t.startsWith(QLatin1Char('.')))
        t.remove(0, 1);
    while (t.endsWith(QLatin1Char('.')))
        t.chop(1);
    return t;
}

// A vCard's formatted name ("fn"), else its organisation ("org").
QString vcardText(const QJsonArray &vcard)
{
    const QJsonArray properties = vcard.at(1).toArray();
    for (const char *key : {"fn", "org"}) {
        for (const QJsonValue &property : properties) {
            const QJsonArray p = property.toArray();
            if (p.size() >= 4 && p.at(0).toString() == QLatin1String(key) && p.at(3).isString() &&
                !p.at(3).toString().trimmed().isEmpty())
                return p.at(3).toString().trimmed();
        }
    }
    return {};
}

QString rdapRegistrar(const QJsonArray &entities)
{
    for (const QJsonValue &value : entities) {
        const QJsonObject entity = value.toObject();
        if (!entity.value(QLatin1String("roles")).toArray().contains(QJsonValue(QStringLiteral("registrar"))))
            continue;
        const QString name = vcardText(entity.value(QLatin1String("vcardArray")).toArray());
        if (!name.isEmpty())
            return name;
        return entity.value(QLatin1String("handle")).toString().trimmed();
    }
    return {};
}

} // namespace

bool RegistrationDetails::isEmpty() const
{
    return !created.isValid() && !expires.isValid() && !updated.isValid() && registrar.isEmpty() &&
           statuses.isEmpty() && nameservers.isEmpty();
}

RegistrationDetails whoisDetails(QStringView answer, const QString &tld, const DetailsTable &table)
{
    return WhoisReader(answer, normalizedExtension(tld), table).read();
}

RegistrationDetails rdapDetails(const QJsonObject &domain)
{
    RegistrationDetails details;
    const DetailsTable &table = DetailsTable::builtIn();
    for (const QJsonValue &value : domain.value(QLatin1String("events")).toArray()) {
        const QJsonObject event = value.toObject();
        const QString action = event.value(QLatin1String("eventAction")).toString().toLower();
        QDateTime *target =
            action == QLatin1String("registration") ? &details.created
            : action == QLatin1String("expiration") ? &details.expires
            : action == QLatin1String("last changed") || action == QLatin1String("last update")
                ? &details.updated
                : nullptr;
        if (target && !target->isValid())
            *target = table.readDate(event.value(QLatin1String("eventDate")).toString().trimmed(), {});
    }
    details.registrar = rdapRegistrar(domain.value(QLatin1String("entities")).toArray());
    for (const QJsonValue &status : domain.value(QLatin1String("status")).toArray())
        appendOnce(details.statuses, status.toString().trimmed());
    for (const QJsonValue &value : domain.value(QLatin1String("nameservers")).toArray()) {
        const QJsonObject server = value.toObject();
        QString name = server.value(QLatin1String("ldhName")).toString();
        if (name.isEmpty())
            name = server.value(QLatin1String("unicodeName")).toString();
        appendOnce(details.nameservers, hostName(name));
    }
    return details;
}

RegistrationDetails rdapDetails(const QString &answer)
{
    const QJsonDocument document = QJsonDocument::fromJson(answer.toUtf8());
    return document.isObject() ? rdapDetails(document.object()) : RegistrationDetails();
}

RegistrationDetails detailsOf(const LookupEvidence &evidence)
{
    // Only an answer about a registration of the asked name holds its details.
    if (evidence.verdict != LookupVerdict::Registered || evidence.answer.isEmpty())
        return {};
    if (evidence.protocol == LookupProtocol::Rdap)
        return rdapDetails(evidence.answer);
    return whoisDetails(evidence.answer, evidence.name.section(QLatin1Char('.'), 1));
}

bool writeIsoUtc(qint64 msecs, std::array<char, 20> &text)
{
    using namespace std::chrono;
    const qint64 seconds = msecs / 1000 - (msecs % 1000 < 0 ? 1 : 0);
    const qint64 days = seconds / 86400 - (seconds % 86400 < 0 ? 1 : 0);
    // 0001-01-01 and 9999-12-31 as days since 1970-01-01 (Qt's calendar has no year 0).
    constexpr qint64 kFirstDay = -719162;
    constexpr qint64 kLastDay = 2932896;
    if (days < kFirstDay || days > kLastDay)
        return false;
    const year_month_day date{sys_days{std::chrono::days{days}}};
    const qint64 secondOfDay = seconds - days * 86400;
    const std::array<int, 6> parts{int(date.year()),           int(unsigned(date.month())),
                                   int(unsigned(date.day())),  int(secondOfDay / 3600),
                                   int(secondOfDay / 60 % 60), int(secondOfDay % 60)};
    // Qt's own formatting goes through printf; this is written for every stored answer.
    static constexpr char kPattern[] = "0000-00-00T00:00:00Z";
    std::copy(std::begin(kPattern), std::end(kPattern) - 1, text.begin());
    const std::array<int, 6> ends{4, 7, 10, 13, 16, 19}; // one past each part's last digit
    for (std::size_t i = 0; i < parts.size(); ++i) {
        for (int p = ends[i] - 1, value = parts[i]; value > 0; --p, value /= 10)
            text[std::size_t(p)] = char('0' + value % 10);
    }
    return true;
}

QString isoUtc(const QDateTime &dateTime)
{
    if (!dateTime.isValid())
        return {};
    std::array<char, 20> text;
    if (writeIsoUtc(dateTime.toMSecsSinceEpoch(), text))
        return QString::fromLatin1(text.data(), qsizetype(text.size()));
    return dateTime.toUTC().toString(Qt::ISODate);
}

QJsonObject detailsJson(const RegistrationDetails &details)
{
    QJsonObject object;
    if (details.created.isValid())
        object.insert(QStringLiteral("created"), isoUtc(details.created));
    if (details.expires.isValid())
        object.insert(QStringLiteral("expires"), isoUtc(details.expires));
    if (details.updated.isValid())
        object.insert(QStringLiteral("updated"), isoUtc(details.updated));
    if (!details.registrar.isEmpty())
        object.insert(QStringLiteral("registrar"), details.registrar);
    if (!details.statuses.isEmpty())
        object.insert(QStringLiteral("statuses"), QJsonArray::fromStringList(details.statuses));
    if (!details.nameservers.isEmpty())
        object.insert(QStringLiteral("nameservers"), QJsonArray::fromStringList(details.nameservers));
    return object;
}

RegistrationDetails detailsFromJson(const QJsonObject &object)
{
    const auto date = [&](const char *key) {
        QDateTime d = QDateTime::fromString(object.value(QLatin1String(key)).toString(), Qt::ISODate);
        return d.isValid() ? d.toUTC() : QDateTime();
    };
    const auto list = [&](const char *key) {
        QStringList items;
        for (const QJsonValue &v : object.value(QLatin1String(key)).toArray())
            appendOnce(items, v.toString());
        return items;
    };
    RegistrationDetails details;
    details.created = date("created");
    details.expires = date("expires");
    details.updated = date("updated");
    details.registrar = object.value(QLatin1String("registrar")).toString();
    details.statuses = list("statuses");
    details.nameservers = list("nameservers");
    return details;
}

} // namespace wendlecott::core
