#include "FakeNotice.h"
#include "FakePorts.h"
#include "TestFolder.h"
#include "core/lists/ResultLists.h"
#include "platform/widgets/QtClipboard.h"
#include "ui/ResultListsView.h"

#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace wendlecott;
using core::ListId;

namespace {

using testing::FakeClipboard;
using testing::FakeOpener;

QString name(const char *control, ListId id)
{
    return QString::fromLatin1(control) + QString::number(static_cast<int>(id));
}

// The window over lists in a temporary program folder, copying to the real (offscreen) clipboard.
struct Window {
    Window()
    {
        lists = std::make_unique<core::ResultLists>(folder.path(), notice, clipboard, opener);
        view = std::make_unique<ui::ResultListsView>(*lists);
        view->resize(1000, 400);
        view->show();
        if (!QTest::qWaitForWindowExposed(view.get()))
            qWarning("the window was not exposed");
    }
    QListView *list(ListId id) const { return view->findChild<QListView *>(name("List", id)); }
    QLabel *label(ListId id) const { return view->findChild<QLabel *>(name("Label", id)); }
    QPushButton *button(const char *control, ListId id) const
    {
        return view->findChild<QPushButton *>(name(control, id));
    }
    QPoint rowCentre(ListId id, int row) const
    {
        return list(id)->visualRect(lists->model(id)->index(row)).center();
    }
    void clickRow(ListId id, int row, Qt::KeyboardModifiers modifiers = {}) const
    {
        QTest::mouseClick(list(id)->viewport(), Qt::LeftButton, modifiers, rowCentre(id, row));
    }
    int currentRow(ListId id) const { return list(id)->selectionModel()->currentIndex().row(); }
    void fill(ListId id, int count)
    {
        QStringList entries;
        for (int i = 0; i < count; ++i)
            entries.append(QStringLiteral("list%1-%2.com").arg(static_cast<int>(id)).arg(i));
        lists->model(id)->append(entries);
    }

    testing::TestFolder folder;
    testing::FakeNotice notice;
    platform::QtClipboard clipboard;
    FakeOpener opener;
    std::unique_ptr<core::ResultLists> lists;
    std::unique_ptr<ui::ResultListsView> view;
};

const std::array<ListId, 5> kAll = {ListId::Low, ListId::Registered, ListId::High, ListId::Mid,
                                    ListId::Saved};

} // namespace

