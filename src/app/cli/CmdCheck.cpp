#include "app/cli/Cli.h"
#include "app/cli/CliCommon.h"
#include "app/cli/CliStore.h"
#include "app/cli/Interrupt.h"

#include "config/FolderLock.h"
#include "config/SettingsKeys.h"
#include "core/base/ShownText.h"
#include "core/base/TextFile.h"
#include "core/lists/ResultLists.h"
#include "core/lists/UnansweredNames.h"
#include "core/run/CheckRun.h"
#include "sources/ListRun.h"
#include "sources/ListSource.h"

#include <QEventLoop>
#include <QTemporaryFile>

#include <algorithm>
#include <optional>
#include <variant>

namespace wendlecott::cli {

namespace {

// An unknown verdict because the server could not be reached at all (refused, no such host).
bool unreachable(const core::RunRecord &record)
{
    return record.kind == core::RunRecord::Kind::Unknown &&
           record.evidence.ending == core::LookupEnding::NoConnection;
}

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
    object.insert(QStringLiteral("result"),
                  unreachable(record) ? QStringLiteral("unreachable") : recordKindName(record.kind));
    object.insert(QStringLiteral("name"), record.name);
    if (!record.profileClass.isEmpty())
        object.insert(QStringLiteral("class"), record.profileClass);
    return jsonLine(object);
}

QString invalidJson(const QString &name, const QString &reason)
{
    return jsonLine(QJsonObject{{QStringLiteral("result"), QStringLiteral("invalid")},
                                {QStringLiteral("name"), name},
                                {QStringLiteral("reason"), reason}});
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
        if (unreachable(record))
            return QStringLiteral("unreachable\t%1\t%2\t%3")
                .arg(record.name, record.server, record.evidence.reason);
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
    bool unanswered = false;      // the names kept in Unanswered.txt
    std::optional<int> reuseDays; // --reuse-registered-days; the setting without
    LookupOverrides overrides;
    DnsOverrides dns;
};

// The options of check, or the exit status of a usage error (already reported).
std::variant<CheckOptions, int> parseCheckOptions(CliContext &context, const QStringList &args)
{
    CheckOptions options;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        QString problem;
        if (takeLookupOverride(args, i, options.overrides, problem) ||
            takeDnsOverride(args, i, options.dns, problem)) {
            if (!problem.isEmpty())
                return fail(context, QStringLiteral("check: ") + problem, kExitUsage);
        } else if (arg == QLatin1String("--json")) {
            options.json = true;
        } else if (arg == QLatin1String("--unanswered")) {
            options.unanswered = true;
        } else if (arg == QLatin1String("--reuse-registered-days")) {
            const auto days = i + 1 < args.size() ? config::toInt32(args.at(++i)) : std::nullopt;
            if (!days || *days < 0)
                return fail(context,
                            QStringLiteral("check: --reuse-registered-days needs a number of days from 0"),
                            kExitUsage);
            options.reuseDays = *days;
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
                if (!jobs || *jobs < 1 || *jobs > core::RunPolicy::kMaxJobs)
                    return fail(context,
                                QStringLiteral("check: --jobs needs a number from 1 to %1")
                                    .arg(core::RunPolicy::kMaxJobs),
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

// The most of standard input a check reads: far beyond a list typed or piped in, while an
// endless stream (/dev/zero, `yes`) stops here. Longer lists are given as a file.
constexpr qint64 kMaxStandardInputBytes = qint64(256) << 20;

// Copies standard input into `file` in pieces, so memory stays bounded; what is wrong
// when it holds a line over core::kMaxLineBytes or more than kMaxStandardInputBytes.
QString copyStandardInput(QTextStream &in, QFile &file)
{
    QIODevice *device = in.device();
    if (!device) // a stream over a string (tests): already in memory
        return file.write(in.readAll().toUtf8()) < 0 || !file.flush() ? file.errorString() : QString();
    constexpr qint64 kChunk = qint64(1) << 16;
    qint64 total = 0;
    qint64 lineLength = 0;
    for (QByteArray chunk = device->read(kChunk); !chunk.isEmpty(); chunk = device->read(kChunk)) {
        total += chunk.size();
        for (qsizetype from = 0; from < chunk.size();) {
            const qsizetype end = chunk.indexOf('\n', from);
            lineLength += (end < 0 ? chunk.size() : end) - from;
            if (lineLength > core::kMaxLineBytes)
                return QStringLiteral("holds a line longer than %1; it is not read")
                    .arg(core::sizeText(core::kMaxLineBytes));
            if (end < 0)
                break;
            lineLength = 0;
            from = end + 1;
        }
        if (total > kMaxStandardInputBytes)
            return QStringLiteral("is larger than %1; give a list that long as a file")
                .arg(core::sizeText(kMaxStandardInputBytes));
        if (file.write(chunk) != chunk.size())
            return QStringLiteral("could not be kept: ") + file.errorString();
    }
    return file.flush() ? QString() : QStringLiteral("could not be kept: ") + file.errorString();
}

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
        if (const QString problem = copyStandardInput(*context.io.in, standardInput); !problem.isEmpty()) {
            status = fail(context, QStringLiteral("check: standard input ") + problem);
            return std::nullopt;
        }
        listPath = standardInput.fileName();
    }
    sources::ListReader reader;
    const auto count = reader.entryCount(listPath);
    if (!count) {
        status = fail(context, core::unreadableListText(count.code(), count.message(), options.file));
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

// What a check run came to, for its summary and exit status.
struct RunTally {
    int counts[6] = {0, 0, 0, 0, 0, 0}; // by core::RunRecord::Kind, then the unknown because unreachable
    int invalid = 0;
    int retries = 0;
    int reused = 0; // filed from the answer store without a query
    int settledByDns = 0;
    bool dnsFirst = false;
    bool interrupted = false;
    bool positionLost = false;
};

// Prints each finished name on standard output as it comes; an output that cannot be
// written stops the run, as no one learns of further verdicts (the position says where to
// resume).
void printRecords(CliContext &context, const CheckOptions &options, core::CheckRun &run, RunTally &tally)
{
    QObject::connect(&run, &core::CheckRun::recordFinished, &run, [&](const core::RunRecord &record) {
        ++tally.counts[unreachable(record) ? 5 : int(record.kind)];
        tally.reused += record.evidence.reused ? 1 : 0;
        context.io.out << (options.json ? recordJson(record) : shown(context, recordLine(record))) << '\n';
        context.io.out.flush();
        if (context.io.out.status() == QTextStream::WriteFailed)
            run.stopRun();
    });
    QObject::connect(
        &run, &core::CheckRun::invalidName, &run, [&](const QString &name, const QString &reason, int count) {
            tally.invalid = count;
            context.io.out << (options.json
                                   ? invalidJson(name, reason)
                                   : shown(context, QStringLiteral("invalid\t%1\t%2").arg(name, reason)))
                           << '\n';
        });
    QObject::connect(&run, &core::CheckRun::dnsUnsettled, &run, [&](const QString &text) {
        context.io.err << "wendlecott-cli check: " << core::escapeControls(text) << '\n';
        context.io.err.flush();
    });
}

// Runs `run` over the names until it stops (the end of the list, or Ctrl-C as Stop), one
// line a finished name on standard output.
RunTally runToEnd(CliContext &context, const CheckOptions &options, core::CheckRun &run,
                  const RunNames &names)
{
    RunTally tally;
    printRecords(context, options, run, tally);
    // Positions are stored at most once a second, and at once when the run stops.
    config::PositionRecorder &positions = context.state.positions();
    QObject::connect(&run, &core::CheckRun::stopped, &positions, &config::PositionRecorder::flush);
    QObject::connect(&positions, &config::PositionRecorder::writeFailed, &run, [&](const QString &why) {
        tally.positionLost = true;
        context.io.err << "wendlecott-cli check: could not store the position: " << why << '\n';
        context.io.err.flush();
    });
    QEventLoop loop;
    QObject::connect(&run, &core::CheckRun::stopped, &loop, &QEventLoop::quit);
    InterruptWatcher interrupt;
    QObject::connect(&interrupt, &InterruptWatcher::interrupted, &run, [&] {
        tally.interrupted = true;
        run.stopRun();
    });

    run.startRun(names.source, names.start, names.count);
    if (run.isRunning())
        loop.exec();
    tally.retries = run.retryCount();
    tally.settledByDns = run.settledByDnsCount();
    tally.dnsFirst = run.policy().dnsFirst.enabled;
    return tally;
}

// The summary on standard error, and the exit status: 1 when nothing could be checked
// (no TLD row serves any name), a list file could not be written or the position to resume
// from could not be stored; 130 after Ctrl-C or SIGTERM, as shells expect.
int finishCheck(CliContext &context, qint32 next, int passedOver, const RunTally &tally)
{
    config::AppState &state = context.state;
    const int *counts = tally.counts;
    context.io.err << "wendlecott-cli check: " << counts[0] << " available, " << counts[1] << " registered";
    if (tally.dnsFirst)
        context.io.err << " (" << tally.settledByDns << " settled by DNS)";
    context.io.err << ", " << counts[2] << " blocked, " << counts[3] << " timed out, " << counts[4]
                   << " unknown";
    if (counts[5] > 0)
        context.io.err << ", " << counts[5] << " unreachable";
    if (tally.invalid > 0)
        context.io.err << ", " << tally.invalid << " invalid (not looked up)";

    if (tally.retries > 0)
        context.io.err << "; " << tally.retries << " asked again after a refusal";
    if (tally.reused > 0)
        context.io.err << "; " << tally.reused << " registered from the answer store without asking";
    if (tally.interrupted)
        context.io.err << "; stopped before entry " << next << " (resume with --start " << next << ")";
    // The last answers' batch is written now, so the file is whole when the command ends.
    if (const core::Status settled = state.unanswered().flush(); !settled)
        context.io.err << "; " << core::escapeControls(settled.message());
    if (const int kept = state.unanswered().count(); kept > 0)
        context.io.err << "; " << kept << " unanswered in " << state.unanswered().path()
                       << " (check them again with --unanswered)";
    context.io.err << '\n';
    const bool anyLookup = std::any_of(counts, counts + 6, [](int n) { return n > 0; });
    if (!anyLookup && passedOver > 0)
        return fail(context, QStringLiteral("check: no TLD row serves any name of the list (%1 passed over); "
                                            "nothing was checked")
                                 .arg(passedOver));
    // A list only in memory is lost when the program ends; the message said which file.
    if (state.lists().listsUnwrittenAfterRetry())
        return fail(context, QStringLiteral("check: the lists could not all be written; the names above are "
                                            "not all in the list files"));
    // The run's finds are filed, but a resume would start in the wrong place.
    if (tally.positionLost || !state.positions().lastStatus())
        return kExitFailure;
    return tally.interrupted ? kExitInterrupted : kExitOk;
}

} // namespace

QString checkRecordLine(const core::RunRecord &record)
{
    return recordLine(record);
}

// check [FILE] [--tld EXT[,EXT...]] [--jobs N] [--start N] [--protocol P] [--rules R] [--json]
// [--unanswered] [--dns-first] [--dns-server HOST:PORT] [--dns-rate N]:
// a check run over a list file (standard input without FILE), filing verdicts into the
// program folder's lists as the main window does; names without a verdict are kept in
// Unanswered.txt. Ctrl-C stops it as the Stop button does. With several extensions or more
// than one job the run asks different servers side by side, each at its row's pace. With DNS
// first a delegated name is printed registered without a registry query.
int cmdCheck(CliContext &context, const QStringList &args)
{
    const auto parsed = parseCheckOptions(context, args);
    if (const int *status = std::get_if<int>(&parsed))
        return *status;
    const CheckOptions &options = std::get<CheckOptions>(parsed);

    if (const core::Status opened = openProgramState(context); !opened)
        return fail(context, opened.message());
    config::AppState &state = context.state;
    // A second run filing into the same lists would lose names of one of them.
    config::FolderLock lock(state.folder().root());
    if (const core::Status locked = lock.acquire(); !locked)
        return fail(context, locked.message());
    QTemporaryFile standardInput;
    int status = kExitOk;
    const std::optional<RunNames> names = runNames(context, options, standardInput, status);
    if (!names)
        return status;

    core::RunEnvironment environment = state.runEnvironment();
    environment.lookupChoices = [&state, overrides = options.overrides] {
        return applyOverrides(state.lookupChoices(), overrides);
    };
    if (options.reuseDays)
        environment.reuseRegisteredDays = [days = *options.reuseDays] { return days; };
    core::RunChoices choices;
    choices.jobs = options.jobs.value_or(state.preferences().jobs());
    choices.extensions = options.extensions;
    choices.dnsFirst = applyDnsOverrides(state.dnsFirstChoices(), options.dns);
    const std::unique_ptr<core::CheckRun> run =
        core::makeRun(environment, state.scheduler(), state.timing(), state.connections(), choices);
    const RunTally tally = runToEnd(context, options, *run, *names);
    return finishCheck(context, run->resumePosition(), run->passedOverCount(), tally);
}

} // namespace wendlecott::cli
