#include "TestFolder.h"
#include "app/cli/Cli.h"
#include "core/base/TextFile.h"
#include "sources/Generator.h"

#include <QtTest>

using namespace wendlecott;
using sources::GeneratorInput;

namespace {

QStringList words(const char *spaceSeparated)
{
    return QString::fromLatin1(spaceSeparated).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

GeneratorInput input(const QString &base, const QStringList &affixes, const QStringList &extensions,
                     bool prefixes = true, bool suffixes = true, bool hyphens = true)
{
    GeneratorInput in;
    in.base = base;
    in.affixes = affixes;
    in.extensions = extensions;
    in.prefixes = prefixes;
    in.suffixes = suffixes;
    in.hyphens = hyphens;
    return in;
}

// `count` affix lines "w0", "w1", ...
QStringList numberedAffixes(int count)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list.append(QStringLiteral("w%1").arg(i));
    return list;
}

struct CliRun {
    int status = -1;
    QString out;
    QString err;
};

CliRun runCli(const QString &folder, const QStringList &args)
{
    CliRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.status = cli::runCli(QStringList{QStringLiteral("--program-folder"), folder} + args, folder,
                             cli::CliIo{out, err, nullptr});
    out.flush();
    err.flush();
    return run;
}

} // namespace

Q_DECLARE_METATYPE(GeneratorInput)

