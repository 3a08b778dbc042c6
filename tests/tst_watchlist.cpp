// The watch list's rules: which registry statuses mean a name is dropping, which rows are
// marked and why, how a row is made from a name's stored answers, and which changes between
// two checks are worth a notice. The rows of a real store come last.
#include "TestFolder.h"
#include "core/store/AnswerStore.h"
#include "core/store/WatchList.h"

#include <QtTest>

using namespace wendlecott;
using core::LookupVerdict;
using store::StoredAnswer;
using store::WatchChange;
using store::WatchRow;

namespace {

const QDateTime kNow(QDate(2026, 6, 1), QTime(23, 30), Qt::UTC);

QDateTime day(int offset)
{
    return QDateTime(kNow.date().addDays(offset), QTime(8, 0), Qt::UTC);
}

StoredAnswer answer(qint64 id, LookupVerdict verdict, const QDateTime &expires = {},
                    const QStringList &statuses = {})
{
    StoredAnswer a;
    a.id = id;
    a.name = QStringLiteral("watched.com");
    a.verdict = verdict;
    a.answeredAt = day(int(id) - 100);
    a.details.expires = expires;
    a.details.statuses = statuses;
    return a;
}

} // namespace

Q_DECLARE_METATYPE(std::optional<StoredAnswer>)

