#include "config/WatchMonitor.h"

#include "config/SettingsKeys.h"
#include "core/store/AnswerStore.h"

#include <QPointer>

#include <algorithm>
#include <utility>

namespace wendlecott::config {

namespace {

constexpr qint64 kHourMs = 60 * 60 * 1000;

} // namespace

std::optional<qint64> watchIntervalMs(const QString &hours)
{
    const std::optional<qint32> value = toInt32(hours);
    if (!value || *value <= 0)
        return std::nullopt;
    return std::min<qint64>(*value, kMaxWatchHours) * kHourMs;
}

qint64 firstWatchCheckDelayMs(const QList<QDateTime> &lastChecked, const QDateTime &now, qint64 intervalMs)
{
    if (lastChecked.isEmpty())
        return intervalMs;
    qint64 delay = intervalMs;
    for (const QDateTime &checked : lastChecked)
        delay = std::min(delay, checked.isValid() ? now.msecsTo(checked) + intervalMs : 0);
    return std::clamp(delay, std::min(kWatchStartDelayMs, intervalMs), intervalMs);
}

WatchMonitor::WatchMonitor(store::AnswerStore *store, SettingsStore &settings, core::Scheduler &scheduler,
                           CheckStarter startCheck, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_settings(settings)
    , m_startCheck(std::move(startCheck))
    , m_now([] { return QDateTime::currentDateTimeUtc(); })
    , m_first(scheduler)
    , m_timer(scheduler, [this] { (void)checkNow(); })
{
}

WatchMonitor::~WatchMonitor() = default;

void WatchMonitor::start()
{
    m_first.cancel();
    m_timer.stop();
    const std::optional<qint64> interval =
        watchIntervalMs(readSetting(m_settings, keys::WatchHours, defaults::WatchHours));
    if (!m_store || !interval)
        return;
    m_intervalMs = *interval;
    QList<QDateTime> lastChecked;
    if (const core::Result<QList<store::WatchRow>> rows = store::watchRows(*m_store, m_now()); rows) {
        for (const store::WatchRow &row : rows.value())
            lastChecked.append(row.lastChecked);
    }
    m_first.start(firstWatchCheckDelayMs(lastChecked, m_now(), m_intervalMs), [this] {
        m_timer.start(m_intervalMs);
        (void)checkNow();
    });
}

bool WatchMonitor::checkNow()
{
    if (!m_store || m_checking || !m_startCheck)
        return false;
    const core::Result<QStringList> names = m_store->watchedNames();
    if (!names || names.value().isEmpty())
        return false;
    m_before.clear();
    for (const QString &name : names.value()) {
        const core::Result<QList<store::StoredAnswer>> history = m_store->history(name);
        m_before.append({name, history ? store::lastDecisive(history.value()) : std::nullopt});
    }
    m_checking = true;
    const quint64 generation = ++m_generation;
    QPointer<WatchMonitor> self(this);
    m_startCheck(names.value(), [self, generation] {
        if (self)
            self->finishCheck(generation);
    });
    return true;
}

void WatchMonitor::finishCheck(quint64 generation)
{
    if (!m_checking || generation != m_generation)
        return;
    m_checking = false;
    const auto before = std::exchange(m_before, {});
    for (const auto &[name, answer] : before) {
        const store::WatchChange change = store::watchChange(answer, m_store->latest(name));
        if (change != store::WatchChange::None)
            Q_EMIT nameChanged(name, change);
    }
    Q_EMIT checkFinished();
}

} // namespace wendlecott::config
