#include "FakeConnection.h"
#include "FakeNotice.h"
#include "FakeScheduler.h"
#include "core/lookup/RegistrarProbe.h"
#include "core/tld/TldTable.h"

#include <QSignalSpy>
#include <QtTest>

using namespace wendlecott;

namespace {

// A probe on a scripted connection and a hand-driven clock.
struct Rig {
    Rig()
    {
        auto owned = std::make_unique<testing::FakeConnection>();
        conn = owned.get();
        probe = std::make_unique<core::RegistrarProbe>(std::move(owned), scheduler, timing, notice);
    }
    void start(const QString &testName, std::function<QString()> successWords)
    {
        probe->start(testName, testName, QStringLiteral("whois.example"), 4343, std::move(successWords));
    }

    testing::FakeScheduler scheduler;
    core::Timing timing;
    testing::FakeNotice notice;
    testing::FakeConnection *conn = nullptr;
    std::unique_ptr<core::RegistrarProbe> probe;
};

} // namespace

class TestRegistrarProbe : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void endlessAnswerIsJudgedAtTheCap()
    {
        Rig rig;
        QSignalSpy judged(rig.probe.get(), &core::RegistrarProbe::judged);
        rig.start(QStringLiteral("flood.com"), [] { return core::kStandardSuccessWords; });
        rig.conn->peerAccept();
        const QByteArray block(100 * 1000, 'x');
        for (int i = 0; i < 20 && rig.conn->isOpen(); ++i)
            rig.conn->peerSend(block);
        QVERIFY(!rig.conn->isOpen());
        QCOMPARE(judged.size(), 1);
        QCOMPARE(judged[0][0].value<core::LookupEvidence>().answer.size(), core::kMaxResponseBytes);
        QVERIFY(!rig.probe->isRunning());
        QCOMPARE(rig.scheduler.pendingCount(), std::size_t(0));
        QCOMPARE(rig.notice.messages.size(), 1);
        QVERIFY(rig.notice.messages[0].text.startsWith(QStringLiteral(
            "Appears to be: Registered\r\nDomain: flood.com\r\nwhois.example:4343\r\n\r\nxxx")));

        // What the server still sends after the verdict changes nothing.
        rig.conn->peerSend("No match");
        rig.conn->peerClose();
        rig.scheduler.advance(10000);
        QCOMPARE(judged.size(), 1);
        QCOMPARE(rig.notice.messages.size(), 1);
    }

    void latinOneAnswerIsJudgedAsLatinOne()
    {
        Rig rig;
        QSignalSpy judged(rig.probe.get(), &core::RegistrarProbe::judged);
        rig.start(QStringLiteral("caf\xe9.de"), [] { return QString::fromUtf8("frei f\xc3\xbcr"); });
        rig.conn->peerAccept();
        QCOMPARE(rig.conn->sent, QByteArray("xn--caf-dma.de\r\n"));
        rig.conn->peerSend("Domain ist frei f\xfcr Sie\r\n");
        rig.conn->peerClose();
        QCOMPARE(judged.size(), 1);
        const core::LookupEvidence evidence = judged[0][0].value<core::LookupEvidence>();
        QCOMPARE(evidence.answer, QString::fromUtf8("Domain ist frei f\xc3\xbcr Sie\r\n"));
        QCOMPARE(evidence.verdict, core::LookupVerdict::Available);
    }

    void abandonedProbeSaysNothing()
    {
        Rig rig;
        QSignalSpy judged(rig.probe.get(), &core::RegistrarProbe::judged);
        rig.start(QStringLiteral("a.com"), [] { return core::kStandardSuccessWords; });
        rig.conn->peerAccept();
        rig.conn->peerSend("No match");
        rig.probe->abandon();
        QVERIFY(!rig.conn->isOpen());
        rig.conn->peerClose();
        rig.scheduler.advance(60000);
        QVERIFY(judged.isEmpty());
        QVERIFY(rig.notice.messages.isEmpty());
        QCOMPARE(rig.scheduler.pendingCount(), std::size_t(0));
    }

    void message_data()
    {
        QTest::addColumn<QString>("testName");
        QTest::addColumn<int>("verdict");
        QTest::addColumn<QString>("expected"); // "-" for no message
        const QString response = QStringLiteral("the answer\r\n");
        using V = core::LookupVerdict;
        QTest::newRow("available") << QStringLiteral("Google.com") << int(V::Available)
                                   << QStringLiteral(
                                          "Appears to be: AVAILABLE\r\nSuccess word: No match\r\n"
                                          "Domain: Google.com\r\nw.example:4343\r\n\r\nthe answer\r\n");
        QTest::newRow("blocked") << QStringLiteral("Google.com") << int(V::Blocked)
                                 << QStringLiteral("Appears to be: Error/Blocked\r\nDomain: Google.com\r\n"
                                                   "w.example:4343\r\n\r\nthe answer\r\n");
        QTest::newRow("registered") << QStringLiteral("Google.com") << int(V::Registered)
                                    << QStringLiteral("Appears to be: Registered\r\nDomain: Google.com\r\n"
                                                      "w.example:4343\r\n\r\nthe answer\r\n");
        QTest::newRow("empty field, com, available")
            << QStringLiteral(".com") << int(V::Available) << QStringLiteral("-");
        QTest::newRow("empty field, net, registered")
            << QStringLiteral(".net") << int(V::Registered) << QStringLiteral("-");
        QTest::newRow("empty field, blocked is shown")
            << QStringLiteral(".com") << int(V::Blocked)
            << QStringLiteral(
                   "Appears to be: Error/Blocked\r\nDomain: .com\r\nw.example:4343\r\n\r\nthe answer\r\n");
        QTest::newRow("empty field, other extension is shown")
            << QStringLiteral(".de") << int(V::Registered)
            << QStringLiteral(
                   "Appears to be: Registered\r\nDomain: .de\r\nw.example:4343\r\n\r\nthe answer\r\n");
        QTest::newRow("quote before .net")
            << QStringLiteral("x\".net") << int(V::Available) << QStringLiteral("-");
        QTest::newRow("quote before .com, registered")
            << QStringLiteral("x\".com") << int(V::Registered) << QStringLiteral("-");
        QTest::newRow("endoffile, available")
            << QStringLiteral("endoffileffile.com") << int(V::Available) << QStringLiteral("-");
        QTest::newRow("endoffile, registered is shown")
            << QStringLiteral("endoffileffile.com") << int(V::Registered)
            << QStringLiteral(
                   "Appears to be: Registered\r\nDomain: endoffileffile.com\r\nw.example:4343\r\n\r\n"
                   "the answer\r\n");
    }
    void message()
    {
        QFETCH(QString, testName);
        QFETCH(int, verdict);
        QFETCH(QString, expected);
        core::LookupEvidence evidence;
        evidence.verdict = core::LookupVerdict(verdict);
        if (evidence.verdict == core::LookupVerdict::Available)
            evidence.matchedWord = QStringLiteral("No match");
        evidence.server = QStringLiteral("w.example");
        evidence.port = 4343;
        evidence.answer = QStringLiteral("the answer\r\n");
        const std::optional<QString> text = core::registrarProbeMessage(evidence, testName);
        if (expected == QLatin1String("-"))
            QVERIFY(!text.has_value());
        else
            QCOMPARE(text.value_or(QStringLiteral("<none>")), expected);
    }
};

QTEST_GUILESS_MAIN(TestRegistrarProbe)
#include "tst_registrarprobe.moc"
