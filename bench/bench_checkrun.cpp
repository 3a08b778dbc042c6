// A check run over N names against the fake whois server on 127.0.0.1, with the real socket,
// timers, result lists and settings (positions recorded as each name is taken and stored at
// most once a second, as the programs do), at a given
// throttle. Prints names per second against the pacing limit 1000 / (throttle + 1) and the
// time per name beyond the pause.
//
//   bench_checkrun [NAMES] [THROTTLE_MS...]     (defaults: 10000 names; throttles 0 25 100)
#include "FakeWhoisServer.h"
#include "config/PositionRecorder.h"
#include "config/SettingsKeys.h"
#include "core/base/UserNotice.h"
#include "core/lists/ResultLists.h"
#include "core/lookup/LookupSlot.h"
#include "core/pacing/ServerPacer.h"
#include "core/run/CheckRun.h"
#include "platform/IniSettingsStore.h"
#include "platform/QtScheduler.h"
#include "platform/QtWhoisConnection.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

using namespace wendlecott;

namespace {

class QuietNotice final : public core::UserNotice {
public:
    void showMessage(const QString &, const QString &text, core::NoticeIcon) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    bool askOkCancel(const QString &, const QString &) override { return false; }
    core::AbortRetryIgnore askAbortRetryIgnore(const QString &, const QString &) override
    {
        return core::AbortRetryIgnore::Abort;
    }
    void showBlocked(const QString &, const QString &, const QString &) override { ++blocked; }
    void showOverflowNotice() override {}
    int blocked = 0;
};
void measure(int names, int throttle, quint16 port)
{
    QTemporaryDir folder;
    platform::IniSettingsStore settings(folder.filePath(QStringLiteral("settings")));
    core::TldTable table;
    core::TldEntry com;
    com.extension = QStringLiteral("com");
    com.server = QStringLiteral("127.0.0.1");
    com.port = port;
    com.enabled = true;
    com.throttle = throttle;
    com.successWords = QStringLiteral("No match");
    table.rows = {com};
    bool useProxy = false;
    QuietNotice notice;
    core::NoClipboard clipboard;
    core::NoAddressOpener opener;
    core::ResultLists lists(folder.path(), notice, clipboard, opener);
    core::Timing timing;
    platform::QtScheduler scheduler;
    core::ServerPacer pacer(scheduler);
    pacer.setSharedThrottle(throttle);
    core::CheckRun run(core::RunEnvironment{table, [&useProxy] { return useProxy; }, pacer, lists, notice},
                       scheduler, timing, platform::QtWhoisConnection::factory());

    // Names of 4 to 9 letters, so all three profile lists and their files get filings.
    core::RunSource source;
    source.readEntry = [names](qint32 p) -> core::Result<QString> {
        if (p > names)
            return QStringLiteral("endoffileffile");
        return QStringLiteral("n%1").arg(p, 3 + p % 6, 10, QLatin1Char('0'));
    };
    source.domainFor = [](const QString &entry) { return entry + QStringLiteral(".com"); };
    config::PositionRecorder positions(settings, scheduler);
    QObject::connect(&run, &core::CheckRun::stopped, &positions, &config::PositionRecorder::flush);
    source.storePosition = [&](qint32 next) {
        positions.record(config::keys::FourWordNum, QString::number(next));
        positions.record(config::keys::WordNumber, QString::number(next));
    };

    int finished = 0;
    QObject::connect(&run, &core::CheckRun::recordFinished, &run, [&] { ++finished; });
    QEventLoop loop;
    QObject::connect(&run, &core::CheckRun::stopped, &loop, &QEventLoop::quit);
    // Bounded in time: give up after the pacing limit's time plus a generous margin.
    const qint64 limitMs = qint64(names) * (throttle + 1) * 2 + 60000;
    QTimer::singleShot(limitMs, &loop, [&] { run.stopRun(); });

    QElapsedTimer clock;
    clock.start();
    run.startRun(source, 1, names);
    loop.exec();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;

    const double rate = finished / seconds;
    const double limit = 1000.0 / (throttle + 1);
    const double perNameMs = seconds * 1000.0 / qMax(1, finished);
    std::printf("throttle %3d ms: %d names in %.2f s = %.1f names/s; limit %.1f names/s (%.1f %%); "
                "%.3f ms per name, %.3f ms beyond the %d ms pause\n",
                throttle, finished, seconds, rate, limit, 100.0 * rate / limit, perNameMs,
                perNameMs - (throttle + 1), throttle + 1);
    std::fflush(stdout);
}

// How long a pause of throttle + 1 ms really lasts on the scheduler the run uses.
void measurePause(int throttle)
{
    platform::QtScheduler scheduler;
    QEventLoop loop;
    QElapsedTimer clock;
    constexpr int kPauses = 100;
    int done = 0;
    qint64 totalNs = 0;
    qint64 worstNs = 0;
    std::function<void()> pause = [&] {
        clock.start();
        scheduler.callAfter(throttle + 1, [&] {
            const qint64 elapsed = clock.nsecsElapsed();
            totalNs += elapsed;
            worstNs = qMax(worstNs, elapsed);
            if (++done < kPauses)
                pause();
            else
                loop.quit();
        });
    };
    pause();
    loop.exec();
    std::printf("pause for throttle %3d ms: mean %.3f ms, longest %.3f ms (of %d)\n", throttle,
                totalNs / 1e6 / kPauses, worstNs / 1e6, kPauses);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const int names = args.isEmpty() ? 10000 : args.first().toInt();
    QList<int> throttles;
    for (qsizetype i = 1; i < args.size(); ++i)
        throttles.append(args.at(i).toInt());
    if (throttles.isEmpty())
        throttles = {0, 25, 100};

    testing::FakeWhoisServer server;
    if (!server.start()) {
        std::fprintf(stderr, "could not listen on 127.0.0.1\n");
        return 1;
    }
    server.setDefault(
        {testing::FakeWhoisServer::Mode::AnswerAndClose, QByteArrayLiteral("No match for domain.\r\n")});
    for (int throttle : throttles) {
        measurePause(throttle);
        measure(names, throttle, server.port());
    }
    return 0;
}
