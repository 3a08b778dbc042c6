// The one-lookup unit with the clock, the whois connection and the HTTP client faked.
#include "FakeConnection.h"
#include "FakeHttpClient.h"
#include "FakeScheduler.h"
#include "TldRows.h"
#include "core/lookup/DomainLookup.h"
#include "core/lookup/RdapBootstrap.h"

#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

using namespace wendlecott;
using core::LookupProtocol;
using core::LookupVerdict;

namespace {

using testing::whoisRow;

struct Fixture {
    testing::FakeScheduler scheduler;
    core::Timing timing;
    core::TldTable table;
    core::RdapBootstrap bootstrap;
    testing::FakeHttpClient http;
    testing::FakeConnection *connection = nullptr;
    std::unique_ptr<core::DomainLookup> lookup;
    QList<core::LookupEvidence> finished;

    explicit Fixture(core::WhoisStyle style = core::WhoisStyle::Retrying)
    {
        table.rows = {whoisRow(QStringLiteral("com"), QStringLiteral("whois.com.test")),
                      whoisRow(QStringLiteral("de"), QStringLiteral("whois.de.test"), 4343, 40),
                      whoisRow(QStringLiteral("proxy"), QStringLiteral("proxy.test"), 4444, 5)};
        bootstrap =
            core::RdapBootstrap::parse("{\"services\":[[[\"com\",\"net\"],[\"https://rdap.test/v1/\"]]]}")
                .value();
        auto fake = std::make_unique<testing::FakeConnection>();
        connection = fake.get();
        lookup = std::make_unique<core::DomainLookup>(style, std::move(fake), table,
                                                      core::LookupServices{&bootstrap, &http, nullptr},
                                                      scheduler, timing);
        QObject::connect(lookup.get(), &core::DomainLookup::finished,
                         [this](const core::LookupEvidence &evidence) { finished.append(evidence); });
    }

    void answerWhois(const QByteArray &text)
    {
        connection->peerAccept();
        connection->peerSend(text);
        connection->peerClose();
    }
};

core::LookupChoices choices(LookupProtocol protocol, core::VerdictRules rules = core::VerdictRules::Evidence)
{
    core::LookupChoices result;
    result.protocol = protocol;
    result.rules = rules;
    return result;
}

} // namespace

