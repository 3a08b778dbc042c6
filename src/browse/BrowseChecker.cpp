#include "browse/BrowseChecker.h"

#include "core/base/TextFile.h"
#include "core/lists/ListRules.h"
#include "core/lists/ResultLists.h"
#include "core/tld/ExtensionCheck.h"
#include "core/tld/TldTable.h"
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

// The window's one connection, for the run's one lookup.
core::ConnectionFactory oneConnection(std::unique_ptr<core::WhoisConnection> connection)
{
    auto held = std::make_shared<std::unique_ptr<core::WhoisConnection>>(std::move(connection));
    return [held] { return std::move(*held); };
}

} // namespace

BrowseChecker::BrowseChecker(BrowseEnvironment environment, FoundNames &found, const QString &queuePath,
                             core::Scheduler &scheduler, const core::Timing &timing,
                             std::unique_ptr<core::WhoisConnection> connection, QObject *parent)
    : QObject(parent)
    , m_env(environment)
    , m_found(found)
    , m_queue(queuePath)
    , m_timing(timing)
    , m_run(environment.run, scheduler, timing, oneConnection(std::move(connection)),
            core::RunPolicy::browsing(timing.testTimeoutTicks))
{
    for (std::size_t i = 0; i < m_lists.size(); ++i)
        m_lists[i] = std::make_unique<QStringListModel>();
    m_labels = {QStringLiteral("Unregistered:"), QStringLiteral("Registered:")};
    // The run's first panel is the window's progress panel; its other panels are the main
    // window's and are not shown here.
    connect(&m_run, &core::CheckRun::panelChanged, this, [this](int panel, const QString &text) {
        if (m_open && panel == int(BrowsePanel::Progress))
            setPanel(BrowsePanel::Progress, text);
    });
    connect(&m_run, &core::CheckRun::recordFinished, this, &BrowseChecker::listRecord);
}

BrowseChecker::~BrowseChecker()
{
    m_open = false;
    m_run.disconnect(this);
}

void BrowseChecker::open()
{
    m_queue.remove();
    m_open = true;
    m_run.startRun(queueSource(), 1, 0);
}

void BrowseChecker::close()
{
    m_open = false;
    m_run.stopRun();
    m_queue.remove();
}

core::RunSource BrowseChecker::queueSource()
{
    core::RunSource source;
    source.grows = true;
    source.listPath = m_queue.path();
    source.readEntry = [this](qint32 position) -> core::Result<QString> {
        QString name = readQueuedName(position - 1);
        if (name == core::kEndOfListSentinel && m_found.foundOnPage() > 0)
            setPanel(BrowsePanel::Page, QStringLiteral("Finished domains on current page"));
        return name;
    };
    source.domainFor = [this](const QString &queued) { return domainFor(queued); };
    source.filesVerdict = [](const core::LookupEvidence &evidence) {
        const bool available = evidence.verdict == core::LookupVerdict::Available;
        const bool verdict = available || evidence.verdict == core::LookupVerdict::Registered;
        return !verdict || !isFilingExcluded(evidence.name, available);
    };
    return source;
}

// The name asked for a queued one: cleaned, or nothing (passed over quietly) when its
// extension is not enabled, it cannot be a domain (a "No match" for it would file it as
// free), or no lookup can be started for it.
QString BrowseChecker::domainFor(const QString &queued) const
{
    const QString name = sources::xCorrectName(sources::xurlEncode(queued));
    const core::TldTable &table = m_env.run.table;
    if (!sources::hasEnabledExtension(name, table) || !core::nameProblem(name, table).isEmpty())
        return {};
    const core::Result<core::LookupRoute> route =
        core::routeLookup(name, table, m_env.run.services, m_env.run.choices());
    if (!route ||
        (route.value().protocol == core::LookupProtocol::Whois && route.value().entry.server.isEmpty()))
        return {};
    return name;
}

void BrowseChecker::appendToQueue(const QString &text)
{
    if (m_open)
        (void)m_queue.append(text); // a queue that cannot be written checks nothing new
}

void BrowseChecker::dispatchNextName()
{
    m_run.sourceGrew();
}

void BrowseChecker::checkBrowsedName(const QString &name)
{
    appendToQueue(name + QStringLiteral("\r\n"));
    m_run.sourceGrew();
}

int BrowseChecker::timeoutTicks() const
{
    const core::DomainLookup &lookup = m_run.lookup(0);
    return lookup.isRunning() ? int(lookup.evidenceSoFar().elapsedMs / m_timing.tickMs) : 0;
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

// The window lists what the run filed.
void BrowseChecker::listRecord(const core::RunRecord &record)
{
    const core::ResultLists &lists = m_env.run.lists;
    if (record.kind == core::RunRecord::Kind::Available) {
        setLabel(BrowseList::Unregistered,
                 QStringLiteral("Unregistered: (%1)")
                     .arg(qint64(lists.counter(core::ListId::Low)) + lists.counter(core::ListId::High) +
                          lists.counter(core::ListId::Mid)));
        listName(BrowseList::Unregistered, record.name);
    } else if (record.kind == core::RunRecord::Kind::Registered) {
        setLabel(BrowseList::Registered,
                 QStringLiteral("Registered: (%1)").arg(lists.counter(core::ListId::Registered)));
        listName(BrowseList::Registered, record.name);
    }
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
