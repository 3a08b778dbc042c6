#include "core/pacing/BackOff.h"

#include <algorithm>

namespace wendlecott::core {

qint64 backOffMs(int refusalsInARow, std::optional<qint64> retryAfterSeconds, const BackOffRules &rules)
{
    if (refusalsInARow <= 0)
        return 0;
    if (retryAfterSeconds && *retryAfterSeconds > 0 && rules.longestRetryAfterMs > 0) {
        const qint64 longestSeconds = (rules.longestRetryAfterMs + 999) / 1000;
        const qint64 seconds = std::min(*retryAfterSeconds, longestSeconds);
        return std::min(seconds * 1000, rules.longestRetryAfterMs);
    }
    const qint64 longest = std::max<qint64>(0, rules.longestMs);
    qint64 pauseMs = std::clamp<qint64>(rules.firstMs, 0, longest);
    for (int i = 1; i < refusalsInARow && pauseMs > 0 && pauseMs < longest; ++i)
        pauseMs = pauseMs > longest / 2 ? longest : pauseMs * 2;
    return pauseMs;
}

} // namespace wendlecott::core
