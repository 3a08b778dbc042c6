#pragma once

#include "core/base/Scheduler.h"
#include "core/base/Timing.h"
#include "core/lookup/WhoisConnection.h"
#include "core/lookup/WhoisQuery.h"
#include "core/tld/TldTable.h"

#include <QByteArray>
#include <QMetaType>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace wendlecott::core {

// One lookup slot: the run's reconnect policy around one whois query. It asks one whois
// server about one name at a time and hands back what was received; judging is the owner's.
//
// idle --startLookup--> connecting --connected/request sent--> waiting for data
//   --closed by server (or the answer reached kMaxResponseBytes)--> finished (idle again).
// A time-out at the reconnect tick goes back to connecting, keeping the text received so
// far; there is no limit on retries, the owner's watchdog ends them with abort(). A
// connection that cannot be made at all (refused, no such host) ends the lookup at once with
// a NoConnection answer: waiting would only turn its cause into silence.
class LookupSlot : public QObject {
    Q_OBJECT
public:
    LookupSlot(int slotNumber, std::unique_ptr<WhoisConnection> connection, Scheduler &scheduler,
               const Timing &timing, QObject *parent = nullptr);
    ~LookupSlot() override;

    // Begins a lookup of `name` on the entry's server and port, dropping whatever this slot
    // was doing.
    void startLookup(const QString &name, const TldEntry &entry);
    // The owner's stop flag. While it says stopped, every event of the slot only closes the
    // connection (a tick also switches the timer off); no verdict is given.
    void setStopCheck(std::function<bool()> isStopped);
    // Drops the lookup without a verdict: connection closed, timer off, ticks 0.
    void abort();

    int slotNumber() const { return m_slotNumber; }
    const QString &name() const { return m_name; }
    const QString &server() const { return m_server.host; }
    quint16 port() const { return m_server.port; }
    // Everything received for the current (or last) lookup, over all its attempts.
    const QByteArray &responseBytes() const { return m_query.answerBytes(); }
    int ticks() const { return m_ticks; }
    // True from startLookup until the verdict or abort().
    bool isInFlight() const { return m_inFlight; }
    bool isTimerActive() const { return m_timer.isActive(); }
    // The host the connection is (or was last) connected to.
    QString remoteHost() const;
    // How many times the current lookup has connected anew (time-outs and failed sends).
    int reconnectCount() const { return m_reconnects; }

Q_SIGNALS:
    // The connection-status text, e.g. "connecting(0): - Search String: example.com".
    void statusText(const QString &text);
    // The lookup ended: the server closed the connection (ServerClosed, everything received
    // over all attempts), the answer hit the cap (CapReached), or the connection could not be
    // made at all (NoConnection, `reason` as the system says it, e.g. "Connection refused").
    // The slot is idle when this is emitted, so a handler may start the next lookup.
    void finished(const wendlecott::core::WhoisAnswer &answer);
    // A connection is made and the request goes out with it, in this same turn of the event
    // loop: the moment a server's pace counts from.
    void requestSent();

private:
    void onConnected();
    void onReceived();
    void onQueryFinished(const WhoisAnswer &answer);
    void onTick();

    bool stopped() const { return m_isStopped && m_isStopped(); }
    void reconnect();
    void finish(const WhoisAnswer &answer);

    const int m_slotNumber;
    WhoisQuery m_query;
    const Timing &m_timing;
    PeriodicTimer m_timer;
    std::function<bool()> m_isStopped;

    QString m_name;
    WhoisServer m_server;
    QByteArray m_request;
    int m_ticks = 0;
    int m_reconnects = 0;
    bool m_inFlight = false;
    bool m_connectedThisAttempt = false;
};

} // namespace wendlecott::core
