// wendlecott-cli with RDAP: the bootstrap refresh, lookups with their evidence as JSON, and
// check runs that keep and recheck the unanswered names.
#include "CliRunner.h"
#include "FakeHttpServer.h"
#include "FakeWhoisServer.h"
#include "TestFolder.h"
#include "app/cli/Cli.h"
#include "core/base/TextFile.h"

#include <QBuffer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace wendlecott;
using Mode = testing::FakeHttpServer::Mode;

namespace {

using Run = testing::CliRun;

QByteArray shippedBootstrap()
{
    QFile file(QStringLiteral(WENDLECOTT_TESTDATA "/../../data/rdap-dns-bootstrap.json"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("the shipped bootstrap is missing");
    return file.readAll();
}

// A program folder whose bootstrap sends com and net to the HTTP server and whose whois rows
// send com and de to the whois server.
void pointAt(const testing::TestFolder &folder, const testing::FakeHttpServer &http, quint16 whoisPort)
{
    folder.write(QStringLiteral("rdap-dns-bootstrap.json"),
                 QStringLiteral(
                     "{\"publication\":\"2026-02-02T00:00:00Z\",\"services\":[[[\"com\",\"net\"],[\"%1\"]]]}")
                     .arg(http.url(QStringLiteral("/rdap/")))
                     .toUtf8());
    folder.write(
        QStringLiteral("TLDs.txt"),
        QStringLiteral("com|127.0.0.1|%1|Enabled|0|No match\r\nde|127.0.0.1|%1|Enabled|0|No match\r\n")
            .arg(whoisPort)
            .toUtf8());
}

QJsonObject json(const QString &line)
{
    return QJsonDocument::fromJson(line.toUtf8()).object();
}

} // namespace

class TestCliRdap : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void updateInstallsAGoodFileAndNothingElse()
    {
        testing::TestFolder folder;
        testing::FakeHttpServer server;
        QVERIFY(server.start());
        const QByteArray good = shippedBootstrap();
        server.answer(QStringLiteral("/dns.json"), 200, good, "application/json");
        server.answer(QStringLiteral("/truncated.json"), 200, good.left(good.size() - 100),
                      "application/json");
        server.answer(QStringLiteral("/error.html"), 200, "<html><body>Service unavailable</body></html>");
        server.answer(QStringLiteral("/missing.json"), 404, "not here");
        const QString installed = folder.file(QStringLiteral("rdap-dns-bootstrap.json"));

        Run run = runCli(folder, {QStringLiteral("rdap"), QStringLiteral("update"),
                                  server.url(QStringLiteral("/dns.json"))});
        QCOMPARE(run.status, cli::kExitOk);
        QCOMPARE(run.out, QStringLiteral("updated\t%1\t2026-01-30T00:00:01Z\t596 services\t1195 extensions\n")
                              .arg(installed));
        QCOMPARE(folder.read(QStringLiteral("rdap-dns-bootstrap.json")), good);
        run = runCli(folder, {QStringLiteral("rdap"), QStringLiteral("info")});
        QVERIFY2(run.out.startsWith(installed + QStringLiteral("\t2026-01-30T00:00:01Z\t")),
                 qPrintable(run.out));

        // Bad downloads say why and leave the installed file as it was.
        for (const char *bad : {"/truncated.json", "/error.html", "/missing.json"}) {
            run = runCli(folder, {QStringLiteral("rdap"), QStringLiteral("update"),
                                  server.url(QString::fromLatin1(bad))});
            QCOMPARE(run.status, cli::kExitFailure);
            QVERIFY2(run.err.contains(QStringLiteral("is unchanged")), qPrintable(run.err));
            QCOMPARE(folder.read(QStringLiteral("rdap-dns-bootstrap.json")), good);
        }
        QVERIFY(runCli(folder, {QStringLiteral("rdap"), QStringLiteral("update"),
                                server.url(QStringLiteral("/error.html"))})
                    .err.contains(QStringLiteral("not an RDAP bootstrap file")));
        QVERIFY(runCli(folder, {QStringLiteral("rdap"), QStringLiteral("update"),
                                server.url(QStringLiteral("/missing.json"))})
                    .err.contains(QStringLiteral("answered HTTP 404")));
        QCOMPARE(runCli(folder,
                        {QStringLiteral("rdap"), QStringLiteral("update"), QStringLiteral("ftp://x.test/")})
                     .status,
                 cli::kExitUsage);
    }

    void updateIntoAnUnwritableFolderChangesNothing()
    {
        testing::TestFolder folder;
        testing::FakeHttpServer server;
        QVERIFY(server.start());
        server.answer(QStringLiteral("/dns.json"), 200, shippedBootstrap(), "application/json");
        folder.write(QStringLiteral("rdap-dns-bootstrap.json"), "old copy");
        const QFileDevice::Permissions before = QFile::permissions(folder.path());
        QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner);
        const auto restore = qScopeGuard([&] { QFile::setPermissions(folder.path(), before); });
        // An account that writes into read-only folders all the same (root) gets a full disk instead.
        QFile probe(folder.file(QStringLiteral("probe")));
        const bool writable = probe.open(QIODevice::WriteOnly);
        probe.remove();
        std::optional<core::WriteFaultScope> full;
        if (writable)
            full.emplace(0);

        const Run run = runCli(folder, {QStringLiteral("rdap"), QStringLiteral("update"),
                                        server.url(QStringLiteral("/dns.json"))});
        QCOMPARE(run.status, cli::kExitFailure);
        QVERIFY2(run.err.contains(QStringLiteral("is unchanged")), qPrintable(run.err));
        full.reset();
        QFile::setPermissions(folder.path(), before);
        QCOMPARE(folder.read(QStringLiteral("rdap-dns-bootstrap.json")), QByteArray("old copy"));
    }

