#include "CliRunner.h"
#include "TestFolder.h"
#include "app/cli/Cli.h"
#include "core/base/TextFile.h"
#include "core/tld/TldTable.h"

#include <QBuffer>
#include <QtTest>

using namespace wendlecott;

namespace {

using Run = testing::CliRun;

QStringList args(const char *spaced)
{
    return QString::fromLatin1(spaced).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QStringList plus(QStringList list, const QStringList &more)
{
    return list + more;
}

} // namespace

class TestCliExtract : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void searchReadsStandardInput()
    {
        testing::TestFolder folder;
        const Run run = runCli(folder, args("extract --search"),
                               "<a href=\"https://www.Example.com/x\">x</a> <a href=\"http://example.com/\"> "
                               "<a href=\"http://www.other.net/\"> visit plain.com");
        QCOMPARE(run.status, cli::kExitOk);
        QCOMPARE(run.lines(), (QStringList{QStringLiteral("Example.com"), QStringLiteral("other.net")}));
        // As at start-up, the default table is written when it is missing.
        QVERIFY(folder.exists(core::kTldFileName));
    }

    void pageReadsRunningTextAndFrames()
    {
        testing::TestFolder folder;
        const QByteArray page =
            "<p>visit plain.com today</p>\n<frame src=\"http://framed.com/a.html\" name=\"f\">\n"
            "mail me at someone@mailhost.net\n";
        Run run = runCli(folder, args("extract --page"), page);
        QCOMPARE(run.status, cli::kExitOk);
        QCOMPARE(run.lines(), (QStringList{QStringLiteral("plain.com"), QStringLiteral("mailhost.net")}));
        run = runCli(folder, args("extract --frames --page"), page);
        QCOMPARE(run.lines(),
                 (QStringList{QStringLiteral("plain.com"), QStringLiteral("frame\tframed.com/a.html"),
                              QStringLiteral("mailhost.net")}));
    }

    void filesAreThePagesOfOneRun()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("one.html"),
                     "<a href=\"http://www.example.com/\"> <a href=\"http://www.first.net/\">");
        folder.write(QStringLiteral("two.html"),
                     "<a href=\"http://ample.com/\"> <a href=\"http://www.second.com/\">");
        const QStringList files{folder.file(QStringLiteral("one.html")),
                                folder.file(QStringLiteral("two.html"))};
        const QStringList expected{QStringLiteral("example.com"), QStringLiteral("first.net"),
                                   QStringLiteral("second.com")};
        Run run = runCli(folder, plus(args("extract --search"), files));
        QCOMPARE(run.status, cli::kExitOk);
        QCOMPARE(run.lines(), expected);
        run = runCli(folder, plus(args("extract --page"), files));
        QCOMPARE(run.lines(), expected);
    }

    void searchReadsBytesAndPageReadsUtf8()
    {
        testing::TestFolder folder;
        folder.write(core::kTldFileName, "de|whois.denic.de|43|Enabled|25|free\r\n");
        // "münchen.de" in UTF-8: the browse window sees the letter, the list builder two bytes.
        folder.write(QStringLiteral("u.html"), "<a href=\"http://www.m\xc3\xbcnchen.de/\">");
        folder.write(QStringLiteral("l.html"), "<a href=\"http://www.m\xfcnchen.de/\">");
        const QString utf8 = folder.file(QStringLiteral("u.html"));
        const QString latin1 = folder.file(QStringLiteral("l.html"));
        QCOMPARE(runCli(folder, {QStringLiteral("extract"), QStringLiteral("--page"), utf8}).out,
                 QString::fromUtf8("münchen.de\n"));
        QCOMPARE(runCli(folder, {QStringLiteral("extract"), QStringLiteral("--page"), latin1}).out,
                 QString::fromUtf8("münchen.de\n"));
        QCOMPARE(runCli(folder, {QStringLiteral("extract"), QStringLiteral("--search"), latin1}).out,
                 QString::fromUtf8("münchen.de\n"));
        QCOMPARE(runCli(folder, {QStringLiteral("extract"), QStringLiteral("--search"), utf8}).out,
                 QString::fromLatin1("m\xc3\xbcnchen.de\n"));
    }

    void onlyEnabledRowsOfTheFoldersTableCount()
    {
        testing::TestFolder folder;
        folder.write(core::kTldFileName, "com|whois.example|43|Disabled|25|x\r\n"
                                         "xyz|whois.example|43|Enabled|25|x\r\n");
        const Run run = runCli(folder, args("extract --page"), "a.com and b.xyz and c.net");
        QCOMPARE(run.status, cli::kExitOk);
        QCOMPARE(run.lines(), QStringList{QStringLiteral("b.xyz")});
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no rules") << args("extract");
        QTest::newRow("both rules") << args("extract --search --page");
        QTest::newRow("frames with search") << args("extract --search --frames");
        QTest::newRow("unknown option") << args("extract --page --all");
    }
    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        testing::TestFolder folder;
        const Run run = runCli(folder, arguments, "http://www.example.com/");
        QCOMPARE(run.status, cli::kExitUsage);
        QVERIFY(run.out.isEmpty());
        QVERIFY(run.err.contains(QLatin1String("extract")));
    }

    void aMissingFileFailsBeforeAnythingIsPrinted()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("one.html"), "<a href=\"http://www.example.com/\">");
        const Run run = runCli(folder, {QStringLiteral("extract"), QStringLiteral("--search"),
                                        folder.file(QStringLiteral("one.html")),
                                        folder.file(QStringLiteral("gone.html"))});
        QCOMPARE(run.status, cli::kExitFailure);
        QVERIFY(run.out.isEmpty());
        QVERIFY(run.err.contains(QLatin1String("gone.html")));
    }

    void anUnreadableTableFails()
    {
        testing::TestFolder folder;
        QVERIFY(QDir(folder.path()).mkdir(core::kTldFileName));
        const Run run = runCli(folder, args("extract --page"), "a.com");
        QCOMPARE(run.status, cli::kExitFailure);
        QVERIFY(run.out.isEmpty());
    }

    void helpNamesTheCommand()
    {
        testing::TestFolder folder;
        const Run run = runCli(folder, args("--help"));
        QVERIFY(run.out.contains(QLatin1String("extract (--search | --page) [--frames] [FILE...]")));
    }
};

QTEST_GUILESS_MAIN(TestCliExtract)
#include "tst_cli_extract.moc"
