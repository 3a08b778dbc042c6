#include "FakeWhoisServer.h"
#include "SlotRecorder.h"
#include "core/lookup/LookupSlot.h"
#include "platform/QtScheduler.h"
#include "platform/QtWhoisConnection.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

using namespace wendlecott;
using Mode = testing::FakeWhoisServer::Mode;

namespace {

constexpr int kWaitMs = 10000; // generous bound for loopback; a passing test takes milliseconds

// A slot on a real socket and real timers, aimed at a fake server on 127.0.0.1.
struct SocketRig {
    explicit SocketRig(const core::Timing &t = {}) : timing(t)
    {
        slot = std::make_unique<core::LookupSlot>(0, std::make_unique<platform::QtWhoisConnection>(),
                                                  scheduler, timing);
        recorder.attach(*slot);
    }

    core::TldEntry entry(quint16 port) const
    {
        core::TldEntry e;
        e.extension = QStringLiteral("com");
        e.server = QStringLiteral("127.0.0.1");
        e.port = port;
        e.enabled = true;
        e.successWords = core::kStandardSuccessWords;
        return e;
    }

    bool waitForVerdict()
    {
        return QTest::qWaitFor([this] { return !outcomes.isEmpty(); }, kWaitMs);
    }

    platform::QtScheduler scheduler;
    core::Timing timing;
    std::unique_ptr<core::LookupSlot> slot;
    testing::SlotRecorder recorder;
    QList<testing::SlotOutcome> &outcomes = recorder.outcomes;
};

// A loopback port that nothing listens on.
quint16 closedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

} // namespace

