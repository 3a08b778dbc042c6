// RDAP lookups over real sockets: the Qt HTTP adapter against the loopback HTTP server,
// through the one-lookup unit, with a bootstrap that points at the server.
#include "FakeConnection.h"
#include "FakeHttpServer.h"
#include "core/lookup/DomainLookup.h"
#include "core/lookup/RdapBootstrap.h"
#include "platform/QtHttpClient.h"
#include "platform/QtScheduler.h"

#include <QFile>
#include <QTcpServer>
#include <QtTest>

#include <optional>

using namespace wendlecott;
using core::LookupVerdict;
using Mode = testing::FakeHttpServer::Mode;

namespace {

QByteArray domainObject(const QString &name)
{
    return QStringLiteral("{\"objectClassName\":\"domain\",\"ldhName\":\"%1\"}").arg(name).toUtf8();
}

struct Fixture {
    testing::FakeHttpServer server;
    platform::QtHttpClient http;
    platform::QtScheduler scheduler;
    core::Timing timing;
    core::TldTable table;
    core::RdapBootstrap bootstrap;
    testing::FakeConnection *connection = nullptr;
    std::unique_ptr<core::DomainLookup> lookup;

    Fixture()
    {
        if (!server.start())
            qFatal("could not listen on 127.0.0.1");
        core::TldEntry de;
        de.extension = QStringLiteral("de");
        de.server = QStringLiteral("whois.de.test");
        de.enabled = true;
        table.rows = {de};
        const QByteArray json =
            QStringLiteral("{\"services\":[[[\"com\",\"net\",\"xyz\",\"moscow\",\"fr\",\"cz\",\"no\",\"br\","
                           "\"cyou\",\"top\",\"tube\"],[\"%1\"]]]}")
                .arg(server.url(QStringLiteral("/rdap/")))
                .toUtf8();
        bootstrap = core::RdapBootstrap::parse(json).value();
        timing.rdapTimeoutMs = 3000;
        auto fake = std::make_unique<testing::FakeConnection>();
        connection = fake.get();
        lookup = std::make_unique<core::DomainLookup>(core::WhoisStyle::Retrying, std::move(fake), table,
                                                      core::LookupServices{&bootstrap, &http, nullptr},
                                                      scheduler, timing);
    }

    // Looks `name` up over RDAP (or as `protocol` says) and waits for the verdict (bounded).
    core::LookupEvidence ask(const QString &name, core::LookupProtocol protocol = core::LookupProtocol::Rdap)
    {
        std::optional<core::LookupEvidence> evidence;
        const QMetaObject::Connection connection =
            QObject::connect(lookup.get(), &core::DomainLookup::finished,
                             [&](const core::LookupEvidence &finished) { evidence = finished; });
        core::LookupChoices choices;
        choices.protocol = protocol;
        choices.rules = core::VerdictRules::Evidence;
        const core::Status started = lookup->start(name, choices);
        if (!started)
            qFatal("%s", qPrintable(started.message()));
        (void)QTest::qWaitFor([&] { return evidence.has_value(); }, 20000);
        QObject::disconnect(connection);
        if (!evidence)
            qFatal("the lookup of %s did not end", qPrintable(name));
        return *evidence;
    }

    QString path(const QString &name) const { return QStringLiteral("/rdap/domain/") + name; }
};

QByteArray readData(const QString &relative)
{
    QFile file(QStringLiteral(WENDLECOTT_TESTDATA "/") + relative);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing test data %s", qPrintable(relative));
    return file.readAll();
}

} // namespace

