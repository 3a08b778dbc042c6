#include "config/AppState.h"

#include "core/ResultLists.h"

namespace wendlecott::config {

AppState::AppState(ProgramFolder folder, AppPorts ports)
    : m_folder(std::move(folder)), m_ports(std::move(ports)), m_preferences(*m_ports.settings)
{
    Q_ASSERT(m_ports.settings && m_ports.notice && m_ports.scheduler && m_ports.connections);
    if (!m_ports.clipboard)
        m_ports.clipboard = std::make_unique<core::NoClipboard>();
    if (!m_ports.opener)
        m_ports.opener = std::make_unique<core::NoAddressOpener>();
    if (!m_ports.http)
        m_ports.http = std::make_unique<core::NoHttpClient>();
    m_lists = std::make_unique<core::ResultLists>(m_folder.root(), *m_ports.notice, *m_ports.clipboard,
                                                  *m_ports.opener);
}

// The lists go first: they hold references to the adapters.
AppState::~AppState()
{
    m_lists.reset();
}

QString AppState::tldPath() const
{
    return m_folder.path(QLatin1Char('\\') + core::kTldFileName);
}

core::Status AppState::open()
{
    m_preferences.load();
    m_pause.throttleMs = m_preferences.throttleAtStartup();
    const core::Status written = core::writeDefaultTLDs(tldPath(), false);
    const core::Status loaded = reloadTable();
    return written ? loaded : written;
}

core::Status AppState::reloadTable()
{
    return core::loadTLDTable(m_table, tldPath());
}

core::RunEnvironment AppState::runEnvironment()
{
    return core::RunEnvironment{m_table, [this] { return m_preferences.useProxy(); }, m_pause, *m_lists,
                                *m_ports.notice};
}

} // namespace wendlecott::config
