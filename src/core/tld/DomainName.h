#pragma once

#include "core/base/Result.h"

#include <QString>

namespace wendlecott::core {

// The limits of a domain name in its IDNA (ASCII) form, in octets.
inline constexpr qsizetype kMaxLabelOctets = 63;
inline constexpr qsizetype kMaxNameOctets = 253;

// Why `name` cannot be a domain name, or the empty text when it can: IDNA refuses it (a
// right-to-left override, a space, a character no registry accepts), it has an empty label,
// it is a single label ("com", "localhost": nothing registers those), or in IDNA form a
// label is over kMaxLabelOctets or the name over kMaxNameOctets octets. One dot at the end
// is allowed. Such a name is never looked up: no answer about it could mean it is available.
QString domainNameProblem(const QString &name);

// The name as a lookup asks it, written back in Unicode: what is filed, printed and
// compared, so that two spellings of one request are one name. IDNA drops soft hyphens and
// zero-width characters and maps ligatures, fullwidth and compatibility forms ("ﬁsh.com"
// and "ｆｉｓｈ.com" are asked as "fish.com"); such a label is given as asked. A label that
// IDNA leaves alone but for case keeps the letters typed ("My-Shop.com", "xn--mnchen-3ya.de",
// "München.de"). A dot at the end is dropped. A name that domainNameProblem refuses is
// refused with InvalidInput and that reason.
Result<QString> canonicalDomainName(const QString &name);

// `name` lower-cased in ASCII, without a final dot (how names are compared here).
QString dnsCanonicalName(const QString &name);

} // namespace wendlecott::core
