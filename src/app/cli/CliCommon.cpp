#include "app/cli/CliCommon.h"

namespace wendlecott::cli {

QString tldFilePath(const CliContext &context)
{
    return context.folder.path(QLatin1Char('\\') + core::kTldFileName);
}

core::Result<core::TldTable> loadProgramTldTable(CliContext &context)
{
    const QString path = tldFilePath(context);
    if (const core::Status written = core::writeDefaultTLDs(path, false); !written)
        return written.error();
    core::TldTable table;
    if (const core::Status loaded = core::loadTLDTable(table, path); !loaded)
        return loaded.error();
    for (const core::SkippedRow &skipped : table.skipped) {
        context.io.err << "wendlecott-cli: " << core::kTldFileName << " line " << skipped.lineNumber
                       << " skipped (" << skipped.reason << "): " << skipped.text << '\n';
    }
    return table;
}

bool storedProxySwitch(CliContext &context)
{
    // The settings store is not wired into the command line yet; until it is, proxy mode
    // is on only when a command is asked for it.
    Q_UNUSED(context);
    return false;
}

QString formatTldRow(int index, const core::TldEntry &entry)
{
    const QChar tab(QLatin1Char('\t'));
    return QString::number(index) + tab + entry.extension + tab + entry.server + tab +
           QString::number(entry.port) + tab +
           (entry.enabled ? core::kEnabledStatus : core::kDisabledStatus) + tab +
           QString::number(entry.throttle) + tab + entry.successWords;
}

int fail(CliContext &context, const QString &message, int status)
{
    context.io.err << "wendlecott-cli: " << message << '\n';
    context.io.err.flush();
    return status;
}

} // namespace wendlecott::cli
