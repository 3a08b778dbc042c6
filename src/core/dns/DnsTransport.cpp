#include "core/dns/DnsTransport.h"

namespace wendlecott::core {

QString DnsServerAddress::key() const
{
    const bool v6 = host.contains(QLatin1Char(':'));
    return (v6 ? QLatin1Char('[') + host + QLatin1Char(']') : host) + QLatin1Char(':') +
           QString::number(port);
}

Result<DnsServerAddress> parseDnsServer(const QString &text)
{
    const QString t = text.trimmed();
    QString host = t;
    QString port;
    if (t.startsWith(QLatin1Char('['))) {
        const qsizetype close = t.indexOf(QLatin1Char(']'));
        if (close < 0)
            return Result<DnsServerAddress>::failure(ErrorCode::InvalidInput,
                                                     QStringLiteral("no closing ] in %1").arg(t));
        host = t.mid(1, close - 1);
        const QString rest = t.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(QLatin1Char(':')))
            return Result<DnsServerAddress>::failure(ErrorCode::InvalidInput,
                                                     QStringLiteral("not host:port: %1").arg(t));
        port = rest.mid(1);
    } else if (t.count(QLatin1Char(':')) == 1) {
        host = t.section(QLatin1Char(':'), 0, 0);
        port = t.section(QLatin1Char(':'), 1);
    }
    if (host.isEmpty() || host.contains(QLatin1Char(' ')))
        return Result<DnsServerAddress>::failure(ErrorCode::InvalidInput,
                                                 QStringLiteral("no host in %1").arg(t));
    DnsServerAddress address{host, 53};
    if (!port.isNull() || t.endsWith(QLatin1Char(':'))) {
        bool ok = false;
        const uint number = port.toUInt(&ok, 10);
        if (!ok || number < 1 || number > 65535)
            return Result<DnsServerAddress>::failure(ErrorCode::InvalidInput,
                                                     QStringLiteral("bad port in %1").arg(t));
        address.port = quint16(number);
    }
    return address;
}

} // namespace wendlecott::core
