#include "TestFolder.h"
#include "core/base/TextFile.h"
#include "core/lookup/EvidenceJudge.h"

#include <QFile>
#include <QRandomGenerator>
#include <QUrl>
#include <QtTest>

using namespace wendlecott;
using core::EvidenceJudge;
using core::EvidenceKind;
using core::EvidenceTable;
using core::LookupVerdict;

Q_DECLARE_METATYPE(core::LookupVerdict)

namespace {

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// Text with NUL characters in it.
template <std::size_t N> QString withNuls(const char (&utf8)[N])
{
    return QString::fromUtf8(utf8, qsizetype(N - 1));
}

// `count` copies of `line`.
QString repeated(const QString &line, qsizetype count)
{
    QString out;
    out.reserve(line.size() * count);
    for (qsizetype i = 0; i < count; ++i)
        out.append(line);
    return out;
}

constexpr qsizetype kSixteenMiB = qsizetype(16) << 20;

} // namespace

class TestEvidence : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void builtInTableReadsWithoutProblems()
    {
        QFile file(QStringLiteral(":/wendlecott/whois-evidence.tsv"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QList<core::EvidenceProblem> problems;
        const EvidenceTable table =
            EvidenceTable::parse(core::decodeText(file.readAll()), QStringLiteral("built-in"), &problems);
        for (const core::EvidenceProblem &problem : problems)
            qWarning().noquote() << problem.describe();
        QVERIFY(problems.isEmpty());
        QCOMPARE(EvidenceTable::builtIn().size(), table.size());
        // Every kind is in use, and every phrase compiles.
        QSet<EvidenceKind> kinds;
        for (int i = 0; i < table.size(); ++i) {
            kinds.insert(table.rules().at(i).kind);
            if (!core::isFieldKind(table.rules().at(i).kind))
                QVERIFY2(table.regex(i).isValid(), qPrintable(table.rules().at(i).pattern));
        }
        QCOMPARE(kinds.size(), 9);
    }

    void fieldNamesAreNormalized_data()
    {
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("normalized");
        QTest::newRow("plain") << text("Name Server") << text("name server");
        QTest::newRow("underscore") << text("name_server") << text("name server");
        QTest::newRow("hyphen and case") << text("NAME-SERVER") << text("name server");
        QTest::newRow("runs and ends") << text("  Name . _ Server.. ") << text("name server");
        QTest::newRow("non-ASCII") << text("Nombre de Dominio ÉÈ") << text("nombre de dominio éè");
        QTest::newRow("no letters") << text(" ._- ") << QString();
    }
    void fieldNamesAreNormalized()
    {
        QFETCH(QString, written);
        QFETCH(QString, normalized);
        QCOMPARE(core::normalizedFieldName(written), normalized);
    }

    void badTableLinesAreNamedAndSkipped()
    {
        const QString table = text("# a comment\n"
                                   "\n"
                                   "available\t*\tgood\t^no match\n"
                                   "available\t*\ttoo few fields\n"
                                   "guess\t*\tx\ty\n"
                                   "available\t*\tbroken\t(unclosed\n"
                                   "available\t*\t\tpattern\n"
                                   "data\t*\tnothing\t._-\n"
                                   "data\t ,, \tempty-list\tRegistrar\n"
                                   "data\tDE, .Co.UK\tregistrar\tRegistrar\r\n");
        QList<core::EvidenceProblem> problems;
        const EvidenceTable parsed = EvidenceTable::parse(table, QStringLiteral("mine.tsv"), &problems);
        QCOMPARE(parsed.size(), 2);
        QCOMPARE(parsed.rules().at(1).tlds, (QStringList{text("de"), text("co.uk")}));
        QList<int> lines;
        for (const core::EvidenceProblem &problem : problems)
            lines.append(problem.lineNumber);
        QCOMPARE(lines, (QList<int>{4, 5, 6, 7, 8, 9}));
        QVERIFY(problems.at(0).describe().startsWith(text("mine.tsv line 4: ")));
        QVERIFY(problems.at(2).reason.contains(text("compile")));
    }

    void rulesServeTheirExtensionAndThoseUnderIt()
    {
        const EvidenceTable table =
            EvidenceTable::parse(text("available\tuk,de\tx\tx\navailable\t*\ty\ty\n"), {});
        QVERIFY(table.appliesTo(0, text("uk")));
        QVERIFY(table.appliesTo(0, text("co.uk")));
        QVERIFY(table.appliesTo(0, text("de")));
        QVERIFY(!table.appliesTo(0, text("xuk")));
        QVERIFY(!table.appliesTo(0, text("uk.com")));
        QVERIFY(!table.appliesTo(0, QString()));
        QVERIFY(table.appliesTo(1, QString()));
        QCOMPARE(core::normalizedTld(text(" .CO.UK. ")), text("co.uk"));
    }

    void programFolderFileAddsAndSwitchesOffRules()
    {
        testing::TestFolder folder;
        const QString answer = text("No match for \"EXAMPLE.COM\".\r\nfrobnicated\r\n");
        QCOMPARE(EvidenceJudge(EvidenceTable::forProgramFolder(folder.path(), nullptr))
                     .judge(answer, text("com"))
                     .rule,
                 text("no-match"));

        // The name is matched without regard to case; a bad line is named, the rest applies.
        folder.write(text("Whois-Evidence.TSV"), "available\t*\tno-match\t-\n"
                                                 "available\tcom\tfrobnicated\t^frobnicated$\n"
                                                 "blocked\t*\tbroken\t[\n");
        QList<core::EvidenceProblem> problems;
        const EvidenceTable table = EvidenceTable::forProgramFolder(folder.path(), &problems);
        QCOMPARE(problems.size(), 1);
        QCOMPARE(problems.at(0).lineNumber, 3);
        QCOMPARE(problems.at(0).source, text("Whois-Evidence.TSV"));
        const auto noMatchRules =
            std::count_if(EvidenceTable::builtIn().rules().begin(), EvidenceTable::builtIn().rules().end(),
                          [](const core::EvidenceRule &rule) { return rule.id == text("no-match"); });
        QVERIFY(noMatchRules > 1);
        QCOMPARE(table.size(),
                 EvidenceTable::builtIn().size() - noMatchRules + 1); // every no-match rule went
        const EvidenceJudge judge(table);
        const core::Judgement judgement = judge.judge(answer, text("com"));
        QCOMPARE(judgement.verdict, LookupVerdict::Available);
        QCOMPARE(judgement.rule, text("frobnicated"));
        QCOMPARE(judgement.evidence, text("frobnicated"));
        QCOMPARE(judge.judge(answer, text("net")).rule, core::kRuleNoEvidence);
        // The built-in table itself is unchanged.
        QCOMPARE(EvidenceJudge().judge(answer, text("net")).rule, text("no-match"));
    }

    // "-" takes out the rules of its kind and ID, and no rule of another kind with that ID.
    void switchOffRemovesOnlyItsKind()
    {
        QList<core::EvidenceProblem> problems;
        const EvidenceTable table = EvidenceTable::parse(text("available\t*\tx\t^gone$\n"
                                                              "blocked\t*\tx\tslow down\n"
                                                              "terms\tcom\tx\t^terms\n"
                                                              "available\tde\tx\t^gone too$\n"
                                                              "available\tnet\tx\t-\n"
                                                              "available\t*\tx\t^back$\n"),
                                                         text("test"), &problems);
        QVERIFY(problems.isEmpty());
        QCOMPARE(table.size(), 3);
        QCOMPARE(table.rules().at(0).kind, EvidenceKind::Blocked);
        QCOMPARE(table.rules().at(1).kind, EvidenceKind::Terms);
        QCOMPARE(table.rules().at(2).pattern, text("^back$")); // a rule after it stays

        testing::TestFolder folder;
        folder.write(text("whois-evidence.tsv"), "terms\t*\tno-match\t-\n");
        QCOMPARE(EvidenceTable::forProgramFolder(folder.path(), nullptr).size(),
                 EvidenceTable::builtIn().size());
    }

    void folderWithoutAReadableFileUsesTheBuiltInRules()
    {
        testing::TestFolder folder;
        QVERIFY(QDir(folder.path()).mkdir(core::kEvidenceFileName));
        QList<core::EvidenceProblem> problems;
        QCOMPARE(EvidenceTable::forProgramFolder(folder.path(), &problems).size(),
                 EvidenceTable::builtIn().size());
        QVERIFY(problems.isEmpty());
    }

    void judge_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("tld");
        QTest::addColumn<QString>("name");
        QTest::addColumn<LookupVerdict>("verdict");
        QTest::addColumn<QString>("rule");
        const auto row = [](const char *title, const char *answer, const char *tld, const char *name,
                            LookupVerdict verdict, const char *rule) {
            QTest::newRow(title) << text(answer) << text(tld) << text(name) << verdict << text(rule);
        };
        const QString ace = QString::fromLatin1(QUrl::toAce(text("münchen.de")));
        const QByteArray aceAnswer = "Domain: " + ace.toLatin1() + "\nNserver: ns1.example.de\n";
        const LookupVerdict R = LookupVerdict::Registered;
        const LookupVerdict A = LookupVerdict::Available;
        const LookupVerdict B = LookupVerdict::Blocked;
        const LookupVerdict U = LookupVerdict::Unknown;

        // Registration data in the forms registries use.
        const char *gtld = "Domain Name: EXAMPLE.COM\r\nRegistry Domain ID: 2336799_DOMAIN_COM-VRSN\r\n"
                           "Registrar: RESERVED-Internet Assigned Numbers Authority\r\n"
                           "Creation Date: 1995-08-14T04:00:00Z\r\nName Server: A.IANA-SERVERS.NET\r\n"
                           "Domain Status: clientTransferProhibited\r\n";
        row("gTLD record, answer alone", gtld, "com", "", R, "registrar");
        row("gTLD record, asked name", gtld, "com", "Example.COM.", R, "registrar");
        row("gTLD record of another name", gtld, "com", "example.net", U, "other-name");
        row("value on the next line",
            "    Domain name:\n        example.co.uk\n\n    Registrar:\n        Ex Ltd\n", "co.uk",
            "example.co.uk", R, "registrar");
        row("name on the next line, not indented",
            "Domain name:\nexample.ch\n\nHolder of domain name:\nEx AG\n", "ch", "example.ch", R, "holder");
        row("bracketed names with list marks",
            "a. [Domain Name]   EXAMPLE.JP\np. [Name Server]   ns1.example.jp\n", "jp", "example.jp", R,
            "name-server");
        row("dot leaders",
            " Complete Domain Name........: example.ai\n Organization Name..........: Ex Inc.\n", "ai",
            "example.ai", R, "holder");
        row("names padded with spaces",
            "Domain-name         example.sk\ndns_name            ns1.example.sk\n", "sk", "example.sk", R,
            "name-server");
        row("numbered form", "1a.        Domain Name : ex.gov.za\n5a.        Primary NS : ns1.ex.gov.za\n",
            "gov.za", "ex.gov.za", R, "name-server");
        row("status alone", "Domain: example.de\nStatus: connect\n", "de", "example.de", R, "status");
        row("RIPE style", "domain:      example.hr\ndescr:       Example d.o.o.\n", "hr", "", R, "holder");
        row("registration phrase of the registry", "domain:Created:20090324\n", "ma", "", R, "registration");
        row("registration phrase of another registry", "domain:Created:20090324\n", "fr", "", U,
            "no-evidence");
        row("asked in Unicode, answered in ACE", aceAnswer.constData(), "de", "münchen.de", R, "name-server");
        row("no name field, name mentioned", "Registrar: Ex Inc.\nexample.com is in use\n", "com",
            "example.com", R, "registrar");
        row("no name field, name not mentioned", "Registrar: Ex Inc.\nCreation Date: 2001-01-01\n", "com",
            "example.com", U, "other-name");
        row("empty form",
            "Domain Name: ex.com\nRegistrar:\nCreation Date:\nRegistrant Street:\n"
            "Domain Status: No Object Found\n",
            "com", "ex.com", A, "no-object-found");
        row("registration data beats legal text",
            "Domain Name: EX.COM\nRegistrar: X\nIf no match is found, the "
            "domain is available for registration.\n",
            "com", "ex.com", R, "registrar");

        // Not-found phrases.
        row("no match", "No match for \"EXAMPLE.COM\".\r\n>>> Last update of whois database <<<\r\n", "com",
            "example.com", A, "no-match");
        row("no match in a comment", "% Kopibeskyttet\n% No match\n", "no", "", A, "no-match");
        row("not found", "NOT FOUND\n", "info", "", A, "not-found");
        row("domain not found", "Domain not found.\n", "io", "", A, "not-found");
        row("requested domain not found",
            "The requested domain was not found in the Registry or Registrar's WHOIS "
            "Server.\n",
            "kr", "", A, "not-found");
        row("object does not exist", "The queried object does not exist: DOMAIN NOT FOUND\n", "fm", "", A,
            "does-not-exist");
        row("no data found", "No Data Found\n", "biz", "", A, "not-found");
        row("no entries found after an error code", "%ERROR:101: no entries found\n", "cz", "", A,
            "not-found");
        row("no entries found inside a line", "% Whois: no entries found for x.cz\n", "cz", "", A,
            "no-entries-found");
        row("no object found status", "Domain Name: ex.ng\nDomain Status: No Object Found\n", "ng", "ex.ng",
            A, "no-object-found");
        row("free status", "Domain: example.de\nStatus: free\n", "de", "example.de", A, "status-free");
        row("coded free status", "domain_name: ex.co.nz\nquery_status: 220 Available\n", "co.nz", "", A,
            "status-free");
        row("is free", "example.nl is free\n", "nl", "", A, "is-available");
        row("not registered", "This domain name has not been registered.\n", "uk", "", A, "not-registered");
        row("not in the database", "We do not have an entry in our database matching your query.\n", "ch", "",
            A, "not-in-database");
        row("phrase of the registry", "example.cl: no existe\n", "cl", "", A, "no-existe");
        row("phrase of the registry under it", "example.gob.cl: no existe\n", "gob.cl", "", A, "no-existe");
        row("phrase of another registry", "example.cl: no existe\n", "com", "", U, "no-evidence");
        row("rate notice that still answers",
            "% Query rate limit exceeded. Reduced information.\n"
            "% No match for domain \"ex.br\"\n",
            "br", "", A, "no-match");
        row("legal text about limits",
            "Access is blocked if the query limit is exceeded.\nNo match for ex.com\n", "com", "", A,
            "no-match");

        // Rate limits and refusals.
        row("limit exceeded", "WHOIS LIMIT EXCEEDED - SEE WWW.PIR.ORG/WHOIS FOR DETAILS\n", "org", "", B,
            "rate-limit");
        row("blocked beats not found",
            "%% Too many requests...\n%%\n\n%% No entries found in the AFNIC Database.\n", "fr", "", B,
            "rate-limit");
        row("IP address blocked", "-3: IP address blocked\n", "be", "", B, "access-denied");
        row("request denied with a name field", "domain_name: ex.co.nz\nquery_status: 440 Request Denied\n",
            "nz", "ex.co.nz", B, "access-denied");
        row("connection refused", "% Error: 55000000002 Connection refused; access control limit reached.\n",
            "de", "", B, "rate-limit");
        row("too fast", "Your access is too fast,please try again later.\n", "cn", "", B, "rate-limit");
        row("too many mid-line", "Error: too many queries from 192.0.2.1\n", "xy", "", B, "rate-limit");
        row("queries exceeded", "Number of allowed queries exceeded.\n", "xy", "", B, "rate-limit");
        row("terms that threaten a block",
            "Access may be denied and your IP address blocked when you send too "
            "many queries.\nDomain not found.\n",
            "xy", "", A, "not-found");

        // Nothing a user can act on.
        row("empty", "", "com", "", U, "empty");
        row("white space only", "\r\n \t\r\n", "com", "", U, "empty");
        row("extension not supported", "This TLD is not supported.\n", "zz", "", U, "not-supported");
        row("no whois server", "No whois server is known for this kind of object.\n", "zz", "", U,
            "not-supported");
        row("database down", "* Sorry, the Whois database is currently down.\n* Please wait a while\n", "com",
            "", U, "server-error");
        row("server busy", "whois.domain-registry.nl: Server too busy, try again later\n", "nl", "", U,
            "server-error");
        row("invalid input", "Invalid input\n", "tr", "", U, "invalid-query");
        row("invalid name after error", "Error: Invalid domain name\n", "xy", "", U, "invalid-query");
        row("not known, yet not found", "Invalid query or domain name not known in Dot TK Domain Registry\n",
            "tk", "", A, "not-in-database");
        row("invalid status is no registration", "Domain: x.foo.de\nStatus: invalid\n", "de", "", U,
            "invalid-query");
        row("cannot be registered",
            "Domain Name: ex.wed\nDomain Status: Prohibited String - Object Cannot Be "
            "Registered\n",
            "wed", "ex.wed", U, "cannot-register");
        row("legal text with available",
            "The data is available for information purposes only.\nAVAILABLE TO "
            "ALL users who agree to these terms.\n",
            "com", "", U, "no-evidence");
        row("nothing known", "Hello\n", "com", "", U, "no-evidence");
        row("not-found phrase in the terms", "If no match for your query is found, the name may be free.\n",
            "com", "", U, "no-evidence");
        row("error phrase in the terms",
            "The service may be temporarily unavailable when we update it.\n"
            "No match for \"X.COM\".\n",
            "com", "", A, "no-match");
    }
    void judge()
    {
        QFETCH(QString, answer);
        QFETCH(QString, tld);
        QFETCH(QString, name);
        QFETCH(LookupVerdict, verdict);
        QFETCH(QString, rule);
        const core::Judgement judgement = EvidenceJudge().judge(answer, tld, name);
        QCOMPARE(judgement.rule, rule);
        QCOMPARE(judgement.verdict, verdict);
        // The evidence is a line of the answer, for the rules of the table.
        const bool fromTable =
            rule != core::kRuleEmpty && rule != core::kRuleOtherName && rule != core::kRuleNoEvidence;
        QCOMPARE(!judgement.evidence.isEmpty(), fromTable);
    }

    void evidenceIsTheDecidingLine()
    {
        const EvidenceJudge judge;
        QCOMPARE(judge.judge(text("%% header\n%%   No match for \"X.COM\".  \n"), text("com")).evidence,
                 text("No match for \"X.COM\"."));
        QCOMPARE(judge.judge(text("Domain name:\n    ex.co.uk\n"), text("uk"), text("ex.co.uk")).rule,
                 core::kRuleNoEvidence);
        QCOMPARE(judge.judge(text("  Registrar:\n    Ex Ltd\n"), text("uk")).evidence,
                 text("Registrar: Ex Ltd"));
        const QString longLine = text("No match for ") + repeated(text("x"), 100000);
        QCOMPARE(judge.judge(longLine, text("com")).evidence.size(), 200);
    }

    void matchingRulesListsEveryRuleThatFindsSomething()
    {
        const EvidenceJudge judge;
        const QList<int> rules = judge.matchingRules(
            text("%% Too many requests...\n%% No entries found\nDomain: x.fr\nStatus: free\n"), text("fr"));
        QStringList ids;
        for (const int rule : rules)
            ids.append(judge.table().rules().at(rule).id);
        QVERIFY(ids.contains(text("rate-limit")));
        QVERIFY(ids.contains(text("no-entries-found")));
        QVERIFY(ids.contains(text("domain-name")));
        QVERIFY(ids.contains(text("status-free")));
        QVERIFY(!ids.contains(text("status"))); // a free status is no registration data
        QVERIFY(std::is_sorted(rules.begin(), rules.end()));
        QVERIFY(judge.matchingRules(QString(), text("fr")).isEmpty());
    }

    // Whatever arrives is judged without a crash and in time that grows with its length.
    void hostileAnswers_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("name");
        QTest::addColumn<LookupVerdict>("verdict");

        QByteArray binary(1 << 20, Qt::Uninitialized);
        QRandomGenerator random(20240611);
        for (char &byte : binary)
            byte = char(random.bounded(256));
        QTest::newRow("binary") << core::decodeText(binary) << QString() << LookupVerdict::Unknown;

        const QString registered = text("Domain Name: example.com\nRegistrar: Ex Inc.\n");
        QTest::newRow("16 MiB after registration data")
            << registered + repeated(text("xxxxxxx\n"), kSixteenMiB / 8) << text("example.com")
            << LookupVerdict::Registered;
        QTest::newRow("16 MiB of not-found lines")
            << repeated(text("No match for x\n"), kSixteenMiB / 15) << QString() << LookupVerdict::Available;
        QTest::newRow("16 MiB of status lines")
            << repeated(text("Status: active\n"), kSixteenMiB / 15) << QString() << LookupVerdict::Registered;
        // An empty form, however long, is no registration data.
        QTest::newRow("16 MiB of empty-valued fields")
            << repeated(text("Registrar:\n"), kSixteenMiB / 11) << QString() << LookupVerdict::Unknown;
        QTest::newRow("16 MiB of line ends")
            << repeated(text("\r\n"), kSixteenMiB / 2) << QString() << LookupVerdict::Unknown;
        QTest::newRow("one 16 MiB line, then not found")
            << repeated(text("a"), kSixteenMiB) + text("\nDomain not found.\n") << QString()
            << LookupVerdict::Available;
        QTest::newRow("phrase past a line's first 4096 characters")
            << repeated(text(" "), 5000) + text("No match for x\n") << QString() << LookupVerdict::Unknown;
        QTest::newRow("NUL bytes") << withNuls("No match\0 for x\n\0\0") << QString()
                                   << LookupVerdict::Available;
        QTest::newRow("NUL in a field name")
            << withNuls("Registrar\0: Ex\n") << QString() << LookupVerdict::Unknown;
        QTest::newRow("NUL in the name") << withNuls("Domain Name: exa\0mple.com\nRegistrar: X\n")
                                         << text("example.com") << LookupVerdict::Unknown;
        QTest::newRow("Domain Name of another name")
            << text("Domain Name: GOOGLE.COM\nRegistrar: MarkMonitor Inc.\nName Server: NS1.GOOGLE.COM\n")
            << text("example.com") << LookupVerdict::Unknown;
        QTest::newRow("legal text with available")
            << repeated(text("The information is available to you for lawful purposes; AVAILABLE.\n"), 10000)
            << text("example.com") << LookupVerdict::Unknown;
    }
    void hostileAnswers()
    {
        QFETCH(QString, answer);
        QFETCH(QString, name);
        QFETCH(LookupVerdict, verdict);
        const EvidenceJudge judge;
        QCOMPARE(judge.judge(answer, text("com"), name).verdict, verdict);
        QVERIFY(judge.matchingRules(answer, text("com")).size() <= judge.table().size());
    }
};

QTEST_GUILESS_MAIN(TestEvidence)
#include "tst_evidence.moc"
