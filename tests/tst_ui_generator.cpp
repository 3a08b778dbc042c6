#include "FakeNotice.h"
#include "FakeScheduler.h"
#include "MemorySettingsStore.h"
#include "TestFolder.h"
#include "config/SettingsKeys.h"
#include "config/SettingsStore.h"
#include "core/base/TextFile.h"
#include "ui/GeneratorWindow.h"
#include "ui/QtUserNotice.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

using namespace wendlecott;

namespace {

using SettingsFake = testing::MemorySettingsStore;

const QByteArray kTlds = "com|whois.example|43|Enabled|25|No match\r\n"
                         "de|whois.example|43|Disabled|25|free\r\n"
                         "NET|whois.example|43|Enabled|25|No match\r\n"
                         "proxy|127.0.0.1|43|Enabled|25|No match\r\n";

// A window over a temporary program folder, with its fakes.
struct Fixture {
    Fixture(const QByteArray &appends = "\r\nmy\r\nbest\r\n")
    {
        folder.write(QStringLiteral("Appends.txt"), appends);
        folder.write(QStringLiteral("TLDs.txt"), kTlds);
        folder.write(QStringLiteral("CreatedDomains.txt"), "\r\n");
    }
    ui::GeneratorWindow &open()
    {
        window =
            std::make_unique<ui::GeneratorWindow>(config::ProgramFolder(folder.path()), settings, notice);
        window->setStartRun([this](qint64 count) { starts.append(count); });
        return *window;
    }
    ui::GeneratorWindow &openOn(core::Scheduler &clock)
    {
        window = std::make_unique<ui::GeneratorWindow>(config::ProgramFolder(folder.path()), settings, notice,
                                                       clock);
        window->setStartRun([this](qint64 count) { starts.append(count); });
        return *window;
    }
    template <typename T> T *child(const char *name) const
    {
        return window->findChild<T *>(QString::fromLatin1(name));
    }
    QStringList listTexts(const char *name) const
    {
        QStringList texts;
        const auto *list = child<QListWidget>(name);
        for (int i = 0; i < list->count(); ++i)
            texts.append(list->item(i)->text());
        return texts;
    }
    QStringList list1() const
    {
        QStringList texts;
        const QAbstractItemModel *model = child<QListView>("List1")->model();
        for (int i = 0; i < model->rowCount(); ++i)
            texts.append(model->index(i, 0).data().toString());
        return texts;
    }
    // Every control that generation disables.
    QList<QWidget *> inputs() const
    {
        QList<QWidget *> widgets;
        for (const char *name : {"chkAdd_0", "chkAdd_1", "chkAdd_2", "Text1", "Text2", "Command1", "Command2",
                                 "cmdAdd", "cmdSub"})
            widgets.append(child<QWidget>(name));
        return widgets;
    }
    bool allInputsEnabled(bool enabled) const
    {
        for (QWidget *w : inputs()) {
            if (w->isEnabled() != enabled)
                return false;
        }
        return true;
    }

    testing::TestFolder folder;
    SettingsFake settings;
    testing::FakeNotice notice;
    QList<qint64> starts;
    std::unique_ptr<ui::GeneratorWindow> window;
};

} // namespace

