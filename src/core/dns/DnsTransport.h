#pragma once

#include "core/base/Result.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

namespace wendlecott::core {

// A name server to send delegation questions to: an address (IPv4 or IPv6 text) and a port.
struct DnsServerAddress {
    QString host;
    quint16 port = 53;

    // "host:port", "[v6]:port" for an IPv6 address; also the server's key in the pacer.
    QString key() const;
    bool operator==(const DnsServerAddress &other) const = default;
};

// How one exchange with a name server ended.
enum class DnsExchangeEnding {
    Replied,  // a reply arrived whose id and question match the query
    TimedOut, // nothing matching arrived in time
    Failed,   // the socket could not send or reported an error
};

struct DnsExchange {
    DnsExchangeEnding ending = DnsExchangeEnding::TimedOut;
    QByteArray reply; // Replied: the reply as received
    QString reason;   // Failed: what went wrong
};

// The DNS the logic needs from the world. The adapter owns the sockets; many exchanges are
// in flight at once. Every callback comes from the event loop, never inside the call that
// started it, and exactly once unless cancelled.
class DnsTransport {
public:
    using ExchangeId = quint64; // 0 is never a valid id
    virtual ~DnsTransport() = default;

    // Sends `query` (a whole DNS message; its id may be replaced) to `server` over UDP, once,
    // and reports the first reply that matches it, or TimedOut after `timeoutMs`. Replies
    // under another id or for another question are dropped while it waits.
    virtual ExchangeId exchange(const DnsServerAddress &server, const QByteArray &query, qint64 timeoutMs,
                                std::function<void(const DnsExchange &)> done) = 0;
    // Forgets an exchange: its callback will not come.
    virtual void cancel(ExchangeId id) = 0;

    // The name servers of `extension` with their addresses (port 53), asked of the system's
    // resolver: its NS records, then each server's addresses. A failure or no server at all
    // is an Error.
    virtual void findNameServers(const QString &extension,
                                 std::function<void(const Result<QList<DnsServerAddress>> &)> done) = 0;
    // The addresses of `host` (an address stays itself) with `port`, from the system's resolver.
    virtual void resolveHost(const QString &host, quint16 port,
                             std::function<void(const Result<QList<DnsServerAddress>> &)> done) = 0;
};

// A "host:port" text (the DnsServer setting): a host name or address ("[::1]:5353" for
// IPv6) and a port in 1..65535. The port may be left out ("host" alone): 53. An empty text
// or a bad port is InvalidInput.
Result<DnsServerAddress> parseDnsServer(const QString &text);

} // namespace wendlecott::core
