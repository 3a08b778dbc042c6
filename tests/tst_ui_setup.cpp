#include "FakeConnection.h"
#include "FakeHttpClient.h"
#include "FakeNotice.h"
#include "FakeScheduler.h"
#include "FakeWhoisServer.h"
#include "MemorySettingsStore.h"
#include "TestAppState.h"
#include "TestFolder.h"
#include "config/SettingsKeys.h"
#include "core/base/TextFile.h"
#include "core/lookup/RdapBootstrap.h"
#include "core/tld/TldTable.h"
#include "platform/QtScheduler.h"
#include "platform/QtWhoisConnection.h"
#include "ui/QtUserNotice.h"
#include "ui/SetupWindow.h"

#include <QCheckBox>
#include <QFocusEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QtTest>

using namespace wendlecott;
using Mode = testing::FakeWhoisServer::Mode;

namespace {

const QString S = core::kStandardSuccessWords;
const QString kTlds = QStringLiteral("TLDs.txt");
constexpr int kWaitMs = 10000; // generous bound for loopback; a passing test takes milliseconds

const QStringList kRows{
    QStringLiteral("com|whois.example|43|Enabled|25|No match"),
    QStringLiteral("org|whois.org.example|43|enabled|100|NOT FOUND"),
    QStringLiteral("de|whois.denic.example|43|Disabled|3|free"),
};

QByteArray crlfLines(const QStringList &lines)
{
    return core::encodeText(core::joinLinesCrLf(lines));
}

// The Setup window over a temporary program folder. The registrar test runs on a scripted
// connection and a hand-moved clock unless the test asks for real ones.
struct Fixture {
    explicit Fixture(const QStringList &rows = kRows) { folder.write(kTlds, crlfLines(rows)); }

    ui::SetupWindow &open()
    {
        return openWith(
            [this] {
                auto made = std::make_unique<testing::FakeConnection>();
                connection = made.get();
                return made;
            },
            scheduler);
    }
    ui::SetupWindow &openWith(core::ConnectionFactory connections, core::Scheduler &clock)
    {
        return openWith(std::move(connections), clock, notice);
    }
    // With the program's notice as message boxes, as the desktop program has it.
    ui::SetupWindow &openWithBoxes()
    {
        return openWith(
            [this] {
                auto made = std::make_unique<testing::FakeConnection>();
                connection = made.get();
                return made;
            },
            scheduler, boxes);
    }
    ui::SetupWindow &openWith(core::ConnectionFactory connections, core::Scheduler &clock,
                              core::UserNotice &userNotice)
    {
        state = testing::makeTestState({folder.path(), settings, userNotice, clock, std::move(connections)});
        (void)state->reloadTable();
        window = std::make_unique<ui::SetupWindow>(*state);
        window->setOnClosed([this] { ++closedCalls; });
        return *window;
    }

