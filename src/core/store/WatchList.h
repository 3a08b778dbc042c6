#pragma once

#include "core/base/Result.h"
#include "core/store/StoredAnswer.h"

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <optional>

namespace wendlecott::store {

class AnswerStore;

// A name within this many days of its expiry is marked for the user's attention.
constexpr qint64 kWatchExpiryWarningDays = 30;

// One watched name as the watch list shows it, made from the answers stored for it.
struct WatchRow {
    QString name;
    std::optional<core::LookupVerdict> verdict; // of the newest answer; none: never asked
    // From the newest decisive answer (Available or Registered): a Blocked or Unknown answer
    // says nothing about the name.
    QDateTime expires;
    std::optional<qint64> daysLeft; // whole days from today (UTC) to the expiry day
    QStringList statuses;
    QDateTime lastChecked; // the newest answer's time
    // The newest decisive answer whose verdict, expiry or statuses differ from the decisive
    // one before it; invalid when nothing changed since the first.
    QDateTime lastChange;

    bool operator==(const WatchRow &other) const = default;
};

// The row of `name` from its answers, newest first, seen on `now`.
WatchRow watchRow(const QString &name, const QList<StoredAnswer> &newestFirst, const QDateTime &now);
// Every watched name's row, in the order the names were added.
core::Result<QList<WatchRow>> watchRows(AnswerStore &store, const QDateTime &now);

// A status without the address some registries add to explain it, and without brackets
// around that: "pendingDelete https://icann.org/epp#pendingDelete" is "pendingDelete".
QString shortStatus(const QString &status);
// Whether a registry status says the name is on its way to deletion: pending delete or the
// redemption period, however the registry spells them ("pendingDelete", "Redemption Period",
// "redemptionPeriod https://icann.org/epp#redemptionPeriod").
bool isDropStatus(const QString &status);
// Why a row wants the user's attention ("Expires in 12 days", "Pending delete"), or an
// empty text when it does not: an expiry within kWatchExpiryWarningDays (or past), or a
// status of isDropStatus.
QString attentionReason(const WatchRow &row);
inline bool isMarked(const WatchRow &row)
{
    return !attentionReason(row).isEmpty();
}

// What one check told about a watched name, worth a notice of its own.
enum class WatchChange {
    None,
    BecameAvailable, // available now, and was not at its last decisive answer
    StartedToDrop,   // registered with a drop status now, without one at its last answer
};
// Compares the name's newest answer after a check (`after`) with its last decisive answer
// from before the check (`before`). A name never answered decisively before has nothing to
// change from; a Blocked or Unknown answer tells nothing.
WatchChange watchChange(const std::optional<StoredAnswer> &before, const std::optional<StoredAnswer> &after);
// The newest decisive answer of a history, newest first.
std::optional<StoredAnswer> lastDecisive(const QList<StoredAnswer> &newestFirst);
// The verdict of the newest decisive answer.
std::optional<core::LookupVerdict> lastVerdict(const QList<StoredAnswer> &newestFirst);
// The time of the newest decisive answer whose verdict, expiry or statuses differ from the
// decisive one before it; invalid when nothing changed since the first.
QDateTime lastChange(const QList<StoredAnswer> &newestFirst);
// Whole days from `now` to `expires` (UTC dates); none when the expiry is not known.
std::optional<qint64> daysLeft(const QDateTime &expires, const QDateTime &now);
// A name that was Registered at its last decisive answer and is Available now.
bool becameAvailable(std::optional<core::LookupVerdict> before, core::LookupVerdict now);

} // namespace wendlecott::store

Q_DECLARE_METATYPE(wendlecott::store::WatchChange)
