#include "core/base/ShownText.h"

#include <QtTest>

using namespace wendlecott;

class TestShownText : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void escapeControls_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("keepLineBreaks");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << QStringLiteral("Domain: a.com") << true << QStringLiteral("Domain: a.com");
        QTest::newRow("clear screen and bell")
            << QStringLiteral("\x1b[2Jhi\x07") << true << QStringLiteral("\\x1B[2Jhi\\x07");
        QTest::newRow("line ends and tab kept")
            << QStringLiteral("a\tb\r\nc\n") << true << QStringLiteral("a\tb\r\nc\n");
        QTest::newRow("line ends and tab escaped")
            << QStringLiteral("a\tb\r\nc") << false << QStringLiteral("a\\x09b\\x0D\\x0Ac");
        QTest::newRow("NUL, DEL and C1") << QString(QChar(0)) + QString::fromUtf16(u"x\u007F\u009B") << true
                                         << QStringLiteral("\\x00x\\x7F\\x9B");
        QTest::newRow("right-to-left override")
            << QString::fromUtf16(u"abc\u202Egpj.exe") << true << QStringLiteral("abc\\u202Egpj.exe");
        QTest::newRow("letters beyond ASCII stay")
            << QString::fromUtf16(u"münchen.de ÿ") << true << QString::fromUtf16(u"münchen.de ÿ");
        QTest::newRow("empty") << QString() << true << QString();
    }
    void escapeControls()
    {
        QFETCH(QString, text);
        QFETCH(bool, keepLineBreaks);
        QFETCH(QString, shown);
        QCOMPARE(core::escapeControls(text, keepLineBreaks), shown);
    }

    void quotedLineIsOneShortLine()
    {
        QCOMPARE(core::quotedLine(QStringLiteral("ab\r\n")), QStringLiteral("ab\\x0D\\x0A"));
        const QString exact(core::kMaxQuotedChars, u'x');
        QCOMPARE(core::quotedLine(exact), exact);
        const QString longer = exact + QStringLiteral("y");
        QCOMPARE(core::quotedLine(longer), exact + QStringLiteral("... (121 characters)"));
        // Cut first, then escaped: an escape never makes the line longer than it shows.
        QCOMPARE(core::quotedLine(QStringLiteral("\x1b\x1b\x1b"), 2),
                 QStringLiteral("\\x1B\\x1B... (3 characters)"));
    }
};

QTEST_GUILESS_MAIN(TestShownText)
#include "tst_showntext.moc"
