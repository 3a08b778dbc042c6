#include "core/LookupSlot.h"

#include "core/TextFile.h"
#include "core/WhoisRequest.h"

namespace wendlecott::core {

LookupSlot::LookupSlot(int slotNumber, std::unique_ptr<WhoisConnection> connection, Scheduler &scheduler,
                       const Timing &timing, QObject *parent)
    : QObject(parent)
    , m_slotNumber(slotNumber)
    , m_connection(std::move(connection))
    , m_timing(timing)
    , m_timer(scheduler, [this] { onTick(); })
{
    connect(m_connection.get(), &WhoisConnection::connected, this, &LookupSlot::onConnected);
    connect(m_connection.get(), &WhoisConnection::dataArrived, this, &LookupSlot::onData);
    connect(m_connection.get(), &WhoisConnection::closedByPeer, this, &LookupSlot::onClosedByPeer);
    connect(m_connection.get(), &WhoisConnection::failed, this, &LookupSlot::onFailed);
}

LookupSlot::~LookupSlot()
{
    m_timer.stop();
    m_connection->disconnect(this);
    m_connection->close();
}

void LookupSlot::setStopCheck(std::function<bool()> isStopped)
{
    m_isStopped = std::move(isStopped);
}

QString LookupSlot::response() const
{
    return decodeText(m_response);
}

QString LookupSlot::remoteHost() const
{
    return m_connection->remoteHost();
}

void LookupSlot::startLookup(const QString &name, const TldEntry &entry)
{
    m_name = name;
    m_server = entry.server;
    m_port = entry.port;
    m_successWords = entry.successWords;
    m_response.clear();
    m_ticks = 0;
    m_reconnects = 0;
    m_inFlight = true;
    m_timer.start(m_timing.tickMs);
    connectToServer();
}

void LookupSlot::abort()
{
    m_connection->close();
    m_timer.stop();
    m_ticks = 0;
    m_inFlight = false;
}

// Every attempt goes to the entry's own server and port, retries included: a server on a
// port other than 43 (a local whois proxy, say) must stay reachable after a time-out.
void LookupSlot::connectToServer()
{
    m_connection->close();
    if (m_port < 1 || m_port > 65535)
        return; // cannot be connected to; the time-out retries and the watchdog gives up
    m_connection->open(m_server, quint16(m_port));
}

void LookupSlot::reconnect()
{
    ++m_reconnects;
    connectToServer();
}

void LookupSlot::onConnected()
{
    if (stopped() || !m_inFlight) {
        m_connection->close();
        return;
    }
    Q_EMIT statusText(QStringLiteral("connecting(") + QString::number(m_slotNumber) +
                      QStringLiteral("): - Search String: ") + m_name);
    m_ticks = 0;
    m_timer.start(m_timing.tickMs);
    if (!m_connection->send(whoisRequest(m_name)))
        reconnect();
}

void LookupSlot::onData(const QByteArray &bytes)
{
    if (stopped() || !m_inFlight) {
        m_connection->close();
        return;
    }
    // A server that does not stop sending is judged on what fits, as if it had closed.
    if (appendToResponse(m_response, bytes))
        finish();
}

void LookupSlot::onClosedByPeer()
{
    if (stopped() || !m_inFlight) {
        m_connection->close();
        return;
    }
    finish();
}

void LookupSlot::onFailed()
{
    // No message and no verdict: the time-out tries again.
    if (stopped())
        m_connection->close();
}

void LookupSlot::onTick()
{
    ++m_ticks;
    if (stopped()) {
        m_timer.stop();
        m_connection->close();
        return;
    }
    if (m_ticks >= m_timing.reconnectTicks) {
        m_ticks = 0;
        m_timer.start(m_timing.tickMs);
        reconnect();
    }
}

void LookupSlot::finish()
{
    m_timer.stop();
    LookupOutcome outcome;
    outcome.name = m_name;
    outcome.response = decodeText(m_response);
    const Judgement judgement = judgeResponse(outcome.response, m_successWords);
    outcome.verdict = judgement.verdict;
    outcome.matchedWord = judgement.matchedWord;
    outcome.server = m_connection->remoteHost();
    outcome.port = m_port;
    m_connection->close();
    m_inFlight = false;
    Q_EMIT finished(outcome); // last: the handler may start the next lookup on this slot
}

} // namespace wendlecott::core
