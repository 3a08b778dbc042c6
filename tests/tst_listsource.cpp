#include "BuildFolder.h"
#include "FakeScheduler.h"
#include "MemorySettingsStore.h"
#include "TestFolder.h"
#include "config/SettingsKeys.h"
#include "core/base/TextFile.h"
#include "core/pacing/ServerPacer.h"
#include "core/tld/TldTable.h"
#include "sources/ListSource.h"
#include "sources/MainWindowRules.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QtTest>

#include <limits>

using namespace wendlecott;

namespace {

using MemoryStore = testing::MemorySettingsStore;

QByteArray lettersList(int count)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes += "w" + QByteArray::number(i) + "\r\n";
    return bytes;
}

void setModified(const QString &path, const QDateTime &when)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(when, QFileDevice::FileModificationTime));
}

QDateTime modifiedOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.fileTime(QFileDevice::FileModificationTime) : QDateTime();
}

// Writes the bytes into the file in place (same file, truncated).
void overwrite(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray rawShippedList(const QString &name)
{
    QFile file(testing::buildPath(QStringLiteral("wordlists/") + name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestListSource : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readEntry_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("entry");
        const QString end = core::kEndOfListSentinel;
        const QByteArray abc = "a\r\nb\r\nc\r\n";
        QTest::newRow("first") << abc << 1 << QStringLiteral("a");
        QTest::newRow("middle") << abc << 2 << QStringLiteral("b");
        QTest::newRow("last") << abc << 3 << QStringLiteral("c");
        QTest::newRow("past the end") << abc << 4 << end;
        QTest::newRow("far past the end") << abc << 2000000000 << end;
        QTest::newRow("last without line end") << QByteArray("a\r\nb\r\nc") << 3 << QStringLiteral("c");
        QTest::newRow("past the end without line end") << QByteArray("a\r\nb\r\nc") << 4 << end;
        QTest::newRow("empty lines after the last") << QByteArray("a\r\nb\r\nc\r\n\r\n\r\n") << 4 << end;
        QTest::newRow("empty lines take no position")
            << QByteArray("a\r\n\r\n\r\nb\r\n") << 2 << QStringLiteral("b");
        QTest::newRow("a single space counts") << QByteArray("a\r\n \r\nb\r\n") << 2 << QStringLiteral(" ");
        QTest::newRow("after the space") << QByteArray("a\r\n \r\nb\r\n") << 3 << QStringLiteral("b");
        QTest::newRow("line feeds only") << QByteArray("a\nb\n") << 2 << QStringLiteral("b");
        QTest::newRow("line of a CR only") << QByteArray("\r\r\nb\r\n") << 1 << QStringLiteral("b");
        QTest::newRow("inner spaces kept") << QByteArray(" my shop \r\n") << 1 << QStringLiteral(" my shop ");
        QTest::newRow("position 0") << abc << 0 << QString();
        QTest::newRow("negative position") << abc << -3 << QString();
        QTest::newRow("empty file") << QByteArray() << 1 << end;
        QTest::newRow("Latin-1 bytes") << QByteArray("m\xfcnchen\r\n") << 1 << QStringLiteral("m\u00FCnchen");
        QTest::newRow("UTF-8 bytes") << QByteArray("m\xc3\xbcnchen\r\n") << 1
                                     << QStringLiteral("m\u00FCnchen");
    }
    void readEntry()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, position);
        QFETCH(QString, entry);
        testing::TestFolder folder;
        folder.write(QStringLiteral("list.txt"), bytes);
        const QString path = folder.file(QStringLiteral("list.txt"));
        sources::ListReader reader;
        const core::Result<QString> result = reader.readEntry(path, position);
        QVERIFY(result.ok());
        QCOMPARE(result.value(), entry);
        // The reader that serves the free function gives the same.
        QCOMPARE(sources::readEntry(path, position).value(), entry);
    }

    void countEntries_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("count");
        QTest::newRow("three") << QByteArray("a\r\nb\r\nc\r\n") << 3;
        QTest::newRow("no final line end") << QByteArray("a\r\nb") << 2;
        QTest::newRow("empty lines") << QByteArray("\r\na\r\n\r\n\r\nb\r\n\r\n") << 2;
        QTest::newRow("single space lines") << QByteArray(" \r\n \r\n") << 2;
        QTest::newRow("empty file") << QByteArray() << 0;
        QTest::newRow("only line ends") << QByteArray("\r\n\n\r\n") << 0;
    }
    void countEntries()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, count);
        testing::TestFolder folder;
        folder.write(QStringLiteral("list.txt"), bytes);
        const QString path = folder.file(QStringLiteral("list.txt"));
        QCOMPARE(sources::countEntries(path), count);
        sources::ListReader reader;
        QCOMPARE(reader.entryCount(path).value(), count);
    }

    void countEntriesOfWhatCannotBeRead()
    {
        testing::TestFolder folder;
        QCOMPARE(sources::countEntries(folder.file(QStringLiteral("missing.txt"))), 0);
        QCOMPARE(sources::countEntries(QString()), 0);
        QCOMPARE(sources::countEntries(folder.path()), 0); // a folder
        // A list a run refuses (an entry over the length limit) counts nothing, so the
        // window's count and the run's refusal agree.
        folder.write(QStringLiteral("long.txt"),
                     "a\r\n" + QByteArray(core::kMaxLineBytes + 1, 'x') + "\r\nb\r\n");
        QCOMPARE(sources::countEntries(folder.file(QStringLiteral("long.txt"))), 0);
    }

    void missingFileIsAnError()
    {
        testing::TestFolder folder;
        const QString path = folder.file(QStringLiteral("missing.txt"));
        sources::ListReader reader;
        const core::Result<QString> result = reader.readEntry(path, 1);
        QVERIFY(!result.ok());
        QCOMPARE(result.code(), core::ErrorCode::NotFound);
        QCOMPARE(result.message(), QStringLiteral("File ") + path + QStringLiteral(" not found."));
        QVERIFY(!reader.readEntry(QString(), 1).ok());
        QVERIFY(!sources::readEntry(path, 0).ok());
    }

    void fileRemovedBetweenReads()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("list.txt"), "a\r\nb\r\n");
        const QString path = folder.file(QStringLiteral("list.txt"));
        sources::ListReader reader;
        QCOMPARE(reader.readEntry(path, 1).value(), QStringLiteral("a"));
        QVERIFY(QFile::remove(path));
        QCOMPARE(reader.readEntry(path, 2).code(), core::ErrorCode::NotFound);
        folder.write(QStringLiteral("list.txt"), "c\r\n");
        QCOMPARE(reader.readEntry(path, 1).value(), QStringLiteral("c"));
    }

    void fileChangedInPlaceWithTheSameSize()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("list.txt"), "aaa\r\nbbb\r\n");
        const QString path = folder.file(QStringLiteral("list.txt"));
        const QDateTime before = modifiedOf(path);
        sources::ListReader reader;
        QCOMPARE(reader.readEntry(path, 2).value(), QStringLiteral("bbb"));
        overwrite(path, "ccc\r\nddd\r\n");
        setModified(path, before.addSecs(10));
        QCOMPARE(reader.readEntry(path, 2).value(), QStringLiteral("ddd"));
    }

    void fileChangedInPlaceWithAnotherSize()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("list.txt"), "aaa\r\nbbb\r\n");
        const QString path = folder.file(QStringLiteral("list.txt"));
        const QDateTime before = modifiedOf(path);
        sources::ListReader reader;
        QCOMPARE(reader.readEntry(path, 2).value(), QStringLiteral("bbb"));
        overwrite(path, "x\r\n");
        setModified(path, before); // even with the old time, the size tells
        QCOMPARE(reader.readEntry(path, 1).value(), QStringLiteral("x"));
        QCOMPARE(reader.readEntry(path, 2).value(), core::kEndOfListSentinel);
    }

