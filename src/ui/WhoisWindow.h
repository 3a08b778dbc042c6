#pragma once

#include "core/Scheduler.h"
#include "core/Timing.h"
#include "core/WhoisConnection.h"
#include "core/WhoisRequest.h"

#include <QByteArray>
#include <QPointer>
#include <QWidget>

#include <memory>

class QPlainTextEdit;

namespace wendlecott::core {
struct TldTable;
}

namespace wendlecott::ui {

// A whois server to ask: host name or address, and TCP port.
struct WhoisServer {
    QString host;
    quint16 port = 43;
    friend bool operator==(const WhoisServer &, const WhoisServer &) = default;
};

// The com and net registry server, asked for a name that no TLD row serves.
inline const QString kWhoisFallbackHost = QStringLiteral("whois.verisign-grs.com");
inline constexpr quint16 kWhoisFallbackPort = 43;

// The server that answers for `name`: the server and port of the row findTLD picks (the
// proxy row in proxy mode), or `fallback` when no row serves the name.
WhoisServer whoisServerFor(const core::TldTable &table, const QString &name, bool useProxy,
                           const WhoisServer &fallback = {kWhoisFallbackHost, kWhoisFallbackPort});

// The WHOIS Information window: asks the server that serves one name and shows its raw
// answer as plain text. It never waits: the answer comes in through socket events, and a
// server that stays silent is given up after Timing::whoisViewerTimeoutMs.
class frmWhois final : public QWidget {
    Q_OBJECT
public:
    // Kept text is capped here; a server that sends more is cut off.
    static constexpr qsizetype kMaxAnswerBytes = core::kMaxResponseBytes;

    frmWhois(const QString &domain, const core::TldTable &table, bool useProxy,
             core::ConnectionFactory connectionFactory, core::Scheduler &scheduler,
             const core::Timing &timing, QWidget *parent = nullptr);
    ~frmWhois() override;

    // The server asked when no row serves the name (tests point it at a local server).
    // Takes effect at the next start().
    void setFallbackServer(const WhoisServer &server) { m_fallback = server; }

    // Forgets any earlier answer, closes the connection and asks the server anew.
    void start();

    // Closes a window that `current` still points to, then opens a new one for `domain`
    // (deleted when closed), asks its server and shows it without waiting.
    static frmWhois *replaceAndShow(QPointer<frmWhois> &current, const QString &domain,
                                    const core::TldTable &table, bool useProxy,
                                    core::ConnectionFactory connectionFactory, core::Scheduler &scheduler,
                                    const core::Timing &timing, QWidget *parent = nullptr);

    QString domain() const { return m_domain; }
    WhoisServer server() const { return m_server; }
    // True once the answer (or the reason there is none) is shown.
    bool isFinished() const { return m_finished; }
    QString text() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void onConnected();
    void onData(const QByteArray &bytes);
    void onClosedByPeer();
    void onFailed(const QString &reason);
    void onSilence();
    // Shows an optional status line above what has arrived, and lets the connection go.
    void finish(const QString &statusLine);
    void stopConnection();
    QString serverText() const;

    QString m_domain;
    const core::TldTable &m_table;
    bool m_useProxy = false;
    core::ConnectionFactory m_connectionFactory;
    core::Scheduler &m_scheduler;
    core::Timing m_timing;
    WhoisServer m_fallback{kWhoisFallbackHost, kWhoisFallbackPort};
    WhoisServer m_server;

    QPlainTextEdit *m_text1 = nullptr;
    std::unique_ptr<core::WhoisConnection> m_connection;
    core::SingleShot m_silence;
    QByteArray m_received;
    bool m_finished = false;
};

} // namespace wendlecott::ui
