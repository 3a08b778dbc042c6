#include "core/lists/ListRules.h"

#include <QtTest>

using namespace wendlecott;
using core::ListId;
using core::ProfileClass;

namespace {

const QDateTime kMoment(QDate(2026, 12, 6), QTime(9, 40, 0));

} // namespace

class TestListRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void classifiesByFirstLabel_data()
    {
        QTest::addColumn<QString>("domain");
        QTest::addColumn<int>("list");
        QTest::addColumn<QString>("fileBase");
        QTest::newRow("4 letters .com") << "abcd.com" << 3 << "SuperHighProfile";
        QTest::newRow("5 letters") << "abcde.info" << 4 << "HighProfile";
        QTest::newRow("7 letters") << "abcdefg.co.uk" << 4 << "HighProfile";
        QTest::newRow("8 letters .net") << "abcdefgh.net" << 1 << "LowProfile";
        QTest::newRow(".org alone") << ".org" << 3 << "SuperHighProfile";
        QTest::newRow("empty") << "" << 3 << "SuperHighProfile";
        QTest::newRow("first label only") << "ab.abcd.com" << 3 << "SuperHighProfile";
        QTest::newRow("long later label") << "abc.abcdefghij.com" << 3 << "SuperHighProfile";
        QTest::newRow("no dot, 4") << "abcd" << 3 << "SuperHighProfile";
        QTest::newRow("no dot, 5") << "abcde" << 4 << "HighProfile";
        QTest::newRow("no dot, long") << "abcdefghij" << 1 << "LowProfile";
        QTest::newRow("upper-case .COM is a name") << ".COM" << 3 << "SuperHighProfile";
        QTest::newRow("characters, not bytes") << QStringLiteral("m\u00fcnch.de") << 4 << "HighProfile";
    }
    void classifiesByFirstLabel()
    {
        QFETCH(QString, domain);
        QFETCH(int, list);
        QFETCH(QString, fileBase);
        const ListId id = core::listOf(core::classify(domain));
        QCOMPARE(static_cast<int>(id), list);
        QCOMPARE(core::fileBaseName(id), fileBase);
        QVERIFY(core::hasLiveFile(id));
    }

    void onlyBareComAndNetAreIgnored()
    {
        QVERIFY(core::isBareExtension(QStringLiteral(".com")));
        QVERIFY(core::isBareExtension(QStringLiteral(".net")));
        for (const char *text : {".COM", ".org", "com", " .com", ".com ", "a.com", ""})
            QVERIFY2(!core::isBareExtension(QString::fromLatin1(text)), text);
    }

    void listIdsFromIndexes()
    {
        QCOMPARE(core::listIdFromIndex(0), std::nullopt);
        QCOMPARE(core::listIdFromIndex(6), std::nullopt);
        QCOMPARE(core::listIdFromIndex(-1), std::nullopt);
        QCOMPARE(core::listIdFromIndex(1), std::optional<ListId>(ListId::Low));
        QCOMPARE(core::listIdFromIndex(5), std::optional<ListId>(ListId::Saved));
        QVERIFY(!core::isResultList(ListId::Saved));
        QVERIFY(!core::isResultList(ListId::None));
        QVERIFY(core::isResultList(ListId::Registered));
        QVERIFY(!core::hasLiveFile(ListId::Registered));
        QVERIFY(!core::hasLiveFile(ListId::Saved));
    }

    void captionsTooltipsAndFileNames_data()
    {
        QTest::addColumn<int>("list");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("counted");
        QTest::addColumn<QString>("tooltip");
        QTest::addColumn<QString>("fileBase");
        QTest::newRow("Low") << 1 << "Low Profile"
                             << "Low Profile (7)"
                             << "These domains have 8 or more characters."
                             << "LowProfile";
        QTest::newRow("Registered") << 2 << "Registered"
                                    << "Registered (7)"
                                    << "These domain names are already registered."
                                    << "";
        QTest::newRow("High") << 3 << "High Profile"
                              << "High Profile (7)"
                              << "These domains have less than 5 characters"
                              << "SuperHighProfile";
        QTest::newRow("Mid") << 4 << "Mid Profile"
                             << "Mid Profile (7)"
                             << "These domains have 5 to 7 characters"
                             << "HighProfile";
        QTest::newRow("Saved never counts") << 5 << "Saved Domains"
                                            << "Saved Domains"
                                            << "Drag a domain name here to save it."
                                            << "";
        QTest::newRow("None") << 0 << ""
                              << ""
                              << ""
                              << "";
    }
    void captionsTooltipsAndFileNames()
    {
        QFETCH(int, list);
        QFETCH(QString, caption);
        QFETCH(QString, counted);
        QFETCH(QString, tooltip);
        QFETCH(QString, fileBase);
        const auto id = static_cast<ListId>(list);
        QCOMPARE(core::uncountedCaption(id), caption);
        QCOMPARE(core::countedCaption(id, 7), counted);
        QCOMPARE(core::listTooltip(id), tooltip);
        QCOMPARE(core::fileBaseName(id), fileBase);
    }

    // The caption's tooltip says what the number counts and how many entries are shown.
    void captionTooltipTellsCountAndSize()
    {
        const QString high = core::captionTooltip(ListId::High, 40);
        QVERIFY(high.startsWith(core::listTooltip(ListId::High) + QStringLiteral("\n\n")));
        QVERIFY(high.contains(QStringLiteral("since the last Start")));
        QVERIFY(high.contains(QStringLiteral("not the number of entries shown")));
        QVERIFY(high.endsWith(QStringLiteral("The list shows 40 entries.")));
        QVERIFY(core::captionTooltip(ListId::Low, 1).endsWith(QStringLiteral("The list shows 1 entry.")));
        QVERIFY(core::captionTooltip(ListId::Mid, 0).endsWith(QStringLiteral("The list shows 0 entries.")));
        // Only Registered empties itself; the saved list has no count.
        QVERIFY(core::captionTooltip(ListId::Registered, 3).contains(QStringLiteral("at most 101")));
        QVERIFY(!high.contains(QStringLiteral("at most")));
        const QString saved = core::captionTooltip(ListId::Saved, 2);
        QVERIFY(!saved.contains(QStringLiteral("since the last Start")));
        QCOMPARE(saved, core::listTooltip(ListId::Saved) + QStringLiteral("\n\nThe list shows 2 entries."));
        QVERIFY(core::captionTooltip(ListId::None, 2).isEmpty());
    }

    void negativeCountsAreShownAsTheyAre()
    {
        QCOMPARE(core::countedCaption(ListId::High, -1), QStringLiteral("High Profile (-1)"));
    }

    void fileStamp_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QDateTime>("moment");
        QTest::addColumn<QString>("stamp");
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("United States, morning") << us << kMoment << "126202694000AM";
        QTest::newRow("United States, evening")
            << us << QDateTime(QDate(2026, 1, 2), QTime(21, 5, 9)) << "12202690509PM";
        QTest::newRow("United Kingdom")
            << QLocale(QLocale::English, QLocale::UnitedKingdom) << kMoment << "06122026094000";
        QTest::newRow("Germany keeps its dots")
            << QLocale(QLocale::German, QLocale::Germany) << kMoment << "06.12.2026094000";
    }
    void fileStamp()
    {
        QFETCH(QLocale, locale);
        QFETCH(QDateTime, moment);
        QFETCH(QString, stamp);
        QCOMPARE(core::fileStampFor(moment, locale), stamp);
    }

    void fileStampsAreSafeInFileNamesAndChangeEverySecond()
    {
        const QList<QLocale> locales = {QLocale::c(), QLocale(QLocale::Arabic, QLocale::Egypt),
                                        QLocale(QLocale::Chinese, QLocale::China),
                                        QLocale(QLocale::French, QLocale::Canada)};
        for (const QLocale &locale : locales) {
            const QString stamp = core::fileStampFor(kMoment, locale);
            QVERIFY2(!stamp.isEmpty(), qPrintable(locale.name()));
            for (const QChar c : stamp)
                QVERIFY2(c.isLetterOrNumber() || c == QLatin1Char('.') || c == QLatin1Char('-'),
                         qPrintable(locale.name() + QLatin1Char(' ') + stamp));
            QVERIFY(core::fileStampFor(kMoment.addSecs(1), locale) != stamp);
        }
    }

    void purchaseLinkEncodesTheName()
    {
        QCOMPARE(core::purchaseLinkPrefix(),
                 QStringLiteral("https://www.secureserver.net/gdshop/registrar/search.asp?prog_id="
                                "wendlecott&from=rhp&checkAvail=1&domainToCheck="));
        QCOMPARE(core::purchaseLink(QStringLiteral("plain-name.com")),
                 core::purchaseLinkPrefix() + QStringLiteral("plain-name.com"));
        // A name cannot add parameters or end the address.
        QCOMPARE(core::purchaseLink(QStringLiteral("a&b=c#d e.com")),
                 core::purchaseLinkPrefix() + QStringLiteral("a%26b%3Dc%23d%20e.com"));
        QCOMPARE(core::purchaseLink(QStringLiteral("m\u00fcnchen.de")),
                 core::purchaseLinkPrefix() + QStringLiteral("m%C3%BCnchen.de"));
    }

    void dragTextListsRowsOnceAscending()
    {
        QCOMPARE(core::dragTextFor({4, 0, 3, 3, 99}, 6), QStringLiteral("0|3|4"));
        QCOMPARE(core::dragTextFor({-1, 6, 5}, 6), QStringLiteral("5"));
        QCOMPARE(core::dragTextFor({}, 6), QString());
        QCOMPARE(core::dragTextFor({0}, 0), QString());
    }

    void parseDragText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("indexList");
        QTest::addColumn<QList<qsizetype>>("rows");
        QTest::newRow("rows") << "0|3|4" << true << QList<qsizetype>{0, 3, 4};
        QTest::newRow("order kept") << "9|1" << true << QList<qsizetype>{9, 1};
        QTest::newRow("blanks") << " 1 | 2 " << true << QList<qsizetype>{1, 2};
        QTest::newRow("empty part") << "1||2|" << true << QList<qsizetype>{1, 2};
        QTest::newRow("too large") << "99999999999999999999" << true << QList<qsizetype>{};
        QTest::newRow("one digit inside") << "1 2" << true << QList<qsizetype>{};
        QTest::newRow("no digit") << "||" << false << QList<qsizetype>{};
        QTest::newRow("empty") << "" << false << QList<qsizetype>{};
        QTest::newRow("negative") << "-1" << false << QList<qsizetype>{};
        QTest::newRow("garbage") << "0|x" << false << QList<qsizetype>{};
        QTest::newRow("a name") << "a.com" << false << QList<qsizetype>{};
    }
    void parseDragText()
    {
        QFETCH(QString, text);
        QFETCH(bool, indexList);
        QFETCH(QList<qsizetype>, rows);
        const auto parsed = core::parseDragText(text);
        QCOMPARE(parsed.has_value(), indexList);
        if (parsed)
            QCOMPARE(*parsed, rows);
    }

    void droppedNames_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("lines of names")
            << " first.com\r\nsecond.co.uk\n\n"
            << QStringList{QStringLiteral("first.com"), QStringLiteral("second.co.uk")};
        QTest::newRow("old Mac line ends")
            << "a.com\rb-c.net" << QStringList{QStringLiteral("a.com"), QStringLiteral("b-c.net")};
        QTest::newRow("one bad line spoils all") << "first.com\r\nnot a name" << QStringList{};
        QTest::newRow("no dot") << "localhost" << QStringList{};
        QTest::newRow("empty label") << "a..com" << QStringList{};
        QTest::newRow("label of 64") << QString(64, QLatin1Char('a')) + QStringLiteral(".com")
                                     << QStringList{};
        QTest::newRow("label of 63") << QString(63, QLatin1Char('a')) + QStringLiteral(".com")
                                     << QStringList{QString(63, QLatin1Char('a')) + QStringLiteral(".com")};
        QTest::newRow("address") << "https://a.com/" << QStringList{};
        QTest::newRow("blank") << "  \r\n" << QStringList{};
    }
    void droppedNames()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, names);
        QCOMPARE(core::droppedNames(text), names);
    }
};

QTEST_GUILESS_MAIN(TestListRules)
#include "tst_listrules.moc"
