#include "app/cli/Cli.h"
#include "app/cli/CliCommon.h"
#include "app/cli/CliStore.h"
#include "app/cli/Interrupt.h"

#include "config/FolderLock.h"
#include "config/WatchCheck.h"
#include "core/run/CheckRun.h"
#include "core/store/WatchList.h"
#include "core/tld/DomainName.h"

#include <QEventLoop>
#include <QHash>
#include <QJsonArray>

#include <optional>

namespace wendlecott::cli {

namespace {

const QString kWatchUsage =
    QStringLiteral("usage: watch add NAME... | watch remove NAME... | watch list [--json] | "
                   "watch check");

// The names as a run asks them; nothing after saying which one cannot be a domain.
std::optional<QStringList> watchNames(CliContext &context, const QStringList &args, int &status)
{
    QStringList names;
    for (const QString &arg : args) {
        if (arg.startsWith(QLatin1String("--"))) {
            status = fail(context, QStringLiteral("watch: unknown option '%1' (%2)").arg(arg, kWatchUsage),
                          kExitUsage);
            return std::nullopt;
        }
        const core::Result<QString> name = core::canonicalDomainName(arg);
        if (!name) {
            status =
                fail(context, QStringLiteral("watch: %1 is no domain name: %2").arg(arg, name.message()));
            return std::nullopt;
        }
        names.append(name.value());
    }
    if (names.isEmpty())
        status =
            fail(context, QStringLiteral("watch: give at least one NAME (%1)").arg(kWatchUsage), kExitUsage);
    if (names.isEmpty())
        return std::nullopt;
    return names;
}

// The program folder's store, to write: the folder's lock is taken as a check takes it.
store::AnswerStore *storeToWrite(CliContext &context, config::FolderLock &lock, int &status)
{
    if (const core::Status opened = openProgramState(context); !opened) {
        status = fail(context, opened.message());
        return nullptr;
    }
    if (const core::Status locked = lock.acquire(); !locked) {
        status = fail(context, locked.message());
        return nullptr;
    }
    store::AnswerStore *answers = context.state.answerStore();
    if (!answers)
        status = fail(context, QStringLiteral("watch: there is no answer store to keep the watch list in"));
    return answers;
}

int changeWatchList(CliContext &context, bool add, const QStringList &args)
{
    int status = kExitOk;
    const std::optional<QStringList> names = watchNames(context, args, status);
    if (!names)
        return status;
    config::FolderLock lock(context.state.folder().root());
    store::AnswerStore *answers = storeToWrite(context, lock, status);
    if (!answers)
        return status;
    const core::Status changed = add ? answers->watchAdd(*names) : answers->watchRemove(*names);
    if (!changed)
        return fail(context, QStringLiteral("watch: could not change the watch list in %1: %2")
                                 .arg(answers->path(), changed.message()));
    return kExitOk;
}

QJsonObject watchedJson(const store::WatchRow &row)
{
    QJsonObject object{{QStringLiteral("name"), row.name}};
    if (!row.verdict)
        return object;
    object.insert(QStringLiteral("verdict"), store::verdictKey(*row.verdict));
    if (row.expires.isValid())
        object.insert(QStringLiteral("expires"), core::isoUtc(row.expires));
    if (row.daysLeft)
        object.insert(QStringLiteral("days_left"), double(*row.daysLeft));
    object.insert(QStringLiteral("statuses"), QJsonArray::fromStringList(row.statuses));
    object.insert(QStringLiteral("last_checked"), core::isoUtc(row.lastChecked));
    if (row.lastChange.isValid())
        object.insert(QStringLiteral("last_change"), core::isoUtc(row.lastChange));
    return object;
}

// name, verdict, expires, days left, statuses, last checked, last change; empty where not known.
QString watchedLine(const store::WatchRow &row)
{
    QStringList fields{row.name};
    if (row.verdict) {
        fields << store::verdictKey(*row.verdict) << core::isoUtc(row.expires)
               << (row.daysLeft ? QString::number(*row.daysLeft) : QString())
               << row.statuses.join(QStringLiteral("; ")) << core::isoUtc(row.lastChecked)
               << core::isoUtc(row.lastChange);
    } else {
        fields << QString() << QString() << QString() << QString() << QString() << QString();
    }
    return fields.join(QLatin1Char('\t'));
}

int listWatchList(CliContext &context, const QStringList &args)
{
    bool json = false;
    for (const QString &arg : args) {
        if (arg != QLatin1String("--json"))
            return fail(context,
                        QStringLiteral("watch list: unknown argument '%1' (%2)").arg(arg, kWatchUsage),
                        kExitUsage);
        json = true;
    }
    const std::unique_ptr<store::AnswerStore> answers = openStoreToRead(context);
    if (!answers)
        return kExitFailure;
    const core::Result<QList<store::WatchRow>> list =
        store::watchRows(*answers, QDateTime::currentDateTimeUtc());
    if (!list)
        return fail(context, QStringLiteral("could not read %1: %2").arg(answers->path(), list.message()));
    for (const store::WatchRow &row : list.value())
        context.io.out << (json ? jsonLine(watchedJson(row)) : shown(context, watchedLine(row))) << '\n';
    return kExitOk;
}

// Asks every watched name now through a run (each server at its pace, the answers filed and
// stored as any run's), one line a name, and became-available NAME for each name that was
// Registered at its last answer with a verdict and is Available now.
int checkWatchList(CliContext &context, const QStringList &args)
{
    if (!args.isEmpty())
        return fail(context, QStringLiteral("watch check takes no arguments (%1)").arg(kWatchUsage),
                    kExitUsage);
    int status = kExitOk;
    config::FolderLock lock(context.state.folder().root());
    store::AnswerStore *answers = storeToWrite(context, lock, status);
    if (!answers)
        return status;
    const core::Result<QStringList> names = answers->watchedNames();
    if (!names)
        return fail(context, QStringLiteral("could not read %1: %2").arg(answers->path(), names.message()));
    QHash<QString, std::optional<core::LookupVerdict>> before;
    for (const QString &name : names.value())
        before.insert(name, store::lastVerdict(answers->historyWithoutText(name).valueOr({})));

    const std::unique_ptr<core::CheckRun> watchRun = config::makeWatchRun(context.state);
    core::CheckRun &run = *watchRun;
    bool interrupted = false;
    QObject::connect(&run, &core::CheckRun::recordFinished, &run, [&](const core::RunRecord &record) {
        context.io.out << shown(context, checkRecordLine(record)) << '\n';
        if (store::becameAvailable(before.value(record.name), record.evidence.verdict))
            context.io.out << shown(context, QStringLiteral("became-available\t") + record.name) << '\n';
        context.io.out.flush();
    });
    QObject::connect(
        &run, &core::CheckRun::invalidName, &run, [&](const QString &name, const QString &reason, int) {
            context.io.out << shown(context, QStringLiteral("invalid\t%1\t%2").arg(name, reason)) << '\n';
        });
    QEventLoop loop;
    QObject::connect(&run, &core::CheckRun::stopped, &loop, &QEventLoop::quit);
    InterruptWatcher interrupt;
    QObject::connect(&interrupt, &InterruptWatcher::interrupted, &run, [&] {
        interrupted = true;
        run.stopRun();
    });
    run.startRun(config::watchSource(names.value()), 1, qint32(names.value().size()));
    if (run.isRunning())
        loop.exec();
    return interrupted ? kExitInterrupted : kExitOk;
}

} // namespace

// watch add NAME... | watch remove NAME... | watch list [--json] | watch check: the watch
// list kept in the answer store.
int cmdWatch(CliContext &context, const QStringList &args)
{
    const QString action = args.value(0);
    if (action == QLatin1String("add") || action == QLatin1String("remove"))
        return changeWatchList(context, action == QLatin1String("add"), args.mid(1));
    if (action == QLatin1String("list"))
        return listWatchList(context, args.mid(1));
    if (action == QLatin1String("check"))
        return checkWatchList(context, args.mid(1));
    return fail(context, QStringLiteral("watch: %1").arg(kWatchUsage), kExitUsage);
}

} // namespace wendlecott::cli
