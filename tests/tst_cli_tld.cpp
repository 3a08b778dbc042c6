#include "CliRunner.h"
#include "TestFolder.h"
#include "app/cli/Cli.h"
#include "app/cli/CliCommon.h"
#include "config/SettingsKeys.h"
#include "core/base/TextFile.h"
#include "core/tld/TldTable.h"
#include "platform/IniSettingsStore.h"

#include <QBuffer>
#include <QtTest>

using namespace wendlecott;

namespace {

using Run = testing::CliRun;

Run runWithInput(const testing::TestFolder &folder, const QStringList &args, QString input)
{
    QTextStream in(&input, QIODevice::ReadOnly);
    return runCli(folder, args, &in);
}

QStringList args(const char *spaced)
{
    return QString::fromLatin1(spaced).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

const QString kComLine =
    QStringLiteral("36\tcom\twhois.verisign-grs.com\t43\tEnabled\t25\t") + core::kStandardSuccessWords;

} // namespace

class TestCliTld : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void listWritesTheDefaultTableWhenMissing()
    {
        testing::TestFolder folder;
        const Run run = runCli(folder, args("tld list"));
        QCOMPARE(run.status, cli::kExitOk);
        QVERIFY(run.err.isEmpty());
        const QStringList lines = run.lines();
        QCOMPARE(lines.size(), 179);
        QCOMPARE(lines.at(36), kComLine);
        QCOMPARE(lines.at(95).section(QLatin1Char('\t'), 0, 1), QStringLiteral("95\tlist"));
        QVERIFY(lines.at(128).startsWith(QStringLiteral("128\tproxy\t127.0.0.1\t43\tEnabled\t25\t")));
        QCOMPARE(folder.read(core::kTldFileName), core::encodeText(core::defaultTldText()));
    }

