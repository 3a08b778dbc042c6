// How fast the per-user store takes the run positions: a check run writes "wordNumber"
// and the source's position for every name it dispatches.
#include "config/SettingsKeys.h"
#include "platform/IniSettingsStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

using namespace wendlecott;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    platform::IniSettingsStore store(dir.path());
    // A file as full as a long-used one: every key of the table has a value.
    for (const config::SettingKey &key : config::allSettingKeys())
        (void)config::writeSetting(store, key, QStringLiteral("1"));

    constexpr int kNames = 1000;
    QElapsedTimer timer;
    timer.start();
    for (int i = 1; i <= kNames; ++i) {
        (void)config::writeSetting(store, config::keys::WordNumber, QString::number(i));
        (void)config::writeSetting(store, config::keys::FullWordNum, QString::number(i));
    }
    const double writeMs = double(timer.nsecsElapsed()) / 1e6;

    timer.restart();
    qint64 sum = 0;
    for (int i = 0; i < kNames; ++i)
        sum += config::readInt32Setting(store, config::keys::WordNumber, QStringLiteral("0")).value_or(0);
    const double readMs = double(timer.nsecsElapsed()) / 1e6;

    out << "settings writes: " << 2 * kNames << " in " << writeMs << " ms, " << writeMs / (2 * kNames)
        << " ms each\n";
    out << "settings reads: " << kNames << " in " << readMs << " ms, " << readMs / kNames
        << " ms each (check " << sum << ")\n";
    return 0;
}
