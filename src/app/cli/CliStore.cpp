#include "app/cli/CliStore.h"

#include "app/cli/CliCommon.h"

namespace wendlecott::cli {

QString storeHelpText()
{
    return QStringLiteral(
        "  history NAME [--json]         every answer stored for NAME, newest first:\n"
        "                                answered_at, verdict, protocol, server, rule, expires;\n"
        "                                --json prints one object a line with the details\n"
        "  export [--format csv|json] [--verdict available|registered|blocked|unknown]\n"
        "         [--since YYYY-MM-DD] [--output FILE]\n"
        "                                the latest stored answer of each name with its\n"
        "                                details: CSV (RFC 4180, header row, UTF-8) whose first\n"
        "                                columns are name, verdict, answered_at, expires, or a\n"
        "                                JSON array of objects with the same keys; --since keeps\n"
        "                                names answered on or after that day (UTC); FILE is\n"
        "                                replaced whole, standard output without it\n");
}

std::unique_ptr<store::AnswerStore> openStoreToRead(CliContext &context)
{
    store::StoreOpening report;
    std::unique_ptr<store::AnswerStore> answers =
        store::AnswerStore::open(context.state.folder().root(), store::StoreMode::ReadOnly, report);
    if (!answers)
        fail(context, report.problem.message());
    return answers;
}

} // namespace wendlecott::cli
