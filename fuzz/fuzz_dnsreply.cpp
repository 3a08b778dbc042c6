// The DNS reply parser and the delegation judge, over any bytes a name server might send.
// Input: asked name NUL reply bytes.
#include "FuzzInput.h"
#include "core/dns/DelegationJudge.h"
#include "core/dns/DnsMessage.h"

using namespace wendlecott;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QList<QByteArray> parts = fuzz::splitInput(data, size, 2);
    const QString name = QString::fromLatin1(parts.at(0));
    const QByteArray &reply = parts.at(1);

    if (const auto message = core::parseDnsMessage(reply)) {
        // Every record takes at least eleven bytes of the reply.
        FUZZ_CHECK((message->answers.size() + message->authority.size()) * 11 <= reply.size());
        for (const auto *section : {&message->answers, &message->authority}) {
            for (const core::DnsRecord &record : *section) {
                FUZZ_CHECK(record.owner.size() <= 4 * 255);
                FUZZ_CHECK(record.target.size() <= 4 * 255);
            }
        }
    }

    const core::DelegationJudgement judgement = core::judgeDelegation(reply, name);
    switch (judgement.outcome) {
    case core::DelegationOutcome::Delegated:
        FUZZ_CHECK(!judgement.nameServers.isEmpty() && judgement.reason.isEmpty());
        break;
    case core::DelegationOutcome::Undecided:
        FUZZ_CHECK(!judgement.reason.isEmpty() && judgement.nameServers.isEmpty());
        break;
    case core::DelegationOutcome::NotDelegated:
    case core::DelegationOutcome::Ignored:
        FUZZ_CHECK(judgement.nameServers.isEmpty() && judgement.reason.isEmpty());
        break;
    }

    // A question we can send reads back as the name asked.
    const QByteArray query = core::encodeNsQuery(name, 7);
    if (!query.isEmpty()) {
        const auto asked = core::parseDnsMessage(query);
        FUZZ_CHECK(asked && asked->questionName == core::dnsCanonicalName(name) && !asked->recursionDesired);
    }
    return 0;
}
