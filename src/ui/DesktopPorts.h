#pragma once

#include "config/AppState.h"

#include <QString>

namespace wendlecott::ui {

// The desktop program's adapters: what `ports` leaves empty gets the Qt one (message boxes
// and notice windows, the system clipboard, the user's browser, and the display-free
// adapters of platform::addQtAdapters). Tests bring fakes for some.
config::AppPorts desktopPorts(config::AppPorts ports = {}, const QString &settingsFolder = {});

} // namespace wendlecott::ui
