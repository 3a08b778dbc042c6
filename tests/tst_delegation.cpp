// The delegation check's rules: the reply parser and judge on replies captured from Knot
// and on broken bytes, the question it sends, and the run-long query over a scripted
// transport (servers per extension, the retry, the wildcard guard, pace and bounds).
#include "FakeDnsTransport.h"
#include "FakeScheduler.h"
#include "core/dns/DelegationQuery.h"
#include "core/dns/DnsMessage.h"

#include <QFile>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace wendlecott;
using core::DelegationOutcome;
using core::DnsExchange;
using core::DnsExchangeEnding;
using core::DnsServerAddress;
using testing::FakeDnsTransport;
using testing::FakeScheduler;

Q_DECLARE_METATYPE(wendlecott::core::DelegationOutcome)

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

QByteArray captured(const QString &name)
{
    QFile file(QStringLiteral(WENDLECOTT_TESTDATA "/dns/") + name + QStringLiteral(".bin"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing captured reply %s", qPrintable(name));
    return file.readAll();
}

// A referral for `name` to ns1.example, as a server would send it for our query.
QByteArray referralFor(const QByteArray &query)
{
    QByteArray reply = query.left(query.size() - 11); // without the EDNS record
    reply[2] = char(0x80);                            // a response
    reply[10] = 0;
    reply[11] = 0;                                                               // no additional records
    reply[9] = 1;                                                                // one authority record
    const QByteArray target = QByteArray::fromHex("036e7331076578616d706c6500"); // ns1.example
    reply += QByteArray::fromHex("c00c000200010000003c00") + char(target.size()) + target;
    return reply;
}

QByteArray nxdomainFor(const QByteArray &query)
{
    QByteArray reply = query.left(query.size() - 11);
    reply[2] = char(0x80);
    reply[3] = 3;
    reply[11] = 0;
    return reply;
}

struct QueryFixture {
    FakeScheduler scheduler;
    FakeDnsTransport transport{scheduler};
    core::ServerPacer pacer{scheduler};
    std::unique_ptr<core::DelegationQuery> query;
    std::unique_ptr<QSignalSpy> finished;
    std::unique_ptr<QSignalSpy> unsettled;

    explicit QueryFixture(core::DelegationOptions options = {}, bool paced = false)
    {
        query =
            std::make_unique<core::DelegationQuery>(transport, scheduler, paced ? &pacer : nullptr, options);
        finished = std::make_unique<QSignalSpy>(query.get(), &core::DelegationQuery::finished);
        unsettled = std::make_unique<QSignalSpy>(query.get(), &core::DelegationQuery::extensionUnsettled);
    }
    core::DelegationEvidence evidence(int index) const
    {
        return finished->at(index).at(0).value<core::DelegationEvidence>();
    }
    QString askedName(int sentIndex) const
    {
        return core::parseDnsMessage(transport.m_sent.at(sentIndex).query)->questionName;
    }
    void answer(int sentIndex, const QByteArray &reply)
    {
        transport.end(transport.m_sent.at(sentIndex).id, {DnsExchangeEnding::Replied, reply, {}});
    }
    void silence(int sentIndex)
    {
        transport.end(transport.m_sent.at(sentIndex).id, {DnsExchangeEnding::TimedOut, {}, {}});
    }
    // Lets the servers be found and the guard be asked, and says it is not delegated.
    void passGuard(int sentIndex)
    {
        scheduler.runDue();
        answer(sentIndex, nxdomainFor(transport.m_sent.at(sentIndex).query));
    }
};

const QList<DnsServerAddress> kTwoServers{{QStringLiteral("127.0.0.1"), 5301},
                                          {QStringLiteral("127.0.0.2"), 5302}};

} // namespace

class TestDelegation : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { qRegisterMetaType<core::DelegationEvidence>(); }

    // --- the judge on captured replies ------------------------------------------------

    void capturedRepliesAreJudged_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("name");
        QTest::addColumn<DelegationOutcome>("outcome");
        QTest::addColumn<QStringList>("nameServers");
        QTest::addColumn<QString>("reason");
        QTest::newRow("referral") << "referral"
                                  << "taken.dlg" << DelegationOutcome::Delegated
                                  << QStringList{QStringLiteral("ns1.example.net"),
                                                 QStringLiteral("ns2.example.net")}
                                  << QString();
        QTest::newRow("referral with glue") << "referral-glue"
                                            << "glued.dlg" << DelegationOutcome::Delegated
                                            << QStringList{QStringLiteral("ns.glued.dlg")} << QString();
        QTest::newRow("authoritative answer")
            << "answer"
            << "dlg" << DelegationOutcome::Delegated << QStringList{QStringLiteral("ns1.dlg")} << QString();
        QTest::newRow("wildcard referral") << "wildcard"
                                           << "abcdefghijklmnopqrst.wild" << DelegationOutcome::Delegated
                                           << QStringList{QStringLiteral("ns.parking.example")} << QString();
        QTest::newRow("nxdomain") << "nxdomain"
                                  << "free.dlg" << DelegationOutcome::NotDelegated << QStringList()
                                  << QString();
        QTest::newRow("nodata") << "nodata"
                                << "webonly.dlg" << DelegationOutcome::Undecided << QStringList()
                                << "no-data";
        QTest::newRow("truncated") << "truncated"
                                   << "huge.dlg" << DelegationOutcome::Undecided << QStringList()
                                   << "truncated";
        QTest::newRow("servfail") << "servfail"
                                  << "foo.broken" << DelegationOutcome::Undecided << QStringList()
                                  << "server-failure";
        QTest::newRow("refused") << "refused"
                                 << "foo.other" << DelegationOutcome::Undecided << QStringList() << "refused";
        QTest::newRow("case and final dot do not matter")
            << "referral"
            << "Taken.DLG." << DelegationOutcome::Delegated
            << QStringList{QStringLiteral("ns1.example.net"), QStringLiteral("ns2.example.net")} << QString();
    }
    void capturedRepliesAreJudged()
    {
        QFETCH(QString, file);
        QFETCH(QString, name);
        QFETCH(DelegationOutcome, outcome);
        const core::DelegationJudgement judgement = core::judgeDelegation(captured(file), name, 0x1234);
        QCOMPARE(judgement.outcome, outcome);
        QTEST(judgement.nameServers, "nameServers");
        QTEST(judgement.reason, "reason");
    }

    void repliesToOtherQuestionsAreIgnored_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("id");
        QByteArray query = captured(QStringLiteral("referral"));
        query[2] = 0; // the same bytes with the response bit clear
        QByteArray otherType = captured(QStringLiteral("referral"));
        otherType[12 + 11] = 1; // question type A instead of NS
        QTest::newRow("another name") << captured(QStringLiteral("referral")) << "other.dlg" << 0x1234;
        QTest::newRow("a name above") << captured(QStringLiteral("referral")) << "dlg" << 0x1234;
        QTest::newRow("another id") << captured(QStringLiteral("referral")) << "taken.dlg" << 0x1235;
        QTest::newRow("not a response") << query << "taken.dlg" << 0x1234;
        QTest::newRow("another type") << otherType << "taken.dlg" << 0x1234;
    }
    void repliesToOtherQuestionsAreIgnored()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, name);
        QFETCH(int, id);
        QCOMPARE(core::judgeDelegation(reply, name, quint16(id)).outcome, DelegationOutcome::Ignored);
    }

    void brokenRepliesAreUndecided_data()
    {
        QTest::addColumn<QByteArray>("reply");
        const QByteArray referral = captured(QStringLiteral("referral"));
        QByteArray loop = referral.left(12) + QByteArray::fromHex("c00c00020001");
        loop[5] = 1; // one question whose name points at itself
        QByteArray pastEnd = referral;
        pastEnd[0x44] = char(0x3f); // the last name's first label: longer than what is left
        QByteArray longData = referral;
        longData[12 + 15 + 2 + 2 + 2 + 4] = char(0x7f); // the first record's data length
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("short header") << referral.left(11);
        QTest::newRow("cut in a record") << referral.left(60);
        QTest::newRow("pointer loop") << loop;
        QTest::newRow("label past the end") << pastEnd;
        QTest::newRow("data past the end") << longData;
        QTest::newRow("pointer past the end") << referral.left(12) + QByteArray::fromHex("c0ff00020001");
    }
    void brokenRepliesAreUndecided()
    {
        QFETCH(QByteArray, reply);
        const core::DelegationJudgement judgement = core::judgeDelegation(reply, QStringLiteral("taken.dlg"));
        QVERIFY(judgement.outcome == DelegationOutcome::Undecided ||
                judgement.outcome == DelegationOutcome::Ignored);
        if (judgement.outcome == DelegationOutcome::Undecided)
            QCOMPARE(judgement.reason, QStringLiteral("malformed"));
    }

    void theQuestionAsksForNsWithoutRecursion()
    {
        const QByteArray query = core::encodeNsQuery(QStringLiteral("Example.COM."), 0xbeef);
        const auto message = core::parseDnsMessage(query);
        QVERIFY(message);
        QCOMPARE(message->id, quint16(0xbeef));
        QVERIFY(!message->isResponse);
        QVERIFY(!message->recursionDesired);
        QCOMPARE(message->questionName, QStringLiteral("example.com"));
        QCOMPARE(message->questionType, core::dns::kTypeNs);
        QCOMPARE(message->questionClass, core::dns::kClassIn);
        // The EDNS record: root owner, type 41, 1232 bytes, no flags, no options.
        QVERIFY(query.endsWith(QByteArray::fromHex("00002904d0000000000000")));
    }

    void namesThatCannotBeAskedGiveNoQuestion_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("empty") << "";
        QTest::newRow("empty label") << "a..com";
        QTest::newRow("label of 64") << QString(64, QLatin1Char('a')) + QStringLiteral(".com");
        QTest::newRow("not ASCII") << QStringLiteral("b\u00fccher.de");
        QTest::newRow("a control character") << QStringLiteral("a\u0011b.de");
        QTest::newRow("a blank") << QStringLiteral("a b.de");
        QTest::newRow("a backslash") << QStringLiteral("a\\b.de");
        QTest::newRow("name of 254")
            << QString(50, QLatin1Char('a')).append(QStringLiteral(".")).repeated(5) + QStringLiteral("com");
    }
    void namesThatCannotBeAskedGiveNoQuestion()
    {
        QFETCH(QString, name);
        QVERIFY(core::encodeNsQuery(name, 1).isEmpty());
    }

    void dnsServerSetting_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::newRow("address and port") << "127.0.0.1:5353" << true << "127.0.0.1" << 5353;
        QTest::newRow("name alone") << "mirror.lan" << true << "mirror.lan" << 53;
        QTest::newRow("v6 in brackets") << "[::1]:5300" << true << "::1" << 5300;
        QTest::newRow("v6 bare") << "::1" << true << "::1" << 53;
        QTest::newRow("blanks around") << "  10.0.0.1:53 " << true << "10.0.0.1" << 53;
        QTest::newRow("empty") << "" << false << "" << 0;
        QTest::newRow("port 0") << "127.0.0.1:0" << false << "" << 0;
        QTest::newRow("port too big") << "127.0.0.1:65536" << false << "" << 0;
        QTest::newRow("port not a number") << "127.0.0.1:dns" << false << "" << 0;
        QTest::newRow("empty port") << "127.0.0.1:" << false << "" << 0;
        QTest::newRow("no host") << ":53" << false << "" << 0;
        QTest::newRow("unclosed bracket") << "[::1:53" << false << "" << 0;
    }
    void dnsServerSetting()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        const auto server = core::parseDnsServer(text);
        QCOMPARE(server.ok(), ok);
        if (!ok) {
            QCOMPARE(server.code(), core::ErrorCode::InvalidInput);
            return;
        }
        QTEST(server.value().host, "host");
        QTEST(int(server.value().port), "port");
    }

    // --- the query over a scripted transport ------------------------------------------

    void silenceIsAskedOnceMoreOfTheNextServerThenUndecided()
    {
        QueryFixture f(optionsWith(false, {}, 2000));
        f.transport.m_nameServers.insert(QStringLiteral("dlg"), kTwoServers);
        f.query->ask(QStringLiteral("taken.dlg"));
        f.scheduler.runDue();
        QCOMPARE(f.transport.m_sent.size(), 1);
        QCOMPARE(f.transport.m_sent.at(0).timeoutMs, qint64(2000));
        f.silence(0);
        QCOMPARE(f.transport.m_sent.size(), 2);
        QVERIFY(!(f.transport.m_sent.at(1).server == f.transport.m_sent.at(0).server));
        QCOMPARE(f.finished->size(), 0);
        f.silence(1);
        QCOMPARE(f.finished->size(), 1);
        const core::DelegationEvidence evidence = f.evidence(0);
        QCOMPARE(evidence.outcome, DelegationOutcome::Undecided);
        QCOMPARE(evidence.reason, QStringLiteral("no-answer"));
        QCOMPARE(evidence.tries, 2);
        QCOMPARE(evidence.server, f.transport.m_sent.at(1).server.key());
        QCOMPARE(f.transport.m_sent.size(), 2); // never a third question
    }

    void anAnswerOnTheRetryDecides()
    {
        QueryFixture f(optionsWith(false));
        f.transport.m_nameServers.insert(QStringLiteral("dlg"), {kTwoServers.at(0)});
        f.query->ask(QStringLiteral("Taken.dlg"));
        f.scheduler.runDue();
        f.transport.end(f.transport.m_sent.at(0).id,
                        {DnsExchangeEnding::Failed, {}, QStringLiteral("refused")});
        QCOMPARE(f.transport.m_sent.size(), 2);
        QCOMPARE(f.transport.m_sent.at(1).server, kTwoServers.at(0)); // the only server, once more
        f.answer(1, referralFor(f.transport.m_sent.at(1).query));
        const core::DelegationEvidence evidence = f.evidence(0);
        QCOMPARE(evidence.outcome, DelegationOutcome::Delegated);
        QCOMPARE(evidence.name, QStringLiteral("taken.dlg"));
        QCOMPARE(evidence.nameServers, QStringList{QStringLiteral("ns1.example")});
        QCOMPARE(evidence.server, QStringLiteral("127.0.0.1:5301"));
        QCOMPARE(evidence.tries, 2);
        QVERIFY(evidence.time.isValid());
        const QJsonObject json = evidence.json();
        QCOMPARE(json.value(QStringLiteral("protocol")).toString(), QStringLiteral("dns"));
        QCOMPARE(json.value(QStringLiteral("outcome")).toString(), QStringLiteral("delegated"));
    }

    void aReplyForAnotherQuestionCountsAsNoAnswer()
    {
        QueryFixture f(optionsWith(false));
        f.transport.m_nameServers.insert(QStringLiteral("dlg"), kTwoServers);
        f.query->ask(QStringLiteral("taken.dlg"));
        f.scheduler.runDue();
        f.answer(0, captured(QStringLiteral("nxdomain"))); // about free.dlg
        QCOMPARE(f.finished->size(), 0);
        QCOMPARE(f.transport.m_sent.size(), 2);
    }

    void theGuardGoesFirstOncePerExtension()
    {
        QueryFixture f;
        f.transport.m_nameServers.insert(QStringLiteral("dlg"), kTwoServers);
        f.query->ask(QStringLiteral("a.dlg"));
        f.query->ask(QStringLiteral("b.dlg"));
        f.scheduler.runDue();
        QCOMPARE(f.transport.m_sent.size(), 1);
        const QString guard = f.askedName(0);
        QVERIFY2(QRegularExpression(QStringLiteral("^[a-z]{20}\\.dlg$")).match(guard).hasMatch(),
                 qPrintable(guard));
        f.passGuard(0);
        QCOMPARE(f.transport.m_sent.size(), 3);
        QCOMPARE(f.askedName(1), QStringLiteral("a.dlg"));
        QCOMPARE(f.askedName(2), QStringLiteral("b.dlg"));
        f.query->ask(QStringLiteral("c.dlg"));
        QCOMPARE(f.transport.m_sent.size(), 4);
        QCOMPARE(f.transport.m_discoveries, QStringList{QStringLiteral("dlg")});
        QCOMPARE(f.unsettled->size(), 0);
    }

    void aWildcardExtensionIsToldOnceAndItsNamesAreNotAsked()
    {
        QueryFixture f;
        f.transport.m_nameServers.insert(QStringLiteral("wild"), kTwoServers);
        f.query->ask(QStringLiteral("a.wild"));
        f.scheduler.runDue();
        f.answer(0, referralFor(f.transport.m_sent.at(0).query));
        QCOMPARE(f.unsettled->size(), 1);
        QCOMPARE(f.unsettled->at(0).at(0).toString(), QStringLiteral("wild"));
        QCOMPARE(f.unsettled->at(0).at(1).toString(), QStringLiteral("wildcard"));
        QCOMPARE(f.finished->size(), 1);
        QCOMPARE(f.evidence(0).outcome, DelegationOutcome::Undecided);
        QCOMPARE(f.evidence(0).reason, QStringLiteral("wildcard"));
        f.query->ask(QStringLiteral("b.wild"));
        QCOMPARE(f.finished->size(), 1); // from the event loop, not inside ask()
        f.scheduler.runDue();
        QCOMPARE(f.finished->size(), 2);
        QCOMPARE(f.evidence(1).reason, QStringLiteral("wildcard"));
        QCOMPARE(f.transport.m_sent.size(), 1);
        QCOMPARE(f.unsettled->size(), 1);
    }

    void anExtensionWithoutServersIsToldOnce()
    {
        QueryFixture f;
        f.query->ask(QStringLiteral("a.zz"));
        f.query->ask(QStringLiteral("b.zz"));
        f.scheduler.runDue();
        QCOMPARE(f.unsettled->size(), 1);
        QCOMPARE(f.unsettled->at(0).at(1).toString(), QStringLiteral("no-servers"));
        QCOMPARE(f.finished->size(), 2);
        QCOMPARE(f.evidence(1).reason, QStringLiteral("no-servers"));
        QVERIFY(f.transport.m_sent.isEmpty());
    }

    void theDnsServerSettingTakesEveryQuestion()
    {
        QueryFixture f(optionsWith(false, QStringLiteral("127.0.0.9:5399")));
        f.transport.m_nameServers.insert(QStringLiteral("dlg"), kTwoServers);
        f.query->ask(QStringLiteral("a.dlg"));
        f.query->ask(QStringLiteral("b.other"));
        f.scheduler.runDue();
        QVERIFY(f.transport.m_discoveries.isEmpty());
        QCOMPARE(f.transport.m_sent.size(), 2);
        for (const auto &sent : f.transport.m_sent)
            QCOMPARE(sent.server.key(), QStringLiteral("127.0.0.9:5399"));
    }

    void aBadSettingLeavesEveryExtensionUnsettled()
    {
        QueryFixture f(optionsWith(true, QStringLiteral("127.0.0.1:99999")));
        f.query->ask(QStringLiteral("a.dlg"));
        f.scheduler.runDue();
        QCOMPARE(f.unsettled->size(), 1);
        QCOMPARE(f.evidence(0).reason, QStringLiteral("no-servers"));
    }

    void badNamesFinishUndecidedFromTheEventLoop_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("one label") << "dlg";
        QTest::newRow("empty") << "";
        QTest::newRow("empty label") << "a..dlg";
        QTest::newRow("dot at the start") << ".dlg";
    }
    void badNamesFinishUndecidedFromTheEventLoop()
    {
        QFETCH(QString, name);
        QueryFixture f;
        f.query->ask(name);
        QCOMPARE(f.finished->size(), 0);
        f.scheduler.runDue();
        QCOMPARE(f.finished->size(), 1);
        QCOMPARE(f.evidence(0).reason, QStringLiteral("bad-name"));
        QVERIFY(f.transport.m_discoveries.isEmpty());
    }

    void questionsInFlightAreBounded()
    {
        QueryFixture f(optionsWith(false, {}, 2000, 3));
        f.transport.m_nameServers.insert(QStringLiteral("dlg"), kTwoServers);
        for (int i = 0; i < 10; ++i)
            f.query->ask(QStringLiteral("n%1.dlg").arg(i));
        f.scheduler.runDue();
        QCOMPARE(f.transport.m_sent.size(), 3);
        QCOMPARE(f.query->pendingCount(), 10);
        f.answer(1, nxdomainFor(f.transport.m_sent.at(1).query));
        QCOMPARE(f.transport.m_sent.size(), 4);
        QCOMPARE(f.transport.m_waiting.size(), std::size_t(3));
        // First tries alternate between the extension's servers.
        QCOMPARE(f.transport.m_sent.at(0).server, kTwoServers.at(0));
        QCOMPARE(f.transport.m_sent.at(1).server, kTwoServers.at(1));
    }

    void questionsKeepTheirServersPace()
    {
        QueryFixture f(optionsWith(false, {}, 2000, 256, 100), true);
        f.transport.m_nameServers.insert(QStringLiteral("dlg"), {kTwoServers.at(0)});
        for (int i = 0; i < 3; ++i)
            f.query->ask(QStringLiteral("n%1.dlg").arg(i));
        f.scheduler.runDue();
        QCOMPARE(f.transport.m_sent.size(), 1);
        f.scheduler.advance(9);
        QCOMPARE(f.transport.m_sent.size(), 1);
        f.scheduler.advance(1);
        QCOMPARE(f.transport.m_sent.size(), 2);
        f.scheduler.advance(10);
        QCOMPARE(f.transport.m_sent.size(), 3);
    }

    void stopDropsEverythingWithoutSignals()
    {
        QueryFixture f(optionsWith(false));
        f.transport.m_nameServers.insert(QStringLiteral("dlg"), kTwoServers);
        f.query->ask(QStringLiteral("a.dlg"));
        f.scheduler.runDue();
        f.query->ask(QStringLiteral("b.zz")); // its servers are still being found
        f.query->stop();
        QVERIFY(f.transport.m_waiting.empty());
        f.scheduler.advance(10000);
        QCOMPARE(f.finished->size(), 0);
        QCOMPARE(f.query->pendingCount(), 0);
        // The extension that was being set up is set up anew.
        f.transport.m_nameServers.insert(QStringLiteral("zz"), kTwoServers);
        f.query->ask(QStringLiteral("d.zz"));
        f.scheduler.runDue();
        QCOMPARE(f.transport.m_discoveries.count(QStringLiteral("zz")), 2);
        QCOMPARE(f.transport.m_sent.size(), 2);
    }

    void aHandlerMayAskAgain()
    {
        QueryFixture f(optionsWith(false));
        f.transport.m_nameServers.insert(QStringLiteral("dlg"), kTwoServers);
        int asked = 0;
        QObject::connect(f.query.get(), &core::DelegationQuery::finished, f.query.get(), [&] {
            if (++asked < 3)
                f.query->ask(QStringLiteral("next%1.dlg").arg(asked));
        });
        f.query->ask(QStringLiteral("first.dlg"));
        f.scheduler.runDue();
        for (int i = 0; i < 3; ++i)
            f.answer(i, nxdomainFor(f.transport.m_sent.at(i).query));
        QCOMPARE(f.finished->size(), 3);
        QCOMPARE(f.evidence(2).outcome, DelegationOutcome::NotDelegated);
    }
};

QTEST_GUILESS_MAIN(TestDelegation)
#include "tst_delegation.moc"