    void lookupPrintsItsEvidence()
    {
        testing::TestFolder folder;
        testing::FakeHttpServer http;
        testing::FakeWhoisServer whois;
        QVERIFY(http.start() && whois.start());
        pointAt(folder, http, whois.port());
        http.route(QStringLiteral("/rdap/domain/free.com"), {Mode::Answer, 404, {}, {}});
        whois.answer(QStringLiteral("frei.de"), "Domain: frei.de\r\nStatus: free\r\n");

        Run run =
            runCli(folder, {QStringLiteral("lookup"), QStringLiteral("free.com"),
                            QStringLiteral("--protocol"), QStringLiteral("rdap"), QStringLiteral("--json")});
        QCOMPARE(run.status, cli::kExitOk);
        QJsonObject object = json(run.out.trimmed());
        QCOMPARE(object.value(QStringLiteral("verdict")).toString(), QStringLiteral("Available"));
        QCOMPARE(object.value(QStringLiteral("protocol")).toString(), QStringLiteral("rdap"));
        QCOMPARE(object.value(QStringLiteral("status")).toInt(), 404);
        QCOMPARE(object.value(QStringLiteral("rule")).toString(), QStringLiteral("http-404"));
        QCOMPARE(object.value(QStringLiteral("url")).toString(),
                 http.url(QStringLiteral("/rdap/domain/free.com")));
        QVERIFY(object.contains(QStringLiteral("ms")));

        // Text line: verdict, name, the address asked, the rule.
        run = runCli(folder, {QStringLiteral("lookup"), QStringLiteral("free.com"),
                              QStringLiteral("--protocol=auto")});
        QCOMPARE(run.out, QStringLiteral("Available\tfree.com\t%1\thttp-404\n")
                              .arg(http.url(QStringLiteral("/rdap/domain/free.com"))));

        // Auto asks whois where the bootstrap has no service; the evidence rules judge.
        run =
            runCli(folder, {QStringLiteral("lookup"), QStringLiteral("frei.de"), QStringLiteral("--protocol"),
                            QStringLiteral("auto"), QStringLiteral("--json"), QStringLiteral("--raw")});
        object = json(run.out.trimmed());
        QCOMPARE(object.value(QStringLiteral("protocol")).toString(), QStringLiteral("whois"));
        QCOMPARE(object.value(QStringLiteral("rules")).toString(), QStringLiteral("evidence"));
        QCOMPARE(object.value(QStringLiteral("verdict")).toString(), QStringLiteral("Available"));
        QCOMPARE(object.value(QStringLiteral("answer")).toString(),
                 QStringLiteral("Domain: frei.de\r\nStatus: free\r\n"));
        QCOMPARE(object.value(QStringLiteral("port")).toInt(), int(whois.port()));

        // RDAP only: an extension without a service is refused.
        run = runCli(folder, {QStringLiteral("lookup"), QStringLiteral("frei.de"),
                              QStringLiteral("--protocol"), QStringLiteral("rdap")});
        QCOMPARE(run.status, cli::kExitFailure);
        QVERIFY2(run.err.contains(QStringLiteral("no RDAP service for frei.de")), qPrintable(run.err));
        QCOMPARE(runCli(folder, {QStringLiteral("lookup"), QStringLiteral("a.com"),
                                 QStringLiteral("--protocol"), QStringLiteral("gopher")})
                     .status,
                 cli::kExitUsage);
    }

