#include "browse/BrowseChecker.h"

#include "core/DomainName.h"
#include "core/ExtensionCheck.h"
#include "core/ListRules.h"
#include "core/ResultLists.h"
#include "core/TextFile.h"
#include "core/TldTable.h"
#include "core/UnansweredNames.h"
#include "core/UserNotice.h"
#include "sources/TextOps.h"

namespace wendlecott::browse {

namespace {

std::size_t indexOf(BrowseList list)
{
    return list == BrowseList::Unregistered ? 0 : 1;
}

QString uncountedLabel(BrowseList list)
{
    return list == BrowseList::Unregistered ? QStringLiteral("Unregistered") : QStringLiteral("Registered");
}

// Names that are never filed: a bare extension left from markup, a quoted one, and (for
// available names) the end-of-list sentinel.
bool isFilingExcluded(const QString &name, bool testSentinel)
{
    if (name.compare(QLatin1String(".net"), Qt::CaseInsensitive) == 0 ||
        name.compare(QLatin1String(".com"), Qt::CaseInsensitive) == 0 ||
        name.contains(QLatin1String("\".net"), Qt::CaseInsensitive) ||
        name.contains(QLatin1String("\".com"), Qt::CaseInsensitive))
        return true;
    return testSentinel && name.contains(QLatin1String("endoffile"), Qt::CaseInsensitive);
}

} // namespace

BrowseChecker::BrowseChecker(BrowseEnvironment environment, FoundNames &found, const QString &queuePath,
                             core::Scheduler &scheduler, const core::Timing &timing,
                             std::unique_ptr<core::WhoisConnection> connection, QObject *parent)
    : QObject(parent)
    , m_env(environment)
    , m_filer(m_env.run)
    , m_found(found)
    , m_queue(queuePath)
    , m_pacing(scheduler, timing, environment.run.pacer)
    , m_lookup(core::WhoisStyle::SingleExchange, std::move(connection), environment.run.table,
               environment.run.services, scheduler, timing)
    , m_nextAfterSkip(scheduler)
{
    for (std::size_t i = 0; i < m_lists.size(); ++i)
        m_lists[i] = std::make_unique<QStringListModel>();
    m_labels = {QStringLiteral("Unregistered:"), QStringLiteral("Registered:")};
    connect(&m_lookup, &core::DomainLookup::finished, this, &BrowseChecker::onAnswer);
}

BrowseChecker::~BrowseChecker()
{
    cancelTurn();
    m_lookup.disconnect(this);
    m_lookup.cancel();
    m_pacing.stopAll();
}

void BrowseChecker::open()
{
    m_queue.remove();
    m_queuePosition = 0;
    m_open = true;
    m_filer.beginRun();
    m_pacing.startTicking([this] { dispatchNextName(); });
}

void BrowseChecker::close()
{
    m_open = false;
    m_lookupUnderWay = false;
    cancelTurn();
    m_nextAfterSkip.cancel();
    m_pacing.stopAll();
    m_lookup.cancel();
    m_queue.remove();
}

void BrowseChecker::appendToQueue(const QString &text)
{
    if (m_open)
        (void)m_queue.append(text); // a queue that cannot be written checks nothing new
}

void BrowseChecker::setPanel(BrowsePanel panel, const QString &text)
{
    QString &shown = m_panels[std::size_t(panel)];
    if (shown == text)
        return;
    shown = text;
    Q_EMIT panelChanged(panel, text);
}

void BrowseChecker::setLabel(BrowseList list, const QString &text)
{
    QString &shown = m_labels[indexOf(list)];
    if (shown == text)
        return;
    shown = text;
    Q_EMIT labelChanged(list, text);
}

void BrowseChecker::dispatchNextName()
{
    if (!m_open || m_queuePosition > m_found.foundTotal())
        return;
    // A lookup under way is left to finish or to time out; a pause runs to its end, which
    // dispatches again.
    if (m_lookupUnderWay || m_pacing.isPausing())
        return;
    m_pacing.stopTicking();
    const QString name = readQueuedName(m_queuePosition);
    if (name != core::kEndOfListSentinel) {
        checkBrowsedName(name);
    } else {
        core::ResultLists &lists = m_env.run.lists;
        const qint64 checked = qint64(lists.counter(core::ListId::Low)) +
                               lists.counter(core::ListId::Registered) + lists.counter(core::ListId::High) +
                               lists.counter(core::ListId::Mid);
        setPanel(BrowsePanel::Progress, QStringLiteral("Checked %1 unique domains.").arg(checked));
        if (m_found.foundOnPage() > 0)
            setPanel(BrowsePanel::Page, QStringLiteral("Finished domains on current page"));
    }
    m_pacing.restartTicking();
}

void BrowseChecker::checkBrowsedName(const QString &name)
{
    m_currentName = sources::xCorrectName(sources::xurlEncode(name));
    const core::TldTable &table = m_env.run.table;
    // A name no registry could hold is not asked: a "No match" for it would file it as free.
    if (!sources::hasEnabledExtension(m_currentName, table) ||
        !core::nameProblem(m_currentName, table).isEmpty()) {
        skipName();
        return;
    }
    // Filed as it is asked. A name that cannot be one (".com") keeps its own exclusions below.
    if (const core::Result<QString> asked = core::canonicalDomainName(m_currentName))
        m_currentName = asked.value();
    const core::LookupChoices choices = m_env.run.choices();
    const core::Result<core::LookupRoute> route =
        core::routeLookup(m_currentName, table, m_env.run.services, choices);
    if (!route ||
        (route.value().protocol == core::LookupProtocol::Whois && route.value().entry.server.isEmpty())) {
        skipName(); // the lookup cannot be started
        return;
    }
    core::TldEntry paced = route.value().entry;
    paced.throttle = route.value().throttleMs();
    m_server = route.value().protocol == core::LookupProtocol::Rdap ? route.value().url.host() : paced.server;
    m_response.clear();
    m_lookupUnderWay = true;
    m_pacing.beginLookup(paced);
    setPanel(BrowsePanel::Progress, QStringLiteral("Checking status of: ") + m_currentName);
    cancelTurn();
    // The lookup waits for its server's turn; its time-out counts from the request.
    m_turn = m_env.run.pacer.whenReady(route.value().serverKey(), route.value().throttleMs(),
                                       [this, name = m_currentName, route = route.value(), choices] {
                                           m_turn = 0;
                                           if (!m_open || !m_lookupUnderWay)
                                               return;
                                           m_pacing.startTimeout([this] { onTimeout(); });
                                           m_lookup.start(name, route, choices);
                                       });
}

void BrowseChecker::cancelTurn()
{
    if (m_turn != 0)
        m_env.run.pacer.cancel(m_turn);
    m_turn = 0;
}

// A skipped name moves the queue on from the event loop, so that a long run of names to
// skip neither nests calls nor holds the window.
void BrowseChecker::skipName()
{
    m_lookupUnderWay = false;
    cancelTurn();
    ++m_queuePosition;
    m_lookup.cancel();
    m_nextAfterSkip.start(0, [this] { dispatchNextName(); });
}

QString BrowseChecker::remoteHost() const
{
    const QString host = m_lookup.remoteHost();
    return host.isEmpty() ? m_server : host;
}

void BrowseChecker::onAnswer(const core::LookupEvidence &evidence)
{
    if (!m_open || !m_lookupUnderWay)
        return;
    // A whois exchange without an answer has no verdict: the time-out ends the lookup.
    if (evidence.protocol == core::LookupProtocol::Whois && evidence.ending != core::LookupEnding::Answered &&
        evidence.ending != core::LookupEnding::CapReached)
        return;
    m_pacing.endLookup();
    m_lookupUnderWay = false;
    m_response = core::RunFiler::shownAnswer(evidence);
    fileVerdict(evidence);
    ++m_queuePosition;
    m_lookup.cancel();
    setPanel(BrowsePanel::Progress,
             QStringLiteral("Pausing for %1 milliseconds.").arg(m_pacing.throttleMs()));
    m_pacing.pauseAfterAnswer([this] { dispatchNextName(); });
}

// Verdicts go through the runs' filer, but for the names never filed (a bare extension
// left from markup), and the window lists what was filed.
void BrowseChecker::fileVerdict(const core::LookupEvidence &evidence)
{
    core::ResultLists &lists = m_env.run.lists;
    core::LookupEvidence filed = evidence;
    filed.name = m_currentName;
    filed.server = remoteHost(); // the notice names the host that answered
    const bool available = evidence.verdict == core::LookupVerdict::Available;
    if ((available || evidence.verdict == core::LookupVerdict::Registered) &&
        isFilingExcluded(m_currentName, available))
        return;
    (void)m_filer.file(filed); // the window shows what it filed below
    switch (evidence.verdict) {
    case core::LookupVerdict::Available:
        setLabel(BrowseList::Unregistered,
                 QStringLiteral("Unregistered: (%1)")
                     .arg(qint64(lists.counter(core::ListId::Low)) + lists.counter(core::ListId::High) +
                          lists.counter(core::ListId::Mid)));
        listName(BrowseList::Unregistered, m_currentName);
        setPanel(BrowsePanel::Progress, QStringLiteral("Unregistered: ") + m_currentName);
        break;
    case core::LookupVerdict::Registered:
        setLabel(BrowseList::Registered,
                 QStringLiteral("Registered: (%1)").arg(lists.counter(core::ListId::Registered)));
        listName(BrowseList::Registered, m_currentName);
        break;
    case core::LookupVerdict::Blocked:
    case core::LookupVerdict::Unknown:
        break; // kept among the unanswered names, the notice shown by the filer
    }
}

void BrowseChecker::onTimeout()
{
    if (!m_open || !m_lookupUnderWay)
        return;
    m_lookupUnderWay = false;
    cancelTurn();
    core::LookupEvidence evidence = m_lookup.evidenceSoFar();
    evidence.name = m_currentName;
    evidence.server = remoteHost();
    evidence.verdict = core::LookupVerdict::Unknown;
    evidence.ending = core::LookupEnding::TimedOut;
    evidence.rule = QStringLiteral("time-out");
    (void)m_filer.file(evidence); // the blocked notice with "Connection Timed Out", and kept
    m_lookup.cancel();
    ++m_queuePosition;
    dispatchNextName();
}

QStringListModel *BrowseChecker::model(BrowseList list) const
{
    return m_lists[indexOf(list)].get();
}

QString BrowseChecker::label(BrowseList list) const
{
    return m_labels[indexOf(list)];
}

void BrowseChecker::listName(BrowseList list, const QString &name)
{
    QStringListModel *model = m_lists[indexOf(list)].get();
    const int row = model->rowCount();
    if (model->insertRows(row, 1))
        model->setData(model->index(row), name);
}

void BrowseChecker::clearList(BrowseList list)
{
    m_lists[indexOf(list)]->setStringList({});
    if (list == BrowseList::Unregistered) {
        m_found.forgetSeenNames();
        m_env.run.lists.resetCounter(core::ListId::Low);
    } else {
        m_env.run.lists.resetCounter(core::ListId::Registered);
    }
    setLabel(list, uncountedLabel(list));
}

void BrowseChecker::deleteEntry(BrowseList list, qsizetype row)
{
    QStringListModel *model = m_lists[indexOf(list)].get();
    if (row < 0 || row >= model->rowCount() || !model->removeRows(int(row), 1))
        return;
    setLabel(list, uncountedLabel(list) + QStringLiteral(" (%1)").arg(model->rowCount()));
}

void BrowseChecker::copyList(BrowseList list)
{
    m_env.clipboard.setText(core::joinLinesCrLf(m_lists[indexOf(list)]->stringList()));
}

void BrowseChecker::openEntry(BrowseList list, qsizetype row)
{
    const QStringListModel *model = m_lists[indexOf(list)].get();
    if (row < 0 || row >= model->rowCount())
        return;
    m_env.run.lists.openDomain(model->index(int(row)).data().toString());
}

} // namespace wendlecott::browse
