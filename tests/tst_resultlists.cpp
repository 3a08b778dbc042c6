#include "FakeNotice.h"
#include "FakePorts.h"
#include "TestFolder.h"
#include "core/base/TextFile.h"
#include "core/lists/ResultLists.h"

#include <QMimeData>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace wendlecott;
using core::ListId;

namespace {

using testing::FakeClipboard;
using testing::FakeOpener;

const QDateTime kMoment(QDate(2026, 12, 6), QTime(9, 40, 0));

// A program folder as the start-up leaves it, and the lists over it with a clock the test sets.
struct Fixture {
    explicit Fixture(const QString &root = {})
    {
        QDir(folder.path()).mkpath(QStringLiteral("overflow"));
        QDir(folder.path()).mkpath(QStringLiteral("backups"));
        lists = std::make_unique<core::ResultLists>(
            root.isEmpty() ? folder.path() : root, notice, clipboard, opener, [this] { return now; },
            QLocale(QLocale::English, QLocale::UnitedStates));
    }
    core::ResultLists &operator*() { return *lists; }
    core::ResultLists *operator->() { return lists.get(); }

    testing::TestFolder folder;
    testing::FakeNotice notice;
    FakeClipboard clipboard;
    FakeOpener opener;
    QDateTime now = kMoment;
    std::unique_ptr<core::ResultLists> lists;
};

QByteArray crlf(const QStringList &lines)
{
    QByteArray out;
    for (const QString &line : lines)
        out += line.toUtf8() + "\r\n";
    return out;
}

QStringList names(const char *prefix, int count)
{
    QStringList out;
    for (int i = 0; i < count; ++i)
        out.append(QString::fromLatin1(prefix) + QString::number(i) + QStringLiteral(".com"));
    return out;
}

} // namespace