    template <typename T> T *child(const char *name) const
    {
        return window->findChild<T *>(QString::fromLatin1(name));
    }
    QLineEdit *field(const char *name) const { return child<QLineEdit>(name); }
    void click(const char *button) const { child<QPushButton>(button)->click(); }
    QTreeView *list() const { return child<QTreeView>("lstDomains"); }
    // A row click as the user makes it: the row becomes the current, selected one.
    void clickRow(int row) const
    {
        list()->selectionModel()->setCurrentIndex(
            list()->model()->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    int rowOf(const QString &extension) const
    {
        const QAbstractItemModel *model = list()->model();
        for (int i = 0; i < model->rowCount(); ++i) {
            if (model->index(i, 0).data().toString() == extension)
                return i;
        }
        return -1;
    }
    QStringList shownRows() const
    {
        QStringList rows;
        const QAbstractItemModel *model = list()->model();
        for (int r = 0; r < model->rowCount(); ++r) {
            QStringList fields;
            for (int c = 0; c < model->columnCount(); ++c)
                fields.append(model->index(r, c).data().toString());
            rows.append(fields.join(QLatin1Char('|')));
        }
        return rows;
    }
    QStringList labelTexts() const
    {
        QStringList texts;
        for (const QLabel *label : window->findChildren<QLabel *>())
            texts.append(label->text());
        return texts;
    }
    QByteArray file() const { return folder.read(kTlds); }

    testing::TestFolder folder;
    testing::MemorySettingsStore settings;
    testing::FakeNotice notice;
    ui::QtUserNotice boxes; // message boxes; the main window is not there
    testing::FakeScheduler scheduler;
    testing::FakeConnection *connection = nullptr;
    int closedCalls = 0;
    std::unique_ptr<config::AppState> state;
    std::unique_ptr<ui::SetupWindow> window;
};

} // namespace

class TestUiSetup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void controlsAndCaptions()
    {
        Fixture f;
        ui::SetupWindow &window = f.open();
        QCOMPARE(window.objectName(), QStringLiteral("frmSettings"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Settings"));

        const std::pair<const char *, const char *> buttons[] = {
            {"cmdSave", "Add/Save"},         {"cmdToggle", "Enable/Disable"},  {"Command1", "New Extension"},
            {"Command2", "Delete Selected"}, {"Command3", "Restore Defaults"}, {"Command4", "DEBUG"},
            {"cmdTest", "Test Selected"},
        };
        for (const auto &[name, caption] : buttons) {
            QVERIFY2(f.child<QPushButton>(name), name);
            QCOMPARE(f.child<QPushButton>(name)->text(), QString::fromLatin1(caption));
        }
        for (const char *name : {"txtExt", "txtServer", "txtPort", "txtThrottle", "txtSuccess", "txtsearch",
                                 "txtDefault", "txtthrot"})
            QVERIFY2(f.field(name), name);
        QVERIFY(f.child<QCheckBox>("chkProxy"));
        QCOMPARE(
            f.child<QCheckBox>("chkProxy")->text(),
            QStringLiteral("Use the server entered under the extension \"proxy\" for all whois lookups"));

        const QStringList labels = f.labelTexts();
        for (const QString &caption :
             {QStringLiteral("List of Top Level Domains:"), QStringLiteral("Extension:"),
              QStringLiteral("Whois Server:"), QStringLiteral("Port:"), QStringLiteral("Throttle (ms):"),
              QStringLiteral("Success Indicators:"),
              QStringLiteral("Use this domain when testing registrars in the list below:"),
              QStringLiteral("Use the following TLD as the default (generally com)"),
              QStringLiteral(
                  "Pause for this many milliseconds after each domain is scanned in Browse for Domains "
                  "mode:"),
              QStringLiteral("(Note: Other areas of the program use the individual throttle settings below)"),
              QStringLiteral("Proxy WHOIS server:")})
            QVERIFY2(labels.contains(caption), qPrintable(caption));
        // The field labels point at their fields.
        for (const QLabel *label : window.findChildren<QLabel *>()) {
            if (label->text() == QLatin1String("Whois Server:"))
                QCOMPARE(label->buddy(), f.field("txtServer"));
        }

        QStringList headers;
        for (int c = 0; c < f.list()->model()->columnCount(); ++c)
            headers.append(f.list()->model()->headerData(c, Qt::Horizontal).toString());
        QCOMPARE(headers, (QStringList{QStringLiteral("Extension"), QStringLiteral("Server"),
                                       QStringLiteral("Port"), QStringLiteral("Status"),
                                       QStringLiteral("Throttle"), QStringLiteral("Success")}));
        QCOMPARE(f.shownRows(), kRows);
    }

    void listStretchesWithTheWindow()
    {
        Fixture f;
        ui::SetupWindow &window = f.open();
        window.resize(760, 620);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QSize listBefore = f.list()->size();
        const QSize fieldBefore = f.field("txtPort")->size();
        window.resize(1000, 820);
        QTRY_VERIFY(f.list()->height() > listBefore.height());
        QVERIFY(f.list()->width() > listBefore.width());
        QCOMPARE(f.field("txtPort")->height(), fieldBefore.height());
    }

    void openingFillsAndStores()
    {
        Fixture f;
        f.open();
        QCOMPARE(f.field("txtthrot")->text(), QStringLiteral("20"));
        QCOMPARE(f.field("txtDefault")->text(), QStringLiteral(".com"));
        QCOMPARE(f.field("txtsearch")->text(), QStringLiteral("Google"));
        QVERIFY(!f.child<QCheckBox>("chkProxy")->isChecked());
        QCOMPARE(f.settings.value(config::keys::Throttle), QStringLiteral("20"));
        QCOMPARE(f.settings.value(config::keys::DefaultExt), QStringLiteral(".com"));
        QCOMPARE(f.settings.value(config::keys::DefaultSearch), QStringLiteral("Google"));
        QVERIFY(!f.child<QLabel>("lblSkippedRows")->isVisibleTo(f.window.get()));

        // Typing stores at once.
        f.field("txtthrot")->setText(QStringLiteral("250"));
        f.field("txtsearch")->setText(QStringLiteral("Yahoo"));
        QCOMPARE(f.settings.value(config::keys::Throttle), QStringLiteral("250"));
        QCOMPARE(f.settings.value(config::keys::DefaultSearch), QStringLiteral("Yahoo"));
    }

    void proxyBox()
    {
        Fixture f;
        f.settings.set(config::keys::ChkProxy, QStringLiteral("1"));
        f.open();
        auto *box = f.child<QCheckBox>("chkProxy");
        QVERIFY(box->isChecked());
        QVERIFY(f.state->preferences().useProxy());
        box->click();
        QVERIFY(!f.state->preferences().useProxy());
        QCOMPARE(f.settings.value(config::keys::ChkProxy), QStringLiteral("0"));
        box->click();
        QVERIFY(f.state->preferences().useProxy());
        QCOMPARE(f.settings.value(config::keys::ChkProxy), QStringLiteral("1"));
    }

    void rowClickThenAddSave()
    {
        Fixture f;
        f.open();
        f.clickRow(f.rowOf(QStringLiteral("de")));
        QCOMPARE(f.field("txtExt")->text(), QStringLiteral("de"));
        QCOMPARE(f.field("txtServer")->text(), QStringLiteral("whois.denic.example"));
        QCOMPARE(f.field("txtPort")->text(), QStringLiteral("43"));
        QCOMPARE(f.field("txtThrottle")->text(), QStringLiteral("3"));
        QCOMPARE(f.field("txtSuccess")->text(), QStringLiteral("free"));
        QVERIFY(!f.window->editor().editEnabled());

        f.field("txtServer")->setText(QStringLiteral("whois.new.example"));
        f.field("txtThrottle")->clear();
        f.field("txtSuccess")->clear();
        f.click("cmdSave");
        QVERIFY(f.notice.messages.isEmpty());
        QCOMPARE(f.field("txtThrottle")->text(), QStringLiteral("25"));
        QCOMPARE(f.field("txtSuccess")->text(), S);
        QVERIFY(f.shownRows().contains(QStringLiteral("de|whois.new.example|43|Disabled|25|") + S));
        QCOMPARE(f.window->selectedRow(), f.rowOf(QStringLiteral("de")));
        QCOMPARE(f.state->table().at(core::findTLD(f.state->table(), QStringLiteral("x.de"), false)).server,
                 QStringLiteral("whois.new.example"));

        // "New Extension": a new row is saved enabled.
        f.click("Command1");
        QVERIFY(f.field("txtExt")->text().isEmpty());
        QVERIFY(f.field("txtServer")->text().isEmpty());
        QVERIFY(f.field("txtPort")->text().isEmpty());
        QCOMPARE(f.field("txtThrottle")->text(), QStringLiteral("25"));
        f.field("txtExt")->setText(QStringLiteral("NL"));
        f.field("txtServer")->setText(QStringLiteral("whois.nl.example"));
        f.field("txtPort")->setText(QStringLiteral("43"));
        f.click("cmdSave");
        QCOMPARE(f.shownRows().last(), QStringLiteral("nl|whois.nl.example|43|Enabled|25|") + S);
        QVERIFY(f.file().endsWith("nl|whois.nl.example|43|Enabled|25|" + S.toLatin1() + "\r\n"));
    }

    void addSaveWithMissingFields()
    {
        Fixture f;
        f.open();
        const QByteArray before = f.file();
        f.field("txtExt")->setText(QStringLiteral("nl"));
        f.field("txtPort")->setText(QStringLiteral("43"));
        f.click("cmdSave");
        QCOMPARE(f.notice.messages.size(), 1);
        QCOMPARE(f.notice.messages[0].text, QStringLiteral("Please enter valid information for all fields."));
        QCOMPARE(f.file(), before);
        QVERIFY(f.field("txtThrottle")->text().isEmpty()); // nothing filled in either
    }

    void enableDisable()
    {
        Fixture f;
        f.open();
        const int org = f.rowOf(QStringLiteral("org"));
        f.click("cmdToggle"); // no row selected: nothing happens
        QCOMPARE(f.shownRows(), kRows);
        f.clickRow(org);
        f.click("cmdToggle");
        QCOMPARE(f.shownRows().at(org), QStringLiteral("org|whois.org.example|43|Enabled|100|NOT FOUND"));
        QVERIFY(f.state->table().at(org).enabled);
        QCOMPARE(f.window->selectedRow(), org); // still selected: a second click switches it back
        f.click("cmdToggle");
        QCOMPARE(f.shownRows().at(org), QStringLiteral("org|whois.org.example|43|Disabled|100|NOT FOUND"));
        QVERIFY(!f.state->table().at(org).enabled);
    }

    void deleteSelected_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::newRow("OK") << true;
        QTest::newRow("Cancel") << false;
    }
    void deleteSelected()
    {
        QFETCH(bool, answer);
        Fixture f;
        f.open();
        const QByteArray before = f.file();
        f.notice.okCancelAnswer = answer;
        f.clickRow(1);
        f.click("Command2");
        QCOMPARE(f.notice.questions,
                 QStringList{QStringLiteral("Delete?\nReally delete this TLD from the list?\r\n\r\n"
                                            "org (server whois.org.example, port 43)")});
        if (!answer) {
            QCOMPARE(f.file(), before);
            QCOMPARE(f.shownRows(), kRows);
            QCOMPARE(f.field("txtExt")->text(), QStringLiteral("org"));
            return;
        }
        QCOMPARE(f.shownRows(), (QStringList{kRows.at(0), kRows.at(2)}));
        QCOMPARE(f.file(), crlfLines({kRows.at(0), QString(), kRows.at(2), QString()}));
        QCOMPARE(f.state->table().size(), 2);
        QVERIFY(f.field("txtExt")->text().isEmpty());
        QVERIFY(f.field("txtServer")->text().isEmpty());
        QVERIFY(f.field("txtPort")->text().isEmpty());
        QCOMPARE(f.window->selectedRow(), -1); // a second click deletes nothing by accident
    }

