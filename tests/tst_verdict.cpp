#include "core/base/TextFile.h"
#include "core/lookup/Verdict.h"
#include "core/tld/TldTable.h"

#include <QFile>
#include <QMap>
#include <QtTest>

using namespace wendlecott;
using core::LookupVerdict;

Q_DECLARE_METATYPE(core::LookupVerdict)

namespace {
const QString S = core::kStandardSuccessWords;
}

class TestVerdict : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void judgeResponse_data()
    {
        QTest::addColumn<QString>("response");
        QTest::addColumn<QString>("successWords");
        QTest::addColumn<LookupVerdict>("verdict");
        QTest::addColumn<QString>("matched");

        const auto row = [](const char *name, const QString &response, const QString &successWords,
                            LookupVerdict verdict, const QString &matched = {}) {
            QTest::newRow(name) << response << successWords << verdict << matched;
        };
        const auto text = [](const char *t) { return QString::fromUtf8(t); };

        row("success word in capitals", text("NO MATCH for \"EXAMPLE.COM\".\r\n"), S,
            LookupVerdict::Available, text("No match"));
        row("success word beats error", text("Error: No match for example.com"), S, LookupVerdict::Available,
            text("No match"));
        row("exceeded without success word", text("Query rate exceeded, try later"), S,
            LookupVerdict::Blocked);
        row("quota", text("Your QUOTA is used up"), S, LookupVerdict::Blocked);
        row("blocked", text("IP address Blocked"), S, LookupVerdict::Blocked);
        row("blocked word inside another word", text("Terrorism policy"), S, LookupVerdict::Blocked);
        row("registered answer", text("Domain Name: EXAMPLE.COM\r\nRegistrar: X\r\n"), S,
            LookupVerdict::Registered);
        row("empty response", QString(), S, LookupVerdict::Registered);
        row("first listed word wins", text("Status: not found"), text("found,not found"),
            LookupVerdict::Available, text("found"));
        row("items are trimmed of spaces", text("no match"), text("  No match  , AVAIL"),
            LookupVerdict::Available, text("No match"));
        row("inner spaces kept", text("Nomatch"), text("No match"), LookupVerdict::Registered);
        row("word inside a longer word", text("Status: AVAILABLE"), text("AVAIL"), LookupVerdict::Available,
            text("AVAIL"));
        row("trailing comma matches any text", text("Domain Name: EXAMPLE.COM"), text("No match,"),
            LookupVerdict::Available, QString());
        row("trailing comma matches a space", text(" "), text("No match,"), LookupVerdict::Available,
            QString());
        row("trailing comma, empty response", QString(), text("No match,"), LookupVerdict::Registered);
        row("empty item before a real word", text("No match"), text(",No match"), LookupVerdict::Available,
            QString());
        row("single space field is an empty item", text("x"), text(" "), LookupVerdict::Available, QString());
        row("empty field matches nothing", text("No match for example.com"), QString(),
            LookupVerdict::Registered);
        row("empty field, blocked answer", text("error"), QString(), LookupVerdict::Blocked);
        row("note takes part in matching", text("#SERVER DOWN#"), text("#SERVER DOWN#,") + S,
            LookupVerdict::Available, text("#SERVER DOWN#"));
        row("note with comma, then standard words", text("No match for x"), text("#SERVER DOWN#,") + S,
            LookupVerdict::Available, text("No match"));
        // The defunct notes run into the first standard word, so that word only matches
        // together with the note; the other standard words still do.
        row("note without comma hides the first word", text("No match for x"),
            text("#PACIFICROOT.COM APPEARS DEFUNCT#") + S, LookupVerdict::Registered);
        row("note without comma, later word", text("Domain not found."),
            text("#PACIFICROOT.COM APPEARS DEFUNCT#") + S, LookupVerdict::Available, text("not found"));
        row("non-ASCII case folding", text("KEINE EINTRÄGE"), text("keine einträge"),
            LookupVerdict::Available, text("keine einträge"));
        row("uk answer", text("\r\n    No match for \"example.co.uk\".\r\n"), text("No match for"),
            LookupVerdict::Available, text("No match for"));
    }
    void judgeResponse()
    {
        QFETCH(QString, response);
        QFETCH(QString, successWords);
        QFETCH(LookupVerdict, verdict);
        QFETCH(QString, matched);
        const core::Judgement judgement = core::judgeResponse(response, successWords);
        QCOMPARE(judgement.verdict, verdict);
        QCOMPARE(judgement.matchedWord, matched);
        QCOMPARE(judgement.rule, verdict == LookupVerdict::Available ? core::kRuleSuccessWord
                                 : verdict == LookupVerdict::Blocked ? core::kRuleBlockedWord
                                                                     : core::kRuleNoSuccessWord);
    }

    void verdictNames()
    {
        QCOMPARE(core::verdictName(LookupVerdict::Available), QStringLiteral("Available"));
        QCOMPARE(core::verdictName(LookupVerdict::Registered), QStringLiteral("Registered"));
        QCOMPARE(core::verdictName(LookupVerdict::Blocked), QStringLiteral("Blocked"));
        QCOMPARE(core::verdictName(LookupVerdict::Unknown), QStringLiteral("Unknown"));
    }
};

QTEST_GUILESS_MAIN(TestVerdict)
#include "tst_verdict.moc"
