// The answer store on real SQLite files in a temporary program folder: round trips of every
// field, the text cap, batches written a second after they start (fake clock), history and
// export queries, read-only use, the migrations from older schemas, and files that cannot
// be used (damaged, foreign, locked, newer), which are never deleted, and answer texts kept
// compressed, whose damaged frames are told and never read.
#include "FakeScheduler.h"
#include "TestFolder.h"
#include "core/base/TextFile.h"
#include "core/lookup/DomainLookup.h"
#include "core/lookup/RegistrationDetails.h"
#include "core/store/AnswerExport.h"
#include "core/store/AnswerStore.h"
#include "core/store/AnswerText.h"
#include "core/store/StoreSchema.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <zstd.h>

using namespace wendlecott;
using store::AnswerStore;
using store::StoredAnswer;
using store::StoreMode;
using store::StoreOpening;

namespace {

QDateTime at(int day, int hour = 12)
{
    return QDateTime(QDate(2026, 3, day), QTime(hour, 0), Qt::UTC);
}

StoredAnswer answer(const QString &name, core::LookupVerdict verdict, const QDateTime &when)
{
    StoredAnswer a;
    a.name = name;
    a.extension = name.section(QLatin1Char('.'), 1);
    a.verdict = verdict;
    a.protocol = QStringLiteral("whois");
    a.server = QStringLiteral("whois.example:43");
    a.rule = QStringLiteral("no-match");
    a.bytes = 120;
    a.elapsedMs = 35;
    a.answeredAt = when;
    a.answer = QStringLiteral("answer for ") + name;
    return a;
}

std::unique_ptr<AnswerStore> openStore(const testing::TestFolder &folder,
                                       StoreMode mode = StoreMode::ReadWrite,
                                       core::Scheduler *scheduler = nullptr)
{
    StoreOpening report;
    std::unique_ptr<AnswerStore> store = AnswerStore::open(folder.path(), mode, report, scheduler);
    if (!report.problem.ok())
        qWarning().noquote() << report.problem.message();
    return store;
}

int countRows(const QString &path)
{
    const QString connection = QStringLiteral("count-rows");
    int count = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        QSqlQuery query(db);
        if (db.open() && query.exec(QStringLiteral("SELECT count(*) FROM answers")) && query.next())
            count = query.value(0).toInt();
    }
    QSqlDatabase::removeDatabase(connection);
    return count;
}

int pageSizeOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    // The header's bytes 16 and 17: the page size, big-endian (1 meaning 65536).
    const QByteArray header = file.read(18);
    return header.size() == 18 ? (quint8(header.at(16)) << 8) | quint8(header.at(17)) : -1;
}

// A real registry answer: Verisign's for a registered .com name.
QString registryAnswer()
{
    QFile file(QStringLiteral(WENDLECOTT_TESTDATA "/whois/whois.verisign-grs.com/com/registered.txt"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// How the file keeps each name's answer text: SQLite's type of it, and its length in bytes.
QMap<QString, QPair<QString, int>> storedTextKinds(const QString &path)
{
    const QString connection = QStringLiteral("text-kinds");
    QMap<QString, QPair<QString, int>> kinds;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        QSqlQuery query(db);
        if (db.open() &&
            query.exec(QStringLiteral("SELECT name, typeof(answer), length(CAST(answer AS BLOB)) "
                                      "FROM answers")))
            while (query.next())
                kinds.insert(query.value(0).toString(), {query.value(1).toString(), query.value(2).toInt()});
    }
    QSqlDatabase::removeDatabase(connection);
    return kinds;
}

QByteArray digestOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
               ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
               : QByteArray();
}

// A store file as the first version of the program wrote it, with one answer.
void writeFirstSchemaStore(const QString &path)
{
    const QString connection = QStringLiteral("first-schema");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral(
            "CREATE TABLE answers (id INTEGER PRIMARY KEY, name TEXT NOT NULL, extension TEXT NOT NULL, "
            "verdict TEXT NOT NULL, protocol TEXT NOT NULL, server TEXT NOT NULL, rule TEXT NOT NULL, "
            "http_status INTEGER NOT NULL, bytes INTEGER NOT NULL, elapsed_ms INTEGER NOT NULL, "
            "answered_at INTEGER NOT NULL, created TEXT, expires TEXT, updated TEXT, registrar TEXT, "
            "statuses TEXT, nameservers TEXT, answer TEXT NOT NULL)")));
        QVERIFY(q.exec(QStringLiteral("CREATE INDEX answers_by_name ON answers (name)")));
        QVERIFY(
            q.exec(QStringLiteral("INSERT INTO answers VALUES (1, 'old.com', 'com', 'registered', 'whois', "
                                  "'whois.example:43', 'no-match', 0, 10, 5, 1767225600000, NULL, "
                                  "'2027-01-01T00:00:00Z', NULL, 'Example Registrar', 'ok', "
                                  "'ns1.example.net\nns2.example.net', 'Domain Name: OLD.COM')")));
        QVERIFY(q.exec(QStringLiteral("PRAGMA application_id = %1").arg(store::kStoreApplicationId)));
        QVERIFY(q.exec(QStringLiteral("PRAGMA user_version = 1")));
    }
    QSqlDatabase::removeDatabase(connection);
}

} // namespace

class TestAnswerStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyFieldComesBackAsWritten_data();
    void everyFieldComesBackAsWritten();
    void answerTextIsCutAt64KiBOnACharacterBoundary();
    void recordFromEvidenceKeepsWhatDecided();
    void batchIsWrittenASecondAfterItsFirstAnswer();
    void flushAndCloseLoseNothing();
    void historyIsNewestFirstAndLatestIsTheLastRecorded();
    void exportTakesTheLatestAnswerOfEachNameThroughItsFilter();
    void exportOfTheStoresBytesFollowsTheExportRules_data();
    void exportOfTheStoresBytesFollowsTheExportRules();
    void timeAnsweredIsExportedAsIsoUtcToTheSecond_data();
    void timeAnsweredIsExportedAsIsoUtcToTheSecond();
    void exportToAFileThatFailsMidwayKeepsTheOldFile();
    void registryAnswersAreKeptCompressedAndShortOnesAsText();
    void textFrameThatCannotBeReadIsToldNotRead_data();
    void textFrameThatCannotBeReadIsToldNotRead();
    void readOnlyWritesNothing();
    void firstSchemaIsMigratedKeepingItsAnswers();
    void secondSchemaIsMigratedAndItsLatestAnswersKeptByTheWriter();
    void unusableFileIsMovedAsideAndANewStoreStarted_data();
    void unusableFileIsMovedAsideAndANewStoreStarted();
    void fileInUseByAnotherProgramStaysWhereItIs();
    void fileOfANewerProgramIsLeftAlone();
    void readOnlyNeverMovesAnUnusableFile();
    void watchListKeepsNamesOnce();
};

void TestAnswerStore::everyFieldComesBackAsWritten_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("withDetails");

    QTest::newRow("plain") << QStringLiteral("Domain Name: EXAMPLE.COM\r\n") << true;
    QTest::newRow("no-details") << QStringLiteral("No match for \"X.COM\".") << false;
    QTest::newRow("odd-text") << QStringLiteral(
                                     "tab\there, quote ' \" ; -- DROP TABLE answers;\n\u00e9\u4e2d\U0001F600")
                              << true;
    QTest::newRow("empty-text") << QString() << false;
    QTest::newRow("registry-answer") << registryAnswer() << true;
}

void TestAnswerStore::everyFieldComesBackAsWritten()
{
    QFETCH(QString, text);
    QFETCH(bool, withDetails);
    testing::TestFolder folder;
    StoredAnswer written = answer(QStringLiteral("bücher.de"), core::LookupVerdict::Registered, at(2));
    written.protocol = QStringLiteral("rdap");
    written.httpStatus = 200;
    written.answeredAt = written.answeredAt.addMSecs(123);
    written.answer = text;
    if (withDetails) {
        written.details.created = QDateTime(QDate(1999, 1, 2), QTime(3, 4, 5), Qt::UTC);
        written.details.expires = QDateTime(QDate(2027, 6, 7), QTime(0, 0), Qt::UTC);
        written.details.updated = QDateTime(QDate(2025, 1, 1), QTime(23, 59, 59), Qt::UTC);
        written.details.registrar = QStringLiteral("Registrar, Inc. \"quoted\"");
        written.details.statuses =
            QStringList{QStringLiteral("clientDeleteProhibited"), QStringLiteral("ok")};
        written.details.nameservers =
            QStringList{QStringLiteral("ns1.example.net"), QStringLiteral("ns2.example.net")};
    }
    {
        auto store = openStore(folder);
        QVERIFY(store);
        QVERIFY(store->record(written).ok());
    }
    auto store = openStore(folder, StoreMode::ReadOnly);
    QVERIFY(store);
    const std::optional<StoredAnswer> read = store->latest(QStringLiteral("BÜCHER.DE"));
    QVERIFY(read);
    written.id = read->id;
    QCOMPARE(*read, written);
}

void TestAnswerStore::answerTextIsCutAt64KiBOnACharacterBoundary()
{
    testing::TestFolder folder;
    auto store = openStore(folder);
    // 65535 ASCII bytes and then a two-byte character that would pass the cap.
    StoredAnswer long1 = answer(QStringLiteral("a.com"), core::LookupVerdict::Registered, at(1));
    long1.answer = QString(65535, QLatin1Char('x')) + QStringLiteral("\u00e9tail");
    StoredAnswer exact = answer(QStringLiteral("b.com"), core::LookupVerdict::Registered, at(1));
    exact.answer = QString(65536, QLatin1Char('y'));
    QVERIFY(store->record(long1).ok());
    QVERIFY(store->record(exact).ok());
    QCOMPARE(store->latest(QStringLiteral("a.com"))->answer, QString(65535, QLatin1Char('x')));
    QCOMPARE(store->latest(QStringLiteral("b.com"))->answer.size(), 65536);
    QCOMPARE(store::cutToUtf8Bytes(QStringLiteral("ab\U0001F600"), 5), QStringLiteral("ab"));
    QCOMPARE(store::cutToUtf8Bytes(QStringLiteral("ab\U0001F600"), 6), QStringLiteral("ab\U0001F600"));
}

