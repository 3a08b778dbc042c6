#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

class QTcpServer;
class QTcpSocket;

namespace wendlecott::testing {

// An HTTP server on 127.0.0.1 (ephemeral port) whose answer per path is scripted by the test.
// It reads one request head, answers, and closes the connection (HTTP/1.1, Connection: close).
class FakeHttpServer final : public QObject {
    Q_OBJECT
public:
    enum class Mode {
        Answer,      // status, headers and body, then close
        Slow,        // the body in small pieces with pauses, then close
        Endless,     // a 200 head, then body bytes without end until the client goes away
        Silent,      // read the request, send nothing, keep the connection open
        CloseAtOnce, // close without answering
        CutShort,    // the head promises the whole body; half of it comes, then the connection closes
    };
    struct Route {
        Mode mode = Mode::Answer;
        int status = 200;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        int chunkSize = 64;
        int chunkDelayMs = 2;
    };
    struct Request {
        QByteArray method;
        QByteArray target; // path and query as sent
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray header(const QByteArray &name) const;
    };

    explicit FakeHttpServer(QObject *parent = nullptr);
    ~FakeHttpServer() override;

    // Listens on 127.0.0.1; false when that fails.
    bool start();
    quint16 port() const;
    // "http://127.0.0.1:PORT" + path.
    QString url(const QString &path) const;

    // The answer for a request target (path with query), matched exactly; without a route
    // of its own a request gets the default (404, empty body).
    void route(const QString &target, Route route) { m_routes.insert(target, std::move(route)); }
    void answer(const QString &target, int status, const QByteArray &body,
                const QByteArray &contentType = QByteArrayLiteral("text/html"))
    {
        route(target, {Mode::Answer, status, {{QByteArrayLiteral("Content-Type"), contentType}}, body});
    }
    // A redirect to another target on this server.
    void redirect(const QString &from, const QString &to, int status = 302)
    {
        route(from, {Mode::Answer, status, {{QByteArrayLiteral("Location"), url(to).toUtf8()}}, {}});
    }
    void setDefault(Route route) { m_default = std::move(route); }

    const QList<Request> &requests() const { return m_requests; }

Q_SIGNALS:
    void requestReceived(const QByteArray &target);

private:
    void onConnection();
    void serve(QTcpSocket *socket, const Request &request);

    QTcpServer *m_server = nullptr;
    QHash<QString, Route> m_routes;
    Route m_default{Mode::Answer, 404, {}, {}};
    QList<Request> m_requests;
};

} // namespace wendlecott::testing
