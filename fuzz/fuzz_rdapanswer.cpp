// The RDAP answer judge: the verdict on whatever an RDAP server sends, by status and body.
// Input: asked name NUL one byte for how the fetch ended NUL status (decimal) NUL body.
#include "FuzzInput.h"
#include "core/lookup/RdapQuery.h"

using namespace wendlecott;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QList<QByteArray> parts = fuzz::splitInput(data, size, 4);
    const QString name = QString::fromUtf8(parts.at(0));
    core::HttpResponse response;
    constexpr int kEndings = int(core::HttpEnding::TooManyRedirects) + 1;
    response.ending = parts.at(1).isEmpty() ? core::HttpEnding::Finished
                                            : core::HttpEnding(std::uint8_t(parts.at(1).at(0)) % kEndings);
    response.status = parts.at(2).left(6).toInt();
    response.body = parts.at(3);

    const core::Judgement judgement = core::judgeRdapAnswer(response, name);
    FUZZ_CHECK(!judgement.rule.isEmpty());
    // Only a finished exchange says anything about the name.
    if (response.ending != core::HttpEnding::Finished)
        FUZZ_CHECK(judgement.verdict == core::LookupVerdict::Unknown);
    // Free only by a 404, taken only by a domain object in a 200.
    if (judgement.verdict == core::LookupVerdict::Available)
        FUZZ_CHECK(response.status == 404);
    if (judgement.verdict == core::LookupVerdict::Registered)
        FUZZ_CHECK(response.status == 200);
    // The same answer gives the same verdict.
    const core::Judgement again = core::judgeRdapAnswer(response, name);
    FUZZ_CHECK(again.verdict == judgement.verdict && again.rule == judgement.rule);
    return 0;
}
