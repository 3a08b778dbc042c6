#include "platform/IniJournal.h"

#include "platform/IniDocument.h"

#include <QStringDecoder>

namespace wendlecott::platform {

namespace {

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// One line without its line end: "section" "key"="value", nothing before or after.
std::optional<IniJournalEntry> parseRecord(QByteArrayView line)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(line);
    if (utf8.hasError())
        return std::nullopt;
    qsizetype pos = 0;
    std::optional<QString> section = readQuotedIniText(text, pos);
    if (!section || pos >= text.size() || text.at(pos) != QLatin1Char(' '))
        return std::nullopt;
    ++pos;
    std::optional<QString> key = readQuotedIniText(text, pos);
    if (!key || pos >= text.size() || text.at(pos) != QLatin1Char('='))
        return std::nullopt;
    ++pos;
    std::optional<QString> value = readQuotedIniText(text, pos);
    if (!value || pos != text.size())
        return std::nullopt;
    return IniJournalEntry{std::move(*section), std::move(*key), std::move(*value)};
}

} // namespace

QByteArray encodeIniJournalRecord(const QString &section, const QString &key, const QString &value)
{
    QString text;
    text.reserve(section.size() + key.size() + value.size() + 10);
    text += QLatin1Char('\n');
    text += encodeIniValue(section, true);
    text += QLatin1Char(' ');
    text += encodeIniValue(key, true);
    text += QLatin1Char('=');
    text += encodeIniValue(value, true);
    text += QLatin1Char('\n');
    return text.toUtf8();
}

IniJournalChunk parseIniJournal(const QByteArray &bytes)
{
    IniJournalChunk chunk;
    qsizetype pos = 0;
    for (;;) {
        const qsizetype end = bytes.indexOf('\n', pos);
        if (end < 0)
            break;
        const qsizetype next = end + 1;
        const bool whole = next == bytes.size() || bytes.at(next) == '\n';
        if (end > pos && whole) {
            if (std::optional<IniJournalEntry> entry =
                    parseRecord(QByteArrayView(bytes).sliced(pos, end - pos)))
                chunk.entries.append(std::move(*entry));
        }
        pos = next;
    }
    chunk.consumed = pos;
    return chunk;
}

void IniJournalValues::set(IniJournalEntry entry)
{
    for (IniJournalEntry &known : m_entries) {
        if (sameName(known.key, entry.key) && sameName(known.section, entry.section)) {
            known.value = std::move(entry.value);
            return;
        }
    }
    m_entries.append(std::move(entry));
}

const QString *IniJournalValues::find(const QString &section, const QString &key) const
{
    for (const IniJournalEntry &known : m_entries) {
        if (sameName(known.key, key) && sameName(known.section, section))
            return &known.value;
    }
    return nullptr;
}

} // namespace wendlecott::platform
