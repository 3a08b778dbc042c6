#pragma once

#include "config/AppState.h"

#include <QStringList>
#include <QTextStream>

namespace wendlecott::cli {

// Exit statuses of wendlecott-cli.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
// Stopped by Ctrl-C (SIGINT) or SIGTERM: 128 + SIGINT, as shells report it.
inline constexpr int kExitInterrupted = 130;

// The most of one input (standard input, a page file) a command reads: far beyond any real
// list or page, while an endless stream (/dev/zero, `yes`) stops here.
inline constexpr qint64 kMaxInputBytes = qint64(256) << 20;
qint64 maxInputBytes();
// Test hook: while an InputLimitScope lives, maxInputBytes() gives `bytes`.
class InputLimitScope {
public:
    explicit InputLimitScope(qint64 bytes);
    ~InputLimitScope();
    InputLimitScope(const InputLimitScope &) = delete;
    InputLimitScope &operator=(const InputLimitScope &) = delete;

private:
    qint64 m_previous;
};

struct CliIo {
    QTextStream &out;
    QTextStream &err;
    QTextStream *in = nullptr; // standard input, when a command reads it
    // Standard output is a terminal: text from servers and files goes out with its control
    // characters escaped (see shown()).
    bool outIsTerminal = false;
};

// What every command gets: the program's state (folder, settings, preferences, TLD table,
// result lists; not yet opened) and its standard streams.
struct CliContext {
    config::AppState &state;
    CliIo io;
};

// Runs wendlecott-cli with `arguments` (without the program name).
int runCli(const QStringList &arguments, const QString &executableDir, CliIo io);

// The commands, one file each. `args` are the words after the command's name.
int cmdTld(CliContext &context, const QStringList &args);
int cmdJudge(CliContext &context, const QStringList &args);
int cmdDomain(CliContext &context, const QStringList &args);
int cmdLookup(CliContext &context, const QStringList &args);
int cmdCheck(CliContext &context, const QStringList &args);
int cmdGenerate(CliContext &context, const QStringList &args);
int cmdExtract(CliContext &context, const QStringList &args);
int cmdRdap(CliContext &context, const QStringList &args);
int cmdHistory(CliContext &context, const QStringList &args);
int cmdExport(CliContext &context, const QStringList &args);
int cmdWatch(CliContext &context, const QStringList &args);

// For commands not yet built: says so and fails.
int notAvailable(CliContext &context, const QString &command);

QString helpText();

} // namespace wendlecott::cli