    void checkKeepsUnansweredNamesAndChecksThemAgain()
    {
        testing::TestFolder folder;
        testing::FakeHttpServer http;
        testing::FakeWhoisServer whois;
        QVERIFY(http.start() && whois.start());
        pointAt(folder, http, whois.port());
        http.route(QStringLiteral("/rdap/domain/free.com"), {Mode::Answer, 404, {}, {}});
        http.route(QStringLiteral("/rdap/domain/busy.com"), {Mode::Answer, 429, {{"Retry-After", "60"}}, {}});
        http.answer(QStringLiteral("/rdap/domain/broken.com"), 500, "oops");
        http.answer(QStringLiteral("/rdap/domain/taken.com"), 200,
                    "{\"objectClassName\":\"domain\",\"ldhName\":\"TAKEN.COM\"}", "application/rdap+json");
        folder.write(QStringLiteral("list.txt"), "free\r\nbusy\r\ntaken\r\nbroken\r\n");

        Run run = runCli(folder, {QStringLiteral("check"), folder.file(QStringLiteral("list.txt")),
                                  QStringLiteral("--protocol"), QStringLiteral("rdap")});
        QCOMPARE(run.status, cli::kExitOk);
        QCOMPARE(run.out, QStringLiteral("available\tfree.com\tHigh\n"
                                         "blocked\tbusy.com\t127.0.0.1\n"
                                         "registered\ttaken.com\n"
                                         "unknown\tbroken.com\t127.0.0.1\n"));
        QVERIFY2(
            run.err.contains(QStringLiteral("1 available, 1 registered, 1 blocked, 0 timed out, 1 unknown")),
            qPrintable(run.err));
        QCOMPARE(folder.read(QStringLiteral("Unanswered.txt")), QByteArray("busy.com\r\nbroken.com\r\n"));

        // The second run over them, as JSON: both answer now, and leave the file.
        http.route(QStringLiteral("/rdap/domain/busy.com"), {Mode::Answer, 404, {}, {}});
        http.answer(QStringLiteral("/rdap/domain/broken.com"), 200,
                    "{\"objectClassName\":\"domain\",\"ldhName\":\"broken.com\"}", "application/rdap+json");
        run =
            runCli(folder, {QStringLiteral("check"), QStringLiteral("--unanswered"), QStringLiteral("--json"),
                            QStringLiteral("--protocol"), QStringLiteral("rdap")});
        QCOMPARE(run.status, cli::kExitOk);
        const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(json(lines.at(0)).value(QStringLiteral("result")).toString(), QStringLiteral("available"));
        QCOMPARE(json(lines.at(0)).value(QStringLiteral("name")).toString(), QStringLiteral("busy.com"));
        QCOMPARE(json(lines.at(0)).value(QStringLiteral("class")).toString(), QStringLiteral("High"));
        QCOMPARE(json(lines.at(1)).value(QStringLiteral("result")).toString(), QStringLiteral("registered"));
        QCOMPARE(json(lines.at(1)).value(QStringLiteral("status")).toInt(), 200);
        QCOMPARE(folder.read(QStringLiteral("Unanswered.txt")), QByteArray());
        QCOMPARE(
            runCli(folder, {QStringLiteral("check"), QStringLiteral("--unanswered"), QStringLiteral("x.txt")})
                .status,
            cli::kExitUsage);
    }

    void checkKeepsTheDescribedLinesWithoutRdap()
    {
        testing::TestFolder folder;
        testing::FakeHttpServer http;
        testing::FakeWhoisServer whois;
        QVERIFY(http.start() && whois.start());
        pointAt(folder, http, whois.port());
        whois.answer(QStringLiteral("empty.com"), "");
        folder.write(QStringLiteral("list.txt"), "empty\r\n");
        // The success words ask no RDAP server; a server that sends not a byte has not
        // answered, so the name is unknown and kept, not filed as registered.
        const Run run = runCli(folder, {QStringLiteral("check"), folder.file(QStringLiteral("list.txt"))});
        QCOMPARE(run.out, QStringLiteral("unknown\tempty.com\t127.0.0.1\n"));
        QVERIFY(http.requests().isEmpty());
        QCOMPARE(folder.read(QStringLiteral("Unanswered.txt")), QByteArray("empty.com\r\n"));
        // The evidence rules call it unknown and keep it.
        const Run judged = runCli(folder, {QStringLiteral("check"), folder.file(QStringLiteral("list.txt")),
                                           QStringLiteral("--protocol"), QStringLiteral("whois"),
                                           QStringLiteral("--rules"), QStringLiteral("evidence")});
        QCOMPARE(judged.out, QStringLiteral("unknown\tempty.com\t127.0.0.1\n"));
        QCOMPARE(folder.read(QStringLiteral("Unanswered.txt")), QByteArray("empty.com\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestCliRdap)
#include "tst_cli_rdap.moc"
