#include "FakeScheduler.h"
#include "FileSizeLimit.h"
#include "TestFolder.h"
#include "core/base/Paths.h"
#include "core/base/Scheduler.h"
#include "core/base/TextFile.h"

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace wendlecott;

namespace {

// A pipe that hands over its bytes a few at a time and could give more than anyone wants.
class TricklingDevice : public QIODevice {
public:
    explicit TricklingDevice(qint64 size) : m_left(size)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }
    qint64 handedOver() const { return m_handedOver; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = std::min({maxSize, m_left, qint64(3)});
        std::fill(data, data + n, 'x');
        m_left -= n;
        m_handedOver += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    qint64 m_left;
    qint64 m_handedOver = 0;
};

} // namespace

class TestTextFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void splitLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("empty") << QString() << QStringList();
        QTest::newRow("crlf") << QStringLiteral("a\r\nb\r\n")
                              << QStringList{QStringLiteral("a"), QStringLiteral("b")};
        QTest::newRow("lf, no final end")
            << QStringLiteral("a\nb") << QStringList{QStringLiteral("a"), QStringLiteral("b")};
        QTest::newRow("trailing empty line")
            << QStringLiteral("a\r\n\r\n") << QStringList{QStringLiteral("a"), QString()};
        QTest::newRow("single space kept") << QStringLiteral(" \r\n") << QStringList{QStringLiteral(" ")};
        QTest::newRow("lone CR stays in line")
            << QStringLiteral("a\rb\n") << QStringList{QStringLiteral("a\rb")};
    }
    void splitLines()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        QCOMPARE(core::splitLines(text), lines);
    }

    void decodesUtf8AndFallsBackToLatin1()
    {
        QCOMPARE(core::decodeText(QByteArray("m\xc3\xbcnchen")), QString::fromUtf8("münchen"));
        QCOMPARE(core::decodeText(QByteArray("m\xfcnchen")), QString::fromUtf8("münchen"));
        // Line by line: a stray byte changes only its own line.
        QCOMPARE(core::decodeText(QByteArray("m\xc3\xbcnchen.de\r\nx\xff\r\nk\xc3\xb6ln\n\xe9t\xe9")),
                 QString::fromUtf8("münchen.de\r\nxÿ\r\nköln\nété"));
        // A UTF-8 sequence cut by a line end is Latin-1 on both sides.
        QCOMPARE(core::decodeText(QByteArray("a\xc3\n\xbc")), QString::fromLatin1("a\xc3\n\xbc"));
    }

    void failedWriteKeepsTheOldFile_data()
    {
        QTest::addColumn<core::Durability>("durability");
        QTest::newRow("synced") << core::Durability::Synced;
        QTest::newRow("unsynced") << core::Durability::Unsynced;
    }
    void failedWriteKeepsTheOldFile()
    {
        QFETCH(core::Durability, durability);
        testing::TestFolder folder;
        const QString path = folder.file(QStringLiteral("list.txt"));
        QVERIFY(core::writeTextAtomically(path, QStringLiteral("old\r\n"), durability).ok());
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        {
            core::WriteFaultScope fault(3);
            const core::Status status =
                core::writeTextAtomically(path, QStringLiteral("new content\r\n"), durability);
            QCOMPARE(status.code(), core::ErrorCode::WriteFailed);
            QVERIFY(status.message().contains(QStringLiteral("list.txt")));
        }
        QCOMPARE(folder.read(QStringLiteral("list.txt")), QByteArray("old\r\n"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("list.txt")});
        QVERIFY(core::writeTextAtomically(path, QStringLiteral("new\r\n"), durability).ok());
        QCOMPARE(folder.read(QStringLiteral("list.txt")), QByteArray("new\r\n"));
        QCOMPARE(QFile::permissions(path) & (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther),
                 QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("list.txt")});
    }

    // Pieces replace the file only at commit(): a writer given up before it (an export whose
    // store could not be read) leaves the old file and nothing beside it.
    void piecesReplaceTheFileOnlyAtCommit()
    {
        testing::TestFolder folder;
        const QString path = folder.file(QStringLiteral("export.csv"));
        QVERIFY(core::writeTextAtomically(path, QStringLiteral("old\r\n")).ok());
        {
            core::AtomicFileWriter file(path);
            QVERIFY(file.status().ok());
            QVERIFY(file.write("one,").ok());
            QVERIFY(file.write("two\r\n").ok());
            QCOMPARE(folder.read(QStringLiteral("export.csv")), QByteArray("old\r\n"));
        }
        QCOMPARE(folder.read(QStringLiteral("export.csv")), QByteArray("old\r\n"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("export.csv")});
        core::AtomicFileWriter file(path);
        QVERIFY(file.write("one,").ok());
        QVERIFY(file.write("two\r\n").ok());
        QVERIFY(file.commit().ok());
        QCOMPARE(folder.read(QStringLiteral("export.csv")), QByteArray("one,two\r\n"));
        // Nothing more goes through a writer that has committed.
        QCOMPARE(file.write("three").code(), core::ErrorCode::WriteFailed);
        QCOMPARE(folder.read(QStringLiteral("export.csv")), QByteArray("one,two\r\n"));
    }

    void failedAppendKeepsTheOldContent()
    {
        testing::TestFolder folder;
        const QString path = folder.file(QStringLiteral("list.txt"));
        QVERIFY(core::appendText(path, QStringLiteral("one\r\n")).ok());
        {
            core::WriteFaultScope fault(2);
            QCOMPARE(core::appendText(path, QStringLiteral("two\r\n")).code(), core::ErrorCode::WriteFailed);
        }
        QCOMPARE(folder.read(QStringLiteral("list.txt")), QByteArray("one\r\n"));
        QVERIFY(core::appendText(path, QStringLiteral("two\r\n")).ok());
        QCOMPARE(folder.read(QStringLiteral("list.txt")), QByteArray("one\r\ntwo\r\n"));
    }

    // The kernel refuses the bytes past the limit only when they leave the program's
    // buffers: a copy that did not reach the disk whole never replaces the file.
    void aReplacementCutShortByTheSystemKeepsTheOldFile_data()
    {
        QTest::addColumn<core::Durability>("durability");
        QTest::newRow("synced") << core::Durability::Synced;
        QTest::newRow("unsynced") << core::Durability::Unsynced;
    }
    void aReplacementCutShortByTheSystemKeepsTheOldFile()
    {
        QFETCH(core::Durability, durability);
        testing::TestFolder folder;
        const QString path = folder.file(QStringLiteral("LowProfile.txt"));
        const QByteArray old = QByteArray("longname0.com\r\n").repeated(60);
        folder.write(QStringLiteral("LowProfile.txt"), old);
        core::Status status;
        {
            testing::FileSizeLimit limit(1000);
            status =
                core::writeFileAtomically(path, QByteArray("longname1.com\r\n").repeated(120), durability);
        }
        QCOMPARE(status.code(), core::ErrorCode::WriteFailed);
        QVERIFY2(status.message().contains(QStringLiteral("File too large")), qPrintable(status.message()));
        QCOMPARE(folder.read(QStringLiteral("LowProfile.txt")), old);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("LowProfile.txt")});
    }

    void aFailedAppendIsCutBackToItsOldLength()
    {
        testing::TestFolder folder;
        const QString path = folder.file(QStringLiteral("Unanswered.txt"));
        const QByteArray old = QByteArray("one.com\r\n").repeated(100);
        folder.write(QStringLiteral("Unanswered.txt"), old);
        core::Status status;
        {
            testing::FileSizeLimit limit(old.size() + 5);
            status = core::appendText(path, QStringLiteral("torn-line.com\r\n"));
        }
        QCOMPARE(status.code(), core::ErrorCode::WriteFailed);
        QCOMPARE(folder.read(QStringLiteral("Unanswered.txt")), old);
    }

    // A full disk is named as such, whichever kind of write met it.
    void aFullDiskIsNamedAsTheCause()
    {
        testing::TestFolder folder;
        const QString path = folder.file(QStringLiteral("list.txt"));
        core::WriteFaultScope fault(2);
        for (const core::Status &status :
             {core::writeTextAtomically(path, QStringLiteral("new\r\n")),
              core::writeTextAtomically(path, QStringLiteral("new\r\n"), core::Durability::Unsynced),
              core::appendText(path, QStringLiteral("new\r\n"))})
            QCOMPARE(status.message(), QStringLiteral("Could not write list.txt: No space left on device"));
    }

    // Only a regular file is ever replaced or appended to: a link onto a device, a FIFO, a
    // folder, or a link to nothing outside its own folder is refused and left as it is.
    void writesAreRefusedWhereNoRegularFileIs_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("link to /dev/null") << QStringLiteral("device");
        QTest::newRow("fifo") << QStringLiteral("fifo");
        QTest::newRow("link to a fifo") << QStringLiteral("link to fifo");
        QTest::newRow("folder") << QStringLiteral("folder");
        QTest::newRow("link to nothing outside") << QStringLiteral("dangling outside");
    }
    void writesAreRefusedWhereNoRegularFileIs()
    {
        QFETCH(QString, kind);
        testing::TestFolder outside;
        testing::TestFolder folder;
        const QString path = folder.file(QStringLiteral("Unanswered.txt"));
        const QString fifo = outside.file(QStringLiteral("fifo"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        if (kind == QLatin1String("device")) {
            // Run as root, a fault here would replace the machine's /dev/null: the FIFO rows
            // test the same refusal on a file of our own.
            if (::geteuid() == 0)
                QSKIP("not tried on a real device as root");
            QVERIFY(QFile::link(QStringLiteral("/dev/null"), path));
        } else if (kind == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (kind == QLatin1String("link to fifo"))
            QVERIFY(QFile::link(fifo, path));
        else if (kind == QLatin1String("folder"))
            QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("Unanswered.txt")));
        else
            QVERIFY(QFile::link(outside.file(QStringLiteral("planted.txt")), path));
        const QFileInfo before(path);
        const QString target = before.isSymLink() ? before.symLinkTarget() : QString();

        for (const core::Status &status :
             {core::writeTextAtomically(path, QStringLiteral("x\r\n")),
              core::writeTextAtomically(path, QStringLiteral("x\r\n"), core::Durability::Unsynced),
              core::appendText(path, QStringLiteral("x\r\n")), core::checkWriteTarget(path)}) {
            QCOMPARE(status.code(), core::ErrorCode::WriteFailed);
            QVERIFY(status.message().startsWith(QStringLiteral("Could not write Unanswered.txt: ")));
        }
        const QFileInfo after(path);
        QCOMPARE(after.isSymLink(), before.isSymLink());
        QCOMPARE(after.isSymLink() ? after.symLinkTarget() : QString(), target);
        QVERIFY(!QFileInfo::exists(outside.file(QStringLiteral("planted.txt"))));
        QCOMPARE(
            QDir(folder.path())
                .entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::Dirs | QDir::NoDotAndDotDot),
            QStringList{QStringLiteral("Unanswered.txt")});
    }

    // A link to a regular file is written through: the link stays, the file it names changes.
    void aLinkToARegularFileIsWrittenThrough()
    {
        testing::TestFolder outside;
        testing::TestFolder folder;
        outside.write(QStringLiteral("Remembered.txt"), "old.com\r\n");
        const QString path = folder.file(QStringLiteral("Remembered.txt"));
        QVERIFY(QFile::link(outside.file(QStringLiteral("Remembered.txt")), path));
        QVERIFY(core::writeTextAtomically(path, QStringLiteral("new.com\r\n")).ok());
        QVERIFY(core::appendText(path, QStringLiteral("more.com\r\n")).ok());
        QVERIFY(QFileInfo(path).isSymLink());
        QCOMPARE(outside.read(QStringLiteral("Remembered.txt")), QByteArray("new.com\r\nmore.com\r\n"));
        // A link to a file not yet there in its own folder is made.
        const QString later = folder.file(QStringLiteral("Later.txt"));
        QVERIFY(QFile::link(folder.file(QStringLiteral("later-target.txt")), later));
        QVERIFY(core::writeTextAtomically(later, QStringLiteral("x\r\n")).ok());
        QCOMPARE(folder.read(QStringLiteral("later-target.txt")), QByteArray("x\r\n"));
    }

    void writeIntoMissingFolderFails()
    {
        testing::TestFolder folder;
        const core::Status status =
            core::writeTextAtomically(folder.file(QStringLiteral("nope/list.txt")), QStringLiteral("x"));
        QCOMPARE(status.code(), core::ErrorCode::WriteFailed);
    }

    void readMissingFileIsNotFound()
    {
        testing::TestFolder folder;
        QCOMPARE(core::readLines(folder.file(QStringLiteral("missing.txt"))).code(),
                 core::ErrorCode::NotFound);
    }

    void boundedReadsRefuseWhatIsTooLong()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("ten.txt"), "0123456789");
        QCOMPARE(core::readBytes(folder.file(QStringLiteral("ten.txt")), 10).value(),
                 QByteArray("0123456789"));
        QCOMPARE(core::readBytes(folder.file(QStringLiteral("ten.txt")), 9).code(),
                 core::ErrorCode::InvalidInput);
        QCOMPARE(core::readBytes(folder.file(QStringLiteral("none.txt")), 9).code(),
                 core::ErrorCode::NotFound);

        TricklingDevice exact(100);
        QCOMPARE(core::readAtMost(exact, 100).value().size(), 100);
        // An endless source is read only one byte past the limit.
        TricklingDevice endless(std::numeric_limits<qint64>::max());
        QCOMPARE(core::readAtMost(endless, 100).code(), core::ErrorCode::InvalidInput);
        QCOMPARE(endless.handedOver(), 101);
    }

    void resolvesPartsWithoutRegardToCase()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("wordlists/AllTwoLetter.txt"), "aa\r\n");
        QCOMPARE(core::resolveUnder(folder.path(), QStringLiteral("\\Wordlists\\alltwoletter.txt")),
                 folder.file(QStringLiteral("wordlists/AllTwoLetter.txt")));
        QCOMPARE(core::resolveUnder(folder.path(), QStringLiteral("\\New\\File.txt")),
                 folder.file(QStringLiteral("New/File.txt")));
    }

    void periodicTimerTicksAndStopsFromItsCallback()
    {
        testing::FakeScheduler scheduler;
        int ticks = 0;
        core::PeriodicTimer timer(scheduler, [&] {
            if (++ticks == 3)
                timer.stop();
        });
        timer.start(1000);
        scheduler.advance(999);
        QCOMPARE(ticks, 0);
        scheduler.advance(1);
        QCOMPARE(ticks, 1);
        scheduler.advance(10000);
        QCOMPARE(ticks, 3);
        QVERIFY(!timer.isActive());
    }
};

QTEST_GUILESS_MAIN(TestTextFile)
#include "tst_textfile.moc"
