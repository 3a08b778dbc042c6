#include "FakeConnection.h"
#include "FakeHttpClient.h"
#include "FakeNotice.h"
#include "FakePorts.h"
#include "FakeScheduler.h"
#include "TestFolder.h"
#include "TldRows.h"
#include "browse/BrowseAddresses.h"
#include "browse/BrowseSession.h"
#include "core/base/TextFile.h"
#include "core/lists/ListRules.h"
#include "core/lists/ResultLists.h"
#include "core/lists/RunSource.h"
#include "core/lists/UnansweredNames.h"
#include "core/lookup/RdapBootstrap.h"
#include "core/pacing/ServerPacer.h"
#include "core/tld/TldTable.h"

#include <QSignalSpy>
#include <QtTest>

using namespace wendlecott;
using browse::BrowseList;
using browse::BrowsePanel;
using View = browse::BrowseSession::View;

namespace {

using testing::whoisRow;

QString link(const QString &name)
{
    return QStringLiteral("<a href=\"http://www.%1/\">%1</a> ").arg(name);
}

QString pageOf(const QStringList &names)
{
    QString markup = QStringLiteral("<p>Some text.</p>");
    for (const QString &name : names)
        markup += link(name);
    return markup;
}

// One opening of the browse window without its widgets, every collaborator faked.
struct Harness {
    testing::TestFolder folder;
    testing::FakeScheduler scheduler;
    testing::FakeNotice notice;
    testing::FakeClipboard clipboard;
    testing::FakeOpener opener;
    core::Timing timing;
    core::TldTable table;
    core::ResultLists lists{folder.path(), notice, clipboard, opener};
    core::ServerPacer pacer{scheduler};
    testing::FakeConnection *connection = nullptr;
    testing::FakeHttpClient http;
    core::RdapBootstrap bootstrap =
        core::RdapBootstrap::parse("{\"services\":[[[\"com\"],[\"https://rdap.test/v1/\"]]]}").value();
    core::UnansweredNames unanswered{folder.file(QStringLiteral("Unanswered.txt"))};
    std::unique_ptr<browse::BrowseSession> session;

    // With `rdap`, the preference "Use RDAP where the registry offers it" is on: .com goes
    // over RDAP, .net over whois judged by the evidence rules. The pacer is the one every
    // window of the program shares; with `sharedPace` the unanswered names are kept too.
    explicit Harness(bool rdap = false, bool sharedPace = false)
    {
        table.rows = {whoisRow(QStringLiteral("com"), QStringLiteral("whois.com.test"), 43, 25),
                      whoisRow(QStringLiteral("net"), QStringLiteral("whois.net.test"), 4343, 40),
                      whoisRow(QStringLiteral("org"), QStringLiteral("whois.org.test"), 43, 25, false)};
        auto made = std::make_unique<testing::FakeConnection>();
        connection = made.get();
        core::RunEnvironment run{table, [] { return false; }, pacer, lists, notice};
        if (rdap) {
            run.lookupChoices = [] { return core::LookupChoices::forPreference(true, false); };
            run.services = core::LookupServices{&bootstrap, &http, nullptr};
            run.unanswered = &unanswered;
        }
        if (sharedPace)
            run.unanswered = &unanswered;
        const browse::BrowseEnvironment environment{run, clipboard};
        session = std::make_unique<browse::BrowseSession>(environment, folder.path(), scheduler, timing,
                                                          std::move(made));
    }

    browse::BrowseChecker &checker() { return session->checker(); }
    QString queueFile() const { return folder.file(QStringLiteral("BrowserSearch.txt")); }
    QByteArray queueText() const { return folder.read(QStringLiteral("BrowserSearch.txt")); }

    // WebBrowser1 loads a page and its document completes; the extraction runs to its end.
    void load(const QString &markup)
    {
        session->pageLoadStarted();
        session->documentComplete(View::Page, markup);
        scheduler.runDue();
    }

    // The server of the lookup now open answers and closes.
    void answer(const QByteArray &text)
    {
        connection->peerAccept();
        connection->peerSend(text);
        connection->peerClose();
    }

    QStringList listed(BrowseList list) { return checker().model(list)->stringList(); }
    QString panel(BrowsePanel which) { return checker().panelText(which); }
};

} // namespace

