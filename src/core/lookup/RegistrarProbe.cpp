#include "core/lookup/RegistrarProbe.h"

#include "core/base/TextFile.h"
#include "core/base/UserNotice.h"

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

// The test asks a server of the user's choosing, so it needs no table to route by.
const TldTable &noRows()
{
    static const TldTable table;
    return table;
}

} // namespace

std::optional<QString> registrarProbeMessage(const LookupEvidence &evidence, const QString &testName)
{
    const QString server = evidence.server + QLatin1Char(':') + QString::number(evidence.port);
    const QString domain = QStringLiteral("Domain: ") + testName;
    QStringList head;
    switch (evidence.verdict) {
    case LookupVerdict::Available:
        if (isEmptyTestName(testName) || testName.contains(QLatin1String("endoffile")))
            return std::nullopt;
        head = {QStringLiteral("Appears to be: AVAILABLE"),
                QStringLiteral("Success word: ") + evidence.matchedWord, domain, server};
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
    return joinLinesCrLf(head) + QLatin1String(kCrLf) + evidence.answer;
}

RegistrarProbe::RegistrarProbe(std::unique_ptr<WhoisConnection> connection, Scheduler &scheduler,
                               const Timing &timing, UserNotice &notice, QObject *parent)
    : QObject(parent)
    , m_timing(timing)
    , m_notice(notice)
    , m_lookup(WhoisStyle::SingleExchange, std::move(connection), noRows(), {}, scheduler, timing)
{
    connect(&m_lookup, &DomainLookup::finished, this, &RegistrarProbe::onFinished);
}

RegistrarProbe::~RegistrarProbe() = default;

void RegistrarProbe::start(const QString &testName, const QString &nameToSend, const QString &server,
                           quint16 port, std::function<QString()> successWords)
{
    m_testName = testName;
    LookupRoute route;
    route.entry.server = server;
    route.entry.port = port;
    LookupChoices choices;
    choices.timeLimitMs = m_timing.registrarTestTimeoutMs;
    choices.limitFromConnection = true;
    // The words in the success box when the answer comes, not the stored row's: the user
    // tries words out here.
    choices.successWordsNow = [words = std::move(successWords)] { return words ? words() : QString(); };
    m_lookup.start(nameToSend, route, choices); // one test at a time: drops the one in progress
}

void RegistrarProbe::abandon()
{
    m_lookup.cancel();
}

void RegistrarProbe::onFinished(const LookupEvidence &evidence)
{
    switch (evidence.ending) {
    case LookupEnding::Answered:
    case LookupEnding::CapReached: // judged on what fits, as if the server had closed
        if (const std::optional<QString> message = registrarProbeMessage(evidence, m_testName))
            m_notice.showMessage(QString(), *message, NoticeIcon::None);
        Q_EMIT judged(evidence);
        return;
    case LookupEnding::TimedOut:
        m_notice.showMessage(QString(), kConnectionTimedOut, NoticeIcon::None);
        return;
    default:
        return; // a failed send ends the test quietly
    }
}

} // namespace wendlecott::core
