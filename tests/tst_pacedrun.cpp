#include "FakeConnection.h"
#include "FakeNotice.h"
#include "FakeScheduler.h"
#include "RunFixture.h"
#include "TestFolder.h"
#include "TldRows.h"
#include "core/lists/ResultLists.h"
#include "core/lists/UnansweredNames.h"
#include "core/pacing/BackOff.h"
#include "core/pacing/ServerPacer.h"
#include "core/run/CheckRun.h"
#include "core/tld/TldTable.h"
#include "sources/EntryDomain.h"

#include <QSet>
#include <QtTest>

using namespace wendlecott;
using core::RunRecord;

namespace {

core::TldEntry row(const QString &ext, const QString &server, int throttle = 25)
{
    return testing::whoisRow(ext, server, 43, throttle);
}

// A fake connection that notes the moment of each open on the test's clock.
class TimedConnection final : public core::WhoisConnection {
    Q_OBJECT
public:
    explicit TimedConnection(const core::Scheduler &clock) : m_clock(clock)
    {
        connect(&fake, &WhoisConnection::connected, this, &WhoisConnection::connected);
        connect(&fake, &WhoisConnection::dataArrived, this, &WhoisConnection::dataArrived);
        connect(&fake, &WhoisConnection::closedByPeer, this, &WhoisConnection::closedByPeer);
        connect(&fake, &WhoisConnection::failed, this, &WhoisConnection::failed);
    }
    void open(const QString &host, quint16 port) override
    {
        openedAt.append(m_clock.now());
        fake.open(host, port);
    }
    bool send(const QByteArray &bytes) override { return fake.send(bytes); }
    void close() override { fake.close(); }
    QString remoteHost() const override { return fake.remoteHost(); }
    quint16 remotePort() const override { return fake.remotePort(); }

    testing::FakeConnection fake;
    QList<qint64> openedAt;

private:
    const core::Scheduler &m_clock;
};

// How a fake server treats one request.
enum class Reply { Answer, Refuse, Silent };

// A paced run over an in-memory list; every connection is played by the harness, which
// notes when each request reached which server.
struct Harness : testing::RunFixture {
    struct Ask {
        qint64 at = 0;     // opened
        qint64 sentAt = 0; // the request arrived
        QString host;
        QString name;
    };

    QList<TimedConnection *> connections;
    QList<int> opensSeen;
    std::unique_ptr<core::CheckRun> run;
    QList<qint32> stored;
    QList<RunRecord> records;
    QList<Ask> asks;
    int inFlight = 0;
    int mostInFlight = 0;
    qint64 answerDelayMs = 0;
    // How long a server takes to accept a connection; at once by default.
    std::function<qint64(const QString &host, int askOfHost)> connectDelayMs = [](const QString &, int) {
        return qint64(0);
    };
    // What each server does; every server answers by default.
    std::function<Reply(const QString &host, int askOfHost)> reply = [](const QString &, int) {
        return Reply::Answer;
    };

    explicit Harness(core::RunPolicy options)
    {
        table.rows = {row(QStringLiteral("com"), QStringLiteral("whois.com.test")),
                      row(QStringLiteral("net"), QStringLiteral("whois.net.test"), 40),
                      row(QStringLiteral("org"), QStringLiteral("whois.org.test"))};
        timing.tickMs = 100; // time-outs after 3 s, reconnects at 1 s
        options.backOff.firstMs = qMin<qint64>(options.backOff.firstMs, 5000);
        core::ConnectionFactory factory = [this] {
            auto connection = std::make_unique<TimedConnection>(scheduler);
            connections.append(connection.get());
            opensSeen.append(0);
            return connection;
        };
        run = std::make_unique<core::CheckRun>(environment(), scheduler, timing, factory, options);
        QObject::connect(run.get(), &core::CheckRun::recordFinished,
                         [this](const RunRecord &record) { records.append(record); });
    }

    core::RunSource source()
    {
        core::RunSource s = entrySource();
        s.storePosition = [this](qint32 position) { stored.append(position); };
        return s;
    }

