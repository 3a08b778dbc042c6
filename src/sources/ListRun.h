#pragma once

#include "config/SettingsKeys.h"
#include "core/lists/RunSource.h"

#include <QString>

#include <functional>
#include <optional>

namespace wendlecott::config {
class AppState;
}

namespace wendlecott::sources {

// What a check run over a list file needs besides the program's state.
struct ListRunRequest {
    QString listPath;  // the file whose entries are read by position
    QString shownName; // the list as named when it cannot be read; the path when empty
    // Where the source keeps its own resume position, besides "wordNumber" (none for a list
    // the command line reads).
    std::optional<config::SettingKey> resumeKey;
    // The extension chosen for names without one (no dot; empty: the default extension).
    // Read at every name, as it stands then.
    std::function<QString()> extensionChoice;
};

// The one way both programs turn a list into a run's names: entries are read by position
// through one reader for the run (the file is read once and read afresh when it is
// replaced), each entry becomes its domain by domainForEntry with the default extension as
// it stands at that name, and the position of the next entry is recorded under "wordNumber"
// and the source's resume key as each name is taken, so a run can be resumed there (stored
// at most a second later by the state's PositionRecorder, and when the run stops).
core::RunSource makeListRunSource(ListRunRequest request, config::AppState &state);

} // namespace wendlecott::sources
