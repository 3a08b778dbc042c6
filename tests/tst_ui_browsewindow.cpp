#include "FakeHttpServer.h"
#include "FakeNotice.h"
#include "FakePorts.h"
#include "FakeWhoisServer.h"
#include "TestFolder.h"
#include "browse/BrowseAddresses.h"
#include "browse/BrowseCounts.h"
#include "config/AppState.h"
#include "config/ProgramFolder.h"
#include "core/lists/ListRules.h"
#include "core/lists/ResultLists.h"
#include "platform/widgets/WebPageView.h"
#include "ui/BrowseWindow.h"
#include "ui/DesktopPorts.h"
#include "ui/MainWindow.h"
#include "ui/MainWindowWiring.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMutex>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QStringListModel>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInterceptor>
#include <QtTest>

using namespace wendlecott;
using browse::BrowseList;

namespace {

constexpr int kWaitMs = 30000; // bound of every wait on the web view and the sockets

// Every request the web views make goes through here: requests to 127.0.0.1 pass, every
// other one is recorded and refused before it leaves the program.
class LoopbackOnly final : public QWebEngineUrlRequestInterceptor {
public:
    void interceptRequest(QWebEngineUrlRequestInfo &info) override
    {
        const QUrl url = info.requestUrl();
        if (url.host() == QLatin1String("127.0.0.1") || url.scheme() == QLatin1String("data"))
            return;
        info.block(true);
        const QMutexLocker lock(&m_mutex);
        m_refused.append(url.toString());
    }
    QStringList refused()
    {
        const QMutexLocker lock(&m_mutex);
        return m_refused;
    }

private:
    QMutex m_mutex;
    QStringList m_refused;
};

LoopbackOnly &loopbackOnly()
{
    static LoopbackOnly interceptor;
    return interceptor;
}

struct Fixture {
    Fixture()
    {
        program = folder.file(QStringLiteral("program"));
        QDir().mkpath(program);
    }

    // .com and .net answered by the fake whois server, without a pause.
    void pointTldsAt(quint16 port)
    {
        const QByteArray row = "|127.0.0.1|" + QByteArray::number(port) + "|Enabled|0|No match\r\n";
        folder.write(QStringLiteral("program/TLDs.txt"), "com" + row + "\r\nnet" + row + "\r\n");
    }

    config::AppState &makeState()
    {
        config::AppPorts ports;
        auto fakeNotice = std::make_unique<testing::FakeNotice>();
        notice = fakeNotice.get();
        ports.notice = std::move(fakeNotice);
        auto fakeOpener = std::make_unique<testing::FakeOpener>();
        opener = fakeOpener.get();
        ports.opener = std::move(fakeOpener);
        auto fakeClipboard = std::make_unique<testing::FakeClipboard>();
        clipboard = fakeClipboard.get();
        ports.clipboard = std::move(fakeClipboard);
        state = std::make_unique<config::AppState>(
            config::ProgramFolder(program),
            ui::desktopPorts(std::move(ports), folder.file(QStringLiteral("settings"))));
        (void)state->open();
        return *state;
    }

    ui::BrowseWindow &openWindow(const QString &home)
    {
        makeState();
        window = std::make_unique<ui::BrowseWindow>(*state, nullptr, home);
        window->resize(1000, 700);
        window->show();
        return *window;
    }

    template <typename T = QWidget> T *child(const QString &name) const
    {
        return window->findChild<T *>(name);
    }
    QStringList listed(BrowseList list) { return window->session().checker().model(list)->stringList(); }
    QString panel(int i) const { return child<QLabel>(QStringLiteral("Panel%1").arg(i))->text(); }
    bool exists(const QString &name) const { return folder.exists(QStringLiteral("program/") + name); }

    testing::TestFolder folder;
    QString program;
    testing::FakeNotice *notice = nullptr;
    testing::FakeOpener *opener = nullptr;
    testing::FakeClipboard *clipboard = nullptr;
    std::unique_ptr<config::AppState> state;
    std::unique_ptr<ui::BrowseWindow> window;
};

const QByteArray kNamesPage = "<html><head><title>Names page</title></head><body>"
                              "<p>Visit <a href=\"http://www.freename.com/shop\">the shop</a> today.</p>"
                              "<p>Write to sales@takenname.net for more.</p>"
                              "<p>Nothing at 127.0.0.1 here.</p></body></html>";
const QByteArray kFramesPage = "<html><head><title>Frames</title></head><frameset cols=\"50%,50%\">"
                               "<frame src=\"left.html\"><frame src=\"/right.html\"></frameset></html>";

} // namespace

class TestBrowseWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QApplication::setApplicationName(QStringLiteral("WendlecottTest"));
        QWebEngineProfile::defaultProfile()->setUrlRequestInterceptor(&loopbackOnly());
    }

    void controlsHaveTheirCaptionsAndTooltips()
    {
        Fixture f;
        ui::BrowseWindow &w = f.openWindow(QStringLiteral("about:blank"));
        QCOMPARE(w.objectName(), QStringLiteral("Form5"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Browse for Domains"));
        QVERIFY(f.child<platform::WebPageView>(QStringLiteral("WebBrowser1")));
        QVERIFY(f.child<platform::WebPageView>(QStringLiteral("WebBrowser2")));
        auto *address = f.child<QComboBox>(QStringLiteral("text1"));
        QVERIFY(address && address->isEditable());
        QCOMPARE(f.child<QPushButton>(QStringLiteral("Command1"))->toolTip(),
                 QStringLiteral("Navigate to the current url!"));
        const QList<QPair<const char *, const char *>> navigation = {
            {"cmdBack", "Go Back"},    {"cmdFwd", "Go Forward"}, {"cmdHome", "Home"},
            {"cmdRefresh", "Refresh"}, {"cmdStop", "Stop"},      {"Command3", "Clear Cache"}};
        for (const auto &[name, caption] : navigation)
            QCOMPARE(f.child<QPushButton>(QLatin1String(name))->text(), QLatin1String(caption));
        QCOMPARE(
            f.child<QPushButton>(QStringLiteral("Command3"))->toolTip(),
            QStringLiteral("If you notice the program has stopped checking domains, please click here to "
                           "correct the problem"));
        QCOMPARE(f.child<QLabel>(QStringLiteral("Label1"))->text(), QStringLiteral("Unregistered:"));
        QCOMPARE(f.child<QLabel>(QStringLiteral("Label2"))->text(), QStringLiteral("Registered:"));
        QCOMPARE(f.child<QListView>(QStringLiteral("List1"))->toolTip(),
                 QStringLiteral("These domain names have not been registered."));
        QVERIFY(f.child<QListView>(QStringLiteral("List2")));
        for (int index : {1, 2}) {
            const QString n = QString::number(index);
            QCOMPARE(f.child<QPushButton>(QStringLiteral("cmdClear_") + n)->text(), QStringLiteral("Clear"));
            QCOMPARE(f.child<QPushButton>(QStringLiteral("cmdClear_") + n)->toolTip(),
                     QStringLiteral("Clear List"));
            QCOMPARE(f.child<QPushButton>(QStringLiteral("cmdClear2_") + n)->text(), QStringLiteral("Del"));
            QCOMPARE(f.child<QPushButton>(QStringLiteral("cmdClear2_") + n)->toolTip(),
                     QStringLiteral("Delete Selected Item"));
            QCOMPARE(f.child<QPushButton>(QStringLiteral("cmdCopy_") + n)->text(), QStringLiteral("Copy"));
            QCOMPARE(f.child<QPushButton>(QStringLiteral("cmdCopy_") + n)->toolTip(),
                     QStringLiteral("Copy List"));
        }
        QStringList markets;
        for (int i = 0; i < 8; ++i)
            markets << f.child<QPushButton>(QStringLiteral("Command2_%1").arg(i))->text();
        QCOMPARE(markets, QStringList({QStringLiteral("Sedo"), QStringLiteral("Expired Traffic"),
                                       QStringLiteral("Deleted Domains"), QStringLiteral("Just Dropped"),
                                       QStringLiteral("AfterNIC"), QStringLiteral("DMOZ"),
                                       QStringLiteral("Google"), QStringLiteral("Yahoo")}));
        QCOMPARE(f.child<QStatusBar>(QStringLiteral("StatusBar1"))->findChildren<QLabel *>().size(), 3);
    }

    void ownCountText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("checked") << "Checked 17 unique domains."
                                 << "Checked 5 unique domains.";
        QTest::newRow("unregistered") << "Unregistered: (12)"
                                      << "Unregistered: (5)";
        QTest::newRow("registered, negative") << "Registered: (-3)"
                                              << "Registered: (5)";
        QTest::newRow("a name, untouched") << "Unregistered: 12.com"
                                           << "Unregistered: 12.com";
        QTest::newRow("uncounted") << "Registered"
                                   << "Registered";
    }
    void ownCountText()
    {
        QFETCH(QString, text);
        QTEST(browse::withOwnCount(text, 5), "expected");
    }

    // The whole way: a loopback page is loaded, its names are found, asked about at the
    // loopback whois server and filed into the main lists and the window's own; a frame set
    // sends the second view to its frames, whose names are filed as well.
    void browsedNamesAreCheckedAndFiled()
    {
        testing::FakeWhoisServer whois;
        QVERIFY(whois.start());
        whois.answer(QStringLiteral("freename.com"), "No match for \"FREENAME.COM\".\r\n");
        whois.answer(QStringLiteral("takenname.net"), "Domain Name: TAKENNAME.NET\r\nRegistrar: Test\r\n");
        whois.answer(QStringLiteral("leftframe.com"), "No match\r\n");
        whois.answer(QStringLiteral("rightframe.net"), "No match\r\n");
        testing::FakeHttpServer http;
        QVERIFY(http.start());
        http.answer(QStringLiteral("/names.html"), 200, kNamesPage);
        http.answer(QStringLiteral("/frames.html"), 200, kFramesPage);
        http.answer(QStringLiteral("/left.html"), 200, "<html><body>See leftframe.com</body></html>");
        http.answer(QStringLiteral("/right.html"), 200, "<html><body>See rightframe.net</body></html>");

        Fixture f;
        f.pointTldsAt(whois.port());
        f.folder.write(QStringLiteral("program/BrowserSearch.txt"), "stale.com\r\n");
        ui::BrowseWindow &w = f.openWindow(http.url(QStringLiteral("/names.html")));
        QVERIFY(!f.exists(QStringLiteral("BrowserSearch.txt"))); // the old queue went when the window opened

        QTRY_COMPARE_WITH_TIMEOUT(f.listed(BrowseList::Unregistered),
                                  QStringList{QStringLiteral("freename.com")}, kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(f.listed(BrowseList::Registered),
                                  QStringList{QStringLiteral("takenname.net")}, kWaitMs);
        core::ResultLists &lists = f.state->lists();
        QCOMPARE(lists.entries(core::ListId::High) + lists.entries(core::ListId::Mid) +
                     lists.entries(core::ListId::Low),
                 QStringList{QStringLiteral("freename.com")});
        QCOMPARE(lists.entries(core::ListId::Registered), QStringList{QStringLiteral("takenname.net")});
        QCOMPARE(f.child<QLabel>(QStringLiteral("Label1"))->text(), QStringLiteral("Unregistered: (1)"));
        QCOMPARE(f.child<QLabel>(QStringLiteral("Label2"))->text(), QStringLiteral("Registered: (1)"));
        QTRY_COMPARE_WITH_TIMEOUT(w.windowTitle(), QStringLiteral("Names page - Wendlecott"), kWaitMs);
        QCOMPARE(f.child<QComboBox>(QStringLiteral("text1"))->currentText(),
                 http.url(QStringLiteral("/names.html")));
        QCOMPARE(f.folder.read(QStringLiteral("program/BrowserSearch.txt")),
                 QByteArray("freename.com\r\ntakenname.net\r\n\r\n"));
        QTRY_COMPARE_WITH_TIMEOUT(f.panel(1), QStringLiteral("Checked 2 unique domains."), kWaitMs);
        // A name the main window's run files meanwhile is not one this window checked.
        lists.addAvailable(QStringLiteral("mainrun.com"));

        // Typed into the address box: Enter navigates and keeps the address once.
        auto *address = f.child<QComboBox>(QStringLiteral("text1"));
        address->setEditText(http.url(QStringLiteral("/frames.html")));
        QTest::keyClick(address->lineEdit(), Qt::Key_Return);
        QTest::keyClick(address->lineEdit(), Qt::Key_Return);
        QCOMPARE(address->count(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(f.listed(BrowseList::Unregistered).size() == 3, kWaitMs);
        QCOMPARE(f.listed(BrowseList::Unregistered),
                 QStringList({QStringLiteral("freename.com"), QStringLiteral("leftframe.com"),
                              QStringLiteral("rightframe.net")}));
        QVERIFY(w.frameView()->url().toString().endsWith(QStringLiteral("/right.html")));
        QCOMPARE(f.notice->blockedShown, 0);
        QCOMPARE(f.child<QLabel>(QStringLiteral("Label1"))->text(), QStringLiteral("Unregistered: (3)"));
        QTRY_COMPARE_WITH_TIMEOUT(f.panel(1), QStringLiteral("Checked 4 unique domains."), kWaitMs);

        // Keys in the lists: Delete removes the current entry, Shift+Delete clears the list.
        auto *list1 = f.child<QListView>(QStringLiteral("List1"));
        list1->setCurrentIndex(list1->model()->index(1, 0));
        QTest::keyClick(list1, Qt::Key_Delete);
        QCOMPARE(f.listed(BrowseList::Unregistered),
                 QStringList({QStringLiteral("freename.com"), QStringLiteral("rightframe.net")}));
        QCOMPARE(f.child<QLabel>(QStringLiteral("Label1"))->text(), QStringLiteral("Unregistered (2)"));
        f.child<QPushButton>(QStringLiteral("cmdCopy_1"))->click();
        QCOMPARE(f.clipboard->text, QStringLiteral("freename.com\r\nrightframe.net\r\n"));
        QTest::keyClick(list1, Qt::Key_Delete, Qt::ShiftModifier);
        QVERIFY(f.listed(BrowseList::Unregistered).isEmpty());
        QCOMPARE(f.child<QLabel>(QStringLiteral("Label1"))->text(), QStringLiteral("Unregistered"));

        // Nothing left the machine.
        QVERIFY2(loopbackOnly().refused().isEmpty(), qPrintable(loopbackOnly().refused().join(u' ')));
        w.close();
        QVERIFY(!f.exists(QStringLiteral("BrowserSearch.txt")));
    }

    void marketplaceButtonsOpenInTheWindowsOwnView()
    {
        Fixture f;
        ui::BrowseWindow &w = f.openWindow(QStringLiteral("about:blank"));
        const qsizetype before = loopbackOnly().refused().size();
        f.child<QPushButton>(QStringLiteral("Command2_0"))->click(); // Sedo
        QTRY_VERIFY_WITH_TIMEOUT(loopbackOnly().refused().size() > before, kWaitMs);
        QCOMPARE(loopbackOnly().refused().at(before), QUrl(browse::kSedoAddress).toString());
        QVERIFY(f.opener->addresses.isEmpty()); // not the user's own browser
        w.close();
    }

    void mainWindowOpensOneBrowseWindowFromItsSource()
    {
        Fixture f;
        config::AppState &state = f.makeState();
        ui::MainWindow main(state);
        ui::attachCompanionWindows(main, state);
        QAction *browseItem = main.menuBar()->findChild<QMenu *>(QStringLiteral("mnuTools"))->actions().at(0);
        QVERIFY(browseItem->isEnabled());
        browseItem->trigger();
        QPointer<ui::BrowseWindow> browser = main.findChild<ui::BrowseWindow *>(QStringLiteral("Form5"));
        QVERIFY(browser);
        QVERIFY(browser->isVisible());
        QVERIFY(browser->windowState() & Qt::WindowMaximized);
        QCOMPARE(browser->homePage(), browse::kHomePage);
        browseItem->trigger();
        QCOMPARE(main.findChildren<ui::BrowseWindow *>().size(), 1);
        // Closing it deletes it; the next choice opens a new one.
        browser->close();
        QTRY_VERIFY(!browser);
        browseItem->trigger();
        browser = main.findChild<ui::BrowseWindow *>(QStringLiteral("Form5"));
        QVERIFY(browser);
        // Shutdown closes it with the main window.
        main.close();
        QTRY_VERIFY(!browser);
    }
};

int main(int argc, char *argv[])
{
    // No host name is ever looked up: the web engine reaches 127.0.0.1 only.
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    flags += " --host-resolver-rules=\"MAP * ~NOTFOUND, EXCLUDE 127.0.0.1\" --dns-prefetch-disable";
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestBrowseWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ui_browsewindow.moc"
