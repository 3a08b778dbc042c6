#pragma once

#include "core/base/Scheduler.h"
#include "core/dns/DnsTransport.h"

#include <QObject>

#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace wendlecott::platform {

// DnsTransport over c-ares. Each name server gets a channel of its own (one UDP socket,
// many questions in flight, one try, truncated replies passed up as they are); the system's
// resolver is one more channel, configured from the system (or from `resolverServers`, so
// tests can point it at a loopback server). Sockets are watched by QSocketNotifiers, and
// c-ares' time-outs are driven from the scheduler. Replies under an id or for a question
// that no exchange waits for are dropped by c-ares.
class CaresTransport final : public QObject, public core::DnsTransport {
    Q_OBJECT
public:
    explicit CaresTransport(core::Scheduler &scheduler,
                            std::optional<QList<core::DnsServerAddress>> resolverServers = std::nullopt,
                            QObject *parent = nullptr);
    ~CaresTransport() override;

    ExchangeId exchange(const core::DnsServerAddress &server, const QByteArray &query, qint64 timeoutMs,
                        std::function<void(const core::DnsExchange &)> done) override;
    void cancel(ExchangeId id) override;
    void
    findNameServers(const QString &extension,
                    std::function<void(const core::Result<QList<core::DnsServerAddress>> &)> done) override;
    void resolveHost(const QString &host, quint16 port,
                     std::function<void(const core::Result<QList<core::DnsServerAddress>> &)> done) override;

    // Exchanges waiting for their reply.
    int pendingCount() const { return int(m_pending.size()); }

    struct Channel;
    struct Pending;

private:
    Channel *channelFor(const core::DnsServerAddress &server, qint64 timeoutMs);
    Channel *resolverChannel();
    void armTimeout(Channel &channel);
    void process(Channel &channel, int readFd, int writeFd);
    void deliver(ExchangeId id, const core::DnsExchange &exchange);
    void resolveNames(const QStringList &names,
                      std::function<void(const core::Result<QList<core::DnsServerAddress>> &)> done);

    friend struct ChannelCallbacks;

    core::Scheduler &m_scheduler;
    std::optional<QList<core::DnsServerAddress>> m_resolverServers;
    std::map<QString, std::unique_ptr<Channel>> m_channels; // by server key and time-out
    std::unique_ptr<Channel> m_resolver;
    std::map<ExchangeId, std::function<void(const core::DnsExchange &)>> m_pending;
    ExchangeId m_nextId = 1;
    int m_sending = 0;    // inside ares_send: callbacks are put off to the event loop
    int m_processing = 0; // inside ares_process_fd: replies are held until it returns
    std::vector<std::pair<ExchangeId, core::DnsExchange>> m_held;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace wendlecott::platform
