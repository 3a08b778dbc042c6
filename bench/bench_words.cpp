// How the default success words fare on the real registry answers in tests/data/whois: for
// each status the answers were recorded under (available, registered, throttled), how many
// the success-word rule judges as that status and how many it gets wrong. A figure, not a
// gate; the evidence rules have their own in bench_evidence.
#include "core/base/TextFile.h"
#include "core/lookup/Verdict.h"
#include "core/tld/TldTable.h"

#include <QCoreApplication>
#include <QMap>

#include <cstdio>

using namespace wendlecott;
using core::LookupVerdict;

namespace {

struct Tally {
    int files = 0;
    QMap<LookupVerdict, int> verdicts;
};

void print(const char *label, const Tally &tally, LookupVerdict right, LookupVerdict other1,
           LookupVerdict other2)
{
    std::printf("%s answers: %d of %d %s (%d %s, %d %s)\n", label, tally.verdicts.value(right), tally.files,
                qPrintable(core::verdictName(right)), tally.verdicts.value(other1),
                qPrintable(core::verdictName(other1)), tally.verdicts.value(other2),
                qPrintable(core::verdictName(other2)));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString root = QStringLiteral(WENDLECOTT_TESTDATA "/whois/");
    const auto manifest = core::readLines(root + QStringLiteral("MANIFEST.tsv"));
    if (!manifest.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(manifest.message()));
        return 1;
    }
    const core::TldTable table = core::parseTldText(core::defaultTldText());
    QMap<QString, Tally> byStatus;
    int judged = 0;
    int withoutRow = 0;
    for (const QString &line : manifest.value().mid(1)) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.size() < 4)
            continue;
        const auto bytes = core::readBytes(root + fields.at(0));
        if (!bytes.ok())
            continue; // a listed file that is missing: counted nowhere
        // A TLD that no default row serves ("co.za") is judged with the standard words.
        const int index = core::findTLD(table, QStringLiteral("example.") + fields.at(2), false);
        if (index < 0)
            ++withoutRow;
        const QString words = index < 0 ? core::kStandardSuccessWords : table.at(index).successWords;
        const core::Judgement judgement = core::judgeResponse(core::decodeText(bytes.value()), words);
        Tally &tally = byStatus[fields.at(3)];
        ++tally.files;
        ++tally.verdicts[judgement.verdict];
        ++judged;
    }
    std::printf("real answers judged: %d (%d of a TLD without a default row)\n", judged, withoutRow);
    print("available", byStatus.value(QStringLiteral("available")), LookupVerdict::Available,
          LookupVerdict::Registered, LookupVerdict::Blocked);
    print("registered", byStatus.value(QStringLiteral("registered")), LookupVerdict::Registered,
          LookupVerdict::Blocked, LookupVerdict::Available);
    print("throttled", byStatus.value(QStringLiteral("throttled")), LookupVerdict::Blocked,
          LookupVerdict::Available, LookupVerdict::Registered);
    return 0;
}
