#include "app/cli/CliStore.h"

#include "app/cli/CliCommon.h"

namespace wendlecott::cli {

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
