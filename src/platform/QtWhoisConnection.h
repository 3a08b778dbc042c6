#pragma once

#include "core/lookup/WhoisConnection.h"

class QTcpSocket;

namespace wendlecott::platform {

// A whois connection over QTcpSocket.
class QtWhoisConnection final : public core::WhoisConnection {
    Q_OBJECT
public:
    explicit QtWhoisConnection(QObject *parent = nullptr);
    ~QtWhoisConnection() override;

    void open(const QString &host, quint16 port) override;
    bool send(const QByteArray &bytes) override;
    void close() override;
    QString remoteHost() const override;
    quint16 remotePort() const override;

    static core::ConnectionFactory factory();

private:
    void attach();

    QTcpSocket *m_socket = nullptr;
    QString m_host;
    quint16 m_port = 0;
};

} // namespace wendlecott::platform
