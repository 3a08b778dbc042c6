#include "FakeNotice.h"
#include "TestFolder.h"
#include "core/base/TextFile.h"
#include "core/lists/ListFiles.h"

#include <QtTest>

#include <memory>

using namespace wendlecott;
using core::ListId;

namespace {

const QDateTime kMoment(QDate(2026, 12, 6), QTime(9, 40, 0));

// A program folder as the start-up leaves it, the three profile lists as plain text lists,
// and their files over them with a clock the test sets.
struct Fixture {
    explicit Fixture(const QString &root = {})
    {
        QDir(folder.path()).mkpath(QStringLiteral("overflow"));
        QDir(folder.path()).mkpath(QStringLiteral("backups"));
        files = std::make_unique<core::ListFiles>(
            root.isEmpty() ? folder.path() : root, notice, [this] { return now; },
            QLocale(QLocale::English, QLocale::UnitedStates));
    }
    core::ListFiles *operator->() { return files.get(); }

    core::ListFiles::EntriesOf entries()
    {
        return [this](ListId id) -> const QStringList & {
            return id == ListId::Low ? low : id == ListId::Mid ? mid : high;
        };
    }
    void save() { files->saveProfileLists(entries()); }
    bool saveOverflow() { return files->saveOverflow(entries()); }

    testing::TestFolder folder;
    testing::FakeNotice notice;
    QDateTime now = kMoment;
    QStringList low, mid, high;
    std::unique_ptr<core::ListFiles> files;
};

QByteArray crlf(const QStringList &lines)
{
    QByteArray out;
    for (const QString &line : lines)
        out += line.toUtf8() + "\r\n";
    return out;
}

} // namespace