class TestLookupSlotSocket : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void answersAreJudged_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<core::LookupVerdict>("verdict");
        using V = core::LookupVerdict;
        const QByteArray longRegistered = QByteArray("Domain Name: EXAMPLE.COM\r\n").repeated(200);
        QTest::newRow("available") << QStringLiteral("example.com") << int(Mode::AnswerAndClose)
                                   << QByteArray("No match for \"EXAMPLE.COM\".\r\n")
                                   << QByteArray("example.com\r\n") << V::Available;
        QTest::newRow("registered") << QStringLiteral("example.com") << int(Mode::AnswerAndClose)
                                    << longRegistered << QByteArray("example.com\r\n") << V::Registered;
        QTest::newRow("blocked") << QStringLiteral("example.com") << int(Mode::AnswerAndClose)
                                 << QByteArray("Query quota exceeded\r\n") << QByteArray("example.com\r\n")
                                 << V::Blocked;
        QTest::newRow("chunked") << QStringLiteral("example.com") << int(Mode::Chunked)
                                 << QByteArray("Domain: example.com\r\nStatus: AVAILABLE\r\n")
                                 << QByteArray("example.com\r\n") << V::Available;
        // A server that closes or resets without a byte has not answered.
        QTest::newRow("close at once") << QStringLiteral("example.com") << int(Mode::CloseAtOnce)
                                       << QByteArray() << QByteArray("example.com\r\n") << V::Unknown;
        QTest::newRow("reset") << QStringLiteral("example.com") << int(Mode::Reset) << QByteArray()
                               << QByteArray("example.com\r\n") << V::Unknown;
        QTest::newRow("idna") << QString::fromUtf8("münchen.de") << int(Mode::AnswerAndClose)
                              << QByteArray("Status: free\r\nnot found\r\n")
                              << QByteArray("xn--mnchen-3ya.de\r\n") << V::Available;
    }
    void answersAreJudged()
    {
        QFETCH(QString, name);
        QFETCH(int, mode);
        QFETCH(QByteArray, answer);
        QFETCH(QByteArray, request);
        QFETCH(core::LookupVerdict, verdict);

        testing::FakeWhoisServer server;
        QVERIFY(server.start());
        server.setDefault({Mode(mode), answer});
        SocketRig rig;
        QSignalSpy status(rig.slot.get(), &core::LookupSlot::statusText);
        rig.slot->startLookup(name, rig.entry(server.port()));
        QVERIFY(rig.waitForVerdict());

        QCOMPARE(rig.outcomes.size(), 1);
        const testing::SlotOutcome &o = rig.outcomes[0];
        QCOMPARE(o.verdict, verdict);
        QCOMPARE(o.response, QString::fromUtf8(answer));
        QCOMPARE(o.name, name);
        QCOMPARE(o.server, QStringLiteral("127.0.0.1"));
        QCOMPARE(o.port, server.port());
        QCOMPARE(server.rawRequests(), QList<QByteArray>{request});
        QCOMPARE(server.connectionCount(), 1);
        QCOMPARE(status.size(), 1);
        QCOMPARE(status[0][0].toString(), QStringLiteral("connecting(0): - Search String: ") + name);
        QVERIFY(!rig.slot->isInFlight());
        QVERIFY(!rig.slot->isTimerActive());
    }

    void silentServerIsAskedAgainOnItsOwnPort()
    {
        testing::FakeWhoisServer server;
        QVERIFY(server.start());
        server.script(QStringLiteral("example.com"), {Mode::AnswerAndHold, QByteArray("first attempt, ")});
        core::Timing fast;
        fast.tickMs = 20; // a reconnect every 200 ms
        SocketRig rig(fast);
        QSignalSpy requests(&server, &testing::FakeWhoisServer::requestReceived);
        rig.slot->startLookup(QStringLiteral("example.com"), rig.entry(server.port()));
        QVERIFY(requests.wait(kWaitMs));
        // Wait until the held text has arrived, then let the next attempt be answered in full.
        QTRY_COMPARE_WITH_TIMEOUT(rig.slot->responseBytes(), QByteArray("first attempt, "), kWaitMs);
        server.answer(QStringLiteral("example.com"), QByteArray("no match\r\n"));
        QVERIFY(rig.waitForVerdict());

        QCOMPARE(rig.outcomes.size(), 1);
        QCOMPARE(rig.outcomes[0].response, QStringLiteral("first attempt, no match\r\n"));
        QCOMPARE(rig.outcomes[0].verdict, core::LookupVerdict::Available);
        QCOMPARE(server.connectionCount(), 2); // the reconnect went to the fake server's own port
        QCOMPARE(server.rawRequests(),
                 (QList<QByteArray>{QByteArray("example.com\r\n"), QByteArray("example.com\r\n")}));
        QCOMPARE(rig.slot->reconnectCount(), 1);
    }

    void endlessStreamIsCutAtTheCap()
    {
        testing::FakeWhoisServer server;
        QVERIFY(server.start());
        server.setDefault({Mode::Endless, {}});
        QSignalSpy ended(&server, &testing::FakeWhoisServer::connectionEnded);
        SocketRig rig;
        rig.slot->startLookup(QStringLiteral("example.com"), rig.entry(server.port()));
        QVERIFY(rig.waitForVerdict());
        QCOMPARE(rig.outcomes.size(), 1);
        QCOMPARE(rig.outcomes[0].response.size(), core::kMaxResponseBytes);
        QCOMPARE(rig.outcomes[0].verdict, core::LookupVerdict::Registered);
        QVERIFY(!rig.slot->isInFlight());
        // Nothing more is taken in once the lookup is judged: the server sees the connection end.
        QVERIFY(!ended.isEmpty() || ended.wait(kWaitMs));
        QCOMPARE(rig.outcomes.size(), 1);
        QCOMPARE(rig.slot->responseBytes().size(), core::kMaxResponseBytes);
    }

    // A refused connection ends the lookup at once with its cause, without a verdict and
    // without waiting for the reconnect ticks.
    void refusedConnectionEndsTheLookupWithItsCause()
    {
        const quint16 port = closedPort();
        QVERIFY(port != 0);
        core::Timing fast;
        fast.tickMs = 10;
        fast.reconnectTicks = 3;
        SocketRig rig(fast);
        const QStringList &failed = rig.recorder.failures;
        rig.slot->startLookup(QStringLiteral("example.com"), rig.entry(port));
        QVERIFY(QTest::qWaitFor([&] { return !failed.isEmpty(); }, kWaitMs));
        QVERIFY2(failed.first().contains(QStringLiteral("refused"), Qt::CaseInsensitive),
                 qPrintable(failed.first()));
        QVERIFY(rig.outcomes.isEmpty());
        QVERIFY(!rig.slot->isInFlight());
        // With its timer off nothing can reconnect (tst_lookupslot counts the ticks on a fake clock).
        QVERIFY(!rig.slot->isTimerActive());
        QCOMPARE(rig.slot->reconnectCount(), 0);
        QCOMPARE(failed.size(), 1);
    }

    void stopFlagDropsTheAnswer()
    {
        testing::FakeWhoisServer server;
        QVERIFY(server.start());
        server.setDefault({Mode::Chunked, QByteArray("No match for example.com\r\n"), 3, 5});
        SocketRig rig;
        bool stop = false;
        rig.slot->setStopCheck([&stop] { return stop; });
        QSignalSpy requests(&server, &testing::FakeWhoisServer::requestReceived);
        QSignalSpy ended(&server, &testing::FakeWhoisServer::connectionEnded);
        rig.slot->startLookup(QStringLiteral("example.com"), rig.entry(server.port()));
        QVERIFY(requests.wait(kWaitMs));
        stop = true;
        // The connection ends (the slot closes it at the first piece, or the server after the
        // whole answer); either way the answer and the close have had their chance.
        QVERIFY(!ended.isEmpty() || ended.wait(kWaitMs));
        QCoreApplication::processEvents(); // what the client socket still holds is handed over
        QVERIFY(rig.outcomes.isEmpty());
        QVERIFY(rig.slot->responseBytes().size() < 4);
        rig.slot->abort();
    }

    void abortMidAnswerGivesNoVerdict()
    {
        testing::FakeWhoisServer server;
        QVERIFY(server.start());
        server.setDefault({Mode::Silent, {}});
        SocketRig rig;
        QSignalSpy requests(&server, &testing::FakeWhoisServer::requestReceived);
        rig.slot->startLookup(QStringLiteral("example.com"), rig.entry(server.port()));
        QVERIFY(requests.wait(kWaitMs));
        rig.slot->abort();
        // The next lookup on the same slot runs cleanly on a fresh connection.
        server.setDefault({Mode::AnswerAndClose, QByteArray("No entries found\r\n")});
        rig.slot->startLookup(QStringLiteral("second.com"), rig.entry(server.port()));
        QVERIFY(rig.waitForVerdict());
        QCOMPARE(rig.outcomes.size(), 1);
        QCOMPARE(rig.outcomes[0].name, QStringLiteral("second.com"));
        QCOMPARE(rig.outcomes[0].response, QStringLiteral("No entries found\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestLookupSlotSocket)
#include "tst_lookupslot_socket.moc"
