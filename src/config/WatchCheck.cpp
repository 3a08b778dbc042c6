#include "config/WatchCheck.h"

#include "config/AppState.h"

namespace wendlecott::config {

core::RunSource watchSource(const QStringList &names)
{
    core::RunSource source;
    source.readEntry = [names](qint32 position) -> core::Result<QString> {
        return position >= 1 && position <= names.size() ? names.at(position - 1) : core::kEndOfListSentinel;
    };
    source.domainFor = [](const QString &entry) { return entry; };
    source.listPath = QStringLiteral("(watch list)");
    return source;
}

std::unique_ptr<core::CheckRun> makeWatchRun(AppState &state)
{
    core::RunEnvironment environment = state.runEnvironment();
    environment.reuseRegisteredDays = {}; // every watched name is asked now
    return std::make_unique<core::CheckRun>(environment, state.scheduler(), state.timing(),
                                            state.connections(),
                                            core::RunPolicy::paced(state.preferences().jobs(), {}));
}

void startWatchCheck(AppState &state, const QStringList &names, std::function<void()> finished)
{
    if (names.isEmpty()) {
        state.scheduler().callAfter(0, std::move(finished));
        return;
    }
    core::CheckRun *run = makeWatchRun(state).release();
    QObject::connect(run, &core::CheckRun::stopped, run, [run, finished = std::move(finished)] {
        run->deleteLater();
        finished();
    });
    run->startRun(watchSource(names), 1, qint32(names.size()));
}

} // namespace wendlecott::config
