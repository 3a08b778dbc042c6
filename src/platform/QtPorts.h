#pragma once

#include "config/AppState.h"

#include <QString>

namespace wendlecott::platform {

// Fills what `ports` leaves empty with the display-free Qt adapters: the per-user settings
// files (in `settingsFolder`, the user's configuration folder when empty), precise timers,
// TCP connections and HTTP fetches. What a test brought stays.
void addQtAdapters(config::AppPorts &ports, const QString &settingsFolder = {});

} // namespace wendlecott::platform
