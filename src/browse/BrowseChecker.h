#pragma once

#include "browse/BrowsePacing.h"
#include "browse/BrowseQueue.h"
#include "browse/FoundNames.h"
#include "core/CheckRun.h"
#include "core/DomainLookup.h"
#include "core/RunFiler.h"
#include "core/Scheduler.h"
#include "core/Timing.h"
#include "core/Verdict.h"
#include "core/WhoisConnection.h"

#include <QObject>
#include <QString>
#include <QStringListModel>

#include <array>
#include <memory>

namespace wendlecott::core {
class Clipboard;
}

namespace wendlecott::browse {

// What the browse window works on besides its own state: the TLD table, the proxy switch,
// the pause shared with the main window's run, the main window's lists (which it files into
// as well), the notices and the clipboard.
struct BrowseEnvironment {
    core::RunEnvironment run;
    core::Clipboard &clipboard;
};

// The browse window's two lists, by the index of their buttons.
enum class BrowseList { Unregistered = 1, Registered = 2 };

// The three panels of the browse window's status bar.
enum class BrowsePanel { Progress = 0, Page = 1, WebView = 2 };

// The browse window's checker: takes the queued names one at a time, asks each name's whois
// server through its own query, files the verdict into the main window's lists and its own
// two, and paces itself (BrowsePacing); with the program's ServerPacer a lookup also waits
// for its server's turn, so the main window's run and this window never ask one server
// faster than its throttle together.
//
// idle --dispatchNextName, a name queued--> lookup under way (time-out ticking)
//   --server closed: verdict, filed--> pausing (the row's throttle) --> idle, next name
//   --fifth time-out tick: blocked notice "Connection Timed Out"--> idle, next name.
// A name without an enabled extension, that cannot be a domain, or that no row serves, is
// skipped. Verdicts and names kept without one go through the runs' RunFiler. The dispatcher's
// one-second tick only starts a lookup when none is under way and no pause is running, so a
// slow server is left to answer (or to time out) instead of being asked again every second.
class BrowseChecker final : public QObject {
    Q_OBJECT
public:
    static inline const QString kTimedOutResponse = QStringLiteral("Connection Timed Out");

    BrowseChecker(BrowseEnvironment environment, FoundNames &found, const QString &queuePath,
                  core::Scheduler &scheduler, const core::Timing &timing,
                  std::unique_ptr<core::WhoisConnection> connection, QObject *parent = nullptr);
    ~BrowseChecker() override;

    // The window opens: the queue file is deleted and the dispatcher ticks.
    void open();
    // The window closes: every timer stops, the lookup is dropped, the queue file is deleted.
    void close();
    bool isOpen() const { return m_open; }

    // An extraction ended: its text goes to the end of the queue file.
    void appendToQueue(const QString &text);
    // Starts the next lookup when there is a name to check and none is under way.
    void dispatchNextName();
    // The queued name with that index, or core::kEndOfListSentinel.
    QString readQueuedName(qint32 index) { return m_queue.readQueuedName(index); }
    // Prepares and starts one lookup, or skips the name.
    void checkBrowsedName(const QString &name);

    // The list commands; an index outside the list does nothing.
    QStringListModel *model(BrowseList list) const;
    QString label(BrowseList list) const;
    // Empties the list. The Unregistered list also forgets every name seen so far, so names
    // met again are queued again, and the main window's list 1 counter restarts at 0; the
    // Registered list restarts list 2's counter.
    void clearList(BrowseList list);
    void deleteEntry(BrowseList list, qsizetype row);
    // All entries on the clipboard, each followed by CR LF.
    void copyList(BrowseList list);
    // A double-click: as on the main window's lists (the purchase page, or the WHOIS window).
    void openEntry(BrowseList list, qsizetype row);

    qint32 queuePosition() const { return m_queuePosition; }
    const QString &currentName() const { return m_currentName; }
    const QString &response() const { return m_response; }
    bool isLookupUnderWay() const { return m_lookupUnderWay; }
    const BrowsePacing &pacing() const { return m_pacing; }
    const QString &queuePath() const { return m_queue.path(); }

    QString panelText(BrowsePanel panel) const { return m_panels[std::size_t(panel)]; }
    void setPanel(BrowsePanel panel, const QString &text);

Q_SIGNALS:
    void panelChanged(wendlecott::browse::BrowsePanel panel, const QString &text);
    void labelChanged(wendlecott::browse::BrowseList list, const QString &text);

private:
    void onAnswer(const core::LookupEvidence &evidence);
    void onTimeout();
    void fileVerdict(const core::LookupEvidence &evidence);
    void listName(BrowseList list, const QString &name);
    void skipName();
    void setLabel(BrowseList list, const QString &text);
    QString remoteHost() const;
    void cancelTurn();

    BrowseEnvironment m_env;
    core::RunFiler m_filer;
    FoundNames &m_found;
    BrowseQueue m_queue;
    BrowsePacing m_pacing;
    core::DomainLookup m_lookup;
    core::SingleShot m_nextAfterSkip;
    std::array<std::unique_ptr<QStringListModel>, 2> m_lists;
    std::array<QString, 2> m_labels;
    std::array<QString, 3> m_panels;

    bool m_open = false;
    bool m_lookupUnderWay = false;
    core::ServerPacer::Ticket m_turn = 0; // the lookup waits for its server's turn
    qint32 m_queuePosition = 0;
    QString m_currentName;
    QString m_server;
    QString m_response;
};

} // namespace wendlecott::browse

Q_DECLARE_METATYPE(wendlecott::browse::BrowsePanel)
Q_DECLARE_METATYPE(wendlecott::browse::BrowseList)