void TestAnswerStore::recordFromEvidenceKeepsWhatDecided()
{
    testing::TestFolder folder;
    auto store = openStore(folder);
    core::LookupEvidence evidence;
    evidence.name = QStringLiteral("Example.COM");
    evidence.verdict = core::LookupVerdict::Available;
    evidence.server = QStringLiteral("whois.example");
    evidence.port = 43;
    evidence.matchedWord = QStringLiteral("No match");
    evidence.rule = QStringLiteral("success-word");
    evidence.answerBytes = 17;
    evidence.elapsedMs = 250;
    evidence.answer = QStringLiteral("No match for X.\n");
    QVERIFY(store->record(evidence, {}, at(3)).ok());
    const StoredAnswer read = *store->latest(QStringLiteral("example.com"));
    QCOMPARE(read.name, QStringLiteral("example.com"));
    QCOMPARE(read.extension, QStringLiteral("com"));
    QCOMPARE(read.server, QStringLiteral("whois.example:43"));
    QCOMPARE(read.rule, QStringLiteral("No match"));
    QCOMPARE(read.protocol, QStringLiteral("whois"));
    QCOMPARE(read.answeredAt, at(3));
}

void TestAnswerStore::batchIsWrittenASecondAfterItsFirstAnswer()
{
    testing::TestFolder folder;
    testing::FakeScheduler clock;
    auto store = openStore(folder, StoreMode::ReadWrite, &clock);
    const QString path = store->path();
    QVERIFY(store->record(answer(QStringLiteral("a.com"), core::LookupVerdict::Available, at(1))).ok());
    clock.advance(600);
    QVERIFY(store->record(answer(QStringLiteral("b.com"), core::LookupVerdict::Available, at(1))).ok());
    clock.advance(399);
    QCOMPARE(countRows(path), 0);
    QCOMPARE(store->pendingCount(), 2);
    clock.advance(1);
    QCOMPARE(store->pendingCount(), 0);
    QVERIFY(store->waitForWrites().ok());
    QCOMPARE(countRows(path), 2);
    // The next answer starts a new second of its own.
    QVERIFY(store->record(answer(QStringLiteral("c.com"), core::LookupVerdict::Available, at(1))).ok());
    clock.advance(999);
    QVERIFY(store->waitForWrites().ok());
    QCOMPARE(countRows(path), 2);
    clock.advance(1);
    QVERIFY(store->waitForWrites().ok());
    QCOMPARE(countRows(path), 3);
}

void TestAnswerStore::flushAndCloseLoseNothing()
{
    testing::TestFolder folder;
    testing::FakeScheduler clock;
    QString path;
    {
        auto store = openStore(folder, StoreMode::ReadWrite, &clock);
        path = store->path();
        for (int i = 0; i < int(store::kStoreMaxBatch) + 10; ++i)
            QVERIFY(
                store->record(answer(QStringLiteral("n%1.com").arg(i), core::LookupVerdict::Unknown, at(1)))
                    .ok());
        // A full batch went at once, without waiting for the clock.
        QCOMPARE(store->pendingCount(), 10);
        QVERIFY(store->waitForWrites().ok());
        QCOMPARE(countRows(path), int(store::kStoreMaxBatch));
        QVERIFY(store->flush().ok());
        QCOMPARE(countRows(path), int(store::kStoreMaxBatch) + 10);
        QVERIFY(store->record(answer(QStringLiteral("last.com"), core::LookupVerdict::Unknown, at(1))).ok());
    }
    QCOMPARE(countRows(path), int(store::kStoreMaxBatch) + 11);
    QCOMPARE(pageSizeOf(path), store::kStorePageSize);
}

void TestAnswerStore::historyIsNewestFirstAndLatestIsTheLastRecorded()
{
    testing::TestFolder folder;
    auto store = openStore(folder);
    QVERIFY(store->record(answer(QStringLiteral("x.com"), core::LookupVerdict::Registered, at(1))).ok());
    QVERIFY(store->record(answer(QStringLiteral("y.com"), core::LookupVerdict::Registered, at(1))).ok());
    QVERIFY(store->record(answer(QStringLiteral("X.com"), core::LookupVerdict::Available, at(5))).ok());
    const core::Result<QList<StoredAnswer>> history = store->history(QStringLiteral("x.COM"));
    QVERIFY(history.ok());
    QCOMPARE(history.value().size(), 2);
    QCOMPARE(history.value().at(0).verdict, core::LookupVerdict::Available);
    QCOMPARE(history.value().at(1).answeredAt, at(1));
    QCOMPARE(store->latest(QStringLiteral("x.com"))->answeredAt, at(5));
    QVERIFY(!store->latest(QStringLiteral("never.com")));
    QVERIFY(store->history(QStringLiteral("never.com")).value().isEmpty());
}

