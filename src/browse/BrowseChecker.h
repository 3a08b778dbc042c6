#pragma once

#include "browse/BrowseQueue.h"
#include "browse/FoundNames.h"
#include "core/base/Scheduler.h"
#include "core/base/Timing.h"
#include "core/lookup/WhoisConnection.h"
#include "core/run/CheckRun.h"

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

// The browse window's checker: the names the window finds are the growing source of one
// core::CheckRun with the browsing policy (core::RunPolicy::browsing): one name at a time,
// each waiting for its server's turn on the program's ServerPacer (so the main window's run
// and this window never ask one server faster than its throttle together), given up at the
// fifth time-out tick counted from its request, the pause of the row's throttle after each
// answer, every verdict filed by the run's RunFiler. The checker keeps the queue file, the
// window's two lists and labels, and shows the run's progress texts in the first panel.
//
// A queued name whose extension is not enabled, that cannot be a domain, or for which no
// lookup can be started, is passed over quietly. A bare extension left from markup, a quoted
// one, and (for available names) the end-of-list sentinel are never filed.
class BrowseChecker final : public QObject {
    Q_OBJECT
public:
    BrowseChecker(BrowseEnvironment environment, FoundNames &found, const QString &queuePath,
                  core::Scheduler &scheduler, const core::Timing &timing,
                  std::unique_ptr<core::WhoisConnection> connection, QObject *parent = nullptr);
    ~BrowseChecker() override;

    // The window opens: the queue file is deleted and the run waits for names.
    void open();
    // The window closes: the run stops, its lookup dropped, and the queue file is deleted.
    void close();
    bool isOpen() const { return m_open; }

    // An extraction ended: its text goes to the end of the queue file.
    void appendToQueue(const QString &text);
    // The queue grew: the run takes the next name when none is under way.
    void dispatchNextName();
    // The queued name with that index, or core::kEndOfListSentinel.
    QString readQueuedName(qint32 index) { return m_queue.readQueuedName(index); }
    // Asks about `name` as about a name found on a page: it joins the end of the queue.
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

    // Queued names finished (filed, passed over or timed out).
    qint32 queuePosition() const { return m_run.resumePosition() - 1; }
    // Whole time-out ticks since the request of the lookup under way (0 with none).
    int timeoutTicks() const;
    const QString &queuePath() const { return m_queue.path(); }

    QString panelText(BrowsePanel panel) const { return m_panels[std::size_t(panel)]; }
    void setPanel(BrowsePanel panel, const QString &text);

Q_SIGNALS:
    void panelChanged(wendlecott::browse::BrowsePanel panel, const QString &text);
    void labelChanged(wendlecott::browse::BrowseList list, const QString &text);

private:
    core::RunSource queueSource();
    QString domainFor(const QString &queued) const;
    void listRecord(const core::RunRecord &record);
    void listName(BrowseList list, const QString &name);
    void setLabel(BrowseList list, const QString &text);

    BrowseEnvironment m_env;
    FoundNames &m_found;
    BrowseQueue m_queue;
    const core::Timing &m_timing;
    core::CheckRun m_run;
    std::array<std::unique_ptr<QStringListModel>, 2> m_lists;
    std::array<QString, 2> m_labels;
    std::array<QString, 3> m_panels;
    bool m_open = false;
};

} // namespace wendlecott::browse

Q_DECLARE_METATYPE(wendlecott::browse::BrowsePanel)
Q_DECLARE_METATYPE(wendlecott::browse::BrowseList)
