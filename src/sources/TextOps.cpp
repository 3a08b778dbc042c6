#include "sources/TextOps.h"

#include <QStringList>
#include <QStringMatcher>

#include <algorithm>
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

} // namespace

QString replaceAll(const QString &text, QStringView before, QStringView after, Qt::CaseSensitivity cs)
{
    if (before.isEmpty() || text.size() < before.size())
        return text;
    const QStringMatcher matcher(before, cs);
    const QStringView source(text);
    qsizetype hit = matcher.indexIn(source, 0);
    if (hit < 0)
        return text;
    QString out;
    out.reserve(after.size() > before.size() ? text.size() + text.size() / 8 : text.size());
    qsizetype from = 0;
    while (hit >= 0) {
        out.append(source.mid(from, hit - from));
        out.append(after);
        from = hit + before.size();
        hit = matcher.indexIn(source, from);
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
    // After "%25", each escape is replaced in one pass: its character is never part of an
    // escape, so no new occurrence can appear and a second pass would find nothing.
    struct Escape {
        std::u16string_view code;
        char16_t character;
    };
    static constexpr Escape kEscapes[] = {
        {u"%20", u' '}, {u"%3C", u'<'},  {u"%3E", u'>'}, {u"%23", u'#'},  {u"%7B", u'{'},  {u"%7D", u'}'},
        {u"%7C", u'|'}, {u"%5C", u'\\'}, {u"%5E", u'^'}, {u"%7E", u'~'},  {u"%5B", u'['},  {u"%5D", u']'},
        {u"%60", u'`'}, {u"%3B", u';'},  {u"%2F", u'/'}, {u"%3F", u'?'},  {u"%3A", u':'},  {u"%40", u'@'},
        {u"%3D", u'='}, {u"%26", u'&'},  {u"%24", u'$'}, {u"%0A", u'\n'}, {u"%0D", u'\r'},
    };
    if (!text.contains(u'%'))
        return text;
    QString out = collapsePercent25(text);
    for (const Escape &escape : kEscapes) {
        if (!out.contains(u'%'))
            break;
        out = replaceAll(out, QStringView(escape.code.data(), qsizetype(escape.code.size())),
                         QStringView(&escape.character, 1), Qt::CaseInsensitive);
    }
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
    // "." + extension anywhere, without regard to case: both sides are case-folded (simple
    // folding keeps lengths), then the text after every dot is looked up once per length.
    std::vector<QString> extensions;
    for (const core::TldEntry &row : table.rows) {
        if (servesPageText(row))
            extensions.push_back(row.extension.toCaseFolded());
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

    const QString folded = text.toCaseFolded();
    const char16_t *data = QStringView(folded).utf16();
    const qsizetype size = folded.size();
    for (qsizetype dot = folded.indexOf(u'.'); dot >= 0; dot = folded.indexOf(u'.', dot + 1)) {
        for (const qsizetype length : lengths) {
            if (dot + 1 + length > size)
                break;
            if (wanted.count(std::u16string_view(data + dot + 1, std::size_t(length))) != 0)
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
