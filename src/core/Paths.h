#pragma once

#include <QString>

namespace wendlecott::core {

// Joins a folder and a relative name written with "\" or "/" separators
// ("\Wordlists\FullWordList.txt"), matching each part without regard to case against
// what already exists, so "wordlists" and "Wordlists" are one folder. Parts that do not
// exist yet keep the case they were given.
QString resolveUnder(const QString &folder, const QString &relative);

} // namespace wendlecott::core
