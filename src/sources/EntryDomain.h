#pragma once

#include <QString>

namespace wendlecott::sources {

// The domain a check run looks up for one list entry (shared by the main window's run and
// `wendlecott-cli domain`):
//  1. an entry that holds ":" keeps only what follows its first ":" (a URL loses its scheme);
//  2. percent escapes are decoded (xurlEncode), then the name is cleaned (xCorrectName) and
//     loses its control characters (tab, CR, LF, ...), as the whois request drops them;
//  3. a name without "." gets "." + `cmbTldsText` (the extension chosen in the main window,
//     no dot), or `defaultExtension` (dot included, e.g. ".com") when that text is empty;
//     a name that holds a dot keeps its own extension.
// So "http://www.example.com" gives "www.example.com" and "my%20shop" gives "myshop.com".
// Gives the empty text when nothing is left of the name before its first dot (an entry of
// punctuation only, a lone space): there is no domain to look up.
QString domainForEntry(const QString &entry, const QString &cmbTldsText, const QString &defaultExtension);

} // namespace wendlecott::sources
