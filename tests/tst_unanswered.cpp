// The unanswered names: the file itself, and runs that fill it and empty it again.
#include "FakeConnection.h"
#include "FakeHttpClient.h"
#include "FakeNotice.h"
#include "FakeScheduler.h"
#include "RunFixture.h"
#include "TestFolder.h"
#include "core/base/TextFile.h"
#include "core/lists/ResultLists.h"
#include "core/lists/UnansweredNames.h"
#include "core/lookup/RdapBootstrap.h"
#include "core/run/CheckRun.h"
#include "sources/EntryDomain.h"

#include <QSignalSpy>
#include <QtTest>

using namespace wendlecott;
using core::RunRecord;

namespace {

// A run over an in-memory list, filing into real lists and a real unanswered file.
struct Harness : testing::RunFixture {
    core::RdapBootstrap bootstrap;
    testing::FakeHttpClient http;
    core::LookupChoices choices = core::LookupChoices::described(false);
    QList<testing::FakeConnection *> connections;
    std::unique_ptr<core::CheckRun> run;
    QList<RunRecord> records;

    Harness()
    {
        core::TldEntry com;
        com.extension = QStringLiteral("com");
        com.server = QStringLiteral("whois.com.test");
        com.enabled = true;
        com.throttle = 0;
        com.successWords = QStringLiteral("No match");
        table.rows = {com};
        bootstrap =
            core::RdapBootstrap::parse("{\"services\":[[[\"com\"],[\"https://rdap.test/\"]]]}").value();
        core::RunEnvironment environment = this->environment();
        environment.lookupChoices = [this] { return choices; };
        environment.services = {&bootstrap, &http, nullptr};
        core::ConnectionFactory factory = [this] {
            auto connection = std::make_unique<testing::FakeConnection>();
            connections.append(connection.get());
            return connection;
        };
        run = std::make_unique<core::CheckRun>(environment, scheduler, timing, factory);
        QObject::connect(run.get(), &core::CheckRun::recordFinished,
                         [this](const RunRecord &record) { records.append(record); });
    }

    void start(core::RunSource source, qint32 count) { run->startRun(std::move(source), 1, count); }
    void start(const QStringList &names)
    {
        entries = names;
        run->startRun(entrySource(), 1, qint32(names.size()));
    }

    testing::FakeConnection &whois() { return *connections.at(0); }

    // Plays the whois server for each name as it is asked: a silent name gets no answer.
    void serveWhois(const std::function<QByteArray(const QString &name)> &answerFor,
                    const QString &silent = {})
    {
        for (int step = 0; step < 200 && run->isRunning(); ++step) {
            scheduler.advance(1);
            if (!whois().isOpen() || whois().isConnected())
                continue;
            whois().peerAccept();
            const QString name = QString::fromLatin1(whois().sends.last()).trimmed();
            if (name == silent) {
                scheduler.advance(timing.tickMs * timing.watchdogTicks); // the watchdog gives up
                continue;
            }
            whois().peerSend(answerFor(name));
            whois().peerClose();
        }
    }

    // The file once the removals waiting for their batch are written, as at the end of a run.
    QByteArray file()
    {
        (void)unanswered.flush();
        return folder.read(core::kUnansweredFileName);
    }
};

QByteArray blockedEveryThird(const QString &name)
{
    static const QStringList blocked = {QStringLiteral("n3.com"), QStringLiteral("n6.com")};
    return blocked.contains(name) ? QByteArray("Query quota exceeded\r\n") : QByteArray("No match\r\n");
}

} // namespace

