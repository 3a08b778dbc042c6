// The two verdict rules on the real registry answers in tests/data/whois: the success-word
// rule with each extension's default words, and the evidence rules. Prints the figures side
// by side and holds the evidence rules to their targets, on the whole corpus and on
// held-out registries (rules that only one left-out server or extension uses are switched
// off while its answers are judged).
#include "core/base/TextFile.h"
#include "core/lookup/EvidenceJudge.h"
#include "core/lookup/Verdict.h"
#include "core/tld/TldTable.h"

#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

#include <algorithm>

using namespace wendlecott;
using core::LookupVerdict;

namespace {

struct Answer {
    QString path;
    QString host;
    QString tld; // empty for registrar servers ("_host-level" in the manifest)
    QString status;
    QString text;
};

// The verdict each measured status should get.
const QMap<QString, LookupVerdict> kExpected{
    {QStringLiteral("available"), LookupVerdict::Available},
    {QStringLiteral("registered"), LookupVerdict::Registered},
    {QStringLiteral("throttled"), LookupVerdict::Blocked},
};

struct Tally {
    int right = 0;
    int wrong = 0;
    int unknown = 0;
    QMap<LookupVerdict, int> verdicts;
    int total() const { return right + wrong + unknown; }
    void add(LookupVerdict expected, LookupVerdict got)
    {
        ++verdicts[got];
        if (got == expected)
            ++right;
        else if (got == LookupVerdict::Unknown)
            ++unknown;
        else
            ++wrong;
    }
    double share(int count) const { return total() ? 100.0 * count / total() : 0.0; }
};

using Tallies = QMap<QString, Tally>; // by status

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
        if (!bytes)
            continue;
        const QString tld = fields.at(2).startsWith(QLatin1Char('_')) ? QString() : fields.at(2);
        answers.append({fields.at(0), fields.at(1), tld, fields.at(3), core::decodeText(bytes.value())});
    }
    return answers;
}

QString figures(const Tally &tally)
{
    return QStringLiteral("%1 %2 %3 (%4 % right)")
        .arg(tally.right, 5)
        .arg(tally.wrong, 5)
        .arg(tally.unknown, 7)
        .arg(tally.share(tally.right), 5, 'f', 1);
}

// One line per status: the success-word rule's figures (when given) beside the evidence rules'.
void printSideBySide(const Tallies *described, const Tallies &evidence)
{
    const QString head = QStringLiteral("| %1: right wrong unknown             ");
    qInfo().noquote() << QStringLiteral("status       answers ") +
                             (described ? head.arg(QStringLiteral(" success words")) : QString()) +
                             head.arg(QStringLiteral("evidence rules"));
    for (auto it = kExpected.keyBegin(); it != kExpected.keyEnd(); ++it) {
        const QString column = QStringLiteral("|                 %1 ");
        qInfo().noquote() << QStringLiteral("%1 %2 ").arg(*it, -12).arg(evidence.value(*it).total(), 7) +
                                 (described ? column.arg(figures(described->value(*it))) : QString()) +
                                 column.arg(figures(evidence.value(*it)));
    }
}

