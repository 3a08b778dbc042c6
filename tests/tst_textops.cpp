#include "core/tld/TldTable.h"
#include "sources/TextOps.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace wendlecott;

namespace {

core::TldEntry row(const QString &extension, bool enabled)
{
    core::TldEntry entry;
    entry.extension = extension;
    entry.server = QStringLiteral("whois.example");
    entry.enabled = enabled;
    return entry;
}

// com enabled, net disabled, the proxy row enabled, org enabled.
core::TldTable mixedTable()
{
    core::TldTable table;
    table.rows = {row(QStringLiteral("com"), true), row(QStringLiteral("net"), false),
                  row(QStringLiteral("proxy"), true), row(QStringLiteral("org"), true)};
    return table;
}

core::TldTable tableOf(const QStringList &enabled)
{
    core::TldTable table;
    for (const QString &extension : enabled)
        table.rows.append(row(extension, true));
    return table;
}

// The decoding as the rule reads: for each escape, replace while the text still holds it.
QString xurlEncodeByTheRule(QString text)
{
    const QList<QPair<QString, QString>> escapes = {
        {QStringLiteral("%25"), QStringLiteral("%")},  {QStringLiteral("%20"), QStringLiteral(" ")},
        {QStringLiteral("%3C"), QStringLiteral("<")},  {QStringLiteral("%3E"), QStringLiteral(">")},
        {QStringLiteral("%23"), QStringLiteral("#")},  {QStringLiteral("%7B"), QStringLiteral("{")},
        {QStringLiteral("%7D"), QStringLiteral("}")},  {QStringLiteral("%7C"), QStringLiteral("|")},
        {QStringLiteral("%5C"), QStringLiteral("\\")}, {QStringLiteral("%5E"), QStringLiteral("^")},
        {QStringLiteral("%7E"), QStringLiteral("~")},  {QStringLiteral("%5B"), QStringLiteral("[")},
        {QStringLiteral("%5D"), QStringLiteral("]")},  {QStringLiteral("%60"), QStringLiteral("`")},
        {QStringLiteral("%3B"), QStringLiteral(";")},  {QStringLiteral("%2F"), QStringLiteral("/")},
        {QStringLiteral("%3F"), QStringLiteral("?")},  {QStringLiteral("%3A"), QStringLiteral(":")},
        {QStringLiteral("%40"), QStringLiteral("@")},  {QStringLiteral("%3D"), QStringLiteral("=")},
        {QStringLiteral("%26"), QStringLiteral("&")},  {QStringLiteral("%24"), QStringLiteral("$")},
        {QStringLiteral("%0A"), QStringLiteral("\n")}, {QStringLiteral("%0D"), QStringLiteral("\r")},
    };
    for (const auto &[code, character] : escapes) {
        while (text.contains(code, Qt::CaseInsensitive))
            text.replace(code, character, Qt::CaseInsensitive);
    }
    return text;
}

QString randomText(QRandomGenerator &random, const QString &alphabet, int maxLength)
{
    const int length = int(random.bounded(maxLength + 1));
    QString text;
    for (int i = 0; i < length; ++i)
        text += alphabet.at(int(random.bounded(int(alphabet.size()))));
    return text;
}

} // namespace