class TestListFiles : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Names of an earlier start are not overwritten: the first filing moves their file into
    // backups with a time stamp; later filings of this start write over their own file.
    void earlierNamesAreKeptInBackups()
    {
        Fixture f;
        f.folder.write(QStringLiteral("LowProfile.txt"), "yesterday1.com\r\nyesterday2.com\r\n");
        f.folder.write(QStringLiteral("MidProfile.txt"), "\r\n \r\n"); // no names: nothing to keep
        f.folder.write(QStringLiteral("backups/LowProfile-20261206-094000.txt"), "older\r\n");
        f.low = {QStringLiteral("today.com")};
        f.save();
        QCOMPARE(f.folder.read(QStringLiteral("LowProfile.txt")), crlf(f.low));
        QCOMPARE(f.folder.read(QStringLiteral("backups/LowProfile-20261206-094000.txt")),
                 QByteArray("older\r\n"));
        QCOMPARE(f.folder.read(QStringLiteral("backups/LowProfile-20261206-094000-2.txt")),
                 QByteArray("yesterday1.com\r\nyesterday2.com\r\n"));
        QCOMPARE(QDir(f.folder.file(QStringLiteral("backups"))).entryList(QDir::Files).size(), 2);
        QVERIFY(f.notice.messages.isEmpty());

        // Rewritten whole later in this start: its own file, no further copy.
        f.low = {QStringLiteral("other.com")};
        f.files->listChangedBehindFile(ListId::Low);
        f.save();
        QCOMPARE(f.folder.read(QStringLiteral("LowProfile.txt")), crlf(f.low));
        QCOMPARE(QDir(f.folder.file(QStringLiteral("backups"))).entryList(QDir::Files).size(), 2);

        // The next start keeps this start's names the same way.
        Fixture next;
        next.folder.write(QStringLiteral("SuperHighProfile.txt"), "ab.com\r\n");
        next.high = {QStringLiteral("cd.com")};
        next.save();
        QCOMPARE(next.folder.read(QStringLiteral("backups/SuperHighProfile-20261206-094000.txt")),
                 QByteArray("ab.com\r\n"));
    }

    // When the earlier file cannot be moved aside, it is not replaced, and that is said once.
    void earlierNamesStayWhenTheyCannotBeKept()
    {
        Fixture f;
        QVERIFY(QDir(f.folder.path()).rmdir(QStringLiteral("backups")));
        f.folder.write(QStringLiteral("backups"), "a file where the folder should be");
        f.folder.write(QStringLiteral("LowProfile.txt"), "yesterday.com\r\n");
        f.low = {QStringLiteral("today.com")};
        f.save();
        f.low.append(QStringLiteral("later.com"));
        f.save();
        QCOMPARE(f.folder.read(QStringLiteral("LowProfile.txt")), QByteArray("yesterday.com\r\n"));
        QCOMPARE(f.notice.messages.size(), 1);
        QVERIFY2(f.notice.messages.first().text.contains(
                     QStringLiteral("Could not keep the earlier LowProfile.txt")),
                 qPrintable(f.notice.messages.first().text));
    }

    void liveFilesMirrorTheirLists()
    {
        Fixture f;
        f.low = {QStringLiteral("longname1.com")};
        f.save();
        QCOMPARE(f.folder.read(QStringLiteral("LowProfile.txt")), crlf(f.low));
        QCOMPARE(f.folder.read(QStringLiteral("HighProfile.txt")), QByteArray());
        QCOMPARE(f.folder.read(QStringLiteral("SuperHighProfile.txt")), QByteArray());

        f.low.append(QStringLiteral("longname2.com"));
        f.high.append(QStringLiteral("ab.com"));
        f.save();
        QCOMPARE(f.folder.read(QStringLiteral("LowProfile.txt")), crlf(f.low));
        QCOMPARE(f.folder.read(QStringLiteral("SuperHighProfile.txt")), crlf(f.high));

        // A list that lost an entry is written whole, but only once it is said to have changed.
        f.low.removeFirst();
        f.files->listChangedBehindFile(ListId::Low);
        QCOMPARE(f.folder.read(QStringLiteral("LowProfile.txt")),
                 QByteArray("longname1.com\r\nlongname2.com\r\n"));
        f.save();
        QCOMPARE(f.folder.read(QStringLiteral("LowProfile.txt")), crlf(f.low));

        // Names that are not ASCII are written as UTF-8.
        f.mid = {QStringLiteral("m\u00fcnch.de")};
        f.save();
        QCOMPARE(f.folder.read(QStringLiteral("HighProfile.txt")), QByteArray("m\xc3\xbcnch.de\r\n"));
    }

    void aLiveFileChangedBehindOurBackIsWrittenWhole()
    {
        Fixture f;
        f.low = {QStringLiteral("longname1.com")};
        f.save();
        f.folder.write(QStringLiteral("LowProfile.txt"), "someone else's text\r\n");
        f.low.append(QStringLiteral("longname2.com"));
        f.save();
        QCOMPARE(f.folder.read(QStringLiteral("LowProfile.txt")), crlf(f.low));

        QFile::remove(f.folder.file(QStringLiteral("LowProfile.txt")));
        f.high = {QStringLiteral("ab.com")};
        f.save();
        QCOMPARE(f.folder.read(QStringLiteral("LowProfile.txt")), crlf(f.low));
    }

    void firstSaveReplacesAnOldLiveFile()
    {
        Fixture f;
        f.folder.write(QStringLiteral("LowProfile.txt"), "from.last.time\r\n");
        f.high = {QStringLiteral("ab.com")};
        f.save();
        QCOMPARE(f.folder.read(QStringLiteral("LowProfile.txt")), QByteArray());
    }

    void newFileStampUsesTheClock()
    {
        Fixture f;
        QCOMPARE(f->fileStamp(), QString());
        QCOMPARE(f->liveFilePath(ListId::High), f.folder.file(QStringLiteral("SuperHighProfile.txt")));
        QCOMPARE(f->liveFilePath(ListId::Registered), QString());
        QCOMPARE(f->liveFilePath(ListId::Saved), QString());
        QCOMPARE(f->rememberedPath(), f.folder.file(QStringLiteral("Remembered.txt")));
        f->newFileStamp();
        QCOMPARE(f->fileStamp(), QStringLiteral("126202694000AM"));
        QCOMPARE(f->liveFilePath(ListId::Mid),
                 f.folder.file(QStringLiteral("HighProfile126202694000AM.txt")));
        f.now = f.now.addSecs(1);
        f->newFileStamp();
        QCOMPARE(f->fileStamp(), QStringLiteral("126202694001AM"));
    }

    void aNewStampStartsANewSetAndKeepsTheOld()
    {
        Fixture f;
        f.low = {QStringLiteral("longname1.com")};
        f.save();
        f->newFileStamp();
        f.low.append(QStringLiteral("longname2.com"));
        f.save();
        QCOMPARE(f.folder.read(QStringLiteral("LowProfile.txt")), QByteArray("longname1.com\r\n"));
        QCOMPARE(f.folder.read(QStringLiteral("LowProfile126202694000AM.txt")), crlf(f.low));
    }

    void overflowFolderIsFoundWithoutRegardToCase()
    {
        Fixture f;
        QDir(f.folder.path()).rmdir(QStringLiteral("overflow"));
        QDir(f.folder.path()).mkdir(QStringLiteral("OverFlow"));
        f.high = {QStringLiteral("ab.com")};
        QVERIFY(f.saveOverflow());
        QCOMPARE(f.folder.read(QStringLiteral("OverFlow/SuperHighProfile.txt")), crlf(f.high));
        QVERIFY(!f.folder.exists(QStringLiteral("overflow")));
    }

    void overflowFolderRemovedSinceStartIsMadeAgain()
    {
        Fixture f;
        QDir(f.folder.file(QStringLiteral("overflow"))).removeRecursively();
        f.low = {QStringLiteral("longname1.com")};
        QVERIFY(f.saveOverflow());
        QCOMPARE(f.folder.read(QStringLiteral("overflow/LowProfile.txt")), crlf(f.low));
    }

    void overflowKeepsASetFromAnEarlierSession()
    {
        Fixture f;
        f.folder.write(QStringLiteral("overflow/LowProfile.txt"), "earlier.com\r\n");
        f.high = {QStringLiteral("ab.com")};
        QVERIFY(f.saveOverflow());
        QCOMPARE(f.folder.read(QStringLiteral("overflow/LowProfile.txt")), QByteArray("earlier.com\r\n"));
        QCOMPARE(f.folder.read(QStringLiteral("overflow/SuperHighProfile126202694000AM.txt")), crlf(f.high));
        QVERIFY(f.folder.exists(QStringLiteral("overflow/LowProfile126202694000AM.txt")));

        // A second overflow in the same second goes beside both, numbered.
        QVERIFY(f.saveOverflow());
        QCOMPARE(f.folder.read(QStringLiteral("overflow/SuperHighProfile126202694000AM-2.txt")),
                 crlf(f.high));
        QCOMPARE(f.folder.read(QStringLiteral("overflow/LowProfile.txt")), QByteArray("earlier.com\r\n"));
    }

    void overflowRetryCompletesTheSetItBegan()
    {
        Fixture f;
        f.mid = {QStringLiteral("abcdef.com")};
        {
            core::WriteFaultScope fault(0); // the two empty lists still go out, the Mid list not
            QVERIFY(!f.saveOverflow());
        }
        QVERIFY(f.folder.exists(QStringLiteral("overflow/LowProfile.txt")));
        QVERIFY(!f.folder.exists(QStringLiteral("overflow/HighProfile.txt")));
        QVERIFY(f.saveOverflow());
        QCOMPARE(f.folder.read(QStringLiteral("overflow/HighProfile.txt")), crlf(f.mid));
        QCOMPARE(QDir(f.folder.file(QStringLiteral("overflow"))).entryList(QDir::Files).size(), 3);
    }

    void backupMarkersAreAppendedWithTheStamp()
    {
        Fixture f;
        f->newFileStamp();
        f->writeBackupMarkers();
        const QString stamp = QStringLiteral("126202694000AM");
        QCOMPARE(f.folder.read(QStringLiteral("backups/HighProfile") + stamp + QStringLiteral(".txt")),
                 QByteArray(" \r\n \r\n"));
        QCOMPARE(f.folder.read(QStringLiteral("backups/MidProfile") + stamp + QStringLiteral(".txt")),
                 QByteArray(" \r\n"));
        f->writeBackupMarkers();
        QCOMPARE(f.folder.read(QStringLiteral("backups/MidProfile") + stamp + QStringLiteral(".txt")),
                 QByteArray(" \r\n \r\n"));
        QVERIFY(f.notice.messages.isEmpty());

        // Each reset whose markers fail is told, not only the first.
        {
            core::WriteFaultScope fault(0);
            f->writeBackupMarkers();
            f->writeBackupMarkers();
        }
        QCOMPARE(f.notice.messages.size(), 2);
        QCOMPARE(f.folder.read(QStringLiteral("backups/MidProfile") + stamp + QStringLiteral(".txt")),
                 QByteArray(" \r\n \r\n"));
    }

    // Every kind of write, failing part-way: the old file is left as it was.
    void failedWritesLeaveTheOldFileIntact()
    {
        Fixture f;
        f.low = {QStringLiteral("longname0.com")};
        f.high = {QStringLiteral("ab.com")};
        f.save();
        f->saveRemembered({QStringLiteral("kept.com")});
        f.folder.write(QStringLiteral("overflow/HighProfile.txt"), "old.com\r\n");
        const QByteArray lowBefore = f.folder.read(QStringLiteral("LowProfile.txt"));
        {
            core::WriteFaultScope fault(3);
            f.low.append(QStringLiteral("longname1.com")); // an append
            f.high = {QStringLiteral("xy.com")};
            f->listChangedBehindFile(ListId::High); // a whole rewrite
            f.save();
            QVERIFY(!f->saveRemembered({QStringLiteral("kept.com"), QStringLiteral("new.com")}));
            f.mid = {QStringLiteral("abcdef.com")};
            QVERIFY(!f.saveOverflow());
        }
        QCOMPARE(f.folder.read(QStringLiteral("LowProfile.txt")), lowBefore);
        QCOMPARE(f.folder.read(QStringLiteral("SuperHighProfile.txt")), QByteArray("ab.com\r\n"));
        QCOMPARE(f.folder.read(QStringLiteral("Remembered.txt")), QByteArray("kept.com\r\n"));
        // The earlier set is kept and the new one could not be written beside it.
        QCOMPARE(f.folder.read(QStringLiteral("overflow/HighProfile.txt")), QByteArray("old.com\r\n"));
        QVERIFY(!f.folder.exists(QStringLiteral("overflow/HighProfile126202694000AM.txt")));
        // One message per kind of file.
        QCOMPARE(f.notice.messages.size(), 3);
        for (const auto &message : f.notice.messages) {
            QCOMPARE(message.title, QStringLiteral("Could Not Save"));
            QCOMPARE(message.icon, core::NoticeIcon::Warning);
        }
        QVERIFY(f.notice.messages.at(0).text.startsWith(QStringLiteral("These files could not be written:")));
        QVERIFY(f.notice.messages.at(1).text.contains(QStringLiteral("Remembered.txt")));

        // With the disk back, the next writes bring every file in line.
        f.save();
        QCOMPARE(f.folder.read(QStringLiteral("LowProfile.txt")), crlf(f.low));
        QCOMPARE(f.folder.read(QStringLiteral("SuperHighProfile.txt")), crlf(f.high));
        QVERIFY(f.saveOverflow());
        QCOMPARE(f.folder.read(QStringLiteral("overflow/HighProfile126202694000AM.txt")), crlf(f.mid));
        QCOMPARE(f.notice.messages.size(), 3);
    }

    void aFaultIsToldOnceUntilItClears()
    {
        Fixture f;
        f.low = {QStringLiteral("longname0.com")};
        f.save();
        {
            core::WriteFaultScope fault(3);
            for (int i = 1; i <= 3; ++i) {
                f.low.append(QStringLiteral("longname%1.com").arg(i));
                f.save();
            }
            f.high = {QStringLiteral("ab.com")}; // another file of the same fault
            f.save();
        }
        QCOMPARE(f.notice.messages.size(), 1);
        QVERIFY(f.notice.messages.first().text.contains(f.folder.file(QStringLiteral("LowProfile.txt"))));
        QVERIFY(f.notice.messages.first().text.startsWith(QStringLiteral("This file could not be written:")));
        f.save();
        QCOMPARE(f.folder.read(QStringLiteral("LowProfile.txt")), crlf(f.low));
        QCOMPARE(f.notice.messages.size(), 1);
        {
            core::WriteFaultScope fault(0);
            f.low.append(QStringLiteral("longname4.com"));
            f.save();
        }
        QCOMPARE(f.notice.messages.size(), 2);
    }

    // The end of a run tries the lists that could not be written once more; only while one
    // is still held in memory alone do they count as unwritten.
    void unwrittenListsAreTriedAgainAtTheEnd()
    {
        Fixture f;
        f.low = {QStringLiteral("longname0.com")};
        f.save();
        QVERIFY(!f->hasUnwrittenLists());
        {
            core::WriteFaultScope fault(0);
            f.low.append(QStringLiteral("longname1.com"));
            f.save();
            QVERIFY(f->hasUnwrittenLists());
            f->retryFailedLists(f.entries());
            QVERIFY(f->hasUnwrittenLists());
        }
        QCOMPARE(f.folder.read(QStringLiteral("LowProfile.txt")), crlf({QStringLiteral("longname0.com")}));
        QVERIFY2(f.notice.messages.first().text.contains(QStringLiteral("No space left on device")),
                 qPrintable(f.notice.messages.first().text));
        f->retryFailedLists(f.entries());
        QVERIFY(!f->hasUnwrittenLists());
        QCOMPARE(f.folder.read(QStringLiteral("LowProfile.txt")), crlf(f.low));
        QCOMPARE(f.notice.messages.size(), 1);
    }

    void missingProgramFolderIsReportedOnce()
    {
        testing::TestFolder other;
        Fixture f(other.file(QStringLiteral("gone")));
        f.high = {QStringLiteral("ab.com")};
        f.save();
        f.high.append(QStringLiteral("cd.com"));
        f.save();
        QCOMPARE(f.notice.messages.size(), 1);
    }

    void loadRememberedSkipsBlankLines()
    {
        Fixture f;
        f.folder.write(QStringLiteral("Remembered.txt"), "\r\na.com\r\n \r\n\r\nb.net\r\n  \r\nc.org");
        QCOMPARE(f->loadRemembered(), (QStringList{QStringLiteral("a.com"), QStringLiteral("b.net"),
                                                   QStringLiteral("  "), QStringLiteral("c.org")}));
        Fixture missing;
        QVERIFY(missing->loadRemembered().isEmpty());
        QVERIFY(missing.notice.messages.isEmpty());
    }

    void unreadableRememberedIsReported()
    {
        Fixture f;
        QDir(f.folder.path()).mkdir(QStringLiteral("Remembered.txt"));
        QVERIFY(f->loadRemembered().isEmpty());
        QCOMPARE(f.notice.messages.size(), 1);
        QCOMPARE(f.notice.messages.first().icon, core::NoticeIcon::Warning);
    }

    void rememberedRoundTrips()
    {
        Fixture f;
        const QStringList saved = {QStringLiteral("one.com"), QStringLiteral("m\u00fcnchen.de")};
        QVERIFY(f->saveRemembered(saved));
        QCOMPARE(f.folder.read(QStringLiteral("Remembered.txt")), crlf(saved));
        QCOMPARE(f->loadRemembered(), saved);
        QVERIFY(f->saveRemembered({}));
        QCOMPARE(f.folder.read(QStringLiteral("Remembered.txt")), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestListFiles)
#include "tst_listfiles.moc"
