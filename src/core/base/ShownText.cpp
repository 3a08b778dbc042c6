#include "core/base/ShownText.h"

namespace wendlecott::core {

namespace {

bool isBidiControl(char16_t c)
{
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0x200E || c == 0x200F ||
           c == 0x061C;
}

bool needsEscape(char16_t c, bool keepLineBreaks)
{
    if (c == u'\t' || c == u'\n' || c == u'\r')
        return !keepLineBreaks;
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || isBidiControl(c);
}

} // namespace

QString escapeControls(QStringView text, bool keepLineBreaks)
{
    qsizetype first = 0;
    while (first < text.size() && !needsEscape(text[first].unicode(), keepLineBreaks))
        ++first;
    if (first == text.size())
        return text.toString();
    QString out;
    out.reserve(text.size() + 16);
    out.append(text.left(first));
    for (qsizetype i = first; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (!needsEscape(c, keepLineBreaks))
            out.append(QChar(c));
        else if (c <= 0xFF)
            out.append(
                QStringLiteral("\\x%1").arg(uint(c), 2, 16, QLatin1Char('0')).toUpper().replace(1, 1, u'x'));
        else
            out.append(
                QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper().replace(1, 1, u'u'));
    }
    return out;
}

QString quotedLine(QStringView text, qsizetype maxChars)
{
    if (text.size() <= maxChars)
        return escapeControls(text, false);
    return escapeControls(text.left(maxChars), false) +
           QStringLiteral("... (%1 characters)").arg(text.size());
}

} // namespace wendlecott::core