    void restoreDefaultsAndDebug()
    {
        Fixture f;
        f.open();
        const QByteArray before = f.file();
        f.notice.okCancelAnswer = false;
        f.click("Command3");
        QCOMPARE(f.notice.questions.size(), 1);
        QVERIFY(f.notice.questions.first().startsWith(QStringLiteral("Restore Defaults?\n")));
        QCOMPARE(f.file(), before);
        QCOMPARE(f.shownRows(), kRows);

        f.notice.okCancelAnswer = true;
        f.click("Command3");
        QCOMPARE(f.list()->model()->rowCount(), 179);
        QCOMPARE(f.state->table().size(), 179);
        QCOMPARE(f.file(), core::encodeText(core::defaultTldText()));
        f.click("Command4");
        const QList<QByteArray> lines = f.folder.read(QStringLiteral("debug.txt")).split('\n');
        QCOMPARE(lines.size(), 180); // 179 lines and the end of the last
        QVERIFY(lines.first().startsWith("strTemp = strTemp & \"0|"));
        QVERIFY(lines.first().endsWith("|43|Disabled|25|" + S.toLatin1() + "\" & vbcrlf\r"));
        QCOMPARE(f.notice.messages.size(), 1);
        QVERIFY(f.notice.messages.first().text.endsWith(
            QDir::toNativeSeparators(f.folder.path() + QStringLiteral("/debug.txt"))));
    }

