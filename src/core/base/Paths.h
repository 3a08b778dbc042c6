#pragma once

#include <QString>

namespace wendlecott::core {

// Joins a folder and a relative name written with "\" or "/" separators
// ("\Wordlists\FullWordList.txt"), matching each part without regard to case against
// what already exists, so "wordlists" and "Wordlists" are one folder. Parts that do not
// exist yet keep the case they were given.
QString resolveUnder(const QString &folder, const QString &relative);

// The candidate list of the "Yahoo Search" and "Google Search" sources. The list builder
// writes the names of its result pages here, and the browse window queues the names it finds
// on pages here too: both feed the same two sources, so a run reads whichever wrote last.
inline const QString kBrowserSearchFile = QStringLiteral("\\BrowserSearch.txt");
// The list builder's scratch file; the browse window's "Clear Cache" deletes it.
inline const QString kSearchOutputFile = QStringLiteral("\\SearchOutput.txt");

} // namespace wendlecott::core
