#include "app/cli/Cli.h"

namespace wendlecott::cli {

int cmdGenerate(CliContext &context, const QStringList &args)
{
    Q_UNUSED(args);
    return notAvailable(context, QStringLiteral("generate"));
}

} // namespace wendlecott::cli
