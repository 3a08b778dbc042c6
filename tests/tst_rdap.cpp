#include "core/base/Timing.h"
#include "core/lookup/HttpClient.h"
#include "core/lookup/RdapBootstrap.h"
#include "core/lookup/RdapQuery.h"

#include <QFile>
#include <QtTest>

using namespace wendlecott;
using core::LookupVerdict;

Q_DECLARE_METATYPE(core::LookupVerdict)
Q_DECLARE_METATYPE(core::HttpEnding)

namespace {

QByteArray bootstrapJson(const QByteArray &services)
{
    return "{\"version\":\"1.0\",\"publication\":\"2026-02-01T00:00:00Z\",\"services\":" + services + "}";
}

core::RdapBootstrap parsed(const QByteArray &services)
{
    core::Result<core::RdapBootstrap> bootstrap = core::RdapBootstrap::parse(bootstrapJson(services));
    if (!bootstrap)
        qFatal("%s", qPrintable(bootstrap.message()));
    return std::move(bootstrap).value();
}

core::HttpResponse answer(int status, const QByteArray &body)
{
    core::HttpResponse response;
    response.ending = core::HttpEnding::Finished;
    response.status = status;
    response.body = body;
    return response;
}

QByteArray readData(const QString &relative)
{
    QFile file(QStringLiteral(WENDLECOTT_TESTDATA "/") + relative);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing test data %s", qPrintable(relative));
    return file.readAll();
}

} // namespace

