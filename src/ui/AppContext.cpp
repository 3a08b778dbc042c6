#include "ui/AppContext.h"

#include "config/SettingsKeys.h"
#include "platform/IniSettingsStore.h"
#include "platform/QtScheduler.h"
#include "platform/QtWhoisConnection.h"
#include "platform/widgets/QtAddressOpener.h"
#include "platform/widgets/QtClipboard.h"
#include "platform/widgets/QtUserNotice.h"
#include "ui/BlockedWindow.h"
#include "ui/OverflowNotice.h"

namespace wendlecott::ui {

AppContext::AppContext(config::ProgramFolder folder, const QString &settingsFolder, AppServices services)
    : m_folder(std::move(folder))
    , m_settings(std::move(services.settings))
    , m_scheduler(std::move(services.scheduler))
    , m_notice(std::move(services.notice))
    , m_clipboard(std::move(services.clipboard))
    , m_opener(std::move(services.opener))
    , m_connections(std::move(services.connections))
{
    if (!m_settings)
        m_settings = std::make_unique<platform::IniSettingsStore>(settingsFolder);
    if (!m_scheduler)
        m_scheduler = std::make_unique<platform::QtScheduler>();
    if (!m_notice) {
        auto notice = std::make_unique<platform::QtUserNotice>();
        m_qtNotice = notice.get();
        m_notice = std::move(notice);
    }
    if (!m_clipboard)
        m_clipboard = std::make_unique<platform::QtClipboard>();
    if (!m_opener)
        m_opener = std::make_unique<platform::QtAddressOpener>();
    if (!m_connections)
        m_connections = platform::QtWhoisConnection::factory();

    // The pause starts at the stored "Throttle"; a text that is no number leaves it at 0.
    m_pause.throttleMs =
        config::readInt32Setting(*m_settings, config::keys::Throttle, config::defaults::ThrottleAtStartup)
            .value_or(0);
    m_lists = std::make_unique<core::ResultLists>(m_folder.root(), *m_notice, *m_clipboard, *m_opener);
}

// The lists go first: they hold references to the adapters.
AppContext::~AppContext()
{
    m_lists.reset();
}

core::RunEnvironment AppContext::runEnvironment()
{
    return core::RunEnvironment{m_table, m_useProxy, m_pause, *m_lists, *m_notice};
}

} // namespace wendlecott::ui
