#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace wendlecott::core {

// One TCP client connection to a whois server. Events arrive as signals from the
// event loop, never from inside a call of this interface.
class WhoisConnection : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~WhoisConnection() override = default;

    // Closes whatever is open, then connects to host:port with a local port chosen by the system.
    virtual void open(const QString &host, quint16 port) = 0;
    // Queues bytes for sending; false when the connection cannot take them (not connected).
    virtual bool send(const QByteArray &bytes) = 0;
    // Closes the connection from this side. No closed() follows a close() of our own.
    virtual void close() = 0;
    // The host we are (or were last) connected to, as the user would name it.
    virtual QString remoteHost() const = 0;
    // The port we are (or were last) connected to.
    virtual quint16 remotePort() const = 0;

Q_SIGNALS:
    void connected();
    void dataArrived(const QByteArray &bytes);
    void closedByPeer();
    // The connection could not be made or broke; no closedByPeer() follows.
    void failed(const QString &reason);
};

using ConnectionFactory = std::function<std::unique_ptr<WhoisConnection>()>;

} // namespace wendlecott::core
