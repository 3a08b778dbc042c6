#include "core/CheckRun.h"

#include "core/DomainName.h"
#include "core/LookupSlot.h"
#include "core/ResultLists.h"
#include "core/TldTable.h"
#include "core/UnansweredNames.h"
#include "core/UserNotice.h"

namespace wendlecott::core {

CheckRun::CheckRun(RunEnvironment environment, Scheduler &scheduler, const Timing &timing,
                   const ConnectionFactory &connections, int slotCount, QObject *parent)
    : QObject(parent)
    , m_env(environment)
    , m_scheduler(scheduler)
    , m_timing(timing)
    , m_watchdog(scheduler, [this] { onWatchdogTick(); })
    , m_pauseTimer(scheduler)
    , m_deferredReport(scheduler)
{
    slotCount = qBound(1, slotCount, kMaxSlots);
    for (int i = 0; i < slotCount; ++i) {
        auto slot = std::make_unique<DomainLookup>(WhoisStyle::Retrying, connections(), m_env.table,
                                                   m_env.services, scheduler, timing, i);
        slot->setStopCheck([this] { return m_stopFlag; });
        connect(slot.get(), &DomainLookup::finished, this,
                [this, i](const LookupEvidence &evidence) { onSlotFinished(i, evidence); });
        connect(slot.get(), &DomainLookup::statusText, this,
                [this](const QString &text) { setPanel(2, text); });
        m_slots.push_back(std::move(slot));
    }
    m_inFlight.assign(m_slots.size(), false);
    m_turns.assign(m_slots.size(), 0);
    m_dispatched.resize(m_slots.size());
    for (int panel = 0; panel < kStatusPanels; ++panel)
        m_panels[panel] = idlePanelText(panel);
}

CheckRun::~CheckRun()
{
    cancelTurns();
}

void CheckRun::cancelTurns()
{
    for (ServerPacer::Ticket &turn : m_turns) {
        if (turn != 0 && m_env.pacer)
            m_env.pacer->cancel(turn);
        turn = 0;
    }
}

QString CheckRun::idlePanelText(int panel)
{
    switch (panel) {
    case 0:
        return QStringLiteral("Entry Status");
    case 1:
        return QStringLiteral("Open Connections");
    default:
        return QStringLiteral("Connection Status");
    }
}

void CheckRun::setPanel(int panel, const QString &text)
{
    if (m_panels[panel] == text)
        return;
    m_panels[panel] = text;
    Q_EMIT panelChanged(panel, text);
}

void CheckRun::startRun(RunSource source, qint32 startPosition, qint32 entryCount)
{
    if (!m_stopFlag)
        return; // one run at a time
    m_source = std::move(source);
    m_stopFlag = false;
    m_unansweredWriteFailed = false;
    m_env.lists.resetCounters();
    m_resumePosition = startPosition;
    m_entryCount = entryCount;
    m_passedOver = 0;
    m_invalidNames = 0;
    Q_EMIT progressChanged(startPosition - 1, entryCount);
    beginBatch();
}

void CheckRun::beginBatch()
{
    if (m_stopFlag)
        return;
    m_endOfList = false;
    m_reportCount = 0;
    m_pendingFailedReports = 0;
    m_watchdogTicks = 0;
    m_watchdog.start(m_timing.tickMs);

    // The pause lasts ThrottleMs + 1 ticks of a 1 ms timer; one precise timer does the same.
    PauseState &pause = m_env.pause;
    pause.throttleTicks = 0;
    pause.pauseActive = true;
    setPanel(0, QStringLiteral("Waiting %1 milliseconds.").arg(pause.throttleMs));
    m_pauseTimer.start(qMax<qint64>(0, pause.throttleMs) + 1, [this] { pauseEnded(); });
}

void CheckRun::pauseEnded()
{
    PauseState &pause = m_env.pause;
    pause.pauseActive = false;
    pause.throttleTicks = pause.throttleMs;
    if (m_stopFlag)
        return; // Stop during the pause: no further name is taken

    const int slots = slotCount();
    for (int i = 0; i < slots && !m_stopFlag; ++i) {
        m_slots[std::size_t(i)]->cancel();
        setPanel(1, QStringLiteral("Open: %1").arg(i));

        QString entry;
        if (auto read = m_source.readEntry(m_resumePosition); read.ok()) {
            entry = read.value();
        } else {
            m_env.notice.showMessage(QString(), QStringLiteral("File %1 not found.").arg(m_source.listPath),
                                     NoticeIcon::None);
        }
        if (entry.isEmpty())
            entry = kEndOfListSentinel;

        ++m_resumePosition;
        Q_EMIT progressChanged(m_resumePosition - 1, m_entryCount); // the name just taken
        if (m_entryCount >= m_resumePosition)
            setPanel(0, QStringLiteral("%1 of %2").arg(m_resumePosition).arg(m_entryCount));
        if (m_entryCount < m_resumePosition)
            setPanel(1, QStringLiteral("Open: Closing connections..."));
        else
            setPanel(1, QStringLiteral("Open: %1").arg(slots - m_reportCount));

        if (entry == kEndOfListSentinel) {
            m_watchdog.stop();
            m_endOfList = true;
            if (std::none_of(m_inFlight.begin(), m_inFlight.end(), [](bool busy) { return busy; }))
                stopRun();
            return;
        }

        if (m_source.storePosition)
            m_source.storePosition(m_resumePosition);
        dispatchLookup(entry, i);
    }
}

LookupChoices RunEnvironment::choices() const
{
    if (lookupChoices)
        return lookupChoices();
    return LookupChoices::described(useProxy && useProxy());
}

void RunEnvironment::keepUnanswered(const QString &name, bool &warned) const
{
    if (!unanswered)
        return;
    const Status kept = unanswered->keep(name);
    if (!kept && !warned) {
        warned = true;
        notice.showMessage(QString(), kept.message(), NoticeIcon::Warning);
    }
}

LookupChoices CheckRun::currentChoices() const
{
    return m_env.choices();
}

void CheckRun::keepUnanswered(const QString &name)
{
    m_env.keepUnanswered(name, m_unansweredWriteFailed); // said once a run
}

void CheckRun::settleAnswered(const QString &name)
{
    if (m_env.unanswered)
        (void)m_env.unanswered->settle(name); // a name left in the file is only asked again
}

void CheckRun::dispatchLookup(const QString &entry, int slotIndex)
{
    if (m_stopFlag)
        return;
    const QString formed = m_source.domainFor ? m_source.domainFor(entry) : entry;
    const Result<QString> canonical =
        formed.isEmpty() ? Result<QString>(formed) : canonicalDomainName(formed);
    if (!canonical) {
        // No answer about such a name could mean it is free: it is not asked, nor kept.
        Q_EMIT invalidName(formed, canonical.message(), ++m_invalidNames);
        endLookupAtOnce();
        return;
    }
    const QString &domain = canonical.value(); // filed and printed as it is asked
    const LookupChoices choices = currentChoices();
    const Result<LookupRoute> route = domain.isEmpty()
                                          ? Result<LookupRoute>::failure(ErrorCode::NoTldRow, QString())
                                          : routeLookup(domain, m_env.table, m_env.services, choices);
    if (!route) {
        // Nothing to look up: an entry that cleans to nothing is passed over quietly; a
        // name nothing serves is reported once a run, counted, and kept among the unanswered
        // names. Either way the batch ends at once rather than wait for the watchdog, which
        // would also claim a time-out that never happened.
        if (!domain.isEmpty()) {
            passOver(domain, route.message());
            keepUnanswered(domain);
        }
        endLookupAtOnce();
        return;
    }
    m_env.pause.throttleMs = route.value().throttleMs();
    m_inFlight[std::size_t(slotIndex)] = true;
    m_dispatched[std::size_t(slotIndex)] = domain;
    if (!m_env.pacer) {
        m_slots[std::size_t(slotIndex)]->start(domain, route.value(), choices);
        return;
    }
    // Another window may have asked this server a moment ago: the lookup waits for its turn.
    const std::size_t index = std::size_t(slotIndex);
    m_turns[index] = m_env.pacer->whenReady(route.value().serverKey(), route.value().throttleMs(),
                                            [this, index, domain, route = route.value(), choices] {
                                                m_turns[index] = 0;
                                                if (!m_stopFlag && m_inFlight[index])
                                                    m_slots[index]->start(domain, route, choices);
                                            });
}

// A slot that starts no lookup reports at once (from the event loop, as a lookup would).
void CheckRun::endLookupAtOnce()
{
    ++m_pendingFailedReports;
    m_deferredReport.start(0, [this] {
        const int reports = m_pendingFailedReports;
        m_pendingFailedReports = 0;
        for (int i = 0; i < reports && !m_stopFlag; ++i)
            onSlotReport();
    });
}

// The first name of a run that no row serves opens the "Error" box; the rest are only
// counted, so a long list with a missing row does not open a box per name.
void CheckRun::passOver(const QString &domain, const QString &reason)
{
    ++m_passedOver;
    if (m_passedOver == 1) {
        m_env.notice.showMessage(QStringLiteral("Error"), passedOverNoticeText(domain, reason),
                                 NoticeIcon::Warning);
    }
    Q_EMIT namePassedOver(domain, m_passedOver);
}

void CheckRun::onSlotFinished(int slotIndex, const LookupEvidence &evidence)
{
    if (m_stopFlag)
        return;
    m_inFlight[std::size_t(slotIndex)] = false;
    m_watchdog.stop();

    RunRecord record;
    record.name = evidence.name;
    record.server = evidence.server;
    record.evidence = evidence;
    switch (evidence.verdict) {
    case LookupVerdict::Available:
        record.kind = RunRecord::Kind::Available;
        if (const auto profile = m_env.lists.addAvailable(evidence.name))
            record.profileClass = profileClassName(*profile);
        settleAnswered(evidence.name);
        break;
    case LookupVerdict::Registered:
        record.kind = RunRecord::Kind::Registered;
        m_env.lists.addRegistered(evidence.name);
        settleAnswered(evidence.name);
        break;
    case LookupVerdict::Blocked:
        record.kind = RunRecord::Kind::Blocked;
        m_env.notice.showBlocked(
            evidence.server,
            evidence.protocol == LookupProtocol::Rdap
                ? QStringLiteral("HTTP %1\r\n%2").arg(evidence.httpStatus).arg(evidence.answer)
                : evidence.answer,
            evidence.name);
        keepUnanswered(evidence.name);
        break;
    case LookupVerdict::Unknown:
        record.kind = RunRecord::Kind::Unknown;            // never filed as Registered or Available
        if (evidence.ending == LookupEnding::NoConnection) // refused, no such host: said now
            m_env.notice.showBlocked(
                evidence.server, QStringLiteral("Could not connect: %1").arg(evidence.reason), evidence.name);
        keepUnanswered(evidence.name);
        break;
    }
    m_env.lists.checkOverflow();
    m_slots[std::size_t(slotIndex)]->cancel();
    Q_EMIT recordFinished(record);
    onSlotReport();
}

void CheckRun::onSlotReport()
{
    if (m_stopFlag)
        return;
    ++m_reportCount;
    // The batch ends when every slot has reported.
    if (m_reportCount < slotCount())
        return;
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
        if (m_inFlight[i])
            keepUnanswered(m_dispatched[i]); // dropped without a verdict
        m_slots[i]->cancel();
        m_inFlight[i] = false;
    }
    cancelTurns();
    m_watchdog.stop();
    m_watchdogTicks = 0;
    if (m_endOfList)
        stopRun();
    else
        beginBatch();
}

