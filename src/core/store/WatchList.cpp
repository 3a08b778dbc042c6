#include "core/store/WatchList.h"

#include "core/store/AnswerStore.h"

#include <algorithm>

namespace wendlecott::store {

namespace {

bool isDecisive(const StoredAnswer &answer)
{
    return answer.verdict == core::LookupVerdict::Available ||
           answer.verdict == core::LookupVerdict::Registered;
}

// What a decisive answer says about the name, for telling whether it changed.
bool sameStanding(const StoredAnswer &a, const StoredAnswer &b)
{
    return a.verdict == b.verdict && a.details.expires == b.details.expires &&
           a.details.statuses == b.details.statuses;
}

bool hasDropStatus(const QStringList &statuses)
{
    return std::any_of(statuses.begin(), statuses.end(), &isDropStatus);
}

} // namespace

WatchRow watchRow(const QString &name, const QList<StoredAnswer> &newestFirst, const QDateTime &now)
{
    WatchRow row;
    row.name = name;
    if (newestFirst.isEmpty())
        return row;
    row.verdict = newestFirst.first().verdict;
    row.lastChecked = newestFirst.first().answeredAt;
    if (const std::optional<StoredAnswer> decisive = lastDecisive(newestFirst)) {
        row.expires = decisive->details.expires;
        row.statuses = decisive->details.statuses;
    }
    row.lastChange = lastChange(newestFirst);
    row.daysLeft = daysLeft(row.expires, now);
    return row;
}

core::Result<QList<WatchRow>> watchRows(AnswerStore &store, const QDateTime &now)
{
    const core::Result<QStringList> names = store.watchedNames();
    if (!names)
        return names.error();
    QList<WatchRow> rows;
    rows.reserve(names.value().size());
    for (const QString &name : names.value()) {
        const core::Result<QList<StoredAnswer>> history = store.historyWithoutText(name);
        if (!history)
            return history.error();
        rows.append(watchRow(name, history.value(), now));
    }
    return rows;
}

QString shortStatus(const QString &status)
{
    const qsizetype link = status.indexOf(QLatin1String("http"), 0, Qt::CaseInsensitive);
    QString words = link < 0 ? status : status.left(link);
    while (!words.isEmpty() && !words.back().isLetterOrNumber())
        words.chop(1);
    return words.trimmed();
}

bool isDropStatus(const QString &status)
{
    QString word;
    for (const QChar c : shortStatus(status)) {
        if (c.isLetter())
            word.append(c.toLower());
    }
    return word == QLatin1String("pendingdelete") || word == QLatin1String("redemptionperiod");
}

QString attentionReason(const WatchRow &row)
{
    QStringList reasons;
    for (const QString &status : row.statuses) {
        if (isDropStatus(status)) {
            reasons.append(shortStatus(status));
            break;
        }
    }
    if (row.daysLeft && *row.daysLeft <= kWatchExpiryWarningDays) {
        const qint64 days = *row.daysLeft;
        reasons.append(days < 0    ? QStringLiteral("Expired %1 days ago").arg(-days)
                       : days == 0 ? QStringLiteral("Expires today")
                                   : QStringLiteral("Expires in %1 days").arg(days));
    }
    return reasons.join(QStringLiteral("; "));
}

std::optional<StoredAnswer> lastDecisive(const QList<StoredAnswer> &newestFirst)
{
    for (const StoredAnswer &answer : newestFirst) {
        if (isDecisive(answer))
            return answer;
    }
    return std::nullopt;
}

std::optional<core::LookupVerdict> lastVerdict(const QList<StoredAnswer> &newestFirst)
{
    const std::optional<StoredAnswer> decisive = lastDecisive(newestFirst);
    return decisive ? std::optional(decisive->verdict) : std::nullopt;
}

QDateTime lastChange(const QList<StoredAnswer> &newestFirst)
{
    const StoredAnswer *newer = nullptr;
    for (const StoredAnswer &answer : newestFirst) {
        if (!isDecisive(answer))
            continue;
        if (newer && !sameStanding(*newer, answer))
            return newer->answeredAt;
        newer = &answer;
    }
    return {};
}

std::optional<qint64> daysLeft(const QDateTime &expires, const QDateTime &now)
{
    if (!expires.isValid())
        return std::nullopt;
    return now.toUTC().date().daysTo(expires.toUTC().date());
}

bool becameAvailable(std::optional<core::LookupVerdict> before, core::LookupVerdict now)
{
    return before == core::LookupVerdict::Registered && now == core::LookupVerdict::Available;
}

WatchChange watchChange(const std::optional<StoredAnswer> &before, const std::optional<StoredAnswer> &after)
{
    if (!before || !after || !isDecisive(*after) || after->id == before->id)
        return WatchChange::None;
    if (after->verdict == core::LookupVerdict::Available)
        return before->verdict == core::LookupVerdict::Available ? WatchChange::None
                                                                 : WatchChange::BecameAvailable;
    const bool dropping = hasDropStatus(after->details.statuses);
    const bool wasDropping =
        before->verdict == core::LookupVerdict::Registered && hasDropStatus(before->details.statuses);
    return dropping && !wasDropping ? WatchChange::StartedToDrop : WatchChange::None;
}

} // namespace wendlecott::store
