#include "core/store/AnswerStore.h"

#include "core/base/Paths.h"
#include "core/lookup/DomainLookup.h"
#include "core/store/AnswerText.h"
#include "core/store/StoreSchema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <atomic>

namespace wendlecott::store {

namespace {

using core::ErrorCode;
using core::Status;

// Every column but the answer's text, in table order; the text is the column after them.
const QString kColumns =
    QStringLiteral("id, name, extension, verdict, protocol, server, rule, http_status, bytes, elapsed_ms, "
                   "answered_at, created, expires, updated, registrar, statuses, nameservers");
constexpr int kBusyTimeoutMs = 1000;

QString newConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("wendlecott-store-%1").arg(++counter);
}

// What an existing file turned out to be.
enum class FileKind { Ours, Empty, Damaged, Foreign, Locked, Newer };

struct Inspection {
    FileKind kind = FileKind::Ours;
    int version = 0;
    QString reason;
};

bool isBusy(const QSqlError &error)
{
    const QString code = error.nativeErrorCode();
    return code == QLatin1String("5") || code == QLatin1String("6");
}

Inspection failed(const QSqlError &error)
{
    return {isBusy(error) ? FileKind::Locked : FileKind::Damaged, 0, error.text()};
}

std::optional<qint64> pragmaValue(QSqlDatabase &db, const QString &pragma, QSqlError &error)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA ") + pragma) || !query.next()) {
        error = query.lastError();
        return std::nullopt;
    }
    return query.value(0).toLongLong();
}

// Whether the open file is a store of ours, of which schema, and whether we may write it.
Inspection inspect(QSqlDatabase &db, StoreMode mode)
{
    QSqlError error;
    const std::optional<qint64> application = pragmaValue(db, QStringLiteral("application_id"), error);
    const std::optional<qint64> version = pragmaValue(db, QStringLiteral("user_version"), error);
    if (!application || !version)
        return failed(error);
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !query.next())
        return failed(query.lastError());
    if (*application != kStoreApplicationId) {
        if (query.value(0).toInt() == 0 && *version == 0)
            return {FileKind::Empty, 0, {}};
        return {FileKind::Foreign, 0, QStringLiteral("it is no answer store of this program")};
    }
    if (*version > kStoreSchemaVersion)
        return {FileKind::Newer, int(*version), {}};
    if (*version < 1 || !query.exec(QStringLiteral("SELECT %1, answer FROM answers LIMIT 1").arg(kColumns)))
        return {FileKind::Damaged, int(*version), query.lastError().text()};
    // A writer that holds the file keeps us from writing: find out now, not at the first batch.
    if (mode == StoreMode::ReadWrite &&
        (!query.exec(QStringLiteral("BEGIN IMMEDIATE")) || !query.exec(QStringLiteral("COMMIT"))))
        return failed(query.lastError());
    return {FileKind::Ours, int(*version), {}};
}

// Moves the file (and its journal files) into backups/ under a name with the time; the
// path it went to, or an error when the file itself could not be moved.
core::Result<QString> moveAside(const QString &folder, const QString &path)
{
    const QString backups = core::resolveUnder(folder, kStoreBackupFolder);
    if (!QDir().mkpath(backups))
        return core::Result<QString>::failure(ErrorCode::WriteFailed,
                                              QStringLiteral("could not make the folder %1").arg(backups));
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = QDir(backups).filePath(QStringLiteral("answers-%1.sqlite").arg(stamp));
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = QDir(backups).filePath(QStringLiteral("answers-%1-%2.sqlite").arg(stamp).arg(n));
    if (!QFile::rename(path, target))
        return core::Result<QString>::failure(ErrorCode::WriteFailed,
                                              QStringLiteral("could not move %1 to %2").arg(path, target));
    for (const char *suffix : {"-wal", "-shm"}) {
        if (QFileInfo::exists(path + QLatin1String(suffix)))
            QFile::rename(path + QLatin1String(suffix), target + QLatin1String(suffix));
    }
    return target;
}

QString describe(const Inspection &inspection)
{
    switch (inspection.kind) {
    case FileKind::Locked:
        return QStringLiteral("is in use by another program (%1); it is left as it is")
            .arg(inspection.reason);
    case FileKind::Foreign:
        return QStringLiteral("is not an answer store of this program");
    case FileKind::Newer:
        return QStringLiteral("was written by a newer version of this program (schema %1)")
            .arg(inspection.version);
    default:
        return QStringLiteral("is damaged (%1)").arg(inspection.reason);
    }
}

