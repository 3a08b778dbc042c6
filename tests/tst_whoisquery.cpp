#include "FakeConnection.h"
#include "FakeScheduler.h"
#include "FakeWhoisServer.h"
#include "core/lookup/WhoisQuery.h"
#include "platform/QtScheduler.h"
#include "platform/QtWhoisConnection.h"

#include <QTcpServer>
#include <QtTest>

using namespace wendlecott;
using Ending = core::WhoisEnding;
using Mode = testing::FakeWhoisServer::Mode;

namespace {

const core::WhoisServer kServer{QStringLiteral("whois.example.net"), 4343};
const QByteArray kRequest("example.net\r\n");
constexpr qsizetype kCap = core::kMaxResponseBytes;

// One query on a scripted connection and a hand-driven clock, with every answer recorded.
struct Rig {
    Rig()
    {
        auto owned = std::make_unique<testing::FakeConnection>();
        conn = owned.get();
        query = std::make_unique<core::WhoisQuery>(std::move(owned), scheduler);
        QObject::connect(query.get(), &core::WhoisQuery::finished,
                         [this](const core::WhoisAnswer &answer) { answers.append(answer); });
    }
    // Starts, connects and lets the request go out.
    void exchange(core::WhoisQueryOptions options = {})
    {
        query->start(kServer, kRequest, std::move(options));
        conn->peerAccept();
    }
    // The one answer of the exchange (the test has checked there is exactly one).
    const core::WhoisAnswer &only() const { return answers.first(); }

    testing::FakeScheduler scheduler;
    testing::FakeConnection *conn = nullptr;
    std::unique_ptr<core::WhoisQuery> query;
    QList<core::WhoisAnswer> answers;
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

constexpr int kWaitMs = 10000; // bound of every wait on a real socket

} // namespace

class TestWhoisQuery : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // --- with a scripted connection and clock ---

    void serverClosingEndsTheExchange()
    {
        Rig rig;
        QSignalSpy connected(rig.query.get(), &core::WhoisQuery::connected);
        rig.query->start(kServer, kRequest);
        QVERIFY(rig.query->isRunning());
        QCOMPARE(rig.conn->opens.size(), 1);
        QCOMPARE(rig.conn->opens[0].host, kServer.host);
        QCOMPARE(rig.conn->opens[0].port, kServer.port);
        QVERIFY(rig.conn->sends.isEmpty()); // nothing goes out before the connection is made
        rig.scheduler.advance(120);
        rig.conn->peerAccept();
        QCOMPARE(connected.size(), 1);
        QCOMPARE(rig.conn->sends, QList<QByteArray>{kRequest});
        rig.conn->peerSend("Domain Name: EXAMPLE.NET\r\n");
        rig.scheduler.advance(80);
        rig.conn->peerSend("Registrar: Example\r\n");
        QVERIFY(rig.answers.isEmpty());
        rig.conn->peerClose();

        QCOMPARE(rig.answers.size(), 1);
        const core::WhoisAnswer &answer = rig.only();
        QCOMPARE(answer.ending, Ending::ServerClosed);
        QCOMPARE(answer.bytes, QByteArray("Domain Name: EXAMPLE.NET\r\nRegistrar: Example\r\n"));
        QCOMPARE(answer.text, QStringLiteral("Domain Name: EXAMPLE.NET\r\nRegistrar: Example\r\n"));
        QCOMPARE(answer.host, kServer.host);
        QCOMPARE(answer.port, kServer.port);
        QCOMPARE(answer.elapsedMs, qint64(200));
        QVERIFY(answer.reason.isEmpty());
        QVERIFY(!rig.query->isRunning());
        QCOMPARE(rig.query->answerBytes(), answer.bytes);
        QCOMPARE(rig.scheduler.pendingCount(), std::size_t(0));
    }

