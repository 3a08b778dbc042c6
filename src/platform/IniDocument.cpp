#include "platform/IniDocument.h"

#include "core/TextFile.h"

namespace wendlecott::platform {

namespace {

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isControl(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7f;
}

bool hasUnpairedSurrogate(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        if (c.isSurrogate())
            return true;
    }
    return false;
}

bool hasControl(const QString &text)
{
    for (const QChar c : text) {
        if (isControl(c))
            return true;
    }
    return false;
}

// Lines are trimmed when read, so a text with blanks at either end needs quotes to keep them.
bool hasOuterBlanks(const QString &text)
{
    return !text.isEmpty() && (text.front().isSpace() || text.back().isSpace());
}

QString hex(uint value, int digits)
{
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

QString quote(const QString &text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            continue;
        case '"':
            out += QLatin1String("\\\"");
            continue;
        case '\n':
            out += QLatin1String("\\n");
            continue;
        case '\r':
            out += QLatin1String("\\r");
            continue;
        case '\t':
            out += QLatin1String("\\t");
            continue;
        default:
            break;
        }
        if (isControl(c)) {
            out += QLatin1String("\\x") + hex(c.unicode(), 2);
        } else if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += c;
            out += text.at(++i);
        } else if (c.isSurrogate()) {
            // A lone surrogate has no UTF-8 form; keep it as an escape so it survives.
            out += QLatin1String("\\u") + hex(c.unicode(), 4);
        } else {
            out += c;
        }
    }
    out += QLatin1Char('"');
    return out;
}

// Reads a double-quoted text starting at `pos` (which holds the opening quote); on success
// `pos` is just past the closing quote. Unknown escapes are kept as written.
std::optional<QString> unquote(const QString &s, qsizetype &pos)
{
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
        switch (e.unicode()) {
        case 'n':
            out += QLatin1Char('\n');
            break;
        case 'r':
            out += QLatin1Char('\r');
            break;
        case 't':
            out += QLatin1Char('\t');
            break;
        case '\\':
        case '"':
            out += e;
            break;
        case 'x':
        case 'u': {
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
            break;
        }
        default:
            out += QLatin1Char('\\');
            out += e;
            break;
        }
    }
    return std::nullopt;
}

// Group and key names: as they stand where the parser gives them back unchanged.
QString encodeKey(const QString &key)
{
    const bool plain = !key.isEmpty() && !hasOuterBlanks(key) && !hasControl(key) &&
                       !hasUnpairedSurrogate(key) && !key.contains(QLatin1Char('=')) &&
                       !key.startsWith(QLatin1Char('"')) && !key.startsWith(QLatin1Char('[')) &&
                       !key.startsWith(QLatin1Char(';')) && !key.startsWith(QLatin1Char('#'));
    return plain ? key : quote(key);
}

QString encodeGroup(const QString &group)
{
    const bool plain = !group.isEmpty() && !hasOuterBlanks(group) && !hasControl(group) &&
                       !hasUnpairedSurrogate(group) && !group.startsWith(QLatin1Char('"'));
    return QLatin1Char('[') + (plain ? group : quote(group)) + QLatin1Char(']');
}

qsizetype skipBlanks(const QString &s, qsizetype pos)
{
    while (pos < s.size() && s.at(pos).isSpace())
        ++pos;
    return pos;
}

} // namespace

QString encodeIniValue(const QString &text, bool alwaysQuote)
{
    const bool plain = !alwaysQuote && !hasOuterBlanks(text) && !hasControl(text) &&
                       !hasUnpairedSurrogate(text) && !text.startsWith(QLatin1Char('"'));
    return plain ? text : quote(text);
}

bool isQuotedIniValue(const QString &raw)
{
    if (!raw.startsWith(QLatin1Char('"')))
        return false;
    qsizetype pos = 0;
    return unquote(raw, pos).has_value() && pos == raw.size();
}

std::optional<QString> readQuotedIniText(const QString &text, qsizetype &pos)
{
    if (pos < 0 || pos >= text.size() || text.at(pos) != QLatin1Char('"'))
        return std::nullopt;
    return unquote(text, pos);
}

QString decodeIniValue(const QString &raw)
{
    if (!raw.startsWith(QLatin1Char('"')))
        return raw;
    qsizetype pos = 0;
    const std::optional<QString> text = unquote(raw, pos);
    return text && pos == raw.size() ? *text : raw;
}

