#pragma once

#include "core/lookup/WhoisConnection.h"

#include <QList>

namespace wendlecott::testing {

// A connection whose peer is the test: it records what the logic did (opens, bytes sent,
// closes) and the test plays the server by calling the peer* functions.
class FakeConnection final : public core::WhoisConnection {
    Q_OBJECT
public:
    struct Open {
        QString host;
        quint16 port;
    };

    void open(const QString &host, quint16 port) override
    {
        if (m_open)
            ++closeCount;
        opens.append({host, port});
        m_host = host;
        m_port = port;
        m_open = true;
        m_connected = false;
    }
    bool send(const QByteArray &bytes) override
    {
        if (!m_connected || failSends)
            return false;
        sent += bytes;
        sends.append(bytes);
        return true;
    }
    void close() override
    {
        if (m_open)
            ++closeCount;
        m_open = false;
        m_connected = false;
    }
    QString remoteHost() const override { return m_host; }
    quint16 remotePort() const override { return m_port; }

    bool isOpen() const { return m_open; }
    bool isConnected() const { return m_connected; }

    // The server side.
    void peerAccept()
    {
        m_connected = true;
        Q_EMIT connected();
    }
    void peerSend(const QByteArray &bytes) { Q_EMIT dataArrived(bytes); }
    void peerClose()
    {
        m_open = false;
        m_connected = false;
        Q_EMIT closedByPeer();
    }
    void peerFail(const QString &reason = QStringLiteral("refused"))
    {
        m_open = false;
        m_connected = false;
        Q_EMIT failed(reason);
    }

    QList<Open> opens;
    QList<QByteArray> sends;
    QByteArray sent;
    int closeCount = 0;
    bool failSends = false;

private:
    QString m_host;
    quint16 m_port = 0;
    bool m_open = false;
    bool m_connected = false;
};

} // namespace wendlecott::testing
