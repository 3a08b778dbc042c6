#include "app/cli/Cli.h"
#include "app/cli/CliCommon.h"
#include "core/base/ShownText.h"

#include "sources/Generator.h"

#include <QFileInfo>

namespace wendlecott::cli {

namespace {

int usage(CliContext &context, const QString &problem)
{
    context.io.err << "wendlecott-cli generate: " << core::escapeControls(problem) << "\n"
                   << "usage: wendlecott-cli generate --base WORD [--affixes FILE] [--no-prefixes]"
                      " [--no-suffixes] [--no-hyphens] [--ext .com,.net]\n";
    context.io.err.flush();
    return kExitUsage;
}

// ".com,net" gives {".com", ".net"}: a missing dot is supplied, empty items are dropped.
QStringList parseExtensions(const QString &text)
{
    QStringList extensions;
    for (const QString &part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString item = part.trimmed();
        if (item.isEmpty())
            continue;
        extensions.append(item.startsWith(QLatin1Char('.')) ? item : QLatin1Char('.') + item);
    }
    return extensions;
}

} // namespace

int cmdGenerate(CliContext &context, const QStringList &args)
{
    sources::GeneratorInput input;
    bool haveBase = false;
    QString affixPath;
    bool haveExtensions = false;

    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        const auto value = [&](QString &target) {
            if (i + 1 >= args.size())
                return false;
            target = args.at(++i);
            return true;
        };
        if (arg == QLatin1String("--base")) {
            if (!value(input.base))
                return usage(context, QStringLiteral("--base needs a word"));
            haveBase = true;
        } else if (arg == QLatin1String("--affixes")) {
            if (!value(affixPath))
                return usage(context, QStringLiteral("--affixes needs a file"));
        } else if (arg == QLatin1String("--ext")) {
            QString list;
            if (!value(list))
                return usage(context, QStringLiteral("--ext needs a list such as .com,.net"));
            input.extensions = parseExtensions(list);
            haveExtensions = true;
        } else if (arg == QLatin1String("--no-prefixes")) {
            input.prefixes = false;
        } else if (arg == QLatin1String("--no-suffixes")) {
            input.suffixes = false;
        } else if (arg == QLatin1String("--no-hyphens")) {
            input.hyphens = false;
        } else {
            return usage(context, QStringLiteral("unknown argument '%1'").arg(arg));
        }
    }
    if (!haveBase)
        return usage(context, QStringLiteral("--base is required"));

    if (affixPath.isEmpty())
        affixPath = context.state.folder().path(sources::kAppendsFile);
    auto words = sources::readAffixWords(affixPath);
    if (!words) {
        context.io.err << "wendlecott-cli generate: " << core::escapeControls(words.message()) << "\n";
        context.io.err.flush();
        return kExitFailure;
    }
    input.affixes = std::move(words).value();

    if (!haveExtensions) {
        // As at start-up: the default table is written when TLDs.txt is missing.
        if (const core::Status opened = openProgramState(context); !opened)
            return fail(context, opened.message());
        input.extensions =
            sources::readGeneratorExtensions(context.state.folder().path(sources::kGeneratorTldFile));
    }

    // Names go out as they are built, so a long list needs no more memory than a short one.
    sources::GeneratorJob job(std::move(input));
    while (!job.isFinished()) {
        job.step(50'000);
        sources::NameBuffer &names = job.names();
        for (qsizetype i = 0; i < names.size(); ++i)
            context.io.out << shown(context, names.at(i)) << '\n';
        names.clear();
        context.io.out.flush();
        if (context.io.out.status() == QTextStream::WriteFailed)
            break; // runCli says so; the rest would be lost as well
    }
    context.io.out.flush();
    return kExitOk;
}

} // namespace wendlecott::cli
