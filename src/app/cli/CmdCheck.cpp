#include "app/cli/Cli.h"
#include "app/cli/CliCommon.h"
#include "app/cli/Interrupt.h"

#include "config/SettingsKeys.h"
#include "core/CheckRun.h"
#include "core/PacedRun.h"
#include "core/UnansweredNames.h"
#include "sources/ListRun.h"
#include "sources/ListSource.h"

#include <QEventLoop>
#include <QTemporaryFile>

#include <optional>
#include <type_traits>
#include <variant>

namespace wendlecott::cli {

namespace {

QString recordKindName(core::RunRecord::Kind kind)
{
    switch (kind) {
    case core::RunRecord::Kind::Available:
        return QStringLiteral("available");
    case core::RunRecord::Kind::Registered:
        return QStringLiteral("registered");
    case core::RunRecord::Kind::Blocked:
        return QStringLiteral("blocked");
    case core::RunRecord::Kind::Timeout:
        return QStringLiteral("timeout");
    case core::RunRecord::Kind::Unknown:
        return QStringLiteral("unknown");
    }
    return {};
}

// The record as one JSON object: the first field of its text line as "result", the profile
// class of an available name as "class", and the evidence.
QString recordJson(const core::RunRecord &record)
{
    QJsonObject object = core::evidenceJson(record.evidence, false);
    object.insert(QStringLiteral("result"), recordKindName(record.kind));
    object.insert(QStringLiteral("name"), record.name);
    if (!record.profileClass.isEmpty())
        object.insert(QStringLiteral("class"), record.profileClass);
    return jsonLine(object);
}

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
    // "--tld com,net,org": an entry without its own extension becomes one domain in each.
    QStringList extensions;
    std::optional<int> jobs; // lookups in flight at most; the "Jobs" preference without
    qint32 start = 1;
    bool json = false;
    bool unanswered = false; // the names kept in Unanswered.txt
    LookupOverrides overrides;
};

// The options of check, or the exit status of a usage error (already reported).
std::variant<CheckOptions, int> parseCheckOptions(CliContext &context, const QStringList &args)
{
    CheckOptions options;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        QString problem;
        if (takeLookupOverride(args, i, options.overrides, problem)) {
            if (!problem.isEmpty())
                return fail(context, QStringLiteral("check: ") + problem, kExitUsage);
        } else if (arg == QLatin1String("--json")) {
            options.json = true;
        } else if (arg == QLatin1String("--unanswered")) {
            options.unanswered = true;
        } else if (arg == QLatin1String("--tld") || arg == QLatin1String("--start") ||
                   arg == QLatin1String("--jobs")) {
            if (i + 1 >= args.size())
                return fail(context, QStringLiteral("check: %1 needs a value").arg(arg), kExitUsage);
            const QString value = args.at(++i);
            if (arg == QLatin1String("--tld")) {
                options.extensions = value.split(QLatin1Char(','), Qt::SkipEmptyParts);
                options.tld = options.extensions.value(0, value);
                if (options.extensions.size() <= 1)
                    options.extensions.clear();
            } else if (arg == QLatin1String("--jobs")) {
                const auto jobs = config::toInt32(value);
                if (!jobs || *jobs < 1 || *jobs > core::PacedRunOptions::kMaxJobs)
                    return fail(context,
                                QStringLiteral("check: --jobs needs a number from 1 to %1")
                                    .arg(core::PacedRunOptions::kMaxJobs),
                                kExitUsage);
                options.jobs = *jobs;
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
    if (options.unanswered && !options.file.isEmpty())
        return fail(context, QStringLiteral("check: --unanswered reads no list file"), kExitUsage);
    return options;
}

// The names of the run: a list file (standard input becomes a temporary one, read like any
// other list), or the unanswered names as they stand (also when FILE is that file, which the
// run rewrites as it files names).
struct RunNames {
    core::RunSource source;
    qint32 count = 0;
    qint32 start = 1;
};

std::optional<RunNames> runNames(CliContext &context, const CheckOptions &options,
                                 QTemporaryFile &standardInput, int &status)
{
    config::AppState &state = context.state;
    core::UnansweredNames &unanswered = state.unanswered();
    if (options.unanswered || (!options.file.isEmpty() && unanswered.isThisFile(options.file))) {
        RunNames names;
        names.source = unanswered.snapshotSource();
        names.count = qint32(unanswered.count());
        names.start = options.unanswered ? 1 : options.start;
        return names;
    }
    QString listPath = options.file;
    if (options.file.isEmpty()) {
        if (!context.io.in || !standardInput.open()) {
            status = fail(context, QStringLiteral("check: cannot read standard input"));
            return std::nullopt;
        }
        QIODevice *device = context.io.in->device();
        standardInput.write(device ? device->readAll() : context.io.in->readAll().toUtf8());
        standardInput.flush();
        listPath = standardInput.fileName();
    }
    sources::ListReader reader;
    const auto count = reader.entryCount(listPath);
    if (!count) {
        status = fail(context, QStringLiteral("File %1 not found.").arg(options.file));
        return std::nullopt;
    }
    sources::ListRunRequest request;
    request.listPath = listPath;
    request.shownName = options.file.isEmpty() ? QStringLiteral("(standard input)") : options.file;
    request.extensionChoice = [tld = options.tld] { return tld; };
    RunNames names;
    names.source = sources::makeListRunSource(std::move(request), state);
    names.count = count.value();
    names.start = options.start;
    return names;
}

// Runs `run` over the names until it stops (the end of the list, or Ctrl-C as Stop), one
// line a finished name on standard output and a summary line on standard error.
template <typename Run>
void runToEnd(CliContext &context, const CheckOptions &options, Run &run, const RunNames &names)
{
    config::AppState &state = context.state;
    int counts[5] = {0, 0, 0, 0, 0};
    QObject::connect(&run, &Run::recordFinished, &run, [&](const core::RunRecord &record) {
        ++counts[int(record.kind)];
        context.io.out << (options.json ? recordJson(record) : recordLine(record)) << '\n';
        context.io.out.flush();
    });
    // Positions are stored at most once a second, and at once when the run stops.
    config::PositionRecorder &positions = state.positions();
    QObject::connect(&run, &Run::stopped, &positions, &config::PositionRecorder::flush);
    QObject::connect(&positions, &config::PositionRecorder::writeFailed, &run, [&](const QString &why) {
        context.io.err << "wendlecott-cli check: could not store the position: " << why << '\n';
        context.io.err.flush();
    });
    QEventLoop loop;
    bool interrupted = false;
    QObject::connect(&run, &Run::stopped, &loop, &QEventLoop::quit);
    InterruptWatcher interrupt;
    QObject::connect(&interrupt, &InterruptWatcher::interrupted, &run, [&] {
        interrupted = true;
        run.stopRun();
    });

    run.startRun(names.source, names.start, names.count);
    if (run.isRunning())
        loop.exec();

    const qint32 next = run.resumePosition();
    context.io.err << "wendlecott-cli check: " << counts[0] << " available, " << counts[1] << " registered, "
                   << counts[2] << " blocked, " << counts[3] << " timed out, " << counts[4] << " unknown";
    if constexpr (std::is_same_v<Run, core::PacedRun>) {
        if (run.retryCount() > 0)
            context.io.err << "; " << run.retryCount() << " asked again after a refusal";
    }
    if (interrupted)
        context.io.err << "; stopped before entry " << next << " (resume with --start " << next << ")";
    if (const int kept = state.unanswered().count(); kept > 0)
        context.io.err << "; " << kept << " unanswered in " << state.unanswered().path()
                       << " (check them again with --unanswered)";
    context.io.err << '\n';
}

} // namespace

// check [FILE] [--tld EXT[,EXT...]] [--jobs N] [--start N] [--protocol P] [--rules R] [--json]
// [--unanswered]:
// a check run over a list file (standard input without FILE), filing verdicts into the
// program folder's lists as the main window does; names without a verdict are kept in
// Unanswered.txt. Ctrl-C stops it as the Stop button does. With several extensions or more
// than one job the run asks different servers side by side, each at its row's pace.
int cmdCheck(CliContext &context, const QStringList &args)
{
    const auto parsed = parseCheckOptions(context, args);
    if (const int *status = std::get_if<int>(&parsed))
        return *status;
    const CheckOptions &options = std::get<CheckOptions>(parsed);

    if (const core::Status opened = openProgramState(context); !opened)
        return fail(context, opened.message());
    config::AppState &state = context.state;
    QTemporaryFile standardInput;
    int status = kExitOk;
    const std::optional<RunNames> names = runNames(context, options, standardInput, status);
    if (!names)
        return status;

    core::RunEnvironment environment = state.runEnvironment();
    environment.lookupChoices = [&state, overrides = options.overrides] {
        return applyOverrides(state.lookupChoices(), overrides);
    };
    const int jobs = options.jobs.value_or(state.preferences().jobs());
    if (jobs == 1 && options.extensions.isEmpty()) {
        core::CheckRun run(environment, state.scheduler(), state.timing(), state.connections());
        runToEnd(context, options, run, *names);
        return kExitOk;
    }
    core::PacedRunOptions paced;
    paced.jobs = jobs;
    paced.extensions = core::PacedRun::inTableOrder(state.table(), options.extensions);
    core::PacedRun run(environment, state.scheduler(), state.timing(), state.connections(), state.pacer(),
                       paced);
    runToEnd(context, options, run, *names);
    return kExitOk;
}

} // namespace wendlecott::cli
