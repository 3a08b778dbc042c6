#include "ExtractionFixtures.h"
#include "browse/PageExtraction.h"
#include "core/base/TextFile.h"
#include "sources/EnabledExtensions.h"

#include <QtTest>

using namespace wendlecott;
using testing::extractionTable;
using testing::latin1List;

namespace {

browse::ExtractedPage extractOnce(const QString &markup, const core::TldTable &table = extractionTable())
{
    browse::FoundNames found;
    return browse::extractPageNames(found, table, markup);
}

QStringList pageNames(const QString &markup)
{
    return extractOnce(markup).names();
}

} // namespace

class TestPageExtraction : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void positionAfterExtension_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qsizetype>("position");
        QTest::newRow("just after the extension") << QStringLiteral("foo.com") << qsizetype(8);
        QTest::newRow("any case") << QStringLiteral("FOO.COM bar") << qsizetype(8);
        QTest::newRow("table order before text order") << QStringLiteral("x.net and y.com") << qsizetype(16);
        QTest::newRow("first occurrence of the row") << QStringLiteral("a.com b.com") << qsizetype(6);
        QTest::newRow("inside a longer word") << QStringLiteral(".community") << qsizetype(5);
        QTest::newRow("disabled row") << QStringLiteral("foo.fr") << qsizetype(0);
        QTest::newRow("proxy row") << QStringLiteral("foo.proxy") << qsizetype(0);
        QTest::newRow("no dot") << QStringLiteral("foocom") << qsizetype(0);
        QTest::newRow("empty") << QString() << qsizetype(0);
    }
    void positionAfterExtension()
    {
        QFETCH(QString, text);
        QFETCH(qsizetype, position);
        QCOMPARE(browse::positionAfterExtension(text, extractionTable()), position);
    }

    void pageRules_data()
    {
        QTest::addColumn<QString>("markup");
        QTest::addColumn<QStringList>("names");
        const auto row = [](const char *name, const char *markup, std::initializer_list<const char *> names) {
            QTest::newRow(name) << QString::fromUtf8(markup) << latin1List(names);
        };
        row("name in running text", "<p>visit foo.com today</p>", {"foo.com"});
        row("line that starts with a name", "foo.com is where we are", {"foo.com"});
        row("line that is a name", "<br>\nbar.net\n", {"bar.net"});
        row("extension ends in the first four characters", "a.de is short", {"a.de"});
        row("extension ends at the fifth character", "\nab.us\n", {"ab.us"});
        row("bare extension", "\n.de and more", {});
        row("e-mail address", "write to info@foo.com now", {"foo.com"});
        row("mailto link", "<a href=\"mailto:someone@bar.com\">mail</a>", {"bar.com"});
        row("link keeps its case", "<a href=\"http://www.Foo.com/x\">", {"Foo.com"});
        row("https link", "<a href=\"https://twitter.com/x\">Twitter</a>", {"twitter.com"});
        row("escaped https address in a query", "<a href=\"/share?u=https%3A%2F%2Ffoo.com%2Fx\">",
            {"foo.com"});
        row("word-break hint inside a name", "see exam<wbr>ple.com for more", {"example.com"});
        row("word-break hint inside a link", "<a href=\"http://www.exam<wbr>ple.com/\">", {"example.com"});
        row("substring of an earlier name", "example.com then ample.com", {"example.com"});
        row("case-blind duplicate", "<a href=\"http://www.Foo.com/\">foo.com</a>", {"Foo.com"});
        row("sub-domain", "<a href=\"http://sub.example.com/x\">", {"example.com"});
        row("yahoo links go the plain-text way", "<a href=\"http://r.search.yahoo.com/x\">", {"yahoo.com"});
        row("upper-case bold stays on the address path", "http://<B>foo.com/", {"Bfoo.com"});
        row("targetblank only on the address path", "see targetblank.com", {"targetblank.com"});
        row("targetblank address", "http://targetblank.com/", {});
        row("script text", "window[n](r.command, r.parameter)", {});
        row("port goes with its colon", "http://www.foo.com:8080/x", {"foo.com"});
        row("escaped line break", "http://www.foo.com%0Abar/", {});
        row("disabled extension", "see foo.fr and http://www.bar.fr/", {});
        row("unknown second level", "http://www.a.b.de/", {});
        row("mail host of three labels loses the first", "mail me at a@x.y.de", {"y.de"});
    }
    void pageRules()
    {
        QFETCH(QString, markup);
        QFETCH(QStringList, names);
        QCOMPARE(pageNames(markup), names);
    }

    void aLongRunOfTextIsNoName()
    {
        QCOMPARE(pageNames(QString(300, u'a') + QStringLiteral(".com")), QStringList());
        QCOMPARE(pageNames(QString(63, u'a') + QStringLiteral(".com")),
                 QStringList{QString(63, u'a') + QStringLiteral(".com")});
    }

    void frames_data()
    {
        QTest::addColumn<QString>("markup");
        QTest::addColumn<QStringList>("frames");
        QTest::addColumn<QStringList>("names");
        const auto row = [](const char *name, const char *markup, std::initializer_list<const char *> frames,
                            std::initializer_list<const char *> names) {
            QTest::newRow(name) << QString::fromUtf8(markup) << latin1List(frames) << latin1List(names);
        };
        row("frame set",
            "<frameset><frame src=\"http://foo.com/menu.html\" name=\"m\"></frameset>\nafter.net",
            {"foo.com/menu.html"}, {"after.net"});
        row("the rest of the tag belongs to the address",
            "<frame src=\"http://foo.com/menu.html\" name=\"m\">x.net", {"foo.com/menu.html"}, {});
        row("two frames in turn",
            "<FRAME SRC=\"http://a.com/\">\n<frame src=\"http://b.net/x.html\" name=\"b\">\nc.org",
            {"a.com/", "b.net/x.html"}, {"c.org"});
        row("https frame", "<frame src=\"https://foo.com/x\">", {"foo.com/x"}, {});
        row("frame line at the end", "<frame src=\"http://foo.bar", {"foo.bar"}, {});
        row("frame tag as the last line", "seen.com <frame src=", {}, {"seen.com"});
        row("frameset alone", "<frameset cols=\"50%,50%\">x.com</frameset>", {}, {"x.com"});
    }
    void frames()
    {
        QFETCH(QString, markup);
        QFETCH(QStringList, frames);
        QFETCH(QStringList, names);
        const browse::ExtractedPage page = extractOnce(markup);
        QCOMPARE(page.frames(), frames);
        QCOMPARE(page.names(), names);
    }

    void followingAFrameShowsItsAddress()
    {
        browse::FoundNames found;
        browse::PageExtraction extraction(
            found, extractionTable(),
            QStringLiteral("<frame src=\"http://foo.com/a.html\" name=\"x\">\n<p>more</p>"));
        QString shown;
        while (!extraction.step(1)) {
            if (shown.isEmpty())
                shown = extraction.result().statusText;
        }
        QCOMPARE(shown, QStringLiteral("Following Frame: foo.com/a.html"));
        QCOMPARE(extraction.result().statusText, QStringLiteral("No Domains Found"));
        QCOMPARE(extraction.result().findings.size(), 1);
        QCOMPARE(extraction.result().findings.first().kind, browse::PageFinding::Kind::Frame);
    }

    void statusAndQueueText()
    {
        browse::FoundNames found;
        const browse::ExtractedPage empty =
            browse::extractPageNames(found, extractionTable(), QStringLiteral("<p>nothing</p>"));
        QCOMPARE(empty.statusText, QStringLiteral("No Domains Found"));
        QCOMPARE(empty.queueText, QStringLiteral("\r\n"));

        const browse::ExtractedPage page =
            browse::extractPageNames(found, extractionTable(), QStringLiteral("a.com b.net a.com"));
        QCOMPARE(page.statusText, QStringLiteral("Domains Found, Checking Status"));
        QCOMPARE(page.queueText, QStringLiteral("a.com\r\nb.net\r\n\r\n"));
        QCOMPARE(found.foundTotal(), 2);
        QCOMPARE(found.foundOnPage(), 2);
        QVERIFY(found.pageNames().isEmpty());

        // The count of the page goes on until the next page begins to load.
        const browse::ExtractedPage again =
            browse::extractPageNames(found, extractionTable(), QStringLiteral("a.com"));
        QCOMPARE(again.queueText, QStringLiteral("\r\n"));
        QCOMPARE(again.statusText, QStringLiteral("Domains Found, Checking Status"));
        found.startPage();
        QCOMPARE(browse::extractPageNames(found, extractionTable(), QStringLiteral("a.com")).statusText,
                 QStringLiteral("No Domains Found"));
        QCOMPARE(found.foundTotal(), 2);
    }

    void seenNamesOutliveThePageUntilTheListIsCleared()
    {
        browse::FoundNames found;
        QCOMPARE(browse::extractPageNames(found, extractionTable(),
                                          QStringLiteral("<a href=\"http://www.Foo.com/\">"))
                     .names(),
                 QStringList{QStringLiteral("Foo.com")});
        found.startPage();
        QVERIFY(browse::extractPageNames(found, extractionTable(), QStringLiteral("foo.com and oo.com"))
                    .names()
                    .isEmpty());
        found.forgetSeenNames();
        QCOMPARE(browse::extractPageNames(found, extractionTable(), QStringLiteral("foo.com")).names(),
                 QStringList{QStringLiteral("foo.com")});
        QCOMPARE(found.foundTotal(), 2);
    }

    void nothingIsTakenWithoutAnEnabledRow()
    {
        core::TldTable table = extractionTable();
        for (core::TldEntry &row : table.rows)
            row.enabled = false;
        const browse::ExtractedPage page =
            extractOnce(QStringLiteral("foo.com http://www.bar.net/ <frame src=\"http://f.com/\">"), table);
        QVERIFY(page.names().isEmpty());
        QCOMPARE(page.frames(), QStringList{QStringLiteral("f.com/")});
    }

    void interleavedExtractionsShareTheWindowsNames()
    {
        browse::FoundNames found;
        browse::PageExtraction first(found, extractionTable(), QStringLiteral("one.com\ntwo.com\nthree.com"));
        browse::PageExtraction second(found, extractionTable(), QStringLiteral("two.com\nfour.net"));
        QVERIFY(!first.step(1));  // one.com
        QVERIFY(second.step(10)); // two.com and four.net; flushes one.com with them
        QCOMPARE(second.result().names(),
                 (QStringList{QStringLiteral("two.com"), QStringLiteral("four.net")}));
        QCOMPARE(second.result().queueText, QStringLiteral("one.com\r\ntwo.com\r\nfour.net\r\n\r\n"));
        first.run();
        QCOMPARE(first.result().names(),
                 (QStringList{QStringLiteral("one.com"), QStringLiteral("three.com")}));
        QCOMPARE(first.result().queueText, QStringLiteral("three.com\r\n\r\n"));
        QCOMPARE(found.foundTotal(), 4);
    }

    void realPagesGiveCleanNames()
    {
        const core::TldTable table = extractionTable();
        const sources::EnabledExtensions extensions(table);
        browse::FoundNames window;
        qsizetype total = 0;
        for (const QString &folder : {QStringLiteral("pages"), QStringLiteral("serp")}) {
            for (const QString &file : testing::pageFiles(folder)) {
                const QString markup = core::decodeText(testing::pageBytes(file));
                const QStringList names = extractOnce(markup, table).names();
                for (const QString &name : names) {
                    QVERIFY2(testing::isCleanDomain(name), qPrintable(file + QLatin1String(": ") + name));
                    QVERIFY2(extensions.foundIn(name), qPrintable(name));
                    QVERIFY2(!name.startsWith(QLatin1String("http"), Qt::CaseInsensitive), qPrintable(name));
                }
                QVERIFY2(testing::firstRepeatedName(names).isEmpty(), qPrintable(file));
                total += browse::extractPageNames(window, table, markup).names().size();
            }
        }
        QCOMPARE(window.foundTotal(), qint32(total));
        QVERIFY(total > 300);
        QVERIFY(testing::firstRepeatedName(window.seenNames().names()).isEmpty());
    }

    void realPagesGiveTheSitesTheyName_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("python blog") << QStringLiteral("pages/11-blog-python-org.html")
                                     << latin1List({"blogger.com", "disqus.com", "thegreenplace.net",
                                                    "twitter.com"});
        QTest::newRow("https links only") << QStringLiteral("pages/05-soundofscience-fr-1927.html")
                                          << latin1List({"twitter.com", "spotify.com", "flickr.com"});
        QTest::newRow("law blog") << QStringLiteral("pages/09-telemedicus-info-rezension.html")
                                  << latin1List({"medienpolitik.net", "dr-bahr.com", "phpbb.com"});
        QTest::newRow("own site") << QStringLiteral("pages/13-gregoryszorc-com-python3.html")
                                  << latin1List({"gregoryszorc.com", "github.com"});
        QTest::newRow("german site, .de enabled")
            << QStringLiteral("pages/01-stuttgart-de.html") << latin1List({"stuttgart.de", "youtube.com"});
    }
    void realPagesGiveTheSitesTheyName()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, expected);
        const QStringList names = pageNames(
            core::decodeText(testing::pageBytes(QStringLiteral(WENDLECOTT_TESTDATA "/html/") + file)));
        for (const QString &name : expected)
            QVERIFY2(names.contains(name), qPrintable(name + QLatin1String(" not in ") + names.join(u' ')));
    }

    void hostileMarkupStaysBounded()
    {
        // A megabyte on one line, thousands of frame tags, binary bytes, a dot-only page.
        QVERIFY(pageNames(QString(1 << 20, u'a') + QStringLiteral(".com")).isEmpty());
        // Each frame tag line takes the next two lines as its address: one frame per three tags.
        const browse::ExtractedPage frames = extractOnce(QStringLiteral("<frame src=").repeated(20000));
        QCOMPARE(frames.frames().size(), 6667);
        QVERIFY(frames.names().isEmpty());
        QByteArray bytes;
        for (quint32 i = 0; i < (1u << 20); ++i)
            bytes.append(char(i * 7919u % 256u));
        for (const QString &name : pageNames(core::decodeText(bytes)))
            QVERIFY2(testing::isCleanDomain(name), qPrintable(name));
        QVERIFY(pageNames(QString(1 << 20, u'.')).isEmpty());
        QString many;
        for (int i = 0; i < 20000; ++i)
            many += QStringLiteral("n%1x.com ").arg(i);
        QCOMPARE(pageNames(many).size(), 20000);
    }
};

QTEST_GUILESS_MAIN(TestPageExtraction)
#include "tst_pageextraction.moc"