    // Every box of the Setup window opens over the Setup window, not over the main window
    // (which would come to the front and hide the window the user works in).
    void messagesBelongToTheSetupWindow()
    {
        Fixture f;
        ui::SetupWindow &window = f.openWithBoxes();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QStringList asked;
        f.boxes.setQuestionHook([&](const QMessageBox &box) -> std::optional<QMessageBox::StandardButton> {
            asked << box.text();
            if (box.parentWidget() != &window)
                asked << QStringLiteral("<wrong parent>");
            return QMessageBox::Cancel;
        });

        f.field("txtExt")->setText(QStringLiteral("nl"));
        f.click("cmdSave"); // server and port missing
        QPointer<QMessageBox> box = window.findChild<QMessageBox *>();
        QVERIFY(box);
        QCOMPARE(box->text(), config::kMissingFieldsMessage);
        QCOMPARE(box->parentWidget(), &window);
        QVERIFY(box->isVisible());
        box->close();
        QTRY_VERIFY(!box);

        f.clickRow(f.rowOf(QStringLiteral("de")));
        f.click("Command2");
        f.click("Command3");
        QCOMPARE(asked.size(), 2);
        QVERIFY(asked.at(0).endsWith(QStringLiteral("de (server whois.denic.example, port 43)")));
        QVERIFY(asked.at(1).startsWith(QStringLiteral("Replace the 3 rows")));
        QCOMPARE(f.shownRows(), kRows); // both cancelled

        f.click("Command4");
        box = window.findChild<QMessageBox *>();
        QVERIFY(box);
        QCOMPARE(box->parentWidget(), &window);
        QVERIFY(box->text().contains(QStringLiteral("debug.txt")));
        box->close();
        QTRY_VERIFY(!box);

        // The registrar test's verdict.
        f.clickRow(f.rowOf(QStringLiteral("com")));
        f.click("cmdTest");
        QVERIFY(f.connection);
        f.connection->peerAccept();
        f.connection->peerSend("No match for GOOGLE.COM\r\n");
        f.connection->peerClose();
        box = window.findChild<QMessageBox *>();
        QVERIFY(box);
        QCOMPARE(box->parentWidget(), &window);
        QVERIFY(box->text().startsWith(QStringLiteral("Appears to be: AVAILABLE")));
        box->close();
    }