    void listShowsTheFolderTableAndNamesSkippedRows()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("tlds.txt"), "DE|Whois.DENIC.de|43|enabled|100|Free,\r\n\r\n"
                                                 "fr|f|port|Enabled|25|x\r\n"
                                                 "uk|u|4343|Enabled|0|\r\n");
        const Run run = runCli(folder, args("tld list"));
        QCOMPARE(run.status, cli::kExitOk);
        QCOMPARE(run.lines(), (QStringList{QStringLiteral("0\tde\twhois.denic.de\t43\tDisabled\t100\tFree,"),
                                           QStringLiteral("1\tuk\tu\t4343\tEnabled\t0\t")}));
        // The folder's own file is used whatever the case of its name; no second file appears.
        QVERIFY(!folder.exists(core::kTldFileName));
        QVERIFY(run.err.contains(QStringLiteral("line 3")));
    }

    void find_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected");
        QTest::newRow("com") << args("tld find example.com") << kComLine;
        QTest::newRow("no dot gets com") << args("tld find example") << kComLine;
        QTest::newRow("unknown two-label gets com") << args("tld find example.xyz") << kComLine;
        QTest::newRow("uk before co.uk")
            << args("tld find Example.CO.UK")
            << QStringLiteral("165\tuk\twhois.nic.uk\t43\tDisabled\t25\tNo match for");
        QTest::newRow("nothing serves") << args("tld find a.b.xyz") << QStringLiteral("-1");
        QTest::newRow("proxy") << args("tld find example.de --proxy")
                               << QStringLiteral("128\tproxy\t127.0.0.1\t43\tEnabled\t25\t") +
                                      core::kStandardSuccessWords;
        QTest::newRow("proxy first") << args("tld find --proxy a.b.xyz")
                                     << QStringLiteral("128\tproxy\t127.0.0.1\t43\tEnabled\t25\t") +
                                            core::kStandardSuccessWords;
    }
    void find()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        testing::TestFolder folder;
        const Run run = runCli(folder, arguments);
        QCOMPARE(run.status, cli::kExitOk);
        QCOMPARE(run.out, expected + QLatin1Char('\n'));
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("tld alone") << args("tld");
        QTest::newRow("unknown tld command") << args("tld show");
        QTest::newRow("list with argument") << args("tld list extra");
        QTest::newRow("find without name") << args("tld find");
        QTest::newRow("find with proxy only") << args("tld find --proxy");
        QTest::newRow("find with two names") << args("tld find a.com b.com");
        QTest::newRow("find with unknown option") << args("tld find a.com --fast");
        QTest::newRow("judge without words") << args("judge");
        QTest::newRow("judge words without value") << args("judge --success-words");
        QTest::newRow("judge two files") << args("judge --success-words x a.txt b.txt");
        QTest::newRow("judge unknown option") << args("judge --success-words x --raw");
    }
    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        testing::TestFolder folder;
        const Run run = runCli(folder, arguments);
        QCOMPARE(run.status, cli::kExitUsage);
        QVERIFY(run.out.isEmpty());
        QVERIFY(!run.err.isEmpty());
    }

    void unreadableTableFails()
    {
        testing::TestFolder folder;
        QVERIFY(QDir(folder.path()).mkdir(core::kTldFileName));
        const Run run = runCli(folder, args("tld find example.com"));
        QCOMPARE(run.status, cli::kExitFailure);
        QVERIFY(run.out.isEmpty());
        QVERIFY(!run.err.isEmpty());
    }

    void storedProxySwitchSendsEveryNameToTheProxyRow()
    {
        testing::TestFolder folder;
        QCOMPARE(runCli(folder, args("tld find example.de")).out.section(QLatin1Char('\t'), 1, 1),
                 QStringLiteral("de"));
        platform::IniSettingsStore settings;
        QVERIFY(config::writeSetting(settings, config::keys::ChkProxy, QStringLiteral("1")).ok());
        QCOMPARE(runCli(folder, args("tld find example.de")).out.section(QLatin1Char('\t'), 1, 1),
                 QStringLiteral("proxy"));
        QVERIFY(config::writeSetting(settings, config::keys::ChkProxy, QStringLiteral("0")).ok());
        QCOMPARE(runCli(folder, args("tld find example.de")).out.section(QLatin1Char('\t'), 1, 1),
                 QStringLiteral("de"));
    }

    void judge_data()
    {
        QTest::addColumn<QString>("words");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("expected");
        QTest::newRow("available") << QStringLiteral("No match,AVAIL")
                                   << QStringLiteral("NO MATCH for x.com\r\n")
                                   << QStringLiteral("Available\tNo match\n");
        QTest::newRow("registered") << QStringLiteral("No match") << QStringLiteral("Domain Name: X.COM\r\n")
                                    << QStringLiteral("Registered\n");
        QTest::newRow("blocked") << QStringLiteral("No match") << QStringLiteral("Query limit exceeded")
                                 << QStringLiteral("Blocked\n");
        QTest::newRow("empty answer")
            << QStringLiteral("No match,") << QString() << QStringLiteral("Registered\n");
        QTest::newRow("trailing comma")
            << QStringLiteral("No match,") << QStringLiteral("x") << QStringLiteral("Available\t\n");
        QTest::newRow("empty words") << QString() << QStringLiteral("No match")
                                     << QStringLiteral("Registered\n");
    }
    void judge()
    {
        QFETCH(QString, words);
        QFETCH(QString, answer);
        QFETCH(QString, expected);
        testing::TestFolder folder;

        const Run fromInput =
            runWithInput(folder, {QStringLiteral("judge"), QStringLiteral("--success-words"), words}, answer);
        QCOMPARE(fromInput.status, cli::kExitOk);
        QCOMPARE(fromInput.out, expected);

        folder.write(QStringLiteral("answer.txt"), answer.toUtf8());
        const Run fromFile =
            runCli(folder, {QStringLiteral("judge"), QStringLiteral("--success-words=") + words,
                            folder.file(QStringLiteral("answer.txt"))});
        QCOMPARE(fromFile.status, cli::kExitOk);
        QCOMPARE(fromFile.out, expected);
    }

    void judgeReadsRawBytes()
    {
        testing::TestFolder folder;
        // A Latin-1 answer, as some registries send, read from a byte device.
        QByteArray bytes("Keine Eintr\xe4ge gefunden\r\n");
        QBuffer buffer(&bytes);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        QTextStream in(&buffer);
        const Run run = runCli(
            folder,
            {QStringLiteral("judge"), QStringLiteral("--success-words"), QString::fromUtf8("keine einträge")},
            &in);
        QCOMPARE(run.status, cli::kExitOk);
        QCOMPARE(run.out, QString::fromUtf8("Available\tkeine einträge\n"));

        folder.write(QStringLiteral("latin1.txt"), bytes);
        const Run fromFile =
            runCli(folder, {QStringLiteral("judge"), QStringLiteral("--success-words"),
                            QString::fromUtf8("EINTRÄGE"), folder.file(QStringLiteral("latin1.txt"))});
        QCOMPARE(fromFile.out, QString::fromUtf8("Available\tEINTRÄGE\n"));
    }

    void judgeMissingFileFails()
    {
        testing::TestFolder folder;
        const Run run = runCli(folder, {QStringLiteral("judge"), QStringLiteral("--success-words"),
                                        QStringLiteral("x"), folder.file(QStringLiteral("missing.txt"))});
        QCOMPARE(run.status, cli::kExitFailure);
        QVERIFY(run.out.isEmpty());
        QVERIFY(run.err.contains(QStringLiteral("missing.txt")));
    }
};

QTEST_GUILESS_MAIN(TestCliTld)
#include "tst_cli_tld.moc"