    void start(qint32 from = 1) { run->startRun(source(), from, qint32(entries.size())); }

    int asksOf(const QString &host) const
    {
        return int(std::count_if(asks.begin(), asks.end(), [&](const Ask &a) { return a.host == host; }));
    }

    // Plays the servers for every connection opened since the last look.
    void serveNewOpens()
    {
        for (int i = 0; i < connections.size(); ++i) {
            TimedConnection *timed = connections.at(i);
            testing::FakeConnection *connection = &timed->fake;
            while (opensSeen[i] < connection->opens.size()) {
                const qint64 at = timed->openedAt.at(opensSeen[i]);
                const QString host = connection->opens.at(opensSeen[i]++).host;
                const int askOfHost = asksOf(host);
                const Reply how = reply(host, askOfHost);
                asks.append({at, 0, host, QString()});
                if (how == Reply::Silent)
                    continue;
                const qsizetype ask = asks.size() - 1;
                const qint64 delay = connectDelayMs(host, askOfHost);
                if (delay == 0)
                    accept(connection, ask, how);
                else
                    scheduler.callAfter(delay,
                                        [this, connection, ask, how] { accept(connection, ask, how); });
            }
        }
    }

    // The server takes the connection; the request arrives and the answer follows.
    void accept(testing::FakeConnection *connection, qsizetype ask, Reply how)
    {
        connection->peerAccept();
        asks[ask].name = QString::fromLatin1(connection->sends.last()).trimmed();
        asks[ask].sentAt = scheduler.now();
        ++inFlight;
        mostInFlight = qMax(mostInFlight, inFlight);
        const QByteArray text = how == Reply::Refuse ? QByteArray("Query rate limit exceeded\r\n")
                                : asks[ask].name.startsWith(QLatin1String("free"))
                                    ? QByteArray("No match\r\n")
                                    : QByteArray("Domain Name: TAKEN\r\n");
        const int opens = int(connection->opens.size());
        scheduler.callAfter(answerDelayMs, [this, connection, text, opens] {
            --inFlight;
            if (!connection->isConnected() || connection->opens.size() != opens)
                return; // dropped meanwhile
            connection->peerSend(text);
            connection->peerClose();
        });
    }

    // Moves the clock 1 ms at a time, serving requests as they come, until the run ends
    // or `limitMs` passed.
    void runFor(qint64 limitMs)
    {
        for (qint64 t = 0; t < limitMs && run->isRunning(); ++t) {
            scheduler.advance(1);
            serveNewOpens();
        }
    }

    // The shortest gap between two requests to `host` (-1 with fewer than two).
    qint64 shortestGap(const QString &host) const
    {
        qint64 shortest = -1;
        qint64 last = -1;
        for (const Ask &ask : asks) {
            if (ask.host != host)
                continue;
            if (last >= 0 && (shortest < 0 || ask.at - last < shortest))
                shortest = ask.at - last;
            last = ask.at;
        }
        return shortest;
    }

    QStringList recordNames() const
    {
        QStringList names;
        for (const RunRecord &record : records)
            names.append(record.name);
        return names;
    }
};

core::RunPolicy threeExtensions(int jobs)
{
    core::RunPolicy options;
    options.jobs = jobs;
    options.extensions = {QStringLiteral("com"), QStringLiteral("net"), QStringLiteral("org")};
    return options;
}

} // namespace

