#include "app/cli/Cli.h"
#include "app/cli/CliCommon.h"

namespace wendlecott::cli {

namespace {

int usage(CliContext &context, const QString &problem)
{
    return fail(context, problem + QStringLiteral(" (usage: tld list | tld find NAME [--proxy])"),
                kExitUsage);
}

int listRows(CliContext &context, const core::TldTable &table)
{
    for (int i = 0; i < table.size(); ++i)
        context.io.out << shown(context, formatTldRow(i, table.at(i))) << '\n';
    return kExitOk;
}

} // namespace

int cmdTld(CliContext &context, const QStringList &args)
{
    if (args.isEmpty())
        return usage(context, QStringLiteral("tld needs list or find"));
    const QString &sub = args.first();
    bool proxy = false;
    QStringList names;
    if (sub == QLatin1String("list")) {
        if (args.size() > 1)
            return usage(context, QStringLiteral("tld list takes no arguments"));
    } else if (sub == QLatin1String("find")) {
        for (const QString &arg : args.mid(1)) {
            if (arg == QLatin1String("--proxy"))
                proxy = true;
            else if (arg.startsWith(QLatin1String("--")))
                return usage(context, QStringLiteral("unknown option '%1'").arg(arg));
            else
                names.append(arg);
        }
        if (names.size() != 1)
            return usage(context, names.isEmpty() ? QStringLiteral("tld find needs a NAME")
                                                  : QStringLiteral("tld find takes one NAME"));
    } else {
        return usage(context, QStringLiteral("unknown tld command '%1'").arg(sub));
    }

    if (const core::Status opened = openProgramState(context); !opened)
        return fail(context, opened.message());
    const core::TldTable &table = context.state.table();
    if (names.isEmpty())
        return listRows(context, table);
    // --proxy switches proxy mode on for this call; otherwise the stored switch applies.
    const bool useProxy = proxy || context.state.preferences().useProxy();
    const int index = core::findTLD(table, names.first(), useProxy);
    if (index < 0)
        context.io.out << "-1\n";
    else
        context.io.out << shown(context, formatTldRow(index, table.at(index))) << '\n';
    return kExitOk;
}

} // namespace wendlecott::cli
