// Names per second of `wendlecott-cli check --unanswered` over a long Unanswered.txt,
// against the fake whois server on 127.0.0.1 answering "No match" at once (every answer
// settles a name, so the file's upkeep is what is measured). The run is stopped (SIGTERM)
// after ANSWERS lines or 120 s, whichever comes first.
//
//   bench_unanswered [KEPT [ANSWERS [CLI]]]   (defaults 200000, 3000, the built wendlecott-cli)
#include "FakeWhoisServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

using namespace wendlecott;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int kept = args.size() > 1 ? args.at(1).toInt() : 200000;
    const int answers = args.size() > 2 ? args.at(2).toInt() : 3000;
    const QString program = args.size() > 3
                                ? args.at(3)
                                : QStringLiteral(WENDLECOTT_BUILD_DIR) + QStringLiteral("/wendlecott-cli");

    testing::FakeWhoisServer server;
    if (!server.start())
        return 1;
    QTemporaryDir folder;
    QFile tlds(folder.filePath(QStringLiteral("TLDs.txt")));
    tlds.open(QIODevice::WriteOnly);
    tlds.write(QStringLiteral("com|127.0.0.1|%1|Enabled|0|No match\r\n").arg(server.port()).toUtf8());
    tlds.close();
    QFile unanswered(folder.filePath(QStringLiteral("Unanswered.txt")));
    unanswered.open(QIODevice::WriteOnly);
    for (int i = 0; i < kept; ++i)
        unanswered.write(QStringLiteral("kept%1.com\r\n").arg(i, 7, 10, QLatin1Char('0')).toLatin1());
    unanswered.close();

    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), folder.filePath(QStringLiteral("config")));
    cli.setProcessEnvironment(env);
    QElapsedTimer clock;
    qint64 firstNs = -1;
    qint64 lastNs = 0;
    int lines = 0;
    QObject::connect(&cli, &QProcess::readyReadStandardOutput, &app, [&] {
        while (cli.canReadLine()) {
            cli.readLine();
            lastNs = clock.nsecsElapsed();
            if (firstNs < 0)
                firstNs = lastNs;
            if (++lines == answers)
                cli.terminate(); // SIGTERM to this child only
        }
    });
    QObject::connect(&cli, &QProcess::finished, &app, &QCoreApplication::quit);
    QObject::connect(&cli, &QProcess::errorOccurred, &app, &QCoreApplication::quit);
    QTimer::singleShot(120 * 1000, &app, [&] { cli.terminate(); });
    QTimer::singleShot(150 * 1000, &app, [&] { cli.kill(); });
    clock.start();
    cli.start(program, {QStringLiteral("--program-folder"), folder.path(), QStringLiteral("check"),
                        QStringLiteral("--unanswered")});
    app.exec();

    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const double seconds = (lastNs - firstNs) / 1e9;
    std::printf("check --unanswered over %d kept names: %d answers in %.1f s after the first, "
                "%.0f names/s, start to first answer %.2f s, peak memory %.1f MB, exit %d\n",
                kept, lines, seconds, lines > 1 && seconds > 0 ? (lines - 1) / seconds : 0.0, firstNs / 1e9,
                usage.ru_maxrss / 1024.0, cli.exitCode());
    return 0;
}
