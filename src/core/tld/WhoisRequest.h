#pragma once

#include <QByteArray>
#include <QString>

namespace wendlecott::core {

// A whois server to ask: host name or address, and TCP port.
struct WhoisServer {
    QString host;
    quint16 port = 43;
    friend bool operator==(const WhoisServer &, const WhoisServer &) = default;
};

// The bytes of a whois request for `name`: the name and CR LF, nothing else.
//
// A pure-ASCII name goes out exactly as given (case kept). A name with letters outside
// ASCII (münchen.de) goes out in its ASCII-compatible form (xn--mnchen-3ya.de), which is
// what registries index; its raw bytes would ask about a different string. A name that
// has no such form goes out as UTF-8. Control characters (CR and LF among them) are dropped,
// so a request is always exactly one line.
QByteArray whoisRequest(const QString &name);

// The most of one answer that is kept (far above any real answer): a server that streams
// without end is cut off here and judged on what it sent (WhoisQuery applies it).
inline constexpr qsizetype kMaxResponseBytes = qsizetype(1) << 20;

} // namespace wendlecott::core
