// Peak memory of `wendlecott-cli check` over the first 20,000 entries of the four-letter
// word list, against the fake whois server on 127.0.0.1 with no pause between names.
//
//   bench_cli_check [ENTRIES]      (default 20000)
#include "FakeWhoisServer.h"

#include <QCoreApplication>
#include <QDir>
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
    const int entries = app.arguments().size() > 1 ? app.arguments().at(1).toInt() : 20000;
    const QString build = QStringLiteral(WENDLECOTT_BUILD_DIR);

    testing::FakeWhoisServer server;
    if (!server.start())
        return 1;
    server.setDefault(
        {testing::FakeWhoisServer::Mode::AnswerAndClose, QByteArrayLiteral("No match for domain.\r\n")});

    QTemporaryDir folder;
    QFile tlds(folder.filePath(QStringLiteral("TLDs.txt")));
    tlds.open(QIODevice::WriteOnly);
    tlds.write(QStringLiteral("com|127.0.0.1|%1|Enabled|0|No match\r\n").arg(server.port()).toUtf8());
    tlds.close();

    QFile words(build + QStringLiteral("/wordlists/AllFourLetter.txt"));
    if (!words.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "build the word lists first\n");
        return 1;
    }
    QFile list(folder.filePath(QStringLiteral("list.txt")));
    list.open(QIODevice::WriteOnly);
    for (int i = 0; i < entries && !words.atEnd(); ++i)
        list.write(words.readLine());
    list.close();

    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), folder.filePath(QStringLiteral("config")));
    cli.setProcessEnvironment(env);
    cli.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    cli.start(build + QStringLiteral("/wendlecott-cli"),
              {QStringLiteral("--program-folder"), folder.path(), QStringLiteral("check"), list.fileName()});
    // The server answers on this thread's event loop while the command runs; bounded in time.
    QObject::connect(&cli, &QProcess::finished, &app, &QCoreApplication::quit);
    QObject::connect(&cli, &QProcess::errorOccurred, &app, &QCoreApplication::quit);
    QTimer::singleShot(30 * 60 * 1000, &app, [&] { cli.kill(); });
    app.exec();

    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    std::printf("wendlecott-cli check over %d entries: %d requests answered in %.1f s, exit %d, "
                "peak memory %.1f MB\n",
                entries, int(server.requests().size()), clock.nsecsElapsed() / 1e9, cli.exitCode(),
                usage.ru_maxrss / 1024.0);
    std::printf("%s", cli.readAllStandardError().constData());
    return 0;
}
