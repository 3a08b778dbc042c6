#include "FakeHttpServer.h"
#include "core/HttpClient.h"
#include "platform/QtHttpClient.h"

#include <QTcpServer>
#include <QtTest>

#include <optional>

using namespace wendlecott;

namespace {

// Runs one fetch to its end (bounded in time) and gives the answer with the progress seen.
struct Outcome {
    std::optional<core::HttpResponse> response;
    QList<qint64> progress;
};

Outcome fetch(core::HttpClient &client, const core::HttpRequest &request, int waitMs = 5000)
{
    Outcome outcome;
    std::unique_ptr<core::HttpFetch> running = client.get(request);
    QObject::connect(running.get(), &core::HttpFetch::progress,
                     [&](qint64 bytes) { outcome.progress.append(bytes); });
    QObject::connect(running.get(), &core::HttpFetch::finished,
                     [&](const core::HttpResponse &response) { outcome.response = response; });
    (void)QTest::qWaitFor([&] { return outcome.response.has_value(); }, waitMs);
    if (!outcome.response)
        qFatal("the fetch did not end");
    return outcome;
}

core::HttpRequest requestFor(const QString &url)
{
    core::HttpRequest request;
    request.url = QUrl(url);
    return request;
}

} // namespace

class TestHttpClient : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void answersOfEveryStatusAreAnswers_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("200") << 200;
        QTest::newRow("404") << 404;
        QTest::newRow("429") << 429;
        QTest::newRow("500") << 500;
    }
    void answersOfEveryStatusAreAnswers()
    {
        QFETCH(int, status);
        testing::FakeHttpServer server;
        QVERIFY(server.start());
        server.route(QStringLiteral("/x"), {testing::FakeHttpServer::Mode::Answer,
                                            status,
                                            {{"Retry-After", "7"}},
                                            QByteArrayLiteral("body bytes")});
        platform::QtHttpClient client;
        const Outcome outcome = fetch(client, requestFor(server.url(QStringLiteral("/x"))));
        QCOMPARE(outcome.response->ending, core::HttpEnding::Finished);
        QCOMPARE(outcome.response->status, status);
        QCOMPARE(outcome.response->body, QByteArrayLiteral("body bytes"));
        QCOMPARE(outcome.response->header("retry-after"), QByteArrayLiteral("7"));
    }

    void requestCarriesWhatWasAsked()
    {
        testing::FakeHttpServer server;
        QVERIFY(server.start());
        server.answer(QStringLiteral("/q?a=1"), 200, "ok");
        platform::QtHttpClient client;
        core::HttpRequest request = requestFor(server.url(QStringLiteral("/q?a=1")));
        request.userAgent = "Mozilla";
        request.noCache = true;
        request.noProxy = true;
        request.headers = {{"Accept", "application/rdap+json, application/json"}, {"Pragma", "no-cache"}};
        QCOMPARE(fetch(client, request).response->status, 200);
        QCOMPARE(server.requests().size(), 1);
        const testing::FakeHttpServer::Request &seen = server.requests().first();
        QCOMPARE(seen.method, QByteArrayLiteral("GET"));
        QCOMPARE(seen.header("User-Agent"), QByteArrayLiteral("Mozilla"));
        QCOMPARE(seen.header("Accept"), QByteArrayLiteral("application/rdap+json, application/json"));
        QCOMPARE(seen.header("Pragma"), QByteArrayLiteral("no-cache"));
    }

    void bodyInPiecesIsReportedAsItGrows()
    {
        testing::FakeHttpServer server;
        QVERIFY(server.start());
        server.route(QStringLiteral("/slow"),
                     {testing::FakeHttpServer::Mode::Slow, 200, {}, QByteArray(3000, 'a'), 500, 5});
        platform::QtHttpClient client;
        const Outcome outcome = fetch(client, requestFor(server.url(QStringLiteral("/slow"))));
        QCOMPARE(outcome.response->body.size(), 3000);
        QVERIFY(outcome.progress.size() >= 2);
        QVERIFY(std::is_sorted(outcome.progress.begin(), outcome.progress.end()));
        QCOMPARE(outcome.progress.last(), 3000);
    }

    void redirectsAreFollowedUpToTheLimit()
    {
        testing::FakeHttpServer server;
        QVERIFY(server.start());
        for (int i = 0; i < 3; ++i)
            server.redirect(QStringLiteral("/r%1").arg(i), QStringLiteral("/r%1").arg(i + 1));
        server.answer(QStringLiteral("/r3"), 200, "arrived");
        platform::QtHttpClient client;
        const Outcome followed = fetch(client, requestFor(server.url(QStringLiteral("/r0"))));
        QCOMPARE(followed.response->ending, core::HttpEnding::Finished);
        QCOMPARE(followed.response->body, QByteArrayLiteral("arrived"));
        QCOMPARE(followed.response->finalUrl.path(), QStringLiteral("/r3"));

        core::HttpRequest tooFew = requestFor(server.url(QStringLiteral("/r0")));
        tooFew.maxRedirects = 2;
        QCOMPARE(fetch(client, tooFew).response->ending, core::HttpEnding::TooManyRedirects);
    }

    void redirectLoopEnds()
    {
        testing::FakeHttpServer server;
        QVERIFY(server.start());
        server.redirect(QStringLiteral("/a"), QStringLiteral("/b"));
        server.redirect(QStringLiteral("/b"), QStringLiteral("/a"));
        platform::QtHttpClient client;
        QCOMPARE(fetch(client, requestFor(server.url(QStringLiteral("/a")))).response->ending,
                 core::HttpEnding::TooManyRedirects);
        QVERIFY(server.requests().size() <= 7);
    }

    void bodyOverTheLimitIsCut()
    {
        testing::FakeHttpServer server;
        QVERIFY(server.start());
        server.answer(QStringLiteral("/big"), 200, QByteArray(5000, 'b'));
        server.route(QStringLiteral("/endless"),
                     {testing::FakeHttpServer::Mode::Endless, 200, {}, {}, 4096, 1});
        platform::QtHttpClient client;
        for (const char *path : {"/big", "/endless"}) {
            core::HttpRequest request = requestFor(server.url(QString::fromLatin1(path)));
            request.maxBytes = 1000;
            const Outcome outcome = fetch(client, request);
            QCOMPARE(outcome.response->ending, core::HttpEnding::TooLarge);
            QCOMPARE(outcome.response->body.size(), 1000);
        }
    }

    void silentServerTimesOut()
    {
        testing::FakeHttpServer server;
        QVERIFY(server.start());
        server.route(QStringLiteral("/silent"), {testing::FakeHttpServer::Mode::Silent, 200, {}, {}});
        platform::QtHttpClient client;
        core::HttpRequest request = requestFor(server.url(QStringLiteral("/silent")));
        request.stallTimeoutMs = 200;
        QCOMPARE(fetch(client, request).response->ending, core::HttpEnding::TimedOut);
    }

    void noConnectionIsANetworkError()
    {
        // A port that was free a moment ago: nothing listens there.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 port = probe.serverPort();
        probe.close();
        platform::QtHttpClient client;
        const Outcome outcome = fetch(client, requestFor(QStringLiteral("http://127.0.0.1:%1/").arg(port)));
        QCOMPARE(outcome.response->ending, core::HttpEnding::NetworkError);
        QVERIFY(!outcome.response->error.isEmpty());

        testing::FakeHttpServer server;
        QVERIFY(server.start());
        server.route(QStringLiteral("/drop"), {testing::FakeHttpServer::Mode::CloseAtOnce, 200, {}, {}});
        QCOMPARE(fetch(client, requestFor(server.url(QStringLiteral("/drop")))).response->ending,
                 core::HttpEnding::NetworkError);
    }

    void abortedFetchSaysNothingMore()
    {
        testing::FakeHttpServer server;
        QVERIFY(server.start());
        server.route(QStringLiteral("/slow"),
                     {testing::FakeHttpServer::Mode::Slow, 200, {}, QByteArray(2000, 'a'), 100, 5});
        platform::QtHttpClient client;
        std::unique_ptr<core::HttpFetch> running =
            client.get(requestFor(server.url(QStringLiteral("/slow"))));
        int finishedCount = 0;
        connect(running.get(), &core::HttpFetch::finished, this, [&] { ++finishedCount; });
        QTRY_COMPARE(server.requests().size(), 1);
        running->abort();
        QTest::qWait(150);
        QCOMPARE(finishedCount, 0);
    }
};

QTEST_GUILESS_MAIN(TestHttpClient)
#include "tst_httpclient.moc"
