// The run engine with DNS first: delegated names filed without the registry, every other
// outcome handed on to it once, the DNS servers' rest after refusals and silence, the
// wildcard notice, and the run as it was with DNS first off. A scripted DNS transport and
// self-answering whois connections on the fake clock.
#include "FakeDnsTransport.h"
#include "FakeNotice.h"
#include "FakeScheduler.h"
#include "RunFixture.h"
#include "TestFolder.h"
#include "TldRows.h"
#include "core/dns/DnsMessage.h"
#include "core/lists/ResultLists.h"
#include "core/lists/UnansweredNames.h"
#include "core/pacing/ServerPacer.h"
#include "core/run/CheckRun.h"
#include "core/tld/TldTable.h"
#include "sources/EntryDomain.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QtTest>

using namespace wendlecott;
using core::DnsExchangeEnding;
using core::RunRecord;

namespace {

// What the scripted name server does with a question.
enum class Dns { Referral, NxDomain, ServFail, Refused, Silent };

// A whois connection that answers every request on the next turn: "No match" for names
// starting with "free", registration data for the rest. Each request is noted.
class AnsweringConnection final : public core::WhoisConnection {
public:
    AnsweringConnection(core::Scheduler &scheduler, QStringList &asked)
        : m_scheduler(scheduler), m_asked(asked)
    {
    }
    void open(const QString &host, quint16 port) override
    {
        m_host = host;
        m_port = port;
        m_scheduler.callAfter(0, [this] { Q_EMIT connected(); });
    }
    bool send(const QByteArray &bytes) override
    {
        const QString name = QString::fromLatin1(bytes).trimmed();
        m_asked.append(name);
        const QByteArray answer = name.startsWith(QLatin1String("free"))
                                      ? QByteArray("No match\r\n")
                                      : QByteArray("Domain Name: TAKEN\r\n");
        m_scheduler.callAfter(0, [this, answer] {
            Q_EMIT dataArrived(answer);
            Q_EMIT closedByPeer();
        });
        return true;
    }
    void close() override {}
    QString remoteHost() const override { return m_host; }
    quint16 remotePort() const override { return m_port; }

private:
    core::Scheduler &m_scheduler;
    QStringList &m_asked;
    QString m_host;
    quint16 m_port = 0;
};

// A reply to `query` with `rcode` and no records (the query's EDNS record dropped).
QByteArray replyWithCode(const QByteArray &query, int rcode)
{
    QByteArray reply = query.left(query.size() - 11);
    reply[2] = char(0x80);
    reply[3] = char(rcode);
    reply[11] = 0;
    return reply;
}

// A referral of the asked name to ns1.example.
QByteArray referralFor(const QByteArray &query)
{
    QByteArray reply = replyWithCode(query, 0);
    reply[9] = 1; // one authority record
    const QByteArray target = QByteArray::fromHex("036e7331076578616d706c6500");
    reply += QByteArray::fromHex("c00c000200010000003c00") + char(target.size()) + target;
    return reply;
}

const QString kDnsServer = QStringLiteral("127.0.0.1:5301");
const QString kDnsPacerKey = QStringLiteral("dns://127.0.0.1:5301");

struct Harness : testing::RunFixture {
    testing::FakeDnsTransport transport{scheduler};
    bool withTransport = true;
    std::unique_ptr<core::CheckRun> run;
    QStringList whoisAsked;
    QList<RunRecord> records;
    QStringList dnsNotices;
    QList<QPair<qint64, QString>> dnsAsked; // when, which name
    int served = 0;
    // The name server's answer per asked name; the guard label is never delegated by default.
    std::function<Dns(const QString &name, int askOfName)> dns = [](const QString &name, int) {
        return name.startsWith(QLatin1String("taken")) ? Dns::Referral : Dns::NxDomain;
    };

    explicit Harness(bool dnsFirst = true, int jobs = 1)
    {
        table.rows = {testing::whoisRow(QStringLiteral("com"), QStringLiteral("whois.com.test")),
                      testing::whoisRow(QStringLiteral("net"), QStringLiteral("whois.net.test"))};
        core::RunEnvironment environment = this->environment();
        environment.dnsTransport = [this]() -> core::DnsTransport * {
            return withTransport ? &transport : nullptr;
        };
        core::RunChoices choices;
        choices.jobs = jobs;
        choices.dnsFirst = {dnsFirst, kDnsServer, 0};
        core::ConnectionFactory factory = [this] {
            return std::make_unique<AnsweringConnection>(scheduler, whoisAsked);
        };
        run = core::makeRun(environment, scheduler, timing, factory, choices);
        QObject::connect(run.get(), &core::CheckRun::recordFinished,
                         [this](const RunRecord &record) { records.append(record); });
        QObject::connect(run.get(), &core::CheckRun::dnsUnsettled,
                         [this](const QString &text) { dnsNotices.append(text); });
    }

