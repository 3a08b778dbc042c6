#include "ExtractionFixtures.h"
#include "FakeHttpServer.h"
#include "TestFolder.h"
#include "platform/QtHttpClient.h"
#include "platform/QtScheduler.h"
#include "sources/ListBuilder.h"

#include <QSignalSpy>
#include <QtTest>

using namespace wendlecott;
using sources::ListBuilder;

namespace {

constexpr int kRunWaitMs = 20000; // bound of every wait on a run over real sockets

QString serpPage(const char *name)
{
    return QStringLiteral(WENDLECOTT_TESTDATA "/html/serp/") + QLatin1String(name);
}

QString googleTarget(int start, const QString &query)
{
    return QStringLiteral("/search?num=100&hl=en&lr=&ie=UTF-8&oe=UTF-8&safe=off&filter=0&start=%1&sa=N&q=%2")
        .arg(start)
        .arg(query);
}

// The timings of a run, shrunk so that the test takes no seconds.
core::Timing quickTiming()
{
    core::Timing timing;
    timing.tickMs = 5;
    timing.listBuilderPageWaitMs = 5;
    return timing;
}

} // namespace

class TestListBuilderLoopback : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Three result pages from a server on the loopback address, through the real HTTP
    // adapter: the third adds nothing new, so the run ends there with the names of the first
    // two, in order, in BrowserSearch.txt and its copy.
    void threePagesFromALoopbackServer()
    {
        testing::FakeHttpServer server;
        QVERIFY(server.start());
        const QString query = QStringLiteral("domain+names");
        const char *pages[] = {"06-google-serp-parser-domain-nojs.html",
                               "02-google-serp-parser-com-domains.html",
                               "08-google-serp-parser-no-results-nojs.html"};
        // Slow pieces for the first page, so that its progress shows.
        server.route(
            googleTarget(0, query),
            {testing::FakeHttpServer::Mode::Slow, 200, {}, testing::pageBytes(serpPage(pages[0])), 16384, 1});
        server.answer(googleTarget(100, query), 200, testing::pageBytes(serpPage(pages[1])));
        server.answer(googleTarget(200, query), 200, testing::pageBytes(serpPage(pages[2])));

        testing::TestFolder folder;
        const QString program = folder.file(QStringLiteral("program"));
        QDir().mkpath(program);
        const core::TldTable table = testing::tableOf({QStringLiteral("com"), QStringLiteral("net")});
        const sources::SearchEndpoint endpoint{QStringLiteral("http"),
                                               QStringLiteral("127.0.0.1:%1").arg(server.port())};
        platform::QtHttpClient http;
        platform::QtScheduler scheduler;
        ListBuilder builder({QStringLiteral("domain names"), sources::SearchEngine::Google, 1000, endpoint},
                            table, config::ProgramFolder(program), http, scheduler, quickTiming());
        QSignalSpy finished(&builder, &ListBuilder::finished);
        QStringList statuses;
        connect(&builder, &ListBuilder::statusChanged, this,
                [&](const QString &text) { statuses.append(text); });
        builder.start();
        QVERIFY(finished.wait(kRunWaitMs));

        QCOMPARE(server.requests().size(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(server.requests().at(i).target, googleTarget(100 * i, query).toLatin1());
            QCOMPARE(server.requests().at(i).header("User-Agent"), QByteArray("Mozilla"));
            QCOMPARE(server.requests().at(i).header("Pragma"), QByteArray("no-cache"));
        }
        // What the extraction takes from the same pages, read in one run.
        sources::SearchExtraction expected(table);
        for (const char *page : pages)
            expected.addPage(sources::pageTextFromBytes(testing::pageBytes(serpPage(page))));
        QVERIFY(expected.foundOnLastPage() == 0 && expected.totalFound() > 30);

        const auto result = finished.first().first().value<sources::ListBuilderResult>();
        QVERIFY(result.written.ok());
        QCOMPARE(result.totalFound, expected.totalFound());
        QCOMPARE(result.entryCount, expected.totalFound());
        QCOMPARE(folder.read(QStringLiteral("program/BrowserSearch.txt")),
                 expected.finishedListText().toLatin1());
        QCOMPARE(folder.read(QStringLiteral("program/Searches/Google domain names.txt")),
                 expected.finishedListText().toLatin1());
        QVERIFY(statuses.contains(
            QStringLiteral("Downloaded %1 bytes.").arg(testing::pageBytes(serpPage(pages[0])).size())));
        QCOMPARE(statuses.last(),
                 QStringLiteral("Finished! Extracted %1 domain names.").arg(result.totalFound));
    }

    // A page that never ends is cut at the size limit and counts as a page that could not be
    // fetched: the run ends with the names of the pages before it.
    void aPageThatNeverEndsDoesNotHangTheRun()
    {
        testing::FakeHttpServer server;
        QVERIFY(server.start());
        server.answer(QStringLiteral("/search/dir?h=s&xargs=0&p=x&b=1"), 200,
                      "<a href=\"http://www.first-site.com/\">a</a>\n");
        server.route(QStringLiteral("/search/dir?h=s&xargs=0&p=x&b=21"),
                     {testing::FakeHttpServer::Mode::Endless, 200, {}, {}, 1 << 16, 1});
        testing::TestFolder folder;
        const QString program = folder.file(QStringLiteral("program"));
        QDir().mkpath(program);
        platform::QtHttpClient http;
        platform::QtScheduler scheduler;
        ListBuilder builder({QStringLiteral("x"),
                             sources::SearchEngine::Yahoo,
                             100,
                             {QStringLiteral("http"), QStringLiteral("127.0.0.1:%1").arg(server.port())}},
                            testing::tableOf({QStringLiteral("com")}), config::ProgramFolder(program), http,
                            scheduler, quickTiming());
        QSignalSpy finished(&builder, &ListBuilder::finished);
        builder.start();
        QVERIFY(finished.wait(kRunWaitMs * 3));
        const auto result = finished.first().first().value<sources::ListBuilderResult>();
        QCOMPARE(result.totalFound, 1);
        QCOMPARE(folder.read(QStringLiteral("program/BrowserSearch.txt")),
                 QByteArray("first-site.com\r\n\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestListBuilderLoopback)
#include "tst_listbuilder_loopback.moc"
