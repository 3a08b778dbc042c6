// The answer store as a step of the run's filer: every filed lookup stored in batches a
// second apart (fake time), Stop writing what is queued, a recent Registered answer filed
// from the store without a query, the reuse rule at its edges, and the watch list's change
// rules.
#include "FakeConnection.h"
#include "FakeNotice.h"
#include "FakeScheduler.h"
#include "RunFixture.h"
#include "TestFolder.h"
#include "core/lists/ResultLists.h"
#include "core/lookup/AnswerRecorder.h"
#include "core/run/CheckRun.h"
#include "core/store/AnswerStore.h"
#include "core/store/WatchList.h"
#include "core/tld/TldTable.h"
#include "sources/EntryDomain.h"

#include <QSignalSpy>
#include <QtTest>

using namespace wendlecott;
using core::LookupVerdict;

namespace {

const QDateTime kNow(QDate(2026, 6, 1), QTime(12, 0), Qt::UTC);
constexpr qint64 kDayMs = qint64(24) * 3600 * 1000;

// A run over an in-memory list, filing into a real store in the test's folder.
struct Harness : testing::RunFixture {
    std::unique_ptr<store::AnswerStore> answers;
    QList<testing::FakeConnection *> connections;
    std::unique_ptr<core::CheckRun> run;
    int reuseDays = 0;

    Harness()
    {
        core::TldEntry com;
        com.extension = QStringLiteral("com");
        com.server = QStringLiteral("whois.com.test");
        com.port = 43;
        com.enabled = true;
        com.throttle = 25;
        com.successWords = QStringLiteral("No match");
        table.rows = {com};
        store::StoreOpening report;
        answers = store::AnswerStore::open(folder.path(), store::StoreMode::ReadWrite, report, &scheduler);
        core::ConnectionFactory factory = [this] {
            auto connection = std::make_unique<testing::FakeConnection>();
            connections.append(connection.get());
            return connection;
        };
        core::RunEnvironment environment = this->environment();
        environment.recorder = answers.get();
        environment.reuseRegisteredDays = [this] { return reuseDays; };
        run = std::make_unique<core::CheckRun>(environment, scheduler, timing, factory);
    }

    void start() { run->startRun(entrySource(), 1, qint32(entries.size())); }

    // Answers the lookup now open on the one slot.
    void answer(const QByteArray &text)
    {
        testing::FakeConnection &connection = *connections.at(0);
        connection.peerAccept();
        connection.peerSend(text);
        connection.peerClose();
    }

    // The answers another program sees in the file: only what was written.
    int writtenCount()
    {
        if (!answers->waitForWrites())
            return -1;
        store::StoreOpening report;
        auto reader = store::AnswerStore::open(folder.path(), store::StoreMode::ReadOnly, report);
        int count = 0;
        for (const QString &name :
             {QStringLiteral("abcd.com"), QStringLiteral("taken.com"), QStringLiteral("third.com")})
            count += int(reader->history(name).value().size());
        return count;
    }
};

store::StoredAnswer registered(const QString &name, const QDateTime &at, const QDateTime &expires)
{
    store::StoredAnswer answer;
    answer.name = name;
    answer.extension = QStringLiteral("com");
    answer.verdict = LookupVerdict::Registered;
    answer.protocol = QStringLiteral("whois");
    answer.server = QStringLiteral("whois.com.test:43");
    answer.rule = QStringLiteral("no-success-word");
    answer.answeredAt = at;
    answer.details.expires = expires;
    answer.answer = QStringLiteral("Domain Name: ") + name.toUpper();
    return answer;
}

store::StoredAnswer answered(LookupVerdict verdict, int day, const QStringList &statuses = {})
{
    store::StoredAnswer answer = registered(QStringLiteral("watched.com"), kNow.addDays(day), QDateTime());
    answer.verdict = verdict;
    answer.details.statuses = statuses;
    return answer;
}

} // namespace