class TestWatchList : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void dropStatuses_data()
    {
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("dropping");
        QTest::newRow("EPP pending delete") << "pendingDelete" << true;
        QTest::newRow("with the explaining address")
            << "pendingDelete https://icann.org/epp#pendingDelete" << true;
        QTest::newRow("redemption period") << "redemptionPeriod" << true;
        QTest::newRow("in words") << "Redemption Period" << true;
        QTest::newRow("words and address") << "Pending Delete (https://icann.org/epp)" << true;
        QTest::newRow("RDAP style") << "pending delete" << true;
        QTest::newRow("underscores") << "PENDING_DELETE" << true;
        QTest::newRow("transfer lock") << "clientTransferProhibited" << false;
        QTest::newRow("pending transfer") << "pendingTransfer" << false;
        QTest::newRow("pending restore is not yet a drop") << "pendingRestore" << false;
        QTest::newRow("a longer word") << "pendingDeleteRestorable" << false;
        QTest::newRow("empty") << "" << false;
    }
    void dropStatuses()
    {
        QFETCH(QString, status);
        QFETCH(bool, dropping);
        QCOMPARE(store::isDropStatus(status), dropping);
    }

    void shortStatusLeavesTheExplainingAddress()
    {
        QCOMPARE(store::shortStatus(QStringLiteral("pendingDelete https://icann.org/epp#pendingDelete")),
                 QStringLiteral("pendingDelete"));
        QCOMPARE(store::shortStatus(QStringLiteral("Redemption Period (HTTPS://icann.org/epp)")),
                 QStringLiteral("Redemption Period"));
        QCOMPARE(store::shortStatus(QStringLiteral("ok")), QStringLiteral("ok"));
    }

    // Marked: an expiry 30 days away or nearer (or past), or a dropping status.
    void marking_data()
    {
        QTest::addColumn<int>("expiresIn"); // days from now; 9999: not known
        QTest::addColumn<QStringList>("statuses");
        QTest::addColumn<QString>("reason");
        const QStringList none;
        QTest::newRow("far off") << 200 << none << "";
        QTest::newRow("31 days") << 31 << none << "";
        QTest::newRow("30 days") << 30 << none << "Expires in 30 days";
        QTest::newRow("tomorrow") << 1 << none << "Expires in 1 days";
        QTest::newRow("today") << 0 << none << "Expires today";
        QTest::newRow("past") << -3 << none << "Expired 3 days ago";
        QTest::newRow("no expiry known") << 9999 << none << "";
        QTest::newRow("redemption, far expiry")
            << 200 << QStringList{QStringLiteral("clientHold"), QStringLiteral("redemptionPeriod")}
            << "redemptionPeriod";
        QTest::newRow("pending delete, near expiry")
            << 5 << QStringList{QStringLiteral("pendingDelete https://icann.org/epp#pendingDelete")}
            << "pendingDelete; Expires in 5 days";
        QTest::newRow("locks only") << 200 << QStringList{QStringLiteral("clientDeleteProhibited")} << "";
    }
    void marking()
    {
        QFETCH(int, expiresIn);
        QFETCH(QStringList, statuses);
        QFETCH(QString, reason);
        const QList<StoredAnswer> history{answer(100, LookupVerdict::Registered,
                                                 expiresIn == 9999 ? QDateTime() : day(expiresIn), statuses)};
        const WatchRow row = store::watchRow(QStringLiteral("watched.com"), history, kNow);
        QCOMPARE(store::attentionReason(row), reason);
        QCOMPARE(store::isMarked(row), !reason.isEmpty());
    }

    // Days count whole UTC days, whatever the hour: late tonight, an expiry tomorrow morning
    // is one day away.
    void daysLeftCountsCalendarDays()
    {
        const WatchRow row =
            store::watchRow(QStringLiteral("a.com"), {answer(100, LookupVerdict::Registered, day(1))}, kNow);
        QCOMPARE(row.daysLeft, std::optional<qint64>(1));
    }

    // Newest first: an Unknown answer on top sets the verdict and the last check, but the
    // details and the last change come from the decisive answers beneath it.
    void rowFromHistory()
    {
        const QList<StoredAnswer> history{
            answer(104, LookupVerdict::Unknown),
            answer(103, LookupVerdict::Registered, day(40), {QStringLiteral("ok")}),
            answer(102, LookupVerdict::Blocked),
            answer(101, LookupVerdict::Registered, day(40), {QStringLiteral("ok")}),
            answer(100, LookupVerdict::Registered, day(-325), {QStringLiteral("ok")}),
        };
        const WatchRow row = store::watchRow(QStringLiteral("watched.com"), history, kNow);
        QCOMPARE(row.verdict, std::optional<LookupVerdict>(LookupVerdict::Unknown));
        QCOMPARE(row.lastChecked, day(4));
        QCOMPARE(row.expires, day(40));
        QCOMPARE(row.daysLeft, std::optional<qint64>(40));
        QCOMPARE(row.statuses, QStringList{QStringLiteral("ok")});
        QCOMPARE(row.lastChange, day(1)); // renewed then
        // Never changed: no last change. Never asked: nothing but the name.
        const WatchRow steady = store::watchRow(QStringLiteral("watched.com"), history.mid(1, 2), kNow);
        QVERIFY(!steady.lastChange.isValid());
        const WatchRow never = store::watchRow(QStringLiteral("new.com"), {}, kNow);
        QCOMPARE(never.name, QStringLiteral("new.com"));
        QVERIFY(!never.verdict && !never.daysLeft && !never.lastChecked.isValid());
    }

    void changes_data()
    {
        QTest::addColumn<std::optional<StoredAnswer>>("before");
        QTest::addColumn<std::optional<StoredAnswer>>("after");
        QTest::addColumn<WatchChange>("change");
        const auto registered = answer(1, LookupVerdict::Registered, day(10), {QStringLiteral("ok")});
        const auto dropping =
            answer(2, LookupVerdict::Registered, day(10), {QStringLiteral("redemptionPeriod")});
        const auto available = answer(3, LookupVerdict::Available);
        const std::optional<StoredAnswer> none;
        auto again = [](StoredAnswer a, qint64 id) {
            a.id = id;
            return std::optional<StoredAnswer>(a);
        };
        QTest::newRow("registered, now available")
            << std::optional(registered) << std::optional(available) << WatchChange::BecameAvailable;
        QTest::newRow("dropping, now available")
            << std::optional(dropping) << std::optional(available) << WatchChange::BecameAvailable;
        QTest::newRow("available still")
            << std::optional(available) << again(available, 9) << WatchChange::None;
        QTest::newRow("registered, now dropping")
            << std::optional(registered) << std::optional(dropping) << WatchChange::StartedToDrop;
        QTest::newRow("available, now registered and dropping")
            << std::optional(available) << std::optional(dropping) << WatchChange::StartedToDrop;
        QTest::newRow("dropping still") << std::optional(dropping) << again(dropping, 9) << WatchChange::None;
        QTest::newRow("registered still")
            << std::optional(registered) << again(registered, 9) << WatchChange::None;
        QTest::newRow("no answer this time") << std::optional(registered) << none << WatchChange::None;
        QTest::newRow("the same answer: nothing new")
            << std::optional(registered) << std::optional(registered) << WatchChange::None;
        QTest::newRow("never answered before") << none << std::optional(available) << WatchChange::None;
        QTest::newRow("unknown now") << std::optional(registered)
                                     << std::optional(answer(5, LookupVerdict::Unknown)) << WatchChange::None;
        QTest::newRow("blocked now") << std::optional(registered)
                                     << std::optional(answer(5, LookupVerdict::Blocked)) << WatchChange::None;
    }
    void changes()
    {
        QFETCH(std::optional<StoredAnswer>, before);
        QFETCH(std::optional<StoredAnswer>, after);
        QFETCH(WatchChange, change);
        QCOMPARE(store::watchChange(before, after), change);
    }

    // What a check compares against: the newest decisive answer, past a flaky server's
    // Unknown and Blocked answers, so that these do not make an old change news again.
    void lastDecisivePassesOverSilence()
    {
        const QList<StoredAnswer> history{answer(3, LookupVerdict::Unknown),
                                          answer(2, LookupVerdict::Blocked),
                                          answer(1, LookupVerdict::Available)};
        QCOMPARE(store::lastDecisive(history)->id, qint64(1));
        QVERIFY(!store::lastDecisive(history.mid(0, 2)));
        QCOMPARE(store::watchChange(store::lastDecisive(history), answer(4, LookupVerdict::Available)),
                 WatchChange::None);
    }

    void rowsOfAStoreFollowTheWatchList()
    {
        testing::TestFolder folder;
        store::StoreOpening report;
        auto answers = store::AnswerStore::open(folder.path(), store::StoreMode::ReadWrite, report);
        QVERIFY(answers);
        StoredAnswer renewed = answer(0, LookupVerdict::Registered, day(20));
        renewed.name = QStringLiteral("b.com");
        QVERIFY(answers->record(renewed).ok());
        renewed.answeredAt = day(-1);
        renewed.details.expires = day(385);
        QVERIFY(answers->record(renewed).ok());
        QVERIFY(answers->watchAdd({QStringLiteral("B.com"), QStringLiteral("a.com")}).ok());
        const core::Result<QList<WatchRow>> rows = store::watchRows(*answers, kNow);
        QVERIFY(rows.ok());
        QCOMPARE(rows.value().size(), 2);
        QCOMPARE(rows.value().at(0).name, QStringLiteral("b.com"));
        QCOMPARE(rows.value().at(0).daysLeft, std::optional<qint64>(385));
        QCOMPARE(rows.value().at(0).lastChange, day(-1));
        QCOMPARE(rows.value().at(1).name, QStringLiteral("a.com"));
        QVERIFY(!rows.value().at(1).verdict);
    }
};

QTEST_GUILESS_MAIN(TestWatchList)
#include "tst_watchlist.moc"
