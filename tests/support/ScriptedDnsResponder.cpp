#include "ScriptedDnsResponder.h"

#include "core/dns/DnsMessage.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

namespace wendlecott::testing {

namespace {

QByteArray u16(quint16 value)
{
    QByteArray out;
    out.append(char(value >> 8));
    out.append(char(value & 0xff));
    return out;
}

QByteArray wireName(const QString &name)
{
    QByteArray out;
    for (const QString &label : name.split(QLatin1Char('.'), Qt::SkipEmptyParts))
        out += char(label.size()) + label.toLatin1();
    return out + '\0';
}

} // namespace

ScriptedDnsResponder::ScriptedDnsResponder(Mode mode, QObject *parent)
    : QObject(parent), m_mode(mode), m_socket(new QUdpSocket(this))
{
    connect(m_socket, &QUdpSocket::readyRead, this, &ScriptedDnsResponder::onReadyRead);
}

ScriptedDnsResponder::~ScriptedDnsResponder() = default;

bool ScriptedDnsResponder::start()
{
    return m_socket->bind(QHostAddress::LocalHost, 0);
}

quint16 ScriptedDnsResponder::port() const
{
    return m_socket->localPort();
}

QByteArray ScriptedDnsResponder::referral(const QByteArray &query, quint16 id, const QString &otherName)
{
    const auto message = core::parseDnsMessage(query);
    const QString name = otherName.isEmpty() && message ? message->questionName : otherName;
    QByteArray out = u16(id) + u16(0x8000) + u16(1) + u16(0) + u16(1) + u16(0);
    out += wireName(name) + u16(core::dns::kTypeNs) + u16(core::dns::kClassIn);
    const QByteArray target = wireName(QStringLiteral("ns1.example"));
    out += QByteArray::fromHex("c00c") + u16(core::dns::kTypeNs) + u16(core::dns::kClassIn) +
           QByteArray::fromHex("00000e10") + u16(quint16(target.size())) + target;
    return out;
}

void ScriptedDnsResponder::onReadyRead()
{
    while (m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        const auto message = core::parseDnsMessage(datagram.data());
        if (!message)
            continue;
        m_questions.append({message->id, message->questionName, message->recursionDesired});
        const auto reply = [&](const QByteArray &bytes) {
            m_socket->writeDatagram(bytes, datagram.senderAddress(), quint16(datagram.senderPort()));
        };
        const QByteArray &query = datagram.data();
        switch (m_mode) {
        case Mode::Silent:
            break;
        case Mode::Referral:
            reply(referral(query, message->id));
            break;
        case Mode::WrongIdOnly:
        case Mode::WrongIdThenReferral:
            reply(referral(query, quint16(message->id + 1)));
            if (m_mode == Mode::WrongIdThenReferral)
                reply(referral(query, message->id));
            break;
        case Mode::OtherNameOnly:
        case Mode::OtherNameThenReferral:
            reply(referral(query, message->id, QStringLiteral("other.") + message->questionName));
            if (m_mode == Mode::OtherNameThenReferral)
                reply(referral(query, message->id));
            break;
        }
        Q_EMIT questionReceived();
    }
}

} // namespace wendlecott::testing
