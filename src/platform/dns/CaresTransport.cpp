#include "platform/dns/CaresTransport.h"

#include "core/dns/DnsMessage.h"

#include <QSocketNotifier>

#include <ares.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <utility>

#include <mutex>

namespace wendlecott::platform {

using core::DnsExchange;
using core::DnsExchangeEnding;
using core::DnsServerAddress;
using AddressList = QList<DnsServerAddress>;
using AddressResult = core::Result<AddressList>;
using AddressDone = std::function<void(const AddressResult &)>;

namespace {

constexpr int kResolverTimeoutMs = 2000;
constexpr int kResolverTries = 2;
constexpr int kReceiveBufferBytes = 1 << 20; // room for the replies of many questions at once

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { ares_library_init(ARES_LIB_INIT_ALL); });
}

QString caresError(int status)
{
    return QString::fromLatin1(ares_strerror(status));
}

// The c-ares node of an address, or nothing when `host` is no IPv4 or IPv6 address.
std::optional<ares_addr_port_node> addressNode(const DnsServerAddress &server)
{
    ares_addr_port_node node{};
    const QByteArray host = server.host.toLatin1();
    if (ares_inet_pton(AF_INET, host.constData(), &node.addr.addr4) == 1)
        node.family = AF_INET;
    else if (ares_inet_pton(AF_INET6, host.constData(), &node.addr.addr6) == 1)
        node.family = AF_INET6;
    else
        return std::nullopt;
    node.udp_port = server.port;
    node.tcp_port = server.port;
    return node;
}

} // namespace

struct CaresTransport::Channel {
    CaresTransport *owner = nullptr;
    ares_channel channel = nullptr;
    std::map<int, QSocketNotifier *> readers;
    std::map<int, QSocketNotifier *> writers;
    std::unique_ptr<core::SingleShot> timeout;
    qint64 due = 0; // when the armed time-out fires, on the scheduler's clock

    ~Channel()
    {
        if (channel)
            ares_destroy(channel);
        for (auto *notifiers : {&readers, &writers}) {
            for (auto &[fd, notifier] : *notifiers)
                delete notifier;
        }
    }
};

// The C callbacks of c-ares, with the transport behind their data pointer.
struct ChannelCallbacks {
    static void watch(CaresTransport::Channel &channel, std::map<int, QSocketNotifier *> &notifiers, int fd,
                      bool on, QSocketNotifier::Type type)
    {
        auto found = notifiers.find(fd);
        if (!on) {
            if (found != notifiers.end()) {
                found->second->setEnabled(false);
                found->second->deleteLater(); // it may be the notifier whose signal runs now
                notifiers.erase(found);
            }
            return;
        }
        if (found != notifiers.end())
            return;
        auto *notifier = new QSocketNotifier(qintptr(fd), type);
        CaresTransport *owner = channel.owner;
        const bool read = type == QSocketNotifier::Read;
        QObject::connect(notifier, &QSocketNotifier::activated, owner, [owner, &channel, fd, read] {
            owner->process(channel, read ? fd : ARES_SOCKET_BAD, read ? ARES_SOCKET_BAD : fd);
        });
        notifiers.emplace(fd, notifier);
    }

    static void socketState(void *data, ares_socket_t fd, int readable, int writable)
    {
        auto &channel = *static_cast<CaresTransport::Channel *>(data);
        watch(channel, channel.readers, fd, readable != 0, QSocketNotifier::Read);
        watch(channel, channel.writers, fd, writable != 0, QSocketNotifier::Write);
    }

    struct SendArg {
        CaresTransport *owner;
        std::weak_ptr<int> alive;
        CaresTransport::ExchangeId id;
    };

