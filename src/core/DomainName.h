#pragma once

#include <QString>

namespace wendlecott::core {

// The limits of a domain name in its IDNA (ASCII) form, in octets.
inline constexpr qsizetype kMaxLabelOctets = 63;
inline constexpr qsizetype kMaxNameOctets = 253;

// Why `name` cannot be a domain name, or the empty text when it can: IDNA refuses it (a
// right-to-left override, a space, a character no registry accepts), it has an empty label,
// or in IDNA form a label is over kMaxLabelOctets or the name over kMaxNameOctets octets.
// One dot at the end is allowed. Such a name is never looked up: no answer about it could
// mean it is available.
QString domainNameProblem(const QString &name);

} // namespace wendlecott::core
