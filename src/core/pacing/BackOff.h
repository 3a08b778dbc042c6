#pragma once

#include <QtGlobal>

#include <optional>

namespace wendlecott::core {

// How long a server that refused rests before it is asked again.
struct BackOffRules {
    qint64 firstMs = 5000;                // the first refusal in a row
    qint64 longestMs = 300000;            // doubling with each further one, up to this
    qint64 longestRetryAfterMs = 3600000; // a server's own Retry-After, honoured up to this
};

// The pause after the `refusalsInARow`-th refusal in a row (1: the first; 0 or less: none):
// firstMs, doubled for each refusal after the first, never past longestMs; a Retry-After the
// server sent (in seconds) takes its place, clamped to longestRetryAfterMs before it is
// turned into milliseconds, so no value a server sends can overflow.
qint64 backOffMs(int refusalsInARow, std::optional<qint64> retryAfterSeconds, const BackOffRules &rules);

} // namespace wendlecott::core
