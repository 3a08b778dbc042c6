#include "FakeWhoisServer.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>

namespace wendlecott::testing {

FakeWhoisServer::FakeWhoisServer(QObject *parent) : QObject(parent)
{
}

FakeWhoisServer::~FakeWhoisServer() = default;

bool FakeWhoisServer::start()
{
    m_server = new QTcpServer(this);
    connect(m_server, &QTcpServer::newConnection, this, &FakeWhoisServer::onConnection);
    return m_server->listen(QHostAddress::LocalHost, 0);
}

quint16 FakeWhoisServer::port() const
{
    return m_server ? m_server->serverPort() : 0;
}

void FakeWhoisServer::onConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        ++m_connections;
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::disconnected, this, &FakeWhoisServer::connectionEnded);
        auto buffer = std::make_shared<QByteArray>();
        auto index = std::make_shared<qsizetype>(-1); // this connection's entry in m_rawRequests
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer, index] {
            const QByteArray bytes = socket->readAll();
            if (*index >= 0) {
                // One request per connection: whatever follows it is kept with it, so a
                // client that sends more than one line shows in rawRequests().
                m_rawRequests[*index] += bytes;
                return;
            }
            buffer->append(bytes);
            if (buffer->contains('\n')) {
                *index = m_rawRequests.size();
                serve(socket, *buffer);
            }
        });
    }
}

namespace {

// Closes with a reset rather than the orderly close: a linger time of zero drops the
// connection at once, and the peer reads "connection reset".
void resetConnection(QTcpSocket *socket)
{
    const linger now{1, 0};
    (void)::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &now,
                       sizeof now); // best effort
    socket->abort();
}

} // namespace

void FakeWhoisServer::serve(QTcpSocket *socket, const QByteArray &raw)
{
    m_rawRequests.append(raw);
    QByteArray line = raw.left(raw.indexOf('\n'));
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    m_requests.append(line);
    Q_EMIT requestReceived(line);

    const Script script = m_scripts.value(QString::fromUtf8(line), m_default);
    QPointer<QTcpSocket> guard(socket);
    switch (script.mode) {
    case Mode::AnswerAndClose:
        socket->write(script.answer);
        socket->disconnectFromHost();
        break;
    case Mode::Silent:
        break;
    case Mode::AnswerAndHold:
        socket->write(script.answer);
        break;
    case Mode::CloseAtOnce:
        socket->disconnectFromHost();
        break;
    case Mode::Reset:
        resetConnection(socket);
        break;
    case Mode::Chunked: {
        auto offset = std::make_shared<qsizetype>(0);
        auto *timer = new QTimer(socket);
        timer->setInterval(script.chunkDelayMs);
        connect(timer, &QTimer::timeout, socket, [guard, offset, script, timer] {
            if (!guard)
                return;
            if (*offset >= script.answer.size()) {
                timer->stop();
                guard->disconnectFromHost();
                return;
            }
            guard->write(script.answer.mid(*offset, script.chunkSize));
            *offset += script.chunkSize;
        });
        timer->start();
        break;
    }
    case Mode::Endless: {
        auto *timer = new QTimer(socket);
        timer->setInterval(1);
        const QByteArray block(64 * 1024, 'x');
        connect(timer, &QTimer::timeout, socket, [guard, block] {
            if (guard && guard->state() == QAbstractSocket::ConnectedState &&
                guard->bytesToWrite() < (1 << 20))
                guard->write(block);
        });
        timer->start();
        break;
    }
    }
}

} // namespace wendlecott::testing
