#include "core/tld/DomainName.h"

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
        // Nothing registers a bare extension or a host name of one label.
        QTest::newRow("bare extension") << QStringLiteral("com") << QStringLiteral("single label");
        QTest::newRow("localhost") << QStringLiteral("localhost") << QStringLiteral("single label");
        QTest::newRow("one label and a dot") << QStringLiteral("d.") << QStringLiteral("single label");
        QTest::newRow("ideographic stop ends it")
            << QString::fromUtf16(u"com\u3002") << QStringLiteral("single label");
        QTest::newRow("ideographic stop separates") << QString::fromUtf16(u"fish\u3002com") << QString();
        QTest::newRow("empty label after mapping")
            << QString::fromUtf16(u"fish\u3002\uFF0Ecom") << QStringLiteral("IDNA");
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

    void canonicalNameIsTheNameAsked_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("canonical"); // empty: refused as invalid
        QTest::newRow("plain") << QStringLiteral("fish.com") << QStringLiteral("fish.com");
        QTest::newRow("case kept") << QStringLiteral("My-Shop.co.uk") << QStringLiteral("My-Shop.co.uk");
        QTest::newRow("IDNA form kept")
            << QStringLiteral("xn--mnchen-3ya.de") << QStringLiteral("xn--mnchen-3ya.de");
        QTest::newRow("Unicode kept") << QString::fromUtf8("München.de") << QString::fromUtf8("München.de");
        QTest::newRow("sharp s kept") << QString::fromUtf8("straße.de") << QString::fromUtf8("straße.de");
        QTest::newRow("trailing dot dropped") << QStringLiteral("fish.com.") << QStringLiteral("fish.com");
        QTest::newRow("ligature") << QString::fromUtf16(u"\uFB01sh.com") << QStringLiteral("fish.com");
        QTest::newRow("soft hyphen") << QString::fromUtf16(u"fi\u00ADsh.com") << QStringLiteral("fish.com");
        QTest::newRow("zero-width space")
            << QString::fromUtf16(u"fi\u200Bsh.com") << QStringLiteral("fish.com");
        QTest::newRow("word joiner") << QString::fromUtf16(u"fi\u2060sh.com") << QStringLiteral("fish.com");
        QTest::newRow("fullwidth letters")
            << QString::fromUtf16(u"\uFF46\uFF49\uFF53\uFF48.com") << QStringLiteral("fish.com");
        QTest::newRow("fullwidth extension")
            << QString::fromUtf16(u"Fish.\uFF43\uFF4F\uFF4D") << QStringLiteral("Fish.com");
        QTest::newRow("ideographic stop")
            << QString::fromUtf16(u"fish\u3002com") << QStringLiteral("fish.com");
        QTest::newRow("ideographic stop at the end")
            << QString::fromUtf16(u"fish.com\u3002") << QStringLiteral("fish.com");
        QTest::newRow("single label") << QStringLiteral("com") << QString();
        QTest::newRow("right-to-left override") << QString::fromUtf16(u"abc\u202Emoc.com") << QString();
    }
    void canonicalNameIsTheNameAsked()
    {
        QFETCH(QString, name);
        QFETCH(QString, canonical);
        const core::Result<QString> found = core::canonicalDomainName(name);
        if (canonical.isEmpty()) {
            QVERIFY(!found);
            QCOMPARE(found.code(), core::ErrorCode::InvalidInput);
            QCOMPARE(found.message(), core::domainNameProblem(name));
            return;
        }
        QVERIFY2(found.ok(), qPrintable(found.message()));
        QCOMPARE(found.value(), canonical);
        // The canonical form is asked as the name was, and is its own canonical form.
        QByteArray asked = QUrl::toAce(name);
        if (asked.endsWith('.'))
            asked.chop(1);
        QCOMPARE(QUrl::toAce(found.value()), asked);
        QCOMPARE(core::canonicalDomainName(found.value()).value(), found.value());
    }
};

QTEST_GUILESS_MAIN(TestDomainName)
#include "tst_domainname.moc"
