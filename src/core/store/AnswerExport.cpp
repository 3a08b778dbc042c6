#include "core/store/AnswerExport.h"

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

QJsonValue dateOrNull(const QDateTime &date)
{
    return textOrNull(core::isoUtc(date));
}

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

QJsonObject exportObject(const StoredAnswer &a)
{
    return QJsonObject{
        {QStringLiteral("name"), a.name},
        {QStringLiteral("verdict"), verdictKey(a.verdict)},
        {QStringLiteral("answered_at"), dateOrNull(a.answeredAt)},
        {QStringLiteral("expires"), dateOrNull(a.details.expires)},
        {QStringLiteral("created"), dateOrNull(a.details.created)},
        {QStringLiteral("updated"), dateOrNull(a.details.updated)},
        {QStringLiteral("registrar"), textOrNull(a.details.registrar)},
        {QStringLiteral("statuses"), QJsonArray::fromStringList(a.details.statuses)},
        {QStringLiteral("nameservers"), QJsonArray::fromStringList(a.details.nameservers)},
        {QStringLiteral("protocol"), a.protocol},
        {QStringLiteral("server"), a.server},
        {QStringLiteral("rule"), a.rule},
        {QStringLiteral("http_status"), a.httpStatus},
        {QStringLiteral("bytes"), a.bytes},
        {QStringLiteral("ms"), a.elapsedMs},
    };
}

QString csvRecord(const StoredAnswer &a)
{
    const QString separator = QStringLiteral("; ");
    const QStringList fields{
        a.name,
        verdictKey(a.verdict),
        core::isoUtc(a.answeredAt),
        core::isoUtc(a.details.expires),
        core::isoUtc(a.details.created),
        core::isoUtc(a.details.updated),
        spreadsheetText(a.details.registrar),
        spreadsheetText(a.details.statuses.join(separator)),
        a.details.nameservers.join(separator),
        a.protocol,
        spreadsheetText(a.server),
        spreadsheetText(a.rule),
        QString::number(a.httpStatus),
        QString::number(a.bytes),
        QString::number(a.elapsedMs),
    };
    QStringList quoted;
    quoted.reserve(fields.size());
    for (const QString &field : fields)
        quoted.append(csvField(field));
    return quoted.join(QLatin1Char(','));
}

core::Status exportAnswers(AnswerStore &store, const ExportFilter &filter, ExportFormat format,
                           const std::function<void(const QByteArray &)> &write)
{
    const bool csv = format == ExportFormat::Csv;
    QString chunk =
        csv ? exportColumns().join(QLatin1Char(',')) + QLatin1String("\r\n") : QStringLiteral("[");
    bool first = true;
    const core::Status status = store.forEachLatest(filter, [&](const StoredAnswer &answer) {
        if (csv) {
            chunk += csvRecord(answer);
            chunk += QLatin1String("\r\n");
        } else {
            chunk += first ? QStringLiteral("\n") : QStringLiteral(",\n");
            chunk += QString::fromUtf8(QJsonDocument(exportObject(answer)).toJson(QJsonDocument::Compact));
        }
        first = false;
        if (chunk.size() >= kChunkChars) {
            write(chunk.toUtf8());
            chunk.clear();
        }
        return true;
    });
    if (!status)
        return status;
    if (!csv)
        chunk += first ? QStringLiteral("]\n") : QStringLiteral("\n]\n");
    write(chunk.toUtf8());
    return {};
}

} // namespace wendlecott::store
