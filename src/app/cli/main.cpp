#include "app/cli/Cli.h"

#include <QCoreApplication>

#include <cstdio>

#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QTextStream in(stdin);
    const QStringList arguments = app.arguments().mid(1);
    return wendlecott::cli::runCli(arguments, QCoreApplication::applicationDirPath(),
                                   wendlecott::cli::CliIo{out, err, &in, ::isatty(STDOUT_FILENO) == 1});
}
