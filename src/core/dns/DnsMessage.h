#pragma once

#include "core/tld/DomainName.h" // dnsCanonicalName, how names are compared here

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace wendlecott::core {

// Just enough of the DNS wire format for a delegation check: a question for the NS records of
// one name, and the header, question and record sections of the reply. Names are kept in
// their ASCII (IDNA) form, lower-cased, without the final dot.
namespace dns {
inline constexpr quint16 kTypeA = 1;
inline constexpr quint16 kTypeNs = 2;
inline constexpr quint16 kTypeSoa = 6;
inline constexpr quint16 kTypeOpt = 41;
inline constexpr quint16 kClassIn = 1;
inline constexpr int kRcodeNoError = 0;
inline constexpr int kRcodeFormErr = 1;
inline constexpr int kRcodeServFail = 2;
inline constexpr int kRcodeNxDomain = 3;
inline constexpr int kRcodeRefused = 5;
// The EDNS buffer size offered: large enough for a referral with glue, small enough not to
// be fragmented on any path.
inline constexpr quint16 kEdnsUdpSize = 1232;
} // namespace dns

struct DnsRecord {
    QString owner;
    quint16 type = 0;
    quint16 rclass = 0;
    quint32 ttl = 0;
    QString target; // NS: the name server's name; other types: empty
};

struct DnsMessage {
    quint16 id = 0;
    bool isResponse = false;
    bool truncated = false;
    bool authoritative = false;
    bool recursionDesired = false;
    int rcode = 0;
    int opcode = 0;
    QString questionName; // empty when the message carries no question
    quint16 questionType = 0;
    quint16 questionClass = 0;
    int questionCount = 0;
    QList<DnsRecord> answers;
    QList<DnsRecord> authority;
};

// The query bytes that ask for the NS records of `asciiName` (IDNA form, a final dot
// allowed), class IN, with the recursion-desired bit clear and an EDNS record offering
// dns::kEdnsUdpSize. Empty when the name cannot be encoded (an empty or over-long label, a
// name over 253 octets, a character outside printable ASCII, a blank or a backslash).
QByteArray encodeNsQuery(const QString &asciiName, quint16 id);

// The message in `bytes`, or nothing when it is malformed: shorter than its header says,
// a name that runs past the end, loops through compression pointers or is over 255 octets, a
// record whose data runs past the end. Bytes after the authority section (the additional
// records) are not read.
std::optional<DnsMessage> parseDnsMessage(const QByteArray &bytes);

} // namespace wendlecott::core
