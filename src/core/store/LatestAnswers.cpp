#include "core/lookup/RegistrationDetails.h"
#include "core/store/AnswerStore.h"
#include "core/store/StoreSchema.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <sqlite3.h>

#include <array>
#include <charconv>

// The latest answer of each name, as an export reads it: through Qt SQL as text, or through
// SQLite's own interface as UTF-8 for a large export.
namespace wendlecott::store {

using core::ErrorCode;
using core::Status;

namespace {

// The export's columns as SQL over the latest answers "a", in exportColumns() order, each
// text and never NULL.
QStringList latestColumnsSql()
{
    return {QStringLiteral("a.name"),
            QStringLiteral("a.verdict"),
            QStringLiteral("a.answered_at"),
            QStringLiteral("ifnull(a.expires, '')"),
            QStringLiteral("ifnull(a.created, '')"),
            QStringLiteral("ifnull(a.updated, '')"),
            QStringLiteral("ifnull(a.registrar, '')"),
            QStringLiteral("ifnull(a.statuses, '')"),
            QStringLiteral("ifnull(a.nameservers, '')"),
            QStringLiteral("a.protocol"),
            QStringLiteral("a.server"),
            QStringLiteral("a.rule"),
            QStringLiteral("a.http_status"),
            QStringLiteral("a.bytes"),
            QStringLiteral("a.elapsed_ms")};
}

// The columns that the query gives as numbers: the time answered (milliseconds since 1970,
// written as ISO 8601 in UTC) and the three counts. Formatted here rather than by SQLite,
// whose strftime() took a second of a million-answer export.
constexpr int kAnsweredAtColumn = 2;
constexpr int kFirstCountColumn = 12;

bool isNumberColumn(int column)
{
    return column == kAnsweredAtColumn || column >= kFirstCountColumn;
}

// Where a number column's text is written: a time, or a count of up to 20 characters.
struct NumberText {
    std::array<char, 20> time;
    std::array<char, 24> count;
};

// A number column's text: the time answered as ISO 8601 in UTC, a count in decimal.
QByteArrayView numberText(int column, qint64 value, NumberText &buffer, QByteArray &wide)
{
    if (column == kAnsweredAtColumn) {
        if (core::writeIsoUtc(value, buffer.time))
            return QByteArrayView(buffer.time.data(), qsizetype(buffer.time.size()));
        wide = core::isoUtc(QDateTime::fromMSecsSinceEpoch(value, Qt::UTC)).toUtf8();
        return wide;
    }
    std::array<char, 24> &count = buffer.count;
    const std::to_chars_result written = std::to_chars(count.data(), count.data() + count.size(), value);
    return QByteArrayView(count.data(), written.ptr - count.data());
}

} // namespace

Status AnswerStore::latestQuery(const ExportFilter &filter, QString &sql, QVariantList &values)
{
    if (Status status = flush(); !status)
        return status;
    QString where;
    if (filter.verdict) {
        where += QStringLiteral(" AND a.verdict = ?");
        values.append(verdictKey(*filter.verdict));
    }
    if (filter.since.isValid()) {
        where += QStringLiteral(" AND a.answered_at >= ?");
        values.append(filter.since.toMSecsSinceEpoch());
    }
    // A store of the first schema (read-only, not migrated) finds each name's newest row.
    const QString from = m_version >= 2
                             ? QStringLiteral("latest AS a")
                             : QStringLiteral("(SELECT max(id) AS id FROM answers GROUP BY name) AS l "
                                              "JOIN answers AS a ON a.id = l.id");
    sql = QStringLiteral("SELECT %1 FROM %2 WHERE 1%3 ORDER BY a.name")
              .arg(latestColumnsSql().join(QStringLiteral(", ")), from, where);
    return {};
}

Status AnswerStore::forEachLatest(const ExportFilter &filter,
                                  const std::function<bool(const QStringList &)> &visit)
{
    if (m_connection.isEmpty())
        return {};
    QString sql;
    QVariantList values;
    if (Status status = latestQuery(filter, sql, values); !status)
        return status;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        return Status::failure(ErrorCode::ReadFailed, query.lastError().text());
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values.at(i));
    if (!query.exec())
        return Status::failure(ErrorCode::ReadFailed, query.lastError().text());
    QStringList row;
    NumberText number;
    QByteArray wide;
    while (query.next()) {
        row.clear();
        for (int i = 0; i < kLatestColumnCount; ++i)
            row.append(isNumberColumn(i)
                           ? QString::fromUtf8(numberText(i, query.value(i).toLongLong(), number, wide))
                           : query.value(i).toString());
        if (!visit(row))
            break;
    }
    return {};
}

Status AnswerStore::forEachLatestUtf8(const ExportFilter &filter,
                                      const std::function<bool(const LatestUtf8 &)> &visit)
{
    if (m_connection.isEmpty())
        return {};
    sqlite3 *db = sqliteHandle(QSqlDatabase::database(m_connection, false));
    if (!db)
        return Status::failure(ErrorCode::ReadFailed, QStringLiteral("the SQLite driver gave no handle"));
    QString sql;
    QVariantList values;
    if (Status status = latestQuery(filter, sql, values); !status)
        return status;
    sqlite3_stmt *statement = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &statement, nullptr) != SQLITE_OK)
        return Status::failure(ErrorCode::ReadFailed, QString::fromUtf8(sqlite3_errmsg(db)));
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> finalizer(statement, sqlite3_finalize);
    for (int i = 0; i < values.size(); ++i) {
        const QVariant &value = values.at(i);
        const int bound = value.typeId() == QMetaType::QString
                              ? sqlite3_bind_text(statement, i + 1, value.toString().toUtf8().constData(), -1,
                                                  SQLITE_TRANSIENT)
                              : sqlite3_bind_int64(statement, i + 1, value.toLongLong());
        if (bound != SQLITE_OK)
            return Status::failure(ErrorCode::ReadFailed, QString::fromUtf8(sqlite3_errmsg(db)));
    }
    LatestUtf8 columns;
    std::array<QByteArray, kLatestColumnCount> repaired;
    std::array<NumberText, kLatestColumnCount> numbers;
    int stepped = SQLITE_ROW;
    while ((stepped = sqlite3_step(statement)) == SQLITE_ROW) {
        for (int i = 0; i < kLatestColumnCount; ++i) {
            if (isNumberColumn(i)) {
                columns[std::size_t(i)] = numberText(i, sqlite3_column_int64(statement, i),
                                                     numbers[std::size_t(i)], repaired[std::size_t(i)]);
                continue;
            }
            const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(statement, i));
            QByteArrayView column(bytes, bytes ? sqlite3_column_bytes(statement, i) : 0);
            // A file written by other hands may hold bytes that are no UTF-8: they read as
            // U+FFFD, as they would through Qt SQL.
            if (!column.isValidUtf8()) {
                repaired[std::size_t(i)] = QString::fromUtf8(column).toUtf8();
                column = repaired[std::size_t(i)];
            }
            columns[std::size_t(i)] = column;
        }
        if (!visit(columns))
            return {};
    }
    if (stepped != SQLITE_DONE)
        return Status::failure(ErrorCode::ReadFailed, QString::fromUtf8(sqlite3_errmsg(db)));
    return {};
}

} // namespace wendlecott::store
