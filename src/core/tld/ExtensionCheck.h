#pragma once

#include "core/tld/PublicSuffixList.h"
#include "core/tld/TldTable.h"

#include <QString>

namespace wendlecott::core {

// The problem told for a name under an extension that exists nowhere.
inline const QString kNoSuchExtension = QStringLiteral("no such extension");

// The extension of a name for these rules: everything after its first label ("co.uk" for
// example.co.uk), lower case, without a final dot.
QString extensionOf(const QString &name);

// True when a row of the table is the name's own: its extension is the name's last label,
// or (three labels or more) its last two, as findTLD looks them up. The .com fallback and
// the proxy row are no row of the name's own.
bool hasOwnTldRow(const QString &name, const TldTable &table);

// kNoSuchExtension when `name` has no row of its own and its extension is no public suffix
// of the list's ICANN section ("abc.zz", "shop.notatld"), else the empty text. Such a name is
// never asked: the server that would be asked serves another registry, whose "no match"
// says nothing about it. A row the user wrote, numeric or private, always serves its names.
QString extensionProblem(const QString &name, const TldTable &table,
                         const PublicSuffixList &list = PublicSuffixList::standard());

// Why `name` cannot be a domain that a lookup may ask about, or the empty text: first the
// name itself (domainNameProblem), then its extension (extensionProblem).
QString nameProblem(const QString &name, const TldTable &table,
                    const PublicSuffixList &list = PublicSuffixList::standard());

// "no whois server for .EXT in the TLD table" when a whois answer about `name` comes from
// another registry's server (the .com row or the fallback server, as the name has no row of
// its own and proxy mode is off), else the empty text. Such an answer cannot make the name
// Available: the verdict is Unknown with this reason and the name is kept among the
// unanswered names. Registered still stands (the server knows the name).
QString fallbackProblem(const QString &name, const TldTable &table, bool useProxy);

} // namespace wendlecott::core