    static void replied(void *arg, int status, int, unsigned char *reply, int length)
    {
        const std::unique_ptr<SendArg> send(static_cast<SendArg *>(arg));
        if (send->alive.expired() || status == ARES_EDESTRUCTION || status == ARES_ECANCELLED)
            return;
        DnsExchange exchange;
        if (status == ARES_SUCCESS) {
            exchange.ending = DnsExchangeEnding::Replied;
            exchange.reply = QByteArray(reinterpret_cast<const char *>(reply), length);
        } else if (status == ARES_ETIMEOUT) {
            exchange.ending = DnsExchangeEnding::TimedOut;
        } else {
            exchange.ending = DnsExchangeEnding::Failed;
            exchange.reason = caresError(status);
        }
        send->owner->deliver(send->id, exchange);
    }

    struct QueryArg {
        CaresTransport *owner;
        std::weak_ptr<int> alive;
        QString name;
        quint16 port = 53;
        AddressDone done;
    };

    static void nameServersFound(void *arg, int status, int, unsigned char *reply, int length)
    {
        const std::unique_ptr<QueryArg> query(static_cast<QueryArg *>(arg));
        if (query->alive.expired() || status == ARES_EDESTRUCTION)
            return;
        if (status != ARES_SUCCESS) {
            query->done(
                AddressResult::failure(core::ErrorCode::Network,
                                       QStringLiteral("NS of %1: %2").arg(query->name, caresError(status))));
            return;
        }
        QStringList names;
        if (const auto message =
                core::parseDnsMessage(QByteArray(reinterpret_cast<const char *>(reply), length))) {
            for (const core::DnsRecord &record : message->answers) {
                if (record.type == core::dns::kTypeNs &&
                    record.owner == core::dnsCanonicalName(query->name) && !names.contains(record.target))
                    names.append(record.target);
            }
        }
        if (names.isEmpty()) {
            query->done(AddressResult::failure(core::ErrorCode::NotFound,
                                               QStringLiteral("no NS records for %1").arg(query->name)));
            return;
        }
        query->owner->resolveNames(names, std::move(query->done));
    }
};

CaresTransport::CaresTransport(core::Scheduler &scheduler, std::optional<AddressList> resolverServers,
                               QObject *parent)
    : QObject(parent), m_scheduler(scheduler), m_resolverServers(std::move(resolverServers))
{
    initLibrary();
}

CaresTransport::~CaresTransport()
{
    m_alive.reset(); // the callbacks c-ares makes while its channels close find nobody
    m_channels.clear();
    m_resolver.reset();
}

namespace {

std::unique_ptr<CaresTransport::Channel> makeChannel(CaresTransport *owner, core::Scheduler &scheduler,
                                                     ares_options options, int mask,
                                                     const AddressList &servers)
{
    auto channel = std::make_unique<CaresTransport::Channel>();
    channel->owner = owner;
    channel->timeout = std::make_unique<core::SingleShot>(scheduler);
    options.sock_state_cb = &ChannelCallbacks::socketState;
    options.sock_state_cb_data = channel.get();
    options.socket_receive_buffer_size = kReceiveBufferBytes;
    mask |= ARES_OPT_SOCK_STATE_CB | ARES_OPT_SOCK_RCVBUF;
    if (ares_init_options(&channel->channel, &options, mask) != ARES_SUCCESS) {
        channel->channel = nullptr;
        return nullptr;
    }
    if (servers.isEmpty())
        return channel;
    std::vector<ares_addr_port_node> nodes;
    for (const DnsServerAddress &server : servers) {
        if (const auto node = addressNode(server))
            nodes.push_back(*node);
    }
    if (nodes.empty())
        return nullptr;
    for (std::size_t i = 0; i + 1 < nodes.size(); ++i)
        nodes[i].next = &nodes[i + 1];
    if (ares_set_servers_ports(channel->channel, nodes.data()) != ARES_SUCCESS)
        return nullptr;
    return channel;
}

} // namespace

