#include "ExtractionFixtures.h"
#include "sources/EnabledExtensions.h"
#include "sources/SearchExtraction.h"
#include "sources/SeenNames.h"
#include "sources/TextOps.h"

#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

using namespace wendlecott;
using testing::extractionTable;

namespace {

QStringList searchNames(const QString &page, const core::TldTable &table = extractionTable())
{
    sources::SearchExtraction extraction(table);
    extraction.addPage(page);
    return extraction.names();
}

QString randomText(QRandomGenerator &random, const QString &alphabet, int maxLength)
{
    const int length = int(random.bounded(maxLength + 1));
    QString text;
    for (int i = 0; i < length; ++i)
        text += alphabet.at(int(random.bounded(int(alphabet.size()))));
    return text;
}

// positionAfterExtension as the rule reads: rows in order, the first occurrence of the first
// row found.
qsizetype positionByTheRule(const QString &text, const core::TldTable &table)
{
    for (const core::TldEntry &row : table.rows) {
        if (!row.enabled || row.extension == core::kProxyExtension)
            continue;
        const qsizetype at = text.indexOf(QLatin1Char('.') + row.extension, 0, Qt::CaseInsensitive);
        if (at >= 0)
            return at + 1 + row.extension.size() + 1;
    }
    return 0;
}

} // namespace