class TestUnanswered : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void namesAreKeptInOrderOnceAndLeaveWhenAnswered()
    {
        testing::TestFolder folder;
        core::UnansweredNames names(folder.file(core::kUnansweredFileName));
        QSignalSpy counts(&names, &core::UnansweredNames::countChanged);
        QVERIFY(names.keep(QStringLiteral("b.com")).ok());
        QVERIFY(names.keep(QStringLiteral("a.com")).ok());
        QVERIFY(names.keep(QStringLiteral("B.COM")).ok()); // already there, in any case
        QVERIFY(names.keep(QStringLiteral("  ")).ok());    // no name
        QCOMPARE(names.names(), (QStringList{QStringLiteral("b.com"), QStringLiteral("a.com")}));
        QCOMPARE(folder.read(core::kUnansweredFileName), QByteArray("b.com\r\na.com\r\n"));
        QCOMPARE(counts.size(), 2);

        QVERIFY(names.settle(QStringLiteral("zz.com")).ok()); // not there: nothing written
        QCOMPARE(counts.size(), 2);
        QVERIFY(names.settle(QStringLiteral("B.com")).ok());
        QCOMPARE(folder.read(core::kUnansweredFileName), QByteArray("a.com\r\n"));
        QCOMPARE(counts.last().first().toInt(), 1);

        // Another program (the command line) adds to the file: it is read again.
        QVERIFY(core::appendText(folder.file(core::kUnansweredFileName), QStringLiteral("c.com\r\nA.com\r\n"))
                    .ok());
        QCOMPARE(names.names(), (QStringList{QStringLiteral("a.com"), QStringLiteral("c.com")}));
        core::UnansweredNames reopened(folder.file(core::kUnansweredFileName));
        QCOMPARE(reopened.count(), 2);
        QVERIFY(reopened.isThisFile(folder.path() + QStringLiteral("/./") + core::kUnansweredFileName));
        QVERIFY(!reopened.isThisFile(folder.file(QStringLiteral("other.txt"))));
    }

    // Answers are settled in batches: the first removal at once, the next ones when the
    // interval is over (or at flush, or when the names go), never one rewrite per answer.
    void removalsAreWrittenInBatches()
    {
        testing::TestFolder folder;
        folder.write(core::kUnansweredFileName, "a.com\r\nb.com\r\nc.com\r\nd.com\r\n");
        qint64 now = 5000;
        {
            core::UnansweredNames names(folder.file(core::kUnansweredFileName), [&now] { return now; });
            QVERIFY(names.settle(QStringLiteral("a.com")).ok());
            QCOMPARE(folder.read(core::kUnansweredFileName), QByteArray("b.com\r\nc.com\r\nd.com\r\n"));
            now += core::UnansweredNames::kSettleIntervalMs - 1;
            QVERIFY(names.settle(QStringLiteral("b.com")).ok());
            QVERIFY(names.keep(QStringLiteral("e.com")).ok());
            QCOMPARE(names.names(), (QStringList{QStringLiteral("c.com"), QStringLiteral("d.com"),
                                                 QStringLiteral("e.com")}));
            QCOMPARE(names.count(), 3);
            QVERIFY(!names.contains(QStringLiteral("b.com")));
            // Not yet rewritten: the removal waits for its batch, the new name is appended.
            QCOMPARE(folder.read(core::kUnansweredFileName),
                     QByteArray("b.com\r\nc.com\r\nd.com\r\ne.com\r\n"));
            QVERIFY(names.flush().ok());
            QCOMPARE(folder.read(core::kUnansweredFileName), QByteArray("c.com\r\nd.com\r\ne.com\r\n"));
            now += core::UnansweredNames::kSettleIntervalMs;
            QVERIFY(names.settle(QStringLiteral("c.com")).ok()); // a quiet second: at once
            QCOMPARE(folder.read(core::kUnansweredFileName), QByteArray("d.com\r\ne.com\r\n"));
            QVERIFY(names.settle(QStringLiteral("E.com")).ok());
            QVERIFY(names.keep(QStringLiteral("e.com")).ok()); // back, now at the end
            QVERIFY(names.settle(QStringLiteral("d.com")).ok());
        }
        // What waited is written when the names go (the program ends).
        QCOMPARE(folder.read(core::kUnansweredFileName), QByteArray("e.com\r\n"));
    }

    // Nothing is read before the names are used: a command that keeps none never reads a
    // long file, and the first use reads it as it is then.
    void theFileIsReadWhenFirstUsed()
    {
        testing::TestFolder folder;
        const QString path = folder.file(core::kUnansweredFileName);
        folder.write(core::kUnansweredFileName, "old.com\r\n");
        const QDateTime stamp = QFileInfo(path).lastModified();
        core::UnansweredNames names(path);
        folder.write(core::kUnansweredFileName, "new.com\r\n"); // same size
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(stamp, QFileDevice::FileModificationTime));
        file.close();
        QCOMPARE(names.names(), QStringList{QStringLiteral("new.com")});
    }

    void aNameThatCannotBeWrittenIsStillKeptForTheSession()
    {
        testing::TestFolder folder;
        core::UnansweredNames names(folder.file(core::kUnansweredFileName));
        QVERIFY(names.keep(QStringLiteral("first.com")).ok());
        {
            core::WriteFaultScope full(0);
            const core::Status kept = names.keep(QStringLiteral("second.com"));
            QCOMPARE(kept.code(), core::ErrorCode::WriteFailed);
            // The failed append left the file as it was.
            QCOMPARE(folder.read(core::kUnansweredFileName), QByteArray("first.com\r\n"));
            QCOMPARE(names.count(), 2);
            QVERIFY(!names.settle(QStringLiteral("first.com")).ok());
            QCOMPARE(folder.read(core::kUnansweredFileName), QByteArray("first.com\r\n"));
        }
        QCOMPARE(names.names(), QStringList{QStringLiteral("second.com")});
    }

    void snapshotReadsTheNamesAsTheyStoodThenTheEnd()
    {
        testing::TestFolder folder;
        core::UnansweredNames names(folder.file(core::kUnansweredFileName));
        QVERIFY(names.keep(QStringLiteral("x.com")).ok());
        QVERIFY(names.keep(QStringLiteral("y.net")).ok());
        const core::RunSource source = names.snapshotSource();
        QVERIFY(names.settle(QStringLiteral("x.com")).ok()); // the run's own filing changes nothing it reads
        QCOMPARE(source.readEntry(1).value(), QStringLiteral("x.com"));
        QCOMPARE(source.readEntry(2).value(), QStringLiteral("y.net"));
        QCOMPARE(source.readEntry(3).value(), core::kEndOfListSentinel);
        QCOMPARE(source.domainFor(QStringLiteral("y.net")), QStringLiteral("y.net"));
        QVERIFY(!source.storePosition); // the user's resume positions are left alone
    }

    void blockedAndSilentNamesAreKeptAndASecondRunFilesThem()
    {
        Harness h;
        QStringList list;
        for (int i = 1; i <= 7; ++i)
            list.append(QStringLiteral("n%1").arg(i));
        h.start(list);
        h.serveWhois(&blockedEveryThird, QStringLiteral("n4.com"));
        QVERIFY(!h.run->isRunning());
        QCOMPARE(h.file(), QByteArray("n3.com\r\nn4.com\r\nn6.com\r\n"));
        QCOMPARE(h.lists.entries(core::ListId::High).size(), 4); // n1 n2 n5 n7
        QCOMPARE(h.records.size(), 7);
        QCOMPARE(h.records.at(3).kind, RunRecord::Kind::Timeout);
        QCOMPARE(h.records.at(3).evidence.ending, core::LookupEnding::TimedOut);

        // The second run over the kept names: every one answered, filed, and gone from the file.
        h.records.clear();
        h.start(h.unanswered.snapshotSource(), qint32(h.unanswered.count()));
        h.serveWhois([](const QString &) { return QByteArray("No match\r\n"); });
        QVERIFY(!h.run->isRunning());
        QCOMPARE(h.records.size(), 3);
        QCOMPARE(h.file(), QByteArray());
        QCOMPARE(h.unanswered.count(), 0);
        QCOMPARE(h.lists.entries(core::ListId::High).size(), 7);
    }

    void aNameInFlightAtStopAndANameWithoutServerAreKept()
    {
        Harness h;
        h.start(QStringList{QStringLiteral("a.gone.zz"), QStringLiteral("first"), QStringLiteral("second")});
        h.scheduler.advance(26); // a.gone.zz: no row serves it
        QCOMPARE(h.notice.messages.size(), 1);
        QVERIFY(h.notice.messages.first().text.contains(
            QStringLiteral("Description: No TLD row serves a.gone.zz\r\n")));
        h.scheduler.advance(26);
        h.whois().peerAccept();
        QCOMPARE(h.whois().sends.last(), QByteArray("first.com\r\n"));
        h.run->stopRun();
        QCOMPARE(h.unanswered.names(),
                 (QStringList{QStringLiteral("a.gone.zz"), QStringLiteral("first.com")}));
        QVERIFY(h.records.isEmpty()); // nothing was filed or claimed
    }

    void rdapRefusalsAndFailuresAreKeptAndNothingElse()
    {
        Harness h;
        h.choices = core::LookupChoices::forPreference(true, false);
        h.start(
            QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")});
        const QList<int> statuses = {404, 429, 200, 503};
        for (int i = 0; i < statuses.size(); ++i) {
            h.scheduler.advance(30);
            QCOMPARE(h.http.requests.size(), i + 1);
            const QString name = h.http.requests.last().url.fileName();
            h.http.last()->respond(
                statuses.at(i),
                statuses.at(i) == 200
                    ? QStringLiteral("{\"objectClassName\":\"domain\",\"ldhName\":\"%1\"}").arg(name).toUtf8()
                    : QByteArray());
        }
        h.scheduler.advance(30);
        QVERIFY(!h.run->isRunning());
        QCOMPARE(h.file(), QByteArray("b.com\r\nd.com\r\n"));
        QCOMPARE(h.records.at(1).kind, RunRecord::Kind::Blocked);
        QCOMPARE(h.notice.blockedServer, QStringLiteral("rdap.test"));
        QVERIFY(h.notice.blockedResponse.startsWith(QStringLiteral("HTTP 429")));
        QCOMPARE(h.records.at(3).kind, RunRecord::Kind::Unknown);
        QCOMPARE(h.lists.entries(core::ListId::Registered), QStringList{QStringLiteral("c.com")});
        QCOMPARE(h.lists.entries(core::ListId::High), QStringList{QStringLiteral("a.com")});
        QVERIFY(h.connections.first()->opens.isEmpty()); // no whois connection was made
    }
};

QTEST_GUILESS_MAIN(TestUnanswered)
#include "tst_unanswered.moc"
