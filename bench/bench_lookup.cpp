// Lookups per second through one slot: startLookup to verdict, the next lookup started from
// the verdict with no pause, against the fake whois server on 127.0.0.1. Run once with the
// server on the slot's own thread (as the tests do) and once with the server on a thread of
// its own, which is closer to a real server on another machine.
#include "FakeWhoisServer.h"
#include "core/lookup/LookupEvidence.h"
#include "core/lookup/LookupSlot.h"
#include "platform/QtScheduler.h"
#include "platform/QtWhoisConnection.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace wendlecott;

namespace {

constexpr int kLookups = 3000;
constexpr qint64 kTimeLimitMs = 60000;

struct Figures {
    int done = 0;
    int available = 0;
    qint64 totalNs = 0;
    std::vector<qint64> latenciesNs;
};

Figures run(quint16 port)
{
    platform::QtScheduler scheduler;
    core::Timing timing;
    core::LookupSlot slot(0, std::make_unique<platform::QtWhoisConnection>(), scheduler, timing);
    core::TldEntry entry;
    entry.extension = QStringLiteral("com");
    entry.server = QStringLiteral("127.0.0.1");
    entry.port = port;
    entry.enabled = true;
    entry.successWords = core::kStandardSuccessWords;

    Figures figures;
    figures.latenciesNs.reserve(kLookups);
    QElapsedTimer total;
    QElapsedTimer one;
    auto startNext = [&] {
        one.start();
        slot.startLookup(QStringLiteral("name%1.com").arg(figures.done), entry);
    };
    QObject::connect(&slot, &core::LookupSlot::finished, [&](const core::WhoisAnswer &answer) {
        core::LookupEvidence evidence; // judged as a lookup judges it, so the figure includes the verdict
        evidence.name = slot.name();
        core::judgeExchange(evidence, answer,
                            {core::VerdictRules::SuccessWords, entry.successWords, nullptr});
        figures.latenciesNs.push_back(one.nsecsElapsed());
        ++figures.done;
        if (evidence.verdict == core::LookupVerdict::Available)
            ++figures.available;
        if (figures.done < kLookups && total.elapsed() < kTimeLimitMs)
            startNext();
        else
            QCoreApplication::exit(0);
    });
    QTimer::singleShot(kTimeLimitMs + 5000, [] { QCoreApplication::exit(1); }); // a lookup that never ends
    total.start();
    QTimer::singleShot(0, startNext);
    QCoreApplication::exec();
    figures.totalNs = total.nsecsElapsed();
    slot.abort();
    return figures;
}

void print(const char *label, Figures figures)
{
    if (figures.done == 0) {
        std::printf("%s: no lookup finished\n", label);
        return;
    }
    std::sort(figures.latenciesNs.begin(), figures.latenciesNs.end());
    const double seconds = double(figures.totalNs) / 1e9;
    const auto at = [&](double q) {
        return double(figures.latenciesNs[size_t(q * (figures.done - 1))]) / 1e3;
    };
    const auto slow = std::count_if(figures.latenciesNs.begin(), figures.latenciesNs.end(),
                                    [](qint64 ns) { return ns > 1000000; });
    std::printf("%s: %d lookups (%d available) in %.3f s: %.0f names/s, mean %.1f us per lookup "
                "(median %.1f, p99 %.1f, max %.1f; %d over 1 ms)\n",
                label, figures.done, figures.available, seconds, figures.done / seconds,
                double(figures.totalNs) / 1e3 / figures.done, at(0.5), at(0.99), at(1.0), int(slow));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);

    {
        testing::FakeWhoisServer server;
        if (!server.start()) {
            std::printf("could not listen on 127.0.0.1\n");
            return 1;
        }
        print("server on the same thread", run(server.port()));
    }

    QThread serverThread;
    serverThread.start();
    auto *server = new testing::FakeWhoisServer;
    server->moveToThread(&serverThread);
    bool listening = false;
    QMetaObject::invokeMethod(
        server, [&] { listening = server->start(); }, Qt::BlockingQueuedConnection);
    if (!listening) {
        std::printf("could not listen on 127.0.0.1\n");
        return 1;
    }
    quint16 port = 0;
    QMetaObject::invokeMethod(
        server, [&] { port = server->port(); }, Qt::BlockingQueuedConnection);
    print("server on its own thread", run(port));
    QMetaObject::invokeMethod(
        server, [server] { delete server; }, Qt::BlockingQueuedConnection);
    serverThread.quit();
    serverThread.wait();
    return 0;
}
