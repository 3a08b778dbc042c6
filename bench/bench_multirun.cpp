// Runs over several extensions, each extension on its own fake whois server on 127.0.0.1,
// with the real sockets, timers and result lists:
//  1. NAMES names x 5 extensions, throttle 25, jobs 8 (paced run): names/s against the
//     per-server limit 5 x 1000 / 26, and the shortest gap between two requests one server
//     received;
//  2. the same domains through the single-slot run, and the ratio of the two;
//  3. throttle 0, jobs 8, beside a shell loop of the system's whois client
//     (whois -h 127.0.0.1 -p PORT NAME) over LOOP names;
//  4. peak memory with 100,000 names x 5 extensions queued.
// Every server answers that the name is taken.
//
//   bench_multirun [NAMES] [LOOP] [JOBS]   (defaults: 1000 names, 200 names for the whois loop,
//                                           8 jobs at throttle 0)
#include "FakeWhoisServer.h"
#include "core/base/UserNotice.h"
#include "core/lists/ResultLists.h"
#include "core/pacing/ServerPacer.h"
#include "core/run/CheckRun.h"
#include "platform/QtScheduler.h"
#include "platform/QtWhoisConnection.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMutex>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <map>
#include <memory>
#include <type_traits>

using namespace wendlecott;

namespace {

const QStringList kExtensions = {QStringLiteral("com"), QStringLiteral("net"), QStringLiteral("org"),
                                 QStringLiteral("info"), QStringLiteral("biz")};

// The shortest gap between two neighbouring times of one list, in ns (-1: none).
template <typename Lists> qint64 shortestGap(const Lists &lists)
{
    qint64 shortest = -1;
    for (const auto &entry : lists) {
        const QList<qint64> &list = [&]() -> const QList<qint64> & {
            if constexpr (std::is_same_v<std::decay_t<decltype(entry)>, QList<qint64>>)
                return entry;
            else
                return entry.second;
        }();
        for (qsizetype i = 1; i < list.size(); ++i) {
            const qint64 gap = list.at(i) - list.at(i - 1);
            if (shortest < 0 || gap < shortest)
                shortest = gap;
        }
    }
    return shortest;
}

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
    void showBlocked(const QString &, const QString &, const QString &) override {}
    void showOverflowNotice() override {}
};

// Five servers, one per extension, on a thread of their own as a real server is apart from
// its client; each notes when its requests arrive.
struct Servers {
    QThread thread;
    QObject home; // lives on the servers' thread
    std::vector<std::unique_ptr<testing::FakeWhoisServer>> servers;
    std::vector<quint16> ports;
    mutable QMutex mutex;
    std::vector<QList<qint64>> arrivals;
    QElapsedTimer clock;

    ~Servers()
    {
        QMetaObject::invokeMethod(
            &home, [this] { servers.clear(); }, Qt::BlockingQueuedConnection);
        thread.quit();
        thread.wait();
    }
    bool start()
    {
        clock.start();
        arrivals.resize(std::size_t(kExtensions.size()));
        home.moveToThread(&thread);
        thread.start();
        bool listening = true;
        QMetaObject::invokeMethod(
            &home,
            [this, &listening] {
                for (qsizetype i = 0; i < kExtensions.size(); ++i) {
                    auto server = std::make_unique<testing::FakeWhoisServer>();
                    listening = server->start() && listening;
                    // Most names asked are taken: filed as registered, which writes no file.
                    server->setDefault({testing::FakeWhoisServer::Mode::AnswerAndClose,
                                        QByteArrayLiteral("Domain Name: TAKEN\r\n")});
                    QObject::connect(server.get(), &testing::FakeWhoisServer::requestReceived, server.get(),
                                     [this, i] {
                                         const QMutexLocker lock(&mutex);
                                         arrivals[std::size_t(i)].append(clock.nsecsElapsed());
                                     });
                    ports.push_back(server->port());
                    servers.push_back(std::move(server));
                }
            },
            Qt::BlockingQueuedConnection);
        return listening;
    }
    void forget()
    {
        const QMutexLocker lock(&mutex);
        for (auto &list : arrivals)
            list.clear();
    }
    // The shortest gap between two requests to one server, in ms.
    double shortestGapMs() const
    {
        const QMutexLocker lock(&mutex);
        return shortestGap(arrivals) / 1e6;
    }
    core::TldTable table(int throttle) const
    {
        core::TldTable table;
        for (qsizetype i = 0; i < kExtensions.size(); ++i) {
            core::TldEntry row;
            row.extension = kExtensions.at(i);
            row.server = QStringLiteral("127.0.0.1");
            row.port = ports.at(std::size_t(i));
            row.enabled = true;
            row.throttle = throttle;
            row.successWords = QStringLiteral("No match");
            table.rows.append(row);
        }
        return table;
    }
};

