#pragma once

#include "core/store/WatchList.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class QSystemTrayIcon;
class QWidget;

namespace wendlecott::config {
class AppState;
class WatchMonitor;
} // namespace wendlecott::config

namespace wendlecott::ui {

class CompanionWindows;
class ExportDialog;
class MainMenus;
class ResultListsView;
class WatchWindow;

// The main window's commands on the answer store: File > "Export answers…", Tools > "Watch
// list", "Show answer" and "Watch" on the result lists' entries, and the re-check of the
// watch list every "WatchHours" hours with a desktop notification for each name that became
// available or started to drop. Without a store every command is disabled and says why.
class StoreCommands final : public QObject {
    Q_OBJECT
public:
    static inline const QString kNoStore =
        QStringLiteral("The answer store could not be opened, so answers are not kept.");

    // How a notice reaches the user; a tray message unless a test sets its own.
    using Notifier = std::function<void(const QString &title, const QString &text)>;

    StoreCommands(config::AppState &state, CompanionWindows &companions, QWidget *owner);
    ~StoreCommands() override;

    // Takes the menu items and the lists' entry menu, and starts the watch timer.
    void attach(MainMenus &menus, ResultListsView &lists);
    void setNotifier(Notifier notifier) { m_notifier = std::move(notifier); }

    void openExport();
    void openWatchList();
    // The stored answer of `name` in the WHOIS window; false when the store has none.
    bool showStoredAnswer(const QString &name);
    void watchName(const QString &name);

    ExportDialog *exportDialog() const;
    WatchWindow *watchWindow() const;
    config::WatchMonitor &monitor() { return *m_monitor; }

    // The notice for one change, as the user reads it.
    static QString changeText(const QString &name, store::WatchChange change);

private:
    void announce(const QString &name, store::WatchChange change);
    void trayMessage(const QString &title, const QString &text);

    config::AppState &m_state;
    CompanionWindows &m_companions;
    QWidget *m_owner;
    std::unique_ptr<config::WatchMonitor> m_monitor;
    Notifier m_notifier;
    QPointer<ExportDialog> m_export;
    QPointer<WatchWindow> m_watch;
    QSystemTrayIcon *m_tray = nullptr;
};

} // namespace wendlecott::ui
