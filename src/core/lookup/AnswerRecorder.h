#pragma once

#include "core/base/Result.h"
#include "core/lookup/Verdict.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace wendlecott::core {

struct LookupEvidence;

// A Registered answer is taken from the store instead of asking again only while the name's
// known expiry is more than this many days away: a name near its expiry may drop any day.
constexpr int kReuseExpiryMarginDays = 45;

// Whether an answer stored at `answeredAt` with verdict `verdict` and expiry `expires` may
// stand for a new lookup at `now`: Registered, answered at most `days` days before `now`
// (0 or less: never), and its expiry known and more than kReuseExpiryMarginDays after `now`.
// Available, Unknown and Blocked answers are never reused: those are the names worth asking.
bool mayReuseAnswer(LookupVerdict verdict, const QDateTime &answeredAt, const QDateTime &expires, int days,
                    const QDateTime &now);

// Where the filer keeps every finished lookup (the answer store), and where a run looks for a
// recent answer it may reuse. The core knows only this; the store implements it.
class AnswerRecorder {
public:
    virtual ~AnswerRecorder() = default;
    // Keeps one finished lookup. Fails only when answers could not be written.
    virtual Status record(const LookupEvidence &evidence) = 0;
    // Writes every answer kept so far (Stop and exit).
    virtual Status flush() = 0;
    // The newest answer for `name` as evidence marked reused, when mayReuseAnswer allows it.
    virtual std::optional<LookupEvidence> reusableAnswer(const QString &name, int days,
                                                         const QDateTime &now) = 0;
};

} // namespace wendlecott::core
