// Figures for the list builder against a result-page server on 127.0.0.1, through the real
// HTTP adapter and timers:
//  - a three-page run (the real result pages), with the program's timings (three one-second
//    start ticks and two 500 ms pauses included) and with the waits shrunk to 1 ms, which
//    leaves the cost of fetching, extracting and writing;
//  - the longest stall of the event loop while a large page (5 MB and 16 MB, the size limit)
//    is fetched and extracted, measured by a 1 ms timer that notes how late it ticks.
#include "ExtractionFixtures.h"
#include "FakeHttpServer.h"
#include "platform/QtHttpClient.h"
#include "platform/QtScheduler.h"
#include "sources/ListBuilder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <map>

using namespace wendlecott;
using sources::ListBuilder;

namespace {

QTextStream out(stdout);
constexpr int kRunLimitMs = 120000; // no run waits longer than this

const QString kQuery = QStringLiteral("domain+names");

QString googleTarget(int start)
{
    return QStringLiteral("/search?num=100&hl=en&lr=&ie=UTF-8&oe=UTF-8&safe=off&filter=0&start=") +
           QString::number(start) + QStringLiteral("&sa=N&q=") + kQuery;
}

QByteArray serpPage(const char *name)
{
    return testing::pageBytes(QStringLiteral(WENDLECOTT_TESTDATA "/html/serp/") + QLatin1String(name));
}

// Every result page kept for tests, one after another, up to `size` bytes.
QByteArray largePage(qsizetype size)
{
    QByteArray all;
    for (const QString &file : testing::pageFiles(QStringLiteral("serp")))
        all += testing::pageBytes(file);
    QByteArray page;
    page.reserve(size + all.size());
    while (page.size() < size)
        page += all;
    page.truncate(size);
    return page;
}

core::TldTable comNetOrg()
{
    return testing::tableOf({QStringLiteral("com"), QStringLiteral("net"), QStringLiteral("org")});
}

struct RunFigures {
    qint64 wallMs = 0;
    qint32 found = 0;
    qint64 longestStallMs = 0;                    // the whole run
    std::map<ListBuilder::Phase, qint64> byPhase; // the longest stall that ended in each phase
};

// One run of the list builder against `server`, timed, with a 1 ms timer that notes the
// longest gap between its ticks.
RunFigures runOnce(testing::FakeHttpServer &server, const core::Timing &timing)
{
    QTemporaryDir folder;
    platform::QtHttpClient http;
    platform::QtScheduler scheduler;
    ListBuilder builder({QStringLiteral("domain names"),
                         sources::SearchEngine::Google,
                         1000,
                         {QStringLiteral("http"), QStringLiteral("127.0.0.1:%1").arg(server.port())}},
                        comNetOrg(), config::ProgramFolder(folder.path()), http, scheduler, timing);
    RunFigures figures;
    bool done = false;
    QEventLoop loop;
    QObject::connect(&builder, &ListBuilder::finished, [&](const sources::ListBuilderResult &result) {
        figures.found = result.totalFound;
        done = true;
        loop.quit();
    });
    QTimer::singleShot(kRunLimitMs, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    QElapsedTimer sinceTick;
    QTimer monitor;
    monitor.setTimerType(Qt::PreciseTimer);
    monitor.setInterval(1);
    QObject::connect(&monitor, &QTimer::timeout, [&] {
        const qint64 gap = sinceTick.restart();
        figures.longestStallMs = qMax(figures.longestStallMs, gap);
        qint64 &phaseMax = figures.byPhase[builder.phase()];
        phaseMax = qMax(phaseMax, gap);
    });
    clock.start();
    sinceTick.start();
    monitor.start();
    builder.start();
    loop.exec();
    monitor.stop();
    figures.wallMs = clock.elapsed();
    if (!done)
        out << "  (run did not end within " << kRunLimitMs << " ms)\n";
    return figures;
}

void threePageRun()
{
    testing::FakeHttpServer server;
    if (!server.start())
        qFatal("no loopback server");
    server.answer(googleTarget(0), 200, serpPage("06-google-serp-parser-domain-nojs.html"));
    server.answer(googleTarget(100), 200, serpPage("02-google-serp-parser-com-domains.html"));
    server.answer(googleTarget(200), 200, serpPage("08-google-serp-parser-no-results-nojs.html"));

    core::Timing program;
    const RunFigures real = runOnce(server, program);
    out << "three-page run, program timings (3 x 1000 ms ticks, 2 x 500 ms pauses): " << real.wallMs
        << " ms, " << real.found << " names, " << server.requests().size() << " pages asked\n";

    core::Timing quick;
    quick.tickMs = 1;
    quick.listBuilderPageWaitMs = 1;
    qint64 best = -1;
    for (int round = 0; round < 5; ++round) {
        const RunFigures figures = runOnce(server, quick);
        best = best < 0 ? figures.wallMs : qMin(best, figures.wallMs);
    }
    out << "three-page run, waits shrunk to 1 ms (fetch + extract + write), best of 5: " << best << " ms\n";
}

void stallOnALargePage(qsizetype size)
{
    testing::FakeHttpServer server;
    if (!server.start())
        qFatal("no loopback server");
    const QByteArray page = largePage(size);
    server.answer(googleTarget(0), 200, page); // later pages: 404, the run ends
    core::Timing quick;
    quick.tickMs = 1;
    quick.listBuilderPageWaitMs = 1;
    RunFigures figures = runOnce(server, quick);
    out << "page of " << page.size() / (1 << 20) << " MiB: run " << figures.wallMs << " ms, " << figures.found
        << " names; longest event-loop stall " << figures.longestStallMs << " ms (fetching "
        << figures.byPhase[ListBuilder::Phase::Fetching] << " ms, extracting "
        << figures.byPhase[ListBuilder::Phase::Extracting] << " ms)\n";
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    threePageRun();
    stallOnALargePage(qsizetype(5) << 20);
    stallOnALargePage(sources::kMaxPageBytes - 1);
    out.flush();
    return 0;
}