class TestRdapQuery : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void realAnswersServedOverHttpAreRegistered()
    {
        Fixture f;
        const QList<QByteArray> manifest = readData(QStringLiteral("rdap/MANIFEST.tsv")).split('\n');
        int asked = 0;
        for (const QByteArray &line : manifest.mid(1)) {
            const QList<QByteArray> fields = line.split('\t');
            if (fields.size() < 8)
                continue;
            const QString name = QString::fromUtf8(fields.at(7));
            const QByteArray body = readData(QStringLiteral("rdap/") + QString::fromUtf8(fields.at(0)));
            f.server.answer(f.path(name), 200, body, "application/rdap+json");
            const core::LookupEvidence evidence = f.ask(name);
            QVERIFY2(evidence.verdict == LookupVerdict::Registered, fields.at(0).constData());
            QCOMPARE(evidence.protocol, core::LookupProtocol::Rdap);
            QCOMPARE(evidence.httpStatus, 200);
            QCOMPARE(evidence.answerBytes, qint64(body.size()));
            QCOMPARE(evidence.server, QStringLiteral("127.0.0.1"));
            QCOMPARE(evidence.port, f.server.port());
            QCOMPARE(evidence.url, f.server.url(f.path(name)));
            ++asked;
        }
        QCOMPARE(asked, 18);
        // Every request asked for RDAP JSON and plain JSON, as some registries refuse the first alone.
        for (const testing::FakeHttpServer::Request &request : f.server.requests())
            QCOMPARE(request.header("Accept"), QByteArray("application/rdap+json, application/json"));
    }

    void notFoundRateLimitAndServerErrors()
    {
        Fixture f;
        f.server.route(f.path(QStringLiteral("empty404.com")), {Mode::Answer, 404, {}, {}});
        f.server.answer(f.path(QStringLiteral("object404.com")), 404,
                        "{\"errorCode\":404,\"title\":\"Not Found\",\"description\":[\"Object not found\"]}",
                        "application/rdap+json");
        f.server.route(f.path(QStringLiteral("limited.com")),
                       {Mode::Answer, 429, {{"Retry-After", "120"}}, {}});
        f.server.answer(f.path(QStringLiteral("broken.com")), 500, "oops", "text/plain");
        f.server.answer(f.path(QStringLiteral("garbled.com")), 200, "{\"objectClassName\":\"domain\",\"ldh",
                        "application/rdap+json");

        core::LookupEvidence evidence = f.ask(QStringLiteral("empty404.com"));
        QCOMPARE(evidence.verdict, LookupVerdict::Available);
        QCOMPARE(evidence.rule, QStringLiteral("http-404"));
        QCOMPARE(evidence.answerBytes, qint64(0));
        QCOMPARE(f.ask(QStringLiteral("object404.com")).verdict, LookupVerdict::Available);

        evidence = f.ask(QStringLiteral("limited.com"));
        QCOMPARE(evidence.verdict, LookupVerdict::Blocked);
        QCOMPARE(evidence.httpStatus, 429);
        QCOMPARE(evidence.retryAfterSeconds, std::optional<qint64>(120));

        evidence = f.ask(QStringLiteral("broken.com"));
        QCOMPARE(evidence.verdict, LookupVerdict::Unknown);
        QCOMPARE(evidence.rule, QStringLiteral("http-500"));
        evidence = f.ask(QStringLiteral("garbled.com"));
        QCOMPARE(evidence.verdict, LookupVerdict::Unknown);
        QCOMPARE(evidence.rule, QStringLiteral("not-json"));
    }

    // A 404 says "no such domain" only as an RDAP server says it; a web server's error page,
    // a stale base that redirects to a missing page, or an answer cut short says nothing.
    void notFoundCountsOnlyAsAWholeRdapAnswer()
    {
        Fixture f;
        f.server.answer(f.path(QStringLiteral("page404.com")), 404,
                        "<!DOCTYPE html><html><body><h1>404 Not Found</h1></body></html>");
        f.server.redirect(f.path(QStringLiteral("stale.com")), QStringLiteral("/moved-away"));
        f.server.route(f.path(QStringLiteral("cut404.com")), {Mode::CutShort,
                                                              404,
                                                              {{"Content-Type", "application/rdap+json"}},
                                                              "{\"errorCode\":404,\"title\":\"Not Found\"}"});
        f.server.route(f.path(QStringLiteral("moved404.com")), {Mode::Answer, 404, {}, {}});
        f.server.redirect(QStringLiteral("/old/domain/moved404.com"), f.path(QStringLiteral("moved404.com")));

        core::LookupEvidence evidence = f.ask(QStringLiteral("page404.com"));
        QCOMPARE(evidence.verdict, LookupVerdict::Unknown);
        QCOMPARE(evidence.rule, QStringLiteral("error-page"));
        evidence = f.ask(QStringLiteral("stale.com"));
        QCOMPARE(evidence.verdict, LookupVerdict::Unknown);
        QCOMPARE(evidence.httpStatus, 404);
        QCOMPARE(evidence.rule, QStringLiteral("error-page"));
        evidence = f.ask(QStringLiteral("cut404.com"));
        QCOMPARE(evidence.verdict, LookupVerdict::Unknown);
        QCOMPARE(evidence.ending, core::LookupEnding::NoConnection);
    }

    void redirectsAreFollowedUpToFiveAndLoopsEnd()
    {
        Fixture f;
        // A chain of three hops ends at the registrar's answer.
        f.server.redirect(f.path(QStringLiteral("moved.com")), QStringLiteral("/hop1"), 301);
        f.server.redirect(QStringLiteral("/hop1"), QStringLiteral("/hop2"));
        f.server.redirect(QStringLiteral("/hop2"), QStringLiteral("/registrar/domain/moved.com"), 307);
        f.server.answer(QStringLiteral("/registrar/domain/moved.com"), 200,
                        domainObject(QStringLiteral("moved.com")), "application/rdap+json");
        core::LookupEvidence evidence = f.ask(QStringLiteral("moved.com"));
        QCOMPARE(evidence.verdict, LookupVerdict::Registered);
        QCOMPARE(evidence.url, f.server.url(QStringLiteral("/registrar/domain/moved.com")));

        // Two addresses that send the client to each other.
        f.server.redirect(f.path(QStringLiteral("loop.com")), QStringLiteral("/loop-back"));
        f.server.redirect(QStringLiteral("/loop-back"), f.path(QStringLiteral("loop.com")));
        evidence = f.ask(QStringLiteral("loop.com"));
        QCOMPARE(evidence.verdict, LookupVerdict::Unknown);
        QCOMPARE(evidence.ending, core::LookupEnding::TooManyRedirects);
        QVERIFY(f.server.requests().size() <= 3 + 1 + 7); // bounded, not endless

        // Six hops are one too many even without a loop.
        f.server.redirect(f.path(QStringLiteral("far.com")), QStringLiteral("/far1"));
        for (int hop = 1; hop <= 5; ++hop)
            f.server.redirect(QStringLiteral("/far%1").arg(hop), QStringLiteral("/far%1").arg(hop + 1));
        f.server.answer(QStringLiteral("/far6"), 200, domainObject(QStringLiteral("far.com")),
                        "application/rdap+json");
        QCOMPARE(f.ask(QStringLiteral("far.com")).rule, QStringLiteral("redirects"));
    }

    void oversizedEndlessAndSilentAnswersAreUnknown()
    {
        Fixture f;
        f.server.answer(f.path(QStringLiteral("huge.com")), 200, QByteArray(50 << 20, ' '),
                        "application/rdap+json");
        f.server.route(f.path(QStringLiteral("endless.com")), {Mode::Endless, 200, {}, {}, 16384, 1});
        f.server.route(f.path(QStringLiteral("silent.com")), {Mode::Silent, 200, {}, {}});

        core::LookupEvidence evidence = f.ask(QStringLiteral("huge.com"));
        QCOMPARE(evidence.verdict, LookupVerdict::Unknown);
        QCOMPARE(evidence.ending, core::LookupEnding::TooLarge);
        QCOMPARE(evidence.answerBytes, qint64(1) << 20); // what fits is kept, no more

        evidence = f.ask(QStringLiteral("endless.com"));
        QCOMPARE(evidence.verdict, LookupVerdict::Unknown);
        QCOMPARE(evidence.ending, core::LookupEnding::TooLarge);

        f.timing.rdapTimeoutMs = 300;
        evidence = f.ask(QStringLiteral("silent.com"));
        QCOMPARE(evidence.verdict, LookupVerdict::Unknown);
        QCOMPARE(evidence.ending, core::LookupEnding::TimedOut);
    }

    void aServerThatIsNotThereIsUnknown()
    {
        Fixture f;
        QTcpServer gone;
        QVERIFY(gone.listen(QHostAddress::LocalHost, 0));
        const quint16 port = gone.serverPort();
        gone.close();
        f.bootstrap =
            core::RdapBootstrap::parse(
                QStringLiteral("{\"services\":[[[\"com\"],[\"http://127.0.0.1:%1/\"]]]}").arg(port).toUtf8())
                .value();
        const core::LookupEvidence evidence = f.ask(QStringLiteral("nobody.com"));
        QCOMPARE(evidence.verdict, LookupVerdict::Unknown);
        QCOMPARE(evidence.ending, core::LookupEnding::NoConnection);
        QVERIFY(!evidence.reason.isEmpty());
    }

    void anExtensionMissingFromTheBootstrapGoesOverWhoisOrNowhere()
    {
        Fixture f;
        core::LookupChoices rdapOnly;
        rdapOnly.protocol = core::LookupProtocol::Rdap;
        const core::Status refused = f.lookup->start(QStringLiteral("beispiel.de"), rdapOnly);
        QCOMPARE(refused.code(), core::ErrorCode::NoTldRow);
        QVERIFY(!f.lookup->isRunning());
        QVERIFY(f.connection->opens.isEmpty());
        QVERIFY(f.server.requests().isEmpty());

        // Auto asks the extension's whois server instead.
        core::LookupChoices automatic;
        automatic.protocol = core::LookupProtocol::Auto;
        QVERIFY(f.lookup->start(QStringLiteral("beispiel.de"), automatic).ok());
        QCOMPARE(f.lookup->route().protocol, core::LookupProtocol::Whois);
        QCOMPARE(f.connection->opens.size(), 1);
        QCOMPARE(f.connection->opens.first().host, QStringLiteral("whois.de.test"));
        f.lookup->cancel();
    }
};

QTEST_GUILESS_MAIN(TestRdapQuery)
#include "tst_rdapquery.moc"
