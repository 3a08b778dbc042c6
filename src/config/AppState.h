#pragma once

#include "config/PositionRecorder.h"
#include "config/Preferences.h"
#include "config/ProgramFolder.h"
#include "config/SettingsStore.h"
#include "core/base/Result.h"
#include "core/base/Scheduler.h"
#include "core/base/Timing.h"
#include "core/base/UserNotice.h"
#include "core/dns/DnsTransport.h"
#include "core/lookup/DomainLookup.h"
#include "core/lookup/HttpClient.h"
#include "core/lookup/RdapBootstrap.h"
#include "core/lookup/WhoisConnection.h"
#include "core/pacing/ServerPacer.h"
#include "core/run/CheckRun.h"
#include "core/store/AnswerStore.h"
#include "core/tld/TldTable.h"

#include <functional>
#include <memory>

namespace wendlecott::core {
class EvidenceJudge;
class ResultLists;
class UnansweredNames;
} // namespace wendlecott::core

namespace wendlecott::config {

// The adapters the program talks to the world through. Each front end brings its own: the
// desktop program message boxes and the system clipboard, the command line its standard
// error; tests bring fakes. A clipboard or opener left empty does nothing; an HTTP client
// left empty fails every fetch.
struct AppPorts {
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<core::UserNotice> notice;
    std::unique_ptr<core::Scheduler> scheduler;
    core::ConnectionFactory connections;
    std::unique_ptr<core::Clipboard> clipboard;
    std::unique_ptr<core::AddressOpener> opener;
    std::unique_ptr<core::HttpClient> http; // pages, RDAP answers, the bootstrap; none: neither
    // Makes the DNS transport of delegation checks, on first use; none: DNS is never asked.
    std::function<std::unique_ptr<core::DnsTransport>(core::Scheduler &)> dnsTransports;
};

// The program-wide state, the same for the desktop program and the command line: the
// program folder, the settings and the preferences, the TLD table, the pause shared by every
// run, the timings, the result lists, and the adapters. It holds no widget; the front end
// builds it, opens it, and hands it (or the part they need) to whatever works on it.
class AppState {
public:
    AppState(ProgramFolder folder, AppPorts ports);
    ~AppState();
    AppState(const AppState &) = delete;
    AppState &operator=(const AppState &) = delete;

    // What both programs do first: the preferences are read (the pause starts at the stored
    // "Throttle"), the default TLD table is written when "TLDs.txt" is missing, and the table
    // is loaded; the RDAP bootstrap and the evidence rules are read (the program folder's
    // copies where they are usable, else the built-in ones). A step that fails is skipped;
    // the first failure is given back.
    core::Status open();
    // Loads "TLDs.txt" again (after every change the Setup window makes).
    core::Status reloadTable();
    QString tldPath() const;

    const ProgramFolder &folder() const { return m_folder; }
    SettingsStore &settings() { return *m_ports.settings; }
    Preferences &preferences() { return m_preferences; }
    const Preferences &preferences() const { return m_preferences; }
    core::TldTable &table() { return m_table; }
    const core::TldTable &table() const { return m_table; }
    core::PauseState &pause() { return m_pacer->sharedPause(); } // kept by the pacer
    core::Timing &timing() { return m_timing; }
    core::ResultLists &lists() { return *m_lists; }
    core::Scheduler &scheduler() { return *m_ports.scheduler; }
    core::UserNotice &notice() { return *m_ports.notice; }
    core::Clipboard &clipboard() { return *m_ports.clipboard; }
    core::AddressOpener &opener() { return *m_ports.opener; }
    // Where a check run records its positions; the front end flushes it when the run stops,
    // and it flushes when the state goes.
    PositionRecorder &positions() { return *m_positions; }
    const core::ConnectionFactory &connections() const { return m_ports.connections; }
    // Null when the front end brought no HTTP client.
    core::HttpClient *http() const { return m_ports.http.get(); }

    // The RDAP bootstrap in use, and why the program folder's copy was passed over (empty
    // when it was not). replaceBootstrap puts a newer one in its place for every lookup.
    const core::RdapBootstrap &bootstrap() const { return m_bootstrap; }
    const QString &bootstrapProblem() const { return m_bootstrapProblem; }
    // Why the folder's evidence rules file was not read at all (too large, unreadable);
    // empty when it was read or is not there.
    const QString &evidenceProblem() const { return m_evidenceProblem; }
    void replaceBootstrap(core::RdapBootstrap bootstrap);
    // The evidence rules: built in, with the program folder's whois-evidence.tsv added.
    const core::EvidenceJudge &evidenceJudge() const { return *m_judge; }
    // The one pace per whois or RDAP server, shared by every run and window that asks them.
    core::ServerPacer &pacer() { return *m_pacer; }
    // The names taken without a verdict ("Unanswered.txt").
    core::UnansweredNames &unanswered() { return *m_unanswered; }
    // The answer store ("answers.sqlite" in the program folder), opened at the first call:
    // read-write unless setAnswerStoreMode said otherwise. Null when it cannot be used; the
    // notice has said why (and where a damaged file went), and runs go on without it.
    store::AnswerStore *answerStore();
    // How the store opens (before the first answerStore()): read-only for a program that
    // does not hold the program folder.
    void setAnswerStoreMode(store::StoreMode mode) { m_storeMode = mode; }
    // The services of one lookup: bootstrap, HTTP client, evidence rules.
    core::LookupServices lookupServices();
    // The lookup the preferences ask for now (RDAP and the proxy switch).
    core::LookupChoices lookupChoices() const;

    // The DNS transport every delegation check shares, made on first use; null when the
    // front end brought none.
    core::DnsTransport *dnsTransport();
    // Whether and how a run asks DNS first, as the preferences say.
    core::DnsFirstChoices dnsFirstChoices() const;

    // What a check run reads at each lookup.
    core::RunEnvironment runEnvironment();

private:
    ProgramFolder m_folder;
    AppPorts m_ports;
    Preferences m_preferences;
    core::TldTable m_table;
    core::Timing m_timing;
    std::unique_ptr<core::ResultLists> m_lists;
    std::unique_ptr<PositionRecorder> m_positions;
    core::RdapBootstrap m_bootstrap;
    QString m_bootstrapProblem;
    QString m_evidenceProblem;
    std::unique_ptr<core::EvidenceJudge> m_judge;
    std::unique_ptr<core::UnansweredNames> m_unanswered;
    std::unique_ptr<core::ServerPacer> m_pacer;
    std::unique_ptr<store::AnswerStore> m_answerStore;
    store::StoreMode m_storeMode = store::StoreMode::ReadWrite;
    bool m_storeOpened = false; // tried already: a store that failed is not tried again
    std::unique_ptr<core::DnsTransport> m_dns;
};

} // namespace wendlecott::config
