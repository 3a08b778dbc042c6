#include "core/store/AnswerExport.h"

#include "core/base/TextFile.h"

#include <QJsonArray>

#include <algorithm>
#include <array>
#include <charconv>

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

// One field of a CSV record (RFC 4180) written at `p`, which has room for twice its bytes and
// two more: quoted when it holds a comma, a quote or a line break, quotes doubled. Where the
// next field goes.
char *writeCsvField(char *p, QByteArrayView field)
{
    const auto needsQuotes = [](char c) { return c == ',' || c == '"' || c == '\n' || c == '\r'; };
    if (std::none_of(field.begin(), field.end(), needsQuotes))
        return std::copy(field.begin(), field.end(), p);
    *p++ = '"';
    for (const char c : field) {
        if (c == '"')
            *p++ = '"';
        *p++ = c;
    }
    *p++ = '"';
    return p;
}

// A JSON string of UTF-8 text written at `p`, which has room for six times its bytes and two
// more (a control character becomes "\\u00XX"). Where the next value goes.
char *writeJsonString(char *p, QByteArrayView text)
{
    *p++ = '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && c != '"' && c != '\\') {
            *p++ = c;
            continue;
        }
        *p++ = '\\';
        switch (c) {
        case '"':
        case '\\':
            *p++ = c;
            break;
        case '\b':
            *p++ = 'b';
            break;
        case '\f':
            *p++ = 'f';
            break;
        case '\n':
            *p++ = 'n';
            break;
        case '\r':
            *p++ = 'r';
            break;
        case '\t':
            *p++ = 't';
            break;
        default: {
            static constexpr char kHex[] = "0123456789abcdef";
            p = std::copy_n("u00", 3, p);
            *p++ = kHex[byte >> 4];
            *p++ = kHex[byte & 0xf];
        }
        }
    }
    *p++ = '"';
    return p;
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
    // The fields as written: the lists' items joined by "; ", server texts that read as a
    // formula behind a "'". Most need no change and are written from the store's bytes.
    std::array<QByteArrayView, kLatestColumnCount> fields;
    std::array<QByteArray, kLatestColumnCount> changed;
    qsizetype room = kLatestColumnCount;
    for (qsizetype i = 0; i < kLatestColumnCount; ++i) {
        const std::size_t at = std::size_t(i);
        QByteArrayView field = columns[at];
        if ((i == kStatuses || i == kNameServers) && field.contains('\n')) {
            changed[at] = field.toByteArray().replace('\n', "; ");
            field = changed[at];
        }
        if ((i == kRegistrar || i == kStatuses || i == kServer || i == kRule) && startsAsFormula(field)) {
            changed[at] = '\'' + field.toByteArray();
            field = changed[at];
        }
        fields[at] = field;
        room += 2 * field.size() + 2;
    }
    // Room for the worst case (every byte a quote) at once, then cut to what was written.
    const qsizetype start = out.size();
    out.resize(start + room);
    char *p = out.data() + start;
    for (qsizetype i = 0; i < kLatestColumnCount; ++i) {
        if (i > 0)
            *p++ = ',';
        p = writeCsvField(p, fields[std::size_t(i)]);
    }
    out.resize(p - out.constData());
}

void appendJsonObject(QByteArray &out, const LatestUtf8 &columns)
{
    // Room for the worst case at once (every byte escaped as "\\u00XX", a number of 20
    // digits), then cut to what was written.
    qsizetype room = 2;
    for (const auto &[key, column] : keysInOrder())
        room += key.size() + 4 + 6 * columns[std::size_t(column)].size() + 24;
    const qsizetype start = out.size();
    out.resize(start + room);
    char *p = out.data() + start;
    *p++ = '{';
    bool firstKey = true;
    for (const auto &[key, column] : keysInOrder()) {
        if (!firstKey)
            *p++ = ',';
        firstKey = false;
        p = writeJsonString(p, key);
        *p++ = ':';
        const QByteArrayView value = columns[std::size_t(column)];
        if (column == kStatuses || column == kNameServers) {
            *p++ = '[';
            bool firstItem = true;
            for (qsizetype from = 0; from < value.size();) {
                qsizetype end = value.indexOf('\n', from);
                if (end < 0)
                    end = value.size();
                if (end > from) {
                    if (!firstItem)
                        *p++ = ',';
                    firstItem = false;
                    p = writeJsonString(p, value.sliced(from, end - from));
                }
                from = end + 1;
            }
            *p++ = ']';
        } else if (column >= kFirstNumber) {
            qint64 number = 0;
            std::from_chars(value.data(), value.data() + value.size(), number);
            p = std::to_chars(p, p + 24, number).ptr;
        } else if (value.isEmpty()) {
            p = std::copy_n("null", 4, p);
        } else {
            p = writeJsonString(p, value);
        }
    }
    *p++ = '}';
    out.resize(p - out.constData());
}

// Both formats are written from the store's UTF-8 straight into the file's bytes: a million
// answers in a few seconds.
core::Status exportAnswers(AnswerStore &store, const ExportFilter &filter, ExportFormat format,
                           const std::function<core::Status(QByteArrayView)> &write)
{
    QByteArray chunk = format == ExportFormat::Csv ? exportColumns().join(QLatin1Char(',')).toUtf8() + "\r\n"
                                                   : QByteArray("[");
    chunk.reserve(kChunkBytes + kChunkBytes / 4);
    core::Status written;
    // Hands a full chunk on and keeps its memory for the next; false once a write failed.
    const auto handOn = [&] {
        if (chunk.size() >= kChunkBytes) {
            written = write(chunk);
            chunk.resize(0);
        }
        return bool(written);
    };
    core::Status read;
    if (format == ExportFormat::Csv) {
        read = store.forEachLatestUtf8(filter, [&](const LatestUtf8 &columns) {
            appendCsvRecord(chunk, columns);
            chunk += "\r\n";
            return handOn();
        });
    } else {
        bool first = true;
        read = store.forEachLatestUtf8(filter, [&](const LatestUtf8 &columns) {
            chunk += first ? "\n" : ",\n";
            appendJsonObject(chunk, columns);
            first = false;
            return handOn();
        });
        chunk += first ? "]\n" : "\n]\n";
    }
    if (!read)
        return read;
    if (!written)
        return written;
    return write(chunk);
}

core::Status exportAnswersToFile(AnswerStore &store, const ExportFilter &filter, ExportFormat format,
                                 const QString &path)
{
    core::AtomicFileWriter file(path);
    if (!file.status())
        return file.status();
    const core::Status exported =
        exportAnswers(store, filter, format, [&file](QByteArrayView piece) { return file.write(piece); });
    if (!file.status())
        return file.status();
    if (!exported)
        return core::Status::failure(
            exported.code(), QStringLiteral("could not read %1: %2").arg(store.path(), exported.message()));
    return file.commit();
}

} // namespace wendlecott::store
