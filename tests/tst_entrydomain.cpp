#include "CliRunner.h"
#include "TestFolder.h"
#include "app/cli/Cli.h"
#include "sources/EntryDomain.h"

#include <QtTest>

using namespace wendlecott;

class TestEntryDomain : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void domainForEntry_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("tlds");
        QTest::addColumn<QString>("domain");
        const QString none;
        // Cut after the first ":", then decode, then clean.
        QTest::newRow("url") << QStringLiteral("http://www.example.com") << none
                             << QStringLiteral("www.example.com");
        QTest::newRow("escaped space") << QStringLiteral("my%20shop") << none << QStringLiteral("myshop.com");
        QTest::newRow("escaped slash") << QStringLiteral("a%2Fb") << none << QStringLiteral("ab.com");
        QTest::newRow("doubly escaped") << QStringLiteral("%252520x") << none << QStringLiteral("x.com");
        QTest::newRow("search prefix")
            << QStringLiteral("Related:My Site!") << none << QStringLiteral("MySite.com");
        QTest::newRow("several colons") << QStringLiteral("a:b:c") << none << QStringLiteral("bc.com");
        // Control characters go, raw or escaped: the name filed is the name asked.
        QTest::newRow("escaped line feed") << QStringLiteral("a%0Ab") << none << QStringLiteral("ab.com");
        QTest::newRow("tab") << QStringLiteral("foo\tbar") << none << QStringLiteral("foobar.com");
        QTest::newRow("controls in the extension")
            << QStringLiteral("shop.c\x01o\x7Fm\r") << none << QStringLiteral("shop.com");
        QTest::newRow("escaped CR LF only") << QStringLiteral("%0D%0A") << none << QString();
        QTest::newRow("controls in the chosen extension")
            << QStringLiteral("shop") << QStringLiteral("n\te\nt") << QStringLiteral("shop.net");
        QTest::newRow("C1 control") << QStringLiteral("ab\u0085c") << none << QStringLiteral("abc.com");
        // The extension rule.
        QTest::newRow("default extension") << QStringLiteral("shop") << none << QStringLiteral("shop.com");
        QTest::newRow("chosen extension")
            << QStringLiteral("shop") << QStringLiteral("net") << QStringLiteral("shop.net");
        QTest::newRow("dotted chosen extension")
            << QStringLiteral("shop") << QStringLiteral("co.uk") << QStringLiteral("shop.co.uk");
        QTest::newRow("own extension kept")
            << QStringLiteral("shop.org") << QStringLiteral("net") << QStringLiteral("shop.org");
        QTest::newRow("own extension, default")
            << QStringLiteral("www.example.com") << none << QStringLiteral("www.example.com");
        QTest::newRow("case kept") << QStringLiteral("MyShop") << none << QStringLiteral("MyShop.com");
        QTest::newRow("spaces cleaned")
            << QStringLiteral("  my shop ") << none << QStringLiteral("myshop.com");
        // Nothing left to look up.
        QTest::newRow("empty") << QString() << none << QString();
        QTest::newRow("a single space") << QStringLiteral(" ") << none << QString();
        QTest::newRow("punctuation only") << QStringLiteral("!?#") << QStringLiteral("net") << QString();
        QTest::newRow("extension only") << QStringLiteral(".com") << none << QString();
        QTest::newRow("scheme only") << QStringLiteral("http://") << none << QString();
    }
    void domainForEntry()
    {
        QFETCH(QString, entry);
        QFETCH(QString, tlds);
        QFETCH(QString, domain);
        QCOMPARE(sources::domainForEntry(entry, tlds, QStringLiteral(".com")), domain);
    }

    void defaultExtensionAsStored()
    {
        QCOMPARE(sources::domainForEntry(QStringLiteral("shop"), QString(), QStringLiteral(".info")),
                 QStringLiteral("shop.info"));
    }

    void cliDomain_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::newRow("default extension")
            << QStringList{QStringLiteral("http://www.example.com"), QStringLiteral("my%20shop")} << 0
            << QStringLiteral("www.example.com\nmyshop.com\n");
        QTest::newRow("--tld") << QStringList{QStringLiteral("shop"), QStringLiteral("--tld"),
                                              QStringLiteral("net"), QStringLiteral("a.org")}
                               << 0 << QStringLiteral("shop.net\na.org\n");
        QTest::newRow("--tld=") << QStringList{QStringLiteral("--tld=de"), QStringLiteral("shop")} << 0
                                << QStringLiteral("shop.de\n");
        QTest::newRow("entry that looks like an option")
            << QStringList{QStringLiteral("--"), QStringLiteral("--shop")} << 0
            << QStringLiteral("--shop.com\n");
        QTest::newRow("no name left")
            << QStringList{QStringLiteral("a"), QStringLiteral(" "), QStringLiteral("b")} << 1
            << QStringLiteral("a.com\n\nb.com\n");
        QTest::newRow("no entry") << QStringList{QStringLiteral("--tld"), QStringLiteral("net")} << 2
                                  << QString();
        QTest::newRow("--tld without value")
            << QStringList{QStringLiteral("a"), QStringLiteral("--tld")} << 2 << QString();
        QTest::newRow("unknown option")
            << QStringList{QStringLiteral("a"), QStringLiteral("--ext")} << 2 << QString();
    }
    void cliDomain()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, out);
        testing::TestFolder folder;
        const testing::CliRun run = testing::runCli(folder, QStringList{QStringLiteral("domain")} + args);
        QCOMPARE(run.status, status);
        QCOMPARE(run.out, out);
        QCOMPARE(run.err.isEmpty(), status == 0);
    }
};

QTEST_GUILESS_MAIN(TestEntryDomain)
#include "tst_entrydomain.moc"
