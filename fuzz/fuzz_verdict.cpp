// The two verdict rules over a whois answer: the success words (judgeResponse) and the
// evidence rules (EvidenceJudge), the latter also with a table of the user's own.
// Input: tld NUL name NUL success words NUL extra evidence table NUL answer bytes.
#include "FuzzInput.h"
#include "core/lookup/EvidenceJudge.h"
#include "core/lookup/Verdict.h"
#include "core/lookup/WhoisQuery.h"

using namespace wendlecott;

namespace {

void checkJudgement(const core::EvidenceJudge &judge, const QString &answer, const QString &tld,
                    const QString &name)
{
    const core::Judgement judgement = judge.judge(answer, tld, name);
    FUZZ_CHECK(!judgement.rule.isEmpty());
    FUZZ_CHECK(judgement.evidence.size() <= 200);
    const QList<int> matching = judge.matchingRules(answer, core::normalizedTld(tld));
    int last = -1;
    for (const int index : matching) {
        FUZZ_CHECK(index > last && index < judge.table().size());
        last = index;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QList<QByteArray> parts = fuzz::splitInput(data, size, 5);
    const QString tld = QString::fromUtf8(parts.at(0));
    const QString name = QString::fromUtf8(parts.at(1));
    const QString successWords = QString::fromUtf8(parts.at(2));
    // As a lookup turns the bytes it received into text.
    const QString answer = core::whoisAnswerText(parts.at(4));

    const core::Judgement judgement = core::judgeResponse(answer, successWords);
    if (judgement.verdict != core::LookupVerdict::Available)
        FUZZ_CHECK(judgement.matchedWord.isEmpty());
    FUZZ_CHECK(judgement.verdict != core::LookupVerdict::Unknown);

    static const core::EvidenceJudge builtIn;
    checkJudgement(builtIn, answer, tld, name);
    if (!parts.at(3).isEmpty()) {
        QList<core::EvidenceProblem> problems;
        const core::EvidenceTable extra =
            core::EvidenceTable::parse(QString::fromUtf8(parts.at(3)), QStringLiteral("fuzz"), &problems);
        // The user's rules alone: compiling the built-in ones again for every input would
        // spend the time on them.
        checkJudgement(core::EvidenceJudge(extra), answer, tld, name);
    }
    return 0;
}
