#include "core/lookup/LookupSlot.h"

#include "core/tld/WhoisRequest.h"

namespace wendlecott::core {

LookupSlot::LookupSlot(int slotNumber, std::unique_ptr<WhoisConnection> connection, Scheduler &scheduler,
                       const Timing &timing, QObject *parent)
    : QObject(parent)
    , m_slotNumber(slotNumber)
    , m_query(std::move(connection), scheduler)
    , m_timing(timing)
    , m_timer(scheduler, [this] { onTick(); })
{
    connect(&m_query, &WhoisQuery::connected, this, &LookupSlot::onConnected);
    connect(&m_query, &WhoisQuery::received, this, &LookupSlot::onReceived);
    connect(&m_query, &WhoisQuery::finished, this, &LookupSlot::onQueryFinished);
}

LookupSlot::~LookupSlot()
{
    m_timer.stop();
    m_query.disconnect(this);
    m_query.cancel();
}

void LookupSlot::setStopCheck(std::function<bool()> isStopped)
{
    m_isStopped = std::move(isStopped);
}

QString LookupSlot::remoteHost() const
{
    return m_query.remoteHost();
}

void LookupSlot::startLookup(const QString &name, const TldEntry &entry)
{
    m_name = name;
    m_server = {entry.server, entry.port};
    m_request = whoisRequest(name);
    m_ticks = 0;
    m_reconnects = 0;
    m_inFlight = true;
    m_connectedThisAttempt = false;
    m_timer.start(m_timing.tickMs);
    m_query.start(m_server, m_request);
}

void LookupSlot::abort()
{
    m_query.cancel();
    m_timer.stop();
    m_ticks = 0;
    m_inFlight = false;
}

// Every attempt goes to the entry's own server and port, retries included: a server on a
// port other than 43 (a local whois proxy, say) must stay reachable after a time-out. The
// text of the earlier attempts is kept and judged with the new one.
void LookupSlot::reconnect()
{
    ++m_reconnects;
    m_connectedThisAttempt = false;
    WhoisQueryOptions options;
    options.carriedAnswer = m_query.answerBytes();
    m_query.start(m_server, m_request, std::move(options));
}

void LookupSlot::onConnected()
{
    if (stopped()) {
        m_query.cancel();
        return;
    }
    m_connectedThisAttempt = true;
    Q_EMIT statusText(QStringLiteral("connecting(") + QString::number(m_slotNumber) +
                      QStringLiteral("): - Search String: ") + m_name);
    m_ticks = 0;
    m_timer.start(m_timing.tickMs);
    Q_EMIT requestSent();
}

void LookupSlot::onReceived()
{
    if (stopped())
        m_query.cancel();
}

void LookupSlot::onQueryFinished(const WhoisAnswer &answer)
{
    if (stopped())
        return; // the query has closed the connection; no verdict
    switch (answer.ending) {
    case WhoisEnding::ServerClosed:
    case WhoisEnding::CapReached: // what fits is the answer, as if the server had closed
        finish(answer);
        break;
    case WhoisEnding::SendFailed:
        reconnect();
        break;
    case WhoisEnding::NoConnection:
        if (!m_connectedThisAttempt) { // refused or no such host: a retry would fail the same way
            m_ticks = 0;
            finish(answer);
        }
        break; // a connection that broke: the time-out tries again
    case WhoisEnding::TimedOut:
        break; // no message and no verdict: the time-out tries again
    }
}

void LookupSlot::onTick()
{
    ++m_ticks;
    if (stopped()) {
        m_timer.stop();
        m_query.cancel();
        return;
    }
    if (m_ticks >= m_timing.reconnectTicks) {
        m_ticks = 0;
        m_timer.start(m_timing.tickMs);
        reconnect();
    }
}

void LookupSlot::finish(const WhoisAnswer &answer)
{
    m_timer.stop();
    m_inFlight = false;
    Q_EMIT finished(answer); // last: the handler may start the next lookup on this slot
}

} // namespace wendlecott::core
