#include "app/cli/Cli.h"

namespace wendlecott::cli {

int cmdJudge(CliContext &context, const QStringList &args)
{
    Q_UNUSED(args);
    return notAvailable(context, QStringLiteral("judge"));
}

} // namespace wendlecott::cli
