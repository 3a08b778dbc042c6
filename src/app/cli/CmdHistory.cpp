#include "app/cli/Cli.h"
#include "app/cli/CliCommon.h"
#include "app/cli/CliStore.h"

#include "core/store/AnswerExport.h"

namespace wendlecott::cli {

namespace {

// One stored answer as a history line: answered_at, verdict, protocol, server, rule,
// expires (empty when not known).
QString historyLine(const store::StoredAnswer &answer)
{
    return QStringList{core::isoUtc(answer.answeredAt),
                       store::verdictKey(answer.verdict),
                       answer.protocol,
                       answer.server,
                       answer.rule,
                       core::isoUtc(answer.details.expires)}
        .join(QLatin1Char('\t'));
}

} // namespace

// history NAME [--json]: every answer stored for NAME, newest first; with --json one object
// a line (the export's keys and the answer's text).
int cmdHistory(CliContext &context, const QStringList &args)
{
    QString name;
    bool json = false;
    for (const QString &arg : args) {
        if (arg == QLatin1String("--json"))
            json = true;
        else if (arg.startsWith(QLatin1String("--")))
            return fail(context,
                        QStringLiteral("unknown option '%1' (usage: history NAME [--json])").arg(arg),
                        kExitUsage);
        else if (name.isEmpty())
            name = arg.trimmed();
        else
            return fail(context, QStringLiteral("history takes one NAME (usage: history NAME [--json])"),
                        kExitUsage);
    }
    if (name.isEmpty())
        return fail(context, QStringLiteral("history needs a NAME (usage: history NAME [--json])"),
                    kExitUsage);
    const std::unique_ptr<store::AnswerStore> answers = openStoreToRead(context);
    if (!answers)
        return kExitFailure;
    const core::Result<QList<store::StoredAnswer>> history = answers->history(name);
    if (!history)
        return fail(context, QStringLiteral("could not read %1: %2").arg(answers->path(), history.message()));
    if (history.value().isEmpty())
        return fail(context, QStringLiteral("no answer stored for %1").arg(name));
    for (const store::StoredAnswer &answer : history.value()) {
        if (json) {
            QJsonObject object = store::exportObject(answer);
            object.insert(QStringLiteral("answer"), answer.answer);
            context.io.out << jsonLine(object) << '\n';
        } else {
            context.io.out << shown(context, historyLine(answer)) << '\n';
        }
    }
    return kExitOk;
}

} // namespace wendlecott::cli