    int asksOfName(const QString &name) const
    {
        return int(std::count_if(dnsAsked.begin(), dnsAsked.end(),
                                 [&](const auto &ask) { return ask.second == name; }));
    }

    // Answers every question sent since the last look, as `dns` says.
    void serveDns()
    {
        while (served < transport.m_sent.size()) {
            const testing::FakeDnsTransport::Sent sent = transport.m_sent.at(served++);
            const QString name = core::parseDnsMessage(sent.query)->questionName;
            const Dns how = dns(name, asksOfName(name));
            dnsAsked.append({scheduler.now(), name});
            switch (how) {
            case Dns::Referral:
                transport.end(sent.id, {DnsExchangeEnding::Replied, referralFor(sent.query), {}});
                break;
            case Dns::NxDomain:
                transport.end(sent.id, {DnsExchangeEnding::Replied, replyWithCode(sent.query, 3), {}});
                break;
            case Dns::ServFail:
                transport.end(sent.id, {DnsExchangeEnding::Replied, replyWithCode(sent.query, 2), {}});
                break;
            case Dns::Refused:
                transport.end(sent.id, {DnsExchangeEnding::Replied, replyWithCode(sent.query, 5), {}});
                break;
            case Dns::Silent: // the transport's time-out, at once: no test here waits on the clock
                transport.end(sent.id, {DnsExchangeEnding::TimedOut, {}, {}});
                break;
            }
        }
    }

    // Runs the list to its end on the fake clock (bounded), serving DNS as questions come.
    void runToEnd(qint64 limitMs = 600000)
    {
        run->startRun(entrySource(), 1, qint32(entries.size()));
        for (qint64 t = 0; t < limitMs && run->isRunning(); ++t) {
            scheduler.runDue();
            serveDns();
            scheduler.advance(1);
        }
    }

    const RunRecord *recordOf(const QString &name) const
    {
        for (const RunRecord &record : records) {
            if (record.name == name)
                return &record;
        }
        return nullptr;
    }
    bool isGuard(const QString &name) const
    {
        return !name.startsWith(QLatin1String("taken")) && !name.startsWith(QLatin1String("free"));
    }
};

} // namespace

