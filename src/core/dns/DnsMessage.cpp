#include "core/dns/DnsMessage.h"

#include <QtEndian>

#include <algorithm>

namespace wendlecott::core {

namespace {

constexpr int kHeaderBytes = 12;
constexpr int kMaxWireNameOctets = 255; // on the wire, length octets and the root included
// More pointers than a 64 KiB message can hold distinct names for means a loop.
constexpr int kMaxPointers = 128;

void appendU16(QByteArray &out, quint16 value)
{
    out.append(char(value >> 8));
    out.append(char(value & 0xff));
}

// A label's text as kept here: ASCII letters lower-cased; a dot, a backslash, and bytes
// outside printable ASCII as \DDD, so that no two wire names read the same.
void appendLabel(QString &out, const uchar *label, int length)
{
    for (int i = 0; i < length; ++i) {
        const uchar c = label[i];
        if (c > 0x20 && c < 0x7f && c != '.' && c != '\\') {
            out.append(QLatin1Char(char(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c)));
        } else {
            out.append(QLatin1Char('\\'));
            out.append(QString::number(int(c)).rightJustified(3, QLatin1Char('0')));
        }
    }
}

class Reader {
public:
    explicit Reader(const QByteArray &bytes)
        : m_data(reinterpret_cast<const uchar *>(bytes.constData())), m_size(int(bytes.size()))
    {
    }

    bool ok() const { return m_ok; }
    int position() const { return m_pos; }

    quint16 u16()
    {
        if (!need(2))
            return 0;
        const quint16 v = qFromBigEndian<quint16>(m_data + m_pos);
        m_pos += 2;
        return v;
    }
    quint32 u32()
    {
        if (!need(4))
            return 0;
        const quint32 v = qFromBigEndian<quint32>(m_data + m_pos);
        m_pos += 4;
        return v;
    }
    void skip(int count)
    {
        if (need(count))
            m_pos += count;
    }

    // A possibly compressed name at the current position; the position moves past its
    // bytes in place (a pointer counts two).
    QString name() { return nameAt(m_pos, true); }
    // The name at `offset` without moving.
    QString nameAt(int offset, bool advance)
    {
        QString out;
        int pos = offset;
        int wireLength = 1;
        int pointers = 0;
        bool jumped = false;
        while (m_ok) {
            if (pos >= m_size)
                return fail();
            const uchar length = m_data[pos];
            if ((length & 0xc0) == 0xc0) {
                if (pos + 1 >= m_size || ++pointers > kMaxPointers)
                    return fail();
                if (!jumped && advance)
                    m_pos = pos + 2;
                jumped = true;
                pos = ((length & 0x3f) << 8) | m_data[pos + 1];
                continue;
            }
            if ((length & 0xc0) != 0)
                return fail(); // the extended label types are not in use
            if (length == 0) {
                if (!jumped && advance)
                    m_pos = pos + 1;
                return out;
            }
            wireLength += length + 1;
            if (wireLength > kMaxWireNameOctets || pos + 1 + length > m_size)
                return fail();
            if (!out.isEmpty())
                out.append(QLatin1Char('.'));
            appendLabel(out, m_data + pos + 1, length);
            pos += 1 + length;
        }
        return {};
    }

private:
    bool need(int count)
    {
        if (count < 0 || m_pos + count > m_size)
            m_ok = false;
        return m_ok;
    }
    QString fail()
    {
        m_ok = false;
        return {};
    }

    const uchar *m_data;
    int m_size;
    int m_pos = 0;
    bool m_ok = true;
};

bool readRecords(Reader &reader, int count, QList<DnsRecord> &out)
{
    for (int i = 0; i < count && reader.ok(); ++i) {
        DnsRecord record;
        record.owner = reader.name();
        record.type = reader.u16();
        record.rclass = reader.u16();
        record.ttl = reader.u32();
        const int length = reader.u16();
        if (!reader.ok())
            return false;
        const int dataStart = reader.position();
        if (record.type == dns::kTypeNs) {
            record.target = reader.nameAt(dataStart, false);
            if (!reader.ok())
                return false;
        }
        reader.skip(length);
        if (reader.ok())
            out.append(record);
    }
    return reader.ok();
}

} // namespace

QByteArray encodeNsQuery(const QString &asciiName, quint16 id)
{
    const QString name = dnsCanonicalName(asciiName);
    if (name.isEmpty() || name.size() > 253)
        return {};
    QByteArray out;
    appendU16(out, id);
    appendU16(out, 0x0000); // a standard query, recursion not desired
    appendU16(out, 1);      // one question
    appendU16(out, 0);
    appendU16(out, 0);
    appendU16(out, 1); // the EDNS record
    for (const QString &label : name.split(QLatin1Char('.'))) {
        // Names are sent in their IDNA form: printable ASCII only, and nothing that a reply's
        // name would be read back escaped as (a blank, a backslash).
        const bool ascii = std::all_of(label.begin(), label.end(), [](QChar c) {
            return c.unicode() > 0x20 && c.unicode() < 0x7f && c != QLatin1Char('\\');
        });
        const QByteArray bytes = label.toLatin1();
        if (!ascii || bytes.isEmpty() || bytes.size() > kMaxLabelOctets)
            return {};
        out.append(char(bytes.size()));
        out.append(bytes);
    }
    out.append('\0');
    appendU16(out, dns::kTypeNs);
    appendU16(out, dns::kClassIn);
    // OPT: root owner, the buffer size as its class, no extended flags, no options.
    out.append('\0');
    appendU16(out, dns::kTypeOpt);
    appendU16(out, dns::kEdnsUdpSize);
    out.append(QByteArray(4, '\0'));
    appendU16(out, 0);
    return out;
}

std::optional<DnsMessage> parseDnsMessage(const QByteArray &bytes)
{
    if (bytes.size() < kHeaderBytes)
        return std::nullopt;
    Reader reader(bytes);
    DnsMessage message;
    message.id = reader.u16();
    const quint16 flags = reader.u16();
    message.isResponse = (flags & 0x8000) != 0;
    message.opcode = (flags >> 11) & 0xf;
    message.authoritative = (flags & 0x0400) != 0;
    message.truncated = (flags & 0x0200) != 0;
    message.recursionDesired = (flags & 0x0100) != 0;
    message.rcode = flags & 0xf;
    message.questionCount = reader.u16();
    const int answerCount = reader.u16();
    const int authorityCount = reader.u16();
    reader.skip(2); // additional records are not read
    for (int i = 0; i < message.questionCount && reader.ok(); ++i) {
        const QString name = reader.name();
        const quint16 type = reader.u16();
        const quint16 rclass = reader.u16();
        if (i == 0 && reader.ok()) {
            message.questionName = name;
            message.questionType = type;
            message.questionClass = rclass;
        }
    }
    if (!reader.ok() || !readRecords(reader, answerCount, message.answers) ||
        !readRecords(reader, authorityCount, message.authority))
        return std::nullopt;
    return message;
}

} // namespace wendlecott::core