class TestSearchExtraction : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The duplicate test is a substring test on the names' text, without regard to case.
    void seenNamesIsASubstringTest()
    {
        sources::SeenNames seen;
        QVERIFY(seen.contains(QString()));
        QVERIFY(!seen.contains(u"a"));
        seen.add(QStringLiteral("Example.com"));
        QVERIFY(seen.contains(u"example.com"));
        QVERIFY(seen.contains(u"AMPLE.COM"));
        QVERIFY(seen.contains(u"e.c"));
        QVERIFY(!seen.contains(u"example.comx"));
        QVERIFY(!seen.contains(u"examples.com"));
        seen.add(QStringLiteral("foo.net"));
        QVERIFY(seen.contains(u"com\r\nfoo"));
        QCOMPARE(seen.text(), QStringLiteral("Example.com\r\nfoo.net\r\n"));
        QCOMPARE(seen.names(), (QStringList{QStringLiteral("Example.com"), QStringLiteral("foo.net")}));
        seen.clear();
        QVERIFY(seen.isEmpty());
        QVERIFY(!seen.contains(u"foo"));
        seen.add(QStringLiteral("bar.de"));
        QVERIFY(seen.contains(u"BAR"));
        QVERIFY(!seen.contains(u"foo"));
    }

    void seenNamesMatchesASearchOfTheText()
    {
        QRandomGenerator random(4711);
        const QString alphabet = QStringLiteral("abAB.\u00c4\u00e4");
        for (int round = 0; round < 40; ++round) {
            sources::SeenNames seen;
            QString text;
            for (int i = 0; i < 30; ++i) {
                const QString name = randomText(random, alphabet, 9);
                seen.add(name);
                text += name + QLatin1String("\r\n");
                for (int probe = 0; probe < 20; ++probe) {
                    const QString query = randomText(random, alphabet + QLatin1String("\r\n"), 6);
                    QVERIFY2(seen.contains(query) == text.contains(query, Qt::CaseInsensitive),
                             qPrintable(query + QLatin1String(" in ") + text));
                }
            }
        }
    }

    void enabledExtensionsAnswerAsTheRules()
    {
        QRandomGenerator random(99);
        const core::TldTable table =
            testing::tableOf({QStringLiteral("co.uk"), QStringLiteral("de"), QStringLiteral("com"),
                              QStringLiteral("c"), QStringLiteral("\u00e9t")});
        core::TldTable withOff = table;
        withOff.rows[2].enabled = false;
        const QString alphabet = QStringLiteral("cCoOmMdDeEuUk.\u00c9t ");
        for (const core::TldTable &t : {table, withOff}) {
            const sources::EnabledExtensions extensions(t);
            for (int i = 0; i < 3000; ++i) {
                const QString text = randomText(random, alphabet, 12);
                QCOMPARE(extensions.foundIn(text), sources::hasEnabledExtension(text, t));
                QCOMPARE(extensions.positionAfterExtension(text), positionByTheRule(text, t));
            }
        }
    }

    // A copy keeps answering after its original is replaced and gone.
    void aCopyOfEnabledExtensionsStandsAlone()
    {
        const QStringList rows{QStringLiteral("de"), QStringLiteral("com"), QStringLiteral("net")};
        std::optional<sources::EnabledExtensions> copy;
        {
            sources::EnabledExtensions original(testing::tableOf(rows));
            copy.emplace(original);
            original = sources::EnabledExtensions(testing::tableOf({QStringLiteral("xx")}));
        }
        // Blocks of the sizes the original held take the memory it gave back.
        std::vector<QByteArray> reuse;
        for (int size = 16; size <= 256; size += 8) {
            for (int i = 0; i < 16; ++i)
                reuse.push_back(QByteArray(size, 'z'));
        }
        std::vector<std::unique_ptr<char[]>> blocks;
        for (int size = 16; size <= 256; size += 8) {
            for (int i = 0; i < 16; ++i) {
                blocks.push_back(std::make_unique<char[]>(std::size_t(size)));
                std::fill_n(blocks.back().get(), size, 'z');
            }
        }
        QVERIFY(copy->foundIn(u"shop.com"));
        QVERIFY(!copy->foundIn(u"shop.zz"));
        QCOMPARE(copy->positionAfterExtension(u"a.net"), qsizetype(6));
    }

    void listBuilderRules_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("names");
        const auto row = [](const char *name, const char *page, std::initializer_list<const char *> names) {
            QTest::newRow(name) << QString::fromLatin1(page) << testing::latin1List(names);
        };
        row("link keeps its case", "<a href=\"http://www.Example.com/path\">x</a>", {"Example.com"});
        row("case-blind duplicate", "<a href=\"http://www.Example.com/\"> <a href=\"http://example.com/a\">",
            {"Example.com"});
        row("sub-domain", "<a href=\"http://sub.example.com/x\">", {"example.com"});
        row("extension of four letters yields nothing", "<a href=\"http://example.info/\">", {});
        row("substring of an earlier name",
            "<a href=\"http://www.example.com/\"><a href=\"http://ample.com/\">", {"example.com"});
        row("longer name after a shorter one", "http://www.ample.com/ http://www.example.com/",
            {"ample.com", "example.com"});
        row("yahoo and its images and afternic",
            "http://r.search.yahoo.com/x.com/ http://l.yimg.com/a.com/ "
            "http://www.afternic.com/b.com/",
            {});
        row("mail address", "http://user@www.foo.com/", {});
        row("https link", "<a href=\"https://twitter.com/x\">", {"twitter.com"});
        row("upper-case scheme", "<a href=\"HTTPS://www.Foo.com/\"><a href=\"HTTP://www.bar.net/\">",
            {"Foo.com", "bar.net"});
        row("unquoted www attribute", "<a href=www.foo.com/x>", {"foo.com"});
        row("word-break hints", "<a href=\"http://www.exam<wbr>ple.com/\">http://www.an<WBR />other.org/",
            {"example.com", "another.org"});
        row("first upper-case bold removed", "http://<B>foo.com/", {"foo.com"});
        row("port goes with its colon", "http://www.foo.com:8080/x", {"foo.com"});
        row("quote right after the host", "<a href=\"http://example.com\">", {});
        row("punctuation after the name", "(see http://www.foo.com), or", {});
        row("escaped line break", "http://www.foo.com%0Abar/", {});
        row("targetblank", "http://targetblank.com/", {});
        row("disabled extension", "http://www.foo.fr/", {});
        row("proxy row serves nothing", "http://www.foo.proxy/", {});
        row("two-letter country second level", "http://www.foo.co.uk/", {"foo.co.uk"});
        row("unknown second level", "http://www.a.b.de/", {});
        row("dot community counts as com", "http://www.foo.community/", {"foo.community"});
        row("plain text is not read", "visit foo.com today, or mail me@bar.com", {});
        row("escaped link", "http://www.foo.com%2Fpath", {"foo.com"});
        row("empty page", "", {});
        row("binary bytes", "\x01\x02http://\x7f.com/\xff\xfe http://www.ok.com/", {"ok.com"});
    }
    void listBuilderRules()
    {
        QFETCH(QString, page);
        QFETCH(QStringList, names);
        QCOMPARE(searchNames(page), names);
    }

    void nothingIsTakenWithoutAnEnabledRow()
    {
        core::TldTable table = extractionTable();
        for (core::TldEntry &row : table.rows)
            row.enabled = row.extension == core::kProxyExtension;
        QVERIFY(searchNames(QStringLiteral("http://www.foo.com/ http://www.bar.net/"), table).isEmpty());
    }

    void pagesShareTheRunsDuplicateTestAndCounts()
    {
        sources::SearchExtraction run(extractionTable());
        QCOMPARE(run.statusText(), QStringLiteral("Extracted 0 unique domain names"));
        QCOMPARE(run.addPage(QStringLiteral("http://www.Example.com/ http://www.other.net/")), 2);
        QVERIFY(run.wantsNextPage(100));
        QVERIFY(!run.wantsNextPage(2));
        QCOMPARE(run.addPage(QStringLiteral("http://www.example.com/ http://ample.com/ http://new.org/")), 1);
        QCOMPARE(run.totalFound(), 3);
        QCOMPARE(run.foundOnLastPage(), 1);
        QCOMPARE(run.statusText(), QStringLiteral("Extracted 3 unique domain names"));
        QCOMPARE(run.listText(), QStringLiteral("Example.com\r\nother.net\r\nnew.org\r\n"));
        // A page that adds nothing, a failed fetch included, ends the run.
        QCOMPARE(run.addPage(QString()), 0);
        QVERIFY(!run.wantsNextPage(100));
        QCOMPARE(run.finishedListText(), QStringLiteral("Example.com\r\nother.net\r\nnew.org\r\n\r\n"));
    }

    // A hostile page with more links than any search asks for gives only the first ones:
    // the duplicate test's memory is bounded per page, and the next page is read as usual.
    void aPageGivesAtMostItsShareOfNames()
    {
        constexpr qint32 kMax = sources::SearchExtraction::kMaxNamesPerPage;
        QString page;
        for (qint32 i = 0; i < kMax + 50; ++i)
            page += QStringLiteral("http://www.n%1.com/\n").arg(i, 6, 10, QLatin1Char('0'));
        sources::SearchExtraction run(extractionTable());
        QCOMPARE(run.addPage(page), kMax);
        QCOMPARE(run.names().last(), QStringLiteral("n%1.com").arg(kMax - 1, 6, 10, QLatin1Char('0')));
        QCOMPARE(run.addPage(QStringLiteral("http://www.next.com/ http://www.n000001.com/")), 1);
        QCOMPARE(run.totalFound(), kMax + 1);
    }

    void aRunThatFindsNothingWritesOneEmptyLine()
    {
        sources::SearchExtraction run(extractionTable());
        run.addPage(QString());
        QCOMPARE(run.totalFound(), 0);
        QCOMPARE(run.finishedListText(), QStringLiteral("\r\n"));
        QCOMPARE(sources::finishedStatusText(0), QStringLiteral("Finished! Extracted 0 domain names."));
        QCOMPARE(sources::listCreatedMessageText(0),
                 QStringLiteral("List of 0 unique domains was created successfully!"));
    }

    void finishCollapsesEmptyLinesInSevenPasses()
    {
        QCOMPARE(sources::collapseEmptyLines(QStringLiteral("a\r\n\r\n\r\nb\r\n")),
                 QStringLiteral("a\r\nb\r\n"));
        // Each pass halves a run of line ends: seven passes bring 128 down to one, not 129.
        const QString ends = QStringLiteral("\r\n").repeated(128);
        QCOMPARE(sources::collapseEmptyLines(QLatin1String("a") + ends + QLatin1String("b")),
                 QStringLiteral("a\r\nb"));
        QCOMPARE(sources::collapseEmptyLines(QLatin1String("a") + ends + QLatin1String("\r\nb")),
                 QStringLiteral("a\r\n\r\nb"));
    }

    void targetFollowsCombo2()
    {
        QCOMPARE(sources::searchTarget(-1), 100);
        QCOMPARE(sources::searchTarget(0), 100);
        QCOMPARE(sources::searchTarget(1), 200);
        QCOMPARE(sources::searchTarget(2), 500);
        QCOMPARE(sources::searchTarget(3), 1000);
    }

    void aPageReadLineByLineGivesTheSameNames()
    {
        const QString page = sources::pageTextFromBytes(
            testing::pageBytes(testing::pageFiles(QStringLiteral("serp")).value(5)));
        QVERIFY(!page.isEmpty());
        sources::SearchExtraction whole(extractionTable());
        whole.addPage(page);
        sources::SearchExtraction stepped(extractionTable());
        stepped.beginPage(page);
        int steps = 0;
        while (!stepped.processLines(7))
            ++steps;
        QVERIFY(steps > 10);
        QVERIFY(stepped.pageDone());
        QCOMPARE(stepped.names(), whole.names());
        QVERIFY(stepped.totalFound() > 5);
    }

    void resultPagesGiveCleanNames()
    {
        const core::TldTable table = extractionTable();
        const sources::EnabledExtensions extensions(table);
        sources::SearchExtraction run(table);
        for (const QString &file : testing::pageFiles(QStringLiteral("serp"))) {
            sources::SearchExtraction single(table);
            single.addPage(sources::pageTextFromBytes(testing::pageBytes(file)));
            run.addPage(sources::pageTextFromBytes(testing::pageBytes(file)));
            for (const QString &name : single.names()) {
                QVERIFY2(testing::isCleanDomain(name), qPrintable(file + QLatin1String(": ") + name));
                QVERIFY2(extensions.foundIn(name), qPrintable(name));
                QVERIFY2(!name.startsWith(QLatin1String("http"), Qt::CaseInsensitive), qPrintable(name));
            }
            QVERIFY2(testing::firstRepeatedName(single.names()).isEmpty(), qPrintable(file));
        }
        QVERIFY(run.totalFound() > 150);
        QVERIFY(testing::firstRepeatedName(run.names()).isEmpty());
    }

    void resultPagesGiveTheLinkedSites_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("google, domain search")
            << QStringLiteral("06-google-serp-parser-domain-nojs.html")
            << testing::latin1List({"godaddy.com", "namecheap.com", "semrush.com", "domainnamewire.com",
                                    "merriam-webster.com"});
        QTest::newRow("bing, tyres") << QStringLiteral("13-bing-se-scraper-bing3.html")
                                     << testing::latin1List(
                                            {"tirerack.com", "discounttire.com", "walmart.com"});
        QTest::newRow("duckduckgo, https links")
            << QStringLiteral("14-duckduckgo-se-scraper-duckduckgo1.html")
            << testing::latin1List({"twitter.com", "reddit.com", "pcmag.com"});
        QTest::newRow("google, 100 results")
            << QStringLiteral("07-google-serp-parser-google100-nojs.html")
            << testing::latin1List({"facebook.com", "twitter.com", "linkedin.com", "youtube.com"});
    }
    void resultPagesGiveTheLinkedSites()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, expected);
        const QStringList names = searchNames(sources::pageTextFromBytes(
            testing::pageBytes(QStringLiteral(WENDLECOTT_TESTDATA "/html/serp/") + file)));
        for (const QString &name : expected)
            QVERIFY2(names.contains(name), qPrintable(name + QLatin1String(" not in ") + names.join(u' ')));
    }

    void yahooResultLinksAreLeftOut()
    {
        for (const QString &file : testing::pageFiles(QStringLiteral("serp"))) {
            if (!file.contains(QLatin1String("yahoo")))
                continue;
            for (const QString &name : searchNames(sources::pageTextFromBytes(testing::pageBytes(file))))
                QVERIFY2(!name.contains(QLatin1String("yahoo.com"), Qt::CaseInsensitive), qPrintable(name));
        }
    }

    void hostilePagesStayBounded()
    {
        // One line of a megabyte, a megabyte of bytes of every value, thousands of names.
        QCOMPARE(searchNames(QStringLiteral("http://") + QString(1 << 20, u'a') + QStringLiteral(".com/")),
                 QStringList());
        QByteArray bytes;
        for (quint32 i = 0; i < (1u << 20); ++i)
            bytes.append(char(i * 7919u % 256u));
        for (const QString &name : searchNames(sources::pageTextFromBytes(bytes)))
            QVERIFY2(testing::isCleanDomain(name), qPrintable(name));
        QString many;
        for (int i = 0; i < 20000; ++i)
            many += QStringLiteral("<a href=\"http://www.n%1x.com/\">").arg(i);
        const QStringList names = searchNames(many);
        QCOMPARE(names.size(), 20000);
        QCOMPARE(names.last(), QStringLiteral("n19999x.com"));
    }
};

QTEST_GUILESS_MAIN(TestSearchExtraction)
#include "tst_searchextraction.moc"
