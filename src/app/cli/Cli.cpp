#include "app/cli/Cli.h"

#include "app/cli/CliCommon.h"
#include "app/cli/CliStore.h"
#include "platform/QtPorts.h"

#include <QIODevice>

#include <map>

namespace wendlecott::cli {

namespace {

QString dnsFirstHelpText()
{
    return QStringLiteral(
        "\n"
        "Asking DNS first (check and lookup):\n"
        "  --dns-first                   a name delegated in its extension's zone is registered\n"
        "                                without a registry query (evidence: protocol dns, the\n"
        "                                server, the name servers, the time); every other name\n"
        "                                is asked as before. Without it the setting DnsFirst\n"
        "                                decides (off by default); --no-dns-first turns it off.\n"
        "                                check's summary counts the names settled by DNS\n"
        "  --dns-server HOST:PORT        every delegation query to that server (DnsServer;\n"
        "                                default: each extension's own name servers)\n"
        "  --dns-rate N                  queries a second per name server (DnsQueriesPerSecond,\n"
        "                                200; 0: unpaced)\n");
}

} // namespace

QString helpText()
{
    const QString commands = QStringLiteral(
        "Usage: wendlecott-cli [--program-folder DIR] COMMAND ...\n"
        "\n"
        "Finds unregistered domain names with the same logic, program folder and settings as\n"
        "the desktop program. Output is one record a line, fields separated by a tab.\n"
        "Exit status: 0 success, 1 failure, 2 usage error, 130 stopped by Ctrl-C.\n"
        "\n"
        "Commands:\n"
        "  tld list                      the TLD table in table order: index, extension, server,\n"
        "                                port, Enabled/Disabled, throttle, success words\n"
        "  tld find NAME [--proxy]       the row that serves NAME (as in tld list), or -1;\n"
        "                                --proxy turns proxy mode on for this call\n"
        "  judge --success-words WORDS [FILE]\n"
        "                                judges a whois answer (FILE or standard input):\n"
        "                                Available TAB word, Registered or Blocked\n"
        "  judge --evidence --tld EXT [--name NAME] [FILE] [--json]\n"
        "                                judges a whois answer of extension EXT by what it\n"
        "                                shows: Available, Registered, Blocked or Unknown, TAB\n"
        "                                the rule that decided; with NAME, registration data\n"
        "                                must be about NAME. The rules are built in; the\n"
        "                                program folder's whois-evidence.tsv adds to them.\n"
        "                                Answers over 16 MiB are refused. --json prints one\n"
        "                                object: verdict, rule, evidence and details (created,\n"
        "                                expires, updated, registrar, statuses, nameservers;\n"
        "                                each absent when the answer does not hold it)\n"
        "  domain ENTRY... [--tld EXT]   the domain a check run looks up for each list entry\n"
        "  lookup NAME [--protocol whois|rdap|auto] [--rules words|evidence] [--raw] [--json]\n"
        "       [--dns-first] [--dns-server HOST:PORT] [--dns-rate N]\n"
        "                                one lookup: verdict, name, server:port (or the RDAP\n"
        "                                address), matched word (or the rule that decided);\n"
        "                                --raw adds the answer; --json prints one JSON object\n"
        "                                with the evidence (answer included with --raw) and\n"
        "                                the registration details of a registered name\n"
        "  check [FILE] [--tld EXT[,EXT...]] [--jobs N] [--start N] [--reuse-registered-days N]\n"
        "        [--protocol whois|rdap|auto] [--rules words|evidence] [--json] [--unanswered]\n"
        "        [--dns-first] [--dns-server HOST:PORT] [--dns-rate N]\n"
        "                                a check run over a list file (standard input without\n"
        "                                FILE), filing verdicts into the program folder's lists:\n"
        "                                available NAME class, registered NAME, blocked NAME\n"
        "                                server, timeout NAME server, unknown NAME server,\n"
        "                                unreachable NAME server reason (refused, no such\n"
        "                                host), invalid NAME reason (never looked up);\n"
        "                                --json prints one JSON object a line. Names without a\n"
        "                                verdict are kept in Unanswered.txt; --unanswered checks\n"
        "                                them again. --tld com,net,org: each name without its\n"
        "                                own extension in every one (table order); --jobs N:\n"
        "                                up to N lookups in flight, each server at its pace\n"
        "                                --protocol: whois (every name over whois, success\n"
        "                                words), rdap (RDAP only), auto (RDAP where the bootstrap\n"
        "                                has the extension, else whois); rdap and auto judge\n"
        "                                whois answers by the evidence rules, --rules chooses\n"
        "                                otherwise. Without them the Setup window's \"Use RDAP\n"
        "                                where the registry offers it\" decides (off: whois).\n"
        "                                --reuse-registered-days N: a name answered Registered\n"
        "                                within N days whose expiry is more than 45 days away\n"
        "                                is filed from the answer store without asking (\"reused\"\n"
        "                                in --json); 0 asks every name (default: the setting\n"
        "                                ReuseRegisteredDays)\n"
        "  rdap update [URL]             fetches the RDAP bootstrap file (default IANA's) and,\n"
        "                                when it is one, puts it into the program folder\n"
        "  rdap info                     the bootstrap file in use: source, publication date\n"
        "  rdap base NAME                the extension and RDAP address that serve NAME\n"
        "  generate --base WORD [--affixes FILE] [--no-prefixes] [--no-suffixes]\n"
        "           [--no-hyphens] [--ext .com,.net]\n"
        "                                the name generator's names in generation order\n"
        "  extract (--search | --page) [--frames] [FILE...]\n"
        "                                names found in page text (FILE or standard input), one\n"
        "                                a line: by the list builder's rules (--search, bytes as\n"
        "                                characters) or the browse window's (--page, UTF-8 text);\n"
        "                                the files are the pages of one run; --frames adds\n"
        "                                frame TAB address for each frame followed\n");
    return commands + storeHelpText() + dnsFirstHelpText() +
           QStringLiteral(
               "\n"
               "Options:\n"
               "  --program-folder DIR          use DIR as the program folder (also the environment\n"
               "                                variable WENDLECOTT_PROGRAM_FOLDER)\n"
               "  --help                        this text\n");
}

namespace {
qint64 g_maxInputBytes = kMaxInputBytes;
} // namespace

qint64 maxInputBytes()
{
    return g_maxInputBytes;
}

InputLimitScope::InputLimitScope(qint64 bytes) : m_previous(g_maxInputBytes)
{
    g_maxInputBytes = bytes;
}

InputLimitScope::~InputLimitScope()
{
    g_maxInputBytes = m_previous;
}

int notAvailable(CliContext &context, const QString &command)
{
    context.io.err << "wendlecott-cli: " << command << " is not available in this version\n";
    context.io.err.flush();
    return kExitFailure;
}

namespace {

// Flushes standard output; false, after saying so, when it could not all be written (a full
// disk, a closed pipe): a command whose output is lost has not done its job.
bool outputWritten(CliIo &io)
{
    io.out.flush();
    const QIODevice *device = io.out.device();
    const bool failed = io.out.status() == QTextStream::WriteFailed;
    if (failed) {
        io.err << "wendlecott-cli: could not write the output"
               << (device && !device->errorString().isEmpty() ? QStringLiteral(": ") + device->errorString()
                                                              : QString())
               << '\n';
    }
    io.err.flush();
    return !failed;
}

} // namespace

int runCli(const QStringList &arguments, const QString &executableDir, CliIo io)
{
    using Command = int (*)(CliContext &, const QStringList &);
    static const std::map<QString, Command> commands = {
        {QStringLiteral("tld"), &cmdTld},         {QStringLiteral("judge"), &cmdJudge},
        {QStringLiteral("domain"), &cmdDomain},   {QStringLiteral("lookup"), &cmdLookup},
        {QStringLiteral("check"), &cmdCheck},     {QStringLiteral("generate"), &cmdGenerate},
        {QStringLiteral("extract"), &cmdExtract}, {QStringLiteral("rdap"), &cmdRdap},
        {QStringLiteral("history"), &cmdHistory}, {QStringLiteral("export"), &cmdExport},
        {QStringLiteral("watch"), &cmdWatch},
    };

    QString folderOverride;
    QStringList rest;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (rest.isEmpty() && (arg == QLatin1String("--help") || arg == QLatin1String("-h"))) {
            io.out << helpText();
            return outputWritten(io) ? kExitOk : kExitFailure;
        }
        if (rest.isEmpty() && arg == QLatin1String("--program-folder")) {
            if (i + 1 >= arguments.size()) {
                io.err << "wendlecott-cli: --program-folder needs a folder\n";
                io.err.flush();
                return kExitUsage;
            }
            folderOverride = arguments.at(++i);
            continue;
        }
        if (rest.isEmpty() && arg.startsWith(QLatin1String("--program-folder="))) {
            folderOverride = arg.mid(int(sizeof("--program-folder=")) - 1);
            continue;
        }
        rest.append(arg);
    }
    if (rest.isEmpty()) {
        io.err << helpText();
        io.err.flush();
        return kExitUsage;
    }
    const auto found = commands.find(rest.first());
    if (found == commands.end()) {
        io.err << "wendlecott-cli: unknown command '" << rest.first() << "' (see --help)\n";
        io.err.flush();
        return kExitUsage;
    }
    config::AppPorts ports;
    ports.notice = std::make_unique<CliNotice>(io.err);
    platform::addQtAdapters(ports);
    config::AppState state(config::ProgramFolder::locate(folderOverride, executableDir), std::move(ports));
    CliContext context{state, io};
    const int status = found->second(context, rest.mid(1));
    return outputWritten(io) ? status : kExitFailure;
}

} // namespace wendlecott::cli
