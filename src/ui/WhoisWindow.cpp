#include "ui/WhoisWindow.h"

#include "core/lookup/Verdict.h"
#include "core/store/StoredAnswer.h"

#include <QCloseEvent>
#include <QFont>
#include <QJsonDocument>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace wendlecott::ui {

namespace {

// The text box shows lines; whois servers end theirs with CR LF, some with a lone CR.
QString normalisedLineEnds(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

// An RDAP answer is JSON on one line: shown indented. Anything else is shown as it came.
QString readableAnswer(bool rdap, const QString &answer)
{
    if (!rdap)
        return answer;
    const QJsonDocument document = QJsonDocument::fromJson(answer.toUtf8());
    return document.isNull() ? answer : QString::fromUtf8(document.toJson(QJsonDocument::Indented));
}

QString readableAnswer(const core::LookupEvidence &evidence)
{
    return readableAnswer(evidence.protocol == core::LookupProtocol::Rdap, evidence.answer);
}

QString secondsText(qint64 ms)
{
    if (ms % 1000 == 0)
        return QString::number(ms / 1000);
    return QString::number(double(ms) / 1000.0, 'g', 6);
}

} // namespace

WhoisWindow::WhoisWindow(const QString &domain, const core::TldTable &table, bool useProxy,
                         core::ConnectionFactory connectionFactory, core::Scheduler &scheduler,
                         const core::Timing &timing, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_domain(domain)
    , m_table(table)
    , m_choices(core::LookupChoices::described(useProxy))
    , m_connectionFactory(std::move(connectionFactory))
    , m_scheduler(scheduler)
    , m_timing(timing)
{
    setObjectName(QStringLiteral("frmWhois"));
    setWindowTitle(QStringLiteral("WHOIS Information"));
    // Esc closes the window, as it closes a dialog.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    setFont(QFont(QStringLiteral("Verdana")));

    // The answer is untrusted text from the network: shown as plain text, never as markup.
    m_answerView = new QPlainTextEdit(this);
    m_answerView->setObjectName(QStringLiteral("text1"));
    m_answerView->setReadOnly(true);
    m_answerView->setLineWrapMode(QPlainTextEdit::NoWrap);

    m_evidenceLabel = new QLabel(this);
    m_evidenceLabel->setObjectName(QStringLiteral("lblEvidence"));
    m_evidenceLabel->setTextFormat(Qt::PlainText);
    m_evidenceLabel->setWordWrap(true);
    m_evidenceLabel->setContentsMargins(4, 2, 4, 2);

    m_askButton = new QPushButton(QStringLiteral("&Ask the server now"), this);
    m_askButton->setObjectName(QStringLiteral("cmdAskAgain"));
    m_askButton->hide();
    connect(m_askButton, &QPushButton::clicked, this, &WhoisWindow::askServer);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_evidenceLabel);
    layout->addWidget(m_askButton, 0, Qt::AlignLeft);
    layout->addWidget(m_answerView);
    resize(560, 460);
}

WhoisWindow::~WhoisWindow() = default;

void WhoisWindow::setLookup(const core::LookupChoices &choices, core::LookupServices services)
{
    m_choices = choices;
    m_services = services;
}

void WhoisWindow::askServer()
{
    if (m_lookup)
        m_lookup->cancel();
    m_finished = false;
    m_askButton->hide();
    m_answerView->clear();
    m_evidenceLabel->clear();
    core::LookupChoices choices = m_choices;
    choices.whoisFallback = m_fallbackServer;
    choices.timeLimitMs = m_timing.whoisViewerTimeoutMs;
    const core::Result<core::LookupRoute> route = core::routeLookup(m_domain, m_table, m_services, choices);
    if (!route) {
        showText(route.message(), QString());
        return;
    }
    const bool rdap = route.value().protocol == core::LookupProtocol::Rdap;
    // The caption says which protocol the answer below speaks.
    setWindowTitle(rdap ? QStringLiteral("WHOIS Information (RDAP)") : QStringLiteral("WHOIS Information"));
    m_rdapAddress = rdap ? route.value().url.toString() : QString();
    const QUrl &url = route.value().url;
    m_server = rdap ? core::WhoisServer{url.host(), core::httpPort(url)}
                    : core::WhoisServer{route.value().entry.server, route.value().entry.port};
    m_answerView->setPlaceholderText(QStringLiteral("Asking %1 about %2 ...").arg(serverAddress(), m_domain));

    if (!m_lookup) {
        std::unique_ptr<core::WhoisConnection> connection =
            m_connectionFactory ? m_connectionFactory() : nullptr;
        if (!connection) {
            showText(QStringLiteral("Could not open a connection to %1.").arg(serverAddress()), QString());
            return;
        }
        m_lookup =
            std::make_unique<core::DomainLookup>(core::WhoisStyle::SingleExchange, std::move(connection),
                                                 m_table, m_services, m_scheduler, m_timing);
        connect(m_lookup.get(), &core::DomainLookup::finished, this, &WhoisWindow::showAnswer);
    }
    m_lookup->start(m_domain, route.value(), choices);
}

WhoisWindow *WhoisWindow::replaceAndShow(QPointer<WhoisWindow> &current, const QString &domain,
                                         const core::TldTable &table, bool useProxy,
                                         core::ConnectionFactory connectionFactory,
                                         core::Scheduler &scheduler, const core::Timing &timing,
                                         QWidget *parent)
{
    return replaceAndShow(current, domain, table, core::LookupChoices::described(useProxy), {},
                          std::move(connectionFactory), scheduler, timing, parent);
}

WhoisWindow *WhoisWindow::replaceAndShow(QPointer<WhoisWindow> &current, const QString &domain,
                                         const core::TldTable &table, const core::LookupChoices &choices,
                                         core::LookupServices services,
                                         core::ConnectionFactory connectionFactory,
                                         core::Scheduler &scheduler, const core::Timing &timing,
                                         QWidget *parent)
{
    if (current)
        current->close();
    auto *window = new WhoisWindow(domain, table, choices.useProxy, std::move(connectionFactory), scheduler,
                                   timing, parent);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setLookup(choices, services);
    current = window;
    window->askServer();
    window->show();
    return window;
}

QString WhoisWindow::shownText() const
{
    return m_answerView->toPlainText();
}

QString WhoisWindow::evidenceText() const
{
    return m_evidenceLabel->text();
}

void WhoisWindow::closeEvent(QCloseEvent *event)
{
    if (m_lookup)
        m_lookup->cancel();
    QWidget::closeEvent(event);
}

void WhoisWindow::showAnswer(const core::LookupEvidence &evidence)
{
    QString line = QStringLiteral("%1 (%2").arg(core::verdictName(evidence.verdict), evidence.rule);
    if (!evidence.matchedWord.isEmpty())
        line += QStringLiteral(" \"%1\"").arg(evidence.matchedWord);
    line += QStringLiteral(") from %1 over %2").arg(serverAddress(), core::protocolName(evidence.protocol));
    if (evidence.protocol == core::LookupProtocol::Rdap)
        line += QStringLiteral(", HTTP %1").arg(evidence.httpStatus);
    line += QStringLiteral(", %1 bytes in %2 ms").arg(evidence.answerBytes).arg(evidence.elapsedMs);
    if (m_recorder) {
        if (const core::Status kept = m_recorder->record(evidence); !kept)
            line += QStringLiteral("; not kept in the answer store: %1").arg(kept.message());
    }
    m_evidenceLabel->setText(line);
    showText(endingNote(evidence), readableAnswer(evidence));
}

void WhoisWindow::showStored(const store::StoredAnswer &answer)
{
    if (m_lookup)
        m_lookup->cancel();
    const bool rdap = answer.protocol == QLatin1String("rdap");
    setWindowTitle(QStringLiteral("WHOIS Information (stored answer)"));
    QString line = QStringLiteral("%1 (%2) from %3 over %4")
                       .arg(core::verdictName(answer.verdict), answer.rule, answer.server, answer.protocol);
    if (rdap)
        line += QStringLiteral(", HTTP %1").arg(answer.httpStatus);
    line += QStringLiteral(", %1 bytes in %2 ms; stored answer of %3")
                .arg(answer.bytes)
                .arg(answer.elapsedMs)
                .arg(answer.answeredAt.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'")));
    m_evidenceLabel->setText(line);
    const QString note =
        answer.answer.isEmpty() ? QStringLiteral("The store kept no text of this answer.") : QString();
    showText(note, readableAnswer(rdap, answer.answer));
    m_askButton->show();
}

QString WhoisWindow::endingNote(const core::LookupEvidence &evidence) const
{
    const bool nothing = evidence.answerBytes == 0;
    switch (evidence.ending) {
    case core::LookupEnding::Answered:
        return nothing && evidence.protocol == core::LookupProtocol::Whois
                   ? QStringLiteral("%1 closed the connection without an answer.").arg(serverAddress())
                   : QString();
    case core::LookupEnding::CapReached:
    case core::LookupEnding::TooLarge:
        return QStringLiteral("%1 sent more than 1 MiB; the answer is cut off there.").arg(serverAddress());
    case core::LookupEnding::NoConnection:
        return nothing
                   ? QStringLiteral("Could not connect to %1: %2").arg(serverAddress(), evidence.reason)
                   : QStringLiteral("The connection to %1 broke: %2").arg(serverAddress(), evidence.reason);
    case core::LookupEnding::SendFailed:
        return QStringLiteral("Could not send the request to %1.").arg(serverAddress());
    case core::LookupEnding::TooManyRedirects:
        return QStringLiteral("%1 sent the request round in circles (more than five redirects).")
            .arg(serverAddress());
    case core::LookupEnding::TimedOut: {
        const QString seconds = secondsText(m_timing.whoisViewerTimeoutMs);
        return nothing
                   ? QStringLiteral("No answer from %1 after %2 seconds.").arg(serverAddress(), seconds)
                   : QStringLiteral("%1 did not finish its answer within %2 seconds; this is what arrived:")
                         .arg(serverAddress(), seconds);
    }
    case core::LookupEnding::Stopped:
        break;
    }
    return QString();
}

void WhoisWindow::showText(const QString &note, const QString &answerText)
{
    m_finished = true;
    QString shown = normalisedLineEnds(answerText);
    if (!note.isEmpty())
        shown = shown.isEmpty() ? note : note + QStringLiteral("\n\n") + shown;
    m_answerView->setPlaceholderText(QString());
    m_answerView->setPlainText(shown);
}

QString WhoisWindow::serverAddress() const
{
    if (!m_rdapAddress.isEmpty())
        return m_rdapAddress;
    return m_server.host + QLatin1Char(':') + QString::number(m_server.port);
}

} // namespace wendlecott::ui
