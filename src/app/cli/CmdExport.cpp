#include "app/cli/Cli.h"
#include "app/cli/CliCommon.h"
#include "app/cli/CliStore.h"

#include "core/base/TextFile.h"
#include "core/store/AnswerExport.h"

#include <QFile>

namespace wendlecott::cli {

namespace {

struct ExportOptions {
    store::ExportFormat format = store::ExportFormat::Csv;
    store::ExportFilter filter;
    QString output;
};

const QString kExportUsage = QStringLiteral(" (usage: export [--format csv|json] "
                                            "[--verdict available|registered|blocked|unknown] "
                                            "[--since YYYY-MM-DD] [--output FILE])");

// Reads one "--option VALUE" or "--option=VALUE"; the problem with it, or an empty text.
QString takeOption(const QString &option, const QString &value, ExportOptions &options)
{
    if (option == QLatin1String("--format")) {
        const std::optional<store::ExportFormat> format = store::exportFormatFromName(value);
        if (!format)
            return QStringLiteral("--format is csv or json, not '%1'").arg(value);
        options.format = *format;
    } else if (option == QLatin1String("--verdict")) {
        options.filter.verdict = store::verdictFromKey(value);
        if (!options.filter.verdict)
            return QStringLiteral("--verdict is available, registered, blocked or unknown, not '%1'")
                .arg(value);
    } else if (option == QLatin1String("--since")) {
        const QDate date = QDate::fromString(value, QStringLiteral("yyyy-MM-dd"));
        if (!date.isValid())
            return QStringLiteral("--since needs a date YYYY-MM-DD, not '%1'").arg(value);
        options.filter.since = QDateTime(date, QTime(0, 0), Qt::UTC);
    } else if (option == QLatin1String("--output")) {
        if (value.isEmpty())
            return QStringLiteral("--output needs a FILE");
        options.output = value;
    } else {
        return QStringLiteral("unknown option '%1'").arg(option);
    }
    return {};
}

QString parseOptions(const QStringList &args, ExportOptions &options)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (!arg.startsWith(QLatin1String("--")))
            return QStringLiteral("export takes no '%1'").arg(arg);
        const qsizetype equals = arg.indexOf(QLatin1Char('='));
        QString value;
        if (equals > 0)
            value = arg.mid(equals + 1);
        else if (i + 1 < args.size())
            value = args.at(++i);
        else
            return QStringLiteral("%1 needs a value").arg(arg);
        if (const QString problem = takeOption(equals > 0 ? arg.left(equals) : arg, value, options);
            !problem.isEmpty())
            return problem;
    }
    return {};
}

} // namespace

// export [--format csv|json] [--verdict V] [--since YYYY-MM-DD] [--output FILE]: the latest
// answer of each name; the file is replaced whole or not at all.
int cmdExport(CliContext &context, const QStringList &args)
{
    ExportOptions options;
    if (const QString problem = parseOptions(args, options); !problem.isEmpty())
        return fail(context, problem + kExportUsage, kExitUsage);
    const std::unique_ptr<store::AnswerStore> answers = openStoreToRead(context);
    if (!answers)
        return kExitFailure;
    if (!options.output.isEmpty()) {
        if (const core::Status written =
                store::exportAnswersToFile(*answers, options.filter, options.format, options.output);
            !written)
            return fail(context, written.message());
        return kExitOk;
    }
    const core::Status exported =
        store::exportAnswers(*answers, options.filter, options.format, [&](QByteArrayView piece) {
            context.io.out << QString::fromUtf8(piece);
            return core::Status();
        });
    if (!exported)
        return fail(context,
                    QStringLiteral("could not read %1: %2").arg(answers->path(), exported.message()));
    return kExitOk;
}

} // namespace wendlecott::cli
