#include "sources/TextOps.h"

#include <QStringList>
#include <QStringMatcher>

#include <algorithm>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace wendlecott::sources {

namespace {

std::u16string_view u16view(QStringView view)
{
    return {view.utf16(), std::size_t(view.size())};
}

// The rows whose extensions the page-text operations use: enabled and not the proxy row.
bool servesPageText(const core::TldEntry &row)
{
    return row.enabled && row.extension != core::kProxyExtension;
}

// What ends a host name in page text, for breakLinesAtExtensions.
constexpr char16_t kDelimiters[] = {u' ', u'/', u'"', u'\'', u':', u'?'};

bool isDelimiter(char16_t c)
{
    return std::find(std::begin(kDelimiters), std::end(kDelimiters), c) != std::end(kDelimiters);
}

// "%25" replaced by "%" until none is left. Replacing never overlaps and the result does not
// depend on the order of replacements, so one pass that reduces the output as soon as it
// ends in "%25" gives the same text as repeated passes, in linear time: "%252520" -> "%20".
QString collapsePercent25(const QString &text)
{
    if (!text.contains(QLatin1String("%25")))
        return text;
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        out.append(c);
        const qsizetype n = out.size();
        if (c == u'5' && n >= 3 && out.at(n - 2) == u'2' && out.at(n - 3) == u'%')
            out.chop(2);
    }
    return out;
}

// The character of the escape "%" + first + second (hex digits in any case), or 0 when the
// escape is not one that xurlEncode decodes. "%25" is handled before.
char16_t decodedEscape(char16_t first, char16_t second)
{
    struct Escape {
        char16_t first;
        char16_t second;
        char16_t character;
    };
    static constexpr Escape kEscapes[] = {
        {u'2', u'0', u' '}, {u'3', u'C', u'<'},  {u'3', u'E', u'>'},  {u'2', u'3', u'#'}, {u'7', u'B', u'{'},
        {u'7', u'D', u'}'}, {u'7', u'C', u'|'},  {u'5', u'C', u'\\'}, {u'5', u'E', u'^'}, {u'7', u'E', u'~'},
        {u'5', u'B', u'['}, {u'5', u'D', u']'},  {u'6', u'0', u'`'},  {u'3', u'B', u';'}, {u'2', u'F', u'/'},
        {u'3', u'F', u'?'}, {u'3', u'A', u':'},  {u'4', u'0', u'@'},  {u'3', u'D', u'='}, {u'2', u'6', u'&'},
        {u'2', u'4', u'$'}, {u'0', u'A', u'\n'}, {u'0', u'D', u'\r'},
    };
    // Only the ASCII letters fold to the hex letters a-f, so upper-casing them is the whole
    // of "without regard to case" here.
    const auto upper = [](char16_t c) { return c >= u'a' && c <= u'f' ? char16_t(c - u'a' + u'A') : c; };
    first = upper(first);
    second = upper(second);
    for (const Escape &escape : kEscapes) {
        if (escape.first == first && escape.second == second)
            return escape.character;
    }
    return 0;
}

} // namespace

QString replaceAll(const QString &text, QStringView before, QStringView after, Qt::CaseSensitivity cs)
{
    if (before.isEmpty() || text.size() < before.size())
        return text;
    // A short text (a name, which xCorrectName tries some forty patterns on) mostly holds no
    // occurrence: a plain search answers that without building the matcher's table, which
    // pays off only over longer texts.
    const QStringView source(text);
    std::optional<QStringMatcher> matcher;
    qsizetype hit = -1;
    if (text.size() <= 256) {
        hit = source.indexOf(before, 0, cs);
    } else {
        matcher.emplace(before, cs);
        hit = matcher->indexIn(source, 0);
    }
    if (hit < 0)
        return text;
    if (!matcher)
        matcher.emplace(before, cs);
    QString out;
    out.reserve(after.size() > before.size() ? text.size() + text.size() / 8 : text.size());
    qsizetype from = 0;
    while (hit >= 0) {
        out.append(source.mid(from, hit - from));
        out.append(after);
        from = hit + before.size();
        hit = matcher->indexIn(source, from);
    }
    out.append(source.mid(from));
    return out;
}

