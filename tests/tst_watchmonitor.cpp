// The watch list's re-check while the program runs, on a fake clock and a real store: every
// "WatchHours" hours the watched names go to the check, and what the check filed is compared
// with what was stored before it.
#include "FakeScheduler.h"
#include "MemorySettingsStore.h"
#include "TestFolder.h"
#include "config/SettingsKeys.h"
#include "config/WatchMonitor.h"
#include "core/store/AnswerStore.h"

#include <QSignalSpy>
#include <QtTest>

using namespace wendlecott;
using core::LookupVerdict;
using store::WatchChange;

namespace {

constexpr qint64 kHour = 60 * 60 * 1000;
const QDateTime kNow(QDate(2026, 6, 1), QTime(9, 0), Qt::UTC);

store::StoredAnswer answer(const QString &name, LookupVerdict verdict, const QStringList &statuses = {})
{
    store::StoredAnswer a;
    a.name = name;
    a.verdict = verdict;
    a.protocol = QStringLiteral("whois");
    a.answeredAt = kNow;
    a.details.statuses = statuses;
    return a;
}

// A monitor over a store in a temporary folder whose check files what the test scripted for
// it, when the test says the check is done.
struct Harness {
    Harness()
    {
        store::StoreOpening report;
        answers = store::AnswerStore::open(folder.path(), store::StoreMode::ReadWrite, report);
        monitor = std::make_unique<config::WatchMonitor>(
            answers.get(), settings, scheduler,
            [this](const QStringList &names, std::function<void()> finished) {
                asked.append(names);
                pending = std::move(finished);
            });
        monitor->setClock([] { return kNow; });
    }
    // Files the scripted answers and ends the check.
    void finishCheck(const QList<store::StoredAnswer> &filed)
    {
        for (const store::StoredAnswer &a : filed)
            QVERIFY(answers->record(a).ok());
        std::exchange(pending, {})();
    }

    testing::TestFolder folder;
    testing::MemorySettingsStore settings;
    testing::FakeScheduler scheduler;
    std::unique_ptr<store::AnswerStore> answers;
    std::unique_ptr<config::WatchMonitor> monitor;
    QList<QStringList> asked;
    std::function<void()> pending;
};

} // namespace

