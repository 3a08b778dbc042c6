#include "core/dns/DelegationJudge.h"

#include "core/dns/DnsMessage.h"

namespace wendlecott::core {

namespace {

DelegationJudgement undecidedBecause(const QString &reason)
{
    return {DelegationOutcome::Undecided, {}, reason};
}

bool asksOurQuestion(const DnsMessage &message, const QString &name, std::optional<quint16> queryId)
{
    if (!message.isResponse || message.opcode != 0 || (queryId && message.id != *queryId))
        return false;
    return message.questionCount == 1 && message.questionName == name &&
           message.questionType == dns::kTypeNs && message.questionClass == dns::kClassIn;
}

// NS records owned by the name, or by a wildcard above it ("*.ext" answers for every name of
// the extension: a zone that delegates any name).
bool ownsName(const QString &owner, const QString &name)
{
    return owner == name ||
           (owner.startsWith(QLatin1String("*.")) && name.endsWith(QStringView(owner).mid(1)));
}

DelegationJudgement judgeNoError(const DnsMessage &message, const QString &name)
{
    QStringList servers;
    bool otherReferral = false;
    for (const QList<DnsRecord> *section : {&message.answers, &message.authority}) {
        for (const DnsRecord &record : *section) {
            if (record.type != dns::kTypeNs || record.rclass != dns::kClassIn)
                continue;
            if (!ownsName(record.owner, name))
                otherReferral = true;
            else if (!servers.contains(record.target))
                servers.append(record.target);
        }
    }
    if (!servers.isEmpty())
        return {DelegationOutcome::Delegated, servers, {}};
    return undecidedBecause(otherReferral ? undecided::OtherReferral : undecided::NoData);
}

} // namespace

DelegationJudgement judgeDelegation(const QByteArray &reply, const QString &asciiName,
                                    std::optional<quint16> queryId)
{
    const std::optional<DnsMessage> message = parseDnsMessage(reply);
    if (!message)
        return undecidedBecause(undecided::Malformed);
    const QString name = dnsCanonicalName(asciiName);
    if (!asksOurQuestion(*message, name, queryId))
        return {DelegationOutcome::Ignored, {}, {}};
    if (message->truncated)
        return undecidedBecause(undecided::Truncated);
    switch (message->rcode) {
    case dns::kRcodeNoError:
        return judgeNoError(*message, name);
    case dns::kRcodeNxDomain:
        return {DelegationOutcome::NotDelegated, {}, {}};
    case dns::kRcodeServFail:
        return undecidedBecause(undecided::ServerFailure);
    case dns::kRcodeRefused:
        return undecidedBecause(undecided::Refused);
    default:
        return undecidedBecause(undecided::OtherRcode + QLatin1Char('-') + QString::number(message->rcode));
    }
}

QString delegationOutcomeName(DelegationOutcome outcome)
{
    switch (outcome) {
    case DelegationOutcome::Delegated:
        return QStringLiteral("delegated");
    case DelegationOutcome::NotDelegated:
        return QStringLiteral("not-delegated");
    case DelegationOutcome::Undecided:
        return QStringLiteral("undecided");
    case DelegationOutcome::Ignored:
        return QStringLiteral("ignored");
    }
    return {};
}

} // namespace wendlecott::core
