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
        "                                replaced whole, standard output without it\n"
        "  watch add NAME... | watch remove NAME...\n"
        "                                adds names to the watch list, or takes them off\n"
        "  watch list [--json]           the watched names: name, verdict, expires, days left,\n"
        "                                statuses, last checked, last change (of verdict, expiry\n"
        "                                or statuses); --json prints one object a line\n"
        "  watch check                   asks every watched name now, each server at its pace:\n"
        "                                one line a name as check prints it, and\n"
        "                                became-available NAME for a name that was registered\n"
        "                                at its last answer and is available now\n");
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
