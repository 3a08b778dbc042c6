// Lookups per second through the one-lookup unit, one at a time, the next started from the
// verdict: over RDAP against the loopback HTTP server, and over whois against the loopback
// whois server, in one run. Each server runs on a thread of its own, as a real server would
// be elsewhere.
#include "FakeHttpServer.h"
#include "FakeWhoisServer.h"
#include "core/lookup/DomainLookup.h"
#include "core/lookup/RdapBootstrap.h"
#include "platform/QtHttpClient.h"
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

constexpr int kLookups = 2000;
constexpr qint64 kTimeLimitMs = 60000;

struct Figures {
    int done = 0;
    int withVerdict = 0;
    qint64 totalNs = 0;
    std::vector<qint64> latenciesNs;
};

Figures run(core::LookupProtocol protocol, const core::LookupServices &services, const core::TldTable &table)
{
    platform::QtScheduler scheduler;
    core::Timing timing;
    core::DomainLookup lookup(core::WhoisStyle::Retrying, std::make_unique<platform::QtWhoisConnection>(),
                              table, services, scheduler, timing);
    core::LookupChoices choices;
    choices.protocol = protocol;
    choices.rules = core::VerdictRules::Evidence;
    choices.timeLimitMs = timing.tickMs * timing.watchdogTicks; // a run's watchdog

    Figures figures;
    figures.latenciesNs.reserve(kLookups);
    QElapsedTimer total;
    QElapsedTimer one;
    auto startNext = [&] {
        one.start();
        (void)lookup.start(QStringLiteral("name%1.com").arg(figures.done), choices);
    };
    QObject::connect(&lookup, &core::DomainLookup::finished, [&](const core::LookupEvidence &evidence) {
        figures.latenciesNs.push_back(one.nsecsElapsed());
        ++figures.done;
        if (evidence.hasVerdict())
            ++figures.withVerdict;
        if (figures.done < kLookups && total.elapsed() < kTimeLimitMs)
            QTimer::singleShot(0, startNext); // from the event loop, as the run starts its next name
        else
            QCoreApplication::exit(0);
    });
    QTimer::singleShot(kTimeLimitMs + 5000, [] { QCoreApplication::exit(1); });
    total.start();
    QTimer::singleShot(0, startNext);
    QCoreApplication::exec();
    figures.totalNs = total.nsecsElapsed();
    lookup.cancel();
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
    std::printf("%s: %d lookups (%d with a verdict) in %.3f s: %.0f lookups/s, median %.1f us, p99 %.1f us\n",
                label, figures.done, figures.withVerdict, seconds, figures.done / seconds, at(0.5), at(0.99));
}

// Starts a server object on a thread of its own; false when it cannot listen.
template <typename Server> bool startOn(QThread &thread, Server *server, quint16 &port)
{
    server->moveToThread(&thread);
    bool listening = false;
    QMetaObject::invokeMethod(
        server,
        [&] {
            listening = server->start();
            port = server->port();
        },
        Qt::BlockingQueuedConnection);
    return listening;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QThread httpThread;
    QThread whoisThread;
    httpThread.start();
    whoisThread.start();
    auto *http = new testing::FakeHttpServer;
    auto *whois = new testing::FakeWhoisServer;
    quint16 httpPort = 0;
    quint16 whoisPort = 0;
    if (!startOn(httpThread, http, httpPort) || !startOn(whoisThread, whois, whoisPort)) {
        std::printf("could not listen on 127.0.0.1\n");
        return 1;
    }
    // Every RDAP name is unknown to the server: a 404 with a small error object, as registries send.
    QMetaObject::invokeMethod(
        http,
        [http] {
            http->setDefault({testing::FakeHttpServer::Mode::Answer,
                              404,
                              {{"Content-Type", "application/rdap+json"}},
                              "{\"errorCode\":404,\"title\":\"Not Found\"}"});
        },
        Qt::BlockingQueuedConnection);

    core::TldTable table;
    core::TldEntry com;
    com.extension = QStringLiteral("com");
    com.server = QStringLiteral("127.0.0.1");
    com.port = whoisPort;
    com.enabled = true;
    com.successWords = core::kStandardSuccessWords;
    table.rows = {com};
    const core::RdapBootstrap bootstrap =
        core::RdapBootstrap::parse(
            QStringLiteral("{\"services\":[[[\"com\"],[\"http://127.0.0.1:%1/rdap/\"]]]}")
                .arg(httpPort)
                .toUtf8())
            .value();
    platform::QtHttpClient client;
    const core::LookupServices services{&bootstrap, &client, nullptr};

    print("rdap  (loopback HTTP, one at a time)", run(core::LookupProtocol::Rdap, services, table));
    print("whois (loopback whois, one at a time)", run(core::LookupProtocol::Whois, services, table));

    QMetaObject::invokeMethod(
        http, [http] { delete http; }, Qt::BlockingQueuedConnection);
    QMetaObject::invokeMethod(
        whois, [whois] { delete whois; }, Qt::BlockingQueuedConnection);
    httpThread.quit();
    whoisThread.quit();
    httpThread.wait();
    whoisThread.wait();
    return 0;
}
