#pragma once

#include <QString>

namespace wendlecott::browse {

// The browse window counts its own names: a text the checker shows with a count ("Checked N
// unique domains.", "Unregistered: (N)", "Registered: (N)") with N replaced by `own`; any
// other text unchanged.
QString withOwnCount(const QString &text, qint64 own);

} // namespace wendlecott::browse
