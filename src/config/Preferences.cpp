#include "config/Preferences.h"

#include "config/SettingsKeys.h"

namespace wendlecott::config {

Preferences::Preferences(SettingsStore &settings, QObject *parent)
    : QObject(parent), m_settings(settings), m_defaultExtension(defaults::DefaultExt)
{
}

void Preferences::load()
{
    // A "Throttle" that is no number starts the pause at 0.
    m_throttleAtStartup =
        readInt32Setting(m_settings, keys::Throttle, defaults::ThrottleAtStartup).value_or(0);
    if (const auto proxy = readTruthSetting(m_settings, keys::ChkProxy, defaults::ChkProxy))
        m_useProxy = *proxy;
    if (const auto rdap = readTruthSetting(m_settings, keys::UseRdap, defaults::UseRdap))
        m_useRdap = *rdap;
    m_defaultExtension = readSetting(m_settings, keys::DefaultExt, defaults::DefaultExt);
    if (const auto jobs = readInt32Setting(m_settings, keys::Jobs, defaults::Jobs))
        m_jobs = qBound(1, int(*jobs), kMaxJobs);
    if (const auto days =
            readInt32Setting(m_settings, keys::ReuseRegisteredDays, defaults::ReuseRegisteredDays))
        m_reuseRegisteredDays = qMax(0, int(*days));
    if (const auto dns = readTruthSetting(m_settings, keys::DnsFirst, defaults::DnsFirst))
        m_dnsFirst = *dns;
    m_dnsServer = readSetting(m_settings, keys::DnsServer, defaults::DnsServer).trimmed();
    if (const auto rate =
            readInt32Setting(m_settings, keys::DnsQueriesPerSecond, defaults::DnsQueriesPerSecond);
        rate && *rate >= 0)
        m_dnsQueriesPerSecond = int(*rate);
}

namespace {

QString switchText(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

// Writes the setting, and when the value changes keeps it and says so: every preference a
// window sets goes this way, and a failed write still changes the value for this session.
template <typename Value>
core::Status Preferences::store(const SettingKey &key, const QString &text, Value &member, const Value &value,
                                void (Preferences::*changed)(Value))
{
    const core::Status written = writeSetting(m_settings, key, text);
    if (member != value) {
        member = value;
        Q_EMIT(this->*changed)(value);
    }
    return written;
}

core::Status Preferences::setDnsFirst(bool on)
{
    return store(keys::DnsFirst, switchText(on), m_dnsFirst, on, &Preferences::dnsFirstChanged);
}

core::Status Preferences::setJobs(int jobs)
{
    jobs = qBound(1, jobs, kMaxJobs);
    return store(keys::Jobs, QString::number(jobs), m_jobs, jobs, &Preferences::jobsChanged);
}

core::Status Preferences::setUseProxy(bool on)
{
    return store(keys::ChkProxy, switchText(on), m_useProxy, on, &Preferences::useProxyChanged);
}

core::Status Preferences::setUseRdap(bool on)
{
    return store(keys::UseRdap, switchText(on), m_useRdap, on, &Preferences::useRdapChanged);
}

core::Status Preferences::setDefaultExtension(const QString &extension)
{
    const core::Status written = writeSetting(m_settings, keys::DefaultExt, extension);
    if (m_defaultExtension != extension) {
        m_defaultExtension = extension;
        Q_EMIT defaultExtensionChanged(extension);
    }
    return written;
}

} // namespace wendlecott::config
