#pragma once

#include "core/base/Result.h"

#include <QSqlDatabase>
#include <QStringList>

struct sqlite3;

namespace wendlecott::store {

// Written into every store file ("PRAGMA application_id"): a database without it that holds
// tables is some other program's, and is not touched.
constexpr int kStoreApplicationId = 0x57434F54;
// The page size of a new store file, in bytes.
constexpr int kStorePageSize = 16384;

// The statements that make schema `version` out of the one before it (version 1 out of an
// empty file). Every version this program ever wrote keeps its steps here unchanged.
QStringList schemaSteps(int version);

// Brings a store file of schema `from` (0: empty) up to the current one in one transaction,
// setting its application id and version; on failure the file is as it was.
core::Status migrateSchema(QSqlDatabase &db, int from);

// Runs one statement; the failure names it and what SQLite said.
core::Status execute(QSqlDatabase &db, const QString &statement);

// SQLite's own handle of a Qt SQL connection (Qt's driver links the system's SQLite), or
// null when the driver is not SQLite's.
sqlite3 *sqliteHandle(const QSqlDatabase &db);

} // namespace wendlecott::store
