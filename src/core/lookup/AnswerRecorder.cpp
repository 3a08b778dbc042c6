#include "core/lookup/AnswerRecorder.h"

namespace wendlecott::core {

bool mayReuseAnswer(LookupVerdict verdict, const QDateTime &answeredAt, const QDateTime &expires, int days,
                    const QDateTime &now)
{
    constexpr qint64 kDayMs = qint64(24) * 60 * 60 * 1000;
    if (days <= 0 || verdict != LookupVerdict::Registered || !answeredAt.isValid() || !expires.isValid())
        return false;
    if (answeredAt.msecsTo(now) > days * kDayMs)
        return false;
    return now.msecsTo(expires) > kReuseExpiryMarginDays * kDayMs;
}

} // namespace wendlecott::core
