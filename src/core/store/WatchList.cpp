#include "core/store/WatchList.h"

#include "core/store/AnswerStore.h"

namespace wendlecott::store {

namespace {

bool hasVerdict(const StoredAnswer &answer)
{
    return answer.verdict == core::LookupVerdict::Available ||
           answer.verdict == core::LookupVerdict::Registered;
}

bool sameStanding(const StoredAnswer &a, const StoredAnswer &b)
{
    return a.verdict == b.verdict && a.details.expires == b.details.expires &&
           a.details.statuses == b.details.statuses;
}

} // namespace

QDateTime lastChange(const QList<StoredAnswer> &newestFirst)
{
    const StoredAnswer *newer = nullptr;
    for (const StoredAnswer &answer : newestFirst) {
        if (!hasVerdict(answer))
            continue;
        if (newer && !sameStanding(*newer, answer))
            return newer->answeredAt;
        newer = &answer;
    }
    return {};
}

std::optional<core::LookupVerdict> lastVerdict(const QList<StoredAnswer> &newestFirst)
{
    for (const StoredAnswer &answer : newestFirst) {
        if (hasVerdict(answer))
            return answer.verdict;
    }
    return std::nullopt;
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

core::Result<QList<WatchedName>> readWatchList(AnswerStore &store)
{
    const core::Result<QStringList> names = store.watchedNames();
    if (!names)
        return names.error();
    QList<WatchedName> list;
    for (const QString &name : names.value()) {
        const core::Result<QList<StoredAnswer>> history = store.historyWithoutText(name);
        if (!history)
            return history.error();
        WatchedName watched;
        watched.name = name;
        if (!history.value().isEmpty())
            watched.latest = history.value().first();
        watched.lastChange = lastChange(history.value());
        list.append(std::move(watched));
    }
    return list;
}

} // namespace wendlecott::store
