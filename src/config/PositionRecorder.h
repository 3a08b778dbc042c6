#pragma once

#include "config/SettingsKeys.h"
#include "core/base/Result.h"
#include "core/base/Scheduler.h"

#include <QList>
#include <QObject>
#include <QString>

namespace wendlecott::config {

// Stores a run's positions without a file write for every name. A check run records the
// position of its next entry ("wordNumber" and the source's resume key) each time it takes a
// name; the recorder keeps the latest value of each key and writes them together at most
// once every `intervalMs`, so a crash loses at most that much of a run. flush() writes at
// once: at Stop, at the end of a list and when the program ends (the destructor flushes too).
//
// A write that fails is reported through lastStatus() and writeFailed(); its values stay
// recorded, and the next flush tries them again unless newer ones replaced them.
// writeFailed() comes once for a row of failed writes, not for each of them.
class PositionRecorder final : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kWriteIntervalMs = 1000;

    PositionRecorder(SettingsStore &settings, core::Scheduler &scheduler,
                     qint64 intervalMs = kWriteIntervalMs, QObject *parent = nullptr);
    ~PositionRecorder() override;

    // `value` becomes the value to store for `key`, written within the interval.
    void record(const SettingKey &key, const QString &value);
    // Writes every value recorded since the last write, now.
    core::Status flush();

    bool hasUnwritten() const { return !m_unwritten.isEmpty(); }
    // How the last write went.
    core::Status lastStatus() const { return m_lastStatus; }

Q_SIGNALS:
    void writeFailed(const QString &message);

private:
    struct Unwritten {
        SettingKey key;
        QString value;
    };

    SettingsStore &m_settings;
    qint64 m_intervalMs;
    core::SingleShot m_timer;
    QList<Unwritten> m_unwritten;
    core::Status m_lastStatus;
};

} // namespace wendlecott::config
