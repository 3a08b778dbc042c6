#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace wendlecott::platform {

// An INI file held as its lines, so that rewriting it after a change keeps every other
// line (comments, other groups, lines we do not understand) as it was.
//
//   [Group]
//   key=plain value
//   key2="  quoted, with \"escapes\"\n "
//
// Group and key names are matched without regard to case, as the stores of the original
// platform did. A value is quoted only when it has to be (leading or trailing blanks,
// a leading double quote, control characters), so hand-written files stay readable
// and every text, the empty one included, reads back exactly as it was written.
class IniDocument {
public:
    static IniDocument parse(const QString &text);
    // The file's text, every line ended by CR LF.
    QString toText() const;

    bool isEmpty() const { return m_lines.isEmpty(); }
    bool hasGroup(const QString &group) const;
    // The text after "=" of the first `key` in `group`, as it stands in the file
    // (blanks around it removed); nothing when the key is missing.
    std::optional<QString> rawValue(const QString &group, const QString &key) const;
    // The decoded value of `key` in `group` (see decodeIniValue).
    std::optional<QString> value(const QString &group, const QString &key) const;

    // Replaces the raw text of `key` in `group`, or adds the key at the end of the group,
    // or adds the group at the end of the file.
    void setRawValue(const QString &group, const QString &key, const QString &raw);
    void setValue(const QString &group, const QString &key, const QString &value);

private:
    enum class Kind { Other, Group, Entry };
    struct Line {
        Kind kind = Kind::Other;
        QString text;  // the line as written
        QString name;  // Group: the group's name; Entry: the key
        QString raw;   // Entry: the text after "="
        QString group; // Entry and Other: the group the line belongs to
    };
    static Line parseLine(const QString &text, const QString &currentGroup);
    qsizetype findEntry(const QString &group, const QString &key) const;

    QList<Line> m_lines;
};

// Writes `text` as the INI file holds it: as it stands when that reads back unchanged,
// else in double quotes with backslash escapes. `alwaysQuote` quotes every text.
QString encodeIniValue(const QString &text, bool alwaysQuote = false);
// Reads a value as encodeIniValue wrote it. A text in well-formed double quotes is
// unescaped; anything else is taken as it stands.
QString decodeIniValue(const QString &raw);
// True when `raw` is a complete double-quoted text.
bool isQuotedIniValue(const QString &raw);
// Reads the double-quoted text that starts at `pos` (which must hold the opening quote), as
// encodeIniValue wrote it; on success `pos` is just past the closing quote. Nothing when
// there is no quote at `pos` or no closing quote.
std::optional<QString> readQuotedIniText(const QString &text, qsizetype &pos);

} // namespace wendlecott::platform
