// history and export on the command line, over a store written in the test's program
// folder; the CSV is read back by an RFC 4180 reader of the test's own.
#include "TestFolder.h"
#include "app/cli/Cli.h"
#include "core/store/AnswerStore.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace wendlecott;
using store::StoredAnswer;

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

Run runCli(const testing::TestFolder &folder, const QStringList &args)
{
    Run run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    QByteArray none;
    QBuffer input(&none);
    input.open(QIODevice::ReadOnly);
    QTextStream in(&input);
    run.status = cli::runCli(QStringList{QStringLiteral("--program-folder"), folder.path()} + args,
                             folder.path(), cli::CliIo{out, err, &in});
    return run;
}

// RFC 4180: records end in CR LF, a quoted field may hold commas, quotes (doubled) and line breaks.
QList<QStringList> parseCsv(const QString &text, bool *wellFormed)
{
    QList<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false;
    *wellFormed = true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                field += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"') && field.isEmpty()) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            record.append(field);
            field.clear();
        } else if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')) {
            record.append(field);
            records.append(record);
            record.clear();
            field.clear();
            ++i;
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            *wellFormed = false;
        } else {
            field += c;
        }
    }
    *wellFormed = *wellFormed && !quoted && field.isEmpty() && record.isEmpty();
    return records;
}

StoredAnswer answer(const QString &name, core::LookupVerdict verdict, int day)
{
    StoredAnswer a;
    a.name = name;
    a.extension = name.section(QLatin1Char('.'), 1);
    a.verdict = verdict;
    a.protocol = QStringLiteral("whois");
    a.server = QStringLiteral("127.0.0.1:43");
    a.rule = QStringLiteral("no-match");
    a.answeredAt = QDateTime(QDate(2026, 4, day), QTime(10, 30), Qt::UTC);
    a.answer = QStringLiteral("answer of ") + name;
    return a;
}

void fillStore(const testing::TestFolder &folder)
{
    store::StoreOpening report;
    auto answers = store::AnswerStore::open(folder.path(), store::StoreMode::ReadWrite, report);
    QVERIFY(answers);
    StoredAnswer odd = answer(QStringLiteral("odd.com"), core::LookupVerdict::Registered, 2);
    odd.details.expires = QDateTime(QDate(2030, 1, 31), QTime(0, 0), Qt::UTC);
    odd.details.registrar = QStringLiteral("Names, \"Quoted\" & Co.\nsecond line");
    odd.details.statuses = QStringList{QStringLiteral("=HYPERLINK(\"http://x\")"), QStringLiteral("ok")};
    odd.details.nameservers = QStringList{QStringLiteral("ns1.odd.net"), QStringLiteral("ns2.odd.net")};
    QVERIFY(answers->record(answer(QStringLiteral("free.com"), core::LookupVerdict::Registered, 1)).ok());
    QVERIFY(answers->record(answer(QStringLiteral("free.com"), core::LookupVerdict::Available, 5)).ok());
    QVERIFY(answers->record(odd).ok());
    QVERIFY(answers->record(answer(QStringLiteral("über.de"), core::LookupVerdict::Blocked, 3)).ok());
}

} // namespace

class TestCliStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void historyListsEveryAnswerNewestFirst()
    {
        testing::TestFolder folder;
        fillStore(folder);
        Run run = runCli(folder, {QStringLiteral("history"), QStringLiteral("FREE.com")});
        QCOMPARE(run.status, cli::kExitOk);
        QCOMPARE(run.out,
                 QStringLiteral("2026-04-05T10:30:00Z\tavailable\twhois\t127.0.0.1:43\tno-match\t\n"
                                "2026-04-01T10:30:00Z\tregistered\twhois\t127.0.0.1:43\tno-match\t\n"));
        run =
            runCli(folder, {QStringLiteral("history"), QStringLiteral("odd.com"), QStringLiteral("--json")});
        const QJsonObject object = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(object.value(QLatin1String("expires")).toString(), QStringLiteral("2030-01-31T00:00:00Z"));
        QCOMPARE(object.value(QLatin1String("answer")).toString(), QStringLiteral("answer of odd.com"));
        QCOMPARE(object.value(QLatin1String("nameservers")).toArray().size(), 2);

        run = runCli(folder, {QStringLiteral("history"), QStringLiteral("never.com")});
        QCOMPARE(run.status, cli::kExitFailure);
        QVERIFY(run.err.contains(QStringLiteral("no answer stored for never.com")));
        QCOMPARE(runCli(folder, {QStringLiteral("history")}).status, cli::kExitUsage);
        QCOMPARE(runCli(folder, {QStringLiteral("history"), QStringLiteral("a.com"), QStringLiteral("--raw")})
                     .status,
                 cli::kExitUsage);
    }

    void exportCsvIsReadBackWhole()
    {
        testing::TestFolder folder;
        fillStore(folder);
        const Run run = runCli(folder, {QStringLiteral("export")});
        QCOMPARE(run.status, cli::kExitOk);
        bool wellFormed = false;
        const QList<QStringList> records = parseCsv(run.out, &wellFormed);
        QVERIFY2(wellFormed, qPrintable(run.out));
        QCOMPARE(records.size(), 4);
        QCOMPARE(records.at(0).mid(0, 4),
                 (QStringList{QStringLiteral("name"), QStringLiteral("verdict"),
                              QStringLiteral("answered_at"), QStringLiteral("expires")}));
        for (const QStringList &record : records)
            QCOMPARE(record.size(), records.at(0).size());
        const qsizetype registrar = records.at(0).indexOf(QStringLiteral("registrar"));
        const qsizetype statuses = records.at(0).indexOf(QStringLiteral("statuses"));
        // One row per name, its latest answer, in name order.
        QCOMPARE(records.at(1).mid(0, 4),
                 (QStringList{QStringLiteral("free.com"), QStringLiteral("available"),
                              QStringLiteral("2026-04-05T10:30:00Z"), QString()}));
        QCOMPARE(records.at(2).at(0), QStringLiteral("odd.com"));
        QCOMPARE(records.at(2).at(3), QStringLiteral("2030-01-31T00:00:00Z"));
        QCOMPARE(records.at(2).at(registrar), QStringLiteral("Names, \"Quoted\" & Co.\nsecond line"));
        // A server's text never reaches a spreadsheet as a formula.
        QCOMPARE(records.at(2).at(statuses), QStringLiteral("'=HYPERLINK(\"http://x\"); ok"));
        QCOMPARE(records.at(3).at(0), QStringLiteral("über.de"));
    }

    void exportFiltersAndWritesJson()
    {
        testing::TestFolder folder;
        fillStore(folder);
        Run run = runCli(folder, {QStringLiteral("export"), QStringLiteral("--format=json"),
                                  QStringLiteral("--verdict"), QStringLiteral("registered")});
        QCOMPARE(run.status, cli::kExitOk);
        QJsonArray rows = QJsonDocument::fromJson(run.out.toUtf8()).array();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.at(0).toObject().value(QLatin1String("name")).toString(), QStringLiteral("odd.com"));
        QVERIFY(rows.at(0).toObject().value(QLatin1String("created")).isNull());

        run = runCli(folder, {QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("json"),
                              QStringLiteral("--since"), QStringLiteral("2026-04-03")});
        rows = QJsonDocument::fromJson(run.out.toUtf8()).array();
        QCOMPARE(rows.size(), 2); // free.com (latest on the 5th) and über.de (the 3rd)

        run = runCli(folder, {QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("json"),
                              QStringLiteral("--verdict"), QStringLiteral("unknown")});
        QCOMPARE(QJsonDocument::fromJson(run.out.toUtf8()).array().size(), 0);
    }

    void exportToAFileReplacesItWholeOrNotAtAll()
    {
        testing::TestFolder folder;
        fillStore(folder);
        folder.write(QStringLiteral("out.csv"), "old content");
        Run run = runCli(folder, {QStringLiteral("export"), QStringLiteral("--output"),
                                  folder.file(QStringLiteral("out.csv"))});
        QCOMPARE(run.status, cli::kExitOk);
        QCOMPARE(run.out, QString());
        QVERIFY(folder.read(QStringLiteral("out.csv")).startsWith("name,verdict,answered_at,expires,"));
        run = runCli(folder, {QStringLiteral("export"), QStringLiteral("--output"),
                              folder.file(QStringLiteral("no/such/folder/out.csv"))});
        QCOMPARE(run.status, cli::kExitFailure);
        QVERIFY(!folder.exists(QStringLiteral("no/such/folder/out.csv")));
    }

    void exportWithoutAStoreIsAHeaderAndCreatesNothing()
    {
        testing::TestFolder folder;
        const Run run = runCli(folder, {QStringLiteral("export")});
        QCOMPARE(run.status, cli::kExitOk);
        QVERIFY(run.out.startsWith(QStringLiteral("name,verdict,answered_at,expires,")));
        QCOMPARE(run.out.count(QStringLiteral("\r\n")), 1);
        QVERIFY(!folder.exists(store::kStoreFileName));
    }

    void badExportOptionsAreUsageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("format") << QStringList{QStringLiteral("--format"), QStringLiteral("xml")};
        QTest::newRow("verdict") << QStringList{QStringLiteral("--verdict"), QStringLiteral("taken")};
        QTest::newRow("since") << QStringList{QStringLiteral("--since"), QStringLiteral("2026-13-01")};
        QTest::newRow("missing-value") << QStringList{QStringLiteral("--output")};
        QTest::newRow("unknown") << QStringList{QStringLiteral("--all")};
        QTest::newRow("word") << QStringList{QStringLiteral("names")};
    }

    void badExportOptionsAreUsageErrors()
    {
        QFETCH(QStringList, args);
        testing::TestFolder folder;
        QCOMPARE(runCli(folder, QStringList{QStringLiteral("export")} + args).status, cli::kExitUsage);
    }

    void aDamagedStoreIsReportedAndLeftAsItIs()
    {
        testing::TestFolder folder;
        folder.write(store::kStoreFileName, QByteArray(2048, 'x'));
        const Run run = runCli(folder, {QStringLiteral("export")});
        QCOMPARE(run.status, cli::kExitFailure);
        QVERIFY2(run.err.contains(QStringLiteral("is damaged")), qPrintable(run.err));
        QCOMPARE(folder.read(store::kStoreFileName), QByteArray(2048, 'x'));
    }
};

QTEST_GUILESS_MAIN(TestCliStore)
#include "tst_cli_store.moc"
