#include "ExtractionFixtures.h"
#include "FakeHttpClient.h"
#include "FakeScheduler.h"
#include "MemorySettingsStore.h"
#include "TestFolder.h"
#include "config/SettingsKeys.h"
#include "core/base/TextFile.h"
#include "sources/ListBuilder.h"
#include "sources/PageFetch.h"
#include "sources/SearchAddress.h"

#include <QSignalSpy>
#include <QtTest>

using namespace wendlecott;
using sources::ListBuilder;
using sources::SearchEngine;
using testing::FakeHttpFetch;

namespace {

const sources::SearchEndpoint kLoopback{QStringLiteral("http"), QStringLiteral("127.0.0.1:8080")};

// A result page linking to each host as a result link does.
QByteArray linkPage(const QStringList &hosts)
{
    QByteArray page = "<html><body>\n";
    for (const QString &host : hosts)
        page +=
            "<div><a href=\"http://www." + host.toLatin1() + "/path\">" + host.toLatin1() + "</a></div>\n";
    return page + "</body></html>\n";
}

// `count` distinct names, site<first>.com onwards, none inside another.
QStringList sites(int first, int count)
{
    QStringList hosts;
    for (int i = first; i < first + count; ++i)
        hosts.append(QStringLiteral("site%1x.com").arg(i));
    return hosts;
}

// A builder over a temporary program folder and the fakes, with the real timings.
struct Rig {
    explicit Rig(SearchEngine engine = SearchEngine::Google, qint32 target = 100,
                 const QString &searchText = QStringLiteral("red widget"))
    {
        program = folder.file(QStringLiteral("program"));
        QDir().mkpath(program);
        request = {searchText, engine, target, kLoopback};
    }
    ListBuilder &make()
    {
        builder = std::make_unique<ListBuilder>(request, testing::tableOf({QStringLiteral("com")}),
                                                config::ProgramFolder(program), http, scheduler, timing);
        finished = std::make_unique<QSignalSpy>(builder.get(), &ListBuilder::finished);
        statuses = std::make_unique<QSignalSpy>(builder.get(), &ListBuilder::statusChanged);
        return *builder;
    }
    ListBuilder &started()
    {
        make().start();
        return *builder;
    }
    // The three start ticks: the first page is asked for.
    FakeHttpFetch *firstPage()
    {
        scheduler.advance(3 * timing.tickMs);
        return http.last();
    }
    // Answers the page under way, extracts it and waits out the pause between pages.
    void answer(const QByteArray &page)
    {
        http.last()->respond(200, page);
        scheduler.advance(timing.listBuilderPageWaitMs);
    }
    QString url(int fetch) const { return QString::fromLatin1(http.requests.at(fetch).url.toEncoded()); }
    QByteArray file(const QString &name) const { return folder.read(QStringLiteral("program/") + name); }
    bool exists(const QString &name) const { return folder.exists(QStringLiteral("program/") + name); }
    sources::ListBuilderResult result() const
    {
        return finished->first().first().value<sources::ListBuilderResult>();
    }

    testing::TestFolder folder;
    QString program;
    testing::FakeHttpClient http;
    testing::FakeScheduler scheduler;
    core::Timing timing;
    sources::ListBuilderRequest request;
    std::unique_ptr<ListBuilder> builder;
    std::unique_ptr<QSignalSpy> finished;
    std::unique_ptr<QSignalSpy> statuses;
};

const QString kGooglePath = QStringLiteral(
    "http://127.0.0.1:8080/search?num=100&hl=en&lr=&ie=UTF-8&oe=UTF-8&safe=off&filter=0&start=%1&sa=N&q=%2");
// A field may hold "%": it goes in whole, not through arg().
QString yahooAddress(const QString &field, int b)
{
    return QStringLiteral("http://127.0.0.1:8080/search/dir?h=s&xargs=0&p=") + field + QStringLiteral("&b=") +
           QString::number(b);
}

} // namespace

