#include "CliRunner.h"
#include "FakeWhoisServer.h"
#include "TestFolder.h"
#include "app/cli/Cli.h"

#include <QTcpServer>
#include <QtTest>

#include <sys/stat.h>

using namespace wendlecott;

namespace {

using Run = testing::CliRun;

bool makeFifo(const QString &path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

const QString kZero = QStringLiteral("/dev/zero");

} // namespace

// Hostile input: endless devices, FIFOs and oversized files get a message and exit 1, never
// an abort, a hang or memory that grows with the input.
class TestCliBadInput : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void endlessDevicesAreRefused()
    {
        if (!QFileInfo::exists(kZero))
            QSKIP("no /dev/zero");
        testing::TestFolder folder;
        QFile zero(kZero);
        QVERIFY(zero.open(QIODevice::ReadOnly));
        Run run = runCli(folder, {QStringLiteral("check")}, &zero);
        QCOMPARE(run.status, cli::kExitFailure);
        QVERIFY2(run.err.contains(QStringLiteral("standard input holds a line longer than 1 MiB")),
                 qPrintable(run.err));

        QFile zeroAgain(kZero);
        QVERIFY(zeroAgain.open(QIODevice::ReadOnly));
        run =
            runCli(folder, {QStringLiteral("judge"), QStringLiteral("--success-words"), QStringLiteral("x")},
                   &zeroAgain);
        QCOMPARE(run.status, cli::kExitFailure);
        QVERIFY2(run.err.contains(QStringLiteral("larger than 16 MiB")), qPrintable(run.err));

        for (const QStringList &args :
             {QStringList{QStringLiteral("judge"), QStringLiteral("--success-words"), QStringLiteral("x"),
                          kZero},
              QStringList{QStringLiteral("generate"), QStringLiteral("--base"), QStringLiteral("w"),
                          QStringLiteral("--affixes"), kZero},
              QStringList{QStringLiteral("check"), kZero}}) {
            run = runCli(folder, args);
            QCOMPARE(run.status, cli::kExitFailure);
            QVERIFY2(run.err.contains(QStringLiteral("/dev/zero is not a regular file")),
                     qPrintable(run.err));
        }
    }

    void tableBehindALinkOrFifoIsRefusedAndKept()
    {
        testing::TestFolder folder;
        const QString table = folder.file(QStringLiteral("TLDs.txt"));
        QVERIFY(makeFifo(table));
        Run run = runCli(folder, {QStringLiteral("tld"), QStringLiteral("list")});
        QCOMPARE(run.status, cli::kExitFailure);
        QVERIFY2(run.err.contains(QStringLiteral("TLDs.txt is not a regular file")), qPrintable(run.err));
        QVERIFY(!QFileInfo(table).isFile()); // not replaced by the default table

        if (!QFileInfo::exists(kZero))
            QSKIP("no /dev/zero");
        QVERIFY(QFile::remove(table));
        QVERIFY(QFile::link(kZero, table));
        run = runCli(folder, {QStringLiteral("tld"), QStringLiteral("find"), QStringLiteral("a.com")});
        QCOMPARE(run.status, cli::kExitFailure);
        QVERIFY2(run.err.contains(QStringLiteral("is not a regular file")), qPrintable(run.err));
        QVERIFY(QFileInfo(table).isSymLink());
    }

