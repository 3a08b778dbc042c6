#include "platform/QtPorts.h"

#include "platform/IniSettingsStore.h"
#include "platform/QtHttpClient.h"
#include "platform/QtScheduler.h"
#include "platform/QtWhoisConnection.h"
#include "platform/dns/CaresTransport.h"

namespace wendlecott::platform {

void addQtAdapters(config::AppPorts &ports, const QString &settingsFolder)
{
    if (!ports.settings)
        ports.settings = std::make_unique<IniSettingsStore>(settingsFolder);
    if (!ports.scheduler)
        ports.scheduler = std::make_unique<QtScheduler>();
    if (!ports.connections)
        ports.connections = QtWhoisConnection::factory();
    if (!ports.http)
        ports.http = std::make_unique<QtHttpClient>();
    if (!ports.dnsTransports)
        ports.dnsTransports = [](core::Scheduler &scheduler) -> std::unique_ptr<core::DnsTransport> {
            return std::make_unique<CaresTransport>(scheduler);
        };
}

} // namespace wendlecott::platform
