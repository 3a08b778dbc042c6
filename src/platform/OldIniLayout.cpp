#include "platform/OldIniLayout.h"

#include "config/SettingsKeys.h"
#include "core/base/TextFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringDecoder>

#include <optional>

namespace wendlecott::platform {

namespace {

qsizetype skipBlanks(const QString &s, qsizetype pos)
{
    while (pos < s.size() && s.at(pos).isSpace())
        ++pos;
    return pos;
}

QChar escaped(QChar e)
{
    switch (e.unicode()) {
    case 'n':
        return QLatin1Char('\n');
    case 'r':
        return QLatin1Char('\r');
    case 't':
        return QLatin1Char('\t');
    default:
        return e; // \\ and \"
    }
}

// The double-quoted text that starts at `pos`; on success `pos` is just past the closing
// quote. Unknown escapes are kept as written.
std::optional<QString> unquote(const QString &s, qsizetype &pos)
{
    if (pos >= s.size() || s.at(pos) != QLatin1Char('"'))
        return std::nullopt;
    QString out;
    ++pos;
    while (pos < s.size()) {
        const QChar c = s.at(pos++);
        if (c == QLatin1Char('"'))
            return out;
        if (c != QLatin1Char('\\') || pos >= s.size()) {
            out += c;
            continue;
        }
        const QChar e = s.at(pos++);
        if (e == QLatin1Char('x') || e == QLatin1Char('u')) {
            const int digits = e == QLatin1Char('x') ? 2 : 4;
            bool ok = false;
            const uint code = s.mid(pos, digits).toUInt(&ok, 16);
            if (ok && pos + digits <= s.size()) {
                out += QChar(char16_t(code));
                pos += digits;
            } else {
                out += QLatin1Char('\\');
                out += e;
            }
        } else if (QStringLiteral("nrt\\\"").contains(e)) {
            out += escaped(e);
        } else {
            out += QLatin1Char('\\');
            out += e;
        }
    }
    return std::nullopt;
}

// A value as it stands after "=": unquoted when it is one whole quoted text.
QString decodeValue(const QString &raw)
{
    qsizetype pos = 0;
    const std::optional<QString> text = unquote(raw, pos);
    return text && pos == raw.size() ? *text : raw;
}

// The name of a group line ("[Settings]", "[ \"odd\" ]"); nothing for any other line.
std::optional<QString> groupName(const QString &t)
{
    qsizetype pos = skipBlanks(t, 1);
    if (pos < t.size() && t.at(pos) == QLatin1Char('"')) {
        const std::optional<QString> name = unquote(t, pos);
        pos = skipBlanks(t, pos);
        if (name && pos + 1 == t.size() && t.at(pos) == QLatin1Char(']'))
            return name;
        return std::nullopt;
    }
    const qsizetype close = t.lastIndexOf(QLatin1Char(']'));
    if (close > 0 && close + 1 == t.size())
        return t.mid(1, close - 1).trimmed();
    return std::nullopt;
}

// The key and value of an entry line ("key = value", "\"odd key\"=value").
std::optional<std::pair<QString, QString>> entry(const QString &t)
{
    QString key;
    qsizetype equals = -1;
    if (t.startsWith(QLatin1Char('"'))) {
        qsizetype pos = 0;
        const std::optional<QString> quoted = unquote(t, pos);
        pos = skipBlanks(t, pos);
        if (!quoted || pos >= t.size() || t.at(pos) != QLatin1Char('='))
            return std::nullopt;
        key = *quoted;
        equals = pos;
    } else {
        equals = t.indexOf(QLatin1Char('='));
        if (equals <= 0)
            return std::nullopt;
        key = t.left(equals).trimmed();
    }
    return std::make_pair(key, decodeValue(t.mid(equals + 1).trimmed()));
}

// One journal line: "section" "key"="value", nothing before or after.
std::optional<OldIniValue> journalRecord(QByteArrayView line)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(line);
    if (utf8.hasError())
        return std::nullopt;
    qsizetype pos = 0;
    std::optional<QString> section = unquote(text, pos);
    if (!section || pos >= text.size() || text.at(pos) != QLatin1Char(' '))
        return std::nullopt;
    ++pos;
    std::optional<QString> key = unquote(text, pos);
    if (!key || pos >= text.size() || text.at(pos) != QLatin1Char('='))
        return std::nullopt;
    ++pos;
    std::optional<QString> value = unquote(text, pos);
    if (!value || pos != text.size())
        return std::nullopt;
    return OldIniValue{std::move(*section), std::move(*key), std::move(*value)};
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Names were matched without regard to case; the ones the program reads take its spelling.
QString settingsKeyOf(const OldIniValue &value)
{
    const QString group =
        sameName(value.group, config::kSettingsSection) ? config::kSettingsSection : value.group;
    QString key = value.key;
    for (const config::SettingKey &known : config::allSettingKeys()) {
        if (sameName(key, known.key))
            key = known.key;
    }
    return group + QLatin1Char('/') + key;
}

core::Status failure(core::ErrorCode code, const QString &what, const QString &path)
{
    return core::Status::failure(code, what.arg(path));
}

} // namespace

QList<OldIniValue> parseOldIni(const QString &text)
{
    QList<OldIniValue> values;
    QString group;
    for (const QString &line : core::splitLines(text)) {
        const QString t = line.trimmed();
        if (t.isEmpty() || t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#')))
            continue;
        if (t.startsWith(QLatin1Char('['))) {
            if (const std::optional<QString> name = groupName(t))
                group = *name;
            continue;
        }
        const auto found = entry(t);
        if (!found || group.isEmpty())
            continue; // no setting is read from outside a group
        const bool known = std::any_of(values.begin(), values.end(), [&](const OldIniValue &v) {
            return sameName(v.group, group) && sameName(v.key, found->first);
        });
        if (!known)
            values.append(OldIniValue{group, found->first, found->second});
    }
    return values;
}

QList<OldIniValue> parseOldJournal(const QByteArray &bytes)
{
    QList<OldIniValue> values;
    qsizetype pos = 0;
    for (;;) {
        const qsizetype end = bytes.indexOf('\n', pos);
        if (end < 0)
            break;
        const qsizetype next = end + 1;
        const bool whole = next == bytes.size() || bytes.at(next) == '\n';
        if (end > pos && whole) {
            if (std::optional<OldIniValue> value =
                    journalRecord(QByteArrayView(bytes).sliced(pos, end - pos)))
                values.append(std::move(*value));
        }
        pos = next;
    }
    return values;
}

core::Status takeOverOldLayout(const QString &iniPath)
{
    const QString journalPath = iniPath + QStringLiteral(".journal");
    const bool hasJournal = QFileInfo::exists(journalPath);
    QByteArray iniBytes;
    if (QFileInfo(iniPath).isFile()) {
        QFile ini(iniPath);
        if (!ini.open(QIODevice::ReadOnly))
            return failure(core::ErrorCode::ReadFailed, QStringLiteral("Could not read %1"), iniPath);
        iniBytes = ini.readAll();
    }
    const bool oldIni = iniBytes.contains("\r\n");
    if (!oldIni && !hasJournal)
        return core::Status::success();

    QList<OldIniValue> values;
    if (oldIni)
        values = parseOldIni(core::decodeText(iniBytes));
    if (hasJournal) {
        // Read only when it is a regular file: a FIFO would hold the program at start.
        const core::Result<QByteArray> journal = core::readBytes(journalPath);
        if (!journal)
            return failure(core::ErrorCode::ReadFailed, QStringLiteral("Could not read %1"), journalPath);
        values += parseOldJournal(journal.value());
    }

    QSettings::Status status = QSettings::NoError;
    {
        QSettings settings(iniPath, QSettings::IniFormat);
        if (oldIni)
            settings.clear(); // read anew by the rules it was written by
        for (const OldIniValue &value : values)
            settings.setValue(settingsKeyOf(value), value.value);
        settings.sync();
        status = settings.status();
    }
    if (status == QSettings::FormatError) // no later error is recorded over that one
        status = QSettings(iniPath, QSettings::IniFormat).status();
    if (status == QSettings::AccessError)
        return failure(core::ErrorCode::WriteFailed, QStringLiteral("Could not write %1"), iniPath);
    // Only now that the INI file holds the journal's values may the journal go.
    if (hasJournal && !QFile::remove(journalPath))
        return failure(core::ErrorCode::WriteFailed, QStringLiteral("Could not remove %1"), journalPath);
    return core::Status::success();
}

} // namespace wendlecott::platform
