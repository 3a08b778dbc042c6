#include "FakeHttpServer.h"
#include "core/lookup/HttpClient.h"
#include "platform/QtHttpClient.h"

#include <QDeadlineTimer>
#include <QNetworkProxy>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <future>
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

// An HTTP server on a thread of its own that answers one request with a chunked body sent as
// fast as the connection takes it, until the client goes away, `limit` bytes are sent or
// 20 s have passed. Apart from the client's thread, it can outrun a client that reads
// without bound.
class FloodServer {
public:
    explicit FloodServer(qint64 limit) : m_limit(limit)
    {
        std::promise<quint16> port;
        std::future<quint16> listening = port.get_future();
        m_thread.reset(QThread::create([this, port = std::move(port)]() mutable { run(port); }));
        m_thread->start();
        m_port = listening.get();
    }
    ~FloodServer() { (void)finish(); }
    FloodServer(const FloodServer &) = delete;
    FloodServer &operator=(const FloodServer &) = delete;

    QString url() const { return QStringLiteral("http://127.0.0.1:%1/domain/x.com").arg(m_port); }
    quint16 port() const { return m_port; }
    bool requestSeen() const { return m_requestSeen; }
    // Waits (at most 20 s) until the client takes no more bytes or the server stops sending;
    // the bytes sent by then.
    qint64 sentWhenHeld()
    {
        (void)m_held.tryAcquire(1, 20000);
        return m_sent;
    }
    // Waits (at most 30 s) until the server has stopped sending; the bytes it sent.
    qint64 finish()
    {
        m_stop = !m_thread->wait(QDeadlineTimer(30000));
        m_thread->wait();
        return m_sent;
    }

private:
    void run(std::promise<quint16> &port)
    {
        QTcpServer server;
        port.set_value(server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0);
        if (server.isListening() && server.waitForNewConnection(10000))
            flood(*std::unique_ptr<QTcpSocket>(server.nextPendingConnection()));
        m_held.release();
    }

    void flood(QTcpSocket &socket)
    {
        QByteArray head;
        while (!head.contains("\r\n\r\n") && socket.waitForReadyRead(10000))
            head += socket.readAll();
        m_requestSeen = true;
        socket.write("HTTP/1.1 200 OK\r\nContent-Type: application/rdap+json\r\n"
                     "Transfer-Encoding: chunked\r\n\r\n");
        constexpr int kChunk = 64 << 10;
        const QByteArray chunk = QByteArray::number(kChunk, 16) + "\r\n" + QByteArray(kChunk, 'x') + "\r\n";
        const QDeadlineTimer deadline(20000);
        while (!m_stop && m_sent < m_limit && !deadline.hasExpired()) {
            socket.write(chunk);
            while (socket.bytesToWrite() > 0 && !deadline.hasExpired()) {
                if (socket.waitForBytesWritten(500))
                    continue;
                if (socket.state() != QAbstractSocket::ConnectedState)
                    return;       // the client went away
                m_held.release(); // the client takes nothing more for now
            }
            m_sent += chunk.size();
        }
    }

