// The text operations that turn raw text into candidate names. Input: text NUL before NUL
// after NUL TLD table (the default table when empty). The fast versions must agree with the
// rules written out step by step.
#include "FuzzInput.h"
#include "core/tld/TldTable.h"
#include "sources/TextOps.h"

#include <string_view>

using namespace wendlecott;

namespace {

// xurlEncode as its rule reads: "%25" made "%" until none is left, then each escape of the
// table replaced, without regard to case.
QString urlDecodeByTheRule(QString text)
{
    while (text.contains(QLatin1String("%25")))
        text.replace(QLatin1String("%25"), QLatin1String("%"));
    static const struct {
        const char *escape;
        char16_t character;
    } kEscapes[] = {
        {"%20", u' '}, {"%3C", u'<'},  {"%3E", u'>'}, {"%23", u'#'},  {"%7B", u'{'},  {"%7D", u'}'},
        {"%7C", u'|'}, {"%5C", u'\\'}, {"%5E", u'^'}, {"%7E", u'~'},  {"%5B", u'['},  {"%5D", u']'},
        {"%60", u'`'}, {"%3B", u';'},  {"%2F", u'/'}, {"%3F", u'?'},  {"%3A", u':'},  {"%40", u'@'},
        {"%3D", u'='}, {"%26", u'&'},  {"%24", u'$'}, {"%0A", u'\n'}, {"%0D", u'\r'},
    };
    for (const auto &escape : kEscapes)
        text.replace(QLatin1String(escape.escape), QString(QChar(escape.character)), Qt::CaseInsensitive);
    return text;
}

bool hasEnabledExtensionByTheRule(const QString &text, const core::TldTable &table)
{
    for (const core::TldEntry &row : table.rows) {
        if (row.enabled && row.extension != core::kProxyExtension &&
            text.contains(QLatin1Char('.') + row.extension, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

// What xCorrectName removes one character at a time; none of them is left before the dot.
constexpr std::u16string_view kRemovedCharacters =
    u" /.%!~#'\"$^&*()=\\|+`?><,;:\u00AB\u00B4\u00AF\u00BA\u00B8_";

const core::TldTable &defaultTable()
{
    static const core::TldTable table = core::parseTldText(core::defaultTldText());
    return table;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QList<QByteArray> parts = fuzz::splitInput(data, size, 4);
    const QString text = QString::fromUtf8(parts.at(0));
    const QString before = QString::fromUtf8(parts.at(1));
    const QString after = QString::fromUtf8(parts.at(2));
    const core::TldTable custom = core::parseTldText(QString::fromUtf8(parts.at(3)));
    const core::TldTable &table = parts.at(3).isEmpty() ? defaultTable() : custom;

    const QString corrected = sources::xCorrectName(text);
    FUZZ_CHECK(!corrected.contains(u'?'));
    const qsizetype dot = corrected.indexOf(u'.');
    for (const QChar c : QStringView(corrected).left(dot < 0 ? corrected.size() : dot))
        FUZZ_CHECK(kRemovedCharacters.find(c.unicode()) == std::u16string_view::npos);

    FUZZ_CHECK(sources::xurlEncode(text) == urlDecodeByTheRule(text));
    FUZZ_CHECK(sources::breakLinesAtExtensions(text, table) ==
               sources::detail::breakLinesStepByStep(text, table));
    FUZZ_CHECK(sources::hasEnabledExtension(text, table) == hasEnabledExtensionByTheRule(text, table));
    (void)sources::reduceToRegisteredName(text);

    if (!before.isEmpty()) {
        for (const Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive})
            FUZZ_CHECK(sources::replaceAll(text, before, after, cs) ==
                       QString(text).replace(before, after, cs));
    }
    return 0;
}