CaresTransport::Channel *CaresTransport::channelFor(const DnsServerAddress &server, qint64 timeoutMs)
{
    const QString key = server.key() + QLatin1Char('/') + QString::number(timeoutMs);
    auto found = m_channels.find(key);
    if (found != m_channels.end())
        return found->second.get();
    if (!addressNode(server))
        return nullptr;
    ares_options options{};
    // One try of our own question as it stands: no recursion, no search list, a truncated
    // reply and an error code passed up rather than retried.
    // EDNS: a reply up to the size our question offers is taken whole, not cut at 512 bytes.
    options.flags = ARES_FLAG_IGNTC | ARES_FLAG_NOCHECKRESP | ARES_FLAG_NORECURSE | ARES_FLAG_NOSEARCH |
                    ARES_FLAG_STAYOPEN | ARES_FLAG_EDNS;
    options.ednspsz = core::dns::kEdnsUdpSize;
    options.timeout = int(qBound(qint64(1), timeoutMs, qint64(3600000)));
    options.tries = 1;
    auto channel =
        makeChannel(this, m_scheduler, options,
                    ARES_OPT_FLAGS | ARES_OPT_TIMEOUTMS | ARES_OPT_TRIES | ARES_OPT_EDNSPSZ, {server});
    if (!channel)
        return nullptr;
    return m_channels.emplace(key, std::move(channel)).first->second.get();
}

CaresTransport::Channel *CaresTransport::resolverChannel()
{
    if (!m_resolver) {
        ares_options options{};
        options.timeout = kResolverTimeoutMs;
        options.tries = kResolverTries;
        m_resolver = makeChannel(this, m_scheduler, options, ARES_OPT_TIMEOUTMS | ARES_OPT_TRIES,
                                 m_resolverServers.value_or(AddressList{}));
    }
    return m_resolver.get();
}

void CaresTransport::armTimeout(Channel &channel)
{
    timeval tv{};
    if (!ares_timeout(channel.channel, nullptr, &tv)) {
        channel.timeout->cancel();
        return;
    }
    const qint64 ms = qint64(tv.tv_sec) * 1000 + (tv.tv_usec + 999) / 1000;
    const qint64 due = m_scheduler.now() + ms;
    // A later question never brings the next time-out closer; one that fires early finds
    // nothing to do and arms the next.
    if (channel.timeout->isActive() && channel.due <= due)
        return;
    channel.due = due;
    channel.timeout->start(ms, [this, &channel] { process(channel, ARES_SOCKET_BAD, ARES_SOCKET_BAD); });
}

// The replies read in one pass are handed on together once c-ares is done: a handler that
// asks again from inside the pass would keep c-ares reading the new replies, and a fast
// server would then hold the event loop (and every other socket and timer) until the last
// question of a long run was answered.
void CaresTransport::process(Channel &channel, int readFd, int writeFd)
{
    const std::weak_ptr<int> alive = m_alive;
    ++m_processing;
    ares_process_fd(channel.channel, readFd, writeFd);
    if (alive.expired())
        return;
    --m_processing;
    armTimeout(channel);
    if (m_processing > 0 || m_held.empty())
        return;
    m_scheduler.callAfter(0, [alive, this, held = std::exchange(m_held, {})] {
        for (const auto &[id, exchange] : held) {
            if (alive.expired())
                return;
            deliver(id, exchange);
        }
    });
}

CaresTransport::ExchangeId CaresTransport::exchange(const DnsServerAddress &server, const QByteArray &query,
                                                    qint64 timeoutMs,
                                                    std::function<void(const DnsExchange &)> done)
{
    const ExchangeId id = m_nextId++;
    m_pending.emplace(id, std::move(done));
    Channel *channel = channelFor(server, timeoutMs);
    if (!channel) {
        ++m_sending;
        deliver(id, {DnsExchangeEnding::Failed, {}, QStringLiteral("not an address: %1").arg(server.host)});
        --m_sending;
        return id;
    }
    ++m_sending;
    ares_send(channel->channel, reinterpret_cast<const unsigned char *>(query.constData()), int(query.size()),
              &ChannelCallbacks::replied, new ChannelCallbacks::SendArg{this, m_alive, id});
    --m_sending;
    armTimeout(*channel);
    return id;
}

void CaresTransport::cancel(ExchangeId id)
{
    m_pending.erase(id); // c-ares may still answer it; nobody waits then
}

