#pragma once

#include "core/base/Scheduler.h"

#include <QElapsedTimer>
#include <QObject>

#include <unordered_map>

class QTimer;

namespace wendlecott::platform {

// The scheduler over Qt's precise single-shot timers on the event loop of this thread.
class QtScheduler final : public QObject, public core::Scheduler {
    Q_OBJECT
public:
    explicit QtScheduler(QObject *parent = nullptr);
    ~QtScheduler() override;

    qint64 now() const override;
    TimerId callAfter(qint64 ms, std::function<void()> callback) override;
    void cancel(TimerId id) override;

private:
    QElapsedTimer m_clock;
    TimerId m_nextId = 1;
    std::unordered_map<TimerId, QTimer *> m_timers;
};

} // namespace wendlecott::platform