QDateTime dateFrom(const QVariant &value)
{
    const QDateTime date = QDateTime::fromString(value.toString(), Qt::ISODate);
    return date.isValid() ? date.toUTC() : QDateTime();
}

StoredAnswer rowFrom(const QSqlQuery &query, bool withText)
{
    StoredAnswer row;
    row.id = query.value(0).toLongLong();
    row.name = query.value(1).toString();
    row.extension = query.value(2).toString();
    row.verdict = verdictFromKey(query.value(3).toString()).value_or(core::LookupVerdict::Unknown);
    row.protocol = query.value(4).toString();
    row.server = query.value(5).toString();
    row.rule = query.value(6).toString();
    row.httpStatus = query.value(7).toInt();
    row.bytes = query.value(8).toLongLong();
    row.elapsedMs = query.value(9).toLongLong();
    row.answeredAt = QDateTime::fromMSecsSinceEpoch(query.value(10).toLongLong(), Qt::UTC);
    row.details.created = dateFrom(query.value(11));
    row.details.expires = dateFrom(query.value(12));
    row.details.updated = dateFrom(query.value(13));
    row.details.registrar = query.value(14).toString();
    row.details.statuses = query.value(15).toString().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    row.details.nameservers = query.value(16).toString().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (withText)
        row.answer = unpackAnswerText(query.value(17));
    return row;
}

} // namespace

AnswerStore::AnswerStore(QString path, StoreMode mode, QString connection, core::Scheduler *scheduler)
    : m_path(std::move(path)), m_mode(mode), m_connection(std::move(connection))
{
    if (scheduler && mode == StoreMode::ReadWrite)
        m_flushTimer = std::make_unique<core::SingleShot>(*scheduler);
}

AnswerStore::~AnswerStore()
{
    (void)flush();
    m_flushTimer.reset();
    m_writer.reset();
    m_newest.reset();
    if (m_connection.isEmpty())
        return;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    // The last writer leaves the file without its WAL files, so that a read-only program
    // opening it later has nothing to create. While others read, the mode stays as it is.
    if (m_mode == StoreMode::ReadWrite && db.isOpen())
        (void)execute(db, QStringLiteral("PRAGMA journal_mode = DELETE"));
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connection);
}

std::unique_ptr<AnswerStore> AnswerStore::open(const QString &programFolder, StoreMode mode,
                                               StoreOpening &report, core::Scheduler *scheduler)
{
    report = {};
    const QString path = core::resolveUnder(programFolder, kStoreFileName);
    const bool existed = QFileInfo::exists(path);
    if (!existed && mode == StoreMode::ReadOnly) {
        report.outcome = StoreOpening::Outcome::Empty;
        return std::unique_ptr<AnswerStore>(new AnswerStore(path, mode, {}, nullptr));
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        const QString connection = newConnectionName();
        std::unique_ptr<AnswerStore> store(new AnswerStore(path, mode, connection, scheduler));
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs);
        if (mode == StoreMode::ReadOnly)
            options += QStringLiteral(";QSQLITE_OPEN_READONLY");
        db.setConnectOptions(options);
        const Inspection inspection =
            db.open() ? inspect(db, mode) : Inspection{FileKind::Damaged, 0, db.lastError().text()};
        Status ready;
        if (inspection.kind == FileKind::Ours ||
            (inspection.kind == FileKind::Empty && mode == StoreMode::ReadWrite)) {
            if (mode == StoreMode::ReadWrite && inspection.version < kStoreSchemaVersion)
                ready = migrateSchema(db, inspection.version);
            if (ready && mode == StoreMode::ReadWrite)
                ready = store->prepare();
            if (ready) {
                store->m_version = mode == StoreMode::ReadWrite ? kStoreSchemaVersion : inspection.version;
                if (report.outcome != StoreOpening::Outcome::Replaced)
                    report.outcome = existed && inspection.kind == FileKind::Ours
                                         ? StoreOpening::Outcome::Opened
                                         : StoreOpening::Outcome::Created;
                return store;
            }
        }
        db = QSqlDatabase();
        store.reset();
        const QString what =
            ready ? describe(inspection) : QStringLiteral("could not be set up (%1)").arg(ready.message());
        // A locked file is another program's live store: moving it (and its WAL, which that
        // program is writing) aside would split its answers between two files. It stays.
        if (mode == StoreMode::ReadOnly || inspection.kind == FileKind::Newer ||
            inspection.kind == FileKind::Locked || attempt > 0 || !ready) {
            report.outcome = StoreOpening::Outcome::Unavailable;
            report.problem = Status::failure(
                ErrorCode::ReadFailed,
                QStringLiteral("The answer store %1 %2; answers are not kept this time.").arg(path, what));
            return nullptr;
        }
        const core::Result<QString> moved = moveAside(programFolder, path);
        if (!moved) {
            report.outcome = StoreOpening::Outcome::Unavailable;
            report.problem = Status::failure(
                ErrorCode::WriteFailed, QStringLiteral("The answer store %1 %2, and %3; answers are not kept "
                                                       "this time.")
                                            .arg(path, what, moved.message()));
            return nullptr;
        }
        report.outcome = StoreOpening::Outcome::Replaced;
        report.movedTo = moved.value();
        report.problem =
            Status::failure(ErrorCode::ReadFailed,
                            QStringLiteral("The answer store %1 %2. It was moved to %3 and a new store "
                                           "was started.")
                                .arg(path, what, moved.value()));
    }
    return nullptr;
}

