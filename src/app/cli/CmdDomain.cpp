#include "app/cli/Cli.h"

#include "config/SettingsKeys.h"
#include "sources/EntryDomain.h"

namespace wendlecott::cli {

// domain ENTRY... [--tld EXT]: the domain a check run looks up for each list entry, one a
// line. EXT stands for the text of the main window's extension box (no dot); without it the
// default extension applies.
int cmdDomain(CliContext &context, const QStringList &args)
{
    QString tld;
    QStringList entries;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (!optionsEnded && arg == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && arg == QLatin1String("--tld")) {
            if (i + 1 >= args.size()) {
                context.io.err << "wendlecott-cli: domain: --tld needs an extension\n";
                return kExitUsage;
            }
            tld = args.at(++i);
        } else if (!optionsEnded && arg.startsWith(QLatin1String("--tld="))) {
            tld = arg.mid(6);
        } else if (!optionsEnded && arg.startsWith(QLatin1String("--"))) {
            context.io.err << "wendlecott-cli: domain: unknown option '" << arg << "'\n";
            return kExitUsage;
        } else {
            entries.append(arg);
        }
    }
    if (entries.isEmpty()) {
        context.io.err << "wendlecott-cli: domain: give at least one entry (domain ENTRY... [--tld EXT])\n";
        return kExitUsage;
    }
    context.state.preferences().load();
    const QString defaultExtension = context.state.preferences().defaultExtension();
    int status = kExitOk;
    for (const QString &entry : entries) {
        const QString domain = sources::domainForEntry(entry, tld, defaultExtension);
        if (domain.isEmpty()) {
            context.io.err << "wendlecott-cli: domain: no name left in entry '" << entry << "'\n";
            status = kExitFailure;
        }
        // One line per entry, empty when there is no domain, so lines match entries.
        context.io.out << domain << '\n';
    }
    return status;
}

} // namespace wendlecott::cli
