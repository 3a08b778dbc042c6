// A sweep of the 17,576 three-letter names of one extension, 98 % of them delegated in a
// zone served by Knot DNS on loopback. First the DNS step alone: the delegation check (c-ares,
// many in flight, no pace) beside dnsperf against the same server with the same names in the
// same run. Then the whole sweep through the run engine with DNS first (DNS unpaced), the
// names not delegated answered by a loopback whois server at throttle 25, and the same run
// with DNS first off (the described run, every name asked of whois). Prints names per second,
// the outcomes, registry queries, sweep times and peak memory.
// The run with DNS first off takes about 28 ms a name (the whole list: over 8 minutes), so by
// default it covers the first 2,000 names and the whole list's time is extrapolated.
//   bench_dnsfirst [IN_FLIGHT] [NAMES_WITH_DNS_OFF]   (defaults 256, 2000; 0 skips that run)
#include "FakeNotice.h"
#include "FakeWhoisServer.h"
#include "KnotServer.h"
#include "core/dns/DelegationQuery.h"
#include "core/lists/ResultLists.h"
#include "core/run/CheckRun.h"
#include "core/tld/TldTable.h"
#include "platform/QtScheduler.h"
#include "platform/QtWhoisConnection.h"
#include "platform/dns/CaresTransport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>

using namespace wendlecott;

