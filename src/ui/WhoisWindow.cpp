#include "ui/WhoisWindow.h"

#include "core/TextFile.h"
#include "core/TldTable.h"

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

WhoisServer whoisServerFor(const core::TldTable &table, const QString &name, bool useProxy,
                           const WhoisServer &fallback)
{
    const int index = core::findTLD(table, name, useProxy);
    if (index < 0 || index >= table.size())
        return fallback;
    const core::TldEntry &row = table.at(index);
    if (row.server.trimmed().isEmpty())
        return fallback;
    const bool portValid = row.port >= 1 && row.port <= 65535;
    return {row.server.trimmed(), portValid ? quint16(row.port) : quint16(43)};
}

frmWhois::frmWhois(const QString &domain, const core::TldTable &table, bool useProxy,
                   core::ConnectionFactory connectionFactory, core::Scheduler &scheduler,
                   const core::Timing &timing, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_domain(domain)
    , m_table(table)
    , m_useProxy(useProxy)
    , m_connectionFactory(std::move(connectionFactory))
    , m_scheduler(scheduler)
    , m_timing(timing)
    , m_silence(scheduler)
{
    setObjectName(QStringLiteral("frmWhois"));
    setWindowTitle(QStringLiteral("WHOIS Information"));
    setFont(QFont(QStringLiteral("Verdana")));

    // The answer is untrusted text from the network: shown as plain text, never as markup.
    m_text1 = new QPlainTextEdit(this);
    m_text1->setObjectName(QStringLiteral("text1"));
    m_text1->setReadOnly(true);
    m_text1->setLineWrapMode(QPlainTextEdit::NoWrap);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_text1);
    resize(560, 460);
}

frmWhois::~frmWhois()
{
    stopConnection();
}

void frmWhois::start()
{
    stopConnection();
    m_received.clear();
    m_finished = false;
    m_text1->clear();
    m_server = whoisServerFor(m_table, m_domain, m_useProxy, m_fallback);
    m_text1->setPlaceholderText(QStringLiteral("Asking %1 about %2 ...").arg(serverText(), m_domain));

    if (!m_connection) {
        m_connection = m_connectionFactory ? m_connectionFactory() : nullptr;
        if (!m_connection) {
            finish(QStringLiteral("Could not open a connection to %1.").arg(serverText()));
            return;
        }
        connect(m_connection.get(), &core::WhoisConnection::connected, this, &frmWhois::onConnected);
        connect(m_connection.get(), &core::WhoisConnection::dataArrived, this, &frmWhois::onData);
        connect(m_connection.get(), &core::WhoisConnection::closedByPeer, this, &frmWhois::onClosedByPeer);
        connect(m_connection.get(), &core::WhoisConnection::failed, this, &frmWhois::onFailed);
    }
    m_silence.start(m_timing.whoisViewerTimeoutMs, [this] { onSilence(); });
    m_connection->open(m_server.host, m_server.port);
}

frmWhois *frmWhois::replaceAndShow(QPointer<frmWhois> &current, const QString &domain,
                                   const core::TldTable &table, bool useProxy,
                                   core::ConnectionFactory connectionFactory, core::Scheduler &scheduler,
                                   const core::Timing &timing, QWidget *parent)
{
    if (current)
        current->close();
    auto *window =
        new frmWhois(domain, table, useProxy, std::move(connectionFactory), scheduler, timing, parent);
    window->setAttribute(Qt::WA_DeleteOnClose);
    current = window;
    window->start();
    window->show();
    return window;
}

QString frmWhois::text() const
{
    return m_text1->toPlainText();
}

void frmWhois::closeEvent(QCloseEvent *event)
{
    stopConnection();
    QWidget::closeEvent(event);
}

void frmWhois::onConnected()
{
    if (m_finished)
        return;
    if (!m_connection->send(core::whoisRequest(m_domain)))
        finish(QStringLiteral("Could not send the request to %1.").arg(serverText()));
}

void frmWhois::onData(const QByteArray &bytes)
{
    if (m_finished)
        return;
    m_received.append(bytes);
    if (m_received.size() <= kMaxAnswerBytes)
        return;
    // Cut at a character boundary, so a UTF-8 answer still decodes as UTF-8.
    qsizetype cut = kMaxAnswerBytes;
    for (int back = 0; back < 3 && cut > 0 && (quint8(m_received.at(cut)) & 0xc0) == 0x80; ++back)
        --cut;
    m_received.truncate(cut);
    finish(QStringLiteral("%1 sent more than 1 MiB; the answer is cut off there.").arg(serverText()));
}

void frmWhois::onClosedByPeer()
{
    if (m_finished)
        return;
    if (m_received.isEmpty())
        finish(QStringLiteral("%1 closed the connection without an answer.").arg(serverText()));
    else
        finish(QString());
}

void frmWhois::onFailed(const QString &reason)
{
    if (m_finished)
        return;
    if (m_received.isEmpty())
        finish(QStringLiteral("Could not connect to %1: %2").arg(serverText(), reason));
    else
        finish(QStringLiteral("The connection to %1 broke: %2").arg(serverText(), reason));
}

void frmWhois::onSilence()
{
    if (m_finished)
        return;
    const QString seconds = secondsText(m_timing.whoisViewerTimeoutMs);
    if (m_received.isEmpty())
        finish(QStringLiteral("No answer from %1 after %2 seconds.").arg(serverText(), seconds));
    else
        finish(QStringLiteral("%1 did not finish its answer within %2 seconds; this is what arrived:")
                   .arg(serverText(), seconds));
}

void frmWhois::finish(const QString &statusLine)
{
    m_finished = true;
    stopConnection();
    QString shown = normalisedLineEnds(core::decodeText(m_received));
    if (!statusLine.isEmpty())
        shown = shown.isEmpty() ? statusLine : statusLine + QStringLiteral("\n\n") + shown;
    m_text1->setPlaceholderText(QString());
    m_text1->setPlainText(shown);
}

// Only closes: this may run inside one of the connection's own signals, so the
// connection object itself stays until the window goes.
void frmWhois::stopConnection()
{
    m_silence.cancel();
    if (m_connection)
        m_connection->close();
}

QString frmWhois::serverText() const
{
    return m_server.host + QLatin1Char(':') + QString::number(m_server.port);
}

} // namespace wendlecott::ui
