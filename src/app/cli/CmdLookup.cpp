#include "app/cli/Cli.h"
#include "app/cli/CliCommon.h"

#include "core/LookupSlot.h"
#include "core/Timing.h"

#include <QEventLoop>

namespace wendlecott::cli {

// lookup NAME [--raw]: one whois lookup through the TLD table (proxy mode as stored), given
// up after the run's watchdog time. Prints verdict, name, server:port, matched word; with
// --raw the answer follows.
int cmdLookup(CliContext &context, const QStringList &args)
{
    QString name;
    bool raw = false;
    for (const QString &arg : args) {
        if (arg == QLatin1String("--raw"))
            raw = true;
        else if (arg.startsWith(QLatin1String("--")))
            return fail(context, QStringLiteral("lookup: unknown option '%1'").arg(arg), kExitUsage);
        else if (name.isEmpty())
            name = arg;
        else
            return fail(context, QStringLiteral("lookup: give one name"), kExitUsage);
    }
    if (name.trimmed().isEmpty())
        return fail(context, QStringLiteral("lookup: give a name (lookup NAME [--raw])"), kExitUsage);

    if (const core::Status opened = openProgramState(context); !opened)
        return fail(context, opened.message());
    config::AppState &state = context.state;
    const int row = core::findTLD(state.table(), name, state.preferences().useProxy());
    if (row < 0 || row >= state.table().size())
        return fail(context, QStringLiteral("no TLD row serves %1").arg(name));
    const core::TldEntry &entry = state.table().at(row);

    const core::Timing &timing = state.timing();
    core::Scheduler &scheduler = state.scheduler();
    core::LookupSlot slot(0, state.connections()(), scheduler, timing);
    QEventLoop loop;
    std::optional<core::LookupOutcome> outcome;
    QObject::connect(&slot, &core::LookupSlot::finished, &loop, [&](const core::LookupOutcome &result) {
        outcome = result;
        loop.quit();
    });
    core::SingleShot watchdog(scheduler);
    watchdog.start(timing.tickMs * timing.watchdogTicks, [&] { loop.quit(); });
    slot.startLookup(name, entry);
    loop.exec();
    slot.abort();

    const QString where = QStringLiteral("%1:%2").arg(entry.server).arg(entry.port);
    if (!outcome)
        return fail(context, QStringLiteral("no answer from %1 for %2 within %3 seconds")
                                 .arg(where, name)
                                 .arg(timing.tickMs * timing.watchdogTicks / 1000));
    context.io.out << core::verdictName(outcome->verdict) << '\t' << outcome->name << '\t' << where << '\t'
                   << outcome->matchedWord << '\n';
    if (raw)
        context.io.out << outcome->response;
    return kExitOk;
}

} // namespace wendlecott::cli
