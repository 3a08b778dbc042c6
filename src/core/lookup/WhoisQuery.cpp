#include "core/lookup/WhoisQuery.h"

#include <QStringDecoder>

#include <optional>

namespace wendlecott::core {

namespace {

std::optional<QString> strictUtf8(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return std::nullopt;
    return text;
}

// The length of `bytes` without a UTF-8 sequence that the end cuts short.
qsizetype withoutCutSequence(const QByteArray &bytes)
{
    const qsizetype size = bytes.size();
    for (qsizetype back = 1; back <= 4 && back <= size; ++back) {
        const auto byte = quint8(bytes.at(size - back));
        if ((byte & 0xc0) == 0x80)
            continue; // a continuation byte: look further back for the lead byte
        const qsizetype length = (byte & 0xe0) == 0xc0   ? 2
                                 : (byte & 0xf0) == 0xe0 ? 3
                                 : (byte & 0xf8) == 0xf0 ? 4
                                                         : 1;
        return length > back ? size - back : size;
    }
    return size;
}

} // namespace

QString whoisAnswerText(const QByteArray &bytes)
{
    if (std::optional<QString> text = strictUtf8(bytes))
        return *std::move(text);
    return QString::fromLatin1(bytes);
}

WhoisQuery::WhoisQuery(std::unique_ptr<WhoisConnection> connection, Scheduler &scheduler, QObject *parent)
    : QObject(parent), m_connection(std::move(connection)), m_scheduler(scheduler), m_timeLimit(scheduler)
{
    connect(m_connection.get(), &WhoisConnection::connected, this, &WhoisQuery::onConnected);
    connect(m_connection.get(), &WhoisConnection::dataArrived, this, &WhoisQuery::onData);
    connect(m_connection.get(), &WhoisConnection::closedByPeer, this, &WhoisQuery::onClosedByPeer);
    connect(m_connection.get(), &WhoisConnection::failed, this, &WhoisQuery::onFailed);
}

WhoisQuery::~WhoisQuery()
{
    m_timeLimit.cancel();
    m_connection->disconnect(this);
    m_connection->close();
}

void WhoisQuery::start(const WhoisServer &server, const QByteArray &request, WhoisQueryOptions options)
{
    cancel(); // also counts a new exchange
    m_request = request;
    m_answer = std::move(options.carriedAnswer);
    m_startedAt = m_scheduler.now();
    m_running = true;
    if (options.timeLimitMs > 0)
        m_timeLimit.start(options.timeLimitMs, [this] { onTimeLimit(); });
    m_connection->open(server.host, server.port);
}

void WhoisQuery::cancel()
{
    m_timeLimit.cancel();
    m_connection->close();
    m_running = false;
    ++m_exchange;
}

QString WhoisQuery::remoteHost() const
{
    return m_connection->remoteHost();
}

// Every event of an exchange that has ended only makes sure the connection is closed.

void WhoisQuery::onConnected()
{
    if (!m_running) {
        m_connection->close();
        return;
    }
    const quint64 exchange = m_exchange;
    Q_EMIT connected();
    if (exchange != m_exchange)
        return; // a handler cancelled (or started anew)
    if (!m_connection->send(m_request))
        finish(WhoisEnding::SendFailed);
}

void WhoisQuery::onData(const QByteArray &bytes)
{
    if (!m_running) {
        m_connection->close();
        return;
    }
    const quint64 exchange = m_exchange;
    Q_EMIT received(bytes);
    if (exchange != m_exchange)
        return;
    const qsizetype room = kMaxResponseBytes - m_answer.size();
    m_answer.append(bytes.constData(), qMin(room, bytes.size()));
    // A server that does not stop sending is cut off here; what fits is the answer.
    if (m_answer.size() >= kMaxResponseBytes)
        finish(WhoisEnding::CapReached);
}

void WhoisQuery::onClosedByPeer()
{
    if (!m_running) {
        m_connection->close();
        return;
    }
    finish(WhoisEnding::ServerClosed);
}

void WhoisQuery::onFailed(const QString &reason)
{
    if (!m_running) {
        m_connection->close();
        return;
    }
    finish(WhoisEnding::NoConnection, reason);
}

void WhoisQuery::onTimeLimit()
{
    if (m_running)
        finish(WhoisEnding::TimedOut);
}

void WhoisQuery::finish(WhoisEnding ending, const QString &reason)
{
    WhoisAnswer answer;
    answer.ending = ending;
    answer.reason = reason;
    answer.host = m_connection->remoteHost();
    answer.port = m_connection->remotePort();
    answer.elapsedMs = m_scheduler.now() - m_startedAt;
    // An answer cut at the cap may end inside a character: drop that piece, so that a UTF-8
    // answer still reads as UTF-8. An answer that is not UTF-8 is kept whole, as Latin-1.
    const qsizetype whole =
        ending == WhoisEnding::CapReached ? withoutCutSequence(m_answer) : m_answer.size();
    std::optional<QString> text = strictUtf8(whole < m_answer.size() ? m_answer.left(whole) : m_answer);
    if (text && whole < m_answer.size())
        m_answer.truncate(whole);
    answer.text = text ? *std::move(text) : QString::fromLatin1(m_answer);
    answer.bytes = m_answer;

    m_timeLimit.cancel();
    m_connection->close();
    m_running = false;
    Q_EMIT finished(answer); // last: a handler may start the next exchange
}

} // namespace wendlecott::core