#ifdef Q_OS_LINUX
    // A list replaced by another file (as an atomic save does) is read afresh even when size
    // and modification time are the same.
    void fileReplacedByAnotherFile()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("list.txt"), "aaa\r\n");
        const QString path = folder.file(QStringLiteral("list.txt"));
        const QDateTime before = modifiedOf(path);
        sources::ListReader reader;
        QCOMPARE(reader.readEntry(path, 1).value(), QStringLiteral("aaa"));
        folder.write(QStringLiteral("new.txt"), "zzz\r\n");
        setModified(folder.file(QStringLiteral("new.txt")), before);
        // Keep the old file alive under another name, so its inode cannot be reused.
        QVERIFY(QFile::rename(path, folder.file(QStringLiteral("old.txt"))));
        QVERIFY(QFile::rename(folder.file(QStringLiteral("new.txt")), path));
        QCOMPARE(reader.readEntry(path, 1).value(), QStringLiteral("zzz"));
    }
#endif

    void anotherPathIsAnotherList()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("one.txt"), "a\r\n");
        folder.write(QStringLiteral("two.txt"), "b\r\n");
        sources::ListReader reader;
        QCOMPARE(reader.readEntry(folder.file(QStringLiteral("one.txt")), 1).value(), QStringLiteral("a"));
        QCOMPARE(reader.readEntry(folder.file(QStringLiteral("two.txt")), 1).value(), QStringLiteral("b"));
        QCOMPARE(reader.readEntry(folder.file(QStringLiteral("one.txt")), 1).value(), QStringLiteral("a"));
    }

    void readsInAnyOrder()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("list.txt"), lettersList(5000));
        const QString path = folder.file(QStringLiteral("list.txt"));
        sources::ListReader reader;
        for (int p = 1; p <= 5000; ++p)
            QCOMPARE(reader.readEntry(path, p).value(), QStringLiteral("w") + QString::number(p - 1));
        QCOMPARE(reader.readEntry(path, 5001).value(), core::kEndOfListSentinel);
        for (int p = 5000; p >= 1; p -= 7)
            QCOMPARE(reader.readEntry(path, p).value(), QStringLiteral("w") + QString::number(p - 1));
    }

    void correctedStartPosition_data()
    {
        QTest::addColumn<QString>("wordNum");
        QTest::addColumn<QString>("wordMax");
        QTest::addColumn<QString>("result");
        const QString one = QStringLiteral("1");
        QTest::newRow("equal to the count") << QStringLiteral("676") << QStringLiteral("676") << one;
        QTest::newRow("below the count")
            << QStringLiteral("675") << QStringLiteral("676") << QStringLiteral("675");
        QTest::newRow("above the count") << QStringLiteral("1000") << QStringLiteral("676") << one;
        QTest::newRow("empty box") << QString() << QStringLiteral("676") << one;
        QTest::newRow("letters") << QStringLiteral("abc") << QStringLiteral("676") << one;
        QTest::newRow("number then letters") << QStringLiteral("12ab") << QStringLiteral("676") << one;
        QTest::newRow("count not a number") << QStringLiteral("5") << QStringLiteral("x") << one;
        QTest::newRow("count empty") << QStringLiteral("5") << QString() << one;
        QTest::newRow("zero") << QStringLiteral("0") << QStringLiteral("676") << one;
        QTest::newRow("negative") << QStringLiteral("-4") << QStringLiteral("676") << one;
        QTest::newRow("empty list") << QStringLiteral("1") << QStringLiteral("0") << one;
        QTest::newRow("too large for a number")
            << QStringLiteral("99999999999") << QStringLiteral("676") << one;
        QTest::newRow("spaces kept") << QStringLiteral(" 12") << QStringLiteral("676")
                                     << QStringLiteral(" 12");
    }
    void correctedStartPosition()
    {
        QFETCH(QString, wordNum);
        QFETCH(QString, wordMax);
        QFETCH(QString, result);
        QCOMPARE(sources::correctedStartPosition(wordNum, wordMax), result);
    }

    void nameSourcesInComboOrder()
    {
        const QStringList captions = {
            QStringLiteral("Browse for names"), QStringLiteral("Generate names"),
            QStringLiteral("Yahoo Search"),     QStringLiteral("Google Search"),
            QStringLiteral("Full Word List"),   QStringLiteral("All Two Letter"),
            QStringLiteral("All Three Letter"), QStringLiteral("All Four Letter"),
            QStringLiteral("Custom List"),
        };
        const QList<std::optional<config::SettingKey>> resumeKeys = {
            std::nullopt,
            std::nullopt,
            config::keys::YahooWordNum,
            config::keys::GoogleWordNum,
            config::keys::FullWordNum,
            config::keys::TwoWordNum,
            config::keys::ThreeWordNum,
            config::keys::FourWordNum,
            config::keys::CustWordNum,
        };
        const auto &sources = sources::nameSources();
        QCOMPARE(qsizetype(sources.size()), captions.size());
        for (std::size_t i = 0; i < sources.size(); ++i) {
            QCOMPARE(sources[i].caption, captions.at(qsizetype(i)));
            const auto &expected = resumeKeys.at(qsizetype(i));
            QCOMPARE(sources[i].resumeKey.has_value(), expected.has_value());
            if (expected)
                QCOMPARE(sources[i].resumeKey->key, expected->key);
            QCOMPARE(sources::findNameSource(captions.at(qsizetype(i))), &sources[i]);
        }
        QCOMPARE(sources::findNameSource(QStringLiteral("full word list")), nullptr);
    }

    void selectWordList_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("file");
        QTest::addColumn<config::SettingKey>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("wordNum");
        // The list in the test folder has 200 entries.
        QTest::newRow("full, resumes at 120")
            << QStringLiteral("Full Word List") << QStringLiteral("FullWordList.txt")
            << config::keys::FullWordNum << QStringLiteral("120") << QStringLiteral("120");
        QTest::newRow("two, nothing stored")
            << QStringLiteral("All Two Letter") << QStringLiteral("AllTwoLetter.txt")
            << config::keys::TwoWordNum << QString() << QStringLiteral("1");
        QTest::newRow("three, at the end")
            << QStringLiteral("All Three Letter") << QStringLiteral("AllThreeLetter.txt")
            << config::keys::ThreeWordNum << QStringLiteral("200") << QStringLiteral("1");
        QTest::newRow("four, garbage stored")
            << QStringLiteral("All Four Letter") << QStringLiteral("AllFourLetter.txt")
            << config::keys::FourWordNum << QStringLiteral("x") << QStringLiteral("1");
    }
    void selectWordList()
    {
        QFETCH(QString, caption);
        QFETCH(QString, file);
        QFETCH(config::SettingKey, key);
        QFETCH(QString, stored);
        QFETCH(QString, wordNum);
        testing::TestFolder folder;
        // The folder is made in lower case; the source names it "\Wordlists\...".
        folder.write(QStringLiteral("wordlists/") + file, lettersList(200));
        MemoryStore store;
        if (!stored.isNull())
            store.set(key, stored);
        const config::ProgramFolder programFolder(folder.path());
        const sources::SourceSelection s = sources::selectSource(caption, store, programFolder, QString());
        QVERIFY(s.known);
        QCOMPARE(s.listPath, std::optional<QString>(folder.file(QStringLiteral("wordlists/") + file)));
        QCOMPARE(s.wordMax, std::optional<QString>(QStringLiteral("200")));
        QCOMPARE(s.wordNum, std::optional<QString>(wordNum));
        QCOMPARE(s.wordListControlsVisible, std::optional<bool>(true));
        QCOMPARE(s.searchControlsVisible, std::optional<bool>(false));
        QCOMPARE(s.startEnabled, std::optional<bool>(true));
        QCOMPARE(s.stopEnabled, std::optional<bool>(false));
        QCOMPARE(s.searchTextEnabled, std::optional<bool>(false));
        QCOMPARE(s.searchEngineEnabled, std::optional<bool>(false));
        QCOMPARE(s.searchButtonEnabled, std::optional<bool>(false));
        QCOMPARE(s.wordNumEnabled, std::optional<bool>(true));
        QCOMPARE(s.opens, sources::SourceWindow::None);
    }

    void selectMissingWordList()
    {
        testing::TestFolder folder;
        MemoryStore store;
        store.set(config::keys::FullWordNum, QStringLiteral("120"));
        const sources::SourceSelection s = sources::selectSource(
            QStringLiteral("Full Word List"), store, config::ProgramFolder(folder.path()), QString());
        QCOMPARE(s.wordMax, std::optional<QString>(QStringLiteral("0")));
        QCOMPARE(s.wordNum, std::optional<QString>(QStringLiteral("1")));
        QVERIFY(s.listPath && s.listPath->endsWith(QStringLiteral("/Wordlists/FullWordList.txt")));
    }

    // An installed copy reads the shipped lists from where they were installed.
    void selectShippedWordList()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("share/wordlists/AllTwoLetter.txt"), lettersList(3));
        QDir().mkpath(folder.file(QStringLiteral("data")));
        MemoryStore store;
        const config::ProgramFolder programFolder(folder.file(QStringLiteral("data")),
                                                  folder.file(QStringLiteral("share")));
        const sources::SourceSelection s =
            sources::selectSource(QStringLiteral("All Two Letter"), store, programFolder, QString());
        QCOMPARE(s.listPath,
                 std::optional<QString>(folder.file(QStringLiteral("share/wordlists/AllTwoLetter.txt"))));
        QCOMPARE(s.wordMax, std::optional<QString>(QStringLiteral("3")));
    }

    void selectCustomList()
    {
        testing::TestFolder folder;
        folder.write(QStringLiteral("wordlists/mine.txt"), "a\r\n\r\nb\r\n");
        MemoryStore store;
        store.set(config::keys::CustWordNum, QStringLiteral("7"));
        const config::ProgramFolder programFolder(folder.path());
        sources::SourceSelection s =
            sources::selectSource(QStringLiteral("Custom List"), store, programFolder, QString());
        QCOMPARE(s.opens, sources::SourceWindow::CustomListDialog);
        QCOMPARE(s.dialogFolder, folder.file(QStringLiteral("wordlists")));
        QCOMPARE(s.dialogFilter, QStringLiteral("*.txt"));
        QCOMPARE(s.wordNum, std::optional<QString>(QStringLiteral("1"))); // always 1 on choice
        QCOMPARE(s.wordListControlsVisible, std::optional<bool>(true));
        QCOMPARE(s.searchControlsVisible, std::optional<bool>(false));
        QCOMPARE(s.startEnabled, std::optional<bool>(true));
        QCOMPARE(s.stopEnabled, std::optional<bool>(false));

        const QString chosen = folder.file(QStringLiteral("wordlists/mine.txt"));
        sources::completeCustomList(s, chosen, QString());
        QCOMPARE(s.listPath, std::optional<QString>(chosen));
        QCOMPARE(s.wordMax, std::optional<QString>(QStringLiteral("2")));
        QCOMPARE(s.wordNum, std::optional<QString>(QStringLiteral("1")));

        // Cancelled: the list keeps the file it had; at first use that is none.
        sources::completeCustomList(s, std::nullopt, chosen);
        QCOMPARE(s.listPath, std::optional<QString>(chosen));
        QCOMPARE(s.wordMax, std::optional<QString>(QStringLiteral("2")));
        sources::completeCustomList(s, std::nullopt, QString());
        QCOMPARE(s.listPath, std::optional<QString>(QString()));
        QCOMPARE(s.wordMax, std::optional<QString>(QStringLiteral("0")));
        QCOMPARE(s.wordNum, std::optional<QString>(QStringLiteral("1")));
    }

    void selectSearch_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("searchText");
        QTest::newRow("yahoo, empty box") << QStringLiteral("Yahoo Search") << QString();
        QTest::newRow("google, words typed") << QStringLiteral("Google Search") << QStringLiteral("shoes");
    }
    void selectSearch()
    {
        QFETCH(QString, caption);
        QFETCH(QString, searchText);
        testing::TestFolder folder;
        folder.write(QStringLiteral("BrowserSearch.txt"), "a\r\nb\r\n");
        MemoryStore store;
        store.set(config::keys::YahooWordNum, QStringLiteral("9"));
        store.set(config::keys::GoogleWordNum, QStringLiteral("9"));
        const sources::SourceSelection s =
            sources::selectSource(caption, store, config::ProgramFolder(folder.path()), searchText);
        QCOMPARE(s.listPath, std::optional<QString>(folder.file(QStringLiteral("BrowserSearch.txt"))));
        QCOMPARE(s.wordNum, std::optional<QString>(QStringLiteral("1")));
        QVERIFY(!s.wordMax); // the list builder sets it
        QCOMPARE(s.wordListControlsVisible, std::optional<bool>(false));
        QCOMPARE(s.searchControlsVisible, std::optional<bool>(true));
        QCOMPARE(s.searchTextEnabled, std::optional<bool>(true));
        QCOMPARE(s.searchEngineEnabled, std::optional<bool>(true));
        QCOMPARE(s.searchButtonEnabled, std::optional<bool>(!searchText.isEmpty()));
        QCOMPARE(s.startEnabled, std::optional<bool>(true));
        QCOMPARE(s.stopEnabled, std::optional<bool>(false));
        QCOMPARE(s.wordNumEnabled, std::optional<bool>(true));
        QCOMPARE(s.opens, sources::SourceWindow::None);
    }

    void selectGenerator()
    {
        testing::TestFolder folder;
        MemoryStore store;
        const sources::SourceSelection s = sources::selectSource(
            QStringLiteral("Generate names"), store, config::ProgramFolder(folder.path()), QString());
        QCOMPARE(s.opens, sources::SourceWindow::Generator);
        QCOMPARE(s.listPath, std::optional<QString>(folder.file(QStringLiteral("CreatedDomains.txt"))));
        QCOMPARE(s.wordNum, std::optional<QString>(QStringLiteral("1")));
        QVERIFY(!s.wordMax); // the generator sets it
        QCOMPARE(s.wordListControlsVisible, std::optional<bool>(false));
        QCOMPARE(s.searchControlsVisible, std::optional<bool>(false));
        QCOMPARE(s.startEnabled, std::optional<bool>(true));
        QCOMPARE(s.stopEnabled, std::optional<bool>(false));
        QCOMPARE(s.wordNumEnabled, std::optional<bool>(true));
    }

    void selectBrowseChangesNothingElse()
    {
        testing::TestFolder folder;
        MemoryStore store;
        const sources::SourceSelection s = sources::selectSource(
            QStringLiteral("Browse for names"), store, config::ProgramFolder(folder.path()), QString());
        QVERIFY(s.known);
        QCOMPARE(s.opens, sources::SourceWindow::Browse);
        QCOMPARE(s.wordListControlsVisible, std::optional<bool>(false));
        QCOMPARE(s.searchControlsVisible, std::optional<bool>(false));
        QVERIFY(!s.listPath && !s.wordMax && !s.wordNum && !s.wordNumEnabled);
        QVERIFY(!s.startEnabled && !s.stopEnabled && !s.searchTextEnabled && !s.searchEngineEnabled &&
                !s.searchButtonEnabled);
    }

    void selectUnknownCaption()
    {
        testing::TestFolder folder;
        MemoryStore store;
        const sources::SourceSelection s = sources::selectSource(
            QStringLiteral("Something else"), store, config::ProgramFolder(folder.path()), QString());
        QVERIFY(!s.known);
        QVERIFY(!s.listPath && !s.wordNum && !s.wordListControlsVisible);
        QCOMPARE(s.opens, sources::SourceWindow::None);
    }

    // The position boxes as the run takes them: no number counts 0, the 32-bit range holds.
    void wholeNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint32>("expected");
        QTest::newRow("plain") << QStringLiteral("42") << 42;
        QTest::newRow("spaces") << QStringLiteral("  7 ") << 7;
        QTest::newRow("empty") << QString() << 0;
        QTest::newRow("letters") << QStringLiteral("12a") << 0;
        QTest::newRow("negative") << QStringLiteral("-3") << -3;
        QTest::newRow("above range") << QStringLiteral("99999999999") << std::numeric_limits<qint32>::max();
        QTest::newRow("below range") << QStringLiteral("-99999999999") << std::numeric_limits<qint32>::min();
    }
    void wholeNumber()
    {
        QFETCH(QString, text);
        QFETCH(qint32, expected);
        QCOMPARE(sources::wholeNumber(text), expected);
    }

    // The progress bar never becomes a busy indicator and never shows a position past its end.
    void progressShown_data()
    {
        QTest::addColumn<qint32>("position");
        QTest::addColumn<qint32>("count");
        QTest::addColumn<qint32>("maximum");
        QTest::addColumn<qint32>("value");
        QTest::addColumn<QString>("format");
        QTest::newRow("inside") << 3 << 10 << 10 << 3 << QStringLiteral("3 of 10");
        QTest::newRow("past the end") << 12 << 10 << 10 << 10 << QStringLiteral("10 of 10");
        QTest::newRow("negative position") << -1 << 10 << 10 << 0 << QStringLiteral("0 of 10");
        QTest::newRow("empty list") << 0 << 0 << 1 << 0 << QStringLiteral("0 of 0");
        QTest::newRow("negative count") << 5 << -4 << 1 << 0 << QStringLiteral("0 of 0");
    }
    void progressShown()
    {
        QFETCH(qint32, position);
        QFETCH(qint32, count);
        const sources::ProgressShown shown = sources::progressShown(position, count);
        QTEST(shown.maximum, "maximum");
        QTEST(shown.value, "value");
        QTEST(shown.format, "format");
    }

    void sourcePanelText_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("listPath");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("tooltipHasPath");
        QTest::newRow("nothing chosen")
            << QString() << QString() << QStringLiteral("No source chosen") << false;
        QTest::newRow("window source")
            << QStringLiteral("Browse for names") << QString() << QStringLiteral("Browse for names") << false;
        QTest::newRow("list file") << QStringLiteral("Full Word List")
                                   << QStringLiteral("/p/wordlists/Words.txt")
                                   << QStringLiteral("List: Words.txt") << true;
    }
    void sourcePanelText()
    {
        QFETCH(QString, caption);
        QFETCH(QString, listPath);
        QFETCH(bool, tooltipHasPath);
        const sources::SourcePanelText shown = sources::sourcePanelText(caption, listPath);
        QTEST(shown.text, "text");
        QCOMPARE(shown.tooltip.contains(QStringLiteral("List file: ")), tooltipHasPath);
        if (!caption.isEmpty())
            QVERIFY(shown.tooltip.startsWith(QStringLiteral("Source: ") + caption));
    }

    // After a run only the sources with a fixed list file are chosen again; the ones that
    // open a window or a file dialog keep their boxes. The windows they need follow their kind.
    void sourceRulesByKind()
    {
        const auto &all = sources::nameSources();
        for (std::size_t i = 0; i < all.size(); ++i) {
            const sources::SourceKind kind = all[i].kind;
            const bool fixed = kind == sources::SourceKind::WordList || kind == sources::SourceKind::Search;
            QCOMPARE(sources::reselectSourceAfterRun(all[i].caption), fixed);
            const sources::SourceWindowNeeded needs = sources::windowNeededBy(int(i));
            QCOMPARE(needs == sources::SourceWindowNeeded::Browse, kind == sources::SourceKind::Browse);
            QCOMPARE(needs == sources::SourceWindowNeeded::ListBuilder, kind == sources::SourceKind::Search);
        }
        QVERIFY(!sources::reselectSourceAfterRun(QStringLiteral("No such source")));
        QCOMPARE(sources::windowNeededBy(-1), sources::SourceWindowNeeded::None);
        QCOMPARE(sources::windowNeededBy(int(all.size())), sources::SourceWindowNeeded::None);
        QCOMPARE(sources::extensionTicksCaption(0), QStringLiteral("TLDs"));
        QCOMPARE(sources::extensionTicksCaption(3), QStringLiteral("TLDs (3)"));
    }

    // The status bar's line about paused servers: longest wait first, seconds rounded up.
    void backOffText_data()
    {
        QTest::addColumn<QList<QPair<QString, qint64>>>("paused");
        QTest::addColumn<QString>("text");
        using Paused = QList<QPair<QString, qint64>>;
        QTest::newRow("none") << Paused{} << QString();
        QTest::newRow("over") << Paused{{QStringLiteral("a:43"), 0}} << QString();
        QTest::newRow("one") << Paused{{QStringLiteral("a:43"), 4001}}
                             << QStringLiteral("Paused: a:43 asked again in 5 s");
        QTest::newRow("last millisecond")
            << Paused{{QStringLiteral("a:43"), 1}} << QStringLiteral("Paused: a:43 asked again in 1 s");
        QTest::newRow("longest first, rest counted")
            << Paused{{QStringLiteral("a:43"), 2000},
                      {QStringLiteral("b:43"), 300000},
                      {QStringLiteral("c:43"), 9000}}
            << QStringLiteral("Paused: b:43 asked again in 300 s, c:43 asked again in 9 s (+1 more)");
    }
    void backOffText()
    {
        using Paused = QList<QPair<QString, qint64>>;
        QFETCH(Paused, paused);
        QTEST(sources::backOffText(paused), "text");
    }

    // The table's servers the pacer holds back, each once, with the pause left on its clock.
    void pausedWhoisServers()
    {
        testing::FakeScheduler scheduler;
        core::ServerPacer pacer(scheduler);
        core::TldTable table;
        for (const char *row : {"com|w.one|43", "net|w.one|43", "org|w.two|4343", "de|w.three|43"}) {
            const QStringList fields = QString::fromLatin1(row).split(QLatin1Char('|'));
            core::TldEntry entry;
            entry.extension = fields[0];
            entry.server = fields[1];
            entry.port = quint16(fields[2].toUInt());
            table.rows.append(entry);
        }
        QVERIFY(sources::pausedWhoisServers(table, pacer).isEmpty());
        pacer.pause(QStringLiteral("w.one:43"), 5000);
        pacer.pause(QStringLiteral("w.two:4343"), 1000);
        scheduler.advance(400);
        const QList<QPair<QString, qint64>> expected{{QStringLiteral("w.one:43"), 4600},
                                                     {QStringLiteral("w.two:4343"), 600}};
        QCOMPARE(sources::pausedWhoisServers(table, pacer), expected);
        scheduler.advance(600);
        QCOMPARE(sources::pausedWhoisServers(table, pacer).size(), 1);
    }

    void searchButton()
    {
        QVERIFY(!sources::searchButtonEnabled(QString()));
        QVERIFY(sources::searchButtonEnabled(QStringLiteral(" ")));
    }

    void shippedLists_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        QTest::newRow("two") << QStringLiteral("AllTwoLetter.txt") << 676 << QStringLiteral("aa")
                             << QStringLiteral("zz");
        QTest::newRow("three") << QStringLiteral("AllThreeLetter.txt") << 17576 << QStringLiteral("aaa")
                               << QStringLiteral("zzz");
        QTest::newRow("four") << QStringLiteral("AllFourLetter.txt") << 456976 << QStringLiteral("aaaa")
                              << QStringLiteral("zzzz");
    }
    void shippedLists()
    {
        QFETCH(QString, name);
        QFETCH(int, count);
        QFETCH(QString, first);
        QFETCH(QString, last);
        const QString path = testing::buildPath(QStringLiteral("wordlists/") + name);
        QCOMPARE(sources::countEntries(path), count);
        sources::ListReader reader;
        QCOMPARE(reader.readEntry(path, 1).value(), first);
        QCOMPARE(reader.readEntry(path, 2).value(), first.left(first.size() - 1) + QLatin1Char('b'));
        QCOMPARE(reader.readEntry(path, count).value(), last);
        QCOMPARE(reader.readEntry(path, count + 1).value(), core::kEndOfListSentinel);
        const QByteArray raw = rawShippedList(name);
        QCOMPARE(raw.size(), qsizetype(count) * (first.size() + 2));
        QCOMPARE(raw.count("\r\n"), qsizetype(count));
    }

    void shippedFullWordList()
    {
        const QByteArray raw = rawShippedList(QStringLiteral("FullWordList.txt"));
        QVERIFY(raw.endsWith("\r\n"));
        QCOMPARE(raw.count('\n'), raw.count("\r\n"));
        QList<QByteArray> words = raw.split('\n');
        words.removeLast(); // after the last line end
        QVERIFY(words.size() > 50000);
        QByteArray previous;
        for (QByteArray word : words) {
            QVERIFY(word.endsWith('\r'));
            word.chop(1);
            QVERIFY(!word.isEmpty());
            for (const char c : word)
                QVERIFY2(c >= 'a' && c <= 'z', word.constData());
            QVERIFY2(previous < word, word.constData()); // sorted, no duplicates
            previous = word;
        }
        QCOMPARE(sources::countEntries(testing::buildPath(QStringLiteral("wordlists/FullWordList.txt"))),
                 qint32(words.size()));
    }
};

QTEST_GUILESS_MAIN(TestListSource)
#include "tst_listsource.moc"
