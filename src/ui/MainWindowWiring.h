#pragma once

namespace wendlecott::config {
class AppState;
}

namespace wendlecott::ui {

class MainWindow;

// Hands the main window the windows it opens that live elsewhere: the Setup window (one at a
// time, not modal; closing it refills the extension drop-down), the list builder (Form3, one
// at a time, opened by "Search") and the browse window (one at a time, not modal). main and
// the tests wire the window the same way.
void attachCompanionWindows(MainWindow &window, config::AppState &state);

} // namespace wendlecott::ui
