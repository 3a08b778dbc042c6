#include "core/lookup/DetailsTable.h"

#include "core/lookup/EvidenceTable.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <climits>

namespace wendlecott::core {

namespace {

const QString kBuiltInResource = QStringLiteral(":/wendlecott/whois-details.tsv");

std::optional<DetailField> fieldFromKind(const QString &kind)
{
    static const std::array<std::pair<const char *, DetailField>, 6> kinds{{
        {"created", DetailField::Created},
        {"expires", DetailField::Expires},
        {"updated", DetailField::Updated},
        {"registrar", DetailField::Registrar},
        {"status", DetailField::Status},
        {"nameserver", DetailField::NameServer},
    }};
    for (const auto &[name, field] : kinds) {
        if (kind == QLatin1String(name))
            return field;
    }
    return std::nullopt;
}

// "+03:00", "-0500", "+02" as seconds east of UTC.
std::optional<int> parseOffset(QStringView text)
{
    if (text.size() < 3 || (text.front() != QLatin1Char('+') && text.front() != QLatin1Char('-')))
        return std::nullopt;
    const int sign = text.front() == QLatin1Char('-') ? -1 : 1;
    QString digits = text.mid(1).toString();
    digits.remove(QLatin1Char(':'));
    if (digits.size() != 2 && digits.size() != 4)
        return std::nullopt;
    bool ok = false;
    const int hours = digits.left(2).toInt(&ok);
    if (!ok || hours > 14)
        return std::nullopt;
    const int minutes = digits.size() == 4 ? digits.mid(2).toInt(&ok) : 0;
    if (!ok || minutes > 59)
        return std::nullopt;
    return sign * (hours * 3600 + minutes * 60);
}

// An English month name or its first letters (at least three), 1 to 12; 0 when it is none.
int monthFromName(const QString &name)
{
    static const std::array<const char *, 12> months{"january",   "february", "march",    "april",
                                                     "may",       "june",     "july",     "august",
                                                     "september", "october",  "november", "december"};
    const QString lower = name.toLower();
    if (lower.size() < 3)
        return 0;
    for (int i = 0; i < 12; ++i) {
        if (QLatin1String(months[i]).startsWith(lower))
            return i + 1;
    }
    return lower == QLatin1String("sept") ? 9 : 0;
}

// The group numbers of a format's parts, by the groups' names.
std::array<int, std::size_t(DatePart::Count)> dateGroups(const QRegularExpression &regex)
{
    static const std::array<const char *, std::size_t(DatePart::Count)> names{"y", "yy", "mon", "m", "d",
                                                                              "H", "M",  "S",   "z"};
    std::array<int, std::size_t(DatePart::Count)> groups{};
    const QStringList named = regex.namedCaptureGroups();
    for (std::size_t part = 0; part < names.size(); ++part)
        groups[part] = int(named.indexOf(QLatin1String(names[part])));
    return groups;
}

QStringView partOf(const QRegularExpressionMatch &match, const DateFormat &format, DatePart part)
{
    const int group = format.groups[std::size_t(part)];
    return group < 0 ? QStringView() : match.capturedView(group);
}

// A part's number; `fallback` when the format has no such part or it matched nothing, -1 when
// it is no number. The groups hold a few ASCII digits: read by hand, not through the locale.
int numberOf(const QRegularExpressionMatch &match, const DateFormat &format, DatePart part, int fallback)
{
    const QStringView text = partOf(match, format, part);
    if (text.isEmpty())
        return fallback;
    qint64 value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c.unicode() - u'0');
        if (value > INT_MAX)
            return -1;
    }
    return int(value);
}

// The order of the field-name index within one first letter.
bool shorterRun(const DetailsTable::LabelRef &a, const DetailsTable::LabelRef &b)
{
    return a.leadingRun < b.leadingRun;
}

} // namespace

