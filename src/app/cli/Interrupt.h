#pragma once

#include <QObject>

class QSocketNotifier;

namespace wendlecott::cli {

// Turns Ctrl-C (SIGINT) and SIGTERM into a signal on the event loop, so a long command
// can stop the way the Stop button does; a second signal ends the program at once with
// 128 + its number. The previous handlers come back on destruction.
class InterruptWatcher final : public QObject {
    Q_OBJECT
public:
    explicit InterruptWatcher(QObject *parent = nullptr);
    ~InterruptWatcher() override;

Q_SIGNALS:
    void interrupted();

private:
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace wendlecott::cli