class TestBrowseChecker : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // --- the queue file ---

    void queueFileIsDeletedOnOpeningAndClosingAndGrowsByPage()
    {
        Harness h;
        h.folder.write(QStringLiteral("BrowserSearch.txt"), "left.com\r\nover.com\r\n");
        h.session->open();
        QVERIFY(!QFile::exists(h.queueFile()));
        QCOMPARE(h.checker().readQueuedName(0), core::kEndOfListSentinel);

        h.load(pageOf({QStringLiteral("alpha.com"), QStringLiteral("beta.net")}));
        QCOMPARE(h.queueText(), QByteArray("alpha.com\r\nbeta.net\r\n\r\n"));
        h.load(QStringLiteral("<p>nothing here</p>"));
        QCOMPARE(h.queueText(), QByteArray("alpha.com\r\nbeta.net\r\n\r\n\r\n"));
        QCOMPARE(h.panel(BrowsePanel::Page), QStringLiteral("No Domains Found"));
        h.load(pageOf({QStringLiteral("gamma.com")}));
        QCOMPARE(h.checker().readQueuedName(0), QStringLiteral("alpha.com"));
        QCOMPARE(h.checker().readQueuedName(2), QStringLiteral("gamma.com"));
        QCOMPARE(h.checker().readQueuedName(3), core::kEndOfListSentinel);

        h.session->close();
        QVERIFY(!QFile::exists(h.queueFile()));
        QCOMPARE(h.checker().readQueuedName(0), core::kEndOfListSentinel);
        QCOMPARE(h.connection->isOpen(), false);
        QCOMPARE(h.scheduler.pendingCount(), std::size_t(0)); // no timer left behind
    }

    // --- checking and filing ---

    void namesAreCheckedOneAtATimeAndFiledIntoBothWindows()
    {
        Harness h;
        h.session->open();
        h.load(pageOf({QStringLiteral("alpha.com"), QStringLiteral("beta.net")}));

        // The end of the extraction dispatches the first name at once.
        QCOMPARE(h.connection->opens.size(), 1);
        QCOMPARE(h.connection->opens.at(0).host, QStringLiteral("whois.com.test"));
        QCOMPARE(h.panel(BrowsePanel::Progress), QStringLiteral("Checking status of: alpha.com"));
        QCOMPARE(h.pacer.sharedPause().throttleMs, 25);
        h.answer("No match for \"ALPHA.COM\".\r\n");
        QCOMPARE(h.connection->sent, QByteArray("alpha.com\r\n"));
        QCOMPARE(h.lists.entries(core::ListId::Mid), QStringList{QStringLiteral("alpha.com")});
        QCOMPARE(h.listed(BrowseList::Unregistered), QStringList{QStringLiteral("alpha.com")});
        QCOMPARE(h.checker().label(BrowseList::Unregistered), QStringLiteral("Unregistered: (1)"));
        QCOMPARE(h.panel(BrowsePanel::Progress), QStringLiteral("Pausing for 25 milliseconds."));
        QVERIFY(h.pacer.sharedPause().pauseActive);

        // The pause lasts the row's throttle plus one millisecond.
        h.scheduler.advance(25);
        QCOMPARE(h.connection->opens.size(), 1);
        h.scheduler.advance(1);
        QVERIFY(!h.pacer.sharedPause().pauseActive);
        QCOMPARE(h.connection->opens.size(), 2);
        QCOMPARE(h.connection->opens.at(1).host, QStringLiteral("whois.net.test"));
        QCOMPARE(h.connection->opens.at(1).port, quint16(4343));
        QCOMPARE(h.pacer.sharedPause().throttleMs, 40);
        h.answer("Domain Name: BETA.NET\r\nRegistrar: Example\r\n");
        QCOMPARE(h.lists.entries(core::ListId::Registered), QStringList{QStringLiteral("beta.net")});
        QCOMPARE(h.listed(BrowseList::Registered), QStringList{QStringLiteral("beta.net")});
        QCOMPARE(h.checker().label(BrowseList::Registered), QStringLiteral("Registered: (1)"));

        h.scheduler.advance(41);
        QCOMPARE(h.connection->opens.size(), 2);
        QCOMPARE(h.panel(BrowsePanel::Progress), QStringLiteral("Checked 2 unique domains."));
        QCOMPARE(h.panel(BrowsePanel::Page), QStringLiteral("Finished domains on current page"));
        QCOMPARE(h.checker().queuePosition(), 2);
        QCOMPARE(h.notice.blockedShown, 0);
    }

    // With the shared pacer a name waits for its server's turn when another window asked
    // that server just now; a close while it waits asks nothing.
    void browsedNamesWaitForTheirServersTurn()
    {
        Harness h(false, true);
        h.session->open();
        h.pacer.noteStarted(QStringLiteral("whois.com.test:43"), 100); // the main window's run
        h.load(pageOf({QStringLiteral("alpha.com"), QStringLiteral("beta.com")}));
        QCOMPARE(h.connection->opens.size(), 0);
        QCOMPARE(h.panel(BrowsePanel::Progress), QStringLiteral("Checking status of: alpha.com"));
        h.scheduler.advance(100);
        QCOMPARE(h.connection->opens.size(), 0);
        h.scheduler.advance(1);
        QCOMPARE(h.connection->opens.size(), 1);
        h.answer("No match\r\n");
        QCOMPARE(h.listed(BrowseList::Unregistered), QStringList{QStringLiteral("alpha.com")});

        // The run asks the server again during the pause; beta.com waits its turn after it.
        h.scheduler.advance(10);
        h.pacer.noteStarted(QStringLiteral("whois.com.test:43"), 100);
        h.scheduler.advance(16); // the browse pause is over
        QCOMPARE(h.connection->opens.size(), 1);
        h.checker().close();
        h.scheduler.advance(1000);
        QCOMPARE(h.connection->opens.size(), 1);
        QCOMPARE(h.pacer.waitingCount(), 0);
    }

    // With RDAP on, the browse window asks as the run does: RDAP where the bootstrap has the
    // extension, 404 files the name as available, a rate limit shows the notice and keeps
    // the name to be asked again; whois answers are judged by what they show.
    void rdapAndEvidenceWhenThePreferenceIsOn()
    {
        Harness h(true);
        h.session->open();
        h.load(pageOf({QStringLiteral("alpha.com"), QStringLiteral("busy.com"), QStringLiteral("beta.net")}));
        QCOMPARE(h.http.requests.size(), 1);
        QCOMPARE(h.http.requests.at(0).url.toString(),
                 QStringLiteral("https://rdap.test/v1/domain/alpha.com"));
        QCOMPARE(h.connection->opens.size(), 0);
        h.http.last()->respond(404, QByteArray());
        h.scheduler.runDue();
        QCOMPARE(h.lists.entries(core::ListId::Mid), QStringList{QStringLiteral("alpha.com")});
        QCOMPARE(h.listed(BrowseList::Unregistered), QStringList{QStringLiteral("alpha.com")});

        h.scheduler.advance(26);
        QCOMPARE(h.http.requests.size(), 2);
        h.http.last()->respond(429, QByteArray("{}"), {{"Retry-After", "5"}});
        h.scheduler.runDue();
        QCOMPARE(h.notice.blockedShown, 1);
        QCOMPARE(h.unanswered.names(), QStringList{QStringLiteral("busy.com")});

        // "No match" in legal text is no verdict under the evidence rules: nothing filed.
        h.scheduler.advance(26);
        QCOMPARE(h.connection->opens.size(), 1);
        h.answer("Terms of use: no match guarantees nothing.\r\n");
        h.scheduler.runDue();
        QCOMPARE(h.lists.entries(core::ListId::Registered), QStringList());
        QCOMPARE(h.listed(BrowseList::Registered), QStringList());
        QCOMPARE(h.unanswered.names(), (QStringList{QStringLiteral("busy.com"), QStringLiteral("beta.net")}));
    }

    // A lookup under way is never started again by the dispatcher's tick: a server that
    // takes a second and a half still gets its answer in.
    void slowServerIsLeftToFinish()
    {
        Harness h;
        h.session->open();
        h.load(pageOf({QStringLiteral("slowpoke.com"), QStringLiteral("after.com")}));
        h.connection->peerAccept();
        h.scheduler.advance(1000);
        h.scheduler.advance(499);
        QCOMPARE(h.connection->opens.size(), 1);
        QCOMPARE(h.connection->sends.size(), 1);
        h.connection->peerSend("No match\r\n");
        h.scheduler.advance(1);
        h.connection->peerClose();
        QCOMPARE(h.listed(BrowseList::Unregistered), QStringList{QStringLiteral("slowpoke.com")});
        QCOMPARE(h.notice.blockedShown, 0);
        // Ticks during the pause do not start the next lookup early either.
        QCOMPARE(h.connection->opens.size(), 1);
        h.scheduler.advance(26);
        QCOMPARE(h.connection->opens.size(), 2);
    }

    void silentServerTimesOutAtTheFifthTick_data()
    {
        QTest::addColumn<bool>("accepts");
        QTest::addColumn<bool>("sendFails");
        QTest::newRow("connected, never answers") << true << false;
        QTest::newRow("connection refused") << false << false;
        QTest::newRow("request not sent") << true << true;
    }
    void silentServerTimesOutAtTheFifthTick()
    {
        QFETCH(bool, accepts);
        QFETCH(bool, sendFails);
        Harness h;
        h.connection->failSends = sendFails;
        h.session->open();
        h.load(pageOf({QStringLiteral("silent.com"), QStringLiteral("next.net")}));
        if (accepts)
            h.connection->peerAccept();
        else
            h.connection->peerFail();
        h.scheduler.advance(4999);
        QCOMPARE(h.notice.blockedShown, 0);
        QCOMPARE(h.connection->opens.size(), 1);
        QCOMPARE(h.checker().timeoutTicks(), 4);

        h.scheduler.advance(1);
        QCOMPARE(h.notice.blockedShown, 1);
        QCOMPARE(h.notice.blockedServer, QStringLiteral("whois.com.test"));
        QCOMPARE(h.notice.blockedResponse, QStringLiteral("Connection Timed Out"));
        QCOMPARE(h.checker().queuePosition(), 1);
        QVERIFY(h.listed(BrowseList::Unregistered).isEmpty());
        QVERIFY(h.lists.entries(core::ListId::Registered).isEmpty());
        // The next name goes out at once.
        QCOMPARE(h.connection->opens.size(), 2);
        QCOMPARE(h.connection->opens.at(1).host, QStringLiteral("whois.net.test"));
        QCOMPARE(h.checker().timeoutTicks(), 0);
    }

    void verdictRulesAtTheEdges_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("unregistered");
        QTest::addColumn<QString>("registered");
        QTest::addColumn<bool>("blocked");
        QTest::newRow("success word beats blocked word")
            << "quota.com" << QByteArray("Error: not found, quota ok\r\n") << "quota.com"
            << "" << false;
        QTest::newRow("blocked answer files nothing")
            << "refused.com" << QByteArray("Query rate exceeded. Blocked.\r\n") << ""
            << "" << true;
        QTest::newRow("bare extension never filed as available") << ".com" << QByteArray("No match\r\n") << ""
                                                                 << "" << false;
        QTest::newRow("bare extension never filed as registered")
            << ".COM" << QByteArray("Domain: x\r\n") << ""
            << "" << false;
        QTest::newRow("sentinel not filed as available")
            << "endoffileffile.com" << QByteArray("No match\r\n") << ""
            << "" << false;
        QTest::newRow("sentinel filed as registered")
            << "endoffileffile.com" << QByteArray("Domain: x\r\n") << ""
            << "endoffileffile.com" << false;
        QTest::newRow("cap reached judged on what came")
            << "huge.com" << QByteArray(core::kMaxResponseBytes + 10, 'x') << ""
            << "huge.com" << false;
    }
    void verdictRulesAtTheEdges()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, answer);
        QFETCH(QString, unregistered);
        QFETCH(QString, registered);
        QFETCH(bool, blocked);
        Harness h;
        h.session->open();
        h.checker().checkBrowsedName(name);
        h.scheduler.runDue(); // the server's turn comes from the event loop
        // A bare extension is no domain: it is not even asked.
        const bool asked = !name.startsWith(QLatin1Char('.'));
        QCOMPARE(h.connection->opens.size(), asked ? 1 : 0);
        if (asked) {
            h.connection->peerAccept();
            h.connection->peerSend(answer);
            if (h.connection->isOpen())
                h.connection->peerClose();
        }
        QCOMPARE(h.listed(BrowseList::Unregistered).join(u','), unregistered);
        QCOMPARE(h.listed(BrowseList::Registered).join(u','), registered);
        QCOMPARE(h.lists.entries(core::ListId::Registered).join(u','), registered);
        QCOMPARE(h.notice.blockedShown, blocked ? 1 : 0);
        if (blocked) {
            QCOMPARE(h.notice.blockedServer, QStringLiteral("whois.com.test"));
            QVERIFY(h.notice.blockedResponse.contains(QStringLiteral("exceeded")));
        }
        QCOMPARE(h.checker().queuePosition(), 1); // the name is not retried
    }

    void clearingUnregisteredLetsANameBeQueuedAgain()
    {
        Harness h;
        h.session->open();
        const QString page = pageOf({QStringLiteral("again.com")});
        h.load(page);
        h.answer("No match\r\n");
        h.scheduler.advance(26);
        QCOMPARE(h.session->found().foundTotal(), 1);

        h.load(page); // seen before: nothing new
        QCOMPARE(h.session->found().foundTotal(), 1);
        QCOMPARE(h.connection->opens.size(), 1);

        h.checker().clearList(BrowseList::Unregistered);
        QVERIFY(h.listed(BrowseList::Unregistered).isEmpty());
        QCOMPARE(h.checker().label(BrowseList::Unregistered), QStringLiteral("Unregistered"));
        QCOMPARE(h.lists.counter(core::ListId::Low), 0);
        h.load(page);
        QCOMPARE(h.session->found().foundTotal(), 2);
        QCOMPARE(h.connection->opens.size(), 2);
        QCOMPARE(h.checker().readQueuedName(1), QStringLiteral("again.com"));
    }

    void dispatcherTickPicksUpNamesAndReportsAnEmptyQueue()
    {
        Harness h;
        h.session->open();
        h.scheduler.advance(1000);
        QCOMPARE(h.panel(BrowsePanel::Progress), QStringLiteral("Checked 0 unique domains."));
        QVERIFY(h.panel(BrowsePanel::Page).isEmpty());
        // Names that reach the queue without a dispatch of their own are taken at the next tick.
        h.session->documentComplete(View::Page, pageOf({QStringLiteral("later.com")}));
        h.scheduler.runDue();
        QCOMPARE(h.connection->opens.size(), 1);
    }

    // Names queued while their extension was enabled, then disabled in Setup: each is
    // skipped from the event loop, so thousands in a row neither nest calls nor stall.
    void namesThatCannotBeAskedAreSkipped()
    {
        Harness h;
        h.session->open();
        QStringList names;
        for (int i = 0; i < 3000; ++i)
            names << QStringLiteral("n%1x.%2").arg(i).arg(i % 2 ? QStringLiteral("com")
                                                                : QStringLiteral("net"));
        h.session->documentComplete(View::Page, pageOf(names));
        h.table.rows[0].enabled = false; // com disabled in Setup meanwhile
        h.table.rows[1].server.clear();  // and net's row lost its server
        h.scheduler.runDue();
        QCOMPARE(h.session->found().foundTotal(), 3000);
        QCOMPARE(h.checker().queuePosition(), 3000);
        QCOMPARE(h.connection->opens.size(), 0);
        QCOMPARE(h.panel(BrowsePanel::Progress), QStringLiteral("Checked 0 unique domains."));
    }

    // Names no registry could hold are not asked, as in the other runs: a "No match" for
    // them would file them as free.
    void impossibleNamesAreNotAsked_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("leading hyphen") << QStringLiteral("-foo.com");
        QTest::newRow("trailing hyphen") << QStringLiteral("bar-.com");
        QTest::newRow("label over 63") << QString(64, QLatin1Char('x')) + QStringLiteral(".com");
    }
    void impossibleNamesAreNotAsked()
    {
        QFETCH(QString, name);
        Harness h;
        h.session->open();
        h.checker().checkBrowsedName(name);
        h.scheduler.runDue();
        QCOMPARE(h.connection->opens.size(), 0);
        QCOMPARE(h.checker().queuePosition(), 1);
        QVERIFY(h.lists.entries(core::ListId::High).isEmpty());
    }

    // A lookup waiting for its server's turn (the server rests) does not time out meanwhile:
    // the five ticks count from its request.
    void timeOutCountsFromTheRequestNotTheWaitForTheTurn()
    {
        Harness h(false, true);
        h.session->open();
        h.pacer.pause(QStringLiteral("whois.com.test:43"), 60000);
        h.load(pageOf({QStringLiteral("slow.com")}));
        h.scheduler.advance(59999);
        QCOMPARE(h.notice.blockedShown, 0);
        QCOMPARE(h.connection->opens.size(), 0);
        h.scheduler.advance(1);
        QCOMPARE(h.connection->opens.size(), 1);
        h.connection->peerAccept();
        h.scheduler.advance(4999);
        QCOMPARE(h.notice.blockedShown, 0);
        h.scheduler.advance(1);
        QCOMPARE(h.notice.blockedShown, 1);
        QCOMPARE(h.unanswered.names(), QStringList{QStringLiteral("slow.com")});
    }

    // A name that cannot be kept among the unanswered names is said, as in the other runs.
    void aFailedKeepOfAnUnansweredNameIsSaid()
    {
        Harness h(false, true);
        h.session->open();
        h.load(pageOf({QStringLiteral("refused.com")}));
        {
            core::WriteFaultScope full(0);
            h.answer("Query rate exceeded. Blocked.\r\n");
        }
        QCOMPARE(h.notice.blockedShown, 1);
        QCOMPARE(h.notice.messages.size(), 1);
        QCOMPARE(h.notice.messages.at(0).icon, core::NoticeIcon::Warning);
    }

    // --- the window's list commands ---

    void listCommandsWorkOnTheWindowsOwnLists()
    {
        Harness h;
        h.session->open();
        for (const QString &name :
             {QStringLiteral("one.com"), QStringLiteral("two.com"), QStringLiteral("three.com")}) {
            h.checker().checkBrowsedName(name);
            h.scheduler.runDue();
            h.answer("Domain Name: taken\r\n");
            h.scheduler.advance(26);
        }
        QCOMPARE(h.listed(BrowseList::Registered).size(), 3);
        h.checker().copyList(BrowseList::Registered);
        QCOMPARE(h.clipboard.text, QStringLiteral("one.com\r\ntwo.com\r\nthree.com\r\n"));

        h.checker().deleteEntry(BrowseList::Registered, 1);
        QCOMPARE(h.listed(BrowseList::Registered),
                 QStringList({QStringLiteral("one.com"), QStringLiteral("three.com")}));
        QCOMPARE(h.checker().label(BrowseList::Registered), QStringLiteral("Registered (2)"));
        h.checker().deleteEntry(BrowseList::Registered, 7); // no such row
        QCOMPARE(h.listed(BrowseList::Registered).size(), 2);

        h.checker().openEntry(BrowseList::Registered, 1);
        QCOMPARE(h.opener.addresses, QStringList{core::purchaseLink(QStringLiteral("three.com"))});
        QCOMPARE(h.lists.selectedDomain(), QStringLiteral("three.com"));
        h.lists.setPurchaseLinkOn(false);
        QSignalSpy whois(&h.lists, &core::ResultLists::whoisRequested);
        h.checker().openEntry(BrowseList::Registered, 0);
        QCOMPARE(whois.size(), 1);
        QCOMPARE(whois.at(0).at(0).toString(), QStringLiteral("one.com"));

        h.checker().clearList(BrowseList::Registered);
        QVERIFY(h.listed(BrowseList::Registered).isEmpty());
        QCOMPARE(h.checker().label(BrowseList::Registered), QStringLiteral("Registered"));
        QCOMPARE(h.lists.counter(core::ListId::Registered), 0);
        h.checker().copyList(BrowseList::Registered);
        QCOMPARE(h.clipboard.text, QString());
    }

    // --- extraction from the event loop, frames, hostile pages ---

    void extractionRunsFromTheEventLoopAndDocumentsMayOverlap()
    {
        Harness h;
        h.session->open();
        h.session->documentComplete(View::Page,
                                    pageOf({QStringLiteral("first.com"), QStringLiteral("shared.net")}));
        QVERIFY(h.session->isExtracting());
        QVERIFY(!QFile::exists(h.queueFile()));
        h.session->documentComplete(View::Frames,
                                    pageOf({QStringLiteral("shared.net"), QStringLiteral("second.com")}));
        QSignalSpy finished(h.session.get(), &browse::BrowseSession::extractionFinished);
        h.scheduler.runDue();
        QVERIFY(!h.session->isExtracting());
        QCOMPARE(finished.size(), 2);
        QCOMPARE(h.queueText(), QByteArray("first.com\r\nshared.net\r\n\r\nsecond.com\r\n\r\n"));
    }

    void framesAreFollowedOneAtATimeAndBounded()
    {
        Harness h;
        h.session->open();
        QSignalSpy requested(h.session.get(), &browse::BrowseSession::frameRequested);
        QString frameset = QStringLiteral("<frameset>");
        for (int i = 0; i < 40; ++i)
            frameset += QStringLiteral("\n<frame src=\"http://127.0.0.1:9/f%1.html\">\n").arg(i % 30);
        frameset += QStringLiteral("<frame src=\"file:///etc/hosts\">\n</frameset>");
        h.load(frameset);
        QCOMPARE(requested.size(), 1);
        QCOMPARE(requested.at(0).at(0).toUrl(), QUrl(QStringLiteral("http://127.0.0.1:9/f0.html")));
        QCOMPARE(h.panel(BrowsePanel::Page), QStringLiteral("No Domains Found"));

        // Each frame that completes sends the second view to the next; a frame page that
        // names more frames adds to the same budget.
        for (int i = 0; i < 100 && !h.session->pendingFrames().isEmpty(); ++i) {
            h.session->documentComplete(
                View::Frames, QStringLiteral("<frame src=\"http://127.0.0.1:9/deeper%1.html\">\n").arg(i));
            h.scheduler.runDue();
        }
        h.session->documentComplete(View::Frames, pageOf({QStringLiteral("inframe.com")}));
        h.scheduler.runDue();
        QCOMPARE(requested.size(), browse::BrowseSession::kMaxFramesPerPage);
        QCOMPARE(h.checker().readQueuedName(0), QStringLiteral("inframe.com"));
        for (const QList<QVariant> &call : requested)
            QCOMPARE(call.at(0).toUrl().scheme(), QStringLiteral("http"));

        // A new page starts a new budget; a frame that never loads is given up.
        h.load(QStringLiteral("<frameset>\n<frame src=\"http://127.0.0.1:9/new.html\">\n"
                              "<frame src=\"http://127.0.0.1:9/two.html\">\n</frameset>"));
        QCOMPARE(requested.size(), browse::BrowseSession::kMaxFramesPerPage + 1);
        QCOMPARE(requested.last().at(0).toUrl(), QUrl(QStringLiteral("http://127.0.0.1:9/new.html")));
        h.scheduler.advance(browse::BrowseSession::kFrameWaitMs);
        QCOMPARE(requested.size(), browse::BrowseSession::kMaxFramesPerPage + 2);
    }

    void frameUrlTakesWebAddressesOnly_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("url");
        QTest::newRow("without scheme") << "www.example.com/frame.html"
                                        << "http://www.example.com/frame.html";
        QTest::newRow("with port") << "127.0.0.1:8080/a"
                                   << "http://127.0.0.1:8080/a";
        QTest::newRow("local file") << "file:/etc/passwd"
                                    << "";
        QTest::newRow("script") << "javascript:alert(1)"
                                << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void frameUrlTakesWebAddressesOnly()
    {
        QFETCH(QString, address);
        QFETCH(QString, url);
        QCOMPARE(browse::BrowseSession::frameUrl(address).toString(), url);
    }

    void hostilePagesEndWithoutHarm_data()
    {
        QTest::addColumn<QString>("markup");
        QTest::addColumn<qsizetype>("names");
        QString binary;
        for (int i = 0; i < 200000; ++i)
            binary += QChar(char16_t((i * 7919) % 0xd7ff));
        QTest::newRow("binary") << binary << qsizetype(-1);
        QTest::newRow("one endless line") << QString(3 << 20, u'a') + QStringLiteral(".com") << qsizetype(0);
        // A name past the markup cap is never seen.
        QTest::newRow("name beyond the cap")
            << QString(browse::BrowseSession::kMaxMarkupChars, u' ') + QStringLiteral(" beyond.com ")
            << qsizetype(0);
        QTest::newRow("nul characters")
            << QString(1000, QChar(0)) + QStringLiteral(" nul.com ") << qsizetype(1);
    }
    void hostilePagesEndWithoutHarm()
    {
        QFETCH(QString, markup);
        QFETCH(qsizetype, names);
        Harness h;
        h.session->open();
        QSignalSpy finished(h.session.get(), &browse::BrowseSession::extractionFinished);
        h.load(markup);
        QCOMPARE(finished.size(), 1);
        if (names >= 0)
            QCOMPARE(finished.at(0).at(1).value<qsizetype>(), names);
        QVERIFY(!h.session->isExtracting());
    }

    void tooManyWaitingDocumentsQueueWhatTheyFound()
    {
        Harness h;
        h.session->open();
        for (int i = 0; i < int(browse::BrowseSession::kMaxPendingExtractions) + 2; ++i)
            h.session->documentComplete(View::Page, pageOf({QStringLiteral("page%1.com").arg(i)}));
        h.scheduler.runDue();
        QCOMPARE(h.session->found().foundTotal(), 4);
        // Two documents were dropped before a line of them was read; the rest are queued.
        const QString queued = QString::fromLatin1(h.queueText());
        QVERIFY(queued.contains(QStringLiteral("page5.com")));
        QVERIFY(!queued.contains(QStringLiteral("page0.com")));
    }

    void seenNamesAreBoundedUntilTheUnregisteredListIsCleared()
    {
        Harness h;
        h.session->setMaxSeenNames(50);
        h.session->open();
        QStringList many;
        for (int i = 0; i < 500; ++i)
            many << QStringLiteral("bulk%1x.com").arg(i);
        h.load(pageOf(many));
        const qint32 taken = h.session->found().foundTotal();
        QVERIFY(taken >= 50 && taken < 500);
        QCOMPARE(h.checker().readQueuedName(taken - 1), QStringLiteral("bulk%1x.com").arg(taken - 1));
        QVERIFY(!h.session->isExtracting());

        h.load(pageOf({QStringLiteral("another.com")}));
        QCOMPARE(h.session->found().foundTotal(), taken);
        h.checker().clearList(BrowseList::Unregistered);
        h.load(pageOf({QStringLiteral("another.com")}));
        QCOMPARE(h.session->found().foundTotal(), taken + 1);
    }

    void pageLoadStartedResetsThePageCount()
    {
        Harness h;
        h.session->open();
        h.load(pageOf({QStringLiteral("counted.com")}));
        QCOMPARE(h.session->found().foundOnPage(), 1);
        h.session->pageLoadStarted();
        QCOMPARE(h.session->found().foundOnPage(), 0);
        QCOMPARE(h.panel(BrowsePanel::Page), QStringLiteral("Waiting for page to load"));
    }

    void clearCacheDeletesTheListBuildersScratchFile()
    {
        Harness h;
        QVERIFY(!h.session->clearCache());
        h.folder.write(QStringLiteral("SearchOutput.txt"), "stale.com\r\n");
        QVERIFY(h.session->clearCache());
        QVERIFY(!h.folder.exists(QStringLiteral("SearchOutput.txt")));
    }

    // --- addresses ---

    void marketplaceButtonsGoWhereTheirCaptionsSay_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("address");
        QTest::newRow("Sedo") << "Sedo" << browse::kSedoAddress;
        QTest::newRow("Expired Traffic") << "Expired Traffic" << browse::kExpiredTrafficAddress;
        QTest::newRow("Deleted Domains") << "Deleted Domains" << browse::kDeletedDomainsAddress;
        QTest::newRow("Just Dropped") << "Just Dropped" << browse::kJustDroppedAddress;
        QTest::newRow("AfterNIC") << "AfterNIC" << browse::kAfterNicAddress;
        QTest::newRow("DMOZ") << "DMOZ" << browse::kDmozAddress;
        QTest::newRow("Google") << "Google" << browse::kGoogleAddress;
        QTest::newRow("Yahoo") << "Yahoo" << browse::kYahooAddress;
        QTest::newRow("afternic before sedo") << "sedo afternic" << browse::kAfterNicAddress;
        QTest::newRow("sedo before dmoz") << "DMOZ and SEDO" << browse::kSedoAddress;
        QTest::newRow("unknown") << "Bing" << QString();
    }
    void marketplaceButtonsGoWhereTheirCaptionsSay()
    {
        QFETCH(QString, caption);
        QFETCH(QString, address);
        QCOMPARE(browse::marketplaceAddress(caption), address);
        if (browse::marketplaceCaptions().contains(caption)) {
            QVERIFY(address.startsWith(QStringLiteral("http")));
        }
    }

    void marketplaceAddressesCarryOurNumbers()
    {
        QVERIFY(browse::kAfterNicAddress.contains(QStringLiteral("/index.php?ref_id=") +
                                                  browse::kAfterNicReferral));
        QVERIFY(browse::kSedoAddress.contains(QStringLiteral("/main.php3?language=us&partnerid=") +
                                              browse::kSedoPartner));
        QVERIFY(browse::kExpiredTrafficAddress.endsWith(browse::kExpiredTrafficTag));
        QCOMPARE(browse::marketplaceCaptions().size(), 8);
    }
};

QTEST_GUILESS_MAIN(TestBrowseChecker)
#include "tst_browsechecker.moc"
