#include "config/PositionRecorder.h"

#include <algorithm>

namespace wendlecott::config {

PositionRecorder::PositionRecorder(SettingsStore &settings, core::Scheduler &scheduler, qint64 intervalMs,
                                   QObject *parent)
    : QObject(parent), m_settings(settings), m_intervalMs(intervalMs), m_timer(scheduler)
{
}

PositionRecorder::~PositionRecorder()
{
    (void)flush();
}

void PositionRecorder::record(const SettingKey &key, const QString &value)
{
    const auto same = [&key](const Unwritten &u) { return u.key.app == key.app && u.key.key == key.key; };
    if (const auto found = std::find_if(m_unwritten.begin(), m_unwritten.end(), same);
        found != m_unwritten.end())
        found->value = value;
    else
        m_unwritten.append(Unwritten{key, value});
    if (!m_timer.isActive())
        m_timer.start(m_intervalMs, [this] { (void)flush(); });
}

core::Status PositionRecorder::flush()
{
    m_timer.cancel();
    if (m_unwritten.isEmpty())
        return core::Status::success(); // a failed write would have left its values here
    // One write per application key: a run's positions all live under "Tarnhollow".
    core::Status status;
    QList<Unwritten> failed;
    while (!m_unwritten.isEmpty()) {
        const QString app = m_unwritten.first().key.app;
        QList<SettingValue> values;
        QList<Unwritten> batch;
        for (auto it = m_unwritten.begin(); it != m_unwritten.end();) {
            if (it->key.app == app) {
                values.append(SettingValue{it->key.key, it->value});
                batch.append(std::move(*it));
                it = m_unwritten.erase(it);
            } else {
                ++it;
            }
        }
        const core::Status written = m_settings.saveSettings(app, kSettingsSection, values);
        if (!written) {
            failed += batch;
            if (status)
                status = written;
        }
    }
    m_unwritten = std::move(failed);
    // Said once, not at every timed write while the disk stays full: again only after a
    // write went through in between.
    const bool newFailure = !status && m_lastStatus.ok();
    m_lastStatus = status;
    if (newFailure)
        Q_EMIT writeFailed(status.message());
    return status;
}

} // namespace wendlecott::config
