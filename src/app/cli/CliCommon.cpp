#include "app/cli/CliCommon.h"

#include "core/lists/ResultLists.h"

#include "core/base/ShownText.h"

#include <QJsonDocument>

namespace wendlecott::cli {

void CliNotice::showMessage(const QString &title, const QString &text, core::NoticeIcon)
{
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    m_err << "wendlecott-cli: "
          << core::escapeControls(title.isEmpty() ? QString() : title + QLatin1String(": "))
          << core::escapeControls(line) << '\n';
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
                       << " skipped (" << core::escapeControls(skipped.reason)
                       << "): " << core::quotedLine(skipped.text) << '\n';
    }
    if (!context.state.evidenceProblem().isEmpty())
        context.io.err << "wendlecott-cli: " << core::escapeControls(context.state.evidenceProblem()) << '\n';
    if (!context.state.bootstrapProblem().isEmpty())
        context.io.err << "wendlecott-cli: " << core::escapeControls(context.state.bootstrapProblem())
                       << '\n';
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

QString shown(const CliContext &context, const QString &text)
{
    return context.io.outIsTerminal ? core::escapeControls(text) : text;
}

int fail(CliContext &context, const QString &message, int status)
{
    context.io.err << "wendlecott-cli: " << core::escapeControls(message) << '\n';
    context.io.err.flush();
    return status;
}

bool takeLookupOverride(const QStringList &args, qsizetype &i, LookupOverrides &overrides, QString &problem)
{
    const QString &arg = args.at(i);
    const bool protocol = arg == QLatin1String("--protocol") || arg.startsWith(QLatin1String("--protocol="));
    const bool rules = arg == QLatin1String("--rules") || arg.startsWith(QLatin1String("--rules="));
    if (!protocol && !rules)
        return false;
    QString value;
    if (const qsizetype equals = arg.indexOf(QLatin1Char('=')); equals >= 0) {
        value = arg.mid(equals + 1);
    } else if (i + 1 < args.size()) {
        value = args.at(++i);
    } else {
        problem = QStringLiteral("%1 needs a value").arg(arg);
        return true;
    }
    if (protocol) {
        overrides.protocol = core::protocolFromName(value);
        if (!overrides.protocol)
            problem = QStringLiteral("--protocol takes whois, rdap or auto, not '%1'").arg(value);
    } else {
        overrides.rules = core::rulesFromName(value);
        if (!overrides.rules)
            problem = QStringLiteral("--rules takes words or evidence, not '%1'").arg(value);
    }
    return true;
}

core::LookupChoices applyOverrides(core::LookupChoices choices, const LookupOverrides &overrides)
{
    if (overrides.protocol) {
        choices.protocol = *overrides.protocol;
        choices.rules = *overrides.protocol == core::LookupProtocol::Whois ? core::VerdictRules::SuccessWords
                                                                           : core::VerdictRules::Evidence;
    }
    if (overrides.rules)
        choices.rules = *overrides.rules;
    return choices;
}

bool takeDnsOverride(const QStringList &args, qsizetype &i, DnsOverrides &overrides, QString &problem)
{
    const QString &arg = args.at(i);
    if (arg == QLatin1String("--dns-first") || arg == QLatin1String("--no-dns-first")) {
        overrides.enabled = arg == QLatin1String("--dns-first");
        return true;
    }
    const QString name = arg.section(QLatin1Char('='), 0, 0);
    if (name != QLatin1String("--dns-server") && name != QLatin1String("--dns-rate"))
        return false;
    QString value;
    if (arg.contains(QLatin1Char('='))) {
        value = arg.section(QLatin1Char('='), 1);
    } else if (i + 1 < args.size()) {
        value = args.at(++i);
    } else {
        problem = QStringLiteral("%1 needs a value").arg(name);
        return true;
    }
    if (name == QLatin1String("--dns-server")) {
        if (const core::Result<core::DnsServerAddress> server = core::parseDnsServer(value); !server)
            problem = QStringLiteral("--dns-server takes HOST:PORT, not '%1'").arg(value);
        overrides.server = value.trimmed();
        return true;
    }
    bool number = false;
    const int rate = value.toInt(&number);
    if (!number || rate < 0)
        problem =
            QStringLiteral("--dns-rate takes a number of queries a second (0: unpaced), not '%1'").arg(value);
    overrides.queriesPerSecond = rate;
    return true;
}

core::DnsFirstChoices applyDnsOverrides(core::DnsFirstChoices choices, const DnsOverrides &overrides)
{
    choices.enabled = overrides.enabled.value_or(choices.enabled);
    choices.server = overrides.server.value_or(choices.server);
    choices.queriesPerSecond = overrides.queriesPerSecond.value_or(choices.queriesPerSecond);
    return choices;
}

QString jsonLine(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

} // namespace wendlecott::cli