    void capEndsTheExchange_data()
    {
        QTest::addColumn<QList<qsizetype>>("pieces");
        QTest::addColumn<bool>("serverCloses");
        QTest::addColumn<int>("ending");
        QTest::addColumn<qsizetype>("kept");
        QTest::newRow("one byte under, then closed")
            << QList<qsizetype>{kCap - 1} << true << int(Ending::ServerClosed) << kCap - 1;
        QTest::newRow("exactly the cap in one piece")
            << QList<qsizetype>{kCap} << false << int(Ending::CapReached) << kCap;
        QTest::newRow("exactly the cap in two pieces")
            << QList<qsizetype>{kCap - 10, 10} << false << int(Ending::CapReached) << kCap;
        QTest::newRow("one byte over")
            << QList<qsizetype>{kCap + 1} << false << int(Ending::CapReached) << kCap;
        QTest::newRow("one byte over in the last piece")
            << QList<qsizetype>{kCap - 1, 2} << false << int(Ending::CapReached) << kCap;
    }
    void capEndsTheExchange()
    {
        QFETCH(QList<qsizetype>, pieces);
        QFETCH(bool, serverCloses);
        QFETCH(int, ending);
        QFETCH(qsizetype, kept);
        Rig rig;
        rig.exchange();
        for (const qsizetype piece : pieces) {
            QVERIFY(rig.answers.isEmpty());
            rig.conn->peerSend(QByteArray(piece, 'x'));
        }
        if (serverCloses)
            rig.conn->peerClose();
        QCOMPARE(rig.answers.size(), 1);
        const core::WhoisAnswer &answer = rig.only();
        QCOMPARE(int(answer.ending), ending);
        QCOMPARE(answer.bytes.size(), kept);
        QCOMPARE(answer.text.size(), kept);
        QVERIFY(!rig.conn->isOpen()); // a capped answer is not read any further
    }

    void carriedAnswerComesFirstAndCountsTowardsTheCap()
    {
        Rig rig;
        core::WhoisQueryOptions options;
        options.carriedAnswer = "first attempt, ";
        rig.query->start(kServer, kRequest, options);
        QCOMPARE(rig.query->answerBytes(), QByteArray("first attempt, "));
        rig.conn->peerAccept();
        rig.conn->peerSend("second");
        rig.conn->peerClose();
        QCOMPARE(rig.answers.size(), 1);
        QCOMPARE(rig.only().text, QStringLiteral("first attempt, second"));

        Rig full;
        options.carriedAnswer = QByteArray(kCap - 3, 'x');
        full.exchange(options);
        full.conn->peerSend("abcdef");
        QCOMPARE(full.answers.size(), 1);
        QCOMPARE(full.only().ending, Ending::CapReached);
        QCOMPARE(full.only().bytes, QByteArray(kCap - 3, 'x') + "abc");
    }

    void utf8AnswerCutAtTheCapStaysUtf8()
    {
        Rig rig;
        rig.exchange();
        // "ü" is two bytes; the odd "x" in front puts the cap inside one of them.
        QByteArray answer = "x";
        while (answer.size() <= kCap)
            answer += "\xc3\xbc";
        rig.conn->peerSend(answer);
        QCOMPARE(rig.answers.size(), 1);
        const core::WhoisAnswer &result = rig.only();
        QCOMPARE(result.ending, Ending::CapReached);
        QCOMPARE(result.bytes.size(), kCap - 1);
        QCOMPARE(result.text, QStringLiteral("x") + QString((kCap - 2) / 2, QChar(0xfc)));

        // A three-byte character cut after its first two bytes.
        Rig three;
        three.exchange();
        three.conn->peerSend(QByteArray(kCap - 2, 'y') + "\xe2\x82\xac");
        QCOMPARE(three.answers.size(), 1);
        QCOMPARE(three.only().bytes, QByteArray(kCap - 2, 'y'));
        QCOMPARE(three.only().text, QString(kCap - 2, QLatin1Char('y')));
    }

