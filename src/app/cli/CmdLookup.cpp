#include "app/cli/Cli.h"

namespace wendlecott::cli {

int cmdLookup(CliContext &context, const QStringList &args)
{
    Q_UNUSED(args);
    return notAvailable(context, QStringLiteral("lookup"));
}

} // namespace wendlecott::cli
