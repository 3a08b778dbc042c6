#include "BuildFolder.h"
#include "FakeScheduler.h"
#include "FakeWhoisServer.h"
#include "MemorySettingsStore.h"
#include "TestFolder.h"
#include "config/PositionRecorder.h"
#include "config/SettingsKeys.h"
#include "platform/IniSettingsStore.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <cmath>

using namespace wendlecott;
using config::PositionRecorder;
namespace keys = config::keys;

class TestRunPositions : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // --- the recorder, on a clock moved by hand ---------------------------------------

    void nothingIsWrittenBeforeTheSecondAndOnceAfterIt()
    {
        testing::MemorySettingsStore store;
        testing::FakeScheduler clock;
        PositionRecorder positions(store, clock);
        positions.record(keys::WordNumber, QStringLiteral("2"));
        positions.record(keys::FullWordNum, QStringLiteral("2"));
        clock.advance(999);
        QCOMPARE(store.writeAttempts, 0);
        QVERIFY(positions.hasUnwritten());
        clock.advance(1);
        // Both keys in one write.
        QCOMPARE(store.batchWrites, 1);
        QCOMPARE(store.writes,
                 (QStringList{QStringLiteral("wordNumber=2"), QStringLiteral("FullWordNum=2")}));
        QVERIFY(!positions.hasUnwritten());
        clock.advance(10000);
        QCOMPARE(store.batchWrites, 1); // nothing new, nothing written
    }

    void theLatestValueWins()
    {
        testing::MemorySettingsStore store;
        testing::FakeScheduler clock;
        PositionRecorder positions(store, clock);
        for (int next = 2; next <= 100; ++next) {
            positions.record(keys::WordNumber, QString::number(next));
            clock.advance(5);
        }
        clock.advance(1000);
        QCOMPARE(store.writes, QStringList{QStringLiteral("wordNumber=100")});
    }

    void aLongRunIsWrittenAtMostOnceASecondAndNeverMoreThanASecondBehind()
    {
        testing::MemorySettingsStore store;
        testing::FakeScheduler clock;
        PositionRecorder positions(store, clock);
        // A name every 7 ms for 10 seconds.
        qint64 firstUnwrittenAt = -1;
        int lastWrites = 0;
        qint64 lastWriteAt = -1;
        for (int next = 2; clock.now() < 10000; ++next) {
            positions.record(keys::WordNumber, QString::number(next));
            if (firstUnwrittenAt < 0)
                firstUnwrittenAt = clock.now();
            clock.advance(7);
            if (store.batchWrites != lastWrites) {
                QVERIFY2(lastWriteAt < 0 || clock.now() - lastWriteAt >= 1000, "two writes within a second");
                lastWrites = store.batchWrites;
                lastWriteAt = clock.now();
                firstUnwrittenAt = -1;
            }
            // What is stored is never older than a second (and one step of the clock).
            QVERIFY(firstUnwrittenAt < 0 || clock.now() - firstUnwrittenAt <= 1000 + 7);
        }
        QVERIFY2(store.batchWrites >= 9 && store.batchWrites <= 10,
                 qPrintable(QString::number(store.batchWrites)));
    }

    void flushWritesAtOnce()
    {
        testing::MemorySettingsStore store;
        testing::FakeScheduler clock;
        PositionRecorder positions(store, clock);
        positions.record(keys::WordNumber, QStringLiteral("7"));
        positions.record(keys::CustWordNum, QStringLiteral("7"));
        QVERIFY(positions.flush().ok());
        QCOMPARE(store.value(keys::WordNumber), QStringLiteral("7"));
        QCOMPARE(store.value(keys::CustWordNum), QStringLiteral("7"));
        QCOMPARE(clock.pendingCount(), std::size_t(0)); // no write left waiting
        clock.advance(2000);
        QCOMPARE(store.batchWrites, 1);
        // Nothing recorded: nothing written.
        QVERIFY(positions.flush().ok());
        QCOMPARE(store.batchWrites, 1);
    }

    void valuesOfEachApplicationKeyAreWrittenTogether()
    {
        testing::MemorySettingsStore store;
        testing::FakeScheduler clock;
        PositionRecorder positions(store, clock);
        positions.record(keys::WordNumber, QStringLiteral("3"));
        positions.record(keys::TxtMake, QStringLiteral("shop"));
        positions.record(keys::FourWordNum, QStringLiteral("3"));
        QVERIFY(positions.flush().ok());
        QCOMPARE(store.batchWrites, 2);
        QCOMPARE(store.value(keys::FourWordNum), QStringLiteral("3"));
        QCOMPARE(store.value(keys::TxtMake), QStringLiteral("shop"));
    }

    void theRecorderFlushesWhenItGoes()
    {
        testing::MemorySettingsStore store;
        testing::FakeScheduler clock;
        {
            PositionRecorder positions(store, clock);
            positions.record(keys::WordNumber, QStringLiteral("9"));
        }
        QCOMPARE(store.value(keys::WordNumber), QStringLiteral("9"));
        QCOMPARE(clock.pendingCount(), std::size_t(0));
    }

    void aFailedWriteIsReportedAndTriedAgain()
    {
        testing::MemorySettingsStore store;
        testing::FakeScheduler clock;
        PositionRecorder positions(store, clock);
        QSignalSpy failed(&positions, &PositionRecorder::writeFailed);
        store.failWrites = true;
        positions.record(keys::WordNumber, QStringLiteral("4"));
        clock.advance(1000);
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed.first().first().toString(), QStringLiteral("writes fail in this test"));
        QCOMPARE(positions.lastStatus().code(), core::ErrorCode::WriteFailed);
        QVERIFY(positions.hasUnwritten());
        QVERIFY(!store.contains(keys::WordNumber));

        // Further failures (timed writes, the flush at Stop) fail too, but are said once.
        positions.record(keys::WordNumber, QStringLiteral("6"));
        clock.advance(1000);
        QCOMPARE(positions.flush().code(), core::ErrorCode::WriteFailed);
        QCOMPARE(failed.size(), 1);

        // The disk has room again: the next write stores the latest value.
        store.failWrites = false;
        positions.record(keys::FullWordNum, QStringLiteral("5"));
        clock.advance(1000);
        QCOMPARE(failed.size(), 1);
        QVERIFY(positions.lastStatus().ok());
        QCOMPARE(store.value(keys::WordNumber), QStringLiteral("6"));
        QCOMPARE(store.value(keys::FullWordNum), QStringLiteral("5"));
        QVERIFY(!positions.hasUnwritten());

        // A failure after a good write is news again.
        store.failWrites = true;
        positions.record(keys::WordNumber, QStringLiteral("7"));
        QVERIFY(!positions.flush().ok());
        QCOMPARE(failed.size(), 2);
    }

    // --- a real run, killed -----------------------------------------------------------

    void aKilledRunLosesAtMostASecondOfPositions()
    {
        testing::TestFolder folder;
        testing::FakeWhoisServer server;
        QVERIFY(server.start());
        // A pause of 20 ms before each name: some fifty names a second.
        folder.write(QStringLiteral("TLDs.txt"),
                     QStringLiteral("com|127.0.0.1|%1|Enabled|20|No match\r\n").arg(server.port()).toUtf8());
        constexpr int kNames = 20000;
        QByteArray list;
        for (int i = 1; i <= kNames; ++i)
            list += "name" + QByteArray::number(i) + "\r\n";
        folder.write(QStringLiteral("list.txt"), list);

        QProcess cli;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folder.file(QStringLiteral(".config")));
        cli.setProcessEnvironment(environment);
        cli.setProcessChannelMode(QProcess::SeparateChannels);

        // The position in the list of each name printed, and when it came.
        QList<int> printed;
        QList<qint64> printedAt;
        QElapsedTimer clock;
        QByteArray pending;
        const auto readRecords = [&] {
            pending += cli.readAllStandardOutput();
            qsizetype end;
            while ((end = pending.indexOf('\n')) >= 0) {
                static const QRegularExpression record(QStringLiteral("^\\w+\\tname(\\d+)\\.com"));
                const QRegularExpressionMatch match = record.match(QString::fromUtf8(pending.left(end)));
                pending.remove(0, end + 1);
                if (match.hasMatch()) {
                    printed.append(match.captured(1).toInt());
                    printedAt.append(clock.elapsed());
                }
            }
        };
        connect(&cli, &QProcess::readyReadStandardOutput, this, readRecords);

        clock.start();
        cli.start(testing::buildPath(QStringLiteral("wendlecott-cli")),
                  {QStringLiteral("--program-folder"), folder.path(), QStringLiteral("check"),
                   folder.file(QStringLiteral("list.txt"))});
        QVERIFY2(cli.waitForStarted(10000), qPrintable(cli.errorString()));
        // Some three seconds of names, so that several timed writes have happened; on a
        // slow machine, fewer.
        constexpr int kBeforeKill = 150;
        (void)QTest::qWaitFor(
            [&] {
                return printed.size() >= kBeforeKill || cli.state() == QProcess::NotRunning ||
                       (printed.size() >= 30 && clock.elapsed() > 30000);
            },
            90000);
        QVERIFY2(printed.size() >= 30, qPrintable(QString::number(printed.size())));
        QCOMPARE(cli.state(), QProcess::Running);
        cli.kill(); // SIGKILL: no Stop, no flush
        QVERIFY(cli.waitForFinished(10000));
        QCOMPARE(cli.exitStatus(), QProcess::CrashExit);
        readRecords();

        // Names are finished one after another, in list order.
        for (int i = 0; i < printed.size(); ++i)
            QCOMPARE(printed.at(i), i + 1);
        const int lastPrinted = printed.last();
        // The pace: on average, and in the last second before the kill.
        const double seconds = double(printedAt.last() - printedAt.first()) / 1000.0;
        const auto lastSecond = std::count_if(printedAt.begin(), printedAt.end(),
                                              [&](qint64 at) { return at >= printedAt.last() - 1000; });
        const double namesPerSecond = std::max(double(printed.size() - 1) / seconds, double(lastSecond));

        const platform::IniSettingsStore settings(folder.file(QStringLiteral(".config/Brindlemoor")));
        const int stored = config::readSetting(settings, keys::WordNumber, QStringLiteral("0")).toInt();
        // The stored position is that of the entry after one the run had taken: at most
        // the one after the name in flight when it was killed.
        QVERIFY2(stored <= lastPrinted + 2,
                 qPrintable(QStringLiteral("stored %1, last printed %2").arg(stored).arg(lastPrinted)));
        // And at most a second of names behind the last one printed (with room for the
        // pace to vary and for the names in flight).
        const int allowedLag = int(std::ceil(namesPerSecond * 1.5)) + 2;
        QVERIFY2(stored >= lastPrinted + 1 - allowedLag,
                 qPrintable(QStringLiteral("stored %1, last printed %2, %3 names/s, allowed lag %4")
                                .arg(stored)
                                .arg(lastPrinted)
                                .arg(namesPerSecond)
                                .arg(allowedLag)));
    }
};

QTEST_GUILESS_MAIN(TestRunPositions)
#include "tst_runpositions.moc"