void TestAnswerStore::exportTakesTheLatestAnswerOfEachNameThroughItsFilter()
{
    testing::TestFolder folder;
    auto store = openStore(folder);
    QVERIFY(store->record(answer(QStringLiteral("b.com"), core::LookupVerdict::Available, at(1))).ok());
    QVERIFY(store->record(answer(QStringLiteral("b.com"), core::LookupVerdict::Registered, at(4))).ok());
    QVERIFY(store->record(answer(QStringLiteral("a.com"), core::LookupVerdict::Registered, at(2))).ok());
    QVERIFY(store->record(answer(QStringLiteral("c.com"), core::LookupVerdict::Blocked, at(6))).ok());
    const auto names = [&](const store::ExportFilter &filter) {
        QStringList seen;
        const core::Status status = store->forEachLatest(filter, [&](const QStringList &row) {
            seen.append(row.at(0) + QLatin1Char(':') + row.at(1));
            return true;
        });
        return status.ok() ? seen : QStringList{QStringLiteral("failed")};
    };
    QCOMPARE(names({}), (QStringList{QStringLiteral("a.com:registered"), QStringLiteral("b.com:registered"),
                                     QStringLiteral("c.com:blocked")}));
    // The filter applies to the latest answer: b.com was available once, but is no more.
    QCOMPARE(names({core::LookupVerdict::Available, {}}), QStringList());
    QCOMPARE(names({core::LookupVerdict::Registered, at(3, 0)}),
             QStringList{QStringLiteral("b.com:registered")});
    QCOMPARE(names({std::nullopt, at(4, 12)}),
             (QStringList{QStringLiteral("b.com:registered"), QStringLiteral("c.com:blocked")}));
    // A later batch replaces a name's latest answer; the others stay.
    QVERIFY(store->record(answer(QStringLiteral("a.com"), core::LookupVerdict::Available, at(7))).ok());
    QCOMPARE(names({core::LookupVerdict::Available, {}}), QStringList{QStringLiteral("a.com:available")});
    QCOMPARE(names({}).size(), 3);
}

// The export's CSV records and JSON objects are formed from the store's UTF-8 bytes; they must
// be what csvRecord and exportObject make of the same columns as text, for every text a
// server may send.
void TestAnswerStore::exportOfTheStoresBytesFollowsTheExportRules_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << QStringLiteral("Registrar Inc.");
    QTest::newRow("empty") << QString();
    QTest::newRow("comma") << QStringLiteral("Names, Inc.");
    QTest::newRow("quotes") << QStringLiteral("the \"best\" names");
    QTest::newRow("line breaks") << QStringLiteral("one\r\ntwo\nthree\rfour");
    QTest::newRow("formula =") << QStringLiteral("=HYPERLINK(\"http://x\")");
    QTest::newRow("formula +") << QStringLiteral("+1");
    QTest::newRow("formula -") << QStringLiteral("-1, or so");
    QTest::newRow("formula @") << QStringLiteral("@SUM(A1)");
    QTest::newRow("leading tab") << QStringLiteral("\tx");
    QTest::newRow("leading DEL") << QStringLiteral("\u007fx");
    QTest::newRow("leading C1 control") << QStringLiteral("\u0085x");
    QTest::newRow("after C1 controls") << QStringLiteral("\u00a0x");
    QTest::newRow("not at the start") << QStringLiteral("a=b-c+d@e");
    QTest::newRow("non-ASCII") << QStringLiteral("\u00e9\u4e2d\U0001F600, \"x\"");
    QTest::newRow("apostrophe") << QStringLiteral("'quoted' -- DROP TABLE latest;");
    QTest::newRow("backslash and controls") << QStringLiteral("a\\b\u0001c\u001fd\be\ff/");
}

void TestAnswerStore::exportOfTheStoresBytesFollowsTheExportRules()
{
    QFETCH(QString, text);
    testing::TestFolder folder;
    auto store = openStore(folder);
    StoredAnswer written = answer(QStringLiteral("odd.com"), core::LookupVerdict::Registered, at(3));
    written.server = text;
    written.rule = text;
    written.httpStatus = 404;
    written.details.registrar = text;
    written.details.statuses = QStringList{text, QStringLiteral("-second")};
    written.details.nameservers = QStringList{text, QStringLiteral("ns2.example")};
    written.details.expires = at(20, 0);
    QVERIFY(store->record(written).ok());
    QVERIFY(store->record(answer(QStringLiteral("plain.com"), core::LookupVerdict::Available, at(4))).ok());

    QStringList records;
    QList<QJsonObject> objects;
    QVERIFY(store
                ->forEachLatest({},
                                [&](const QStringList &row) {
                                    records.append(store::csvRecord(row));
                                    objects.append(store::exportObject(row));
                                    return true;
                                })
                .ok());
    QStringList recordsOfBytes;
    QList<QJsonObject> objectsOfBytes;
    QVERIFY(store
                ->forEachLatestUtf8({},
                                    [&](const store::LatestUtf8 &columns) {
                                        QByteArray record;
                                        store::appendCsvRecord(record, columns);
                                        recordsOfBytes.append(QString::fromUtf8(record));
                                        QByteArray object;
                                        store::appendJsonObject(object, columns);
                                        QJsonParseError error;
                                        objectsOfBytes.append(
                                            QJsonDocument::fromJson(object, &error).object());
                                        return error.error == QJsonParseError::NoError;
                                    })
                .ok());
    QCOMPARE(recordsOfBytes.size(), 2);
    QCOMPARE(recordsOfBytes, records);
    QCOMPARE(objectsOfBytes, objects);
}

