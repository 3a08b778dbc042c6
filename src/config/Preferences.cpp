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

core::Status Preferences::setDnsFirst(bool on)
{
    const core::Status written =
        writeSetting(m_settings, keys::DnsFirst, on ? QStringLiteral("1") : QStringLiteral("0"));
    if (m_dnsFirst != on) {
        m_dnsFirst = on;
        Q_EMIT dnsFirstChanged(on);
    }
    return written;
}

core::Status Preferences::setJobs(int jobs)
{
    jobs = qBound(1, jobs, kMaxJobs);
    const core::Status written = writeSetting(m_settings, keys::Jobs, QString::number(jobs));
    if (m_jobs != jobs) {
        m_jobs = jobs;
        Q_EMIT jobsChanged(jobs);
    }
    return written;
}

core::Status Preferences::setUseProxy(bool on)
{
    const core::Status written =
        writeSetting(m_settings, keys::ChkProxy, on ? QStringLiteral("1") : QStringLiteral("0"));
    if (m_useProxy != on) {
        m_useProxy = on;
        Q_EMIT useProxyChanged(on);
    }
    return written;
}

core::Status Preferences::setUseRdap(bool on)
{
    const core::Status written =
        writeSetting(m_settings, keys::UseRdap, on ? QStringLiteral("1") : QStringLiteral("0"));
    if (m_useRdap != on) {
        m_useRdap = on;
        Q_EMIT useRdapChanged(on);
    }
    return written;
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
