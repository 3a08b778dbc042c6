#pragma once

#include "core/base/Result.h"
#include "core/store/AnswerStore.h"

#include <QByteArray>
#include <QJsonObject>
#include <QStringList>

#include <functional>
#include <optional>

namespace wendlecott::store {

enum class ExportFormat { Csv, Json };
std::optional<ExportFormat> exportFormatFromName(const QString &name); // "csv", "json"

// The columns of an export, in order: name, verdict, answered_at, expires, then the other
// details and how the answer was had.
QStringList exportColumns();

// One answer as the text of the export's columns, as AnswerStore::forEachLatest gives it.
QStringList exportValues(const StoredAnswer &answer);
// Those values as an export object: the columns as keys, null where a detail is not known,
// statuses and name servers as arrays, numbers as numbers.
QJsonObject exportObject(const QStringList &values);
QJsonObject exportObject(const StoredAnswer &answer);
// The columns as the store reads them out for an export, as one CSV record (RFC 4180)
// appended to `out` without the line end: lists joined by "; ", a registrar, status, server
// or rule that a spreadsheet would take for a formula with a "'" in front.
void appendCsvRecord(QByteArray &out, const LatestUtf8 &columns);
// The same record of those values as text.
QString csvRecord(const QStringList &values);
// The export object of those columns as compact JSON (what exportObject holds), appended to `out`.
void appendJsonObject(QByteArray &out, const LatestUtf8 &columns);

// The latest answer of each name that passes `filter`, as UTF-8 CSV (header row first, CR LF
// line ends) or a JSON array, handed to `write` in pieces as it is made. A failed write ends
// the export with its failure.
core::Status exportAnswers(AnswerStore &store, const ExportFilter &filter, ExportFormat format,
                           const std::function<core::Status(QByteArrayView)> &write);
// The same export written to `path` as it is made, which is replaced whole or not at all.
core::Status exportAnswersToFile(AnswerStore &store, const ExportFilter &filter, ExportFormat format,
                                 const QString &path);

} // namespace wendlecott::store