class TestDnsFirstRun : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        qRegisterMetaType<core::RunRecord>();
        qRegisterMetaType<core::DelegationEvidence>();
    }

    void dnsFirstChangesThePolicyOnlyWhenChosen_data()
    {
        QTest::addColumn<bool>("dnsFirst");
        QTest::addColumn<int>("jobs");
        QTest::addColumn<bool>("described");
        QTest::newRow("off, one job: the described run") << false << 1 << true;
        QTest::newRow("off, four jobs") << false << 4 << false;
        QTest::newRow("on, one job") << true << 1 << false;
    }
    void dnsFirstChangesThePolicyOnlyWhenChosen()
    {
        QFETCH(bool, dnsFirst);
        QFETCH(int, jobs);
        QFETCH(bool, described);
        core::TldTable table;
        core::RunChoices choices;
        choices.jobs = jobs;
        choices.dnsFirst.enabled = dnsFirst;
        const core::RunPolicy policy = core::runPolicyFor(table, choices);
        QCOMPARE(policy.describedPause, described);
        QCOMPARE(policy.dnsFirst.enabled, dnsFirst);
    }

    void delegatedNamesSkipWhoisAndEveryOtherOutcomeAsksItOnce_data()
    {
        QTest::addColumn<int>("jobs");
        QTest::newRow("one whois job") << 1;
        QTest::newRow("four whois jobs") << 4;
    }
    void delegatedNamesSkipWhoisAndEveryOtherOutcomeAsksItOnce()
    {
        QFETCH(int, jobs);
        Harness h(true, jobs);
        h.dns = [](const QString &name, int) {
            if (name.startsWith(QLatin1String("taken")))
                return Dns::Referral;
            if (name == QLatin1String("freeb.com") || name == QLatin1String("heldc.com"))
                return Dns::ServFail;
            if (name == QLatin1String("freed.com"))
                return Dns::Silent;
            if (name == QLatin1String("freee.com"))
                return Dns::Refused;
            return Dns::NxDomain; // the guard and freea
        };
        h.entries = {QStringLiteral("takena"), QStringLiteral("freea"), QStringLiteral("takenb"),
                     QStringLiteral("freeb"),  QStringLiteral("freed"), QStringLiteral("freee"),
                     QStringLiteral("heldc")};
        h.runToEnd();
        QVERIFY(!h.run->isRunning());
        QCOMPARE(h.records.size(), 7);
        QStringList asked = h.whoisAsked;
        asked.sort();
        QCOMPARE(asked, (QStringList{QStringLiteral("freea.com"), QStringLiteral("freeb.com"),
                                     QStringLiteral("freed.com"), QStringLiteral("freee.com"),
                                     QStringLiteral("heldc.com")}));
        QCOMPARE(h.run->settledByDnsCount(), 2);
        for (const QString &name : {QStringLiteral("takena.com"), QStringLiteral("takenb.com")}) {
            const RunRecord *record = h.recordOf(name);
            QVERIFY(record);
            QCOMPARE(record->kind, RunRecord::Kind::Registered);
            QCOMPARE(record->evidence.protocol, core::LookupProtocol::Dns);
            QCOMPARE(record->evidence.nameServers, QStringList{QStringLiteral("ns1.example")});
            const QJsonObject json = core::evidenceJson(record->evidence, false);
            QCOMPARE(json.value(QStringLiteral("protocol")).toString(), QStringLiteral("dns"));
            QCOMPARE(json.value(QStringLiteral("server")).toString(), QStringLiteral("127.0.0.1"));
            QCOMPARE(json.value(QStringLiteral("port")).toInt(), 5301);
            QCOMPARE(json.value(QStringLiteral("nameServers")).toArray().size(), 1);
            QVERIFY(!json.value(QStringLiteral("time")).toString().isEmpty());
        }
        QCOMPARE(h.recordOf(QStringLiteral("freea.com"))->kind, RunRecord::Kind::Available);
        QCOMPARE(h.recordOf(QStringLiteral("heldc.com"))->kind, RunRecord::Kind::Registered);
        QCOMPARE(h.recordOf(QStringLiteral("heldc.com"))->evidence.protocol, core::LookupProtocol::Whois);
        QCOMPARE(h.asksOfName(QStringLiteral("freed.com")), 2); // one retry, then the registry
        QVERIFY(h.dnsNotices.isEmpty());
        QCOMPARE(h.run->resumePosition(), qint32(8));
    }

    void aRefusingOrSilentDnsServerRestsBeforeItsNextQuestion_data()
    {
        QTest::addColumn<int>("how");
        QTest::addColumn<qint64>("restMs");
        QTest::newRow("refused") << int(Dns::Refused) << qint64(5000);
        // A reply for another name between the two silences ends their row: 5 s again.
        QTest::newRow("silent twice") << int(Dns::Silent) << qint64(5000);
    }
    void aRefusingOrSilentDnsServerRestsBeforeItsNextQuestion()
    {
        QFETCH(int, how);
        QFETCH(qint64, restMs);
        Harness h;
        h.dns = [how](const QString &name, int) {
            if (name == QLatin1String("freex.com"))
                return Dns(how);
            return name.startsWith(QLatin1String("taken")) ? Dns::Referral : Dns::NxDomain;
        };
        h.entries = {QStringLiteral("freex"), QStringLiteral("takena")};
        h.runToEnd();
        QVERIFY(!h.run->isRunning());
        QCOMPARE(h.records.size(), 2);
        QCOMPARE(h.whoisAsked, QStringList{QStringLiteral("freex.com")}); // handed on, once
        QCOMPARE(h.run->settledByDnsCount(), 1);
        QList<qint64> askedX;
        for (const auto &[at, name] : h.dnsAsked) {
            if (name == QLatin1String("freex.com"))
                askedX.append(at);
        }
        if (Dns(how) == Dns::Silent) { // the retry waits out the rest after the first silence
            QCOMPARE(askedX.size(), 2);
            QVERIFY(askedX.at(1) - askedX.at(0) >= 5000);
        }
        QVERIFY(h.pacer.pausedFor(kDnsPacerKey) > 0);

        // The next run's first question to that server waits for the rest to end.
        const int before = int(h.dnsAsked.size());
        h.entries = {QStringLiteral("takenc")};
        h.runToEnd();
        QVERIFY(!h.run->isRunning());
        QVERIFY(h.dnsAsked.size() > before);
        QVERIFY(h.dnsAsked.at(before).first - askedX.last() >= restMs);
        QCOMPARE(h.run->settledByDnsCount(), 1);
        QCOMPARE(h.whoisAsked.size(), 1);
    }

    void aWildcardExtensionIsToldOnceAndItsNamesAskTheRegistry()
    {
        Harness h;
        h.dns = [](const QString &, int) { return Dns::Referral; }; // every name is delegated
        h.entries = {QStringLiteral("takena"), QStringLiteral("freea"), QStringLiteral("takenb")};
        QStringList panelTexts;
        QObject::connect(h.run.get(), &core::CheckRun::panelChanged, [&](int panel, const QString &text) {
            if (panel == 2)
                panelTexts.append(text);
        });
        h.runToEnd();
        QVERIFY(!h.run->isRunning());
        QCOMPARE(h.dnsNotices.size(), 1);
        QVERIFY(panelTexts.contains(h.dnsNotices.first())); // the status bar says it too
        QVERIFY(h.dnsNotices.first().contains(QLatin1String(".com")));
        QCOMPARE(h.dnsAsked.size(), 1); // the guard alone
        QVERIFY(h.isGuard(h.dnsAsked.first().second));
        QCOMPARE(h.whoisAsked.size(), 3);
        QCOMPARE(h.run->settledByDnsCount(), 0);
    }

    // A server that refuses an extension's made-up name does not hold its zone: the
    // extension is told once and its names go to the registry without a question each.
    void anExtensionWhoseGuardIsRefusedIsNotAskedAgain()
    {
        Harness h;
        h.dns = [&h](const QString &name, int) {
            if (h.isGuard(name))
                return name.endsWith(QLatin1String(".net")) ? Dns::Refused : Dns::NxDomain;
            return name.startsWith(QLatin1String("taken")) ? Dns::Referral : Dns::NxDomain;
        };
        h.entries = {QStringLiteral("takena.net"), QStringLiteral("takenb.net"), QStringLiteral("takenc")};
        h.runToEnd();
        QVERIFY(!h.run->isRunning());
        QCOMPARE(h.dnsNotices.size(), 1);
        QVERIFY(h.dnsNotices.first().contains(QLatin1String(".net")));
        QCOMPARE(h.asksOfName(QStringLiteral("takena.net")) + h.asksOfName(QStringLiteral("takenb.net")), 0);
        QStringList asked = h.whoisAsked;
        asked.sort();
        QCOMPARE(asked, (QStringList{QStringLiteral("takena.net"), QStringLiteral("takenb.net")}));
        QCOMPARE(h.run->settledByDnsCount(), 1);
    }

    void withoutATransportEveryNameAsksTheRegistry()
    {
        Harness h;
        h.withTransport = false;
        h.entries = {QStringLiteral("takena"), QStringLiteral("freea")};
        h.runToEnd();
        QCOMPARE(h.dnsNotices.size(), 1);
        QCOMPARE(h.whoisAsked.size(), 2);
        QVERIFY(h.dnsAsked.isEmpty());
    }

    void withDnsFirstOffNoQuestionIsSentAndTheStatusReadsAsBefore()
    {
        Harness h(false);
        h.entries = {QStringLiteral("takena"), QStringLiteral("freea")};
        h.runToEnd();
        QVERIFY(h.run->policy().describedPause);
        QCOMPARE(h.whoisAsked.size(), 2);
        QVERIFY(h.transport.m_sent.isEmpty());
        QVERIFY(!h.run->statusText().contains(QLatin1String("DNS")));
    }

    void stopDropsTheQuestionsAndResumesBeforeTheirNames()
    {
        Harness h;
        h.entries = {QStringLiteral("takena"), QStringLiteral("takenb")};
        h.run->startRun(h.entrySource(), 1, 2);
        h.scheduler.runDue(); // the server found, the guard asked but not answered
        QVERIFY(!h.transport.m_sent.isEmpty());
        h.run->stopRun();
        QVERIFY(h.transport.m_waiting.empty());
        QCOMPARE(h.run->resumePosition(), qint32(1));
        QVERIFY(h.records.isEmpty());
        h.scheduler.advance(10000);
        QVERIFY(h.records.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDnsFirstRun)
#include "tst_dnsfirstrun.moc"