QString xCorrectName(const QString &name)
{
    // Removed from the name part in this order, case-sensitively. The order matters: a
    // removal can bring the pieces of a later pattern together ("nb sp;" -> "nbsp;").
    static constexpr std::u16string_view kRemovals[] = {
        u"&nbsp;", u"related:", u"site:",  u"<b>",    u" ",      u"/", u".",     u"%", u"!",
        u"/",      u"~",        u"#",      u"'",      u"\"",     u"$", u"%",     u"^", u"&",
        u"*",      u"(",        u")",      u"=",      u"\\",     u"|", u"+",     u"`", u"?",
        u">",      u"<",        u",",      u"'",      u"\"",     u".", u"nbsp;", u";", u":",
        u"\u00AB", u"\u00B4",   u"\u00AF", u"\u00BA", u"\u00B8", u"_",
    };
    const qsizetype dot = name.indexOf(u'.');
    QString base = dot < 0 ? name : name.left(dot);
    const QString ext = dot < 0 ? QString() : name.mid(dot);
    for (const std::u16string_view pattern : kRemovals)
        base = replaceAll(base, QStringView(pattern.data(), qsizetype(pattern.size())), {});
    return replaceAll(base + ext, u"?", {});
}

QString xurlEncode(const QString &text)
{
    if (!text.contains(u'%'))
        return text;
    const QString collapsed = collapsePercent25(text);
    // The other escapes all start with "%" and hold no "%" after it, so no two occurrences
    // overlap, and no decoded character is "%" or a hex digit, so decoding never makes a new
    // escape. Every escape is therefore replaced exactly once whatever the order: one pass
    // over the text does what "for each escape, replace while the text holds it" does.
    const QStringView source(collapsed);
    const qsizetype size = source.size();
    QString out;
    qsizetype copied = 0;
    for (qsizetype at = source.indexOf(u'%'); at >= 0 && at + 2 < size; at = source.indexOf(u'%', at + 1)) {
        const char16_t decoded = decodedEscape(source.at(at + 1).unicode(), source.at(at + 2).unicode());
        if (decoded == 0)
            continue;
        if (copied == 0)
            out.reserve(size);
        out.append(source.mid(copied, at - copied));
        out.append(QChar(decoded));
        copied = at + 3;
        at += 2;
    }
    if (copied == 0)
        return collapsed;
    out.append(source.mid(copied));
    return out;
}

namespace detail {

QString breakLinesStepByStep(const QString &text, const core::TldTable &table)
{
    const QString crLf = QStringLiteral("\r\n");
    const QString comQuote = QStringLiteral(".com\"");
    const QString comQuoteBreak = comQuote + crLf;
    QString out = text;
    for (const core::TldEntry &row : table.rows) {
        if (!servesPageText(row))
            continue;
        for (const char16_t d : kDelimiters) {
            const QString pattern = row.extension + QChar(d);
            out = replaceAll(out, pattern, QString(pattern + crLf));
        }
        out = replaceAll(out, comQuote, comQuoteBreak);
    }
    return out;
}

} // namespace detail

QString breakLinesAtExtensions(const QString &text, const core::TldTable &table)
{
    // Every replacement inserts a CR LF right after a delimiter. With extensions that hold no
    // delimiter and no line end, no inserted text can make or break another match, so all
    // matches can be found on the original text and the breaks written in one pass: after a
    // delimiter come as many CR LFs as there are rows whose extension ends right before it,
    // plus one per row after `.com"`. Anything else is done step by step.
    std::unordered_map<std::u16string_view, int> rowsByExtension;
    int rowCount = 0;
    for (const core::TldEntry &row : table.rows) {
        if (!servesPageText(row))
            continue;
        for (const QChar c : row.extension) {
            if (isDelimiter(c.unicode()) || c == u'\r' || c == u'\n')
                return detail::breakLinesStepByStep(text, table);
        }
        ++rowsByExtension[u16view(row.extension)];
        ++rowCount;
    }
    if (rowCount == 0)
        return text;
    std::vector<qsizetype> lengths;
    for (const auto &[extension, count] : rowsByExtension) {
        if (std::find(lengths.begin(), lengths.end(), qsizetype(extension.size())) == lengths.end())
            lengths.push_back(qsizetype(extension.size()));
    }
    std::sort(lengths.begin(), lengths.end());

    const QStringView source(text);
    const char16_t *data = source.utf16();
    const qsizetype size = source.size();
    static constexpr std::u16string_view kDotCom = u".com";
    QString out;
    qsizetype copied = 0;
    for (qsizetype k = 0; k < size; ++k) {
        const char16_t c = data[k];
        if (!isDelimiter(c))
            continue;
        int breaks = 0;
        for (const qsizetype length : lengths) {
            if (length > k)
                break;
            const auto found =
                rowsByExtension.find(std::u16string_view(data + k - length, std::size_t(length)));
            if (found != rowsByExtension.end())
                breaks += found->second;
        }
        if (c == u'"' && k >= 4 && std::u16string_view(data + k - 4, 4) == kDotCom)
            breaks += rowCount;
        if (breaks == 0)
            continue;
        if (copied == 0)
            out.reserve(size + size / 8);
        out.append(source.mid(copied, k + 1 - copied));
        for (int i = 0; i < breaks; ++i)
            out.append(QLatin1String("\r\n"));
        copied = k + 1;
    }
    if (copied == 0)
        return text;
    out.append(source.mid(copied));
    return out;
}

