#include "app/cli/Cli.h"

namespace wendlecott::cli {

int cmdDomain(CliContext &context, const QStringList &args)
{
    Q_UNUSED(args);
    return notAvailable(context, QStringLiteral("domain"));
}

} // namespace wendlecott::cli