class TestGenerator : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void generatesInOrder_data()
    {
        QTest::addColumn<GeneratorInput>("in");
        QTest::addColumn<QStringList>("expected");
        const QStringList comNet = {QStringLiteral(".com"), QStringLiteral(".net")};
        const QStringList com = {QStringLiteral(".com")};

        QTest::newRow("the twenty-name example")
            << input(QStringLiteral("shop"), words("my best"), comNet)
            << words("shop.com shop.net myshop.com myshop.net my-shop.com my-shop.net shopmy.com shopmy.net "
                     "shop-my.com shop-my.net shop.com shop.net bestshop.com bestshop.net best-shop.com "
                     "best-shop.net shopbest.com shopbest.net shop-best.com shop-best.net");
        QTest::newRow("bare names keep the blank, affixed stems lose it")
            << input(QStringLiteral("my shop"), words("best"), com)
            << QStringList{QStringLiteral("my shop.com"), QStringLiteral("bestmyshop.com"),
                           QStringLiteral("best-myshop.com"), QStringLiteral("myshopbest.com"),
                           QStringLiteral("myshop-best.com")};
        QTest::newRow("blanks inside an affix go too")
            << input(QStringLiteral("shop"), {QStringLiteral(" big deal ")}, com, true, false, false)
            << QStringList{QStringLiteral("shop.com"), QStringLiteral("bigdealshop.com")};
        QTest::newRow("one-letter base: no bare names")
            << input(QStringLiteral("a"), words("b"), com) << words("ba.com b-a.com ab.com a-b.com");
        QTest::newRow("empty base: hyphen names start or end with a hyphen")
            << input(QString(), words("best"), com) << words("best.com best-.com best.com -best.com");
        QTest::newRow("no affix line: nothing at all")
            << input(QStringLiteral("shop"), {}, comNet) << QStringList();
        QTest::newRow("every extension unchecked: nothing")
            << input(QStringLiteral("shop"), words("my best"), {}) << QStringList();
        QTest::newRow("hyphens alone add nothing beyond the bare names")
            << input(QStringLiteral("shop"), words("my best"), com, false, false, true)
            << words("shop.com shop.com");
        QTest::newRow("suffixes with hyphens, no prefixes")
            << input(QStringLiteral("shop"), words("my"), com, false, true, true)
            << words("shop.com shopmy.com shop-my.com");
        QTest::newRow("prefixes without hyphens")
            << input(QStringLiteral("shop"), words("my"), com, true, false, false)
            << words("shop.com myshop.com");
        QTest::newRow("affix case kept, extension lower-cased")
            << input(QStringLiteral("shop"), words("Best"), {QStringLiteral(".COM")}, true, false, false)
            << words("shop.com Bestshop.com");
        QTest::newRow("base case kept") << input(QStringLiteral("Shop"), words("my"), com, false, true, false)
                                        << words("Shop.com Shopmy.com");
        QTest::newRow("non-ASCII survives the packing")
            << input(QString::fromUtf8("café"), words("le"), com, true, false, false)
            << QStringList{QString::fromUtf8("café.com"), QString::fromUtf8("lecafé.com")};
    }
    void generatesInOrder()
    {
        QFETCH(GeneratorInput, in);
        QFETCH(QStringList, expected);
        QCOMPARE(sources::generateNames(in), expected);
    }

    // Slices of any size build the same names in the same order, and whole lines at a time.
    void slicesBuildWholeLines()
    {
        const GeneratorInput in =
            input(QStringLiteral("shop"), numberedAffixes(30), {QStringLiteral(".com")});
        const QStringList all = sources::generateNames(in);
        QCOMPARE(all.size(), 30 * 5);

        sources::GeneratorJob job(in);
        const sources::GeneratorProgress first = job.step(7); // one line gives 5 names
        QCOMPARE(first.addedThisStep, 10);
        QCOMPARE(job.linesDone(), 2);
        QVERIFY(!first.finished);
        while (!job.isFinished())
            job.step(3);
        QCOMPARE(job.created(), 150);
        QCOMPARE(job.names().toStringList(), all);
    }

    // The progress text is renewed after the line that brings a thousand names since the last one.
    void progressTextPerLine()
    {
        // Hyphens alone: three bare names per line.
        sources::GeneratorJob job(input(
            QStringLiteral("shop"), numberedAffixes(700),
            {QStringLiteral(".com"), QStringLiteral(".net"), QStringLiteral(".org")}, false, false, true));
        QStringList texts;
        while (!job.isFinished()) {
            if (job.step(1).statusChanged)
                texts.append(job.status());
        }
        QCOMPARE(texts, QStringList({QStringLiteral("Creating Domains - Created 1002 so far..."),
                                     QStringLiteral("Creating Domains - Created 2004 so far...")}));
        QCOMPARE(sources::sortingStatus(2100), QStringLiteral("Created 2100 domains...  Sorting..."));
        QCOMPARE(sources::searchStartedStatus(0), QStringLiteral("Created 0 domains...  Search Started"));
    }

    // More names than a 16-bit list can count: every one is written, and the count is true.
    void beyond32767NamesAllWritten()
    {
        testing::TestFolder folder;
        sources::GeneratorJob job(input(QStringLiteral("shop"), numberedAffixes(4000),
                                        {QStringLiteral(".com"), QStringLiteral(".net")}));
        job.runToEnd();
        QCOMPARE(job.created(), 40000);
        const QString path = folder.file(QStringLiteral("CreatedDomains.txt"));
        QVERIFY(sources::writeCreatedDomains(path, job.names()).ok());
        const QStringList lines = core::readLines(path).value();
        QCOMPARE(lines.size(), 80000);
        QCOMPARE(lines.at(0), QStringLiteral("shop.com"));
        QCOMPARE(lines.at(79998), QStringLiteral("shop-w3999.net"));
        QCOMPARE(lines.count(QString()), 40000);
    }

    // A limit ends the building where it is reached; what was built is kept in order.
    void limitStopsTheBuilding()
    {
        const GeneratorInput in =
            input(QStringLiteral("shop"), numberedAffixes(10), {QStringLiteral(".com")});
        sources::GeneratorJob job(in, 12);
        job.runToEnd();
        QVERIFY(job.isFinished());
        QVERIFY(job.limitReached());
        QCOMPARE(job.created(), 12);
        QCOMPARE(job.names().toStringList(), sources::generateNames(in).mid(0, 12));
    }

    void createdDomainsFormat()
    {
        testing::TestFolder folder;
        const QString path = folder.file(QStringLiteral("CreatedDomains.txt"));
        sources::GeneratorJob job(
            input(QStringLiteral("shop"), words("my"), {QStringLiteral(".com")}, true, false, false));
        job.runToEnd();
        QVERIFY(sources::writeCreatedDomains(path, job.names()).ok());
        QCOMPARE(folder.read(QStringLiteral("CreatedDomains.txt")),
                 QByteArray("shop.com\r\n\r\nmyshop.com\r\n\r\n"));

        // Nothing generated: the file is emptied.
        sources::GeneratorJob none(input(QStringLiteral("shop"), {}, {QStringLiteral(".com")}));
        none.runToEnd();
        QVERIFY(sources::writeCreatedDomains(path, none.names()).ok());
        QCOMPARE(folder.read(QStringLiteral("CreatedDomains.txt")), QByteArray());
    }

    void failedWriteKeepsTheOldList()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("CreatedDomains.txt"), "old.com\r\n\r\n");
        sources::GeneratorJob job(input(QStringLiteral("shop"), words("my best"), {QStringLiteral(".com")}));
        job.runToEnd();
        core::WriteFaultScope fault(5);
        const core::Status status =
            sources::writeCreatedDomains(folder.file(QStringLiteral("CreatedDomains.txt")), job.names());
        QCOMPARE(status.code(), core::ErrorCode::WriteFailed);
        QCOMPARE(folder.read(QStringLiteral("CreatedDomains.txt")), QByteArray("old.com\r\n\r\n"));
    }

    void readsUsableAffixLines()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("Appends.txt"), "\r\nmy\r\n \r\nBest\r\n  \r\n\r\nnet\nlast");
        QCOMPARE(sources::readAffixWords(folder.file(QStringLiteral("Appends.txt"))).value(),
                 QStringList({QStringLiteral("my"), QStringLiteral("Best"), QStringLiteral("  "),
                              QStringLiteral("net"), QStringLiteral("last")}));

        folder.write(QStringLiteral("Appends.txt"), "\r\n \r\n\r\n");
        QVERIFY(sources::readAffixWords(folder.file(QStringLiteral("Appends.txt"))).value().isEmpty());

        QCOMPARE(sources::readAffixWords(folder.file(QStringLiteral("Missing.txt"))).code(),
                 core::ErrorCode::NotFound);
    }

    void extensionItemsFromTheTldFile_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("enabled rows in file order")
            << QByteArray("net|whois.example|43|Enabled|25|No match\r\n"
                          "com|whois.example|43|Enabled|25|No match\r\n\r\n")
            << QStringList{QStringLiteral(".net"), QStringLiteral(".com")};
        QTest::newRow("COM keeps its case in the item")
            << QByteArray("COM|w|43|Enabled|25|x\r\n") << QStringList{QStringLiteral(".COM")};
        QTest::newRow("disabled, lower-case status and the proxy row are left out")
            << QByteArray(
                   "de|w|43|Disabled|25|x\r\norg|w|43|enabled|25|x\r\nproxy|127.0.0.1|43|Enabled|25|x\r\n"
                   "Proxy|w|43|Enabled|25|x\r\n")
            << QStringList{QStringLiteral(".Proxy")};
        QTest::newRow("four fields are enough, three are not, no bar is no row")
            << QByteArray("biz|w|43|Enabled\r\ninfo|w|43\r\nEnabled\r\n \r\n")
            << QStringList{QStringLiteral(".biz")};
        QTest::newRow("duplicates stay") << QByteArray("here|w|43|Enabled|25|x\r\nhere|w|43|Enabled|25|x\r\n")
                                         << QStringList{QStringLiteral(".here"), QStringLiteral(".here")};
    }
    void extensionItemsFromTheTldFile()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, items);
        testing::TestFolder folder;
        folder.write(QStringLiteral("TLDs.txt"), file);
        QCOMPARE(sources::readGeneratorExtensions(folder.file(QStringLiteral("TLDs.txt"))), items);
    }

    void noTldFileNoItems()
    {
        testing::TestFolder folder;
        QVERIFY(sources::readGeneratorExtensions(folder.file(QStringLiteral("TLDs.txt"))).isEmpty());
    }

    void addAppendsALine_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("a word") << QByteArray("my\r\n") << QStringLiteral("best")
                                << QByteArray("my\r\nbest\r\n");
        QTest::newRow("an empty box appends an empty line")
            << QByteArray("my\r\n") << QString() << QByteArray("my\r\n\r\n");
        QTest::newRow("a last line without a line end is not joined")
            << QByteArray("my") << QStringLiteral("best") << QByteArray("my\r\nbest\r\n");
        QTest::newRow("the start-up's empty line")
            << QByteArray("\r\n") << QStringLiteral("best") << QByteArray("\r\nbest\r\n");
    }
    void addAppendsALine()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, word);
        QFETCH(QByteArray, after);
        testing::TestFolder folder;
        folder.write(QStringLiteral("Appends.txt"), before);
        QVERIFY(sources::appendAffixWord(folder.file(QStringLiteral("Appends.txt")), word).ok());
        QCOMPARE(folder.read(QStringLiteral("Appends.txt")), after);
    }

    void addCreatesAMissingFile()
    {
        testing::TestFolder folder;
        QVERIFY(
            sources::appendAffixWord(folder.file(QStringLiteral("Appends.txt")), QStringLiteral("my")).ok());
        QCOMPARE(folder.read(QStringLiteral("Appends.txt")), QByteArray("my\r\n"));
        // The empty line an empty box leaves is skipped when the list is read.
        QVERIFY(sources::appendAffixWord(folder.file(QStringLiteral("Appends.txt")), QString()).ok());
        QCOMPARE(sources::readAffixWords(folder.file(QStringLiteral("Appends.txt"))).value(),
                 QStringList{QStringLiteral("my")});
    }

    void delText_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("text");
        QTest::newRow("every duplicate leaves")
            << words("my best my") << QStringLiteral("my") << QStringLiteral("best\r\n\r\n");
        QTest::newRow("exact and case-sensitive") << words("My my mY myself") << QStringLiteral("my")
                                                  << QStringLiteral("My\r\nmY\r\nmyself\r\n\r\n");
        QTest::newRow("empty lines collapse in one pass from the left")
            << QStringList{QStringLiteral("a"), QString(), QString(), QStringLiteral("b")}
            << QStringLiteral("x") << QStringLiteral("a\r\n\r\nb\r\n\r\n");
        QTest::newRow("the last word gone") << words("my") << QStringLiteral("my") << QStringLiteral("\r\n");
        QTest::newRow("an empty entry removes the empty lines")
            << QStringList{QStringLiteral("a"), QString(), QStringLiteral("b")} << QString()
            << QStringLiteral("a\r\nb\r\n\r\n");
    }
    void delText()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, word);
        QFETCH(QString, text);
        QCOMPARE(sources::textWithoutAffixWord(lines, word), text);
    }

    void delRewritesTheFile()
    {
        testing::TestFolder folder;
        const QString path = folder.file(QStringLiteral("Appends.txt"));
        folder.write(QStringLiteral("Appends.txt"), "\r\nmy\r\nbest\r\nmy\r\n");
        QVERIFY(sources::removeAffixWord(path, QStringLiteral("my")).ok());
        QCOMPARE(folder.read(QStringLiteral("Appends.txt")), QByteArray("\r\nbest\r\n\r\n"));
        QCOMPARE(sources::readAffixWords(path).value(), QStringList{QStringLiteral("best")});

        // A failed write leaves the file as it was.
        {
            core::WriteFaultScope fault(1);
            QCOMPARE(sources::removeAffixWord(path, QStringLiteral("best")).code(),
                     core::ErrorCode::WriteFailed);
        }
        QCOMPARE(folder.read(QStringLiteral("Appends.txt")), QByteArray("\r\nbest\r\n\r\n"));

        // A missing file is reported and not created.
        QCOMPARE(
            sources::removeAffixWord(folder.file(QStringLiteral("Gone.txt")), QStringLiteral("my")).code(),
            core::ErrorCode::NotFound);
        QVERIFY(!folder.exists(QStringLiteral("Gone.txt")));
    }

    void saveCopiesAndReplaces()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("CreatedDomains.txt"), "shop.com\r\n\r\n");
        folder.write(QStringLiteral("CustomLists/shop.txt"), "older content\r\n");
        const QString source = folder.file(QStringLiteral("CreatedDomains.txt"));
        const QString target = folder.file(QStringLiteral("CustomLists/shop.txt"));
        QVERIFY(sources::saveDomainsAs(source, target).ok());
        QCOMPARE(folder.read(QStringLiteral("CustomLists/shop.txt")), QByteArray("shop.com\r\n\r\n"));

        folder.write(QStringLiteral("CustomLists/shop.txt"), "kept\r\n");
        {
            core::WriteFaultScope fault(3);
            QCOMPARE(sources::saveDomainsAs(source, target).code(), core::ErrorCode::WriteFailed);
        }
        QCOMPARE(folder.read(QStringLiteral("CustomLists/shop.txt")), QByteArray("kept\r\n"));

        QCOMPARE(sources::saveDomainsAs(folder.file(QStringLiteral("None.txt")), target).code(),
                 core::ErrorCode::NotFound);
        QCOMPARE(folder.read(QStringLiteral("CustomLists/shop.txt")), QByteArray("kept\r\n"));
    }

    // The command line -------------------------------------------------------------------

    void cliGenerate_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("tlds"); // empty: no TLDs.txt
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::newRow("no TLDs.txt: .com and .net")
            << words("generate --base shop --no-hyphens") << QByteArray() << 0
            << QStringLiteral("shop.com\nshop.net\nmyshop.com\nmyshop.net\nshopmy.com\nshopmy.net\n");
        QTest::newRow("enabled rows of TLDs.txt, COM lower-cased")
            << words("generate --base shop --no-prefixes --no-suffixes")
            << QByteArray(
                   "COM|w|43|Enabled|25|x\r\nnet|w|43|Disabled|25|x\r\nproxy|127.0.0.1|43|Enabled|25|x\r\n")
            << 0 << QStringLiteral("shop.com\n");
        QTest::newRow("--ext in the order given, a missing dot supplied")
            << words("generate --base shop --no-prefixes --no-hyphens --ext .org,de") << QByteArray() << 0
            << QStringLiteral("shop.org\nshop.de\nshopmy.org\nshopmy.de\n");
        QTest::newRow("missing --base value") << words("generate --base") << QByteArray() << 2 << QString();
        QTest::newRow("no --base at all") << words("generate --no-hyphens") << QByteArray() << 2 << QString();
        QTest::newRow("unknown option")
            << words("generate --base shop --sort") << QByteArray() << 2 << QString();
        QTest::newRow("missing affix file")
            << words("generate --base shop --affixes nowhere.txt") << QByteArray() << 1 << QString();
    }
    void cliGenerate()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, tlds);
        QFETCH(int, status);
        QFETCH(QString, out);
        testing::TestFolder folder;
        folder.write(QStringLiteral("Appends.txt"), "\r\nmy\r\n");
        if (!tlds.isEmpty())
            folder.write(QStringLiteral("TLDs.txt"), tlds);
        if (args.contains(QStringLiteral("nowhere.txt")))
            args.replace(args.indexOf(QStringLiteral("nowhere.txt")),
                         folder.file(QStringLiteral("nowhere.txt")));
        const CliRun run = runCli(folder.path(), args);
        QCOMPARE(run.status, status);
        QCOMPARE(run.out, out);
        QCOMPARE(run.err.isEmpty(), status == 0);
    }

    void cliReadsAGivenAffixFileAndAMissingDefaultFails()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("words.txt"), "best\r\n");
        CliRun run =
            runCli(folder.path(), {QStringLiteral("generate"), QStringLiteral("--base"), QStringLiteral("a"),
                                   QStringLiteral("--affixes"), folder.file(QStringLiteral("words.txt")),
                                   QStringLiteral("--ext"), QStringLiteral(".com")});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, QStringLiteral("besta.com\nbest-a.com\nabest.com\na-best.com\n"));

        // No Appends.txt in the program folder.
        run = runCli(folder.path(), words("generate --base shop"));
        QCOMPARE(run.status, 1);
        QVERIFY(run.out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestGenerator)
#include "tst_generator.moc"