class TestStoreRun : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyFiledLookupIsWrittenASecondAfterTheFirstAndAtStop()
    {
        Harness h;
        h.entries = {QStringLiteral("abcd"), QStringLiteral("taken"), QStringLiteral("third")};
        h.start();
        h.scheduler.advance(26);
        h.answer("No match for abcd.com\r\n");
        const qint64 firstFiled = h.scheduler.now();
        h.scheduler.advance(26);
        h.answer("Domain Name: TAKEN.COM\r\nRegistry Expiry Date: 2031-02-03T04:05:06Z\r\n");
        // Both queued, none written yet: a crash now loses them, and no more.
        QCOMPARE(h.writtenCount(), 0);
        h.scheduler.advance(firstFiled + 999 - h.scheduler.now());
        QCOMPARE(h.writtenCount(), 0);
        h.scheduler.advance(1);
        QCOMPARE(h.writtenCount(), 2);
        const auto taken = h.answers->latest(QStringLiteral("taken.com"));
        QVERIFY(taken);
        QCOMPARE(taken->verdict, LookupVerdict::Registered);
        QCOMPARE(taken->details.expires, QDateTime(QDate(2031, 2, 3), QTime(4, 5, 6), Qt::UTC));
        QCOMPARE(taken->server, QStringLiteral("whois.com.test:43"));

        // Stop writes the answers queued at once.
        h.scheduler.advance(26);
        h.answer("No match\r\n");
        QCOMPARE(h.writtenCount(), 2);
        h.run->stopRun();
        QCOMPARE(h.writtenCount(), 3);
        QCOMPARE(h.answers->pendingCount(), 0);
    }

    void aRecentRegisteredAnswerIsFiledFromTheStoreWithoutAQuery()
    {
        Harness h;
        h.reuseDays = 30;
        const QDateTime now = QDateTime::currentDateTimeUtc();
        QVERIFY(h.answers->record(registered(QStringLiteral("taken.com"), now.addDays(-2), now.addDays(200)))
                    .ok());
        // Too close to its expiry: asked again.
        QVERIFY(h.answers->record(registered(QStringLiteral("third.com"), now.addDays(-2), now.addDays(10)))
                    .ok());
        h.entries = {QStringLiteral("taken"), QStringLiteral("third")};
        QSignalSpy records(h.run.get(), &core::CheckRun::recordFinished);
        h.start();
        h.scheduler.advance(26);
        QCOMPARE(records.size(), 1);
        const auto reused = records.at(0).at(0).value<core::RunRecord>();
        QCOMPARE(reused.name, QStringLiteral("taken.com"));
        QCOMPARE(reused.kind, core::RunRecord::Kind::Registered);
        QVERIFY(reused.evidence.reused);
        QCOMPARE(reused.evidence.server, QStringLiteral("whois.com.test"));
        QCOMPARE(reused.evidence.port, quint16(43));
        QCOMPARE(h.lists.entries(core::ListId::Registered), QStringList{QStringLiteral("taken.com")});
        // The one connection asks third.com.
        QCOMPARE(h.connections.at(0)->opens.size(), 0);
        h.scheduler.advance(26);
        QCOMPARE(h.connections.at(0)->opens.size(), 1);
        h.answer("Domain Name: THIRD.COM\r\n");
        QCOMPARE(h.connections.at(0)->sent, QByteArray("third.com\r\n"));
        h.run->stopRun();
        // The reused answer is not stored again; the asked one is.
        QCOMPARE(h.answers->history(QStringLiteral("taken.com")).value().size(), 1);
        QCOMPARE(h.answers->history(QStringLiteral("third.com")).value().size(), 2);
    }

    void reuseIsOffUnlessDaysAreGiven()
    {
        Harness h;
        const QDateTime now = QDateTime::currentDateTimeUtc();
        QVERIFY(h.answers->record(registered(QStringLiteral("taken.com"), now, now.addDays(400))).ok());
        h.entries = {QStringLiteral("taken")};
        h.start();
        h.scheduler.advance(26);
        QCOMPARE(h.connections.at(0)->opens.size(), 1);
    }

    void reuseRule_data()
    {
        QTest::addColumn<int>("verdict");
        QTest::addColumn<qint64>("ageMs");
        QTest::addColumn<qint64>("expiresInMs"); // -1: expiry not known
        QTest::addColumn<int>("days");
        QTest::addColumn<bool>("reused");
        const int reg = int(LookupVerdict::Registered);
        QTest::newRow("registered, fresh, far expiry") << reg << kDayMs << 200 * kDayMs << 7 << true;
        QTest::newRow("expiry exactly 45 days away") << reg << kDayMs << 45 * kDayMs << 7 << false;
        QTest::newRow("expiry a second over 45 days away")
            << reg << kDayMs << 45 * kDayMs + 1000 << 7 << true;
        QTest::newRow("expiry not known") << reg << kDayMs << qint64(-1) << 7 << false;
        QTest::newRow("expired") << reg << kDayMs << -10 * kDayMs << 7 << false;
        QTest::newRow("answered exactly N days ago") << reg << 7 * kDayMs << 200 * kDayMs << 7 << true;
        QTest::newRow("answered over N days ago") << reg << 7 * kDayMs + 1 << 200 * kDayMs << 7 << false;
        QTest::newRow("reuse off") << reg << qint64(0) << 200 * kDayMs << 0 << false;
        QTest::newRow("available") << int(LookupVerdict::Available) << kDayMs << 200 * kDayMs << 7 << false;
        QTest::newRow("unknown") << int(LookupVerdict::Unknown) << kDayMs << 200 * kDayMs << 7 << false;
        QTest::newRow("blocked") << int(LookupVerdict::Blocked) << kDayMs << 200 * kDayMs << 7 << false;
    }

    void reuseRule()
    {
        QFETCH(int, verdict);
        QFETCH(qint64, ageMs);
        QFETCH(qint64, expiresInMs);
        QFETCH(int, days);
        QFETCH(bool, reused);
        const QDateTime expires = expiresInMs == -1 ? QDateTime() : kNow.addMSecs(expiresInMs);
        QCOMPARE(core::mayReuseAnswer(LookupVerdict(verdict), kNow.addMSecs(-ageMs), expires, days, kNow),
                 reused);
        // The store applies the same rule to its newest answer, queued or written.
        testing::TestFolder folder;
        store::StoreOpening report;
        auto answers = store::AnswerStore::open(folder.path(), store::StoreMode::ReadWrite, report);
        store::StoredAnswer answer = registered(QStringLiteral("edge.com"), kNow.addMSecs(-ageMs), expires);
        answer.verdict = LookupVerdict(verdict);
        QVERIFY(answers->record(answer).ok());
        QCOMPARE(answers->reusableAnswer(QStringLiteral("EDGE.com"), days, kNow).has_value(), reused);
        QCOMPARE(answers->pendingCount(), 1); // looking did not write the batch
        QVERIFY(answers->flush().ok());
        QCOMPARE(answers->reusableAnswer(QStringLiteral("edge.com"), days, kNow).has_value(), reused);
    }

    void onlyTheNewestAnswerIsReused()
    {
        testing::TestFolder folder;
        store::StoreOpening report;
        auto answers = store::AnswerStore::open(folder.path(), store::StoreMode::ReadWrite, report);
        QVERIFY(
            answers->record(registered(QStringLiteral("a.com"), kNow.addDays(-2), kNow.addDays(300))).ok());
        QVERIFY(answers->flush().ok());
        store::StoredAnswer freed = registered(QStringLiteral("a.com"), kNow.addDays(-1), QDateTime());
        freed.verdict = LookupVerdict::Available;
        QVERIFY(answers->record(freed).ok());
        QVERIFY(!answers->reusableAnswer(QStringLiteral("a.com"), 30, kNow));
    }

    void lastChangePassesOverAnswersWithoutAVerdict()
    {
        const QDateTime none;
        using V = LookupVerdict;
        // Newest first.
        QCOMPARE(store::lastChange({}), none);
        QCOMPARE(store::lastChange({answered(V::Registered, -1), answered(V::Registered, -5)}), none);
        QCOMPARE(store::lastChange({answered(V::Available, -1), answered(V::Registered, -5)}),
                 kNow.addDays(-1));
        QCOMPARE(store::lastChange({answered(V::Available, -1), answered(V::Blocked, -2),
                                    answered(V::Available, -3), answered(V::Registered, -5)}),
                 kNow.addDays(-3));
        const QStringList dropping{QStringLiteral("pendingDelete")};
        QCOMPARE(store::lastChange({answered(V::Registered, -1, dropping), answered(V::Registered, -5)}),
                 kNow.addDays(-1));

        QCOMPARE(store::lastVerdict({answered(V::Unknown, -1), answered(V::Registered, -3)}), V::Registered);
        QVERIFY(!store::lastVerdict({answered(V::Blocked, -1)}));
        QVERIFY(store::becameAvailable(V::Registered, V::Available));
        QVERIFY(!store::becameAvailable(std::nullopt, V::Available));
        QVERIFY(!store::becameAvailable(V::Available, V::Available));
        QVERIFY(!store::becameAvailable(V::Registered, V::Unknown));

        QCOMPARE(store::daysLeft(kNow.addDays(30), kNow), 30);
        QCOMPARE(store::daysLeft(kNow.addDays(-2), kNow), -2);
        QVERIFY(!store::daysLeft(QDateTime(), kNow));
    }
};

QTEST_GUILESS_MAIN(TestStoreRun)
#include "tst_storerun.moc"
