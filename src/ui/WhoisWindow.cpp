#include "ui/WhoisWindow.h"

#include <QCloseEvent>
#include <QFont>
#include <QPlainTextEdit>
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
    , m_useProxy(useProxy)
    , m_connectionFactory(std::move(connectionFactory))
    , m_scheduler(scheduler)
    , m_timing(timing)
{
    setObjectName(QStringLiteral("frmWhois"));
    setWindowTitle(QStringLiteral("WHOIS Information"));
    setFont(QFont(QStringLiteral("Verdana")));

    // The answer is untrusted text from the network: shown as plain text, never as markup.
    m_answerView = new QPlainTextEdit(this);
    m_answerView->setObjectName(QStringLiteral("text1"));
    m_answerView->setReadOnly(true);
    m_answerView->setLineWrapMode(QPlainTextEdit::NoWrap);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_answerView);
    resize(560, 460);
}

WhoisWindow::~WhoisWindow() = default;

void WhoisWindow::askServer()
{
    if (m_query)
        m_query->cancel();
    m_finished = false;
    m_answerView->clear();
    m_server = core::whoisServerFor(m_table, m_domain, m_useProxy, m_fallbackServer);
    m_answerView->setPlaceholderText(QStringLiteral("Asking %1 about %2 ...").arg(serverAddress(), m_domain));

    if (!m_query) {
        std::unique_ptr<core::WhoisConnection> connection =
            m_connectionFactory ? m_connectionFactory() : nullptr;
        if (!connection) {
            showText(QStringLiteral("Could not open a connection to %1.").arg(serverAddress()), QString());
            return;
        }
        m_query = std::make_unique<core::WhoisQuery>(std::move(connection), m_scheduler);
        connect(m_query.get(), &core::WhoisQuery::finished, this, &WhoisWindow::showAnswer);
    }
    core::WhoisQueryOptions options;
    options.timeLimitMs = m_timing.whoisViewerTimeoutMs;
    m_query->start(m_server, core::whoisRequest(m_domain), std::move(options));
}

WhoisWindow *WhoisWindow::replaceAndShow(QPointer<WhoisWindow> &current, const QString &domain,
                                         const core::TldTable &table, bool useProxy,
                                         core::ConnectionFactory connectionFactory,
                                         core::Scheduler &scheduler, const core::Timing &timing,
                                         QWidget *parent)
{
    if (current)
        current->close();
    auto *window =
        new WhoisWindow(domain, table, useProxy, std::move(connectionFactory), scheduler, timing, parent);
    window->setAttribute(Qt::WA_DeleteOnClose);
    current = window;
    window->askServer();
    window->show();
    return window;
}

QString WhoisWindow::shownText() const
{
    return m_answerView->toPlainText();
}

void WhoisWindow::closeEvent(QCloseEvent *event)
{
    if (m_query)
        m_query->cancel();
    QWidget::closeEvent(event);
}

void WhoisWindow::showAnswer(const core::WhoisAnswer &answer)
{
    showText(endingNote(answer), answer.text);
}

QString WhoisWindow::endingNote(const core::WhoisAnswer &answer) const
{
    const bool nothing = answer.bytes.isEmpty();
    switch (answer.ending) {
    case core::WhoisEnding::ServerClosed:
        return nothing ? QStringLiteral("%1 closed the connection without an answer.").arg(serverAddress())
                       : QString();
    case core::WhoisEnding::CapReached:
        return QStringLiteral("%1 sent more than 1 MiB; the answer is cut off there.").arg(serverAddress());
    case core::WhoisEnding::NoConnection:
        return nothing ? QStringLiteral("Could not connect to %1: %2").arg(serverAddress(), answer.reason)
                       : QStringLiteral("The connection to %1 broke: %2").arg(serverAddress(), answer.reason);
    case core::WhoisEnding::SendFailed:
        return QStringLiteral("Could not send the request to %1.").arg(serverAddress());
    case core::WhoisEnding::TimedOut: {
        const QString seconds = secondsText(m_timing.whoisViewerTimeoutMs);
        return nothing
                   ? QStringLiteral("No answer from %1 after %2 seconds.").arg(serverAddress(), seconds)
                   : QStringLiteral("%1 did not finish its answer within %2 seconds; this is what arrived:")
                         .arg(serverAddress(), seconds);
    }
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
    return m_server.host + QLatin1Char(':') + QString::number(m_server.port);
}

} // namespace wendlecott::ui
