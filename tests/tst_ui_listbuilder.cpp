#include "FakeConnection.h"
#include "FakeHttpClient.h"
#include "FakeNotice.h"
#include "FakeScheduler.h"
#include "MemorySettingsStore.h"
#include "TestAppState.h"
#include "TestFolder.h"
#include "config/AppState.h"
#include "config/SettingsKeys.h"
#include "core/run/CheckRun.h"
#include "ui/ListBuilderWindow.h"
#include "ui/MainWindow.h"
#include "ui/MainWindowWiring.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStandardItemModel>
#include <QtTest>

using namespace wendlecott;

namespace {

constexpr int kGoogleItem = 3;
constexpr int kYahooItem = 2;
constexpr int kTwoLetterItem = 5;

// The main window as main wires it, over a fake clock, fake fetches and fake whois
// connections, so that nothing leaves the process.
struct Fixture {
    Fixture()
    {
        program = folder.file(QStringLiteral("program"));
        QDir().mkpath(program);
        settings.set(config::keys::FirstUse, QStringLiteral("NO"));
        settings.set(config::keys::ShowHelp, QStringLiteral("0"));
        config::AppPorts ports;
        ports.settings = std::make_unique<testing::BorrowedSettings>(settings);
        auto fakeNotice = std::make_unique<testing::FakeNotice>();
        notice = fakeNotice.get();
        ports.notice = std::move(fakeNotice);
        auto fakeScheduler = std::make_unique<testing::FakeScheduler>();
        scheduler = fakeScheduler.get();
        ports.scheduler = std::move(fakeScheduler);
        auto fakeHttp = std::make_unique<testing::FakeHttpClient>();
        http = fakeHttp.get();
        ports.http = std::move(fakeHttp);
        ports.connections = [] { return std::make_unique<testing::FakeConnection>(); };
        state = std::make_unique<config::AppState>(config::ProgramFolder(program), std::move(ports));
        window = std::make_unique<ui::MainWindow>(*state);
        ui::attachCompanionWindows(*window, *state);
    }

    template <typename T = QWidget> T *child(const char *name) const
    {
        return window->findChild<T *>(QString::fromLatin1(name));
    }
    QAction *toolsItem(int index) const
    {
        return window->menuBar()->findChild<QMenu *>(QStringLiteral("mnuTools"))->actions().at(index);
    }
    ui::ListBuilderWindow *form() const
    {
        return window->findChild<ui::ListBuilderWindow *>(QStringLiteral("Form3"));
    }

    // Chooses the engine, types the query, picks the target and presses "Search".
    ui::ListBuilderWindow *search(int engineItem, const QString &query, int target = 0)
    {
        toolsItem(engineItem)->trigger();
        child<QLineEdit>("txtSearch")->setText(query);
        child<QComboBox>("Combo2")->setCurrentIndex(target);
        child<QPushButton>("cmdCreate")->click();
        return form();
    }
    void answerPage(const QByteArray &page)
    {
        http->last()->respond(200, page);
        scheduler->advance(state->timing().listBuilderPageWaitMs);
    }
    QByteArray file(const QString &name) const { return folder.read(QStringLiteral("program/") + name); }

    testing::TestFolder folder;
    QString program;
    testing::MemorySettingsStore settings;
    testing::FakeNotice *notice = nullptr;
    testing::FakeScheduler *scheduler = nullptr;
    testing::FakeHttpClient *http = nullptr;
    std::unique_ptr<config::AppState> state;
    std::unique_ptr<ui::MainWindow> window;
};

const QByteArray kThreeSites =
    "<a href=\"http://www.alpha-site.com/x\">a</a>\n"
    "<a href=\"http://www.beta-site.com/\">b</a> <a href=\"http://www.gamma-site.com\">c</a>\n";

} // namespace

class TestListBuilderWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void searchSourcesAreOffered()
    {
        Fixture f;
        auto *model = qobject_cast<QStandardItemModel *>(f.child<QComboBox>("Combo1")->model());
        for (int item : {kYahooItem, kGoogleItem}) {
            QVERIFY(model->item(item)->isEnabled());
            QVERIFY(f.toolsItem(item)->isEnabled());
            QCOMPARE(f.toolsItem(item)->toolTip(), model->item(item)->text());
        }
        QCOMPARE(f.child<QPushButton>("cmdCreate")->toolTip(),
                 QStringLiteral("Click here to start your internet search!"));
    }

    // "Search" opens one Form3 with its texts, which asks for the first page at its third tick.
    void searchOpensTheListBuilder()
    {
        Fixture f;
        f.settings.set(config::keys::GoogleSearchScheme, QStringLiteral("http"));
        f.settings.set(config::keys::GoogleSearchHost, QStringLiteral("127.0.0.1:8080"));
        ui::ListBuilderWindow *form = f.search(kGoogleItem, QStringLiteral("red widget"), 1);
        QVERIFY(form);
        QVERIFY(form->isVisible());
        QCOMPARE(form->windowTitle(), QStringLiteral("List Builder - Finding domain names..."));
        QCOMPARE(form->findChild<QLabel *>(QStringLiteral("Label1"))->text(),
                 QStringLiteral("Extracting Domains from search results.  Please be patient."));
        auto *status = form->findChild<QLineEdit *>(QStringLiteral("text1"));
        QCOMPARE(status->text(), QStringLiteral("Status..."));
        QCOMPARE(status->toolTip(),
                 QStringLiteral("This shows the number of unique .com, .org and .net domain names found."));
        QCOMPARE(form->builder().request().target, 200);
        QCOMPARE(form->builder().request().engine, sources::SearchEngine::Google);

        f.child<QPushButton>("cmdCreate")->click();
        QCOMPARE(f.window->findChildren<ui::ListBuilderWindow *>().size(), 1);

        f.scheduler->advance(2 * f.state->timing().tickMs);
        QCOMPARE(f.http->requests.size(), 0);
        f.scheduler->advance(f.state->timing().tickMs);
        QCOMPARE(f.http->requests.size(), 1);
        QCOMPARE(QString::fromLatin1(f.http->requests.first().url.toEncoded()),
                 QStringLiteral("http://127.0.0.1:8080/search?num=100&hl=en&lr=&ie=UTF-8&oe=UTF-8&safe=off"
                                "&filter=0&start=0&sa=N&q=red+widget"));
        f.http->last()->respond(200, QByteArray(300, ' '), {}, 100);
        QCOMPARE(status->text(), QStringLiteral("Downloaded 300 bytes."));
    }

    // At the end the list is written, the window goes, the message tells the count and the
    // check run starts from the list's first name, as Start starts it.
    void finishedListIsChecked()
    {
        Fixture f;
        f.settings.set(config::keys::YahooWordNum, QStringLiteral("7"));
        QPointer<ui::ListBuilderWindow> form = f.search(kYahooItem, QStringLiteral("red widget"));
        f.child<QLineEdit>("txtWordNum")->setText(QStringLiteral("2"));
        f.scheduler->advance(3 * f.state->timing().tickMs);
        f.answerPage(kThreeSites);
        QVERIFY(f.window->run().isRunning() == false);
        f.answerPage({});

        QCOMPARE(f.file(QStringLiteral("BrowserSearch.txt")),
                 QByteArray("alpha-site.com\r\nbeta-site.com\r\ngamma-site.com\r\n\r\n"));
        // Start-up made the folder as "searches"; the copy goes into it.
        QCOMPARE(f.file(QStringLiteral("searches/Yahoo red widget.txt")),
                 f.file(QStringLiteral("BrowserSearch.txt")));
        QCOMPARE(f.notice->messages.size(), 1);
        QCOMPARE(f.notice->messages.first().text,
                 QStringLiteral("List of 3 unique domains was created successfully!"));
        QCOMPARE(f.child<QLineEdit>("txtWordMax")->text(), QStringLiteral("3"));
        QCOMPARE(f.child<QLineEdit>("txtWordNum")->text(), QStringLiteral("1"));
        QVERIFY(f.window->run().isRunning());
        QVERIFY(!f.child<QPushButton>("cmdDoSearch")->isEnabled());
        QVERIFY(f.child<QPushButton>("Command3")->isEnabled());
        QVERIFY(!form || !form->isVisible());
        QTRY_VERIFY(!form);
    }

    // The list just built is the one checked, even when another source was chosen meanwhile;
    // a run that is already going is not disturbed.
    void builtListIsCheckedWhateverTheSourceNow()
    {
        Fixture f;
        f.search(kGoogleItem, QStringLiteral("gardens"));
        f.scheduler->advance(3 * f.state->timing().tickMs);
        f.toolsItem(kTwoLetterItem)->trigger();
        QCOMPARE(f.child<QComboBox>("Combo1")->currentText(), QStringLiteral("All Two Letter"));
        f.answerPage(kThreeSites);
        f.answerPage({});
        QCOMPARE(f.child<QComboBox>("Combo1")->currentText(), QStringLiteral("Google Search"));
        QCOMPARE(QFileInfo(f.window->listPath()).fileName(), QStringLiteral("BrowserSearch.txt"));
        QCOMPARE(f.child<QLineEdit>("txtWordMax")->text(), QStringLiteral("3"));
        QVERIFY(f.window->run().isRunning());
    }

    // A run the user started while the list was built may be reading BrowserSearch.txt: the
    // finished list is not written under it. The user is asked: Cancel leaves the run alone
    // and checks the new list when it ends; OK stops the run and checks the new list at once.
    void aRunAlreadyGoingKeepsItsList_data()
    {
        QTest::addColumn<bool>("stopNow");
        QTest::newRow("when the run ends") << false;
        QTest::newRow("stop it now") << true;
    }
    void aRunAlreadyGoingKeepsItsList()
    {
        QFETCH(bool, stopNow);
        Fixture f;
        const QByteArray old = "old-one.com\r\nold-two.com\r\n";
        f.folder.write(QStringLiteral("program/BrowserSearch.txt"), old);
        QPointer<ui::ListBuilderWindow> form = f.search(kGoogleItem, QStringLiteral("gardens"));
        f.child<QLineEdit>("txtWordMax")->setText(QStringLiteral("2"));
        f.child<QPushButton>("cmdDoSearch")->click();
        QVERIFY(f.window->run().isRunning());
        QSignalSpy stopped(&f.window->run(), &core::CheckRun::stopped);
        f.scheduler->advance(3 * f.state->timing().tickMs);
        f.notice->okCancelAnswer = stopNow;
        f.answerPage("<a href=\"http://www.delta-site.com/\">d</a>\n");
        f.answerPage({});
        QCOMPARE(f.notice->questions.size(), 1);
        QVERIFY(f.notice->questions.first().contains(QStringLiteral("a check run is going")));

        if (!stopNow) {
            QCOMPARE(f.file(QStringLiteral("BrowserSearch.txt")), old);
            QVERIFY(f.notice->messages.isEmpty());
            QVERIFY(f.window->run().isRunning());
            QCOMPARE(stopped.size(), 0);
            QCOMPARE(form->statusText(), sources::ListBuilder::kHeldStatus);
            f.child<QPushButton>("Command3")->click(); // the user's own Stop
        }
        QTRY_COMPARE(f.file(QStringLiteral("BrowserSearch.txt")), QByteArray("delta-site.com\r\n\r\n"));
        QCOMPARE(stopped.size(), 1);
        QCOMPARE(f.notice->messages.size(), 1);
        QCOMPARE(f.notice->messages.first().text,
                 QStringLiteral("List of 1 unique domains was created successfully!"));
        QTRY_VERIFY(f.window->run().isRunning()); // over the new list
        QCOMPARE(f.child<QLineEdit>("txtWordMax")->text(), QStringLiteral("1"));
        QTRY_VERIFY(!form);
    }

    // Closing Form3 while its page is fetched drops the fetch; nothing is written, nothing told,
    // no run started.
    void closingMidFetchAbandonsTheRun()
    {
        Fixture f;
        f.folder.write(QStringLiteral("program/BrowserSearch.txt"), "old.com\r\n");
        QPointer<ui::ListBuilderWindow> form = f.search(kGoogleItem, QStringLiteral("gardens"));
        f.scheduler->advance(3 * f.state->timing().tickMs);
        QPointer<testing::FakeHttpFetch> fetch = f.http->last();
        form->close();
        QVERIFY(!fetch || fetch->isAborted());
        QTRY_VERIFY(!form);
        f.scheduler->advance(60000);
        QCOMPARE(f.file(QStringLiteral("BrowserSearch.txt")), QByteArray("old.com\r\n"));
        QVERIFY(!f.window->run().isRunning());
        QVERIFY(f.notice->messages.isEmpty());
        QCOMPARE(f.http->requests.size(), 1);
        // The next "Search" is a fresh run.
        QVERIFY(f.search(kGoogleItem, QStringLiteral("gardens")));
        f.scheduler->advance(3 * f.state->timing().tickMs);
        QCOMPARE(f.http->requests.size(), 2);
    }

    // Closing the main window closes Form3 with it: its run ends there.
    void shutdownAbandonsTheRun()
    {
        Fixture f;
        QPointer<ui::ListBuilderWindow> form = f.search(kGoogleItem, QStringLiteral("gardens"));
        f.scheduler->advance(3 * f.state->timing().tickMs);
        f.window->close();
        QVERIFY(!form || !form->isVisible());
        QVERIFY(!form || form->builder().phase() == sources::ListBuilder::Phase::Abandoned);
        f.scheduler->advance(60000);
        QVERIFY(f.notice->messages.isEmpty());
        QVERIFY(!f.window->run().isRunning());
    }
};

QTEST_MAIN(TestListBuilderWindow)
#include "tst_ui_listbuilder.moc"