void CheckRun::onWatchdogTick()
{
    if (m_stopFlag) {
        m_watchdog.stop();
        return;
    }
    if (++m_watchdogTicks < m_timing.watchdogTicks)
        return;
    m_watchdogTicks = 0;
    if (m_env.pause.pauseActive)
        return; // a pause longer than the watchdog: no lookup to give up yet
    m_watchdog.stop();
    // The notice names the first name still waiting for its answer.
    QString waiting;
    for (std::size_t i = 0; i < m_slots.size() && waiting.isEmpty(); ++i) {
        if (m_inFlight[i])
            waiting = m_dispatched[i];
    }
    m_env.notice.showBlocked(m_slots.front()->remoteHost(), QStringLiteral("Connection Timed Out"), waiting);
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
        if (!m_inFlight[i])
            continue;
        const DomainLookup &lookup = *m_slots[i];
        RunRecord record;
        record.kind = RunRecord::Kind::Timeout;
        record.name = m_dispatched[i];
        record.server = lookup.route().protocol == LookupProtocol::Rdap ? lookup.route().url.host()
                                                                        : lookup.route().entry.server;
        record.evidence = lookup.evidenceSoFar();
        record.evidence.ending = LookupEnding::TimedOut;
        record.evidence.rule = QStringLiteral("time-out");
        keepUnanswered(record.name);
        m_inFlight[i] = false;
        Q_EMIT recordFinished(record);
    }
    m_reportCount = slotCount();
    onSlotReport();
}

void CheckRun::stopRun()
{
    m_reportCount = slotCount();
    m_stopFlag = true;
    m_watchdog.stop();
    m_pauseTimer.cancel();
    m_deferredReport.cancel();
    m_pendingFailedReports = 0;
    cancelTurns();
    m_env.pause.pauseActive = false;
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
        if (m_inFlight[i])
            keepUnanswered(m_dispatched[i]); // taken, and dropped without a verdict
        m_slots[i]->cancel();
        m_inFlight[i] = false;
    }
    m_watchdogTicks = 0;
    for (int panel = 0; panel < kStatusPanels; ++panel)
        setPanel(panel, idlePanelText(panel));
    Q_EMIT stopped();
}

} // namespace wendlecott::core
