// Figures for the evidence judge of whois answers:
//  - answers per second over the real answers in tests/data/whois (judged alone and with an
//    asked name), beside the success-word rule on the same answers;
//  - the time for one large answer: 1 MiB of real answers run together, and 16 MiB shaped
//    as a hostile server might send it;
//  - with --rules, the ten phrase rules that cost most over the real answers.
#include "core/base/TextFile.h"
#include "core/lookup/EvidenceJudge.h"
#include "core/lookup/Verdict.h"
#include "core/tld/TldTable.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

using namespace wendlecott;

namespace {

struct Answer {
    QString tld;
    QString text;
};

QList<Answer> readCorpus()
{
    const QString root = QStringLiteral(WENDLECOTT_TESTDATA "/whois/");
    const auto manifest = core::readLines(root + QStringLiteral("MANIFEST.tsv"));
    QList<Answer> answers;
    if (!manifest)
        return answers;
    for (const QString &line : manifest.value().mid(1)) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.size() < 4)
            continue;
        const auto bytes = core::readBytes(root + fields.at(0));
        if (bytes)
            answers.append({fields.at(2).startsWith(QLatin1Char('_')) ? QString() : fields.at(2),
                            core::decodeText(bytes.value())});
    }
    return answers;
}

// Judges every answer once per round until two seconds have passed; answers per second.
template <typename Judge> double answersPerSecond(const QList<Answer> &answers, Judge judge)
{
    QElapsedTimer timer;
    timer.start();
    qint64 judged = 0;
    int sink = 0;
    do {
        for (const Answer &answer : answers)
            sink += judge(answer);
        judged += answers.size();
    } while (timer.elapsed() < 2000);
    if (sink < 0)
        std::printf("\n");
    return double(judged) * 1e9 / double(timer.nsecsElapsed());
}

double millisecondsFor(const core::EvidenceJudge &judge, const QString &answer)
{
    QElapsedTimer timer;
    timer.start();
    const core::Judgement judgement =
        judge.judge(answer, QStringLiteral("com"), QStringLiteral("example.com"));
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    if (judgement.rule.isEmpty())
        std::printf("(no rule)\n");
    return ms;
}

QString repeatedUpTo(const QString &piece, qsizetype size)
{
    QString out;
    out.reserve(size + piece.size());
    while (out.size() < size)
        out.append(piece);
    return out;
}

void largeAnswers(const QList<Answer> &answers)
{
    const core::EvidenceJudge judge;
    QString real;
    for (const Answer &answer : answers)
        real += answer.text;
    const qsizetype mib = qsizetype(1) << 20;
    const QList<std::pair<const char *, QString>> shapes{
        {"1 MiB of real answers run together", repeatedUpTo(real, mib)},
        {"16 MiB of real answers run together", repeatedUpTo(real, 16 * mib)},
        {"16 MiB of short lines", repeatedUpTo(QStringLiteral("xxxxxxx\n"), 16 * mib)},
        {"16 MiB of not-found lines", repeatedUpTo(QStringLiteral("No match for x\n"), 16 * mib)},
        {"16 MiB of status lines", repeatedUpTo(QStringLiteral("Status: active\n"), 16 * mib)},
        {"16 MiB in one line", repeatedUpTo(QStringLiteral("a"), 16 * mib)},
    };
    for (const auto &[label, text] : shapes)
        std::printf("  %-40s %8.1f ms\n", label, millisecondsFor(judge, text));
}

// Each phrase rule alone over every real answer, one at a time, less the cost of reading
// the answers with no rule at all: the ten that cost most.
void costliestRules(const QList<Answer> &answers)
{
    const core::EvidenceTable &table = core::EvidenceTable::builtIn();
    const auto timeWith = [&](const QList<core::EvidenceRule> &rules) {
        const core::EvidenceJudge judge{core::EvidenceTable(rules)};
        QElapsedTimer timer;
        timer.start();
        qsizetype sink = 0;
        for (int round = 0; round < 5; ++round) {
            for (const Answer &answer : answers)
                sink += judge.matchingRules(answer.text, answer.tld).size();
        }
        return double(timer.nsecsElapsed()) / 1e6 / 5 + 0.0 * double(sink);
    };
    const double base = timeWith({});
    QList<std::pair<double, int>> costs;
    for (int i = 0; i < table.size(); ++i) {
        if (!core::isFieldKind(table.rules().at(i).kind))
            costs.append({timeWith({table.rules().at(i)}) - base, i});
    }
    std::sort(costs.begin(), costs.end(), std::greater<>());
    double total = 0;
    for (const auto &cost : costs)
        total += cost.first;
    std::printf("phrase rules over all answers: %.1f ms in all (reading alone %.1f ms); costliest:\n", total,
                base);
    for (qsizetype i = 0; i < std::min<qsizetype>(10, costs.size()); ++i) {
        const core::EvidenceRule &rule = table.rules().at(costs.at(i).second);
        std::printf("  %6.2f ms  %s %s\n", costs.at(i).first, qPrintable(rule.id), qPrintable(rule.pattern));
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QList<Answer> answers = readCorpus();
    if (answers.isEmpty()) {
        std::printf("no answers in " WENDLECOTT_TESTDATA "/whois\n");
        return 1;
    }
    qint64 bytes = 0;
    for (const Answer &answer : answers)
        bytes += answer.text.size();
    std::printf("corpus: %lld answers, %.1f KiB of text\n", qlonglong(answers.size()),
                double(bytes) / 1024.0);

    const core::EvidenceJudge judge;
    const double alone =
        answersPerSecond(answers, [&](const Answer &a) { return int(judge.judge(a.text, a.tld).verdict); });
    const double named = answersPerSecond(answers, [&](const Answer &a) {
        return int(judge.judge(a.text, a.tld, QStringLiteral("example.") + a.tld).verdict);
    });
    const double words = answersPerSecond(answers, [&](const Answer &a) {
        return int(core::judgeResponse(a.text, core::kStandardSuccessWords).verdict);
    });
    std::printf("evidence rules, answer alone:   %9.0f answers/s (%.1f MiB/s)\n", alone,
                alone * double(bytes) / double(answers.size()) / 1048576.0);
    std::printf("evidence rules, asked name:     %9.0f answers/s\n", named);
    std::printf("success words (standard words): %9.0f answers/s\n", words);
    std::printf("one large answer, evidence rules (asked name example.com):\n");
    largeAnswers(answers);
    if (app.arguments().contains(QStringLiteral("--rules")))
        costliestRules(answers);
    return 0;
}