// The export writes the time answered itself (not through SQLite or QDateTime): it must read
// as QDateTime writes it, down to the second below, on both sides of 1970 and at the ends of
// the years that four digits hold.
void TestAnswerStore::timeAnsweredIsExportedAsIsoUtcToTheSecond_data()
{
    QTest::addColumn<qint64>("msecs");
    QTest::newRow("1970") << qint64(0);
    QTest::newRow("a millisecond before 1970") << qint64(-1);
    QTest::newRow("1900, mid-second") << qint64(-2208988799500);
    QTest::newRow("leap day, last millisecond")
        << QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59, 999), Qt::UTC).toMSecsSinceEpoch();
    QTest::newRow("2100, no leap day")
        << QDateTime(QDate(2100, 3, 1), QTime(0, 0, 1), Qt::UTC).toMSecsSinceEpoch();
    QTest::newRow("year 1") << QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();
    QTest::newRow("1 BC, last second")
        << QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch() - 1000;
    QTest::newRow("year 9999, last second")
        << QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59), Qt::UTC).toMSecsSinceEpoch();
    QTest::newRow("year 10000") << QDateTime(QDate(10000, 1, 1), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();
}

void TestAnswerStore::timeAnsweredIsExportedAsIsoUtcToTheSecond()
{
    QFETCH(qint64, msecs);
    testing::TestFolder folder;
    auto store = openStore(folder);
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
    QVERIFY(store->record(answer(QStringLiteral("a.com"), core::LookupVerdict::Available, when)).ok());
    const QDateTime second =
        QDateTime::fromSecsSinceEpoch(msecs / 1000 - (msecs % 1000 < 0 ? 1 : 0), Qt::UTC);
    QString ofBytes;
    QString ofText;
    QVERIFY(store
                ->forEachLatestUtf8({},
                                    [&](const store::LatestUtf8 &columns) {
                                        ofBytes = QString::fromUtf8(columns[2]);
                                        return true;
                                    })
                .ok());
    QVERIFY(store->forEachLatest({}, [&](const QStringList &row) { return ofText = row.at(2), true; }).ok());
    QCOMPARE(ofBytes, core::isoUtc(second));
    QCOMPARE(ofText, ofBytes);
}

// An export of a few MiB goes to the file in pieces: a disk that fills in the middle of them
// leaves the old file as it was and no piece of the new one.
void TestAnswerStore::exportToAFileThatFailsMidwayKeepsTheOldFile()
{
    testing::TestFolder folder;
    auto store = openStore(folder);
    StoredAnswer a = answer(QString(), core::LookupVerdict::Registered, at(5));
    a.details.registrar = QString(200, QLatin1Char('r'));
    for (int i = 0; i < 8000; ++i) {
        a.name = QStringLiteral("name%1.com").arg(i);
        QVERIFY(store->record(a).ok());
    }
    const QString path = folder.file(QStringLiteral("all.csv"));
    folder.write(QStringLiteral("all.csv"), "old export\r\n");
    const QStringList before = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
    {
        core::WriteFaultScope fault(1536 * 1024);
        const core::Status status = store::exportAnswersToFile(*store, {}, store::ExportFormat::Csv, path);
        QCOMPARE(status.code(), core::ErrorCode::WriteFailed);
        QVERIFY(status.message().contains(QStringLiteral("all.csv")));
    }
    QCOMPARE(folder.read(QStringLiteral("all.csv")), QByteArray("old export\r\n"));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), before);
    QVERIFY(store::exportAnswersToFile(*store, {}, store::ExportFormat::Csv, path).ok());
    const QByteArray written = folder.read(QStringLiteral("all.csv"));
    QVERIFY(written.size() > 2 * 1024 * 1024);
    QCOMPARE(written.count("\r\n"), 8001);
    QVERIFY(written.endsWith("\r\n"));
}

void TestAnswerStore::registryAnswersAreKeptCompressedAndShortOnesAsText()
{
    testing::TestFolder folder;
    const QString text = registryAnswer();
    QVERIFY(text.size() > 1000);
    {
        auto store = openStore(folder);
        StoredAnswer registered =
            answer(QStringLiteral("google.com"), core::LookupVerdict::Registered, at(1));
        registered.answer = text;
        QVERIFY(store->record(registered).ok());
        QVERIFY(store->record(answer(QStringLiteral("x.com"), core::LookupVerdict::Available, at(1))).ok());
        QVERIFY(store->flush().ok());
        QCOMPARE(store->latest(QStringLiteral("google.com"))->answer, text);
    }
    const QMap<QString, QPair<QString, int>> kinds = storedTextKinds(folder.file(store::kStoreFileName));
    // The registry's notice is in the dictionary: its answer takes a small part of its size.
    QCOMPARE(kinds.value(QStringLiteral("google.com")).first, QStringLiteral("blob"));
    QVERIFY2(kinds.value(QStringLiteral("google.com")).second * 4 < text.toUtf8().size(),
             qPrintable(QString::number(kinds.value(QStringLiteral("google.com")).second)));
    // A text that a frame would not shorten stays readable text in the file.
    QCOMPARE(kinds.value(QStringLiteral("x.com")), qMakePair(QStringLiteral("text"), 16));
}