class TestUiGenerator : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void controlsAndCaptions_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("toolTip");
        QTest::newRow("Command1") << "Command1"
                                  << "Start Generator"
                                  << "Once you have a base word, click here to create your list!";
        QTest::newRow("Command2") << "Command2"
                                  << "Save Domains As..."
                                  << "Save your list as a text file.";
        QTest::newRow("cmdAdd") << "cmdAdd"
                                << "Add"
                                << "Add your word.";
        QTest::newRow("cmdSub") << "cmdSub"
                                << "Del"
                                << "Remove the selected word.";
        QTest::newRow("chkAdd_0") << "chkAdd_0"
                                  << "Prefixes"
                                  << "";
        QTest::newRow("chkAdd_1") << "chkAdd_1"
                                  << "Suffixes"
                                  << "";
        QTest::newRow("chkAdd_2") << "chkAdd_2"
                                  << "Hyphens"
                                  << "";
    }
    void controlsAndCaptions()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, toolTip);
        Fixture f;
        f.open();
        auto *button = f.window->findChild<QAbstractButton *>(name);
        QVERIFY(button);
        QCOMPARE(button->text(), caption);
        QCOMPARE(button->toolTip(), toolTip);
    }

    void windowFramesAndBoxes()
    {
        Fixture f;
        ui::GeneratorWindow &w = f.open();
        QCOMPARE(w.objectName(), QStringLiteral("frmMake"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Domain Name Creator"));
        QVERIFY(f.child<QLineEdit>("Text1"));
        QCOMPARE(f.child<QLineEdit>("Text1")->toolTip(),
                 QStringLiteral("This word will appear in every domain created."));
        QVERIFY(f.child<QLineEdit>("Text2"));
        QVERIFY(f.child<QListView>("List1"));
        QVERIFY(f.child<QListWidget>("List2"));
        QVERIFY(f.child<QListWidget>("ListView1"));
        QCOMPARE(f.child<QLineEdit>("txtStatus")->text(), QStringLiteral("Status..."));

        QStringList frames;
        for (const QGroupBox *box : w.findChildren<QGroupBox *>())
            frames.append(box->title());
        frames.sort();
        QCOMPARE(frames,
                 QStringList({QStringLiteral("Generated Domains"), QStringLiteral("Prefixes/Suffixes"),
                              QStringLiteral("Top Level Domains")}));
        QStringList labels;
        for (const QLabel *label : w.findChildren<QLabel *>())
            labels.append(label->text());
        QVERIFY(labels.contains(QStringLiteral("Base Word:")));
        QVERIFY(labels.contains(QStringLiteral("Prefix/Suffix:")));
        QVERIFY(labels.contains(QStringLiteral("(taken from Setup window)")));
        // The note sits in the extensions' frame.
        const auto *tldFrame = f.child<QListWidget>("ListView1")->parentWidget();
        QCOMPARE(qobject_cast<const QGroupBox *>(tldFrame)->title(), QStringLiteral("Top Level Domains"));
    }

    void openingReadsListsAndSettings()
    {
        Fixture f("\r\nmy\r\n \r\nBest\r\n");
        f.settings.set(config::keys::ChkAdd1, QStringLiteral("0"));
        f.settings.set(config::keys::TxtMake, QStringLiteral("my shop"));
        f.open();
        QCOMPARE(f.listTexts("List2"), QStringList({QStringLiteral("my"), QStringLiteral("Best")}));
        QCOMPARE(f.listTexts("ListView1"), QStringList({QStringLiteral(".com"), QStringLiteral(".NET")}));
        const auto *extensions = f.child<QListWidget>("ListView1");
        for (int i = 0; i < extensions->count(); ++i)
            QCOMPARE(extensions->item(i)->checkState(), Qt::Checked);
        QVERIFY(f.child<QCheckBox>("chkAdd_0")->isChecked()); // default "1"
        QVERIFY(!f.child<QCheckBox>("chkAdd_1")->isChecked());
        QVERIFY(f.child<QCheckBox>("chkAdd_2")->isChecked());
        QCOMPARE(f.child<QLineEdit>("Text1")->text(), QStringLiteral("my shop"));
        QCOMPARE(f.settings.writeAttempts, 0); // restoring writes nothing
    }

    void settingsWrittenOnChangeAndClick()
    {
        Fixture f;
        f.open();
        QTest::keyClicks(f.child<QLineEdit>("Text1"), QStringLiteral("shop"));
        QCOMPARE(f.settings.value(config::keys::TxtMake), QStringLiteral("shop"));
        f.child<QCheckBox>("chkAdd_2")->click();
        QCOMPARE(f.settings.value(config::keys::ChkAdd2), QStringLiteral("0"));
        f.child<QCheckBox>("chkAdd_2")->click();
        QCOMPARE(f.settings.value(config::keys::ChkAdd2), QStringLiteral("1"));
        f.child<QCheckBox>("chkAdd_0")->click();
        QCOMPARE(f.settings.value(config::keys::ChkAdd0), QStringLiteral("0"));
        QVERIFY(!f.settings.contains(config::keys::ChkAdd1));

        // A new window restores what the old one stored.
        f.open();
        QCOMPARE(f.child<QLineEdit>("Text1")->text(), QStringLiteral("shop"));
        QVERIFY(!f.child<QCheckBox>("chkAdd_0")->isChecked());
        QVERIFY(f.child<QCheckBox>("chkAdd_2")->isChecked());
    }

    void generationRunsThroughTheEventLoop()
    {
        QByteArray appends;
        for (int i = 0; i < 300; ++i)
            appends += "w" + QByteArray::number(i) + "\r\n";
        Fixture f(appends);
        ui::GeneratorWindow &w = f.open();
        w.setSliceSize(100);
        f.child<QLineEdit>("Text1")->setText(QStringLiteral("shop"));

        // Watch the inputs while names arrive.
        int slices = 0;
        bool enabledMeanwhile = false;
        connect(f.child<QListView>("List1")->model(), &QAbstractItemModel::rowsInserted, this, [&] {
            ++slices;
            enabledMeanwhile = enabledMeanwhile || !f.allInputsEnabled(false);
        });
        QStringList statuses;
        connect(f.child<QLineEdit>("txtStatus"), &QLineEdit::textChanged, this,
                [&](const QString &text) { statuses.append(text); });

        f.child<QPushButton>("Command1")->click();
        QVERIFY(w.isGenerating());
        QVERIFY(f.allInputsEnabled(false));
        QVERIFY(f.child<QListWidget>("ListView1")->isEnabled());
        QVERIFY(f.child<QListWidget>("List2")->isEnabled());
        QVERIFY(f.starts.isEmpty()); // nothing ran inside the click

        QTRY_COMPARE(f.starts.size(), 1);
        QCOMPARE(f.starts.first(), 300 * 10);
        QVERIFY(slices > 10);
        QVERIFY(!enabledMeanwhile);
        QVERIFY(!w.isGenerating());
        QVERIFY(f.allInputsEnabled(true));
        QCOMPARE(f.child<QLineEdit>("txtStatus")->text(),
                 QStringLiteral("Created 3000 domains...  Search Started"));
        QCOMPARE(statuses.first(), QStringLiteral("Creating Domains - Created 1000 so far..."));
        QVERIFY(statuses.contains(QStringLiteral("Created 3000 domains...  Sorting...")));

        const QStringList shown = f.list1();
        QCOMPARE(shown.size(), 3000);
        QCOMPARE(shown.mid(0, 3), QStringList({QStringLiteral("shop.com"), QStringLiteral("shop.net"),
                                               QStringLiteral("w0shop.com")}));
        QVERIFY(f.notice.messages.isEmpty());
    }

    // More names than a 16-bit list could count: List1 and the count hold every one.
    void countBeyond32767ReachesTheMainWindow()
    {
        QByteArray appends;
        for (int i = 0; i < 4000; ++i)
            appends += "w" + QByteArray::number(i) + "\r\n";
        Fixture f(appends);
        f.open();
        f.child<QLineEdit>("Text1")->setText(QStringLiteral("shop"));
        f.child<QPushButton>("Command1")->click();
        QTRY_COMPARE(f.starts, QList<qint64>{40000});
        QCOMPARE(f.child<QListView>("List1")->model()->rowCount(), 40000);
    }

    // On a scheduler given to it, the window builds nothing until that scheduler runs.
    void slicesRunOnTheGivenScheduler()
    {
        testing::FakeScheduler clock;
        Fixture f;
        f.openOn(clock);
        f.child<QLineEdit>("Text1")->setText(QStringLiteral("shop"));
        f.child<QPushButton>("Command1")->click();
        QCoreApplication::processEvents();
        QVERIFY(f.window->isGenerating());
        QVERIFY(f.allInputsEnabled(false));
        QVERIFY(f.list1().isEmpty());
        clock.runDue();
        QVERIFY(f.allInputsEnabled(true));
        QCOMPARE(f.starts, QList<qint64>{20});
        QCOMPARE(f.list1().size(), 20);
        QCOMPARE(f.child<QLineEdit>("txtStatus")->text(),
                 QStringLiteral("Created 20 domains...  Search Started"));
    }

    void enterKeysRunTheirCommands()
    {
        Fixture f;
        f.open();
        // Only .com stays checked.
        f.child<QListWidget>("ListView1")->item(1)->setCheckState(Qt::Unchecked);
        f.child<QCheckBox>("chkAdd_0")->click();
        f.child<QCheckBox>("chkAdd_2")->click();

        QTest::keyClicks(f.child<QLineEdit>("Text2"), QStringLiteral("Top"));
        QTest::keyClick(f.child<QLineEdit>("Text2"), Qt::Key_Return);
        QCOMPARE(f.listTexts("List2").last(), QStringLiteral("Top"));
        QVERIFY(f.child<QLineEdit>("Text2")->text().isEmpty());
        QCOMPARE(f.folder.read(QStringLiteral("Appends.txt")), QByteArray("\r\nmy\r\nbest\r\nTop\r\n"));

        QTest::keyClicks(f.child<QLineEdit>("Text1"), QStringLiteral("shop"));
        QTest::keyClick(f.child<QLineEdit>("Text1"), Qt::Key_Enter);
        QTRY_COMPARE(f.starts.size(), 1);
        QCOMPARE(f.list1(), QStringList({QStringLiteral("shop.com"), QStringLiteral("shopmy.com"),
                                         QStringLiteral("shop.com"), QStringLiteral("shopbest.com"),
                                         QStringLiteral("shop.com"), QStringLiteral("shopTop.com")}));
    }

    void missingAppendsAbandonsTheCommand()
    {
        Fixture f;
        f.open();
        f.child<QLineEdit>("Text1")->setText(QStringLiteral("shop"));
        QVERIFY(QFile::remove(f.folder.file(QStringLiteral("Appends.txt"))));
        f.child<QPushButton>("Command1")->click();
        QCOMPARE(f.notice.messages.size(), 1);
        QVERIFY(!f.window->isGenerating());
        QVERIFY(f.allInputsEnabled(true));
        QCoreApplication::processEvents();
        QVERIFY(f.starts.isEmpty());
        QVERIFY(f.list1().isEmpty());
    }

    void failedWriteStartsNoRun()
    {
        Fixture f;
        f.open();
        f.child<QLineEdit>("Text1")->setText(QStringLiteral("shop"));
        core::WriteFaultScope fault(4);
        f.child<QPushButton>("Command1")->click();
        QTRY_VERIFY(!f.window->isGenerating());
        QCoreApplication::processEvents();
        QVERIFY(f.starts.isEmpty());
        QCOMPARE(f.notice.messages.size(), 1);
        QVERIFY(f.allInputsEnabled(true));
        // The status line tells why no run started.
        QCOMPARE(f.child<QLineEdit>("txtStatus")->text(), f.notice.messages.first().text);
    }

    void delWithoutSelectionChangesNothing()
    {
        Fixture f;
        f.open();
        f.child<QPushButton>("cmdSub")->click();
        QCOMPARE(f.notice.messages.size(), 1);
        QCOMPARE(f.notice.messages.first().text,
                 QStringLiteral("You must first select an item to remove from the list."));
        QCOMPARE(f.listTexts("List2"), QStringList({QStringLiteral("my"), QStringLiteral("best")}));
    }

    // The window's messages open over it, not over the main window behind it.
    void messagesBelongToTheGeneratorWindow()
    {
        Fixture f;
        QWidget mainWindow;
        ui::QtUserNotice boxes(&mainWindow);
        ui::GeneratorWindow window(config::ProgramFolder(f.folder.path()), f.settings, boxes, &mainWindow);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.findChild<QPushButton *>(QStringLiteral("cmdSub"))->click(); // nothing selected
        QPointer<QMessageBox> box = window.findChild<QMessageBox *>();
        QVERIFY(box);
        QCOMPARE(box->parentWidget(), &window);
        QCOMPARE(box->text(), sources::kNoWordSelectedMessage);
        QVERIFY(box->isVisible());
        box->close();
        QTRY_VERIFY(!box);
    }

    // An empty word list says where names come from; the hint goes once a word is there.
    void emptyWordListShowsAHint()
    {
        Fixture f("\r\n");
        ui::GeneratorWindow &window = f.open();
        auto *hint = f.child<QLabel>("lblAffixHint");
        QVERIFY(hint);
        QVERIFY(!hint->isHidden());
        QCOMPARE(hint->text(), ui::GeneratorWindow::kEmptyAffixHint);
        f.child<QLineEdit>("Text2")->setText(QStringLiteral("my"));
        f.child<QPushButton>("cmdAdd")->click();
        QVERIFY(hint->isHidden());
        f.child<QListWidget>("List2")->setCurrentRow(0);
        f.child<QPushButton>("cmdSub")->click();
        QVERIFY(!hint->isHidden());
        Q_UNUSED(window);

        Fixture withWords;
        withWords.open();
        QVERIFY(withWords.child<QLabel>("lblAffixHint")->isHidden());
    }

    void delRemovesEveryLineButOneEntry()
    {
        Fixture f("my\r\nbest\r\nmy\r\n");
        f.open();
        QCOMPARE(f.listTexts("List2"),
                 QStringList({QStringLiteral("my"), QStringLiteral("best"), QStringLiteral("my")}));
        f.child<QListWidget>("List2")->setCurrentRow(2);
        f.child<QPushButton>("cmdSub")->click();
        QVERIFY(f.notice.messages.isEmpty());
        QCOMPARE(f.listTexts("List2"), QStringList({QStringLiteral("my"), QStringLiteral("best")}));
    }

    void addWithAnEmptyBox()
    {
        Fixture f;
        f.open();
        f.child<QPushButton>("cmdAdd")->click();
        QCOMPARE(f.listTexts("List2"),
                 QStringList({QStringLiteral("my"), QStringLiteral("best"), QString()}));
        // Read again when the window opens, the empty line is skipped.
        f.open();
        QCOMPARE(f.listTexts("List2"), QStringList({QStringLiteral("my"), QStringLiteral("best")}));
    }

    void saveAsCopiesOrCancels()
    {
        Fixture f;
        ui::GeneratorWindow &w = f.open();
        f.folder.write(QStringLiteral("CreatedDomains.txt"), "shop.com\r\n\r\n");
        f.child<QLineEdit>("Text1")->setText(QStringLiteral("shop"));
        QString proposed;
        QString filter;
        QString answer;
        w.setSaveDialog([&](QWidget *, const QString &, const QString &path, const QString &f2) {
            proposed = path;
            filter = f2;
            return answer;
        });

        // Cancelled: nothing saved, but the starting folder now exists.
        f.child<QPushButton>("Command2")->click();
        QCOMPARE(QFileInfo(proposed).fileName(), QStringLiteral("shop.txt"));
        QCOMPARE(QFileInfo(QFileInfo(proposed).path()).canonicalFilePath(),
                 QFileInfo(f.folder.file(QStringLiteral("CustomLists"))).canonicalFilePath());
        QCOMPARE(filter, QStringLiteral("*.txt"));
        QCOMPARE(QDir(f.folder.file(QStringLiteral("CustomLists"))).entryList(QDir::Files), QStringList());

        // Chosen: the file is copied, replacing what was there.
        answer = f.folder.file(QStringLiteral("CustomLists/mine.txt"));
        f.folder.write(QStringLiteral("CustomLists/mine.txt"), "old\r\n");
        f.child<QPushButton>("Command2")->click();
        QCOMPARE(f.folder.read(QStringLiteral("CustomLists/mine.txt")), QByteArray("shop.com\r\n\r\n"));
        QVERIFY(f.notice.messages.isEmpty());
    }

    void reopeningReadsTheListsAgain()
    {
        Fixture f;
        ui::GeneratorWindow &w = f.open();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        f.folder.write(QStringLiteral("TLDs.txt"), "org|w|43|Enabled|25|x\r\n");
        // Shown again while open: unchanged.
        w.show();
        QCOMPARE(f.listTexts("ListView1"), QStringList({QStringLiteral(".com"), QStringLiteral(".NET")}));
        // Closed and opened: read anew.
        w.close();
        w.show();
        QCOMPARE(f.listTexts("ListView1"), QStringList{QStringLiteral(".org")});
    }
};

QTEST_MAIN(TestUiGenerator)
#include "tst_ui_generator.moc"
