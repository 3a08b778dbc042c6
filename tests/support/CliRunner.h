#pragma once

#include "TestFolder.h"
#include "app/cli/Cli.h"

#include <QBuffer>
#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <QTextStream>

namespace wendlecott::testing {

// What one in-process run of wendlecott-cli gave: its exit status and both outputs.
struct CliRun {
    int status = -1;
    QString out;
    QString err;
    QStringList lines() const { return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
};

// Runs wendlecott-cli in this process on the test's program folder (given as
// --program-folder), with `in` as standard input.
inline CliRun runCli(const TestFolder &folder, const QStringList &args, QTextStream *in)
{
    CliRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    QString noInput;
    QTextStream emptyIn(&noInput);
    run.status = cli::runCli(QStringList{QStringLiteral("--program-folder"), folder.path()} + args,
                             folder.path(), cli::CliIo{out, err, in ? in : &emptyIn});
    out.flush();
    err.flush();
    return run;
}

// The same with standard input read from a device (a file, /dev/zero, a FIFO).
inline CliRun runCli(const TestFolder &folder, const QStringList &args, QIODevice *input)
{
    QTextStream in(input);
    return runCli(folder, args, &in);
}

// The same with standard input as bytes, as the real program reads them; none by default.
inline CliRun runCli(const TestFolder &folder, const QStringList &args, const QByteArray &input = {})
{
    QByteArray bytes = input;
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    return runCli(folder, args, static_cast<QIODevice *>(&device));
}

} // namespace wendlecott::testing
