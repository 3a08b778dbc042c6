#include "core/RegistrarProbe.h"

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

std::optional<QString> registrarProbeMessage(const Judgement &judgement, const QString &testName,
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

RegistrarProbe::RegistrarProbe(std::unique_ptr<WhoisConnection> connection, Scheduler &scheduler,
                               const Timing &timing, UserNotice &notice, QObject *parent)
    : QObject(parent)
    , m_query(std::move(connection), scheduler)
    , m_timing(timing)
    , m_notice(notice)
    , m_timer(scheduler, [this] { onTick(); })
{
    connect(&m_query, &WhoisQuery::connected, this, &RegistrarProbe::onConnected);
    connect(&m_query, &WhoisQuery::finished, this, &RegistrarProbe::onQueryFinished);
}

RegistrarProbe::~RegistrarProbe()
{
    m_timer.stop();
    m_query.disconnect(this);
    m_query.cancel();
}

void RegistrarProbe::start(const QString &testName, const QString &nameToSend, const QString &server,
                           quint16 port, std::function<QString()> successWords)
{
    stop(); // one test at a time: the one in progress is dropped first
    m_testName = testName;
    m_successWords = std::move(successWords);
    m_ticks = 0;
    m_running = true;
    m_timer.start(m_timing.tickMs);
    m_query.start({server, port}, whoisRequest(nameToSend));
}

void RegistrarProbe::abandon()
{
    stop();
}

void RegistrarProbe::stop()
{
    m_timer.stop();
    m_query.cancel();
    m_ticks = 0;
    m_running = false;
}

// The time-out counts from the connection.
void RegistrarProbe::onConnected()
{
    m_ticks = 0;
    m_timer.start(m_timing.tickMs);
}

void RegistrarProbe::onQueryFinished(const WhoisAnswer &answer)
{
    switch (answer.ending) {
    case WhoisEnding::ServerClosed:
    case WhoisEnding::CapReached: // judged on what fits, as if the server had closed
        finish(answer);
        break;
    case WhoisEnding::SendFailed:
        stop(); // a failed send ends the test quietly
        break;
    case WhoisEnding::NoConnection:
    case WhoisEnding::TimedOut:
        break; // no message of its own: the time-out reports it
    }
}

void RegistrarProbe::onTick()
{
    ++m_ticks;
    if (m_ticks < m_timing.testTimeoutTicks)
        return;
    stop();
    m_notice.showMessage(QString(), kConnectionTimedOut, NoticeIcon::None);
}

void RegistrarProbe::finish(const WhoisAnswer &answer)
{
    m_timer.stop();
    // The words in the success box now, not the stored row's: the user tries words out here.
    const Judgement judgement = judgeResponse(answer.text, m_successWords ? m_successWords() : QString());
    m_ticks = 0;
    m_running = false;
    if (const std::optional<QString> message =
            registrarProbeMessage(judgement, m_testName, answer.host, answer.port, answer.text))
        m_notice.showMessage(QString(), *message, NoticeIcon::None);
    Q_EMIT judged(judgement, answer.text);
}

} // namespace wendlecott::core
