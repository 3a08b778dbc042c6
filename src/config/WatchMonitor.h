#pragma once

#include "core/base/Scheduler.h"
#include "core/store/WatchList.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace wendlecott::config {

class SettingsStore;

// "WatchHours" as the time between two checks: nothing when checks are off (0, negative, or
// not a number). Longer than kMaxWatchHours counts as that many hours.
constexpr qint64 kMaxWatchHours = 24 * 24; // what one timer of the event loop can wait
std::optional<qint64> watchIntervalMs(const QString &hours);

// The first check after the program starts does not wait a whole interval: it comes when the
// name checked longest ago (or never) is due, but not before kWatchStartDelayMs, so that the
// start of the program has the servers to itself.
constexpr qint64 kWatchStartDelayMs = 60 * 1000;
qint64 firstWatchCheckDelayMs(const QList<QDateTime> &lastChecked, const QDateTime &now, qint64 intervalMs);

// Checks the watch list again every "WatchHours" hours while the program runs, and says which
// names became available or started to drop since their last check. The check itself is
// handed to `startCheck` (the names, and what to call when every answer is filed); the
// answers are read back from the store before and after it.
class WatchMonitor final : public QObject {
    Q_OBJECT
public:
    using CheckStarter = std::function<void(const QStringList &names, std::function<void()> finished)>;

    // `store` may be null: then nothing is ever checked.
    WatchMonitor(store::AnswerStore *store, SettingsStore &settings, core::Scheduler &scheduler,
                 CheckStarter startCheck, QObject *parent = nullptr);
    ~WatchMonitor() override;

    // The time the names' last checks are measured against; the current time unless set.
    void setClock(std::function<QDateTime()> now) { m_now = std::move(now); }
    // Reads "WatchHours" and arms the timer (again); off when the setting says so.
    void start();
    bool isScheduled() const { return m_first.isActive() || m_timer.isActive(); }
    qint64 intervalMs() const { return m_intervalMs; }
    // Starts a check now; false when one goes already or nothing is watched.
    bool checkNow();
    bool isChecking() const { return m_checking; }

Q_SIGNALS:
    void nameChanged(const QString &name, wendlecott::store::WatchChange change);
    // A check ended (its changes, if any, were announced first).
    void checkFinished();

private:
    void finishCheck(quint64 generation);

    store::AnswerStore *m_store;
    SettingsStore &m_settings;
    CheckStarter m_startCheck;
    std::function<QDateTime()> m_now;
    qint64 m_intervalMs = 0;
    core::SingleShot m_first;
    core::PeriodicTimer m_timer;
    bool m_checking = false;
    quint64 m_generation = 0; // a check that finishes late for an older check is ignored
    // Each name's last decisive answer before the check, in watch-list order.
    QList<std::pair<QString, std::optional<store::StoredAnswer>>> m_before;
};

} // namespace wendlecott::config
