// How fast the per-user store takes the run positions: a check run writes "wordNumber"
// and the source's position for every name it dispatches, and its budget beyond the
// pause is 0.3 ms a name.
#include "config/SettingsKeys.h"
#include "core/TextFile.h"
#include "platform/IniSettingsStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
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
    const platform::IniSettingsStore other(dir.path()); // the other program
    // A file as full as a long-used one: every key of the table has a value.
    for (const config::SettingKey &key : config::allSettingKeys())
        (void)config::writeSetting(store, key, QStringLiteral("1"));
    (void)store.compact(config::kPositionsApp);

    constexpr int kNames = 5000;
    QElapsedTimer timer;
    Timings writes;
    for (int i = 1; i <= kNames; ++i) {
        for (const config::SettingKey &key : {config::keys::WordNumber, config::keys::FullWordNum}) {
            timer.start();
            (void)config::writeSetting(store, key, QString::number(i));
            writes.add(timer.nsecsElapsed());
        }
    }

    Timings reads;
    qint64 sum = 0;
    for (int i = 0; i < kNames; ++i) {
        timer.start();
        sum += config::readInt32Setting(store, config::keys::WordNumber, QStringLiteral("0")).value_or(0);
        reads.add(timer.nsecsElapsed());
    }

    // The other store reads each value just after it was written: it catches up with the
    // journal's new record (and now and then with a rewritten INI file).
    Timings otherReads;
    for (int i = 1; i <= kNames; ++i) {
        (void)config::writeSetting(store, config::keys::WordNumber, QString::number(kNames + i));
        timer.start();
        sum += config::readInt32Setting(other, config::keys::WordNumber, QStringLiteral("0")).value_or(0);
        otherReads.add(timer.nsecsElapsed());
    }

    // For comparison: what a write cost when every write replaced the INI file by rename.
    const QString ini = store.fileFor(config::kPositionsApp);
    const QByteArray text = [&ini] {
        QFile file(ini);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    Timings rewrites;
    for (int i = 0; i < 500; ++i) {
        timer.start();
        (void)core::writeFileAtomically(ini, text, core::Durability::Unsynced);
        rewrites.add(timer.nsecsElapsed());
    }

    report(out, "settings writes", writes);
    out << "  per name (two writes): " << 2 * writes.eachUs() << " us\n";
    report(out, "settings reads, same store", reads);
    report(out, "settings reads, another store after each write", otherReads);
    report(out, "reference: INI file replaced by rename", rewrites);
    out << "(check " << sum << ")\n";
    return 0;
}
