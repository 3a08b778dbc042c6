#pragma once

#include "config/SettingsStore.h"
#include "core/base/Result.h"

#include <QObject>
#include <QString>

namespace wendlecott::config {

struct SettingKey;

// The preferences the program reads while it runs, kept in memory and stored at the moment
// they change. Every window and the command line read them here, so a change made in the
// Setup window reaches a run in progress at its next name.
class Preferences final : public QObject {
    Q_OBJECT
public:
    explicit Preferences(SettingsStore &settings, QObject *parent = nullptr);

    // Reads every preference from the store; a stored text that does not convert leaves the
    // value as it was. No signal is sent for what loading changes.
    void load();

    // "chkProxy": every name is asked of the "proxy" row.
    bool useProxy() const { return m_useProxy; }
    core::Status setUseProxy(bool on);
    // "UseRdap": "Use RDAP where the registry offers it". On, a name whose extension the RDAP
    // bootstrap lists is asked over RDAP, and whois answers are judged by the evidence rules;
    // off (the default), every name is asked over whois and judged by the success words.
    bool useRdap() const { return m_useRdap; }
    core::Status setUseRdap(bool on);
    // "DefaultExt": the extension (dot included) of a name that has none and no extension
    // chosen in the main window.
    QString defaultExtension() const { return m_defaultExtension; }
    core::Status setDefaultExtension(const QString &extension);
    // "Jobs": the lookups a check run keeps in flight at most (1 to kMaxJobs; 1, the default,
    // is the described one-at-a-time run).
    static constexpr int kMaxJobs = 101;
    int jobs() const { return m_jobs; }
    core::Status setJobs(int jobs);
    // "ReuseRegisteredDays": a run files a name answered Registered within this many days
    // (whose expiry is far enough away) from the answer store; 0, the default, asks every name.
    int reuseRegisteredDays() const { return m_reuseRegisteredDays; }
    // "DnsFirst": "Ask DNS first (registered names are settled without asking the
    // registry)", off by default; "DnsServer" ("host:port", empty: each extension's own name
    // servers) and "DnsQueriesPerSecond" (per name server, 0: unpaced) say where and how fast.
    bool dnsFirst() const { return m_dnsFirst; }
    core::Status setDnsFirst(bool on);
    QString dnsServer() const { return m_dnsServer; }
    int dnsQueriesPerSecond() const { return m_dnsQueriesPerSecond; }
    // "Throttle" as read at start-up: the pause before the first name of a run.
    qint32 throttleAtStartup() const { return m_throttleAtStartup; }

Q_SIGNALS:
    void useProxyChanged(bool on);
    void useRdapChanged(bool on);
    void defaultExtensionChanged(const QString &extension);
    void jobsChanged(int jobs);
    void dnsFirstChanged(bool on);

private:
    template <typename Value>
    core::Status store(const SettingKey &key, const QString &text, Value &member, const Value &value,
                       void (Preferences::*changed)(Value));

    SettingsStore &m_settings;
    bool m_useProxy = false;
    bool m_useRdap = false;
    int m_jobs = 1;
    int m_reuseRegisteredDays = 0;
    bool m_dnsFirst = false;
    QString m_dnsServer;
    int m_dnsQueriesPerSecond = 200;
    QString m_defaultExtension;
    qint32 m_throttleAtStartup = 0;
};

} // namespace wendlecott::config