// A real connection that notes when the run opens it, by port.
class TimedConnection final : public core::WhoisConnection {
public:
    TimedConnection(std::unique_ptr<core::WhoisConnection> real, std::map<quint16, QList<qint64>> &opens,
                    const QElapsedTimer &clock)
        : m_real(std::move(real)), m_opens(opens), m_clock(clock)
    {
        connect(m_real.get(), &WhoisConnection::connected, this, &WhoisConnection::connected);
        connect(m_real.get(), &WhoisConnection::dataArrived, this, &WhoisConnection::dataArrived);
        connect(m_real.get(), &WhoisConnection::closedByPeer, this, &WhoisConnection::closedByPeer);
        connect(m_real.get(), &WhoisConnection::failed, this, &WhoisConnection::failed);
    }
    void open(const QString &host, quint16 port) override
    {
        m_opens[port].append(m_clock.nsecsElapsed());
        m_real->open(host, port);
    }
    bool send(const QByteArray &bytes) override { return m_real->send(bytes); }
    void close() override { m_real->close(); }
    QString remoteHost() const override { return m_real->remoteHost(); }
    quint16 remotePort() const override { return m_real->remotePort(); }

private:
    std::unique_ptr<core::WhoisConnection> m_real;
    std::map<quint16, QList<qint64>> &m_opens;
    const QElapsedTimer &m_clock;
};

QString nameAt(qint32 p)
{
    return QStringLiteral("n%1").arg(p, 5, 10, QLatin1Char('0'));
}

// Entries as names (paced run) or as one domain per entry, five per name (single slot).
core::RunSource source(int names, bool domainsAsEntries)
{
    core::RunSource s;
    const int entries = domainsAsEntries ? names * int(kExtensions.size()) : names;
    s.readEntry = [entries, domainsAsEntries](qint32 p) -> core::Result<QString> {
        if (p > entries)
            return QStringLiteral("endoffileffile");
        if (!domainsAsEntries)
            return nameAt(p);
        const qint32 index = p - 1;
        return nameAt(index / qint32(kExtensions.size()) + 1) + QLatin1Char('.') +
               kExtensions.at(index % kExtensions.size());
    };
    s.domainFor = [](const QString &entry) { return entry; };
    s.domainForExtension = [](const QString &entry, const QString &extension) {
        return entry + QLatin1Char('.') + extension;
    };
    return s;
}

struct Figures {
    int finished = 0;
    double seconds = 0;
    double shortestOpenGapMs = -1; // between two connections the run opened to one server
};

template <typename Run> Figures runToEnd(Run &run, core::RunSource names, int entries, qint64 limitMs)
{
    Figures figures;
    QObject::connect(&run, &Run::recordFinished, &run, [&] { ++figures.finished; });
    QEventLoop loop;
    QObject::connect(&run, &Run::stopped, &loop, &QEventLoop::quit);
    QTimer::singleShot(limitMs, &loop, [&] { run.stopRun(); }); // bounded in time
    QElapsedTimer clock;
    clock.start();
    run.startRun(std::move(names), 1, entries);
    if (run.isRunning())
        loop.exec();
    figures.seconds = double(clock.nsecsElapsed()) / 1e9;
    return figures;
}

struct Environment {
    QTemporaryDir folder;
    core::TldTable table;
    QuietNotice notice;
    core::NoClipboard clipboard;
    core::NoAddressOpener opener;
    core::ResultLists lists{folder.path(), notice, clipboard, opener};
    core::Timing timing;
    platform::QtScheduler scheduler;
    core::ServerPacer pacer{scheduler};

    explicit Environment(core::TldTable rows) : table(std::move(rows)) {}
    core::RunEnvironment run()
    {
        return core::RunEnvironment{table, [] { return false; }, pacer, lists, notice};
    }
};

Figures pacedRun(Servers &servers, int names, int throttle, int jobs)
{
    Environment env(servers.table(throttle));
    core::RunPolicy options = core::RunPolicy::paced(jobs, kExtensions);
    std::map<quint16, QList<qint64>> opens;
    QElapsedTimer clock;
    clock.start();
    const core::ConnectionFactory real = platform::QtWhoisConnection::factory();
    const core::ConnectionFactory timed = [&] {
        return std::make_unique<TimedConnection>(real(), opens, clock);
    };
    core::CheckRun run(env.run(), env.scheduler, env.timing, timed, options);
    const int domains = names * int(kExtensions.size());
    Figures figures =
        runToEnd(run, source(names, false), names, qint64(domains) * (throttle + 1) * 2 + 60000);
    figures.shortestOpenGapMs = shortestGap(opens) / 1e6;
    return figures;
}

