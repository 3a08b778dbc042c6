#include "app/cli/CliCommon.h"

namespace wendlecott::cli {

void CliNotice::showMessage(const QString &title, const QString &text, core::NoticeIcon)
{
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    m_err << "wendlecott-cli: " << (title.isEmpty() ? QString() : title + QLatin1String(": ")) << line
          << '\n';
    m_err.flush();
}

void CliNotice::showOverflowNotice()
{
    m_err << "wendlecott-cli: " << core::overflowNoticeText() << '\n';
    m_err.flush();
}

core::Status openProgramState(CliContext &context)
{
    const core::Status opened = context.state.open();
    if (!opened)
        return opened;
    for (const core::SkippedRow &skipped : context.state.table().skipped) {
        context.io.err << "wendlecott-cli: " << core::kTldFileName << " line " << skipped.lineNumber
                       << " skipped (" << skipped.reason << "): " << skipped.text << '\n';
    }
    return {};
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
