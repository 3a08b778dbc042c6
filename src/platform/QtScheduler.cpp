#include "platform/QtScheduler.h"

#include <QTimer>

#include <limits>

namespace wendlecott::platform {

QtScheduler::QtScheduler(QObject *parent) : QObject(parent)
{
    m_clock.start();
}

QtScheduler::~QtScheduler()
{
    for (auto &[id, timer] : m_timers)
        delete timer;
}

qint64 QtScheduler::now() const
{
    return m_clock.elapsed();
}

core::Scheduler::TimerId QtScheduler::callAfter(qint64 ms, std::function<void()> callback)
{
    const TimerId id = m_nextId++;
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(static_cast<int>(qBound(qint64(0), ms, qint64(std::numeric_limits<int>::max()))));
    connect(timer, &QTimer::timeout, this, [this, id, cb = std::move(callback)] {
        auto it = m_timers.find(id);
        if (it == m_timers.end())
            return;
        it->second->deleteLater();
        m_timers.erase(it);
        cb();
    });
    m_timers.emplace(id, timer);
    timer->start();
    return id;
}

void QtScheduler::cancel(TimerId id)
{
    auto it = m_timers.find(id);
    if (it == m_timers.end())
        return;
    it->second->stop();
    it->second->deleteLater();
    m_timers.erase(it);
}

} // namespace wendlecott::platform