    // "Proxy WHOIS server:" is followed by the row it refers to.
    void proxyHeadingNamesTheProxyRow()
    {
        Fixture f(kRows + QStringList{QStringLiteral("proxy|whois.proxy.example|4343|Enabled|25|x")});
        f.open();
        auto *row = f.child<QLabel>("lblProxyRow");
        QVERIFY(row);
        QCOMPARE(
            row->text(),
            QStringLiteral("the row \"proxy\" in the list below: whois.proxy.example, port 4343 (Enabled)"));
        f.clickRow(f.rowOf(QStringLiteral("proxy")));
        f.click("cmdToggle");
        QVERIFY(row->text().endsWith(QStringLiteral("(Disabled)")));
        f.clickRow(f.rowOf(QStringLiteral("proxy")));
        f.click("Command2");
        QVERIFY(row->text().contains(QStringLiteral("there is none yet")));
    }

    // A disabled row is drawn differently from an enabled one with the same texts.
    void disabledRowsLookDifferent()
    {
        Fixture f({QStringLiteral("com|w|43|Enabled|25|x"), QStringLiteral("com|w|43|Disabled|25|x"),
                   QStringLiteral("com|w|43|enabled|25|x")});
        f.open();
        const QAbstractItemModel *model = f.list()->model();
        QVERIFY(!ui::SetupWindow::rowLooksDisabled(model->index(0, 0)));
        QVERIFY(ui::SetupWindow::rowLooksDisabled(model->index(1, 0)));
        QVERIFY(ui::SetupWindow::rowLooksDisabled(model->index(2, 0))); // only "Enabled" is enabled
        const auto render = [&](int row) {
            QImage image(120, 20, QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            QStyleOptionViewItem option;
            option.initFrom(f.list()->viewport());
            option.rect = image.rect();
            f.list()->itemDelegate()->paint(&painter, option, model->index(row, 1));
            return image;
        };
        QVERIFY(render(0) != render(1));
        QCOMPARE(render(1), render(2));
    }

    void headerClicksSort()
    {
        Fixture f;
        ui::SetupWindow &window = f.open();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QHeaderView *header = f.list()->header();
        const auto clickHeader = [header](int column) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(column) + 4, header->height() / 2));
        };
        const auto column = [&f](int index) {
            QStringList texts;
            for (int r = 0; r < f.list()->model()->rowCount(); ++r)
                texts.append(f.list()->model()->index(r, index).data().toString());
            return texts;
        };
        f.clickRow(f.rowOf(QStringLiteral("de")));
        clickHeader(4);
        QCOMPARE(column(4), (QStringList{QStringLiteral("100"), QStringLiteral("25"), QStringLiteral("3")}));
        QCOMPARE(header->sortIndicatorSection(), 4);
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
        QCOMPARE(f.window->selectedRow(), f.rowOf(QStringLiteral("de"))); // the selection moved with its row
        QCOMPARE(f.field("txtExt")->text(), QStringLiteral("de"));
        clickHeader(0);
        QCOMPARE(column(0),
                 (QStringList{QStringLiteral("org"), QStringLiteral("de"), QStringLiteral("com")}));
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
        clickHeader(0);
        QCOMPARE(column(0),
                 (QStringList{QStringLiteral("com"), QStringLiteral("de"), QStringLiteral("org")}));
        // DEBUG writes the list as sorted.
        f.click("Command4");
        QVERIFY(f.folder.read(QStringLiteral("debug.txt")).startsWith("strTemp = strTemp & \"com|"));
    }

