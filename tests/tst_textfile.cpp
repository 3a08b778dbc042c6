#include "FakeScheduler.h"
#include "TestFolder.h"
#include "core/Paths.h"
#include "core/Scheduler.h"
#include "core/TextFile.h"

#include <QtTest>

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
