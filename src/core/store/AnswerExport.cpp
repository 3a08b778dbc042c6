#include "core/store/AnswerExport.h"

#include "core/base/TextFile.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace wendlecott::store {

namespace {

// Pieces of about this size go to the writer.
constexpr qsizetype kChunkChars = 1 << 20;

QJsonValue textOrNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

// Columns of exportColumns() treated apart.
constexpr qsizetype kRegistrar = 6;
constexpr qsizetype kStatuses = 7;
constexpr qsizetype kNameServers = 8;
constexpr qsizetype kServer = 10;
constexpr qsizetype kRule = 11;
constexpr qsizetype kFirstNumber = 12;

} // namespace

std::optional<ExportFormat> exportFormatFromName(const QString &name)
{
    if (name == QLatin1String("csv"))
        return ExportFormat::Csv;
    if (name == QLatin1String("json"))
        return ExportFormat::Json;
    return std::nullopt;
}

QStringList exportColumns()
{
    return {QStringLiteral("name"),        QStringLiteral("verdict"),  QStringLiteral("answered_at"),
            QStringLiteral("expires"),     QStringLiteral("created"),  QStringLiteral("updated"),
            QStringLiteral("registrar"),   QStringLiteral("statuses"), QStringLiteral("nameservers"),
            QStringLiteral("protocol"),    QStringLiteral("server"),   QStringLiteral("rule"),
            QStringLiteral("http_status"), QStringLiteral("bytes"),    QStringLiteral("ms")};
}

QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString spreadsheetText(const QString &text)
{
    if (text.isEmpty())
        return text;
    const QChar first = text.front();
    const bool formula = first == QLatin1Char('=') || first == QLatin1Char('+') ||
                         first == QLatin1Char('-') || first == QLatin1Char('@') ||
                         first.category() == QChar::Other_Control;
    return formula ? QLatin1Char('\'') + text : text;
}

QStringList exportValues(const StoredAnswer &a)
{
    const QChar line = QLatin1Char('\n');
    return {a.name,
            verdictKey(a.verdict),
            core::isoUtc(a.answeredAt),
            core::isoUtc(a.details.expires),
            core::isoUtc(a.details.created),
            core::isoUtc(a.details.updated),
            a.details.registrar,
            a.details.statuses.join(line),
            a.details.nameservers.join(line),
            a.protocol,
            a.server,
            a.rule,
            QString::number(a.httpStatus),
            QString::number(a.bytes),
            QString::number(a.elapsedMs)};
}

QJsonObject exportObject(const QStringList &values)
{
    const QStringList columns = exportColumns();
    QJsonObject object;
    for (qsizetype i = 0; i < columns.size() && i < values.size(); ++i) {
        const QString &value = values.at(i);
        if (i == kStatuses || i == kNameServers)
            object.insert(columns.at(i),
                          QJsonArray::fromStringList(value.split(QLatin1Char('\n'), Qt::SkipEmptyParts)));
        else if (i >= kFirstNumber)
            object.insert(columns.at(i), value.toLongLong());
        else
            object.insert(columns.at(i), textOrNull(value));
    }
    return object;
}

QJsonObject exportObject(const StoredAnswer &answer)
{
    return exportObject(exportValues(answer));
}

QString csvRecord(const QStringList &values)
{
    QStringList fields;
    fields.reserve(values.size());
    for (qsizetype i = 0; i < values.size(); ++i) {
        QString value = values.at(i);
        if (i == kStatuses || i == kNameServers)
            value.replace(QLatin1Char('\n'), QLatin1String("; "));
        if (i == kRegistrar || i == kStatuses || i == kServer || i == kRule)
            value = spreadsheetText(value);
        fields.append(csvField(value));
    }
    return fields.join(QLatin1Char(','));
}

core::Status exportAnswers(AnswerStore &store, const ExportFilter &filter, ExportFormat format,
                           const std::function<void(const QByteArray &)> &write)
{
    const bool csv = format == ExportFormat::Csv;
    QString chunk =
        csv ? exportColumns().join(QLatin1Char(',')) + QLatin1String("\r\n") : QStringLiteral("[");
    bool first = true;
    const auto handOn = [&] {
        first = false;
        if (chunk.size() >= kChunkChars) {
            write(chunk.toUtf8());
            chunk.clear();
        }
        return true;
    };
    const core::Status status =
        csv ? store.forEachLatestCsv(filter,
                                     [&](const QString &record) {
                                         chunk += record;
                                         chunk += QLatin1String("\r\n");
                                         return handOn();
                                     })
            : store.forEachLatest(filter, [&](const QStringList &answer) {
                  chunk += first ? QStringLiteral("\n") : QStringLiteral(",\n");
                  chunk +=
                      QString::fromUtf8(QJsonDocument(exportObject(answer)).toJson(QJsonDocument::Compact));
                  return handOn();
              });
    if (!status)
        return status;
    if (!csv)
        chunk += first ? QStringLiteral("]\n") : QStringLiteral("\n]\n");
    write(chunk.toUtf8());
    return {};
}

core::Status exportAnswersToFile(AnswerStore &store, const ExportFilter &filter, ExportFormat format,
                                 const QString &path)
{
    QByteArray file;
    const core::Status exported =
        exportAnswers(store, filter, format, [&file](const QByteArray &piece) { file += piece; });
    if (!exported)
        return core::Status::failure(
            exported.code(), QStringLiteral("could not read %1: %2").arg(store.path(), exported.message()));
    return core::writeFileAtomically(path, file);
}

} // namespace wendlecott::store
