#include "app/cli/Cli.h"
#include "app/cli/CliCommon.h"
#include "core/TextFile.h"
#include "core/Verdict.h"

#include <QIODevice>

#include <optional>

namespace wendlecott::cli {

namespace {

int usage(CliContext &context, const QString &problem)
{
    return fail(context, problem + QStringLiteral(" (usage: judge --success-words WORDS [FILE])"),
                kExitUsage);
}

// Standard input as the server sent it: the raw bytes when the stream has a device, decoded
// like a whois answer; a stream over a string is already text.
QString readStandardInput(QTextStream &in)
{
    if (QIODevice *device = in.device())
        return core::decodeText(device->readAll());
    return in.readAll();
}

} // namespace

int cmdJudge(CliContext &context, const QStringList &args)
{
    std::optional<QString> successWords;
    QStringList files;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (arg == QLatin1String("--success-words")) {
            if (i + 1 >= args.size())
                return usage(context, QStringLiteral("--success-words needs WORDS"));
            successWords = args.at(++i);
        } else if (arg.startsWith(QLatin1String("--success-words="))) {
            successWords = arg.mid(qsizetype(sizeof("--success-words=")) - 1);
        } else if (arg.startsWith(QLatin1String("--"))) {
            return usage(context, QStringLiteral("unknown option '%1'").arg(arg));
        } else {
            files.append(arg);
        }
    }
    if (!successWords)
        return usage(context, QStringLiteral("judge needs --success-words"));
    if (files.size() > 1)
        return usage(context, QStringLiteral("judge takes at most one FILE"));

    QString response;
    if (!files.isEmpty()) {
        const core::Result<QByteArray> bytes = core::readBytes(files.first());
        if (!bytes)
            return fail(context, bytes.message());
        response = core::decodeText(bytes.value());
    } else {
        if (!context.io.in)
            return fail(context, QStringLiteral("judge has no standard input to read"));
        response = readStandardInput(*context.io.in);
    }

    const core::Judgement judgement = core::judgeResponse(response, *successWords);
    context.io.out << core::verdictName(judgement.verdict);
    if (judgement.verdict == core::LookupVerdict::Available)
        context.io.out << '\t' << judgement.matchedWord;
    context.io.out << '\n';
    return kExitOk;
}

} // namespace wendlecott::cli
