#pragma once

#include "FakeScheduler.h"
#include "core/dns/DnsTransport.h"

#include <QMap>

#include <functional>
#include <map>

namespace wendlecott::testing {

// A DnsTransport whose exchanges wait until the test ends them (reply, time-out), and whose
// resolver answers from a table one turn of the fake scheduler later.
class FakeDnsTransport final : public core::DnsTransport {
public:
    struct Sent {
        ExchangeId id = 0;
        core::DnsServerAddress server;
        QByteArray query;
        qint64 timeoutMs = 0;
    };

    explicit FakeDnsTransport(FakeScheduler &scheduler) : m_scheduler(scheduler) {}

    ExchangeId exchange(const core::DnsServerAddress &server, const QByteArray &query, qint64 timeoutMs,
                        std::function<void(const core::DnsExchange &)> done) override
    {
        const ExchangeId id = m_nextId++;
        m_sent.append({id, server, query, timeoutMs});
        m_waiting.emplace(id, std::move(done));
        return id;
    }
    void cancel(ExchangeId id) override { m_waiting.erase(id); }
    void
    findNameServers(const QString &extension,
                    std::function<void(const core::Result<QList<core::DnsServerAddress>> &)> done) override
    {
        m_discoveries.append(extension);
        answerLater(m_nameServers.value(extension), std::move(done));
    }
    void resolveHost(const QString &host, quint16 port,
                     std::function<void(const core::Result<QList<core::DnsServerAddress>> &)> done) override
    {
        m_resolved.append(host);
        answerLater({{host, port}}, std::move(done));
    }

    // Ends exchange `id` as the transport would.
    void end(ExchangeId id, const core::DnsExchange &exchange)
    {
        auto found = m_waiting.find(id);
        if (found == m_waiting.end())
            return;
        auto done = std::move(found->second);
        m_waiting.erase(found);
        done(exchange);
    }

    QMap<QString, QList<core::DnsServerAddress>> m_nameServers; // extension -> servers; none: an error
    QList<Sent> m_sent;
    QStringList m_discoveries;
    QStringList m_resolved;
    std::map<ExchangeId, std::function<void(const core::DnsExchange &)>> m_waiting;

private:
    void answerLater(const QList<core::DnsServerAddress> &servers,
                     std::function<void(const core::Result<QList<core::DnsServerAddress>> &)> done)
    {
        m_scheduler.callAfter(0, [servers, done = std::move(done)] {
            if (servers.isEmpty())
                done(core::Result<QList<core::DnsServerAddress>>::failure(core::ErrorCode::NotFound,
                                                                          QStringLiteral("no NS")));
            else
                done(servers);
        });
    }

    FakeScheduler &m_scheduler;
    ExchangeId m_nextId = 1;
};

} // namespace wendlecott::testing
