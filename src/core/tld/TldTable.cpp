#include "core/tld/TldTable.h"

#include "core/base/TextFile.h"

#include <QFileInfo>

#include <optional>
#include <utility>

namespace wendlecott::core {

namespace {

const QString kComExtension = QStringLiteral("com");

// Empty lines and lines of one space are not rows; every reader passes over them.
bool isBlankLine(const QString &line)
{
    return line.isEmpty() || line == QLatin1String(" ");
}

// A decimal whole number, surrounding spaces allowed ("43", " 25 "); nothing for a sign,
// a fraction, letters or a value beyond a signed 32-bit int.
std::optional<int> wholeNumber(const QString &field)
{
    const QString text = field.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

QString buildRow(const QStringList &fields)
{
    return fields.join(QLatin1Char('|'));
}

// A field that holds "|" or a line break would split or shift the row when the file is
// read back, and with it the rows around it; such text is refused rather than stored.
Status checkFields(const QStringList &fields)
{
    for (const QString &field : fields) {
        if (field.contains(QLatin1Char('|')) || field.contains(QLatin1Char('\r')) ||
            field.contains(QLatin1Char('\n')))
            return Status::failure(
                ErrorCode::InvalidInput,
                QStringLiteral("The TLD field \"%1\" may not contain \"|\" or a line break.").arg(field));
    }
    return Status::success();
}

// The file's text, or an empty text when there is no file yet. A file that exists but
// cannot be read is an error: writing over it would lose the user's rows.
Result<QString> readExistingText(const QString &path)
{
    Result<QString> text = readTextFile(path, kMaxTldFileBytes);
    if (!text && text.code() == ErrorCode::NotFound)
        return QString();
    return text;
}

} // namespace

TldTable parseTldText(const QString &text)
{
    TldTable table;
    const QStringList lines = splitLines(text);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (isBlankLine(line))
            continue;
        const int lineNumber = int(i + 1);
        const auto skip = [&](const QString &reason) { table.skipped.append({lineNumber, line, reason}); };
        const QStringList fields = line.split(QLatin1Char('|'));
        if (fields.size() < kTldFieldCount) {
            skip(QStringLiteral("fewer than six fields"));
            continue;
        }
        const std::optional<int> port = wholeNumber(fields.at(2));
        if (!port) {
            skip(QStringLiteral("the port is not a whole number"));
            continue;
        }
        if (*port < 1 || *port > 65535) {
            skip(QStringLiteral("the port is outside 1 to 65535"));
            continue;
        }
        const std::optional<int> throttle = wholeNumber(fields.at(4));
        if (!throttle) {
            skip(QStringLiteral("the throttle is not a whole number"));
            continue;
        }
        TldEntry entry;
        entry.extension = fields.at(0).toLower();
        entry.server = fields.at(1).toLower();
        entry.port = quint16(*port);
        entry.enabled = fields.at(3) == kEnabledStatus;
        entry.throttle = *throttle;
        entry.successWords = fields.at(5);
        table.rows.append(std::move(entry));
    }
    return table;
}

Status loadTLDTable(TldTable &table, const QString &path)
{
    const Result<QString> text = readTextFile(path, kMaxTldFileBytes);
    if (!text)
        return text.status();
    TldTable parsed = parseTldText(text.value());
    if (parsed.rows.isEmpty() && parsed.skipped.isEmpty()) {
        // A file without a single row: keep the table we have.
        table.skipped.clear();
        return Status::success();
    }
    table = std::move(parsed);
    return Status::success();
}

int findTLD(const TldTable &table, const QString &name, bool useProxy)
{
    // With no rows there is not even a row 0 to fall back on.
    if (table.rows.isEmpty())
        return -1;

    const QStringList labels = name.split(QLatin1Char('.'));
    int comIndex = 0;
    // First equal extension wins; on the way, the last "com" row seen is remembered as the
    // fallback for two-label names.
    const auto scan = [&](const QString &candidate) {
        for (int i = 0; i < table.size(); ++i) {
            const QString &extension = table.rows.at(i).extension;
            if (extension == candidate)
                return i;
            if (extension == kComExtension)
                comIndex = i;
        }
        return -1;
    };

    const int found = scan(useProxy ? kProxyExtension : labels.last().toLower());
    if (found >= 0)
        return found;
    if (labels.size() <= 2)
        return comIndex;
    // The last label has no row: try the last two ("co.uk").
    const QString lastTwo = labels.at(labels.size() - 2) + QLatin1Char('.') + labels.last();
    return scan(lastTwo.toLower());
}

WhoisServer whoisServerFor(const TldTable &table, const QString &name, bool useProxy,
                           const WhoisServer &fallback)
{
    const int index = findTLD(table, name, useProxy);
    if (index < 0)
        return fallback;
    const TldEntry &row = table.at(index);
    const QString host = row.server.trimmed();
    if (host.isEmpty())
        return fallback;
    return {host, row.port};
}

Status saveTLD(const QString &path, const QString &extension, const QString &server, const QString &port,
               bool enabled, const QString &throttle, const QString &successWords)
{
    const QString key = extension.toLower();
    const QStringList fields{key,      server,      port, enabled ? kEnabledStatus : kDisabledStatus,
                             throttle, successWords};
    if (Status valid = checkFields(fields); !valid)
        return valid;
    const Result<QString> old = readExistingText(path);
    if (!old)
        return old.status();

    const QString newRow = buildRow(fields);
    QStringList lines;
    bool replaced = false;
    for (const QString &line : splitLines(old.value())) {
        if (isBlankLine(line))
            continue;
        // Every row of this extension gets the new content, duplicates included. The key
        // is lower case, so a row stored as "List" never matches.
        if (line.section(QLatin1Char('|'), 0, 0) == key) {
            lines.append(newRow);
            replaced = true;
        } else {
            lines.append(line);
        }
    }
    lines.append(QString()); // the file ends with an empty line
    if (!replaced)
        lines.append(newRow);
    return writeTextAtomically(path, joinLinesCrLf(lines));
}

Status appendTLD(const QString &path, const QString &extension, const QString &server, const QString &port,
                 const QString &status, const QString &throttle, const QString &successWords)
{
    const QStringList fields{extension.toLower(), server, port, status, throttle, successWords};
    if (Status valid = checkFields(fields); !valid)
        return valid;
    Result<QByteArray> old = readBytes(path, kMaxTldFileBytes);
    QByteArray bytes;
    if (old)
        bytes = std::move(old).value();
    else if (old.code() != ErrorCode::NotFound)
        return old.status();
    // A last line without its line end would otherwise swallow the new row.
    if (!bytes.isEmpty() && !bytes.endsWith('\n'))
        bytes += kCrLf;
    bytes += encodeText(buildRow(fields) + QLatin1String(kCrLf));
    return writeFileAtomically(path, bytes);
}

Status writeDefaultTLDs(const QString &path, bool force)
{
    if (!force && QFileInfo::exists(path))
        return Status::success();
    return writeTextAtomically(path, defaultTldText());
}

Status rewriteTLDs(const QString &path, const QList<QStringList> &rows)
{
    QStringList lines;
    lines.reserve(rows.size() * 2);
    for (const QStringList &row : rows) {
        if (Status valid = checkFields(row); !valid)
            return valid;
        lines.append(buildRow(row));
        lines.append(QString());
    }
    return writeTextAtomically(path, joinLinesCrLf(lines));
}

QStringList loadTLDs(const QString &path)
{
    QStringList extensions;
    const Result<QStringList> lines = readLines(path);
    if (!lines)
        return extensions;
    for (const QString &line : lines.value()) {
        if (!line.contains(QLatin1Char('|')))
            continue;
        const QStringList fields = line.split(QLatin1Char('|'));
        if (fields.size() < 4 || fields.at(3) != kEnabledStatus)
            continue;
        const QString extension = fields.at(0).trimmed();
        // The proxy row serves every name in proxy mode; it is not an extension to offer.
        if (extension.isEmpty() || extension.compare(kProxyExtension, Qt::CaseInsensitive) == 0)
            continue;
        extensions.append(extension);
    }
    return extensions;
}

int TldListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TldListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : kTldFieldCount;
}

QVariant TldListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() >= kTldFieldCount)
        return {};
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    // A short row shows what it has; the missing columns stay empty.
    return m_rows.at(index.row()).value(index.column());
}

QVariant TldListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const QStringList headers{QStringLiteral("Extension"), QStringLiteral("Server"),
                                     QStringLiteral("Port"),      QStringLiteral("Status"),
                                     QStringLiteral("Throttle"),  QStringLiteral("Success")};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < headers.size())
        return headers.at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

void TldListModel::setRows(QList<QStringList> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void TldListModel::removeRowAt(int index)
{
    if (index < 0 || index >= m_rows.size())
        return;
    beginRemoveRows({}, index, index);
    m_rows.removeAt(index);
    endRemoveRows();
}

void fillTLDList(TldListModel &model, const QString &path)
{
    QList<QStringList> rows;
    const Result<QStringList> lines = readLines(path);
    if (lines) {
        for (const QString &line : lines.value()) {
            if (!isBlankLine(line))
                rows.append(line.split(QLatin1Char('|')));
        }
    }
    model.setRows(std::move(rows));
}

} // namespace wendlecott::core
