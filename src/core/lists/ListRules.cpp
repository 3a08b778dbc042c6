#include "core/lists/ListRules.h"

#include <QUrl>

#include <algorithm>

namespace wendlecott::core {

namespace {

// Drops the time zone ("t") from a time format, leaving quoted literal text alone.
QString withoutTimeZone(const QString &format)
{
    QString out;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t'))
            continue;
        out += c;
    }
    return out.trimmed();
}

// A two-digit year is widened to four, so stamps of different centuries never meet.
QString withFullYear(QString format)
{
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}

bool looksLikeDomain(const QString &text)
{
    if (text.isEmpty() || text.size() > 253 || !text.contains(QLatin1Char('.')))
        return false;
    const QStringList labels = text.split(QLatin1Char('.'));
    for (const QString &label : labels) {
        if (label.isEmpty() || label.size() > 63)
            return false;
        for (const QChar c : label) {
            if (!c.isLetterOrNumber() && c != QLatin1Char('-'))
                return false;
        }
    }
    return true;
}

bool isIndexList(const QString &text)
{
    bool digit = false;
    for (const QChar c : text) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digit = true;
        else if (c != QLatin1Char('|') && !c.isSpace())
            return false;
    }
    return digit;
}

} // namespace

std::optional<ListId> listIdFromIndex(int index)
{
    if (index < 1 || index > 5)
        return std::nullopt;
    return static_cast<ListId>(index);
}

bool isResultList(ListId id)
{
    return id == ListId::Low || id == ListId::Registered || id == ListId::High || id == ListId::Mid;
}

bool hasLiveFile(ListId id)
{
    return id == ListId::Low || id == ListId::High || id == ListId::Mid;
}

bool isBareExtension(const QString &domain)
{
    return domain == QLatin1String(".net") || domain == QLatin1String(".com");
}

ProfileClass classify(const QString &domain)
{
    const qsizetype dot = domain.indexOf(QLatin1Char('.'));
    const qsizetype length = dot < 0 ? domain.size() : dot;
    if (length < 5)
        return ProfileClass::High;
    if (length <= 7)
        return ProfileClass::Mid;
    return ProfileClass::Low;
}

ListId listOf(ProfileClass profile)
{
    switch (profile) {
    case ProfileClass::High:
        return ListId::High;
    case ProfileClass::Mid:
        return ListId::Mid;
    case ProfileClass::Low:
        return ListId::Low;
    }
    return ListId::Low;
}

QString uncountedCaption(ListId id)
{
    switch (id) {
    case ListId::Low:
        return QStringLiteral("Low Profile");
    case ListId::Registered:
        return QStringLiteral("Registered");
    case ListId::High:
        return QStringLiteral("High Profile");
    case ListId::Mid:
        return QStringLiteral("Mid Profile");
    case ListId::Saved:
        return QStringLiteral("Saved Domains");
    case ListId::None:
        break;
    }
    return {};
}

QString countedCaption(ListId id, ListCounter count)
{
    if (!isResultList(id))
        return uncountedCaption(id);
    return uncountedCaption(id) + QStringLiteral(" (") + QString::number(count) + QLatin1Char(')');
}

QString listTooltip(ListId id)
{
    switch (id) {
    case ListId::Low:
        return QStringLiteral("These domains have 8 or more characters.");
    case ListId::Registered:
        return QStringLiteral("These domain names are already registered.");
    case ListId::High:
        return QStringLiteral("These domains have less than 5 characters");
    case ListId::Mid:
        return QStringLiteral("These domains have 5 to 7 characters");
    case ListId::Saved:
        return QStringLiteral("Drag a domain name here to save it.");
    case ListId::None:
        break;
    }
    return {};
}

QString captionTooltip(ListId id, qsizetype shown)
{
    const QString tooltip = listTooltip(id);
    if (tooltip.isEmpty())
        return {};
    QString text = tooltip + QStringLiteral("\n\n");
    if (isResultList(id)) {
        text += QStringLiteral("The number in brackets counts the names filed into this list since the last "
                               "Start, less those deleted one by one; it is not the number of entries "
                               "shown. ");
    }
    if (id == ListId::Registered) {
        // ResultLists empties the list before a filing when it holds more than 100.
        text += QStringLiteral("It holds at most 101 names: when it is full, it is emptied before the "
                               "next one goes in. ");
    }
    text += shown == 1 ? QStringLiteral("The list shows 1 entry.")
                       : QStringLiteral("The list shows %1 entries.").arg(shown);
    return text;
}

QString fileBaseName(ListId id)
{
    // The file names do not follow the captions: High goes to SuperHighProfile, Mid to HighProfile.
    switch (id) {
    case ListId::Low:
        return QStringLiteral("LowProfile");
    case ListId::High:
        return QStringLiteral("SuperHighProfile");
    case ListId::Mid:
        return QStringLiteral("HighProfile");
    default:
        return {};
    }
}

QString fileStampFor(const QDateTime &moment, const QLocale &locale)
{
    const QString date =
        locale.toString(moment.date(), withFullYear(locale.dateFormat(QLocale::ShortFormat)));
    const QString time =
        locale.toString(moment.time(), withoutTimeZone(locale.timeFormat(QLocale::LongFormat)));
    const QString text = date + QLatin1Char(' ') + time;
    QString stamp;
    stamp.reserve(text.size());
    for (const QChar c : text) {
        if (c.isLetterOrNumber() || c == QLatin1Char('.') || c == QLatin1Char('-'))
            stamp += c;
    }
    return stamp;
}

QString purchaseLinkPrefix()
{
    return QStringLiteral("https://") + kStorefrontHost +
           QStringLiteral("/gdshop/registrar/search.asp?prog_id=") + kResellerProgram +
           QStringLiteral("&from=rhp&checkAvail=1&domainToCheck=");
}

QString purchaseLink(const QString &domain)
{
    // Encoded, so a name can never add query parameters or break the address.
    return purchaseLinkPrefix() + QString::fromLatin1(QUrl::toPercentEncoding(domain));
}

QString dragTextFor(QList<int> rows, qsizetype size)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QStringList parts;
    for (const int row : rows) {
        if (row >= 0 && row < size)
            parts.append(QString::number(row));
    }
    return parts.join(QLatin1Char('|'));
}

std::optional<QList<qsizetype>> parseDragText(const QString &text)
{
    if (!isIndexList(text))
        return std::nullopt;
    QList<qsizetype> rows;
    const QStringList parts = text.split(QLatin1Char('|'));
    for (const QString &part : parts) {
        bool ok = false;
        const qsizetype row = part.trimmed().toLongLong(&ok);
        if (ok)
            rows.append(row);
    }
    return rows;
}

QStringList droppedNames(const QString &text)
{
    QStringList names;
    QString normalised = text;
    normalised.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QStringList lines = normalised.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        const QString name = line.trimmed();
        if (name.isEmpty())
            continue;
        if (!looksLikeDomain(name))
            return {};
        names.append(name);
    }
    return names;
}

QString profileClassName(ProfileClass profile)
{
    switch (profile) {
    case ProfileClass::High:
        return QStringLiteral("High");
    case ProfileClass::Mid:
        return QStringLiteral("Mid");
    case ProfileClass::Low:
        return QStringLiteral("Low");
    }
    return {};
}

} // namespace wendlecott::core
