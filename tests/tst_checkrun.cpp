#include "FakeConnection.h"
#include "FakeNotice.h"
#include "FakeScheduler.h"
#include "RunFixture.h"
#include "TestFolder.h"
#include "TldRows.h"
#include "core/lists/ResultLists.h"
#include "core/lists/UnansweredNames.h"
#include "core/lookup/LookupSlot.h"
#include "core/run/CheckRun.h"
#include "core/tld/TldTable.h"
#include "sources/EntryDomain.h"

#include <QSignalSpy>
#include <QtTest>

using namespace wendlecott;
using core::RunRecord;

namespace {

// A run over an in-memory list with every collaborator faked.
struct Harness : testing::RunFixture {
    bool useProxy = false;
    QList<testing::FakeConnection *> connections;
    std::unique_ptr<core::CheckRun> run;
    QList<qint32> stored;
    bool listMissing = false;
    bool listRefused = false; // read, and refused for an entry over the length limit

    explicit Harness(core::RunPolicy policy = core::RunPolicy::described())
    {
        table.rows = {testing::whoisRow(QStringLiteral("com"), QStringLiteral("whois.com.test")),
                      testing::whoisRow(QStringLiteral("net"), QStringLiteral("whois.net.test"), 4343, 40)};
        core::ConnectionFactory factory = [this] {
            auto connection = std::make_unique<testing::FakeConnection>();
            connections.append(connection.get());
            return connection;
        };
        core::RunEnvironment running = environment();
        running.useProxy = [this] { return useProxy; };
        run = std::make_unique<core::CheckRun>(running, scheduler, timing, factory, policy);
    }

    core::RunSource source()
    {
        core::RunSource s = entrySource();
        s.readEntry = [this, entry = s.readEntry](qint32 p) -> core::Result<QString> {
            if (listMissing)
                return core::Result<QString>::failure(core::ErrorCode::NotFound, QStringLiteral("missing"));
            if (listRefused)
                return core::Result<QString>::failure(
                    core::ErrorCode::InvalidInput,
                    QStringLiteral("/lists/test.txt holds an entry over 1 MiB"));
            return p <= 0 ? QString() : entry(p);
        };
        s.storePosition = [this](qint32 position) { stored.append(position); };
        return s;
    }

    void start(qint32 from = 1) { run->startRun(source(), from, qint32(entries.size())); }

    testing::FakeConnection &slot0() { return *connections.at(0); }

    // Plays the server for the lookup now open on slot 0.
    void answer(const QByteArray &text)
    {
        slot0().peerAccept();
        slot0().peerSend(text);
        slot0().peerClose();
    }
};

} // namespace

