// The DNS step of a sweep: the 17,576 three-letter names of one extension, 98 % of them
// delegated in a zone served by Knot DNS on loopback, asked through the delegation check
// (c-ares, many in flight, no pace), beside dnsperf against the same server with the same
// names in the same run. Prints names per second of both, the outcomes and peak memory.
//   bench_dnsfirst [IN_FLIGHT]   (default 256)
#include "KnotServer.h"
#include "core/DelegationQuery.h"
#include "platform/QtScheduler.h"
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
    return 0;
}
