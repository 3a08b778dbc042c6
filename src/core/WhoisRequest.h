#pragma once

#include <QByteArray>
#include <QString>

namespace wendlecott::core {

// The bytes of a whois request for `name`: the name and CR LF, nothing else.
//
// A pure-ASCII name goes out exactly as given (case kept). A name with letters outside
// ASCII (münchen.de) goes out in its ASCII-compatible form (xn--mnchen-3ya.de), which is
// what registries index; its raw bytes would ask about a different string. A name that
// has no such form goes out as UTF-8. CR and LF inside the name are dropped, so a request
// is always exactly one line.
QByteArray whoisRequest(const QString &name);

} // namespace wendlecott::core
