#pragma once

#include "app/cli/Cli.h"
#include "core/base/Result.h"
#include "core/base/UserNotice.h"
#include "core/lookup/DomainLookup.h"
#include "core/run/DnsFirstStep.h"
#include "core/tld/TldTable.h"

#include <QJsonObject>

#include <optional>

namespace wendlecott::cli {

// Messages go to standard error; the blocked notice is already in the record lines.
class CliNotice final : public core::UserNotice {
public:
    explicit CliNotice(QTextStream &err) : m_err(err) {}
    void showMessage(const QString &title, const QString &text, core::NoticeIcon) override;
    bool askOkCancel(const QString &, const QString &) override { return false; }
    core::AbortRetryIgnore askAbortRetryIgnore(const QString &, const QString &) override
    {
        return core::AbortRetryIgnore::Abort;
    }
    void showBlocked(const QString &, const QString &, const QString &) override {}
    void showOverflowNotice() override;

private:
    QTextStream &m_err;
};

// Opens the program's state as the main window does at start-up: the preferences read, the
// default TLDs.txt written when it is missing, the table loaded. Rows the loader had to
// skip are named on standard error.
core::Status openProgramState(CliContext &context);

// One TLD row as `tld list` prints it: index, extension, server, port, Enabled/Disabled,
// throttle, success words, separated by tabs.
QString formatTldRow(int index, const core::TldEntry &entry);

// Output text from servers and files as it goes to standard output: control characters
// other than tab and line ends escaped when that is a terminal, as they are otherwise.
QString shown(const CliContext &context, const QString &text);

// Writes "wendlecott-cli: " + message to standard error (control characters escaped) and gives `status` back.
int fail(CliContext &context, const QString &message, int status = kExitFailure);

// --protocol whois|rdap|auto and --rules words|evidence, where a command gives them; what is
// not given follows the preferences.
struct LookupOverrides {
    std::optional<core::LookupProtocol> protocol;
    std::optional<core::VerdictRules> rules;
};
// Takes --protocol or --rules (with "VALUE" next or "=VALUE") at args[i]; false when args[i]
// is neither. `problem` says what is wrong with the value.
bool takeLookupOverride(const QStringList &args, qsizetype &i, LookupOverrides &overrides, QString &problem);
// The preferences' choices with the options put over them. A protocol given alone brings its
// rules: whois the success words, rdap and auto the evidence rules.
core::LookupChoices applyOverrides(core::LookupChoices choices, const LookupOverrides &overrides);

// --dns-first, --no-dns-first, --dns-server HOST:PORT and --dns-rate N, where a command
// gives them; what is not given follows the preferences (DnsFirst, DnsServer,
// DnsQueriesPerSecond).
struct DnsOverrides {
    std::optional<bool> enabled;
    std::optional<QString> server;
    std::optional<int> queriesPerSecond;
};
// Takes one of them (a value next or after "=") at args[i]; false when args[i] is none of
// them. `problem` says what is wrong with the value.
bool takeDnsOverride(const QStringList &args, qsizetype &i, DnsOverrides &overrides, QString &problem);
core::DnsFirstChoices applyDnsOverrides(core::DnsFirstChoices choices, const DnsOverrides &overrides);

// A JSON object as one line of text.
QString jsonLine(const QJsonObject &object);

} // namespace wendlecott::cli