Status AnswerStore::prepare()
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    // WAL: readers (history, export, a second window) never wait for the writer. NORMAL
    // synchronisation keeps every committed batch through a crash of the program.
    for (const char *pragma : {"PRAGMA journal_mode = WAL", "PRAGMA synchronous = NORMAL"}) {
        if (Status status = execute(db, QLatin1String(pragma)); !status)
            return status;
    }
    m_writer = std::make_unique<AnswerWriter>(m_path);
    if (Status ready = m_writer->ready(); !ready) {
        m_writer.reset();
        return ready;
    }
    m_newest = std::make_unique<QSqlQuery>(db);
    m_newest->setForwardOnly(true);
    if (!m_newest->prepare(
            QStringLiteral("SELECT %1, answer FROM answers WHERE name = ? ORDER BY id DESC LIMIT 1")
                .arg(kColumns)))
        return Status::failure(ErrorCode::WriteFailed, m_newest->lastError().text());
    return {};
}

Status AnswerStore::record(const core::LookupEvidence &evidence)
{
    if (m_mode == StoreMode::ReadOnly || !m_writer)
        return {};
    QueuedAnswer queued;
    queued.answer.name = evidence.name.trimmed().toLower();
    queued.answer.answeredAt = QDateTime::currentDateTimeUtc();
    queued.evidence = evidence; // its details are read by the writer
    queue(std::move(queued));
    return {};
}

std::optional<core::LookupEvidence> AnswerStore::reusableAnswer(const QString &name, int days,
                                                                const QDateTime &now)
{
    if (days <= 0)
        return std::nullopt;
    const QString key = name.trimmed().toLower();
    std::optional<StoredAnswer> newest;
    // A queued answer is the newest; looking for it must not write the batch early.
    for (auto it = m_pending.crbegin(); it != m_pending.crend() && !newest; ++it) {
        if (it->answer.name == key)
            newest = it->resolved();
    }
    // An answer on its way to the file is waited for; others are not.
    if (!newest && m_handedOver.contains(key))
        (void)waitForWrites();
    if (!newest && m_newest) {
        m_newest->bindValue(0, key);
        if (m_newest->exec() && m_newest->next())
            newest = rowFrom(*m_newest, true);
        m_newest->finish();
    } else if (!newest) {
        newest = latest(key);
    }
    if (!newest ||
        !core::mayReuseAnswer(newest->verdict, newest->answeredAt, newest->details.expires, days, now))
        return std::nullopt;
    return reusedEvidence(*newest);
}

Status AnswerStore::record(const core::LookupEvidence &evidence, const core::RegistrationDetails &details,
                           const QDateTime &when)
{
    return record(storedAnswer(evidence, details, when));
}

Status AnswerStore::record(StoredAnswer answer)
{
    if (m_mode == StoreMode::ReadOnly || !m_writer)
        return {};
    answer.name = answer.name.trimmed().toLower();
    answer.extension = answer.extension.toLower();
    answer.answer = cutToUtf8Bytes(answer.answer, kMaxStoredAnswerBytes);
    queue({std::move(answer), std::nullopt});
    return {};
}

void AnswerStore::queue(QueuedAnswer answer)
{
    m_pending.append(std::move(answer));
    if (m_pending.size() >= kStoreMaxBatch)
        handOver();
    else if (m_pending.size() == 1 && m_flushTimer)
        m_flushTimer->start(kStoreFlushDelayMs, [this] { handOver(); });
}

