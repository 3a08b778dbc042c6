#include "core/store/AnswerExport.h"

#include "core/base/TextFile.h"

#include <QJsonArray>

#include <algorithm>
#include <array>

namespace wendlecott::store {

namespace {

// Pieces of about this size go to the writer.
constexpr qsizetype kChunkBytes = 1 << 20;

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
    std::array<QByteArray, kLatestColumnCount> texts;
    LatestUtf8 columns;
    for (qsizetype i = 0; i < kLatestColumnCount && i < values.size(); ++i) {
        texts[std::size_t(i)] = values.at(i).toUtf8();
        columns[std::size_t(i)] = texts[std::size_t(i)];
    }
    QByteArray record;
    appendCsvRecord(record, columns);
    return QString::fromUtf8(record);
}

namespace {

// Whether UTF-8 text a server wrote begins as a spreadsheet formula ("=", "+", "-", "@") or
// with a control character (C0, DEL or C1): a spreadsheet would take it for a formula, so it
// gets a "'" in front.
bool startsAsFormula(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    const auto first = static_cast<unsigned char>(text.front());
    if (first == '=' || first == '+' || first == '-' || first == '@' || first < 0x20 || first == 0x7f)
        return true;
    // U+0080 to U+009F are C2 80 to C2 9F.
    return first == 0xc2 && text.size() > 1 && static_cast<unsigned char>(text.at(1)) <= 0x9f;
}

// One field of a CSV record (RFC 4180): quoted when it holds a comma, a quote or a line
// break, quotes doubled.
void appendCsvField(QByteArray &out, QByteArrayView field)
{
    const bool quoted =
        field.contains(',') || field.contains('"') || field.contains('\n') || field.contains('\r');
    if (!quoted) {
        out += field;
        return;
    }
    out += '"';
    for (const char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

void appendJsonString(QByteArray &out, QByteArrayView text)
{
    out += '"';
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                static constexpr char kHex[] = "0123456789abcdef";
                out += "\\u00";
                out += kHex[(c >> 4) & 0xf];
                out += kHex[c & 0xf];
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

// The columns in the order of their keys, as QJsonObject writes them (sorted), so that an
// object written here reads the same as exportObject's.
const QList<std::pair<QByteArray, qsizetype>> &keysInOrder()
{
    static const QList<std::pair<QByteArray, qsizetype>> keys = [] {
        QList<std::pair<QByteArray, qsizetype>> sorted;
        const QStringList columns = exportColumns();
        for (qsizetype i = 0; i < columns.size(); ++i)
            sorted.append({columns.at(i).toUtf8(), i});
        std::sort(sorted.begin(), sorted.end());
        return sorted;
    }();
    return keys;
}

} // namespace

void appendCsvRecord(QByteArray &out, const LatestUtf8 &columns)
{
    QByteArray field;
    for (qsizetype i = 0; i < kLatestColumnCount; ++i) {
        if (i > 0)
            out += ',';
        const QByteArrayView value = columns[std::size_t(i)];
        const bool list = i == kStatuses || i == kNameServers;
        const bool serverText = i == kRegistrar || i == kStatuses || i == kServer || i == kRule;
        if (!list && !serverText) {
            appendCsvField(out, value);
            continue;
        }
        field.clear();
        if (list) {
            for (const char c : value) {
                if (c == '\n')
                    field += "; ";
                else
                    field += c;
            }
        } else {
            field += value;
        }
        if (serverText && startsAsFormula(field))
            field.prepend('\'');
        appendCsvField(out, field);
    }
}

void appendJsonObject(QByteArray &out, const LatestUtf8 &columns)
{
    out += '{';
    bool firstKey = true;
    for (const auto &[key, column] : keysInOrder()) {
        if (!firstKey)
            out += ',';
        firstKey = false;
        appendJsonString(out, key);
        out += ':';
        const QByteArrayView value = columns[std::size_t(column)];
        if (column == kStatuses || column == kNameServers) {
            out += '[';
            bool firstItem = true;
            for (qsizetype start = 0; start < value.size();) {
                qsizetype end = value.indexOf('\n', start);
                if (end < 0)
                    end = value.size();
                if (end > start) {
                    if (!firstItem)
                        out += ',';
                    firstItem = false;
                    appendJsonString(out, value.sliced(start, end - start));
                }
                start = end + 1;
            }
            out += ']';
        } else if (column >= kFirstNumber) {
            out += QByteArray::number(value.toLongLong());
        } else if (value.isEmpty()) {
            out += "null";
        } else {
            appendJsonString(out, value);
        }
    }
    out += '}';
}

// Both formats are written from the store's UTF-8 straight into the file's bytes: a million
// answers in a few seconds.
core::Status exportAnswers(AnswerStore &store, const ExportFilter &filter, ExportFormat format,
                           const std::function<void(const QByteArray &)> &write)
{
    QByteArray chunk;
    const auto handOn = [&] {
        if (chunk.size() >= kChunkBytes) {
            write(chunk);
            chunk.clear();
        }
        return true;
    };
    if (format == ExportFormat::Csv) {
        chunk = exportColumns().join(QLatin1Char(',')).toUtf8() + "\r\n";
        const core::Status status = store.forEachLatestUtf8(filter, [&](const LatestUtf8 &columns) {
            appendCsvRecord(chunk, columns);
            chunk += "\r\n";
            return handOn();
        });
        if (!status)
            return status;
        write(chunk);
        return {};
    }
    chunk = "[";
    bool first = true;
    const core::Status status = store.forEachLatestUtf8(filter, [&](const LatestUtf8 &columns) {
        chunk += first ? "\n" : ",\n";
        appendJsonObject(chunk, columns);
        first = false;
        return handOn();
    });
    if (!status)
        return status;
    chunk += first ? "]\n" : "\n]\n";
    write(chunk);
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
