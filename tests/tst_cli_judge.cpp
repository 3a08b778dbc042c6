#include "CliRunner.h"
#include "TestFolder.h"
#include "app/cli/Cli.h"
#include "core/lookup/EvidenceTable.h"

#include <QBuffer>
#include <QtTest>

using namespace wendlecott;

namespace {

using Run = testing::CliRun;

// Standard input as a byte device, as the real program has it.
Run runWithBytes(const testing::TestFolder &folder, const QStringList &args, QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QTextStream in(&buffer);
    return runCli(folder, args, &in);
}

QStringList args(const char *spaced)
{
    return QString::fromLatin1(spaced).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

constexpr qsizetype kSixteenMiB = qsizetype(16) << 20;

const QByteArray kRegistered = "Domain Name: EXAMPLE.COM\r\nRegistrar: Example Registrar, Inc.\r\n"
                               "Creation Date: 1995-08-14T04:00:00Z\r\n";

} // namespace

class TestCliJudge : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void evidence_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("expected");
        QTest::newRow("registered") << args("judge --evidence --tld com") << kRegistered
                                    << QStringLiteral("Registered\tregistrar\n");
        QTest::newRow("registered, asked name") << args("judge --evidence --tld=.COM --name=Example.com")
                                                << kRegistered << QStringLiteral("Registered\tregistrar\n");
        QTest::newRow("another name's data") << args("judge --evidence --tld com --name example.net")
                                             << kRegistered << QStringLiteral("Unknown\tother-name\n");
        QTest::newRow("available") << args("judge --tld com --evidence")
                                   << QByteArray("No match for \"EXAMPLE.COM\".\r\n")
                                   << QStringLiteral("Available\tno-match\n");
        QTest::newRow("blocked") << args("judge --evidence --tld org")
                                 << QByteArray("WHOIS LIMIT EXCEEDED - SEE WWW.PIR.ORG/WHOIS FOR DETAILS\r\n")
                                 << QStringLiteral("Blocked\trate-limit\n");
        QTest::newRow("empty") << args("judge --evidence --tld com") << QByteArray()
                               << QStringLiteral("Unknown\tempty\n");
        QTest::newRow("Latin-1 answer")
            << args("judge --evidence --tld hu") << QByteArray("Nincs tal\xe1lat / No match\r\n")
            << QStringLiteral("Available\tno-match\n");
    }
    void evidence()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, answer);
        QFETCH(QString, expected);
        testing::TestFolder folder;

        const Run fromInput = runWithBytes(folder, arguments, answer);
        QCOMPARE(fromInput.status, cli::kExitOk);
        QCOMPARE(fromInput.out, expected);
        QVERIFY(fromInput.err.isEmpty());

        folder.write(QStringLiteral("answer.txt"), answer);
        const Run fromFile =
            runCli(folder, arguments + QStringList{folder.file(QStringLiteral("answer.txt"))});
        QCOMPARE(fromFile.status, cli::kExitOk);
        QCOMPARE(fromFile.out, expected);
    }

    void programFolderTableExtendsTheRulesAndNamesItsBadLines()
    {
        testing::TestFolder folder;
        const QByteArray answer = "Sorry, that one is gone.\r\n";
        QCOMPARE(runWithBytes(folder, args("judge --evidence --tld xy"), answer).out,
                 QStringLiteral("Unknown\tno-evidence\n"));
        folder.write(core::kEvidenceFileName, "# mine\n"
                                              "available\txy\tgone\t^sorry, that one is gone\\.$\n"
                                              "available\t*\tbroken\n");
        const Run run = runWithBytes(folder, args("judge --evidence --tld xy"), answer);
        QCOMPARE(run.status, cli::kExitOk);
        QCOMPARE(run.out, QStringLiteral("Available\tgone\n"));
        QVERIFY(run.err.contains(QStringLiteral("whois-evidence.tsv line 3")));
        // The rule is for its extension only.
        QCOMPARE(runWithBytes(folder, args("judge --evidence --tld com"), answer).out,
                 QStringLiteral("Unknown\tno-evidence\n"));
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("neither rule") << args("judge a.txt");
        QTest::newRow("both rules") << args("judge --evidence --tld com --success-words x");
        QTest::newRow("evidence without tld") << args("judge --evidence");
        QTest::newRow("empty tld") << args("judge --evidence --tld=.");
        QTest::newRow("tld without value") << args("judge --evidence --tld");
        QTest::newRow("name without value") << args("judge --evidence --tld com --name");
        QTest::newRow("empty name") << args("judge --evidence --tld com --name=");
        QTest::newRow("name without evidence") << args("judge --success-words x --name a.com");
        QTest::newRow("tld without evidence") << args("judge --success-words x --tld com");
        QTest::newRow("two files") << args("judge --evidence --tld com a.txt b.txt");
        QTest::newRow("unknown option") << args("judge --evidence --tld com --raw");
    }
    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        testing::TestFolder folder;
        const Run run = runCli(folder, arguments);
        QCOMPARE(run.status, cli::kExitUsage);
        QVERIFY(run.out.isEmpty());
        QVERIFY(run.err.contains(QStringLiteral("usage: judge")));
    }

    // An answer larger than 16 MiB is refused, from a file or standard input, in either form;
    // one of exactly 16 MiB is judged.
    void answersOverSixteenMiBAreRefused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("evidence") << args("judge --evidence --tld com");
        QTest::newRow("success words") << args("judge --success-words No");
    }
    void answersOverSixteenMiBAreRefused()
    {
        QFETCH(QStringList, arguments);
        testing::TestFolder folder;
        QByteArray answer = "No match for x.com\r\n";
        answer.append(QByteArray(kSixteenMiB - answer.size(), ' '));

        const Run atLimit = runWithBytes(folder, arguments, answer);
        QCOMPARE(atLimit.status, cli::kExitOk);
        QVERIFY(atLimit.out.startsWith(QStringLiteral("Available\t")));

        answer.append(' ');
        const Run overInput = runWithBytes(folder, arguments, answer);
        QCOMPARE(overInput.status, cli::kExitFailure);
        QVERIFY(overInput.out.isEmpty());
        QVERIFY(overInput.err.contains(QStringLiteral("larger than 16 MiB")));
        QVERIFY(overInput.err.contains(QStringLiteral("standard input")));

        folder.write(QStringLiteral("big.txt"), answer);
        const Run overFile = runCli(folder, arguments + QStringList{folder.file(QStringLiteral("big.txt"))});
        QCOMPARE(overFile.status, cli::kExitFailure);
        QVERIFY(overFile.out.isEmpty());
        QVERIFY(overFile.err.contains(QStringLiteral("big.txt")));
        QVERIFY(overFile.err.contains(QStringLiteral("larger than 16 MiB")));
    }

    void missingFileFails()
    {
        testing::TestFolder folder;
        const Run run = runCli(folder, args("judge --evidence --tld com") +
                                           QStringList{folder.file(QStringLiteral("missing.txt"))});
        QCOMPARE(run.status, cli::kExitFailure);
        QVERIFY(run.out.isEmpty());
        QVERIFY(run.err.contains(QStringLiteral("missing.txt")));
    }

    void helpNamesTheEvidenceForm()
    {
        testing::TestFolder folder;
        const Run run = runCli(folder, args("--help"));
        QCOMPARE(run.status, cli::kExitOk);
        QVERIFY(run.out.contains(QStringLiteral("judge --evidence --tld EXT [--name NAME] [FILE]")));
    }
};

QTEST_GUILESS_MAIN(TestCliJudge)
#include "tst_cli_judge.moc"
