#include "platform/QtWhoisConnection.h"

#include <QTcpSocket>

namespace wendlecott::platform {

QtWhoisConnection::QtWhoisConnection(QObject *parent) : core::WhoisConnection(parent)
{
}

QtWhoisConnection::~QtWhoisConnection()
{
    close();
}

// Each attempt gets a fresh socket, so late events of an earlier attempt can never be
// taken for events of the current one.
void QtWhoisConnection::attach()
{
    m_socket = new QTcpSocket(this);
    QTcpSocket *socket = m_socket;
    connect(socket, &QTcpSocket::connected, this, [this, socket] {
        if (socket == m_socket)
            Q_EMIT connected();
    });
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
        if (socket == m_socket)
            Q_EMIT dataArrived(socket->readAll());
    });
    connect(socket, &QTcpSocket::errorOccurred, this, [this, socket](QAbstractSocket::SocketError error) {
        if (socket != m_socket)
            return;
        if (error == QAbstractSocket::RemoteHostClosedError)
            return; // handled by disconnected()
        if (socket->state() == QAbstractSocket::ConnectedState)
            return; // a late error on a live connection; disconnected() follows if it breaks
        Q_EMIT failed(socket->errorString());
    });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
        if (socket != m_socket)
            return;
        // Bytes that came with the close are delivered before the close itself.
        if (socket->bytesAvailable() > 0)
            Q_EMIT dataArrived(socket->readAll());
        if (socket == m_socket)
            Q_EMIT closedByPeer();
    });
}

void QtWhoisConnection::open(const QString &host, quint16 port)
{
    close();
    m_host = host;
    m_port = port;
    attach();
    m_socket->connectToHost(host, port);
}

bool QtWhoisConnection::send(const QByteArray &bytes)
{
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
        return false;
    return m_socket->write(bytes) == bytes.size();
}

void QtWhoisConnection::close()
{
    if (!m_socket)
        return;
    QTcpSocket *socket = m_socket;
    m_socket = nullptr; // events of this socket are ignored from here on
    socket->abort();
    socket->deleteLater();
}

QString QtWhoisConnection::remoteHost() const
{
    return m_host;
}

quint16 QtWhoisConnection::remotePort() const
{
    return m_port;
}

core::ConnectionFactory QtWhoisConnection::factory()
{
    return [] { return std::make_unique<QtWhoisConnection>(); };
}

} // namespace wendlecott::platform
