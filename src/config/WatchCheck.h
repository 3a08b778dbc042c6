#pragma once

#include "core/run/CheckRun.h"

#include <QStringList>

#include <functional>
#include <memory>

namespace wendlecott::config {

class AppState;

// The watched names as the source of a run: one name an entry, asked as it stands.
core::RunSource watchSource(const QStringList &names);

// A run over the watched names: each server at its own pace (the paced policy, the user's
// jobs), every name asked now (no answer reused), each answer filed and so stored as any
// run's. The command line prints its records; the desktop program waits for it to stop.
std::unique_ptr<core::CheckRun> makeWatchRun(AppState &state);

// Asks every name of `names` now through makeWatchRun; calls `finished` once, from the event
// loop, when every name is answered or given up. The run deletes itself when it stops.
void startWatchCheck(AppState &state, const QStringList &names, std::function<void()> finished);

} // namespace wendlecott::config
