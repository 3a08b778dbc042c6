#pragma once

#include "core/Result.h"
#include "core/store/StoredAnswer.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace wendlecott::store {

class AnswerStore;

// One watched name as the watch list shows it: its latest answer (without the text), when
// it was last checked and when what it says last changed.
struct WatchedName {
    QString name;
    std::optional<StoredAnswer> latest; // none: never answered yet
    // The newest answer with a verdict that differs from the one with a verdict before it
    // (in verdict, expiry or statuses); invalid when nothing changed since it was first answered.
    QDateTime lastChange;
};

// Answers without a verdict (blocked, unknown, timed out) say nothing about the name: they
// are passed over when looking for a change.
QDateTime lastChange(const QList<StoredAnswer> &newestFirst);
// The verdict of the newest answer that has one (Available or Registered).
std::optional<core::LookupVerdict> lastVerdict(const QList<StoredAnswer> &newestFirst);
// Whole days from `now` to `expires` (UTC dates); none when the expiry is not known.
std::optional<qint64> daysLeft(const QDateTime &expires, const QDateTime &now);
// A name that was Registered at its last answer with a verdict and is Available now.
bool becameAvailable(std::optional<core::LookupVerdict> before, core::LookupVerdict now);

// Every watched name of `store`, in the order they were added.
core::Result<QList<WatchedName>> readWatchList(AnswerStore &store);

} // namespace wendlecott::store
