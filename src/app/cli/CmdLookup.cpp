#include "app/cli/Cli.h"
#include "app/cli/CliCommon.h"

#include "config/FolderLock.h"
#include "core/base/ShownText.h"
#include "core/base/Timing.h"
#include "core/dns/DelegationQuery.h"
#include "core/lookup/DomainLookup.h"
#include "core/lookup/RegistrationDetails.h"
#include "core/run/DnsFirstStep.h"
#include "core/tld/DomainName.h"
#include "core/tld/ExtensionCheck.h"

#include <QEventLoop>

#include <optional>

namespace wendlecott::cli {

namespace {

struct LookupOptions {
    QString name;
    bool raw = false;
    bool json = false;
    LookupOverrides overrides;
    DnsOverrides dns;
};

// The options of lookup, or the exit status of a usage error (already reported).
std::optional<LookupOptions> parseLookupOptions(CliContext &context, const QStringList &args, int &status)
{
    LookupOptions options;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        QString problem;
        if (takeLookupOverride(args, i, options.overrides, problem) ||
            takeDnsOverride(args, i, options.dns, problem)) {
            if (!problem.isEmpty()) {
                status = fail(context, QStringLiteral("lookup: ") + problem, kExitUsage);
                return std::nullopt;
            }
        } else if (arg == QLatin1String("--raw")) {
            options.raw = true;
        } else if (arg == QLatin1String("--json")) {
            options.json = true;
        } else if (arg.startsWith(QLatin1String("--"))) {
            status = fail(context, QStringLiteral("lookup: unknown option '%1'").arg(arg), kExitUsage);
            return std::nullopt;
        } else if (options.name.isEmpty()) {
            options.name = arg;
        } else {
            status = fail(context, QStringLiteral("lookup: give one name"), kExitUsage);
            return std::nullopt;
        }
    }
    if (options.name.trimmed().isEmpty()) {
        status = fail(context,
                      QStringLiteral("lookup: give a name (lookup NAME [--protocol whois|rdap|auto] "
                                     "[--rules words|evidence] [--raw] [--json] [--dns-first])"),
                      kExitUsage);
        return std::nullopt;
    }
    return options;
}

// Where the lookup went, as the text line names it: server:port, or the RDAP address.
QString whereAsked(const core::LookupRoute &route)
{
    if (route.protocol == core::LookupProtocol::Rdap)
        return route.url.toString();
    return QStringLiteral("%1:%2").arg(route.entry.server).arg(route.entry.port);
}

// The delegation check of `name` as a run makes it, waited for (it ends within two tries'
// time limits once the extension's servers are known); nothing when DNS cannot be asked.
std::optional<core::DelegationEvidence> askDelegation(CliContext &context, const core::DnsFirstChoices &dns,
                                                      const QString &name)
{
    config::AppState &state = context.state;
    core::DnsTransport *transport = state.dnsTransport();
    if (!transport)
        return std::nullopt;
    core::DelegationOptions options;
    options.tryTimeoutMs = state.timing().dnsTryTimeoutMs;
    options.serverOverride = dns.server;
    options.queriesPerSecond = dns.queriesPerSecond;
    core::DelegationQuery query(*transport, state.scheduler(), &state.pacer(), options);
    QEventLoop loop;
    std::optional<core::DelegationEvidence> result;
    QObject::connect(&query, &core::DelegationQuery::finished, &loop,
                     [&](const core::DelegationEvidence &evidence) {
                         result = evidence;
                         loop.quit();
                     });
    QObject::connect(&query, &core::DelegationQuery::extensionUnsettled, &loop,
                     [&](const QString &extension, const QString &reason, const QString &detail) {
                         context.io.err << "wendlecott-cli lookup: "
                                        << core::escapeControls(
                                               core::DnsFirstStep::unsettledText(extension, reason, detail))
                                        << '\n';
                         context.io.err.flush();
                     });
    query.ask(name);
    loop.exec();
    return result;
}

void printDelegated(CliContext &context, const LookupOptions &options, const core::LookupEvidence &evidence)
{
    if (options.json) {
        context.io.out << jsonLine(core::evidenceJson(evidence, options.raw)) << '\n';
        return;
    }
    context.io.out << shown(context, core::verdictName(evidence.verdict) + QLatin1Char('\t') + evidence.name +
                                         QLatin1Char('\t') +
                                         core::DnsServerAddress{evidence.server, evidence.port}.key() +
                                         QLatin1Char('\t') + evidence.rule)
                   << '\n';
    if (options.raw)
        context.io.out << shown(context, evidence.nameServers.join(QLatin1Char('\n'))) << '\n';
}

void printEvidence(CliContext &context, const LookupOptions &options, const core::LookupRoute &route,
                   const core::LookupEvidence &evidence, const std::optional<core::DelegationEvidence> &dns)
{
    if (options.json) {
        QJsonObject object = core::evidenceJson(evidence, options.raw);
        object.insert(QStringLiteral("details"), core::detailsJson(core::detailsOf(evidence)));
        if (dns) // what DNS said before the registry was asked
            object.insert(QStringLiteral("dns"), dns->json());
        context.io.out << jsonLine(object) << '\n';
        return;
    }
    // The fourth field: the matched success word, else the rule that decided.
    const bool words = evidence.protocol == core::LookupProtocol::Whois &&
                       evidence.rules == core::VerdictRules::SuccessWords;
    context.io.out << shown(context, core::verdictName(evidence.verdict) + QLatin1Char('\t') + evidence.name +
                                         QLatin1Char('\t') + whereAsked(route) + QLatin1Char('\t') +
                                         (words ? evidence.matchedWord : evidence.rule))
                   << '\n';
    if (options.raw)
        context.io.out << shown(context, evidence.answer);
}

// Keeps the answer in the program folder's answer store, written at once: the command ends
// next. Beside a window or run that holds the folder, the store is only read.
void rememberAnswer(CliContext &context, const core::LookupEvidence &evidence)
{
    store::AnswerStore *answers = context.state.answerStore();
    if (!answers || answers->isReadOnly())
        return;
    core::Status kept = answers->record(evidence);
    if (kept)
        kept = answers->flush();
    if (!kept)
        context.io.err << "wendlecott-cli: lookup: " << kept.message() << '\n';
}

} // namespace