void TestAnswerStore::textFrameThatCannotBeReadIsToldNotRead_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("why");

    store::AnswerTextPacker packer;
    const QByteArray frame = packer.pack(registryAnswer().toUtf8()).toByteArray();
    QVERIFY(!frame.isEmpty());
    QByteArray flipped = frame;
    flipped[flipped.size() / 2] = char(flipped.at(flipped.size() / 2) ^ 0x20);
    // The frame names its dictionary in the four bytes after its magic number and header byte.
    QByteArray otherDictionary = frame;
    otherDictionary[5] = char(otherDictionary.at(5) ^ 0x01);
    QCOMPARE(ZSTD_getDictID_fromFrame(otherDictionary.constData(), std::size_t(otherDictionary.size())),
             store::kAnswerDictionaryId ^ 0x01);
    // A frame that would unpack to more than the store keeps of any answer.
    const QByteArray large(store::kMaxStoredAnswerBytes + 1, 'x');
    QByteArray oversized(qsizetype(ZSTD_compressBound(std::size_t(large.size()))), Qt::Uninitialized);
    oversized.resize(qsizetype(ZSTD_compress(oversized.data(), std::size_t(oversized.size()),
                                             large.constData(), std::size_t(large.size()), 1)));

    QTest::newRow("empty") << QByteArray() << QStringLiteral("not a compressed answer");
    QTest::newRow("not-a-frame") << QByteArray("Domain Name: EXAMPLE.COM")
                                 << QStringLiteral("not a compressed answer");
    QTest::newRow("cut-short") << frame.left(frame.size() - 10) << QStringLiteral("Src size is incorrect");
    QTest::newRow("damaged") << flipped << QString();
    QTest::newRow("unknown-dictionary")
        << otherDictionary << QStringLiteral("which this version does not have");
    QTest::newRow("over-the-cap") << oversized << QStringLiteral("not a compressed answer");
}

void TestAnswerStore::textFrameThatCannotBeReadIsToldNotRead()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, why);
    const QString text = store::unpackAnswerText(QVariant(stored));
    QVERIFY2(text.startsWith(QStringLiteral("[The stored text of this answer cannot be read: ")),
             qPrintable(text));
    QVERIFY2(text.contains(why), qPrintable(text));
    // Text stays text, whatever it looks like; a sound frame gives back its text.
    QCOMPARE(store::unpackAnswerText(QVariant(QStringLiteral("\x28\xb5\x2f\xfd"))),
             QStringLiteral("\x28\xb5\x2f\xfd"));
    store::AnswerTextPacker packer;
    QCOMPARE(store::unpackAnswerText(QVariant(packer.pack(registryAnswer().toUtf8()).toByteArray())),
             registryAnswer());
}

void TestAnswerStore::readOnlyWritesNothing()
{
    testing::TestFolder folder;
    {
        auto missing = openStore(folder, StoreMode::ReadOnly);
        QVERIFY(missing);
        QVERIFY(missing->record(answer(QStringLiteral("a.com"), core::LookupVerdict::Available, at(1))).ok());
        QVERIFY(!missing->latest(QStringLiteral("a.com")));
        QVERIFY(!missing->watchAdd({QStringLiteral("a.com")}).ok());
    }
    QVERIFY(!folder.exists(store::kStoreFileName));
    {
        auto writer = openStore(folder);
        QVERIFY(writer->record(answer(QStringLiteral("a.com"), core::LookupVerdict::Available, at(1))).ok());
    }
    const QString path = folder.file(store::kStoreFileName);
    const QByteArray before = digestOf(path);
    const QStringList filesBefore = QDir(folder.path()).entryList(QDir::Files);
    {
        auto reader = openStore(folder, StoreMode::ReadOnly);
        QVERIFY(reader && reader->isReadOnly());
        QVERIFY(reader->record(answer(QStringLiteral("b.com"), core::LookupVerdict::Available, at(1))).ok());
        QVERIFY(reader->flush().ok());
        QCOMPARE(reader->latest(QStringLiteral("a.com"))->verdict, core::LookupVerdict::Available);
        QVERIFY(!reader->latest(QStringLiteral("b.com")));
    }
    QCOMPARE(digestOf(path), before);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), filesBefore);
}