Figures singleSlotRun(Servers &servers, int names, int throttle)
{
    Environment env(servers.table(throttle));
    env.pacer.setSharedThrottle(throttle);
    core::CheckRun run(env.run(), env.scheduler, env.timing, platform::QtWhoisConnection::factory());
    const int domains = names * int(kExtensions.size());
    return runToEnd(run, source(names, true), domains, qint64(domains) * (throttle + 1) * 2 + 60000);
}

// The same domains asked one after another by the system's whois client.
double whoisLoopRate(const Servers &servers, int names)
{
    const QString whois = QStandardPaths::findExecutable(QStringLiteral("whois"));
    if (whois.isEmpty()) {
        std::printf("whois loop: skipped, no whois client installed (Debian package whois)\n");
        return 0;
    }
    QString script = QStringLiteral("for i in $(seq 1 %1); do for p in").arg(names);
    for (const quint16 port : servers.ports)
        script += QStringLiteral(" %1").arg(port);
    script += QStringLiteral("; do \"%1\" -h 127.0.0.1 -p $p n$i.test > /dev/null; done; done").arg(whois);
    QProcess shell;
    QEventLoop loop;
    QObject::connect(&shell, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(600000, &loop, [&] { shell.kill(); }); // bounded in time
    QElapsedTimer clock;
    clock.start();
    shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script});
    loop.exec(); // the servers answer meanwhile
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const double rate = names / seconds;
    std::printf("whois loop: %d names x 5 in %.2f s = %.1f names/s\n", names, seconds, rate);
    return rate;
}

qint64 statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// Every domain of 100,000 names queued at once (nothing asked yet).
void queuedMemory(Servers &servers)
{
    const qint64 before = statusKb("VmRSS:");
    Environment env(servers.table(25));
    core::RunPolicy options = core::RunPolicy::paced(8, kExtensions);
    options.readAhead = 1000000;
    constexpr int kNames = 100000;
    core::CheckRun run(env.run(), env.scheduler, env.timing, platform::QtWhoisConnection::factory(), options);
    run.startRun(source(kNames, false), 1, kNames);
    const core::RunStatus status = run.status();
    const qint64 after = statusKb("VmRSS:");
    std::printf("queued %d domains (%d names x 5): resident %.1f MiB before, %.1f MiB after (+%.1f MiB, "
                "%.0f bytes a domain); peak resident %.1f MiB\n",
                status.queued + status.inFlight, kNames, before / 1024.0, after / 1024.0,
                (after - before) / 1024.0, (after - before) * 1024.0 / qMax(1, status.queued),
                statusKb("VmHWM:") / 1024.0);
    run.stopRun();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const int names = args.isEmpty() ? 1000 : qMax(1, args.at(0).toInt());
    const int loopNames = args.size() < 2 ? 200 : qMax(1, args.at(1).toInt());
    const int fastJobs = args.size() < 3 ? 8 : qBound(1, args.at(2).toInt(), core::RunPolicy::kMaxJobs);

    Servers servers;
    if (!servers.start()) {
        std::fprintf(stderr, "could not listen on 127.0.0.1\n");
        return 1;
    }
    queuedMemory(servers);
    std::fflush(stdout);

    const double limit = 5 * 1000.0 / 26;
    const Figures paced = pacedRun(servers, names, 25, 8);
    const double pacedRate = paced.finished / paced.seconds;
    std::printf("paced run, throttle 25, jobs 8: %d domains of %d names in %.2f s = %.1f domains/s; "
                "limit %.1f (%.1f %%); shortest gap between two requests to one server: %.3f ms as "
                "opened, %.3f ms as received\n",
                paced.finished, names, paced.seconds, pacedRate, limit, 100.0 * pacedRate / limit,
                paced.shortestOpenGapMs, servers.shortestGapMs());
    std::fflush(stdout);

    servers.forget();
    const Figures single = singleSlotRun(servers, names, 25);
    const double singleRate = single.finished / single.seconds;
    std::printf(
        "single-slot run, throttle 25: %d domains in %.2f s = %.1f domains/s; paced run %.2f x as fast\n",
        single.finished, single.seconds, singleRate, pacedRate / singleRate);
    std::fflush(stdout);

    servers.forget();
    const Figures fast = pacedRun(servers, names, 0, fastJobs);
    const double fastRate = fast.finished / fast.seconds / 5;
    std::printf(
        "paced run, throttle 0, jobs %d: %d domains in %.2f s = %.1f names x 5/s; shortest gap %.3f ms\n",
        fastJobs, fast.finished, fast.seconds, fastRate, servers.shortestGapMs());
    std::fflush(stdout);
    if (const double loopRate = whoisLoopRate(servers, loopNames); loopRate > 0)
        std::printf("paced run against the whois loop: %.1f x\n", fastRate / loopRate);
    return 0;
}