    void filesOverTheLimitsAreRefused()
    {
        testing::TestFolder folder;
        // A table just over 16 MiB: refused, and left as it was.
        QByteArray table = QByteArray("com|127.0.0.1|43|Enabled|0|No match\r\n");
        table += QByteArray((qsizetype(16) << 20) - table.size() + 1, '#');
        folder.write(QStringLiteral("TLDs.txt"), table);
        Run run = runCli(folder, {QStringLiteral("tld"), QStringLiteral("list")});
        QCOMPARE(run.status, cli::kExitFailure);
        QVERIFY2(run.err.contains(QStringLiteral("larger than 16 MiB")), qPrintable(run.err));
        QCOMPARE(folder.read(QStringLiteral("TLDs.txt")).size(), table.size());

        folder.write(QStringLiteral("TLDs.txt"), "com|127.0.0.1|43|Enabled|0|No match\r\n");
        folder.write(QStringLiteral("affixes.txt"), QByteArray((qsizetype(16) << 20) + 1, 'a'));
        run = runCli(folder, {QStringLiteral("generate"), QStringLiteral("--base"), QStringLiteral("w"),
                              QStringLiteral("--affixes"), folder.file(QStringLiteral("affixes.txt"))});
        QCOMPARE(run.status, cli::kExitFailure);
        QVERIFY2(run.err.contains(QStringLiteral("larger than 16 MiB")), qPrintable(run.err));

        // One entry of a list over 1 MiB: the list is refused before any lookup.
        folder.write(QStringLiteral("list.txt"),
                     "short\r\n" + QByteArray((qsizetype(1) << 20) + 1, 'b') + "\r\n");
        run = runCli(folder, {QStringLiteral("check"), folder.file(QStringLiteral("list.txt"))});
        QCOMPARE(run.status, cli::kExitFailure);
        QVERIFY2(run.err.contains(QStringLiteral("Entry 2 of")) && run.err.contains(QStringLiteral("1 MiB")),
                 qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
    }

    // Output that cannot be written fails the command, in this process and as a program.
    void outputThatCannotBeWrittenFails()
    {
        const QString full = QStringLiteral("/dev/full");
        if (!QFileInfo::exists(full))
            QSKIP("no /dev/full");
        testing::TestFolder folder;
        folder.write(QStringLiteral("Appends.txt"), "shop\r\nhub\r\n");
        for (const QStringList &args :
             {QStringList{QStringLiteral("--help")},
              QStringList{QStringLiteral("tld"), QStringLiteral("list")},
              QStringList{QStringLiteral("domain"), QStringLiteral("shop")},
              QStringList{QStringLiteral("generate"), QStringLiteral("--base"), QStringLiteral("w"),
                          QStringLiteral("--ext"), QStringLiteral(".com")}}) {
            QFile device(full);
            QVERIFY(device.open(QIODevice::WriteOnly));
            QString err;
            QTextStream out(&device);
            QTextStream errStream(&err);
            const int status =
                cli::runCli(QStringList{QStringLiteral("--program-folder"), folder.path()} + args,
                            folder.path(), cli::CliIo{out, errStream, nullptr});
            errStream.flush();
            QCOMPARE(status, cli::kExitFailure);
            QVERIFY2(err.contains(QStringLiteral("could not write the output")), qPrintable(args.join(u' ')));
        }

        testing::FakeWhoisServer server;
        QVERIFY(server.start());
        server.answer(QStringLiteral("abcd.com"), "No match for abcd.com\r\n");
        folder.write(QStringLiteral("TLDs.txt"),
                     QStringLiteral("com|127.0.0.1|%1|Enabled|0|No match\r\n").arg(server.port()).toUtf8());
        folder.write(QStringLiteral("ok.txt"), "abcd\r\n");
        QProcess cli;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folder.file(QStringLiteral(".config")));
        cli.setProcessEnvironment(environment);
        cli.setStandardOutputFile(full);
        cli.start(QStringLiteral(WENDLECOTT_BUILD_DIR "/wendlecott-cli"),
                  {QStringLiteral("--program-folder"), folder.path(), QStringLiteral("check"),
                   folder.file(QStringLiteral("ok.txt"))});
        QVERIFY(cli.waitForStarted(10000));
        // The fake server answers from this event loop, so the wait must keep it turning.
        QTRY_VERIFY_WITH_TIMEOUT(cli.state() == QProcess::NotRunning, 60000);
        QCOMPARE(cli.exitCode(), cli::kExitFailure);
        QVERIFY(cli.readAllStandardError().contains("could not write the output"));
    }

