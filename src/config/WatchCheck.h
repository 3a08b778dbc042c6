#pragma once

#include <QStringList>

#include <functional>

namespace wendlecott::config {

class AppState;

// Asks every name of `names` now, each server at its own pace, and files each answer as a
// run files it (so the answer store records it); calls `finished` once, from the event loop,
// when every name is answered or given up.
void startWatchCheck(AppState &state, const QStringList &names, std::function<void()> finished);

} // namespace wendlecott::config
