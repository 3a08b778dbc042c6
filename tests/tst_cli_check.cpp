#include "CliRunner.h"
#include "FakeWhoisServer.h"
#include "TestFolder.h"
#include "app/cli/Cli.h"
#include "app/cli/Interrupt.h"
#include "config/FolderLock.h"
#include "config/SettingsKeys.h"
#include "core/base/TextFile.h"
#include "platform/IniSettingsStore.h"

#include <QBuffer>
#include <QtTest>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace wendlecott;

namespace {

using Run = testing::CliRun;

// A TLD table whose com row points at the fake server, with no pause between names.
void pointComAt(const testing::TestFolder &folder, quint16 port,
                const QString &throttle = QStringLiteral("0"))
{
    folder.write(
        QStringLiteral("TLDs.txt"),
        QStringLiteral("com|127.0.0.1|%1|Enabled|%2|No match\r\nnet|127.0.0.1|%1|Enabled|0|No match\r\n")
            .arg(port)
            .arg(throttle)
            .toUtf8());
}

} // namespace

class TestCliCheck : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lostPositionFailsTheCheck()
    {
        testing::TestFolder folder;
        testing::FakeWhoisServer server;
        QVERIFY(server.start());
        pointComAt(folder, server.port());
        folder.write(QStringLiteral("list.txt"), "one\r\ntwo\r\n");
        // The positions' settings file cannot be written: it is a folder.
        QVERIFY(QDir().mkpath(folder.file(QStringLiteral(".config/Brindlemoor/Tarnhollow.ini"))));
        const Run run = runCli(folder, {QStringLiteral("check"), folder.file(QStringLiteral("list.txt"))});
        QCOMPARE(run.status, cli::kExitFailure);
        QCOMPARE(run.err.count(QStringLiteral("could not store the position")), 1);
        QCOMPARE(run.out.count(QLatin1Char('\n')), 2); // the names were still checked and filed
    }

    // A second program on the folder: check refuses, naming the holder, and files nothing;
    // once the holder has gone, check runs.
    void folderHeldByAnotherProgramIsNotWritten()
    {
        testing::TestFolder folder;
        testing::FakeWhoisServer server;
        QVERIFY(server.start());
        server.answer(QStringLiteral("free.com"), "No match\r\n");
        pointComAt(folder, server.port());
        folder.write(QStringLiteral("list.txt"), "free\r\n");
        {
            config::FolderLock holder(folder.path());
            QVERIFY(holder.acquire().ok());
            const Run run =
                runCli(folder, {QStringLiteral("check"), folder.file(QStringLiteral("list.txt"))});
            QCOMPARE(run.status, cli::kExitFailure);
            QVERIFY2(run.err.contains(
                         QStringLiteral("is in use by process %1").arg(QCoreApplication::applicationPid())),
                     qPrintable(run.err));
            QVERIFY(server.requests().isEmpty());
            QVERIFY(!folder.exists(QStringLiteral("SuperHighProfile.txt")));
        }
        const Run run = runCli(folder, {QStringLiteral("check"), folder.file(QStringLiteral("list.txt"))});
        QCOMPARE(run.status, cli::kExitOk);
        QCOMPARE(run.out, QStringLiteral("available\tfree.com\tHigh\n"));
        // The lock is given back at the end of the command.
        config::FolderLock after(folder.path());
        QVERIFY(after.acquire().ok());
    }

    // Names that cannot be domains are never asked, so never filed as available; the rest
    // of the list goes on.
    void impossibleNamesAreNotLookedUp()
    {
        testing::TestFolder folder;
        testing::FakeWhoisServer server;
        QVERIFY(server.start());
        server.setDefault({testing::FakeWhoisServer::Mode::AnswerAndClose, "No match\r\n"});
        pointComAt(folder, server.port());
        const QByteArray label64(64, 'a');
        folder.write(QStringLiteral("list.txt"), "good\r\n" + label64 + "\r\nabc\xe2\x80\xaemoc\r\n" +
                                                     QByteArray(131000, 'x') + "\r\nfine\r\n");
        const Run run = runCli(folder, {QStringLiteral("check"), folder.file(QStringLiteral("list.txt"))});
        QCOMPARE(run.status, cli::kExitOk);
        const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines.at(0), QStringLiteral("available\tgood.com\tHigh"));
        QCOMPARE(lines.at(1), QStringLiteral("invalid\t%1.com\ta label is longer than 63 octets")
                                  .arg(QString::fromLatin1(label64)));
        QVERIFY2(lines.at(2).startsWith(QStringLiteral("invalid\t")) &&
                     lines.at(2).contains(QStringLiteral("IDNA")),
                 qPrintable(lines.at(2)));
        QVERIFY(lines.at(3).startsWith(QStringLiteral("invalid\txxxx")));
        QCOMPARE(lines.at(4), QStringLiteral("available\tfine.com\tHigh"));
        QCOMPARE(server.requests(), (QList<QByteArray>{"good.com", "fine.com"}));
        QVERIFY(run.err.contains(QStringLiteral("3 invalid (not looked up)")));
        QVERIFY(!folder.read(QStringLiteral("Unanswered.txt")).contains("aaaa"));

        const Run lookup =
            runCli(folder, {QStringLiteral("lookup"), QString::fromLatin1(label64) + QStringLiteral(".com")});
        QCOMPARE(lookup.status, cli::kExitFailure);
        QVERIFY(lookup.out.startsWith(QStringLiteral("invalid\taaaa")));
        QCOMPARE(server.requests().size(), 2);
    }

    // A name is filed and printed as it is asked: IDNA's mappings (a ligature, a soft hyphen,
    // fullwidth letters) are made in the name itself; a single label is no name at all.
    void namesAreFiledAsTheyAreAsked()
    {
        testing::TestFolder folder;
        testing::FakeWhoisServer server;
        QVERIFY(server.start());
        server.setDefault({testing::FakeWhoisServer::Mode::AnswerAndClose, "No match\r\n"});
        pointComAt(folder, server.port());
        folder.write(QStringLiteral("list.txt"),
                     "\xef\xac\x81sh\r\nfi\xc2\xadsh.net\r\n\xef\xbd\x86ish\r\nFish\r\n");
        const Run run = runCli(folder, {QStringLiteral("check"), folder.file(QStringLiteral("list.txt"))});
        QCOMPARE(run.status, cli::kExitOk);
        QCOMPARE(run.out, QStringLiteral("available\tfish.com\tHigh\navailable\tfish.net\tHigh\n"
                                         "available\tfish.com\tHigh\navailable\tFish.com\tHigh\n"));
        QCOMPARE(folder.read(QStringLiteral("SuperHighProfile.txt")),
                 QByteArray("fish.com\r\nfish.net\r\nfish.com\r\nFish.com\r\n"));

        for (const QString &name :
             {QStringLiteral("localhost"), QStringLiteral("com"), QStringLiteral("d.")}) {
            const Run lookup = runCli(folder, {QStringLiteral("lookup"), name});
            QCOMPARE(lookup.status, cli::kExitFailure);
            QVERIFY2(lookup.out.startsWith(QStringLiteral("invalid\t%1\t").arg(name)),
                     qPrintable(lookup.out));
        }
        QCOMPARE(server.requests().size(), 4);
    }

    // Nothing checked is no success; one name checked among names passed over is.
    void noRowForAnyNameFailsTheCheck()
    {
        testing::TestFolder folder;
        testing::FakeWhoisServer server;
        QVERIFY(server.start());
        server.setDefault({testing::FakeWhoisServer::Mode::AnswerAndClose, "No match\r\n"});
        pointComAt(folder, server.port());
        folder.write(QStringLiteral("none.txt"), "a.b.org\r\nc.d.org\r\n");
        Run run = runCli(folder, {QStringLiteral("check"), folder.file(QStringLiteral("none.txt"))});
        QCOMPARE(run.status, cli::kExitFailure);
        QVERIFY2(run.err.contains(QStringLiteral("no TLD row serves any name of the list (2 passed over)")),
                 qPrintable(run.err));
        QVERIFY(server.requests().isEmpty());

        folder.write(QStringLiteral("some.txt"), "a.b.org\r\nserved\r\n");
        run = runCli(folder, {QStringLiteral("check"), folder.file(QStringLiteral("some.txt"))});
        QCOMPARE(run.status, cli::kExitOk);
        QCOMPARE(server.requests(), QList<QByteArray>{"served.com"});
    }

    void checkFilesEveryNameAndReportsIt()
    {
        testing::TestFolder folder;
        testing::FakeWhoisServer server;
        QVERIFY(server.start());
        server.answer(QStringLiteral("abcd.com"), "No match for abcd.com\r\n");
        server.answer(QStringLiteral("taken.com"), "Domain Name: TAKEN.COM\r\n");
        server.answer(QStringLiteral("limited.com"), "Query rate exceeded\r\n");
        server.answer(QStringLiteral("longername.net"), "NO MATCH\r\n");
        pointComAt(folder, server.port());
        folder.write(QStringLiteral("list.txt"),
                     "abcd\r\n\r\ntaken\r\nhttp://limited.com\r\nlongername.net\r\n");

        const Run run = runCli(folder, {QStringLiteral("check"), folder.file(QStringLiteral("list.txt"))});
        QCOMPARE(run.status, cli::kExitOk);
        QCOMPARE(run.out, QStringLiteral("available\tabcd.com\tHigh\n"
                                         "registered\ttaken.com\n"
                                         "blocked\tlimited.com\t127.0.0.1\n"
                                         "available\tlongername.net\tLow\n"));
        QVERIFY(run.err.contains(QStringLiteral("2 available, 1 registered, 1 blocked, 0 timed out")));
        QCOMPARE(server.requests(),
                 (QList<QByteArray>{"abcd.com", "taken.com", "limited.com", "longername.net"}));
        // Filed into the program folder's live lists, as the main window does.
        QCOMPARE(folder.read(QStringLiteral("SuperHighProfile.txt")), QByteArray("abcd.com\r\n"));
        QCOMPARE(folder.read(QStringLiteral("LowProfile.txt")), QByteArray("longername.net\r\n"));
        platform::IniSettingsStore settings;
        QCOMPARE(config::readSetting(settings, config::keys::WordNumber, QString()), QStringLiteral("5"));
    }

    void checkReadsStandardInputAndHonoursStartAndTld()
    {
        testing::TestFolder folder;
        testing::FakeWhoisServer server;
        QVERIFY(server.start());
        pointComAt(folder, server.port());
        const Run run = runCli(folder,
                               {QStringLiteral("check"), QStringLiteral("--tld"), QStringLiteral("net"),
                                QStringLiteral("--start"), QStringLiteral("2")},
                               "skipped\nsecond\nthird\n");
        QCOMPARE(run.status, cli::kExitOk);
        QCOMPARE(server.requests(), (QList<QByteArray>{"second.net", "third.net"}));
        QCOMPARE(run.out, QStringLiteral("available\tsecond.net\tMid\navailable\tthird.net\tMid\n"));
    }

    void interruptStopsTheRunAndKeepsTheStoredPosition()
    {
        testing::TestFolder folder;
        testing::FakeWhoisServer server;
        QVERIFY(server.start());
        server.setDefault({testing::FakeWhoisServer::Mode::Silent, {}});
        pointComAt(folder, server.port());
        folder.write(QStringLiteral("list.txt"), "first\r\nsecond\r\nthird\r\n");
        // Ctrl-C arrives once the first lookup is under way.
        QObject::connect(&server, &testing::FakeWhoisServer::requestReceived, &server,
                         [] { ::raise(SIGINT); });

        const Run run = runCli(folder, {QStringLiteral("check"), folder.file(QStringLiteral("list.txt"))});
        QCOMPARE(run.status, cli::kExitInterrupted); // 130, as shells expect after Ctrl-C
        QVERIFY(run.out.isEmpty());
        QVERIFY2(run.err.contains(QStringLiteral("resume with --start 2")), qPrintable(run.err));
        QCOMPARE(server.requests(), QList<QByteArray>{"first.com"});
        platform::IniSettingsStore settings;
        QCOMPARE(config::readSetting(settings, config::keys::WordNumber, QString()), QStringLiteral("2"));
    }

    // A program held where the event loop cannot run (a blocking read) still ends at the
    // second Ctrl-C, with 130.
    void aSecondInterruptEndsAHeldProgram()
    {
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            cli::InterruptWatcher watcher;
            ::raise(SIGINT); // taken for the event loop, which never runs here
            ::raise(SIGINT);
            ::_exit(0);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), cli::kExitInterrupted);
    }

    // A list file that cannot be written (a full disk) is named with its cause, once, and
    // check fails; the names are not claimed to be filed.
    void listsThatCannotBeWrittenFailTheCheck()
    {
        testing::TestFolder folder;
        testing::FakeWhoisServer server;
        QVERIFY(server.start());
        pointComAt(folder, server.port());
        folder.write(QStringLiteral("LowProfile.txt"), "");
        folder.write(QStringLiteral("list.txt"), "firstlongname\r\nsecondlongname\r\nthirdlongname\r\n");
        Run run;
        {
            core::WriteFaultScope full(0);
            run = runCli(folder, {QStringLiteral("check"), folder.file(QStringLiteral("list.txt"))});
        }
        QCOMPARE(run.out.count(QStringLiteral("available\t")), 3);
        QCOMPARE(run.status, cli::kExitFailure);
        QCOMPARE(run.err.count(QStringLiteral("LowProfile.txt: No space left on device")), 1);
        QVERIFY2(run.err.contains(QStringLiteral("the lists could not all be written")), qPrintable(run.err));
        QCOMPARE(folder.read(QStringLiteral("LowProfile.txt")), QByteArray());

        // With room again the next check writes the whole list and succeeds.
        folder.write(QStringLiteral("list.txt"), "fourthlongname\r\n");
        run = runCli(folder, {QStringLiteral("check"), folder.file(QStringLiteral("list.txt"))});
        QCOMPARE(run.status, cli::kExitOk);
    }

    void severalExtensionsGoToTheirOwnServersSideBySide()
    {
        testing::TestFolder folder;
        testing::FakeWhoisServer com;
        testing::FakeWhoisServer net;
        testing::FakeWhoisServer org;
        QVERIFY(com.start() && net.start() && org.start());
        net.answer(QStringLiteral("taken.net"), "Domain Name: TAKEN.NET\r\n");
        // The table lists org before net: domains follow the table's order.
        folder.write(QStringLiteral("TLDs.txt"), QStringLiteral("com|127.0.0.1|%1|Enabled|5|No match\r\n"
                                                                "org|127.0.0.1|%3|Enabled|5|No match\r\n"
                                                                "net|127.0.0.1|%2|Enabled|5|No match\r\n")
                                                     .arg(com.port())
                                                     .arg(net.port())
                                                     .arg(org.port())
                                                     .toUtf8());
        folder.write(QStringLiteral("list.txt"), "alpha\r\ntaken\r\nown.org\r\ngamma\r\n");

        const Run run = runCli(folder, {QStringLiteral("check"), folder.file(QStringLiteral("list.txt")),
                                        QStringLiteral("--tld"), QStringLiteral("net,com,org"),
                                        QStringLiteral("--jobs"), QStringLiteral("4")});
        QCOMPARE(run.status, cli::kExitOk);
        QCOMPARE(com.requests(), (QList<QByteArray>{"alpha.com", "taken.com", "gamma.com"}));
        QCOMPARE(net.requests(), (QList<QByteArray>{"alpha.net", "taken.net", "gamma.net"}));
        QCOMPARE(org.requests(), (QList<QByteArray>{"alpha.org", "taken.org", "own.org", "gamma.org"}));
        const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 10);
        QVERIFY(lines.contains(QStringLiteral("registered\ttaken.net")));
        QVERIFY2(run.err.contains(QStringLiteral("9 available, 1 registered, 0 blocked")),
                 qPrintable(run.err));
        platform::IniSettingsStore settings;
        QCOMPARE(config::readSetting(settings, config::keys::WordNumber, QString()), QStringLiteral("5"));
    }

    void jobsOutsideTheRangeAreRefused()
    {
        testing::TestFolder folder;
        for (const QString &jobs : {QStringLiteral("0"), QStringLiteral("102"), QStringLiteral("many")}) {
            const Run run = runCli(folder, {QStringLiteral("check"), QStringLiteral("--jobs"), jobs}, "a\n");
            QCOMPARE(run.status, cli::kExitUsage);
            QVERIFY(run.err.contains(QStringLiteral("--jobs needs a number from 1 to 101")));
        }
    }

    void checkOfAMissingListFails()
    {
        testing::TestFolder folder;
        const Run run = runCli(folder, {QStringLiteral("check"), folder.file(QStringLiteral("nope.txt"))});
        QCOMPARE(run.status, cli::kExitFailure);
        QVERIFY(run.err.contains(QStringLiteral("not found")));
    }

    void checkUsageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("start zero") << QStringList{QStringLiteral("check"), QStringLiteral("--start"),
                                                   QStringLiteral("0")};
        QTest::newRow("start text") << QStringList{QStringLiteral("check"), QStringLiteral("--start"),
                                                   QStringLiteral("x")};
        QTest::newRow("two files") << QStringList{QStringLiteral("check"), QStringLiteral("a"),
                                                  QStringLiteral("b")};
        QTest::newRow("unknown option") << QStringList{QStringLiteral("check"), QStringLiteral("--fast")};
        QTest::newRow("lookup without name") << QStringList{QStringLiteral("lookup")};
    }
    void checkUsageErrors()
    {
        QFETCH(QStringList, args);
        testing::TestFolder folder;
        QCOMPARE(runCli(folder, args).status, cli::kExitUsage);
    }

    void lookupPrintsTheVerdictAndTheAnswer()
    {
        testing::TestFolder folder;
        testing::FakeWhoisServer server;
        QVERIFY(server.start());
        server.answer(QStringLiteral("free.com"), "No match for \"FREE.COM\".\r\n");
        server.answer(QStringLiteral("taken.com"), "Domain Name: TAKEN.COM\r\n");
        pointComAt(folder, server.port());
        const QString where = QStringLiteral("127.0.0.1:%1").arg(server.port());

        Run run = runCli(folder, {QStringLiteral("lookup"), QStringLiteral("free.com")});
        QCOMPARE(run.status, cli::kExitOk);
        QCOMPARE(run.out, QStringLiteral("Available\tfree.com\t%1\tNo match\n").arg(where));

        run =
            runCli(folder, {QStringLiteral("lookup"), QStringLiteral("taken.com"), QStringLiteral("--raw")});
        QCOMPARE(run.status, cli::kExitOk);
        QCOMPARE(run.out,
                 QStringLiteral("Registered\ttaken.com\t%1\t\nDomain Name: TAKEN.COM\r\n").arg(where));
    }

    // The .com row would be asked about abc.zz and its "No match" would say it is free.
    void lookupRefusesANameUnderNoExtension()
    {
        testing::TestFolder folder;
        testing::FakeWhoisServer server;
        QVERIFY(server.start());
        server.setDefault({testing::FakeWhoisServer::Mode::AnswerAndClose, "No match\r\n"});
        pointComAt(folder, server.port());
        for (const QString &name : {QStringLiteral("abc.zz"), QStringLiteral("shop.notatld")}) {
            const Run run = runCli(folder, {QStringLiteral("lookup"), name});
            QCOMPARE(run.status, cli::kExitFailure);
            QCOMPARE(run.out, QStringLiteral("invalid\t%1\tno such extension\n").arg(name));
        }
        QVERIFY(server.requests().isEmpty());
        // A real extension without a row still goes where the table sends it.
        QCOMPARE(runCli(folder, {QStringLiteral("lookup"), QStringLiteral("abc.xyz")}).status, cli::kExitOk);
        QCOMPARE(server.requests(), QList<QByteArray>{"abc.xyz"});
    }

    void lookupWithoutARowFails()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("TLDs.txt"), "de|127.0.0.1|43|Enabled|0|No match\r\n");
        const Run run = runCli(folder, {QStringLiteral("lookup"), QStringLiteral("a.b.example")});
        QCOMPARE(run.status, cli::kExitFailure);
        QVERIFY(run.err.contains(QStringLiteral("no TLD row")));
    }
};

QTEST_GUILESS_MAIN(TestCliCheck)
#include "tst_cli_check.moc"
