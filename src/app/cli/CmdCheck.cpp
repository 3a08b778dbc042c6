#include "app/cli/Cli.h"

namespace wendlecott::cli {

int cmdCheck(CliContext &context, const QStringList &args)
{
    Q_UNUSED(args);
    return notAvailable(context, QStringLiteral("check"));
}

} // namespace wendlecott::cli
