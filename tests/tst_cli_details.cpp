// Registration details on the command line: judge --evidence --json and lookup --json carry
// them as "details", over whois and RDAP answers from loopback servers.
#include "FakeHttpServer.h"
#include "FakeWhoisServer.h"
#include "TestFolder.h"
#include "app/cli/Cli.h"

#include <QBuffer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace wendlecott;

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

Run runCli(const testing::TestFolder &folder, const QStringList &args, QByteArray input = {})
{
    Run run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    QBuffer device(&input);
    device.open(QIODevice::ReadOnly);
    QTextStream in(&device);
    run.status = cli::runCli(QStringList{QStringLiteral("--program-folder"), folder.path()} + args,
                             folder.path(), cli::CliIo{out, err, &in});
    return run;
}

QByteArray testData(const QString &relative)
{
    QFile file(QStringLiteral(WENDLECOTT_TESTDATA "/") + relative);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("test data missing");
    return file.readAll();
}

QJsonObject json(const QString &line)
{
    return QJsonDocument::fromJson(line.toUtf8()).object();
}

} // namespace

class TestCliDetails : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void judgeJsonCarriesTheDetailsOfARegistration()
    {
        testing::TestFolder folder;
        Run run = runCli(folder,
                         {QStringLiteral("judge"), QStringLiteral("--evidence"), QStringLiteral("--tld"),
                          QStringLiteral("com"), QStringLiteral("--name"), QStringLiteral("google.com"),
                          QStringLiteral("--json")},
                         testData(QStringLiteral("whois/whois.verisign-grs.com/com/registered.txt")));
        QCOMPARE(run.status, cli::kExitOk);
        QJsonObject object = json(run.out.trimmed());
        QCOMPARE(object.value(QLatin1String("verdict")).toString(), QStringLiteral("Registered"));
        const QJsonObject details = object.value(QLatin1String("details")).toObject();
        QCOMPARE(details.value(QLatin1String("expires")).toString(), QStringLiteral("2020-09-14T04:00:00Z"));
        QCOMPARE(details.value(QLatin1String("created")).toString(), QStringLiteral("1997-09-15T04:00:00Z"));
        QCOMPARE(details.value(QLatin1String("registrar")).toString(), QStringLiteral("MarkMonitor Inc."));
        QCOMPARE(details.value(QLatin1String("nameservers")).toArray().size(), 4);
        QVERIFY(!details.value(QLatin1String("statuses")).toArray().isEmpty());

        // An answer without a registration has no details, not even empty keys.
        run = runCli(folder,
                     {QStringLiteral("judge"), QStringLiteral("--evidence"), QStringLiteral("--tld"),
                      QStringLiteral("com"), QStringLiteral("--json")},
                     testData(QStringLiteral("whois/whois.verisign-grs.com/com/available.txt")));
        object = json(run.out.trimmed());
        QCOMPARE(object.value(QLatin1String("verdict")).toString(), QStringLiteral("Available"));
        QCOMPARE(object.value(QLatin1String("details")).toObject(), QJsonObject());

        QCOMPARE(runCli(folder, {QStringLiteral("judge"), QStringLiteral("--success-words"),
                                 QStringLiteral("x"), QStringLiteral("--json")})
                     .status,
                 cli::kExitUsage);
    }

    void lookupJsonCarriesTheDetailsOverWhoisAndRdap()
    {
        testing::TestFolder folder;
        testing::FakeHttpServer http;
        testing::FakeWhoisServer whois;
        QVERIFY(http.start() && whois.start());
        folder.write(
            QStringLiteral("rdap-dns-bootstrap.json"),
            QStringLiteral("{\"publication\":\"2026-02-02T00:00:00Z\",\"services\":[[[\"com\"],[\"%1\"]]]}")
                .arg(http.url(QStringLiteral("/rdap/")))
                .toUtf8());
        folder.write(QStringLiteral("TLDs.txt"),
                     QStringLiteral("com|127.0.0.1|%1|Enabled|0|No match\r\n").arg(whois.port()).toUtf8());
        whois.answer(QStringLiteral("google.com"),
                     testData(QStringLiteral("whois/whois.verisign-grs.com/com/registered.txt")));
        http.answer(QStringLiteral("/rdap/domain/google.com"), 200,
                    testData(QStringLiteral("rdap/rdap.verisign.com/registered-3.json")),
                    "application/rdap+json");

        Run run = runCli(folder,
                         {QStringLiteral("lookup"), QStringLiteral("google.com"), QStringLiteral("--json")});
        QCOMPARE(run.status, cli::kExitOk);
        QJsonObject details = json(run.out.trimmed()).value(QLatin1String("details")).toObject();
        QCOMPARE(details.value(QLatin1String("expires")).toString(), QStringLiteral("2020-09-14T04:00:00Z"));

        run =
            runCli(folder, {QStringLiteral("lookup"), QStringLiteral("google.com"),
                            QStringLiteral("--protocol"), QStringLiteral("rdap"), QStringLiteral("--json")});
        QCOMPARE(run.status, cli::kExitOk);
        details = json(run.out.trimmed()).value(QLatin1String("details")).toObject();
        QCOMPARE(details.value(QLatin1String("expires")).toString(), QStringLiteral("2028-09-14T04:00:00Z"));
        QCOMPARE(details.value(QLatin1String("updated")).toString(), QStringLiteral("2019-09-09T15:39:04Z"));
    }
};

QTEST_GUILESS_MAIN(TestCliDetails)
#include "tst_cli_details.moc"