IniDocument::Line IniDocument::parseLine(const QString &text, const QString &currentGroup)
{
    Line line;
    line.text = text;
    line.group = currentGroup;
    const QString t = text.trimmed();
    if (t.isEmpty() || t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#')))
        return line;

    if (t.startsWith(QLatin1Char('['))) {
        qsizetype pos = skipBlanks(t, 1);
        if (pos < t.size() && t.at(pos) == QLatin1Char('"')) {
            const std::optional<QString> name = unquote(t, pos);
            pos = skipBlanks(t, pos);
            if (name && pos + 1 == t.size() && t.at(pos) == QLatin1Char(']')) {
                line.kind = Kind::Group;
                line.name = *name;
            }
            return line;
        }
        const qsizetype close = t.lastIndexOf(QLatin1Char(']'));
        if (close > 0 && close + 1 == t.size()) {
            line.kind = Kind::Group;
            line.name = t.mid(1, close - 1).trimmed();
        }
        return line;
    }

    qsizetype equals = -1;
    if (t.startsWith(QLatin1Char('"'))) {
        qsizetype pos = 0;
        const std::optional<QString> key = unquote(t, pos);
        pos = skipBlanks(t, pos);
        if (!key || pos >= t.size() || t.at(pos) != QLatin1Char('='))
            return line;
        line.name = *key;
        equals = pos;
    } else {
        equals = t.indexOf(QLatin1Char('='));
        if (equals <= 0)
            return line;
        line.name = t.left(equals).trimmed();
    }
    line.kind = Kind::Entry;
    line.raw = t.mid(equals + 1).trimmed();
    return line;
}

IniDocument IniDocument::parse(const QString &text)
{
    IniDocument doc;
    QString body = text;
    if (body.startsWith(QChar(0xfeff)))
        body.remove(0, 1);
    QString group;
    for (const QString &lineText : core::splitLines(body)) {
        Line line = parseLine(lineText, group);
        if (line.kind == Kind::Group) {
            group = line.name;
            line.group = group;
        }
        doc.m_lines.append(std::move(line));
    }
    return doc;
}

QString IniDocument::toText() const
{
    QStringList texts;
    texts.reserve(m_lines.size());
    for (const Line &line : m_lines)
        texts.append(line.text);
    return core::joinLinesCrLf(texts);
}

bool IniDocument::hasGroup(const QString &group) const
{
    for (const Line &line : m_lines) {
        if (line.kind == Kind::Group && sameName(line.name, group))
            return true;
    }
    return false;
}

qsizetype IniDocument::findEntry(const QString &group, const QString &key) const
{
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const Line &line = m_lines.at(i);
        if (line.kind == Kind::Entry && sameName(line.group, group) && sameName(line.name, key))
            return i;
    }
    return -1;
}

std::optional<QString> IniDocument::rawValue(const QString &group, const QString &key) const
{
    const qsizetype i = findEntry(group, key);
    if (i < 0)
        return std::nullopt;
    return m_lines.at(i).raw;
}

std::optional<QString> IniDocument::value(const QString &group, const QString &key) const
{
    const std::optional<QString> raw = rawValue(group, key);
    if (!raw)
        return std::nullopt;
    return decodeIniValue(*raw);
}

void IniDocument::setRawValue(const QString &group, const QString &key, const QString &raw)
{
    const qsizetype found = findEntry(group, key);
    if (found >= 0) {
        Line &line = m_lines[found];
        line.raw = raw;
        line.text = encodeKey(line.name) + QLatin1Char('=') + raw;
        return;
    }

    Line entry;
    entry.kind = Kind::Entry;
    entry.name = key;
    entry.raw = raw;
    entry.text = encodeKey(key) + QLatin1Char('=') + raw;

    // Into the first block of the group, after its last entry, so that blank lines and
    // comments that end the block stay where they were.
    qsizetype header = -1;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (m_lines.at(i).kind == Kind::Group && sameName(m_lines.at(i).name, group)) {
            header = i;
            break;
        }
    }
    if (header >= 0) {
        entry.group = m_lines.at(header).name;
        qsizetype insertAt = header + 1;
        for (qsizetype i = header + 1; i < m_lines.size() && m_lines.at(i).kind != Kind::Group; ++i) {
            if (m_lines.at(i).kind == Kind::Entry)
                insertAt = i + 1;
        }
        m_lines.insert(insertAt, std::move(entry));
        return;
    }

    if (!m_lines.isEmpty() && !m_lines.last().text.trimmed().isEmpty())
        m_lines.append(Line{Kind::Other, QString(), QString(), QString(), m_lines.last().group});
    Line head;
    head.kind = Kind::Group;
    head.name = group;
    head.group = group;
    head.text = encodeGroup(group);
    m_lines.append(std::move(head));
    entry.group = group;
    m_lines.append(std::move(entry));
}

void IniDocument::setValue(const QString &group, const QString &key, const QString &value)
{
    setRawValue(group, key, encodeIniValue(value));
}

} // namespace wendlecott::platform