    // Server text and file bytes reach a terminal escaped, and messages always: no escape
    // sequence clears the screen, no line of a broken table floods it.
    void serverAndFileTextIsEscaped()
    {
        testing::TestFolder folder;
        testing::FakeWhoisServer server;
        QVERIFY(server.start());
        server.answer(QStringLiteral("taken.com"), "Domain Name: TAKEN.COM\x1b[2J\x07\r\n");
        const QByteArray junk = "bad\x1b]0;owned\x07" + QByteArray(500, 'z');
        folder.write(QStringLiteral("TLDs.txt"),
                     QStringLiteral("com|127.0.0.1|%1|Enabled|0|No match\r\n").arg(server.port()).toUtf8() +
                         junk + "\r\n");
        const QStringList args{QStringLiteral("--program-folder"), folder.path(), QStringLiteral("lookup"),
                               QStringLiteral("taken.com"), QStringLiteral("--raw")};
        for (const bool terminal : {true, false}) {
            QString out;
            QString err;
            QTextStream outStream(&out);
            QTextStream errStream(&err);
            QCOMPARE(cli::runCli(args, folder.path(), cli::CliIo{outStream, errStream, nullptr, terminal}),
                     cli::kExitOk);
            outStream.flush();
            errStream.flush();
            // The skipped table line, quoted escaped and cut, on every kind of output.
            QVERIFY2(!err.contains(QChar(0x1b)) && !err.contains(QChar(0x07)), qPrintable(err));
            QVERIFY2(err.contains(QStringLiteral("bad\\x1B]0;owned\\x07zzz")), qPrintable(err));
            QVERIFY2(err.contains(QStringLiteral("... (513 characters)")), qPrintable(err));
            QVERIFY(err.size() < 400);
            // The answer: escaped on a terminal, as sent into a pipe or file.
            QCOMPARE(out.contains(QStringLiteral("TAKEN.COM\\x1B[2J\\x07\r\n")), terminal);
            QCOMPARE(out.contains(QStringLiteral("TAKEN.COM\x1b[2J\x07\r\n")), !terminal);
        }
    }

    // A server that refuses: check says so for each name at once and moves on, lookup
    // names the cause; neither waits out the time-out.
    void refusedServerIsReportedWithItsCause()
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 closed = probe.serverPort();
        probe.close();
        testing::TestFolder folder;
        folder.write(QStringLiteral("TLDs.txt"),
                     QStringLiteral("com|127.0.0.1|%1|Enabled|0|No match\r\n").arg(closed).toUtf8());
        folder.write(QStringLiteral("list.txt"), "one\r\ntwo\r\n");
        Run run = runCli(folder, {QStringLiteral("check"), folder.file(QStringLiteral("list.txt"))});
        QCOMPARE(run.status, cli::kExitOk);
        const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines.at(0).startsWith(QStringLiteral("unreachable\tone.com\t127.0.0.1\t")) &&
                     lines.at(0).contains(QStringLiteral("refused"), Qt::CaseInsensitive),
                 qPrintable(lines.at(0)));
        QVERIFY(lines.at(1).startsWith(QStringLiteral("unreachable\ttwo.com")));
        QVERIFY2(run.err.contains(QStringLiteral("2 unreachable")), qPrintable(run.err));
        QVERIFY(folder.read(QStringLiteral("Unanswered.txt")).contains("one.com")); // to be asked again

        run = runCli(folder, {QStringLiteral("lookup"), QStringLiteral("one.com")});
        QCOMPARE(run.status, cli::kExitFailure);
        QVERIFY2(
            run.err.contains(QStringLiteral("could not connect to 127.0.0.1:%1 for one.com").arg(closed)) &&
                run.err.contains(QStringLiteral("refused"), Qt::CaseInsensitive),
            qPrintable(run.err));
    }

    void listThatIsAFifoIsRefused()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("TLDs.txt"), "com|127.0.0.1|43|Enabled|0|No match\r\n");
        QVERIFY(makeFifo(folder.file(QStringLiteral("list.fifo"))));
        const Run run = runCli(folder, {QStringLiteral("check"), folder.file(QStringLiteral("list.fifo"))});
        QCOMPARE(run.status, cli::kExitFailure);
        QVERIFY2(run.err.contains(QStringLiteral("list.fifo is not a regular file")), qPrintable(run.err));
    }
};

QTEST_GUILESS_MAIN(TestCliBadInput)
#include "tst_cli_badinput.moc"
