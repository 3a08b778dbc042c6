#pragma once

namespace wendlecott::ui {

class AppContext;
class Form1;

// Hands the main window the windows it opens that live elsewhere: the Setup window (one at a
// time, not modal; closing it refills the extension drop-down). The list builder and the
// browse window join here when they exist. main and the tests wire the window the same way.
void attachCompanionWindows(Form1 &window, AppContext &context);

} // namespace wendlecott::ui
