#include "core/RegistrarTest.h"

#include "core/LookupSlot.h"
#include "core/TextFile.h"
#include "core/UserNotice.h"
#include "core/WhoisRequest.h"

#include <QStringList>

namespace wendlecott::core {

namespace {

// The test field was empty: the name is the bare extension. A quote in front of it is the
// same case written by a test field that ends in a quote.
bool isEmptyTestName(const QString &testName)
{
    return testName == QLatin1String(".com") || testName == QLatin1String(".net") ||
           testName.contains(QLatin1String("\".com")) || testName.contains(QLatin1String("\".net"));
}

} // namespace

std::optional<QString> registrarTestMessage(const Judgement &judgement, const QString &testName,
                                            const QString &host, quint16 port, const QString &response)
{
    const QString server = host + QLatin1Char(':') + QString::number(port);
    const QString domain = QStringLiteral("Domain: ") + testName;
    QStringList head;
    switch (judgement.verdict) {
    case LookupVerdict::Available:
        if (isEmptyTestName(testName) || testName.contains(QLatin1String("endoffile")))
            return std::nullopt;
        head = {QStringLiteral("Appears to be: AVAILABLE"),
                QStringLiteral("Success word: ") + judgement.matchedWord, domain, server};
        break;
    case LookupVerdict::Blocked:
        head = {QStringLiteral("Appears to be: Error/Blocked"), domain, server};
        break;
    case LookupVerdict::Unknown:
        head = {QStringLiteral("Appears to be: Unknown"), domain, server};
        break;
    case LookupVerdict::Registered:
        if (isEmptyTestName(testName))
            return std::nullopt;
        head = {QStringLiteral("Appears to be: Registered"), domain, server};
        break;
    }
    // Every head line ends with CR LF and an empty line ends the head.
    return joinLinesCrLf(head) + QLatin1String(kCrLf) + response;
}

RegistrarTest::RegistrarTest(std::unique_ptr<WhoisConnection> connection, Scheduler &scheduler,
                             const Timing &timing, UserNotice &notice, QObject *parent)
    : QObject(parent)
    , m_connection(std::move(connection))
    , m_timing(timing)
    , m_notice(notice)
    , m_timer(scheduler, [this] { onTick(); })
{
    connect(m_connection.get(), &WhoisConnection::connected, this, &RegistrarTest::onConnected);
    connect(m_connection.get(), &WhoisConnection::dataArrived, this, &RegistrarTest::onData);
    connect(m_connection.get(), &WhoisConnection::closedByPeer, this, &RegistrarTest::onClosedByPeer);
    // A connection that cannot be made says nothing of its own: the time-out reports it.
}

RegistrarTest::~RegistrarTest()
{
    m_timer.stop();
    m_connection->disconnect(this);
    m_connection->close();
}

void RegistrarTest::start(const QString &testName, const QString &nameToSend, const QString &server, int port,
                          std::function<QString()> successWords)
{
    stop(); // one test at a time: the one in progress is dropped first
    m_testName = testName;
    m_request = whoisRequest(nameToSend);
    m_successWords = std::move(successWords);
    m_response.clear();
    m_ticks = 0;
    m_running = true;
    m_timer.start(m_timing.tickMs);
    // A port that cannot be connected to is left to the time-out, like a refused connection.
    if (port >= 1 && port <= 65535)
        m_connection->open(server, quint16(port));
}

void RegistrarTest::abandon()
{
    stop();
}

void RegistrarTest::stop()
{
    m_timer.stop();
    m_connection->close();
    m_ticks = 0;
    m_running = false;
}

void RegistrarTest::onConnected()
{
    if (!m_running) {
        m_connection->close();
        return;
    }
    m_ticks = 0;
    m_timer.start(m_timing.tickMs);
    // A failed send ends the test quietly.
    if (!m_connection->send(m_request))
        stop();
}

void RegistrarTest::onData(const QByteArray &bytes)
{
    if (!m_running) {
        m_connection->close();
        return;
    }
    // A server that does not stop sending is judged on what fits, as if it had closed.
    if (appendToResponse(m_response, bytes))
        finish();
}

void RegistrarTest::onClosedByPeer()
{
    if (!m_running) {
        m_connection->close();
        return;
    }
    finish();
}

void RegistrarTest::onTick()
{
    ++m_ticks;
    if (m_ticks < m_timing.testTimeoutTicks)
        return;
    stop();
    m_notice.showMessage(QString(), kConnectionTimedOut, NoticeIcon::None);
}

void RegistrarTest::finish()
{
    m_timer.stop();
    const QString response = decodeText(m_response);
    // The words in the success box now, not the stored row's: the user tries words out here.
    const Judgement judgement = judgeResponse(response, m_successWords ? m_successWords() : QString());
    const QString host = m_connection->remoteHost();
    const quint16 port = m_connection->remotePort();
    m_connection->close();
    m_ticks = 0;
    m_running = false;
    if (const std::optional<QString> message =
            registrarTestMessage(judgement, m_testName, host, port, response))
        m_notice.showMessage(QString(), *message, NoticeIcon::None);
    Q_EMIT judged(judgement, response);
}

} // namespace wendlecott::core
