#include "app/cli/Cli.h"

namespace wendlecott::cli {

int cmdExtract(CliContext &context, const QStringList &args)
{
    Q_UNUSED(args);
    return notAvailable(context, QStringLiteral("extract"));
}

} // namespace wendlecott::cli