void CaresTransport::deliver(ExchangeId id, const DnsExchange &exchange)
{
    if (m_processing > 0) {
        m_held.emplace_back(id, exchange);
        return;
    }
    if (m_sending > 0) {
        m_scheduler.callAfter(0, [alive = std::weak_ptr<int>(m_alive), this, id, exchange] {
            if (!alive.expired())
                deliver(id, exchange);
        });
        return;
    }
    auto found = m_pending.find(id);
    if (found == m_pending.end())
        return;
    const auto done = std::move(found->second);
    m_pending.erase(found);
    done(exchange);
}

void CaresTransport::findNameServers(const QString &extension, AddressDone done)
{
    Channel *channel = resolverChannel();
    // Answers come from the event loop only: the callback is put off one turn.
    AddressDone later = [alive = std::weak_ptr<int>(m_alive), this, done](const AddressResult &result) {
        m_scheduler.callAfter(0, [alive, done, result] {
            if (!alive.expired())
                done(result);
        });
    };
    if (!channel) {
        later(AddressResult::failure(core::ErrorCode::Network, QStringLiteral("no resolver")));
        return;
    }
    auto *arg = new ChannelCallbacks::QueryArg{this, m_alive, extension, 53, std::move(later)};
    ares_query(channel->channel, extension.toLatin1().constData(), 1 /* IN */, core::dns::kTypeNs,
               &ChannelCallbacks::nameServersFound, arg);
    armTimeout(*channel);
}

void CaresTransport::resolveHost(const QString &host, quint16 port, AddressDone done)
{
    if (addressNode({host, port})) {
        m_scheduler.callAfter(0, [alive = std::weak_ptr<int>(m_alive), done, host, port] {
            if (!alive.expired())
                done(AddressList{{host, port}});
        });
        return;
    }
    resolveNames({host},
                 [alive = std::weak_ptr<int>(m_alive), this, done, port](const AddressResult &result) {
                     AddressResult withPort = result;
                     if (result) {
                         for (DnsServerAddress &address : withPort.value())
                             address.port = port;
                     }
                     m_scheduler.callAfter(0, [alive, done, withPort] {
                         if (!alive.expired())
                             done(withPort);
                     });
                 });
}

namespace {

// The addresses of several names, gathered until the last one is known.
struct Gathering {
    std::weak_ptr<int> alive;
    int remaining = 0;
    AddressList found;
    QStringList errors;
    AddressDone done;
};

void hostFound(void *arg, int status, int, hostent *host)
{
    auto *gathering = static_cast<std::shared_ptr<Gathering> *>(arg);
    const std::shared_ptr<Gathering> state = *gathering;
    delete gathering;
    if (state->alive.expired() || status == ARES_EDESTRUCTION)
        return;
    if (status == ARES_SUCCESS && host) {
        for (char **address = host->h_addr_list; address && *address; ++address) {
            char text[INET6_ADDRSTRLEN] = {};
            if (ares_inet_ntop(host->h_addrtype, *address, text, sizeof text)) {
                const DnsServerAddress server{QString::fromLatin1(text), 53};
                if (!state->found.contains(server))
                    state->found.append(server);
            }
        }
    } else {
        state->errors.append(caresError(status));
    }
    if (--state->remaining > 0)
        return;
    if (state->found.isEmpty())
        state->done(AddressResult::failure(
            core::ErrorCode::Network,
            QStringLiteral("no address: %1").arg(state->errors.join(QStringLiteral("; ")))));
    else
        state->done(state->found);
}

} // namespace

void CaresTransport::resolveNames(const QStringList &names, AddressDone done)
{
    Channel *channel = resolverChannel();
    if (!channel) {
        done(AddressResult::failure(core::ErrorCode::Network, QStringLiteral("no resolver")));
        return;
    }
    auto state = std::make_shared<Gathering>();
    state->alive = m_alive;
    state->remaining = int(names.size());
    state->done = std::move(done);
    for (const QString &name : names)
        ares_gethostbyname(channel->channel, name.toLatin1().constData(), AF_INET, &hostFound,
                           new std::shared_ptr<Gathering>(state));
    armTimeout(*channel);
}

} // namespace wendlecott::platform