class TestListBuilder : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Addresses and names ------------------------------------------------------------------

    void queryIsEscaped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("field");
        QTest::newRow("spaces") << "red widget  x"
                                << "red+widget++x";
        QTest::newRow("parameter") << "a&b=c"
                                   << "a%26b%3Dc";
        QTest::newRow("fragment, query, percent, plus") << "#?%+"
                                                        << "%23%3F%25%2B";
        QTest::newRow("phrase") << "\"red widget\""
                                << "%22red+widget%22";
        QTest::newRow("not in an address") << "<>\\^`{|}"
                                           << "%3C%3E%5C%5E%60%7B%7C%7D";
        QTest::newRow("beyond ASCII") << QStringLiteral("caf\u00e9 \u65e5") << "caf%C3%A9+%E6%97%A5";
        QTest::newRow("control") << QStringLiteral("a\tb\r\nc\x7f") << "a%09b%0D%0Ac%7F";
        QTest::newRow("left alone") << "site:example.com/a-b_c.d~e!"
                                    << "site:example.com/a-b_c.d~e!";
        QTest::newRow("empty") << ""
                               << "";
    }
    void queryIsEscaped()
    {
        QFETCH(QString, typed);
        QFETCH(QString, field);
        QCOMPARE(sources::searchQueryField(typed), field);
        // The address carries the field as built: nothing decoded, nothing added.
        const QUrl url = sources::searchPageAddress(SearchEngine::Yahoo, kLoopback, field, 1);
        QVERIFY(url.isValid());
        QCOMPARE(QString::fromLatin1(url.toEncoded()), yahooAddress(field, 1));
        QCOMPARE(url.fragment(), QString());
    }

    void pageAddressesOfBothEngines()
    {
        const sources::SearchEndpoint google = sources::defaultSearchEndpoint(SearchEngine::Google);
        QCOMPARE(
            sources::searchPageAddressText(SearchEngine::Google, google, QStringLiteral("red+widget"), 1),
            QStringLiteral("https://www.google.com/search?num=100&hl=en&lr=&ie=UTF-8&oe=UTF-8&safe=off"
                           "&filter=0&start=0&sa=N&q=red+widget"));
        const sources::SearchEndpoint yahoo = sources::defaultSearchEndpoint(SearchEngine::Yahoo);
        QCOMPARE(sources::searchPageAddressText(SearchEngine::Yahoo, yahoo, QStringLiteral("red+widget"), 21),
                 QStringLiteral("https://search.yahoo.com/search/dir?h=s&xargs=0&p=red+widget&b=21"));
        QCOMPARE(sources::nextStartIndex(SearchEngine::Google, 1), 101);
        QCOMPARE(sources::nextStartIndex(SearchEngine::Yahoo, 21), 41);
    }

    void engineAndEndpointFromSettings()
    {
        QCOMPARE(sources::searchEngineFor(QStringLiteral("Google Search")), SearchEngine::Google);
        QCOMPARE(sources::searchEngineFor(QStringLiteral("Yahoo Search")), SearchEngine::Yahoo);
        QVERIFY(!sources::searchEngineFor(QStringLiteral("Custom List")));
        QVERIFY(!sources::makeListBuilderRequest(QStringLiteral("x"), QStringLiteral("Generate names"), 0,
                                                 testing::MemorySettingsStore()));

        testing::MemorySettingsStore settings;
        QCOMPARE(sources::searchEndpoint(settings, SearchEngine::Google),
                 (sources::SearchEndpoint{QStringLiteral("https"), QStringLiteral("www.google.com")}));
        QVERIFY(
            config::writeSetting(settings, config::keys::YahooSearchScheme, QStringLiteral(" HTTP ")).ok());
        QVERIFY(config::writeSetting(settings, config::keys::YahooSearchHost, QStringLiteral("127.0.0.1:9"))
                    .ok());
        const auto request = sources::makeListBuilderRequest(QStringLiteral("a b"),
                                                             QStringLiteral("Yahoo Search"), 3, settings);
        QVERIFY(request);
        QCOMPARE(request->endpoint,
                 (sources::SearchEndpoint{QStringLiteral("http"), QStringLiteral("127.0.0.1:9")}));
        QCOMPARE(request->target, 1000);
        QCOMPARE(request->searchText, QStringLiteral("a b"));

        // What is no plain scheme or host gives way to the default, each on its own.
        for (const char *host : {"", "evil.example/path?", "user@evil.example", "a b", "[::1"}) {
            QVERIFY(config::writeSetting(settings, config::keys::GoogleSearchHost, QString::fromLatin1(host))
                        .ok());
            QVERIFY(
                config::writeSetting(settings, config::keys::GoogleSearchScheme, QStringLiteral("ftp")).ok());
            QCOMPARE(sources::searchEndpoint(settings, SearchEngine::Google),
                     sources::defaultSearchEndpoint(SearchEngine::Google));
        }
        QVERIFY(
            config::writeSetting(settings, config::keys::GoogleSearchHost, QStringLiteral("[::1]:80")).ok());
        QCOMPARE(sources::searchEndpoint(settings, SearchEngine::Google).host, QStringLiteral("[::1]:80"));
    }

    void savedCopyNameStaysInSearches_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("name");
        QTest::newRow("as typed") << "red widget"
                                  << "Google red widget.txt";
        QTest::newRow("parent folders") << "../../etc/passwd"
                                        << "Google .._.._etc_passwd.txt";
        QTest::newRow("dots") << ".."
                              << "Google ...txt";
        QTest::newRow("forbidden") << "a\\b:c*d?e\"f<g>h|i"
                                   << "Google a_b_c_d_e_f_g_h_i.txt";
        QTest::newRow("control") << QStringLiteral("a\tb\nc\x7f") << "Google a_b_c_.txt";
        QTest::newRow("beyond ASCII")
            << QStringLiteral("caf\u00e9 \U0001F600") << QStringLiteral("Google caf\u00e9 \U0001F600.txt");
    }
    void savedCopyNameStaysInSearches()
    {
        QFETCH(QString, typed);
        QFETCH(QString, name);
        QCOMPARE(sources::savedSearchFileName(SearchEngine::Google, typed), name);
    }

    void savedCopyNameOfALongQueryIsCut()
    {
        const QString name = sources::savedSearchFileName(SearchEngine::Yahoo, QString(300, QChar(0xe9)));
        QVERIFY(name.startsWith(QStringLiteral("Yahoo \u00e9")));
        QVERIFY(name.endsWith(QStringLiteral("\u00e9.txt")));
        QVERIFY(name.toUtf8().size() <= 255);
        QCOMPARE(name.size(), 6 + sources::kMaxSavedQueryBytes / 2 + 4);
    }

    // The fetch --------------------------------------------------------------------------------

    void pageRequestIsFreshDirectAndBounded()
    {
        const core::HttpRequest request = sources::pageRequest(QUrl(QStringLiteral("http://127.0.0.1/x")));
        QCOMPARE(request.userAgent, QByteArray("Mozilla"));
        QVERIFY(request.noProxy);
        QVERIFY(request.noCache);
        QVERIFY(request.headers.contains(qMakePair(QByteArray("Pragma"), QByteArray("no-cache"))));
        QCOMPARE(request.maxBytes, qint64(16) * 1024 * 1024);
        QCOMPARE(request.stallTimeoutMs, qint64(30000));
    }

    void fetchReportsEveryChunkAfterTheFirst()
    {
        testing::FakeHttpClient http;
        sources::PageFetch fetch(http);
        QSignalSpy statuses(&fetch, &sources::PageFetch::statusChanged);
        QSignalSpy pages(&fetch, &sources::PageFetch::pageFetched);
        fetch.fetchPage(QUrl(QStringLiteral("http://127.0.0.1/p")));
        QVERIFY(fetch.isFetching());
        const QByteArray body = QByteArray("ab\xe9\xff\x00z", 6) + QByteArray(250, 'x');
        http.last()->respond(200, body, {}, 100);
        QCOMPARE(statuses.size(), 2);
        QCOMPARE(statuses.at(0).first().toString(), QStringLiteral("Downloaded 200 bytes."));
        QCOMPARE(statuses.at(1).first().toString(), QStringLiteral("Downloaded 256 bytes."));
        QCOMPARE(pages.size(), 1);
        QCOMPARE(pages.first().first().toByteArray(), body);
        QVERIFY(!fetch.isFetching());
    }

    void pageTextHasOneCharacterPerByte()
    {
        QByteArray bytes;
        for (int value = 0; value < 256; ++value)
            bytes.append(char(value));
        QString text = QStringLiteral("x");
        sources::appendPageText(text, bytes);
        QCOMPARE(text.size(), 257);
        for (int value = 0; value < 256; ++value)
            QCOMPARE(text.at(value + 1).unicode(), char16_t(value));
        QCOMPARE(text.mid(1), sources::pageTextFromBytes(bytes));
    }

    void unusablePagesAreEmpty_data()
    {
        QTest::addColumn<int>("ending");
        QTest::addColumn<int>("status");
        QTest::newRow("no connection") << int(core::HttpEnding::NetworkError) << 0;
        QTest::newRow("over the limit") << int(core::HttpEnding::TooLarge) << 200;
        QTest::newRow("stalled") << int(core::HttpEnding::TimedOut) << 200;
        QTest::newRow("redirect loop") << int(core::HttpEnding::TooManyRedirects) << 302;
        QTest::newRow("not found") << int(core::HttpEnding::Finished) << 404;
        QTest::newRow("blocked") << int(core::HttpEnding::Finished) << 429;
    }
    void unusablePagesAreEmpty()
    {
        QFETCH(int, ending);
        QFETCH(int, status);
        core::HttpResponse response;
        response.ending = core::HttpEnding(ending);
        response.status = status;
        response.body = "<a href=\"http://www.example.com/\">";
        QCOMPARE(sources::pageBodyOf(response), QByteArray());
        response.ending = core::HttpEnding::Finished;
        response.status = 200;
        QCOMPARE(sources::pageBodyOf(response), response.body);
    }

    void abortedFetchReportsNothing()
    {
        testing::FakeHttpClient http;
        sources::PageFetch fetch(http);
        QSignalSpy pages(&fetch, &sources::PageFetch::pageFetched);
        fetch.fetchPage(QUrl(QStringLiteral("http://127.0.0.1/a")));
        QPointer<FakeHttpFetch> first = http.last();
        fetch.fetchPage(QUrl(QStringLiteral("http://127.0.0.1/b")));
        // The first is dropped (or at least stopped); whatever it still says is not heard.
        QVERIFY(!first || first->isAborted());
        if (first)
            first->finish({});
        QCOMPARE(pages.size(), 0);
        fetch.abort();
        QVERIFY(http.last()->isAborted());
    }

    // A large page is prepared in parts cut at line feeds, so that no step takes long; the
    // names, their order and the counts are those of the page prepared whole.
    void pagePreparedInPartsGivesTheSameNames_data()
    {
        QTest::addColumn<qsizetype>("partChars");
        for (const qsizetype size : {qsizetype(1), qsizetype(97), qsizetype(4096), qsizetype(1) << 20})
            QTest::newRow(qPrintable(QString::number(size))) << size;
    }
    void pagePreparedInPartsGivesTheSameNames()
    {
        QFETCH(qsizetype, partChars);
        // The pages prepared whole, and what each added, once for every row.
        static const core::TldTable table = testing::extractionTable();
        static const QStringList pages = [] {
            QStringList texts;
            for (const QString &file : testing::pageFiles(QStringLiteral("serp")))
                texts.append(sources::pageTextFromBytes(testing::pageBytes(file)));
            // Line ends of every kind, a name on the last line, a page without any line feed.
            texts.append(
                QStringLiteral("<a href=\"http://www.cr-lf.com/\">\r\n<a href=\"http://www.lone-cr.net/\">\r"
                               "http://www.after-cr.org/x\n\nhttp://www.last-line.com"));
            texts.append(
                QStringLiteral("http://www.one-line.com/ http://www.same-line.net/ =www.equals.org/"));
            return texts;
        }();
        static sources::SearchExtraction whole(table);
        static const QList<qint32> addedByPage = [] {
            QList<qint32> added;
            for (const QString &page : pages)
                added.append(whole.addPage(page));
            return added;
        }();
        QVERIFY(pages.size() > 20);
        QVERIFY(whole.totalFound() > 100);

        sources::SearchExtraction parted(table);
        for (qsizetype i = 0; i < pages.size(); ++i) {
            parted.beginPage(pages.at(i), partChars);
            int steps = 0;
            while (!parted.processLines(50))
                QVERIFY(++steps < 10'000'000);
            QCOMPARE(parted.foundOnLastPage(), addedByPage.at(i));
        }
        QCOMPARE(parted.names(), whole.names());
        QVERIFY(parted.names().contains(QStringLiteral("last-line.com")));
        QVERIFY(parted.names().contains(QStringLiteral("after-cr.org")));
        QVERIFY(parted.names().contains(QStringLiteral("same-line.net")));
    }

    // The run ------------------------------------------------------------------------------------

    void firstPageAtTheThirdTick()
    {
        Rig rig;
        rig.started();
        QCOMPARE(rig.builder->phase(), ListBuilder::Phase::Waiting);
        rig.scheduler.advance(3 * rig.timing.tickMs - 1);
        QCOMPARE(rig.http.requests.size(), 0);
        rig.scheduler.advance(1);
        QCOMPARE(rig.http.requests.size(), 1);
        QCOMPARE(rig.builder->phase(), ListBuilder::Phase::Fetching);
        QCOMPARE(rig.url(0), kGooglePath.arg(0).arg(QStringLiteral("red+widget")));
        const core::HttpRequest &sent = rig.http.requests.first();
        QCOMPARE(sent.userAgent, QByteArray("Mozilla"));
        QVERIFY(sent.noProxy && sent.noCache);
        // Nothing else is asked for while the page is under way.
        rig.scheduler.advance(60000);
        QCOMPARE(rig.http.requests.size(), 1);
    }

    void googlePagesStopWhenTheTargetIsReached()
    {
        Rig rig(SearchEngine::Google, 100);
        rig.started();
        rig.firstPage();
        rig.answer(linkPage(sites(0, 60)));
        QCOMPARE(rig.http.requests.size(), 2);
        QCOMPARE(rig.url(1), kGooglePath.arg(100).arg(QStringLiteral("red+widget")));
        // The target is looked at between pages only: the last page takes the count past it.
        rig.answer(linkPage(sites(60, 60)));
        QCOMPARE(rig.http.requests.size(), 2);
        QCOMPARE(rig.finished->size(), 1);
        QCOMPARE(rig.result().totalFound, 120);
        QCOMPARE(rig.result().entryCount, 120);
        QCOMPARE(rig.builder->phase(), ListBuilder::Phase::Finished);
    }

    void googleThirdPageStartsAt200()
    {
        Rig rig(SearchEngine::Google, 200);
        rig.started();
        rig.firstPage();
        rig.answer(linkPage(sites(0, 60)));
        rig.answer(linkPage(sites(60, 60)));
        QCOMPARE(rig.url(2), kGooglePath.arg(200).arg(QStringLiteral("red+widget")));
        rig.answer(linkPage(sites(120, 10)));
        QCOMPARE(rig.http.requests.size(), 4);
        QCOMPARE(rig.url(3), kGooglePath.arg(300).arg(QStringLiteral("red+widget")));
    }

    void yahooPagesStepByTwenty()
    {
        Rig rig(SearchEngine::Yahoo, 100, QStringLiteral("a&b c"));
        rig.started();
        rig.firstPage();
        QCOMPARE(rig.url(0), yahooAddress(QStringLiteral("a%26b+c"), 1));
        rig.answer(linkPage(sites(0, 5)));
        QCOMPARE(rig.url(1), yahooAddress(QStringLiteral("a%26b+c"), 21));
        rig.answer(linkPage(sites(5, 5)));
        QCOMPARE(rig.url(2), yahooAddress(QStringLiteral("a%26b+c"), 41));
        QCOMPARE(rig.builder->startIndex(), 41);
    }

    void aPageThatAddsNothingEndsTheRun()
    {
        Rig rig;
        rig.started();
        rig.firstPage();
        rig.answer(linkPage(sites(0, 10)));
        // The same sites again, and pages of the engine itself: nothing new.
        rig.answer(linkPage(sites(0, 10) + QStringList{QStringLiteral("yahoo.com")}));
        QCOMPARE(rig.http.requests.size(), 2);
        QCOMPARE(rig.finished->size(), 1);
        QCOMPARE(rig.result().totalFound, 10);
        QByteArray expected;
        for (const QString &site : sites(0, 10))
            expected += site.toLatin1() + "\r\n";
        QCOMPARE(rig.file(QStringLiteral("BrowserSearch.txt")), expected + "\r\n");
    }

    void nextPageWaitsOutThePause()
    {
        Rig rig;
        rig.started();
        rig.firstPage()->respond(200, linkPage(sites(0, 3)));
        rig.scheduler.runDue();
        QCOMPARE(rig.builder->phase(), ListBuilder::Phase::Pausing);
        rig.scheduler.advance(rig.timing.listBuilderPageWaitMs - 1);
        QCOMPARE(rig.http.requests.size(), 1);
        rig.scheduler.advance(1);
        QCOMPARE(rig.http.requests.size(), 2);
    }

    void failedFirstPageGivesAnEmptyList()
    {
        Rig rig;
        rig.folder.write(QStringLiteral("program/BrowserSearch.txt"), "old.com\r\n");
        rig.started();
        rig.firstPage()->fail(core::HttpEnding::NetworkError);
        rig.scheduler.advance(rig.timing.listBuilderPageWaitMs);
        QCOMPARE(rig.http.requests.size(), 1);
        QCOMPARE(rig.finished->size(), 1);
        const sources::ListBuilderResult result = rig.result();
        QVERIFY(result.written.ok());
        QCOMPARE(result.totalFound, 0);
        QCOMPARE(result.entryCount, 0);
        QCOMPARE(rig.file(QStringLiteral("BrowserSearch.txt")), QByteArray("\r\n"));
        QCOMPARE(rig.builder->status(), QStringLiteral("Finished! Extracted 0 domain names."));
    }

    // A page of megabytes is turned into text and read in steps; a name that spans the border
    // of two steps, and the names before and after it, are all found.
    void largePageIsReadInSteps()
    {
        Rig rig;
        rig.started();
        QByteArray page = "<a href=\"http://www.first-site.com/\">\n";
        const QByteArray filler = QByteArray(99, 'z') + '\n';
        while (page.size() + filler.size() < (1 << 20) - 16)
            page += filler;
        page += QByteArray((1 << 20) - 16 - page.size(), ' ') + "http://www.middle-site.com/\n";
        const qsizetype middle = page.indexOf("middle-site");
        QVERIFY(middle < (1 << 20) && middle + 11 > (1 << 20));
        while (page.size() < (5 << 19))
            page += filler;
        page += "http://www.last-site.com";
        rig.firstPage()->respond(200, page);
        rig.scheduler.advance(rig.timing.listBuilderPageWaitMs);
        rig.answer({});
        QCOMPARE(rig.finished->size(), 1);
        QCOMPARE(rig.builder->extraction()->names(),
                 (QStringList{QStringLiteral("first-site.com"), QStringLiteral("middle-site.com"),
                              QStringLiteral("last-site.com")}));
    }

    void statusShowsDownloadThenCountThenEnd()
    {
        Rig rig;
        rig.started();
        rig.builder->setSliceLines(1);
        rig.firstPage()->respond(200, linkPage(sites(0, 2)), {}, 40);
        rig.scheduler.advance(rig.timing.listBuilderPageWaitMs);
        rig.answer({});
        QStringList seen;
        for (const QList<QVariant> &signal : std::as_const(*rig.statuses))
            seen.append(signal.first().toString());
        QCOMPARE(seen.first(), QStringLiteral("Downloaded 80 bytes."));
        QVERIFY(seen.contains(QStringLiteral("Extracted 0 unique domain names")));
        QVERIFY(seen.contains(QStringLiteral("Extracted 1 unique domain names")));
        const qsizetype two = seen.indexOf(QStringLiteral("Extracted 2 unique domain names"));
        QVERIFY(two > 0);
        QCOMPARE(seen.mid(two + 1), QStringList{QStringLiteral("Finished! Extracted 2 domain names.")});
    }

    void listAndItsCopyUnderSearches()
    {
        Rig rig(SearchEngine::Yahoo, 100, QStringLiteral("../red widget"));
        rig.started();
        rig.firstPage();
        rig.answer(linkPage(sites(0, 3)));
        rig.answer({});
        QCOMPARE(rig.finished->size(), 1);
        const sources::ListBuilderResult result = rig.result();
        QVERIFY(result.savedCopyWritten);
        // "Searches" was made; the copy is in it, under the query's safe name.
        QCOMPARE(result.savedCopyPath, rig.program + QStringLiteral("/Searches/Yahoo .._red widget.txt"));
        QCOMPARE(rig.file(QStringLiteral("Searches/Yahoo .._red widget.txt")),
                 rig.file(QStringLiteral("BrowserSearch.txt")));
        QCOMPARE(QDir(rig.program).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 (QStringList{QStringLiteral("BrowserSearch.txt"), QStringLiteral("Searches")}));
        QCOMPARE(QDir(rig.folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("program")});
    }

    void savedCopyGoesIntoTheExistingSearchesFolder()
    {
        Rig rig;
        QDir().mkpath(rig.program + QStringLiteral("/searches"));
        rig.folder.write(QStringLiteral("program/searches/Google red widget.txt"), "older.com\r\n");
        rig.started();
        rig.firstPage()->fail(core::HttpEnding::TimedOut);
        rig.scheduler.advance(rig.timing.listBuilderPageWaitMs);
        QCOMPARE(rig.file(QStringLiteral("searches/Google red widget.txt")), QByteArray("\r\n"));
        QVERIFY(!rig.exists(QStringLiteral("Searches")));
    }

    void staleScratchFileIsDeletedNotRead()
    {
        Rig rig;
        rig.folder.write(QStringLiteral("program/SearchOutput.txt"), "http://www.stale.com/\r\n");
        rig.started();
        QVERIFY(!rig.exists(QStringLiteral("SearchOutput.txt")));
        rig.firstPage();
        rig.answer(linkPage(sites(0, 2)));
        rig.answer({});
        QCOMPARE(rig.file(QStringLiteral("BrowserSearch.txt")),
                 QByteArray("site0x.com\r\nsite1x.com\r\n\r\n"));
        QVERIFY(!rig.exists(QStringLiteral("SearchOutput.txt")));
    }

    void aListThatCannotBeWrittenIsReported()
    {
        Rig rig;
        rig.folder.write(QStringLiteral("program/BrowserSearch.txt"), "old.com\r\n");
        rig.started();
        rig.firstPage();
        rig.answer(linkPage(sites(0, 2)));
        core::WriteFaultScope fault(3);
        rig.answer({});
        QCOMPARE(rig.finished->size(), 1);
        const sources::ListBuilderResult result = rig.result();
        QVERIFY(!result.written.ok());
        QCOMPARE(result.written.code(), core::ErrorCode::WriteFailed);
        QVERIFY(!result.savedCopyWritten);
        QCOMPARE(rig.file(QStringLiteral("BrowserSearch.txt")), QByteArray("old.com\r\n"));
        QCOMPARE(rig.builder->status(), result.written.message());
    }

    // Abandoning -------------------------------------------------------------------------------

    void abandonedWhileWaitingAsksNothing()
    {
        Rig rig;
        rig.started();
        rig.scheduler.advance(rig.timing.tickMs);
        rig.builder->abandon();
        rig.scheduler.advance(60000);
        QCOMPARE(rig.http.requests.size(), 0);
        QCOMPARE(rig.builder->phase(), ListBuilder::Phase::Abandoned);
        QCOMPARE(rig.scheduler.pendingCount(), std::size_t(0));
    }

    void abandonedMidFetchWritesNothing()
    {
        Rig rig;
        rig.folder.write(QStringLiteral("program/BrowserSearch.txt"), "old.com\r\n");
        rig.started();
        rig.firstPage();
        rig.answer(linkPage(sites(0, 2)));
        QPointer<FakeHttpFetch> second = rig.http.last();
        rig.builder->abandon();
        QVERIFY(second->isAborted());
        second->finish({});
        rig.scheduler.advance(60000);
        QCOMPARE(rig.finished->size(), 0);
        QCOMPARE(rig.file(QStringLiteral("BrowserSearch.txt")), QByteArray("old.com\r\n"));
        QVERIFY(!rig.exists(QStringLiteral("Searches")));
    }

    void abandonedMidExtractionWritesNothing()
    {
        Rig rig;
        rig.started();
        rig.builder->setSliceLines(1);
        // The window closes while the page is being read, between two slices.
        QObject::connect(rig.builder.get(), &ListBuilder::statusChanged, rig.builder.get(),
                         [&](const QString &text) {
                             if (text == QStringLiteral("Extracted 5 unique domain names"))
                                 rig.builder->abandon();
                         });
        rig.firstPage()->respond(200, linkPage(sites(0, 50)));
        QCOMPARE(rig.builder->phase(), ListBuilder::Phase::Extracting);
        rig.scheduler.runDue();
        QCOMPARE(rig.builder->phase(), ListBuilder::Phase::Abandoned);
        QCOMPARE(rig.builder->totalFound(), 5);
        rig.scheduler.advance(60000);
        QCOMPARE(rig.finished->size(), 0);
        QCOMPARE(rig.scheduler.pendingCount(), std::size_t(0));
        QVERIFY(!rig.exists(QStringLiteral("BrowserSearch.txt")));
    }

    void destroyedMidFetchDropsTheFetch()
    {
        Rig rig;
        rig.started();
        QPointer<FakeHttpFetch> first = rig.firstPage();
        QVERIFY(first);
        rig.builder.reset();
        QVERIFY(!first);
        rig.scheduler.advance(60000);
        QCOMPARE(rig.scheduler.pendingCount(), std::size_t(0));
        QCOMPARE(rig.http.requests.size(), 1);
    }

    void startsOnceAndNotAfterTheEnd()
    {
        Rig rig;
        rig.started();
        rig.builder->start();
        rig.firstPage()->fail(core::HttpEnding::NetworkError);
        rig.scheduler.advance(rig.timing.listBuilderPageWaitMs);
        QCOMPARE(rig.finished->size(), 1);
        rig.builder->start();
        rig.builder->abandon();
        rig.scheduler.advance(60000);
        QCOMPARE(rig.http.requests.size(), 1);
        QCOMPARE(rig.builder->phase(), ListBuilder::Phase::Finished);
    }
};

QTEST_GUILESS_MAIN(TestListBuilder)
#include "tst_listbuilder.moc"