namespace {

constexpr int kUndelegatedEvery = 50; // 2 % of the names are not in the zone
constexpr int kTimeLimitMs = 120000;
const QString kExtension = QStringLiteral("com");

QStringList threeLetterNames()
{
    QStringList names;
    QString name(3, QLatin1Char('a'));
    for (char a = 'a'; a <= 'z'; ++a) {
        for (char b = 'a'; b <= 'z'; ++b) {
            for (char c = 'a'; c <= 'z'; ++c) {
                name[0] = QLatin1Char(a);
                name[1] = QLatin1Char(b);
                name[2] = QLatin1Char(c);
                names.append(name);
            }
        }
    }
    return names;
}

QString zoneText(const QStringList &labels)
{
    QString zone =
        QStringLiteral("$ORIGIN com.\n$TTL 172800\n@ SOA a.gtld.example. nstld.example. 1 1800 900 "
                       "604800 86400\n@ NS a.gtld.example.\n");
    for (int i = 0; i < labels.size(); ++i) {
        if (i % kUndelegatedEvery == 0)
            continue;
        const int host = i % 7;
        zone += QStringLiteral("%1 NS ns1.host%2.example.\n%1 NS ns2.host%2.example.\n")
                    .arg(labels.at(i))
                    .arg(host);
    }
    return zone;
}

long peakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

struct Sweep {
    int delegated = 0;
    int notDelegated = 0;
    int undecided = 0;
    qint64 ms = 0;
};

Sweep sweep(const QStringList &labels, quint16 port, int inFlight)
{
    platform::QtScheduler scheduler;
    platform::CaresTransport transport(scheduler);
    core::DelegationOptions options;
    options.serverOverride = QStringLiteral("127.0.0.1:%1").arg(port);
    options.queriesPerSecond = 0;
    options.maxInFlight = inFlight;
    core::DelegationQuery query(transport, scheduler, nullptr, options);
    Sweep result;
    QEventLoop loop;
    QObject::connect(&query, &core::DelegationQuery::finished, &loop, [&](const core::DelegationEvidence &e) {
        (e.outcome == core::DelegationOutcome::Delegated      ? result.delegated
         : e.outcome == core::DelegationOutcome::NotDelegated ? result.notDelegated
                                                              : result.undecided)++;
        if (result.delegated + result.notDelegated + result.undecided == labels.size())
            loop.quit();
    });
    QTimer::singleShot(kTimeLimitMs, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    for (const QString &label : labels)
        query.ask(label + QLatin1Char('.') + kExtension);
    loop.exec();
    result.ms = clock.elapsed();
    return result;
}

// What a whole sweep through the run engine came to.
struct EngineSweep {
    int names = 0;
    int registered = 0;
    int settledByDns = 0;
    int available = 0;
    int other = 0;
    qint64 whoisQueries = 0;
    qint64 ms = 0;
    qint64 firstWhoisMs = -1; // when the first and the last registry query arrived
    qint64 lastWhoisMs = -1;
    qint64 dnsDoneMs = -1; // when the last name left the DNS step
    long peakKiB = 0;
};

constexpr int kWhoisThrottleMs = 25;
constexpr int kEngineTimeLimitMs = 900000;

// The run over `labels` in .com, whois at 127.0.0.1:`whoisPort` at throttle 25; with DNS
// first (asking 127.0.0.1:`dnsPort`, unpaced) or the described run without it.
EngineSweep engineSweep(const QStringList &labels, quint16 dnsPort, bool dnsFirst)
{
    QTemporaryDir folder;
    testing::FakeWhoisServer whois;
    whois.setDefault(
        {testing::FakeWhoisServer::Mode::AnswerAndClose, QByteArrayLiteral("No match for domain.\r\n")});
    if (!whois.start())
        return {};
    testing::FakeNotice notice;
    core::NoClipboard clipboard;
    core::NoAddressOpener opener;
    platform::QtScheduler scheduler;
    platform::CaresTransport transport(scheduler);
    core::ServerPacer pacer(scheduler);
    pacer.setSharedThrottle(kWhoisThrottleMs);
    core::Timing timing;
    core::TldTable table;
    core::TldEntry row;
    row.extension = kExtension;
    row.server = QStringLiteral("127.0.0.1");
    row.port = whois.port();
    row.throttle = kWhoisThrottleMs;
    row.successWords = QStringLiteral("No match");
    table.rows.append(row);
    core::ResultLists lists(folder.path(), notice, clipboard, opener);
    core::RunEnvironment environment{table, [] { return false; }, pacer, lists, notice};
    environment.dnsTransport = [&transport]() -> core::DnsTransport * { return &transport; };
    core::RunChoices choices;
    choices.dnsFirst = {dnsFirst, QStringLiteral("127.0.0.1:%1").arg(dnsPort), 0};
    const std::unique_ptr<core::CheckRun> run =
        core::makeRun(environment, scheduler, timing, platform::QtWhoisConnection::factory(), choices);
    EngineSweep result;
    result.names = int(labels.size());
    QObject::connect(run.get(), &core::CheckRun::recordFinished, run.get(),
                     [&](const core::RunRecord &record) {
                         if (record.kind == core::RunRecord::Kind::Registered)
                             ++result.registered;
                         else if (record.kind == core::RunRecord::Kind::Available)
                             ++result.available;
                         else
                             ++result.other;
                     });
    core::RunSource source;
    source.listPath = QStringLiteral("three-letter names");
    source.readEntry = [&labels](qint32 position) -> core::Result<QString> {
        return position <= labels.size() ? labels.at(position - 1) + QStringLiteral(".") + kExtension
                                         : QString();
    };
    QEventLoop loop;
    QObject::connect(run.get(), &core::CheckRun::stopped, &loop, &QEventLoop::quit);
    QTimer::singleShot(kEngineTimeLimitMs, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    QObject::connect(&whois, &testing::FakeWhoisServer::requestReceived, &loop, [&] {
        result.lastWhoisMs = clock.elapsed();
        if (result.firstWhoisMs < 0)
            result.firstWhoisMs = result.lastWhoisMs;
    });
    QObject::connect(run.get(), &core::CheckRun::statusChanged, &loop, [&] {
        if (dnsFirst && result.dnsDoneMs < 0 && run->status().askingDns == 0 &&
            run->status().settledByDns + int(whois.requests().size()) + run->status().queued +
                    run->status().inFlight >=
                int(labels.size()))
            result.dnsDoneMs = clock.elapsed();
    });
    clock.start();
    run->startRun(source, 1, qint32(labels.size()));
    loop.exec();
    result.ms = clock.elapsed();
    run->stopRun();
    result.settledByDns = run->settledByDnsCount();
    result.whoisQueries = whois.requests().size();
    result.peakKiB = peakKiB();
    return result;
}

void printEngineSweep(const char *title, const EngineSweep &s, qint64 undelegated)
{
    std::printf("%s: %d names in %lld ms (%.0f names/s); registered %d (%d settled by DNS), available %d, "
                "other %d; registry queries %lld",
                title, s.names, s.ms, s.ms > 0 ? s.names * 1000.0 / double(s.ms) : 0.0, s.registered,
                s.settledByDns, s.available, s.other, s.whoisQueries);
    if (undelegated >= 0)
        std::printf(" (undelegated names: %lld; target time %.1f s)", undelegated,
                    1.1 * double(undelegated) * (kWhoisThrottleMs + 1) / 1000.0 + 2.0);
    std::printf("; peak memory %ld KiB\n", s.peakKiB);
    if (s.whoisQueries > 1)
        std::printf("  registry queries from %lld ms to %lld ms: %.1f ms apart%s\n", s.firstWhoisMs,
                    s.lastWhoisMs, double(s.lastWhoisMs - s.firstWhoisMs) / double(s.whoisQueries - 1),
                    s.dnsDoneMs >= 0 ? qPrintable(QStringLiteral("; DNS step done at %1 ms").arg(s.dnsDoneMs))
                                     : "");
}

// dnsperf over the same names, one pass; its queries per second, or -1.
double dnsperf(const QString &folder, const QStringList &labels, quint16 port)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("dnsperf"));
    if (program.isEmpty())
        return -1;
    QFile input(folder + QStringLiteral("/queries.txt"));
    if (!input.open(QIODevice::WriteOnly))
        return -1;
    for (const QString &label : labels)
        input.write((label + QLatin1Char('.') + kExtension + QStringLiteral(" NS\n")).toLatin1());
    input.close();
    QProcess process;
    process.start(program,
                  {QStringLiteral("-s"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                   QString::number(port), QStringLiteral("-d"), input.fileName(), QStringLiteral("-n"),
                   QStringLiteral("1"), QStringLiteral("-e"), QStringLiteral("-t"), QStringLiteral("2")});
    if (!process.waitForFinished(kTimeLimitMs))
        process.kill();
    const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
    const auto match = QRegularExpression(QStringLiteral("Queries per second:\\s+([0-9.]+)")).match(out);
    return match.hasMatch() ? match.captured(1).toDouble() : -1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int inFlight = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 256;
    const qsizetype namesWithDnsOff = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 2000;
    QTemporaryDir folder;
    const QStringList labels = threeLetterNames();
    testing::KnotServer knot(folder.path());
    const auto port = knot.start({{kExtension, zoneText(labels)}}, 2);
    if (!port) {
        std::fprintf(stderr, "Knot did not start: %s\n", qPrintable(port.message()));
        return 1;
    }
    const long before = peakKiB();
    const Sweep dns = sweep(labels, port.value(), inFlight);
    const long after = peakKiB();
    const double perf = dnsperf(folder.path(), labels, port.value());
    const Sweep again = sweep(labels, port.value(), inFlight);
    const EngineSweep withDns = engineSweep(labels, port.value(), true);
    const QStringList offLabels = labels.mid(0, qBound<qsizetype>(0, namesWithDnsOff, labels.size()));
    const EngineSweep withoutDns =
        offLabels.isEmpty() ? EngineSweep{} : engineSweep(offLabels, port.value(), false);
    (void)testing::KnotServer::stop(folder.path());

    const auto rate = [&](const Sweep &s) { return s.ms > 0 ? labels.size() * 1000.0 / double(s.ms) : 0.0; };
    std::printf("names: %lld in .%s, %d not in the zone; %d in flight at most\n", qlonglong(labels.size()),
                qPrintable(kExtension), int((labels.size() + kUndelegatedEvery - 1) / kUndelegatedEvery),
                inFlight);
    for (const Sweep *s : {&dns, &again})
        std::printf("delegation check: %lld ms, %.0f names/s; delegated %d, not delegated %d, undecided %d\n",
                    s->ms, rate(*s), s->delegated, s->notDelegated, s->undecided);
    if (perf > 0)
        std::printf("dnsperf (same server, same names, one pass): %.0f queries/s; check at %.0f %% of it\n",
                    perf, 100.0 * std::max(rate(dns), rate(again)) / perf);
    else
        std::printf("dnsperf: not run\n");
    std::printf("peak memory: %ld KiB before the check, %ld KiB after\n", before, after);
    const qint64 undelegated = (labels.size() + kUndelegatedEvery - 1) / kUndelegatedEvery;
    printEngineSweep("whole sweep, DNS first", withDns, undelegated);
    if (withoutDns.names > 0) {
        printEngineSweep("same run, DNS first off", withoutDns, -1);
        std::printf("DNS first off, per name: %.1f ms; the whole list at that pace: %.0f s\n",
                    double(withoutDns.ms) / withoutDns.names,
                    double(withoutDns.ms) / withoutDns.names * double(labels.size()) / 1000.0);
    }
    return 0;
}
