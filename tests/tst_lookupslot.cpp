#include "FakeConnection.h"
#include "FakeScheduler.h"
#include "SlotRecorder.h"
#include "core/lookup/LookupSlot.h"
#include "core/tld/WhoisRequest.h"

#include <QtTest>

using namespace wendlecott;

namespace {

core::TldEntry entry(const QString &server = QStringLiteral("whois.example.net"), quint16 port = 43,
                     const QString &successWords = core::kStandardSuccessWords)
{
    core::TldEntry e;
    e.extension = QStringLiteral("com");
    e.server = server;
    e.port = port;
    e.enabled = true;
    e.successWords = successWords;
    return e;
}

// One slot on a fake connection and a hand-driven clock, with everything it reports recorded.
struct Rig {
    explicit Rig(int slotNumber = 0)
    {
        auto owned = std::make_unique<testing::FakeConnection>();
        conn = owned.get();
        slot = std::make_unique<core::LookupSlot>(slotNumber, std::move(owned), scheduler, timing);
        slot->setStopCheck([this] { return stop; });
        recorder.attach(*slot);
        QObject::connect(slot.get(), &core::LookupSlot::statusText,
                         [this](const QString &text) { statuses.append(text); });
    }

    testing::FakeScheduler scheduler;
    core::Timing timing;
    testing::FakeConnection *conn = nullptr;
    std::unique_ptr<core::LookupSlot> slot;
    bool stop = false;
    testing::SlotRecorder recorder;
    QList<testing::SlotOutcome> &outcomes = recorder.outcomes;
    QStringList &failures = recorder.failures;
    QStringList statuses;
};

} // namespace

