#pragma once

#include "core/base/Scheduler.h"

#include <QWidget>

#include <memory>

namespace wendlecott::config {
class AppState;
}

namespace wendlecott::ui {

class MainWindow;

// SplashWindow, the start-up window: shown for 75 ticks of Timing::splashTickMs, then it loads
// and shows the main window and hides itself. It stays loaded, hidden, until the main window
// shuts the program down, and it owns the main window.
class SplashWindow final : public QWidget {
    Q_OBJECT
public:
    explicit SplashWindow(config::AppState &state, QWidget *parent = nullptr);
    ~SplashWindow() override;

    // Shows the splash and starts its timer.
    void start();

    // The main window once the splash has opened it, else null.
    MainWindow *mainWindow() const { return m_main.get(); }
    // The splash's counter: 2 more at every tick.
    int counter() const { return m_counter; }

Q_SIGNALS:
    // The main window has been loaded and is about to be shown: the place to hand it the
    // windows that come from elsewhere (Setup, list builder, browse).
    void mainWindowLoaded(wendlecott::ui::MainWindow *window);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void tick();
    void openMainWindow();

    config::AppState &m_state;
    core::PeriodicTimer m_timer;
    int m_counter = 0;
    std::unique_ptr<MainWindow> m_main;
};

// The program's icon, drawn at start-up (the program ships no icon file).
QIcon programIcon();

} // namespace wendlecott::ui
