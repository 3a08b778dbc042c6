#include "config/AppState.h"

#include "core/lists/ResultLists.h"
#include "core/lists/UnansweredNames.h"
#include "core/lookup/EvidenceJudge.h"
#include "core/store/AnswerStore.h"

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
    m_positions = std::make_unique<PositionRecorder>(*m_ports.settings, *m_ports.scheduler);
    m_pacer = std::make_unique<core::ServerPacer>(*m_ports.scheduler);
    m_bootstrap = core::RdapBootstrap::builtIn();
    m_judge = std::make_unique<core::EvidenceJudge>();
    m_unanswered =
        std::make_unique<core::UnansweredNames>(m_folder.path(QLatin1Char('\\') + core::kUnansweredFileName));
}

// The lists go first: they hold references to the adapters.
AppState::~AppState()
{
    m_answerStore.reset(); // writes the answers still queued
    m_dns.reset();         // its sockets watch the scheduler's event loop
    m_positions.reset();   // stores the positions a run recorded last
    m_lists.reset();
    m_unanswered.reset();
}

QString AppState::tldPath() const
{
    return m_folder.path(QLatin1Char('\\') + core::kTldFileName);
}

core::Status AppState::open()
{
    m_preferences.load();
    m_pacer->setSharedThrottle(m_preferences.throttleAtStartup());
    const core::Status written = core::writeDefaultTLDs(tldPath(), false);
    const core::Status loaded = reloadTable();
    m_bootstrapProblem.clear();
    m_bootstrap = core::RdapBootstrap::forProgramFolder(m_folder.root(), &m_bootstrapProblem);
    // Broken lines of the folder's evidence file are skipped; the rest still judges. The judge
    // is assigned in place: runs made before opening hold its address.
    QList<core::EvidenceProblem> problems;
    *m_judge = core::EvidenceJudge(core::EvidenceTable::forProgramFolder(m_folder.root(), &problems));
    m_evidenceProblem.clear();
    for (const core::EvidenceProblem &problem : problems) {
        if (problem.lineNumber == 0)
            m_evidenceProblem = problem.describe();
    }
    return written ? loaded : written;
}

void AppState::replaceBootstrap(core::RdapBootstrap bootstrap)
{
    m_bootstrap = std::move(bootstrap);
    m_bootstrapProblem.clear();
}

core::LookupServices AppState::lookupServices()
{
    return core::LookupServices{&m_bootstrap, m_ports.http.get(), m_judge.get()};
}

core::LookupChoices AppState::lookupChoices() const
{
    return core::LookupChoices::forPreference(m_preferences.useRdap(), m_preferences.useProxy());
}

core::DnsTransport *AppState::dnsTransport()
{
    if (!m_dns && m_ports.dnsTransports)
        m_dns = m_ports.dnsTransports(*m_ports.scheduler);
    return m_dns.get();
}

core::DnsFirstChoices AppState::dnsFirstChoices() const
{
    return core::DnsFirstChoices{m_preferences.dnsFirst(), m_preferences.dnsServer(),
                                 m_preferences.dnsQueriesPerSecond()};
}

core::Status AppState::reloadTable()
{
    return core::loadTLDTable(m_table, tldPath());
}

core::RunEnvironment AppState::runEnvironment()
{
    core::RunEnvironment environment{m_table, [this] { return m_preferences.useProxy(); }, *m_pacer, *m_lists,
                                     *m_ports.notice};
    environment.lookupChoices = [this] { return lookupChoices(); };
    environment.services = lookupServices();
    environment.unanswered = m_unanswered.get();
    environment.recorder = answerStore();
    environment.reuseRegisteredDays = [this] { return m_preferences.reuseRegisteredDays(); };
    environment.dnsTransport = [this] { return dnsTransport(); };
    return environment;
}

store::AnswerStore *AppState::answerStore()
{
    if (m_storeOpened)
        return m_answerStore.get();
    m_storeOpened = true;
    store::StoreOpening report;
    m_answerStore = store::AnswerStore::open(m_folder.root(), m_storeMode, report, m_ports.scheduler.get());
    if (!report.problem)
        m_ports.notice->showMessage(QString(), report.problem.message(), core::NoticeIcon::Warning);
    return m_answerStore.get();
}

} // namespace wendlecott::config
