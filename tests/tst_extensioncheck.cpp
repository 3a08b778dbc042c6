// Names under extensions that exist nowhere are refused before any lookup, and a whois
// answer from another registry's server cannot make a name Available.
#include "core/tld/ExtensionCheck.h"

#include <QFile>
#include <QTest>

using namespace wendlecott;

namespace {

core::TldTable tableOf(const QStringList &extensions)
{
    QString text;
    for (const QString &extension : extensions)
        text += extension + QStringLiteral("|whois.example|43|Enabled|25|No match\r\n");
    return core::parseTldText(text);
}

} // namespace

class TestExtensionCheck : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void extensionProblem_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("problem");
        const QStringList comNet{QStringLiteral("com"), QStringLiteral("net")};
        const QString none;
        const QString noSuch = QStringLiteral("no such extension");
        QTest::newRow("no row, no suffix") << comNet << "abc.zz" << noSuch;
        QTest::newRow("no row, no suffix, long label") << comNet << "shop.notatld" << noSuch;
        QTest::newRow("private suffix only")
            << QStringList{QStringLiteral("net")} << "shop.blogspot.com" << noSuch;
        QTest::newRow("no row, a real extension") << comNet << "example.xyz" << none;
        QTest::newRow("no row, two-label suffix") << comNet << "example.co.uk" << none;
        QTest::newRow("no row, wildcard suffix") << comNet << "example.bd" << none;
        QTest::newRow("no row, IDN suffix")
            << comNet << QStringLiteral("\u043f\u0440\u0438\u043c\u0435\u0440.\u0440\u0444") << none;
        QTest::newRow("no row, IDN suffix in IDNA form") << comNet << "example.xn--p1ai" << none;
        QTest::newRow("case and final dot") << comNet << "Example.XYZ." << none;
        QTest::newRow("the user's own row") << QStringList{QStringLiteral("zz")} << "abc.zz" << none;
        QTest::newRow("a numeric row") << QStringList{QStringLiteral("192")} << "host.192" << none;
        QTest::newRow("a private row") << QStringList{QStringLiteral("notatld")} << "shop.notatld" << none;
        QTest::newRow("the last label's row") << comNet << "www.example.com" << none;
        QTest::newRow("a two-label row") << QStringList{QStringLiteral("co.zz")} << "abc.co.zz" << none;
        QTest::newRow("the proxy row is no row of its own")
            << QStringList{QStringLiteral("proxy")} << "abc.zz" << noSuch;
        QTest::newRow("no dot: the table decides") << comNet << "example" << none;
    }
    void extensionProblem()
    {
        QFETCH(QStringList, rows);
        QFETCH(QString, name);
        QTEST(core::extensionProblem(name, tableOf(rows)), "problem");
    }

    void nameProblemTellsTheNameFirst()
    {
        const core::TldTable table = tableOf({QStringLiteral("com")});
        QVERIFY(!core::nameProblem(QStringLiteral("a..zz"), table).isEmpty());
        QVERIFY(core::nameProblem(QStringLiteral("a..zz"), table) != core::kNoSuchExtension);
        QCOMPARE(core::nameProblem(QStringLiteral("a.zz"), table), core::kNoSuchExtension);
        QCOMPARE(core::nameProblem(QStringLiteral("a.com"), table), QString());
    }

    void fallbackProblem_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("useProxy");
        QTest::addColumn<QString>("problem");
        const QStringList comNet{QStringLiteral("com"), QStringLiteral("net"), QStringLiteral("proxy")};
        QTest::newRow("the .com row serves .xyz")
            << comNet << "example.xyz" << false << "no whois server for .xyz in the TLD table";
        QTest::newRow("the fallback server serves .co.uk")
            << comNet << "example.co.uk" << false << "no whois server for .co.uk in the TLD table";
        QTest::newRow("case") << comNet << "Example.XYZ" << false
                              << "no whois server for .xyz in the TLD table";
        QTest::newRow("its own row") << comNet << "example.com" << false << QString();
        QTest::newRow("the last label's row")
            << QStringList{QStringLiteral("uk")} << "example.co.uk" << false << QString();
        QTest::newRow("proxy mode asks the user's server") << comNet << "example.xyz" << true << QString();
    }
    void fallbackProblem()
    {
        QFETCH(QStringList, rows);
        QFETCH(QString, name);
        QFETCH(bool, useProxy);
        QTEST(core::fallbackProblem(name, tableOf(rows), useProxy), "problem");
    }

    void theBuiltInListServesWhereTheSystemHasNone()
    {
        QFile builtIn(QStringLiteral(":/wendlecott/public_suffix_list.dat"));
        QVERIFY(builtIn.open(QIODevice::ReadOnly));
        const core::PublicSuffixList list(builtIn.readAll());
        QVERIFY(list.isLoaded());
        QVERIFY(list.isIcannSuffix(QStringLiteral("co.uk")));
        QVERIFY(list.isIcannSuffix(QStringLiteral("com")));
        QVERIFY(!list.isIcannSuffix(QStringLiteral("zz")));
        QVERIFY(!list.isIcannSuffix(QStringLiteral("blogspot.com"))); // private section
        QVERIFY(core::PublicSuffixList::standard().isLoaded());
    }

    void withoutAListTheTableDecides()
    {
        const core::PublicSuffixList empty{QByteArray()};
        QVERIFY(!empty.isLoaded());
        QCOMPARE(core::extensionProblem(QStringLiteral("abc.zz"), tableOf({QStringLiteral("com")}), empty),
                 QString());
    }
};

QTEST_GUILESS_MAIN(TestExtensionCheck)
#include "tst_extensioncheck.moc"
