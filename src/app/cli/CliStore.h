#pragma once

#include "app/cli/Cli.h"
#include "core/run/RunFiler.h"
#include "core/store/AnswerStore.h"

#include <memory>

namespace wendlecott::cli {

// The lines of --help for the commands on the answer store.
QString storeHelpText();

// The program folder's answer store, opened to read: history and export change nothing, so
// they may run beside a window or a check. Null after saying why on standard error.
std::unique_ptr<store::AnswerStore> openStoreToRead(CliContext &context);

// A finished name as check prints it (available NAME class, registered NAME, ...).
QString checkRecordLine(const core::RunRecord &record);

} // namespace wendlecott::cli