class TestDomainLookup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void routesFollowTheProtocolTheBootstrapAndTheTable()
    {
        Fixture f;
        const core::LookupServices services{&f.bootstrap, &f.http, nullptr};
        // Whois: the row, as findTLD picks it.
        core::Result<core::LookupRoute> route = core::routeLookup(QStringLiteral("a.de"), f.table, services,
                                                                  core::LookupChoices::described(false));
        QCOMPARE(route.value().protocol, LookupProtocol::Whois);
        QCOMPARE(route.value().serverKey(), QStringLiteral("whois.de.test:4343"));
        QCOMPARE(route.value().throttleMs(), 40);
        // Auto: RDAP where the bootstrap has the extension, the row still setting the pace.
        route = core::routeLookup(QStringLiteral("a.com"), f.table, services, choices(LookupProtocol::Auto));
        QCOMPARE(route.value().protocol, LookupProtocol::Rdap);
        QCOMPARE(route.value().url.toString(), QStringLiteral("https://rdap.test/v1/domain/a.com"));
        QCOMPARE(route.value().serverKey(), QStringLiteral("https://rdap.test:443"));
        QCOMPARE(route.value().throttleMs(), 25);
        route = core::routeLookup(QStringLiteral("a.de"), f.table, services, choices(LookupProtocol::Auto));
        QCOMPARE(route.value().protocol, LookupProtocol::Whois);
        // With RDAP the bootstrap decides: net has no row yet is asked, at the default pace.
        route = core::routeLookup(QStringLiteral("a.net"), f.table, services, choices(LookupProtocol::Rdap));
        QCOMPARE(route.value().row, -1);
        QCOMPARE(route.value().throttleMs(), core::kDefaultThrottle);
        QCOMPARE(core::routeLookup(QStringLiteral("a.de"), f.table, services, choices(LookupProtocol::Rdap))
                     .code(),
                 core::ErrorCode::NoTldRow);
        // Without an HTTP client nothing goes over RDAP; auto falls back to whois.
        const core::LookupServices noHttp{&f.bootstrap, nullptr, nullptr};
        QCOMPARE(core::routeLookup(QStringLiteral("a.com"), f.table, noHttp, choices(LookupProtocol::Auto))
                     .value()
                     .protocol,
                 LookupProtocol::Whois);
        // Proxy mode sends whois lookups to the proxy row; RDAP lookups are no whois lookups.
        core::LookupChoices proxied = core::LookupChoices::forPreference(true, true);
        QCOMPARE(core::routeLookup(QStringLiteral("a.de"), f.table, services, proxied).value().entry.server,
                 QStringLiteral("proxy.test"));
        QCOMPARE(core::routeLookup(QStringLiteral("a.com"), f.table, services, proxied).value().protocol,
                 LookupProtocol::Rdap);
        // A name nothing serves: refused, unless a fallback server is named.
        core::TldTable empty;
        QCOMPARE(
            core::routeLookup(QStringLiteral("a.zz"), empty, services, core::LookupChoices::described(false))
                .code(),
            core::ErrorCode::NoTldRow);
        core::LookupChoices fallback = core::LookupChoices::described(false);
        fallback.whoisFallback = {QStringLiteral("fallback.test"), 43};
        route = core::routeLookup(QStringLiteral("a.zz"), empty, services, fallback);
        QCOMPARE(route.value().entry.server, QStringLiteral("fallback.test"));
        QCOMPARE(route.value().entry.successWords, core::kStandardSuccessWords);
    }

    void whoisEvidenceNamesTheServerTheWordAndTheCost()
    {
        Fixture f;
        QVERIFY(f.lookup->start(QStringLiteral("free.com"), core::LookupChoices::described(false)).ok());
        f.scheduler.advance(120);
        f.answerWhois("No match for FREE.COM\r\n");
        QCOMPARE(f.finished.size(), 1);
        const core::LookupEvidence &evidence = f.finished.first();
        QCOMPARE(evidence.verdict, LookupVerdict::Available);
        QCOMPARE(evidence.protocol, LookupProtocol::Whois);
        QCOMPARE(evidence.rules, core::VerdictRules::SuccessWords);
        QCOMPARE(evidence.server, QStringLiteral("whois.com.test"));
        QCOMPARE(evidence.port, quint16(43));
        QCOMPARE(evidence.rule, QStringLiteral("success-word"));
        QCOMPARE(evidence.matchedWord, QStringLiteral("No match"));
        QCOMPARE(evidence.answerBytes, qint64(23));
        QCOMPARE(evidence.elapsedMs, qint64(120));
        QCOMPARE(evidence.connections, 1);
        QCOMPARE(f.connection->sent, QByteArray("free.com\r\n"));

        const QJsonObject json = core::evidenceJson(evidence, false);
        QCOMPARE(json.value(QStringLiteral("verdict")).toString(), QStringLiteral("Available"));
        QCOMPARE(json.value(QStringLiteral("protocol")).toString(), QStringLiteral("whois"));
        QCOMPARE(json.value(QStringLiteral("word")).toString(), QStringLiteral("No match"));
        QCOMPARE(json.value(QStringLiteral("bytes")).toInt(), 23);
        QCOMPARE(json.value(QStringLiteral("ms")).toInt(), 120);
        QVERIFY(!json.contains(QStringLiteral("answer")));
        QVERIFY(core::evidenceJson(evidence, true).contains(QStringLiteral("answer")));
    }

    void theChosenRuleJudgesWhoisAnswers_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<LookupVerdict>("byWords");
        QTest::addColumn<LookupVerdict>("byEvidence");
        // Not a byte is no answer, whichever rule; a line of white space is an answer.
        QTest::newRow("empty answer") << QByteArray() << LookupVerdict::Unknown << LookupVerdict::Unknown;
        QTest::newRow("white space") << QByteArray("\r\n") << LookupVerdict::Registered
                                     << LookupVerdict::Unknown;
        QTest::newRow("registration data") << QByteArray("Domain Name: TAKEN.COM\r\nRegistrar: Example "
                                                         "Registrar, Inc.\r\nCreation Date: 2001-01-01\r\n")
                                           << LookupVerdict::Registered << LookupVerdict::Registered;
        QTest::newRow("not found") << QByteArray("No match for \"TAKEN.COM\".\r\n")
                                   << LookupVerdict::Available << LookupVerdict::Available;
    }
    void theChosenRuleJudgesWhoisAnswers()
    {
        QFETCH(QByteArray, answer);
        QFETCH(LookupVerdict, byWords);
        QFETCH(LookupVerdict, byEvidence);
        for (const auto rules : {core::VerdictRules::SuccessWords, core::VerdictRules::Evidence}) {
            Fixture f;
            QVERIFY(f.lookup->start(QStringLiteral("taken.com"), choices(LookupProtocol::Whois, rules)).ok());
            f.answerWhois(answer);
            QCOMPARE(f.finished.size(), 1);
            QCOMPARE(f.finished.first().verdict,
                     rules == core::VerdictRules::Evidence ? byEvidence : byWords);
            QCOMPARE(f.finished.first().rules, rules);
            QVERIFY(!f.finished.first().rule.isEmpty());
        }
    }

    void theRunsStyleReconnectsUntilItsTimeLimit()
    {
        Fixture f;
        core::LookupChoices limited = core::LookupChoices::described(false);
        limited.timeLimitMs = 30000;
        QVERIFY(f.lookup->start(QStringLiteral("slow.com"), limited).ok());
        f.connection->peerAccept();
        f.connection->peerSend("partial ");
        f.scheduler.advance(10000); // the reconnect tick: asked again, the text kept
        QCOMPARE(f.connection->opens.size(), 2);
        QVERIFY(f.finished.isEmpty());
        f.scheduler.advance(20000);
        QCOMPARE(f.finished.size(), 1);
        const core::LookupEvidence &evidence = f.finished.first();
        QCOMPARE(evidence.verdict, LookupVerdict::Unknown);
        QCOMPARE(evidence.ending, core::LookupEnding::TimedOut);
        QCOMPARE(evidence.answer, QStringLiteral("partial "));
        QCOMPARE(evidence.connections, 3);
        QVERIFY(!f.connection->isOpen());
        QVERIFY(!f.lookup->isRunning());
    }

    // The run's style too: a connection never made (no such host) ends the lookup at once
    // with its cause; one that broke after connecting is tried again at the reconnect tick.
    void retryingLookupEndsWhenNoConnectionCanBeMade()
    {
        Fixture f;
        QVERIFY(f.lookup->start(QStringLiteral("a.com"), core::LookupChoices::described(false)).ok());
        f.connection->peerFail(QStringLiteral("Host whois.com.test not found"));
        QCOMPARE(f.finished.size(), 1);
        QCOMPARE(f.finished.first().verdict, LookupVerdict::Unknown);
        QCOMPARE(f.finished.first().ending, core::LookupEnding::NoConnection);
        QCOMPARE(f.finished.first().reason, QStringLiteral("Host whois.com.test not found"));
        QVERIFY(!f.lookup->isRunning());
        f.scheduler.advance(qint64(f.timing.tickMs) * f.timing.reconnectTicks * 2);
        QCOMPARE(f.connection->opens.size(), 1);

        Fixture broken;
        QVERIFY(broken.lookup->start(QStringLiteral("a.com"), core::LookupChoices::described(false)).ok());
        broken.connection->peerAccept();
        broken.connection->peerFail(QStringLiteral("Connection reset by peer"));
        QVERIFY(broken.finished.isEmpty());
        broken.scheduler.advance(qint64(broken.timing.tickMs) * broken.timing.reconnectTicks);
        QCOMPARE(broken.connection->opens.size(), 2);
    }

    void aSingleExchangeEndsAtTheFirstFailure()
    {
        Fixture f(core::WhoisStyle::SingleExchange);
        QVERIFY(f.lookup->whoisSlot() == nullptr);
        QVERIFY(f.lookup->start(QStringLiteral("a.com"), core::LookupChoices::described(false)).ok());
        f.connection->peerFail(QStringLiteral("Connection refused"));
        QCOMPARE(f.finished.size(), 1);
        QCOMPARE(f.finished.first().verdict, LookupVerdict::Unknown);
        QCOMPARE(f.finished.first().ending, core::LookupEnding::NoConnection);
        QCOMPARE(f.finished.first().reason, QStringLiteral("Connection refused"));
        QCOMPARE(f.connection->opens.size(), 1); // no second attempt
    }

    void rdapAnswersCarryStatusAddressAndRetryAfter()
    {
        Fixture f;
        QSignalSpy status(f.lookup.get(), &core::DomainLookup::statusText);
        QVERIFY(f.lookup->start(QStringLiteral("busy.com"), choices(LookupProtocol::Auto)).ok());
        QCOMPARE(f.http.requests.size(), 1);
        QCOMPARE(f.http.requests.first().url.toString(),
                 QStringLiteral("https://rdap.test/v1/domain/busy.com"));
        QCOMPARE(status.last().first().toString(), QStringLiteral("rdap(0): - Search String: busy.com"));
        QVERIFY(f.finished.isEmpty());
        f.scheduler.advance(80);
        f.http.last()->respond(429, "slow down", {{"Retry-After", "30"}});
        QCOMPARE(f.finished.size(), 1);
        const core::LookupEvidence &evidence = f.finished.first();
        QCOMPARE(evidence.verdict, LookupVerdict::Blocked);
        QCOMPARE(evidence.httpStatus, 429);
        QCOMPARE(evidence.retryAfterSeconds, std::optional<qint64>(30));
        QCOMPARE(evidence.server, QStringLiteral("rdap.test"));
        QCOMPARE(evidence.port, quint16(443));
        QCOMPARE(evidence.elapsedMs, qint64(80));
        QCOMPARE(evidence.answer, QStringLiteral("slow down"));
        QVERIFY(f.connection->opens.isEmpty());
        const QJsonObject json = core::evidenceJson(evidence, false);
        QCOMPARE(json.value(QStringLiteral("status")).toInt(), 429);
        QCOMPARE(json.value(QStringLiteral("retryAfter")).toInt(), 30);
        QCOMPARE(json.value(QStringLiteral("url")).toString(),
                 QStringLiteral("https://rdap.test/v1/domain/busy.com"));
    }

    void cancelAndANewStartDropTheLookupInProgress()
    {
        Fixture f;
        QVERIFY(f.lookup->start(QStringLiteral("one.com"), choices(LookupProtocol::Rdap)).ok());
        const QPointer<testing::FakeHttpFetch> first = f.http.last();
        // A new start drops the first fetch; its late answer is not heard.
        QVERIFY(f.lookup->start(QStringLiteral("two.com"), choices(LookupProtocol::Rdap)).ok());
        QVERIFY(first.isNull() || first->isAborted()); // dropped: aborted, or gone
        f.http.last()->respond(404, {});
        QCOMPARE(f.finished.size(), 1);
        QCOMPARE(f.finished.first().name, QStringLiteral("two.com"));
        // A handler may start the next lookup from inside finished().
        QObject::connect(f.lookup.get(), &core::DomainLookup::finished, f.lookup.get(), [&f] {
            if (f.finished.size() == 2)
                (void)f.lookup->start(QStringLiteral("four.com"), choices(LookupProtocol::Rdap));
        });
        QVERIFY(f.lookup->start(QStringLiteral("three.com"), choices(LookupProtocol::Rdap)).ok());
        f.http.last()->respond(404, {});
        QCOMPARE(f.finished.size(), 2);
        QVERIFY(f.lookup->isRunning());
        QCOMPARE(f.lookup->name(), QStringLiteral("four.com"));
        const QPointer<testing::FakeHttpFetch> fourth = f.http.last();
        f.lookup->cancel();
        QVERIFY(fourth.isNull() || fourth->isAborted());
        QVERIFY(!f.lookup->isRunning());
        QCOMPARE(f.finished.size(), 2);
    }

    // A scheduler may hand over a route it made while an HTTP client was there.
    void anRdapRouteWithoutAClientEndsWithoutAnswer()
    {
        testing::FakeScheduler scheduler;
        core::Timing timing;
        core::TldTable table;
        core::DomainLookup lookup(core::WhoisStyle::Retrying, std::make_unique<testing::FakeConnection>(),
                                  table, {}, scheduler, timing);
        QList<core::LookupEvidence> finished;
        QObject::connect(&lookup, &core::DomainLookup::finished,
                         [&](const core::LookupEvidence &evidence) { finished.append(evidence); });
        core::LookupRoute route;
        route.protocol = LookupProtocol::Rdap;
        route.url = QUrl(QStringLiteral("https://rdap.test/domain/a.com"));
        lookup.start(QStringLiteral("a.com"), route, choices(LookupProtocol::Rdap));
        QVERIFY(finished.isEmpty()); // never from inside start()
        scheduler.runDue();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().verdict, LookupVerdict::Unknown);
        QCOMPARE(finished.first().ending, core::LookupEnding::NoConnection);
        QVERIFY(!lookup.isRunning());
    }

    void namesOfProtocolsAndRules()
    {
        QCOMPARE(core::protocolFromName(QStringLiteral("RDAP")),
                 std::optional<LookupProtocol>(LookupProtocol::Rdap));
        QCOMPARE(core::protocolFromName(QStringLiteral("auto")),
                 std::optional<LookupProtocol>(LookupProtocol::Auto));
        QVERIFY(!core::protocolFromName(QStringLiteral("http")));
        QCOMPARE(core::rulesFromName(QStringLiteral("evidence")),
                 std::optional<core::VerdictRules>(core::VerdictRules::Evidence));
        QVERIFY(!core::rulesFromName(QString()));
        const core::LookupChoices off = core::LookupChoices::forPreference(false, false);
        QCOMPARE(off.protocol, LookupProtocol::Whois);
        QCOMPARE(off.rules, core::VerdictRules::SuccessWords);
        const core::LookupChoices on = core::LookupChoices::forPreference(true, false);
        QCOMPARE(on.protocol, LookupProtocol::Auto);
        QCOMPARE(on.rules, core::VerdictRules::Evidence);
    }
};

QTEST_GUILESS_MAIN(TestDomainLookup)
#include "tst_domainlookup.moc"
