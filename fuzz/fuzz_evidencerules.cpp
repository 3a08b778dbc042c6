// The reader of evidence rules files (whois-evidence.tsv in the program folder): any text
// gives rules that can be judged with, lists its bad lines, and a switch-off line removes
// exactly the rules of its kind and ID.
// Input: rules text NUL whois answer.
#include "FuzzInput.h"
#include "core/lookup/EvidenceJudge.h"
#include "core/lookup/EvidenceTable.h"

using namespace wendlecott;

namespace {

bool hasRule(const core::EvidenceTable &table, core::EvidenceKind kind, const QString &id)
{
    for (const core::EvidenceRule &rule : table.rules()) {
        if (rule.kind == kind && rule.id == id)
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QList<QByteArray> parts = fuzz::splitInput(data, size, 2);
    const QString text = QString::fromUtf8(parts.at(0));
    QList<core::EvidenceProblem> problems;
    const core::EvidenceTable table = core::EvidenceTable::parse(text, QStringLiteral("fuzz"), &problems);
    const qsizetype lines = text.count(QLatin1Char('\n')) + text.count(QLatin1Char('\r')) + 1;
    for (const core::EvidenceProblem &problem : problems) {
        FUZZ_CHECK(problem.lineNumber >= 1 && problem.lineNumber <= lines);
        FUZZ_CHECK(!problem.reason.isEmpty());
    }
    for (const core::EvidenceRule &rule : table.rules()) {
        FUZZ_CHECK(!rule.id.isEmpty() && !rule.pattern.isEmpty());
        FUZZ_CHECK(rule.pattern != QLatin1String("-"));
    }

    // Switching the first rule's kind and ID off leaves every other rule.
    if (table.size() > 0) {
        const core::EvidenceRule first = table.rules().first();
        const QString off =
            QStringLiteral("\n%1\t*\t%2\t-\n").arg(core::evidenceKindName(first.kind), first.id);
        const core::EvidenceTable fewer = core::EvidenceTable::parse(text + off, QStringLiteral("fuzz"));
        FUZZ_CHECK(!hasRule(fewer, first.kind, first.id));
        int kept = 0;
        for (const core::EvidenceRule &rule : table.rules())
            kept += rule.kind == first.kind && rule.id == first.id ? 0 : 1;
        FUZZ_CHECK(fewer.size() == kept);
    }

    const core::Judgement judgement =
        core::EvidenceJudge(table).judge(QString::fromUtf8(parts.at(1)), QStringLiteral("com"), QString());
    FUZZ_CHECK(!judgement.rule.isEmpty());
    return 0;
}
