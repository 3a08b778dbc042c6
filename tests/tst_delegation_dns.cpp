// The delegation check over c-ares against real servers on loopback: Knot DNS started by the
// test fixture (referral, answer, NXDOMAIN, NODATA, SERVFAIL, REFUSED, truncation, a
// wildcard extension, finding an extension's servers) and a scripted responder for what Knot
// will not do (silence, decoy replies under another id or for another name).
#include "KnotServer.h"
#include "ScriptedDnsResponder.h"
#include "core/DelegationQuery.h"
#include "platform/QtScheduler.h"
#include "platform/dns/CaresTransport.h"

#include <QSignalSpy>
#include <QTest>

using namespace wendlecott;
using core::DelegationOutcome;
using testing::ScriptedDnsResponder;

Q_DECLARE_METATYPE(wendlecott::core::DelegationOutcome)
Q_DECLARE_METATYPE(wendlecott::testing::ScriptedDnsResponder::Mode)

namespace {

// Options of a test: the guard as asked, everything else as given or the defaults.
core::DelegationOptions optionsWith(bool guard, const QString &server = {}, qint64 tryMs = 2000,
                                    int maxInFlight = 256, int perSecond = 200)
{
    core::DelegationOptions options;
    options.wildcardGuard = guard;
    options.serverOverride = server;
    options.tryTimeoutMs = tryMs;
    options.maxInFlight = maxInFlight;
    options.queriesPerSecond = perSecond;
    return options;
}

constexpr int kWaitMs = 10000; // a bound on waiting for signals, never reached when all is well

quint16 knotPort()
{
    return testing::KnotServer::runningPort(qEnvironmentVariable("WENDLECOTT_KNOT_DIR"));
}

QString server(quint16 port)
{
    return QStringLiteral("127.0.0.1:%1").arg(port);
}

struct Run {
    platform::QtScheduler scheduler;
    platform::CaresTransport transport;
    core::DelegationQuery query;
    QSignalSpy finished{&query, &core::DelegationQuery::finished};
    QSignalSpy unsettled{&query, &core::DelegationQuery::extensionUnsettled};

    explicit Run(core::DelegationOptions options, std::optional<QList<core::DnsServerAddress>> resolver = {})
        : transport(scheduler, std::move(resolver)), query(transport, scheduler, nullptr, std::move(options))
    {
    }
    bool waitFor(int count)
    {
        for (int i = 0; i < 200 && finished.size() < count; ++i) {
            if (!finished.wait(kWaitMs))
                return false;
        }
        return finished.size() >= count;
    }
    core::DelegationEvidence evidence(int index) const
    {
        return finished.at(index).at(0).value<core::DelegationEvidence>();
    }
    // The evidence for `name` among the finished ones.
    core::DelegationEvidence evidenceOf(const QString &name) const
    {
        for (int i = 0; i < finished.size(); ++i) {
            if (evidence(i).name == name)
                return evidence(i);
        }
        return {};
    }
};

} // namespace