void TestAnswerStore::firstSchemaIsMigratedKeepingItsAnswers()
{
    testing::TestFolder folder;
    writeFirstSchemaStore(folder.file(store::kStoreFileName));
    {
        // Read-only reads the old schema as it is.
        auto reader = openStore(folder, StoreMode::ReadOnly);
        QVERIFY(reader);
        QCOMPARE(reader->latest(QStringLiteral("old.com"))->details.registrar,
                 QStringLiteral("Example Registrar"));
        QVERIFY(reader->watchedNames().value().isEmpty());
        QStringList exported;
        QVERIFY(
            reader
                ->forEachLatest({}, [&](const QStringList &row) { return exported.append(row.at(3)), true; })
                .ok());
        QCOMPARE(exported, QStringList{QStringLiteral("2027-01-01T00:00:00Z")});
    }
    StoreOpening report;
    auto store = AnswerStore::open(folder.path(), StoreMode::ReadWrite, report);
    QVERIFY(store);
    QCOMPARE(report.outcome, StoreOpening::Outcome::Opened);
    const StoredAnswer old = *store->latest(QStringLiteral("old.com"));
    QCOMPARE(old.details.expires, QDateTime(QDate(2027, 1, 1), QTime(0, 0), Qt::UTC));
    QCOMPARE(old.details.nameservers.size(), 2);
    QCOMPARE(old.answer, QStringLiteral("Domain Name: OLD.COM"));
    // The migration brought the old answer into the export's table of latest answers.
    QStringList exported;
    QVERIFY(store->forEachLatest({}, [&](const QStringList &row) { return exported.append(row.at(0)), true; })
                .ok());
    QCOMPARE(exported, QStringList{QStringLiteral("old.com")});
    QVERIFY(store->watchAdd({QStringLiteral("old.com")}).ok());
    QVERIFY(store->record(answer(QStringLiteral("old.com"), core::LookupVerdict::Available, at(9))).ok());
    QCOMPARE(store->history(QStringLiteral("old.com")).value().size(), 2);
    // The store and its writer thread hold connections of their own; ask the file on another.
    {
        QSqlDatabase check =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("version-check"));
        check.setDatabaseName(store->path());
        QVERIFY(check.open());
        QSqlQuery version(check);
        QVERIFY(version.exec(QStringLiteral("PRAGMA user_version")) && version.next());
        QCOMPARE(version.value(0).toInt(), store::kStoreSchemaVersion);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("version-check"));
}

void TestAnswerStore::secondSchemaIsMigratedAndItsLatestAnswersKeptByTheWriter()
{
    testing::TestFolder folder;
    const QString path = folder.file(store::kStoreFileName);
    const QString connection = QStringLiteral("second-schema");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        for (int version : {1, 2}) {
            for (const QString &statement : store::schemaSteps(version))
                QVERIFY(store::execute(db, statement).ok());
        }
        QSqlQuery q(db);
        // The second schema's trigger fills the latest answers.
        QVERIFY(q.exec(
            QStringLiteral("INSERT INTO answers VALUES (1, 'old.com', 'com', 'registered', 'whois', "
                           "'whois.example:43', 'no-match', 0, 10, 5, 1767225600000, NULL, "
                           "'2027-01-01T00:00:00Z', NULL, NULL, NULL, NULL, 'Domain Name: OLD.COM')")));
        QVERIFY(q.exec(QStringLiteral("PRAGMA application_id = %1").arg(store::kStoreApplicationId)));
        QVERIFY(q.exec(QStringLiteral("PRAGMA user_version = 2")));
    }
    QSqlDatabase::removeDatabase(connection);
    const auto latest = [](AnswerStore &store) {
        QStringList rows;
        (void)store.forEachLatest({}, [&](const QStringList &row) {
            return rows.append(row.at(0) + QLatin1Char(':') + row.at(1) + QLatin1Char(':') + row.at(3)), true;
        });
        return rows;
    };
    const int olderPageSize = pageSizeOf(path);
    StoreOpening report;
    auto store = AnswerStore::open(folder.path(), StoreMode::ReadWrite, report);
    QVERIFY(store);
    QCOMPARE(report.outcome, StoreOpening::Outcome::Opened);
    QCOMPARE(latest(*store), QStringList{QStringLiteral("old.com:registered:2027-01-01T00:00:00Z")});
    QCOMPARE(pageSizeOf(path), olderPageSize); // an older file keeps its pages
    // One batch holding a name twice, and a new name: the name's last answer is its latest.
    QVERIFY(store->record(answer(QStringLiteral("old.com"), core::LookupVerdict::Registered, at(2))).ok());
    QVERIFY(store->record(answer(QStringLiteral("new.com"), core::LookupVerdict::Registered, at(2))).ok());
    QVERIFY(store->record(answer(QStringLiteral("old.com"), core::LookupVerdict::Available, at(3))).ok());
    QCOMPARE(latest(*store),
             (QStringList{QStringLiteral("new.com:registered:"), QStringLiteral("old.com:available:")}));
    QCOMPARE(store->history(QStringLiteral("old.com")).value().size(), 3);
    store.reset();
    // The file is of the current schema, without the trigger.
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("PRAGMA user_version")) && q.next());
        QCOMPARE(q.value(0).toInt(), store::kStoreSchemaVersion);
        QVERIFY(q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'trigger'")) &&
                q.next());
        QCOMPARE(q.value(0).toInt(), 0);
    }
    QSqlDatabase::removeDatabase(connection);
}

void TestAnswerStore::unusableFileIsMovedAsideAndANewStoreStarted_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("not-a-database") << "garbage";
    QTest::newRow("foreign-database") << "foreign";
}

