#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;

namespace wendlecott::testing {

// A whois server on 127.0.0.1 (ephemeral port) whose behaviour per queried name is
// scripted by the test. It reads one request line (up to the first LF), then acts.
class FakeWhoisServer final : public QObject {
    Q_OBJECT
public:
    enum class Mode {
        AnswerAndClose, // send the answer, close
        Silent,         // read the request, send nothing, keep the connection open
        CloseAtOnce,    // close without sending anything
        Chunked,        // send the answer in small pieces with pauses, then close
        Endless,        // send data without end until the client goes away
        AnswerAndHold,  // send the answer, then keep the connection open and say no more
        Reset,          // reset the connection (RST) without sending anything
    };
    struct Script {
        Mode mode = Mode::AnswerAndClose;
        QByteArray answer;
        int chunkSize = 7;
        int chunkDelayMs = 2;
    };

    explicit FakeWhoisServer(QObject *parent = nullptr);
    ~FakeWhoisServer() override;

    // Listens on 127.0.0.1; false when that fails.
    bool start();
    quint16 port() const;

    void script(const QString &name, Script script) { m_scripts.insert(name, std::move(script)); }
    void answer(const QString &name, const QByteArray &text) { script(name, {Mode::AnswerAndClose, text}); }
    // What happens for names without a script of their own.
    void setDefault(Script script) { m_default = std::move(script); }

    // Every request line received, without its CR LF, in order.
    const QList<QByteArray> &requests() const { return m_requests; }
    // Every request exactly as received, line end included, with any bytes that followed it
    // on the same connection.
    const QList<QByteArray> &rawRequests() const { return m_rawRequests; }
    int connectionCount() const { return m_connections; }

Q_SIGNALS:
    void requestReceived(const QByteArray &line);
    // A connection ended, closed by either side: nothing more can pass on it. Tests that check
    // that nothing more arrives wait for this instead of waiting a while.
    void connectionEnded();

private:
    void onConnection();
    void serve(QTcpSocket *socket, const QByteArray &raw);

    QTcpServer *m_server = nullptr;
    QHash<QString, Script> m_scripts;
    Script m_default{Mode::AnswerAndClose, QByteArrayLiteral("No match for domain.\r\n")};
    QList<QByteArray> m_requests;
    QList<QByteArray> m_rawRequests;
    int m_connections = 0;
};

} // namespace wendlecott::testing