    void defaultExtensionFocusOut_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("cleared") << QString() << QStringLiteral(".com");
        QTest::newRow("without dot") << QStringLiteral("org") << QStringLiteral(".org");
        QTest::newRow("with dot") << QStringLiteral(".net") << QStringLiteral(".net");
    }
    void defaultExtensionFocusOut()
    {
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        Fixture f;
        f.open();
        QLineEdit *box = f.field("txtDefault");
        box->setText(typed);
        QCOMPARE(f.state->preferences().defaultExtension(), typed); // every change is taken at once
        QCOMPARE(f.settings.value(config::keys::DefaultExt), typed);
        QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
        QCoreApplication::sendEvent(box, &leave);
        QCOMPARE(box->text(), expected);
        QCOMPARE(f.state->preferences().defaultExtension(), expected);
        QCOMPARE(f.settings.value(config::keys::DefaultExt), expected);
    }

    void closingTakesTheDefaultAndCallsBack()
    {
        Fixture f;
        ui::SetupWindow &window = f.open();
        window.show();
        f.field("txtDefault")->setText(QStringLiteral("info"));
        (void)f.state->preferences().setDefaultExtension(QStringLiteral("stale"));
        window.close();
        QCOMPARE(f.closedCalls, 1);
        QCOMPARE(f.state->preferences().defaultExtension(), QStringLiteral(".info"));
        QCOMPARE(f.settings.value(config::keys::DefaultExt), QStringLiteral(".info"));
    }

    void closingDropsTheTest()
    {
        Fixture f;
        ui::SetupWindow &window = f.open();
        window.show();
        f.clickRow(0);
        f.click("cmdTest");
        QVERIFY(f.window->editor().registrarProbe().isRunning());
        window.close();
        QVERIFY(!f.window->editor().registrarProbe().isRunning());
        QVERIFY(!f.connection->isOpen());
        f.scheduler.advance(10000);
        QVERIFY(f.notice.messages.isEmpty());
    }

    void skippedRowsAreShown()
    {
        Fixture f({QStringLiteral("com|w|43|Enabled|25|x"), QStringLiteral("bad|w|43|Enabled|soon|x"),
                   QStringLiteral("de|w|70000|Enabled|25|x")});
        f.open();
        auto *label = f.child<QLabel>("lblSkippedRows");
        QVERIFY(label->isVisibleTo(f.window.get()));
        QCOMPARE(label->text(),
                 QStringLiteral("2 rows of TLDs.txt could not be read and are not used: line 2 (the "
                                "throttle is not a whole number), line 3 (the port is outside 1 to "
                                "65535)."));
        QCOMPARE(f.list()->model()->rowCount(), 3); // still listed, so they can be mended
        f.click("Command3");
        QVERIFY(!label->isVisibleTo(f.window.get()));
    }

    // The registrar test through a real socket to a fake whois server on 127.0.0.1.
    void registrarTest_data()
    {
        QTest::addColumn<QString>("testField");
        QTest::addColumn<QString>("successBox");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QString>("head"); // empty: no message
        QTest::newRow("available, word from the success box")
            << QStringLiteral("Google") << QStringLiteral("nothing here, Status: FREE")
            << QByteArray("status: free\r\n") << QByteArray("Google.com\r\n")
            << QStringLiteral(
                   "Appears to be: AVAILABLE\r\nSuccess word: Status: FREE\r\nDomain: Google.com\r\n"
                   "127.0.0.1:%1\r\n\r\n");
        QTest::newRow("stored word is not used")
            << QStringLiteral("Google") << QStringLiteral("free") << QByteArray("No match for GOOGLE.COM\r\n")
            << QByteArray("Google.com\r\n")
            << QStringLiteral("Appears to be: Registered\r\nDomain: Google.com\r\n127.0.0.1:%1\r\n\r\n");
        QTest::newRow("blocked") << QStringLiteral("Google.") << QStringLiteral("free")
                                 << QByteArray("Query rate exceeded\r\n") << QByteArray("Google.com\r\n")
                                 << QStringLiteral("Appears to be: Error/Blocked\r\nDomain: Google.com\r\n"
                                                   "127.0.0.1:%1\r\n\r\n");
        QTest::newRow("empty test field, available: no message")
            << QString() << QStringLiteral("free") << QByteArray("free\r\n") << QByteArray(".com\r\n")
            << QString();
        QTest::newRow("empty test field, registered: no message")
            << QString() << QStringLiteral("free") << QByteArray("Domain: com\r\n") << QByteArray(".com\r\n")
            << QString();
        QTest::newRow("empty test field, blocked is shown")
            << QString() << QStringLiteral("free") << QByteArray("error\r\n") << QByteArray(".com\r\n")
            << QStringLiteral("Appears to be: Error/Blocked\r\nDomain: .com\r\n127.0.0.1:%1\r\n\r\n");
    }
    void registrarTest()
    {
        QFETCH(QString, testField);
        QFETCH(QString, successBox);
        QFETCH(QByteArray, answer);
        QFETCH(QByteArray, request);
        QFETCH(QString, head);

        testing::FakeWhoisServer server;
        QVERIFY(server.start());
        server.setDefault({Mode::AnswerAndClose, answer});
        const QString port = QString::number(server.port());
        Fixture f({QStringLiteral("com|127.0.0.1|") + port + QStringLiteral("|Enabled|25|No match"),
                   QStringLiteral("net|192.0.2.1|43|Enabled|25|No match")});
        platform::QtScheduler clock;
        f.openWith(platform::QtWhoisConnection::factory(), clock);
        int judged = 0;
        QObject::connect(&f.window->editor().registrarProbe(), &core::RegistrarProbe::judged, f.window.get(),
                         [&judged] { ++judged; });

        f.clickRow(0);
        f.field("txtsearch")->setText(testField);
        f.field("txtSuccess")->setText(successBox);
        f.click("cmdTest");
        QTRY_COMPARE_WITH_TIMEOUT(judged, 1, kWaitMs);
        QCOMPARE(server.rawRequests(), QList<QByteArray>{request});
        if (head.isEmpty()) {
            QVERIFY(f.notice.messages.isEmpty());
        } else {
            QCOMPARE(f.notice.messages.size(), 1);
            QCOMPARE(f.notice.messages[0].text, head.arg(port) + QString::fromLatin1(answer));
        }
        QVERIFY(!f.window->editor().registrarProbe().isRunning());
        // The stored row was not touched by the words tried in the box.
        QCOMPARE(f.state->table().at(0).successWords, QStringLiteral("No match"));
    }

    // The RDAP switch is a preference; the update button installs a good file and refuses a bad one.
    // The number of lookups in flight is a preference; the box shows what is stored and
    // keeps it between 1 and 101.
    void jobsPreferenceIsStoredAndBounded()
    {
        Fixture f;
        QVERIFY(config::writeSetting(f.settings, config::keys::Jobs, QStringLiteral("6")).ok());
        f.open();
        auto *jobs = f.child<QSpinBox>("txtJobs");
        QVERIFY(jobs);
        QCOMPARE(jobs->value(), 1); // the state was read before the setting was written
        jobs->setValue(4);
        QCOMPARE(f.state->preferences().jobs(), 4);
        QCOMPARE(config::readSetting(f.settings, config::keys::Jobs, QString()), QStringLiteral("4"));
        jobs->setValue(500);
        QCOMPARE(f.state->preferences().jobs(), 101);
        QVERIFY(f.state->preferences().setJobs(0).ok());
        QCOMPARE(f.state->preferences().jobs(), 1);
        // A stored text that is no number leaves the value as it was.
        QVERIFY(config::writeSetting(f.settings, config::keys::Jobs, QStringLiteral("many")).ok());
        f.state->preferences().load();
        QCOMPARE(f.state->preferences().jobs(), 1);
        QVERIFY(config::writeSetting(f.settings, config::keys::Jobs, QStringLiteral("7")).ok());
        f.state->preferences().load();
        QCOMPARE(f.state->preferences().jobs(), 7);
    }

    // "Ask DNS first" shows the stored DnsFirst and stores each click; a run started after it
    // asks DNS first.
    void dnsFirstBoxIsBoundToItsSetting()
    {
        Fixture f;
        QVERIFY(config::writeSetting(f.settings, config::keys::DnsFirst, QStringLiteral("1")).ok());
        QVERIFY(config::writeSetting(f.settings, config::keys::DnsServer, QStringLiteral(" 127.0.0.1:5353 "))
                    .ok());
        f.open();
        f.state->preferences().load();
        f.window = std::make_unique<ui::SetupWindow>(*f.state); // opened over the stored settings
        auto *box = f.child<QCheckBox>("chkDnsFirst");
        QVERIFY(box);
        QCOMPARE(box->text(),
                 QStringLiteral("Ask DNS first (registered names are settled without asking the registry)"));
        QVERIFY(box->isChecked());
        box->click();
        QVERIFY(!f.state->preferences().dnsFirst());
        QCOMPARE(config::readSetting(f.settings, config::keys::DnsFirst, QString()), QStringLiteral("0"));
        box->click();
        const core::DnsFirstChoices choices = f.state->dnsFirstChoices();
        QVERIFY(choices.enabled);
        QCOMPARE(choices.server, QStringLiteral("127.0.0.1:5353"));
        QCOMPARE(choices.queriesPerSecond, 200);
        core::RunChoices run;
        run.dnsFirst = choices;
        QVERIFY(!core::runPolicyFor(f.state->table(), run).describedPause);
    }

    void rdapSwitchAndServerListUpdate()
    {
        Fixture f;
        testing::FakeHttpClient http;
        f.state = testing::makeTestState({f.folder.path(), f.settings, f.notice, f.scheduler,
                                          [] { return std::make_unique<testing::FakeConnection>(); }, nullptr,
                                          nullptr, &http});
        (void)f.state->reloadTable();
        f.window = std::make_unique<ui::SetupWindow>(*f.state);
        f.window->setRdapBootstrapAddress(QUrl(QStringLiteral("http://iana.test/dns.json")));
        auto *rdap = f.child<QCheckBox>("chkRdap");
        QCOMPARE(rdap->text(), QStringLiteral("Use RDAP where the registry offers it"));
        QVERIFY(!rdap->isChecked());
        rdap->click();
        QVERIFY(f.state->preferences().useRdap());
        QCOMPARE(config::readSetting(f.settings, config::keys::UseRdap, QString()), QStringLiteral("1"));
        QCOMPARE(f.state->lookupChoices().protocol, core::LookupProtocol::Auto);

        auto *label = f.child<QLabel>("lblRdapList");
        QVERIFY2(label->text().contains(QStringLiteral("2026-01-30")), qPrintable(label->text()));
        auto *update = f.child<QPushButton>("cmdUpdateRdap");
        update->click();
        QVERIFY(!update->isEnabled());
        QCOMPARE(http.requests.size(), 1);
        QCOMPARE(http.requests.first().url.toString(), QStringLiteral("http://iana.test/dns.json"));
        const QByteArray newer = "{\"publication\":\"2026-06-01T00:00:00Z\",\"services\":[[[\"com\"],"
                                 "[\"https://rdap.example/\"]]]}";
        http.last()->respond(200, newer);
        QVERIFY(update->isEnabled());
        QVERIFY2(label->text().contains(QStringLiteral("2026-06-01")), qPrintable(label->text()));
        QCOMPARE(f.folder.read(QStringLiteral("rdap-dns-bootstrap.json")), newer);
        QCOMPARE(f.state->bootstrap().baseUrlFor(QStringLiteral("a.com"))->host(),
                 QStringLiteral("rdap.example"));
        QVERIFY(f.notice.messages.last().text.contains(QStringLiteral("was updated")));

        // An error page changes nothing and says why.
        update->click();
        http.last()->respond(200, "<html>maintenance</html>");
        QVERIFY(f.notice.messages.last().text.contains(QStringLiteral("not an RDAP bootstrap file")));
        QCOMPARE(f.folder.read(QStringLiteral("rdap-dns-bootstrap.json")), newer);
        QCOMPARE(f.state->bootstrap().publication(), QStringLiteral("2026-06-01T00:00:00Z"));
        QVERIFY(update->isEnabled());
    }
};

QTEST_MAIN(TestUiSetup)
#include "tst_ui_setup.moc"