class TestResultLists : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void classifiesByFirstLabel_data()
    {
        QTest::addColumn<QString>("domain");
        QTest::addColumn<int>("list");
        QTest::addColumn<QString>("file");
        QTest::newRow("4 letters .com") << "abcd.com" << 3 << "SuperHighProfile.txt";
        QTest::newRow("5 letters") << "abcde.info" << 4 << "HighProfile.txt";
        QTest::newRow("7 letters") << "abcdefg.co.uk" << 4 << "HighProfile.txt";
        QTest::newRow("8 letters .net") << "abcdefgh.net" << 1 << "LowProfile.txt";
        QTest::newRow(".org alone") << ".org" << 3 << "SuperHighProfile.txt";
        QTest::newRow("first label only") << "ab.abcd.com" << 3 << "SuperHighProfile.txt";
        QTest::newRow("no dot, long") << "abcdefghij" << 1 << "LowProfile.txt";
        QTest::newRow("upper-case .COM is a name") << ".COM" << 3 << "SuperHighProfile.txt";
    }
    void classifiesByFirstLabel()
    {
        QFETCH(QString, domain);
        QFETCH(int, list);
        QFETCH(QString, file);
        Fixture f;
        const ListId id = static_cast<ListId>(list);
        QVERIFY(f->addAvailable(domain).has_value());
        QCOMPARE(f->entries(id), QStringList{domain});
        QCOMPARE(f->counter(id), 1);
        QCOMPARE(f->caption(id), core::uncountedCaption(id) + QStringLiteral(" (1)"));
        QCOMPARE(f.folder.read(file), crlf({domain}));
        // All three live files are there after a filing, the other two empty.
        for (const char *other : {"LowProfile.txt", "HighProfile.txt", "SuperHighProfile.txt"}) {
            QVERIFY(f.folder.exists(QString::fromLatin1(other)));
            if (QString::fromLatin1(other) != file)
                QCOMPARE(f.folder.read(QString::fromLatin1(other)), QByteArray());
        }
    }

    void bareComAndNetAreIgnored()
    {
        Fixture f;
        for (const char *bare : {".com", ".net"}) {
            QVERIFY(!f->addAvailable(QString::fromLatin1(bare)).has_value());
            f->addRegistered(QString::fromLatin1(bare));
        }
        for (const ListId id : {ListId::Low, ListId::Registered, ListId::High, ListId::Mid}) {
            QVERIFY(f->entries(id).isEmpty());
            QCOMPARE(f->counter(id), 0);
            QCOMPARE(f->caption(id), core::uncountedCaption(id));
        }
        QVERIFY(!f.folder.exists(QStringLiteral("SuperHighProfile.txt")));
    }

    void registeredListIsEmptiedPast101()
    {
        Fixture f;
        for (int i = 0; i < 101; ++i)
            f->addRegistered(QStringLiteral("taken%1.com").arg(i));
        QCOMPARE(f->entries(ListId::Registered).size(), 101);
        f->addRegistered(QStringLiteral("next.com"));
        QCOMPARE(f->entries(ListId::Registered), QStringList{QStringLiteral("next.com")});
        QCOMPARE(f->caption(ListId::Registered), QStringLiteral("Registered (102)"));
        QCOMPARE(f->counter(ListId::Registered), 102);
        QCOMPARE(QDir(f.folder.path()).entryList(QDir::Files), QStringList());
    }

    void overflowAtThe20000thEntry()
    {
        Fixture f;
        f->addAvailable(QStringLiteral("abc.com"));
        f->addAvailable(QStringLiteral("abcdef.com"));
        f->addRegistered(QStringLiteral("taken.com"));
        QStringList low;
        for (int i = 0; i < core::ResultLists::kOverflowSize; ++i)
            low.append(QStringLiteral("longname%1.net").arg(i));
        for (int i = 0; i < low.size() - 1; ++i)
            f->addAvailable(low.at(i));
        QVERIFY(!f->checkOverflow());
        QCOMPARE(f.notice.overflowShown, 0);

        f.now = kMoment.addSecs(5);
        f->addAvailable(low.last());
        QVERIFY(f->checkOverflow());

        QCOMPARE(f.folder.read(QStringLiteral("overflow/LowProfile.txt")), crlf(low));
        QCOMPARE(f.folder.read(QStringLiteral("overflow/HighProfile.txt")),
                 crlf({QStringLiteral("abcdef.com")}));
        QCOMPARE(f.folder.read(QStringLiteral("overflow/SuperHighProfile.txt")),
                 crlf({QStringLiteral("abc.com")}));
        for (const ListId id : {ListId::Low, ListId::Registered, ListId::High, ListId::Mid}) {
            QVERIFY(f->entries(id).isEmpty());
            QCOMPARE(f->counter(id), 0);
        }
        QCOMPARE(f->caption(ListId::Low), QStringLiteral("Low Profile (20000)")); // until the next filing
        QCOMPARE(f.notice.overflowShown, 1);
        QVERIFY(f.notice.messages.isEmpty());

        const QString stamp = QStringLiteral("126202694005AM");
        QCOMPARE(f->fileStamp(), stamp);
        QCOMPARE(f.folder.read(QStringLiteral("backups/HighProfile") + stamp + QStringLiteral(".txt")),
                 QByteArray(" \r\n \r\n"));
        QCOMPARE(f.folder.read(QStringLiteral("backups/MidProfile") + stamp + QStringLiteral(".txt")),
                 QByteArray(" \r\n"));

        // A new stamp starts a new set of live files; the old set stays as it was.
        f->addAvailable(QStringLiteral("xyz.org"));
        QCOMPARE(f->caption(ListId::High), QStringLiteral("High Profile (1)"));
        QCOMPARE(f.folder.read(QStringLiteral("SuperHighProfile") + stamp + QStringLiteral(".txt")),
                 crlf({QStringLiteral("xyz.org")}));
        QCOMPARE(f.folder.read(QStringLiteral("LowProfile") + stamp + QStringLiteral(".txt")), QByteArray());
        QCOMPARE(f.folder.read(QStringLiteral("LowProfile.txt")), crlf(low));
        QCOMPARE(f.folder.read(QStringLiteral("SuperHighProfile.txt")), crlf({QStringLiteral("abc.com")}));
    }

    void overflowThatCannotBeSavedKeepsTheLists()
    {
        Fixture f;
        for (int i = 0; i < core::ResultLists::kOverflowSize; ++i)
            f->addAvailable(QStringLiteral("m%1.com").arg(i, 5, 10, QLatin1Char('0')));
        {
            core::WriteFaultScope fault(0);
            QVERIFY(!f->checkOverflow());
            QVERIFY(!f->checkOverflow());
        }
        QCOMPARE(f.notice.messages.size(), 1);
        // The two empty lists were saved; the Mid list was not.
        QVERIFY(f.notice.messages.first().text.contains(QStringLiteral("HighProfile.txt")));
        QVERIFY(!f.notice.messages.first().text.contains(QStringLiteral("LowProfile.txt")));
        QCOMPARE(f.notice.overflowShown, 0);
        QCOMPARE(f->entries(ListId::Mid).size(), core::ResultLists::kOverflowSize);

        QVERIFY(f->checkOverflow());
        QCOMPARE(f.notice.overflowShown, 1);
        QVERIFY(f->entries(ListId::Mid).isEmpty());
        QCOMPARE(f.folder.read(QStringLiteral("overflow/HighProfile.txt")).count('\n'),
                 core::ResultLists::kOverflowSize);
        // The retry completed the set it had begun instead of starting another.
        QCOMPARE(QDir(f.folder.file(QStringLiteral("overflow"))).entryList(QDir::Files),
                 (QStringList{QStringLiteral("HighProfile.txt"), QStringLiteral("LowProfile.txt"),
                              QStringLiteral("SuperHighProfile.txt")}));
    }

    void countersRestartAtStartWhileListsKeepEntries()
    {
        Fixture f;
        for (int i = 0; i < 40; ++i)
            f->addAvailable(QStringLiteral("a%1.com").arg(i));
        f->addRegistered(QStringLiteral("taken.com"));
        f->resetCounters();
        QCOMPARE(f->counter(ListId::High), 0);
        QCOMPARE(f->caption(ListId::High), QStringLiteral("High Profile (40)"));
        f->addAvailable(QStringLiteral("zz.com"));
        QCOMPARE(f->caption(ListId::High), QStringLiteral("High Profile (1)"));
        QCOMPARE(f->entries(ListId::High).size(), 41);
        f->addRegistered(QStringLiteral("taken2.com"));
        QCOMPARE(f->caption(ListId::Registered), QStringLiteral("Registered (1)"));
        QCOMPARE(f->entries(ListId::Registered).size(), 2);
    }

    void liveFilesFollowFilingsDeletesAndClears()
    {
        Fixture f;
        f->addAvailable(QStringLiteral("longname1.com"));
        f->addAvailable(QStringLiteral("longname2.com"));
        f->addAvailable(QStringLiteral("mid12.com"));
        f->addAvailable(QStringLiteral("longname3.com"));
        QCOMPARE(f.folder.read(QStringLiteral("LowProfile.txt")),
                 QByteArray("longname1.com\r\nlongname2.com\r\nlongname3.com\r\n"));
        QCOMPARE(f.folder.read(QStringLiteral("HighProfile.txt")), QByteArray("mid12.com\r\n"));

        // A deletion leaves the file as it is until the next filing replaces it.
        QVERIFY(f->deleteEntry(ListId::Low, 1));
        QCOMPARE(f->entries(ListId::Low),
                 (QStringList{QStringLiteral("longname1.com"), QStringLiteral("longname3.com")}));
        QCOMPARE(f.folder.read(QStringLiteral("LowProfile.txt")),
                 QByteArray("longname1.com\r\nlongname2.com\r\nlongname3.com\r\n"));
        f->addAvailable(QStringLiteral("ab.com"));
        QCOMPARE(f.folder.read(QStringLiteral("LowProfile.txt")),
                 QByteArray("longname1.com\r\nlongname3.com\r\n"));
        f->addAvailable(QStringLiteral("longname4.com"));
        QCOMPARE(f.folder.read(QStringLiteral("LowProfile.txt")),
                 QByteArray("longname1.com\r\nlongname3.com\r\nlongname4.com\r\n"));

        // A clear, too: the Mid file keeps its line until any filing.
        f->clearList(ListId::Mid);
        QCOMPARE(f.folder.read(QStringLiteral("HighProfile.txt")), QByteArray("mid12.com\r\n"));
        f->addAvailable(QStringLiteral("cd.com"));
        QCOMPARE(f.folder.read(QStringLiteral("HighProfile.txt")), QByteArray());
        QCOMPARE(f.folder.read(QStringLiteral("SuperHighProfile.txt")), QByteArray("ab.com\r\ncd.com\r\n"));

        // A file removed behind our back is written whole again.
        QFile::remove(f.folder.file(QStringLiteral("LowProfile.txt")));
        f->addAvailable(QStringLiteral("ef.com"));
        QCOMPARE(f.folder.read(QStringLiteral("LowProfile.txt")),
                 QByteArray("longname1.com\r\nlongname3.com\r\nlongname4.com\r\n"));
    }

    void deleteTakesThatEntryAndCountsDown()
    {
        Fixture f;
        f->addAvailable(QStringLiteral("aa.com"));
        f->addAvailable(QStringLiteral("bb.com"));
        f->addAvailable(QStringLiteral("cc.com"));
        for (const qsizetype row : {qsizetype(-1), qsizetype(3)}) {
            QVERIFY(!f->deleteEntry(ListId::High, row));
            QCOMPARE(f->entries(ListId::High).size(), 3);
            QCOMPARE(f->counter(ListId::High), 3);
        }
        QVERIFY(!f->deleteEntry(ListId::None, 0));

        QVERIFY(f->deleteEntry(ListId::High, 1));
        QCOMPARE(f->entries(ListId::High), (QStringList{QStringLiteral("aa.com"), QStringLiteral("cc.com")}));
        QCOMPARE(f->caption(ListId::High), QStringLiteral("High Profile (2)"));
        QVERIFY(f->deleteEntry(ListId::High, 1));
        QVERIFY(f->deleteEntry(ListId::High, 0));
        QVERIFY(f->entries(ListId::High).isEmpty());
        QCOMPARE(f->counter(ListId::High), 0);
        QVERIFY(!f->deleteEntry(ListId::High, 0));
        QCOMPARE(f->counter(ListId::High), 0);

        // The counter is not the size of the list: after a Start it can go below zero.
        f->addAvailable(QStringLiteral("dd.com"));
        f->addAvailable(QStringLiteral("ee.com"));
        f->resetCounters();
        QVERIFY(f->deleteEntry(ListId::High, 0));
        QCOMPARE(f->caption(ListId::High), QStringLiteral("High Profile (-1)"));
    }

    // A removal from the saved list is the user's explicit choice: it is kept in
    // Remembered.txt at once, and emptying the list is asked first.
    void savedListEditsAreKeptInRemembered()
    {
        Fixture f;
        f.folder.write(QStringLiteral("Remembered.txt"), "keep.com\r\nalso.com\r\nthird.com\r\n");
        f->loadRemembered();
        QVERIFY(f->deleteEntry(ListId::Saved, 0));
        QCOMPARE(f->entries(ListId::Saved),
                 (QStringList{QStringLiteral("also.com"), QStringLiteral("third.com")}));
        QCOMPARE(f.folder.read(QStringLiteral("Remembered.txt")), QByteArray("also.com\r\nthird.com\r\n"));

        f.notice.okCancelAnswer = false; // the user keeps them
        f->clearList(ListId::Saved);
        QCOMPARE(f.notice.questions.size(), 1);
        QVERIFY(f.notice.questions.first().startsWith(core::ResultLists::kClearSavedTitle));
        QVERIFY(f.notice.questions.first().contains(QStringLiteral("2 saved names")));
        QCOMPARE(f->entries(ListId::Saved).size(), 2);
        QCOMPARE(f.folder.read(QStringLiteral("Remembered.txt")), QByteArray("also.com\r\nthird.com\r\n"));

        f.notice.okCancelAnswer = true;
        f->runEditMenuItem(5); // "Clear Saved"
        QVERIFY(f->entries(ListId::Saved).isEmpty());
        QCOMPARE(f->caption(ListId::Saved), QStringLiteral("Saved Domains"));
        QCOMPARE(f.folder.read(QStringLiteral("Remembered.txt")), QByteArray());

        f->clearList(ListId::Saved); // nothing to lose: no question
        QCOMPARE(f.notice.questions.size(), 2);
    }

    // A failed rewrite after a removal is reported, and the old file survives whole.
    void failedRememberedWriteAfterRemovalIsReported()
    {
        Fixture f;
        f.folder.write(QStringLiteral("Remembered.txt"), "keep.com\r\nalso.com\r\n");
        f->loadRemembered();
        {
            core::WriteFaultScope fault(0);
            QVERIFY(f->deleteEntry(ListId::Saved, 0));
        }
        QCOMPARE(f.notice.messages.size(), 1);
        QVERIFY(f.notice.messages.first().text.contains(QStringLiteral("Remembered.txt")));
        QCOMPARE(f.folder.read(QStringLiteral("Remembered.txt")), QByteArray("keep.com\r\nalso.com\r\n"));
    }

    void clearDropsTheCount()
    {
        Fixture f;
        f->addRegistered(QStringLiteral("taken.com"));
        QSignalSpy captions(f.lists.get(), &core::ResultLists::captionChanged);
        f->clearList(ListId::Registered);
        QVERIFY(f->entries(ListId::Registered).isEmpty());
        QCOMPARE(f->counter(ListId::Registered), 0);
        QCOMPARE(f->caption(ListId::Registered), QStringLiteral("Registered"));
        QCOMPARE(captions.size(), 1);
    }

    void editMenu_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QList<int>>("cleared");
        QTest::addColumn<int>("copied"); // 0: none
        QTest::newRow("0") << 0 << "Clear High/Mid/Low" << QList<int>{1, 3, 4} << 0;
        QTest::newRow("1") << 1 << "Clear High" << QList<int>{3} << 0;
        QTest::newRow("2") << 2 << "Clear Mid" << QList<int>{4} << 0;
        QTest::newRow("3") << 3 << "Clear Low" << QList<int>{1} << 0;
        QTest::newRow("4") << 4 << "Clear Registered" << QList<int>{2} << 0;
        QTest::newRow("5") << 5 << "Clear Saved" << QList<int>{5} << 0;
        QTest::newRow("6") << 6 << "Copy High" << QList<int>{} << 3;
        QTest::newRow("7") << 7 << "Copy Mid" << QList<int>{} << 4;
        QTest::newRow("8") << 8 << "Copy Low" << QList<int>{} << 1;
        QTest::newRow("9") << 9 << "Copy Saved" << QList<int>{} << 5;
        QTest::newRow("out of range") << 10 << QString() << QList<int>{} << 0;
    }
    void editMenu()
    {
        QFETCH(int, item);
        QFETCH(QString, caption);
        QFETCH(QList<int>, cleared);
        QFETCH(int, copied);
        Fixture f;
        for (int i = 1; i <= 5; ++i)
            f->model(static_cast<ListId>(i))->append(QStringList{QStringLiteral("list%1.com").arg(i)});
        if (item < 10)
            QCOMPARE(core::ResultLists::editMenuItems().at(item).caption, caption);
        f->runEditMenuItem(item);
        for (int i = 1; i <= 5; ++i)
            QCOMPARE(f->entries(static_cast<ListId>(i)).isEmpty(), cleared.contains(i));
        if (copied == 0)
            QCOMPARE(f.clipboard.sets, 0);
        else
            QCOMPARE(f.clipboard.text, QStringLiteral("list%1.com\r\n").arg(copied));
    }

    void copyPutsEveryEntryWithCrLf()
    {
        Fixture f;
        f->addRegistered(QStringLiteral("one.com"));
        f->addRegistered(QStringLiteral("two.net"));
        f->copyList(ListId::Registered);
        QCOMPARE(f.clipboard.text, QStringLiteral("one.com\r\ntwo.net\r\n"));
        f->copyList(ListId::High);
        QCOMPARE(f.clipboard.text, QString());
        QCOMPARE(f.clipboard.sets, 2);
    }

    void copyEntriesTakesTheRowsGiven()
    {
        Fixture f;
        for (const QString &name : names("n", 4))
            f->addRegistered(name);
        f->copyEntries(ListId::Registered, {0, 2, 9, -1});
        QCOMPARE(f.clipboard.text, QStringLiteral("n0.com\r\nn2.com\r\n"));
        f->copyEntries(ListId::Registered, {});
        QCOMPARE(f.clipboard.text, QString());
        f->copyEntries(ListId::None, {0});
        QCOMPARE(f.clipboard.sets, 2);
    }

    void dragsStartFromResultListsAndNameTheirSource()
    {
        Fixture f;
        f->model(ListId::Mid)->append(names("mid", 6));
        QCOMPARE(f->dragSourceList(), ListId::None);
        auto *mid = f->model(ListId::Mid);
        std::unique_ptr<QMimeData> mime(mid->mimeData({mid->index(4), mid->index(0), mid->index(3)}));
        QCOMPARE(mime->text(), QStringLiteral("0|3|4"));
        QCOMPARE(f->dragSourceList(), ListId::Mid);

        auto *model = f->model(ListId::Low);
        model->append(names("low", 3));
        mime.reset(model->mimeData({model->index(2), model->index(1)}));
        QCOMPARE(mime->text(), QStringLiteral("1|2"));
        QCOMPARE(f->dragSourceList(), ListId::Low);
        QCOMPARE(model->supportedDragActions(), Qt::CopyAction);

        auto *saved = f->model(ListId::Saved);
        saved->append(QStringLiteral("saved.com"));
        QCOMPARE(saved->mimeData({saved->index(0)}), nullptr);
        QCOMPARE(f->dragSourceList(), ListId::Low);
        QVERIFY(!(saved->flags(saved->index(0)) & Qt::ItemIsDragEnabled));
        QVERIFY(model->flags(model->index(0)) & Qt::ItemIsDragEnabled);
        QVERIFY(saved->flags({}) & Qt::ItemIsDropEnabled);
        QVERIFY(!(model->flags({}) & Qt::ItemIsDropEnabled));
        QCOMPARE(saved->supportedDropActions(), Qt::CopyAction);
        QCOMPARE(model->supportedDropActions(), Qt::IgnoreAction);
    }

    void dropOnSaved_data()
    {
        QTest::addColumn<int>("clicked"); // 0: no click before the drop
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("added");
        QTest::newRow("indexes from Registered")
            << 2 << "0|2" << QStringList{QStringLiteral("reg0.com"), QStringLiteral("reg2.com")};
        QTest::newRow("indexes from Low") << 1 << "1" << QStringList{QStringLiteral("low1.com")};
        QTest::newRow("stale index") << 2 << "7" << QStringList{};
        QTest::newRow("stale index beside a good one")
            << 2 << "9|1" << QStringList{QStringLiteral("reg1.com")};
        QTest::newRow("huge index") << 2 << "99999999999999999999" << QStringList{};
        QTest::newRow("before any click") << 0 << "0" << QStringList{};
        QTest::newRow("prose") << 2 << "hello world" << QStringList{};
        QTest::newRow("index and garbage") << 2 << "0|x" << QStringList{};
        QTest::newRow("empty") << 2 << "" << QStringList{};
        QTest::newRow("names from another program")
            << 0 << " first.com\r\nsecond.co.uk\n\n"
            << QStringList{QStringLiteral("first.com"), QStringLiteral("second.co.uk")};
        QTest::newRow("names and a sentence") << 0 << "first.com\r\nnot a name" << QStringList{};
    }
    void dropOnSaved()
    {
        QFETCH(int, clicked);
        QFETCH(QString, text);
        QFETCH(QStringList, added);
        Fixture f;
        f.folder.write(QStringLiteral("Remembered.txt"), "kept.com\r\n");
        f->loadRemembered();
        f->model(ListId::Low)->append(names("low", 3));
        for (int i = 0; i < 3; ++i)
            f->addRegistered(QStringLiteral("reg%1.com").arg(i));
        if (clicked != 0)
            f->setDragSourceList(static_cast<ListId>(clicked));
        f->setDragSourceList(ListId::Saved); // the saved list has no click of its own
        QCOMPARE(f->dropOnSaved(text), added.size());
        const QStringList expected = QStringList{QStringLiteral("kept.com")} + added;
        QCOMPARE(f->entries(ListId::Saved), expected);
        // Remembered.txt is rewritten by every drop.
        QCOMPARE(f.folder.read(QStringLiteral("Remembered.txt")), crlf(expected));
    }

    void dropBeforeAnyClickStillWritesRemembered()
    {
        Fixture f;
        f->addRegistered(QStringLiteral("reg.com"));
        QVERIFY(!f.folder.exists(QStringLiteral("Remembered.txt")));
        QMimeData mime;
        mime.setText(QStringLiteral("0"));
        QVERIFY(f->model(ListId::Saved)->dropMimeData(&mime, Qt::CopyAction, -1, -1, {}));
        QVERIFY(f->entries(ListId::Saved).isEmpty());
        QVERIFY(f.folder.exists(QStringLiteral("Remembered.txt")));
        QCOMPARE(f.folder.read(QStringLiteral("Remembered.txt")), QByteArray());
        QVERIFY(!f->model(ListId::High)->dropMimeData(&mime, Qt::CopyAction, -1, -1, {}));
    }

    void failedWritesAreReportedOnceAndRecover()
    {
        Fixture f;
        f->addAvailable(QStringLiteral("longname0.com"));
        {
            core::WriteFaultScope fault(3);
            f->addAvailable(QStringLiteral("longname1.com"));
            f->addAvailable(QStringLiteral("longname2.com"));
            f->addAvailable(QStringLiteral("ab.com")); // another file of the same fault
        }
        QCOMPARE(f.notice.messages.size(), 1);
        QVERIFY(f.notice.messages.first().text.contains(f.folder.file(QStringLiteral("LowProfile.txt"))));
        QCOMPARE(f.folder.read(QStringLiteral("LowProfile.txt")), QByteArray("longname0.com\r\n"));
        QCOMPARE(f.folder.read(QStringLiteral("SuperHighProfile.txt")), QByteArray());
        QCOMPARE(f->entries(ListId::Low).size(), 3);
        QCOMPARE(f->caption(ListId::Low), QStringLiteral("Low Profile (3)"));

        f->addAvailable(QStringLiteral("longname3.com"));
        QCOMPARE(f.folder.read(QStringLiteral("LowProfile.txt")),
                 crlf({QStringLiteral("longname0.com"), QStringLiteral("longname1.com"),
                       QStringLiteral("longname2.com"), QStringLiteral("longname3.com")}));
        QCOMPARE(f.folder.read(QStringLiteral("SuperHighProfile.txt")), QByteArray("ab.com\r\n"));
        QCOMPARE(f.notice.messages.size(), 1);

        // A fault after recovery is a new fault and is told again.
        {
            core::WriteFaultScope fault(0);
            f->addAvailable(QStringLiteral("longname4.com"));
        }
        QCOMPARE(f.notice.messages.size(), 2);
    }

    void rememberedThatCannotBeWritten()
    {
        Fixture f;
        f.folder.write(QStringLiteral("Remembered.txt"), "kept.com\r\n");
        f->loadRemembered();
        {
            core::WriteFaultScope fault(0);
            f->dropOnSaved(QStringLiteral("new.com"));
            f->dropOnSaved(QStringLiteral("newer.com"));
        }
        QCOMPARE(f.notice.messages.size(), 1);
        QVERIFY(f.notice.messages.first().text.contains(QStringLiteral("Remembered.txt")));
        QCOMPARE(f.folder.read(QStringLiteral("Remembered.txt")), QByteArray("kept.com\r\n"));
        QCOMPARE(f->entries(ListId::Saved).size(), 3);
        f->dropOnSaved(QString());
        QCOMPARE(f.folder.read(QStringLiteral("Remembered.txt")),
                 QByteArray("kept.com\r\nnew.com\r\nnewer.com\r\n"));
    }

    void openEntryOpensThePurchaseLink()
    {
        Fixture f;
        f->addAvailable(QStringLiteral("a&b.com"));
        f->openEntry(ListId::High, 1); // no such entry
        f->openEntry(ListId::High, -1);
        QVERIFY(f.opener.addresses.isEmpty());
        QCOMPARE(f->selectedDomain(), QString());
        f->openEntry(ListId::High, 0);
        QCOMPARE(f->selectedDomain(), QStringLiteral("a&b.com"));
        QCOMPARE(f.opener.addresses, QStringList{QStringLiteral(
                                         "https://www.secureserver.net/gdshop/registrar/search.asp?prog_id="
                                         "wendlecott&from=rhp&checkAvail=1&domainToCheck=a%26b.com")});

        f->setPurchaseLinkOn(false);
        f->model(ListId::Saved)->append(QStringLiteral("kept.com"));
        QSignalSpy whois(f.lists.get(), &core::ResultLists::whoisRequested);
        f->openEntry(ListId::Saved, 0);
        QCOMPARE(whois.size(), 1);
        QCOMPARE(whois.first().first().toString(), QStringLiteral("kept.com"));
        QCOMPARE(f->selectedDomain(), QStringLiteral("kept.com"));
        QCOMPARE(f.opener.addresses.size(), 1);
    }

    // No browser on the desktop: the user is told, with the address, and may copy it.
    void purchaseLinkThatCannotBeOpenedIsOfferedForCopying_data()
    {
        QTest::addColumn<bool>("copy");
        QTest::newRow("OK copies") << true;
        QTest::newRow("Cancel leaves the clipboard") << false;
    }
    void purchaseLinkThatCannotBeOpenedIsOfferedForCopying()
    {
        QFETCH(bool, copy);
        Fixture f;
        f.opener.works = false;
        f.notice.okCancelAnswer = copy;
        f->addAvailable(QStringLiteral("abc.com"));
        f->openEntry(ListId::High, 0);
        QCOMPARE(f.opener.addresses.size(), 1);
        const QString link = f.opener.addresses.first();
        QCOMPARE(f.notice.questions.size(), 1);
        QVERIFY(f.notice.questions.first().startsWith(core::kAddressNotOpenedTitle + QLatin1Char('\n')));
        QVERIFY(f.notice.questions.first().contains(link));
        QCOMPARE(f.clipboard.text, copy ? link : QStringLiteral("untouched"));

        // A browser that takes the address asks nothing.
        f.opener.works = true;
        f->openEntry(ListId::High, 0);
        QCOMPARE(f.notice.questions.size(), 1);
    }

    void clickNamesOnlyResultListsAsDragSource()
    {
        Fixture f;
        f->setDragSourceList(ListId::Saved);
        QCOMPARE(f->dragSourceList(), ListId::None);
        f->setDragSourceList(ListId::Registered);
        QCOMPARE(f->dragSourceList(), ListId::Registered);
        f->setDragSourceList(ListId::Saved);
        QCOMPARE(f->dragSourceList(), ListId::Registered);
    }
};

QTEST_GUILESS_MAIN(TestResultLists)
#include "tst_resultlists.moc"
