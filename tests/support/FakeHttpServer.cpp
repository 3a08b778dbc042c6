#include "FakeHttpServer.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>
#include <optional>

namespace wendlecott::testing {

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 404:
        return "Not Found";
    case 429:
        return "Too Many Requests";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

// Parses a request head ("GET /x HTTP/1.1", headers); nothing when it is not one.
std::optional<FakeHttpServer::Request> parseHead(const QByteArray &head)
{
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    if (first.size() < 2)
        return std::nullopt;
    FakeHttpServer::Request request;
    request.method = first.at(0);
    request.target = first.at(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            request.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }
    return request;
}

} // namespace

QByteArray FakeHttpServer::Request::header(const QByteArray &name) const
{
    for (const auto &pair : headers) {
        if (pair.first.compare(name, Qt::CaseInsensitive) == 0)
            return pair.second;
    }
    return {};
}

FakeHttpServer::FakeHttpServer(QObject *parent) : QObject(parent), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &FakeHttpServer::onConnection);
}

FakeHttpServer::~FakeHttpServer() = default;

bool FakeHttpServer::start()
{
    return m_server->listen(QHostAddress::LocalHost, 0);
}

quint16 FakeHttpServer::port() const
{
    return m_server->serverPort();
}

QString FakeHttpServer::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path);
}

void FakeHttpServer::onConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        auto buffer = std::make_shared<QByteArray>();
        auto taken = std::make_shared<bool>(false);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer, taken] {
            if (*taken) {
                socket->readAll(); // one request per connection
                return;
            }
            buffer->append(socket->readAll());
            const qsizetype end = buffer->indexOf("\r\n\r\n");
            if (end < 0)
                return;
            const std::optional<Request> request = parseHead(buffer->left(end));
            *taken = true;
            if (!request) {
                socket->disconnectFromHost();
                return;
            }
            m_requests.append(*request);
            Q_EMIT requestReceived(request->target);
            serve(socket, *request);
        });
    }
}

void FakeHttpServer::serve(QTcpSocket *socket, const Request &request)
{
    const Route route = m_routes.value(QString::fromUtf8(request.target), m_default);
    if (route.mode == Mode::Silent)
        return;
    if (route.mode == Mode::CloseAtOnce) {
        socket->disconnectFromHost();
        return;
    }
    QByteArray head =
        "HTTP/1.1 " + QByteArray::number(route.status) + ' ' + reasonPhrase(route.status) + "\r\n";
    for (const auto &header : route.headers)
        head += header.first + ": " + header.second + "\r\n";
    if (route.mode != Mode::Endless)
        head += "Content-Length: " + QByteArray::number(route.body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    socket->write(head);

    if (route.mode == Mode::Answer || route.mode == Mode::CutShort) {
        socket->write(route.mode == Mode::Answer ? route.body : route.body.left(route.body.size() / 2));
        socket->disconnectFromHost();
        return;
    }
    // Slow and Endless: pieces from a timer, until the body is sent or the client goes away.
    auto offset = std::make_shared<qsizetype>(0);
    auto *timer = new QTimer(socket);
    QPointer<QTcpSocket> guard(socket);
    connect(timer, &QTimer::timeout, socket, [guard, timer, offset, route] {
        if (!guard || guard->state() != QAbstractSocket::ConnectedState) {
            timer->stop();
            return;
        }
        if (route.mode == Mode::Endless) {
            if (guard->bytesToWrite() < 1 << 20)
                guard->write(QByteArray(route.chunkSize, 'x'));
            return;
        }
        guard->write(route.body.mid(*offset, route.chunkSize));
        *offset += route.chunkSize;
        if (*offset >= route.body.size()) {
            timer->stop();
            guard->disconnectFromHost();
        }
    });
    timer->start(route.chunkDelayMs);
}

} // namespace wendlecott::testing
