// check and lookup with DNS first against Knot on loopback (the knot fixture), the names
// DNS does not settle answered by a loopback whois server: what is printed, what is asked
// of whois, the summary, the wildcard notice and the options' usage errors.
#include "CliRunner.h"
#include "FakeWhoisServer.h"
#include "KnotServer.h"
#include "TestFolder.h"
#include "app/cli/Cli.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace wendlecott;

namespace {

using Run = testing::CliRun;

quint16 knotPort()
{
    return testing::KnotServer::runningPort(qEnvironmentVariable("WENDLECOTT_KNOT_DIR"));
}

QStringList dnsOptions()
{
    return {QStringLiteral("--dns-first"), QStringLiteral("--dns-server"),
            QStringLiteral("127.0.0.1:%1").arg(knotPort()), QStringLiteral("--dns-rate"),
            QStringLiteral("0")};
}

// The test zones' extensions, each at the whois server, without pause.
void pointRowsAt(const testing::TestFolder &folder, quint16 port)
{
    QString rows;
    for (const char *extension : {"dlg", "wild"})
        rows +=
            QStringLiteral("%1|127.0.0.1|%2|Enabled|0|No match\r\n").arg(QLatin1String(extension)).arg(port);
    folder.write(QStringLiteral("TLDs.txt"), rows.toUtf8());
}

QJsonObject jsonOf(const QString &line)
{
    return QJsonDocument::fromJson(line.toUtf8()).object();
}

} // namespace

class TestCliDnsFirst : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY2(knotPort() != 0, "Knot is not running: the knot_start fixture failed"); }

    void checkSettlesDelegatedNamesWithoutWhois()
    {
        testing::TestFolder folder;
        testing::FakeWhoisServer whois;
        QVERIFY(whois.start());
        whois.setDefault({testing::FakeWhoisServer::Mode::AnswerAndClose, "No match\r\n"});
        pointRowsAt(folder, whois.port());
        folder.write(QStringLiteral("list.txt"), "taken.dlg\r\nfree.dlg\r\nglued.dlg\r\n");

        const Run run =
            runCli(folder, QStringList{QStringLiteral("check"), folder.file(QStringLiteral("list.txt"))} +
                               dnsOptions());
        QCOMPARE(run.status, cli::kExitOk);
        QStringList lines = run.lines();
        lines.sort();
        QCOMPARE(lines, (QStringList{QStringLiteral("available\tfree.dlg\tHigh"),
                                     QStringLiteral("registered\tglued.dlg"),
                                     QStringLiteral("registered\ttaken.dlg")}));
        QCOMPARE(whois.requests(), QList<QByteArray>{"free.dlg"});
        QVERIFY2(run.err.contains(QStringLiteral("1 available, 2 registered (2 settled by DNS), 0 blocked")),
                 qPrintable(run.err));
    }

    void checkJsonCarriesTheDnsEvidence()
    {
        testing::TestFolder folder;
        testing::FakeWhoisServer whois;
        QVERIFY(whois.start());
        pointRowsAt(folder, whois.port());
        const Run run =
            runCli(folder, QStringList{QStringLiteral("check"), QStringLiteral("--json")} + dnsOptions(),
                   QByteArray("taken.dlg\n"));
        QCOMPARE(run.status, cli::kExitOk);
        QCOMPARE(run.lines().size(), 1);
        const QJsonObject object = jsonOf(run.lines().first());
        QCOMPARE(object.value(QStringLiteral("result")).toString(), QStringLiteral("registered"));
        QCOMPARE(object.value(QStringLiteral("protocol")).toString(), QStringLiteral("dns"));
        QCOMPARE(object.value(QStringLiteral("server")).toString(), QStringLiteral("127.0.0.1"));
        QCOMPARE(object.value(QStringLiteral("port")).toInt(), int(knotPort()));
        QCOMPARE(object.value(QStringLiteral("nameServers")).toArray(),
                 QJsonArray({QStringLiteral("ns1.example.net"), QStringLiteral("ns2.example.net")}));
        QVERIFY(QDateTime::fromString(object.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs)
                    .isValid());
        QVERIFY(whois.requests().isEmpty());
    }

    void aWildcardExtensionIsToldOnceOnStandardError()
    {
        testing::TestFolder folder;
        testing::FakeWhoisServer whois;
        QVERIFY(whois.start());
        whois.setDefault({testing::FakeWhoisServer::Mode::AnswerAndClose, "No match\r\n"});
        pointRowsAt(folder, whois.port());
        const Run run = runCli(folder, QStringList{QStringLiteral("check")} + dnsOptions(),
                               QByteArray("one.wild\ntwo.wild\n"));
        QCOMPARE(run.status, cli::kExitOk);
        QCOMPARE(run.err.count(QStringLiteral(".wild")), 1);
        QCOMPARE(whois.requests().size(), 2);
        QVERIFY(run.err.contains(QStringLiteral("(0 settled by DNS)")));
    }

    void lookupWithDnsFirst_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("protocol");
        QTest::addColumn<int>("whoisQueries");
        QTest::newRow("delegated") << "taken.dlg"
                                   << "dns" << 0;
        QTest::newRow("not delegated") << "free.dlg"
                                       << "whois" << 1;
    }
    void lookupWithDnsFirst()
    {
        QFETCH(QString, name);
        QFETCH(int, whoisQueries);
        testing::TestFolder folder;
        testing::FakeWhoisServer whois;
        QVERIFY(whois.start());
        whois.setDefault({testing::FakeWhoisServer::Mode::AnswerAndClose, "No match\r\n"});
        pointRowsAt(folder, whois.port());
        const Run run = runCli(folder, QStringList{QStringLiteral("lookup"), name, QStringLiteral("--json")} +
                                           dnsOptions());
        QCOMPARE(run.status, cli::kExitOk);
        const QJsonObject object = jsonOf(run.lines().value(0));
        QTEST(object.value(QStringLiteral("protocol")).toString(), "protocol");
        QCOMPARE(int(whois.requests().size()), whoisQueries);
        if (whoisQueries > 0) // what DNS said before the registry was asked
            QCOMPARE(
                object.value(QStringLiteral("dns")).toObject().value(QStringLiteral("outcome")).toString(),
                QStringLiteral("not-delegated"));

        const Run text = runCli(folder, QStringList{QStringLiteral("lookup"), name} + dnsOptions());
        QCOMPARE(text.status, cli::kExitOk);
        QVERIFY(text.out.startsWith(whoisQueries > 0 ? QStringLiteral("Available\t")
                                                     : QStringLiteral("Registered\t")));
    }

    void dnsOptionUsageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("server without value")
            << QStringList{QStringLiteral("check"), QStringLiteral("--dns-server")};
        QTest::newRow("server with a bad port") << QStringList{
            QStringLiteral("check"), QStringLiteral("--dns-server"), QStringLiteral("127.0.0.1:99999")};
        QTest::newRow("negative rate")
            << QStringList{QStringLiteral("check"), QStringLiteral("--dns-rate=-1")};
        QTest::newRow("rate not a number")
            << QStringList{QStringLiteral("lookup"), QStringLiteral("a.com"), QStringLiteral("--dns-rate"),
                           QStringLiteral("fast")};
    }
    void dnsOptionUsageErrors()
    {
        QFETCH(QStringList, args);
        testing::TestFolder folder;
        QCOMPARE(runCli(folder, args).status, cli::kExitUsage);
    }
};

QTEST_GUILESS_MAIN(TestCliDnsFirst)
#include "tst_cli_dnsfirst.moc"
