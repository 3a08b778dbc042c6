#pragma once

#include "core/tld/TldTable.h"

namespace wendlecott::testing {

// A TLD row that serves `extension` from `server`, with the success words the tests answer to.
inline core::TldEntry whoisRow(const QString &extension, const QString &server, quint16 port = 43,
                               int throttle = 25, bool enabled = true)
{
    core::TldEntry entry;
    entry.extension = extension;
    entry.server = server;
    entry.port = port;
    entry.enabled = enabled;
    entry.throttle = throttle;
    entry.successWords = QStringLiteral("No match,not found");
    return entry;
}

} // namespace wendlecott::testing