bool hasEnabledExtension(const QString &text, const core::TldTable &table)
{
    // "." + extension anywhere, without regard to case: both sides are case-folded and the
    // text after every dot is looked up once per extension length. Extensions are ASCII as a
    // rule; then only the few characters after each dot are folded (a character that is not
    // ASCII and folds to ASCII, such as the Kelvin sign, is folded too). Otherwise the whole
    // text is folded first (simple folding keeps the length).
    std::vector<QString> extensions;
    bool allAscii = true;
    for (const core::TldEntry &row : table.rows) {
        if (!servesPageText(row))
            continue;
        extensions.push_back(row.extension.toCaseFolded());
        for (const QChar c : extensions.back())
            allAscii = allAscii && c.unicode() < 0x80;
    }
    if (extensions.empty() || !text.contains(u'.'))
        return false;
    std::unordered_set<std::u16string_view> wanted;
    std::vector<qsizetype> lengths;
    for (const QString &extension : extensions) {
        wanted.insert(u16view(extension));
        if (std::find(lengths.begin(), lengths.end(), extension.size()) == lengths.end())
            lengths.push_back(extension.size());
    }
    std::sort(lengths.begin(), lengths.end());
    const qsizetype longest = lengths.back();

    const QString folded = allAscii ? text : text.toCaseFolded();
    const QStringView source(folded);
    const qsizetype size = source.size();
    std::u16string window;
    for (qsizetype dot = source.indexOf(u'.'); dot >= 0; dot = source.indexOf(u'.', dot + 1)) {
        const qsizetype available = std::min(longest, size - dot - 1);
        if (allAscii) {
            window.resize(std::size_t(available));
            for (qsizetype i = 0; i < available; ++i)
                window[std::size_t(i)] = QChar::toCaseFolded(char32_t(source.at(dot + 1 + i).unicode()));
        } else {
            window.assign(source.utf16() + dot + 1, std::size_t(available));
        }
        for (const qsizetype length : lengths) {
            if (length > available)
                break;
            if (wanted.count(std::u16string_view(window).substr(0, std::size_t(length))) != 0)
                return true;
        }
    }
    return false;
}

QString reduceToRegisteredName(const QString &host)
{
    if (!host.contains(u'.'))
        return host;
    const QStringList labels = host.split(u'.');
    if (labels.size() < 3)
        return host;
    const qsizetype n = labels.size() - 1;
    const QString &last = labels.at(n);
    static const QStringList kTwoLabelEndings = {
        QStringLiteral("com"), QStringLiteral("org"),  QStringLiteral("info"), QStringLiteral("name"),
        QStringLiteral("biz"), QStringLiteral("coop"), QStringLiteral("edu"),  QStringLiteral("aero"),
    };
    if (kTwoLabelEndings.contains(last, Qt::CaseSensitive))
        return labels.at(n - 1) + u'.' + last;
    if (labels.at(n - 1) == QLatin1String("co"))
        return labels.at(n - 2) + QLatin1String(".co.") + last;
    if (last == QLatin1String("us"))
        return labels.at(n - 1) + QLatin1String(".us");
    return {};
}

} // namespace wendlecott::sources
