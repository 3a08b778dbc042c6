#pragma once

#include "config/ProgramFolder.h"
#include "config/SettingsStore.h"
#include "core/CheckRun.h"
#include "core/ResultLists.h"
#include "core/Scheduler.h"
#include "core/Timing.h"
#include "core/TldTable.h"
#include "core/UserNotice.h"
#include "core/WhoisConnection.h"

#include <memory>

namespace wendlecott::platform {
class QtUserNotice;
}

namespace wendlecott::ui {

// The adapters the program talks to the world through. Anything left empty gets the Qt one;
// tests put in fakes.
struct AppServices {
    std::unique_ptr<config::SettingsStore> settings; // default: the per-user INI store
    std::unique_ptr<core::UserNotice> notice;        // default: message boxes and notice windows
    std::unique_ptr<core::Clipboard> clipboard;
    std::unique_ptr<core::AddressOpener> opener;
    std::unique_ptr<core::Scheduler> scheduler;
    core::ConnectionFactory connections; // default: QTcpSocket connections
};

// The program-wide instances that live as long as the program: the program folder, the
// settings, the TLD table with the proxy switch and the default extension, the pause shared
// by every run, the timings, the result lists, and the adapters. main owns it; the windows
// borrow from it.
class AppContext {
public:
    // `settingsFolder` holds the per-user INI files (empty: the user's configuration folder);
    // it is used only when `services` brings no settings store.
    explicit AppContext(config::ProgramFolder folder, const QString &settingsFolder = {},
                        AppServices services = {});
    ~AppContext();
    AppContext(const AppContext &) = delete;
    AppContext &operator=(const AppContext &) = delete;

    const config::ProgramFolder &folder() const { return m_folder; }
    config::SettingsStore &settings() { return *m_settings; }
    core::TldTable &table() { return m_table; }
    bool &useProxy() { return m_useProxy; }
    QString &defaultExtension() { return m_defaultExtension; }
    core::PauseState &pause() { return m_pause; }
    core::Timing &timing() { return m_timing; }
    core::Scheduler &scheduler() { return *m_scheduler; }
    core::UserNotice &notice() { return *m_notice; }
    // The notice as Qt windows, or null when a test brought its own.
    platform::QtUserNotice *qtNotice() const { return m_qtNotice; }
    core::Clipboard &clipboard() { return *m_clipboard; }
    core::AddressOpener &opener() { return *m_opener; }
    core::ResultLists &lists() { return *m_lists; }
    const core::ConnectionFactory &connections() const { return m_connections; }

    // What a check run reads at each lookup, over the instances above.
    core::RunEnvironment runEnvironment();

private:
    config::ProgramFolder m_folder;
    std::unique_ptr<config::SettingsStore> m_settings;
    core::TldTable m_table;
    bool m_useProxy = false;
    QString m_defaultExtension;
    core::PauseState m_pause;
    core::Timing m_timing;
    std::unique_ptr<core::Scheduler> m_scheduler;
    std::unique_ptr<core::UserNotice> m_notice;
    platform::QtUserNotice *m_qtNotice = nullptr;
    std::unique_ptr<core::Clipboard> m_clipboard;
    std::unique_ptr<core::AddressOpener> m_opener;
    core::ConnectionFactory m_connections;
    std::unique_ptr<core::ResultLists> m_lists;
};

} // namespace wendlecott::ui
