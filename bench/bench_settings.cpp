// What the per-user store costs a check run and the windows. A run records "wordNumber" and
// the source's position for every name it takes; the recorder stores them at most once a
// second, in one write of the file. A preference is stored when it changes, and a read
// looks whether the other program changed the file.
#include "config/PositionRecorder.h"
#include "config/SettingsKeys.h"
#include "platform/IniSettingsStore.h"
#include "platform/QtScheduler.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

using namespace wendlecott;

namespace {

struct Timings {
    qint64 count = 0;
    qint64 totalNs = 0;
    qint64 slowestNs = 0;

    void add(qint64 ns)
    {
        ++count;
        totalNs += ns;
        slowestNs = std::max(slowestNs, ns);
    }
    double eachUs() const { return count ? double(totalNs) / double(count) / 1e3 : 0.0; }
};

void report(QTextStream &out, const char *what, const Timings &t)
{
    out << what << ": " << t.count << " in " << double(t.totalNs) / 1e6 << " ms, " << t.eachUs()
        << " us each, slowest " << double(t.slowestNs) / 1e3 << " us\n";
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    platform::IniSettingsStore store(dir.path());
    const platform::IniSettingsStore other(dir.path()); // as the other program would
    // A file as full as a long-used one: every key of the table has a value.
    for (const config::SettingKey &key : config::allSettingKeys())
        (void)config::writeSetting(store, key, QStringLiteral("1"));

    constexpr int kNames = 5000;
    QElapsedTimer timer;

    // Positions as a run records them; the timed writes are left to the flushes below.
    platform::QtScheduler scheduler;
    Timings records;
    {
        config::PositionRecorder positions(store, scheduler);
        for (int i = 1; i <= kNames; ++i) {
            for (const config::SettingKey &key : {config::keys::WordNumber, config::keys::FullWordNum}) {
                timer.start();
                positions.record(key, QString::number(i));
                records.add(timer.nsecsElapsed());
            }
        }
    }

    // What the recorder does once a second: both positions in one write of the file.
    Timings flushes;
    {
        config::PositionRecorder positions(store, scheduler);
        for (int i = 1; i <= 100; ++i) {
            positions.record(config::keys::WordNumber, QString::number(kNames + i));
            positions.record(config::keys::FullWordNum, QString::number(kNames + i));
            timer.start();
            (void)positions.flush();
            flushes.add(timer.nsecsElapsed());
        }
    }

    // A preference that changes: one value, one write of the file.
    Timings writes;
    for (int i = 1; i <= 100; ++i) {
        timer.start();
        (void)config::writeSetting(store, config::keys::Throttle, QString::number(i));
        writes.add(timer.nsecsElapsed());
    }

    Timings reads;
    qint64 sum = 0;
    for (int i = 0; i < kNames; ++i) {
        timer.start();
        sum += config::readInt32Setting(store, config::keys::WordNumber, QStringLiteral("0")).value_or(0);
        reads.add(timer.nsecsElapsed());
    }

    // The other store reads each value just after it was written.
    Timings otherReads;
    for (int i = 1; i <= 100; ++i) {
        (void)config::writeSetting(store, config::keys::WordNumber, QString::number(2 * kNames + i));
        timer.start();
        sum += config::readInt32Setting(other, config::keys::WordNumber, QStringLiteral("0")).value_or(0);
        otherReads.add(timer.nsecsElapsed());
    }

    report(out, "positions recorded", records);
    out << "  per name (two records): " << 2 * records.eachUs() << " us\n";
    report(out, "positions stored (two keys, one file write)", flushes);
    out << "  per name at 100 names a second, one store a second: "
        << 2 * records.eachUs() + flushes.eachUs() / 100.0 << " us\n";
    report(out, "preference writes", writes);
    report(out, "settings reads, same store", reads);
    report(out, "settings reads, another store after each write", otherReads);
    out << "(check " << sum << ")\n";
    return 0;
}
