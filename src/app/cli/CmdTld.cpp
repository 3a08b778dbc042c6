#include "app/cli/Cli.h"

namespace wendlecott::cli {

int cmdTld(CliContext &context, const QStringList &args)
{
    Q_UNUSED(args);
    return notAvailable(context, QStringLiteral("tld"));
}

} // namespace wendlecott::cli
