#include "app/cli/Cli.h"
#include "app/cli/CliCommon.h"
#include "app/cli/Interrupt.h"

#include "config/SettingsKeys.h"
#include "core/CheckRun.h"
#include "sources/ListRun.h"
#include "sources/ListSource.h"

#include <QEventLoop>
#include <QTemporaryFile>

#include <variant>

namespace wendlecott::cli {

namespace {

QString recordLine(const core::RunRecord &record)
{
    switch (record.kind) {
    case core::RunRecord::Kind::Available:
        return QStringLiteral("available\t%1\t%2").arg(record.name, record.profileClass);
    case core::RunRecord::Kind::Registered:
        return QStringLiteral("registered\t%1").arg(record.name);
    case core::RunRecord::Kind::Blocked:
        return QStringLiteral("blocked\t%1\t%2").arg(record.name, record.server);
    case core::RunRecord::Kind::Timeout:
        return QStringLiteral("timeout\t%1\t%2").arg(record.name, record.server);
    case core::RunRecord::Kind::Unknown:
        return QStringLiteral("unknown\t%1\t%2").arg(record.name, record.server);
    }
    return {};
}

struct CheckOptions {
    QString file; // empty: standard input
    QString tld;  // stands for the main window's extension box
    qint32 start = 1;
};

// The options of check, or the exit status of a usage error (already reported).
std::variant<CheckOptions, int> parseCheckOptions(CliContext &context, const QStringList &args)
{
    CheckOptions options;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (arg == QLatin1String("--tld") || arg == QLatin1String("--start")) {
            if (i + 1 >= args.size())
                return fail(context, QStringLiteral("check: %1 needs a value").arg(arg), kExitUsage);
            const QString value = args.at(++i);
            if (arg == QLatin1String("--tld")) {
                options.tld = value;
            } else {
                const auto position = config::toInt32(value);
                if (!position || *position < 1)
                    return fail(context, QStringLiteral("check: --start needs a position from 1"),
                                kExitUsage);
                options.start = *position;
            }
        } else if (arg.startsWith(QLatin1String("--"))) {
            return fail(context, QStringLiteral("check: unknown option '%1'").arg(arg), kExitUsage);
        } else if (options.file.isEmpty()) {
            options.file = arg;
        } else {
            return fail(context, QStringLiteral("check: give at most one list file"), kExitUsage);
        }
    }
    return options;
}

} // namespace

// check [FILE] [--tld EXT] [--start N]: a check run over a list file (standard input without
// FILE), filing verdicts into the program folder's lists as the main window does. Ctrl-C
// stops it as the Stop button does.
int cmdCheck(CliContext &context, const QStringList &args)
{
    const auto parsed = parseCheckOptions(context, args);
    if (const int *status = std::get_if<int>(&parsed))
        return *status;
    const CheckOptions &options = std::get<CheckOptions>(parsed);
    const QString &file = options.file;

    // Standard input becomes a temporary list file, read like any other list.
    QTemporaryFile standardInput;
    QString listPath = file;
    if (file.isEmpty()) {
        if (!context.io.in || !standardInput.open())
            return fail(context, QStringLiteral("check: cannot read standard input"));
        QIODevice *device = context.io.in->device();
        standardInput.write(device ? device->readAll() : context.io.in->readAll().toUtf8());
        standardInput.flush();
        listPath = standardInput.fileName();
    }

    if (const core::Status opened = openProgramState(context); !opened)
        return fail(context, opened.message());
    config::AppState &state = context.state;
    core::CheckRun run(state.runEnvironment(), state.scheduler(), state.timing(), state.connections());

    sources::ListReader reader;
    const auto count = reader.entryCount(listPath);
    if (!count)
        return fail(context, QStringLiteral("File %1 not found.").arg(file));

    sources::ListRunRequest request;
    request.listPath = listPath;
    request.shownName = file.isEmpty() ? QStringLiteral("(standard input)") : file;
    request.extensionChoice = [tld = options.tld] { return tld; };
    const core::RunSource source = sources::makeListRunSource(std::move(request), state);

    int counts[4] = {0, 0, 0, 0};
    QObject::connect(&run, &core::CheckRun::recordFinished, &run, [&](const core::RunRecord &record) {
        ++counts[int(record.kind)];
        context.io.out << recordLine(record) << '\n';
        context.io.out.flush();
    });
    // Positions are stored at most once a second, and at once when the run stops.
    config::PositionRecorder &positions = state.positions();
    QObject::connect(&run, &core::CheckRun::stopped, &positions, &config::PositionRecorder::flush);
    QObject::connect(&positions, &config::PositionRecorder::writeFailed, &run, [&](const QString &why) {
        context.io.err << "wendlecott-cli check: could not store the position: " << why << '\n';
        context.io.err.flush();
    });
    QEventLoop loop;
    bool interrupted = false;
    QObject::connect(&run, &core::CheckRun::stopped, &loop, &QEventLoop::quit);
    InterruptWatcher interrupt;
    QObject::connect(&interrupt, &InterruptWatcher::interrupted, &run, [&] {
        interrupted = true;
        run.stopRun();
    });

    run.startRun(source, options.start, count.value());
    if (run.isRunning())
        loop.exec();

    const qint32 next = run.resumePosition();
    context.io.err << "wendlecott-cli check: " << counts[0] << " available, " << counts[1] << " registered, "
                   << counts[2] << " blocked, " << counts[3] << " timed out";
    if (interrupted)
        context.io.err << "; stopped before entry " << next << " (resume with --start " << next << ")";
    context.io.err << '\n';
    return kExitOk;
}

} // namespace wendlecott::cli
