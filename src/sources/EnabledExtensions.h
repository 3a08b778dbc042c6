#pragma once

#include "core/tld/TldTable.h"

#include <QString>
#include <QStringView>

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace wendlecott::sources {

// The enabled, non-proxy rows of a TLD table, prepared once for the tests that the page
// extractions run on every line of a page. `foundIn` answers what hasEnabledExtension answers,
// without rebuilding its look-up for each line; `positionAfterExtension` finds the first row,
// in table order, whose "." + extension occurs in a text. Both compare without regard to case
// and look at every "." of the text once.
class EnabledExtensions {
public:
    explicit EnabledExtensions(const core::TldTable &table);

    // No row serves page text: nothing can ever be found.
    bool isEmpty() const { return m_rows.empty(); }
    const core::TldTable &table() const { return m_table; }

    // True when the text holds "." + the extension of a serving row (".community" matches
    // "com"), as hasEnabledExtension.
    bool foundIn(QStringView text) const;

    // Walks the rows in table order; for the first whose "." + extension occurs in `text`,
    // the position (from 1) just after the first such occurrence of its extension. 0 when
    // there is none.
    qsizetype positionAfterExtension(QStringView text) const;

    // breakLinesAtExtensions over the same table.
    QString breakLines(const QString &text) const;

private:
    struct Match {
        qsizetype dot = -1; // index of the "."
        int row = -1;       // serving row order, -1 when nothing matched
        qsizetype length = 0;
    };
    // The first row in table order with an occurrence, and that occurrence; with
    // `stopAtFirst` any occurrence at all (the earliest dot).
    Match firstMatch(QStringView text, bool stopAtFirst) const;

    // Looks up owned keys by a view of the text, without copying it.
    struct ViewHash {
        using is_transparent = void;
        std::size_t operator()(std::u16string_view text) const
        {
            return std::hash<std::u16string_view>{}(text);
        }
    };

    core::TldTable m_table;
    std::vector<std::u16string> m_rows; // case-folded extensions in table order
    // Extension -> its first row order. The keys are copies of their own, so a copy of
    // this object never points into another's strings.
    std::unordered_map<std::u16string, int, ViewHash, std::equal_to<>> m_rowOf;
    std::vector<qsizetype> m_lengths; // distinct extension lengths, ascending
    bool m_allAscii = true;
};

} // namespace wendlecott::sources
