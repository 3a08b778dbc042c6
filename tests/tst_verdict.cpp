#include "core/TextFile.h"
#include "core/TldTable.h"
#include "core/Verdict.h"

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
    }

    void verdictNames()
    {
        QCOMPARE(core::verdictName(LookupVerdict::Available), QStringLiteral("Available"));
        QCOMPARE(core::verdictName(LookupVerdict::Registered), QStringLiteral("Registered"));
        QCOMPARE(core::verdictName(LookupVerdict::Blocked), QStringLiteral("Blocked"));
        QCOMPARE(core::verdictName(LookupVerdict::Unknown), QStringLiteral("Unknown"));
    }

    // A figure, not a gate: how the default success words fare on real registry answers.
    void realAnswersWithDefaultWords()
    {
        const QString root = QStringLiteral(WENDLECOTT_TESTDATA "/whois/");
        const auto manifest = core::readLines(root + QStringLiteral("MANIFEST.tsv"));
        QVERIFY(manifest.ok());
        const core::TldTable table = core::parseTldText(core::defaultTldText());

        struct Tally {
            int files = 0;
            QMap<LookupVerdict, int> verdicts;
        };
        QMap<QString, Tally> byStatus;
        int listed = 0;
        int judged = 0;
        int withoutRow = 0;
        for (const QString &line : manifest.value().mid(1)) {
            if (line.isEmpty())
                continue;
            ++listed;
            const QStringList fields = line.split(QLatin1Char('\t'));
            QVERIFY2(fields.size() >= 4, qPrintable(line));
            const auto bytes = core::readBytes(root + fields.at(0));
            QVERIFY2(bytes.ok(), qPrintable(fields.at(0)));
            // A TLD that no default row serves ("co.za") is judged with the standard words.
            const int index = core::findTLD(table, QStringLiteral("example.") + fields.at(2), false);
            if (index < 0)
                ++withoutRow;
            const QString successWords = index < 0 ? S : table.at(index).successWords;
            const core::Judgement judgement =
                core::judgeResponse(core::decodeText(bytes.value()), successWords);
            Tally &tally = byStatus[fields.at(3)];
            ++tally.files;
            ++tally.verdicts[judgement.verdict];
            ++judged;
        }
        QCOMPARE(judged, listed);
        QVERIFY(listed > 0);

        const Tally available = byStatus.value(QStringLiteral("available"));
        const Tally registered = byStatus.value(QStringLiteral("registered"));
        const Tally throttled = byStatus.value(QStringLiteral("throttled"));
        qInfo().noquote() << QStringLiteral("real answers judged: %1 (%2 of a TLD without a default row)")
                                 .arg(judged)
                                 .arg(withoutRow);
        qInfo().noquote() << QStringLiteral(
                                 "available answers: %1 of %2 Available (%3 Registered, %4 Blocked)")
                                 .arg(available.verdicts.value(LookupVerdict::Available))
                                 .arg(available.files)
                                 .arg(available.verdicts.value(LookupVerdict::Registered))
                                 .arg(available.verdicts.value(LookupVerdict::Blocked));
        qInfo().noquote() << QStringLiteral(
                                 "registered answers: %1 of %2 Registered (%3 Blocked, %4 Available)")
                                 .arg(registered.verdicts.value(LookupVerdict::Registered))
                                 .arg(registered.files)
                                 .arg(registered.verdicts.value(LookupVerdict::Blocked))
                                 .arg(registered.verdicts.value(LookupVerdict::Available));
        qInfo().noquote() << QStringLiteral(
                                 "throttled answers: %1 of %2 Blocked (%3 Available, %4 Registered)")
                                 .arg(throttled.verdicts.value(LookupVerdict::Blocked))
                                 .arg(throttled.files)
                                 .arg(throttled.verdicts.value(LookupVerdict::Available))
                                 .arg(throttled.verdicts.value(LookupVerdict::Registered));
    }
};

QTEST_GUILESS_MAIN(TestVerdict)
#include "tst_verdict.moc"
