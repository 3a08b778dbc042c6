#include "BuildFolder.h"
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

// Runs wendlecott-cli as on a terminal: standard output escaped like standard error.
Run runOnTerminal(const testing::TestFolder &folder, const QStringList &args)
{
    Run run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.status = cli::runCli(QStringList{QStringLiteral("--program-folder"), folder.path()} + args,
                             folder.path(), cli::CliIo{out, err, nullptr, true});
    out.flush();
    err.flush();
    return run;
}

bool hasRawControls(const QString &text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() < 0x20 && c != QLatin1Char('\n') && c != QLatin1Char('\t');
    });
}

// A pipe that gives as many bytes as asked, up to `size`: an endless stream, but bounded.
class Generator : public QIODevice {
public:
    explicit Generator(qint64 size) : m_left(size) { open(QIODevice::ReadOnly | QIODevice::Unbuffered); }
    bool isSequential() const override { return true; }
    qint64 handedOver() const { return m_handedOver; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = std::min(maxSize, m_left);
        for (qint64 i = 0; i < n; ++i)
            data[i] = "http://www.name.com/\n"[(m_handedOver + i) % 21];
        m_left -= n;
        m_handedOver += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    qint64 m_left;
    qint64 m_handedOver = 0;
};

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
        cli.start(testing::buildPath(QStringLiteral("wendlecott-cli")),
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

    // extract reads standard input and page files up to the limit, as check does.
    void extractStopsReadingAtTheLimit()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("TLDs.txt"), "com|127.0.0.1|43|Enabled|0|No match\r\n");
        cli::InputLimitScope limit(4096);
        Generator endless(1 << 20);
        Run run = runCli(folder, {QStringLiteral("extract"), QStringLiteral("--search")}, &endless);
        QCOMPARE(run.status, cli::kExitFailure);
        QVERIFY2(run.err.contains(QStringLiteral("standard input is larger than")), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
        QVERIFY(endless.handedOver() <= 4096 + 65536);

        folder.write(QStringLiteral("page.html"), QByteArray("http://www.name.com/\n").repeated(200));
        run = runCli(folder, {QStringLiteral("extract"), QStringLiteral("--page"),
                              folder.file(QStringLiteral("page.html"))});
        QCOMPARE(run.status, cli::kExitFailure);
        QVERIFY2(run.err.contains(QStringLiteral("page.html is larger than")), qPrintable(run.err));

        Generator small(4096);
        run = runCli(folder, {QStringLiteral("extract"), QStringLiteral("--search")}, &small);
        QCOMPARE(run.status, cli::kExitOk);
        QCOMPARE(run.out, QStringLiteral("name.com\n"));
    }

    // A rules file over 4 MiB is not parsed: the built-in rules judge, and it is said why.
    void evidenceRulesOverTheLimitAreRefused()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("TLDs.txt"), "com|127.0.0.1|43|Enabled|0|No match\r\n");
        QByteArray rules = "available\t*\tmine\t^nothing here\r\n";
        rules += "# " + QByteArray((qsizetype(4) << 20) - rules.size(), '#') + "\r\n";
        folder.write(QStringLiteral("whois-evidence.tsv"), rules);
        folder.write(QStringLiteral("answer.txt"), "Nothing here\r\n");
        Run run =
            runCli(folder, {QStringLiteral("judge"), QStringLiteral("--evidence"), QStringLiteral("--tld"),
                            QStringLiteral("com"), folder.file(QStringLiteral("answer.txt"))});
        QCOMPARE(run.status, cli::kExitOk);
        QVERIFY2(run.err.contains(QStringLiteral("whois-evidence.tsv is larger than 4 MiB; it is not read")),
                 qPrintable(run.err));
        QVERIFY2(!run.out.contains(QStringLiteral("mine")), qPrintable(run.out));
        run = runCli(folder, {QStringLiteral("tld"), QStringLiteral("list")});
        QCOMPARE(run.status, cli::kExitOk);
        QVERIFY2(run.err.contains(QStringLiteral("larger than 4 MiB")), qPrintable(run.err));
    }

    // Settings files that are FIFOs are neither read nor written: the command runs to its end
    // with the defaults and says the position could not be stored.
    void settingsThatAreFifosDoNotHoldTheProgram()
    {
        testing::TestFolder folder;
        testing::FakeWhoisServer server;
        QVERIFY(server.start());
        folder.write(QStringLiteral("TLDs.txt"),
                     QStringLiteral("com|127.0.0.1|%1|Enabled|0|No match\r\n").arg(server.port()).toUtf8());
        folder.write(QStringLiteral("list.txt"), "one\r\n");
        const QString settings = folder.file(QStringLiteral(".config/Brindlemoor"));
        QVERIFY(QDir().mkpath(settings));
        for (const QString &name : {QStringLiteral("Wendlecott.ini"), QStringLiteral("Tarnhollow.ini")})
            QVERIFY(makeFifo(settings + QLatin1Char('/') + name));
        const Run run = runCli(folder, {QStringLiteral("check"), folder.file(QStringLiteral("list.txt"))});
        QCOMPARE(run.out, QStringLiteral("available\tone.com\tHigh\n"));
        QCOMPARE(run.status, cli::kExitFailure);
        QVERIFY2(run.err.contains(QStringLiteral("Tarnhollow.ini is not a regular file")),
                 qPrintable(run.err));
        QVERIFY(!QFileInfo(settings + QStringLiteral("/Tarnhollow.ini")).isFile());
    }

    // What servers and rule files put into the bootstrap's date, rule IDs, generated names and
    // problems reaches a terminal escaped.
    void rulesBootstrapAndNamesAreEscapedOnATerminal()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("TLDs.txt"), "com|127.0.0.1|43|Enabled|0|No match\r\n");
        folder.write(QStringLiteral("rdap-dns-bootstrap.json"),
                     "{\"publication\":\"2026\\u001b]0;owned\\u0007\",\"version\":\"1.0\","
                     "\"services\":[[[\"com\"],[\"https://rdap.test/\"]]]}");
        folder.write(QStringLiteral("whois-evidence.tsv"),
                     "available\t*\tev\x1bil\t^nothing here\r\nbogus\x1b[2J\tline\r\n");
        folder.write(QStringLiteral("answer.txt"), "Nothing here\r\n");
        folder.write(QStringLiteral("affixes.txt"), "x\x1b]0;t\x07\r\n");
        const QList<QStringList> commands = {
            {QStringLiteral("rdap"), QStringLiteral("info")},
            {QStringLiteral("judge"), QStringLiteral("--evidence"), QStringLiteral("--tld"),
             QStringLiteral("com"), folder.file(QStringLiteral("answer.txt"))},
            {QStringLiteral("generate"), QStringLiteral("--base"), QStringLiteral("w\x1b[2Jw"),
             QStringLiteral("--affixes"), folder.file(QStringLiteral("affixes.txt")), QStringLiteral("--ext"),
             QStringLiteral(".com")}};
        for (const QStringList &args : commands) {
            const Run run = runOnTerminal(folder, args);
            QCOMPARE(run.status, cli::kExitOk);
            QVERIFY2(!run.out.isEmpty() && !hasRawControls(run.out), qPrintable(run.out));
            QVERIFY2(!hasRawControls(run.err), qPrintable(run.err));
            QVERIFY2(run.out.contains(QStringLiteral("\\x1B")), qPrintable(run.out));
        }
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