DetailsTable DetailsTable::parse(const QString &text, int *skipped)
{
    DetailsTable table;
    int bad = 0;
    for (const QString &rawLine : text.split(QLatin1Char('\n'))) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList cells = line.split(QLatin1Char('\t'), Qt::SkipEmptyParts);
        if (cells.size() != 4) {
            ++bad;
            continue;
        }
        const QString kind = cells.at(0).trimmed();
        const QStringList tlds = parseExtensionField(cells.at(1).trimmed());
        const QString id = cells.at(2).trimmed();
        const QString pattern = cells.at(3).trimmed();
        if (const std::optional<DetailField> field = fieldFromKind(kind)) {
            const QStringList words = pattern.toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (words.isEmpty()) {
                ++bad;
                continue;
            }
            const char16_t first = words.front().front().unicode();
            const qsizetype run = leadingAlphanumericRun(words.front());
            const char16_t second =
                words.size() > 1 && run == words.front().size() && words.at(1).front().unicode() < 0x80
                    ? words.at(1).front().unicode()
                    : 0;
            (first < table.m_byFirstLetter.size() ? table.m_byFirstLetter[first] : table.m_otherFirstLetters)
                .append({run, int(table.m_labels.size()), second});
            table.m_labels.append({*field, tlds, words});
        } else if (kind == QLatin1String("date")) {
            QRegularExpression regex(pattern, QRegularExpression::CaseInsensitiveOption);
            if (!regex.isValid()) {
                ++bad;
                continue;
            }
            regex.optimize();
            table.m_formats.append({tlds, id, regex, dateGroups(regex)});
        } else if (kind == QLatin1String("zone") && parseOffset(pattern)) {
            table.m_zones.insert(id.toUpper(), *parseOffset(pattern));
        } else {
            ++bad;
        }
    }
    // Each letter's names by the length of their first run, in the table's order within one length.
    for (QList<LabelRef> &refs : table.m_byFirstLetter)
        std::stable_sort(refs.begin(), refs.end(), shorterRun);
    std::stable_sort(table.m_otherFirstLetters.begin(), table.m_otherFirstLetters.end(), shorterRun);
    if (skipped)
        *skipped = bad;
    return table;
}

const DetailsTable &DetailsTable::builtIn()
{
    static const DetailsTable table = [] {
        QFile file(kBuiltInResource);
        if (!file.open(QIODevice::ReadOnly))
            return DetailsTable();
        return parse(QString::fromUtf8(file.readAll()));
    }();
    return table;
}

qsizetype leadingAlphanumericRun(QStringView text)
{
    qsizetype n = 0;
    while (n < text.size() && text[n].isLetterOrNumber())
        ++n;
    return n;
}

std::span<const DetailsTable::LabelRef> DetailsTable::labelsStartingWith(QChar first,
                                                                         qsizetype leadingRun) const
{
    const QList<LabelRef> &refs =
        first.unicode() < m_byFirstLetter.size() ? m_byFirstLetter[first.unicode()] : m_otherFirstLetters;
    const auto [begin, end] =
        std::equal_range(refs.begin(), refs.end(), LabelRef{leadingRun, 0, 0}, shorterRun);
    return {begin, end};
}

bool DetailsTable::serves(const QStringList &tlds, const QString &tld)
{
    if (tlds.isEmpty())
        return true;
    for (const QString &listed : tlds) {
        if (tld.endsWith(listed) &&
            (tld.size() == listed.size() || tld.at(tld.size() - listed.size() - 1) == QLatin1Char('.')))
            return true;
    }
    return false;
}

std::optional<int> DetailsTable::zoneOffsetSeconds(QStringView zone) const
{
    if (zone.isEmpty() || zone.compare(QLatin1String("z"), Qt::CaseInsensitive) == 0)
        return 0;
    if (const std::optional<int> offset = parseOffset(zone))
        return offset;
    const auto it = m_zones.constFind(zone.toString().toUpper());
    if (it == m_zones.constEnd())
        return std::nullopt;
    return *it;
}

QDateTime DetailsTable::readDate(QStringView value, const QString &tld) const
{
    for (const DateFormat &format : m_formats) {
        if (!serves(format.tlds, tld))
            continue;
        const QRegularExpressionMatch match = format.regex.match(value);
        if (!match.hasMatch())
            continue;
        int year = numberOf(match, format, DatePart::Year, -1);
        if (year < 0 && numberOf(match, format, DatePart::ShortYear, -1) >= 0)
            year = 2000 + numberOf(match, format, DatePart::ShortYear, -1);
        const QStringView monthName = partOf(match, format, DatePart::MonthName);
        const int month = monthName.isEmpty() ? numberOf(match, format, DatePart::Month, -1)
                                              : monthFromName(monthName.toString());
        const QDate date(year, month, numberOf(match, format, DatePart::Day, -1));
        const QTime time(numberOf(match, format, DatePart::Hour, 0),
                         numberOf(match, format, DatePart::Minute, 0),
                         numberOf(match, format, DatePart::Second, 0));
        const std::optional<int> offset = zoneOffsetSeconds(partOf(match, format, DatePart::Zone));
        // The first format that matches decides: a second reading of the same text would be a guess.
        if (year < 1 || !date.isValid() || !time.isValid() || !offset)
            return {};
        return QDateTime(date, time, Qt::UTC).addSecs(-*offset);
    }
    return {};
}

} // namespace wendlecott::core