class TestTextOps : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void xCorrectName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("cleaned");
        QTest::newRow("related: only in lower case")
            << QStringLiteral("Related:My Site!.com") << QStringLiteral("RelatedMySite.com");
        QTest::newRow("hyphen survives") << QStringLiteral("my-site.com") << QStringLiteral("my-site.com");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("prefixes of search results")
            << QStringLiteral("related:site:<b>shop") << QStringLiteral("shop");
        QTest::newRow("entity") << QStringLiteral("&nbsp;shop&nbsp;") << QStringLiteral("shop");
        // The space goes after "&nbsp;" was looked for; "nbsp;" comes later and catches it.
        QTest::newRow("pieces joined by a removal") << QStringLiteral("nb sp;shop") << QStringLiteral("shop");
        // "related:" was looked for before the space went: only the colon is removed.
        QTest::newRow("order of removals") << QStringLiteral("rel ated:x") << QStringLiteral("relatedx");
        QTest::newRow("every listed punctuation")
            << QStringLiteral("a!\"#$%&'()*+,/:;<=>?\\^`|~_b") << QStringLiteral("ab");
        QTest::newRow("listed Latin-1 signs")
            << QStringLiteral("x\u00ABy\u00B4z\u00AFw\u00BAv\u00B8u") << QStringLiteral("xyzwvu");
        QTest::newRow("unlisted characters survive")
            << QStringLiteral("a@b{c}[d]\u00BB") << QStringLiteral("a@b{c}[d]\u00BB");
        QTest::newRow("case and digits kept") << QStringLiteral("ABC123-def") << QStringLiteral("ABC123-def");
        QTest::newRow("extension keeps all but ?")
            << QStringLiteral("a b.c d/?e?") << QStringLiteral("ab.c d/e");
        QTest::newRow("only an extension") << QStringLiteral(".com") << QStringLiteral(".com");
        QTest::newRow("only punctuation") << QStringLiteral(" !?/ ") << QString();
        QTest::newRow("url host") << QStringLiteral("//www.example.com") << QStringLiteral("www.example.com");
    }
    void xCorrectName()
    {
        QFETCH(QString, name);
        QFETCH(QString, cleaned);
        QCOMPARE(sources::xCorrectName(name), cleaned);
    }

    void xurlEncode_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("decoded");
        QTest::newRow("%2520 twice decoded") << QStringLiteral("%2520") << QStringLiteral(" ");
        QTest::newRow("%2541 has no rule") << QStringLiteral("%2541") << QStringLiteral("%41");
        QTest::newRow("slash") << QStringLiteral("a%2Fb") << QStringLiteral("a/b");
        QTest::newRow("lower-case escape") << QStringLiteral("a%2fb%3c") << QStringLiteral("a/b<");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("no escape") << QStringLiteral("shop") << QStringLiteral("shop");
        QTest::newRow("%252520") << QStringLiteral("%252520") << QStringLiteral(" ");
        QTest::newRow("%25252541") << QStringLiteral("%25252541") << QStringLiteral("%41");
        QTest::newRow("only %25") << QStringLiteral("%25%25%25") << QStringLiteral("%%%");
        QTest::newRow("percent before an escape") << QStringLiteral("%%2520") << QStringLiteral("% ");
        QTest::newRow("line ends") << QStringLiteral("%250A%0d") << QStringLiteral("\n\r");
        QTest::newRow("every escape")
            << QStringLiteral("%20%3C%3E%23%7B%7D%7C%5C%5E%7E%5B%5D%60%3B%2F%3F%3A%40%3D%26%24%0A%0D")
            << QStringLiteral(" <>#{}|\\^~[]`;/?:@=&$\n\r");
        QTest::newRow("incomplete escapes") << QStringLiteral("100% %2 %") << QStringLiteral("100% %2 %");
        QTest::newRow("decoded text is not decoded again")
            << QStringLiteral("%253C%2533C") << QStringLiteral("<%33C");
    }
    void xurlEncode()
    {
        QFETCH(QString, text);
        QFETCH(QString, decoded);
        QCOMPARE(sources::xurlEncode(text), decoded);
        QCOMPARE(xurlEncodeByTheRule(text), decoded);
    }

    // The one-pass decoding gives what repeated replacing gives, on many short texts made of
    // the characters that matter.
    void xurlEncodeMatchesTheRule()
    {
        QRandomGenerator random(20240611);
        const QString alphabet = QStringLiteral("%%%%2255023AaCcDdEeFf7x");
        for (int i = 0; i < 50000; ++i) {
            const QString text = randomText(random, alphabet, 14);
            QCOMPARE(sources::xurlEncode(text), xurlEncodeByTheRule(text));
        }
    }

    void xurlEncodeHostileInput()
    {
        const QString manyEscapes = QStringLiteral("%25").repeated(350000);
        QCOMPARE(sources::xurlEncode(manyEscapes), QStringLiteral("%").repeated(350000));
        // Each pass of the rule would peel one "25" off: half a million passes.
        const QString nested =
            QStringLiteral("%") + QStringLiteral("25").repeated(500000) + QStringLiteral("20");
        QCOMPARE(sources::xurlEncode(nested), QStringLiteral(" "));
    }

    void breakLinesAtExtensions_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("broken");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("slash") << QStringLiteral("see example.com/page")
                               << QStringLiteral("see example.com/\r\npage");
        QTest::newRow("each delimiter")
            << QStringLiteral("a.com b.com/c.com'd.com:e.com?f")
            << QStringLiteral("a.com \r\nb.com/\r\nc.com'\r\nd.com:\r\ne.com?\r\nf");
        QTest::newRow("org too") << QStringLiteral("x.org y") << QStringLiteral("x.org \r\ny");
        QTest::newRow("disabled row ignored") << QStringLiteral("x.net y") << QStringLiteral("x.net y");
        QTest::newRow("proxy row ignored") << QStringLiteral("x.proxy y") << QStringLiteral("x.proxy y");
        QTest::newRow("case-sensitive") << QStringLiteral("x.COM y") << QStringLiteral("x.COM y");
        QTest::newRow("anywhere, not only after a dot")
            << QStringLiteral("welcom: telecom ") << QStringLiteral("welcom:\r\n telecom \r\n");
        QTest::newRow("no delimiter after") << QStringLiteral("x.company") << QStringLiteral("x.company");
        // com's own double quote, then one more for each of the two enabled rows.
        QTest::newRow(".com and a double quote") << QStringLiteral("href=\"http://a.com\">")
                                                 << QStringLiteral("href=\"http://a.com\"\r\n\r\n\r\n>");
        QTest::newRow(".org and a double quote")
            << QStringLiteral("\"a.org\"x") << QStringLiteral("\"a.org\"\r\nx");
    }
    void breakLinesAtExtensions()
    {
        QFETCH(QString, text);
        QFETCH(QString, broken);
        const core::TldTable table = mixedTable();
        QCOMPARE(sources::breakLinesAtExtensions(text, table), broken);
        QCOMPARE(sources::detail::breakLinesStepByStep(text, table), broken);
    }

    void breakLinesWithoutEnabledRows()
    {
        core::TldTable table;
        table.rows = {row(QStringLiteral("com"), false)};
        const QString text = QStringLiteral("a.com \"x.com\"");
        QCOMPARE(sources::breakLinesAtExtensions(text, table), text);
        QCOMPARE(sources::breakLinesAtExtensions(text, core::TldTable()), text);
    }

    // The one-pass version against replacing step by step, over tables with overlapping,
    // duplicate, dotted and empty extensions and one with a delimiter inside.
    void breakLinesMatchesStepByStep_data()
    {
        QTest::addColumn<QStringList>("extensions");
        QTest::newRow("com net org") << QStringList{QStringLiteral("com"), QStringLiteral("net"),
                                                    QStringLiteral("org")};
        QTest::newRow("overlapping") << QStringList{QStringLiteral("com"), QStringLiteral("om"),
                                                    QStringLiteral("m"), QStringLiteral("co.m")};
        QTest::newRow("duplicates") << QStringList{QStringLiteral("com"), QStringLiteral("com")};
        QTest::newRow("empty extension") << QStringList{QString(), QStringLiteral("com")};
        QTest::newRow("delimiter inside") << QStringList{QStringLiteral("c m"), QStringLiteral("com")};
        QTest::newRow("quote inside") << QStringList{QStringLiteral("m\""), QStringLiteral("com")};
    }
    void breakLinesMatchesStepByStep()
    {
        QFETCH(QStringList, extensions);
        const core::TldTable table = tableOf(extensions);
        QRandomGenerator random(77);
        const QString alphabet = QStringLiteral("com.. /\"':?xnet\r");
        for (int i = 0; i < 5000; ++i) {
            const QString text = randomText(random, alphabet, 24);
            QCOMPARE(sources::breakLinesAtExtensions(text, table),
                     sources::detail::breakLinesStepByStep(text, table));
        }
    }

    void breakLinesLargePage()
    {
        const QString chunk =
            QStringLiteral("<a href=\"http://www.example.com/x\">example.com</a> site.org ");
        const QString page = chunk.repeated(20000);
        const QString broken = sources::breakLinesAtExtensions(page, mixedTable());
        QCOMPARE(broken, sources::detail::breakLinesStepByStep(page, mixedTable()));
        // "com/" and "org " in every chunk.
        QCOMPARE(broken.count(QStringLiteral("\r\n")), qsizetype(20000) * 2);
    }

    void hasEnabledExtension_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("found");
        QTest::newRow(".community matches com") << QStringLiteral("the.community") << true;
        QTest::newRow("plain") << QStringLiteral("see example.org today") << true;
        QTest::newRow("disabled row") << QStringLiteral("example.net") << false;
        QTest::newRow("proxy row") << QStringLiteral("go.proxy") << false;
        QTest::newRow("any case") << QStringLiteral("EXAMPLE.COM") << true;
        QTest::newRow("needs the dot") << QStringLiteral("examplecom") << false;
        QTest::newRow("dot at the end") << QStringLiteral("example.co") << false;
        QTest::newRow("empty") << QString() << false;
    }
    void hasEnabledExtension()
    {
        QFETCH(QString, text);
        QFETCH(bool, found);
        QCOMPARE(sources::hasEnabledExtension(text, mixedTable()), found);
    }

    void hasEnabledExtensionSpecialRows()
    {
        QVERIFY(!sources::hasEnabledExtension(QStringLiteral("a.com"), core::TldTable()));
        QVERIFY(
            sources::hasEnabledExtension(QStringLiteral("www.a.CO.UK"), tableOf({QStringLiteral("co.uk")})));
        // An enabled row with an empty extension: any dot is ".".
        QVERIFY(sources::hasEnabledExtension(QStringLiteral("a.b"), tableOf({QString()})));
        QVERIFY(!sources::hasEnabledExtension(QStringLiteral("ab"), tableOf({QString()})));
    }

    // Against a plain case-insensitive search, with characters whose case folding lands on
    // ASCII letters (KELVIN SIGN, LONG S).
    void hasEnabledExtensionMatchesContains()
    {
        const QStringList extensions = {QStringLiteral("com"), QStringLiteral("sk"), QStringLiteral("c.o")};
        const core::TldTable table = tableOf(extensions);
        QRandomGenerator random(5);
        const QString alphabet = QStringLiteral("cCoOmM.sSkK\u212A\u017Fx");
        for (int i = 0; i < 20000; ++i) {
            const QString text = randomText(random, alphabet, 10);
            bool expected = false;
            for (const QString &extension : extensions)
                expected = expected || text.contains(QLatin1Char('.') + extension, Qt::CaseInsensitive);
            QCOMPARE(sources::hasEnabledExtension(text, table), expected);
        }
    }

    void reduceToRegisteredName_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("name");
        QTest::newRow("sub-domains of com")
            << QStringLiteral("www.shop.example.com") << QStringLiteral("example.com");
        QTest::newRow("co.uk") << QStringLiteral("a.b.co.uk") << QStringLiteral("b.co.uk");
        QTest::newRow("us") << QStringLiteral("a.b.us") << QStringLiteral("b.us");
        QTest::newRow("de gives nothing") << QStringLiteral("a.b.de") << QString();
        QTest::newRow("two labels") << QStringLiteral("example.de") << QStringLiteral("example.de");
        QTest::newRow("one label") << QStringLiteral("localhost") << QStringLiteral("localhost");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("info") << QStringLiteral("www.x.info") << QStringLiteral("x.info");
        QTest::newRow("aero") << QStringLiteral("a.b.c.aero") << QStringLiteral("c.aero");
        QTest::newRow("case-sensitive") << QStringLiteral("www.example.COM") << QString();
        QTest::newRow("com before co") << QStringLiteral("x.co.com") << QStringLiteral("co.com");
        QTest::newRow("empty label") << QStringLiteral("a..org") << QStringLiteral(".org");
    }
    void reduceToRegisteredName()
    {
        QFETCH(QString, host);
        QFETCH(QString, name);
        QCOMPARE(sources::reduceToRegisteredName(host), name);
    }

    void replaceAll_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("result");
        QTest::newRow("not overlapping")
            << QStringLiteral("aaaa") << QStringLiteral("aa") << QStringLiteral("b") << QStringLiteral("bb");
        QTest::newRow("empty pattern")
            << QStringLiteral("abc") << QString() << QStringLiteral("x") << QStringLiteral("abc");
        QTest::newRow("grows") << QStringLiteral("a a") << QStringLiteral(" ") << QStringLiteral(" \r\n")
                               << QStringLiteral("a \r\na");
        QTest::newRow("at both ends")
            << QStringLiteral("xax") << QStringLiteral("x") << QString() << QStringLiteral("a");
    }
    void replaceAll()
    {
        QFETCH(QString, text);
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(QString, result);
        QCOMPARE(sources::replaceAll(text, before, after), result);
    }

    // Short texts and long ones are searched differently; both replace as QString::replace.
    void replaceAllWithoutRegardToCase()
    {
        QRandomGenerator random(31);
        const QStringList pieces = {QStringLiteral("https://"), QStringLiteral("HtTpS://"),
                                    QStringLiteral("http://"),  QStringLiteral("x"),
                                    QStringLiteral("tp"),       QStringLiteral("s:")};
        for (int round = 0; round < 400; ++round) {
            QString text;
            const int count = int(random.bounded(round % 2 == 0 ? 8 : 400));
            for (int i = 0; i < count; ++i)
                text += pieces.at(int(random.bounded(int(pieces.size()))));
            QString expected = text;
            expected.replace(QStringLiteral("https://"), QStringLiteral("http://"), Qt::CaseInsensitive);
            QCOMPARE(sources::replaceAll(text, u"https://", u"http://", Qt::CaseInsensitive), expected);
            expected = text;
            expected.replace(QStringLiteral("tp"), QString(), Qt::CaseSensitive);
            QCOMPARE(sources::replaceAll(text, u"tp", {}), expected);
        }
    }
};

QTEST_GUILESS_MAIN(TestTextOps)
#include "tst_textops.moc"