// The queued answers go to the writer, which writes them while the run goes on.
void AnswerStore::handOver()
{
    if (m_flushTimer)
        m_flushTimer->cancel();
    if (m_pending.isEmpty() || !m_writer)
        return;
    if (m_writer->idle())
        m_handedOver.clear(); // everything handed over before is in the file
    for (const QueuedAnswer &queued : std::as_const(m_pending))
        m_handedOver.insert(queued.answer.name);
    m_writer->submit(std::exchange(m_pending, {}));
}

Status AnswerStore::waitForWrites()
{
    if (!m_writer)
        return {};
    const Status written = m_writer->drain();
    m_handedOver.clear();
    m_lost = m_writer->lostAnswers();
    return written;
}

Status AnswerStore::flush()
{
    handOver();
    return waitForWrites();
}

core::Result<QList<StoredAnswer>> AnswerStore::select(const QString &where, const QList<QVariant> &values,
                                                      bool withText)
{
    QList<StoredAnswer> rows;
    if (m_connection.isEmpty())
        return rows;
    if (Status status = flush(); !status)
        return status.error();
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("SELECT %1%2 FROM answers %3")
                           .arg(kColumns, withText ? QStringLiteral(", answer") : QString(), where)))
        return core::Error{ErrorCode::ReadFailed, query.lastError().text()};
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values.at(i));
    if (!query.exec())
        return core::Error{ErrorCode::ReadFailed, query.lastError().text()};
    while (query.next())
        rows.append(rowFrom(query, withText));
    return rows;
}

std::optional<StoredAnswer> AnswerStore::latest(const QString &name)
{
    const core::Result<QList<StoredAnswer>> rows =
        select(QStringLiteral("WHERE name = ? ORDER BY id DESC LIMIT 1"), {name.trimmed().toLower()}, true);
    if (!rows || rows.value().isEmpty())
        return std::nullopt;
    return rows.value().first();
}

core::Result<QList<StoredAnswer>> AnswerStore::history(const QString &name)
{
    return select(QStringLiteral("WHERE name = ? ORDER BY id DESC"), {name.trimmed().toLower()}, true);
}

core::Result<QList<StoredAnswer>> AnswerStore::historyWithoutText(const QString &name)
{
    return select(QStringLiteral("WHERE name = ? ORDER BY id DESC"), {name.trimmed().toLower()}, false);
}

Status AnswerStore::watchAdd(const QStringList &names, const QDateTime &when)
{
    if (m_mode == StoreMode::ReadOnly || m_connection.isEmpty())
        return Status::failure(ErrorCode::PermissionDenied,
                               QStringLiteral("the answer store is open read-only"));
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT OR IGNORE INTO watch (name, added_at) VALUES (?, ?)"));
    db.transaction();
    for (const QString &name : names) {
        query.bindValue(0, name.trimmed().toLower());
        query.bindValue(1, when.toMSecsSinceEpoch());
        if (!query.exec()) {
            const QString reason = query.lastError().text();
            db.rollback();
            return Status::failure(ErrorCode::WriteFailed, reason);
        }
    }
    return db.commit() ? Status() : Status::failure(ErrorCode::WriteFailed, db.lastError().text());
}

Status AnswerStore::watchRemove(const QStringList &names)
{
    if (m_mode == StoreMode::ReadOnly || m_connection.isEmpty())
        return Status::failure(ErrorCode::PermissionDenied,
                               QStringLiteral("the answer store is open read-only"));
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery query(db);
    query.prepare(QStringLiteral("DELETE FROM watch WHERE name = ?"));
    db.transaction();
    for (const QString &name : names) {
        query.bindValue(0, name.trimmed().toLower());
        if (!query.exec()) {
            const QString reason = query.lastError().text();
            db.rollback();
            return Status::failure(ErrorCode::WriteFailed, reason);
        }
    }
    return db.commit() ? Status() : Status::failure(ErrorCode::WriteFailed, db.lastError().text());
}

core::Result<QStringList> AnswerStore::watchedNames()
{
    QStringList names;
    if (m_connection.isEmpty())
        return names;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    // A store of the first schema, read-only, has no watch list yet.
    if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name = 'watch'")))
        return core::Error{ErrorCode::ReadFailed, query.lastError().text()};
    if (!query.next())
        return names;
    if (!query.exec(QStringLiteral("SELECT name FROM watch ORDER BY added_at, rowid")))
        return core::Error{ErrorCode::ReadFailed, query.lastError().text()};
    while (query.next())
        names.append(query.value(0).toString());
    return names;
}

} // namespace wendlecott::store