class TestWatchMonitor : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void interval_data()
    {
        QTest::addColumn<QString>("hours");
        QTest::addColumn<qint64>("ms"); // -1: no checks
        QTest::newRow("default") << "12" << 12 * kHour;
        QTest::newRow("one hour") << "1" << kHour;
        QTest::newRow("blanks") << " 6 " << 6 * kHour;
        QTest::newRow("off") << "0" << qint64(-1);
        QTest::newRow("negative") << "-4" << qint64(-1);
        QTest::newRow("not a number") << "often" << qint64(-1);
        QTest::newRow("fraction") << "1.5" << qint64(-1);
        QTest::newRow("beyond one timer") << "100000" << config::kMaxWatchHours * kHour;
    }
    void interval()
    {
        QFETCH(QString, hours);
        QFETCH(qint64, ms);
        QCOMPARE(config::watchIntervalMs(hours).value_or(-1), ms);
    }

    void firstCheck_data()
    {
        QTest::addColumn<QList<QDateTime>>("lastChecked");
        QTest::addColumn<qint64>("delay");
        const qint64 interval = 12 * kHour;
        QTest::newRow("nothing watched") << QList<QDateTime>{} << interval;
        QTest::newRow("all checked just now") << QList<QDateTime>{kNow, kNow} << interval;
        QTest::newRow("oldest 10 h ago")
            << QList<QDateTime>{kNow.addSecs(-3600), kNow.addSecs(-10 * 3600)} << 2 * kHour;
        QTest::newRow("one never checked")
            << QList<QDateTime>{kNow, QDateTime()} << config::kWatchStartDelayMs;
        QTest::newRow("overdue") << QList<QDateTime>{kNow.addDays(-3)} << config::kWatchStartDelayMs;
        QTest::newRow("checked in the future (clock put back)")
            << QList<QDateTime>{kNow.addDays(2)} << interval;
    }
    void firstCheck()
    {
        QFETCH(QList<QDateTime>, lastChecked);
        QFETCH(qint64, delay);
        QCOMPARE(config::firstWatchCheckDelayMs(lastChecked, kNow, 12 * kHour), delay);
    }

    void checksEveryWatchHoursAndTellsWhatChanged()
    {
        Harness h;
        QVERIFY(config::writeSetting(h.settings, config::keys::WatchHours, QStringLiteral("3")).ok());
        QVERIFY(h.answers->record(answer(QStringLiteral("free.com"), LookupVerdict::Registered)).ok());
        QVERIFY(h.answers->record(answer(QStringLiteral("drop.com"), LookupVerdict::Registered)).ok());
        QVERIFY(h.answers->record(answer(QStringLiteral("same.com"), LookupVerdict::Registered)).ok());
        QVERIFY(h.answers
                    ->watchAdd({QStringLiteral("free.com"), QStringLiteral("drop.com"),
                                QStringLiteral("same.com"), QStringLiteral("new.com")})
                    .ok());
        QSignalSpy changed(h.monitor.get(), &config::WatchMonitor::nameChanged);
        QSignalSpy finished(h.monitor.get(), &config::WatchMonitor::checkFinished);
        h.monitor->start();
        // new.com was never checked: the first check comes shortly after the start.
        h.scheduler.advance(config::kWatchStartDelayMs - 1);
        QVERIFY(h.asked.isEmpty());
        h.scheduler.advance(1);
        QCOMPARE(h.asked.size(), 1);
        QCOMPARE(h.asked.first().size(), 4);
        QVERIFY(h.monitor->isChecking());
        // A check that takes long is not started a second time meanwhile.
        QVERIFY(!h.monitor->checkNow());
        h.scheduler.advance(3 * kHour);
        QCOMPARE(h.asked.size(), 1);

        h.finishCheck(
            {answer(QStringLiteral("free.com"), LookupVerdict::Available),
             answer(QStringLiteral("drop.com"), LookupVerdict::Registered, {QStringLiteral("pendingDelete")}),
             answer(QStringLiteral("same.com"), LookupVerdict::Registered),
             answer(QStringLiteral("new.com"), LookupVerdict::Available)});
        QCOMPARE(finished.size(), 1);
        QCOMPARE(changed.size(), 2);
        QCOMPARE(changed.at(0).at(0).toString(), QStringLiteral("free.com"));
        QCOMPARE(changed.at(0).at(1).value<WatchChange>(), WatchChange::BecameAvailable);
        QCOMPARE(changed.at(1).at(0).toString(), QStringLiteral("drop.com"));
        QCOMPARE(changed.at(1).at(1).value<WatchChange>(), WatchChange::StartedToDrop);

        // The next check finds them as they are: nothing is news twice.
        h.scheduler.advance(3 * kHour);
        QCOMPARE(h.asked.size(), 2);
        h.finishCheck({answer(QStringLiteral("free.com"), LookupVerdict::Available),
                       answer(QStringLiteral("drop.com"), LookupVerdict::Registered,
                              {QStringLiteral("pendingDelete")})});
        QCOMPARE(changed.size(), 2);
        QCOMPARE(finished.size(), 2);
    }

    void offWithoutStoreSettingOrNames()
    {
        Harness h;
        QVERIFY(config::writeSetting(h.settings, config::keys::WatchHours, QStringLiteral("0")).ok());
        h.monitor->start();
        QVERIFY(!h.monitor->isScheduled());
        QVERIFY(!h.monitor->checkNow()); // nothing watched
        QVERIFY(h.asked.isEmpty());

        config::WatchMonitor noStore(nullptr, h.settings, h.scheduler, [](const QStringList &, auto) {});
        QVERIFY(config::writeSetting(h.settings, config::keys::WatchHours, QStringLiteral("1")).ok());
        noStore.start();
        QVERIFY(!noStore.isScheduled());
        QVERIFY(!noStore.checkNow());
        h.monitor->start(); // read again: on now
        QVERIFY(h.monitor->isScheduled());
        QCOMPARE(h.monitor->intervalMs(), kHour);
    }

    // A monitor that goes while its check runs is not called back.
    void aCheckOutlivingTheMonitorIsHarmless()
    {
        Harness h;
        QVERIFY(h.answers->watchAdd({QStringLiteral("a.com")}).ok());
        QVERIFY(h.monitor->checkNow());
        h.monitor.reset();
        h.pending();
    }
};

QTEST_GUILESS_MAIN(TestWatchMonitor)
#include "tst_watchmonitor.moc"
