#pragma once

#include "FuzzInput.h"

#include <QString>
#include <QStringList>

namespace wendlecott::fuzz {

// What every name that an extraction takes must be: a host name (letters, digits, "-" and
// "."; labels of at most 63 characters, at most 253 in all) that starts with no ".".
inline void checkExtractedName(const QString &name)
{
    FUZZ_CHECK(!name.isEmpty() && !name.startsWith(u'.'));
    FUZZ_CHECK(name.size() <= 253);
    for (const QStringView label : QStringView(name).split(u'.'))
        FUZZ_CHECK(label.size() <= 63);
    for (const QChar c : name)
        FUZZ_CHECK(c.isLetterOrNumber() || c == u'-' || c == u'.');
}

// No name is taken twice, nor one that occurs in a name taken before it.
inline void checkNoRepeats(const QStringList &names)
{
    for (qsizetype i = 0; i < names.size(); ++i) {
        checkExtractedName(names.at(i));
        for (qsizetype j = 0; j < i; ++j)
            FUZZ_CHECK(!names.at(j).contains(names.at(i), Qt::CaseInsensitive));
    }
}

} // namespace wendlecott::fuzz