    void latinOneAnswerCutAtTheCapIsKeptWhole()
    {
        // A Latin-1 answer is no UTF-8 to begin with: nothing is dropped from its end.
        Rig rig;
        rig.exchange();
        rig.conn->peerSend("caf\xe9 " + QByteArray(kCap - 6, 'x') + "\xe9tage");
        QCOMPARE(rig.answers.size(), 1);
        const core::WhoisAnswer &answer = rig.only();
        QCOMPARE(answer.bytes.size(), kCap);
        QCOMPARE(answer.text.size(), kCap);
        QVERIFY(answer.text.startsWith(QString::fromUtf8("caf\xc3\xa9 ")));
        QCOMPARE(answer.text.back(), QChar(0xe9));
    }

    void answerIsDecodedAsUtf8ElseLatinOne_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("ascii") << QByteArray("No match\r\n") << QStringLiteral("No match\r\n");
        QTest::newRow("utf-8") << QByteArray("Stra\xc3\x9f"
                                             "e")
                               << QString::fromUtf8("Stra\xc3\x9f"
                                                    "e");
        QTest::newRow("latin-1") << QByteArray("Stra\xdf"
                                               "e")
                                 << QString::fromUtf8("Stra\xc3\x9f"
                                                      "e");
        QTest::newRow("utf-8 split across pieces")
            << QByteArray("\xc3") + QByteArray("\xa9t\xc3\xa9") << QString::fromUtf8("\xc3\xa9t\xc3\xa9");
        QTest::newRow("empty") << QByteArray() << QString();
    }
    void answerIsDecodedAsUtf8ElseLatinOne()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(core::whoisAnswerText(bytes), text);
        Rig rig;
        rig.exchange();
        for (const char byte : bytes)
            rig.conn->peerSend(QByteArray(1, byte)); // byte by byte: pieces never matter
        rig.conn->peerClose();
        QCOMPARE(rig.answers.size(), 1);
        QCOMPARE(rig.only().text, text);
    }

    void noConnectionCarriesTheReason_data()
    {
        QTest::addColumn<QString>("reason");
        QTest::newRow("refused") << QStringLiteral("Connection refused");
        QTest::newRow("host not found") << QStringLiteral("Host not found");
        QTest::newRow("unreachable") << QStringLiteral("Network unreachable");
    }
    void noConnectionCarriesTheReason()
    {
        QFETCH(QString, reason);
        Rig rig;
        rig.query->start(kServer, kRequest);
        rig.scheduler.advance(30);
        rig.conn->peerFail(reason);
        QCOMPARE(rig.answers.size(), 1);
        const core::WhoisAnswer &answer = rig.only();
        QCOMPARE(answer.ending, Ending::NoConnection);
        QCOMPARE(answer.reason, reason);
        QVERIFY(answer.bytes.isEmpty());
        QCOMPARE(answer.host, kServer.host);
        QCOMPARE(answer.elapsedMs, qint64(30));
        QVERIFY(rig.conn->sends.isEmpty());
    }

    void brokenConnectionKeepsWhatArrived()
    {
        Rig rig;
        rig.exchange();
        rig.conn->peerSend("Domain Name: BROKEN.NET\r\n");
        rig.conn->peerFail(QStringLiteral("reset by peer"));
        QCOMPARE(rig.answers.size(), 1);
        QCOMPARE(rig.only().ending, Ending::NoConnection);
        QCOMPARE(rig.only().reason, QStringLiteral("reset by peer"));
        QCOMPARE(rig.only().text, QStringLiteral("Domain Name: BROKEN.NET\r\n"));
    }

    void failedSendEndsTheExchange()
    {
        Rig rig;
        rig.conn->failSends = true;
        rig.exchange();
        QCOMPARE(rig.answers.size(), 1);
        QCOMPARE(rig.only().ending, Ending::SendFailed);
        QVERIFY(rig.conn->sends.isEmpty());
        QVERIFY(!rig.conn->isOpen());
        QVERIFY(!rig.query->isRunning());
    }

    void timeLimitCountsFromTheStart()
    {
        Rig rig;
        core::WhoisQueryOptions options;
        options.timeLimitMs = 5000;
        rig.query->start(kServer, kRequest, options);
        rig.scheduler.advance(2000);
        rig.conn->peerAccept();
        // A server that sends a little now and then does not move the limit.
        for (int i = 0; i < 29; ++i) {
            rig.conn->peerSend("x");
            rig.scheduler.advance(100);
        }
        QVERIFY(rig.answers.isEmpty());
        rig.scheduler.advance(99);
        QVERIFY(rig.answers.isEmpty());
        rig.scheduler.advance(1);
        QCOMPARE(rig.answers.size(), 1);
        const core::WhoisAnswer &answer = rig.only();
        QCOMPARE(answer.ending, Ending::TimedOut);
        QCOMPARE(answer.bytes, QByteArray(29, 'x'));
        QCOMPARE(answer.elapsedMs, qint64(5000));
        QVERIFY(!rig.conn->isOpen());
    }

    void withoutATimeLimitNothingIsScheduled()
    {
        Rig rig;
        rig.exchange();
        QCOMPARE(rig.scheduler.pendingCount(), std::size_t(0));
        rig.scheduler.advance(24 * 3600 * 1000);
        QVERIFY(rig.answers.isEmpty());
        QVERIFY(rig.query->isRunning());
    }

    void lateEventsOfAFinishedExchangeAreIgnored_data()
    {
        QTest::addColumn<int>("ending");
        QTest::newRow("server closed") << int(Ending::ServerClosed);
        QTest::newRow("cap reached") << int(Ending::CapReached);
        QTest::newRow("no connection") << int(Ending::NoConnection);
        QTest::newRow("send failed") << int(Ending::SendFailed);
        QTest::newRow("timed out") << int(Ending::TimedOut);
    }
    void lateEventsOfAFinishedExchangeAreIgnored()
    {
        QFETCH(int, ending);
        Rig rig;
        core::WhoisQueryOptions options;
        options.timeLimitMs = 1000;
        rig.query->start(kServer, kRequest, options);
        rig.conn->failSends = Ending(ending) == Ending::SendFailed;
        rig.conn->peerAccept();
        switch (Ending(ending)) {
        case Ending::ServerClosed:
            rig.conn->peerSend("answer");
            rig.conn->peerClose();
            break;
        case Ending::CapReached:
            rig.conn->peerSend(QByteArray(kCap, 'x'));
            break;
        case Ending::NoConnection:
            rig.conn->peerFail();
            break;
        case Ending::SendFailed:
            break;
        case Ending::TimedOut:
            rig.scheduler.advance(1000);
            break;
        }
        QCOMPARE(rig.answers.size(), 1);
        QCOMPARE(int(rig.only().ending), ending);
        const QByteArray kept = rig.query->answerBytes();
        rig.conn->failSends = false;

        rig.conn->peerAccept();
        rig.conn->peerSend("late data");
        rig.conn->peerClose();
        rig.conn->peerFail();
        rig.scheduler.advance(60000);
        QCOMPARE(rig.answers.size(), 1);
        QCOMPARE(rig.query->answerBytes(), kept);
        QVERIFY(!rig.conn->isOpen());
        QCOMPARE(rig.conn->sends.size(), Ending(ending) == Ending::SendFailed ? 0 : 1);
    }

    void cancelGivesNoAnswer()
    {
        Rig rig;
        core::WhoisQueryOptions options;
        options.timeLimitMs = 1000;
        rig.exchange(options);
        rig.conn->peerSend("No match");
        rig.query->cancel();
        QVERIFY(!rig.query->isRunning());
        QVERIFY(!rig.conn->isOpen());
        QCOMPARE(rig.scheduler.pendingCount(), std::size_t(0));
        rig.conn->peerSend("more");
        rig.conn->peerClose();
        rig.scheduler.advance(5000);
        QVERIFY(rig.answers.isEmpty());
    }

    void handlersMayCancel()
    {
        // Cancelled when connected: the request is not sent.
        Rig atConnect;
        QObject::connect(atConnect.query.get(), &core::WhoisQuery::connected,
                         [&] { atConnect.query->cancel(); });
        atConnect.exchange();
        QVERIFY(atConnect.conn->sends.isEmpty());
        QVERIFY(!atConnect.conn->isOpen());

        // Cancelled when a piece arrives: the piece is not kept.
        Rig atData;
        QObject::connect(atData.query.get(), &core::WhoisQuery::received, [&] { atData.query->cancel(); });
        atData.exchange();
        atData.conn->peerSend("No match");
        QVERIFY(atData.query->answerBytes().isEmpty());
        atData.conn->peerClose();
        QVERIFY(atData.answers.isEmpty() && atConnect.answers.isEmpty());
    }

    void nextExchangeMayStartFromTheAnswer()
    {
        Rig rig;
        QStringList log;
        int started = 1;
        QObject::connect(rig.query.get(), &core::WhoisQuery::finished, [&](const core::WhoisAnswer &answer) {
            log.append(answer.text);
            if (started < 3) {
                ++started;
                rig.query->start(kServer, "name" + QByteArray::number(started) + "\r\n");
            }
        });
        rig.query->start(kServer, "name1\r\n");
        for (int i = 1; i <= 3; ++i) {
            rig.conn->peerAccept();
            rig.conn->peerSend("answer " + QByteArray::number(i));
            rig.conn->peerClose();
        }
        QCOMPARE(log, (QStringList{QStringLiteral("answer 1"), QStringLiteral("answer 2"),
                                   QStringLiteral("answer 3")}));
        QCOMPARE(rig.conn->sends, (QList<QByteArray>{"name1\r\n", "name2\r\n", "name3\r\n"}));
        QCOMPARE(rig.conn->opens.size(), 3);
        QVERIFY(!rig.query->isRunning());
    }

    void startDropsTheExchangeInProgress()
    {
        Rig rig;
        rig.exchange();
        rig.conn->peerSend("old text");
        rig.query->start({QStringLiteral("other.example"), 43}, "second.com\r\n");
        QCOMPARE(rig.conn->closeCount, 1);
        QVERIFY(rig.query->answerBytes().isEmpty());
        QCOMPARE(rig.conn->opens.last().host, QStringLiteral("other.example"));
        rig.conn->peerAccept();
        rig.conn->peerClose();
        QCOMPARE(rig.answers.size(), 1);
        QCOMPARE(rig.only().host, QStringLiteral("other.example"));
        QVERIFY(rig.only().bytes.isEmpty());
    }

    // --- against a whois server on 127.0.0.1, real sockets ---

    void realServerEndings_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("ending");
        QTest::addColumn<qsizetype>("size");
        const QByteArray record = QByteArray("Domain Name: EXAMPLE.COM\r\n").repeated(300);
        QTest::newRow("answer and close")
            << int(Mode::AnswerAndClose) << record << int(Ending::ServerClosed) << record.size();
        QTest::newRow("in pieces") << int(Mode::Chunked) << QByteArray("Status: AVAILABLE\r\n")
                                   << int(Ending::ServerClosed) << qsizetype(19);
        QTest::newRow("close at once")
            << int(Mode::CloseAtOnce) << QByteArray() << int(Ending::ServerClosed) << qsizetype(0);
        QTest::newRow("endless") << int(Mode::Endless) << QByteArray() << int(Ending::CapReached) << kCap;
        QTest::newRow("silent") << int(Mode::Silent) << QByteArray() << int(Ending::TimedOut) << qsizetype(0);
        QTest::newRow("answer and hold")
            << int(Mode::AnswerAndHold) << QByteArray("partial") << int(Ending::TimedOut) << qsizetype(7);
    }
    void realServerEndings()
    {
        QFETCH(int, mode);
        QFETCH(QByteArray, answer);
        QFETCH(int, ending);
        QFETCH(qsizetype, size);
        testing::FakeWhoisServer server;
        QVERIFY(server.start());
        server.setDefault({Mode(mode), answer});
        platform::QtScheduler scheduler;
        core::WhoisQuery query(std::make_unique<platform::QtWhoisConnection>(), scheduler);
        QList<core::WhoisAnswer> answers;
        QObject::connect(&query, &core::WhoisQuery::finished,
                         [&](const core::WhoisAnswer &result) { answers.append(result); });
        QSignalSpy ended(&server, &testing::FakeWhoisServer::connectionEnded);
        core::WhoisQueryOptions options;
        options.timeLimitMs = 300;
        if (Mode(mode) != Mode::Silent && Mode(mode) != Mode::AnswerAndHold)
            options.timeLimitMs = kWaitMs; // only a bound: these end before it
        query.start({QStringLiteral("127.0.0.1"), server.port()},
                    core::whoisRequest(QString::fromUtf8("b\xc3\xbc"
                                                         "cher.com")),
                    options);
        QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 1, kWaitMs + 1000);
        QCOMPARE(int(answers[0].ending), ending);
        QCOMPARE(answers[0].bytes.size(), size);
        if (Mode(mode) != Mode::Endless)
            QCOMPARE(answers[0].bytes, answer.left(size));
        QCOMPARE(answers[0].host, QStringLiteral("127.0.0.1"));
        QCOMPARE(answers[0].port, server.port());
        QVERIFY(answers[0].elapsedMs >= 0);
        QCOMPARE(server.rawRequests(), QList<QByteArray>{QByteArray("xn--bcher-kva.com\r\n")});
        QVERIFY(!ended.isEmpty() || ended.wait(kWaitMs)); // nothing more can arrive on it
        QCOMPARE(answers.size(), 1);
    }

    void realRefusedConnectionSaysWhy()
    {
        const quint16 port = closedPort();
        QVERIFY(port != 0);
        platform::QtScheduler scheduler;
        core::WhoisQuery query(std::make_unique<platform::QtWhoisConnection>(), scheduler);
        QList<core::WhoisAnswer> answers;
        QObject::connect(&query, &core::WhoisQuery::finished,
                         [&](const core::WhoisAnswer &result) { answers.append(result); });
        query.start({QStringLiteral("127.0.0.1"), port}, kRequest);
        QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 1, kWaitMs);
        QCOMPARE(answers[0].ending, Ending::NoConnection);
        QVERIFY2(answers[0].reason.contains(QLatin1String("refused"), Qt::CaseInsensitive),
                 qPrintable(answers[0].reason));
    }

    void oneQueryAsksManyTimesInARow()
    {
        testing::FakeWhoisServer server;
        QVERIFY(server.start());
        server.answer(QStringLiteral("free.com"), "No match for \"FREE.COM\".\r\n");
        server.answer(QStringLiteral("taken.com"), "Domain Name: TAKEN.COM\r\n");
        platform::QtScheduler scheduler;
        core::WhoisQuery query(std::make_unique<platform::QtWhoisConnection>(), scheduler);
        const QStringList names{QStringLiteral("free.com"), QStringLiteral("taken.com"),
                                QStringLiteral("free.com")};
        QStringList texts;
        QObject::connect(&query, &core::WhoisQuery::finished, [&](const core::WhoisAnswer &answer) {
            texts.append(answer.text);
            if (texts.size() < names.size())
                query.start({QStringLiteral("127.0.0.1"), server.port()},
                            core::whoisRequest(names.at(texts.size())));
        });
        query.start({QStringLiteral("127.0.0.1"), server.port()}, core::whoisRequest(names.first()));
        QTRY_COMPARE_WITH_TIMEOUT(texts.size(), 3, kWaitMs);
        QCOMPARE(texts, (QStringList{QStringLiteral("No match for \"FREE.COM\".\r\n"),
                                     QStringLiteral("Domain Name: TAKEN.COM\r\n"),
                                     QStringLiteral("No match for \"FREE.COM\".\r\n")}));
        QCOMPARE(server.connectionCount(), 3);
    }
};

QTEST_GUILESS_MAIN(TestWhoisQuery)
#include "tst_whoisquery.moc"