class TestUiResultLists : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void controlsHaveTheirNamesCaptionsAndTooltips()
    {
        Window w;
        const QStringList captions = {QStringLiteral("Low Profile"), QStringLiteral("Registered"),
                                      QStringLiteral("High Profile"), QStringLiteral("Mid Profile"),
                                      QStringLiteral("Saved Domains")};
        for (const ListId id : kAll) {
            auto *label = w.view->findChild<QLabel *>(name("Label", id));
            QVERIFY(label != nullptr);
            QCOMPARE(label->text(), captions.at(static_cast<int>(id) - 1));
            QCOMPARE(label->toolTip(), core::captionTooltip(id, 0));
            QCOMPARE(label->font().family(), QStringLiteral("Verdana"));
            QListView *list = w.list(id);
            QVERIFY(list != nullptr);
            QCOMPARE(list->font().family(), QStringLiteral("Verdana"));
            QCOMPARE(list->model(), w.lists->model(id));
            QCOMPARE(list->selectionModel()->model(), w.lists->model(id));
            QVERIFY(w.button("cmdCopy_", id) != nullptr);
            QCOMPARE(w.button("cmdCopy_", id)->toolTip(), QStringLiteral("Copy List"));
            QCOMPARE(w.button("cmdClear_", id)->toolTip(), QStringLiteral("Delete Selected Item"));
            QVERIFY(w.button("cmdClear2_", id) != nullptr);
            const bool saved = id == ListId::Saved;
            QCOMPARE(list->dragEnabled(), !saved);
            QCOMPARE(list->acceptDrops(), saved);
            QCOMPARE(list->selectionMode() == QAbstractItemView::ExtendedSelection, !saved);
        }
        QCOMPARE(w.list(ListId::High)->toolTip(),
                 QStringLiteral("These domains have less than 5 characters"));
        // Left to right: High, Mid, Low, Registered, Saved.
        int previous = -1;
        for (const ListId id : ui::ResultListsView::kColumnOrder) {
            const int x = w.list(id)->mapTo(w.view.get(), QPoint(0, 0)).x();
            QVERIFY2(x > previous, qPrintable(name("List", id)));
            previous = x;
        }
    }

    void captionsFollowTheLists()
    {
        Window w;
        w.lists->addAvailable(QStringLiteral("ab.com"));
        w.lists->addAvailable(QStringLiteral("cd.com"));
        w.lists->addRegistered(QStringLiteral("taken.com"));
        QCOMPARE(w.view->findChild<QLabel *>(QStringLiteral("Label3"))->text(),
                 QStringLiteral("High Profile (2)"));
        QCOMPARE(w.view->findChild<QLabel *>(QStringLiteral("Label2"))->text(),
                 QStringLiteral("Registered (1)"));
        QCOMPARE(w.list(ListId::High)->model()->rowCount(), 2);
        QTest::mouseClick(w.button("cmdClear2_", ListId::High), Qt::LeftButton);
        QCOMPARE(w.view->findChild<QLabel *>(QStringLiteral("Label3"))->text(),
                 QStringLiteral("High Profile"));
    }

    // A caption's tooltip says how many entries its list shows, whatever the caption counts.
    void captionTooltipsFollowTheListSize()
    {
        Window w;
        for (int i = 0; i < 102; ++i)
            w.lists->addRegistered(QStringLiteral("taken%1.com").arg(i));
        QCOMPARE(w.label(ListId::Registered)->text(), QStringLiteral("Registered (102)"));
        QCOMPARE(w.label(ListId::Registered)->toolTip(), core::captionTooltip(ListId::Registered, 1));
        w.lists->addAvailable(QStringLiteral("ab.com"));
        w.lists->addAvailable(QStringLiteral("cd.com"));
        QCOMPARE(w.label(ListId::High)->toolTip(), core::captionTooltip(ListId::High, 2));
        w.lists->deleteEntry(ListId::High, 0);
        QCOMPARE(w.label(ListId::High)->toolTip(), core::captionTooltip(ListId::High, 1));
        w.lists->clearList(ListId::High);
        QCOMPARE(w.label(ListId::High)->toolTip(), core::captionTooltip(ListId::High, 0));
        w.lists->dropOnSaved(QStringLiteral("kept.com"));
        QCOMPARE(w.label(ListId::Saved)->toolTip(), core::captionTooltip(ListId::Saved, 1));
    }

    // The latest name comes into view as it is filed, unless the user scrolled up to look at
    // earlier ones; back at the end, the list follows again.
    void newEntriesScrollIntoViewUnlessTheUserLooksUp()
    {
        Window w;
        QListView *list = w.list(ListId::High);
        const auto lastIsVisible = [&] {
            const int last = w.lists->model(ListId::High)->rowCount() - 1;
            return list->viewport()->rect().contains(
                list->visualRect(w.lists->model(ListId::High)->index(last)));
        };
        for (int i = 0; i < 200; ++i)
            w.lists->addAvailable(QStringLiteral("a%1.com").arg(i));
        QVERIFY(list->verticalScrollBar()->maximum() > 0);
        QVERIFY(lastIsVisible());
        QVERIFY(w.view->followsNewEntries(ListId::High));

        list->verticalScrollBar()->setValue(10);
        QVERIFY(!w.view->followsNewEntries(ListId::High));
        w.lists->addAvailable(QStringLiteral("b1.com"));
        QCOMPARE(list->verticalScrollBar()->value(), 10);
        QVERIFY(!lastIsVisible());

        list->scrollToBottom();
        w.lists->addAvailable(QStringLiteral("b2.com"));
        QVERIFY(lastIsVisible());
        // Other lists are not moved by a filing into this one.
        QCOMPARE(w.list(ListId::Mid)->verticalScrollBar()->value(), 0);
    }

    // Ctrl+C's command: the selected entries in list order, or the whole list without a selection.
    void copySelectedCopiesTheSelectionOrTheList()
    {
        Window w;
        w.fill(ListId::Low, 5);
        w.clickRow(ListId::Low, 3);
        w.clickRow(ListId::Low, 1, Qt::ControlModifier);
        QCOMPARE(w.view->currentList(), ListId::Low);
        w.view->copySelected(ListId::Low);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("list1-1.com\r\nlist1-3.com\r\n"));
        w.list(ListId::Low)->clearSelection();
        w.view->copySelected(ListId::Low);
        QCOMPARE(QApplication::clipboard()->text().count(QStringLiteral("\r\n")), 5);
        // The list with the focus is the one the commands act on.
        w.view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.view.get()));
        w.list(ListId::Saved)->setFocus();
        QTRY_COMPARE(w.view->currentList(), ListId::Saved);
    }

    void buttonsActOnTheirOwnList()
    {
        Window w;
        for (const ListId id : kAll)
            w.fill(id, 3);
        QTest::mouseClick(w.list(ListId::Mid)->viewport(), Qt::LeftButton, {}, w.rowCentre(ListId::Mid, 1));
        QTest::mouseClick(w.button("cmdClear_", ListId::Mid), Qt::LeftButton);
        QCOMPARE(w.lists->entries(ListId::Mid),
                 (QStringList{QStringLiteral("list4-0.com"), QStringLiteral("list4-2.com")}));
        QTest::mouseClick(w.button("cmdClear2_", ListId::Registered), Qt::LeftButton);
        for (const ListId id : kAll)
            QCOMPARE(w.lists->entries(id).size(), id == ListId::Registered ? 0 : (id == ListId::Mid ? 2 : 3));

        QTest::mouseClick(w.button("cmdCopy_", ListId::Saved), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("list5-0.com\r\nlist5-1.com\r\nlist5-2.com\r\n"));
        QTest::mouseClick(w.button("cmdCopy_", ListId::Registered), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString());
    }

    void deleteKeysActOnTheFocusedList()
    {
        Window w;
        for (const ListId id : kAll)
            w.fill(id, 3);
        QListView *low = w.list(ListId::Low);
        QTest::mouseClick(low->viewport(), Qt::LeftButton, {}, w.rowCentre(ListId::Low, 0));
        QTest::keyClick(low, Qt::Key_Delete);
        QCOMPARE(w.lists->entries(ListId::Low).size(), 2);
        QCOMPARE(w.lists->entries(ListId::Low).first(), QStringLiteral("list1-1.com"));
        QTest::keyClick(low, Qt::Key_Delete, Qt::ShiftModifier);
        QVERIFY(w.lists->entries(ListId::Low).isEmpty());
        QCOMPARE(w.lists->entries(ListId::High).size(), 3);

        QListView *saved = w.list(ListId::Saved);
        QTest::mouseClick(saved->viewport(), Qt::LeftButton, {}, w.rowCentre(ListId::Saved, 2));
        QTest::keyClick(saved, Qt::Key_Delete);
        QCOMPARE(w.lists->entries(ListId::Saved).size(), 2);
    }

    void deleteKey_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("left"); // entries left of three, the second current
        QTest::newRow("Delete") << int(Qt::Key_Delete) << int(Qt::NoModifier) << 2;
        QTest::newRow("Shift+Delete") << int(Qt::Key_Delete) << int(Qt::ShiftModifier) << 0;
        QTest::newRow("Shift+Delete on the keypad")
            << int(Qt::Key_Delete) << int(Qt::ShiftModifier | Qt::KeypadModifier) << 0;
        QTest::newRow("Delete on the keypad") << int(Qt::Key_Delete) << int(Qt::KeypadModifier) << 2;
        QTest::newRow("Ctrl+Shift+Delete")
            << int(Qt::Key_Delete) << int(Qt::ShiftModifier | Qt::ControlModifier) << 2;
        QTest::newRow("Alt+Shift+Delete")
            << int(Qt::Key_Delete) << int(Qt::ShiftModifier | Qt::AltModifier) << 2;
        QTest::newRow("Meta+Shift+Delete")
            << int(Qt::Key_Delete) << int(Qt::ShiftModifier | Qt::MetaModifier) << 2;
        QTest::newRow("Ctrl+Delete") << int(Qt::Key_Delete) << int(Qt::ControlModifier) << 2;
        QTest::newRow("Backspace") << int(Qt::Key_Backspace) << int(Qt::NoModifier) << 3;
        QTest::newRow("Shift+Backspace") << int(Qt::Key_Backspace) << int(Qt::ShiftModifier) << 3;
    }
    void deleteKey()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, left);
        Window w;
        for (const ListId id : kAll)
            w.fill(id, 3);
        for (const ListId id : kAll) {
            w.list(id)->selectionModel()->setCurrentIndex(w.lists->model(id)->index(1),
                                                          QItemSelectionModel::ClearAndSelect);
            QTest::keyClick(w.list(id), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
            QCOMPARE(w.lists->entries(id).size(), left);
            if (left == 2)
                QCOMPARE(w.lists->entries(id).at(1),
                         QStringLiteral("list%1-2.com").arg(static_cast<int>(id)));
        }
    }

    void deleteMovesTheSelectionToTheEntryThatMovedUp()
    {
        Window w;
        for (const char *name : {"aa.com", "bb.com", "cc.com"})
            w.lists->addAvailable(QString::fromLatin1(name));
        QListView *high = w.list(ListId::High);
        // Nothing current: Delete changes nothing, counter included.
        QTest::keyClick(high, Qt::Key_Delete);
        QTest::mouseClick(w.button("cmdClear_", ListId::High), Qt::LeftButton);
        QCOMPARE(w.lists->entries(ListId::High).size(), 3);
        QCOMPARE(w.lists->counter(ListId::High), 3);

        w.clickRow(ListId::High, 1);
        QTest::keyClick(high, Qt::Key_Delete);
        QCOMPARE(w.lists->entries(ListId::High),
                 (QStringList{QStringLiteral("aa.com"), QStringLiteral("cc.com")}));
        QCOMPARE(w.currentRow(ListId::High), 1);
        QCOMPARE(high->selectionModel()->selectedRows(),
                 QModelIndexList{w.lists->model(ListId::High)->index(1)});
        QCOMPARE(w.label(ListId::High)->text(), QStringLiteral("High Profile (2)"));

        // The last entry goes; the one above becomes current.
        QTest::mouseClick(w.button("cmdClear_", ListId::High), Qt::LeftButton);
        QCOMPARE(w.lists->entries(ListId::High), QStringList{QStringLiteral("aa.com")});
        QCOMPARE(w.currentRow(ListId::High), 0);
        QTest::keyClick(high, Qt::Key_Delete);
        QVERIFY(w.lists->entries(ListId::High).isEmpty());
        QVERIFY(!high->selectionModel()->hasSelection());
        QTest::keyClick(high, Qt::Key_Delete);
        QCOMPARE(w.lists->counter(ListId::High), 0);
        QCOMPARE(w.label(ListId::High)->text(), QStringLiteral("High Profile (0)"));
    }

    // Delete and Shift+Delete on the saved list are kept in Remembered.txt; Shift+Delete asks.
    void keysOnTheSavedListAreKept()
    {
        Window w;
        w.folder.write(QStringLiteral("Remembered.txt"), "keep.com\r\nalso.com\r\n");
        w.lists->loadRemembered();
        w.clickRow(ListId::Saved, 0);
        QTest::keyClick(w.list(ListId::Saved), Qt::Key_Delete);
        QCOMPARE(w.lists->entries(ListId::Saved), QStringList{QStringLiteral("also.com")});
        QCOMPARE(w.folder.read(QStringLiteral("Remembered.txt")), QByteArray("also.com\r\n"));
        w.notice.okCancelAnswer = true;
        QTest::keyClick(w.list(ListId::Saved), Qt::Key_Delete, Qt::ShiftModifier);
        QCOMPARE(w.notice.questions.size(), 1);
        QVERIFY(w.lists->entries(ListId::Saved).isEmpty());
        QCOMPARE(w.label(ListId::Saved)->text(), QStringLiteral("Saved Domains"));
        QCOMPARE(w.folder.read(QStringLiteral("Remembered.txt")), QByteArray());
    }

    void aDragCarriesTheSelectedRows()
    {
        Window w;
        w.fill(ListId::Low, 4);
        w.clickRow(ListId::Low, 3);
        w.clickRow(ListId::Low, 0, Qt::ControlModifier);
        w.clickRow(ListId::Low, 2, Qt::ControlModifier);
        QListView *low = w.list(ListId::Low);
        // What the list view hands to the model when a drag starts.
        std::unique_ptr<QMimeData> mime(
            w.lists->model(ListId::Low)->mimeData(low->selectionModel()->selectedIndexes()));
        QCOMPARE(mime->text(), QStringLiteral("0|2|3"));
        QCOMPARE(w.lists->dragSourceList(), ListId::Low);
    }

    void doubleClickAsksForTheWhoisWindowWhenTheLinkIsOff()
    {
        Window w;
        w.fill(ListId::Mid, 3);
        w.lists->setPurchaseLinkOn(false);
        QSignalSpy whois(w.lists.get(), &core::ResultLists::whoisRequested);
        w.clickRow(ListId::Mid, 2); // a double-click is a click and a second press
        QTest::mouseDClick(w.list(ListId::Mid)->viewport(), Qt::LeftButton, {}, w.rowCentre(ListId::Mid, 2));
        QCOMPARE(whois.size(), 1);
        QCOMPARE(whois.first().first().toString(), QStringLiteral("list4-2.com"));
        QVERIFY(w.opener.addresses.isEmpty());
        // A double-click below the last entry opens nothing.
        QTest::mouseDClick(w.list(ListId::Mid)->viewport(), Qt::LeftButton, {},
                           QPoint(5, w.list(ListId::Mid)->viewport()->height() - 3));
        QCOMPARE(whois.size(), 1);
    }

    void clicksNameTheDragSourceAndDoubleClickOpensTheLink()
    {
        Window w;
        w.fill(ListId::Registered, 2);
        w.fill(ListId::Saved, 1);
        QCOMPARE(w.lists->dragSourceList(), ListId::None);
        QTest::mouseClick(w.list(ListId::Saved)->viewport(), Qt::LeftButton, {},
                          w.rowCentre(ListId::Saved, 0));
        QCOMPARE(w.lists->dragSourceList(), ListId::None);
        QListView *registered = w.list(ListId::Registered);
        QTest::mouseClick(registered->viewport(), Qt::LeftButton, {}, w.rowCentre(ListId::Registered, 1));
        QCOMPARE(w.lists->dragSourceList(), ListId::Registered);
        QTest::mouseDClick(registered->viewport(), Qt::LeftButton, {}, w.rowCentre(ListId::Registered, 1));
        QCOMPARE(w.lists->selectedDomain(), QStringLiteral("list2-1.com"));
        QCOMPARE(w.opener.addresses.size(), 1);
        QVERIFY(w.opener.addresses.first().endsWith(QStringLiteral("domainToCheck=list2-1.com")));
    }

    // The context menu acts on the entry it was opened on, whatever the purchase link says.
    void contextMenuShowsCopiesAndBuys()
    {
        Window w;
        w.fill(ListId::High, 3);
        w.lists->setPurchaseLinkOn(true);
        QSignalSpy whois(w.lists.get(), &core::ResultLists::whoisRequested);
        QMenu *menu = w.view->entryMenu(ListId::High, 1, w.view.get());
        QStringList captions;
        for (QAction *action : menu->actions())
            captions << action->text();
        QCOMPARE(captions, (QStringList{QStringLiteral("Show answer"), QStringLiteral("Copy"),
                                        QStringLiteral("Open purchase page"), QStringLiteral("Watch")}));
        // An entry above it that goes meanwhile does not change which entry the menu acts on.
        w.lists->model(ListId::High)->removeAt(0);
        menu->findChild<QAction *>(QStringLiteral("mnuShowAnswer"))->trigger();
        QCOMPARE(whois.size(), 1);
        QCOMPARE(whois.first().first().toString(), QStringLiteral("list3-1.com"));
        QVERIFY(w.opener.addresses.isEmpty());
        menu->findChild<QAction *>(QStringLiteral("mnuCopyEntry"))->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("list3-1.com"));
        menu->findChild<QAction *>(QStringLiteral("mnuPurchasePage"))->trigger();
        QCOMPARE(w.opener.addresses.size(), 1);
        QVERIFY(w.opener.addresses.first().endsWith(QStringLiteral("list3-1.com")));
        QCOMPARE(w.lists->selectedDomain(), QStringLiteral("list3-1.com"));
        delete menu;
        // Where no entry is there is nothing to offer.
        QMenu *empty = w.view->entryMenu(ListId::Mid, 0, w.view.get());
        QVERIFY(empty->actions().isEmpty());
        delete empty;
        QCOMPARE(w.list(ListId::High)->contextMenuPolicy(), Qt::CustomContextMenu);
    }

    // With the answer store, "Show answer" shows what the store kept and asks the WHOIS
    // window only for a name the store does not know; "Watch" hands the name on. Without it,
    // "Watch" is disabled and says why.
    void entryMenuUsesTheStoreWhenThereIsOne()
    {
        Window w;
        w.fill(ListId::Registered, 2);
        QSignalSpy whois(w.lists.get(), &core::ResultLists::whoisRequested);
        QMenu *plain = w.view->entryMenu(ListId::Registered, 0, w.view.get());
        QAction *watch = plain->findChild<QAction *>(QStringLiteral("mnuWatchEntry"));
        QVERIFY(!watch->isEnabled());
        delete plain;

        QStringList shown;
        QStringList watched;
        ui::ResultListsView::StoreHooks hooks;
        hooks.showStoredAnswer = [&shown](const QString &name) {
            shown.append(name);
            return name.endsWith(QLatin1String("-0.com"));
        };
        hooks.watch = [&watched](const QString &name) { watched.append(name); };
        hooks.unavailable = QStringLiteral("no store");
        w.view->setStoreHooks(hooks);
        for (int row : {0, 1}) {
            QMenu *menu = w.view->entryMenu(ListId::Registered, row, w.view.get());
            menu->findChild<QAction *>(QStringLiteral("mnuShowAnswer"))->trigger();
            menu->findChild<QAction *>(QStringLiteral("mnuWatchEntry"))->trigger();
            delete menu;
        }
        QCOMPARE(shown, (QStringList{QStringLiteral("list2-0.com"), QStringLiteral("list2-1.com")}));
        QCOMPARE(whois.size(), 1); // only the name without a stored answer is asked
        QCOMPARE(whois.first().first().toString(), QStringLiteral("list2-1.com"));
        QCOMPARE(watched, shown);

        hooks.watch = {};
        w.view->setStoreHooks(hooks);
        QMenu *menu = w.view->entryMenu(ListId::Registered, 0, w.view.get());
        watch = menu->findChild<QAction *>(QStringLiteral("mnuWatchEntry"));
        QVERIFY(!watch->isEnabled());
        QCOMPARE(watch->toolTip(), QStringLiteral("no store"));
        delete menu;
    }

    void dropsOnTheSavedList()
    {
        Window w;
        w.fill(ListId::Registered, 3);
        QListView *saved = w.list(ListId::Saved);
        auto drop = [&](const QString &text) {
            QMimeData mime;
            mime.setText(text);
            const QPoint at = saved->viewport()->rect().center();
            QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(saved->viewport(), &enter);
            QDragMoveEvent move(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(saved->viewport(), &move);
            QDropEvent dropped(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(saved->viewport(), &dropped);
            return dropped.isAccepted();
        };

        // Before any click on a result list the indexes name no list: nothing is added, but
        // Remembered.txt is written all the same.
        QVERIFY(drop(QStringLiteral("0|1")));
        QVERIFY(w.lists->entries(ListId::Saved).isEmpty());
        QVERIFY(w.folder.exists(QStringLiteral("Remembered.txt")));

        QTest::mouseClick(w.list(ListId::Registered)->viewport(), Qt::LeftButton, {},
                          w.rowCentre(ListId::Registered, 0));
        QVERIFY(drop(QStringLiteral("0|2")));
        QCOMPARE(w.lists->entries(ListId::Saved),
                 (QStringList{QStringLiteral("list2-0.com"), QStringLiteral("list2-2.com")}));
        QCOMPARE(saved->model()->rowCount(), 2);
        QCOMPARE(w.folder.read(QStringLiteral("Remembered.txt")),
                 QByteArray("list2-0.com\r\nlist2-2.com\r\n"));
    }
};

QTEST_MAIN(TestUiResultLists)
#include "tst_ui_resultlists.moc"
