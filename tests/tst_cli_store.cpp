// history and export on the command line, over a store written in the test's program
// folder; the CSV is read back by an RFC 4180 reader of the test's own.
#include "BuildFolder.h"
#include "FakeWhoisServer.h"
#include "TestFolder.h"
#include "app/cli/Cli.h"
#include "config/FolderLock.h"
#include "core/store/AnswerStore.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
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

// A TLD table whose com row points at the fake server, with no pause between names.
void pointComAt(const testing::TestFolder &folder, quint16 port, int throttle = 0)
{
    folder.write(QStringLiteral("TLDs.txt"),
                 QStringLiteral("com|127.0.0.1|%1|Enabled|%2|No match\r\n").arg(port).arg(throttle).toUtf8());
}

const QByteArray kTakenAnswer = "Domain Name: TAKEN.COM\r\nRegistry Expiry Date: 2031-02-03T04:05:06Z\r\n";

QStringList lines(const Run &run)
{
    return run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Rows of the store as another program sees them now, or -1 when it cannot be read; with
// `names`, the names of the rows in the order written.
int countRows(const QString &path, QStringList *names = nullptr, QString *integrity = nullptr)
{
    static int serial = 0;
    const QString connection = QStringLiteral("count-%1").arg(++serial);
    int rows = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=1000"));
        QSqlQuery query(db);
        if (db.open() &&
            query.exec(QStringLiteral("SELECT name, verdict, answer FROM answers ORDER BY id"))) {
            rows = 0;
            while (query.next()) {
                ++rows;
                // A row is whole: its verdict and the server's answer as sent.
                if (query.value(1).toString() != QLatin1String("available") ||
                    query.value(2).toString() != QLatin1String("No match for domain.\r\n"))
                    return -2;
                if (names)
                    names->append(query.value(0).toString());
            }
        }
        if (integrity && query.exec(QStringLiteral("PRAGMA integrity_check")) && query.next())
            *integrity = query.value(0).toString();
    }
    QSqlDatabase::removeDatabase(connection);
    return rows;
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

    void checkAndLookupStoreEveryAnswer()
    {
        testing::TestFolder folder;
        testing::FakeWhoisServer server;
        QVERIFY(server.start());
        server.answer(QStringLiteral("taken.com"), kTakenAnswer);
        pointComAt(folder, server.port());
        folder.write(QStringLiteral("list.txt"), "free\r\ntaken\r\n");
        Run run = runCli(folder, {QStringLiteral("check"), folder.file(QStringLiteral("list.txt")),
                                  QStringLiteral("--jobs"), QStringLiteral("2")});
        QCOMPARE(run.status, cli::kExitOk);
        run = runCli(folder, {QStringLiteral("history"), QStringLiteral("taken.com")});
        QCOMPARE(run.status, cli::kExitOk);
        QCOMPARE(lines(run).size(), 1);
        QVERIFY2(run.out.contains(QStringLiteral("\tregistered\twhois\t127.0.0.1:%1\t").arg(server.port())),
                 qPrintable(run.out));
        QVERIFY(run.out.endsWith(QStringLiteral("\t2031-02-03T04:05:06Z\n")));

        run = runCli(folder, {QStringLiteral("lookup"), QStringLiteral("free.com")});
        QCOMPARE(run.status, cli::kExitOk);
        run =
            runCli(folder, {QStringLiteral("history"), QStringLiteral("free.com"), QStringLiteral("--json")});
        QCOMPARE(lines(run).size(), 2);
        for (const QString &line : lines(run)) {
            const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
            QCOMPARE(object.value(QLatin1String("verdict")).toString(), QStringLiteral("available"));
            QCOMPARE(object.value(QLatin1String("answer")).toString(),
                     QStringLiteral("No match for domain.\r\n"));
        }
    }

    void aRecentRegisteredAnswerIsReusedWhenAsked_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<bool>("reused");
        QTest::newRow("option") << QStringList{QStringLiteral("--reuse-registered-days"), QStringLiteral("7")}
                                << QByteArray() << true;
        QTest::newRow("setting") << QStringList{} << QByteArray("[Settings]\nReuseRegisteredDays=7\n")
                                 << true;
        QTest::newRow("option over setting")
            << QStringList{QStringLiteral("--reuse-registered-days"), QStringLiteral("0")}
            << QByteArray("[Settings]\nReuseRegisteredDays=7\n") << false;
        QTest::newRow("default: off") << QStringList{} << QByteArray() << false;
    }

    void aRecentRegisteredAnswerIsReusedWhenAsked()
    {
        QFETCH(QStringList, options);
        QFETCH(QByteArray, settings);
        QFETCH(bool, reused);
        testing::TestFolder folder;
        testing::FakeWhoisServer server;
        QVERIFY(server.start());
        server.answer(QStringLiteral("taken.com"), kTakenAnswer);
        pointComAt(folder, server.port());
        if (!settings.isEmpty())
            folder.write(QStringLiteral(".config/Brindlemoor/Wendlecott.ini"), settings);
        {
            store::StoreOpening report;
            auto answers = store::AnswerStore::open(folder.path(), store::StoreMode::ReadWrite, report);
            StoredAnswer known = answer(QStringLiteral("taken.com"), core::LookupVerdict::Registered, 1);
            known.answeredAt = QDateTime::currentDateTimeUtc().addDays(-1);
            known.details.expires = QDateTime::currentDateTimeUtc().addDays(300);
            QVERIFY(answers->record(known).ok());
        }
        folder.write(QStringLiteral("list.txt"), "taken\r\n");
        const Run run =
            runCli(folder, QStringList{QStringLiteral("check"), folder.file(QStringLiteral("list.txt")),
                                       QStringLiteral("--json")} +
                               options);
        QCOMPARE(run.status, cli::kExitOk);
        const QJsonObject object = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(object.value(QLatin1String("result")).toString(), QStringLiteral("registered"));
        QCOMPARE(object.value(QLatin1String("reused")).toBool(), reused);
        QCOMPARE(server.requests().isEmpty(), reused);
        QCOMPARE(run.err.contains(QStringLiteral("1 registered from the answer store without asking")),
                 reused);
    }

    void badReuseDaysAreUsageErrors()
    {
        testing::TestFolder folder;
        for (const QString &value : {QStringLiteral("-1"), QStringLiteral("seven")})
            QCOMPARE(
                runCli(folder, {QStringLiteral("check"), QStringLiteral("--reuse-registered-days"), value})
                    .status,
                cli::kExitUsage);
        QCOMPARE(runCli(folder, {QStringLiteral("check"), QStringLiteral("--reuse-registered-days")}).status,
                 cli::kExitUsage);
    }

    void watchCheckTellsWhenANameBecomesAvailable()
    {
        testing::TestFolder folder;
        testing::FakeWhoisServer server;
        QVERIFY(server.start());
        server.answer(QStringLiteral("taken.com"), kTakenAnswer);
        pointComAt(folder, server.port(), 5);
        QCOMPARE(runCli(folder, {QStringLiteral("watch"), QStringLiteral("add"), QStringLiteral("TAKEN.com"),
                                 QStringLiteral("free.com")})
                     .status,
                 cli::kExitOk);
        Run run = runCli(folder, {QStringLiteral("watch"), QStringLiteral("list")});
        QCOMPARE(run.out, QStringLiteral("taken.com\t\t\t\t\t\t\nfree.com\t\t\t\t\t\t\n"));

        // The first check: nothing was known before, so nothing became available.
        run = runCli(folder, {QStringLiteral("watch"), QStringLiteral("check")});
        QCOMPARE(run.status, cli::kExitOk);
        QStringList out = lines(run);
        out.sort();
        QCOMPARE(out.size(), 2);
        QVERIFY(out.at(0).startsWith(QStringLiteral("available\tfree.com\t")));
        QCOMPARE(out.at(1), QStringLiteral("registered\ttaken.com"));

        // The registry lets taken.com go.
        server.answer(QStringLiteral("taken.com"), "No match for TAKEN.COM\r\n");
        run = runCli(folder, {QStringLiteral("watch"), QStringLiteral("check")});
        QCOMPARE(run.status, cli::kExitOk);
        out = lines(run);
        QCOMPARE(out.size(), 3);
        QCOMPARE(out.filter(QStringLiteral("became-available")),
                 QStringList{QStringLiteral("became-available\ttaken.com")});
        const qsizetype became = out.indexOf(QStringLiteral("became-available\ttaken.com"));
        QVERIFY(became > 0 && out.at(became - 1).startsWith(QStringLiteral("available\ttaken.com\t")));
        QCOMPARE(server.requests().size(), 4); // each name asked at each check

        run = runCli(folder, {QStringLiteral("watch"), QStringLiteral("list"), QStringLiteral("--json")});
        QCOMPARE(lines(run).size(), 2);
        const QJsonObject taken = QJsonDocument::fromJson(lines(run).at(0).toUtf8()).object();
        QCOMPARE(taken.value(QLatin1String("name")).toString(), QStringLiteral("taken.com"));
        QCOMPARE(taken.value(QLatin1String("verdict")).toString(), QStringLiteral("available"));
        QCOMPARE(taken.value(QLatin1String("last_change")).toString(),
                 taken.value(QLatin1String("last_checked")).toString());
        QVERIFY(!taken.contains(QLatin1String("expires")));
        const QJsonObject free = QJsonDocument::fromJson(lines(run).at(1).toUtf8()).object();
        QVERIFY(!free.contains(QLatin1String("last_change")));
        QVERIFY(free.contains(QLatin1String("last_checked")));

        QCOMPARE(
            runCli(folder, {QStringLiteral("watch"), QStringLiteral("remove"), QStringLiteral("taken.com")})
                .status,
            cli::kExitOk);
        run = runCli(folder, {QStringLiteral("watch"), QStringLiteral("list")});
        QCOMPARE(lines(run).size(), 1);
        QVERIFY(run.out.startsWith(QStringLiteral("free.com\tavailable\t\t\t\t")));
    }

    void badWatchArgumentsAreRefused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::newRow("nothing") << QStringList{} << cli::kExitUsage;
        QTest::newRow("unknown action") << QStringList{QStringLiteral("show")} << cli::kExitUsage;
        QTest::newRow("add without names") << QStringList{QStringLiteral("add")} << cli::kExitUsage;
        QTest::newRow("add an option")
            << QStringList{QStringLiteral("add"), QStringLiteral("--all")} << cli::kExitUsage;
        QTest::newRow("add no domain")
            << QStringList{QStringLiteral("add"), QStringLiteral("a b.com")} << cli::kExitFailure;
        QTest::newRow("list option") << QStringList{QStringLiteral("list"), QStringLiteral("--csv")}
                                     << cli::kExitUsage;
        QTest::newRow("check with a name")
            << QStringList{QStringLiteral("check"), QStringLiteral("a.com")} << cli::kExitUsage;
    }

    void badWatchArgumentsAreRefused()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        testing::TestFolder folder;
        QCOMPARE(runCli(folder, QStringList{QStringLiteral("watch")} + args).status, status);
        QVERIFY(!folder.exists(store::kStoreFileName));
    }

    // A check killed (SIGKILL: no Stop, no flush) loses only the answers of its last batch,
    // never a part of one: once the run has waited on a silent server for its batch to be
    // written, every name it printed is in the store; killed at once, the store holds the
    // names printed before the last batch, each row whole.
    void aKilledCheckLosesOnlyItsLastBatch_data()
    {
        QTest::addColumn<bool>("waitForTheBatch");
        QTest::newRow("killed after the batch") << true;
        QTest::newRow("killed at once") << false;
    }

    void aKilledCheckLosesOnlyItsLastBatch()
    {
        QFETCH(bool, waitForTheBatch);
        testing::TestFolder folder;
        testing::FakeWhoisServer server;
        QVERIFY(server.start());
        server.script(QStringLiteral("stall.com"), {testing::FakeWhoisServer::Mode::Silent, {}});
        pointComAt(folder, server.port());
        constexpr int kAnswered = 300;
        QByteArray list;
        for (int i = 1; i <= kAnswered; ++i)
            list += "name" + QByteArray::number(i) + "\r\n";
        list += "stall\r\nafter\r\n";
        folder.write(QStringLiteral("list.txt"), list);

        QProcess cli;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folder.file(QStringLiteral(".config")));
        cli.setProcessEnvironment(environment);
        QStringList printed;
        QByteArray pending;
        const auto readRecords = [&] {
            pending += cli.readAllStandardOutput();
            for (qsizetype end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
                printed.append(QString::fromUtf8(pending.left(end)).section(QLatin1Char('\t'), 1, 1));
                pending.remove(0, end + 1);
            }
        };
        connect(&cli, &QProcess::readyReadStandardOutput, this, readRecords);
        cli.start(testing::buildPath(QStringLiteral("wendlecott-cli")),
                  {QStringLiteral("--program-folder"), folder.path(), QStringLiteral("check"),
                   folder.file(QStringLiteral("list.txt"))});
        QVERIFY2(cli.waitForStarted(10000), qPrintable(cli.errorString()));
        // Every name before the silent one answered; the run now waits on it.
        QSignalSpy asked(&server, &testing::FakeWhoisServer::requestReceived);
        for (int i = 0; i < kAnswered + 1 && !server.requests().contains("stall.com"); ++i)
            QVERIFY(asked.wait(20000));
        QTRY_COMPARE_WITH_TIMEOUT(printed.size(), kAnswered, 20000);
        const QString path = folder.file(store::kStoreFileName);
        // The batch is written a second after its first answer, while the run waits.
        if (waitForTheBatch)
            QTRY_COMPARE_WITH_TIMEOUT(countRows(path), kAnswered, 20000);
        QCOMPARE(cli.state(), QProcess::Running);
        cli.kill();
        QVERIFY(cli.waitForFinished(10000));
        QCOMPARE(cli.exitStatus(), QProcess::CrashExit);
        readRecords();
        QCOMPARE(printed.size(), kAnswered);

        QStringList stored;
        QString integrity;
        const int rows = countRows(path, &stored, &integrity);
        QCOMPARE(integrity, QStringLiteral("ok"));
        QVERIFY2(rows >= 0, "a row is not whole");
        // What is stored is what was printed first, in order; nothing half-written.
        QCOMPARE(stored, printed.mid(0, rows));
        if (waitForTheBatch)
            QCOMPARE(rows, kAnswered);
        // The store opens afterwards as it is, not moved aside.
        store::StoreOpening report;
        QVERIFY(store::AnswerStore::open(folder.path(), store::StoreMode::ReadWrite, report));
        QCOMPARE(report.outcome, store::StoreOpening::Outcome::Opened);
    }

    // A store that cannot be used is moved aside, the user told where, and the run goes on
    // into a new one.
    void aDamagedStoreIsMovedAsideAndTheCheckGoesOn()
    {
        testing::TestFolder folder;
        testing::FakeWhoisServer server;
        QVERIFY(server.start());
        pointComAt(folder, server.port());
        folder.write(store::kStoreFileName, QByteArray(2048, 'x'));
        folder.write(QStringLiteral("list.txt"), "free\r\n");
        const Run run = runCli(folder, {QStringLiteral("check"), folder.file(QStringLiteral("list.txt"))});
        QCOMPARE(run.status, cli::kExitOk);
        QCOMPARE(run.out, QStringLiteral("available\tfree.com\tHigh\n"));
        const QStringList moved =
            QDir(folder.file(store::kStoreBackupFolder)).entryList({QStringLiteral("answers-*.sqlite")});
        QCOMPARE(moved.size(), 1);
        QVERIFY2(run.err.contains(folder.file(store::kStoreBackupFolder + QLatin1Char('/') + moved.first())),
                 qPrintable(run.err));
        QCOMPARE(folder.read(store::kStoreBackupFolder + QLatin1Char('/') + moved.first()),
                 QByteArray(2048, 'x'));
        QCOMPARE(countRows(folder.file(store::kStoreFileName)), 1);
    }

    // Beside a program that holds the folder, lookup answers and stores nothing.
    void lookupBesideAHolderWritesNothing()
    {
        testing::TestFolder folder;
        testing::FakeWhoisServer server;
        QVERIFY(server.start());
        pointComAt(folder, server.port());
        config::FolderLock holder(folder.path());
        QVERIFY(holder.acquire().ok());
        const Run run = runCli(folder, {QStringLiteral("lookup"), QStringLiteral("free.com")});
        QCOMPARE(run.status, cli::kExitOk);
        QVERIFY(run.out.startsWith(QStringLiteral("Available\tfree.com")));
        QVERIFY(!folder.exists(store::kStoreFileName));
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