    const qint64 m_limit;
    std::unique_ptr<QThread> m_thread;
    quint16 m_port = 0;
    std::atomic<qint64> m_sent{0};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_requestSeen{false};
    QSemaphore m_held;
};

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

    // Memory stays near the limit: the connection is read no further than the reply's
    // buffer ahead of the program, and the reply is dropped at the limit.
    void endlessChunkedAnswerIsCutAtTheLimit()
    {
        constexpr qint64 kLimit = qint64(1) << 20;
        constexpr qint64 kSocketBuffers = qint64(12) << 20; // both ends of the loopback connection
        FloodServer server(qint64(64) << 20);
        QVERIFY(server.port() != 0);
        platform::QtHttpClient client;
        core::HttpRequest request = requestFor(server.url());
        request.maxBytes = kLimit;
        std::optional<core::HttpResponse> response;
        const std::unique_ptr<core::HttpFetch> running = client.get(request);
        connect(running.get(), &core::HttpFetch::finished, this,
                [&](const core::HttpResponse &answer) { response = answer; });
        QVERIFY(QTest::qWaitFor([&] { return server.requestSeen(); }, 10000));
        // While the program takes nothing, what the server gets rid of is what is read ahead.
        const qint64 readAhead = server.sentWhenHeld();
        QVERIFY2(readAhead < kSocketBuffers, qPrintable(QString::number(readAhead)));

        QVERIFY(QTest::qWaitFor([&] { return response.has_value(); }, 30000));
        QCOMPARE(response->ending, core::HttpEnding::TooLarge);
        QCOMPARE(response->body.size(), kLimit);
        const qint64 sent = server.finish();
        QVERIFY2(sent < kLimit + kSocketBuffers, qPrintable(QString::number(sent)));
    }

    void redirectProblem_data()
    {
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QString>("to");
        QTest::addColumn<bool>("followed");
        const QString web = QStringLiteral("https://rdap.example/domain/a.com");
        const QString local = QStringLiteral("http://127.0.0.1:8080/domain/a.com");
        QTest::newRow("https to https") << web << QStringLiteral("https://other.example/x") << true;
        QTest::newRow("http to https")
            << QStringLiteral("http://rdap.example/") << QStringLiteral("https://rdap.example/") << true;
        QTest::newRow("https to http") << web << QStringLiteral("http://rdap.example/x") << false;
        QTest::newRow("ftp") << web << QStringLiteral("ftp://rdap.example/x") << false;
        QTest::newRow("file") << web << QStringLiteral("file:///etc/passwd") << false;
        QTest::newRow("loopback") << web << QStringLiteral("https://127.0.0.1/x") << false;
        QTest::newRow("loopback in v6") << web << QStringLiteral("https://[::1]/x") << false;
        QTest::newRow("v4 in v6") << web << QStringLiteral("https://[::ffff:10.0.0.1]/x") << false;
        QTest::newRow("localhost") << web << QStringLiteral("https://LocalHost/x") << false;
        QTest::newRow("any address") << web << QStringLiteral("https://0.0.0.0/x") << false;
        QTest::newRow("10/8") << web << QStringLiteral("https://10.1.2.3/x") << false;
        QTest::newRow("172.16/12") << web << QStringLiteral("https://172.31.0.1/x") << false;
        QTest::newRow("172.32 is public") << web << QStringLiteral("https://172.32.0.1/x") << true;
        QTest::newRow("192.168/16") << web << QStringLiteral("https://192.168.1.1/x") << false;
        QTest::newRow("link-local") << web << QStringLiteral("https://169.254.169.254/x") << false;
        QTest::newRow("link-local v6") << web << QStringLiteral("https://[fe80::1]/x") << false;
        QTest::newRow("unique local v6") << web << QStringLiteral("https://[fd00::1]/x") << false;
        QTest::newRow("loopback from loopback") << local << QStringLiteral("http://127.0.0.1:9/x") << true;
        QTest::newRow("localhost from loopback") << local << QStringLiteral("http://localhost:9/x") << true;
        QTest::newRow("private from loopback") << local << QStringLiteral("http://10.1.2.3/x") << false;
        QTest::newRow("link-local from loopback") << local << QStringLiteral("http://169.254.0.1/x") << false;
        QTest::newRow("private from private")
            << QStringLiteral("http://192.168.0.2/") << QStringLiteral("http://10.0.0.1/") << true;
    }
    void redirectProblem()
    {
        QFETCH(QString, asked);
        QFETCH(QString, to);
        QFETCH(bool, followed);
        const QString problem = platform::redirectProblem(QUrl(asked), QUrl(asked), QUrl(to));
        QVERIFY2(problem.isEmpty() == followed, qPrintable(problem));
    }

    // A refused redirect ends the fetch before anything is asked there. A loopback proxy
    // stands in for every other address: a redirect that was followed would reach it.
    void redirectsToOtherKindsOfAddressAreRefused_data()
    {
        QTest::addColumn<QByteArray>("location");
        QTest::newRow("private") << QByteArrayLiteral("http://10.1.2.3:81/x");
        QTest::newRow("link-local") << QByteArrayLiteral("http://169.254.169.254/latest/meta-data/");
        QTest::newRow("ftp") << QByteArrayLiteral("ftp://127.0.0.1:21/x");
        QTest::newRow("file") << QByteArrayLiteral("file:///etc/hostname");
    }
    void redirectsToOtherKindsOfAddressAreRefused()
    {
        QFETCH(QByteArray, location);
        testing::FakeHttpServer proxy;
        QVERIFY(proxy.start());
        const QNetworkProxy before = QNetworkProxy::applicationProxy();
        QNetworkProxy::setApplicationProxy(
            QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), proxy.port()));
        const auto restore = qScopeGuard([&] { QNetworkProxy::setApplicationProxy(before); });
        testing::FakeHttpServer server;
        QVERIFY(server.start());
        server.route(QStringLiteral("/away"),
                     {testing::FakeHttpServer::Mode::Answer, 302, {{"Location", location}}, {}});
        platform::QtHttpClient client;
        const Outcome outcome = fetch(client, requestFor(server.url(QStringLiteral("/away"))));
        QCOMPARE(outcome.response->ending, core::HttpEnding::TooManyRedirects);
        QVERIFY2(outcome.response->error.contains(QLatin1String("not followed")),
                 qPrintable(outcome.response->error));
        QCOMPARE(server.requests().size(), 1);
        QVERIFY(proxy.requests().isEmpty());
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