class TestLookupSlot : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void requestBytes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("plain") << QStringLiteral("example.com") << QByteArray("example.com\r\n");
        QTest::newRow("case kept") << QStringLiteral("Example.COM") << QByteArray("Example.COM\r\n");
        QTest::newRow("hyphen and digits") << QStringLiteral("a-1.co.uk") << QByteArray("a-1.co.uk\r\n");
        QTest::newRow("idna") << QString::fromUtf8("münchen.de") << QByteArray("xn--mnchen-3ya.de\r\n");
        QTest::newRow("idna, second label ascii")
            << QString::fromUtf8("bücher.example.com") << QByteArray("xn--bcher-kva.example.com\r\n");
        QTest::newRow("idna, capitals")
            << QString::fromUtf8("MÜNCHEN.DE") << QByteArray("xn--mnchen-3ya.de\r\n");
        // No ASCII-compatible form (a space is not allowed in a host name): sent as UTF-8.
        QTest::newRow("no idna form")
            << QString::fromUtf8("ex ample.cöm") << QByteArray("ex ample.c\xc3\xb6m\r\n");
        QTest::newRow("line breaks dropped")
            << QStringLiteral("example.com\r\nsecond.com") << QByteArray("example.comsecond.com\r\n");
    }
    void requestBytes()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QCOMPARE(core::whoisRequest(name), bytes);

        Rig rig;
        rig.slot->startLookup(name, entry());
        rig.conn->peerAccept();
        QCOMPARE(rig.conn->sends, QList<QByteArray>{bytes}); // one write, the line and nothing more
    }

    void startOpensTheEntrysServerAndPort()
    {
        Rig rig(3);
        rig.slot->startLookup(QStringLiteral("example.com"), entry(QStringLiteral("whois.test"), 4343));
        QCOMPARE(rig.conn->opens.size(), 1);
        QCOMPARE(rig.conn->opens[0].host, QStringLiteral("whois.test"));
        QCOMPARE(rig.conn->opens[0].port, quint16(4343));
        QVERIFY(rig.slot->isInFlight());
        QVERIFY(rig.slot->isTimerActive());
        QCOMPARE(rig.scheduler.nextDueIn(), rig.timing.tickMs);
        QCOMPARE(rig.slot->name(), QStringLiteral("example.com"));
        QCOMPARE(rig.slot->server(), QStringLiteral("whois.test"));
        QCOMPARE(rig.slot->port(), quint16(4343));

        rig.conn->peerAccept();
        QCOMPARE(rig.statuses, QStringList{QStringLiteral("connecting(3): - Search String: example.com")});
    }

    void startEmptiesTheEarlierResponse()
    {
        Rig rig;
        rig.slot->startLookup(QStringLiteral("a.com"), entry());
        rig.conn->peerAccept();
        rig.conn->peerSend("old text");
        rig.slot->startLookup(QStringLiteral("b.com"), entry());
        QVERIFY(rig.slot->responseBytes().isEmpty());
        QCOMPARE(rig.conn->opens.size(), 2);
        QCOMPARE(rig.conn->closeCount, 1); // the open connection of a.com was closed first
        rig.conn->peerAccept();
        rig.conn->peerClose();
        QCOMPARE(rig.outcomes.size(), 1);
        QCOMPARE(rig.outcomes[0].name, QStringLiteral("b.com"));
        QCOMPARE(rig.outcomes[0].response, QString());
    }

    void verdicts_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QString>("successWords");
        QTest::addColumn<core::LookupVerdict>("verdict");
        QTest::addColumn<QString>("matched");
        const QString standard = core::kStandardSuccessWords;
        using V = core::LookupVerdict;
        QTest::newRow("success word in capitals") << QList<QByteArray>{"NO MATCH FOR \"EXAMPLE.COM\".\r\n"}
                                                  << standard << V::Available << QStringLiteral("No match");
        QTest::newRow("success and error") << QList<QByteArray>{"Error: ", "No match\r\n"} << standard
                                           << V::Available << QStringLiteral("No match");
        QTest::newRow("exceeded") << QList<QByteArray>{"Query rate limit exceeded\r\n"} << standard
                                  << V::Blocked << QString();
        QTest::newRow("registered") << QList<QByteArray>{"Domain Name: EXAMPLE.COM\r\n", "Registrar: X\r\n"}
                                    << standard << V::Registered << QString();
        QTest::newRow("empty answer: no answer")
            << QList<QByteArray>{} << standard << V::Unknown << QString();
        QTest::newRow("trailing comma, text")
            << QList<QByteArray>{"anything"} << QStringLiteral("No match,") << V::Available << QString();
        QTest::newRow("trailing comma, empty")
            << QList<QByteArray>{} << QStringLiteral("No match,") << V::Unknown << QString();
        QTest::newRow("empty success field")
            << QList<QByteArray>{"No match"} << QString() << V::Registered << QString();
        // The word is split inside a UTF-8 sequence; the answer is judged as a whole.
        QTest::newRow("utf-8 split across chunks")
            << QList<QByteArray>{"Statut: libre ch\xc3", "\xa9rie\r\n"} << QString::fromUtf8("chérie")
            << V::Available << QString::fromUtf8("chérie");
        QTest::newRow("success word in the second piece") << QList<QByteArray>{"No ma", "tch\r\n"} << standard
                                                          << V::Available << QStringLiteral("No match");
    }
    void verdicts()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QString, successWords);
        QFETCH(core::LookupVerdict, verdict);
        QFETCH(QString, matched);

        Rig rig;
        rig.recorder.successWords = successWords;
        rig.slot->startLookup(QStringLiteral("example.com"),
                              entry(QStringLiteral("whois.test"), 4343, successWords));
        rig.conn->peerAccept();
        QByteArray all;
        for (const QByteArray &chunk : chunks) {
            rig.conn->peerSend(chunk);
            all += chunk;
        }
        QVERIFY(rig.outcomes.isEmpty());
        rig.conn->peerClose();

        QCOMPARE(rig.outcomes.size(), 1);
        const testing::SlotOutcome &o = rig.outcomes[0];
        QCOMPARE(o.verdict, verdict);
        QCOMPARE(o.matchedWord, matched);
        QCOMPARE(o.name, QStringLiteral("example.com"));
        QCOMPARE(o.server, QStringLiteral("whois.test"));
        QCOMPARE(o.port, quint16(4343));
        QCOMPARE(o.response, QString::fromUtf8(all));
        QVERIFY(!rig.slot->isInFlight());
        QVERIFY(!rig.slot->isTimerActive());
        QVERIFY(!rig.conn->isOpen());
        QCOMPARE(rig.scheduler.pendingCount(), std::size_t(0));
    }

    void silentServerIsReconnectedOnItsOwnPort()
    {
        Rig rig;
        rig.slot->startLookup(QStringLiteral("example.com"), entry(QStringLiteral("127.0.0.1"), 4343));
        rig.conn->peerAccept();
        rig.conn->peerSend("first part, ");

        rig.scheduler.advance(9999);
        QCOMPARE(rig.conn->opens.size(), 1);
        QCOMPARE(rig.slot->ticks(), 9);
        rig.scheduler.advance(1);
        QCOMPARE(rig.conn->opens.size(), 2);
        QCOMPARE(rig.conn->opens[1].host, QStringLiteral("127.0.0.1"));
        QCOMPARE(rig.conn->opens[1].port, quint16(4343));
        QCOMPARE(rig.slot->ticks(), 0);
        QCOMPARE(rig.slot->reconnectCount(), 1);
        QVERIFY(rig.slot->isTimerActive());

        // The second attempt sends the name again; the text of both attempts is judged together.
        rig.conn->peerAccept();
        QCOMPARE(rig.conn->sends.size(), 2);
        QCOMPARE(rig.conn->sends[1], QByteArray("example.com\r\n"));
        rig.scheduler.advance(10000);
        QCOMPARE(rig.conn->opens.size(), 3);
        rig.conn->peerAccept();
        rig.conn->peerSend("no match");
        rig.conn->peerClose();
        QCOMPARE(rig.outcomes.size(), 1);
        QCOMPARE(rig.outcomes[0].response, QStringLiteral("first part, no match"));
        QCOMPARE(rig.outcomes[0].verdict, core::LookupVerdict::Available);
        QCOMPARE(rig.outcomes[0].port, quint16(4343));
    }

    void timeOutCountsFromTheConnection()
    {
        // Ten silent seconds after the connection was made, not after the lookup started.
        Rig rig;
        rig.slot->startLookup(QStringLiteral("example.com"), entry());
        rig.scheduler.advance(2500);
        rig.conn->peerAccept();
        rig.scheduler.advance(9999);
        QCOMPARE(rig.conn->opens.size(), 1);
        rig.scheduler.advance(1);
        QCOMPARE(rig.conn->opens.size(), 2);
    }

    // No connection at all: the lookup ends with the cause, without a verdict and without
    // the reconnects (each would fail the same way); the owner says why.
    void unreachableServerEndsTheLookupWithItsCause()
    {
        Rig rig;
        const QStringList &failed = rig.failures;
        rig.slot->startLookup(QStringLiteral("example.com"), entry(QStringLiteral("nowhere.invalid"), 4343));
        rig.conn->peerFail(QStringLiteral("Host nowhere.invalid not found"));
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed.first(), QStringLiteral("Host nowhere.invalid not found"));
        QVERIFY(rig.outcomes.isEmpty());
        QVERIFY(rig.statuses.isEmpty());
        QVERIFY(!rig.slot->isInFlight());
        rig.scheduler.advance(50000);
        QCOMPARE(rig.conn->opens.size(), 1);
        QCOMPARE(failed.size(), 1);

        // A connection that broke after it was made is still tried again at the tick.
        rig.slot->startLookup(QStringLiteral("example.com"), entry(QStringLiteral("nowhere.invalid"), 4343));
        rig.conn->peerAccept();
        rig.conn->peerFail();
        QCOMPARE(failed.size(), 1);
        rig.scheduler.advance(10000);
        QCOMPARE(rig.conn->opens.size(), 3);
        QCOMPARE(rig.conn->opens.last().port, quint16(4343));
        QVERIFY(rig.slot->isInFlight());
    }

    void failedSendReconnectsToTheEntrysPort()
    {
        Rig rig;
        rig.slot->startLookup(QStringLiteral("example.com"), entry(QStringLiteral("127.0.0.1"), 4343));
        rig.conn->failSends = true;
        rig.conn->peerAccept();
        QCOMPARE(rig.conn->opens.size(), 2);
        QCOMPARE(rig.conn->opens[1].port, quint16(4343));
        QCOMPARE(rig.conn->opens[1].host, QStringLiteral("127.0.0.1"));
        rig.conn->failSends = false;
        rig.conn->peerAccept();
        QCOMPARE(rig.conn->sends, QList<QByteArray>{QByteArray("example.com\r\n")});
        rig.conn->peerClose();
        QCOMPARE(rig.outcomes.size(), 1);
    }

    void endlessAnswerIsCutAtTheCap()
    {
        Rig rig;
        rig.slot->startLookup(QStringLiteral("example.com"), entry());
        rig.conn->peerAccept();
        const QByteArray block(64 * 1000 + 7, 'x'); // does not divide the cap evenly
        int sent = 0;
        while (rig.conn->isOpen() && sent < 100) {
            rig.conn->peerSend(block);
            ++sent;
        }
        QCOMPARE(rig.outcomes.size(), 1);
        QVERIFY(!rig.conn->isOpen());
        QCOMPARE(rig.outcomes[0].response.size(), core::kMaxResponseBytes);
        QCOMPARE(rig.slot->responseBytes().size(), core::kMaxResponseBytes);
        QCOMPARE(rig.outcomes[0].verdict, core::LookupVerdict::Registered);
        QVERIFY(!rig.slot->isTimerActive());

        // Late bytes and a late close of the finished lookup change nothing.
        rig.conn->peerSend(block);
        rig.conn->peerClose();
        QCOMPARE(rig.outcomes.size(), 1);
        QCOMPARE(rig.slot->responseBytes().size(), core::kMaxResponseBytes);
    }

    void answerOfExactlyTheCapIsJudgedAtOnce()
    {
        Rig rig;
        rig.slot->startLookup(QStringLiteral("example.com"), entry());
        rig.conn->peerAccept();
        rig.conn->peerSend(QByteArray(core::kMaxResponseBytes - 9, 'x'));
        QVERIFY(rig.outcomes.isEmpty());
        rig.conn->peerSend("no match.");
        QCOMPARE(rig.outcomes.size(), 1);
        QCOMPARE(rig.outcomes[0].verdict, core::LookupVerdict::Available);
    }

    void stopFlagMakesEveryEventOnlyClose_data()
    {
        QTest::addColumn<QString>("event");
        QTest::newRow("connected") << QStringLiteral("connected");
        QTest::newRow("data") << QStringLiteral("data");
        QTest::newRow("closed") << QStringLiteral("closed");
        QTest::newRow("failed") << QStringLiteral("failed");
        QTest::newRow("tick") << QStringLiteral("tick");
    }
    void stopFlagMakesEveryEventOnlyClose()
    {
        QFETCH(QString, event);
        Rig rig;
        rig.slot->startLookup(QStringLiteral("example.com"), entry());
        if (event != QLatin1String("connected"))
            rig.conn->peerAccept();
        const int sendsBefore = int(rig.conn->sends.size());
        const int statusesBefore = int(rig.statuses.size());
        rig.stop = true;

        if (event == QLatin1String("connected")) {
            rig.conn->peerAccept();
        } else if (event == QLatin1String("data")) {
            rig.conn->peerSend("No match");
        } else if (event == QLatin1String("closed")) {
            rig.conn->peerClose();
        } else if (event == QLatin1String("failed")) {
            rig.conn->peerFail();
        } else {
            rig.scheduler.advance(rig.timing.tickMs);
            QVERIFY(!rig.slot->isTimerActive());
            QCOMPARE(rig.slot->ticks(), 1);
        }

        QVERIFY(!rig.conn->isOpen());
        QVERIFY(rig.outcomes.isEmpty());
        QCOMPARE(rig.conn->sends.size(), sendsBefore);
        QCOMPARE(rig.statuses.size(), statusesBefore);
        QVERIFY(rig.slot->responseBytes().isEmpty());
        // Whatever the timer does later, a stopped slot never reconnects.
        rig.scheduler.advance(60000);
        QCOMPARE(rig.conn->opens.size(), 1);
        QVERIFY(!rig.slot->isTimerActive());
    }

    void abortDropsTheLookup()
    {
        Rig rig;
        rig.slot->startLookup(QStringLiteral("example.com"), entry());
        rig.conn->peerAccept();
        rig.scheduler.advance(3000);
        QCOMPARE(rig.slot->ticks(), 3);
        rig.slot->abort();
        QVERIFY(!rig.conn->isOpen());
        QVERIFY(!rig.slot->isInFlight());
        QVERIFY(!rig.slot->isTimerActive());
        QCOMPARE(rig.slot->ticks(), 0);
        QCOMPARE(rig.scheduler.pendingCount(), std::size_t(0));

        // Events that were already on their way give no verdict and no reconnect.
        rig.conn->peerSend("No match");
        rig.conn->peerClose();
        rig.scheduler.advance(60000);
        QVERIFY(rig.outcomes.isEmpty());
        QCOMPARE(rig.conn->opens.size(), 1);
    }

    void nextLookupMayStartFromTheVerdict()
    {
        Rig rig;
        QStringList names{QStringLiteral("a.com"), QStringLiteral("b.com"), QStringLiteral("c.com")};
        QObject::connect(rig.slot.get(), &core::LookupSlot::finished, [&] {
            if (!names.isEmpty())
                rig.slot->startLookup(names.takeFirst(), entry());
        });
        rig.slot->startLookup(names.takeFirst(), entry());
        for (int i = 0; i < 3; ++i) {
            rig.conn->peerAccept();
            rig.conn->peerSend(i == 1 ? QByteArray("No match") : QByteArray("Domain Name: x"));
            rig.conn->peerClose();
        }
        QCOMPARE(rig.outcomes.size(), 3);
        QCOMPARE(rig.outcomes[1].name, QStringLiteral("b.com"));
        QCOMPARE(rig.outcomes[1].verdict, core::LookupVerdict::Available);
        QCOMPARE(rig.outcomes[2].response, QStringLiteral("Domain Name: x"));
        QCOMPARE(rig.conn->sends.last(), QByteArray("c.com\r\n"));
        QVERIFY(!rig.slot->isInFlight());
    }
};

QTEST_GUILESS_MAIN(TestLookupSlot)
#include "tst_lookupslot.moc"
