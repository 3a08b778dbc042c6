#pragma once

#include "core/DomainLookup.h"
#include "core/Result.h"
#include "core/RunSource.h"
#include "core/Scheduler.h"
#include "core/ServerPacer.h"
#include "core/Timing.h"
#include "core/Verdict.h"
#include "core/WhoisConnection.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace wendlecott::core {

class LookupSlot;
class ResultLists;
class UnansweredNames;
class UserNotice;
struct TldTable;

// The pause before each batch, shared by the main window's run and the browse window.
struct PauseState {
    qint32 throttleMs = 25; // `ThrottleMs`: set from the TLD row of the last lookup
    qint32 throttleTicks = 0;
    bool pauseActive = false;
};

// The program-wide values a run reads at each lookup.
struct RunEnvironment {
    const TldTable &table;
    std::function<bool()> useProxy; // the proxy switch as it stands at each lookup
    PauseState &pause;
    ResultLists &lists;
    UserNotice &notice;
    // The protocol and verdict rules as they stand at each lookup; empty: the described
    // whois lookup with the success words (and the proxy switch above).
    std::function<LookupChoices()> lookupChoices = {};
    LookupServices services = {};
    // Where names without a verdict are kept; null: nowhere.
    UnansweredNames *unanswered = nullptr;
    // The pace of each server shared with every other window that asks servers; null: the
    // run keeps only its own pause.
    ServerPacer *pacer = nullptr;

    // The lookup asked for now: lookupChoices, else the described one with the proxy switch.
    LookupChoices choices() const;
    // Keeps `name` among the unanswered names; a failed write is said once while `warned`
    // stays false (the names stay kept for this session).
    void keepUnanswered(const QString &name, bool &warned) const;
};

// What became of one name, for the command line's report.
struct RunRecord {
    // Unknown: an answer without a verdict a user can act on; like Timeout, filed nowhere.
    enum class Kind { Available, Registered, Blocked, Timeout, Unknown };
    Kind kind = Kind::Registered;
    QString name;
    QString server;
    QString profileClass; // "High", "Mid" or "Low" for Available
    LookupEvidence evidence;
};

// The check run: takes the names of a list one after another, looks each up on a free
// slot, files the verdicts, pauses `ThrottleMs` + 1 ms before each batch, reconnects a
// silent lookup at its 10th tick and gives a batch up at the watchdog's 30th tick. A name
// taken without a verdict (Unknown, Blocked, timed out, no server, or in flight at Stop) is
// kept in the unanswered names; a name that gets one leaves them.
class CheckRun : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxSlots = 101;
    static constexpr int kStatusPanels = 3;

    CheckRun(RunEnvironment environment, Scheduler &scheduler, const Timing &timing,
             const ConnectionFactory &connections, int slotCount = 1, QObject *parent = nullptr);
    ~CheckRun() override;

    // Start: positions from the window's boxes. Counters restart; the lists keep their entries.
    void startRun(RunSource source, qint32 startPosition, qint32 entryCount);
    // Stop (also at the end of the list): no further name, every socket closed.
    void stopRun();

    bool isRunning() const { return !m_stopFlag; }
    bool stopFlag() const { return m_stopFlag; }
    qint32 resumePosition() const { return m_resumePosition; }
    qint32 entryCount() const { return m_entryCount; }
    int slotCount() const { return int(m_slots.size()); }
    // The whois slot of lookup `index`.
    const LookupSlot &slot(int index) const { return *m_slots.at(std::size_t(index))->whoisSlot(); }
    const DomainLookup &lookup(int index) const { return *m_slots.at(std::size_t(index)); }
    QString panelText(int panel) const { return m_panels[panel]; }
    // Names of this run that no TLD row serves, passed over without a lookup.
    int passedOverCount() const { return m_passedOver; }
    int invalidNameCount() const { return m_invalidNames; }

    static QString idlePanelText(int panel);

Q_SIGNALS:
    // A status-bar panel (0, 1, 2) got a new text.
    void panelChanged(int panel, const QString &text);
    // The run ended (Stop, the end of the list, or an unreadable list).
    void stopped();
    void recordFinished(const wendlecott::core::RunRecord &record);
    // The run took the name at `position` of `count` (at Start: the position before the
    // first name; at the end of the list: the position past it), for a progress bar.
    void progressChanged(qint32 position, qint32 count);
    // A name that no TLD row serves was passed over; `count` of this run so far. Only the
    // first one of a run is also told in the "Error" box.
    void namePassedOver(const QString &domain, int count);
    // A name that cannot be a domain (core::domainNameProblem says why) was not looked up;
    // `count` of this run so far.
    void invalidName(const QString &domain, const QString &reason, int count);

private:
    void beginBatch();
    void pauseEnded();
    void dispatchLookup(const QString &entry, int slotIndex);
    void cancelTurns();
    void onSlotFinished(int slotIndex, const LookupEvidence &evidence);
    LookupChoices currentChoices() const;
    void keepUnanswered(const QString &name);
    void settleAnswered(const QString &name);
    void passOver(const QString &domain, const QString &reason);
    void endLookupAtOnce();
    void onSlotReport();
    void onWatchdogTick();
    void setPanel(int panel, const QString &text);

    RunEnvironment m_env;
    Scheduler &m_scheduler;
    const Timing &m_timing;
    std::vector<std::unique_ptr<DomainLookup>> m_slots;
    PeriodicTimer m_watchdog;    // `overall`
    SingleShot m_pauseTimer;     // `timThrottle`
    SingleShot m_deferredReport; // reports of lookups that could not start

    RunSource m_source;
    bool m_stopFlag = true;
    bool m_endOfList = false;
    qint32 m_resumePosition = 0;
    qint32 m_entryCount = 0;
    int m_reportCount = 0;
    int m_watchdogTicks = 0;
    int m_pendingFailedReports = 0;
    bool m_unansweredWriteFailed = false; // said once a run
    int m_passedOver = 0;
    int m_invalidNames = 0;
    std::vector<bool> m_inFlight;
    std::vector<ServerPacer::Ticket> m_turns; // lookups waiting for their server's turn
    std::vector<QString> m_dispatched;        // the domain each slot took last
    QString m_panels[kStatusPanels];
};

} // namespace wendlecott::core
