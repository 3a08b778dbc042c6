#include "core/DomainName.h"

#include <QtTest>

using namespace wendlecott;

class TestDomainName : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void domainNameProblem_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("problem"); // a word of the reason; empty: a good name
        const QString label63(63, u'a');
        QTest::newRow("plain") << QStringLiteral("example.com") << QString();
        QTest::newRow("case and hyphen") << QStringLiteral("My-Shop.co.uk") << QString();
        QTest::newRow("digits") << QStringLiteral("123.net") << QString();
        QTest::newRow("letters beyond ASCII") << QString::fromUtf8("münchen.de") << QString();
        QTest::newRow("trailing dot") << QStringLiteral("example.com.") << QString();
        QTest::newRow("label of 63") << label63 + QStringLiteral(".com") << QString();
        QTest::newRow("label of 64") << label63 + QStringLiteral("a.com") << QStringLiteral("label");
        // 63 octets of IDNA form: "xn--" and the encoding count, not the letters typed.
        QTest::newRow("long label in IDNA form")
            << QStringLiteral("m") + QString(60, QChar(0xFC)) + QStringLiteral(".de")
            << QStringLiteral("IDNA");
        QTest::newRow("name of 253") << QStringLiteral("%1.%1.%1.%2.com").arg(label63, QString(57, u'b'))
                                     << QString();
        QTest::newRow("name of 254") << QStringLiteral("%1.%1.%1.%2.com").arg(label63, QString(58, u'b'))
                                     << QStringLiteral("longer");
        QTest::newRow("131000 characters")
            << QString(131000, u'x') + QStringLiteral(".com") << QStringLiteral("longer");
        QTest::newRow("right-to-left override")
            << QString::fromUtf16(u"abc\u202Emoc.com") << QStringLiteral("IDNA");
        QTest::newRow("empty label") << QStringLiteral("a..com") << QStringLiteral("empty");
        QTest::newRow("leading dot") << QStringLiteral(".com") << QStringLiteral("empty");
        QTest::newRow("only a dot") << QStringLiteral(".") << QStringLiteral("empty");
        QTest::newRow("empty") << QString() << QStringLiteral("empty");
    }
    void domainNameProblem()
    {
        QFETCH(QString, name);
        QFETCH(QString, problem);
        const QString found = core::domainNameProblem(name);
        if (problem.isEmpty())
            QVERIFY2(found.isEmpty(), qPrintable(found));
        else
            QVERIFY2(found.contains(problem), qPrintable(found));
    }
};

QTEST_GUILESS_MAIN(TestDomainName)
#include "tst_domainname.moc"
