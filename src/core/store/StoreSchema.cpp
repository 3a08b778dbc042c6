#include "core/store/StoreSchema.h"

#include "core/store/AnswerStore.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <sqlite3.h>

namespace wendlecott::store {

QStringList schemaSteps(int version)
{
    switch (version) {
    case 1:
        // Times in milliseconds since 1970 (UTC); registration dates as ISO 8601 text in UTC;
        // statuses and name servers one a line; NULL where a detail was not found. The
        // answer's text comes last so that reading the other columns never touches it.
        return {QStringLiteral("CREATE TABLE answers ("
                               "id INTEGER PRIMARY KEY, name TEXT NOT NULL, extension TEXT NOT NULL, "
                               "verdict TEXT NOT NULL, protocol TEXT NOT NULL, server TEXT NOT NULL, "
                               "rule TEXT NOT NULL, http_status INTEGER NOT NULL, bytes INTEGER NOT NULL, "
                               "elapsed_ms INTEGER NOT NULL, answered_at INTEGER NOT NULL, "
                               "created TEXT, expires TEXT, updated TEXT, registrar TEXT, statuses TEXT, "
                               "nameservers TEXT, answer TEXT NOT NULL)"),
                QStringLiteral("CREATE INDEX answers_by_name ON answers (name)")};
    case 2:
        // The latest answer of each name without its text, kept by a trigger: an export reads
        // this table in name order instead of seeking every name's newest row among all answers.
        return {QStringLiteral("CREATE TABLE watch (name TEXT PRIMARY KEY, added_at INTEGER NOT NULL)"),
                QStringLiteral("CREATE TABLE latest (name TEXT PRIMARY KEY, id INTEGER NOT NULL, "
                               "verdict TEXT NOT NULL, protocol TEXT NOT NULL, server TEXT NOT NULL, "
                               "rule TEXT NOT NULL, http_status INTEGER NOT NULL, bytes INTEGER NOT NULL, "
                               "elapsed_ms INTEGER NOT NULL, answered_at INTEGER NOT NULL, created TEXT, "
                               "expires TEXT, updated TEXT, registrar TEXT, statuses TEXT, nameservers TEXT) "
                               "WITHOUT ROWID"),
                QStringLiteral(
                    "INSERT INTO latest SELECT name, id, verdict, protocol, server, rule, http_status, "
                    "bytes, elapsed_ms, answered_at, created, expires, updated, registrar, statuses, "
                    "nameservers FROM answers WHERE id IN (SELECT max(id) FROM answers GROUP BY name)"),
                QStringLiteral(
                    "CREATE TRIGGER answers_latest AFTER INSERT ON answers BEGIN "
                    "INSERT OR REPLACE INTO latest VALUES (NEW.name, NEW.id, NEW.verdict, NEW.protocol, "
                    "NEW.server, NEW.rule, NEW.http_status, NEW.bytes, NEW.elapsed_ms, NEW.answered_at, "
                    "NEW.created, NEW.expires, NEW.updated, NEW.registrar, NEW.statuses, "
                    "NEW.nameservers); END")};
    case 3:
        // The writer keeps the latest answers a batch at a time: a trigger on every row cost
        // each insert a sub-program and a statement journal of every page it touched.
        return {QStringLiteral("DROP TRIGGER answers_latest")};
    case 4:
        // An answer's text may be a zstd frame (a BLOB) that names its dictionary; the tables
        // stay as they are, but a version that would read it as text must not open the file.
        return {};
    default:
        return {};
    }
}

core::Status execute(QSqlDatabase &db, const QString &statement)
{
    QSqlQuery query(db);
    if (query.exec(statement))
        return {};
    return core::Status::failure(core::ErrorCode::WriteFailed,
                                 QStringLiteral("%1 (%2)").arg(query.lastError().text(), statement.left(60)));
}

sqlite3 *sqliteHandle(const QSqlDatabase &db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

core::Status migrateSchema(QSqlDatabase &db, int from)
{
    // A new file gets pages of 16 KiB: an answer of a few KiB is one page write of SQLite
    // instead of one or two, which takes a fifth off recording it. Set before the first table,
    // it holds for the file's life; an older file keeps the size it has.
    if (from == 0) {
        if (core::Status status = execute(db, QStringLiteral("PRAGMA page_size = %1").arg(kStorePageSize));
            !status)
            return status;
    }
    if (!db.transaction())
        return core::Status::failure(core::ErrorCode::WriteFailed, db.lastError().text());
    core::Status status;
    for (int version = from + 1; version <= kStoreSchemaVersion && status; ++version) {
        for (const QString &statement : schemaSteps(version)) {
            status = execute(db, statement);
            if (!status)
                break;
        }
    }
    if (status)
        status = execute(db, QStringLiteral("PRAGMA application_id = %1").arg(kStoreApplicationId));
    if (status)
        status = execute(db, QStringLiteral("PRAGMA user_version = %1").arg(kStoreSchemaVersion));
    if (!status) {
        db.rollback();
        return status;
    }
    if (!db.commit())
        return core::Status::failure(core::ErrorCode::WriteFailed, db.lastError().text());
    return {};
}

} // namespace wendlecott::store