class TestDelegationDns : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        qRegisterMetaType<core::DelegationEvidence>();
        QVERIFY2(knotPort() != 0, "Knot is not running: the knot_start fixture failed");
    }

    void knotsRepliesAreJudged_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<DelegationOutcome>("outcome");
        QTest::addColumn<QStringList>("nameServers");
        QTest::addColumn<QString>("reason");
        QTest::newRow("referral") << "taken.dlg" << DelegationOutcome::Delegated
                                  << QStringList{QStringLiteral("ns1.example.net"),
                                                 QStringLiteral("ns2.example.net")}
                                  << QString();
        QTest::newRow("referral, glue") << "glued.dlg" << DelegationOutcome::Delegated
                                        << QStringList{QStringLiteral("ns.glued.dlg")} << QString();
        QTest::newRow("answer") << "child.dlg" << DelegationOutcome::Delegated
                                << QStringList{QStringLiteral("ns1.dlg"), QStringLiteral("ns2.dlg")}
                                << QString();
        QTest::newRow("nxdomain") << "free.dlg" << DelegationOutcome::NotDelegated << QStringList()
                                  << QString();
        QTest::newRow("nodata") << "webonly.dlg" << DelegationOutcome::Undecided << QStringList()
                                << "no-data";
        QTest::newRow("truncated") << "huge.dlg" << DelegationOutcome::Undecided << QStringList()
                                   << "truncated";
        QTest::newRow("servfail") << "name.broken" << DelegationOutcome::Undecided << QStringList()
                                  << "server-failure";
        QTest::newRow("refused") << "name.notserved" << DelegationOutcome::Undecided << QStringList()
                                 << "refused";
    }
    void knotsRepliesAreJudged()
    {
        QFETCH(QString, name);
        QFETCH(DelegationOutcome, outcome);
        Run run(optionsWith(true, server(knotPort())));
        run.query.ask(name);
        QVERIFY(run.waitFor(1));
        const core::DelegationEvidence evidence = run.evidence(0);
        QCOMPARE(evidence.outcome, outcome);
        QTEST(evidence.nameServers, "nameServers");
        QTEST(evidence.reason, "reason");
        QCOMPARE(evidence.server, server(knotPort()));
        QCOMPARE(evidence.tries, 1);
        QCOMPARE(run.unsettled.size(), 0);
    }

    void aReferralOver512BytesIsTakenWhole()
    {
        Run run(optionsWith(false, server(knotPort())));
        run.query.ask(QStringLiteral("big.dlg"));
        QVERIFY(run.waitFor(1));
        QCOMPARE(run.evidence(0).outcome, DelegationOutcome::Delegated);
        QCOMPARE(run.evidence(0).nameServers.size(), 12);
        QCOMPARE(run.evidence(0).nameServers.last(),
                 QStringLiteral("ns12.a-long-name-server-label-number-12.example.org"));
    }

    void aWildcardExtensionIsUnsettledOnce()
    {
        Run run(optionsWith(true, server(knotPort())));
        run.query.ask(QStringLiteral("one.wild"));
        run.query.ask(QStringLiteral("two.wild"));
        QVERIFY(run.waitFor(2));
        QCOMPARE(run.unsettled.size(), 1);
        QCOMPARE(run.unsettled.at(0).at(0).toString(), QStringLiteral("wild"));
        QCOMPARE(run.unsettled.at(0).at(1).toString(), QStringLiteral("wildcard"));
        QCOMPARE(run.evidence(0).reason, QStringLiteral("wildcard"));
        QCOMPARE(run.evidence(1).reason, QStringLiteral("wildcard"));
    }

    void manyNamesInFlightAllFinish()
    {
        Run run(optionsWith(true, server(knotPort()), 2000, 64));
        const QStringList names{QStringLiteral("taken.dlg"), QStringLiteral("free.dlg"),
                                QStringLiteral("glued.dlg")};
        constexpr int kRounds = 100;
        for (int i = 0; i < kRounds; ++i) {
            for (const QString &name : names)
                run.query.ask(name);
            run.query.ask(QStringLiteral("free%1.dlg").arg(i));
        }
        QVERIFY(run.waitFor(kRounds * 4));
        int delegated = 0;
        for (int i = 0; i < run.finished.size(); ++i) {
            const core::DelegationEvidence evidence = run.evidence(i);
            const bool expected =
                evidence.name == QLatin1String("taken.dlg") || evidence.name == QLatin1String("glued.dlg");
            QCOMPARE(evidence.outcome,
                     expected ? DelegationOutcome::Delegated : DelegationOutcome::NotDelegated);
            delegated += expected ? 1 : 0;
        }
        QCOMPARE(delegated, kRounds * 2);
    }

    void theExtensionsServersAreFoundFromTheResolver()
    {
        // Knot stands in for the system's resolver: it holds dlg's NS and ns1.dlg's address.
        Run run({}, QList<core::DnsServerAddress>{{QStringLiteral("127.0.0.1"), knotPort()}});
        std::optional<core::Result<QList<core::DnsServerAddress>>> found;
        run.transport.findNameServers(QStringLiteral("dlg"), [&](const auto &result) { found = result; });
        QVERIFY(!found); // from the event loop only
        QTRY_VERIFY_WITH_TIMEOUT(found.has_value(), kWaitMs);
        QVERIFY2(found->ok(), qPrintable(found->message()));
        QCOMPARE(found->value(), (QList<core::DnsServerAddress>{{QStringLiteral("127.0.0.1"), 53}}));

        found.reset();
        run.transport.findNameServers(QStringLiteral("notserved"),
                                      [&](const auto &result) { found = result; });
        QTRY_VERIFY_WITH_TIMEOUT(found.has_value(), kWaitMs);
        QVERIFY(!found->ok());
    }

    void scriptedReplies_data()
    {
        QTest::addColumn<ScriptedDnsResponder::Mode>("mode");
        QTest::addColumn<DelegationOutcome>("outcome");
        QTest::addColumn<int>("tries");
        QTest::newRow("silence") << ScriptedDnsResponder::Mode::Silent << DelegationOutcome::Undecided << 2;
        QTest::newRow("the reply") << ScriptedDnsResponder::Mode::Referral << DelegationOutcome::Delegated
                                   << 1;
        QTest::newRow("another id, then the reply")
            << ScriptedDnsResponder::Mode::WrongIdThenReferral << DelegationOutcome::Delegated << 1;
        QTest::newRow("another name, then the reply")
            << ScriptedDnsResponder::Mode::OtherNameThenReferral << DelegationOutcome::Delegated << 1;
        QTest::newRow("only another id")
            << ScriptedDnsResponder::Mode::WrongIdOnly << DelegationOutcome::Undecided << 2;
        QTest::newRow("only another name")
            << ScriptedDnsResponder::Mode::OtherNameOnly << DelegationOutcome::Undecided << 2;
    }
    void scriptedReplies()
    {
        QFETCH(ScriptedDnsResponder::Mode, mode);
        QFETCH(DelegationOutcome, outcome);
        ScriptedDnsResponder responder(mode);
        QVERIFY(responder.start());
        // Short tries: silence is the case under test, not the length of the wait.
        Run run(optionsWith(false, server(responder.port()), 100));
        run.query.ask(QStringLiteral("Name.Test"));
        QVERIFY(run.waitFor(1));
        const core::DelegationEvidence evidence = run.evidence(0);
        QVERIFY2(evidence.outcome == outcome, qPrintable(evidence.reason));
        QTEST(evidence.tries, "tries");
        if (outcome == DelegationOutcome::Undecided)
            QCOMPARE(evidence.reason, QStringLiteral("no-answer"));
        else
            QCOMPARE(evidence.nameServers, QStringList{QStringLiteral("ns1.example")});
        QTRY_COMPARE_WITH_TIMEOUT(int(responder.questions().size()), evidence.tries, kWaitMs);
        for (const auto &question : responder.questions()) {
            QCOMPARE(question.name, QStringLiteral("name.test"));
            QVERIFY(!question.recursionDesired);
        }
        QCOMPARE(run.transport.pendingCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestDelegationDns)
#include "tst_delegation_dns.moc"
