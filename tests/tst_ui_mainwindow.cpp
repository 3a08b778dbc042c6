#include "FakeNotice.h"
#include "FakePorts.h"
#include "FakeScheduler.h"
#include "FakeWhoisServer.h"
#include "KnotServer.h"
#include "TestFolder.h"
#include "config/AppState.h"
#include "config/SettingsKeys.h"
#include "config/Startup.h"
#include "core/lists/ResultLists.h"
#include "core/lists/UnansweredNames.h"
#include "core/run/CheckRun.h"
#include "platform/IniSettingsStore.h"
#include "ui/AboutWindow.h"
#include "ui/BlockedNotice.h"
#include "ui/DesktopPorts.h"
#include "ui/GeneratorWindow.h"
#include "ui/HelpWindow.h"
#include "ui/MainLayout.h"
#include "ui/MainWindow.h"
#include "ui/MainWindowWiring.h"
#include "ui/OverflowNotice.h"
#include "ui/QtUserNotice.h"
#include "ui/ResultListsView.h"
#include "ui/SetupWindow.h"
#include "ui/SplashWindow.h"
#include "ui/StatusPanel.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTextBrowser>
#include <QToolButton>
#include <QtTest>

using namespace wendlecott;
using core::ListId;
using testing::FakeWhoisServer;

namespace {

using testing::FakeClipboard;
using testing::FakeOpener;

constexpr int kRunWaitMs = 15000; // bound of every wait on a run over real sockets

// A program folder and a settings folder of their own, the main window over them, and fakes
// for everything that would reach the user's desktop.
struct Fixture {
    Fixture()
    {
        program = folder.file(QStringLiteral("program"));
        settingsDir = folder.file(QStringLiteral("settings"));
        QDir().mkpath(program);
    }

    void write(const QString &name, const QByteArray &bytes) const
    {
        folder.write(QStringLiteral("program/") + name, bytes);
    }
    QByteArray read(const QString &name) const { return folder.read(QStringLiteral("program/") + name); }
    bool exists(const QString &name) const { return folder.exists(QStringLiteral("program/") + name); }
    QString path(const QString &name) const { return program + QLatin1Char('/') + name; }

    void setSetting(const config::SettingKey &key, const QString &value) const
    {
        platform::IniSettingsStore store(settingsDir);
        QVERIFY(config::writeSetting(store, key, value).ok());
    }
    QString setting(const config::SettingKey &key) const
    {
        platform::IniSettingsStore store(settingsDir);
        return config::readSetting(store, key, QStringLiteral("<missing>"));
    }
    QByteArray settingsBytes() const
    {
        QByteArray all;
        for (const char *name : {"Wendlecott.ini", "Tarnhollow.ini"})
            all += folder.read(QStringLiteral("settings/") + QLatin1String(name));
        return all;
    }

    // The TLD table with .com and .net served by the fake server, pausing 0 ms.
    void pointTldsAt(quint16 port) const
    {
        const QByteArray row = "|127.0.0.1|" + QByteArray::number(port) + "|Enabled|0|No match\r\n";
        write(QStringLiteral("TLDs.txt"), "com" + row + "\r\nnet" + row + "\r\n");
        setSetting(config::keys::Throttle, QStringLiteral("0"));
        setSetting(config::keys::FirstUse, QStringLiteral("NO"));
    }

    config::AppState &makeContext(bool qtNotice = false, std::unique_ptr<core::Scheduler> scheduler = {})
    {
        config::AppPorts ports;
        if (!qtNotice) {
            auto fakeNotice = std::make_unique<testing::FakeNotice>();
            notice = fakeNotice.get();
            ports.notice = std::move(fakeNotice);
        } else {
            notice = nullptr;
        }
        auto fakeOpener = std::make_unique<FakeOpener>();
        opener = fakeOpener.get();
        ports.opener = std::move(fakeOpener);
        auto fakeClipboard = std::make_unique<FakeClipboard>();
        clipboard = fakeClipboard.get();
        ports.clipboard = std::move(fakeClipboard);
        ports.scheduler = std::move(scheduler);
        context = std::make_unique<config::AppState>(config::ProgramFolder(program),
                                                     ui::desktopPorts(std::move(ports), settingsDir));
        return *context;
    }
    // The notice as windows, when the test did not bring its own.
    ui::QtUserNotice *qtNotice() const { return dynamic_cast<ui::QtUserNotice *>(&context->notice()); }

    ui::MainWindow &open(bool qtNotice = false)
    {
        makeContext(qtNotice);
        window = std::make_unique<ui::MainWindow>(*context);
        window->setOpenFileDialog([this](QWidget *, const QString &dir, const QString &filter) {
            dialogCalls.append({dir, filter});
            return dialogAnswer;
        });
        return *window;
    }

    // A second start of the program over the same folders.
    ui::MainWindow &restart(bool qtNotice = false)
    {
        window.reset();
        context.reset();
        return open(qtNotice);
    }

    template <typename T = QWidget> T *child(const char *name) const
    {
        return window->findChild<T *>(QString::fromLatin1(name));
    }
    QComboBox *combo1() const { return child<QComboBox>("Combo1"); }
    QLineEdit *wordNum() const { return child<QLineEdit>("txtWordNum"); }
    QLineEdit *wordMax() const { return child<QLineEdit>("txtWordMax"); }
    QPushButton *start() const { return child<QPushButton>("cmdDoSearch"); }
    QPushButton *stop() const { return child<QPushButton>("Command3"); }
    QString panel(int i) const { return child<QLabel>(QStringLiteral("Panel%1").arg(i).toLatin1())->text(); }
    QMenu *menu(const char *name) const { return window->menuBar()->findChild<QMenu *>(QLatin1String(name)); }
    QAction *toolsItem(int index) const { return menu("mnuTools")->actions().at(index); }

    testing::TestFolder folder;
    QString program;
    QString settingsDir;
    testing::FakeNotice *notice = nullptr;
    FakeOpener *opener = nullptr;
    FakeClipboard *clipboard = nullptr;
    std::unique_ptr<config::AppState> context;
    std::unique_ptr<ui::MainWindow> window;
    std::optional<QString> dialogAnswer;
    QList<QPair<QString, QString>> dialogCalls;
};

// What a choice of source leaves in the window, for comparing two ways of choosing.
QStringList controlState(const Fixture &f)
{
    QStringList state;
    state << f.combo1()->currentText() << f.window->listPath() << f.wordNum()->text() << f.wordMax()->text();
    for (const char *name : {"wLabel1", "txtWordNum", "txtWordMax", "cmdDoSearch", "Command3", "sLblTLD",
                             "cmbTLDs", "SLabel1", "txtSearch", "SLabel2", "Combo2", "cmdCreate"}) {
        const QWidget *widget = f.child(name);
        state << QStringLiteral("%1 visible=%2 enabled=%3")
                     .arg(QLatin1String(name))
                     .arg(widget->isVisibleTo(f.window.get()))
                     .arg(widget->isEnabled());
    }
    state << QStringLiteral("generator=%1")
                 .arg(f.window->generatorWindow() != nullptr && f.window->generatorWindow()->isVisible());
    return state;
}

// A caption as shown, without its mnemonic marker.
QString shown(const QString &text)
{
    QString plain = text;
    return plain.remove(QRegularExpression(QStringLiteral("&(?!&)")));
}

QStringList strings(std::initializer_list<const char *> texts)
{
    QStringList list;
    for (const char *text : texts)
        list << QString::fromUtf8(text);
    return list;
}

} // namespace

namespace wendlecott::ui {
char *toString(const TwipsRect &rect)
{
    return QTest::toString(
        QStringLiteral("(%1, %2, %3 x %4)").arg(rect.x).arg(rect.y).arg(rect.width).arg(rect.height));
}
} // namespace wendlecott::ui

class TestMainWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // Closing windows here must not end the test program.
        QApplication::setQuitOnLastWindowClosed(false);
        QApplication::setApplicationName(config::kProductName);
    }

    // Controls ----------------------------------------------------------------------------

    void topStripControl_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("tooltip");
        const QString sourceTip = QStringLiteral("Select the type of search you would like to run");
        QTest::newRow("Label6") << "Label6"
                                << "Search Type:" << sourceTip;
        QTest::newRow("Combo1") << "Combo1"
                                << "" << sourceTip;
        QTest::newRow("wLabel1") << "wLabel1"
                                 << "Start Number:"
                                 << "";
        QTest::newRow("txtWordNum") << "txtWordNum"
                                    << "1"
                                    << "";
        QTest::newRow("txtWordMax") << "txtWordMax"
                                    << "1"
                                    << "The number of entries on your list.";
        QTest::newRow("cmdDoSearch") << "cmdDoSearch"
                                     << "Start"
                                     << "Click here to start searching your list.";
        QTest::newRow("Command3") << "Command3"
                                  << "Stop"
                                  << "Click here to stop searching names";
        QTest::newRow("sLblTLD") << "sLblTLD"
                                 << "TLD:"
                                 << "";
        QTest::newRow("cmbTLDs") << "cmbTLDs"
                                 << ""
                                 << "";
        QTest::newRow("SLabel1") << "SLabel1"
                                 << "Search String:"
                                 << "";
        QTest::newRow("txtSearch") << "txtSearch"
                                   << ""
                                   << "Enter a search string";
        QTest::newRow("SLabel2") << "SLabel2"
                                 << "Get"
                                 << "";
        QTest::newRow("Combo2") << "Combo2"
                                << "~100 Domains"
                                << "The approximate number of domains to find, if available.";
        QTest::newRow("cmdCreate") << "cmdCreate"
                                   << "Search"
                                   << "Click here to start your internet search!";
        QTest::newRow("cmdSetup") << "cmdSetup"
                                  << "Setup"
                                  << "";
        QTest::newRow("cmdWebsite") << "cmdWebsite"
                                    << "Visit www.wendlecott.example"
                                    << "";
    }
    void topStripControl()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, tooltip);
        Fixture f;
        ui::MainWindow &w = f.open();
        // With every window of the program there, each control shows its own tooltip.
        w.setSetupOpener([] {});
        w.setListBuilderOpener([] {});
        w.setBrowseOpener([] {});
        QWidget *widget = w.findChild<QWidget *>(name);
        QVERIFY2(widget, qPrintable(name));
        QVERIFY(f.child("Frame1")->isAncestorOf(widget));
        QString shown;
        if (auto *label = qobject_cast<QLabel *>(widget))
            shown = label->text();
        else if (auto *button = qobject_cast<QPushButton *>(widget))
            shown = button->text();
        else if (auto *edit = qobject_cast<QLineEdit *>(widget))
            shown = edit->text();
        else if (auto *combo = qobject_cast<QComboBox *>(widget))
            shown = combo->currentText();
        QCOMPARE(shown, text);
        QCOMPARE(widget->toolTip(), tooltip);
    }

    void windowCaptionsAndLists()
    {
        Fixture f;
        ui::MainWindow &w = f.open();
        QCOMPARE(w.objectName(), QStringLiteral("Form1"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Wendlecott by Brindlemoor"));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(f.child<QGroupBox>("Frame2")->title(),
                 QStringLiteral("Domain Name Manager - Double Click any domain to purchase"));

        QStringList items;
        for (int i = 0; i < f.combo1()->count(); ++i)
            items << f.combo1()->itemText(i);
        QCOMPARE(items, strings({"Browse for names", "Generate names", "Yahoo Search", "Google Search",
                                 "Full Word List", "All Two Letter", "All Three Letter", "All Four Letter",
                                 "Custom List"}));
        auto *combo2 = f.child<QComboBox>("Combo2");
        QStringList sizes;
        for (int i = 0; i < combo2->count(); ++i)
            sizes << combo2->itemText(i);
        QCOMPARE(sizes, strings({"~100 Domains", "~200 Domains", "~500 Domains", "~1000 Domains"}));

        // The five lists sit in the result frame, left to right High, Mid, Low, Registered, Saved.
        auto *frame = f.child<QGroupBox>("Frame2");
        int lastX = -1;
        for (const char *name : {"List3", "List4", "List1", "List2", "List5"}) {
            auto *list = f.child<QListView>(name);
            QVERIFY2(list && frame->isAncestorOf(list), name);
            const int x = list->mapTo(frame, QPoint(0, 0)).x();
            QVERIFY2(x > lastX, name);
            lastX = x;
            QCOMPARE(list->font().family(), QStringLiteral("Verdana"));
        }
        QCOMPARE(f.child<QLabel>("Label6")->font().family(), QStringLiteral("Verdana"));

        auto *bar = f.child<QStatusBar>("StatusBar1");
        QVERIFY(bar);
        for (const char *panel : {"Panel1", "Panel2", "Panel3", "lblSource", "lblPassedOver"})
            QVERIFY2(bar->isAncestorOf(f.child(panel)), panel);
        QCOMPARE(f.panel(1), QStringLiteral("Entry Status"));
        QCOMPARE(f.panel(2), QStringLiteral("Open Connections"));
        QCOMPARE(f.panel(3), QStringLiteral("Connection Status"));
    }

    void menus()
    {
        Fixture f;
        ui::MainWindow &w = f.open();
        QStringList titles;
        QStringList mnemonics;
        for (QAction *action : w.menuBar()->actions()) {
            titles << shown(action->text());
            mnemonics << QKeySequence::mnemonic(action->text()).toString();
        }
        QCOMPARE(titles, strings({"File", "Edit", "Tools", "Options", "Help", "About"}));
        // Alt and the first letter opens each menu.
        QCOMPARE(mnemonics, strings({"Alt+F", "Alt+E", "Alt+T", "Alt+O", "Alt+H", "Alt+A"}));

        const auto itemsOf = [&](const char *menu) {
            QStringList items;
            for (QAction *action : f.menu(menu)->actions())
                items << shown(action->text());
            return items;
        };
        QCOMPARE(itemsOf("mnuFile"), strings({"Start", "Stop", "", "Export answers…", "", "Exit"}));
        QCOMPARE(itemsOf("mnuEdit"),
                 strings({"Clear High/Mid/Low", "Clear High", "Clear Mid", "Clear Low", "Clear Registered",
                          "Clear Saved", "Copy High", "Copy Mid", "Copy Low", "Copy Saved", "",
                          "Copy Selected", "Delete Selected"}));
        QStringList sources;
        for (int i = 0; i < f.combo1()->count(); ++i)
            sources << f.combo1()->itemText(i);
        // The sources, then (after a separator) the run over the names kept without a verdict
        // and the watch list.
        QCOMPARE(itemsOf("mnuTools"),
                 sources + strings({"", "Check unanswered names again (0)", "Watch list"}));
        QCOMPARE(itemsOf("mnuOptions"), strings({"Setup"}));
        QCOMPARE(itemsOf("mnuHelp"), strings({"View Help"}));
        QCOMPARE(itemsOf("mnuAboutMenu"), strings({"About this software"}));
    }

    // The common keys, each on its menu item.
    void shortcutsOfTheCommonCommands_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QKeySequence>("keys");
        QTest::newRow("Start") << "mnuStart" << QKeySequence(Qt::Key_F5);
        QTest::newRow("Stop") << "mnuStop" << QKeySequence(Qt::Key_Escape);
        QTest::newRow("Copy") << "mnuCopySelected" << QKeySequence(Qt::CTRL | Qt::Key_C);
        QTest::newRow("Delete") << "mnuDeleteSelected" << QKeySequence(Qt::Key_Delete);
        QTest::newRow("Quit") << "mnuExit" << QKeySequence(Qt::CTRL | Qt::Key_Q);
        QTest::newRow("Help") << "mnuViewHelp" << QKeySequence(Qt::Key_F1);
    }
    void shortcutsOfTheCommonCommands()
    {
        QFETCH(QString, item);
        QFETCH(QKeySequence, keys);
        Fixture f;
        f.open();
        auto *action = f.window->findChild<QAction *>(item);
        QVERIFY(action);
        QCOMPARE(action->shortcut(), keys);
        QVERIFY(!keys.isEmpty());
    }

    // F5 and Esc start and stop a run as the buttons do; Alt+F opens the File menu.
    void keysWorkInTheWindow()
    {
        FakeWhoisServer server;
        QVERIFY(server.start());
        server.setDefault({FakeWhoisServer::Mode::Silent, {}});
        Fixture f;
        f.pointTldsAt(server.port());
        f.write(QStringLiteral("list.txt"), "alpha\r\nbravo\r\n");
        ui::MainWindow &w = f.open();
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));

        QTest::keyClick(&w, Qt::Key_F5); // no source yet: Start is disabled, nothing happens
        QVERIFY(!w.run().isRunning());
        f.dialogAnswer = f.path(QStringLiteral("list.txt"));
        f.toolsItem(8)->trigger();
        QTest::keyClick(&w, Qt::Key_F5);
        QVERIFY(w.run().isRunning());
        QTRY_COMPARE_WITH_TIMEOUT(server.requests().size(), 1, kRunWaitMs);
        QTest::keyClick(&w, Qt::Key_Escape);
        QVERIFY(!w.run().isRunning());
        QVERIFY(f.start()->isEnabled());

        QTest::keyClick(&w, Qt::Key_F, Qt::AltModifier);
        QTRY_VERIFY(f.menu("mnuFile")->isVisible());
        f.menu("mnuFile")->close();
    }

    // F5 and Esc follow the run's state as it changes, not as it was when the File menu was
    // last opened.
    void runKeysFollowTheRunNotTheLastOpenedMenu()
    {
        FakeWhoisServer server;
        QVERIFY(server.start());
        server.setDefault({FakeWhoisServer::Mode::Silent, {}});
        Fixture f;
        f.pointTldsAt(server.port());
        f.write(QStringLiteral("list.txt"), "alpha\r\nbravo\r\n");
        ui::MainWindow &w = f.open();
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QMenu *file = f.menu("mnuFile");
        // What opening the menu tells its items (a real popup would take the window's focus).
        const auto openAndClose = [file] { Q_EMIT file->aboutToShow(); };

        openAndClose(); // no source: Start and Stop disabled while the menu was open
        f.dialogAnswer = f.path(QStringLiteral("list.txt"));
        f.toolsItem(8)->trigger();
        QTest::keyClick(&w, Qt::Key_F5);
        QVERIFY(w.run().isRunning());
        QTRY_COMPARE_WITH_TIMEOUT(server.requests().size(), 1, kRunWaitMs);
        QTest::keyClick(&w, Qt::Key_Escape);
        QVERIFY(!w.run().isRunning());

        openAndClose(); // stopped: Stop disabled while the menu was open
        QTest::keyClick(&w, Qt::Key_F5);
        QVERIFY(w.run().isRunning());
        QTest::keyClick(&w, Qt::Key_Escape);
        QVERIFY(!w.run().isRunning());
    }

    // Ctrl+C and Delete act on the list with the focus; the text boxes keep their own.
    void copyAndDeleteKeysActOnTheFocusedList()
    {
        Fixture f;
        ui::MainWindow &w = f.open();
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        core::ResultLists &lists = f.context->lists();
        for (const char *name : {"a.com", "b.com", "c.com"})
            lists.addRegistered(QString::fromLatin1(name));
        QListView *list = w.resultListsView()->listView(ListId::Registered);
        list->setFocus();
        list->setCurrentIndex(list->model()->index(1, 0));
        QTRY_VERIFY(list->hasFocus());
        QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(f.clipboard->texts, QStringList{QStringLiteral("b.com\r\n")});
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(lists.entries(ListId::Registered),
                 (QStringList{QStringLiteral("a.com"), QStringLiteral("c.com")}));

        auto *search = f.child<QLineEdit>("txtWordNum");
        search->setFocus();
        QTRY_VERIFY(search->hasFocus());
        search->selectAll();
        QTest::keyClick(search, Qt::Key_Delete);
        QCOMPARE(lists.entries(ListId::Registered).size(), 2);
        QCOMPARE(f.clipboard->texts.size(), 1);
    }

    // Windows that are not in the program yet are offered, disabled, with a tooltip that says
    // so; once their opener is set they work.
    void windowsNotThereYet()
    {
        Fixture f;
        ui::MainWindow &w = f.open();
        auto *setup = f.child<QPushButton>("cmdSetup");
        auto *create = f.child<QPushButton>("cmdCreate");
        QAction *setupItem = f.menu("mnuOptions")->actions().at(0);
        auto *model = qobject_cast<QStandardItemModel *>(f.combo1()->model());
        QVERIFY(model);

        QVERIFY(!setup->isEnabled());
        QCOMPARE(setup->toolTip(), ui::MainWindow::kNotAvailableYet);
        QVERIFY(!setupItem->isEnabled());
        QCOMPARE(setupItem->toolTip(), ui::MainWindow::kNotAvailableYet);
        QCOMPARE(create->toolTip(), ui::MainWindow::kNotAvailableYet);
        for (int index : {0, 2, 3}) {
            QVERIFY(!model->item(index)->isEnabled());
            QCOMPARE(model->item(index)->toolTip(), ui::MainWindow::kNotAvailableYet);
            QVERIFY(!f.toolsItem(index)->isEnabled());
            QCOMPARE(f.toolsItem(index)->toolTip(), ui::MainWindow::kNotAvailableYet);
        }
        for (int index : {1, 4, 5, 6, 7, 8}) {
            QVERIFY(model->item(index)->isEnabled());
            QVERIFY(f.toolsItem(index)->isEnabled());
        }

        int setups = 0;
        int builders = 0;
        int browses = 0;
        w.setSetupOpener([&] { ++setups; });
        w.setListBuilderOpener([&] { ++builders; });
        w.setBrowseOpener([&] { ++browses; });
        QVERIFY(setup->isEnabled());
        setup->click();
        setupItem->trigger();
        QCOMPARE(setups, 2);
        for (int index : {0, 2, 3}) {
            QVERIFY(model->item(index)->isEnabled());
            QVERIFY(f.toolsItem(index)->isEnabled());
        }

        // "Search" follows the search box once the list builder is there.
        f.toolsItem(2)->trigger();
        QVERIFY(create->isVisibleTo(&w));
        QVERIFY(!create->isEnabled());
        QTest::keyClicks(f.child<QLineEdit>("txtSearch"), QStringLiteral("gardens"));
        QVERIFY(create->isEnabled());
        create->click();
        QCOMPARE(builders, 1);
        f.child<QLineEdit>("txtSearch")->clear();
        QVERIFY(!create->isEnabled());

        f.toolsItem(0)->trigger();
        QCOMPARE(browses, 1);
        QVERIFY(!f.start()->isVisibleTo(&w));
    }

    // The Setup window as main wires it: one at a time; closing it refills the extension box;
    // at shutdown it goes without writing a setting.
    void setupWindow()
    {
        Fixture f;
        ui::MainWindow &w = f.open();
        ui::attachCompanionWindows(w, *f.context);
        auto *setup = f.child<QPushButton>("cmdSetup");
        QVERIFY(setup->isEnabled());
        QCOMPARE(setup->toolTip(), QString());
        setup->click();
        QPointer<ui::SetupWindow> settings = w.findChild<ui::SetupWindow *>(QStringLiteral("frmSettings"));
        QVERIFY(settings);
        QVERIFY(settings->isVisible());
        f.menu("mnuOptions")->actions().at(0)->trigger();
        QCOMPARE(w.findChildren<ui::SetupWindow *>().size(), 1);

        f.write(QStringLiteral("TLDs.txt"), "org|whois.example|43|Enabled|25|No match\r\n\r\n");
        settings->close();
        auto *tlds = f.child<QComboBox>("cmbTLDs");
        QCOMPARE(tlds->count(), 1);
        QCOMPARE(tlds->itemText(0), QStringLiteral("org"));
        QTRY_VERIFY(!settings);

        setup->click();
        settings = w.findChild<ui::SetupWindow *>(QStringLiteral("frmSettings"));
        QVERIFY(settings);
        const QByteArray settingsBefore = f.settingsBytes();
        w.close();
        QVERIFY(!settings);
        QCOMPARE(f.settingsBytes(), settingsBefore);
    }

    // The read-only second copy writes nothing from Setup: the commands that write TLDs.txt,
    // debug.txt or the RDAP list are disabled with a note, and refuse when called. Esc closes it.
    void readOnlySetupWritesNothing()
    {
        Fixture f;
        ui::MainWindow &w = f.open();
        ui::attachCompanionWindows(w, *f.context);
        w.setReadOnly(QStringLiteral("The program folder is in use by process 42 (wendlecott)."));
        const QByteArray tldsBefore = f.read(QStringLiteral("TLDs.txt"));
        QVERIFY(!tldsBefore.isEmpty());
        f.child<QPushButton>("cmdSetup")->click();
        QPointer<ui::SetupWindow> settings = w.findChild<ui::SetupWindow *>(QStringLiteral("frmSettings"));
        QVERIFY(settings);
        for (const char *name :
             {"cmdSave", "cmdToggle", "Command2", "Command3", "Command4", "cmdUpdateRdap"}) {
            auto *button = settings->findChild<QPushButton *>(QLatin1String(name));
            QVERIFY2(button, name);
            QVERIFY2(!button->isEnabled(), name);
        }
        auto *note = settings->findChild<QLabel *>(QStringLiteral("lblReadOnly"));
        QVERIFY(note && note->isVisibleTo(settings));
        QVERIFY(note->text().contains(QStringLiteral("process 42")));

        f.notice->okCancelAnswer = true;
        settings->findChild<QLineEdit *>(QStringLiteral("txtExt"))->setText(QStringLiteral("zz"));
        settings->findChild<QLineEdit *>(QStringLiteral("txtServer"))->setText(QStringLiteral("whois.zz"));
        settings->findChild<QLineEdit *>(QStringLiteral("txtPort"))->setText(QStringLiteral("43"));
        settings->saveRow();
        settings->restoreDefaults();
        settings->exportDebugList();
        QCOMPARE(f.read(QStringLiteral("TLDs.txt")), tldsBefore);
        QVERIFY(!f.exists(QStringLiteral("debug.txt")));

        settings->show();
        settings->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(settings));
        QTest::keyClick(settings, Qt::Key_Escape);
        QTRY_VERIFY(!settings);
    }

    // A run's status line that the panel is too narrow for is whole in its tooltip; a server
    // the pacer holds back is named beside the panels with the time until it is asked again.
    void statusPanelShowsItsWholeTextAndTheBackOff()
    {
        FakeWhoisServer server;
        QVERIFY(server.start());
        Fixture f;
        f.pointTldsAt(server.port());
        ui::MainWindow &w = f.open();
        w.showNormal();
        w.resize(1280, 900);
        auto *panels = w.findChild<ui::StatusPanel *>(QStringLiteral("StatusBar1"));
        QVERIFY(panels);
        const QString status = QStringLiteral("In flight: 3, queued: 0, waiting on back-off: 2");
        panels->setPanelText(1, status);
        auto *panel2 = f.child<QLabel>("Panel2");
        QCOMPARE(panel2->text(), status);
        QCOMPARE(panel2->toolTip(), status);

        auto *backOff = f.child<QLabel>("lblBackOff");
        QVERIFY(backOff);
        QVERIFY(!backOff->isVisibleTo(&w));
        const QString key = QStringLiteral("127.0.0.1:%1").arg(server.port());
        f.context->pacer().pause(key, 120000);
        panels->refreshBackOff();
        QVERIFY(backOff->isVisibleTo(&w));
        QVERIFY2(
            backOff->text().startsWith(QStringLiteral("Paused: ") + key + QStringLiteral(" asked again in ")),
            qPrintable(backOff->text()));
    }

    // The "TLDs" menu stays open while extensions are ticked, so several go in one opening.
    void extensionMenuStaysOpenWhileTicking()
    {
        Fixture f;
        f.write(QStringLiteral("TLDs.txt"), "com|w.test|43|Enabled|0|No match\r\n\r\n"
                                            "net|w.test|43|Enabled|0|No match\r\n\r\n"
                                            "org|w.test|43|Enabled|0|No match\r\n\r\n");
        ui::MainWindow &w = f.open();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QMenu *menu = f.child<QToolButton>("cmdTLDs")->menu();
        menu->popup(QPoint(0, 0));
        QTRY_VERIFY(menu->isVisible());
        for (const char *extension : {"com", "org"}) {
            QAction *tick = menu->findChild<QAction *>(QStringLiteral("tickTLD_") + QLatin1String(extension));
            QVERIFY(tick);
            const QPoint centre = menu->actionGeometry(tick).center();
            QTest::mouseMove(menu, centre);
            QTRY_COMPARE(menu->activeAction(), tick);
            QTest::mouseClick(menu, Qt::LeftButton, {}, centre);
            QVERIFY2(menu->isVisible(), extension);
        }
        QCOMPARE(w.tickedExtensions(), (QStringList{QStringLiteral("com"), QStringLiteral("org")}));
        QCOMPARE(f.child<QToolButton>("cmdTLDs")->text(), QStringLiteral("TLDs (2)"));
        menu->close();
    }

    // Sources -----------------------------------------------------------------------------

    // A Tools menu item selects the same Combo1 item and does what a choice there does.
    void toolsMenuActsAsCombo1_data()
    {
        QTest::addColumn<int>("index");
        QTest::newRow("Generate names") << 1;
        QTest::newRow("Yahoo Search") << 2;
        QTest::newRow("Full Word List") << 4;
        QTest::newRow("All Two Letter") << 5;
        QTest::newRow("All Four Letter") << 7;
        QTest::newRow("Custom List") << 8;
    }
    void toolsMenuActsAsCombo1()
    {
        QFETCH(int, index);
        const auto prepare = [](Fixture &f) {
            f.write(QStringLiteral("wordlists/FullWordList.txt"), "apple\r\nbanana\r\ncherry\r\n");
            f.write(QStringLiteral("wordlists/AllTwoLetter.txt"), "aa\r\nab\r\n");
            f.write(QStringLiteral("mine.txt"), "one\r\ntwo\r\nthree\r\nfour\r\n");
            f.setSetting(config::keys::FullWordNum, QStringLiteral("2"));
            f.open();
            f.window->setListBuilderOpener([] {});
            f.dialogAnswer = f.path(QStringLiteral("mine.txt"));
        };
        Fixture byMenu;
        prepare(byMenu);
        byMenu.toolsItem(index)->trigger();

        Fixture byCombo;
        prepare(byCombo);
        byCombo.combo1()->setCurrentIndex(index);
        Q_EMIT byCombo.combo1()->activated(index);

        QCOMPARE(byMenu.combo1()->currentIndex(), index);
        QStringList expected = controlState(byCombo);
        expected[1].replace(byCombo.program, QStringLiteral("<program>"));
        QStringList actual = controlState(byMenu);
        actual[1].replace(byMenu.program, QStringLiteral("<program>"));
        QCOMPARE(actual, expected);
        QCOMPARE(byMenu.dialogCalls.size(), byCombo.dialogCalls.size());
    }

    void generateNamesOpensOneGenerator()
    {
        Fixture f;
        ui::MainWindow &w = f.open();
        QVERIFY(!w.generatorWindow());
        f.toolsItem(1)->trigger();
        QPointer<ui::GeneratorWindow> generator = w.generatorWindow();
        QVERIFY(generator);
        QVERIFY(generator->isVisible());
        QCOMPARE(generator->objectName(), QStringLiteral("frmMake"));
        QCOMPARE(w.listPath(), f.path(QStringLiteral("CreatedDomains.txt")));
        QCOMPARE(f.wordNum()->text(), QStringLiteral("1"));
        // Both groups of the strip are hidden: the generator presses Start itself.
        QVERIFY(!f.start()->isVisibleTo(&w));
        QVERIFY(!f.child("txtSearch")->isVisibleTo(&w));

        f.combo1()->setCurrentIndex(1);
        Q_EMIT f.combo1()->activated(1);
        QCOMPARE(w.generatorWindow(), generator.data());
        generator->close();
        f.toolsItem(1)->trigger();
        QCOMPARE(w.generatorWindow(), generator.data());
        QVERIFY(generator->isVisible());
    }

    void wordListOffersItsResumePosition()
    {
        Fixture f;
        f.write(QStringLiteral("wordlists/FullWordList.txt"), "apple\r\n\r\nbanana\r\ncherry\r\ndate\r\n");
        f.setSetting(config::keys::FullWordNum, QStringLiteral("3"));
        ui::MainWindow &w = f.open();
        QVERIFY(!f.start()->isEnabled()); // nothing to start before a source is chosen
        f.toolsItem(4)->trigger();
        QCOMPARE(f.wordMax()->text(), QStringLiteral("4"));
        QCOMPARE(f.wordNum()->text(), QStringLiteral("3"));
        QCOMPARE(w.listPath(), f.path(QStringLiteral("wordlists/FullWordList.txt")));
        QVERIFY(f.start()->isEnabled());
        QVERIFY(!f.stop()->isEnabled());
        QVERIFY(f.wordNum()->isEnabled());
        QVERIFY(!f.child("txtSearch")->isVisibleTo(&w));
        QVERIFY(f.child("cmbTLDs")->isVisibleTo(&w));

        // A missing list counts 0 entries.
        f.toolsItem(6)->trigger();
        QCOMPARE(f.wordMax()->text(), QStringLiteral("0"));
        QCOMPARE(f.wordNum()->text(), QStringLiteral("1"));
    }

    void customListDialog()
    {
        Fixture f;
        f.write(QStringLiteral("first.txt"), "a\r\nb\r\nc\r\n");
        ui::MainWindow &w = f.open();

        // Cancelled at its first use: no list, nothing counted.
        f.toolsItem(8)->trigger();
        QCOMPARE(f.dialogCalls.size(), 1);
        QCOMPARE(QDir(f.dialogCalls.first().first).canonicalPath(),
                 QDir(f.path(QStringLiteral("wordlists"))).canonicalPath());
        QCOMPARE(f.dialogCalls.first().second, QStringLiteral("*.txt"));
        QCOMPARE(w.listPath(), QString());
        QCOMPARE(f.wordMax()->text(), QStringLiteral("0"));
        QCOMPARE(f.wordNum()->text(), QStringLiteral("1"));

        f.dialogAnswer = f.path(QStringLiteral("first.txt"));
        f.toolsItem(8)->trigger();
        QCOMPARE(w.listPath(), f.path(QStringLiteral("first.txt")));
        QCOMPARE(f.wordMax()->text(), QStringLiteral("3"));

        // Cancelled later: the list stays, counted afresh.
        f.write(QStringLiteral("first.txt"), "a\r\nb\r\nc\r\nd\r\ne\r\n");
        f.dialogAnswer.reset();
        f.wordNum()->setText(QStringLiteral("2"));
        f.toolsItem(8)->trigger();
        QCOMPARE(w.listPath(), f.path(QStringLiteral("first.txt")));
        QCOMPARE(f.wordMax()->text(), QStringLiteral("5"));
        QCOMPARE(f.wordNum()->text(), QStringLiteral("1"));
    }

    void startNumberIsKeptInRange_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("below the count") << "675"
                                         << "675";
        QTest::newRow("the count") << "676"
                                   << "1";
        QTest::newRow("beyond") << "1000"
                                << "1";
        QTest::newRow("not a number") << "x"
                                      << "1";
    }
    void startNumberIsKeptInRange()
    {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        Fixture f;
        f.open();
        f.wordMax()->setText(QStringLiteral("676"));
        f.wordNum()->selectAll();
        QTest::keyClicks(f.wordNum(), typed);
        QCOMPARE(f.wordNum()->text(), kept);
    }

    // Edit menu ---------------------------------------------------------------------------

    void editMenuClearsAndCopies()
    {
        Fixture f;
        ui::MainWindow &w = f.open();
        core::ResultLists &lists = f.context->lists();
        lists.addAvailable(QStringLiteral("abc.com"));        // High
        lists.addAvailable(QStringLiteral("abcdef.com"));     // Mid
        lists.addAvailable(QStringLiteral("abcdefghij.com")); // Low
        lists.addRegistered(QStringLiteral("taken.com"));
        lists.model(ListId::Saved)->append(QStringLiteral("kept.com"));

        f.menu("mnuEdit")->actions().at(9)->trigger(); // Copy Saved
        QCOMPARE(f.clipboard->texts, QStringList{QStringLiteral("kept.com\r\n")});

        f.menu("mnuEdit")->actions().at(0)->trigger(); // Clear High/Mid/Low
        QVERIFY(lists.entries(ListId::High).isEmpty());
        QVERIFY(lists.entries(ListId::Mid).isEmpty());
        QVERIFY(lists.entries(ListId::Low).isEmpty());
        QCOMPARE(lists.entries(ListId::Registered), QStringList{QStringLiteral("taken.com")});
        QCOMPARE(lists.entries(ListId::Saved), QStringList{QStringLiteral("kept.com")});
        QCOMPARE(w.resultListsView()->label(ListId::High)->text(), QStringLiteral("High Profile"));
        QCOMPARE(w.resultListsView()->label(ListId::Registered)->text(), QStringLiteral("Registered (1)"));
    }

    // The run -----------------------------------------------------------------------------

    // A short run over a custom list against a local server, ending by itself at the end of
    // the list.
    void runEndsByItselfAtTheEndOfTheList()
    {
        FakeWhoisServer server;
        QVERIFY(server.start());
        server.answer(QStringLiteral("bravo.com"), "Domain Name: BRAVO.COM\r\nRegistrar: Example\r\n");
        Fixture f;
        f.pointTldsAt(server.port());
        f.write(QStringLiteral("list.txt"), "abc\r\nbravo\r\n\r\ncharlie99x\r\n");
        ui::MainWindow &w = f.open();
        f.dialogAnswer = f.path(QStringLiteral("list.txt"));
        f.toolsItem(8)->trigger();
        QCOMPARE(f.wordMax()->text(), QStringLiteral("3"));

        core::CheckRun &run = w.run();
        QStringList panelTexts;
        bool panelsFollow = true;
        connect(&run, &core::CheckRun::panelChanged, this, [&](int panel, const QString &text) {
            panelTexts << text;
            panelsFollow = panelsFollow && f.panel(panel + 1) == text;
        });

        f.start()->click();
        QVERIFY(run.isRunning());
        QVERIFY(!f.start()->isEnabled());
        QVERIFY(f.stop()->isEnabled());
        for (const char *name : {"Combo1", "txtWordNum", "Combo2", "cmdCreate", "txtSearch"})
            QVERIFY2(!f.child(name)->isEnabled(), name);
        QVERIFY(!f.toolsItem(4)->isEnabled());

        QTRY_VERIFY_WITH_TIMEOUT(!run.isRunning(), kRunWaitMs);
        QCOMPARE(server.requests(), (QList<QByteArray>{"abc.com", "bravo.com", "charlie99x.com"}));
        QVERIFY(panelsFollow);
        QVERIFY(panelTexts.contains(QStringLiteral("Waiting 0 milliseconds.")));
        QVERIFY(panelTexts.contains(QStringLiteral("2 of 3")));
        QVERIFY(panelTexts.contains(QStringLiteral("3 of 3")));
        QVERIFY(panelTexts.contains(QStringLiteral("Open: Closing connections...")));

        QCOMPARE(f.panel(1), QStringLiteral("Entry Status"));
        QCOMPARE(f.panel(2), QStringLiteral("Open Connections"));
        QCOMPARE(f.panel(3), QStringLiteral("Connection Status"));
        QVERIFY(f.start()->isEnabled());
        QVERIFY(!f.stop()->isEnabled());
        QVERIFY(f.combo1()->isEnabled());
        QVERIFY(f.wordNum()->isEnabled());
        QVERIFY(f.toolsItem(4)->isEnabled());
        // The stored next position (4) has passed the count: the box offers 1 again.
        QCOMPARE(f.setting(config::keys::CustWordNum), QStringLiteral("4"));
        QCOMPARE(f.setting(config::keys::WordNumber), QStringLiteral("4"));
        QCOMPARE(f.wordNum()->text(), QStringLiteral("1"));

        core::ResultLists &lists = f.context->lists();
        QCOMPARE(lists.entries(ListId::High), QStringList{QStringLiteral("abc.com")});
        QCOMPARE(lists.entries(ListId::Registered), QStringList{QStringLiteral("bravo.com")});
        QCOMPARE(lists.entries(ListId::Low), QStringList{QStringLiteral("charlie99x.com")});
        QVERIFY(f.notice->messages.isEmpty());
    }

    // Names kept without a verdict are offered again from the Tools menu, and leave the file
    // once they are answered.
    void unansweredNamesAreCheckedAgainFromTheToolsMenu()
    {
        FakeWhoisServer server;
        QVERIFY(server.start());
        server.answer(QStringLiteral("beta.com"), "Domain Name: BETA.COM\r\n");
        Fixture f;
        f.pointTldsAt(server.port());
        f.write(QStringLiteral("Unanswered.txt"), "alpha.com\r\nbeta.com\r\n");
        ui::MainWindow &w = f.open();
        QAction *recheck = f.menu("mnuTools")->findChild<QAction *>(QStringLiteral("mnuCheckUnanswered"));
        QVERIFY(recheck);
        QCOMPARE(recheck->text(), QStringLiteral("Check unanswered names again (2)"));
        QVERIFY(recheck->isEnabled());
        const QString before = f.setting(config::keys::WordNumber);

        recheck->trigger();
        QVERIFY(w.run().isRunning());
        QVERIFY(!recheck->isEnabled());
        QVERIFY(!f.start()->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!w.run().isRunning(), kRunWaitMs);
        QCOMPARE(server.requests(), (QList<QByteArray>{"alpha.com", "beta.com"}));
        QCOMPARE(f.context->lists().entries(ListId::Mid), QStringList{QStringLiteral("alpha.com")});
        QCOMPARE(f.context->lists().entries(ListId::Registered), QStringList{QStringLiteral("beta.com")});
        // The answers' batch is written within a second of the last.
        QTRY_COMPARE_WITH_TIMEOUT(f.read(QStringLiteral("Unanswered.txt")), QByteArray(), kRunWaitMs);
        QCOMPARE(recheck->text(), QStringLiteral("Check unanswered names again (0)"));
        QVERIFY(!recheck->isEnabled());
        QVERIFY(f.start()->isEnabled());
        QCOMPARE(f.setting(config::keys::WordNumber), before); // the user's resume position is untouched
    }

    // The offer to copy an address that no browser took opens over the window that asked.
    void addressQuestionsOpenOverTheirWindow()
    {
        Fixture f;
        f.setSetting(config::keys::ShowHelp, QStringLiteral("0"));
        f.setSetting(config::keys::FirstUse, QStringLiteral("NO"));
        f.write(QStringLiteral("Help.html"), "<html><body>guide</body></html>");
        ui::MainWindow &w = f.open(true);
        f.opener->works = false;
        QList<const QWidget *> askedOver;
        f.qtNotice()->setQuestionHook(
            [&](const QMessageBox &box) -> std::optional<QMessageBox::StandardButton> {
                askedOver << box.parentWidget();
                return QMessageBox::Ok;
            });
        f.child<QPushButton>("cmdWebsite")->click();
        w.viewHelp();
        w.helpWindow()->followLink(QUrl(QStringLiteral("https://example.org/")));
        w.showAbout();
        w.aboutWindow()->openWebsite();
        QCOMPARE(askedOver, (QList<const QWidget *>{&w, w.helpWindow(), w.aboutWindow()}));
        QCOMPARE(f.clipboard->texts.size(), 3);
    }

    // The progress bar follows the run name by name and ends at the count.
    void progressBarFollowsTheRun()
    {
        FakeWhoisServer server;
        QVERIFY(server.start());
        Fixture f;
        f.pointTldsAt(server.port());
        f.write(QStringLiteral("list.txt"), "alpha\r\nbravo\r\ncharlie\r\ndelta\r\n");
        ui::MainWindow &w = f.open();
        f.dialogAnswer = f.path(QStringLiteral("list.txt"));
        f.toolsItem(8)->trigger();
        auto *bar = f.child<QProgressBar>("prgRun");
        QVERIFY(bar);
        QVERIFY(f.child<QStatusBar>("StatusBar1")->isAncestorOf(bar));
        QList<int> values;
        connect(bar, &QProgressBar::valueChanged, this, [&values](int value) { values << value; });
        f.wordNum()->setText(QStringLiteral("2"));
        f.start()->click();
        QCOMPARE(bar->maximum(), 4);
        QCOMPARE(bar->value(), 1); // the names before the start position count as done
        QCOMPARE(bar->text(), QStringLiteral("1 of 4"));
        QTRY_VERIFY_WITH_TIMEOUT(!w.run().isRunning(), kRunWaitMs);
        QCOMPARE(server.requests(), (QList<QByteArray>{"bravo.com", "charlie.com", "delta.com"}));
        QCOMPARE(values, (QList<int>{1, 2, 3, 4}));
        QCOMPARE(bar->value(), 4);
        QCOMPARE(bar->text(), QStringLiteral("4 of 4")); // held at the count after the end
    }

    // Names that no TLD row serves: one "Error" box for the run, the count in the status bar.
    void namesWithoutARowAreCountedAfterOneBox()
    {
        FakeWhoisServer server;
        QVERIFY(server.start());
        Fixture f;
        f.pointTldsAt(server.port());
        // Names of three labels that end in an extension without a row.
        f.write(QStringLiteral("list.txt"), "a.b.org\r\nc.d.org\r\ncharlie\r\ne.f.org\r\n");
        ui::MainWindow &w = f.open();
        f.dialogAnswer = f.path(QStringLiteral("list.txt"));
        f.toolsItem(8)->trigger();
        auto *passed = f.child<QLabel>("lblPassedOver");
        QVERIFY(passed->isHidden());
        f.start()->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w.run().isRunning(), kRunWaitMs);
        QCOMPARE(server.requests(), QList<QByteArray>{"charlie.com"});
        QCOMPARE(f.notice->messages.size(), 1);
        QCOMPARE(f.notice->messages.first().title, QStringLiteral("Error"));
        QVERIFY(!passed->isHidden());
        QCOMPARE(passed->text(), QStringLiteral("Passed over: 3 (no TLD row)"));
        // The next run starts the count anew.
        f.start()->click();
        QVERIFY(passed->isHidden());
        QTRY_VERIFY_WITH_TIMEOUT(!w.run().isRunning(), kRunWaitMs);
        QCOMPARE(f.notice->messages.size(), 2);
        QCOMPARE(passed->text(), QStringLiteral("Passed over: 3 (no TLD row)"));
    }

    // With "Ask DNS first", names delegated in their zone (Knot, from the test fixture) are
    // counted in the status bar and never asked of whois.
    void namesSettledByDnsAreCounted()
    {
        const quint16 knot = testing::KnotServer::runningPort(qEnvironmentVariable("WENDLECOTT_KNOT_DIR"));
        QVERIFY2(knot != 0, "Knot is not running: the knot_start fixture failed");
        FakeWhoisServer server;
        QVERIFY(server.start());
        Fixture f;
        f.pointTldsAt(server.port());
        f.write(QStringLiteral("TLDs.txt"),
                "dlg|127.0.0.1|" + QByteArray::number(server.port()) + "|Enabled|0|No match\r\n");
        f.setSetting(config::keys::DnsFirst, QStringLiteral("1"));
        f.setSetting(config::keys::DnsServer, QStringLiteral("127.0.0.1:%1").arg(knot));
        f.write(QStringLiteral("list.txt"), "taken.dlg\r\nfree.dlg\r\nglued.dlg\r\n");
        ui::MainWindow &w = f.open();
        f.dialogAnswer = f.path(QStringLiteral("list.txt"));
        f.toolsItem(8)->trigger();
        auto *settled = f.child<QLabel>("lblSettledByDns");
        QVERIFY(settled->isHidden());
        f.start()->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w.run().isRunning(), kRunWaitMs);
        QCOMPARE(server.requests(), QList<QByteArray>{"free.dlg"});
        QVERIFY(!settled->isHidden());
        QCOMPARE(settled->text(), QStringLiteral("Settled by DNS: 2"));
    }

    // Impossible names are counted in the status bar, not looked up.
    void invalidNamesAreCounted()
    {
        FakeWhoisServer server;
        QVERIFY(server.start());
        Fixture f;
        f.pointTldsAt(server.port());
        f.write(QStringLiteral("list.txt"),
                "alpha\r\n" + QByteArray(64, 'b') + "\r\n" + QByteArray(300, 'c') + "\r\n");
        ui::MainWindow &w = f.open();
        f.dialogAnswer = f.path(QStringLiteral("list.txt"));
        f.toolsItem(8)->trigger();
        auto *invalid = f.child<QLabel>("lblInvalidNames");
        QVERIFY(invalid->isHidden());
        f.start()->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w.run().isRunning(), kRunWaitMs);
        QCOMPARE(server.requests(), QList<QByteArray>{"alpha.com"});
        QVERIFY(!invalid->isHidden());
        QCOMPARE(invalid->text(), QStringLiteral("Invalid: 2 (not looked up)"));
        QVERIFY(invalid->toolTip().contains(QStringLiteral("63 octets")));
    }

    // Opened read-only beside another program: Start says why and files nothing.
    void readOnlyWindowStartsNoRun()
    {
        FakeWhoisServer server;
        QVERIFY(server.start());
        Fixture f;
        f.pointTldsAt(server.port());
        f.write(QStringLiteral("list.txt"), "alpha\r\n");
        ui::MainWindow &w = f.open();
        f.dialogAnswer = f.path(QStringLiteral("list.txt"));
        f.toolsItem(8)->trigger();
        w.setReadOnly(QStringLiteral("The program folder is in use by process 42 (wendlecott)."));
        QVERIFY(w.isReadOnly());
        QVERIFY(w.windowTitle().endsWith(QStringLiteral(" (read-only)")));
        f.start()->click();
        QVERIFY(!w.run().isRunning());
        QCOMPARE(f.notice->messages.size(), 1);
        QVERIFY(f.notice->messages.first().text.contains(QStringLiteral("process 42")));
        QTest::qWait(50);
        QVERIFY(server.requests().isEmpty());
        QVERIFY(!f.exists(QStringLiteral("SuperHighProfile.txt")));
    }

    // A settings folder that cannot be written: the run goes on, and the lost position is
    // said once, not at every timed write.
    void failedPositionWriteIsSaidOnce()
    {
        FakeWhoisServer server;
        QVERIFY(server.start());
        Fixture f;
        f.pointTldsAt(server.port());
        f.write(QStringLiteral("list.txt"), "alpha\r\nbravo\r\ncharlie\r\n");
        QVERIFY(QDir().mkpath(f.settingsDir + QStringLiteral("/Tarnhollow.ini"))); // not writable as a file
        ui::MainWindow &w = f.open();
        f.dialogAnswer = f.path(QStringLiteral("list.txt"));
        f.toolsItem(8)->trigger();
        f.start()->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w.run().isRunning(), kRunWaitMs);
        QCOMPARE(server.requests().size(), 3);
        QCOMPARE(f.notice->messages.size(), 1);
        QVERIFY2(f.notice->messages.first().text.contains(QStringLiteral("could not be stored")),
                 qPrintable(f.notice->messages.first().text));
        QVERIFY(f.notice->messages.first().text.contains(QStringLiteral("Tarnhollow.ini")));
    }

    // Refusals during a run: the notice names the first domain, counts the next, and opens
    // beside the lists, clear of the strip with Start and Stop.
    void blockedNoticeOfARun()
    {
        FakeWhoisServer server;
        QVERIFY(server.start());
        server.setDefault({FakeWhoisServer::Mode::AnswerAndClose, "Query rate exceeded\r\n"});
        Fixture f;
        f.pointTldsAt(server.port());
        f.write(QStringLiteral("list.txt"), "first\r\nsecond\r\nthird\r\n");
        ui::MainWindow &w = f.open(true);
        w.showNormal();
        w.resize(1200, 800);
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        f.dialogAnswer = f.path(QStringLiteral("list.txt"));
        f.toolsItem(8)->trigger();
        f.start()->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w.run().isRunning(), kRunWaitMs);
        ui::BlockedNotice *notice = f.qtNotice()->blockedWindow();
        QVERIFY(notice);
        QCOMPARE(notice->domain(), QStringLiteral("first.com"));
        QCOMPARE(notice->registrar(), QStringLiteral("127.0.0.1"));
        QCOMPARE(notice->furtherCount(), 2);
        QVERIFY(notice->furtherText().startsWith(QStringLiteral("2 more")));
        auto *frame = f.child<QGroupBox>("Frame2");
        const QRect area(frame->mapToGlobal(QPoint(0, 0)), frame->size());
        QCOMPARE(notice->pos(), ui::QtUserNotice::placeAtTopRight(area, notice->size()));
        QVERIFY(notice->pos().y() >=
                f.child("Frame1")->mapToGlobal(QPoint(0, f.child("Frame1")->height())).y());
    }

    // The chosen source and its list file are named in the status bar.
    void statusBarNamesTheSource()
    {
        Fixture f;
        f.write(QStringLiteral("mine.txt"), "one\r\n");
        ui::MainWindow &w = f.open();
        auto *source = f.child<QLabel>("lblSource");
        QCOMPARE(source->text(), QStringLiteral("No source chosen"));
        f.dialogAnswer = f.path(QStringLiteral("mine.txt"));
        f.toolsItem(8)->trigger();
        QCOMPARE(source->text(), QStringLiteral("List: mine.txt"));
        QVERIFY(source->toolTip().contains(QStringLiteral("Custom List")));
        QVERIFY(source->toolTip().contains(QDir::toNativeSeparators(f.path(QStringLiteral("mine.txt")))));
        f.toolsItem(1)->trigger();
        QCOMPARE(source->text(), QStringLiteral("List: CreatedDomains.txt"));
        w.generatorWindow()->close();
        // A long name is shortened in the middle and stays whole in the tooltip.
        const QString longName = QString(80, QLatin1Char('n')) + QStringLiteral(".txt");
        f.write(longName, "one\r\n");
        f.dialogAnswer = f.path(longName);
        f.toolsItem(8)->trigger();
        QVERIFY(source->text().contains(QChar(0x2026)));
        QVERIFY(source->fontMetrics().horizontalAdvance(source->text()) <= ui::MainWindow::kSourcePanelWidth);
        QVERIFY(source->toolTip().contains(longName));
    }

    // The extension box applies to names without one; empty, the default extension does.
    void runUsesTheExtensionBox()
    {
        FakeWhoisServer server;
        QVERIFY(server.start());
        Fixture f;
        f.pointTldsAt(server.port());
        f.write(QStringLiteral("list.txt"), "alpha\r\nbeta.com\r\n");
        ui::MainWindow &w = f.open();
        f.dialogAnswer = f.path(QStringLiteral("list.txt"));
        f.toolsItem(8)->trigger();
        auto *tlds = f.child<QComboBox>("cmbTLDs");
        QCOMPARE(tlds->currentText(), QString());
        tlds->setCurrentIndex(tlds->findText(QStringLiteral("net")));
        f.start()->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w.run().isRunning(), kRunWaitMs);
        QCOMPARE(server.requests(), (QList<QByteArray>{"alpha.net", "beta.com"}));

        tlds->setCurrentIndex(-1);
        tlds->setEditText(QString());
        f.start()->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w.run().isRunning(), kRunWaitMs);
        QCOMPARE(server.requests().mid(2), (QList<QByteArray>{"alpha.com", "beta.com"}));
    }

    // Two ticked extensions: each name without its own is checked in both, servers side by
    // side, and the status shows the lookups in flight; one tick leaves cmbTLDs its role.
    void tickedExtensionsCheckEachNameInEach()
    {
        FakeWhoisServer server;
        QVERIFY(server.start());
        Fixture f;
        f.pointTldsAt(server.port());
        f.write(QStringLiteral("list.txt"), "alpha\r\nbeta.com\r\ngamma\r\n");
        ui::MainWindow &w = f.open();
        f.dialogAnswer = f.path(QStringLiteral("list.txt"));
        f.toolsItem(8)->trigger();
        auto *ticks = f.child<QToolButton>("cmdTLDs");
        QVERIFY(ticks && !ticks->isHidden());
        QCOMPARE(ticks->menu()->actions().size(), 2);
        w.setExtensionTicked(QStringLiteral("com"), true);
        QCOMPARE(ticks->text(), QStringLiteral("TLDs (1)"));
        auto *tlds = f.child<QComboBox>("cmbTLDs");
        tlds->setCurrentIndex(tlds->findText(QStringLiteral("net")));
        f.start()->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w.isRunActive(), kRunWaitMs);
        QCOMPARE(server.requests(), (QList<QByteArray>{"alpha.net", "beta.com", "gamma.net"}));
        QVERIFY(w.run().policy().describedPause); // one extension, one lookup at a time

        w.setExtensionTicked(QStringLiteral("net"), true);
        QCOMPARE(w.tickedExtensions(), (QStringList{QStringLiteral("com"), QStringLiteral("net")}));
        QStringList status;
        f.start()->click();
        QVERIFY(w.run().isRunning() && !w.run().policy().describedPause);
        QCOMPARE(w.run().policy().extensions, (QStringList{QStringLiteral("com"), QStringLiteral("net")}));
        connect(&w.run(), &core::CheckRun::statusChanged, this, [&](const QString &text) { status << text; });
        QVERIFY(!f.start()->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!w.isRunActive(), kRunWaitMs);
        const QList<QByteArray> asked = server.requests().mid(3);
        QCOMPARE(QSet<QByteArray>(asked.begin(), asked.end()),
                 (QSet<QByteArray>{"alpha.com", "alpha.net", "beta.com", "gamma.com", "gamma.net"}));
        QCOMPARE(asked.size(), 5);
        QVERIFY(!status.isEmpty() && status.first().startsWith(QStringLiteral("In flight: ")));
        QCOMPARE(f.panel(1), QStringLiteral("Entry Status"));
        QCOMPARE(f.panel(2), QStringLiteral("Open Connections"));
        QVERIFY(f.start()->isEnabled());
        QCOMPARE(f.setting(config::keys::WordNumber), QStringLiteral("4"));

        // The ticks outlive a reload of the table while their rows stay.
        w.loadTLDs();
        QCOMPARE(w.tickedExtensions(), (QStringList{QStringLiteral("com"), QStringLiteral("net")}));
    }

    // Stop on a word list: the source is chosen anew and offers the stored position.
    void stopOfferTheStoredPosition()
    {
        FakeWhoisServer server;
        QVERIFY(server.start());
        server.setDefault({FakeWhoisServer::Mode::Silent, {}});
        Fixture f;
        f.pointTldsAt(server.port());
        f.write(QStringLiteral("wordlists/FullWordList.txt"),
                "apple\r\nbanana\r\ncherry\r\ndate\r\nelder\r\n");
        ui::MainWindow &w = f.open();
        f.toolsItem(4)->trigger();
        f.wordNum()->setText(QStringLiteral("2"));
        f.start()->click();
        QTRY_COMPARE_WITH_TIMEOUT(server.requests().size(), 1, kRunWaitMs);
        QCOMPARE(server.requests().first(), QByteArray("banana.com"));

        f.stop()->click();
        QVERIFY(!w.run().isRunning());
        QCOMPARE(f.setting(config::keys::FullWordNum), QStringLiteral("3")); // stored at Stop
        QCOMPARE(f.wordNum()->text(), QStringLiteral("3"));
        QCOMPARE(f.wordMax()->text(), QStringLiteral("5"));
        QVERIFY(f.start()->isEnabled());
        QVERIFY(!f.stop()->isEnabled());
        QCOMPARE(f.panel(1), QStringLiteral("Entry Status"));
    }

    // The search sources always start at 1.
    void searchSourceStartsAtOne()
    {
        FakeWhoisServer server;
        QVERIFY(server.start());
        server.setDefault({FakeWhoisServer::Mode::Silent, {}});
        Fixture f;
        f.pointTldsAt(server.port());
        f.write(QStringLiteral("BrowserSearch.txt"), "one.com\r\ntwo.com\r\nthree.com\r\n");
        ui::MainWindow &w = f.open();
        w.setListBuilderOpener([] {});
        f.toolsItem(3)->trigger();
        f.wordMax()->setText(QStringLiteral("3"));
        f.wordNum()->setText(QStringLiteral("2"));
        f.start()->click();
        QCOMPARE(f.wordNum()->text(), QStringLiteral("1"));
        QTRY_COMPARE_WITH_TIMEOUT(server.requests().size(), 1, kRunWaitMs);
        QCOMPARE(server.requests().first(), QByteArray("one.com"));
        // Not past one.com while it waits for its answer; past it once Stop keeps it.
        QCOMPARE(f.setting(config::keys::GoogleWordNum), QStringLiteral("<missing>"));
        f.stop()->click();
        QCOMPARE(f.setting(config::keys::GoogleWordNum), QStringLiteral("2"));
        QCOMPARE(f.context->unanswered().names(), QStringList{QStringLiteral("one.com")});
        // Chosen anew: the search box is back, Start ready.
        QVERIFY(f.child("txtSearch")->isEnabled());
        QVERIFY(f.start()->isEnabled());
    }

    // The generator's list is checked as soon as it is written, from its first name, every
    // time: a position left in the box by an earlier run does not skip new names.
    void generatorStartsTheRun()
    {
        FakeWhoisServer server;
        QVERIFY(server.start());
        Fixture f;
        f.pointTldsAt(server.port());
        f.write(QStringLiteral("Appends.txt"), "my\r\n");
        f.setSetting(config::keys::CustWordNum, QStringLiteral("3"));
        ui::MainWindow &w = f.open();
        f.toolsItem(1)->trigger();
        ui::GeneratorWindow *generator = w.generatorWindow();
        QVERIFY(generator);
        generator->findChild<QLineEdit *>(QStringLiteral("Text1"))->setText(QStringLiteral("shop"));

        for (int round = 1; round <= 2; ++round) {
            const qsizetype asked = server.requests().size();
            QSignalSpy stopped(&w.run(), &core::CheckRun::stopped);
            generator->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
            QTRY_VERIFY_WITH_TIMEOUT(stopped.size() == 1, kRunWaitMs);
            // Every name of the written list was looked up, in the list's order.
            QList<QByteArray> written;
            for (const QByteArray &line : f.read(QStringLiteral("CreatedDomains.txt")).split('\n')) {
                if (!line.trimmed().isEmpty())
                    written << line.trimmed();
            }
            QVERIFY(written.size() > 3);
            QCOMPARE(f.wordMax()->text(), QString::number(written.size()));
            QCOMPARE(server.requests().mid(asked), written);
            QCOMPARE(written.mid(0, 2), (QList<QByteArray>{"shop.com", "shop.net"}));
            // Stop offers the custom list's stored position, as it does for the generator.
            QCOMPARE(f.wordNum()->text(), QStringLiteral("3"));
            QVERIFY(f.start()->isEnabled());
        }
    }

    // Other commands ----------------------------------------------------------------------

    // View Help shows the user guide in the program's own window; without the guide a
    // Help.chm goes to the desktop's viewer; without either the user is told.
    void viewHelpOpensTheGuide()
    {
        Fixture f;
        f.setSetting(config::keys::ShowHelp, QStringLiteral("0"));
        ui::MainWindow &w = f.open();
        QAction *viewHelp = f.child<QAction>("mnuViewHelp");
        viewHelp->trigger();
        QVERIFY(!w.helpWindow());
        QCOMPARE(f.notice->messages.size(), 2); // the first-use message, then this one
        QVERIFY(f.notice->messages.last().text.contains(QStringLiteral("Help.html")));

        f.write(QStringLiteral("HELP.CHM"), "help");
        viewHelp->trigger();
        QCOMPARE(f.opener->files, QStringList{f.path(QStringLiteral("HELP.CHM"))});
        QVERIFY(!w.helpWindow());

        f.write(QStringLiteral("Help.html"), "<html><body><h1>The guide</h1></body></html>");
        viewHelp->trigger();
        QPointer<ui::HelpWindow> help = w.helpWindow();
        QVERIFY(help);
        QVERIFY(help->isVisible());
        QCOMPARE(help->windowTitle(), ui::HelpWindow::kTitle);
        QVERIFY(help->browser()->toPlainText().contains(QStringLiteral("The guide")));
        QCOMPARE(f.opener->files.size(), 1); // the guide needs no other program
        viewHelp->trigger();
        QCOMPARE(w.helpWindow(), help.data()); // one help window
        QVERIFY(f.opener->addresses.isEmpty());
    }

    // F1 opens the guide from the main window and from the windows over it.
    void f1OpensTheHelpWindow()
    {
        Fixture f;
        f.setSetting(config::keys::ShowHelp, QStringLiteral("0"));
        f.write(QStringLiteral("Help.html"), "<html><body>guide</body></html>");
        ui::MainWindow &w = f.open();
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_F1);
        QTRY_VERIFY(w.helpWindow() && w.helpWindow()->isVisible());
        w.helpWindow()->close();
        QTRY_VERIFY(!w.helpWindow());

        ui::attachCompanionWindows(w, *f.context);
        f.child<QPushButton>("cmdSetup")->click();
        auto *setup = w.findChild<ui::SetupWindow *>();
        QVERIFY(QTest::qWaitForWindowActive(setup));
        QTest::keyClick(setup, Qt::Key_F1);
        QTRY_VERIFY(w.helpWindow() && w.helpWindow()->isVisible());
    }

    // The guide that ships with the program: every link of its contents leads to a part of it,
    // and a link to the web goes to the browser (or is offered for copying).
    void shippedGuideAndItsLinks()
    {
        QFile source(QStringLiteral(WENDLECOTT_TESTDATA "/../../data/Help.html"));
        QVERIFY(source.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(source.readAll());
        const QRegularExpression link(QStringLiteral("href=\"#([a-z]+)\""));
        int links = 0;
        for (const QRegularExpressionMatch &match : link.globalMatch(html)) {
            ++links;
            QVERIFY2(html.contains(QStringLiteral("name=\"%1\"").arg(match.captured(1))),
                     qPrintable(match.captured(1)));
        }
        QVERIFY(links >= 8);
        for (const char *topic :
             {"Custom List", "Generate names", "Registered", "Success", "wendlecott-cli", "F5", "F1"})
            QVERIFY2(html.contains(QLatin1String(topic)), topic);

        Fixture f;
        f.setSetting(config::keys::ShowHelp, QStringLiteral("0"));
        f.write(QStringLiteral("Help.html"), html.toUtf8());
        ui::MainWindow &w = f.open();
        w.viewHelp();
        ui::HelpWindow *help = w.helpWindow();
        QVERIFY(help);
        QVERIFY(help->browser()->toPlainText().contains(QStringLiteral("How a run works")));
        help->followLink(QUrl(QStringLiteral("#lists")));
        QVERIFY(f.opener->addresses.isEmpty());
        help->followLink(QUrl(QStringLiteral("https://example.org/page")));
        QCOMPARE(f.opener->addresses, QStringList{QStringLiteral("https://example.org/page")});
        f.opener->works = false;
        f.notice->okCancelAnswer = true;
        help->followLink(QUrl(QStringLiteral("https://example.org/other")));
        QCOMPARE(f.clipboard->text, QStringLiteral("https://example.org/other"));
    }

    void addressForBrowser_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("opened");
        QTest::newRow("bare host") << "www.example.org"
                                   << "http://www.example.org";
        QTest::newRow("http") << "http://example.org"
                              << "http://example.org";
        QTest::newRow("https") << "https://example.org"
                               << "https://example.org";
        QTest::newRow("upper case") << "HTTPS://Example.org"
                                    << "HTTPS://Example.org";
        QTest::newRow("other scheme") << "ftp://example.org"
                                      << "http://ftp://example.org";
    }
    void addressForBrowser()
    {
        QFETCH(QString, address);
        QFETCH(QString, opened);
        QCOMPARE(ui::addressForBrowser(address), opened);
    }

    void websiteButtonAndAbout()
    {
        Fixture f;
        ui::MainWindow &w = f.open();
        f.child<QPushButton>("cmdWebsite")->click();
        QCOMPARE(f.opener->addresses, QStringList{QStringLiteral("http://www.wendlecott.example")});

        f.menu("mnuAboutMenu")->actions().at(0)->trigger();
        QPointer<ui::AboutWindow> about = w.aboutWindow();
        QVERIFY(about);
        QVERIFY(about->isVisible());
        QVERIFY(!about->isModal());
        QCOMPARE(about->windowTitle(), QStringLiteral("About Wendlecott"));
        QCOMPARE(about->findChild<QLabel *>(QStringLiteral("lblProductName"))->text(),
                 QStringLiteral("Wendlecott"));
        QCOMPARE(about->findChild<QLabel *>(QStringLiteral("lblCompany"))->text(),
                 QStringLiteral("Brindlemoor"));
        QCOMPARE(about->findChild<QLabel *>(QStringLiteral("lblVersion"))->text(),
                 QStringLiteral("%1.%2").arg(WENDLECOTT_VERSION_MAJOR).arg(WENDLECOTT_VERSION_MINOR));
        QStringList captions;
        for (QLabel *label : about->findChildren<QLabel *>())
            captions << label->text();
        QVERIFY(captions.contains(QStringLiteral("Owned By:")));
        QVERIFY(captions.contains(QStringLiteral("Version:")));
        QVERIFY(captions.contains(QStringLiteral("Website:")));
        auto *website = about->findChild<QLabel *>(QStringLiteral("lblWebsite"));
        QVERIFY(website->text().contains(QStringLiteral("www.wendlecott.example")));
        Q_EMIT website->linkActivated(QStringLiteral("#"));
        QCOMPARE(f.opener->addresses.size(), 2);
        QCOMPARE(f.opener->addresses.last(), QStringLiteral("http://www.wendlecott.example"));

        // One About window at a time.
        f.menu("mnuAboutMenu")->actions().at(0)->trigger();
        QCOMPARE(w.aboutWindow(), about.data());
    }

    // A desktop without a browser: the website button says so and offers the address.
    void websiteThatCannotBeOpenedIsOfferedForCopying()
    {
        Fixture f;
        f.open();
        f.opener->works = false;
        f.notice->okCancelAnswer = false;
        f.child<QPushButton>("cmdWebsite")->click();
        QCOMPARE(f.notice->questions.size(), 1);
        QVERIFY(f.notice->questions.first().contains(QStringLiteral("http://www.wendlecott.example")));
        QCOMPARE(f.clipboard->sets, 0);
        f.notice->okCancelAnswer = true;
        f.child<QPushButton>("cmdWebsite")->click();
        QCOMPARE(f.clipboard->text, QStringLiteral("http://www.wendlecott.example"));
    }

    // Resize ------------------------------------------------------------------------------

    void layoutFigures()
    {
        const ui::MainGeometry g = ui::computeMainLayout(15000, 12000, false);
        QVERIFY(g.arrangement);
        QVERIFY(!g.snapWidth);
        QVERIFY(!g.snapHeight);
        const ui::MainArrangement &a = *g.arrangement;
        QCOMPARE(a.topStrip, (ui::TwipsRect{0, 0, 15200, 570}));
        QCOMPARE(a.resultFrame, (ui::TwipsRect{150, 600, 14700, 10400}));
        // Lists 15000 / 5 − 250 = 2750 wide, gaps 75, 75, 300, 300, the height of List1.
        const int xs[5] = {125, 2950, 5775, 8825, 11875};
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(a.columns[i].list, (ui::TwipsRect{xs[i], 615, 2750, 9260}));
            QCOMPARE(a.columns[i].label, (ui::TwipsRect{xs[i], 300, 2750, 270}));
            QCOMPARE(a.columns[i].buttons, (ui::TwipsRect{xs[i], 9920, 2750, 360}));
        }
        // The last list ends inside the frame.
        QVERIFY(a.columns[4].list.right() <= a.resultFrame.width);
        QCOMPARE(a.statusPanels, (std::array<int, 3>{3750, 3750, 7500}));
    }

    void layoutRules_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("minimised");
        QTest::addColumn<bool>("laidOut");
        QTest::addColumn<int>("snapWidth"); // 0: none
        QTest::addColumn<int>("snapHeight");
        QTest::newRow("both at the minimum") << 6500 << 6500 << false << true << 0 << 0;
        QTest::newRow("narrow") << 6400 << 9000 << false << false << 6501 << 0;
        QTest::newRow("just too narrow") << 6499 << 9000 << false << false << 6501 << 0;
        QTest::newRow("low") << 9000 << 6400 << false << false << 0 << 6501;
        QTest::newRow("small") << 3000 << 2000 << false << false << 6501 << 6501;
        QTest::newRow("minimised and small") << 3000 << 2000 << true << false << 0 << 0;
        QTest::newRow("minimised and large") << 15000 << 12000 << true << false << 0 << 0;
    }
    void layoutRules()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(bool, minimised);
        QFETCH(bool, laidOut);
        QFETCH(int, snapWidth);
        QFETCH(int, snapHeight);
        const ui::MainGeometry g = ui::computeMainLayout(width, height, minimised);
        QCOMPARE(g.arrangement.has_value(), laidOut);
        QCOMPARE(g.snapWidth.value_or(0), snapWidth);
        QCOMPARE(g.snapHeight.value_or(0), snapHeight);
    }

    void layoutAtTheMinimumStillFits()
    {
        const ui::MainGeometry g = ui::computeMainLayout(6510, 6510, false);
        QVERIFY(g.arrangement);
        const ui::MainArrangement &a = *g.arrangement;
        QCOMPARE(a.columns[0].list.width, 1052); // 6510 / 5 − 250
        QVERIFY(a.columns[4].list.right() <= a.resultFrame.width);
        QVERIFY(a.columns[0].list.height > 0);
        QCOMPARE(a.statusPanels, (std::array<int, 3>{1628, 1628, 3255}));
    }

    void windowFollowsTheLayout()
    {
        Fixture f;
        ui::MainWindow &w = f.open();
        w.showNormal();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.resize(1280, 800);
        QCOMPARE(w.size(), QSize(1280, 800));
        QCOMPARE(w.stripRowCount(), 1); // wide enough for the strip in one row
        const ui::MainGeometry g = ui::computeMainLayout(19200, 12000, false);
        QVERIFY(w.arrangement());
        QCOMPARE(w.arrangement()->resultFrame, g.arrangement->resultFrame);

        auto *frame = f.child<QGroupBox>("Frame2");
        QCOMPARE(frame->geometry(), ui::pixelRect(g.arrangement->resultFrame));
        QCOMPARE(f.child("Frame1")->geometry(), ui::pixelRect(g.arrangement->topStrip));
        int i = 0;
        for (ListId id : ui::ResultListsView::kColumnOrder) {
            QListView *list = w.resultListsView()->listView(id);
            const QRect placed(list->mapTo(frame, QPoint(0, 0)), list->size());
            QCOMPARE(placed, ui::pixelRect(g.arrangement->columns[i].list));
            QLabel *label = w.resultListsView()->label(id);
            QCOMPARE(label->mapTo(frame, QPoint(0, 0)).x(), placed.x());
            QVERIFY(label->mapTo(frame, QPoint(0, 0)).y() < placed.y());
            ++i;
        }
        // The status panels share their width a quarter, a quarter and a half.
        QTRY_VERIFY(qAbs(f.child("Panel3")->width() - 2 * f.child("Panel1")->width()) <= 6);
        QVERIFY(qAbs(f.child("Panel1")->width() - f.child("Panel2")->width()) <= 2);
    }

    // Too narrow for one row, the strip puts Setup and the website button on a second row
    // and the result frame moves down by that row; the widths follow the same rules.
    void narrowWindowGetsTheStripInTwoRows()
    {
        Fixture f;
        ui::MainWindow &w = f.open();
        w.showNormal();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.resize(900, 600);
        QCOMPARE(w.size(), QSize(900, 600));
        QCOMPARE(w.stripRowCount(), 2);
        const ui::MainLayoutMetrics metrics = w.layoutMetrics();
        QVERIFY(metrics.frameTop > ui::MainLayoutMetrics{}.frameTop);
        const ui::MainGeometry g = ui::computeMainLayout(13500, 9000, false, metrics);
        QCOMPARE(w.arrangement()->resultFrame, g.arrangement->resultFrame);
        QCOMPARE(w.arrangement()->columns[0].list.width, 13500 / 5 - 250);
        auto *setup = f.child<QPushButton>("cmdSetup");
        auto *start = f.child<QPushButton>("cmdDoSearch");
        QVERIFY(setup->mapTo(&w, QPoint(0, 0)).y() > start->mapTo(&w, QPoint(0, 0)).y());
        QVERIFY(f.child("Frame2")->mapTo(&w, QPoint(0, 0)).y() >=
                setup->mapTo(&w, QPoint(0, setup->height())).y());
        w.resize(1280, 800);
        QCOMPARE(w.stripRowCount(), 1);
        QCOMPARE(setup->mapTo(&w, QPoint(0, 0)).y(), start->mapTo(&w, QPoint(0, 0)).y());
    }

    // Below its minimum the window keeps the minimum, which still shows every caption.
    void windowKeepsItsMinimum_data()
    {
        QTest::addColumn<QSize>("asked");
        QTest::newRow("narrow") << QSize(400, 700);
        QTest::newRow("low") << QSize(1000, 300);
        QTest::newRow("both") << QSize(200, 200);
    }
    void windowKeepsItsMinimum()
    {
        QFETCH(QSize, asked);
        Fixture f;
        ui::MainWindow &w = f.open();
        w.showNormal();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QSize least = w.minimumSize();
        QVERIFY(least.width() >= 434 && least.height() >= 434); // never below 6501 twips
        QVERIFY(least.width() <= 900);                          // a 900 × 600 window is allowed
        w.resize(asked);
        QCOMPARE(w.size(), asked.expandedTo(least));
        const ui::MainGeometry g = ui::computeMainLayout(
            ui::twipsFromPixels(w.width()), ui::twipsFromPixels(w.height()), false, w.layoutMetrics());
        QCOMPARE(w.arrangement()->resultFrame, g.arrangement->resultFrame);
    }

    // At 900 × 600 and at the smallest size, with either set of strip controls, every caption
    // is as wide as it needs.
    void captionsAreWholeAtSmallSizes_data()
    {
        QTest::addColumn<int>("source"); // Combo1 item
        QTest::addColumn<bool>("smallest");
        QTest::newRow("word list, 900 x 600") << 6 << false;
        QTest::newRow("word list, smallest") << 6 << true;
        QTest::newRow("search, 900 x 600") << 3 << false;
        QTest::newRow("search, smallest") << 3 << true;
    }
    void captionsAreWholeAtSmallSizes()
    {
        QFETCH(int, source);
        QFETCH(bool, smallest);
        Fixture f;
        ui::MainWindow &w = f.open();
        w.setListBuilderOpener([] {});
        core::ResultLists &lists = f.context->lists();
        for (int i = 0; i < 25; ++i) // counts of two digits in the captions
            lists.addRegistered(QStringLiteral("taken%1.com").arg(i));
        f.toolsItem(source)->trigger();
        w.showNormal();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.resize(smallest ? QSize(1, 1) : QSize(900, 600));
        QCOMPARE(w.size(), smallest ? w.minimumSize() : QSize(900, 600));
        QCoreApplication::processEvents();

        int checked = 0;
        for (QWidget *widget : w.findChildren<QWidget *>()) {
            if (!widget->isVisibleTo(&w) || widget->isWindow())
                continue;
            QString text;
            int needed = 0;
            if (auto *button = qobject_cast<QPushButton *>(widget)) {
                text = button->text();
                needed = button->fontMetrics().horizontalAdvance(text) + 8;
            } else if (auto *label = qobject_cast<QLabel *>(widget); label && !label->wordWrap()) {
                text = label->text();
                needed = label->sizeHint().width();
            } else if (auto *combo = qobject_cast<QComboBox *>(widget); combo && !combo->isEditable()) {
                text = combo->currentText();
                needed = combo->minimumSizeHint().width();
            }
            if (text.isEmpty())
                continue;
            ++checked;
            QVERIFY2(widget->width() >= needed, qPrintable(QStringLiteral("%1 \"%2\": %3 < %4")
                                                               .arg(widget->objectName(), text)
                                                               .arg(widget->width())
                                                               .arg(needed)));
            // Inside the window, not cut off at its edge.
            const QRect inWindow(widget->mapTo(&w, QPoint(0, 0)), widget->size());
            QVERIFY2(w.rect().contains(inWindow), qPrintable(widget->objectName()));
        }
        QVERIFY(checked > 20);
    }

    // Start-up ----------------------------------------------------------------------------

    void firstAndSecondStart()
    {
        Fixture f;
        f.write(QStringLiteral("Help.chm"), "help");
        ui::MainWindow &w = f.open();
        Q_UNUSED(w);
        QCOMPARE(f.notice->messages.size(), 1);
        QCOMPARE(f.notice->messages.first().title, QString());
        QCOMPARE(f.notice->messages.first().text, config::kFirstUseMessage);
        QCOMPARE(f.notice->messages.first().icon, core::NoticeIcon::None);
        QCOMPARE(f.opener->files, QStringList{f.path(QStringLiteral("Help.chm"))});
        QCOMPARE(f.context->pause().throttleMs, 25);
        QCOMPARE(f.context->preferences().defaultExtension(), QStringLiteral(".com"));
        QVERIFY(!f.context->preferences().useProxy());
        auto *tlds = f.child<QComboBox>("cmbTLDs");
        QStringList offered;
        for (int i = 0; i < tlds->count(); ++i)
            offered << tlds->itemText(i);
        QCOMPARE(offered, strings({"com", "net"}));
        QCOMPARE(tlds->currentText(), QString());
        for (const char *name : {"TLDs.txt", "BrowserSearch.txt", "Appends.txt", "CreatedDomains.txt",
                                 "Remembered.txt", "backups", "overflow", "wordlists", "searches"})
            QVERIFY2(f.exists(QLatin1String(name)), name);
        QCOMPARE(f.setting(config::keys::FirstUse), QStringLiteral("NO"));
        QCOMPARE(f.setting(config::keys::ShowHelp), QStringLiteral("0"));
        QVERIFY(w.windowState() & Qt::WindowMaximized);

        f.restart();
        QVERIFY(f.notice->messages.isEmpty());
        QVERIFY(f.opener->files.isEmpty());
    }

    // The guide and the first-use message open while the window is built; once it is shown
    // they depend on it (a stacking window manager keeps them above it) and the message is on top.
    void startupWindowsStayAboveTheMainWindow()
    {
        Fixture f;
        f.write(QStringLiteral("Help.html"), "<html><body><h1>Guide</h1></body></html>");
        ui::MainWindow &w = f.open(true);
        QPointer<QMessageBox> box = f.qtNotice()->lastMessageBox();
        QPointer<ui::HelpWindow> help = w.helpWindow();
        QVERIFY(box);
        QVERIFY(help);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (QWidget *window : std::initializer_list<QWidget *>{help, box}) {
            QTRY_VERIFY(window->windowHandle());
            QTRY_COMPARE(window->windowHandle()->transientParent(), w.windowHandle());
        }
        QTRY_COMPARE(QApplication::activeWindow(), box.data());
        box->close();
        help->close();
    }

    // The first-use message as the user sees it: no icon, OK only, the default title.
    void firstUseMessageBox()
    {
        Fixture f;
        f.open(true);
        ui::QtUserNotice *notice = f.qtNotice();
        QVERIFY(notice);
        QPointer<QMessageBox> box = notice->lastMessageBox();
        QVERIFY(box);
        QCOMPARE(box->text(), config::kFirstUseMessage);
        QCOMPARE(box->icon(), QMessageBox::NoIcon);
        QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(box->windowTitle(), ui::QtUserNotice::defaultTitle());
        QCOMPARE(box->parentWidget(), f.window.get());
        box->close();
        QTRY_VERIFY(!box);

        f.restart(true);
        QVERIFY(!f.qtNotice()->lastMessageBox());
    }

    void startupReadsSettings_data()
    {
        QTest::addColumn<QString>("throttle");
        QTest::addColumn<int>("throttleMs");
        QTest::addColumn<QString>("proxy");
        QTest::addColumn<bool>("useProxy");
        QTest::newRow("numbers") << "40" << 40 << "1" << true;
        QTest::newRow("throttle not a number") << "abc" << 0 << "0" << false;
        QTest::newRow("proxy not a truth") << "0" << 0 << "maybe" << false;
    }
    void startupReadsSettings()
    {
        QFETCH(QString, throttle);
        QFETCH(int, throttleMs);
        QFETCH(QString, proxy);
        QFETCH(bool, useProxy);
        Fixture f;
        f.setSetting(config::keys::Throttle, throttle);
        f.setSetting(config::keys::ChkProxy, proxy);
        f.setSetting(config::keys::DefaultExt, QStringLiteral(".org"));
        f.setSetting(config::keys::FirstUse, QStringLiteral("no"));
        f.open();
        QCOMPARE(f.context->pause().throttleMs, throttleMs);
        QCOMPARE(f.context->preferences().useProxy(), useProxy);
        QCOMPARE(f.context->preferences().defaultExtension(), QStringLiteral(".org"));
        QVERIFY(f.notice->messages.isEmpty());
        QCOMPARE(f.child<QComboBox>("cmbTLDs")->count(), 2); // the start-up went on to the end
    }

    void savedListIsLoaded()
    {
        Fixture f;
        f.write(QStringLiteral("Remembered.txt"), "kept.com\r\n\r\nother.net\r\n");
        f.open();
        QCOMPARE(f.context->lists().entries(ListId::Saved),
                 (QStringList{QStringLiteral("kept.com"), QStringLiteral("other.net")}));
    }

    void loadTLDsKeepsAChoiceStillOffered()
    {
        Fixture f;
        ui::MainWindow &w = f.open();
        auto *tlds = f.child<QComboBox>("cmbTLDs");
        tlds->setCurrentIndex(tlds->findText(QStringLiteral("net")));
        f.write(QStringLiteral("TLDs.txt"), "org|whois.example|43|Enabled|25|No match\r\n\r\n"
                                            "net|whois.example|43|Enabled|25|No match\r\n\r\n"
                                            "proxy|127.0.0.1|43|Enabled|25|No match\r\n");
        w.loadTLDs();
        QCOMPARE(tlds->count(), 2);
        QCOMPARE(tlds->itemText(0), QStringLiteral("org"));
        QCOMPARE(tlds->currentText(), QStringLiteral("net"));

        f.write(QStringLiteral("TLDs.txt"), "org|whois.example|43|Enabled|25|No match\r\n");
        w.loadTLDs();
        QCOMPARE(tlds->currentText(), QString());

        QFile::remove(f.path(QStringLiteral("TLDs.txt")));
        w.loadTLDs();
        QCOMPARE(tlds->count(), 0);
    }

    void readOnlyProgramFolder()
    {
        Fixture f;
        QFile::setPermissions(f.program, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                             QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
        const auto restore = qScopeGuard([&] {
            QFile::setPermissions(f.program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        });
        ui::MainWindow &w = f.open();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.isVisible());
        QCOMPARE(f.notice->messages.size(), 1); // the first-use message, nothing about files

        // Root writes into a read-only folder all the same.
        QFile probe(f.path(QStringLiteral("probe.txt")));
        if (probe.open(QIODevice::WriteOnly)) {
            probe.close();
            probe.remove();
            QSKIP("the folder can be written despite its mode (running as root): creation is not refused");
        }
        for (const char *name : {"TLDs.txt", "Appends.txt", "Remembered.txt", "backups", "wordlists"})
            QVERIFY2(!f.exists(QLatin1String(name)), name);
        QCOMPARE(f.child<QComboBox>("cmbTLDs")->count(), 0);
        QVERIFY(f.context->lists().entries(ListId::Saved).isEmpty());
    }

    // Splash and shutdown -----------------------------------------------------------------

    void splashOpensTheMainWindowAtTheLastTick()
    {
        Fixture f;
        auto scheduler = std::make_unique<testing::FakeScheduler>();
        testing::FakeScheduler &clock = *scheduler;
        config::AppState &context = f.makeContext(false, std::move(scheduler));
        ui::SplashWindow splash(context);
        QSignalSpy loaded(&splash, &ui::SplashWindow::mainWindowLoaded);
        splash.start();
        QVERIFY(splash.isVisible());
        clock.advance(74 * context.timing().splashTickMs);
        QVERIFY(!splash.mainWindow());
        QCOMPARE(splash.counter(), 148);
        clock.advance(context.timing().splashTickMs);
        QVERIFY(splash.mainWindow());
        QCOMPARE(loaded.size(), 1);
        QVERIFY(splash.mainWindow()->isVisible());
        QVERIFY(!splash.isVisible());
        clock.advance(100 * context.timing().splashTickMs);
        QCOMPARE(splash.counter(), 150); // its timer has stopped

        // Closing the main window closes the (hidden) splash too.
        QSignalSpy shutDown(splash.mainWindow(), &ui::MainWindow::shutDown);
        splash.mainWindow()->close();
        QCOMPARE(shutDown.size(), 1);
        QVERIFY(!splash.isVisible());
    }

    void splashClosedEarlyOpensNothing()
    {
        Fixture f;
        auto scheduler = std::make_unique<testing::FakeScheduler>();
        testing::FakeScheduler &clock = *scheduler;
        config::AppState &context = f.makeContext(false, std::move(scheduler));
        ui::SplashWindow splash(context);
        splash.start();
        clock.advance(10 * context.timing().splashTickMs);
        splash.close();
        clock.advance(100 * context.timing().splashTickMs);
        QVERIFY(!splash.mainWindow());
    }

    // Closing the main window during a run: nothing more is dispatched, every socket and
    // window is closed, no setting is written.
    void shutdownDuringARun()
    {
        FakeWhoisServer server;
        QVERIFY(server.start());
        server.setDefault({FakeWhoisServer::Mode::Silent, {}});
        Fixture f;
        f.pointTldsAt(server.port());
        f.write(QStringLiteral("list.txt"), "alpha\r\nbravo\r\n");
        ui::MainWindow &w = f.open(true);
        w.show();
        f.toolsItem(1)->trigger(); // the generator is open too
        f.dialogAnswer = f.path(QStringLiteral("list.txt"));
        f.toolsItem(8)->trigger();
        f.menu("mnuAboutMenu")->actions().at(0)->trigger();
        ui::QtUserNotice *notice = f.qtNotice();
        notice->showBlocked(QStringLiteral("whois.example"), QStringLiteral("quota exceeded"),
                            QStringLiteral("alpha.com"));
        notice->showOverflowNotice();
        QPointer<ui::BlockedNotice> blocked = notice->blockedWindow();
        QPointer<ui::OverflowNotice> overflow = notice->overflowWindow();
        QPointer<ui::AboutWindow> about = w.aboutWindow();
        QPointer<ui::GeneratorWindow> generator = w.generatorWindow();
        auto *companion = new QWidget;
        companion->setAttribute(Qt::WA_DeleteOnClose);
        QPointer<QWidget> companionAlive = companion;
        companion->show();
        w.closeAtShutdown(companion);
        f.start()->click();
        QTRY_COMPARE_WITH_TIMEOUT(server.requests().size(), 1, kRunWaitMs);
        QSignalSpy shutDown(&w, &ui::MainWindow::shutDown);

        w.close();
        QCOMPARE(shutDown.size(), 1);
        // The run's position is stored as it stops; nothing is written after that.
        QCOMPARE(f.setting(config::keys::WordNumber), QStringLiteral("2"));
        const QByteArray settingsBefore = f.settingsBytes();
        QVERIFY(!w.run().isRunning());
        QVERIFY(!w.isVisible());
        QVERIFY(!generator->isVisible());
        QTRY_VERIFY(!about);
        QTRY_VERIFY(!blocked);
        QTRY_VERIFY(!overflow);
        QTRY_VERIFY(!companionAlive);
        // Long enough for the next name, had the run gone on (the pause is 1 ms).
        QTest::qWait(200);
        QCOMPARE(server.requests().size(), 1);
        QCOMPARE(server.connectionCount(), 1);
        QCOMPARE(f.settingsBytes(), settingsBefore);
    }

    void fileExitShutsDown()
    {
        Fixture f;
        ui::MainWindow &w = f.open();
        w.show();
        QSignalSpy shutDown(&w, &ui::MainWindow::shutDown);
        f.child<QAction>("mnuExit")->trigger();
        QCOMPARE(shutDown.size(), 1);
        QVERIFY(!w.isVisible());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_ui_mainwindow.moc"
