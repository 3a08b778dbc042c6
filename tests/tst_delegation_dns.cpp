// The delegation check over c-ares against real servers on loopback: Knot DNS started by the
// test fixture (referral, answer, NXDOMAIN, NODATA, SERVFAIL, REFUSED, truncation, a
// wildcard extension, finding an extension's servers) and a scripted responder for what Knot
// will not do (silence, decoy replies under another id or for another name).
#include "FakeNotice.h"
#include "FakeWhoisServer.h"
#include "KnotServer.h"
#include "ScriptedDnsResponder.h"
#include "TestFolder.h"
#include "TldRows.h"
#include "core/dns/DelegationQuery.h"
#include "core/lists/ResultLists.h"
#include "core/lists/UnansweredNames.h"
#include "core/run/CheckRun.h"
#include "platform/QtScheduler.h"
#include "platform/QtWhoisConnection.h"
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

// A run engine asking DNS first of `dnsServer`, with every extension's whois row at a
// loopback whois server that says "No match" to every name.
struct EngineRun {
    testing::TestFolder folder;
    testing::FakeNotice notice;
    core::NoClipboard clipboard;
    core::NoAddressOpener opener;
    testing::FakeWhoisServer whois;
    platform::QtScheduler scheduler;
    platform::CaresTransport transport{scheduler};
    core::ServerPacer pacer{scheduler};
    core::Timing timing;
    core::TldTable table;
    core::ResultLists lists{folder.path(), notice, clipboard, opener};
    core::UnansweredNames unanswered{folder.file(core::kUnansweredFileName)};
    std::unique_ptr<core::CheckRun> run;
    QList<core::RunRecord> records;
    QStringList notices;

    EngineRun(const QString &dnsServer, const QStringList &extensions, qint64 dnsTryMs = 2000)
    {
        if (!whois.start())
            qFatal("the loopback whois server did not start");
        for (const QString &extension : extensions)
            table.rows.append(testing::whoisRow(extension, QStringLiteral("127.0.0.1"), whois.port(), 0));
        timing.dnsTryTimeoutMs = dnsTryMs;
        core::RunEnvironment environment{table, [] { return false; }, pacer, lists, notice};
        environment.unanswered = &unanswered;
        environment.dnsTransport = [this]() -> core::DnsTransport * { return &transport; };
        core::RunPolicy policy = core::RunPolicy::paced(4, {});
        policy.backOff.firstMs = 20; // a refusing server rests, briefly: the rest is not under test
        policy.dnsFirst = {true, dnsServer, 0};
        run = std::make_unique<core::CheckRun>(environment, scheduler, timing,
                                               platform::QtWhoisConnection::factory(), policy);
        QObject::connect(run.get(), &core::CheckRun::recordFinished,
                         [this](const core::RunRecord &record) { records.append(record); });
        QObject::connect(run.get(), &core::CheckRun::dnsUnsettled,
                         [this](const QString &text) { notices.append(text); });
    }

    // Runs over `names` to the end of the list; false when it did not end in time.
    bool runOver(const QStringList &names)
    {
        core::RunSource source;
        source.listPath = QStringLiteral("names.txt");
        source.readEntry = [names](qint32 position) -> core::Result<QString> {
            return position <= names.size() ? names.at(position - 1) : QString();
        };
        QSignalSpy stopped(run.get(), &core::CheckRun::stopped);
        run->startRun(source, 1, qint32(names.size()));
        return stopped.wait(60000);
    }

    QStringList whoisAsked() const
    {
        QStringList asked;
        for (const QByteArray &line : whois.requests())
            asked.append(QString::fromLatin1(line));
        asked.sort();
        return asked;
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

    // --- the run engine asking DNS first --------------------------------------------------

    void aRunAgainstKnotAsksWhoisOnlyForNamesNotDelegated()
    {
        EngineRun rig(server(knotPort()), {QStringLiteral("dlg"), QStringLiteral("wild"),
                                           QStringLiteral("broken"), QStringLiteral("notserved")});
        const QStringList delegated{QStringLiteral("taken.dlg"), QStringLiteral("glued.dlg"),
                                    QStringLiteral("big.dlg"), QStringLiteral("child.dlg")};
        // NXDOMAIN, NODATA, truncated, wildcard, SERVFAIL, REFUSED: each asked of whois once.
        QStringList others{QStringLiteral("free.dlg"),    QStringLiteral("other.dlg"),
                           QStringLiteral("webonly.dlg"), QStringLiteral("huge.dlg"),
                           QStringLiteral("one.wild"),    QStringLiteral("two.wild"),
                           QStringLiteral("name.broken"), QStringLiteral("name.notserved")};
        QVERIFY(rig.runOver(delegated + others));
        QCOMPARE(rig.records.size(), int(delegated.size() + others.size()));
        others.sort();
        QCOMPARE(rig.whoisAsked(), others);
        QCOMPARE(rig.run->settledByDnsCount(), int(delegated.size()));
        for (const core::RunRecord &record : rig.records) {
            const bool settled = delegated.contains(record.name);
            QCOMPARE(record.evidence.protocol,
                     settled ? core::LookupProtocol::Dns : core::LookupProtocol::Whois);
            QCOMPARE(record.kind,
                     settled ? core::RunRecord::Kind::Registered : core::RunRecord::Kind::Available);
            if (settled) {
                QCOMPARE(record.evidence.port, knotPort());
                QVERIFY(!record.evidence.nameServers.isEmpty());
            }
        }
        // Once each: the wildcard extension, and the one Knot refuses (its names cost it no rest).
        QCOMPARE(rig.notices.size(), 2);
        QVERIFY(rig.notices.filter(QStringLiteral(".wild")).size() == 1);
        QVERIFY(rig.notices.filter(QStringLiteral(".notserved")).size() == 1);
    }

    void aSilentDnsServerLeavesEveryNameToWhois()
    {
        ScriptedDnsResponder responder(ScriptedDnsResponder::Mode::Silent);
        QVERIFY(responder.start());
        EngineRun rig(server(responder.port()), {QStringLiteral("test")}, 50);
        QStringList names{QStringLiteral("a.test"), QStringLiteral("b.test"), QStringLiteral("c.test")};
        QVERIFY(rig.runOver(names));
        QCOMPARE(rig.whoisAsked(), names);
        QCOMPARE(rig.run->settledByDnsCount(), 0);
        QVERIFY(rig.notices.isEmpty());
        // The guard and each name, two tries each; the server rests between them.
        QCOMPARE(int(responder.questions().size()), 2 * (1 + int(names.size())));
    }
};

QTEST_GUILESS_MAIN(TestDelegationDns)
#include "tst_delegation_dns.moc"