class TestPacedRun : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pacerGrantsTurnsPerServerInOrder()
    {
        testing::FakeScheduler scheduler;
        core::ServerPacer pacer(scheduler);
        QList<QPair<qint64, QString>> grants;
        auto ask = [&](const QString &server, qint64 throttle, const QString &tag) {
            return pacer.whenReady(server, throttle, [&, tag] { grants.append({scheduler.now(), tag}); });
        };
        ask(QStringLiteral("a:43"), 25, QStringLiteral("a1"));
        ask(QStringLiteral("a:43"), 25, QStringLiteral("a2"));
        const core::ServerPacer::Ticket dropped = ask(QStringLiteral("a:43"), 25, QStringLiteral("gone"));
        ask(QStringLiteral("a:43"), 100, QStringLiteral("a3")); // a slower row on the same server
        ask(QStringLiteral("a:43"), 25, QStringLiteral("a4"));
        ask(QStringLiteral("b:43"), 40, QStringLiteral("b1"));
        ask(QStringLiteral("b:43"), 40, QStringLiteral("b2"));
        QVERIFY(grants.isEmpty()); // never inside the call
        pacer.cancel(dropped);
        pacer.cancel(dropped); // twice: ignored
        QCOMPARE(pacer.waitingCount(), 6);

        scheduler.advance(1000);
        const QList<QPair<qint64, QString>> expected = {
            {0, QStringLiteral("a1")},  {0, QStringLiteral("b1")},   {26, QStringLiteral("a2")},
            {41, QStringLiteral("b2")}, {127, QStringLiteral("a3")}, {228, QStringLiteral("a4")}};
        QCOMPARE(grants, expected);
        QCOMPARE(pacer.waitingCount(), 0);

        // A pause holds the server's next turn, other servers go on.
        pacer.pause(QStringLiteral("a:43"), 5000);
        pacer.pause(QStringLiteral("a:43"), 10); // a shorter pause does not cut it
        ask(QStringLiteral("a:43"), 25, QStringLiteral("a5"));
        ask(QStringLiteral("b:43"), 40, QStringLiteral("b3"));
        QCOMPARE(pacer.pausedFor(QStringLiteral("a:43")), qint64(5000));
        scheduler.advance(4999);
        QCOMPARE(grants.last().second, QStringLiteral("b3"));
        scheduler.advance(1);
        QCOMPARE(grants.last(), qMakePair(qint64(6000), QStringLiteral("a5")));
        QCOMPARE(pacer.waitFor(QStringLiteral("a:43"), 25), qint64(26));
        QCOMPARE(pacer.waitFor(QStringLiteral("never:43"), 25), qint64(0));

        // A throttle of 0: no gap, but still one at a time, in order, from the event loop.
        grants.clear();
        ask(QStringLiteral("c:43"), 0, QStringLiteral("c1"));
        ask(QStringLiteral("c:43"), 0, QStringLiteral("c2"));
        ask(QStringLiteral("c:43"), 25, QStringLiteral("c3"));
        QVERIFY(grants.isEmpty());
        scheduler.runDue();
        QCOMPARE(grants,
                 (QList<QPair<qint64, QString>>{{6000, QStringLiteral("c1")}, {6000, QStringLiteral("c2")}}));
        scheduler.advance(26);
        QCOMPARE(grants.last(), qMakePair(qint64(6026), QStringLiteral("c3")));
    }

    void inTableOrderFollowsTheRows()
    {
        core::TldTable table;
        table.rows = {row(QStringLiteral("com"), QStringLiteral("a")),
                      row(QStringLiteral("net"), QStringLiteral("b")),
                      row(QStringLiteral("org"), QStringLiteral("c"))};
        QCOMPARE(
            core::inTableOrder(table, {QStringLiteral("org"), QStringLiteral(".COM"), QStringLiteral("zz"),
                                       QStringLiteral("com"), QStringLiteral(" "), QStringLiteral("net")}),
            (QStringList{QStringLiteral("com"), QStringLiteral("net"), QStringLiteral("org"),
                         QStringLiteral("zz")}));
    }

    void eachServerKeepsItsPaceAtAnyJobCount_data()
    {
        QTest::addColumn<int>("jobs");
        QTest::newRow("1") << 1;
        QTest::newRow("4") << 4;
        QTest::newRow("16") << 16;
    }

    void eachServerKeepsItsPaceAtAnyJobCount()
    {
        QFETCH(int, jobs);
        Harness h(threeExtensions(jobs));
        h.answerDelayMs = 100; // each lookup takes 100 ms, longer than a server's pace
        for (int i = 0; i < 12; ++i)
            h.entries.append(
                QStringLiteral("%1name%2").arg(i % 3 == 0 ? QStringLiteral("free") : QString()).arg(i));
        h.entries.append(QStringLiteral("own.org")); // its own extension: one domain
        h.start();
        h.runFor(60000);

        QVERIFY(!h.run->isRunning());
        QCOMPARE(h.records.size(), 12 * 3 + 1);
        const QStringList names = h.recordNames();
        QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), names.size()); // none twice
        QVERIFY(names.contains(QStringLiteral("own.org")));
        QVERIFY(!names.contains(QStringLiteral("own.org.com")));
        QVERIFY(h.mostInFlight <= jobs);
        QVERIFY(h.shortestGap(QStringLiteral("whois.com.test")) >= 26);
        QVERIFY(h.shortestGap(QStringLiteral("whois.net.test")) >= 41);
        QVERIFY(h.shortestGap(QStringLiteral("whois.org.test")) >= 26);
        if (jobs == 16)
            QVERIFY(h.mostInFlight > 3); // several lookups on one server at once
        // Each server is asked about the names in list order.
        QStringList netAsks;
        for (const Harness::Ask &ask : h.asks) {
            if (ask.host == QLatin1String("whois.net.test"))
                netAsks.append(ask.name);
        }
        QCOMPARE(netAsks.first(), QStringLiteral("freename0.net"));
        QCOMPARE(netAsks.last(), QStringLiteral("name11.net"));
        QCOMPARE(h.stored.last(), qint32(h.entries.size() + 1));
        QCOMPARE(h.lists.entries(core::ListId::Registered).size(), 8 * 3 + 1);
    }

    void rowsOnOneServerSharePace()
    {
        core::RunPolicy options;
        options.jobs = 8;
        options.extensions = {QStringLiteral("com"), QStringLiteral("biz")};
        Harness h(options);
        h.table.rows.append(row(QStringLiteral("biz"), QStringLiteral("whois.com.test"), 60));
        h.entries = {QStringLiteral("alpha"), QStringLiteral("beta"), QStringLiteral("gamma")};
        h.start();
        h.runFor(10000);
        QCOMPARE(h.records.size(), 6);
        QCOMPARE(h.asksOf(QStringLiteral("whois.com.test")), 6);
        // Around every biz request the gap is the slower row's.
        for (int i = 1; i < h.asks.size(); ++i) {
            const bool slow = h.asks.at(i).name.endsWith(QLatin1String(".biz")) ||
                              h.asks.at(i - 1).name.endsWith(QLatin1String(".biz"));
            QVERIFY(h.asks.at(i).at - h.asks.at(i - 1).at >= (slow ? 61 : 26));
        }
    }

    void refusingServerBacksOffAndItsNameIsAskedAgain()
    {
        core::RunPolicy options = threeExtensions(4);
        options.extensions = {QStringLiteral("com"), QStringLiteral("net")};
        Harness h(options);
        h.reply = [](const QString &host, int ask) {
            return host == QLatin1String("whois.net.test") && ask < 2 ? Reply::Refuse : Reply::Answer;
        };
        for (int i = 0; i < 6; ++i)
            h.entries.append(QStringLiteral("name%1").arg(i));
        h.start();
        h.runFor(60000);

        QVERIFY(!h.run->isRunning());
        QCOMPARE(h.records.size(), 12);
        const QStringList names = h.recordNames();
        QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), 12);
        for (const RunRecord &record : h.records)
            QCOMPARE(record.kind, RunRecord::Kind::Registered);
        QCOMPARE(h.run->retryCount(), 2);
        QCOMPARE(h.unanswered.count(), 0);
        QCOMPARE(h.notice.blockedShown, 0); // given up never: no notice

        // The refused name is asked again first, after 5 s and then 10 s more.
        QList<Harness::Ask> net;
        for (const Harness::Ask &ask : h.asks) {
            if (ask.host == QLatin1String("whois.net.test"))
                net.append(ask);
        }
        QCOMPARE(net.at(1).name, net.at(0).name);
        QCOMPARE(net.at(2).name, net.at(0).name);
        QVERIFY(net.at(1).at - net.at(0).at >= 5000);
        QVERIFY(net.at(1).at - net.at(0).at < 10000);
        QVERIFY(net.at(2).at - net.at(1).at >= 10000);
        QVERIFY(net.at(2).at - net.at(1).at < 20000);
        // The com server went on meanwhile: its names were all done before the net pause ended.
        const auto comAsks = h.asksOf(QStringLiteral("whois.com.test"));
        QCOMPARE(comAsks, 6);
        qint64 lastCom = 0;
        for (const Harness::Ask &ask : h.asks) {
            if (ask.host == QLatin1String("whois.com.test"))
                lastCom = ask.at;
        }
        QVERIFY(lastCom < net.at(1).at);
    }

    void silentServerGivesItsNamesUpWhileOthersFinish()
    {
        core::RunPolicy options = threeExtensions(4);
        options.backOff.firstMs = 100;
        options.backOff.longestMs = 400;
        Harness h(options);
        h.reply = [](const QString &host, int) {
            return host == QLatin1String("whois.org.test") ? Reply::Silent : Reply::Answer;
        };
        h.entries = {QStringLiteral("freeone"), QStringLiteral("two")};
        QSignalSpy status(h.run.get(), &core::CheckRun::statusChanged);
        h.start();
        h.runFor(2000);
        // The com and net names are done within the first time-out.
        QCOMPARE(h.records.size(), 4);
        QVERIFY(h.run->isRunning());
        QCOMPARE(h.run->status().inFlight, 2); // both org names wait for their answer
        QCOMPARE(h.stored.value(0, 1), 1);     // nothing finished in full yet
        h.runFor(120000);

        QVERIFY(!h.run->isRunning());
        QCOMPARE(h.records.size(), 6);
        int timeouts = 0;
        for (const RunRecord &record : h.records) {
            if (record.kind == RunRecord::Kind::Timeout) {
                ++timeouts;
                QVERIFY(record.name.endsWith(QLatin1String(".org")));
            }
        }
        QCOMPARE(timeouts, 2);
        QCOMPARE(h.unanswered.names(),
                 (QStringList{QStringLiteral("freeone.org"), QStringLiteral("two.org")}));
        QCOMPARE(h.notice.blockedShown, 2);
        QCOMPARE(h.lists.entries(core::ListId::Registered).size(), 2);
        bool sawBackOff = false;
        bool sawRest = false;
        for (const QList<QVariant> &change : status) {
            sawBackOff = sawBackOff || !change.at(0).toString().endsWith(QLatin1String("back-off: 0"));
            sawRest = sawRest || change.at(0).toString().contains(QLatin1String("whois.org.test:43 rests"));
        }
        QVERIFY(sawBackOff);
        QVERIFY(sawRest); // the panel says how long the server waits
        // Each silent name is asked three times in all (a request each), then kept.
        QCOMPARE(h.asksOf(QStringLiteral("whois.org.test")), 6);
    }

    void stopWithLookupsInFlightLosesAndRepeatsNothing()
    {
        Harness h(threeExtensions(4));
        h.answerDelayMs = 200;
        h.entries = {QStringLiteral("aa"), QStringLiteral("bb"), QStringLiteral("cc"), QStringLiteral("dd")};
        h.start();
        h.runFor(210); // aa.* answered at 200 ms; bb.*, cc.com in flight
        QVERIFY(h.run->status().inFlight > 0);
        const int filedBefore = int(h.records.size());
        QCOMPARE(filedBefore, 3);
        QSignalSpy stopped(h.run.get(), &core::CheckRun::stopped);
        h.run->stopRun();
        QCOMPARE(stopped.size(), 1);
        QCOMPARE(h.run->resumePosition(), 2);
        QCOMPARE(h.stored.last(), 2);

        // Answers that arrive after Stop are not filed.
        for (TimedConnection *connection : h.connections) {
            connection->fake.peerAccept();
            connection->fake.peerSend("No match\r\n");
            connection->fake.peerClose();
        }
        h.scheduler.advance(5000);
        QCOMPARE(h.records.size(), filedBefore);
        QCOMPARE(h.lists.entries(core::ListId::Registered).size(), 3);
        // The names that were in flight are kept until they are answered.
        const QStringList kept = h.unanswered.names();
        QCOMPARE(QSet<QString>(kept.begin(), kept.end()),
                 (QSet<QString>{QStringLiteral("bb.com"), QStringLiteral("bb.net"), QStringLiteral("bb.org"),
                                QStringLiteral("cc.com")}));
    }

    void resumeAfterStopInTheMiddleOfAnEntryAsksItAgain()
    {
        core::RunPolicy options = threeExtensions(2);
        options.extensions = {QStringLiteral("com"), QStringLiteral("net")};
        Harness h(options);
        h.answerDelayMs = 30;
        h.entries = {QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")};
        h.start();
        // Stop once one.com and one.net are done and two.com is done, two.net not.
        for (int t = 0; t < 5000 && !h.recordNames().contains(QStringLiteral("two.com")); ++t)
            h.runFor(1);
        QVERIFY(h.recordNames().contains(QStringLiteral("two.com")));
        QVERIFY(!h.recordNames().contains(QStringLiteral("two.net")));
        h.run->stopRun();
        const qint32 resumeAt = h.stored.last();
        QCOMPARE(resumeAt, 2);

        h.start(resumeAt);
        h.runFor(5000);
        QVERIFY(!h.run->isRunning());
        const QStringList names = h.recordNames();
        for (const QString &entry : h.entries) {
            QVERIFY(names.contains(entry + QStringLiteral(".com")));
            QVERIFY(names.contains(entry + QStringLiteral(".net")));
        }
        QCOMPARE(h.unanswered.count(), 0); // what was dropped at Stop got its verdict later
        QCOMPARE(h.stored.last(), 4);
    }

    // The single-slot run with the shared pacer: its lookup waits when another window asked
    // the server a moment ago; Stop while it waits keeps the right name and asks nothing.
    void singleSlotRunWaitsForTheServersTurn()
    {
        Harness h(threeExtensions(1));
        core::RunEnvironment environment{h.table, [] { return false; }, h.pacer, h.lists, h.notice};
        environment.unanswered = &h.unanswered;
        core::CheckRun run(environment, h.scheduler, h.timing, [&h] {
            auto connection = std::make_unique<TimedConnection>(h.scheduler);
            h.connections.append(connection.get());
            h.opensSeen.append(0);
            return connection;
        });
        h.entries = {QStringLiteral("first"), QStringLiteral("second")};
        h.pacer.setSharedThrottle(25);
        run.startRun(h.source(), 1, 2);
        h.scheduler.advance(20);
        h.pacer.noteStarted(QStringLiteral("whois.com.test:43"), 100); // the browse window asked
        h.scheduler.advance(100);
        TimedConnection &slot = *h.connections.last();
        QCOMPARE(slot.fake.opens.size(), 0);
        h.scheduler.advance(1);
        QCOMPARE(slot.openedAt, QList<qint64>{121});
        slot.fake.peerAccept();
        slot.fake.peerSend("No match\r\n");
        slot.fake.peerClose();
        QCOMPARE(h.lists.entries(core::ListId::Mid), QStringList{QStringLiteral("first.com")});

        h.scheduler.advance(20);
        h.pacer.noteStarted(QStringLiteral("whois.com.test:43"), 100);
        h.scheduler.advance(10); // the run's pause is over; second.com waits for the turn
        run.stopRun();
        h.scheduler.advance(1000);
        QCOMPARE(slot.fake.opens.size(), 1);
        QCOMPARE(h.unanswered.names(), QStringList{QStringLiteral("second.com")});
    }

    void namesNoServerServesArePassedOverOnce()
    {
        core::RunPolicy options;
        options.jobs = 3;
        options.extensions = {QStringLiteral("com"), QStringLiteral("co.zz")};
        Harness h(options);
        h.entries = {QStringLiteral("aa"), QStringLiteral("bb"), QStringLiteral("..."), QStringLiteral("cc")};
        QSignalSpy passed(h.run.get(), &core::CheckRun::namePassedOver);
        h.start();
        h.runFor(5000);
        QVERIFY(!h.run->isRunning());
        QCOMPARE(h.records.size(), 3);
        QCOMPARE(passed.size(), 3);
        QCOMPARE(h.run->passedOverCount(), 3);
        QCOMPARE(h.notice.messages.size(), 1); // one "Error" box a run
        QCOMPARE(h.unanswered.names(), (QStringList{QStringLiteral("aa.co.zz"), QStringLiteral("bb.co.zz"),
                                                    QStringLiteral("cc.co.zz")}));
        QCOMPARE(h.stored.last(), 5);
    }

    // A name that cannot be a domain is never asked nor kept, in any extension, and the
    // entry still counts as finished for the stored position.
    void impossibleNamesAreNotAsked()
    {
        core::RunPolicy options;
        options.jobs = 2;
        options.extensions = {QStringLiteral("com"), QStringLiteral("net")};
        Harness h(options);
        const QString tooLong(64, QLatin1Char('x')); // a label over 63 octets
        h.entries = {QStringLiteral("aa"), tooLong, QStringLiteral("bb")};
        QSignalSpy invalid(h.run.get(), &core::CheckRun::invalidName);
        h.start();
        h.runFor(5000);
        QVERIFY(!h.run->isRunning());
        QCOMPARE(invalid.size(), 2);
        QCOMPARE(invalid.at(0).at(0).toString(), tooLong + QStringLiteral(".com"));
        QCOMPARE(h.run->invalidNameCount(), 2);
        QCOMPARE(h.records.size(), 4);
        QVERIFY(std::none_of(h.asks.begin(), h.asks.end(),
                             [&](const Harness::Ask &a) { return a.name.startsWith(tooLong); }));
        QVERIFY(h.unanswered.names().isEmpty());
        QCOMPARE(h.stored.last(), 4);
    }

    // A server slow to accept one connection: the next request to it still arrives at
    // least the throttle after that one, as the pace counts from the request, not the turn.
    void paceCountsFromTheRequestNotTheConnect()
    {
        core::RunPolicy options = threeExtensions(4);
        options.extensions = {QStringLiteral("com")};
        Harness h(options);
        h.entries = {QStringLiteral("aa"), QStringLiteral("bb"), QStringLiteral("cc")};
        h.connectDelayMs = [](const QString &, int askOfHost) {
            return askOfHost == 0 ? qint64(10) : qint64(0);
        };
        h.start();
        h.runFor(5000);
        QVERIFY(!h.run->isRunning());
        QCOMPARE(h.asks.size(), 3);
        for (qsizetype i = 1; i < h.asks.size(); ++i)
            QVERIFY2(h.asks[i].sentAt - h.asks[i - 1].sentAt >= 25,
                     qPrintable(QStringLiteral("request %1 came %2 ms after the one before")
                                    .arg(i)
                                    .arg(h.asks[i].sentAt - h.asks[i - 1].sentAt)));
    }

    void backOffIsBoundedFromBothSides_data()
    {
        QTest::addColumn<int>("refusals");
        QTest::addColumn<qint64>("retryAfter"); // -1: none
        QTest::addColumn<qint64>("pauseMs");
        QTest::newRow("no refusal") << 0 << qint64(-1) << qint64(0);
        QTest::newRow("first") << 1 << qint64(-1) << qint64(5000);
        QTest::newRow("second doubles") << 2 << qint64(-1) << qint64(10000);
        QTest::newRow("third doubles again") << 3 << qint64(-1) << qint64(20000);
        QTest::newRow("sixth") << 6 << qint64(-1) << qint64(160000);
        QTest::newRow("seventh reaches the cap") << 7 << qint64(-1) << qint64(300000);
        QTest::newRow("far past the cap") << 1000 << qint64(-1) << qint64(300000);
        QTest::newRow("Retry-After in seconds") << 1 << qint64(7) << qint64(7000);
        QTest::newRow("Retry-After replaces the doubling") << 5 << qint64(2) << qint64(2000);
        QTest::newRow("Retry-After of 0 is no advice") << 2 << qint64(0) << qint64(10000);
        QTest::newRow("Retry-After capped at an hour") << 1 << qint64(4000) << qint64(3600000);
        QTest::newRow("Retry-After at the largest number")
            << 1 << qint64(9223372036854775807) << qint64(3600000);
    }
    void backOffIsBoundedFromBothSides()
    {
        QFETCH(int, refusals);
        QFETCH(qint64, retryAfter);
        QFETCH(qint64, pauseMs);
        const core::BackOffRules rules; // 5 s, doubling up to 5 minutes, Retry-After up to an hour
        const std::optional<qint64> advice =
            retryAfter < 0 ? std::nullopt : std::optional<qint64>(retryAfter);
        QCOMPARE(core::backOffMs(refusals, advice, rules), pauseMs);
        QCOMPARE(core::backOffMs(refusals, advice, core::RunPolicy::described().backOff), qint64(0));
    }

    // A good answer ends the server's row of refusals: the next refusal pauses it 5 s again.
    void goodAnswerResetsTheBackOff()
    {
        core::RunPolicy options = threeExtensions(1);
        options.extensions = {QStringLiteral("com"), QStringLiteral("net")};
        Harness h(options);
        h.reply = [](const QString &host, int ask) {
            return host == QLatin1String("whois.net.test") && (ask == 0 || ask == 2) ? Reply::Refuse
                                                                                     : Reply::Answer;
        };
        h.entries = {QStringLiteral("one"), QStringLiteral("two")};
        h.start();
        h.runFor(60000);
        QVERIFY(!h.run->isRunning());
        QList<qint64> net;
        for (const Harness::Ask &ask : h.asks) {
            if (ask.host == QLatin1String("whois.net.test"))
                net.append(ask.at);
        }
        QCOMPARE(net.size(), 4);
        QVERIFY(net.at(1) - net.at(0) >= 5000);
        QVERIFY(net.at(3) - net.at(2) >= 5000);
        QVERIFY2(net.at(3) - net.at(2) < 10000, "the refusal count was not reset by the answer between");
    }

    // One server that never answers takes no more than its share of the jobs while the
    // other servers have names waiting.
    void silentServerHoldsNoMoreThanItsShareOfTheJobs()
    {
        Harness h(threeExtensions(8));
        h.reply = [](const QString &host, int) {
            return host == QLatin1String("whois.org.test") ? Reply::Silent : Reply::Answer;
        };
        for (int i = 0; i < 40; ++i)
            h.entries.append(QStringLiteral("name%1").arg(i));
        h.start();
        h.runFor(900); // before the first reconnect: every open of the silent server is a new name
        QVERIFY2(h.run->status().inFlight <= 8, "more lookups than jobs");
        QVERIFY2(h.asksOf(QStringLiteral("whois.org.test")) <= 3,
                 qPrintable(QStringLiteral("the silent server holds %1 of 8 jobs")
                                .arg(h.asksOf(QStringLiteral("whois.org.test")))));
        QVERIFY(h.asksOf(QStringLiteral("whois.com.test")) >= 30);
        QVERIFY(h.asksOf(QStringLiteral("whois.net.test")) >= 20);
    }

    // A run started while its server rests (refused by an earlier run) asks once the rest ends.
    void runStartedDuringABackOffAsksWhenItEnds()
    {
        core::RunPolicy options = threeExtensions(4);
        options.extensions = {QStringLiteral("com")};
        Harness h(options);
        h.pacer.pause(QStringLiteral("whois.com.test:43"), 5000);
        h.entries = {QStringLiteral("aa"), QStringLiteral("bb")};
        h.start();
        h.runFor(4999);
        QVERIFY(h.asks.isEmpty());
        QCOMPARE(h.run->status().backingOff, 2);
        h.runFor(60000);
        QVERIFY(!h.run->isRunning());
        QCOMPARE(h.asks.size(), 2);
        QVERIFY(h.asks.first().at >= 5000);
    }
};

QTEST_GUILESS_MAIN(TestPacedRun)
#include "tst_pacedrun.moc"
