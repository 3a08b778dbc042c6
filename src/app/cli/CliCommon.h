#pragma once

#include "app/cli/Cli.h"
#include "core/Result.h"
#include "core/TldTable.h"

namespace wendlecott::cli {

// TLDs.txt in the program folder.
QString tldFilePath(const CliContext &context);

// As the main window does at start-up: writes the default TLDs.txt when it is missing,
// then loads the table. Rows the loader had to skip are named on standard error.
core::Result<core::TldTable> loadProgramTldTable(CliContext &context);

// The proxy switch as stored by the Setup window ("chkProxy").
bool storedProxySwitch(CliContext &context);

// One TLD row as `tld list` prints it: index, extension, server, port, Enabled/Disabled,
// throttle, success words, separated by tabs.
QString formatTldRow(int index, const core::TldEntry &entry);

// Writes "wendlecott-cli: " + message to standard error and gives `status` back.
int fail(CliContext &context, const QString &message, int status = kExitFailure);

} // namespace wendlecott::cli
