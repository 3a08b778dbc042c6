#pragma once

#include "core/base/Scheduler.h"
#include "core/lookup/WhoisConnection.h"
#include "core/tld/WhoisRequest.h"

#include <QByteArray>
#include <QMetaType>
#include <QObject>
#include <QString>

#include <memory>

namespace wendlecott::core {

// How one exchange with a whois server ended.
enum class WhoisEnding {
    ServerClosed, // the server closed the connection: the answer is complete
    CapReached,   // the answer reached kMaxResponseBytes; the connection was closed here
    NoConnection, // the connection could not be made, or broke (reason says why)
    SendFailed,   // connected, but the request could not be sent
    TimedOut,     // the exchange had not ended within its time limit
};

// The result of one exchange.
struct WhoisAnswer {
    WhoisEnding ending = WhoisEnding::ServerClosed;
    QByteArray bytes; // the answer as received (with any text carried over), at most the cap
    QString text;     // the same bytes decoded: UTF-8 when valid, else Latin-1
    QString host;     // the remote host the connection went to
    quint16 port = 0; // and its port
    qint64 elapsedMs = 0;
    QString reason; // NoConnection: what the connection reported (refused, host not found, ...)
};

// Options of one exchange.
struct WhoisQueryOptions {
    // Bytes kept from an earlier exchange about the same name; the new answer is appended to
    // them and the cap counts them too.
    QByteArray carriedAnswer;
    // Ends the exchange as TimedOut when it has not ended this many milliseconds after its
    // start (a server that sends one byte a second ends too); 0 waits without limit.
    qint64 timeLimitMs = 0;
};

// The decoded text of a whois answer: UTF-8 when valid, else Latin-1 (one character a byte).
QString whoisAnswerText(const QByteArray &bytes);

// One exchange with a whois server: connect to host:port, send the request bytes, collect the
// answer up to kMaxResponseBytes, report how it ended. No retries and no pacing: callers own
// those. One query runs one exchange at a time on its own connection and can be started
// again, also from inside its own finished() signal.
//
// idle --start--> connecting --connected, request sent--> receiving
//   --closed by server | cap reached | failed | time limit--> idle (finished() emitted)
// cancel() returns to idle without finished(). Events that belong to an exchange that has
// ended (late data, a late close) are ignored.
class WhoisQuery : public QObject {
    Q_OBJECT
public:
    WhoisQuery(std::unique_ptr<WhoisConnection> connection, Scheduler &scheduler, QObject *parent = nullptr);
    ~WhoisQuery() override;

    // Drops any exchange in progress, then connects to `server` and, once connected, sends `request`.
    void start(const WhoisServer &server, const QByteArray &request, WhoisQueryOptions options = {});
    // Drops the exchange in progress without a result: connection closed, time limit off.
    void cancel();

    bool isRunning() const { return m_running; }
    // The answer so far (the carried-over text included); after the end, the final answer.
    const QByteArray &answerBytes() const { return m_answer; }
    // The host the connection is (or was last) connected to.
    QString remoteHost() const;

Q_SIGNALS:
    // The connection is made; the request goes out right after this signal. A handler may
    // cancel() (or start anew); nothing is sent for this exchange then.
    void connected();
    // A piece of the answer arrived and is about to be kept. A handler may cancel(); the
    // piece is dropped then.
    void received(const QByteArray &bytes);
    // The exchange ended. The query is idle when this is emitted.
    void finished(const wendlecott::core::WhoisAnswer &answer);

private:
    void onConnected();
    void onData(const QByteArray &bytes);
    void onClosedByPeer();
    void onFailed(const QString &reason);
    void onTimeLimit();
    void finish(WhoisEnding ending, const QString &reason = {});

    std::unique_ptr<WhoisConnection> m_connection;
    Scheduler &m_scheduler;
    SingleShot m_timeLimit;
    QByteArray m_request;
    QByteArray m_answer;
    qint64 m_startedAt = 0;
    quint64 m_exchange = 0; // counts starts and cancels, so a handler's cancel() is noticed
    bool m_running = false;
};

} // namespace wendlecott::core

Q_DECLARE_METATYPE(wendlecott::core::WhoisAnswer)
