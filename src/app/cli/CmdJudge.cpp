#include "app/cli/Cli.h"
#include "app/cli/CliCommon.h"
#include "core/base/ShownText.h"
#include "core/base/TextFile.h"
#include "core/lookup/EvidenceJudge.h"
#include "core/lookup/RegistrationDetails.h"
#include "core/lookup/Verdict.h"

#include <QFileInfo>
#include <QIODevice>

#include <optional>

namespace wendlecott::cli {

namespace {

// The largest answer judge reads; a whois lookup keeps at most 1 MiB.
constexpr qint64 kMaxAnswerBytes = qint64(16) << 20;

struct JudgeOptions {
    std::optional<QString> successWords;
    bool evidence = false;
    bool json = false;
    std::optional<QString> tld;
    std::optional<QString> name;
    QStringList files;
};

int usage(CliContext &context, const QString &problem)
{
    return fail(context,
                problem + QStringLiteral(" (usage: judge --success-words WORDS [FILE], or "
                                         "judge --evidence --tld EXT [--name NAME] [FILE] [--json])"),
                kExitUsage);
}

// Reads "--option VALUE" or "--option=VALUE" at args[i]; false when args[i] is not the option.
bool takeValue(const QStringList &args, qsizetype &i, const QString &option, std::optional<QString> &value,
               bool &missing)
{
    const QString &arg = args.at(i);
    if (arg == option) {
        missing = i + 1 >= args.size();
        if (!missing)
            value = args.at(++i);
        return true;
    }
    if (arg.startsWith(option + QLatin1Char('='))) {
        value = arg.mid(option.size() + 1);
        return true;
    }
    return false;
}

// Why the arguments make no judge command, or an empty text.
QString parseOptions(const QStringList &args, JudgeOptions &options)
{
    const QString words = QStringLiteral("--success-words");
    const QString tld = QStringLiteral("--tld");
    const QString name = QStringLiteral("--name");
    for (qsizetype i = 0; i < args.size(); ++i) {
        bool missing = false;
        if (takeValue(args, i, words, options.successWords, missing) ||
            takeValue(args, i, tld, options.tld, missing) ||
            takeValue(args, i, name, options.name, missing)) {
            if (missing)
                return QStringLiteral("%1 needs a value").arg(args.at(i));
        } else if (args.at(i) == QLatin1String("--evidence")) {
            options.evidence = true;
        } else if (args.at(i) == QLatin1String("--json")) {
            options.json = true;
        } else if (args.at(i).startsWith(QLatin1String("--"))) {
            return QStringLiteral("unknown option '%1'").arg(args.at(i));
        } else {
            options.files.append(args.at(i));
        }
    }
    if (options.evidence && options.successWords)
        return QStringLiteral("judge takes --success-words or --evidence, not both");
    if (!options.evidence && !options.successWords)
        return QStringLiteral("judge needs --success-words or --evidence");
    if (options.evidence && (!options.tld || core::normalizedTld(*options.tld).isEmpty()))
        return QStringLiteral("judge --evidence needs --tld EXT");
    if (options.name && options.name->trimmed().isEmpty())
        return QStringLiteral("--name needs NAME");
    if (!options.evidence && (options.tld || options.name))
        return QStringLiteral("--tld and --name go with --evidence");
    if (options.json && !options.evidence)
        return QStringLiteral("--json goes with --evidence");
    if (options.files.size() > 1)
        return QStringLiteral("judge takes at most one FILE");
    return {};
}

// The answer from FILE or standard input, as the server sent it: raw bytes decoded like a
// whois answer (a stream over a string is already text). Larger answers are refused.
std::optional<QString> readAnswer(CliContext &context, const QStringList &files)
{
    const QString tooLarge =
        QStringLiteral("the answer in %1 is larger than 16 MiB (%2 bytes); judge reads no more");
    if (!files.isEmpty()) {
        const core::Result<QByteArray> bytes = core::readBytes(files.first(), kMaxAnswerBytes);
        if (!bytes) {
            fail(context, bytes.code() == core::ErrorCode::InvalidInput && QFileInfo(files.first()).isFile()
                              ? tooLarge.arg(files.first()).arg(kMaxAnswerBytes)
                              : bytes.message());
            return std::nullopt;
        }
        return core::decodeText(bytes.value());
    }
    if (!context.io.in) {
        fail(context, QStringLiteral("judge has no standard input to read"));
        return std::nullopt;
    }
    const QString where = QStringLiteral("standard input");
    if (QIODevice *device = context.io.in->device()) {
        const core::Result<QByteArray> bytes = core::readAtMost(*device, kMaxAnswerBytes);
        if (!bytes) {
            fail(context, tooLarge.arg(where).arg(kMaxAnswerBytes));
            return std::nullopt;
        }
        return core::decodeText(bytes.value());
    }
    QString text = context.io.in->read(kMaxAnswerBytes + 1);
    if (text.size() > kMaxAnswerBytes) {
        fail(context, tooLarge.arg(where).arg(kMaxAnswerBytes));
        return std::nullopt;
    }
    return text;
}

int judgeByEvidence(CliContext &context, const JudgeOptions &options, const QString &answer)
{
    QList<core::EvidenceProblem> problems;
    const core::EvidenceJudge judge(
        core::EvidenceTable::forProgramFolder(context.state.folder().root(), &problems));
    // A broken line of the user's table is named and skipped; the rest still judges.
    for (const core::EvidenceProblem &problem : problems)
        context.io.err << "wendlecott-cli: " << core::escapeControls(problem.describe()) << '\n';
    const core::Judgement judgement = judge.judge(answer, *options.tld, options.name.value_or(QString()));
    if (options.json) {
        // The details are those of a registration the answer shows, as a lookup reads them.
        const core::RegistrationDetails details = judgement.verdict == core::LookupVerdict::Registered
                                                      ? core::whoisDetails(answer, *options.tld)
                                                      : core::RegistrationDetails();
        const QJsonObject object{{QStringLiteral("verdict"), core::verdictName(judgement.verdict)},
                                 {QStringLiteral("rule"), judgement.rule},
                                 {QStringLiteral("evidence"), judgement.evidence},
                                 {QStringLiteral("details"), core::detailsJson(details)}};
        context.io.out << jsonLine(object) << '\n';
        return kExitOk;
    }
    context.io.out << shown(context,
                            core::verdictName(judgement.verdict) + QLatin1Char('\t') + judgement.rule)
                   << '\n';
    return kExitOk;
}

} // namespace

int cmdJudge(CliContext &context, const QStringList &args)
{
    JudgeOptions options;
    if (const QString problem = parseOptions(args, options); !problem.isEmpty())
        return usage(context, problem);
    const std::optional<QString> answer = readAnswer(context, options.files);
    if (!answer)
        return kExitFailure;
    if (options.evidence)
        return judgeByEvidence(context, options, *answer);

    const core::Judgement judgement = core::judgeResponse(*answer, *options.successWords);
    context.io.out << core::verdictName(judgement.verdict);
    if (judgement.verdict == core::LookupVerdict::Available)
        context.io.out << '\t' << judgement.matchedWord;
    context.io.out << '\n';
    return kExitOk;
}

} // namespace wendlecott::cli
