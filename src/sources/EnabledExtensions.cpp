#include "sources/EnabledExtensions.h"

#include "sources/TextOps.h"

#include <algorithm>

namespace wendlecott::sources {

EnabledExtensions::EnabledExtensions(const core::TldTable &table) : m_table(table)
{
    for (const core::TldEntry &row : table.rows) {
        if (!row.enabled || row.extension == core::kProxyExtension)
            continue;
        const QString folded = row.extension.toCaseFolded();
        m_rows.emplace_back(reinterpret_cast<const char16_t *>(folded.utf16()), std::size_t(folded.size()));
        for (const QChar c : folded)
            m_allAscii = m_allAscii && c.unicode() < 0x80;
    }
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        m_rowOf.try_emplace(m_rows[i], int(i));
        const auto length = qsizetype(m_rows[i].size());
        if (std::find(m_lengths.begin(), m_lengths.end(), length) == m_lengths.end())
            m_lengths.push_back(length);
    }
    std::sort(m_lengths.begin(), m_lengths.end());
}

EnabledExtensions::Match EnabledExtensions::firstMatch(QStringView text, bool stopAtFirst) const
{
    Match best;
    if (m_rows.empty())
        return best;
    // Extensions are ASCII as a rule: then only the few characters after each dot are
    // folded. Otherwise the whole text is folded first (simple folding keeps the length).
    const QString foldedText = m_allAscii ? QString() : text.toString().toCaseFolded();
    const QStringView source = m_allAscii ? text : QStringView(foldedText);
    const qsizetype size = source.size();
    const qsizetype longest = m_lengths.back();
    std::u16string window;
    for (qsizetype dot = source.indexOf(u'.'); dot >= 0; dot = source.indexOf(u'.', dot + 1)) {
        const qsizetype available = std::min(longest, size - dot - 1);
        window.resize(std::size_t(available));
        for (qsizetype i = 0; i < available; ++i) {
            const char16_t c = source.at(dot + 1 + i).unicode();
            window[std::size_t(i)] = m_allAscii ? char16_t(QChar::toCaseFolded(char32_t(c))) : c;
        }
        for (const qsizetype length : m_lengths) {
            if (length > available)
                break;
            const auto found = m_rowOf.find(std::u16string_view(window).substr(0, std::size_t(length)));
            if (found == m_rowOf.end() || (best.row >= 0 && found->second >= best.row))
                continue;
            best = Match{dot, found->second, length};
            if (stopAtFirst || best.row == 0)
                return best;
        }
    }
    return best;
}

bool EnabledExtensions::foundIn(QStringView text) const
{
    return firstMatch(text, true).row >= 0;
}

qsizetype EnabledExtensions::positionAfterExtension(QStringView text) const
{
    const Match match = firstMatch(text, false);
    // From 1: the dot is at dot + 1, the extension ends at dot + 1 + length.
    return match.row < 0 ? 0 : match.dot + match.length + 2;
}

QString EnabledExtensions::breakLines(const QString &text) const
{
    return breakLinesAtExtensions(text, m_table);
}

} // namespace wendlecott::sources