class TestCheckRun : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void wholeRunFilesEveryVerdictAndEndsByItself()
    {
        Harness h;
        h.entries = {QStringLiteral("abcd"), QStringLiteral("taken"), QStringLiteral("longername"),
                     QStringLiteral("midsize.net")};
        QSignalSpy stopped(h.run.get(), &core::CheckRun::stopped);
        QSignalSpy records(h.run.get(), &core::CheckRun::recordFinished);
        h.start();
        QVERIFY(h.run->isRunning());

        h.scheduler.advance(26);
        QCOMPARE(h.slot0().opens.size(), 1);
        QCOMPARE(h.slot0().opens.last().host, QStringLiteral("whois.com.test"));
        h.slot0().peerAccept();
        QCOMPARE(h.slot0().sent, QByteArray("abcd.com\r\n"));
        QCOMPARE(h.run->panelText(2), QStringLiteral("connecting(0): - Search String: abcd.com"));
        h.slot0().peerSend("No match for abcd.com\r\n");
        h.slot0().peerClose();
        QCOMPARE(h.lists.entries(core::ListId::High), QStringList{QStringLiteral("abcd.com")});

        h.scheduler.advance(26);
        h.answer("Domain Name: TAKEN.COM\r\n");
        QCOMPARE(h.lists.entries(core::ListId::Registered), QStringList{QStringLiteral("taken.com")});

        h.scheduler.advance(26);
        h.answer("not found\r\n");
        QCOMPARE(h.lists.entries(core::ListId::Low), QStringList{QStringLiteral("longername.com")});

        // The net row paces with its own throttle and is asked on its own port.
        h.scheduler.advance(26);
        QCOMPARE(h.slot0().opens.last().host, QStringLiteral("whois.net.test"));
        QCOMPARE(h.slot0().opens.last().port, quint16(4343));
        h.answer("No match\r\n");
        QCOMPARE(h.lists.entries(core::ListId::Mid), QStringList{QStringLiteral("midsize.net")});
        QCOMPARE(h.pacer.sharedPause().throttleMs, 40);

        QCOMPARE(stopped.size(), 0);
        h.scheduler.advance(40);
        QCOMPARE(stopped.size(), 0);
        h.scheduler.advance(1);
        QCOMPARE(stopped.size(), 1);
        QVERIFY(!h.run->isRunning());
        QCOMPARE(h.run->panelText(0), QStringLiteral("Entry Status"));
        QCOMPARE(h.run->panelText(1), QStringLiteral("Open Connections"));
        QCOMPARE(h.run->panelText(2), QStringLiteral("Connection Status"));
        QCOMPARE(h.stored, (QList<qint32>{2, 3, 4, 5}));
        QCOMPARE(records.size(), 4);
        const auto first = records.at(0).at(0).value<RunRecord>();
        QCOMPARE(first.kind, RunRecord::Kind::Available);
        QCOMPARE(first.profileClass, QStringLiteral("High"));
        QCOMPARE(h.scheduler.pendingCount(), std::size_t(0));
    }

    void pauseIsThrottlePlusOneMillisecond()
    {
        Harness h;
        h.entries = {QStringLiteral("one")};
        h.start();
        QCOMPARE(h.run->panelText(0), QStringLiteral("Waiting 25 milliseconds."));
        h.scheduler.advance(25);
        QCOMPARE(h.connections.at(0)->opens.size(), 0);
        h.scheduler.advance(1);
        QCOMPARE(h.connections.at(0)->opens.size(), 1);
        QCOMPARE(h.run->panelText(1), QStringLiteral("Open: Closing connections..."));
    }

    // The stored position passes a name only once it is filed or kept: a crash during its
    // lookup loses nothing; Stop keeps it among the unanswered names and then passes it.
    void positionPassesANameOnlyOnceItIsFiledOrKept()
    {
        Harness h;
        for (int i = 1; i <= 10; ++i)
            h.entries.append(QStringLiteral("name%1").arg(i));
        h.start(7);
        h.scheduler.advance(26);
        QCOMPARE(h.run->panelText(0), QStringLiteral("8 of 10"));
        QVERIFY(h.stored.isEmpty()); // name7.com is asked, not yet filed
        h.answer("Domain Name: NAME7.COM\r\n");
        QCOMPARE(h.stored, QList<qint32>{8});

        h.scheduler.advance(26);
        h.slot0().peerAccept();
        QCOMPARE(h.stored, QList<qint32>{8});
        h.run->stopRun();
        QVERIFY(!h.slot0().isOpen());
        QCOMPARE(h.unanswered.names(), QStringList{QStringLiteral("name8.com")});
        QCOMPARE(h.stored, (QList<qint32>{8, 9}));
        h.slot0().peerSend("No match");
        h.slot0().peerClose();
        QCOMPARE(h.lists.entries(core::ListId::Mid).size(), 0);
        QCOMPARE(h.stored, (QList<qint32>{8, 9}));
    }

    void stopDuringThePauseTakesNoFurtherName()
    {
        Harness h;
        h.entries = {QStringLiteral("one"), QStringLiteral("two")};
        h.start();
        h.scheduler.advance(10);
        h.run->stopRun();
        h.scheduler.advance(1000);
        QCOMPARE(h.connections.at(0)->opens.size(), 0);
        QVERIFY(h.stored.isEmpty());
    }

    void silentServerIsRetriedThenGivenUpByTheWatchdog()
    {
        Harness h;
        h.entries = {QStringLiteral("quiet"), QStringLiteral("next")};
        QSignalSpy records(h.run.get(), &core::CheckRun::recordFinished);
        h.start();
        h.scheduler.advance(26); // t = 26: first attempt
        QCOMPARE(h.slot0().opens.size(), 1);
        h.slot0().peerAccept();
        h.scheduler.advance(9999);
        QCOMPARE(h.slot0().opens.size(), 1);
        h.scheduler.advance(1); // 10th tick of the slot
        QCOMPARE(h.slot0().opens.size(), 2);
        h.slot0().peerAccept();
        h.scheduler.advance(10000); // 20th
        QCOMPARE(h.slot0().opens.size(), 3);
        QCOMPARE(h.notice.blockedShown, 0);
        // The watchdog counts from the start of the batch, the pause included: 30 s after start.
        h.scheduler.advance(30000 - 20026 - 1);
        QCOMPARE(h.notice.blockedShown, 0);
        h.scheduler.advance(1);
        QCOMPARE(h.notice.blockedShown, 1);
        QCOMPARE(h.notice.blockedServer, QStringLiteral("whois.com.test"));
        QCOMPARE(h.notice.blockedResponse, QStringLiteral("Connection Timed Out"));
        QCOMPARE(h.notice.blockedDomains, QStringList{QStringLiteral("quiet.com")});
        QCOMPARE(records.size(), 1);
        QCOMPARE(records.at(0).at(0).value<RunRecord>().kind, RunRecord::Kind::Timeout);
        QCOMPARE(h.lists.entries(core::ListId::Mid).size() + h.lists.entries(core::ListId::Registered).size(),
                 qsizetype(0));
        // The next name is taken after the pause.
        h.scheduler.advance(26);
        QCOMPARE(h.slot0().opens.size(), 4);
        h.slot0().peerAccept();
        QCOMPARE(h.slot0().sends.last(), QByteArray("next.com\r\n"));
    }

    // A refused connection is told in the blocked notice with its cause at once, the name
    // kept unanswered, and the run goes on without waiting for the watchdog.
    void refusedConnectionIsToldAtOnceAndTheRunMovesOn()
    {
        Harness h;
        h.entries = {QStringLiteral("first"), QStringLiteral("second")};
        QSignalSpy records(h.run.get(), &core::CheckRun::recordFinished);
        h.start();
        h.scheduler.advance(26);
        h.slot0().peerFail(QStringLiteral("Connection refused"));
        QCOMPARE(h.notice.blockedShown, 1);
        QCOMPARE(h.notice.blockedResponse, QStringLiteral("Could not connect: Connection refused"));
        QCOMPARE(h.notice.blockedDomains, QStringList{QStringLiteral("first.com")});
        QCOMPARE(records.size(), 1);
        const RunRecord record = records.at(0).at(0).value<RunRecord>();
        QCOMPARE(record.kind, RunRecord::Kind::Unknown);
        QCOMPARE(record.evidence.ending, core::LookupEnding::NoConnection);
        QCOMPARE(record.evidence.reason, QStringLiteral("Connection refused"));
        h.scheduler.advance(26); // the next pause, not 30 s
        QCOMPARE(h.slot0().opens.size(), 2);
        h.slot0().peerAccept();
        QCOMPARE(h.slot0().sends.last(), QByteArray("second.com\r\n"));
    }

    void blockedAnswerFillsTheNoticeOnceAndFilesNothing()
    {
        Harness h;
        h.entries = {QStringLiteral("first"), QStringLiteral("second")};
        h.start();
        h.scheduler.advance(26);
        h.answer("Error: quota exceeded for 1.2.3.4\r\n");
        h.scheduler.advance(26);
        h.answer("quota exceeded again\r\n");
        QCOMPARE(h.notice.blockedShown, 2);
        QCOMPARE(h.notice.blockedResponse, QStringLiteral("Error: quota exceeded for 1.2.3.4\r\n"));
        // Each refusal names its own domain, so the notice can count the later ones.
        QCOMPARE(h.notice.blockedDomains,
                 (QStringList{QStringLiteral("first.com"), QStringLiteral("second.com")}));
        for (auto id : {core::ListId::Low, core::ListId::Registered, core::ListId::High, core::ListId::Mid})
            QCOMPARE(h.lists.entries(id).size(), qsizetype(0));
    }

    void missingListIsReportedOnceAndEndsTheRun()
    {
        Harness h;
        h.listMissing = true;
        QSignalSpy stopped(h.run.get(), &core::CheckRun::stopped);
        h.start();
        h.scheduler.advance(100);
        QCOMPARE(h.notice.messages.size(), 1);
        QCOMPARE(h.notice.messages.at(0).text, QStringLiteral("File /lists/test.txt not found."));
        QCOMPARE(stopped.size(), 1);
        h.scheduler.advance(100000);
        QCOMPARE(h.notice.messages.size(), 1);
        QCOMPARE(h.connections.at(0)->opens.size(), 0);
    }

    void urlEntryIsLookedUpAsItsHost()
    {
        Harness h;
        h.entries = {QStringLiteral("http://www.example.com"), QStringLiteral("my%20shop")};
        h.start();
        h.scheduler.advance(26);
        h.slot0().peerAccept();
        QCOMPARE(h.slot0().sends.last(), QByteArray("www.example.com\r\n"));
        h.slot0().peerClose();
        h.scheduler.advance(26);
        h.slot0().peerAccept();
        QCOMPARE(h.slot0().sends.last(), QByteArray("myshop.com\r\n"));
    }

    // A table without a row for the names: one "Error" box per run, the rest only counted.
    void noTldRowIsToldOncePerRunAndCounted()
    {
        Harness h;
        h.table.rows.clear();
        h.entries = {QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")};
        QSignalSpy stopped(h.run.get(), &core::CheckRun::stopped);
        QSignalSpy passedOver(h.run.get(), &core::CheckRun::namePassedOver);
        h.start();
        h.scheduler.advance(26);
        QCOMPARE(h.notice.messages.size(), 1);
        QCOMPARE(h.notice.messages.at(0).title, QStringLiteral("Error"));
        QVERIFY(
            h.notice.messages.at(0).text.startsWith(QStringLiteral("An error has occurred.\r\nError #: ")));
        QVERIFY(h.notice.messages.at(0).text.contains(QStringLiteral("one.com")));
        h.scheduler.advance(26);
        h.scheduler.advance(26);
        QCOMPARE(h.notice.messages.size(), 1);
        QCOMPARE(h.stored, (QList<qint32>{2, 3, 4}));
        QCOMPARE(passedOver.size(), 3);
        QCOMPARE(passedOver.at(1).at(0).toString(), QStringLiteral("two.com"));
        QCOMPARE(passedOver.at(2).at(1).toInt(), 3);
        QCOMPARE(h.run->passedOverCount(), 3);
        h.scheduler.advance(26);
        QCOMPARE(stopped.size(), 1);
        QCOMPARE(h.notice.blockedShown, 0);

        // The next run tells it again, once, and counts from 1.
        h.start();
        h.scheduler.advance(26);
        QCOMPARE(h.run->passedOverCount(), 1);
        QCOMPARE(h.notice.messages.size(), 2);
        h.scheduler.advance(26);
        QCOMPARE(h.notice.messages.size(), 2);
    }

    // An entry that cleans to nothing is passed over quietly and not counted.
    void emptyNameIsNotCounted()
    {
        Harness h;
        h.entries = {QStringLiteral("%20"), QStringLiteral("abcd")};
        h.start();
        h.scheduler.advance(26);
        QCOMPARE(h.run->passedOverCount(), 0);
        QVERIFY(h.notice.messages.isEmpty());
        h.scheduler.advance(26);
        QCOMPARE(h.slot0().opens.size(), 1);
    }

    // The progress: the entries before the position are finished; at Start the one before
    // the first, then each name filed, up to the count.
    void progressFollowsTheNamesFinished()
    {
        Harness h;
        h.entries = {QStringLiteral("aaaa"), QStringLiteral("bbbb"), QStringLiteral("cccc")};
        QSignalSpy progress(h.run.get(), &core::CheckRun::progressChanged);
        h.start(2);
        QCOMPARE(progress.size(), 1);
        QCOMPARE(progress.at(0), (QList<QVariant>{1, 3}));
        h.scheduler.advance(26);
        QCOMPARE(progress.size(), 1); // taken, not finished
        h.answer("No match\r\n");
        QCOMPARE(progress.last(), (QList<QVariant>{2, 3}));
        h.scheduler.advance(26);
        h.answer("No match\r\n");
        QCOMPARE(progress.last(), (QList<QVariant>{3, 3}));
        h.scheduler.advance(26);
        QVERIFY(!h.run->isRunning());
        QCOMPARE(progress.size(), 3);
    }

    // The described run asks one name at a time: the next waits for the verdict and the pause.
    void describedRunAsksOneNameAtATime()
    {
        Harness h;
        h.entries = {QStringLiteral("aaaa"), QStringLiteral("bbbb"), QStringLiteral("cccc")};
        h.start();
        h.scheduler.advance(26);
        QCOMPARE(h.connections.size(), 1);
        QCOMPARE(h.slot0().opens.size(), 1);
        h.slot0().peerAccept();
        h.scheduler.advance(5000);
        QCOMPARE(h.slot0().opens.size(), 1); // still waiting for aaaa.com
        h.slot0().peerSend("No match");
        h.slot0().peerClose();
        QCOMPARE(h.lists.entries(core::ListId::High), QStringList{QStringLiteral("aaaa.com")});
        h.scheduler.advance(25);
        QCOMPARE(h.slot0().opens.size(), 1);
        h.scheduler.advance(1);
        QCOMPARE(h.slot0().opens.size(), 2);
    }

    // A lookup that waits for its server's turn (the server rests after a refusal to another
    // run) is not timed out meanwhile: its watchdog counts from its request.
    void timeOutCountsFromTheRequestNotTheWaitForTheTurn()
    {
        Harness h;
        h.entries = {QStringLiteral("quiet"), QStringLiteral("next")};
        h.pacer.pause(QStringLiteral("whois.com.test:43"), 60000);
        h.start();
        h.scheduler.advance(59999);
        QCOMPARE(h.notice.blockedShown, 0);
        QCOMPARE(h.slot0().opens.size(), 0);
        h.scheduler.advance(1);
        QCOMPARE(h.slot0().opens.size(), 1);
        h.slot0().peerAccept();
        // Its 30 s less the pause before it, as for any name.
        h.scheduler.advance(30000 - 26 - 1);
        QCOMPARE(h.notice.blockedShown, 0);
        h.scheduler.advance(1);
        QCOMPARE(h.notice.blockedShown, 1);
        QCOMPARE(h.notice.blockedResponse, QStringLiteral("Connection Timed Out"));
        QCOMPARE(h.unanswered.names(), QStringList{QStringLiteral("quiet.com")});
    }

    // A list that was read and refused says why, as the command line does; only a list that
    // cannot be read at all is "not found".
    void refusedListSaysItsCause()
    {
        Harness h;
        h.listRefused = true;
        h.start();
        h.scheduler.advance(100);
        QCOMPARE(h.notice.messages.size(), 1);
        QCOMPARE(h.notice.messages.at(0).text, QStringLiteral("/lists/test.txt holds an entry over 1 MiB"));
        QVERIFY(!h.run->isRunning());
    }

    // A source that grows (the browse window's queue): at its end the run waits instead of
    // ending, and asks the names appended later, woken at once or found at its next tick.
    // Only Stop ends it. The counters go on from the main window's.
    void growingSourceWaitsForNamesAppendedUntilStopped_data()
    {
        QTest::addColumn<bool>("woken");
        QTest::newRow("woken as the source grows") << true;
        QTest::newRow("found at the next tick") << false;
    }
    void growingSourceWaitsForNamesAppendedUntilStopped()
    {
        QFETCH(bool, woken);
        Harness h(core::RunPolicy::browsing(5));
        h.entries = {QStringLiteral("first")};
        h.lists.addRegistered(QStringLiteral("earlier.com")); // filed by another run
        QSignalSpy stopped(h.run.get(), &core::CheckRun::stopped);
        core::RunSource source = h.source();
        source.grows = true;
        h.run->startRun(source, 1, 0);
        h.scheduler.runDue();
        QCOMPARE(h.slot0().opens.size(), 1); // no pause before the first name
        h.answer("No match\r\n");
        h.scheduler.advance(5000); // the pause is long over: the source is drained
        QVERIFY(h.run->isRunning());
        QCOMPARE(stopped.size(), 0);
        QCOMPARE(h.run->resumePosition(), 2);
        QCOMPARE(h.run->panelText(0), QStringLiteral("Checked 2 unique domains."));

        h.entries.append(QStringLiteral("second"));
        if (woken) {
            h.run->sourceGrew();
            h.scheduler.runDue();
        } else {
            h.scheduler.advance(h.timing.tickMs - 1);
            QCOMPARE(h.slot0().opens.size(), 1);
            h.scheduler.advance(1);
        }
        QCOMPARE(h.slot0().opens.size(), 2);
        QCOMPARE(h.run->panelText(0), QStringLiteral("Checking status of: second.com"));
        h.answer("Domain Name: SECOND.COM\r\n");
        QCOMPARE(h.lists.entries(core::ListId::Registered),
                 (QStringList{QStringLiteral("earlier.com"), QStringLiteral("second.com")}));

        h.run->stopRun();
        QCOMPARE(stopped.size(), 1);
        h.entries.append(QStringLiteral("third"));
        h.run->sourceGrew();
        h.scheduler.advance(10 * h.timing.tickMs);
        QCOMPARE(h.slot0().opens.size(), 2);
        QVERIFY(!h.run->isRunning());
    }
};

QTEST_GUILESS_MAIN(TestCheckRun)
#include "tst_checkrun.moc"