// lookup NAME [--protocol P] [--rules R] [--raw] [--json] [--dns-first] [--dns-server HOST:PORT]
// [--dns-rate N]: one lookup through the TLD table or the RDAP bootstrap (as the preferences
// say, unless the options do), given up after the run's watchdog time; with DNS first a
// delegated name is registered without it. Prints verdict, name, server:port (or the RDAP address), the
// matched word or the rule; with --raw the answer follows; with --json one object with the evidence.
int cmdLookup(CliContext &context, const QStringList &args)
{
    int status = kExitOk;
    std::optional<LookupOptions> options = parseLookupOptions(context, args, status);
    if (!options)
        return status;
    const core::Result<QString> asked = core::canonicalDomainName(options->name);
    if (!asked) {
        context.io.out << shown(context,
                                QStringLiteral("invalid\t%1\t%2").arg(options->name, asked.message()))
                       << '\n';
        return kExitFailure; // never asked: no answer about it could mean it is free
    }
    options->name = asked.value(); // printed as it is asked, as a run files it
    if (const core::Status opened = openProgramState(context); !opened)
        return fail(context, opened.message());
    config::AppState &state = context.state;
    config::FolderLock lock(state.folder().root());
    if (!lock.acquire())
        state.setAnswerStoreMode(store::StoreMode::ReadOnly);
    core::LookupChoices choices = applyOverrides(state.lookupChoices(), options->overrides);
    // A name something would ask, under an extension that exists nowhere: whoever answered
    // would not know it. (A name nothing serves is told so below.)
    if (const QString problem = core::extensionProblem(options->name, state.table());
        !problem.isEmpty() &&
        core::routeLookup(options->name, state.table(), state.lookupServices(), choices)) {
        context.io.out << shown(context, QStringLiteral("invalid\t%1\t%2").arg(options->name, problem))
                       << '\n';
        return kExitFailure;
    }
    std::optional<core::DelegationEvidence> dns;
    if (const core::DnsFirstChoices dnsChoices = applyDnsOverrides(state.dnsFirstChoices(), options->dns);
        dnsChoices.enabled) {
        dns = askDelegation(context, dnsChoices, options->name);
        if (dns && dns->outcome == core::DelegationOutcome::Delegated) {
            core::LookupEvidence settled = core::delegatedEvidence(*dns);
            settled.name = options->name;
            printDelegated(context, *options, settled);
            return kExitOk;
        }
    }
    const core::Timing &timing = state.timing();
    choices.timeLimitMs = timing.tickMs * timing.watchdogTicks;

    core::DomainLookup lookup(core::WhoisStyle::Retrying, state.connections()(), state.table(),
                              state.lookupServices(), state.scheduler(), timing);
    QEventLoop loop;
    std::optional<core::LookupEvidence> evidence;
    QObject::connect(&lookup, &core::DomainLookup::finished, &loop, [&](const core::LookupEvidence &result) {
        evidence = result;
        loop.quit();
    });
    if (const core::Status started = lookup.start(options->name, choices); !started) {
        QString message = started.message();
        if (!message.isEmpty())
            message[0] = message[0].toLower();
        return fail(context, message);
    }
    loop.exec();
    rememberAnswer(context, *evidence);

    if (evidence->ending == core::LookupEnding::NoConnection && !options->json)
        return fail(context, QStringLiteral("could not connect to %1 for %2: %3")
                                 .arg(whereAsked(lookup.route()), options->name, evidence->reason));
    const bool timedOut = evidence->ending == core::LookupEnding::TimedOut;
    if (!timedOut || options->json) // a time-out has no verdict line, only its evidence
        printEvidence(context, *options, lookup.route(), *evidence, dns);
    if (timedOut)
        return fail(context, QStringLiteral("no answer from %1 for %2 within %3 seconds")
                                 .arg(whereAsked(lookup.route()), options->name)
                                 .arg(choices.timeLimitMs / 1000));
    return kExitOk;
}

} // namespace wendlecott::cli