// The extensions with the most answers that were not right, worst first.
void printWorstTlds(const char *label, const QMap<QString, Tally> &byTld)
{
    QList<std::pair<int, QString>> worst;
    for (auto it = byTld.begin(); it != byTld.end(); ++it) {
        if (it->right < it->total())
            worst.append({it->total() - it->right, it.key()});
    }
    std::sort(worst.begin(), worst.end(), [](const auto &a, const auto &b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    QStringList shown;
    for (qsizetype i = 0; i < std::min<qsizetype>(worst.size(), 10); ++i) {
        const Tally &tally = byTld.value(worst.at(i).second);
        shown.append(
            QStringLiteral("%1 %2/%3 (%4 wrong)")
                .arg(worst.at(i).second.isEmpty() ? QStringLiteral("(registrar)") : worst.at(i).second)
                .arg(tally.total() - tally.right)
                .arg(tally.total())
                .arg(tally.wrong));
    }
    qInfo().noquote() << label
                      << (shown.isEmpty() ? QStringLiteral("none") : shown.join(QStringLiteral(", ")));
}

// The index of every rule that finds something, per answer.
QList<QList<int>> rulesPerAnswer(const core::EvidenceJudge &judge, const QList<Answer> &answers)
{
    QList<QList<int>> matching;
    for (const Answer &answer : answers)
        matching.append(judge.matchingRules(answer.text, answer.tld));
    return matching;
}

// Judges each group's answers with the rules that only that group uses switched off:
// what the table would do on a registry (or extension) it was not built from.
Tallies heldOut(const QList<Answer> &answers, const QList<QList<int>> &matching,
                QString (*groupOf)(const Answer &))
{
    const QList<core::EvidenceRule> &rules = core::EvidenceTable::builtIn().rules();
    QList<QSet<QString>> users(rules.size());
    for (qsizetype i = 0; i < answers.size(); ++i) {
        for (const int rule : matching.at(i))
            users[rule].insert(groupOf(answers.at(i)));
    }
    QMap<QString, QList<qsizetype>> groups;
    for (qsizetype i = 0; i < answers.size(); ++i)
        groups[groupOf(answers.at(i))].append(i);
    Tallies tallies;
    for (auto it = groups.begin(); it != groups.end(); ++it) {
        QList<core::EvidenceRule> kept;
        for (qsizetype r = 0; r < rules.size(); ++r) {
            if (!(users.at(r).size() == 1 && users.at(r).contains(it.key())))
                kept.append(rules.at(r));
        }
        const core::EvidenceJudge judge{core::EvidenceTable(kept)};
        for (const qsizetype i : *it) {
            const Answer &answer = answers.at(i);
            if (kExpected.contains(answer.status))
                tallies[answer.status].add(kExpected.value(answer.status),
                                           judge.judge(answer.text, answer.tld).verdict);
        }
    }
    return tallies;
}

QString hostOf(const Answer &answer)
{
    return answer.host;
}

QString tldOf(const Answer &answer)
{
    return answer.tld;
}

// The domain an answer names in a "Domain Name:" or "Domain:" field, when it has one.
QString namedDomain(const QString &answer)
{
    static const QRegularExpression field(
        QStringLiteral("^\\s*domain( name)?\\s*:\\s*([^\\s]+\\.[^\\s]+)\\s*$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = field.match(answer);
    return match.hasMatch() ? match.captured(2) : QString();
}

} // namespace

class TestEvidenceCorpus : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        m_answers = readCorpus();
        QCOMPARE(m_answers.size(), 667);
    }

    void bothRulesSideBySide()
    {
        const core::TldTable table = core::parseTldText(core::defaultTldText());
        const core::EvidenceJudge judge;
        Tallies described;
        Tallies evidence;
        QMap<QString, Tally> describedByTld;
        QMap<QString, Tally> evidenceByTld;
        for (const Answer &answer : std::as_const(m_answers)) {
            const LookupVerdict evidenceVerdict = judge.judge(answer.text, answer.tld).verdict;
            if (answer.status ==
                QLatin1String("blocked")) // the one refused answer: held like a throttled one
                QVERIFY2(evidenceVerdict == LookupVerdict::Blocked ||
                             evidenceVerdict == LookupVerdict::Unknown,
                         qPrintable(answer.path));
            if (!kExpected.contains(answer.status))
                continue;
            const LookupVerdict expected = kExpected.value(answer.status);
            // An extension no default row serves is judged with the standard words.
            const int row = core::findTLD(table, QStringLiteral("example.") + answer.tld, false);
            const QString words = row < 0 ? core::kStandardSuccessWords : table.at(row).successWords;
            const LookupVerdict describedVerdict = core::judgeResponse(answer.text, words).verdict;
            described[answer.status].add(expected, describedVerdict);
            describedByTld[answer.tld].add(expected, describedVerdict);
            evidence[answer.status].add(expected, evidenceVerdict);
            evidenceByTld[answer.tld].add(expected, evidenceVerdict);
        }
        qInfo().noquote() << "Whole corpus, each answer judged alone:";
        printSideBySide(&described, evidence);
        printWorstTlds("worst extensions, success words:", describedByTld);
        printWorstTlds("worst extensions, evidence rules:", evidenceByTld);

        const Tally available = evidence.value(QStringLiteral("available"));
        const Tally registered = evidence.value(QStringLiteral("registered"));
        const Tally throttled = evidence.value(QStringLiteral("throttled"));
        QVERIFY(available.total() > 0 && registered.total() > 0 && throttled.total() > 0);
        QVERIFY(available.share(available.right) >= 97.0);
        QVERIFY(registered.share(registered.right) >= 97.0);
        QVERIFY(registered.share(registered.verdicts.value(LookupVerdict::Available)) <= 1.0);
        QCOMPARE(throttled.verdicts.value(LookupVerdict::Blocked) +
                     throttled.verdicts.value(LookupVerdict::Unknown),
                 throttled.total());
    }

    // The rules must not depend on the registry they were read from: leave each server (then
    // each extension) out in turn. Unknown may grow; calling one status the other must not.
    void heldOutRegistries()
    {
        const QList<QList<int>> matching = rulesPerAnswer(core::EvidenceJudge(), m_answers);
        for (const auto &[label, groupOf] : {std::pair{"server", &hostOf}, std::pair{"extension", &tldOf}}) {
            const Tallies tallies = heldOut(m_answers, matching, groupOf);
            qInfo().noquote()
                << QStringLiteral("Leave one %1 out (evidence rules):").arg(QLatin1String(label));
            printSideBySide(nullptr, tallies);
            const Tally available = tallies.value(QStringLiteral("available"));
            const Tally registered = tallies.value(QStringLiteral("registered"));
            const Tally throttled = tallies.value(QStringLiteral("throttled"));
            QVERIFY(registered.share(registered.verdicts.value(LookupVerdict::Available)) <= 1.0);
            QVERIFY(available.share(available.verdicts.value(LookupVerdict::Registered)) <= 1.0);
            QVERIFY(available.share(available.right) >= 90.0);
            QVERIFY(registered.share(registered.right) >= 95.0);
            QCOMPARE(throttled.wrong, 0);
        }
    }

    // With the asked name, registration data counts only when it is about that name.
    void askedNameDecidesWhoseDataCounts()
    {
        const core::EvidenceJudge judge;
        int named = 0;
        int stillRegistered = 0;
        for (const Answer &answer : std::as_const(m_answers)) {
            if (answer.status != QLatin1String("registered"))
                continue;
            const QString absent = QStringLiteral("u34jedzcq-absent.") +
                                   (answer.tld.isEmpty() ? QStringLiteral("com") : answer.tld);
            QVERIFY2(judge.judge(answer.text, answer.tld, absent).verdict != LookupVerdict::Registered,
                     qPrintable(answer.path));
            const QString name = namedDomain(answer.text);
            if (name.isEmpty())
                continue;
            ++named;
            if (judge.judge(answer.text, answer.tld, name).verdict == LookupVerdict::Registered)
                ++stillRegistered;
        }
        qInfo().noquote() << QStringLiteral(
                                 "registered answers judged with the name they show: %1 of %2 Registered")
                                 .arg(stillRegistered)
                                 .arg(named);
        QVERIFY(named > 200);
        QVERIFY(stillRegistered >= named * 97 / 100);
    }

private:
    QList<Answer> m_answers;
};

QTEST_GUILESS_MAIN(TestEvidenceCorpus)
#include "tst_evidence_corpus.moc"
