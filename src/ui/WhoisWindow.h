#pragma once

#include "core/base/Scheduler.h"
#include "core/base/Timing.h"
#include "core/lookup/AnswerRecorder.h"
#include "core/lookup/DomainLookup.h"
#include "core/lookup/WhoisConnection.h"
#include "core/lookup/WhoisQuery.h"
#include "core/tld/TldTable.h"
#include "core/tld/WhoisRequest.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace wendlecott::store {
struct StoredAnswer;
}

namespace wendlecott::ui {

// The WHOIS Information window: asks the server that serves one name (whoisServerFor, or the
// RDAP server the bootstrap names when the lookup choices say so) and shows its raw answer as
// plain text, with the verdict and its evidence in a line above it. It never waits: the
// answer comes in through the one-lookup unit (one exchange, no retries), and a server that
// has not finished after Timing::whoisViewerTimeoutMs is given up.
class WhoisWindow final : public QWidget {
    Q_OBJECT
public:
    WhoisWindow(const QString &domain, const core::TldTable &table, bool useProxy,
                core::ConnectionFactory connectionFactory, core::Scheduler &scheduler,
                const core::Timing &timing, QWidget *parent = nullptr);
    ~WhoisWindow() override;

    // The server asked when no row serves the name (tests point it at a local server).
    // Takes effect at the next askServer().
    void setFallbackServer(const core::WhoisServer &server) { m_fallbackServer = server; }

    // The protocol and rules asked with (the described whois lookup until set) and the
    // services RDAP needs. Take effect at the next askServer().
    void setLookup(const core::LookupChoices &choices, core::LookupServices services);

    // Forgets any earlier answer, drops the exchange in progress and asks the server anew.
    void askServer();

    // Closes a window that `current` still points to, then opens a new one for `domain`
    // (deleted when closed), asks its server and shows it without waiting.
    static WhoisWindow *replaceAndShow(QPointer<WhoisWindow> &current, const QString &domain,
                                       const core::TldTable &table, bool useProxy,
                                       core::ConnectionFactory connectionFactory, core::Scheduler &scheduler,
                                       const core::Timing &timing, QWidget *parent = nullptr);
    // The same with the lookup choices and services of the program.
    static WhoisWindow *replaceAndShow(QPointer<WhoisWindow> &current, const QString &domain,
                                       const core::TldTable &table, const core::LookupChoices &choices,
                                       core::LookupServices services,
                                       core::ConnectionFactory connectionFactory, core::Scheduler &scheduler,
                                       const core::Timing &timing, QWidget *parent = nullptr);

    // Shows an answer kept in the answer store instead of asking, with a button that asks
    // the server now.
    void showStored(const store::StoredAnswer &answer);
    // Where each answer this window gets is kept (the answer store); null: nowhere.
    void setRecorder(core::AnswerRecorder *recorder) { m_recorder = recorder; }

    QString domain() const { return m_domain; }
    core::WhoisServer server() const { return m_server; }
    // True once the answer (or the reason there is none) is shown.
    bool isFinished() const { return m_finished; }
    QString shownText() const;
    // The verdict and its evidence, one line; empty until the answer is in.
    QString evidenceText() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void showAnswer(const core::LookupEvidence &evidence);
    // A line that says how the exchange ended when it did not end with a whole answer.
    QString endingNote(const core::LookupEvidence &evidence) const;
    // Shows an optional note above the answer text.
    void showText(const QString &note, const QString &answerText);
    QString serverAddress() const;

    QString m_domain;
    const core::TldTable &m_table;
    core::LookupChoices m_choices;
    core::LookupServices m_services;
    core::ConnectionFactory m_connectionFactory;
    core::Scheduler &m_scheduler;
    core::Timing m_timing;
    core::WhoisServer m_fallbackServer = core::kWhoisFallbackServer;
    core::WhoisServer m_server;
    QString m_rdapAddress; // the address asked over RDAP; empty for whois

    QLabel *m_evidenceLabel = nullptr;
    QPlainTextEdit *m_answerView = nullptr;
    QPushButton *m_askButton = nullptr; // shown with a stored answer
    core::AnswerRecorder *m_recorder = nullptr;
    std::unique_ptr<core::DomainLookup> m_lookup;
    bool m_finished = false;
};

} // namespace wendlecott::ui