class TestRdap : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void builtInCopyIsIanasFileOfItsDate()
    {
        const core::RdapBootstrap &bootstrap = core::RdapBootstrap::builtIn();
        QCOMPARE(bootstrap.publication(), QStringLiteral("2026-01-30T00:00:01Z"));
        QCOMPARE(bootstrap.serviceCount(), 596);
        QCOMPARE(bootstrap.extensionCount(), 1195);
        QCOMPARE(bootstrap.source(), QStringLiteral("built-in"));
        // Escaped slashes are read as slashes; the address ends with "/".
        QCOMPARE(bootstrap.baseUrlFor(QStringLiteral("example.com"))->toString(),
                 QStringLiteral("https://rdap.verisign.com/com/v1/"));
        QCOMPARE(bootstrap.baseUrlFor(QStringLiteral("Example.COM."))->host(),
                 QStringLiteral("rdap.verisign.com"));
        // Some extensions have no RDAP service at all; some only a plain-http one.
        QVERIFY(!bootstrap.baseUrlFor(QStringLiteral("example.de")));
        QVERIFY(!bootstrap.baseUrlFor(QStringLiteral("example.io")));
        QCOMPARE(bootstrap.baseUrlFor(QStringLiteral("example.kg"))->scheme(), QStringLiteral("http"));
    }

    void longestMatchingExtensionWinsAndNamesAreComparedInIdnaForm()
    {
        const core::RdapBootstrap bootstrap =
            parsed("[[[\"uk\"],[\"https://uk.test/rdap\"]],"
                   "[[\"co.uk\",\"org.uk\"],[\"http://plain.test/\",\"https://co.test/v1/\"]],"
                   "[[\"xn--p1ai\"],[\"https://rf.test/\"]]]");
        QCOMPARE(bootstrap.extensionFor(QStringLiteral("shop.co.uk")), QStringLiteral("co.uk"));
        QCOMPARE(bootstrap.extensionFor(QStringLiteral("a.b.co.uk")), QStringLiteral("co.uk"));
        QCOMPARE(bootstrap.extensionFor(QStringLiteral("shop.me.uk")), QStringLiteral("uk"));
        // https preferred over an http address listed first; a missing "/" is added.
        QCOMPARE(bootstrap.baseUrlFor(QStringLiteral("shop.org.uk"))->toString(),
                 QStringLiteral("https://co.test/v1/"));
        QCOMPARE(bootstrap.baseUrlFor(QStringLiteral("x.uk"))->toString(),
                 QStringLiteral("https://uk.test/rdap/"));
        // A Unicode extension finds its IDNA entry; the bare extension is no name.
        QCOMPARE(bootstrap.extensionFor(QStringLiteral("пример.рф")), QStringLiteral("xn--p1ai"));
        QVERIFY(bootstrap.extensionFor(QStringLiteral("uk")).isEmpty());
        QVERIFY(bootstrap.extensionFor(QString()).isEmpty());
    }

    // A label that two services list is served by the first, whatever its spelling there.
    void labelListedTwiceKeepsItsFirstService()
    {
        const core::RdapBootstrap bootstrap = parsed("[[[\"com\",\"net\"],[\"https://first.test/\"]],"
                                                     "[[\"COM\",\"org\"],[\"https://second.test/\"]],"
                                                     "[[\"com.\"],[\"https://third.test/\"]]]");
        QCOMPARE(bootstrap.serviceCount(), 3);
        QCOMPARE(bootstrap.extensionCount(), 3);
        QCOMPARE(bootstrap.baseUrlFor(QStringLiteral("a.com"))->host(), QStringLiteral("first.test"));
        QCOMPARE(bootstrap.baseUrlFor(QStringLiteral("a.org"))->host(), QStringLiteral("second.test"));
    }

    void filesThatAreNoBootstrapAreRefusedWithAReason_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = readData(QStringLiteral("../../data/rdap-dns-bootstrap.json"));
        QTest::newRow("truncated") << good.left(good.size() / 2);
        QTest::newRow("html error page")
            << QByteArray("<!DOCTYPE html><html><body><h1>503 Service Unavailable</h1></body></html>");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("array") << QByteArray("[1,2]");
        QTest::newRow("no services") << QByteArray("{\"version\":\"1.0\",\"services\":[]}");
        QTest::newRow("service without addresses") << bootstrapJson("[[[\"com\"],[]]]");
        QTest::newRow("ftp address only") << bootstrapJson("[[[\"com\"],[\"ftp://x.test/\"]]]");
        QTest::newRow("service without labels") << bootstrapJson("[[[],[\"https://x.test/\"]]]");
        QTest::newRow("not a pair") << bootstrapJson("[[\"com\"]]");
    }
    void filesThatAreNoBootstrapAreRefusedWithAReason()
    {
        QFETCH(QByteArray, bytes);
        const core::Result<core::RdapBootstrap> bootstrap = core::RdapBootstrap::parse(bytes);
        QVERIFY(!bootstrap);
        QCOMPARE(bootstrap.code(), core::ErrorCode::InvalidInput);
        QVERIFY(bootstrap.message().startsWith(QStringLiteral("not an RDAP bootstrap file: ")));
    }

    void domainAddressIsTheBasePlusTheIdnaName()
    {
        QCOMPARE(core::rdapDomainUrl(QUrl(QStringLiteral("https://r.test/v1/")), QStringLiteral("Bücher.DE"))
                     .toString(),
                 QStringLiteral("https://r.test/v1/domain/xn--bcher-kva.de"));
        QCOMPARE(core::rdapDomainUrl(QUrl(QStringLiteral("https://r.test/v1")), QStringLiteral("a.com."))
                     .toString(),
                 QStringLiteral("https://r.test/v1/domain/a.com"));
        QVERIFY(core::rdapDomainUrl(QUrl(QStringLiteral("https://r.test/")), QString()).isEmpty());

        const core::HttpRequest request = core::rdapRequest(
            QUrl(QStringLiteral("https://r.test/domain/a.com")), core::Timing().rdapTimeoutMs);
        QCOMPARE(request.headers.size(), 1);
        QCOMPARE(request.headers.first().first, QByteArray("Accept"));
        QCOMPARE(request.headers.first().second, QByteArray("application/rdap+json, application/json"));
        QCOMPARE(request.maxRedirects, 5);
        QCOMPARE(request.maxBytes, qint64(1) << 20);
        QCOMPARE(request.totalTimeoutMs, qint64(30000));
    }

    void retryAfterReadsSecondsAndDates()
    {
        const QDateTime now(QDate(2026, 3, 1), QTime(12, 0, 0), QTimeZone::utc());
        QCOMPARE(core::retryAfterSeconds("120", now), std::optional<qint64>(120));
        QCOMPARE(core::retryAfterSeconds(" 0 ", now), std::optional<qint64>(0));
        QCOMPARE(core::retryAfterSeconds("Sun, 01 Mar 2026 12:01:30 GMT", now), std::optional<qint64>(90));
        QCOMPARE(core::retryAfterSeconds("Sun, 01 Mar 2026 11:00:00 GMT", now), std::optional<qint64>(0));
        QVERIFY(!core::retryAfterSeconds("-5", now));
        QVERIFY(!core::retryAfterSeconds("soon", now));
        QVERIFY(!core::retryAfterSeconds("", now));
    }

    void everyRealAnswerIsRegisteredForItsOwnName()
    {
        const QList<QByteArray> manifest = readData(QStringLiteral("rdap/MANIFEST.tsv")).split('\n');
        int judged = 0;
        for (const QByteArray &line : manifest.mid(1)) {
            const QList<QByteArray> fields = line.split('\t');
            if (fields.size() < 8)
                continue;
            const QString name = QString::fromUtf8(fields.at(7));
            const core::Judgement judgement = core::judgeRdapAnswer(
                answer(200, readData(QStringLiteral("rdap/") + QString::fromUtf8(fields.at(0)))), name);
            QVERIFY2(judgement.verdict == LookupVerdict::Registered, fields.at(0).constData());
            QCOMPARE(judgement.rule, QStringLiteral("domain-object"));
            // The same answer asked about another name proves nothing about that name.
            QCOMPARE(core::judgeRdapAnswer(
                         answer(200, readData(QStringLiteral("rdap/") + QString::fromUtf8(fields.at(0)))),
                         QStringLiteral("other-") + name)
                         .verdict,
                     LookupVerdict::Unknown);
            ++judged;
        }
        QCOMPARE(judged, 18);
    }

    void verdictsOfAnswersThatAreNoDomainObject_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<LookupVerdict>("verdict");
        QTest::addColumn<QString>("rule");
        const QByteArray errorObject =
            "{\"errorCode\":404,\"title\":\"Not Found\",\"description\":[\"no such domain\"]}";
        QTest::newRow("404 empty") << 404 << QByteArray() << LookupVerdict::Available << "http-404";
        QTest::newRow("404 error object") << 404 << errorObject << LookupVerdict::Available << "http-404";
        QTest::newRow("404 html") << 404 << QByteArray("<html>gone</html>") << LookupVerdict::Unknown
                                  << "error-page";
        QTest::newRow("404 plain text")
            << 404 << QByteArray("Not Found") << LookupVerdict::Unknown << "error-page";
        QTest::newRow("404 white space")
            << 404 << QByteArray("\r\n") << LookupVerdict::Available << "http-404";
        QTest::newRow("429") << 429 << QByteArray() << LookupVerdict::Blocked << "http-429";
        QTest::newRow("403 quota") << 403
                                   << QByteArray("{\"errorCode\":403,\"title\":\"Query quota exceeded\"}")
                                   << LookupVerdict::Blocked << "rate-limit";
        QTest::newRow("503 rate limit")
            << 503 << QByteArray("Rate limit reached, slow down") << LookupVerdict::Blocked << "rate-limit";
        QTest::newRow("500") << 500 << QByteArray("Internal error") << LookupVerdict::Unknown << "http-500";
        QTest::newRow("403 plain") << 403 << QByteArray("Forbidden") << LookupVerdict::Unknown << "http-403";
        QTest::newRow("400") << 400 << errorObject << LookupVerdict::Unknown << "http-400";
        QTest::newRow("200 malformed")
            << 200 << QByteArray("{\"objectClassName\":\"domain\",") << LookupVerdict::Unknown << "not-json";
        QTest::newRow("200 html") << 200 << QByteArray("<html>login</html>") << LookupVerdict::Unknown
                                  << "not-json";
        QTest::newRow("200 error object") << 200 << errorObject << LookupVerdict::Unknown << "not-a-domain";
        QTest::newRow("200 entity") << 200 << QByteArray("{\"objectClassName\":\"entity\"}")
                                    << LookupVerdict::Unknown << "not-a-domain";
        QTest::newRow("200 domain, upper case, trailing dot")
            << 200 << QByteArray("{\"objectClassName\":\"Domain\",\"ldhName\":\"EXAMPLE.COM.\"}")
            << LookupVerdict::Registered << "domain-object";
        QTest::newRow("302 left over") << 302 << QByteArray() << LookupVerdict::Unknown << "http-302";
    }
    void verdictsOfAnswersThatAreNoDomainObject()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(LookupVerdict, verdict);
        QFETCH(QString, rule);
        const core::Judgement judgement =
            core::judgeRdapAnswer(answer(status, body), QStringLiteral("example.com"));
        QCOMPARE(judgement.verdict, verdict);
        QCOMPARE(judgement.rule, rule);
    }

    // Redirects may move the question to another server, not to another question.
    void notFoundCountsOnlyAtTheNamesOwnAddress_data()
    {
        QTest::addColumn<QString>("finalUrl");
        QTest::addColumn<LookupVerdict>("verdict");
        QTest::newRow("not redirected") << QString() << LookupVerdict::Available;
        QTest::newRow("to the registrar")
            << "https://rdap.registrar.test/v1/domain/example.com" << LookupVerdict::Available;
        QTest::newRow("upper case") << "https://rdap.test/DOMAIN/EXAMPLE.COM" << LookupVerdict::Available;
        QTest::newRow("to a web page") << "https://rdap.test/gone.html" << LookupVerdict::Unknown;
        QTest::newRow("to another name") << "https://rdap.test/domain/other.com" << LookupVerdict::Unknown;
    }
    void notFoundCountsOnlyAtTheNamesOwnAddress()
    {
        QFETCH(QString, finalUrl);
        QFETCH(LookupVerdict, verdict);
        core::HttpResponse response = answer(404, QByteArray("{\"errorCode\":404}"));
        response.finalUrl = QUrl(finalUrl);
        QCOMPARE(core::judgeRdapAnswer(response, QStringLiteral("example.com")).verdict, verdict);
    }

    void exchangesWithoutAWholeAnswerAreUnknown_data()
    {
        QTest::addColumn<core::HttpEnding>("ending");
        QTest::addColumn<QString>("rule");
        QTest::newRow("no connection") << core::HttpEnding::NetworkError << "no-answer";
        QTest::newRow("too large") << core::HttpEnding::TooLarge << "too-large";
        QTest::newRow("time-out") << core::HttpEnding::TimedOut << "time-out";
        QTest::newRow("redirects") << core::HttpEnding::TooManyRedirects << "redirects";
    }
    void exchangesWithoutAWholeAnswerAreUnknown()
    {
        QFETCH(core::HttpEnding, ending);
        QFETCH(QString, rule);
        core::HttpResponse response =
            answer(404, QByteArray()); // a status seen before the end counts for nothing
        response.ending = ending;
        const core::Judgement judgement = core::judgeRdapAnswer(response, QStringLiteral("example.com"));
        QCOMPARE(judgement.verdict, LookupVerdict::Unknown);
        QCOMPARE(judgement.rule, rule);
    }
};

QTEST_GUILESS_MAIN(TestRdap)
#include "tst_rdap.moc"