void TestAnswerStore::unusableFileIsMovedAsideAndANewStoreStarted()
{
    QFETCH(QString, kind);
    testing::TestFolder folder;
    const QString path = folder.file(store::kStoreFileName);
    if (kind == QLatin1String("garbage")) {
        folder.write(store::kStoreFileName,
                     QByteArray("this is no database at all, but it is the user's", 49).repeated(200));
    } else {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec(QStringLiteral("CREATE TABLE contacts (name TEXT)")));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("other"));
    }
    const QByteArray original = digestOf(path);

    StoreOpening report;
    auto store = AnswerStore::open(folder.path(), StoreMode::ReadWrite, report);
    QVERIFY(store);
    QCOMPARE(report.outcome, StoreOpening::Outcome::Replaced);
    QVERIFY(!report.problem.ok());
    QVERIFY2(report.problem.message().contains(report.movedTo), qPrintable(report.problem.message()));
    QVERIFY(QFileInfo::exists(report.movedTo));
    QVERIFY(report.movedTo.startsWith(folder.file(QStringLiteral("backups/answers-"))));
    QCOMPARE(digestOf(report.movedTo), original);
    QVERIFY(store->record(answer(QStringLiteral("a.com"), core::LookupVerdict::Available, at(1))).ok());
    QVERIFY(store->latest(QStringLiteral("a.com")));
}

// A store another program is writing is its live file: it is neither moved nor replaced, the
// run goes on without a store, and once that program lets go the file opens as it was.
void TestAnswerStore::fileInUseByAnotherProgramStaysWhereItIs()
{
    testing::TestFolder folder;
    const QString path = folder.file(store::kStoreFileName);
    {
        auto first = openStore(folder);
        QVERIFY(
            first->record(answer(QStringLiteral("kept.com"), core::LookupVerdict::Registered, at(1))).ok());
    }
    {
        QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        holder.setDatabaseName(path);
        QVERIFY(holder.open());
        QVERIFY(QSqlQuery(holder).exec(QStringLiteral("BEGIN EXCLUSIVE")));

        StoreOpening report;
        QVERIFY(!AnswerStore::open(folder.path(), StoreMode::ReadWrite, report));
        QCOMPARE(report.outcome, StoreOpening::Outcome::Unavailable);
        QVERIFY2(report.problem.message().contains(QStringLiteral("in use by another program")),
                 qPrintable(report.problem.message()));
        QVERIFY(report.movedTo.isEmpty());
        QVERIFY(!QFileInfo::exists(folder.file(QStringLiteral("backups"))));

        QVERIFY(QSqlQuery(holder).exec(QStringLiteral("ROLLBACK")));
        holder.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
    StoreOpening report;
    auto store = AnswerStore::open(folder.path(), StoreMode::ReadWrite, report);
    QVERIFY(store);
    QCOMPARE(report.outcome, StoreOpening::Outcome::Opened);
    QVERIFY(store->latest(QStringLiteral("kept.com")));
}

void TestAnswerStore::fileOfANewerProgramIsLeftAlone()
{
    testing::TestFolder folder;
    writeFirstSchemaStore(folder.file(store::kStoreFileName));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("newer"));
        db.setDatabaseName(folder.file(store::kStoreFileName));
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec(QStringLiteral("PRAGMA user_version = 99")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("newer"));
    const QByteArray before = digestOf(folder.file(store::kStoreFileName));
    StoreOpening report;
    QVERIFY(!AnswerStore::open(folder.path(), StoreMode::ReadWrite, report));
    QCOMPARE(report.outcome, StoreOpening::Outcome::Unavailable);
    QVERIFY(report.problem.message().contains(QStringLiteral("newer version")));
    QCOMPARE(digestOf(folder.file(store::kStoreFileName)), before);
    QVERIFY(!folder.exists(QStringLiteral("backups")));
}

void TestAnswerStore::readOnlyNeverMovesAnUnusableFile()
{
    testing::TestFolder folder;
    folder.write(store::kStoreFileName, QByteArray(4096, 'z'));
    StoreOpening report;
    QVERIFY(!AnswerStore::open(folder.path(), StoreMode::ReadOnly, report));
    QCOMPARE(report.outcome, StoreOpening::Outcome::Unavailable);
    QVERIFY(report.problem.message().contains(QStringLiteral("is damaged")));
    QCOMPARE(folder.read(store::kStoreFileName), QByteArray(4096, 'z'));
    QVERIFY(!folder.exists(QStringLiteral("backups")));
}

void TestAnswerStore::watchListKeepsNamesOnce()
{
    testing::TestFolder folder;
    auto store = openStore(folder);
    QVERIFY(store->watchAdd({QStringLiteral("B.com"), QStringLiteral("a.com")}, at(1)).ok());
    QVERIFY(store->watchAdd({QStringLiteral("b.com"), QStringLiteral("c.com")}, at(2)).ok());
    QCOMPARE(store->watchedNames().value(),
             (QStringList{QStringLiteral("b.com"), QStringLiteral("a.com"), QStringLiteral("c.com")}));
    QVERIFY(store->watchRemove({QStringLiteral("A.COM"), QStringLiteral("never.com")}).ok());
    QCOMPARE(store->watchedNames().value(), (QStringList{QStringLiteral("b.com"), QStringLiteral("c.com")}));
}

QTEST_GUILESS_MAIN(TestAnswerStore)
#include "tst_answerstore.moc"
